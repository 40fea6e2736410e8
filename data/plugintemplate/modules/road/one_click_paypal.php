<?php
/**
 * One click with PayPal: where the seller's app may save buyers' PayPal accounts (vaulting), the
 * front end's order saves it, and an accepted offer is a new order paid with the saved account
 * on the server. https://developer.paypal.com/docs/checkout/save-payment-methods/during-purchase/js-sdk/paypal/
 * Where it may not, the offer shows PayPal's buttons, whose approval returns into the road.
 */

defined( 'ABSPATH' ) || exit;

/** What the front end's order adds to be saved, when the seller's app may vault and offers follow. */
function #fn#paypal_vault_request( $slot ) {
	if ( 0 !== (int) $slot || null === #fn#payments_box_of( 1 ) || '' === #fn#payments_settings()['paypal_vault'] ) {
		return array();
	}
	return array(
		'payment_source' => array(
			'paypal' => array(
				'attributes'         => array(
					'vault' => array(
						'store_in_vault' => 'ON_SUCCESS',
						'usage_type'     => 'MERCHANT',
					),
				),
				'experience_context' => array(
					'shipping_preference' => 'NO_SHIPPING',
					'return_url'          => home_url( '/' ),
					'cancel_url'          => home_url( '/' ),
				),
			),
		),
	);
}

/**
 * Keeps on an order the account PayPal saved with its payment (the order's
 * payment_source.paypal.attributes.vault), for the visit it opens.
 *
 * @param object|null $order       The recorded order.
 * @param array       $paypal_order The order as PayPal describes it.
 */
function #fn#paypal_with_vault( $order, $paypal_order ) {
	$vault = isset( $paypal_order['payment_source']['paypal']['attributes']['vault'] ) ? $paypal_order['payment_source']['paypal']['attributes']['vault'] : array();
	if ( null !== $order && isset( $vault['id'], $vault['status'] ) && is_string( $vault['id'] ) && 'VAULTED' === $vault['status'] && preg_match( '/^[A-Za-z0-9_-]{1,64}$/', $vault['id'] ) ) {
		$order->saved_method = array( isset( $vault['customer']['id'] ) && is_string( $vault['customer']['id'] ) ? $vault['customer']['id'] : '', $vault['id'] );
	}
	return $order;
}

/**
 * Pays an offer with the visit's saved PayPal account: an order made and paid on the server, at
 * the item's price of now. PayPal-Request-Id makes a double click or a retry the same order
 * (https://developer.paypal.com/api/rest/reference/idempotency/).
 *
 * @return array array( 'order', 'redirect', 'message', 'retry' ) as road_settle() takes it.
 */
function #fn#paypal_charge_saved( $post, $visit, $slot, $price ) {
	$checkout = #fn#checkouts_open( 'paypal', $post->ID, $slot, $price, false );
	$answer   = 0 === $checkout ? null : #fn#paypal_request(
		'POST',
		'/v2/checkout/orders',
		array(
			'intent'         => 'CAPTURE',
			'purchase_units' => array(
				array(
					'custom_id'   => #fn#paypal_custom_id( $post->ID, $slot ),
					'description' => mb_substr( #fn#payments_item_name( $post->ID, $slot ), 0, 127 ),
					'amount'      => array(
						'currency_code' => $price['currency'],
						'value'         => $price['price'],
					),
				),
			),
			'payment_source' => array( 'paypal' => array( 'vault_id' => $visit->method ) ),
		),
		array( 'PayPal-Request-Id' => '#prefix#-' . $visit->token . '-' . (int) $slot . '-' . $price['amount'] . $price['currency'] )
	);
	if ( null === $answer || $answer[0] >= 500 ) {
		return #fn#road_not_charged( __( 'PayPal did not answer in time. Please try again.', '#prefix#' ), true, 'paypal' );
	}
	$data = $answer[1];
	if ( $answer[0] < 200 || $answer[0] > 299 || ! isset( $data['id'] ) || ! is_string( $data['id'] ) || ! preg_match( '/^[A-Z0-9]{1,36}$/', $data['id'] ) ) {
		return #fn#road_not_charged( __( 'PayPal declined the payment.', '#prefix#' ), false, 'paypal' );
	}
	// A repeated request is answered with the order made first, whose checkout is kept already.
	$known = #fn#checkouts_find( 'paypal', $data['id'] );
	if ( null === $known && ! #fn#checkouts_bind( $checkout, $data['id'], #fn#paypal_payee_of( $data ) ) ) {
		return #fn#road_not_charged( __( 'the payment could not be confirmed.', '#prefix#' ), false, 'paypal' );
	}
	$checkout = null === $known ? #fn#checkouts_find( 'paypal', $data['id'] ) : $known;
	if ( isset( $data['status'] ) && 'APPROVED' === $data['status'] ) {
		$captured = #fn#paypal_request( 'POST', '/v2/checkout/orders/' . rawurlencode( $data['id'] ) . '/capture' );
		$data     = null !== $captured && $captured[0] >= 200 && $captured[0] <= 299 ? $captured[1] : $data;
	}
	list( $capture ) = #fn#paypal_capture_of_order( $data );
	if ( ! #fn#paypal_order_is_for( $data, $checkout ) || ! #fn#paypal_capture_pays( $capture, $checkout ) ) {
		return #fn#road_not_charged( __( 'PayPal declined the payment.', '#prefix#' ), false, 'paypal' );
	}
	$front = #fn#orders_get( $visit->front_order );
	return array(
		'order'    => #fn#orders_record( 'paypal', $capture['id'], (int) $post->ID, (int) $slot, (int) $checkout->amount, $checkout->currency, null === $front ? '' : $front->email, $data['id'], (int) $visit->id, #fn#split_visit_visitor( $visit ) ),
		'redirect' => '',
		'message'  => '',
		'retry'    => false,
	);
}

/** Deletes the saved account from PayPal's vault: it can't be charged again. */
function #fn#paypal_release_method( $token ) {
	$answer = #fn#paypal_request( 'DELETE', '/v3/vault/payment-tokens/' . rawurlencode( $token ) );
	return null !== $answer && ( ( $answer[0] >= 200 && $answer[0] <= 299 ) || 404 === $answer[0] );
}
