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
 *   - Save PayPal during a purchase: create order with payment_source.paypal { experience_context
 *     { return_url, cancel_url, ... }, attributes { vault { store_in_vault "ON_SUCCESS", usage_type
 *     "MERCHANT" (required), customer_type }, customer { id } } }. An order with a PayPal
 *     payment_source is made in status "PAYER_ACTION_REQUIRED", the payer sent to its link rel
 *     "payer-action" (not "approve"); approved and captured, the capture shows
 *     payment_source.paypal { email_address, account_id, name, attributes { vault { id (the
 *     payment token), status "VAULTED", customer { id }, links } } }:
 *     https://developer.paypal.com/docs/checkout/save-payment-methods/during-purchase/orders-api/paypal
 *     and https://developer.paypal.com/api/orders/v2/definitions/order_status
 *     An app that may not vault is answered 422 UNPROCESSABLE_ENTITY, issue
 *     NOT_ENABLED_TO_VAULT_PAYMENT_SOURCE; a vault without store_in_vault, 422
 *     VAULT_INSTRUCTION_REQUIRED (create order's errors,
 *     https://developer.paypal.com/docs/api/orders/v2/#orders_create, and
 *     https://developer.paypal.com/api/payment-tokens/v3/errors/not_enabled_to_vault_payment_source).
 *   - Pay with a saved PayPal wallet: create order with payment_source.paypal.vault_id charges at
 *     once, without the payer and without a capture call: 201, status "COMPLETED" with
 *     purchase_units[0].payments.captures[0] (https://developer.paypal.com/checkout/save-customer-info;
 *     a COMPLETED order's capture status is what tells whether it paid). As it processes a payment
 *     it needs a PayPal-Request-Id (400 INVALID_REQUEST, issue PAYPAL_REQUEST_ID_REQUIRED); a
 *     declined wallet is 422 INSTRUMENT_DECLINED and no order is made; a token unknown or deleted
 *     is 422 PAYMENT_SOURCE_CANNOT_BE_USED ("The provided payment source cannot be used to pay for
 *     the order"), create order's error for a payment source that can't pay. Its answer is minimal
 *     (id, status, links) unless "Prefer: return=representation".
 *   - PayPal-Request-Id on create order: the same id answers the order it made again, 200 with its
 *     latest status, and pays nothing twice ("PayPal returns the latest status of the previous
 *     request that used that same header"): https://developer.paypal.com/api/rest/reference/idempotency/
 *     and https://developer.paypal.com/docs/api/orders/v2/#orders_create (200 "to an idempotent request")
 *   - Payment tokens, https://developer.paypal.com/docs/api/payment-tokens/v3/: retrieve, GET
 *     /v3/vault/payment-tokens/{id}, 200 { id, customer { id }, payment_source { paypal {
 *     email_address, account_id, name, usage_type, customer_type } }, links } or 404
 *     RESOURCE_NOT_FOUND; delete, DELETE /v3/vault/payment-tokens/{id}, 204 without a body, after
 *     which the token pays no more.
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
 * made all the same, as when PayPal's answer is lost on the way). Every saved payment token is
 * "token-<id>.json" (its customer and payer); "e2e_decline": true there makes the wallet decline.
 * The file "e2e_no_vault" makes the app one that may not vault; a number N in "e2e_order_delay"
 * makes each order paid with a saved wallet answered N seconds after it is made and paid. A
 * PayPal-Request-Id's order is named in "request-<sha256 of the id>", empty while it is made.
 * Fields named e2e_* are never shown.
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

function error_answer( $status, $name, $message, $issue = null, $description = null ) {
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
				'description' => null === $description ? $message : $description,
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

/** A payment token's id, as PayPal's vault makes them ("8kk8451t"). */
function paypal_token_id() {
	$chars = 'abcdefghijklmnopqrstuvwxyz0123456789';
	$id    = '';
	for ( $i = 0; $i < 8; ++$i ) {
		$id .= $chars[ random_int( 0, 35 ) ];
	}
	return $id;
}

/** The id PayPal gives a customer whose wallet it saves. */
function paypal_customer_id() {
	$chars = 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789';
	$id    = '';
	for ( $i = 0; $i < 10; ++$i ) {
		$id .= $chars[ random_int( 0, 61 ) ];
	}
	return $id;
}

/** The order as PayPal shows it: without the test's own fields. */
function shown( $order ) {
	unset( $order['e2e_capture'], $order['e2e_delay'], $order['e2e_request'] );
	return $order;
}

/** A saved payment token, or null when there is none (or it was deleted). */
function token_of( $id ) {
	global $state;
	$file  = is_string( $id ) && preg_match( '/^[0-9a-zA-Z_-]{1,255}$/', $id ) ? "$state/token-$id.json" : '';
	$token = '' !== $file && is_file( $file ) ? json_decode( (string) file_get_contents( $file ), true ) : null;
	return is_array( $token ) && empty( $token['e2e_deleted'] ) ? $token : null;
}

/** Written whole or not at all, for a reader in another worker. */
function save( $file, $data ) {
	$temp = $file . '.' . getmypid() . '.tmp';
	file_put_contents( $temp, json_encode( $data, JSON_UNESCAPED_SLASHES ) );
	rename( $temp, $file );
}

function unprocessable( $issue, $description ) {
	return error_answer( 422, 'UNPROCESSABLE_ENTITY', 'The requested action could not be performed, semantically incorrect, or failed business validation.', $issue, $description );
}

function invalid_request( $issue, $description ) {
	return error_answer( 400, 'INVALID_REQUEST', 'Request is not well-formed, syntactically incorrect, or violates schema.', $issue, $description );
}

/** The capture PayPal makes of an order's purchase unit, and its links. */
function capture_of( $order, $changes ) {
	global $base;
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
		$changes
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
	return $capture;
}

/** The answer to a capture, or to an order paid when made: minimal unless the representation is preferred. */
function order_answer( $status, $order ) {
	$prefer = isset( $_SERVER['HTTP_PREFER'] ) ? $_SERVER['HTTP_PREFER'] : 'return=minimal';
	if ( 'return=representation' !== $prefer ) {
		return answer(
			$status,
			array(
				'id'     => $order['id'],
				'status' => $order['status'],
				'links'  => $order['links'],
			)
		);
	}
	return answer( $status, shown( $order ) );
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
	$request_id = isset( $_SERVER['HTTP_PAYPAL_REQUEST_ID'] ) ? (string) $_SERVER['HTTP_PAYPAL_REQUEST_ID'] : '';
	$known      = '' === $request_id ? null : "$state/request-" . hash( 'sha256', $request_id );
	// The same PayPal-Request-Id: the order it made, as it is now, and nothing done twice. Sent
	// again while the first is still being processed, "PayPal processes the first request and
	// might fail the second request" (https://developer.paypal.com/api/rest/reference/idempotency/,
	// which names no answer): here it always fails, with the Payment Tokens API's error for a used id
	// (https://developer.paypal.com/api/payment-tokens/v3/errors/paypal_request_id_previously_used).
	if ( null !== $known ) {
		$claim = @fopen( $known, 'x' );
		if ( false === $claim ) {
			$made  = trim( (string) @file_get_contents( $known ) );
			$order = '' === $made ? null : json_decode( (string) @file_get_contents( "$state/$made.json" ), true );
			if ( ! is_array( $order ) ) {
				return unprocessable( 'PAYPAL_REQUEST_ID_PREVIOUSLY_USED', 'The PayPal-Request-ID has already been used for another request.' );
			}
			return isset( $order['e2e_request']['payment_source']['paypal']['vault_id'] ) ? order_answer( 200, $order ) : answer( 200, shown( $order ) );
		}
		fclose( $claim );
		// A request refused for what it asks keeps nothing, and may be sent again.
		register_shutdown_function(
			static function () use ( $known ) {
				if ( '' === (string) @file_get_contents( $known ) ) {
					@unlink( $known );
				}
			}
		);
	}
	$unit = isset( $body['purchase_units'][0] ) ? $body['purchase_units'][0] : null;
	if ( ! is_array( $body ) || ! isset( $body['intent'] ) || 'CAPTURE' !== $body['intent'] || 1 !== count( (array) $body['purchase_units'] )
		|| ! isset( $unit['amount']['currency_code'], $unit['amount']['value'] ) || ! preg_match( '/^[A-Z]{3}$/', $unit['amount']['currency_code'] )
		|| ! preg_match( '/^[0-9]+(\.[0-9]+)?$/', $unit['amount']['value'] ) ) {
		return error_answer( 400, 'INVALID_REQUEST', 'Request is not well-formed, syntactically incorrect, or violates schema.', 'INVALID_PARAMETER_SYNTAX' );
	}
	if ( 'JPY' === $unit['amount']['currency_code'] && false !== strpos( $unit['amount']['value'], '.' ) ) {
		return error_answer( 422, 'UNPROCESSABLE_ENTITY', 'Currency does not support decimals.', 'DECIMALS_NOT_SUPPORTED' );
	}
	$source   = isset( $body['payment_source'] ) ? $body['payment_source'] : null;
	$wallet   = isset( $source['paypal'] ) && is_array( $source['paypal'] ) ? $source['paypal'] : null;
	$vault_id = isset( $wallet['vault_id'] ) ? $wallet['vault_id'] : null;
	$vault    = isset( $wallet['attributes']['vault'] ) ? $wallet['attributes']['vault'] : null;
	$token    = null;
	if ( null !== $source && null === $wallet ) {
		// Of the payment sources, this stand-in knows PayPal's wallet only.
		return invalid_request( 'NOT_SUPPORTED', 'This field is not currently supported.' );
	}
	if ( null !== $vault_id ) {
		if ( '' === $request_id ) {
			return invalid_request( 'PAYPAL_REQUEST_ID_REQUIRED', "A PayPal-Request-Id is required if you are trying to process payment for an Order. Please specify a PayPal-Request-Id or Create the Order without a 'payment_source' specified." );
		}
		if ( ! is_string( $vault_id ) || ! preg_match( '/^[0-9a-zA-Z_-]{1,255}$/', $vault_id ) ) {
			return invalid_request( 'INVALID_PARAMETER_SYNTAX', 'The value of a field does not conform to the expected format.' );
		}
		$token = token_of( $vault_id );
		if ( null === $token ) {
			return unprocessable( 'PAYMENT_SOURCE_CANNOT_BE_USED', 'The provided payment source cannot be used to pay for the order. Please try again with a different payment source by creating a new order.' );
		}
		if ( ! empty( $token['e2e_decline'] ) ) {
			return unprocessable( 'INSTRUMENT_DECLINED', "The instrument presented  was either declined by the processor or bank, or it can't be used for this payment." );
		}
	} elseif ( null !== $vault ) {
		if ( ! is_array( $vault ) || ! isset( $vault['store_in_vault'] ) ) {
			return unprocessable( 'VAULT_INSTRUCTION_REQUIRED', 'Vault instruction is required. Please use `vault.store_in_vault` to provide vault instruction.' );
		}
		if ( ! isset( $vault['usage_type'] ) ) {
			return invalid_request( 'MISSING_REQUIRED_PARAMETER', 'A required parameter is missing.' );
		}
		if ( 'ON_SUCCESS' !== $vault['store_in_vault'] || ! in_array( $vault['usage_type'], array( 'MERCHANT', 'PLATFORM' ), true )
			|| ( isset( $vault['customer_type'] ) && ! in_array( $vault['customer_type'], array( 'CONSUMER', 'BUSINESS' ), true ) ) ) {
			return invalid_request( 'INVALID_PARAMETER_VALUE', 'A parameter value is not valid.' );
		}
		if ( is_file( "$state/e2e_no_vault" ) ) {
			return unprocessable( 'NOT_ENABLED_TO_VAULT_PAYMENT_SOURCE', 'The API caller or the merchant on whose behalf the API call is initiated is not allowed to vault the given source. Please contact PayPal customer support for assistance.' );
		}
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
	if ( null !== $token ) {
		// A saved wallet pays when the order is made.
		$holder                                 = isset( $token['payment_source']['paypal'] ) ? $token['payment_source']['paypal'] : array();
		$order['payment_source']                = array( 'paypal' => array_intersect_key( $holder, array_flip( array( 'email_address', 'account_id', 'name' ) ) ) );
		$order['payer']                         = array_filter(
			array(
				'name'          => isset( $holder['name'] ) ? $holder['name'] : null,
				'email_address' => isset( $holder['email_address'] ) ? $holder['email_address'] : null,
				'payer_id'      => isset( $holder['account_id'] ) ? $holder['account_id'] : null,
			)
		);
		$order['status']                        = 'COMPLETED';
		$order['purchase_units'][0]['payments'] = array( 'captures' => array( capture_of( $order, array() ) ) );
		$order['update_time']                   = gmdate( 'Y-m-d\TH:i:s\Z' );
		$order['links']                         = array( $order['links'][0] );
	} elseif ( null !== $wallet ) {
		// The payer approves a PayPal payment source at the payer-action link.
		$order['payment_source'] = array( 'paypal' => isset( $wallet['email_address'] ) ? array( 'email_address' => $wallet['email_address'] ) : (object) array() );
		$order['status']         = 'PAYER_ACTION_REQUIRED';
		$order['links']          = array(
			$order['links'][0],
			array(
				'href'   => "https://www.sandbox.paypal.com/checkoutnow?token=$id",
				'rel'    => 'payer-action',
				'method' => 'GET',
			),
		);
	}
	file_put_contents( "$state/$id.json", json_encode( $order, JSON_UNESCAPED_SLASHES ) );
	file_put_contents( "$state/last", $id );
	if ( null !== $token ) {
		// The payment is made, its answer comes late: a second request meanwhile finds it in progress.
		$late = (int) trim( (string) @file_get_contents( "$state/e2e_order_delay" ) );
		if ( $late > 0 ) {
			sleep( $late );
		}
	}
	if ( null !== $known ) {
		file_put_contents( $known, $id );
	}
	if ( null !== $token ) {
		return order_answer( 201, $order );
	}
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
	$capture                                = capture_of( $order, isset( $order['e2e_capture'] ) ? $order['e2e_capture'] : array() );
	$order['status']                        = 'COMPLETED';
	$order['purchase_units'][0]['payments'] = array( 'captures' => array( $capture ) );
	$order['update_time']                   = gmdate( 'Y-m-d\TH:i:s\Z' );
	// The PayPal wallet the order named, saved once the payment went through when the order asked it.
	$asked = isset( $order['e2e_request']['payment_source']['paypal'] ) && is_array( $order['e2e_request']['payment_source']['paypal'] ) ? $order['e2e_request']['payment_source']['paypal'] : null;
	if ( null !== $asked ) {
		$payer  = isset( $order['payer'] ) && is_array( $order['payer'] ) ? $order['payer'] : array();
		$wallet = array_filter(
			array(
				'email_address' => isset( $payer['email_address'] ) ? $payer['email_address'] : null,
				'account_id'    => isset( $payer['payer_id'] ) ? $payer['payer_id'] : null,
				'name'          => isset( $payer['name'] ) ? $payer['name'] : null,
			),
			function ( $value ) {
				return null !== $value;
			}
		);
		$vault  = isset( $asked['attributes']['vault'] ) && is_array( $asked['attributes']['vault'] ) ? $asked['attributes']['vault'] : null;
		if ( null !== $vault && ! in_array( $capture['status'], array( 'DECLINED', 'FAILED' ), true ) ) {
			$customer = isset( $asked['attributes']['customer']['id'] ) && is_string( $asked['attributes']['customer']['id'] ) ? $asked['attributes']['customer']['id'] : paypal_customer_id();
			$token_id = paypal_token_id();
			$links    = array(
				array(
					'href'   => "$base/v3/vault/payment-tokens/$token_id",
					'rel'    => 'self',
					'method' => 'GET',
				),
				array(
					'href'   => "$base/v3/vault/payment-tokens/$token_id",
					'rel'    => 'delete',
					'method' => 'DELETE',
				),
			);
			save(
				"$state/token-$token_id.json",
				array(
					'id'             => $token_id,
					'customer'       => array( 'id' => $customer ),
					'payment_source' => array(
						'paypal' => $wallet + array(
							'usage_type'    => $vault['usage_type'],
							'customer_type' => isset( $vault['customer_type'] ) ? $vault['customer_type'] : 'CONSUMER',
						),
					),
					'links'          => $links,
				)
			);
			$links[]              = array(
				'href'   => "$base/v2/checkout/orders/{$order['id']}",
				'rel'    => 'up',
				'method' => 'GET',
			);
			$wallet['attributes'] = array(
				'vault' => array(
					'id'       => $token_id,
					'status'   => 'VAULTED',
					'customer' => array( 'id' => $customer ),
					'links'    => $links,
				),
			);
		}
		$order['payment_source'] = array( 'paypal' => $wallet ? $wallet : (object) array() );
	}
	file_put_contents( $file, json_encode( $order, JSON_UNESCAPED_SLASHES ) );
	sleep( $late );
	return order_answer( 201, $order );
}

if ( preg_match( '#^/v3/vault/payment-tokens/([^/]+)$#', $path, $m ) && in_array( $_SERVER['REQUEST_METHOD'], array( 'GET', 'DELETE' ), true ) ) {
	$token = token_of( $m[1] );
	if ( null === $token ) {
		return error_answer( 404, 'RESOURCE_NOT_FOUND', 'The specified resource does not exist.', 'INVALID_RESOURCE_ID', 'Specified resource ID does not exist. Please check the resource ID and try again.' );
	}
	if ( 'GET' === $_SERVER['REQUEST_METHOD'] ) {
		return answer( 200, array_diff_key( $token, array_flip( array( 'e2e_decline', 'e2e_deleted' ) ) ) );
	}
	$token['e2e_deleted'] = true;
	save( "$state/token-{$m[1]}.json", $token );
	http_response_code( 204 );
	header( 'Paypal-Debug-Id: ' . bin2hex( random_bytes( 7 ) ) );
	return true;
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
