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

/**
 * An access token by the client-credentials grant; the secret goes only into its Basic header.
 * PayPal's tokens live for hours, so one is kept (for these credentials and this mode) until
 * shortly before it expires: a burst of requests never turns into a burst of token calls.
 */
function #fn#paypal_token( $fresh = false ) {
	$settings = #fn#payments_settings();
	if ( '' === $settings['paypal_client_id'] || '' === $settings['paypal_secret'] ) {
		return '';
	}
	$key    = '#fn#paypal_token';
	$owner  = hash_hmac( 'sha256', $settings['mode'] . '|' . $settings['paypal_client_id'] . '|' . $settings['paypal_secret'], #fn#payments_secret() );
	$cached = get_transient( $key );
	if ( ! $fresh && is_array( $cached ) && isset( $cached['owner'], $cached['token'] ) && hash_equals( $owner, (string) $cached['owner'] ) ) {
		return (string) $cached['token'];
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
	$lifetime = isset( $answer[1]['expires_in'] ) ? (int) $answer[1]['expires_in'] : 0;
	if ( $lifetime > 120 ) {
		set_transient(
			$key,
			array(
				'owner' => $owner,
				'token' => $answer[1]['access_token'],
			),
			$lifetime - 60
		);
	}
	return $answer[1]['access_token'];
}

/**
 * A call with the access token and a JSON body; a token PayPal no longer takes is replaced once.
 *
 * @param string[] $headers More headers, such as a PayPal-Request-Id.
 */
function #fn#paypal_request( $method, $path, $body = null, $headers = array() ) {
	foreach ( array( false, true ) as $fresh ) {
		$token = #fn#paypal_token( $fresh );
		if ( '' === $token ) {
			return null;
		}
		$answer = #fn#paypal_call(
			$method,
			$path,
			array(
				'Authorization' => 'Bearer ' . $token,
				'Content-Type'  => 'application/json',
				'Prefer'        => 'return=representation',
			) + $headers,
			null === $body ? null : wp_json_encode( $body )
		);
		if ( null === $answer || 401 !== $answer[0] ) {
			return $answer;
		}
		delete_transient( '#fn#paypal_token' );
	}
	return $answer;
}

/** What binds a PayPal order to a funnel item: its purchase unit's custom_id. */
function #fn#paypal_custom_id( $post_id, $slot ) {
	return (int) $post_id . '-' . (int) $slot;
}

/**
 * Makes the PayPal order of a checkout this site started, at the price it was started with, and
 * keeps whom PayPal says it pays.
 *
 * @return string The new order's id, or '' when PayPal made none.
 */
function #fn#paypal_create_order( $post, $slot, $price, $checkout ) {
	$name  = trim( wp_strip_all_tags( (string) get_post_meta( $post->ID, '#prefix#_funnelitem_' . (int) $slot . '_pagetitle', true ) ) );
	$order = array(
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
	);
	$vault  = #fn#paypal_vault_request( $slot );
	$answer = #fn#paypal_request( 'POST', '/v2/checkout/orders', $vault + $order );
	if ( $vault && null !== $answer && in_array( $answer[0], array( 403, 422 ), true ) ) {
		// The seller's app may not vault after all (NOT_ENABLED_TO_VAULT_PAYMENT_SOURCE): the front
		// end is sold all the same, and the offers show PayPal's buttons.
		$answer = #fn#paypal_request( 'POST', '/v2/checkout/orders', $order );
	}
	$ok    = null !== $answer && in_array( $answer[0], array( 200, 201 ), true ) && isset( $answer[1]['id'] ) && is_string( $answer[1]['id'] ) && preg_match( '/^[A-Z0-9]{1,36}$/', $answer[1]['id'] );
	$payee = $ok ? #fn#paypal_payee_of( $answer[1] ) : '';
	return $ok && '' !== $payee && #fn#checkouts_bind( $checkout, $answer[1]['id'], $payee ) ? $answer[1]['id'] : '';
}

/** The merchant an order pays, as PayPal shows it in the order's purchase unit. */
function #fn#paypal_payee_of( $order ) {
	return isset( $order['purchase_units'][0]['payee']['merchant_id'] ) && is_string( $order['purchase_units'][0]['payee']['merchant_id'] ) ? $order['purchase_units'][0]['payee']['merchant_id'] : '';
}

/**
 * Whether a capture, as PayPal describes it, is a completed payment of exactly what the checkout
 * asked: its amount and currency, for this item.
 *
 * @param array $capture A capture object: id, status, amount { currency_code, value }, custom_id.
 */
function #fn#paypal_capture_pays( $capture, $checkout ) {
	return is_array( $capture ) && isset( $capture['id'], $capture['status'], $capture['custom_id'], $capture['amount']['currency_code'], $capture['amount']['value'] )
		&& is_string( $capture['id'] ) && '' !== $capture['id']
		&& 'COMPLETED' === $capture['status']
		&& $checkout->currency === $capture['amount']['currency_code']
		&& (int) $checkout->amount === #fn#payments_minor_units( $capture['amount']['value'], $checkout->currency )
		&& #fn#paypal_custom_id( $checkout->funnel_id, $checkout->slot ) === $capture['custom_id'];
}

function #fn#paypal_record( $capture, $checkout, $email ) {
	if ( ! #fn#paypal_capture_pays( $capture, $checkout ) ) {
		return null;
	}
	return #fn#orders_record( 'paypal', $capture['id'], (int) $checkout->funnel_id, (int) $checkout->slot, (int) $checkout->amount, $checkout->currency, $email, $checkout->reference, 0, isset( $checkout->visitor ) ? $checkout->visitor : '' );
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
 * Whether an order, as PayPal describes it, is the one the checkout made: its amount, currency
 * and item, paying the merchant PayPal named when the site made it. An order made with the
 * seller's public client id by anyone else is never one of the site's checkouts.
 */
function #fn#paypal_order_is_for( $order, $checkout ) {
	$unit = isset( $order['purchase_units'][0] ) && is_array( $order['purchase_units'][0] ) ? $order['purchase_units'][0] : array();
	return isset( $order['purchase_units'] ) && 1 === count( (array) $order['purchase_units'] ) && isset( $unit['custom_id'], $unit['amount']['currency_code'], $unit['amount']['value'] )
		&& #fn#paypal_custom_id( $checkout->funnel_id, $checkout->slot ) === $unit['custom_id']
		&& $checkout->currency === $unit['amount']['currency_code']
		&& (int) $checkout->amount === #fn#payments_minor_units( $unit['amount']['value'], $checkout->currency )
		&& '' !== $checkout->payee && #fn#paypal_payee_of( $order ) === $checkout->payee;
}

/**
 * The buyer approved an order in PayPal's window: it is looked at, and captured only when it is
 * the order this site made for this item. An order recorded before (a second return, or the
 * webhook came first) is not asked of PayPal again: its record decides.
 */
function #fn#paypal_confirm_return( $post, $slot, $order_id ) {
	if ( ! preg_match( '/^[A-Z0-9]{1,36}$/', $order_id ) ) {
		return null;
	}
	$checkout = #fn#checkouts_find( 'paypal', $order_id );
	if ( ! #fn#checkouts_is_for( $checkout, $post->ID, $slot ) ) {
		return null;
	}
	$known = #fn#orders_find( 'paypal', 'payment_ref', $order_id );
	if ( null !== $known ) {
		return $known;
	}
	$path   = '/v2/checkout/orders/' . rawurlencode( $order_id );
	$answer = #fn#paypal_request( 'GET', $path );
	if ( null === $answer || 200 !== $answer[0] || ! isset( $answer[1]['status'] ) || ! #fn#paypal_order_is_for( $answer[1], $checkout ) ) {
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
	return #fn#paypal_with_vault( #fn#paypal_record( $capture, $checkout, $email ), $answer[1] );
}

/**
 * The sales page's buttons: PayPal's script renders them into the box, which names the
 * addresses they call. Only the client id, which PayPal publishes in every page with buttons,
 * reaches the browser.
 */
function #fn#paypal_buttons_html( $post, $slot, $visit = null ) {
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
	// On an offer of a visit, the approved order returns into the visit's road.
	$into = null === $visit ? array() : array( #fn#road_var() => #fn#visits_reference( $visit ) );
	return '<div class="#prefix#-paypal" data-create="' . esc_url( add_query_arg( $into, #fn#page_url( $post, $box['sales_token'] ) ) ) . '" data-buy="#fn#buy" data-slot="' . esc_attr( (string) (int) $slot ) . '"' . ( null === #fn#split_visitor() ? '' : ' data-visitor="' . esc_attr( #fn#split_visitor() ) . '"' )
		. ' data-capture="' . esc_url( add_query_arg( $into, #fn#page_url( $post, $box['download_token'] ) ) ) . '" data-order="#fn#order">'
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

/** The events the site acts on; any other is acknowledged without a call to PayPal. */
function #fn#paypal_webhook_events() {
	return array( 'PAYMENT.CAPTURE.COMPLETED', 'PAYMENT.CAPTURE.REFUNDED', 'PAYMENT.CAPTURE.REVERSED' );
}

/** At most this many signature checks per minute are asked of PayPal; more wait for its retry. */
const #fn#PAYPAL_VERIFY_PER_MINUTE = 10;

/**
 * Everything about a delivery that can be refused without asking PayPal: the transmission
 * headers present and well formed, the algorithm PayPal uses, a certificate on PayPal's own
 * host for the site's mode, a time within 5 minutes, and a transmission not seen before.
 * https://developer.paypal.com/api/rest/webhooks/rest/#link-verifysignature
 *
 * @return array|null The verification call's fields, or null to refuse.
 */
function #fn#paypal_transmission( WP_REST_Request $request ) {
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
		if ( ! is_string( $value ) || '' === $value || strlen( $value ) > 2048 ) {
			return null;
		}
		$fields[ $field ] = $value;
	}
	$hosts = 'live' === #fn#payments_settings()['mode'] ? array( 'api.paypal.com', 'api-m.paypal.com' ) : array( 'api.sandbox.paypal.com', 'api-m.sandbox.paypal.com' );
	$cert  = wp_parse_url( $fields['cert_url'] );
	$sent  = strtotime( $fields['transmission_time'] );
	if ( '' === $webhook_id || 'SHA256withRSA' !== $fields['auth_algo'] || ! preg_match( '/^[A-Za-z0-9-]{1,64}$/', $fields['transmission_id'] )
		|| ! isset( $cert['scheme'], $cert['host'], $cert['path'] ) || 'https' !== $cert['scheme'] || isset( $cert['port'] ) || isset( $cert['user'] )
		|| ! in_array( strtolower( $cert['host'] ), $hosts, true ) || 0 !== strpos( $cert['path'], '/v1/notifications/certs/' )
		|| false === $sent || abs( time() - $sent ) > 300 ) {
		return null;
	}
	return $fields + array( 'webhook_id' => $webhook_id );
}

/**
 * Takes a transmission id and a place in this minute's budget of signature checks, under a
 * database lock so that parallel deliveries count right.
 *
 * @return string 'ok', 'seen' (a replay) or 'busy' (the budget is spent).
 */
function #fn#paypal_admit( $transmission_id ) {
	global $wpdb;
	$lock = 'vl_' . md5( #fn#paypal_guard_option() );
	if ( 1 !== (int) $wpdb->get_var( $wpdb->prepare( 'SELECT GET_LOCK(%s, 5)', $lock ) ) ) { // phpcs:ignore WordPress.DB.DirectDatabaseQuery
		return 'busy';
	}
	wp_cache_delete( #fn#paypal_guard_option(), 'options' );
	$guard = get_option( #fn#paypal_guard_option(), array() );
	$now   = time();
	$seen  = isset( $guard['seen'] ) && is_array( $guard['seen'] ) ? array_filter( $guard['seen'], static function ( $t ) use ( $now ) {
		return $t > $now - 600;
	} ) : array();
	$calls = isset( $guard['calls'] ) && is_array( $guard['calls'] ) ? array_values( array_filter( $guard['calls'], static function ( $t ) use ( $now ) {
		return $t > $now - 60;
	} ) ) : array();
	$key   = md5( $transmission_id );
	if ( isset( $seen[ $key ] ) ) {
		$verdict = 'seen';
	} elseif ( count( $calls ) >= #fn#PAYPAL_VERIFY_PER_MINUTE ) {
		$verdict = 'busy';
	} else {
		$verdict      = 'ok';
		$seen[ $key ] = $now;
		$calls[]      = $now;
	}
	#fn#paypal_save_guard( array( 'seen' => $seen, 'calls' => $calls ) );
	$wpdb->query( $wpdb->prepare( 'SELECT RELEASE_LOCK(%s)', $lock ) ); // phpcs:ignore WordPress.DB.DirectDatabaseQuery
	return $verdict;
}

/** A delivery the site could not finish is not a replay: PayPal's retry must get through. */
function #fn#paypal_forget_transmission( $transmission_id ) {
	$guard = get_option( #fn#paypal_guard_option(), array() );
	if ( isset( $guard['seen'][ md5( $transmission_id ) ] ) ) {
		unset( $guard['seen'][ md5( $transmission_id ) ] );
		#fn#paypal_save_guard( $guard );
	}
}

function #fn#paypal_guard_option() {
	return '#fn#paypal_webhook_guard';
}

function #fn#paypal_save_guard( $guard ) {
	if ( false === get_option( #fn#paypal_guard_option() ) ) {
		add_option( #fn#paypal_guard_option(), $guard, '', 'no' );
	} else {
		update_option( #fn#paypal_guard_option(), $guard, false );
	}
}

/** Whether PayPal says it sent this event to this site's webhook, with the id and event it got. */
function #fn#paypal_signature_ok( $fields, $event ) {
	$answer = #fn#paypal_request( 'POST', '/v1/notifications/verify-webhook-signature', $fields + array( 'webhook_event' => $event ) );
	if ( null === $answer || $answer[0] >= 500 ) {
		return null;
	}
	return 200 === $answer[0] && isset( $answer[1]['verification_status'] ) && 'SUCCESS' === $answer[1]['verification_status'];
}

/** The capture a capture event or a refund event is about, by its API address. */
function #fn#paypal_capture_id_of( $resource ) {
	foreach ( array( 'self', 'up' ) as $rel ) {
		foreach ( isset( $resource['links'] ) && is_array( $resource['links'] ) ? $resource['links'] : array() as $link ) {
			if ( isset( $link['rel'], $link['href'] ) && $rel === $link['rel'] && is_string( $link['href'] ) && preg_match( '#/v2/payments/captures/([A-Z0-9]{1,36})$#', $link['href'], $m ) ) {
				return $m[1];
			}
		}
	}
	return '';
}

/**
 * PayPal's events, once PayPal itself confirms it sent them: a completed capture of an order this
 * site made records the order and mails the buyer (the capture names no buyer, so their address is
 * read from the order); a full refund or a reversal takes the downloads back.
 * https://developer.paypal.com/api/rest/webhooks/event-names/
 */
function #fn#paypal_webhook( WP_REST_Request $request ) {
	$event = json_decode( $request->get_body(), true );
	if ( ! is_array( $event ) || ! isset( $event['event_type'], $event['resource'] ) || ! is_array( $event['resource'] ) ) {
		return new WP_REST_Response( array( 'received' => false ), 400 );
	}
	if ( ! in_array( $event['event_type'], #fn#paypal_webhook_events(), true ) ) {
		return new WP_REST_Response( array( 'received' => true ), 200 );
	}
	$fields = #fn#paypal_transmission( $request );
	$admit  = null === $fields ? 'refused' : #fn#paypal_admit( $fields['transmission_id'] );
	if ( 'ok' !== $admit ) {
		return new WP_REST_Response( array( 'received' => false ), 'busy' === $admit ? 503 : 400 );
	}
	$verified = #fn#paypal_signature_ok( $fields, $event );
	if ( true !== $verified ) {
		if ( null === $verified ) {
			#fn#paypal_forget_transmission( $fields['transmission_id'] );
		}
		return new WP_REST_Response( array( 'received' => false ), null === $verified ? 503 : 400 );
	}
	$resource = $event['resource'];
	if ( 'PAYMENT.CAPTURE.COMPLETED' !== $event['event_type'] ) {
		$capture = #fn#paypal_capture_id_of( $resource );
		$order   = '' === $capture ? null : #fn#orders_find( 'paypal', 'payment_id', $capture );
		if ( null !== $order ) {
			// A partial refund leaves the purchase standing; what has been refunded in all decides.
			$total = isset( $resource['seller_payable_breakdown']['total_refunded_amount']['value'] ) ? $resource['seller_payable_breakdown']['total_refunded_amount']['value'] : ( isset( $resource['amount']['value'] ) ? $resource['amount']['value'] : '' );
			$whole = 'PAYMENT.CAPTURE.REVERSED' === $event['event_type'] || #fn#payments_minor_units( (string) $total, $order->currency ) >= (int) $order->amount;
			if ( $whole ) {
				#fn#orders_revoke( 'paypal', 'payment_id', $capture, 'PAYMENT.CAPTURE.REVERSED' === $event['event_type'] ? 'disputed' : 'refunded' );
			}
		}
		return new WP_REST_Response( array( 'received' => true ), 200 );
	}
	$order_id = isset( $resource['supplementary_data']['related_ids']['order_id'] ) ? (string) $resource['supplementary_data']['related_ids']['order_id'] : '';
	$checkout = preg_match( '/^[A-Z0-9]{1,36}$/', $order_id ) ? #fn#checkouts_find( 'paypal', $order_id ) : null;
	if ( null === $checkout || ! #fn#checkouts_is_for( $checkout, $checkout->funnel_id, $checkout->slot ) || 'paypal' !== #fn#payments_check( (int) $checkout->funnel_id ) || ! #fn#paypal_capture_pays( $resource, $checkout ) ) {
		return new WP_REST_Response( array( 'received' => true ), 200 );
	}
	$answer = #fn#paypal_request( 'GET', '/v2/checkout/orders/' . rawurlencode( $order_id ) );
	if ( null === $answer || 200 !== $answer[0] ) {
		#fn#paypal_forget_transmission( $fields['transmission_id'] );
		return new WP_REST_Response( array( 'received' => false ), 503 );
	}
	if ( #fn#paypal_order_is_for( $answer[1], $checkout ) ) {
		$email = isset( $answer[1]['payer']['email_address'] ) && is_string( $answer[1]['payer']['email_address'] ) ? $answer[1]['payer']['email_address'] : '';
		#fn#payments_settle( #fn#paypal_with_vault( #fn#paypal_record( $resource, $checkout, $email ), $answer[1] ) );
	}
	return new WP_REST_Response( array( 'received' => true ), 200 );
}
