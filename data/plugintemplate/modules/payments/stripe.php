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
 * @return array|null The decoded answer of a 2xx response, or null (failure, timeout, no key).
 */
function #fn#stripe_request( $method, $path, $body = null ) {
	$key = #fn#payments_settings()['stripe_secret_key'];
	if ( '' === $key ) {
		return null;
	}
	$args = array(
		'method'      => $method,
		'timeout'     => 10,
		'redirection' => 0,
		'headers'     => array( 'Authorization' => 'Bearer ' . $key ),
	);
	if ( null !== $body ) {
		$args['body'] = $body;
	}
	$response = wp_remote_request( #fn#stripe_api_base() . $path, $args );
	$code     = (int) wp_remote_retrieve_response_code( $response );
	if ( is_wp_error( $response ) || $code < 200 || $code > 299 ) {
		return null;
	}
	$data = json_decode( wp_remote_retrieve_body( $response ), true );
	return is_array( $data ) ? $data : null;
}

/** @return string The address of Stripe's checkout page, or '' when no session could be made. */
function #fn#stripe_create_checkout( $post, $slot ) {
	$price = #fn#payments_price( $post->ID, $slot );
	$box   = #fn#payments_box_of( $slot );
	if ( null === $price || null === $box ) {
		return '';
	}
	$name = trim( wp_strip_all_tags( (string) get_post_meta( $post->ID, '#prefix#_funnelitem_' . (int) $slot . '_pagetitle', true ) ) );
	// Stripe fills in {CHECKOUT_SESSION_ID} itself, so it must reach Stripe unencoded.
	$success = #fn#page_url( $post, $box['download_token'] );
	$success = $success . ( false === strpos( $success, '?' ) ? '?' : '&' ) . '#fn#session={CHECKOUT_SESSION_ID}';
	$session = #fn#stripe_request(
		'POST',
		'/v1/checkout/sessions',
		array(
			'mode'                                            => 'payment',
			'success_url'                                     => $success,
			'cancel_url'                                      => #fn#page_url( $post, $box['sales_token'] ),
			'client_reference_id'                             => $post->ID . '-' . (int) $slot,
			'metadata[funnel]'                                => (string) $post->ID,
			'metadata[slot]'                                  => (string) (int) $slot,
			'line_items[0][quantity]'                         => '1',
			'line_items[0][price_data][currency]'             => strtolower( $price['currency'] ),
			'line_items[0][price_data][unit_amount]'          => (string) $price['amount'],
			'line_items[0][price_data][product_data][name]'   => '' === $name ? get_the_title( $post ) : $name,
		)
	);
	return isset( $session['url'] ) && is_string( $session['url'] ) && 0 === strpos( $session['url'], 'http' ) ? $session['url'] : '';
}

/**
 * Whether a Checkout Session is a completed payment of exactly this item.
 *
 * @param array $session The session as Stripe describes it.
 */
function #fn#stripe_session_pays( $session, $post_id, $slot ) {
	$price = #fn#payments_price( $post_id, $slot );
	return null !== $price && isset( $session['id'], $session['payment_status'], $session['amount_total'], $session['currency'] )
		&& 'paid' === $session['payment_status']
		&& (int) $price['amount'] === (int) $session['amount_total'] && is_int( $session['amount_total'] )
		&& strtolower( $price['currency'] ) === $session['currency']
		&& isset( $session['metadata']['funnel'], $session['metadata']['slot'] )
		&& (string) $post_id === (string) $session['metadata']['funnel'] && (string) (int) $slot === (string) $session['metadata']['slot'];
}

function #fn#stripe_record( $session, $post_id, $slot ) {
	if ( ! #fn#stripe_session_pays( $session, $post_id, $slot ) ) {
		return null;
	}
	$email = isset( $session['customer_details']['email'] ) && is_string( $session['customer_details']['email'] ) ? $session['customer_details']['email'] : '';
	return #fn#orders_record( 'stripe', (string) $session['id'], $post_id, $slot, (int) $session['amount_total'], $session['currency'], $email );
}

/** The buyer's return: the session is asked of Stripe, never taken from the address. */
function #fn#stripe_confirm_return( $post, $slot, $session_id ) {
	if ( ! preg_match( '/^cs_[A-Za-z0-9_]{1,250}$/', $session_id ) ) {
		return null;
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

/** checkout.session.completed: records the order and mails the buyer their access link. */
function #fn#stripe_webhook( WP_REST_Request $request ) {
	$body = $request->get_body();
	if ( ! #fn#stripe_signature_ok( $request->get_header( 'stripe_signature' ), $body, #fn#payments_settings()['stripe_webhook_secret'], time() ) ) {
		return new WP_REST_Response( array( 'received' => false ), 400 );
	}
	$event = json_decode( $body, true );
	if ( ! is_array( $event ) || ! isset( $event['type'], $event['data']['object'] ) || 'checkout.session.completed' !== $event['type'] ) {
		return new WP_REST_Response( array( 'received' => true ), 200 );
	}
	$session = $event['data']['object'];
	$post_id = isset( $session['metadata']['funnel'] ) ? (int) $session['metadata']['funnel'] : 0;
	$slot    = isset( $session['metadata']['slot'] ) ? (int) $session['metadata']['slot'] : -1;
	if ( get_post_type( $post_id ) !== #fn#post_type() || 'stripe' !== #fn#payments_check( $post_id ) ) {
		return new WP_REST_Response( array( 'received' => true ), 200 );
	}
	$order = #fn#stripe_record( $session, $post_id, $slot );
	if ( null !== $order && $order->is_new && '' !== $order->email ) {
		#fn#payments_mail_access( $order );
	}
	return new WP_REST_Response( array( 'received' => true ), 200 );
}
