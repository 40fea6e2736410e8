<?php
/**
 * PayPal Orders v2: the site creates the order with the server's price when
 * PayPal's buttons ask for one, and captures it when the buyer has approved
 * it. Delivery needs a capture that PayPal reports COMPLETED for this item's
 * amount and currency, on the buyer's return or in PayPal's webhook, whose
 * signature PayPal itself is asked to verify.
 */

defined( 'ABSPATH' ) || exit;

/**
 * The time left for PayPal in this request: every call of one page shares 10 seconds, so a
 * provider that hangs never keeps the buyer waiting longer.
 */
function #fn#paypal_time_left() {
	static $deadline = null;
	if ( null === $deadline ) {
		$deadline = microtime( true ) + 10;
	}
	return $deadline - microtime( true );
}

/**
 * One HTTP call to PayPal's REST API.
 *
 * @return array|null array( status, decoded body ), or null when PayPal did not answer in time.
 */
function #fn#paypal_call( $method, $path, $headers, $body = null ) {
	$left = #fn#paypal_time_left();
	if ( $left < 0.5 ) {
		return null;
	}
	$args = array(
		'method'      => $method,
		'timeout'     => $left,
		'redirection' => 0,
		'headers'     => $headers,
	);
	if ( null !== $body ) {
		$args['body'] = $body;
	}
	$response = wp_remote_request( #fn#paypal_api_base() . $path, $args );
	if ( is_wp_error( $response ) ) {
		return null;
	}
	$data = json_decode( wp_remote_retrieve_body( $response ), true );
	return array( (int) wp_remote_retrieve_response_code( $response ), is_array( $data ) ? $data : array() );
}

/** An access token by the client-credentials grant; the secret goes only into its Basic header. */
function #fn#paypal_token() {
	static $token = null;
	$settings = #fn#payments_settings();
	if ( null !== $token || '' === $settings['paypal_client_id'] || '' === $settings['paypal_secret'] ) {
		return (string) $token;
	}
	$answer = #fn#paypal_call(
		'POST',
		'/v1/oauth2/token',
		array(
			'Authorization' => 'Basic ' . base64_encode( $settings['paypal_client_id'] . ':' . $settings['paypal_secret'] ), // phpcs:ignore WordPress.PHP.DiscouragedPHPFunctions
			'Content-Type'  => 'application/x-www-form-urlencoded',
		),
		array( 'grant_type' => 'client_credentials' )
	);
	if ( null === $answer || 200 !== $answer[0] || ! isset( $answer[1]['access_token'] ) || ! is_string( $answer[1]['access_token'] ) ) {
		return '';
	}
	$token = $answer[1]['access_token'];
	return $token;
}

/** A call with the access token and a JSON body. */
function #fn#paypal_request( $method, $path, $body = null ) {
	$token = #fn#paypal_token();
	if ( '' === $token ) {
		return null;
	}
	return #fn#paypal_call(
		$method,
		$path,
		array(
			'Authorization' => 'Bearer ' . $token,
			'Content-Type'  => 'application/json',
			'Prefer'        => 'return=representation',
		),
		null === $body ? null : wp_json_encode( $body )
	);
}

/** What binds a PayPal order to a funnel item: its purchase unit's custom_id. */
function #fn#paypal_custom_id( $post_id, $slot ) {
	return (int) $post_id . '-' . (int) $slot;
}

/** @return string The new order's id, or '' when PayPal made none. */
function #fn#paypal_create_order( $post, $slot ) {
	$price = #fn#payments_price( $post->ID, $slot );
	if ( null === $price ) {
		return '';
	}
	$name   = trim( wp_strip_all_tags( (string) get_post_meta( $post->ID, '#prefix#_funnelitem_' . (int) $slot . '_pagetitle', true ) ) );
	$answer = #fn#paypal_request(
		'POST',
		'/v2/checkout/orders',
		array(
			'intent'         => 'CAPTURE',
			'purchase_units' => array(
				array(
					'custom_id'   => #fn#paypal_custom_id( $post->ID, $slot ),
					'description' => mb_substr( '' === $name ? get_the_title( $post ) : $name, 0, 127 ),
					'amount'      => array(
						'currency_code' => $price['currency'],
						'value'         => $price['price'],
					),
				),
			),
		)
	);
	$ok = null !== $answer && in_array( $answer[0], array( 200, 201 ), true ) && isset( $answer[1]['id'] ) && is_string( $answer[1]['id'] );
	return $ok && preg_match( '/^[A-Z0-9]{1,36}$/', $answer[1]['id'] ) ? $answer[1]['id'] : '';
}

/**
 * Whether a capture, as PayPal describes it, is a completed payment of exactly this item.
 *
 * @param array $capture A capture object: id, status, amount { currency_code, value }, custom_id.
 */
function #fn#paypal_capture_pays( $capture, $post_id, $slot ) {
	$price = #fn#payments_price( $post_id, $slot );
	return null !== $price && is_array( $capture ) && isset( $capture['id'], $capture['status'], $capture['custom_id'], $capture['amount']['currency_code'], $capture['amount']['value'] )
		&& is_string( $capture['id'] ) && '' !== $capture['id']
		&& 'COMPLETED' === $capture['status']
		&& $price['currency'] === $capture['amount']['currency_code']
		&& $price['amount'] === #fn#payments_minor_units( $capture['amount']['value'], $price['currency'] )
		&& #fn#paypal_custom_id( $post_id, $slot ) === $capture['custom_id'];
}

function #fn#paypal_record( $capture, $post_id, $slot, $email ) {
	if ( ! #fn#paypal_capture_pays( $capture, $post_id, $slot ) ) {
		return null;
	}
	return #fn#orders_record( 'paypal', $capture['id'], $post_id, $slot, #fn#payments_minor_units( $capture['amount']['value'], $capture['amount']['currency_code'] ), $capture['amount']['currency_code'], $email );
}

/** The order's one capture and its payer's address, as an order (capture response or details) holds them. */
function #fn#paypal_capture_of_order( $order ) {
	$unit = isset( $order['purchase_units'][0] ) && is_array( $order['purchase_units'][0] ) ? $order['purchase_units'][0] : array();
	if ( ! isset( $order['purchase_units'] ) || 1 !== count( (array) $order['purchase_units'] ) || ! isset( $unit['payments']['captures'][0] ) ) {
		return array( null, '' );
	}
	$capture = $unit['payments']['captures'][0];
	// The capture names its item only in the full representation; the unit always does.
	if ( is_array( $capture ) && ! isset( $capture['custom_id'] ) && isset( $unit['custom_id'] ) ) {
		$capture['custom_id'] = $unit['custom_id'];
	}
	$email = isset( $order['payer']['email_address'] ) && is_string( $order['payer']['email_address'] ) ? $order['payer']['email_address'] : '';
	return array( $capture, $email );
}

/**
 * Whether an order, as PayPal describes it, asks exactly this item's price: an order made with
 * the seller's public client id by anyone else may ask any amount.
 */
function #fn#paypal_order_is_for( $order, $post_id, $slot ) {
	$price = #fn#payments_price( $post_id, $slot );
	$unit  = isset( $order['purchase_units'][0] ) && is_array( $order['purchase_units'][0] ) ? $order['purchase_units'][0] : array();
	return null !== $price && 1 === count( (array) $order['purchase_units'] ) && isset( $unit['custom_id'], $unit['amount']['currency_code'], $unit['amount']['value'] )
		&& #fn#paypal_custom_id( $post_id, $slot ) === $unit['custom_id']
		&& $price['currency'] === $unit['amount']['currency_code']
		&& $price['amount'] === #fn#payments_minor_units( $unit['amount']['value'], $price['currency'] );
}

/**
 * The buyer approved an order in PayPal's window: it is looked at, and captured only when it is
 * this item's. An order captured before (a second return, or the webhook came first) opens its
 * links again.
 */
function #fn#paypal_confirm_return( $post, $slot, $order_id ) {
	if ( ! preg_match( '/^[A-Z0-9]{1,36}$/', $order_id ) ) {
		return null;
	}
	$path   = '/v2/checkout/orders/' . rawurlencode( $order_id );
	$answer = #fn#paypal_request( 'GET', $path );
	if ( null === $answer || 200 !== $answer[0] || ! isset( $answer[1]['status'] ) || ! #fn#paypal_order_is_for( $answer[1], $post->ID, $slot ) ) {
		return null;
	}
	if ( 'APPROVED' === $answer[1]['status'] ) {
		$answer = #fn#paypal_request( 'POST', $path . '/capture' );
		// Captured meanwhile, by a second tab of the same buyer.
		if ( null !== $answer && 422 === $answer[0] ) {
			$answer = #fn#paypal_request( 'GET', $path );
		}
		if ( null === $answer || $answer[0] < 200 || $answer[0] > 299 ) {
			return null;
		}
	}
	list( $capture, $email ) = #fn#paypal_capture_of_order( $answer[1] );
	return #fn#paypal_record( $capture, $post->ID, $slot, $email );
}

/**
 * The sales page's buttons: PayPal's script renders them into the box, which names the
 * addresses they call. Only the client id, which PayPal publishes in every page with buttons,
 * reaches the browser.
 */
function #fn#paypal_buttons_html( $post, $slot ) {
	$price     = #fn#payments_price( $post->ID, $slot );
	$client_id = #fn#payments_settings()['paypal_client_id'];
	$box       = #fn#payments_box_of( $slot );
	if ( null === $price || null === $box || '' === $client_id ) {
		return '<p class="#prefix#-unavailable">' . esc_html__( 'This offer can\'t be bought yet.', '#prefix#' ) . '</p>';
	}
	$sdk = add_query_arg(
		array(
			'client-id' => rawurlencode( $client_id ),
			'currency'  => $price['currency'],
			'intent'    => 'capture',
		),
		'https://www.paypal.com/sdk/js'
	);
	wp_enqueue_script( '#prefix#-paypal-sdk', $sdk, array(), null, true ); // phpcs:ignore WordPress.WP.EnqueuedResourceParameters.MissingVersion -- PayPal's script takes no version.
	wp_enqueue_script( '#prefix#-paypal-buttons', plugins_url( 'assets/paypal-buttons.js', dirname( __DIR__ ) ), array( '#prefix#-paypal-sdk' ), (string) filemtime( dirname( __DIR__, 2 ) . '/assets/paypal-buttons.js' ), true );
	/* translators: 1: price, 2: currency code. */
	$label = sprintf( __( 'Buy now for %1$s %2$s', '#prefix#' ), $price['price'], $price['currency'] );
	return '<div class="#prefix#-paypal" data-create="' . esc_url( #fn#page_url( $post, $box['sales_token'] ) ) . '" data-buy="#fn#buy" data-slot="' . esc_attr( (string) (int) $slot ) . '"'
		. ' data-capture="' . esc_url( #fn#page_url( $post, $box['download_token'] ) ) . '" data-order="#fn#order">'
		. '<p class="#prefix#-price">' . esc_html( $label ) . '</p>'
		. '<p class="#prefix#-paypal-failed" hidden>' . esc_html__( 'PayPal could not be reached. Nothing was charged; please try again in a minute.', '#prefix#' ) . '</p>'
		. '<noscript><p>' . esc_html__( 'Paying with PayPal needs JavaScript.', '#prefix#' ) . '</p></noscript></div>';
}

function #fn#paypal_register_webhook() {
	register_rest_route(
		'#fn#rest/v1',
		'/paypal',
		array(
			'methods'             => 'POST',
			'callback'            => '#fn#paypal_webhook',
			'permission_callback' => '__return_true',
		)
	);
}
add_action( 'rest_api_init', '#fn#paypal_register_webhook' );

/** The address the seller gives PayPal for the webhook. */
function #fn#paypal_webhook_url() {
	return rest_url( '#fn#rest/v1/paypal' );
}

/**
 * Whether PayPal says it sent this event to this site's webhook: its transmission headers and the
 * event go to PayPal's verification call with the webhook's id. Transmissions older than
 * 5 minutes are refused here, so a recorded delivery can't be played again later.
 */
function #fn#paypal_signature_ok( WP_REST_Request $request, $event ) {
	$webhook_id = #fn#payments_settings()['paypal_webhook_id'];
	$fields     = array();
	foreach ( array(
		'auth_algo'         => 'paypal_auth_algo',
		'cert_url'          => 'paypal_cert_url',
		'transmission_id'   => 'paypal_transmission_id',
		'transmission_sig'  => 'paypal_transmission_sig',
		'transmission_time' => 'paypal_transmission_time',
	) as $field => $header ) {
		$value = $request->get_header( $header );
		if ( ! is_string( $value ) || '' === $value ) {
			return false;
		}
		$fields[ $field ] = $value;
	}
	$sent = strtotime( $fields['transmission_time'] );
	if ( '' === $webhook_id || false === $sent || abs( time() - $sent ) > 300 ) {
		return false;
	}
	$answer = #fn#paypal_request(
		'POST',
		'/v1/notifications/verify-webhook-signature',
		$fields + array(
			'webhook_id'    => $webhook_id,
			'webhook_event' => $event,
		)
	);
	return null !== $answer && 200 === $answer[0] && isset( $answer[1]['verification_status'] ) && 'SUCCESS' === $answer[1]['verification_status'];
}

/**
 * PAYMENT.CAPTURE.COMPLETED: records the order and mails the buyer their access link. The capture
 * names no buyer, so their address is read from the order; without it PayPal is asked to try again.
 */
function #fn#paypal_webhook( WP_REST_Request $request ) {
	$event = json_decode( $request->get_body(), true );
	if ( ! is_array( $event ) || ! #fn#paypal_signature_ok( $request, $event ) ) {
		return new WP_REST_Response( array( 'received' => false ), 400 );
	}
	if ( ! isset( $event['event_type'], $event['resource'] ) || 'PAYMENT.CAPTURE.COMPLETED' !== $event['event_type'] || ! is_array( $event['resource'] ) ) {
		return new WP_REST_Response( array( 'received' => true ), 200 );
	}
	$capture = $event['resource'];
	$item    = isset( $capture['custom_id'] ) && is_string( $capture['custom_id'] ) && preg_match( '/^(\d+)-(\d+)$/', $capture['custom_id'], $m ) ? $m : null;
	if ( null === $item || get_post_type( (int) $item[1] ) !== #fn#post_type() || 'paypal' !== #fn#payments_check( (int) $item[1] ) || ! #fn#paypal_capture_pays( $capture, (int) $item[1], (int) $item[2] ) ) {
		return new WP_REST_Response( array( 'received' => true ), 200 );
	}
	$order_id = isset( $capture['supplementary_data']['related_ids']['order_id'] ) ? (string) $capture['supplementary_data']['related_ids']['order_id'] : '';
	$answer   = preg_match( '/^[A-Z0-9]{1,36}$/', $order_id ) ? #fn#paypal_request( 'GET', '/v2/checkout/orders/' . rawurlencode( $order_id ) ) : null;
	if ( null === $answer || 200 !== $answer[0] ) {
		return new WP_REST_Response( array( 'received' => false ), 503 );
	}
	$email = isset( $answer[1]['payer']['email_address'] ) && is_string( $answer[1]['payer']['email_address'] ) ? $answer[1]['payer']['email_address'] : '';
	$order = #fn#paypal_record( $capture, (int) $item[1], (int) $item[2], $email );
	if ( null !== $order && $order->is_new && '' !== $order->email ) {
		#fn#payments_mail_access( $order );
	}
	return new WP_REST_Response( array( 'received' => true ), 200 );
}
