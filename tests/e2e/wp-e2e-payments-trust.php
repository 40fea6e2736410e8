<?php
/**
 * What a thief, an unlucky buyer and a seller who changes things meet in the payment check, per
 * provider (see wp-e2e-payments.php for the drivers): nothing opens a download without this
 * site's own checkout paid as it was asked, to the seller, in the site's mode; a provider's
 * reference opens it only in the minutes after the payment; refunds and disputes close it.
 */

/** A Stripe event of any type around an object: https://docs.stripe.com/api/events/object */
function stripe_event_of( $type, $object, $livemode = false ) {
	return json_encode(
		array(
			'id'          => 'evt_' . bin2hex( random_bytes( 12 ) ),
			'object'      => 'event',
			'api_version' => '2024-06-20',
			'created'     => time(),
			'livemode'    => $livemode,
			'type'        => $type,
			'data'        => array( 'object' => $object ),
		),
		JSON_UNESCAPED_SLASHES
	);
}

/**
 * A PayPal refund event (PAYMENT.CAPTURE.REFUNDED or .REVERSED): its resource is the refund, which
 * names its capture by the link "up" and the capture's refunds so far in
 * seller_payable_breakdown.total_refunded_amount (https://developer.paypal.com/api/rest/webhooks/event-names/,
 * https://developer.paypal.com/docs/api/payments/v2/#refunds_get).
 */
function paypal_refund_event( $type, $capture_id, $value, $total, $currency = 'USD' ) {
	$id   = 'E2ER' . strtoupper( bin2hex( random_bytes( 6 ) ) );
	$base = 'https://api.sandbox.paypal.com';
	return json_encode(
		array(
			'id'            => 'WH-' . strtoupper( bin2hex( random_bytes( 8 ) ) ),
			'event_version' => '1.0',
			'create_time'   => gmdate( 'Y-m-d\TH:i:s\Z' ),
			'resource_type' => 'refund',
			'event_type'    => $type,
			'resource'      => array(
				'id'                       => $id,
				'status'                   => 'COMPLETED',
				'amount'                   => array( 'currency_code' => $currency, 'value' => $value ),
				'seller_payable_breakdown' => array( 'total_refunded_amount' => array( 'currency_code' => $currency, 'value' => $total ) ),
				'links'                    => array(
					array( 'href' => "$base/v2/payments/refunds/$id", 'rel' => 'self', 'method' => 'GET' ),
					array( 'href' => "$base/v2/payments/captures/$capture_id", 'rel' => 'up', 'method' => 'GET' ),
				),
			),
		),
		JSON_UNESCAPED_SLASHES
	);
}

/** What the PayPal stand-in was asked since the last call, as "METHOD /path" lines. */
function paypal_calls_since( &$mark ) {
	$calls = (array) @file( getenv( 'E2E_PAYPAL_STATE' ) . '/calls', FILE_IGNORE_NEW_LINES );
	$new   = array_slice( $calls, $mark );
	$mark  = count( $calls );
	return $new;
}

function pay_settings_change( $f, $changes ) {
	$key = pay_name( $f, 'payments' );
	update_option( $key, array_replace( get_option( $key ), $changes ), false );
}

function pay_trust_checks( $f, $pay, $post, $page, $get, $send, $admin, $prices, $links4 ) {
	global $wpdb;
	$id     = $f['id'];
	$label  = "$id payments, {$pay['label']}";
	// Each check below is "a minute later" for PayPal's budget of signature checks.
	delete_option( pay_name( $f, 'paypal_webhook_guard' ) );
	$table  = $wpdb->prefix . pay_name( $f, 'orders' );
	$stripe = 'stripe' === $pay['name'];
	$closed = function ( $r ) use ( $id ) {
		return false !== strpos( $r['body'], 'Your payment could not be confirmed' ) && false === strpos( $r['body'], "$id-links" );
	};
	// A buyer's whole round: start, pay, come back; answers the access page (with its cookie) and the order.
	$buy = function ( $n, $email = 'trust@example.com', $cookies = array() ) use ( $pay, $get, $f, $post ) {
		$ref = $pay['start']( $n );
		$pay['pay']( $ref, $email );
		$r     = $pay['back']( $n, $ref );
		$order = end( orders_of( $f, $post ) );
		$page  = isset( $r['headers']['location'] ) ? $get( $r['headers']['location'], $cookies ) : $r;
		return array( $ref, $page, $order, isset( $r['headers']['location'] ) ? $r['headers']['location'] : '' );
	};

	// 1. The links of earlier items come from this browser's own orders, never from a typed address.
	$buy( 1, 'v@x.test' );
	list( , $thief ) = $buy( 4, 'v@x.test' );
	ok( 3 === count( $links4 ) && array( end( $links4 ) ) === anchors( $thief['body'] ), "$label: a buyer who types an earlier buyer's address gets only the links of what they paid", wp_json_encode( anchors( $thief['body'] ) ) );

	// 2. The tokens are the plugin's: with this funnel's check on, a funnel without one closes its
	// download pages, whose addresses are now in providers' return addresses and pages.
	$open      = pay_funnel( $f, $admin, "E2E payments open $id" );
	$open_page = add_query_arg( 'step', $f['slots'][0]['download'], get_permalink( $open ) );
	$shut      = $get( $open_page );
	$sales     = $get( add_query_arg( 'step', $f['slots'][0]['sales'], get_permalink( $open ) ) )['body'];
	wp_delete_post( $open, true );
	ok( $closed( $shut ) && false !== strpos( $sales, 'PASTED-0' ), "$label: a funnel without a check shows no links at a download address while another funnel checks payments; its sales page keeps its own button", substr( strip_tags( $shut['body'] ), 0, 200 ) );

	// 5. A price changed while the buyer is on the provider's page: the payment is held to the price asked.
	$ref = $pay['start']( 0 );
	pay_save( $f, $admin, $post, $pay['name'], array( 0 => array( '24.99', 'USD' ) ) + $prices );
	$pay['pay']( $ref, 'trust@example.com' );
	$r = $pay['back']( 0, $ref );
	pay_save( $f, $admin, $post, $pay['name'], $prices );
	$order = end( orders_of( $f, $post ) );
	ok( 303 === $r['status'] && '1999' === $order['amount'] && '0' === $order['slot'], "$label: a price changed during the checkout still delivers what was paid at the price asked", wp_json_encode( $order ) );

	// 6. A provider's reference opens the downloads only in the minutes after the payment.
	$wpdb->query( $wpdb->prepare( "UPDATE $table SET created = UTC_TIMESTAMP() - INTERVAL 16 MINUTE WHERE payment_id = %s", $pay['payment']( $ref ) ) );
	ok( $closed( $pay['back']( 0, $ref ) ), "$label: a provider's reference 16 minutes after the payment opens nothing" );

	// 10 and refunds: mailed once; a full refund or a dispute closes the access link, a partial refund doesn't.
	$to     = "refund-{$pay['name']}@example.com";
	$to_him = static function () use ( $to ) {
		return count( array_filter( mails(), static function ( $m ) use ( $to ) { return $to === $m['to']; } ) );
	};
	list( $ref, $opened, , $access ) = $buy( 0, $to );
	$mails = $to_him();
	$pay['signed']( $pay['late']( $ref ), 'good' );
	ok( 1 === $mails && 1 === $to_him(), "$label: the buyer who came back first is mailed once, and the webhook after mails nothing", $to_him() . ' mails' );
	$order = $wpdb->get_row( $wpdb->prepare( "SELECT * FROM $table WHERE provider = %s AND email = %s", $pay['name'], $to ) );
	$revoke = array();
	foreach ( array( 'partial' => false, 'full' => true ) as $how => $whole ) {
		if ( $stripe ) {
			// https://docs.stripe.com/api/charges/object: "refunded" is true once the whole charge is.
			$event = stripe_event_of( 'charge.refunded', array( 'id' => 'ch_e2e', 'object' => 'charge', 'payment_intent' => $order->payment_ref, 'amount' => 1999, 'amount_refunded' => $whole ? 1999 : 500, 'refunded' => $whole, 'livemode' => false ) );
		} else {
			$event = paypal_refund_event( 'PAYMENT.CAPTURE.REFUNDED', $order->payment_id, $whole ? '14.99' : '5.00', $whole ? '19.99' : '5.00' );
		}
		$pay['signed']( $event, 'good' );
		$revoke[ $how ] = $closed( $get( $access ) );
	}
	ok( array( 'partial' => false, 'full' => true ) === $revoke && 'refunded' === $wpdb->get_var( $wpdb->prepare( "SELECT status FROM $table WHERE id = %d", $order->id ) ), "$label: a partial refund keeps the access link, a full one closes it", wp_json_encode( $revoke ) );
	list( $ref, , $disputed, $access ) = $buy( 0, "dispute-{$pay['name']}@example.com" );
	$row   = $wpdb->get_row( $wpdb->prepare( "SELECT * FROM $table WHERE provider = %s AND email = %s", $pay['name'], "dispute-{$pay['name']}@example.com" ) );
	$event = $stripe ? stripe_event_of( 'charge.dispute.created', array( 'id' => 'dp_e2e', 'object' => 'dispute', 'charge' => 'ch_e2e', 'payment_intent' => $row->payment_ref, 'amount' => 1999, 'livemode' => false ) )
		: paypal_refund_event( 'PAYMENT.CAPTURE.REVERSED', $row->payment_id, '19.99', '19.99' );
	$r = $pay['signed']( $event, 'good' );
	ok( 200 === $r['status'] && $closed( $get( $access ) ) && $closed( $pay['back']( 0, $ref ) ), "$label: a dispute or reversal closes the access link and the provider's reference", "status {$r['status']}" );

	// 9. Prices the provider would refuse are refused in the box, naming the limit; missing credentials are named.
	$cookies = auth_cookies( $admin );
	$edit    = admin_url( "post.php?post=$post&action=edit" );
	$limits  = $stripe ? array( '0.10' => 'Stripe charges at least 0.50 USD.', '0.50' => '', '999999.99' => '', '1000000.00' => 'Stripe charges at most 999999.99 USD.' ) : array( '0.01' => '' );
	$seen    = array();
	foreach ( $limits as $price => $limit ) {
		pay_save( $f, $admin, $post, $pay['name'], array( 0 => array( $price, 'USD' ) ) + $prices );
		$stored = get_post_meta( $post, $id . '_payment_price_0', true );
		// Where WordPress sends the seller after saving, as the save left it.
		$back = apply_filters( 'redirect_post_location', $edit, $post );
		remove_all_filters( 'redirect_post_location' );
		$shown = '' === $limit ? $back === $edit : false !== strpos( http( 'GET', $back, null, $cookies )['body'], "the price $price USD was not saved. $limit" );
		$seen[ $price ] = array( $stored, $shown );
		pay_save( $f, $admin, $post, $pay['name'], $prices );
	}
	$want = array();
	foreach ( $limits as $price => $limit ) {
		$want[ $price ] = array( '' === $limit ? $price : '19.99', true );
	}
	ok( $want === $seen, "$label: a price the provider refuses is not saved, and the edit screen names the limit", wp_json_encode( $seen ) );
	$secret = $stripe ? 'stripe_webhook_secret' : 'paypal_webhook_id';
	$kept   = get_option( pay_name( $f, 'payments' ) )[ $secret ];
	pay_settings_change( $f, array( $secret => '' ) );
	$b = http( 'GET', $edit, null, $cookies )['body'];
	pay_settings_change( $f, array( $secret => $kept ) );
	ok( (bool) preg_match( '#notice-error"><p>This funnel checks payments with ' . $pay['label'] . ', but these settings are empty: [^<]*webhook#', $b ), "$label: the edit screen names the provider's settings that are missing" );

	// 7. In live mode, a test payment opens nothing.
	if ( $stripe ) {
		pay_settings_change( $f, array( 'mode' => 'live' ) );
		$warned = false !== strpos( http( 'GET', admin_url( 'edit.php?post_type=' . funnel_type( $f ) . '&page=' . pay_name( $f, 'payments' ) ), null, $cookies )['body'], 'The mode is Live, but the Stripe secret key is a test key' );
		$count  = count( orders_of( $f, $post ) );
		$ref    = $pay['start']( 0 );
		$pay['pay']( $ref, 'trust@example.com' );
		$back  = $closed( $pay['back']( 0, $ref ) );
		$hook  = $pay['signed']( stripe_event_of( 'checkout.session.completed', standin_object( 'stripe', $ref ), true ), 'good' );
		pay_settings_change( $f, array( 'mode' => 'test' ) );
		ok( $warned && $back && 200 === $hook['status'] && count( orders_of( $f, $post ) ) === $count, "$label: with the mode Live, a test key is warned of, and a test-mode payment opens and records nothing" );
	} else {
		$ref = $pay['start']( 0 );
		pay_settings_change( $f, array( 'mode' => 'live' ) );
		$pay['pay']( $ref, 'trust@example.com' );
		$back = $closed( $pay['back']( 0, $ref ) );
		pay_settings_change( $f, array( 'mode' => 'test' ) );
		ok( $back && ! $pay['captured']( $ref ), "$label: an order made in the sandbox opens nothing once the mode is Live, and is not captured" );
	}

	if ( $stripe ) {
		// 4. A delayed payment method: the session completes unpaid, and the payment arrives later.
		$count = count( orders_of( $f, $post ) );
		$ref   = $pay['start']( 1 );
		$pay['pay']( $ref, 'slow@example.com', 'pending' );
		$r1 = $pay['signed']( stripe_event_of( 'checkout.session.completed', standin_object( 'stripe', $ref ) ), 'good' );
		$pending = $closed( $pay['back']( 1, $ref ) ) && count( orders_of( $f, $post ) ) === $count;
		standin_set( 'stripe', $ref, array( 'payment_status' => 'paid' ) );
		$r2     = $pay['signed']( stripe_event_of( 'checkout.session.async_payment_succeeded', standin_object( 'stripe', $ref ) ), 'good' );
		$orders = orders_of( $f, $post );
		$mailed = array_filter( mails(), static function ( $m ) { return 'slow@example.com' === $m['to']; } );
		ok( $pending && 200 === $r1['status'] && 200 === $r2['status'] && $count + 1 === count( $orders ) && 'slow@example.com' === end( $orders )['email'] && 1 === count( $mailed ), "$label: a delayed payment is delivered and mailed when checkout.session.async_payment_succeeded arrives" );
		return;
	}

	// 3. An order made with the public client id, paying someone else, names the item and its price.
	$mark = 0;
	paypal_calls_since( $mark );
	$made  = json_decode( paypal_call_json( 'POST', '/v2/checkout/orders', array( 'intent' => 'CAPTURE', 'purchase_units' => array( array( 'custom_id' => "$post-0", 'amount' => array( 'currency_code' => 'USD', 'value' => '19.99' ), 'payee' => array( 'email_address' => 'thief@example.com' ) ) ) ) )['body'], true );
	$pay['pay']( $made['id'], 'trust@example.com' );
	$count = count( orders_of( $f, $post ) );
	ok( $closed( $pay['back']( 0, $made['id'] ) ) && ! $pay['captured']( $made['id'] ) && count( orders_of( $f, $post ) ) === $count, "$label: an order this site did not make, paying another account, is refused and never captured" );
	$ref = $pay['start']( 0 );
	$pay['pay']( $ref, 'trust@example.com' );
	standin_set( 'paypal', $ref, array( 'purchase_units' => array( array( 'payee' => array( 'merchant_id' => 'E2EOTHER000001', 'email_address' => 'thief@example.com' ) ) ) ) );
	ok( $closed( $pay['back']( 0, $ref ) ) && ! $pay['captured']( $ref ), "$label: the site's own order, shown paying another account, is refused and never captured" );

	// 8. Forged webhooks can't make the site hammer PayPal: cheap refusals first, a budget for the rest.
	$event = paypal_event_forged();
	$calls = paypal_calls_since( $mark );
	$cheap = array(
		'a certificate on another host' => array( 'PAYPAL-CERT-URL: https://evil.example.com/v1/notifications/certs/CERT-1' ),
		'another algorithm'             => array( 'PAYPAL-AUTH-ALGO: SHA1withRSA' ),
		'an old transmission'           => array( 'PAYPAL-TRANSMISSION-TIME: ' . gmdate( 'Y-m-d\TH:i:s\Z', time() - 400 ) ),
	);
	$refused = array();
	foreach ( $cheap as $what => $override ) {
		$r = http( 'POST', rest_url( pay_name( $f, 'rest' ) . '/v1/paypal' ), null, array(), forged_headers( $override ), null, $event );
		$refused[ $what ] = $r['status'];
	}
	$headers = forged_headers( array() );
	$first   = http( 'POST', rest_url( pay_name( $f, 'rest' ) . '/v1/paypal' ), null, array(), $headers, null, $event )['status'];
	$refused['a transmission seen before'] = http( 'POST', rest_url( pay_name( $f, 'rest' ) . '/v1/paypal' ), null, array(), $headers, null, $event )['status'];
	$cheap_calls = paypal_calls_since( $mark );
	ok( 400 === $first && array( 400 ) === array_values( array_unique( $refused ) ) && array( 'POST /v1/notifications/verify-webhook-signature' ) === $cheap_calls, "$label: a forged delivery with a bad certificate host, algorithm, time or a replayed id is refused without a call to PayPal", wp_json_encode( array( $refused, $cheap_calls ) ) );
	delete_option( pay_name( $f, 'paypal_webhook_guard' ) );
	$statuses = array();
	for ( $i = 0; $i < 20; ++$i ) {
		$statuses[] = http( 'POST', rest_url( pay_name( $f, 'rest' ) . '/v1/paypal' ), null, array(), forged_headers( array() ), null, $event )['status'];
	}
	$calls = paypal_calls_since( $mark );
	ok( count( $calls ) <= 10 && ! in_array( 'POST /v1/oauth2/token', $calls, true ) && array_merge( array_fill( 0, 10, 400 ), array_fill( 0, 10, 503 ) ) === $statuses, "$label: 20 forged deliveries make at most 10 calls to PayPal in a minute, with the access token kept", count( $calls ) . ' calls: ' . implode( ',', $statuses ) );
	// A minute later the budget is back.
	delete_option( pay_name( $f, 'paypal_webhook_guard' ) );
}

/** A call of the test's own to the PayPal stand-in with a JSON body. */
function paypal_call_json( $method, $path, $body ) {
	$base  = getenv( 'E2E_PAYPAL_BASE' );
	$token = json_decode( http( 'POST', "$base/v1/oauth2/token", array( array( 'grant_type', 'client_credentials' ) ), array(), array( 'Authorization: Basic ' . base64_encode( getenv( 'E2E_PAYPAL_CLIENT' ) . ':' . getenv( 'E2E_PAYPAL_SECRET' ) ) ), '127.0.0.1' )['body'], true );
	return http( $method, "$base$path", null, array(), array( 'Authorization: Bearer ' . $token['access_token'], 'Content-Type: application/json', 'Prefer: return=representation' ), '127.0.0.1', json_encode( $body ) );
}

function paypal_event_forged() {
	return json_encode( array( 'id' => 'WH-FORGED', 'event_type' => 'PAYMENT.CAPTURE.COMPLETED', 'resource_type' => 'capture', 'resource' => array( 'id' => 'FORGED', 'status' => 'COMPLETED' ) ) );
}

/** Made-up transmission headers that look like PayPal's, with a fresh id unless one is given. */
function forged_headers( $override ) {
	$headers = array(
		'PAYPAL-AUTH-ALGO'         => 'PAYPAL-AUTH-ALGO: SHA256withRSA',
		'PAYPAL-CERT-URL'          => 'PAYPAL-CERT-URL: https://api.sandbox.paypal.com/v1/notifications/certs/CERT-360caa42-fca2a594-e2e',
		'PAYPAL-TRANSMISSION-ID'   => 'PAYPAL-TRANSMISSION-ID: ' . bin2hex( random_bytes( 8 ) ),
		'PAYPAL-TRANSMISSION-SIG'  => 'PAYPAL-TRANSMISSION-SIG: ' . base64_encode( random_bytes( 256 ) ),
		'PAYPAL-TRANSMISSION-TIME' => 'PAYPAL-TRANSMISSION-TIME: ' . gmdate( 'Y-m-d\TH:i:s\Z' ),
	);
	foreach ( $override as $line ) {
		$headers[ strtoupper( strstr( $line, ':', true ) ) ] = $line;
	}
	return array_merge( array( 'Content-Type: application/json' ), array_values( $headers ) );
}

/**
 * The checkout limit per network: atomic under parallel requests, by the real client behind a
 * proxy the seller names (and only then), and by the /64 of an IPv6 address.
 */
function pay_limit_checks( $f, $pay, $page ) {
	$label = "{$f['id']} payments, {$pay['label']}";
	$form  = pay_name( $f, 'buy' ) . '=0';
	exec( 'seq 40 | xargs -P 40 -I{} curl --interface 127.0.201.1 -s -o /dev/null -w "%{http_code}\n" -d ' . escapeshellarg( $form ) . ' ' . escapeshellarg( $page( 0, 'sales' ) ), $codes, $rc );
	$counts = array_count_values( $codes );
	ok( 0 === $rc && array( '303' => 10, '429' => 30 ) == $counts, "$label: 40 parallel checkouts from one address let exactly 10 through", wp_json_encode( $counts ) );

	pay_settings_change( $f, array( 'trusted_proxies' => "127.0.202.1\n192.0.2.0/24" ) );
	$buy = function ( $from, $forwarded ) use ( $pay, $page, $f ) {
		return http( 'POST', $page( 0, 'sales' ), array( array( pay_name( $f, 'buy' ), '0' ) ), array(), array( "X-Forwarded-For: $forwarded" ), $from )['status'];
	};
	$seen = array();
	foreach ( array(
		'the client behind a named proxy'        => array( '127.0.202.1', '198.51.100.7', 10 ),
		'the same client, once more'             => array( '127.0.202.1', '192.0.2.9, 198.51.100.7', 1 ),
		'another client of the proxy'            => array( '127.0.202.1', '198.51.100.8', 1 ),
		'an IPv6 client'                         => array( '127.0.202.1', '2001:db8:1:2::1', 10 ),
		'another address of the same /64'        => array( '127.0.202.1', '2001:db8:1:2:ffff::9', 1 ),
		'an address of the next /64'             => array( '127.0.202.1', '2001:db8:1:3::1', 1 ),
		'a header from an address not named'     => array( '127.0.202.2', '198.51.100.7', 1 ),
	) as $what => $try ) {
		for ( $i = 0; $i < $try[2]; ++$i ) {
			$seen[ $what ] = $buy( $try[0], $try[1] );
		}
	}
	pay_settings_change( $f, array( 'trusted_proxies' => '' ) );
	$want = array(
		'the client behind a named proxy'    => 303,
		'the same client, once more'         => 429,
		'another client of the proxy'        => 303,
		'an IPv6 client'                     => 303,
		'another address of the same /64'    => 429,
		'an address of the next /64'         => 303,
		'a header from an address not named' => 303,
	);
	ok( $want === $seen, "$label: behind a proxy the seller names, the limit counts each client, and an IPv6 client by its /64", wp_json_encode( $seen ) );
}
