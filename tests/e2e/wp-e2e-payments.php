<?php
/**
 * The payment check of a generated plugin, against the providers' stand-ins (stripe-standin.php,
 * paypal-standin.php):
 *
 *   php wp-e2e.php payments PLUGIN_DIR
 *
 * E2E_STRIPE_STATE and E2E_PAYPAL_STATE are the stand-ins' folders of sessions and orders,
 * E2E_STRIPE_KEY and E2E_PAYPAL_CLIENT / _SECRET / _WEBHOOK_ID the credentials they accept,
 * E2E_MAIL the file the test site's mail goes to, one JSON object a line.
 *
 * Each provider runs the same cases through a driver (pay_stripe(), pay_paypal()): how a buyer
 * starts a payment, pays it (or not), comes back, and how the provider's webhook is signed.
 */

const E2E_WHSEC = 'whsec_e2eSigningSecret0123456789abcdef';

function pay_name( $facts, $name ) {
	return plugin_name( $facts['id'], $name );
}

/** A session or order as a stand-in keeps it. */
function standin_object( $provider, $id ) {
	return json_decode( (string) @file_get_contents( getenv( 'E2E_' . strtoupper( $provider ) . '_STATE' ) . "/$id.json" ), true );
}

/** Plays the buyer or the provider: changes fields of a session or order a stand-in keeps. */
function standin_set( $provider, $id, $changes ) {
	$file = getenv( 'E2E_' . strtoupper( $provider ) . '_STATE' ) . "/$id.json";
	file_put_contents( $file, json_encode( array_replace_recursive( (array) standin_object( $provider, $id ), $changes ), JSON_UNESCAPED_SLASHES ) );
}

function standin_last( $provider ) {
	return trim( (string) @file_get_contents( getenv( 'E2E_' . strtoupper( $provider ) . '_STATE' ) . '/last' ) );
}

/**
 * The Stripe-Signature header of a webhook body: "t=TIME,v1=HMAC-SHA256(secret, TIME.body)", as
 * https://docs.stripe.com/webhooks#verify-manually describes it.
 */
function stripe_signature( $body, $secret, $time ) {
	return "t=$time,v1=" . hash_hmac( 'sha256', "$time.$body", $secret );
}

function stripe_event( $session ) {
	return stripe_event_of( 'checkout.session.completed', $session );
}

/**
 * PayPal's transmission headers for a webhook body: SHA256withRSA over
 * "transmission_id|transmission_time|webhook_id|crc32(body)", as
 * https://developer.paypal.com/api/rest/webhooks/rest/ describes it, with the key the PayPal
 * stand-in verifies with.
 */
function paypal_headers( $body, $key, $time ) {
	$id   = sprintf( '%s-%s-11ee-%s-%s', bin2hex( random_bytes( 4 ) ), bin2hex( random_bytes( 2 ) ), bin2hex( random_bytes( 2 ) ), bin2hex( random_bytes( 6 ) ) );
	$when = gmdate( 'Y-m-d\TH:i:s\Z', $time );
	openssl_sign( "$id|$when|" . getenv( 'E2E_PAYPAL_WEBHOOK_ID' ) . '|' . crc32( $body ), $signature, $key, OPENSSL_ALGO_SHA256 );
	return array(
		'Content-Type: application/json',
		'PAYPAL-AUTH-ALGO: SHA256withRSA',
		'PAYPAL-CERT-URL: https://api.sandbox.paypal.com/v1/notifications/certs/CERT-360caa42-fca2a594-e2e',
		"PAYPAL-TRANSMISSION-ID: $id",
		'PAYPAL-TRANSMISSION-SIG: ' . base64_encode( $signature ),
		"PAYPAL-TRANSMISSION-TIME: $when",
	);
}

/** The key PayPal signs its webhooks with: the test's, kept where the stand-in reads it. */
function paypal_signing_key() {
	$file = getenv( 'E2E_PAYPAL_STATE' ) . '/signing-key.pem';
	if ( ! is_file( $file ) ) {
		openssl_pkey_export( openssl_pkey_new( array( 'private_key_bits' => 2048 ) ), $pem );
		file_put_contents( $file, $pem );
	}
	return openssl_pkey_get_private( file_get_contents( $file ) );
}

/** PayPal's PAYMENT.CAPTURE.COMPLETED event of an order's capture: https://developer.paypal.com/api/rest/webhooks/event-names/ */
function paypal_event( $order_id, $changes = array() ) {
	$capture                       = standin_object( 'paypal', $order_id )['purchase_units'][0]['payments']['captures'][0];
	$capture['supplementary_data'] = array( 'related_ids' => array( 'order_id' => $order_id ) );
	return json_encode(
		array(
			'id'               => 'WH-' . strtoupper( bin2hex( random_bytes( 8 ) ) ),
			'event_version'    => '1.0',
			'create_time'      => gmdate( 'Y-m-d\TH:i:s\Z' ),
			'resource_type'    => 'capture',
			'resource_version' => '2.0',
			'event_type'       => 'PAYMENT.CAPTURE.COMPLETED',
			'summary'          => 'Payment completed for ' . $capture['amount']['value'] . ' ' . $capture['amount']['currency_code'],
			'resource'         => array_replace_recursive( $capture, $changes ),
			'links'            => array(
				array(
					'href'   => 'https://api.sandbox.paypal.com/v1/notifications/webhooks-events/WH-E2E',
					'rel'    => 'self',
					'method' => 'GET',
				),
			),
		),
		JSON_UNESCAPED_SLASHES
	);
}

/** A call of the test's own to the PayPal stand-in, as PayPal's side of things. */
function paypal_call( $method, $path ) {
	$base  = getenv( 'E2E_PAYPAL_BASE' );
	$token = json_decode( http( 'POST', "$base/v1/oauth2/token", array( array( 'grant_type', 'client_credentials' ) ), array(), array( 'Authorization: Basic ' . base64_encode( getenv( 'E2E_PAYPAL_CLIENT' ) . ':' . getenv( 'E2E_PAYPAL_SECRET' ) ) ), '127.0.0.1' )['body'], true );
	return http( $method, "$base$path", null, array(), array( 'Authorization: Bearer ' . $token['access_token'], 'Content-Type: application/json' ), '127.0.0.1', '' );
}

/**
 * How a buyer pays with Stripe: the buy button's form sends them to Stripe's page, they come
 * back to the download page with the session's id.
 */
function pay_stripe( $f, $page, $get, $send ) {
	$buy = function ( $n, $from = null ) use ( $f, $page, $send ) {
		return $send( $page( $n, 'sales' ), array( array( pay_name( $f, 'buy' ), (string) $n ), array( 'amount', '1' ), array( 'currency', 'jpy' ), array( 'line_items[0][price_data][unit_amount]', '1' ) ), $from );
	};
	return array(
		'name'    => 'stripe',
		'label'   => 'Stripe',
		'buy'     => $buy,
		'started' => 303,
		'start'   => function ( $n ) use ( $buy ) {
			return 303 === $buy( $n )['status'] ? standin_last( 'stripe' ) : '';
		},
		'pay'     => function ( $sid, $email = 'buyer@example.com', $fault = '' ) {
			$faults = array(
				''         => array(),
				'pending'  => array( 'payment_status' => 'unpaid' ),
				'amount'   => array( 'amount_total' => 1998 ),
				'currency' => array( 'currency' => 'eur' ),
			);
			standin_set(
				'stripe',
				$sid,
				array_replace(
					array(
						'status'           => 'complete',
						'payment_status'   => 'paid',
						'customer_details' => array( 'email' => $email ),
						'payment_intent'   => 'pi_' . bin2hex( random_bytes( 8 ) ),
					),
					$faults[ $fault ]
				)
			);
		},
		'delay'   => function ( $sid, $seconds ) {
			standin_set( 'stripe', $sid, array( 'e2e_delay' => $seconds ) );
		},
		'back'    => function ( $n, $sid ) use ( $page, $f, $get ) {
			return decline_road( $f, $get( $page( $n, 'download', array( pay_name( $f, 'session' ) => $sid ) ) ), $get );
		},
		'unknown' => 'cs_test_unknown',
		'captured' => function ( $sid ) {
			return 'paid' === standin_object( 'stripe', $sid )['payment_status'];
		},
		'payment' => function ( $sid ) {
			return $sid;
		},
		// Stripe's page is where the buyer is lost: the session is paid, the webhook tells.
		'late'    => function ( $sid ) {
			return stripe_event( standin_object( 'stripe', $sid ) );
		},
		'signed'  => function ( $event, $how ) use ( $f ) {
			$signature = array(
				'good'   => stripe_signature( $event, E2E_WHSEC, time() - 200 ),
				'forged' => stripe_signature( $event, 'whsec_forged', time() ),
				'stale'  => stripe_signature( $event, E2E_WHSEC, time() - 301 ),
				'other'  => stripe_signature( $event . ' ', E2E_WHSEC, time() ),
			);
			return http( 'POST', rest_url( pay_name( $f, 'rest' ) . '/v1/stripe' ), null, array(), array( 'Content-Type: application/json', 'Stripe-Signature: ' . $signature[ $how ] ), null, $event );
		},
	);
}

/**
 * How a buyer pays with PayPal: PayPal's buttons ask the sales page for an order, the buyer
 * approves it in PayPal's window, and the buttons post its id to the download page.
 */
function pay_paypal( $f, $page, $get, $send ) {
	$buy = function ( $n, $from = null ) use ( $f, $page, $send ) {
		return $send( $page( $n, 'sales' ), array( array( pay_name( $f, 'buy' ), (string) $n ), array( 'amount', '1' ), array( 'currency_code', 'JPY' ), array( 'purchase_units[0][amount][value]', '0.01' ) ), $from );
	};
	return array(
		'name'    => 'paypal',
		'label'   => 'PayPal',
		'buy'     => $buy,
		'started' => 201,
		'start'   => function ( $n ) use ( $buy ) {
			$r = $buy( $n );
			$a = json_decode( $r['body'], true );
			return 201 === $r['status'] && isset( $a['id'] ) && standin_last( 'paypal' ) === $a['id'] ? $a['id'] : '';
		},
		'pay'     => function ( $id, $email = 'buyer@example.com', $fault = '' ) {
			// A buyer who made their own order with the seller's public client id pays what they like.
			$faults = array(
				''         => array(),
				'pending'  => array(
					'e2e_capture' => array(
						'status'         => 'PENDING',
						'status_details' => array( 'reason' => 'PENDING_REVIEW' ),
					),
				),
				'amount'   => array( 'purchase_units' => array( array( 'amount' => array( 'value' => '19.98' ) ) ) ),
				'currency' => array( 'purchase_units' => array( array( 'amount' => array( 'currency_code' => 'EUR' ) ) ) ),
			);
			standin_set(
				'paypal',
				$id,
				array(
					'status' => 'APPROVED',
					'payer'  => array(
						'name'          => array(
							'given_name' => 'E2E',
							'surname'    => 'Buyer',
						),
						'email_address' => $email,
						'payer_id'      => 'E2EPAYER' . strtoupper( bin2hex( random_bytes( 3 ) ) ),
					),
				) + $faults[ $fault ]
			);
		},
		'delay'   => function ( $id, $seconds ) {
			standin_set( 'paypal', $id, array( 'e2e_delay' => $seconds ) );
		},
		'back'    => function ( $n, $id ) use ( $page, $f, $send, $get ) {
			return decline_road( $f, $send( $page( $n, 'download' ), array( array( pay_name( $f, 'order' ), $id ) ) ), $get );
		},
		'unknown' => 'E2EUNKNOWN0000000',
		'captured' => function ( $id ) {
			return 'COMPLETED' === standin_object( 'paypal', $id )['status'];
		},
		'payment' => function ( $id ) {
			$order = standin_object( 'paypal', $id );
			return isset( $order['purchase_units'][0]['payments']['captures'][0]['id'] ) ? $order['purchase_units'][0]['payments']['captures'][0]['id'] : '';
		},
		// The buyer approved and PayPal captured, but the buyer never reached the download page.
		'late'    => function ( $id ) {
			paypal_call( 'POST', "/v2/checkout/orders/$id/capture" );
			return paypal_event( $id );
		},
		'signed'  => function ( $event, $how ) use ( $f ) {
			$forged  = openssl_pkey_new( array( 'private_key_bits' => 2048 ) );
			$other   = json_decode( $event, true );
			$other['resource']['amount']['value'] = '0.01';
			$headers = array(
				'good'   => paypal_headers( $event, paypal_signing_key(), time() - 200 ),
				'forged' => paypal_headers( $event, $forged, time() ),
				'stale'  => paypal_headers( $event, paypal_signing_key(), time() - 301 ),
				'other'  => paypal_headers( json_encode( $other, JSON_UNESCAPED_SLASHES ), paypal_signing_key(), time() ),
			);
			return http( 'POST', rest_url( pay_name( $f, 'rest' ) . '/v1/paypal' ), null, array(), $headers[ $how ], null, $event );
		},
	);
}

/** A buyer who wants the front end alone: each offer after it is declined, to the road's end. */
function decline_road( $f, $r, $get ) {
	for ( $i = 0; $i < 5 && 303 === $r['status'] && false !== strpos( isset( $r['headers']['location'] ) ? $r['headers']['location'] : '', pay_name( $f, 'visit' ) . '=' ); ++$i ) {
		$r = $get( $r['headers']['location'] . '&' . pay_name( $f, 'decline' ) . '=1' );
	}
	return $r;
}

/** The cookie a response sets, as the next request sends it back. */
function set_cookies( $r ) {
	return isset( $r['headers']['set-cookie'] ) && preg_match( '/^([^=;]+)=([^;]*)/', $r['headers']['set-cookie'], $m ) ? array( $m[1] => rawurldecode( $m[2] ) ) : array();
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

/** A funnel of its own for a provider, with the pasted buttons that the check replaces. */
function pay_funnel( $f, $admin, $title ) {
	$post = create_funnel( $f, $admin, 'publish', $title );
	foreach ( $f['slots'] as $n => $t ) {
		update_post_meta( $post, meta_key( $f, $n, 'pagetitle' ), "Pay title $n" );
		update_post_meta( $post, meta_key( $f, $n, 'code' ), "<a href=\"https://pay.example.com/pasted$n\">PASTED-$n</a>" );
	}
	return $post;
}

/** Saves a funnel's payment box as its edit screen does. */
function pay_save( $f, $admin, $post, $check, $prices ) {
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
}

function cmd_payments( $dir ) {
	global $wpdb;
	load_wordpress();
	$f      = plugin_facts( $dir );
	$id     = $f['id'];
	$admin  = user_id( 'admin' );
	$post   = pay_funnel( $f, $admin, "E2E payments $id" );
	$link   = get_permalink( $post );
	$bodies = array();
	$get    = function ( $url, $cookies = array() ) use ( &$bodies ) {
		$r        = http( 'GET', $url, null, $cookies, array( 'User-Agent: ' . E2E_BROWSER ) );
		$bodies[] = $r['body'];
		return $r;
	};
	$send   = function ( $url, $form, $from = null ) use ( &$bodies ) {
		$r        = http( 'POST', $url, $form, array(), array( 'User-Agent: ' . E2E_BROWSER ), $from );
		$bodies[] = $r['body'];
		return $r;
	};
	$page   = function ( $n, $kind, $args = array() ) use ( $f, $link ) {
		return add_query_arg( $args, add_query_arg( 'step', $f['slots'][ $n ][ $kind ], $link ) );
	};
	$prices = array(
		0 => array( '19.99', 'USD' ),
		1 => array( '9,5', 'EUR' ),
		2 => array( '1000', 'JPY' ),
		3 => array( '19.99', 'USD' ),
		4 => array( '19.99', 'USD' ),
	);

	// "None", the default, and "None" saved with prices: the very pages of a plugin without a check.
	$plain  = array( $get( $page( 0, 'sales' ) )['body'], $get( $page( 0, 'download' ) )['body'] );
	$links  = anchors( $plain[1] );
	$links1 = anchors( $get( $page( 1, 'download' ) )['body'] );
	$links4 = anchors( $get( $page( 4, 'download' ) )['body'] );
	pay_save( $f, $admin, $post, 'none', $prices );
	ok( $plain === array( $get( $page( 0, 'sales' ) )['body'], $get( $page( 0, 'download' ) )['body'] ) && false !== strpos( $plain[1], "$id-links" ), "$id payments: with the check \"None\" the sales and download pages are byte for byte the pages without one" );

	// The settings screen: administrators only; a saved secret is never shown again, and stays out of autoloading.
	$screen = admin_url( 'edit.php?post_type=' . funnel_type( $f ) . '&page=' . pay_name( $f, 'payments' ) );
	$r      = $get( $screen, auth_cookies( user_id( 'editor' ) ) );
	ok( 403 === $r['status'] && false === strpos( $r['body'], pay_name( $f, 'payments_form' ) ), "$id payments: an editor gets no settings screen", "status {$r['status']}" );
	$cookies = auth_cookies( $admin );
	$fields  = form_fields( $get( $screen, $cookies )['body'], pay_name( $f, 'payments_form' ) );
	ok( null !== $fields, "$id payments: an administrator gets the settings form" );
	$fields  = (array) $fields;
	$secrets = array(
		'stripe_secret_key'     => getenv( 'E2E_STRIPE_KEY' ),
		'stripe_webhook_secret' => E2E_WHSEC,
		'paypal_client_id'      => getenv( 'E2E_PAYPAL_CLIENT' ),
		'paypal_secret'         => getenv( 'E2E_PAYPAL_SECRET' ),
		'paypal_webhook_id'     => getenv( 'E2E_PAYPAL_WEBHOOK_ID' ),
	);
	foreach ( $secrets + array(
		'contact_email' => 'seller@example.com',
		'access_days'   => '30',
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
	ok( $option && in_array( $option->autoload, array( 'no', 'off' ), true ) && array_intersect_key( $stored, $secrets ) == $secrets, "$id payments: the credentials of both providers are kept in an option that is not autoloaded", $option ? $option->autoload : 'no option' );
	$again = $get( $screen, $cookies )['body'];
	ok( false !== strpos( $again, 'ends in ' . substr( E2E_WHSEC, -4 ) ) && false !== strpos( $again, 'ends in ' . substr( getenv( 'E2E_PAYPAL_SECRET' ), -4 ) ) && false === strpos( $again, substr( getenv( 'E2E_STRIPE_KEY' ), 8 ) ) && false === strpos( $again, substr( getenv( 'E2E_PAYPAL_SECRET' ), 5 ) ), "$id payments: the settings screen shows a saved secret by its last four characters only" );

	$funnels = array();
	foreach ( array( 'pay_stripe', 'pay_paypal' ) as $driver ) {
		$p         = 'pay_stripe' === $driver ? $post : pay_funnel( $f, $admin, "E2E payments $driver $id" );
		$plink     = get_permalink( $p );
		$ppage     = function ( $n, $kind, $args = array() ) use ( $f, $plink ) {
			return add_query_arg( $args, add_query_arg( 'step', $f['slots'][ $n ][ $kind ], $plink ) );
		};
		$pay       = $driver( $f, $ppage, $get, $send );
		$funnels[] = array( $pay, $p, $ppage );
		pay_save( $f, $admin, $p, $pay['name'], $prices );
		pay_provider_checks( $f, $pay, $p, $ppage, $get, $links, $links1 );
		if ( 'pay_stripe' === $driver ) {
			pay_limit_checks( $f, $pay, $ppage );
		}
		// A funnel of their own, so that the figures and the privacy checks below stay as they are.
		$tp    = pay_funnel( $f, $admin, "E2E payments trust $driver $id" );
		$tlink = get_permalink( $tp );
		$tpage = function ( $n, $kind, $args = array() ) use ( $f, $tlink ) {
			return add_query_arg( $args, add_query_arg( 'step', $f['slots'][ $n ][ $kind ], $tlink ) );
		};
		pay_save( $f, $admin, $tp, $pay['name'], $prices );
		pay_trust_checks( $f, $driver( $f, $tpage, $get, $send ), $tp, $tpage, $get, $send, $admin, $prices, $links4 );
		wp_delete_post( $tp, true );
	}

	foreach ( $funnels as $funnel ) {
		pay_stats_checks( $f, $funnel[0], $funnel[1], $funnel[2], $admin, $prices );
	}
	pay_privacy_checks( $f, array( $funnels[0][1], $funnels[1][1] ) );

	$leaks = array();
	foreach ( $bodies as $b ) {
		foreach ( array( getenv( 'E2E_STRIPE_KEY' ), E2E_WHSEC, substr( getenv( 'E2E_STRIPE_KEY' ), 8 ), substr( E2E_WHSEC, 6 ), getenv( 'E2E_PAYPAL_SECRET' ), substr( getenv( 'E2E_PAYPAL_SECRET' ), 5 ), getenv( 'E2E_PAYPAL_WEBHOOK_ID' ) ) as $secret ) {
			if ( false !== strpos( $b, $secret ) ) {
				$leaks[] = substr( $secret, 0, 6 );
			}
		}
	}
	ok( array() === $leaks && count( $bodies ) > 40, "$id payments: no page or screen holds a secret (" . count( $bodies ) . ' looked at)', implode( ',', $leaks ) );

	// One funnel deleted from the trash through the funnel list's "Empty Trash", one directly.
	$stripe_post = $funnels[0][1];
	$kept        = orders_of( $f, $stripe_post );
	wp_trash_post( $stripe_post );
	ok( array() !== $kept && $kept === orders_of( $f, $stripe_post ), "$id payments: a funnel in the trash keeps its orders" );
	$r = http( 'GET', admin_url( 'edit.php?post_status=trash&post_type=' . funnel_type( $f ) . '&delete_all=Empty+Trash&_wpnonce=' . nonce_for( $admin, $cookies, 'bulk-posts' ) ), null, $cookies );
	wp_cache_flush();
	ok( 302 === $r['status'] && null === get_post( $stripe_post ) && array() === orders_of( $f, $stripe_post ), "$id payments: emptying the trash takes the funnel's orders with it", "status {$r['status']}" );
	wp_delete_post( $funnels[1][1], true );
	ok( array() === orders_of( $f, $funnels[1][1] ), "$id payments: a funnel deleted for good takes its orders with it" );
}

/**
 * The statistics box of a funnel with a check: verified orders and revenue per item and currency
 * for 7 days, 30 days and all time, and the conversion rate from orders. One more order of the
 * front end in another currency, and the upsell's two orders dated back, make the periods differ.
 */
function pay_stats_checks( $f, $pay, $post, $page, $admin, $prices ) {
	global $wpdb;
	$id = $f['id'];
	pay_save( $f, $admin, $post, $pay['name'], array( 0 => array( '5', 'GBP' ) ) + $prices );
	$gbp = $pay['start']( 0 );
	$pay['pay']( $gbp );
	$pay['back']( 0, $gbp );
	pay_save( $f, $admin, $post, $pay['name'], $prices );
	$table = $wpdb->prefix . pay_name( $f, 'orders' );
	foreach ( array(
		'late@example.com'  => 10,
		'buyer@example.com' => 40,
	) as $email => $days ) {
		$wpdb->query( $wpdb->prepare( "UPDATE $table SET created = UTC_TIMESTAMP() - INTERVAL %d DAY WHERE funnel_id = %d AND slot = 1 AND email = %s", $days, $post, $email ) );
	}
	// Per item and period (7 days, 30 days, all time): orders, revenue.
	$expected = array(
		0 => array( array( 2, '5.00 GBP, 19.99 USD' ), array( 2, '5.00 GBP, 19.99 USD' ), array( 2, '5.00 GBP, 19.99 USD' ) ),
		1 => array( array( 0, "\u{2013}" ), array( 1, '9.50 EUR' ), array( 2, '19.00 EUR' ) ),
	);
	for ( $i = 0; $i < 4; ++$i ) {
		visit( $page( 1, 'sales' ) );
	}
	$b = http( 'GET', admin_url( "post.php?post=$post&action=edit" ), null, auth_cookies( $admin ) )['body'];
	foreach ( $expected as $n => $figures ) {
		$want  = array();
		$views = stats_count( $f, $post, $n, 'sales' );
		foreach ( array( 'week', 'month', 'all' ) as $i => $period ) {
			$want[ "sales-$period" ]    = (string) $views;
			$want[ "download-$period" ] = (string) stats_count( $f, $post, $n, 'download' );
			$want[ "orders-$period" ]   = (string) $figures[ $i ][0];
			$want[ "revenue-$period" ]  = $figures[ $i ][1];
			$want[ "refunds-$period" ]  = '0';
			$want[ "rate-$period" ]     = rate( $figures[ $i ][0], $views );
		}
		$cells = stats_cells( $id, $b, $n );
		ksort( $want );
		ksort( $cells );
		ok( $want === $cells && $views > 0, "$id payments, {$pay['label']}: item $n's statistics show its verified orders, revenue per currency and the rate from orders for 7 days, 30 days and all time", wp_json_encode( array( 'want' => $want, 'shown' => $cells ) ) );
	}
	$list = http( 'GET', admin_url( 'edit.php?post_type=' . funnel_type( $f ) ), null, auth_cookies( $admin ) )['body'];
	$all  = count( orders_of( $f, $post ) );
	ok( (bool) preg_match( '#<tr id="post-' . $post . '".*?<span class="' . preg_quote( $id, '#' ) . '-stats-purchases">Purchases: ' . $all . '</span>.*?</tr>#s', $list ), "$id payments, {$pay['label']}: the funnel list counts the funnel's $all verified orders as its purchases" );
}

/** WordPress's privacy tools find a buyer's orders by email, export and erase them. */
function pay_privacy_checks( $f, $posts ) {
	$id        = $f['id'];
	$exporters = apply_filters( 'wp_privacy_personal_data_exporters', array() );
	$erasers   = apply_filters( 'wp_privacy_personal_data_erasers', array() );
	$key       = pay_name( $f, 'orders' );
	if ( ! ok( isset( $exporters[ $key ]['callback'], $erasers[ $key ]['callback'] ), "$id payments: an exporter and an eraser of personal data are registered" ) ) {
		return;
	}
	// As WordPress's privacy screens call them: the address, then the page.
	$export = function ( $email ) use ( $exporters, $key ) {
		$out   = call_user_func( $exporters[ $key ]['callback'], $email, 1 );
		$items = array();
		foreach ( $out['data'] as $item ) {
			$items[] = wp_list_pluck( $item['data'], 'value', 'name' );
		}
		return array( $out['done'], $items );
	};
	$orders = function ( $email ) use ( $f, $posts ) {
		$mine = array();
		foreach ( $posts as $post ) {
			foreach ( orders_of( $f, $post ) as $o ) {
				if ( $email === $o['email'] ) {
					$mine[] = $o['provider'] . ' ' . $o['payment_id'];
				}
			}
		}
		sort( $mine );
		return $mine;
	};
	list( $done, $items ) = $export( 'Buyer@Example.com' );
	$found                = array();
	foreach ( $items as $item ) {
		$found[] = $item['Payment provider'] . ' ' . $item['Payment ID'];
	}
	sort( $found );
	$usd = array_keys( wp_list_pluck( $items, 'Amount' ), '19.99 USD', true );
	ok( true === $done && 6 === count( $found ) && $orders( 'buyer@example.com' ) === $found && 2 === count( $usd ) && 'Front End Offer' === $items[ $usd[0] ]['Item'] && 'buyer@example.com' === $items[ $usd[0] ]['Email address'], "$id payments: the exporter finds each of a buyer's orders by their email, with item, amount and provider", wp_json_encode( $items ) );
	$late    = $orders( 'late@example.com' );
	$all     = function () use ( $f, $posts ) {
		$out = array();
		foreach ( $posts as $post ) {
			foreach ( orders_of( $f, $post ) as $o ) {
				unset( $o['email'] );
				$out[] = $o;
			}
		}
		return $out;
	};
	$figures = $all();
	$erased  = call_user_func( $erasers[ $key ]['callback'], 'buyer@example.com', 1 );
	ok( true === $erased['items_removed'] && true === $erased['items_retained'] && true === $erased['done'] && array() === $orders( 'buyer@example.com' ) && array( true, array() ) === $export( 'buyer@example.com' ) && 2 === count( $late ) && $late === $orders( 'late@example.com' ) && $figures === $all(), "$id payments: the eraser blanks that buyer's address and no one else's, and keeps every order's item, amount and date", wp_json_encode( $erased ) );
}

/** The cases every provider must pass, on a funnel whose check is that provider. */
function pay_provider_checks( $f, $pay, $post, $page, $get, $links, $links1 ) {
	global $wpdb;
	$id    = $f['id'];
	$label = "$id payments, {$pay['label']}";
	$sales = $get( $page( 0, 'sales' ) )['body'];
	$sdk   = 'https://www.paypal.com/sdk/js?client-id=' . getenv( 'E2E_PAYPAL_CLIENT' ) . '&#038;currency=USD&#038;intent=capture';
	if ( 'stripe' === $pay['name'] ) {
		ok( false !== strpos( $sales, "$id-checkout" ) && false !== strpos( $sales, 'Buy now for 19.99 USD' ) && false === strpos( $sales, 'PASTED-0' ) && false === strpos( $sales, 'paypal.com/sdk' ), "$label: the sales page shows the plugin's buy button, not the pasted one" );
	} else {
		$other = $get( $page( 2, 'sales' ) )['body'];
		ok( false !== strpos( $sales, "class=\"$id-paypal\"" ) && false !== strpos( $sales, 'Buy now for 19.99 USD' ) && false === strpos( $sales, 'PASTED-0' ) && false !== strpos( $sales, $sdk ) && false !== strpos( $sales, "/$id/assets/paypal-buttons.js" ), "$label: the sales page loads PayPal's buttons with the client id and the item's currency, not the pasted button", substr( $sales, strpos( $sales, '<body' ), 600 ) );
		ok( false !== strpos( $other, 'currency=JPY' ) && false === strpos( $get( $page( 2, 'download' ) )['body'], 'paypal.com/sdk' ), "$label: PayPal's script is on the sales pages only, in each item's currency" );
	}

	// Buying: the price is the server's, whatever the browser sends.
	$r   = $pay['buy']( 0 );
	$sid = standin_last( $pay['name'] );
	$s   = standin_object( $pay['name'], $sid );
	if ( 'stripe' === $pay['name'] ) {
		ok( 303 === $r['status'] && isset( $r['headers']['location'] ) && 'https://checkout.stripe.com/c/pay/' . $sid === $r['headers']['location'], "$label: the buy button sends the buyer to Stripe's checkout page", wp_json_encode( $r['headers'] ) );
		ok( is_array( $s ) && 1999 === $s['amount_total'] && 'usd' === $s['currency'] && $page( 0, 'download', array( pay_name( $f, 'session' ) => $sid ) ) === $s['success_url'], "$label: the session has the server's price (the browser's amount is ignored) and returns to the download page", wp_json_encode( $s ) );
		$jpy = standin_object( 'stripe', $pay['start']( 2 ) );
		ok( 1000 === $jpy['amount_total'] && 'jpy' === $jpy['currency'] && 950 === standin_object( 'stripe', $pay['start']( 1 ) )['amount_total'], "$label: amounts in the currency's smallest unit (1000 JPY, 9.50 EUR)" );
	} else {
		$unit = isset( $s['purchase_units'][0] ) ? $s['purchase_units'][0] : array();
		ok( 201 === $r['status'] && array( 'id' => $sid ) === json_decode( $r['body'], true ) && 'CAPTURE' === $s['e2e_request']['intent'], "$label: the buttons' call makes a PayPal order and answers its id", $r['status'] . ' ' . $r['body'] );
		ok( array( 'currency_code' => 'USD', 'value' => '19.99' ) === $unit['amount'] && "$post-0" === $unit['custom_id'] && 'Pay title 0' === $unit['description'], "$label: the order has the server's price (the browser's amount is ignored) and names its item", wp_json_encode( $unit ) );
		$jpy = standin_object( 'paypal', $pay['start']( 2 ) )['purchase_units'][0]['amount'];
		$eur = standin_object( 'paypal', $pay['start']( 1 ) )['purchase_units'][0]['amount'];
		ok( array( 'currency_code' => 'JPY', 'value' => '1000' ) === $jpy && array( 'currency_code' => 'EUR', 'value' => '9.50' ) === $eur, "$label: amounts as PayPal writes them (1000 JPY, 9.50 EUR)", wp_json_encode( array( $jpy, $eur ) ) );
	}

	$refused = function ( $r, $what, $orders = array() ) use ( $label, $f, $post ) {
		$b = $r['body'];
		ok( 200 === $r['status'] && false !== strpos( $b, 'Your payment could not be confirmed' ) && false === strpos( $b, $f['id'] . '-links' ) && false === strpos( $b, 'downloads.example.com' ) && false !== strpos( $b, 'mailto:seller@example.com' ) && false !== strpos( $b, '>Try again</a>' ) && '' === page_error( $b ) && $orders === orders_of( $f, $post ), "$label: $what: no links, nothing recorded, the page says so with the seller's address and a way to try again", "status {$r['status']} " . substr( strip_tags( $b ), 0, 300 ) );
	};
	$refused( $get( $page( 0, 'download' ) ), 'the bare download address' );
	$refused( $pay['back']( 0, $sid ), 'an unpaid payment' );
	$refused( $pay['back']( 0, $pay['unknown'] ), 'a payment the provider does not know' );
	$captured = array();
	foreach ( array(
		'pending'  => 'a pending payment',
		'amount'   => 'a wrong amount',
		'currency' => 'a wrong currency',
	) as $fault => $what ) {
		$other = $pay['start']( 0 );
		$pay['pay']( $other, 'buyer@example.com', $fault );
		$refused( $pay['back']( 0, $other ), $what );
		$captured[ $what ] = $pay['captured']( $other );
	}
	// Of the same price, so that only the item the payment names can tell.
	$other = $pay['start']( 3 );
	$pay['pay']( $other );
	$refused( $pay['back']( 0, $other ), "another item's payment" );
	$captured["another item's payment"] = $pay['captured']( $other );
	if ( 'paypal' === $pay['name'] ) {
		ok( array( 'a pending payment' => true, 'a wrong amount' => false, 'a wrong currency' => false, "another item's payment" => false ) === $captured, "$label: an order that is not this item's is never captured on its page", wp_json_encode( $captured ) );
	}

	$pay['pay']( $sid );
	$pay['delay']( $sid, 12 );
	$start = microtime( true );
	$r     = $pay['back']( 0, $sid );
	$took  = microtime( true ) - $start;
	$refused( $r, 'a provider that does not answer' );
	ok( $took < 11.5, "$label: the provider is given at most 10 s", sprintf( '%.1f s', $took ) );

	$pay['delay']( $sid, 0 );
	$r      = $pay['back']( 0, $sid );
	$access = isset( $r['headers']['location'] ) ? $r['headers']['location'] : '';
	$orders = orders_of( $f, $post );
	ok( 303 === $r['status'] && 0 === strpos( $access, $page( 0, 'download' ) . '&' . pay_name( $f, 'access' ) . '=' ), "$label: a paid payment sends the buyer on to their personal address", "status {$r['status']} $access" );
	ok(
		array(
			array(
				'provider'   => $pay['name'],
				'payment_id' => $pay['payment']( $sid ),
				'slot'       => '0',
				'amount'     => '1999',
				'currency'   => 'USD',
				'email'      => 'buyer@example.com',
			),
		) === $orders && '' !== $orders[0]['payment_id'],
		"$label: the paid payment is one order",
		wp_json_encode( $orders )
	);
	$r     = $get( '' === $access ? $page( 0, 'download' ) : $access );
	$buyer = set_cookies( $r );
	ok( $links === anchors( $r['body'] ) && false !== strpos( $r['body'], 'Thank you for your purchase!' ), "$label: the personal address shows the item's links", substr( strip_tags( $r['body'] ), 0, 300 ) );
	$r = $pay['back']( 0, $sid );
	ok( 303 === $r['status'] && $orders === orders_of( $f, $post ), "$label: coming back with the same payment shows the links again and records nothing new" );
	$refused( $pay['back']( 1, $sid ), "one item's payment on another item's page", $orders );

	// The personal address: works until it expires, and not with a character changed or on another page.
	$order = $wpdb->get_row( $wpdb->prepare( 'SELECT * FROM ' . $wpdb->prefix . pay_name( $f, 'orders' ) . ' WHERE payment_id = %s', $orders[0]['payment_id'] ) );
	$mac   = pay_name( $f, 'payments_access_mac' );
	$value = function ( $expires ) use ( $order, $mac ) {
		return $order->id . '.' . $expires . '.' . $mac( $order, $expires );
	};
	parse_str( (string) parse_url( $access, PHP_URL_QUERY ), $q );
	$given   = $q[ pay_name( $f, 'access' ) ];
	$changed = substr( $given, 0, -1 ) . ( 'a' === substr( $given, -1 ) ? 'b' : 'a' );
	$expiry  = (int) explode( '.', $given )[1];
	ok( abs( $expiry - ( time() + 30 * DAY_IN_SECONDS ) ) < 120, "$label: the personal address expires after the 30 days set", (string) ( $expiry - time() ) );
	ok( $links === anchors( $get( $page( 0, 'download', array( pay_name( $f, 'access' ) => $value( time() + 60 ) ) ) )['body'] ), "$label: a personal address still valid shows the links" );
	foreach ( array(
		'a personal address that expired'             => $page( 0, 'download', array( pay_name( $f, 'access' ) => $value( time() - 1 ) ) ),
		'a personal address with a character changed' => $page( 0, 'download', array( pay_name( $f, 'access' ) => $changed ) ),
		"a personal address on another item's page"   => $page( 1, 'download', array( pay_name( $f, 'access' ) => $given ) ),
	) as $what => $url ) {
		$r = $get( $url );
		ok( false !== strpos( $r['body'], 'Your payment could not be confirmed' ) && false === strpos( $r['body'], "$id-links" ) && $orders === orders_of( $f, $post ), "$label: $what shows no links" );
	}

	// Late confirmation: only the provider's signed webhook records the order, and mails the buyer.
	$late = $pay['start']( 1 );
	$pay['pay']( $late, 'late@example.com' );
	$event = $pay['late']( $late );
	$count = count( orders_of( $f, $post ) );
	$mails = count( mails() );
	foreach ( array(
		'forged' => 'a forged webhook signature',
		'stale'  => 'a stale webhook signature',
		'other'  => 'a signature of another body',
	) as $how => $what ) {
		$r = $pay['signed']( $event, $how );
		ok( 400 === $r['status'] && count( orders_of( $f, $post ) ) === $count && count( mails() ) === $mails, "$label: $what is refused and records nothing", "status {$r['status']} {$r['body']}" );
	}
	$r       = $pay['signed']( $event, 'good' );
	$orders  = orders_of( $f, $post );
	$letters = array_slice( mails(), $mails );
	ok( 200 === $r['status'] && $count + 1 === count( $orders ) && $pay['payment']( $late ) === end( $orders )['payment_id'] && '1' === end( $orders )['slot'] && '950' === end( $orders )['amount'] && 'late@example.com' === end( $orders )['email'], "$label: a signed webhook alone records the order", "status {$r['status']} {$r['body']} " . wp_json_encode( $orders ) );
	$mailed = 1 === count( $letters ) && 'late@example.com' === $letters[0]['to'] && preg_match( '#https?://\S+' . preg_quote( pay_name( $f, 'access' ), '#' ) . '=[0-9a-f.]+#', $letters[0]['message'], $m );
	ok( $mailed && false === strpos( $letters[0]['message'], getenv( 'E2E_STRIPE_KEY' ) ) && false === strpos( $letters[0]['message'], getenv( 'E2E_PAYPAL_SECRET' ) ), "$label: the webhook mails the buyer their personal address", wp_json_encode( $letters ) );
	if ( $mailed ) {
		$r = $get( $m[0] );
		ok( array( end( $links1 ) ) === anchors( $r['body'] ) && 2 === count( $links1 ), "$label: the mailed address shows the upsell's own link, not the front end's, which this buyer did not buy", wp_json_encode( anchors( $r['body'] ) ) );
	}
	$upsell = $pay['start']( 1 );
	$pay['pay']( $upsell );
	$r = $pay['back']( 1, $upsell );
	$r = $get( isset( $r['headers']['location'] ) ? $r['headers']['location'] : $page( 1, 'download' ), $buyer );
	ok( $links1 === anchors( $r['body'] ) && array() !== $buyer, "$label: a buyer of the front end and the upsell gets both links on the upsell's page, in the browser that opened the front end's", wp_json_encode( anchors( $r['body'] ) ) );
	$letters = array_slice( mails(), $mails + 1 );
	ok( 1 === count( $letters ) && 'buyer@example.com' === $letters[0]['to'] && false !== strpos( $letters[0]['message'], pay_name( $f, 'access' ) . '=' ), "$label: the buyer who came back from paying gets the access link by mail too", wp_json_encode( $letters ) );
	$pay['signed']( $event, 'good' );
	ok( count( $orders ) + 1 === count( orders_of( $f, $post ) ) && count( mails() ) === $mails + 2, "$label: the same webhook again records and mails nothing new" );

	// Anonymous buyers can't start payments in bulk.
	$statuses = array();
	$from     = '127.0.200.' . ( 'stripe' === $pay['name'] ? 9 : 10 );
	for ( $i = 0; $i < 11; ++$i ) {
		$statuses[] = $pay['buy']( 0, $from )['status'];
	}
	ok( array_merge( array_fill( 0, 10, $pay['started'] ), array( 429 ) ) === $statuses, "$label: an address gets 10 checkouts in 10 minutes, then a refusal", implode( ',', $statuses ) );
}
