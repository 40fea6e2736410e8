<?php
/**
 * A stand-in for Stripe's API on loopback, as a router script of PHP's built-in server:
 *
 *   E2E_STRIPE_STATE=DIR E2E_STRIPE_KEY=sk_test_... php -S 127.0.0.1:PORT stripe-standin.php
 *
 * It answers the calls a plugin makes the way Stripe's API reference documents them:
 *   - Create a Checkout Session, POST /v1/checkout/sessions, form-encoded, secret key as a bearer
 *     token: https://docs.stripe.com/api/checkout/sessions/create
 *     With customer_creation ("always" or "if_required", the default of payment mode since
 *     https://docs.stripe.com/changelog/2022-08-01/default-customer-creation-checkout-session),
 *     customer (an existing cus_... id; given together with customer_creation it is refused, 400
 *     "You may only specify one of these parameters: customer, customer_creation.", Stripe's answer
 *     to two parameters that exclude each other) and payment_intent_data[setup_future_usage]
 *     ("on_session" or "off_session": the card is attached to the session's Customer, given or
 *     created, and to none when Checkout creates no Customer).
 *   - Retrieve a Checkout Session, GET /v1/checkout/sessions/{id}:
 *     https://docs.stripe.com/api/checkout/sessions/retrieve
 *   - The session object's fields (id "cs_...", object "checkout.session", mode, status
 *     "open"/"complete"/"expired", payment_status "paid"/"unpaid"/"no_payment_required",
 *     amount_total in the currency's smallest unit, currency in lower case, metadata,
 *     client_reference_id, customer (null until Checkout creates one, unless given),
 *     customer_creation, customer_details.email, payment_intent (set once paid), livemode (true
 *     only for a live key), url, success_url with {CHECKOUT_SESSION_ID} replaced):
 *     https://docs.stripe.com/api/checkout/sessions/object
 *   - The Customer a paid session made: https://docs.stripe.com/api/customers/object
 *   - Retrieve a PaymentMethod, GET /v1/payment_methods/{id} (type "card", card.brand, card.last4,
 *     customer: the Customer it is attached to, or null): https://docs.stripe.com/api/payment_methods/retrieve
 *     and https://docs.stripe.com/api/payment_methods/object
 *   - Detach a PaymentMethod, POST /v1/payment_methods/{id}/detach, answering it with customer
 *     null; "After a PaymentMethod is detached, it can no longer be used for a payment":
 *     https://docs.stripe.com/api/payment_methods/detach
 *   - Create a PaymentIntent, POST /v1/payment_intents: amount, currency, customer,
 *     payment_method, confirm, return_url, off_session, setup_future_usage, metadata[...],
 *     automatic_payment_methods[...], payment_method_types[], error_on_requires_action:
 *     https://docs.stripe.com/api/payment_intents/create
 *     A payment method attached to a Customer needs that Customer's id as customer ("Payment
 *     methods attached to other Customers cannot be used with this PaymentIntent"); one that is
 *     attached to none and was used already, or was detached, is refused (400, param
 *     payment_method). off_session, return_url and error_on_requires_action "can only be used with
 *     confirm=true". Since automatic payment methods are on by default, confirming needs a
 *     return_url unless off_session=true, automatic_payment_methods[allow_redirects]=never, or
 *     payment_method_types that don't redirect (card):
 *     https://docs.stripe.com/changelog/2023-08-16/automatic-payment-methods
 *     Confirmed, the card the buyer paid with decides (the cards of https://docs.stripe.com/testing):
 *     "ok" (…4242) succeeds, amount_received = amount; "3ds" (…3184, authentication on every
 *     payment) is "requires_action" with next_action redirect_to_url {url, return_url} on
 *     session, and off session (or with error_on_requires_action) fails as a card_error
 *     "authentication_required", the intent back to "requires_payment_method"
 *     (https://support.stripe.com/questions/manual-confirmation-for-off-session-payments-requiring-strong-customer-authentication-sca);
 *     "decline" (…0341, attaches but every charge fails) fails as a card_error "card_declined" with
 *     decline_code "generic_decline": https://docs.stripe.com/declines/codes
 *   - Retrieve a PaymentIntent, GET /v1/payment_intents/{id}; the object's fields (id "pi_...",
 *     object "payment_intent", amount, amount_received, currency, customer, payment_method,
 *     status, next_action, last_payment_error, setup_future_usage, client_secret, latest_charge,
 *     livemode, metadata, created): https://docs.stripe.com/api/payment_intents/retrieve and
 *     https://docs.stripe.com/api/payment_intents/object
 *   - Idempotency-Key on every POST: the first answer's status code and body are kept and given
 *     again to the same key with the same endpoint and parameters, errors included; other
 *     parameters under a used key are a 400 idempotency_error; a key whose first request is still
 *     running is a 409; a request refused for its parameters keeps nothing, so it may be retried:
 *     https://docs.stripe.com/api/idempotent_requests
 *   - Errors: a JSON object {"error": {"type", "message", "code", "param", ...}} with 401 for a bad
 *     key, 400 for a bad parameter (code "resource_missing" for no such object), 402 for a failed
 *     payment (type "card_error", with code, decline_code, charge and the PaymentIntent), 404 for
 *     no such object, 409 for a request that conflicts with another: https://docs.stripe.com/api/errors
 *     and https://docs.stripe.com/error-codes (payment_intent_authentication_failure,
 *     authentication_required, card_declined, resource_missing)
 * Webhooks are signed by the test itself with the scheme of
 * https://docs.stripe.com/webhooks#verify-manually (see stripe_signature() in wp-e2e.php); the
 * events it sends (checkout.session.completed and .async_payment_succeeded with the session,
 * charge.refunded with the charge's payment_intent and "refunded"
 * (https://docs.stripe.com/api/charges/object), charge.dispute.created with the dispute's
 * payment_intent (https://docs.stripe.com/api/disputes/object), each with "livemode") are those of https://docs.stripe.com/api/events/types.
 *
 * Every session, customer, payment method and payment intent is one JSON file in
 * E2E_STRIPE_STATE ("<id>.json"), which the test edits to play the buyer (paying, or not) and the
 * provider's faults: "e2e_delay" seconds makes every retrieve of that session answer that late;
 * a number N in the file "e2e_intent_delay" makes each new payment intent answered N seconds after
 * it is made (the answer lost on the way); a payment method's "e2e_card" ("ok", "3ds", "decline")
 * is how its later charges go. Fields named e2e_* are never shown. Idempotency keys are kept as
 * "idem-<sha256 of the key>.json". Every request is logged as one line of "calls":
 * "METHOD PATH IDEMPOTENCY-KEY" ("-" without one).
 *
 * Test-only routes, under /e2e/ so that no route of Stripe's is shadowed, and without the key:
 *   - POST /e2e/checkout/sessions/{id}/pay, form email (buyer@example.com) and card ("ok",
 *     "3ds", "decline"; "ok"): the buyer pays on Stripe's page. A Customer is made if the session
 *     asked customer_creation=always (or the given one is used), a card PaymentMethod (attached to
 *     that Customer when the session asked setup_future_usage), a succeeded PaymentIntent of the
 *     session's amount; the session becomes complete and paid, and is answered.
 *   - POST /e2e/payment_intents/{id}/authenticate, form result "succeed" or "fail": the buyer
 *     finishes (or fails) the authentication of a "requires_action" intent, which becomes
 *     "succeeded", or "requires_payment_method" with last_payment_error
 *     payment_intent_authentication_failure; the intent is answered.
 */

$state  = getenv( 'E2E_STRIPE_STATE' );
$key    = getenv( 'E2E_STRIPE_KEY' );
$path   = parse_url( $_SERVER['REQUEST_URI'], PHP_URL_PATH );
$method = $_SERVER['REQUEST_METHOD'];
$ikey   = isset( $_SERVER['HTTP_IDEMPOTENCY_KEY'] ) ? (string) $_SERVER['HTTP_IDEMPOTENCY_KEY'] : '';
// Live keys make live objects: https://docs.stripe.com/keys
$livemode = 0 === strpos( $key, 'sk_live_' );

// Every request is logged, so a test can count what the site asks of Stripe.
file_put_contents( "$state/calls", "$method $path " . ( '' === $ikey ? '-' : preg_replace( '/\s/', '_', $ikey ) ) . "\n", FILE_APPEND | LOCK_EX );

function body_of( $data ) {
	return json_encode( $data, JSON_UNESCAPED_SLASHES | JSON_PRETTY_PRINT );
}

function answer( $status, $data ) {
	http_response_code( $status );
	header( 'Content-Type: application/json' );
	header( 'Request-Id: req_' . bin2hex( random_bytes( 7 ) ) );
	echo body_of( $data );
	return true;
}

function error_answer( $status, $type, $message, $param = null, $code = null ) {
	$error = array(
		'type'    => $type,
		'message' => $message,
	);
	if ( null !== $code ) {
		$error['code']    = $code;
		$error['doc_url'] = 'https://docs.stripe.com/error-codes/' . str_replace( '_', '-', $code );
	}
	if ( null !== $param ) {
		$error['param'] = $param;
	}
	return answer( $status, array( 'error' => $error ) );
}

function load( $file ) {
	$data = is_file( $file ) ? json_decode( (string) file_get_contents( $file ), true ) : null;
	return is_array( $data ) ? $data : null;
}

/** Written whole or not at all, for a reader in another worker. */
function save( $file, $data ) {
	$temp = $file . '.' . getmypid() . '.tmp';
	file_put_contents( $temp, json_encode( $data, JSON_UNESCAPED_SLASHES ) );
	rename( $temp, $file );
}

/** An object the state folder keeps, by its id and prefix, or null. */
function object_of( $prefix, $id ) {
	global $state;
	return is_string( $id ) && preg_match( '/^' . $prefix . '_[A-Za-z0-9_]+$/', $id ) ? load( "$state/$id.json" ) : null;
}

/** An object as Stripe shows it: without the test's own fields. */
function shown( $object ) {
	foreach ( array_keys( $object ) as $field ) {
		if ( 0 === strpos( $field, 'e2e_' ) ) {
			unset( $object[ $field ] );
		}
	}
	return $object;
}

function stripe_id( $prefix ) {
	return $prefix . '_' . substr( str_replace( array( '+', '/', '=' ), '', base64_encode( random_bytes( 24 ) ) ), 0, 24 );
}

function canonical( $value ) {
	if ( is_array( $value ) ) {
		ksort( $value );
		return array_map( 'canonical', $value );
	}
	return $value;
}

/** Keeps the answer of a request made with an Idempotency-Key, once the endpoint has run. */
function idem_save( $status, $data ) {
	global $idem_file, $idem_print;
	if ( null !== $idem_file ) {
		save(
			$idem_file,
			array(
				'done'        => true,
				'fingerprint' => $idem_print,
				'status'      => $status,
				'body'        => body_of( $data ),
			)
		);
	}
}

function respond( $status, $data ) {
	idem_save( $status, $data );
	return answer( $status, $data );
}

function truthy( $p, $name ) {
	return isset( $p[ $name ] ) && in_array( (string) $p[ $name ], array( 'true', '1' ), true );
}

function card_last4( $card ) {
	$last4 = array(
		'ok'      => '4242',
		'3ds'     => '3184',
		'decline' => '0341',
	);
	return $last4[ $card ];
}

/** Attaches a payment method to the intent's Customer once it succeeded, when setup_future_usage asked it. */
function attach_after_success( $intent ) {
	global $state;
	$pm = object_of( 'pm', $intent['payment_method'] );
	if ( null !== $pm && null === $pm['customer'] && ! empty( $intent['setup_future_usage'] ) && null !== $intent['customer'] && empty( $pm['e2e_detached'] ) ) {
		$pm['customer'] = $intent['customer'];
		save( "$state/{$pm['id']}.json", $pm );
	}
}

// Test-only routes: the test plays the buyer on Stripe's pages.
if ( 0 === strpos( $path, '/e2e/' ) ) {
	if ( 'POST' === $method && preg_match( '#^/e2e/checkout/sessions/([A-Za-z0-9_]+)/pay$#', $path, $m ) ) {
		$session = object_of( 'cs', $m[1] );
		if ( null === $session ) {
			return error_answer( 404, 'invalid_request_error', "No such checkout.session: '{$m[1]}'", 'id', 'resource_missing' );
		}
		$card  = isset( $_POST['card'] ) && '' !== $_POST['card'] ? (string) $_POST['card'] : 'ok';
		$email = isset( $_POST['email'] ) && '' !== $_POST['email'] ? (string) $_POST['email'] : 'buyer@example.com';
		if ( ! in_array( $card, array( 'ok', '3ds', 'decline' ), true ) || 'open' !== $session['status'] ) {
			return error_answer( 400, 'invalid_request_error', 'The session is not open, or card is not one of ok, 3ds, decline.', 'card' );
		}
		$request  = isset( $session['e2e_request'] ) ? $session['e2e_request'] : array();
		$usage    = isset( $request['payment_intent_data']['setup_future_usage'] ) ? $request['payment_intent_data']['setup_future_usage'] : null;
		$customer = isset( $session['customer'] ) ? $session['customer'] : null;
		if ( null === $customer && isset( $session['customer_creation'] ) && 'always' === $session['customer_creation'] ) {
			$customer = stripe_id( 'cus' );
			save(
				"$state/$customer.json",
				array(
					'id'               => $customer,
					'object'           => 'customer',
					'email'            => $email,
					'name'             => null,
					'created'          => time(),
					'livemode'         => $livemode,
					'metadata'         => (object) array(),
					'invoice_settings' => array( 'default_payment_method' => null ),
				)
			);
		}
		$pm = array(
			'id'              => stripe_id( 'pm' ),
			'object'          => 'payment_method',
			'type'            => 'card',
			'billing_details' => array(
				'address' => null,
				'email'   => $email,
				'name'    => null,
				'phone'   => null,
			),
			'card'            => array(
				'brand'       => 'visa',
				'country'     => 'US',
				'exp_month'   => 12,
				'exp_year'    => (int) gmdate( 'Y' ) + 3,
				'fingerprint' => substr( bin2hex( random_bytes( 8 ) ), 0, 16 ),
				'funding'     => 'credit',
				'last4'       => card_last4( $card ),
			),
			// Checkout attaches the card to the session's Customer when the session asked to keep it.
			'customer'        => null !== $usage && null !== $customer ? $customer : null,
			'created'         => time(),
			'livemode'        => $livemode,
			'metadata'        => (object) array(),
			'e2e_card'        => $card,
			'e2e_used'        => true,
		);
		save( "$state/{$pm['id']}.json", $pm );
		$intent = array(
			'id'                        => stripe_id( 'pi' ),
			'object'                    => 'payment_intent',
			'amount'                    => $session['amount_total'],
			'amount_capturable'         => 0,
			'amount_received'           => $session['amount_total'],
			'automatic_payment_methods' => null,
			'canceled_at'               => null,
			'cancellation_reason'       => null,
			'capture_method'            => 'automatic_async',
			'confirmation_method'       => 'automatic',
			'created'                   => time(),
			'currency'                  => $session['currency'],
			'customer'                  => $customer,
			'description'               => null,
			'last_payment_error'        => null,
			'latest_charge'             => stripe_id( 'ch' ),
			'livemode'                  => $livemode,
			'metadata'                  => isset( $request['payment_intent_data']['metadata'] ) && is_array( $request['payment_intent_data']['metadata'] ) ? $request['payment_intent_data']['metadata'] : (object) array(),
			'next_action'               => null,
			'payment_method'            => $pm['id'],
			'payment_method_types'      => array( 'card' ),
			'setup_future_usage'        => $usage,
			'status'                    => 'succeeded',
		);
		$intent['client_secret'] = $intent['id'] . '_secret_' . bin2hex( random_bytes( 12 ) );
		save( "$state/{$intent['id']}.json", $intent );
		$session = array_replace(
			$session,
			array(
				'status'           => 'complete',
				'payment_status'   => 'paid',
				'customer'         => $customer,
				'customer_details' => array(
					'address'    => null,
					'email'      => $email,
					'name'       => null,
					'phone'      => null,
					'tax_exempt' => 'none',
					'tax_ids'    => array(),
				),
				'payment_intent'   => $intent['id'],
			)
		);
		save( "$state/{$session['id']}.json", $session );
		return answer( 200, shown( $session ) );
	}

	if ( 'POST' === $method && preg_match( '#^/e2e/payment_intents/([A-Za-z0-9_]+)/authenticate$#', $path, $m ) ) {
		$intent = object_of( 'pi', $m[1] );
		if ( null === $intent ) {
			return error_answer( 404, 'invalid_request_error', "No such payment_intent: '{$m[1]}'", 'id', 'resource_missing' );
		}
		$result = isset( $_POST['result'] ) ? (string) $_POST['result'] : '';
		if ( 'requires_action' !== $intent['status'] || ! in_array( $result, array( 'succeed', 'fail' ), true ) ) {
			return error_answer( 400, 'invalid_request_error', 'The intent does not require an action, or result is not one of succeed, fail.', 'result' );
		}
		$intent['next_action'] = null;
		if ( 'succeed' === $result ) {
			$intent['status']          = 'succeeded';
			$intent['amount_received'] = $intent['amount'];
			$intent['latest_charge']   = stripe_id( 'ch' );
			attach_after_success( $intent );
		} else {
			$pm                           = object_of( 'pm', $intent['payment_method'] );
			$intent['status']             = 'requires_payment_method';
			$intent['last_payment_error'] = array(
				'type'           => 'invalid_request_error',
				'code'           => 'payment_intent_authentication_failure',
				'doc_url'        => 'https://docs.stripe.com/error-codes/payment-intent-authentication-failure',
				'message'        => 'The provided PaymentMethod has failed authentication. You can provide payment_method_data or a new PaymentMethod to attempt to fulfill this PaymentIntent again.',
				'payment_method' => null === $pm ? null : shown( $pm ),
			);
		}
		save( "$state/{$intent['id']}.json", $intent );
		return answer( 200, shown( $intent ) );
	}

	return error_answer( 404, 'invalid_request_error', 'Unrecognized request URL (' . $method . ': ' . $path . ').' );
}

$auth = isset( $_SERVER['HTTP_AUTHORIZATION'] ) ? $_SERVER['HTTP_AUTHORIZATION'] : '';
if ( 'Bearer ' . $key !== $auth ) {
	return error_answer( 401, 'invalid_request_error', 'Invalid API Key provided.' );
}

// Idempotent requests: a POST's first answer is kept under its key, once the endpoint runs.
$idem_file  = null;
$idem_print = '';
if ( 'POST' === $method && '' !== $ikey ) {
	if ( strlen( $ikey ) > 255 ) {
		return error_answer( 400, 'invalid_request_error', 'Idempotency keys are up to 255 characters long.' );
	}
	$file       = "$state/idem-" . hash( 'sha256', $ikey ) . '.json';
	$idem_print = hash( 'sha256', $path . "\n" . json_encode( canonical( $_POST ) ) );
	$handle     = @fopen( $file, 'x' );
	if ( false === $handle ) {
		$kept = load( $file );
		if ( null === $kept || empty( $kept['done'] ) ) {
			return error_answer( 409, 'idempotency_error', 'There is currently another in-progress request using this idempotency key. Try the request again later.' );
		}
		if ( $kept['fingerprint'] !== $idem_print ) {
			return error_answer( 400, 'idempotency_error', "Keys for idempotent requests can only be used with the same parameters they were first used with. Try using a key other than '$ikey' if you meant to execute a different request." );
		}
		http_response_code( $kept['status'] );
		header( 'Content-Type: application/json' );
		header( 'Request-Id: req_' . bin2hex( random_bytes( 7 ) ) );
		echo $kept['body'];
		return true;
	}
	fwrite( $handle, json_encode( array( 'done' => false ) ) );
	fclose( $handle );
	$idem_file = $file;
	// A request refused before the endpoint ran keeps nothing, and may be retried.
	register_shutdown_function(
		function () use ( $file ) {
			$kept = load( $file );
			if ( null === $kept || empty( $kept['done'] ) ) {
				@unlink( $file );
			}
		}
	);
}

if ( 'POST' === $method && '/v1/checkout/sessions' === $path ) {
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
	$creation = isset( $p['customer_creation'] ) && '' !== $p['customer_creation'] ? $p['customer_creation'] : null;
	$customer = isset( $p['customer'] ) && '' !== $p['customer'] ? $p['customer'] : null;
	$usage    = isset( $p['payment_intent_data']['setup_future_usage'] ) && '' !== $p['payment_intent_data']['setup_future_usage'] ? $p['payment_intent_data']['setup_future_usage'] : null;
	if ( null !== $creation && ! in_array( $creation, array( 'always', 'if_required' ), true ) ) {
		return error_answer( 400, 'invalid_request_error', 'Invalid customer_creation: must be one of always or if_required', 'customer_creation' );
	}
	if ( null !== $customer && null !== $creation ) {
		return error_answer( 400, 'invalid_request_error', 'You may only specify one of these parameters: customer, customer_creation.', 'customer_creation' );
	}
	if ( null !== $customer && null === object_of( 'cus', $customer ) ) {
		return error_answer( 400, 'invalid_request_error', "No such customer: '$customer'", 'customer', 'resource_missing' );
	}
	if ( null !== $usage && ! in_array( $usage, array( 'on_session', 'off_session' ), true ) ) {
		return error_answer( 400, 'invalid_request_error', 'Invalid payment_intent_data[setup_future_usage]: must be one of on_session or off_session', 'payment_intent_data[setup_future_usage]' );
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
		'customer'            => $customer,
		'customer_creation'   => null === $customer && null === $creation ? 'if_required' : $creation,
		'metadata'            => isset( $p['metadata'] ) && is_array( $p['metadata'] ) ? $p['metadata'] : (object) array(),
		'customer_details'    => null,
		'payment_intent'      => null,
		'success_url'         => str_replace( '{CHECKOUT_SESSION_ID}', $id, $p['success_url'] ),
		'cancel_url'          => isset( $p['cancel_url'] ) ? $p['cancel_url'] : null,
		'url'                 => 'https://checkout.stripe.com/c/pay/' . $id,
		'created'             => time(),
		'expires_at'          => time() + 86400,
		'livemode'            => $livemode,
		'e2e_request'         => $p,
	);
	file_put_contents( "$state/$id.json", json_encode( $session, JSON_UNESCAPED_SLASHES ) );
	file_put_contents( "$state/last", $id );
	unset( $session['e2e_request'] );
	return respond( 200, $session );
}

if ( 'GET' === $method && preg_match( '#^/v1/checkout/sessions/([A-Za-z0-9_]+)$#', $path, $m ) ) {
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

if ( 'POST' === $method && '/v1/payment_intents' === $path ) {
	$p = $_POST;
	foreach ( array( 'amount', 'currency' ) as $required ) {
		if ( ! isset( $p[ $required ] ) || '' === $p[ $required ] ) {
			return error_answer( 400, 'invalid_request_error', "Missing required param: $required.", $required );
		}
	}
	if ( ! ctype_digit( (string) $p['amount'] ) || (int) $p['amount'] < 1 ) {
		return error_answer( 400, 'invalid_request_error', 'Invalid positive integer', 'amount' );
	}
	if ( ! is_string( $p['currency'] ) || ! preg_match( '/^[a-z]{3}$/', $p['currency'] ) ) {
		return error_answer( 400, 'invalid_request_error', 'Invalid currency: ' . ( is_string( $p['currency'] ) ? $p['currency'] : '' ), 'currency' );
	}
	$confirm = truthy( $p, 'confirm' );
	foreach ( array( 'off_session', 'return_url', 'error_on_requires_action' ) as $only ) {
		if ( ! $confirm && isset( $p[ $only ] ) ) {
			return error_answer( 400, 'invalid_request_error', "$only can only be used with confirm=true.", $only );
		}
	}
	$off_session = isset( $p['off_session'] ) && in_array( (string) $p['off_session'], array( 'true', '1', 'one_off', 'recurring' ), true );
	$types       = isset( $p['payment_method_types'] ) && is_array( $p['payment_method_types'] ) ? array_values( $p['payment_method_types'] ) : null;
	$automatic   = isset( $p['automatic_payment_methods'] ) && is_array( $p['automatic_payment_methods'] ) ? $p['automatic_payment_methods'] : null;
	$no_redirect = ( isset( $automatic['allow_redirects'] ) && 'never' === $automatic['allow_redirects'] ) || ( $types && ! array_diff( $types, array( 'card' ) ) );
	$return_url  = isset( $p['return_url'] ) && '' !== $p['return_url'] ? (string) $p['return_url'] : null;
	if ( $confirm && null === $return_url && ! $off_session && ! $no_redirect ) {
		return error_answer( 400, 'invalid_request_error', 'A `return_url` must be specified because this Payment Intent is configured to automatically accept the payment methods enabled in the Dashboard, some of which may require a full page redirect to succeed. If you do not want to accept redirect-based payment methods, set `automatic_payment_methods[enabled]` to `true` and `automatic_payment_methods[allow_redirects]` to `never` when creating Setup Intents and Payment Intents.', 'return_url' );
	}
	$usage = isset( $p['setup_future_usage'] ) && '' !== $p['setup_future_usage'] ? $p['setup_future_usage'] : null;
	if ( null !== $usage && ! in_array( $usage, array( 'on_session', 'off_session' ), true ) ) {
		return error_answer( 400, 'invalid_request_error', 'Invalid setup_future_usage: must be one of on_session or off_session', 'setup_future_usage' );
	}
	$customer = isset( $p['customer'] ) && '' !== $p['customer'] ? (string) $p['customer'] : null;
	if ( null !== $customer && null === object_of( 'cus', $customer ) ) {
		return error_answer( 400, 'invalid_request_error', "No such customer: '$customer'", 'customer', 'resource_missing' );
	}
	$pm = null;
	if ( isset( $p['payment_method'] ) && '' !== $p['payment_method'] ) {
		$pm = object_of( 'pm', $p['payment_method'] );
		if ( null === $pm ) {
			return error_answer( 400, 'invalid_request_error', "No such PaymentMethod: '" . ( is_string( $p['payment_method'] ) ? $p['payment_method'] : '' ) . "'", 'payment_method', 'resource_missing' );
		}
		if ( null === $pm['customer'] && ( ! empty( $pm['e2e_used'] ) || ! empty( $pm['e2e_detached'] ) ) ) {
			return error_answer( 400, 'invalid_request_error', 'The provided PaymentMethod was previously used with a PaymentIntent without Customer attachment, shared with a connected account without Customer attachment, or was detached from a Customer. It may not be used again. To use a PaymentMethod multiple times, you must attach it to a Customer first.', 'payment_method' );
		}
		if ( null !== $pm['customer'] && null === $customer ) {
			return error_answer( 400, 'invalid_request_error', 'The provided PaymentMethod is attached to a Customer. You must also provide the ID of that Customer as the customer parameter of this PaymentIntent.', 'customer' );
		}
		if ( null !== $pm['customer'] && $pm['customer'] !== $customer ) {
			return error_answer( 400, 'invalid_request_error', 'The provided PaymentMethod is attached to another Customer. Payment methods attached to other Customers cannot be used with this PaymentIntent.', 'payment_method' );
		}
	}
	if ( $confirm && null === $pm ) {
		return error_answer( 400, 'invalid_request_error', 'You cannot confirm this PaymentIntent because it\'s missing a payment method. Specify a payment method attached to the customer along with the customer ID.', 'payment_method' );
	}

	// The endpoint runs from here: the intent is made, and its answer is kept under the key.
	$intent                  = array(
		'id'                        => stripe_id( 'pi' ),
		'object'                    => 'payment_intent',
		'amount'                    => (int) $p['amount'],
		'amount_capturable'         => 0,
		'amount_received'           => 0,
		'automatic_payment_methods' => $types ? null : array(
			'allow_redirects' => isset( $automatic['allow_redirects'] ) ? $automatic['allow_redirects'] : 'always',
			'enabled'         => true,
		),
		'canceled_at'               => null,
		'cancellation_reason'       => null,
		'capture_method'            => isset( $p['capture_method'] ) ? $p['capture_method'] : 'automatic_async',
		'confirmation_method'       => isset( $p['confirmation_method'] ) ? $p['confirmation_method'] : 'automatic',
		'created'                   => time(),
		'currency'                  => $p['currency'],
		'customer'                  => $customer,
		'description'               => isset( $p['description'] ) ? $p['description'] : null,
		'last_payment_error'        => null,
		'latest_charge'             => null,
		'livemode'                  => $livemode,
		'metadata'                  => isset( $p['metadata'] ) && is_array( $p['metadata'] ) ? $p['metadata'] : (object) array(),
		'next_action'               => null,
		'payment_method'            => null === $pm ? null : $pm['id'],
		'payment_method_types'      => $types ? $types : array( 'card' ),
		'setup_future_usage'        => $usage,
		'status'                    => null === $pm ? 'requires_payment_method' : 'requires_confirmation',
		'e2e_request'               => $p,
	);
	$intent['client_secret'] = $intent['id'] . '_secret_' . bin2hex( random_bytes( 12 ) );
	$status                  = 200;
	$data                    = null;
	if ( $confirm ) {
		$card = isset( $pm['e2e_card'] ) ? $pm['e2e_card'] : 'ok';
		if ( null === $pm['customer'] ) {
			// Used once without a Customer, it can't be used again.
			$pm['e2e_used'] = true;
			save( "$state/{$pm['id']}.json", $pm );
		}
		$fails = 'decline' === $card || ( '3ds' === $card && ( $off_session || truthy( $p, 'error_on_requires_action' ) ) );
		if ( 'ok' === $card ) {
			$intent['status']          = 'succeeded';
			$intent['amount_received'] = $intent['amount'];
			$intent['latest_charge']   = stripe_id( 'ch' );
		} elseif ( ! $fails ) {
			$intent['status'] = 'requires_action';
			$url              = 'https://hooks.stripe.com/3d_secure_2/hosted?payment_intent=' . $intent['id'];
			// Without a return_url there is no page to come back to: Stripe.js handles the action.
			$intent['next_action'] = null !== $return_url ? array(
				'type'            => 'redirect_to_url',
				'redirect_to_url' => array(
					'return_url' => $return_url,
					'url'        => $url,
				),
			) : array(
				'type'           => 'use_stripe_sdk',
				'use_stripe_sdk' => array(
					'type'      => 'three_d_secure_redirect',
					'stripe_js' => $url,
				),
			);
		} else {
			$code                         = 'decline' === $card ? 'card_declined' : 'authentication_required';
			$intent['status']             = 'requires_payment_method';
			$intent['latest_charge']      = stripe_id( 'ch' );
			$intent['last_payment_error'] = array(
				'type'           => 'card_error',
				'code'           => $code,
				'decline_code'   => 'decline' === $card ? 'generic_decline' : 'authentication_required',
				'message'        => 'decline' === $card ? 'Your card was declined.' : 'Your card was declined. This transaction requires authentication.',
				'charge'         => $intent['latest_charge'],
				'doc_url'        => 'https://docs.stripe.com/error-codes/' . str_replace( '_', '-', $code ),
				'payment_method' => shown( $pm ),
			);
			$status = 402;
			$data   = array( 'error' => $intent['last_payment_error'] + array( 'payment_intent' => shown( $intent ) ) );
		}
		if ( 'succeeded' === $intent['status'] ) {
			attach_after_success( $intent );
		}
	}
	save( "$state/{$intent['id']}.json", $intent );
	if ( null === $data ) {
		$data = shown( $intent );
	}
	idem_save( $status, $data );
	// A provider fault: the intent is made, but its answer comes too late for the caller.
	$late = (int) trim( (string) @file_get_contents( "$state/e2e_intent_delay" ) );
	if ( $late > 0 ) {
		sleep( $late );
	}
	return answer( $status, $data );
}

if ( 'GET' === $method && preg_match( '#^/v1/payment_intents/([A-Za-z0-9_]+)$#', $path, $m ) ) {
	$intent = object_of( 'pi', $m[1] );
	if ( null === $intent ) {
		return error_answer( 404, 'invalid_request_error', "No such payment_intent: '{$m[1]}'", 'id', 'resource_missing' );
	}
	return answer( 200, shown( $intent ) );
}

if ( preg_match( '#^/v1/payment_methods/([A-Za-z0-9_]+)(/detach)?$#', $path, $m ) && ( 'GET' === $method xor ! empty( $m[2] ) ) ) {
	$pm = object_of( 'pm', $m[1] );
	if ( null === $pm ) {
		return error_answer( 404, 'invalid_request_error', "No such PaymentMethod: '{$m[1]}'", 'id', 'resource_missing' );
	}
	if ( 'GET' === $method ) {
		return answer( 200, shown( $pm ) );
	}
	if ( null === $pm['customer'] ) {
		return error_answer( 400, 'invalid_request_error', 'The payment method you provided is not attached to a customer so detachment is impossible.' );
	}
	$pm['customer']     = null;
	$pm['e2e_detached'] = true;
	save( "$state/{$pm['id']}.json", $pm );
	return respond( 200, shown( $pm ) );
}

return error_answer( 404, 'invalid_request_error', 'Unrecognized request URL (' . $method . ': ' . $path . ').' );
