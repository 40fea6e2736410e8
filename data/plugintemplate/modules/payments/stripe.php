<?php
/**
 * Stripe Checkout: the session is made here with the server's price, the
 * buyer pays on Stripe's page, and the payment is confirmed by retrieving the
 * session (on the buyer's return) or by Stripe's signed webhook (when the buyer
 * never comes back).
 */

defined( 'ABSPATH' ) || exit;

/**
 * One call to Stripe's API; the secret key goes only into the Authorization header.
 *
 * @param string[] $headers More headers, such as an Idempotency-Key.
 * @return array|null array( status, decoded body ), or null (no answer in time, no key).
 */
function #fn#stripe_call( $method, $path, $body = null, $headers = array() ) {
	$key = #fn#payments_settings()['stripe_secret_key'];
	if ( '' === $key ) {
		return null;
	}
	$args = array(
		'method'      => $method,
		'timeout'     => 10,
		'redirection' => 0,
		'headers'     => array( 'Authorization' => 'Bearer ' . $key ) + $headers,
	);
	if ( null !== $body ) {
		$args['body'] = $body;
	}
	$response = wp_remote_request( #fn#stripe_api_base() . $path, $args );
	if ( is_wp_error( $response ) ) {
		return null;
	}
	$data = json_decode( wp_remote_retrieve_body( $response ), true );
	return array( (int) wp_remote_retrieve_response_code( $response ), is_array( $data ) ? $data : array() );
}

/**
 * @return array|null The decoded answer of a 2xx response, or null (failure, timeout, no key).
 */
function #fn#stripe_request( $method, $path, $body = null ) {
	$answer = #fn#stripe_call( $method, $path, $body );
	return null !== $answer && $answer[0] >= 200 && $answer[0] <= 299 ? $answer[1] : null;
}

/**
 * Makes the Checkout Session of a checkout this site started, at the price it was started with.
 *
 * @return string The address of Stripe's checkout page, or '' when no session could be made.
 */
function #fn#stripe_create_checkout( $post, $slot, $price, $checkout, $visit = null ) {
	$box = #fn#payments_box_of( $slot );
	if ( null === $box ) {
		return '';
	}
	$name = trim( wp_strip_all_tags( (string) get_post_meta( $post->ID, '#prefix#_funnelitem_' . (int) $slot . '_pagetitle', true ) ) );
	// Stripe fills in {CHECKOUT_SESSION_ID} itself, so it must reach Stripe unencoded.
	$success = #fn#page_url( $post, $box['download_token'] );
	$success = null === $visit ? $success : add_query_arg( #fn#road_var(), #fn#visits_reference( $visit ), $success );
	$success = $success . ( false === strpos( $success, '?' ) ? '?' : '&' ) . '#fn#session={CHECKOUT_SESSION_ID}';
	$road    = array();
	if ( 0 === (int) $slot && null !== #fn#payments_box_of( 1 ) ) {
		// The method paid with is kept for the offers that follow while the buyer is there; Checkout
		// tells the buyer so. https://docs.stripe.com/payments/checkout/save-during-payment
		$road = array(
			'customer_creation'                      => 'always',
			'payment_intent_data[setup_future_usage]' => 'on_session',
		);
	}
	if ( null !== $visit ) {
		// An offer's checkout names its visit, so a webhook that comes first moves the visit on.
		$road['metadata[visit]'] = (string) $visit->id;
	}
	$session = #fn#stripe_request(
		'POST',
		'/v1/checkout/sessions',
		$road + array(
			'mode'                                          => 'payment',
			'success_url'                                   => $success,
			'cancel_url'                                    => null === $visit ? #fn#page_url( $post, $box['sales_token'] ) : #fn#road_offer_url( $post, $visit, $slot ),
			'client_reference_id'                           => $post->ID . '-' . (int) $slot,
			'metadata[funnel]'                              => (string) $post->ID,
			'metadata[slot]'                                => (string) (int) $slot,
			'metadata[checkout]'                            => (string) (int) $checkout,
			'line_items[0][quantity]'                       => '1',
			'line_items[0][price_data][currency]'           => strtolower( $price['currency'] ),
			'line_items[0][price_data][unit_amount]'        => (string) $price['amount'],
			'line_items[0][price_data][product_data][name]' => '' === $name ? get_the_title( $post ) : $name,
		)
	);
	if ( ! isset( $session['id'], $session['url'] ) || ! is_string( $session['id'] ) || ! is_string( $session['url'] ) || 0 !== strpos( $session['url'], 'http' ) ) {
		return '';
	}
	return #fn#checkouts_bind( $checkout, $session['id'] ) ? $session['url'] : '';
}

/** Whether a Stripe object or event belongs to the mode the site is in: test keys pay nothing live. */
function #fn#stripe_mode_ok( $object ) {
	return isset( $object['livemode'] ) && is_bool( $object['livemode'] ) && ( 'live' === #fn#payments_settings()['mode'] ) === $object['livemode'];
}

/**
 * Whether a Checkout Session is a completed payment of exactly this item, as this site asked for
 * it when it made the session: the price of that moment, in the site's mode.
 *
 * @param array $session The session as Stripe describes it.
 */
function #fn#stripe_session_pays( $session, $post_id, $slot ) {
	if ( ! isset( $session['id'], $session['payment_status'], $session['amount_total'], $session['currency'] ) || ! is_string( $session['id'] ) ) {
		return false;
	}
	$checkout = #fn#checkouts_find( 'stripe', $session['id'] );
	if ( null === $checkout && ! isset( $session['metadata']['checkout'] ) ) {
		$checkout = #fn#stripe_earlier_checkout( $post_id, $slot );
	}
	return #fn#checkouts_is_for( $checkout, $post_id, $slot ) && #fn#stripe_mode_ok( $session )
		&& 'paid' === $session['payment_status']
		&& is_int( $session['amount_total'] ) && (int) $checkout->amount === $session['amount_total']
		&& strtolower( $checkout->currency ) === $session['currency']
		&& isset( $session['metadata']['funnel'], $session['metadata']['slot'] )
		&& (string) $post_id === (string) $session['metadata']['funnel'] && (string) (int) $slot === (string) $session['metadata']['slot'];
}

/**
 * A session made by this plugin before it kept its checkouts names no checkout: only this site's
 * secret key makes sessions, so it is held to the item's price of now, as it was then.
 */
function #fn#stripe_earlier_checkout( $post_id, $slot ) {
	$price = #fn#payments_price( $post_id, $slot );
	return null === $price ? null : (object) array(
		'funnel_id' => (int) $post_id,
		'slot'      => (int) $slot,
		'amount'    => $price['amount'],
		'currency'  => $price['currency'],
		'mode'      => #fn#payments_settings()['mode'],
	);
}

function #fn#stripe_record( $session, $post_id, $slot ) {
	if ( ! #fn#stripe_session_pays( $session, $post_id, $slot ) ) {
		return null;
	}
	$email  = isset( $session['customer_details']['email'] ) && is_string( $session['customer_details']['email'] ) ? $session['customer_details']['email'] : '';
	$intent = isset( $session['payment_intent'] ) && is_string( $session['payment_intent'] ) ? $session['payment_intent'] : '';
	$checkout = #fn#checkouts_find( 'stripe', $session['id'] );
	return #fn#orders_record( 'stripe', (string) $session['id'], $post_id, $slot, (int) $session['amount_total'], $session['currency'], $email, $intent, 0, null === $checkout ? '' : $checkout->visitor );
}

/**
 * The buyer's return: the session is asked of Stripe, never taken from the address. A session
 * recorded before is not asked again: its order decides.
 */
function #fn#stripe_confirm_return( $post, $slot, $session_id ) {
	if ( ! preg_match( '/^cs_[A-Za-z0-9_]{1,250}$/', $session_id ) ) {
		return null;
	}
	$checkout = #fn#checkouts_find( 'stripe', $session_id );
	if ( null !== $checkout && ! #fn#checkouts_is_for( $checkout, $post->ID, $slot ) ) {
		return null;
	}
	$known = #fn#orders_find( 'stripe', 'payment_id', $session_id );
	if ( null !== $known ) {
		return (int) $known->slot === (int) $slot && (int) $known->funnel_id === (int) $post->ID ? $known : null;
	}
	$session = #fn#stripe_request( 'GET', '/v1/checkout/sessions/' . rawurlencode( $session_id ) );
	return is_array( $session ) ? #fn#stripe_record( $session, $post->ID, $slot ) : null;
}

function #fn#stripe_register_webhook() {
	register_rest_route(
		'#fn#rest/v1',
		'/stripe',
		array(
			'methods'             => 'POST',
			'callback'            => '#fn#stripe_webhook',
			'permission_callback' => '__return_true',
		)
	);
}
add_action( 'rest_api_init', '#fn#stripe_register_webhook' );

/** The address the seller gives Stripe for the webhook. */
function #fn#stripe_webhook_url() {
	return rest_url( '#fn#rest/v1/stripe' );
}

/**
 * Whether a webhook's Stripe-Signature header signs this body: HMAC-SHA256 of
 * "timestamp.body" under the endpoint's signing secret, at most 5 minutes old.
 */
function #fn#stripe_signature_ok( $header, $body, $secret, $now ) {
	if ( '' === $secret || ! is_string( $header ) ) {
		return false;
	}
	$time       = null;
	$signatures = array();
	foreach ( explode( ',', $header ) as $part ) {
		$pair = explode( '=', trim( $part ), 2 );
		if ( 2 !== count( $pair ) ) {
			continue;
		}
		if ( 't' === $pair[0] && ctype_digit( $pair[1] ) ) {
			$time = (int) $pair[1];
		} elseif ( 'v1' === $pair[0] ) {
			$signatures[] = $pair[1];
		}
	}
	if ( null === $time || abs( $now - $time ) > 300 ) {
		return false;
	}
	$expected = hash_hmac( 'sha256', $time . '.' . $body, $secret );
	foreach ( $signatures as $signature ) {
		if ( hash_equals( $expected, $signature ) ) {
			return true;
		}
	}
	return false;
}

/**
 * Stripe's events: a completed session records the order and mails the buyer, unless its payment
 * is still on its way (bank debits and other delayed methods), which then arrives as
 * checkout.session.async_payment_succeeded; refunds and disputes take the downloads back.
 * https://docs.stripe.com/checkout/fulfillment and https://docs.stripe.com/api/events/types
 */
function #fn#stripe_webhook( WP_REST_Request $request ) {
	$body = $request->get_body();
	if ( ! #fn#stripe_signature_ok( $request->get_header( 'stripe_signature' ), $body, #fn#payments_settings()['stripe_webhook_secret'], time() ) ) {
		return new WP_REST_Response( array( 'received' => false ), 400 );
	}
	$event = json_decode( $body, true );
	if ( ! is_array( $event ) || ! isset( $event['type'], $event['data']['object'] ) || ! is_array( $event['data']['object'] ) || ! #fn#stripe_mode_ok( $event ) ) {
		return new WP_REST_Response( array( 'received' => true ), 200 );
	}
	$object = $event['data']['object'];
	switch ( $event['type'] ) {
		case 'checkout.session.completed':
		case 'checkout.session.async_payment_succeeded':
			$post_id = isset( $object['metadata']['funnel'] ) ? (int) $object['metadata']['funnel'] : 0;
			$slot    = isset( $object['metadata']['slot'] ) ? (int) $object['metadata']['slot'] : -1;
			if ( get_post_type( $post_id ) === #fn#post_type() && 'stripe' === #fn#payments_check( $post_id ) ) {
				#fn#payments_settle( #fn#stripe_record( $object, $post_id, $slot ), isset( $object['metadata']['visit'] ) ? (int) $object['metadata']['visit'] : 0 );
			}
			break;
		case 'charge.refunded':
			// A partial refund leaves the purchase standing; "refunded" is true once all of it is.
			if ( ! empty( $object['refunded'] ) && isset( $object['payment_intent'] ) && is_string( $object['payment_intent'] ) ) {
				#fn#orders_revoke( 'stripe', 'payment_ref', $object['payment_intent'], 'refunded' );
			}
			break;
		case 'charge.dispute.created':
			if ( isset( $object['payment_intent'] ) && is_string( $object['payment_intent'] ) ) {
				#fn#orders_revoke( 'stripe', 'payment_ref', $object['payment_intent'], 'disputed' );
			}
			break;
	}
	return new WP_REST_Response( array( 'received' => true ), 200 );
}
