<?php
/**
 * One click with Stripe: the front end's Checkout Session saves the card on a Customer made for
 * the visit; an accepted offer is a PaymentIntent for that customer and card, confirmed by the
 * server at once. https://docs.stripe.com/payments/save-during-payment and
 * https://docs.stripe.com/api/payment_intents/create
 */

defined( 'ABSPATH' ) || exit;

/**
 * The customer and card a front end's payment saved, as its PaymentIntent names them.
 *
 * @return string[] array( customer, payment method ), or empty when nothing was saved.
 */
function #fn#stripe_saved_method( $order ) {
	$intent = '' === (string) $order->payment_ref ? null : #fn#stripe_request( 'GET', '/v1/payment_intents/' . rawurlencode( $order->payment_ref ) );
	if ( ! isset( $intent['customer'], $intent['payment_method'], $intent['setup_future_usage'] ) || ! is_string( $intent['customer'] ) || ! is_string( $intent['payment_method'] )
		|| ! preg_match( '/^cus_\w+$/', $intent['customer'] ) || ! preg_match( '/^pm_\w+$/', $intent['payment_method'] ) ) {
		return array();
	}
	return array( $intent['customer'], $intent['payment_method'] );
}

/**
 * Charges the visit's saved card the item's price, once: the idempotency key is the visit's, the
 * item's and the price's, so a double click, a reload or a retry after a lost answer gets
 * Stripe's first answer again (https://docs.stripe.com/api/idempotent_requests). The buyer is
 * here, so a bank that asks for its own check (3-D Secure) sends them to it, and Stripe back to
 * the offer: a confirmation on the server needs that return_url.
 *
 * @return array array( 'order', 'redirect', 'message', 'retry' ) as road_settle() takes it.
 */
function #fn#stripe_charge_saved( $post, $visit, $slot, $price ) {
	$answer = #fn#stripe_call(
		'POST',
		'/v1/payment_intents',
		array(
			'amount'           => (string) $price['amount'],
			'currency'         => strtolower( $price['currency'] ),
			'customer'         => $visit->customer,
			'payment_method'   => $visit->method,
			'confirm'          => 'true',
			'return_url'       => #fn#road_offer_url( $post, $visit, $slot ),
			'description'      => #fn#payments_item_name( $post->ID, $slot ),
			'metadata[funnel]' => (string) $post->ID,
			'metadata[slot]'   => (string) (int) $slot,
			'metadata[visit]'  => (string) $visit->id,
		),
		array( 'Idempotency-Key' => '#prefix#-' . $visit->token . '-' . (int) $slot . '-' . $price['amount'] . $price['currency'] )
	);
	if ( null === $answer || $answer[0] >= 500 ) {
		return #fn#road_not_charged( __( 'the payment provider did not answer in time. Please try again.', '#prefix#' ), true );
	}
	list( $code, $data ) = $answer;
	if ( 402 === $code && isset( $data['error']['type'] ) && 'card_error' === $data['error']['type'] ) {
		// Stripe writes card errors for the card's owner: https://docs.stripe.com/api/errors
		$said = isset( $data['error']['message'] ) && is_string( $data['error']['message'] ) ? $data['error']['message'] : __( 'your bank declined the payment.', '#prefix#' );
		return #fn#road_not_charged( $said, false );
	}
	if ( $code < 200 || $code > 299 ) {
		return #fn#road_not_charged( __( 'the saved card can\'t be used for this item.', '#prefix#' ), false );
	}
	if ( isset( $data['status'], $data['id'], $data['next_action']['redirect_to_url']['url'] ) && 'requires_action' === $data['status']
		&& is_string( $data['next_action']['redirect_to_url']['url'] ) && 0 === strpos( $data['next_action']['redirect_to_url']['url'], 'https://' ) ) {
		#fn#visits_set_pending( $visit, $data['id'] );
		return array(
			'order'    => null,
			'redirect' => $data['next_action']['redirect_to_url']['url'],
			'message'  => '',
			'retry'    => true,
		);
	}
	$order = #fn#stripe_intent_record( $data, $visit, $slot, $price );
	return null === $order ? #fn#road_not_charged( __( 'the payment could not be confirmed.', '#prefix#' ), false ) : array(
		'order'    => $order,
		'redirect' => '',
		'message'  => '',
		'retry'    => false,
	);
}

/**
 * Back from the bank's check: the PaymentIntent the visit waits for is read back from Stripe,
 * never taken from the address.
 */
function #fn#stripe_finish_action( $post, $visit, $slot, $intent_id ) {
	$price  = #fn#payments_price( $post->ID, $slot );
	$intent = '' === $visit->pending || ! hash_equals( $visit->pending, $intent_id ) || null === $price ? null : #fn#stripe_request( 'GET', '/v1/payment_intents/' . rawurlencode( $visit->pending ) );
	$order  = null === $intent ? null : #fn#stripe_intent_record( $intent, $visit, $slot, $price );
	if ( null === $order ) {
		return #fn#road_not_charged( __( 'your bank did not confirm the payment.', '#prefix#' ), false );
	}
	return array(
		'order'    => $order,
		'redirect' => '',
		'message'  => '',
		'retry'    => false,
	);
}

/**
 * Records a PaymentIntent that paid exactly this item of this visit: succeeded, the price, the
 * visit's customer, the site's mode.
 */
function #fn#stripe_intent_record( $intent, $visit, $slot, $price ) {
	if ( ! isset( $intent['id'], $intent['status'], $intent['amount'], $intent['currency'], $intent['customer'], $intent['metadata']['visit'], $intent['metadata']['slot'] )
		|| ! is_string( $intent['id'] ) || ! preg_match( '/^pi_\w+$/', $intent['id'] ) || 'succeeded' !== $intent['status'] || ! #fn#stripe_mode_ok( $intent )
		|| (int) $price['amount'] !== $intent['amount'] || strtolower( $price['currency'] ) !== $intent['currency'] || $visit->customer !== $intent['customer']
		|| (string) $visit->id !== (string) $intent['metadata']['visit'] || (string) (int) $slot !== (string) $intent['metadata']['slot'] ) {
		return null;
	}
	$front = #fn#orders_get( $visit->front_order );
	return #fn#orders_record( 'stripe', $intent['id'], (int) $visit->funnel_id, (int) $slot, $intent['amount'], $intent['currency'], null === $front ? '' : $front->email, $intent['id'], (int) $visit->id, #fn#split_visit_visitor( $visit ) );
}

/** Detaches the saved card from its customer: it can't be charged again. */
function #fn#stripe_release_method( $method ) {
	$answer = #fn#stripe_call( 'POST', '/v1/payment_methods/' . rawurlencode( $method ) . '/detach' );
	// A card Stripe no longer holds for the customer is released too.
	return null !== $answer && ( ( $answer[0] >= 200 && $answer[0] <= 299 ) || 400 === $answer[0] || 404 === $answer[0] );
}
