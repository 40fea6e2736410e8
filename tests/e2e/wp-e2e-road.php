<?php
/**
 * The buyer's road after a verified front-end payment, against the providers' stand-ins:
 *
 *   php wp-e2e.php road PLUGIN_DIR
 *
 * The buyer pays the front end on the provider's page (the stand-ins' /e2e/ routes play it: a
 * Stripe card saved on a Customer, a PayPal account saved in the vault), answers each offer, and
 * ends on the download page of the last item bought. One-click charges are PaymentIntents
 * confirmed on the server (https://docs.stripe.com/api/payment_intents/create) and PayPal orders
 * paid with a vault id (https://developer.paypal.com/docs/checkout/save-payment-methods/during-purchase/orders-api/paypal);
 * the stand-ins count them.
 */

/**
 * Every road of the funnel's items: the answers given to the offers in turn (Y, N), the item
 * whose download page ends it, and the items bought, written out by hand from the funnel's tree.
 */
function road_table( $present ) {
	$roads = array(
		'01234' => array(
			'YY'  => array( 2, array( 0, 1, 2 ) ),
			'YNY' => array( 4, array( 0, 1, 4 ) ),
			'YNN' => array( 1, array( 0, 1 ) ),
			'NY'  => array( 3, array( 0, 3 ) ),
			'NN'  => array( 0, array( 0 ) ),
		),
		// The front end alone: paying it is the whole road.
		'0'     => array(
			'' => array( 0, array( 0 ) ),
		),
		// Without the first upsell's downsell, "no" to the first upsell ends the road at once.
		'0124'  => array(
			'YY'  => array( 2, array( 0, 1, 2 ) ),
			'YNY' => array( 4, array( 0, 1, 4 ) ),
			'YNN' => array( 1, array( 0, 1 ) ),
			'N'   => array( 0, array( 0 ) ),
		),
	);
	return $roads[ $present ];
}

/** How a buyer pays the front end and takes offers with each provider. */
function road_driver( $f, $provider, $page ) {
	$front = 'stripe' === $provider ? function ( $email, $card, $from = null ) use ( $f, $page ) {
		// The session from the buyer's own answer: buyers at the same time each pay their own.
		$sid = basename( (string) parse_url( road_location( http( 'POST', $page( 0, 'sales' ), array( array( pay_name( $f, 'buy' ), '0' ) ), array(), array(), $from ) ), PHP_URL_PATH ) );
		http( 'POST', getenv( 'E2E_STRIPE_BASE' ) . "/e2e/checkout/sessions/$sid/pay", array( array( 'email', $email ), array( 'card', $card ) ), array(), array(), '127.0.0.1' );
		return http( 'GET', $page( 0, 'download', array( pay_name( $f, 'session' ) => $sid ) ) );
	} : function ( $email, $card, $from = null ) use ( $f, $page ) {
		$id = json_decode( http( 'POST', $page( 0, 'sales' ), array( array( pay_name( $f, 'buy' ), '0' ) ), array(), array(), $from )['body'], true )['id'];
		standin_set( 'paypal', $id, array( 'status' => 'APPROVED', 'payer' => array( 'email_address' => $email, 'payer_id' => 'E2EROAD' ) ) );
		return http( 'POST', $page( 0, 'download' ), array( array( pay_name( $f, 'order' ), $id ) ) );
	};
	return array(
		'front' => $front,
		'yes'   => function ( $offer ) use ( $f ) {
			return http( 'POST', $offer, array( array( pay_name( $f, 'accept' ), '1' ) ) );
		},
		'no'    => function ( $offer ) use ( $f ) {
			return http( 'GET', $offer . '&' . pay_name( $f, 'decline' ) . '=1' );
		},
	);
}

function road_location( $r ) {
	return isset( $r['headers']['location'] ) ? $r['headers']['location'] : '';
}

/** The mails the site sent to one buyer. */
function road_mails( $email ) {
	return array_values( array_filter( mails(), static function ( $m ) use ( $email ) {
		return $email === $m['to'];
	} ) );
}

function road_orders( $f, $email ) {
	global $wpdb;
	return array_map( 'intval', $wpdb->get_col( $wpdb->prepare( 'SELECT slot FROM ' . $wpdb->prefix . pay_name( $f, 'orders' ) . " WHERE email = %s AND status = 'paid' ORDER BY slot", $email ) ) );
}

function road_visit( $f, $email ) {
	global $wpdb;
	$orders = $wpdb->prefix . pay_name( $f, 'orders' );
	return $wpdb->get_row( $wpdb->prepare( 'SELECT v.* FROM ' . $wpdb->prefix . pay_name( $f, 'visits' ) . " v JOIN $orders o ON o.id = v.front_order WHERE o.email = %s", $email ) );
}

/** Lines of a stand-in's call log that name a path, so a test counts what the site asked. */
function road_calls( $provider, $needle ) {
	return count( array_filter( file( getenv( 'E2E_' . strtoupper( $provider ) . '_STATE' ) . '/calls' ) ?: array(), static function ( $line ) use ( $needle ) {
		return false !== strpos( $line, $needle );
	} ) );
}

/**
 * Runs one road: pays the front end, gives the answers, and tells what went wrong ('' if nothing).
 *
 * @return array array( problem, the last response ).
 */
function road_run( $f, $driver, $answers, $expect, $email, $page, $plain ) {
	$r = $driver['front']( $email, 'ok' );
	foreach ( '' === $answers ? array() : str_split( $answers ) as $answer ) {
		$offer = road_location( $r );
		if ( false === strpos( $offer, pay_name( $f, 'visit' ) . '=' ) ) {
			return array( "no offer before answer $answer: " . $offer, $r );
		}
		$r = $driver[ 'Y' === $answer ? 'yes' : 'no' ]( $offer );
	}
	list( $end, $bought ) = $expect;
	$access               = road_location( $r );
	if ( 0 !== strpos( $access, $page( $end, 'download' ) . '&' . pay_name( $f, 'access' ) . '=' ) ) {
		return array( "does not end on item $end: {$r['status']} $access", $r );
	}
	$shown = anchors( http( 'GET', $access )['body'] );
	if ( $plain[ $end ] !== $shown || count( $shown ) !== count( $bought ) || road_orders( $f, $email ) !== $bought ) {
		return array( 'end page with ' . count( $shown ) . ' links, orders ' . wp_json_encode( road_orders( $f, $email ) ), $r );
	}
	$letters = road_mails( $email );
	if ( 1 !== count( $letters ) || ! preg_match( '#https?://\S+' . preg_quote( pay_name( $f, 'access' ), '#' ) . '=[0-9a-f.]+#', $letters[0]['message'], $m ) || $shown !== anchors( http( 'GET', $m[0] )['body'] ) ) {
		return array( count( $letters ) . ' mails, or a mailed link that does not open the end page', $r );
	}
	return array( '', $r );
}

/** The providers' settings of the road's tests: test mode, the stand-ins' keys, PayPal's vault. */
function road_settings( $f ) {
	update_option(
		pay_name( $f, 'payments' ),
		array(
			'mode'                  => 'test',
			'stripe_secret_key'     => getenv( 'E2E_STRIPE_KEY' ),
			'stripe_webhook_secret' => E2E_WHSEC,
			'paypal_client_id'      => getenv( 'E2E_PAYPAL_CLIENT' ),
			'paypal_secret'         => getenv( 'E2E_PAYPAL_SECRET' ),
			'paypal_webhook_id'     => getenv( 'E2E_PAYPAL_WEBHOOK_ID' ),
			'paypal_vault'          => '1',
		),
		false
	);
}

function cmd_road( $dir ) {
	global $wpdb;
	load_wordpress();
	$f       = plugin_facts( $dir );
	$id      = $f['id'];
	$admin   = user_id( 'admin' );
	$present = implode( '', array_keys( $f['slots'] ) );
	road_settings( $f );
	$prices = array();
	foreach ( array( '20.00', '10.00', '5.00', '7.00', '3.00' ) as $n => $price ) {
		$prices[ $n ] = array( $price, 'USD' );
	}
	$plain   = array();
	$funnels = array();
	foreach ( array( 'stripe', 'paypal' ) as $provider ) {
		$post      = pay_funnel( $f, $admin, "E2E road $provider $id" );
		$funnels[] = $post;
		$link      = get_permalink( $post );
		$page      = function ( $n, $kind, $args = array() ) use ( $f, $link ) {
			return add_query_arg( $args, add_query_arg( 'step', $f['slots'][ $n ][ $kind ], $link ) );
		};
		// The links of each download page while no funnel checks payments.
		foreach ( $plain ? array() : array_keys( $f['slots'] ) as $n ) {
			$plain[ $n ] = anchors( http( 'GET', $page( $n, 'download' ) )['body'] );
		}
		if ( 'stripe' === $provider ) {
			$edit = http( 'GET', admin_url( "post.php?post=$post&action=edit" ), null, auth_cookies( $admin ) )['body'];
			$yes0 = isset( $f['slots'][1] ) ? $page( 1, 'sales' ) : $page( 0, 'download' );
			$no1  = isset( $f['slots'][3] ) ? $page( 3, 'sales' ) : $page( 0, 'download' );
			ok( false !== strpos( $edit, 'After payment send the buyer to</th><td><code>' . esc_html( $yes0 ) ) && ( ! isset( $f['slots'][1] ) || false !== strpos( $edit, 'The &quot;no thanks&quot; link goes to</th><td><code>' . esc_html( $no1 ) ) ), "$id road: without a check, each item's box shows where the seller's own buttons send the buyer" );
		}
		pay_save( $f, $admin, $post, $provider, $prices );
		$driver = road_driver( $f, $provider, $page );
		$label  = "$id road, $provider";

		// Every road, each by a buyer of their own.
		$problems = array();
		foreach ( road_table( $present ) as $answers => $expect ) {
			list( $problem ) = road_run( $f, $driver, $answers, $expect, "road-$id-$provider-$answers@example.com", $page, $plain );
			if ( '' !== $problem ) {
				$problems[ $answers ] = $problem;
			}
		}
		ok( array() === $problems, "$label: every road ends on the last item bought's download page, with exactly its links, one order per item and one mail whose link opens it", wp_json_encode( $problems ) );
		if ( '01234' === $present ) {
			road_guard_checks( $f, $provider, $driver, $post, $page, $label );
		}
	}
	// Funnels that check payments close the download pages of those that don't: the tests after
	// this one find the site as it was.
	foreach ( $funnels as $post ) {
		wp_delete_post( $post, true );
	}
}

/**
 * Off the road, altered and ended references, double clicks, declines, the bank's check, a
 * provider that does not answer, a visit left alone, and the figures of roads run at once.
 */
function road_guard_checks( $f, $provider, $driver, $post, $page, $label ) {
	global $wpdb;
	$id = $f['id'];

	// Off the road, altered and ended references, double clicks: refused or answered once.
	$email  = "road-$id-$provider-guards@example.com";
	$offer1 = road_location( $driver['front']( $email, 'ok' ) );
	$visit  = road_visit( $f, $email );
	$charge = 'stripe' === $provider ? 'POST /v1/payment_intents' : 'POST /v2/checkout/orders';
	$before = road_calls( $provider, $charge );
	$bodies = array(
		'the second upsell before the first' => http( 'GET', str_replace( $f['slots'][1]['sales'], $f['slots'][2]['sales'], $offer1 ) ),
		'an altered reference'               => http( 'GET', substr( $offer1, 0, -1 ) . ( 'a' === substr( $offer1, -1 ) ? 'b' : 'a' ) ),
	);
	$refused = array();
	foreach ( $bodies as $what => $r ) {
		$refused[ $what ] = 200 === $r['status'] && preg_match( '/not the next step|not valid/', $r['body'] );
	}
	ok( ! in_array( false, $refused, true ) && $before === road_calls( $provider, $charge ), "$label: an offer off the road and an altered reference are refused with a page that says so, and charge nothing", wp_json_encode( $refused ) );
	$pages = array(
		'an offer page'  => http( 'GET', $offer1 )['body'],
		'a refused offer' => $bodies['an altered reference']['body'],
	);
	$first  = $driver['yes']( $offer1 );
	$second = $driver['yes']( $offer1 );
	ok( road_location( $first ) === road_location( $second ) && false !== strpos( road_location( $first ), $f['slots'][2]['sales'] ) && array( 0, 1 ) === road_orders( $f, $email ) && $before + 1 === road_calls( $provider, $charge ), "$label: accepting twice (a double click, a reload) charges once and goes on to the second upsell", wp_json_encode( array( road_location( $second ), road_orders( $f, $email ), road_calls( $provider, $charge ) - $before ) ) );
	$down = http( 'GET', str_replace( $f['slots'][2]['sales'], $f['slots'][3]['sales'], road_location( $first ) ) );
	ok( false !== strpos( $down['body'], 'not the next step' ), "$label: the first upsell's downsell after accepting that upsell is refused" );

	// Two clicks at the same moment, each a process of its own, while the provider takes its time
	// and fails a repeated request meanwhile: one charge, one order, both clicks sent on alike.
	$both  = "road-$id-$provider-parallel@example.com";
	$offer = road_location( $driver['front']( $both, 'ok' ) );
	$slow  = getenv( 'E2E_' . strtoupper( $provider ) . '_STATE' ) . ( 'stripe' === $provider ? '/e2e_intent_delay' : '/e2e_order_delay' );
	file_put_contents( $slow, '2' );
	$kids = array();
	foreach ( array( 1, 2 ) as $click ) {
		$pid = pcntl_fork();
		if ( 0 === $pid ) {
			$r = $driver['yes']( $offer );
			file_put_contents( "$slow-$click", $r['status'] . ' ' . road_location( $r ) );
			// Leaves without PHP's shutdown, which would close the parent's database connection.
			posix_kill( getmypid(), SIGKILL );
		}
		$kids[] = $pid;
	}
	foreach ( $kids as $pid ) {
		pcntl_waitpid( $pid, $status );
	}
	unlink( $slow );
	$answers = array( (string) @file_get_contents( "$slow-1" ), (string) @file_get_contents( "$slow-2" ) );
	array_map( 'unlink', glob( "$slow-*" ) );
	ok( 0 === strpos( $answers[0], '303 http' ) && $answers[0] === $answers[1], "$label: two accepts at the same moment both go on to the same next page", wp_json_encode( $answers ) );
	$method  = road_visit( $f, $both )->method;
	$charges = count( array_filter( glob( getenv( 'E2E_' . strtoupper( $provider ) . '_STATE' ) . ( 'stripe' === $provider ? '/pi_*.json' : '/*.json' ) ), static function ( $file ) use ( $method, $provider ) {
		$object = json_decode( file_get_contents( $file ), true );
		return 'stripe' === $provider ? isset( $object['payment_method'], $object['status'] ) && $method === $object['payment_method'] && 'succeeded' === $object['status'] && 'front' !== ( $object['metadata']['slot'] ?? 'front' )
			: isset( $object['e2e_request']['payment_source']['paypal']['vault_id'] ) && $method === $object['e2e_request']['payment_source']['paypal']['vault_id'];
	} ) );
	ok( 1 === $charges && array( 0, 1 ) === road_orders( $f, $both ), "$label: two accepts at the same moment charge once and record one order", wp_json_encode( array( $charges, road_orders( $f, $both ) ) ) );

	// A declined method: the offer stays, says so, and the item's checkout returns into the road.
	if ( 'stripe' === $provider ) {
		$pm = json_decode( file_get_contents( getenv( 'E2E_STRIPE_STATE' ) . "/{$visit->method}.json" ), true );
		file_put_contents( getenv( 'E2E_STRIPE_STATE' ) . "/{$visit->method}.json", json_encode( array( 'e2e_card' => 'decline' ) + $pm ) );
	} else {
		standin_set( 'paypal', "token-{$visit->method}", array( 'e2e_decline' => true ) );
	}
	$offer2   = road_location( $first );
	$declined = $driver['yes']( $offer2 );
	ok( 200 === $declined['status'] && preg_match( '/(card|PayPal account) was not charged/', $declined['body'] ) && array( 0, 1 ) === road_orders( $f, $email ), "$label: a declined charge keeps the offer, says nothing was charged and records nothing", substr( strip_tags( $declined['body'] ), 0, 300 ) );
	$pages['an offer after a decline'] = $declined['body'];
	foreach ( $pages as $what => $body ) {
		check_page_conventions( $id, "$provider road: $what", $body );
	}
	if ( 'stripe' === $provider ) {
		http( 'POST', $offer2, array( array( pay_name( $f, 'buy' ), '2' ) ) );
		$sid = standin_last( 'stripe' );
		http( 'POST', getenv( 'E2E_STRIPE_BASE' ) . "/e2e/checkout/sessions/$sid/pay", array( array( 'email', $email ) ), array(), array(), '127.0.0.1' );
		// Stripe's webhook before the buyer's return: the visit takes the order once, and mails once.
		$event = stripe_event( standin_object( 'stripe', $sid ) );
		http( 'POST', rest_url( pay_name( $f, 'rest' ) . '/v1/stripe' ), null, array(), array( 'Content-Type: application/json', 'Stripe-Signature: ' . stripe_signature( $event, E2E_WHSEC, time() ) ), null, $event );
		$back = http( 'GET', str_replace( '{CHECKOUT_SESSION_ID}', $sid, standin_object( 'stripe', $sid )['success_url'] ) );
	} else {
		preg_match( '/data-capture="([^"]+)"/', $declined['body'], $m );
		$made = json_decode( http( 'POST', $offer2, array( array( pay_name( $f, 'buy' ), '2' ) ) )['body'], true )['id'];
		standin_set( 'paypal', $made, array( 'status' => 'APPROVED', 'payer' => array( 'email_address' => $email ) ) );
		$back = http( 'POST', html_entity_decode( isset( $m[1] ) ? $m[1] : '' ), array( array( pay_name( $f, 'order' ), $made ) ) );
	}
	$end = road_location( $back );
	ok( 0 === strpos( $end, $page( 2, 'download' ) . '&' . pay_name( $f, 'access' ) . '=' ) && array( 0, 1, 2 ) === road_orders( $f, $email ) && 3 === count( anchors( http( 'GET', $end )['body'] ) ), "$label: the item's checkout after a decline returns into the road and ends it", "$end " . wp_json_encode( road_orders( $f, $email ) ) );
	$after  = road_calls( $provider, $charge );
	$ended  = $driver['yes']( $offer2 );
	$mailed = count( road_mails( $email ) );
	ok( false !== strpos( $ended['body'], 'Your order is complete' ) && $after === road_calls( $provider, $charge ) && 1 === $mailed, "$label: accepting after the end is refused, charges nothing, and the visit mailed once", "$mailed mails" );
	$released = 'stripe' === $provider ? null === json_decode( file_get_contents( getenv( 'E2E_STRIPE_STATE' ) . "/{$visit->method}.json" ), true )['customer']
		: 1 === road_calls( 'paypal', "DELETE /v3/vault/payment-tokens/{$visit->method}" );
	if ( 'stripe' === $provider ) {
		// Stripe itself refuses the detached card: https://docs.stripe.com/api/payment_methods/detach
		$reuse    = http( 'POST', getenv( 'E2E_STRIPE_BASE' ) . '/v1/payment_intents', array( array( 'amount', '500' ), array( 'currency', 'usd' ), array( 'customer', $visit->customer ), array( 'payment_method', $visit->method ), array( 'confirm', 'true' ), array( 'return_url', home_url( '/' ) ) ), array(), array( 'Authorization: Bearer ' . getenv( 'E2E_STRIPE_KEY' ) ), '127.0.0.1' );
		$released = $released && 400 === $reuse['status'];
	}
	ok( $released, "$label: the saved method is given back at the end of the visit, and can't be charged any more" );

	// A visit left alone ends after its minutes: refused, the method released, one mail.
	$email = "road-$id-$provider-quiet@example.com";
	$offer = road_location( $driver['front']( $email, 'ok' ) );
	$wpdb->query( $wpdb->prepare( 'UPDATE ' . $wpdb->prefix . pay_name( $f, 'visits' ) . ' SET active = UTC_TIMESTAMP() - INTERVAL 61 MINUTE WHERE front_order = (SELECT id FROM ' . $wpdb->prefix . pay_name( $f, 'orders' ) . ' WHERE email = %s)', $email ) );
	$quiet  = $driver['yes']( $offer );
	$letter = road_mails( $email );
	ok( false !== strpos( $quiet['body'], 'Your order is complete' ) && array( 0 ) === road_orders( $f, $email ) && 1 === count( $letter ) && '' === road_visit( $f, $email )->method, "$label: a visit quiet for longer than its minutes is ended: the offer is refused, the method released and the buyer mailed once" );

	if ( 'paypal' === $provider ) {
		// An app that may not vault after all: the front end still sells, the offers show PayPal's buttons.
		touch( getenv( 'E2E_PAYPAL_STATE' ) . '/e2e_no_vault' );
		$offer = road_location( $driver['front']( "road-$id-novault@example.com", 'ok' ) );
		unlink( getenv( 'E2E_PAYPAL_STATE' ) . '/e2e_no_vault' );
		$body = '' === $offer ? '' : http( 'GET', $offer )['body'];
		ok( false !== strpos( $body, 'data-capture=' ) && false === strpos( $body, 'Yes, add this to my order' ) && array( 0 ) === road_orders( $f, "road-$id-novault@example.com" ), "$label: where PayPal refuses to save the account, the front end is sold and the offers show PayPal's buttons" );
	}
	if ( 'stripe' === $provider ) {
		road_stripe_checks( $f, $driver, $page, $label );
		road_stats_checks( $f, $post, $page, $label );
	}
}

/** Stripe's bank check (3-D Secure) and a provider that does not answer. */
function road_stripe_checks( $f, $driver, $page, $label ) {
	global $wpdb;
	$email = "road-{$f['id']}-3ds@example.com";
	$r     = $driver['front']( $email, '3ds' );
	$offer = road_location( $r );
	$bank  = road_location( $driver['yes']( $offer ) );
	parse_str( (string) parse_url( $bank, PHP_URL_QUERY ), $q );
	$intent = isset( $q['payment_intent'] ) ? $q['payment_intent'] : '';
	http( 'POST', getenv( 'E2E_STRIPE_BASE' ) . "/e2e/payment_intents/$intent/authenticate", array( array( 'result', 'succeed' ) ), array(), array(), '127.0.0.1' );
	$back = http( 'GET', $offer . '&payment_intent=' . $intent . '&redirect_status=succeeded' );
	ok( 0 === strpos( $bank, 'https://hooks.stripe.com/' ) && false !== strpos( road_location( $back ), $f['slots'][2]['sales'] ) && array( 0, 1 ) === road_orders( $f, $email ), "$label: a bank that asks for its check sends the buyer there, and the offer is recorded when Stripe says it succeeded", "$bank " . road_location( $back ) );

	// A buyer who paid and never came back: the webhook opens the visit, which mails at its end.
	$email = "road-{$f['id']}-webhook@example.com";
	$sid   = basename( (string) parse_url( road_location( http( 'POST', $page( 0, 'sales' ), array( array( pay_name( $f, 'buy' ), '0' ) ) ) ), PHP_URL_PATH ) );
	http( 'POST', getenv( 'E2E_STRIPE_BASE' ) . "/e2e/checkout/sessions/$sid/pay", array( array( 'email', $email ) ), array(), array(), '127.0.0.1' );
	$event = stripe_event( standin_object( 'stripe', $sid ) );
	http( 'POST', rest_url( pay_name( $f, 'rest' ) . '/v1/stripe' ), null, array(), array( 'Content-Type: application/json', 'Stripe-Signature: ' . stripe_signature( $event, E2E_WHSEC, time() ) ), null, $event );
	$mailed = static function () use ( $email ) {
		return count( road_mails( $email ) );
	};
	$early  = $mailed();
	$opened = road_visit( $f, $email );
	$wpdb->query( $wpdb->prepare( 'UPDATE ' . $wpdb->prefix . pay_name( $f, 'visits' ) . ' SET active = UTC_TIMESTAMP() - INTERVAL 61 MINUTE WHERE id = %d', $opened ? $opened->id : 0 ) );
	call_user_func( pay_name( $f, 'visits_sweep' ) );
	ok( 0 === $early && $opened && 'open' === $opened->status && 1 === $mailed() && 'ended' === road_visit( $f, $email )->status, "$label: a front end paid by webhook alone opens its visit without a mail; the sweep ends it with one", "$early then " . $mailed() );

	$email = "road-{$f['id']}-slow@example.com";
	$offer = road_location( $driver['front']( $email, 'ok' ) );
	file_put_contents( getenv( 'E2E_STRIPE_STATE' ) . '/e2e_intent_delay', '12' );
	$slow = $driver['yes']( $offer );
	unlink( getenv( 'E2E_STRIPE_STATE' ) . '/e2e_intent_delay' );
	$again = $driver['yes']( $offer );
	// What the buyer paid, as Stripe keeps it: the PaymentIntents of this visit that succeeded.
	$visit   = road_visit( $f, $email );
	$charged = count( array_filter( glob( getenv( 'E2E_STRIPE_STATE' ) . '/pi_*.json' ), static function ( $file ) use ( $visit ) {
		$intent = json_decode( file_get_contents( $file ), true );
		return 'succeeded' === $intent['status'] && isset( $intent['metadata']['visit'] ) && (string) $visit->id === (string) $intent['metadata']['visit'];
	} ) );
	ok( 200 === $slow['status'] && false !== strpos( $slow['body'], 'did not answer in time' ) && array( 0, 1 ) === road_orders( $f, $email ) && 1 === $charged && false !== strpos( road_location( $again ), $f['slots'][2]['sales'] ), "$label: a provider that does not answer keeps the offer; trying again records the charge it made, and the card is charged once", wp_json_encode( array( road_orders( $f, $email ), $charged ) ) );
}

/**
 * The offers' figures after a mix of roads run 20 at a time (each buyer a process of its own):
 * exactly as many shown, accepted and declined as the roads gave.
 */
function road_stats_checks( $f, $post, $page, $label ) {
	global $wpdb;
	$wpdb->delete( stats_table( $f ), array( 'funnel_id' => $post ) );
	$roads  = array_keys( road_table( '01234' ) );
	$driver = road_driver( $f, 'stripe', $page );
	$expect = array();
	$kids   = array();
	for ( $i = 0; $i < 20; ++$i ) {
		$answers = $roads[ $i % count( $roads ) ];
		$slot    = 1;
		foreach ( str_split( $answers ) as $answer ) {
			$expect[ $slot ]['shown']                                        = ( isset( $expect[ $slot ]['shown'] ) ? $expect[ $slot ]['shown'] : 0 ) + 1;
			$expect[ $slot ][ 'Y' === $answer ? 'accept' : 'decline' ]       = ( isset( $expect[ $slot ][ 'Y' === $answer ? 'accept' : 'decline' ] ) ? $expect[ $slot ][ 'Y' === $answer ? 'accept' : 'decline' ] : 0 ) + 1;
			$slot = array( 1 => array( 'Y' => 2, 'N' => 3 ), 2 => array( 'N' => 4 ) )[ $slot ][ $answer ] ?? 0;
		}
		$pid = pcntl_fork();
		if ( 0 === $pid ) {
			// The child shares the parent's database connection: it only makes requests, and leaves
			// without running PHP's shutdown, which would close that connection.
			$r = $driver['front']( "road-mix-$i@example.com", 'ok', '127.0.9.' . ( 1 + $i ) );
			foreach ( str_split( $answers ) as $answer ) {
				$offer = road_location( $r );
				if ( '' === $offer ) {
					break;
				}
				http( 'GET', $offer );
				$r = $driver[ 'Y' === $answer ? 'yes' : 'no' ]( $offer );
			}
			posix_kill( getmypid(), SIGKILL );
		}
		$kids[] = $pid;
	}
	foreach ( $kids as $pid ) {
		pcntl_waitpid( $pid, $status );
	}
	$counted = array();
	foreach ( $wpdb->get_results( $wpdb->prepare( 'SELECT slot, kind, SUM(views) AS n FROM ' . stats_table( $f ) . " WHERE funnel_id = %d AND kind IN ('shown', 'accept', 'decline') GROUP BY slot, kind", $post ) ) as $row ) {
		$counted[ (int) $row->slot ][ $row->kind ] = (int) $row->n;
	}
	// Loose equality: the same figures, whatever order they were counted in.
	ok( $expect == $counted, "$label: after 20 roads at once the offers' figures are exact", wp_json_encode( array( $expect, $counted ) ) );
	$visits = (int) $wpdb->get_var( $wpdb->prepare( 'SELECT SUM(views) FROM ' . stats_table( $f ) . " WHERE funnel_id = %d AND kind = 'visit'", $post ) );
	$html   = http( 'GET', admin_url( "post.php?post=$post&action=edit" ), null, auth_cookies( user_id( 'admin' ) ) )['body'];
	$list = http( 'GET', admin_url( 'edit.php?post_type=' . funnel_type( $f ) ), null, auth_cookies( user_id( 'admin' ) ) )['body'];
	ok( false !== strpos( $list, $f['id'] . '-stats-per-visit">Revenue per buyer: ' ), "$label: the funnel list shows the revenue per buyer beside the orders" );
	ok( 20 === $visits && preg_match( '/' . preg_quote( $f['id'] ) . '-stats-visits-all">20</', $html ) && preg_match( '/' . preg_quote( $f['id'] ) . '-stats-offer-accept-all">' . $expect[1]['accept'] . '</', $html ), "$label: the statistics box shows the visits and each offer's figures", (string) $visits );
}

/**
 * For the README: an offer page and an end page of a road paid with Stripe, on the canvas and
 * inside the theme, one address a line.
 */
function cmd_road_showcase( $dir ) {
	load_wordpress();
	$f     = plugin_facts( $dir );
	$admin = user_id( 'admin' );
	foreach ( array( 'canvas', 'theme' ) as $layout ) {
		$post = create_funnel( $f, $admin, 'publish', 'Spring Launch' );
		foreach ( array( 'Traffic Magnet Pro', 'Webinar Wealth', 'Copywriting Mastery' ) as $n => $title ) {
			update_post_meta( $post, meta_key( $f, $n, 'pagetitle' ), $title );
		}
		update_post_meta( $post, meta_key( $f, 0, 'headline' ), 'Steady visitors from channels you control' );
		update_post_meta( $post, $f['id'] . '_page_layout', $layout );
		// The offers without copy, so that the picture shows their controls.
		foreach ( array( 1, 2, 3, 4 ) as $n ) {
			$copy = call_user_func( plugin_name( $f['id'], 'copy_of' ), $post, $n );
			if ( $copy ) {
				wp_update_post( array( 'ID' => $copy->ID, 'post_content' => '' ) );
			}
		}
		pay_save( $f, $admin, $post, 'stripe', array( array( '47.00', 'USD' ), array( '27.00', 'USD' ), array( '17.00', 'USD' ), array( '19.00', 'USD' ), array( '9.00', 'USD' ) ) );
		$link   = get_permalink( $post );
		$driver = road_driver(
			$f,
			'stripe',
			function ( $n, $kind, $args = array() ) use ( $f, $link ) {
				return add_query_arg( $args, add_query_arg( 'step', $f['slots'][ $n ][ $kind ], $link ) );
			}
		);
		echo road_location( $driver['front']( "showcase-offer-$layout@example.com", 'ok' ) ), "\n";
		$r = $driver['front']( "showcase-end-$layout@example.com", 'ok' );
		$r = $driver['yes']( road_location( $r ) );
		echo road_location( $driver['yes']( road_location( $r ) ) ), "\n";
	}
}
