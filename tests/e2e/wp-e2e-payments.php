<?php
/**
 * The payment check of a generated plugin, against the Stripe stand-in (stripe-standin.php):
 *
 *   php wp-e2e.php payments PLUGIN_DIR
 *
 * E2E_STRIPE_STATE is the stand-in's session folder, E2E_STRIPE_KEY the secret key it accepts,
 * E2E_MAIL the file the test site's mail goes to, one JSON object a line.
 */

const E2E_WHSEC = 'whsec_e2eSigningSecret0123456789abcdef';

function pay_name( $facts, $name ) {
	return plugin_name( $facts['id'], $name );
}

function stripe_session( $sid ) {
	return json_decode( (string) @file_get_contents( getenv( 'E2E_STRIPE_STATE' ) . "/$sid.json" ), true );
}

/** Plays the buyer or the provider: changes fields of a session the stand-in keeps. */
function stripe_set( $sid, $changes ) {
	$file = getenv( 'E2E_STRIPE_STATE' ) . "/$sid.json";
	file_put_contents( $file, json_encode( array_replace_recursive( (array) stripe_session( $sid ), $changes ), JSON_UNESCAPED_SLASHES ) );
}

function stripe_paid( $email = 'buyer@example.com' ) {
	return array(
		'status'           => 'complete',
		'payment_status'   => 'paid',
		'customer_details' => array( 'email' => $email ),
		'payment_intent'   => 'pi_' . bin2hex( random_bytes( 8 ) ),
	);
}

/**
 * The Stripe-Signature header of a webhook body: "t=TIME,v1=HMAC-SHA256(secret, TIME.body)", as
 * https://docs.stripe.com/webhooks#verify-manually describes it.
 */
function stripe_signature( $body, $secret, $time ) {
	return "t=$time,v1=" . hash_hmac( 'sha256', "$time.$body", $secret );
}

function stripe_event( $session ) {
	// https://docs.stripe.com/api/events/object
	return json_encode(
		array(
			'id'          => 'evt_' . bin2hex( random_bytes( 12 ) ),
			'object'      => 'event',
			'api_version' => '2024-06-20',
			'created'     => time(),
			'livemode'    => false,
			'type'        => 'checkout.session.completed',
			'data'        => array( 'object' => $session ),
		),
		JSON_UNESCAPED_SLASHES
	);
}

function orders_of( $facts, $post ) {
	global $wpdb;
	$table = $wpdb->prefix . pay_name( $facts, 'orders' );
	return $wpdb->get_results( $wpdb->prepare( "SELECT provider, payment_id, slot, amount, currency, email FROM $table WHERE funnel_id = %d ORDER BY id", $post ), ARRAY_A );
}

function mails() {
	$out = array();
	foreach ( file( getenv( 'E2E_MAIL' ), FILE_IGNORE_NEW_LINES | FILE_SKIP_EMPTY_LINES ) ?: array() as $line ) {
		$out[] = json_decode( $line, true );
	}
	return $out;
}

function cmd_payments( $dir ) {
	global $wpdb;
	load_wordpress();
	$f      = plugin_facts( $dir );
	$id     = $f['id'];
	$admin  = user_id( 'admin' );
	$post   = create_funnel( $f, $admin, 'publish', "E2E payments $id" );
	$link   = get_permalink( $post );
	$page   = function ( $n, $kind, $args = array() ) use ( $f, $link ) {
		return add_query_arg( $args, add_query_arg( 'step', $f['slots'][ $n ][ $kind ], $link ) );
	};
	$bodies = array();
	$get    = function ( $url, $cookies = array() ) use ( &$bodies ) {
		$r        = http( 'GET', $url, null, $cookies, array( 'User-Agent: ' . E2E_BROWSER ) );
		$bodies[] = $r['body'];
		return $r;
	};
	foreach ( $f['slots'] as $n => $t ) {
		update_post_meta( $post, meta_key( $f, $n, 'pagetitle' ), "Pay title $n" );
		update_post_meta( $post, meta_key( $f, $n, 'code' ), "<a href=\"https://pay.example.com/pasted$n\">PASTED-$n</a>" );
	}
	$save = function ( $check, $prices ) use ( $f, $post, $admin ) {
		$values = array(
			pay_name( $f, 'payments_nonce' ) => '',
			pay_name( $f, 'payment_check' )  => $check,
		);
		foreach ( $prices as $n => $p ) {
			$values[ pay_name( $f, "payment_price_$n" ) ]    = $p[0];
			$values[ pay_name( $f, "payment_currency_$n" ) ] = $p[1];
		}
		wp_set_current_user( $admin );
		$values[ pay_name( $f, 'payments_nonce' ) ] = wp_create_nonce( pay_name( $f, 'save_payments' ) );
		save_as( $f, $admin, $post, $values, false );
	};
	$prices = array(
		0 => array( '19.99', 'USD' ),
		1 => array( '9,5', 'EUR' ),
		2 => array( '1000', 'JPY' ),
	);

	// "None", the default, and "None" saved with prices: the very pages of a plugin without a check.
	$plain  = array( $get( $page( 0, 'sales' ) )['body'], $get( $page( 0, 'download' ) )['body'] );
	$links1 = anchors( $get( $page( 1, 'download' ) )['body'] );
	$save( 'none', $prices );
	ok( $plain === array( $get( $page( 0, 'sales' ) )['body'], $get( $page( 0, 'download' ) )['body'] ) && false !== strpos( $plain[1], "$id-links" ), "$id payments: with the check \"None\" the sales and download pages are byte for byte the pages without one" );
	$links = anchors( $plain[1] );

	// The settings screen: administrators only; a saved secret is never shown again, and stays out of autoloading.
	$screen = admin_url( 'edit.php?post_type=' . funnel_type( $f ) . '&page=' . pay_name( $f, 'payments' ) );
	$r      = $get( $screen, auth_cookies( user_id( 'editor' ) ) );
	ok( 403 === $r['status'] && false === strpos( $r['body'], pay_name( $f, 'payments_form' ) ), "$id payments: an editor gets no settings screen", "status {$r['status']}" );
	$cookies = auth_cookies( $admin );
	$fields  = form_fields( $get( $screen, $cookies )['body'], pay_name( $f, 'payments_form' ) );
	ok( null !== $fields, "$id payments: an administrator gets the settings form" );
	$fields = (array) $fields;
	foreach ( array(
		'stripe_secret_key'     => getenv( 'E2E_STRIPE_KEY' ),
		'stripe_webhook_secret' => E2E_WHSEC,
		'contact_email'         => 'seller@example.com',
		'access_days'           => '30',
	) as $k => $v ) {
		set_field( $fields, $k, $v );
	}
	$r = http( 'POST', admin_url( 'admin-post.php' ), $fields, $cookies );
	ok( 302 === $r['status'], "$id payments: the settings are saved", "status {$r['status']}" );
	$editor_fields  = $fields;
	$editor_cookies = auth_cookies( user_id( 'editor' ) );
	set_field( $editor_fields, 'contact_email', 'editor@example.com' );
	set_field( $editor_fields, pay_name( $f, 'settings_nonce' ), nonce_for( user_id( 'editor' ), $editor_cookies, pay_name( $f, 'save_payment_settings' ) ) );
	$r = http( 'POST', admin_url( 'admin-post.php' ), $editor_fields, $editor_cookies );
	wp_cache_flush();
	$option = $wpdb->get_row( $wpdb->prepare( "SELECT option_value, autoload FROM {$wpdb->options} WHERE option_name = %s", pay_name( $f, 'payments' ) ) );
	$stored = $option ? maybe_unserialize( $option->option_value ) : array();
	ok( 403 === $r['status'] && isset( $stored['contact_email'] ) && 'seller@example.com' === $stored['contact_email'], "$id payments: an editor can't change the settings", "status {$r['status']}" );
	// WordPress 6.6 and later write 'off' where earlier releases wrote 'no'.
	ok( $option && in_array( $option->autoload, array( 'no', 'off' ), true ) && getenv( 'E2E_STRIPE_KEY' ) === $stored['stripe_secret_key'] && E2E_WHSEC === $stored['stripe_webhook_secret'], "$id payments: the credentials are kept in an option that is not autoloaded", $option ? $option->autoload : 'no option' );
	$again = $get( $screen, $cookies )['body'];
	ok( false !== strpos( $again, 'ends in ' . substr( E2E_WHSEC, -4 ) ) && false === strpos( $again, substr( getenv( 'E2E_STRIPE_KEY' ), 8 ) ), "$id payments: the settings screen shows a saved secret by its last four characters only" );

	$save( 'stripe', $prices );
	$sales = $get( $page( 0, 'sales' ) )['body'];
	ok( false !== strpos( $sales, "$id-checkout" ) && false !== strpos( $sales, 'Buy now for 19.99 USD' ) && false === strpos( $sales, 'PASTED-0' ), "$id payments: with Stripe the sales page shows the plugin's buy button, not the pasted one" );

	// Buying: the price is the server's, whatever the browser sends.
	$buy = function ( $n, $from = null ) use ( $f, $page ) {
		return http( 'POST', $page( $n, 'sales' ), array( array( pay_name( $f, 'buy' ), (string) $n ), array( 'amount', '1' ), array( 'currency', 'jpy' ), array( 'line_items[0][price_data][unit_amount]', '1' ) ), array(), array( 'User-Agent: ' . E2E_BROWSER ), $from );
	};
	$session = function ( $n ) use ( $buy ) {
		$r = $buy( $n );
		return 303 === $r['status'] ? trim( file_get_contents( getenv( 'E2E_STRIPE_STATE' ) . '/last' ) ) : '';
	};
	$r   = $buy( 0 );
	$sid = trim( (string) @file_get_contents( getenv( 'E2E_STRIPE_STATE' ) . '/last' ) );
	$s   = stripe_session( $sid );
	ok( 303 === $r['status'] && isset( $r['headers']['location'] ) && 'https://checkout.stripe.com/c/pay/' . $sid === $r['headers']['location'], "$id payments: the buy button sends the buyer to Stripe's checkout page", wp_json_encode( $r['headers'] ) );
	ok( is_array( $s ) && 1999 === $s['amount_total'] && 'usd' === $s['currency'] && $page( 0, 'download', array( pay_name( $f, 'session' ) => $sid ) ) === $s['success_url'], "$id payments: the session has the server's price (the browser's amount is ignored) and returns to the download page", wp_json_encode( $s ) );
	$jpy = stripe_session( $session( 2 ) );
	ok( 1000 === $jpy['amount_total'] && 'jpy' === $jpy['currency'] && 950 === stripe_session( $session( 1 ) )['amount_total'], "$id payments: amounts in the currency's smallest unit (1000 JPY, 9.50 EUR)" );

	$refused = function ( $r, $what ) use ( $id, $f, $post ) {
		$b = $r['body'];
		ok( 200 === $r['status'] && false !== strpos( $b, 'Your payment could not be confirmed' ) && false === strpos( $b, "$id-links" ) && false === strpos( $b, 'downloads.example.com' ) && false !== strpos( $b, 'mailto:seller@example.com' ) && false !== strpos( $b, '>Try again</a>' ) && '' === page_error( $b ) && array() === orders_of( $f, $post ), "$id payments: $what: no links, nothing recorded, the page says so with the seller's address and a way to try again", "status {$r['status']} " . substr( strip_tags( $b ), 0, 300 ) );
	};
	$back = function ( $n, $sid ) use ( $page, $f, $get ) {
		return $get( $page( $n, 'download', array( pay_name( $f, 'session' ) => $sid ) ) );
	};
	$refused( $get( $page( 0, 'download' ) ), 'the bare download address' );
	$refused( $back( 0, $sid ), 'an unpaid session' );
	stripe_set( $sid, array( 'status' => 'complete' ) );
	$refused( $back( 0, $sid ), 'a completed session whose payment is pending' );
	$refused( $back( 0, 'cs_test_unknown' ), 'a session Stripe does not know' );
	foreach ( array(
		'a wrong amount'    => array( 'amount_total' => 1998 ),
		'a wrong currency'  => array( 'currency' => 'eur' ),
	) as $what => $change ) {
		$other = $session( 0 );
		stripe_set( $other, stripe_paid() + $change );
		$refused( $back( 0, $other ), $what );
	}
	$other = $session( 1 );
	stripe_set( $other, stripe_paid() );
	$refused( $back( 0, $other ), "another item's payment" );

	stripe_set( $sid, stripe_paid() + array( 'e2e_delay' => 12 ) );
	$start = microtime( true );
	$r     = $back( 0, $sid );
	$took  = microtime( true ) - $start;
	$refused( $r, 'a provider that does not answer' );
	ok( $took < 11.5, "$id payments: the provider is given at most 10 s", sprintf( '%.1f s', $took ) );

	stripe_set( $sid, array( 'e2e_delay' => 0 ) );
	$r      = $back( 0, $sid );
	$access = isset( $r['headers']['location'] ) ? $r['headers']['location'] : '';
	$orders = orders_of( $f, $post );
	ok( 303 === $r['status'] && 0 === strpos( $access, $page( 0, 'download' ) . '&' . pay_name( $f, 'access' ) . '=' ), "$id payments: a paid session sends the buyer on to their personal address", "status {$r['status']} $access" );
	ok(
		array(
			array(
				'provider'   => 'stripe',
				'payment_id' => $sid,
				'slot'       => '0',
				'amount'     => '1999',
				'currency'   => 'USD',
				'email'      => 'buyer@example.com',
			),
		) === $orders,
		"$id payments: the paid session is one order",
		wp_json_encode( $orders )
	);
	$r = $get( $access );
	ok( $links === anchors( $r['body'] ) && false !== strpos( $r['body'], 'Thank you for your purchase!' ), "$id payments: the personal address shows the item's links", substr( strip_tags( $r['body'] ), 0, 300 ) );
	$r = $back( 0, $sid );
	ok( 303 === $r['status'] && $orders === orders_of( $f, $post ), "$id payments: coming back with the same payment shows the links again and records nothing new" );
	$r = $back( 1, $sid );
	ok( false !== strpos( $r['body'], 'Your payment could not be confirmed' ) && $orders === orders_of( $f, $post ), "$id payments: one item's payment opens no other item's page" );

	// The personal address: works until it expires, and not with a character changed or on another page.
	$order = $wpdb->get_row( $wpdb->prepare( 'SELECT * FROM ' . $wpdb->prefix . pay_name( $f, 'orders' ) . ' WHERE payment_id = %s', $sid ) );
	$mac   = pay_name( $f, 'payments_access_mac' );
	$value = function ( $expires ) use ( $order, $mac ) {
		return $order->id . '.' . $expires . '.' . $mac( $order, $expires );
	};
	parse_str( (string) parse_url( $access, PHP_URL_QUERY ), $q );
	$given   = $q[ pay_name( $f, 'access' ) ];
	$changed = substr( $given, 0, -1 ) . ( 'a' === substr( $given, -1 ) ? 'b' : 'a' );
	$expiry  = (int) explode( '.', $given )[1];
	ok( abs( $expiry - ( time() + 30 * DAY_IN_SECONDS ) ) < 120, "$id payments: the personal address expires after the 30 days set", (string) ( $expiry - time() ) );
	ok( $links === anchors( $get( $page( 0, 'download', array( pay_name( $f, 'access' ) => $value( time() + 60 ) ) ) )['body'] ), "$id payments: a personal address still valid shows the links" );
	foreach ( array(
		'a personal address that expired'        => $page( 0, 'download', array( pay_name( $f, 'access' ) => $value( time() - 1 ) ) ),
		'a personal address with a character changed' => $page( 0, 'download', array( pay_name( $f, 'access' ) => $changed ) ),
		"a personal address on another item's page"   => $page( 1, 'download', array( pay_name( $f, 'access' ) => $given ) ),
	) as $what => $url ) {
		$before = $orders;
		$r      = $get( $url );
		ok( false !== strpos( $r['body'], 'Your payment could not be confirmed' ) && false === strpos( $r['body'], "$id-links" ) && $before === orders_of( $f, $post ), "$id payments: $what shows no links" );
	}

	// Late confirmation: only Stripe's signed webhook records the order, and mails the buyer.
	$late = $session( 1 );
	stripe_set( $late, stripe_paid( 'late@example.com' ) );
	$event = stripe_event( stripe_session( $late ) );
	$hook  = rest_url( pay_name( $f, 'rest' ) . '/v1/stripe' );
	$send  = function ( $signature ) use ( $hook, $event ) {
		return http( 'POST', $hook, null, array(), array( 'Content-Type: application/json', 'Stripe-Signature: ' . $signature ), null, $event );
	};
	$count = count( orders_of( $f, $post ) );
	$mails = count( mails() );
	foreach ( array(
		'a forged webhook signature' => stripe_signature( $event, 'whsec_forged', time() ),
		'a stale webhook signature'  => stripe_signature( $event, E2E_WHSEC, time() - 301 ),
		'a signature of another body' => stripe_signature( $event . ' ', E2E_WHSEC, time() ),
	) as $what => $signature ) {
		$r = $send( $signature );
		ok( 400 === $r['status'] && count( orders_of( $f, $post ) ) === $count && count( mails() ) === $mails, "$id payments: $what is refused and records nothing", "status {$r['status']}" );
	}
	$r       = $send( stripe_signature( $event, E2E_WHSEC, time() - 200 ) );
	$orders  = orders_of( $f, $post );
	$letters = array_slice( mails(), $mails );
	ok( 200 === $r['status'] && $count + 1 === count( $orders ) && $late === end( $orders )['payment_id'] && '1' === end( $orders )['slot'] && 'late@example.com' === end( $orders )['email'], "$id payments: a signed checkout.session.completed webhook alone records the order", "status {$r['status']} " . wp_json_encode( $orders ) );
	$mailed = 1 === count( $letters ) && 'late@example.com' === $letters[0]['to'] && preg_match( '#https?://\S+' . preg_quote( pay_name( $f, 'access' ), '#' ) . '=[0-9a-f.]+#', $letters[0]['message'], $m );
	ok( $mailed && false === strpos( $letters[0]['message'], getenv( 'E2E_STRIPE_KEY' ) ), "$id payments: the webhook mails the buyer their personal address", wp_json_encode( $letters ) );
	if ( $mailed ) {
		$r = $get( $m[0] );
		ok( array( end( $links1 ) ) === anchors( $r['body'] ) && 2 === count( $links1 ), "$id payments: the mailed address shows the upsell's own link, not the front end's, which this buyer did not buy", wp_json_encode( anchors( $r['body'] ) ) );
	}
	$upsell = $session( 1 );
	stripe_set( $upsell, stripe_paid() );
	$r = $back( 1, $upsell );
	$r = $get( isset( $r['headers']['location'] ) ? $r['headers']['location'] : $page( 1, 'download' ) );
	ok( $links1 === anchors( $r['body'] ), "$id payments: a buyer of the front end and the upsell gets both links on the upsell's page", wp_json_encode( anchors( $r['body'] ) ) );
	$send( stripe_signature( $event, E2E_WHSEC, time() ) );
	ok( count( $orders ) + 1 === count( orders_of( $f, $post ) ) && count( mails() ) === $mails + 1, "$id payments: the same webhook again records and mails nothing new" );

	// Anonymous buyers can't make sessions in bulk.
	$statuses = array();
	for ( $i = 0; $i < 11; ++$i ) {
		$statuses[] = $buy( 0, '127.0.200.9' )['status'];
	}
	ok( array_merge( array_fill( 0, 10, 303 ), array( 429 ) ) === $statuses, "$id payments: an address gets 10 checkouts in 10 minutes, then a refusal", implode( ',', $statuses ) );

	$secrets = array( getenv( 'E2E_STRIPE_KEY' ), E2E_WHSEC, substr( getenv( 'E2E_STRIPE_KEY' ), 8 ), substr( E2E_WHSEC, 6 ) );
	$leaks   = array();
	foreach ( $bodies as $b ) {
		foreach ( $secrets as $secret ) {
			if ( false !== strpos( $b, $secret ) ) {
				$leaks[] = substr( $secret, 0, 6 );
			}
		}
	}
	ok( array() === $leaks && count( $bodies ) > 20, "$id payments: no page or screen holds a secret (" . count( $bodies ) . ' looked at)', implode( ',', $leaks ) );

	wp_delete_post( $post, true );
	ok( array() === orders_of( $f, $post ), "$id payments: a funnel deleted for good takes its orders with it" );
}
