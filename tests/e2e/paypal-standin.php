<?php
/**
 * A stand-in for PayPal's REST API on loopback, as a router script of PHP's built-in server:
 *
 *   E2E_PAYPAL_STATE=DIR E2E_PAYPAL_CLIENT=... E2E_PAYPAL_SECRET=... E2E_PAYPAL_WEBHOOK_ID=... \
 *     php -S 127.0.0.1:PORT paypal-standin.php
 *
 * It answers the calls a plugin makes the way PayPal's API reference documents them:
 *   - OAuth 2.0 access token, POST /v1/oauth2/token, client id and secret as HTTP Basic
 *     credentials, grant_type=client_credentials; answers access_token, token_type "Bearer",
 *     expires_in: https://developer.paypal.com/api/rest/authentication/
 *   - Create order, POST /v2/checkout/orders, JSON { intent, purchase_units[] { custom_id,
 *     description, amount { currency_code, value }, payee { email_address, merchant_id } } }, 201
 *     with the order in status "CREATED", its purchase units' payee (the API caller's account when
 *     the request names none) and its HATEOAS links (rel "approve"):
 *     https://developer.paypal.com/docs/api/orders/v2/#orders_create
 *   - Capture payment for order, POST /v2/checkout/orders/{id}/capture, 201 with the order in
 *     status "COMPLETED" and purchase_units[].payments.captures[] { id, status "COMPLETED" or
 *     "PENDING" (with status_details.reason) ..., amount, custom_id, final_capture }, and payer
 *     { email_address, payer_id, name }; a minimal body (id, status, links) unless
 *     "Prefer: return=representation": https://developer.paypal.com/docs/api/orders/v2/#orders_capture
 *   - Show order details, GET /v2/checkout/orders/{id}:
 *     https://developer.paypal.com/docs/api/orders/v2/#orders_get
 *   - Order status values (CREATED, APPROVED, COMPLETED, ...):
 *     https://developer.paypal.com/api/orders/v2/definitions/order_status
 *   - Errors: { name, message, debug_id, details[] { issue, description }, links }: 401
 *     AUTHENTICATION_FAILURE, 404 RESOURCE_NOT_FOUND, 422 UNPROCESSABLE_ENTITY with the issues
 *     ORDER_NOT_APPROVED and ORDER_ALREADY_CAPTURED, DECIMALS_NOT_SUPPORTED:
 *     https://developer.paypal.com/api/rest/responses/ and
 *     https://developer.paypal.com/docs/api/orders/v2/#error-ORDER_NOT_APPROVED
 *   - Verify webhook signature, POST /v1/notifications/verify-webhook-signature, JSON { auth_algo,
 *     cert_url, transmission_id, transmission_sig, transmission_time, webhook_id, webhook_event },
 *     answering { verification_status: "SUCCESS" | "FAILURE" }:
 *     https://developer.paypal.com/docs/api/webhooks/v1/#verify-webhook-signature_post
 *     The signature is PayPal's scheme, SHA256withRSA over
 *     "transmission_id|transmission_time|webhook_id|CRC32 of the event body" (decimal):
 *     https://developer.paypal.com/api/rest/webhooks/rest/#link-verifysignature
 *     The test plays PayPal's sending side with the key in E2E_PAYPAL_STATE/signing-key.pem.
 *   - The webhook event PAYMENT.CAPTURE.COMPLETED carries the capture as its resource, with
 *     supplementary_data.related_ids.order_id; PAYMENT.CAPTURE.REFUNDED and .REVERSED carry the
 *     refund, whose link "up" is its capture: https://developer.paypal.com/api/rest/webhooks/event-names/
 *     (the test writes these events itself, see wp-e2e-payments-trust.php).
 *
 * Every order is one JSON file in E2E_PAYPAL_STATE, which the test edits to play the buyer
 * (approving, or not) and the provider's faults: "e2e_capture" fields replace those of the capture
 * PayPal makes, "e2e_delay" seconds makes every call on that order answer that late (a capture is
 * made all the same, as when PayPal's answer is lost on the way).
 */

$state = getenv( 'E2E_PAYPAL_STATE' );
$path  = parse_url( $_SERVER['REQUEST_URI'], PHP_URL_PATH );
$base  = 'http://' . $_SERVER['HTTP_HOST'];

function answer( $status, $data ) {
	http_response_code( $status );
	header( 'Content-Type: application/json' );
	header( 'Paypal-Debug-Id: ' . bin2hex( random_bytes( 7 ) ) );
	echo json_encode( $data, JSON_UNESCAPED_SLASHES );
	return true;
}

function error_answer( $status, $name, $message, $issue = null ) {
	$error = array(
		'name'     => $name,
		'message'  => $message,
		'debug_id' => bin2hex( random_bytes( 7 ) ),
		'links'    => array(
			array(
				'href' => 'https://developer.paypal.com/api/rest/reference/orders/v2/errors/#' . strtolower( $issue ? $issue : $name ),
				'rel'  => 'information_link',
			),
		),
	);
	if ( null !== $issue ) {
		$error['details'] = array(
			array(
				'issue'       => $issue,
				'description' => $message,
			),
		);
	}
	return answer( $status, $error );
}

function paypal_id( $length ) {
	$chars = 'ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789';
	$id    = '';
	for ( $i = 0; $i < $length; ++$i ) {
		$id .= $chars[ random_int( 0, 35 ) ];
	}
	return $id;
}

/** The order as PayPal shows it: without the test's own fields. */
function shown( $order ) {
	unset( $order['e2e_capture'], $order['e2e_delay'], $order['e2e_request'] );
	return $order;
}

$body = json_decode( (string) file_get_contents( 'php://input' ), true );
// Every call is logged, so a test can count what the site asks of PayPal.
file_put_contents( "$state/calls", $_SERVER['REQUEST_METHOD'] . " $path\n", FILE_APPEND | LOCK_EX );

if ( 'POST' === $_SERVER['REQUEST_METHOD'] && '/v1/oauth2/token' === $path ) {
	$basic = 'Basic ' . base64_encode( getenv( 'E2E_PAYPAL_CLIENT' ) . ':' . getenv( 'E2E_PAYPAL_SECRET' ) );
	if ( ! isset( $_SERVER['HTTP_AUTHORIZATION'] ) || $basic !== $_SERVER['HTTP_AUTHORIZATION'] ) {
		return answer(
			401,
			array(
				'error'             => 'invalid_client',
				'error_description' => 'Client Authentication failed',
			)
		);
	}
	if ( ! isset( $_POST['grant_type'] ) || 'client_credentials' !== $_POST['grant_type'] ) {
		return answer(
			400,
			array(
				'error'             => 'unsupported_grant_type',
				'error_description' => 'Grant Type is NULL',
			)
		);
	}
	$token = 'A21AA' . bin2hex( random_bytes( 24 ) );
	file_put_contents( "$state/tokens", "$token\n", FILE_APPEND | LOCK_EX );
	return answer(
		200,
		array(
			'scope'        => 'https://uri.paypal.com/services/payments/payment https://uri.paypal.com/services/applications/webhooks',
			'access_token' => $token,
			'token_type'   => 'Bearer',
			'app_id'       => 'APP-80W284485P519543T',
			'expires_in'   => 32400,
			'nonce'        => gmdate( 'Y-m-d\TH:i:s\Z' ) . bin2hex( random_bytes( 8 ) ),
		)
	);
}

$tokens = is_file( "$state/tokens" ) ? file( "$state/tokens", FILE_IGNORE_NEW_LINES ) : array();
$auth   = isset( $_SERVER['HTTP_AUTHORIZATION'] ) ? $_SERVER['HTTP_AUTHORIZATION'] : '';
if ( 0 !== strpos( $auth, 'Bearer ' ) || ! in_array( substr( $auth, 7 ), $tokens, true ) ) {
	return error_answer( 401, 'AUTHENTICATION_FAILURE', 'Authentication failed due to invalid authentication credentials or a missing Authorization header.' );
}

if ( 'POST' === $_SERVER['REQUEST_METHOD'] && '/v2/checkout/orders' === $path ) {
	$unit = isset( $body['purchase_units'][0] ) ? $body['purchase_units'][0] : null;
	if ( ! is_array( $body ) || ! isset( $body['intent'] ) || 'CAPTURE' !== $body['intent'] || 1 !== count( (array) $body['purchase_units'] )
		|| ! isset( $unit['amount']['currency_code'], $unit['amount']['value'] ) || ! preg_match( '/^[A-Z]{3}$/', $unit['amount']['currency_code'] )
		|| ! preg_match( '/^[0-9]+(\.[0-9]+)?$/', $unit['amount']['value'] ) ) {
		return error_answer( 400, 'INVALID_REQUEST', 'Request is not well-formed, syntactically incorrect, or violates schema.', 'INVALID_PARAMETER_SYNTAX' );
	}
	if ( 'JPY' === $unit['amount']['currency_code'] && false !== strpos( $unit['amount']['value'], '.' ) ) {
		return error_answer( 422, 'UNPROCESSABLE_ENTITY', 'Currency does not support decimals.', 'DECIMALS_NOT_SUPPORTED' );
	}
	$id    = paypal_id( 17 );
	$order = array(
		'id'             => $id,
		'intent'         => 'CAPTURE',
		'status'         => 'CREATED',
		'purchase_units' => array(
			array(
				'reference_id' => isset( $unit['reference_id'] ) ? $unit['reference_id'] : 'default',
				'custom_id'    => isset( $unit['custom_id'] ) ? $unit['custom_id'] : null,
				'description'  => isset( $unit['description'] ) ? $unit['description'] : null,
				'amount'       => array(
					'currency_code' => $unit['amount']['currency_code'],
					'value'         => $unit['amount']['value'],
				),
				// The account the app belongs to, unless the order names another payee.
				'payee'        => isset( $unit['payee']['email_address'] ) || isset( $unit['payee']['merchant_id'] ) ? array(
					'email_address' => isset( $unit['payee']['email_address'] ) ? $unit['payee']['email_address'] : 'other@example.com',
					'merchant_id'   => isset( $unit['payee']['merchant_id'] ) ? $unit['payee']['merchant_id'] : 'E2EOTHER' . strtoupper( substr( md5( $unit['payee']['email_address'] ), 0, 6 ) ),
				) : array(
					'email_address' => 'seller@example.com',
					'merchant_id'   => 'E2EMERCHANT01',
				),
			),
		),
		'create_time'    => gmdate( 'Y-m-d\TH:i:s\Z' ),
		'links'          => array(
			array(
				'href'   => "$base/v2/checkout/orders/$id",
				'rel'    => 'self',
				'method' => 'GET',
			),
			array(
				'href'   => "https://www.sandbox.paypal.com/checkoutnow?token=$id",
				'rel'    => 'approve',
				'method' => 'GET',
			),
			array(
				'href'   => "$base/v2/checkout/orders/$id/capture",
				'rel'    => 'capture',
				'method' => 'POST',
			),
		),
		'e2e_request'    => $body,
	);
	file_put_contents( "$state/$id.json", json_encode( $order, JSON_UNESCAPED_SLASHES ) );
	file_put_contents( "$state/last", $id );
	return answer( 201, shown( $order ) );
}

if ( preg_match( '#^/v2/checkout/orders/([A-Z0-9]+)(/capture)?$#', $path, $m ) ) {
	$file = "$state/{$m[1]}.json";
	if ( ! is_file( $file ) ) {
		return error_answer( 404, 'RESOURCE_NOT_FOUND', 'The specified resource does not exist.', 'INVALID_RESOURCE_ID' );
	}
	$order = json_decode( file_get_contents( $file ), true );
	$late  = empty( $order['e2e_delay'] ) ? 0 : (int) $order['e2e_delay'];
	if ( 'GET' === $_SERVER['REQUEST_METHOD'] && empty( $m[2] ) ) {
		sleep( $late );
		return answer( 200, shown( $order ) );
	}
	if ( 'POST' !== $_SERVER['REQUEST_METHOD'] || empty( $m[2] ) ) {
		return error_answer( 405, 'METHOD_NOT_SUPPORTED', 'The server does not implement the requested HTTP method.' );
	}
	if ( 'COMPLETED' === $order['status'] ) {
		sleep( $late );
		return error_answer( 422, 'UNPROCESSABLE_ENTITY', 'Order already captured. If intent=CAPTURE only one capture per order is allowed.', 'ORDER_ALREADY_CAPTURED' );
	}
	if ( 'APPROVED' !== $order['status'] ) {
		sleep( $late );
		return error_answer( 422, 'UNPROCESSABLE_ENTITY', 'Payer has not yet approved the Order for payment.', 'ORDER_NOT_APPROVED' );
	}
	$unit    = $order['purchase_units'][0];
	$capture = array_replace(
		array(
			'id'                => paypal_id( 17 ),
			'status'            => 'COMPLETED',
			'amount'            => $unit['amount'],
			'final_capture'     => true,
			'seller_protection' => array( 'status' => 'ELIGIBLE' ),
			'custom_id'         => $unit['custom_id'],
			'create_time'       => gmdate( 'Y-m-d\TH:i:s\Z' ),
			'update_time'       => gmdate( 'Y-m-d\TH:i:s\Z' ),
			'links'             => array(),
		),
		isset( $order['e2e_capture'] ) ? $order['e2e_capture'] : array()
	);
	$capture['links'] = array(
		array(
			'href'   => "$base/v2/payments/captures/{$capture['id']}",
			'rel'    => 'self',
			'method' => 'GET',
		),
		array(
			'href'   => "$base/v2/checkout/orders/{$order['id']}",
			'rel'    => 'up',
			'method' => 'GET',
		),
	);
	$order['status']                                = 'COMPLETED';
	$order['purchase_units'][0]['payments']         = array( 'captures' => array( $capture ) );
	$order['update_time']                           = gmdate( 'Y-m-d\TH:i:s\Z' );
	file_put_contents( $file, json_encode( $order, JSON_UNESCAPED_SLASHES ) );
	sleep( $late );
	$prefer = isset( $_SERVER['HTTP_PREFER'] ) ? $_SERVER['HTTP_PREFER'] : 'return=minimal';
	if ( 'return=representation' !== $prefer ) {
		return answer(
			201,
			array(
				'id'     => $order['id'],
				'status' => $order['status'],
				'links'  => $order['links'],
			)
		);
	}
	return answer( 201, shown( $order ) );
}

if ( 'POST' === $_SERVER['REQUEST_METHOD'] && '/v1/notifications/verify-webhook-signature' === $path ) {
	foreach ( array( 'auth_algo', 'cert_url', 'transmission_id', 'transmission_sig', 'transmission_time', 'webhook_id', 'webhook_event' ) as $field ) {
		if ( empty( $body[ $field ] ) ) {
			return error_answer( 400, 'VALIDATION_ERROR', 'Invalid request - see details.', 'MISSING_REQUIRED_PARAMETER' );
		}
	}
	$key     = openssl_pkey_get_details( openssl_pkey_get_private( (string) @file_get_contents( "$state/signing-key.pem" ) ) );
	$event   = json_encode( $body['webhook_event'], JSON_UNESCAPED_SLASHES );
	$message = $body['transmission_id'] . '|' . $body['transmission_time'] . '|' . $body['webhook_id'] . '|' . crc32( $event );
	$ok      = 'SHA256withRSA' === $body['auth_algo'] && getenv( 'E2E_PAYPAL_WEBHOOK_ID' ) === $body['webhook_id'] && is_array( $key )
		&& 1 === openssl_verify( $message, (string) base64_decode( $body['transmission_sig'], true ), $key['key'], OPENSSL_ALGO_SHA256 );
	return answer( 200, array( 'verification_status' => $ok ? 'SUCCESS' : 'FAILURE' ) );
}

return error_answer( 404, 'RESOURCE_NOT_FOUND', 'The specified resource does not exist.' );
