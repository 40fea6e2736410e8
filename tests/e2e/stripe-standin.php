<?php
/**
 * A stand-in for Stripe's API on loopback, as a router script of PHP's built-in server:
 *
 *   E2E_STRIPE_STATE=DIR E2E_STRIPE_KEY=sk_test_... php -S 127.0.0.1:PORT stripe-standin.php
 *
 * It answers the two calls a plugin makes the way Stripe's API reference documents them:
 *   - Create a Checkout Session, POST /v1/checkout/sessions, form-encoded, secret key as a bearer
 *     token: https://docs.stripe.com/api/checkout/sessions/create
 *   - Retrieve a Checkout Session, GET /v1/checkout/sessions/{id}:
 *     https://docs.stripe.com/api/checkout/sessions/retrieve
 *   - The session object's fields (id "cs_...", object "checkout.session", mode, status
 *     "open"/"complete"/"expired", payment_status "paid"/"unpaid"/"no_payment_required",
 *     amount_total in the currency's smallest unit, currency in lower case, metadata,
 *     client_reference_id, customer_details.email, payment_intent (set once paid), livemode (true
 *     only for a live key), url, success_url with {CHECKOUT_SESSION_ID} replaced):
 *     https://docs.stripe.com/api/checkout/sessions/object
 *   - Errors: a JSON object {"error": {"type", "message", ...}} with 401 for a bad key, 400 for a
 *     bad parameter, 404 for no such object: https://docs.stripe.com/api/errors
 * Webhooks are signed by the test itself with the scheme of
 * https://docs.stripe.com/webhooks#verify-manually (see stripe_signature() in wp-e2e.php); the
 * events it sends (checkout.session.completed and .async_payment_succeeded with the session,
 * charge.refunded with the charge's payment_intent and "refunded"
 * (https://docs.stripe.com/api/charges/object), charge.dispute.created with the dispute's
 * payment_intent (https://docs.stripe.com/api/disputes/object), each with "livemode") are those of https://docs.stripe.com/api/events/types.
 *
 * Every session is one JSON file in E2E_STRIPE_STATE, which the test edits to play the buyer
 * (paying, or not) and the provider's faults: "e2e_delay" seconds makes every retrieve of that
 * session answer that late.
 */

$state = getenv( 'E2E_STRIPE_STATE' );
$key   = getenv( 'E2E_STRIPE_KEY' );
$path  = parse_url( $_SERVER['REQUEST_URI'], PHP_URL_PATH );

function answer( $status, $data ) {
	http_response_code( $status );
	header( 'Content-Type: application/json' );
	header( 'Request-Id: req_' . bin2hex( random_bytes( 7 ) ) );
	echo json_encode( $data, JSON_UNESCAPED_SLASHES | JSON_PRETTY_PRINT );
	return true;
}

function error_answer( $status, $type, $message, $param = null ) {
	$error = array(
		'type'    => $type,
		'message' => $message,
	);
	if ( null !== $param ) {
		$error['param'] = $param;
	}
	return answer( $status, array( 'error' => $error ) );
}

$auth = isset( $_SERVER['HTTP_AUTHORIZATION'] ) ? $_SERVER['HTTP_AUTHORIZATION'] : '';
if ( 'Bearer ' . $key !== $auth ) {
	return error_answer( 401, 'invalid_request_error', 'Invalid API Key provided.' );
}

if ( 'POST' === $_SERVER['REQUEST_METHOD'] && '/v1/checkout/sessions' === $path ) {
	// PHP parses Stripe's bracketed form keys (line_items[0][price_data][currency]) into arrays.
	$p = $_POST;
	foreach ( array( 'mode', 'success_url' ) as $required ) {
		if ( empty( $p[ $required ] ) ) {
			return error_answer( 400, 'invalid_request_error', "Missing required param: $required.", $required );
		}
	}
	if ( 'payment' !== $p['mode'] ) {
		return error_answer( 400, 'invalid_request_error', 'Invalid mode.', 'mode' );
	}
	$item = isset( $p['line_items'][0] ) ? $p['line_items'][0] : null;
	if ( ! isset( $item['quantity'], $item['price_data']['currency'], $item['price_data']['unit_amount'], $item['price_data']['product_data']['name'] )
		|| ! ctype_digit( (string) $item['price_data']['unit_amount'] ) || ! preg_match( '/^[a-z]{3}$/', $item['price_data']['currency'] ) ) {
		return error_answer( 400, 'invalid_request_error', 'Invalid line_items[0].', 'line_items' );
	}
	$id      = 'cs_test_' . bin2hex( random_bytes( 16 ) );
	$session = array(
		'id'                  => $id,
		'object'              => 'checkout.session',
		'mode'                => 'payment',
		'status'              => 'open',
		'payment_status'      => 'unpaid',
		'amount_subtotal'     => (int) $item['price_data']['unit_amount'] * (int) $item['quantity'],
		'amount_total'        => (int) $item['price_data']['unit_amount'] * (int) $item['quantity'],
		'currency'            => $item['price_data']['currency'],
		'client_reference_id' => isset( $p['client_reference_id'] ) ? $p['client_reference_id'] : null,
		'metadata'            => isset( $p['metadata'] ) && is_array( $p['metadata'] ) ? $p['metadata'] : (object) array(),
		'customer_details'    => null,
		'payment_intent'      => null,
		'success_url'         => str_replace( '{CHECKOUT_SESSION_ID}', $id, $p['success_url'] ),
		'cancel_url'          => isset( $p['cancel_url'] ) ? $p['cancel_url'] : null,
		'url'                 => 'https://checkout.stripe.com/c/pay/' . $id,
		'created'             => time(),
		'expires_at'          => time() + 86400,
		// Live keys make live sessions: https://docs.stripe.com/keys
		'livemode'            => 0 === strpos( $key, 'sk_live_' ),
		'e2e_request'         => $p,
	);
	file_put_contents( "$state/$id.json", json_encode( $session, JSON_UNESCAPED_SLASHES ) );
	file_put_contents( "$state/last", $id );
	unset( $session['e2e_request'] );
	return answer( 200, $session );
}

if ( 'GET' === $_SERVER['REQUEST_METHOD'] && preg_match( '#^/v1/checkout/sessions/([A-Za-z0-9_]+)$#', $path, $m ) ) {
	$file = "$state/{$m[1]}.json";
	if ( ! is_file( $file ) ) {
		return error_answer( 404, 'invalid_request_error', "No such checkout.session: '{$m[1]}'", 'id' );
	}
	$session = json_decode( file_get_contents( $file ), true );
	if ( ! empty( $session['e2e_delay'] ) ) {
		sleep( (int) $session['e2e_delay'] );
	}
	unset( $session['e2e_request'], $session['e2e_delay'] );
	return answer( 200, $session );
}

return error_answer( 404, 'invalid_request_error', 'Unrecognized request URL (' . $_SERVER['REQUEST_METHOD'] . ': ' . $path . ').' );
