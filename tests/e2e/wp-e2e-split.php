<?php
/**
 * Split tests as visitors, buyers and the seller meet them: a fair and sticky split of scripted
 * visitors, figures on the edit screen that equal what was served and bought, the warning a
 * skewed split raises, the winner made the page, and a price variant kept through a visit.
 */

/** Starts, pauses or ends a test the way the box's buttons do: the funnel's form with one button pressed. */
function split_press( $f, $admin, $post, $action, $form = array() ) {
	$slot = (int) explode( ':', $action )[1];
	save_as( $f, $admin, $post, array( pay_name( $f, 'split_action' ) => $action, pay_name( $f, 'split' ) => array( $slot => $form ) ), pay_name( $f, 'save_funnel' ) );
	wp_cache_flush();
}

/** Which version a page shows: B by its headline, A otherwise; null for no sales page. */
function split_seen( $body, $marker ) {
	if ( false === strpos( $body, '-headline' ) ) {
		return null;
	}
	return false !== strpos( $body, $marker ) ? 1 : 0;
}

/** The edit screen's figures of an item: version letter => array( visitors, conversions ). */
function split_screen_figures( $f, $admin, $post, $slot ) {
	$html = http( 'GET', admin_url( "post.php?post=$post&action=edit" ), null, auth_cookies( $admin ) )['body'];
	$part = preg_match( '#id="' . preg_quote( $f['id'], '#' ) . '-split-' . $slot . '".*?</table>#s', $html, $m ) ? $m[0] : '';
	preg_match_all( '#<tr><th scope="row">([A-D])</th><td>[^<]*</td><td>([\d,]+)</td><td>([\d,]+)</td>#', $part, $rows, PREG_SET_ORDER );
	$out = array();
	foreach ( $rows as $row ) {
		$out[ $row[1] ] = array( (int) str_replace( ',', '', $row[2] ), (int) str_replace( ',', '', $row[3] ) );
	}
	return array( $out, $html );
}

/** An image of the media library, as a seller uploads one: its id and file name. */
function split_library_image( $dir ) {
	require_once ABSPATH . 'wp-admin/includes/image.php';
	$source = current( glob( "$dir/modules/template/*.{png,jpg,gif,webp}", GLOB_BRACE ) );
	$upload = wp_upload_dir();
	$file   = $upload['path'] . '/split-b-' . wp_generate_password( 6, false, false ) . '.' . pathinfo( $source, PATHINFO_EXTENSION );
	copy( $source, $file );
	$attachment = wp_insert_attachment( array( 'post_mime_type' => wp_check_filetype( $file )['type'], 'post_title' => 'Split B', 'post_status' => 'inherit' ), $file );
	wp_update_attachment_metadata( $attachment, wp_generate_attachment_metadata( $attachment, $file ) );
	return array( $attachment, basename( $file ) );
}

/** A visitor id the test assigns to the given version, as a browser's cookie would hold it. */
function split_id_for( $f, $post, $slot, $variant ) {
	$test = call_user_func( plugin_name( $f['id'], 'split_test' ), $post, $slot );
	for ( $n = 0; null !== $test && $n < 1000; ++$n ) {
		$id = md5( "e2e visitor $post $slot $n " . wp_generate_password( 6, false ) );
		if ( $variant === call_user_func( plugin_name( $f['id'], 'split_variant' ), $id, $test['id'], $test['weights'], call_user_func( plugin_name( $f['id'], 'split_key' ) ) ) ) {
			return $id;
		}
	}
	return '';
}

function cmd_split( $dir ) {
	load_wordpress();
	$f      = plugin_facts( $dir );
	$id     = $f['id'];
	$admin  = user_id( 'admin' );
	$cookie = pay_name( $f, 'visitor' );
	$post   = create_funnel( $f, $admin, 'publish', "E2E split $id" );
	foreach ( funnel_values( $f, 'split' ) as $key => $value ) {
		update_post_meta( $post, $key, $value );
	}
	$link = get_permalink( $post );
	$page = function ( $n, $kind ) use ( $f, $link ) {
		return add_query_arg( 'step', $f['slots'][ $n ][ $kind ], $link );
	};
	$marker                 = 'Split B headline ' . wp_generate_password( 6, false );
	list( $image, $picture ) = split_library_image( $dir );
	split_press( $f, $admin, $post, 'start:0', array( 'w' => array( '50', '50' ), 'v' => array( 1 => array( 'headline' => $marker, 'title' => 'Split B title', 'image' => (string) $image ) ) ) );
	$test = call_user_func( plugin_name( $id, 'split_test' ), $post, 0 );
	if ( ! ok( null !== $test && 'running' === $test['state'] && array( 50, 50 ) === $test['weights'], "$id split: the edit screen's form starts a 50/50 test of the front end" ) ) {
		return;
	}

	// 200 visitors from addresses of their own: each gets a cookie and a version, and the same again.
	$visitors = array();
	$served   = array( 0, 0 );
	$converts = array( 0, 0 );
	$problems = array();
	for ( $n = 0; $n < 200; ++$n ) {
		$r       = visit( $page( 0, 'sales' ) );
		$jar     = set_cookies( $r );
		$variant = split_seen( $r['body'], $marker );
		if ( ! isset( $jar[ $cookie ] ) || ! preg_match( '/^[0-9a-f]{32}$/', $jar[ $cookie ] ) || null === $variant || array_fill( 0, 2, 1 === $variant ) !== array( false !== strpos( $r['body'], '<title>Split B title' ), 1 === preg_match( '#-image" src="[^"]*/' . preg_quote( $picture, '#' ) . '"#', $r['body'] ) ) ) {
			$problems[] = "visitor $n: " . wp_json_encode( $jar ) . ' ' . var_export( $variant, true );
			continue;
		}
		++$served[ $variant ];
		$visitors[] = array( $jar, $variant );
		if ( split_seen( visit( $page( 0, 'sales' ), $jar )['body'], $marker ) !== $variant ) {
			$problems[] = "visitor $n saw another version on return";
		}
		// Every fifth one buys (with buttons of the seller's own, the download page is the purchase), one twice.
		if ( 0 === $n % 5 ) {
			++$converts[ $variant ];
			visit( $page( 0, 'download' ), $jar );
			if ( 0 === $n ) {
				visit( $page( 0, 'download' ), $jar );
			}
		}
	}
	$bound = 3.29 * sqrt( 200 * 0.25 );
	ok( ! $problems && abs( $served[1] - 100 ) <= $bound, "$id split: 200 visitors each get a cookie and a version (A $served[0], B $served[1], within the 99.9% bound of 100 ± " . round( $bound, 1 ) . "), B's title, headline and media library image together, and the same version on return", wp_json_encode( array_slice( $problems, 0, 5 ) ) );

	// Bots, prefetches and the seller see A and are neither given an id nor counted.
	$others = array(
		'a bot'      => visit( $page( 0, 'sales' ), array(), array( 'User-Agent: curl/8.0' ) ),
		'a prefetch' => visit( $page( 0, 'sales' ), array(), array( 'User-Agent: ' . E2E_BROWSER, 'Sec-Purpose: prefetch' ) ),
		'the seller' => visit( $page( 0, 'sales' ), auth_cookies( $admin ) ),
	);
	foreach ( $others as $who => $r ) {
		ok( 0 === split_seen( $r['body'], $marker ) && ! isset( set_cookies( $r )[ $cookie ] ), "$id split: $who sees A and gets no visitor id" );
	}
	$preview = visit( add_query_arg( pay_name( $f, 'variant' ), 1, $page( 0, 'sales' ) ), auth_cookies( $admin ) );
	ok( 1 === split_seen( $preview['body'], $marker ), "$id split: the seller previews B from the edit screen's link" );

	list( $figures, $html ) = split_screen_figures( $f, $admin, $post, 0 );
	ok( array( 'A' => array( $served[0], $converts[0] ), 'B' => array( $served[1], $converts[1] ) ) === $figures, "$id split: the edit screen's visitors and conversions are what was served and bought", wp_json_encode( array( $figures, $served, $converts ) ) );
	$early = min( $served ) < 100 || min( $converts ) < 10;
	ok( $early === ( false !== strpos( $html, 'Too early to tell' ) ) && false === strpos( $html, '-split-off' ), "$id split: the screen says it is too early exactly while a version has fewer than 100 visitors or 10 conversions, and finds the split sound" );
	$list = http( 'GET', admin_url( 'edit.php?post_type=' . funnel_type( $f ) ), null, auth_cookies( $admin ) )['body'];
	ok( false !== strpos( $list, 'Split test running' ), "$id split: the funnel list marks the funnel with a running test" );
	$guide = http( 'GET', admin_url( 'privacy-policy-guide.php' ), null, auth_cookies( $admin ) )['body'];
	ok( false !== strpos( $guide, "a cookie named $cookie" ), "$id split: WordPress's privacy policy guide names the visitor cookie and what it holds" );

	// A cache that hands out B's cookie: 150 more visitors, all on B.
	for ( $n = 0; $n < 150; ++$n ) {
		visit( $page( 0, 'sales' ), array( $cookie => split_id_for( $f, $post, 0, 1 ) ) );
	}
	list( $figures, $html ) = split_screen_figures( $f, $admin, $post, 0 );
	ok( $served[1] + 150 === $figures['B'][0] && false !== strpos( $html, '-split-off" role="alert">The split is off' ), "$id split: a skewed split raises the warning that the split is off", wp_json_encode( $figures ) );

	// 30 new visitors at once, then one visitor's 10 requests at once: each visitor counts once, none is lost.
	$totals = function () use ( $id, $post ) {
		return call_user_func( plugin_name( $id, 'split_totals' ), call_user_func( plugin_name( $id, 'split_test' ), $post, 0 ) );
	};
	$before = array_sum( array_column( $totals(), 'visitors' ) );
	$curl   = 'curl -s -o /dev/null -w "%{http_code}\n" -A ' . escapeshellarg( E2E_BROWSER );
	exec( "seq 30 | xargs -P 30 -I{} $curl --interface 127.1.1.{} " . escapeshellarg( $page( 0, 'sales' ) ), $codes, $rc );
	exec( "seq 10 | xargs -P 10 -I{} $curl --interface 127.1.2.{} -b " . escapeshellarg( $cookie . '=' . split_id_for( $f, $post, 0, 0 ) ) . ' ' . escapeshellarg( $page( 0, 'sales' ) ), $codes, $rc2 );
	$final = $totals();
	ok( 0 === $rc + $rc2 && array( '200' ) === array_unique( $codes ) && $before + 31 === array_sum( array_column( $final, 'visitors' ) ), "$id split: 30 visitors at once and one visitor's 10 requests at once count 31 visitors", ( array_sum( array_column( $final, 'visitors' ) ) - $before ) . ' counted' );

	// Ending with B makes it the page, for every visitor; the test goes to the history, then out of it.
	split_press( $f, $admin, $post, 'end:0:1' );
	$after = visit( $page( 0, 'sales' ) );
	ok( 1 === split_seen( $after['body'], $marker ) && false !== strpos( $after['body'], '<title>Split B title' ) && ! isset( set_cookies( $after )[ $cookie ] ), "$id split: ending the test with B makes B the page, without a cookie" );
	$history = call_user_func( plugin_name( $id, 'split_history' ), $post, 0 );
	list( , $html ) = split_screen_figures( $f, $admin, $post, 0 );
	ok( 1 === count( $history ) && $final === $history[0]['figures'] && false !== strpos( $html, 'Ended tests' ) && false === strpos( http( 'GET', admin_url( 'edit.php?post_type=' . funnel_type( $f ) ), null, auth_cookies( $admin ) )['body'], 'Split test running' ), "$id split: the ended test's figures are in the history, and the list no longer marks the funnel" );
	split_press( $f, $admin, $post, 'forget:0:' . $test['id'] );
	ok( array() === call_user_func( plugin_name( $id, 'split_history' ), $post, 0 ), "$id split: the seller deletes the test from the history" );
	wp_delete_post( $post, true );

	if ( isset( $f['slots'][1] ) ) {
		split_road_checks( $f, $admin );
	}
}

/**
 * A price test of the first upsell, with Stripe: the offer page of a visit shows the price of the
 * version its first page was given, even to a browser without the cookie, and one click charges it.
 */
function split_road_checks( $f, $admin ) {
	$id = $f['id'];
	road_settings( $f );
	$post = pay_funnel( $f, $admin, "E2E split road $id" );
	$link = get_permalink( $post );
	$page = function ( $n, $kind, $args = array() ) use ( $f, $link ) {
		return add_query_arg( $args, add_query_arg( 'step', $f['slots'][ $n ][ $kind ], $link ) );
	};
	pay_save( $f, $admin, $post, 'stripe', array( array( '20.00', 'USD' ), array( '10.00', 'USD' ) ) );
	$cookie = pay_name( $f, 'visitor' );

	// A price test of the front end: a browser that keeps no cookie is asked the price it was shown.
	split_press( $f, $admin, $post, 'start:0', array( 'w' => array( '50', '50' ), 'v' => array( 1 => array( 'price' => '15.00' ) ) ) );
	$asked = function ( $form ) use ( $f, $page ) {
		$sid = basename( (string) parse_url( road_location( http( 'POST', $page( 0, 'sales' ), array_merge( array( array( pay_name( $f, 'buy' ), '0' ) ), $form ), array(), array( 'User-Agent: ' . E2E_BROWSER ) ) ), PHP_URL_PATH ) );
		return '' === $sid ? null : standin_object( 'stripe', $sid )['amount_total'];
	};
	$problems = array();
	for ( $n = 0; $n < 4; ++$n ) {
		$body = visit( $page( 0, 'sales' ) )['body'];
		preg_match( '#name="' . preg_quote( $cookie, '#' ) . '" value="([0-9a-f]{32})"#', $body, $field );
		preg_match( '#Buy now for ([\d.]+) USD#', $body, $shown );
		$charged = isset( $field[1], $shown[1] ) ? $asked( array( array( $cookie, $field[1] ) ) ) : null;
		if ( null === $charged || (int) round( 100 * (float) $shown[1] ) !== $charged ) {
			$problems[] = wp_json_encode( array( $field, $shown, $charged ) );
		}
	}
	$forced = array( $asked( array( array( $cookie, split_id_for( $f, $post, 0, 0 ) ) ) ), $asked( array( array( $cookie, split_id_for( $f, $post, 0, 1 ) ) ) ) );
	ok( ! $problems && array( 2000, 1500 ) === $forced, "$id split road: a browser without cookies is asked the price its page showed, by the buy form's visitor id", wp_json_encode( array( $problems, $forced ) ) );
	split_press( $f, $admin, $post, 'end:0:0' );

	split_press( $f, $admin, $post, 'start:1', array( 'w' => array( '50', '50' ), 'v' => array( 1 => array( 'price' => '4.00' ) ) ) );
	foreach ( array( 0 => '10.00', 1 => '4.00' ) as $variant => $price ) {
		$jar   = array( $cookie => split_id_for( $f, $post, 1, $variant ) );
		$email = "split-road-$id-$variant@example.com";
		$sid   = basename( (string) parse_url( road_location( http( 'POST', $page( 0, 'sales' ), array( array( pay_name( $f, 'buy' ), '0' ) ), $jar ) ), PHP_URL_PATH ) );
		http( 'POST', getenv( 'E2E_STRIPE_BASE' ) . "/e2e/checkout/sessions/$sid/pay", array( array( 'email', $email ), array( 'card', 'ok' ) ), array(), array(), '127.0.0.1' );
		$offer = road_location( http( 'GET', $page( 0, 'download', array( pay_name( $f, 'session' ) => $sid ) ), null, $jar ) );
		$shown = visit( $offer )['body'];
		$yes   = http( 'POST', $offer, array( array( pay_name( $f, 'accept' ), '1' ) ) );
		$paid  = array_column( orders_of( $f, $post ), 'amount', 'slot' );
		$visit = road_visit( $f, $email );
		ok( null !== $visit && $jar[ $cookie ] === call_user_func( plugin_name( $id, 'split_visit_visitor' ), $visit ) && false !== strpos( $shown, "for $price USD" ) && 303 === $yes['status'] && isset( $paid[1] ) && (int) round( 100 * (float) $price ) === (int) $paid[1], "$id split road: the visit keeps the visitor id its front end was bought with; the offer of version " . chr( 65 + $variant ) . " shows $price USD without the cookie, and one click charges it", wp_json_encode( $paid ) );
		$test   = call_user_func( plugin_name( $id, 'split_test' ), $post, 1 );
		$totals = call_user_func( plugin_name( $id, 'split_totals' ), $test );
		ok( 1 === $totals[ $variant ]['visitors'] && 1 === $totals[ $variant ]['conversions'] && (int) $paid[1] === $totals[ $variant ]['revenue'], "$id split road: version " . chr( 65 + $variant ) . "'s offer view, its order and its revenue are counted", wp_json_encode( $totals ) );
	}
	wp_delete_post( $post, true );
}

/** The README's picture of the split tests box: a test of three versions after two weeks. */
function cmd_split_showcase( $dir, $file ) {
	load_wordpress();
	$f     = plugin_facts( $dir );
	$admin = user_id( 'admin' );
	$post  = create_funnel( $f, $admin, 'publish', 'Spring Launch' );
	update_post_meta( $post, "{$f['id']}_payment_check", 'stripe' );
	update_post_meta( $post, "{$f['id']}_payment_price_0", '27.00' );
	update_post_meta( $post, "{$f['id']}_payment_currency_0", 'USD' );
	call_user_func( plugin_name( $f['id'], 'split_start' ), $post, 0, array( array( 'headline' => 'Double your traffic in 30 days' ), array( 'price' => '19.00' ) ), array( 34, 33, 33 ) );
	$test  = call_user_func( plugin_name( $f['id'], 'split_test' ), $post, 0 );
	$add   = plugin_name( $f['id'], 'split_add' );
	$price = array( 2700, 2700, 1900 );
	foreach ( array( array( 1214, 97 ), array( 1187, 138 ), array( 1196, 112 ) ) as $variant => $figures ) {
		$add( $post, $test, $variant, $figures[0], $figures[1], $figures[1] * $price[ $variant ] );
	}
	// Only the split tests box matters here: the others start closed.
	$boxes = array( pay_name( $f, 'payments' ), $f['id'] . '_page_layout' );
	foreach ( array_keys( $f['slots'] ) as $n ) {
		$boxes[] = $f['id'] . "_funnelitem_$n";
	}
	update_user_meta( $admin, 'closedpostboxes_' . funnel_type( $f ), $boxes );
	$r = http( 'GET', admin_url( "post.php?post=$post&action=edit" ), null, auth_cookies( $admin ) );
	file_put_contents( $file, str_replace( '<head>', '<head><base href="' . esc_url( admin_url( '/' ) ) . '">', $r['body'] ) );
	delete_user_meta( $admin, 'closedpostboxes_' . funnel_type( $f ) );
}
