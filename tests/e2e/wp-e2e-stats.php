<?php
/**
 * The statistics step, and the statistics box filled for the README's screenshot.
 * Part of tests/e2e/wp-e2e.php, which loads it.
 */

/**
 * Funnel statistics in the live site: which views are counted, exactly, under
 * parallel requests; what the edit screen and the funnel list show; who may
 * reset them; and that counting costs one query on a funnel page and none
 * anywhere else.
 */
function cmd_stats( $dir ) {
	global $wpdb;
	load_wordpress();
	require_once ABSPATH . 'wp-admin/includes/admin.php';
	$f      = plugin_facts( $dir );
	$id     = $f['id'];
	$table  = stats_table( $f );
	$author = user_id( 'seller' );
	$last   = max( array_keys( $f['slots'] ) );

	ok( table_exists( $table ), "$id: activation made the statistics table $table" );
	$readme = (string) file_get_contents( WP_PLUGIN_DIR . "/$id/readme.txt" );
	ok( false !== strpos( $readme, "\n== Statistics and privacy ==\n" ) && false !== strpos( $readme, 'no IP address, no cookie and no user agent' ) && false !== strpos( $readme, 'deleted the next day' ) && false !== strpos( $readme, "the buyer's email address" ), "$id: readme.txt tells site owners what is kept of visitors and buyers, and for how long" );
	$post  = create_funnel( $f, $author, 'publish', "E2E stats $id" );
	$other = create_funnel( $f, $author, 'publish', "E2E stats other $id" );
	$link  = get_permalink( $post );
	$page  = static function ( $slot, $kind ) use ( $f, $link ) {
		return add_query_arg( 'step', $f['slots'][ $slot ][ 'sales' === $kind ? 'sales' : 'download' ], $link );
	};

	// Visitors, one after another: every view counted once, per page.
	$plan = array( array( 0, 'sales', 3 ), array( 0, 'download', 1 ), array( $last, 'sales', 2 ), array( $last, 'download', 2 ) );
	if ( 0 === $last ) {
		$plan = array( array( 0, 'sales', 3 ), array( 0, 'download', 1 ) );
	}
	$statuses = array();
	$network  = 60;
	foreach ( $plan as $p ) {
		for ( $i = 0; $i < $p[2]; ++$i ) {
			// Download views count once per network (/24): these visitors come from networks of their own.
			$statuses[] = visit( $page( $p[0], $p[1] ), array(), array( 'User-Agent: ' . E2E_BROWSER ), 'download' === $p[1] ? '127.' . ( $network++ ) . '.0.1' : null )['status'];
		}
	}
	ok( array( 200 ) === array_values( array_unique( $statuses ) ), "$id: visitors' views answer 200", wp_json_encode( $statuses ) );
	foreach ( $plan as $p ) {
		$n = stats_count( $f, $post, $p[0], $p[1] );
		ok( $p[2] === $n, "$id: {$p[2]} anonymous views of item {$p[0]}'s {$p[1]} page counted as $n" );
	}
	ok( 0 === stats_rows( $f, $other ), "$id: another funnel's counters stay untouched" );

	// One download link shared: many addresses of one network count once a day, another network once more.
	$was = stats_count( $f, $post, 0, 'download' );
	foreach ( array( '127.90.5.1', '127.90.5.2', '127.90.5.200', '127.90.6.1' ) as $from ) {
		visit( $page( 0, 'download' ), array(), array( 'User-Agent: ' . E2E_BROWSER ), $from );
	}
	ok( $was + 2 === stats_count( $f, $post, 0, 'download' ), "$id: without a check, download views from three addresses of one /24 and one of another count as 2 purchases", 'counted ' . ( stats_count( $f, $post, 0, 'download' ) - $was ) );

	// 50 visitors at once: the increment is atomic, so none is lost.
	$before = stats_count( $f, $post, 0, 'sales' );
	exec( 'seq 50 | xargs -P 50 -I{} curl --interface 127.1.0.{} -s -o /dev/null -w "%{http_code}\n" -A ' . escapeshellarg( E2E_BROWSER ) . ' ' . escapeshellarg( $page( 0, 'sales' ) ), $codes, $rc );
	$answered = count( array_filter( $codes, static function ( $c ) { return '200' === $c; } ) );
	$counted  = stats_count( $f, $post, 0, 'sales' ) - $before;
	ok( 0 === $rc && 50 === $answered, "$id: 50 parallel views all answer 200", "status $rc, " . implode( ' ', array_count_values( $codes ) ) );
	ok( 50 === $counted, "$id: 50 parallel views of one page counted as $counted" );

	// One visitor counts once per page and day, whatever browser it claims to be; its address is
	// kept nowhere, only today's keyed hashes.
	$was = stats_count( $f, $post, 0, 'sales' );
	for ( $i = 0; $i < 20; ++$i ) {
		visit( $page( 0, 'sales' ), array(), array( "User-Agent: Mozilla/5.0 (Windows NT 10.0; rv:$i.0) Gecko/20100101 Firefox/$i.0" ), '127.3.0.9' );
	}
	visit( $page( 0, 'download' ), array(), array( 'User-Agent: ' . E2E_BROWSER ), '127.3.0.9' );
	$seen = $wpdb->get_col( 'SELECT CONCAT(visitor, " ", day) FROM ' . $wpdb->prefix . plugin_name( $id, 'stats_seen' ) );
	$kept = array_filter( $seen, static function ( $row ) { return ! preg_match( '/^[0-9a-f]{64} ' . preg_quote( wp_date( 'Y-m-d' ), '/' ) . '$/', $row ); } );
	ok( $was + 1 === stats_count( $f, $post, 0, 'sales' ), "$id: 20 views by one visitor with 20 user agents count once", 'counted ' . ( stats_count( $f, $post, 0, 'sales' ) - $was ) );
	ok( count( $seen ) > 50 && ! $kept && ! preg_grep( '/127\./', $seen ), "$id: today's visitors are kept as keyed hashes of today only", wp_json_encode( array_slice( $kept, 0, 3 ) ) );

	// Who is not counted: the funnel's author, an administrator, an editor; bots; prefetches.
	$not_counted = array(
		'the funnel\'s author'        => array( auth_cookies( $author ), array( 'User-Agent: ' . E2E_BROWSER ) ),
		'an administrator'            => array( auth_cookies( user_id( 'admin' ) ), array( 'User-Agent: ' . E2E_BROWSER ) ),
		'an editor'                   => array( auth_cookies( user_id( 'editor' ) ), array( 'User-Agent: ' . E2E_BROWSER ) ),
		'Googlebot'                   => array( array(), array( 'User-Agent: Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)' ) ),
		'Bingbot'                     => array( array(), array( 'User-Agent: Mozilla/5.0 (compatible; bingbot/2.0; +http://www.bing.com/bingbot.htm)' ) ),
		'a link preview'              => array( array(), array( 'User-Agent: facebookexternalhit/1.1 (+http://www.facebook.com/externalhit_uatext.php)' ) ),
		'a script (curl)'             => array( array(), array( 'User-Agent: curl/7.88.1' ) ),
		'a request without a user agent' => array( array(), array() ),
		'a prefetch (Sec-Purpose)'    => array( array(), array( 'User-Agent: ' . E2E_BROWSER, 'Sec-Purpose: prefetch' ) ),
		'a prerender (Sec-Purpose)'   => array( array(), array( 'User-Agent: ' . E2E_BROWSER, 'Sec-Purpose: prefetch;prerender' ) ),
		'a prefetch (Purpose)'        => array( array(), array( 'User-Agent: ' . E2E_BROWSER, 'Purpose: prefetch' ) ),
		'a prefetch (X-Moz)'          => array( array(), array( 'User-Agent: ' . E2E_BROWSER, 'X-Moz: prefetch' ) ),
	);
	foreach ( $not_counted as $who => $request ) {
		$was = stats_count( $f, $post, 0, 'sales' );
		$r   = visit( $page( 0, 'sales' ), $request[0], $request[1] );
		$now = stats_count( $f, $post, 0, 'sales' );
		ok( 200 === $r['status'] && $now === $was, "$id: a view by $who is shown but not counted", $r['status'] . ' counted ' . ( $now - $was ) );
	}
	$was = stats_count( $f, $post, 0, 'sales' );
	visit( $page( 0, 'sales' ), auth_cookies( user_id( 'subscriber' ) ) );
	ok( $was + 1 === stats_count( $f, $post, 0, 'sales' ), "$id: a logged-in subscriber, who cannot edit the funnel, is counted" );
	$sum = static function () use ( $wpdb, $table, $post ) {
		return (int) $wpdb->get_var( $wpdb->prepare( "SELECT SUM(views) FROM $table WHERE funnel_id = %d", $post ) );
	};
	$was = $sum();
	visit( add_query_arg( 'step', 'sp99999', $link ) );
	visit( $link );
	ok( $was === $sum(), "$id: the default page (unknown or no token) counts nothing" );

	// Cost: the visitor's hash and one atomic increment on a counted view; nothing on an uncounted
	// view or any other page.
	$q = queries_naming( $page( 0, 'download' ), $table );
	ok( is_array( $q ) && 2 === count( $q ) && preg_match( '/^\s*INSERT IGNORE INTO \S+_stats_seen /is', $q[0] ) && preg_match( '/^\s*INSERT INTO .* ON DUPLICATE KEY UPDATE views = views \+ 1\s*$/is', $q[1] ), "$id: a counted view costs two queries: the visitor's hash and an atomic increment", wp_json_encode( $q ) );
	$sample = wp_insert_post( array( 'post_title' => "E2E plain post $id", 'post_status' => 'publish', 'post_type' => 'post' ) );
	foreach ( array( 'home page' => home_url( '/' ), 'a post' => get_permalink( $sample ), 'the funnel\'s default page' => $link ) as $what => $u ) {
		$q = queries_naming( $u, plugin_name( $id, 'stats' ) );
		ok( array() === $q, "$id: $what runs no statistics query", wp_json_encode( $q ) );
	}
	wp_delete_post( $sample, true );

	// Older days: the 7- and 30-day windows end right at their edges (today is one of the days).
	$today = new DateTimeImmutable( 'today', wp_timezone() );
	$older = array( 6 => array( 4, 1 ), 7 => array( 8, 2 ), 29 => array( 16, 4 ), 30 => array( 32, 8 ) );
	foreach ( $older as $days => $views ) {
		foreach ( array( 'sales', 'download' ) as $k => $kind ) {
			$wpdb->insert( $table, array( 'funnel_id' => $post, 'slot' => 0, 'kind' => $kind, 'day' => $today->modify( "-$days days" )->format( 'Y-m-d' ), 'views' => $views[ $k ] ) );
		}
	}
	$s0 = stats_count( $f, $post, 0, 'sales' );
	$d0 = stats_count( $f, $post, 0, 'download' );
	$expected = array(
		'week'  => array( $s0 + 4, $d0 + 1 ),
		'month' => array( $s0 + 4 + 8 + 16, $d0 + 1 + 2 + 4 ),
		'all'   => array( $s0 + 4 + 8 + 16 + 32, $d0 + 1 + 2 + 4 + 8 ),
	);
	$author_cookies = auth_cookies( $author );
	$r     = http( 'GET', admin_url( "post.php?post=$post&action=edit" ), null, $author_cookies );
	$b     = $r['body'];
	ok( 200 === $r['status'] && '' === page_error( $b ) && false !== strpos( $b, 'id="' . plugin_name( $id, 'statistics' ) . '"' ), "$id: the author's edit screen has the statistics box", $r['status'] . ' ' . page_error( $b ) );
	ok( strpos( $b, 'id="' . plugin_name( $id, 'statistics' ) . '"' ) > strpos( $b, 'id="' . $id . '_funnelitem_0"' ), "$id: the statistics box comes after the item boxes" );
	$cells = stats_cells( $id, $b, 0 );
	$want  = array();
	foreach ( $expected as $period => $e ) {
		$want[ "sales-$period" ]    = (string) $e[0];
		$want[ "download-$period" ] = (string) $e[1];
		$want[ "rate-$period" ]     = rate( $e[1], $e[0] );
	}
	ksort( $cells );
	ksort( $want );
	ok( $want === $cells, "$id: the front end offer's table shows views, purchases and rates for 7 days, 30 days and all time", wp_json_encode( array( 'want' => $want, 'shown' => $cells ) ) );
	foreach ( array_keys( $f['slots'] ) as $n ) {
		if ( 0 === $n ) {
			continue;
		}
		$s     = stats_count( $f, $post, $n, 'sales' );
		$d     = stats_count( $f, $post, $n, 'download' );
		$cells = stats_cells( $id, $b, $n );
		ok( array( "$s", "$d", rate( $d, $s ) ) === array( $cells['sales-all'] ?? '', $cells['download-all'] ?? '', $cells['rate-all'] ?? '' ) && $cells['sales-week'] === "$s", "$id: item $n's table shows its own figures", wp_json_encode( $cells ) );
	}
	$r  = http( 'GET', admin_url( "post.php?post=$other&action=edit" ), null, $author_cookies );
	$oc = stats_cells( $id, $r['body'], 0 );
	ok( '0' === ( $oc['sales-all'] ?? '' ) && "\u{2013}" === ( $oc['rate-all'] ?? '' ), "$id: a funnel without views shows 0 and no rate", wp_json_encode( $oc ) );

	// The funnel list: the front end offer's views and the whole funnel's purchases, all time.
	$purchases = (int) $wpdb->get_var( $wpdb->prepare( "SELECT SUM(views) FROM $table WHERE funnel_id = %d AND kind = 'download'", $post ) );
	$r         = http( 'GET', admin_url( 'edit.php?post_type=' . funnel_type( $f ) ), null, auth_cookies( user_id( 'admin' ) ) );
	ok( (bool) preg_match( '#<tr id="post-' . $post . '".*?Offer views: ' . number_format( $expected['all'][0] ) . '</span><br><span class="' . preg_quote( $id, '#' ) . '-stats-purchases">Purchases: ' . $purchases . '</span>.*?</tr>#s', $r['body'] ), "$id: the funnel list shows the offer's {$expected['all'][0]} views and the funnel's $purchases purchases", page_error( $r['body'] ) );
	ok( false !== strpos( $r['body'], 'column-' . plugin_name( $id, 'statistics' ) ), "$id: the funnel list has a statistics column" );

	// Reset: the link's nonce and the capability to edit that funnel are both needed.
	$rows   = stats_rows( $f, $post );
	$action = plugin_name( $id, 'reset_stats' );
	$reset  = static function ( $query, $cookies ) use ( $action, $post ) {
		return http( 'GET', admin_url( 'admin-post.php?' . http_build_query( array_merge( array( 'action' => $action, 'post' => $post ), $query ) ) ), null, $cookies );
	};
	$contributor         = user_id( 'contributor' );
	$contributor_cookies = auth_cookies( $contributor );
	$refused = array(
		'without a nonce'                          => $reset( array(), $author_cookies ),
		'with a forged nonce'                      => $reset( array( '_wpnonce' => 'abcdef1234' ), $author_cookies ),
		'with the nonce of another funnel'         => $reset( array( '_wpnonce' => nonce_for( $author, $author_cookies, "{$action}_$other" ) ), $author_cookies ),
		'by a contributor with a valid nonce'      => $reset( array( '_wpnonce' => nonce_for( $contributor, $contributor_cookies, "{$action}_$post" ) ), $contributor_cookies ),
		'logged out'                               => $reset( array( '_wpnonce' => nonce_for( $author, $author_cookies, "{$action}_$post" ) ), array() ),
	);
	foreach ( $refused as $what => $r ) {
		wp_cache_flush();
		ok( in_array( $r['status'], array( 400, 403 ), true ) && $rows === stats_rows( $f, $post ), "$id: reset $what is refused, the counts stay", $r['status'] . ' ' . ( isset( $r['headers']['location'] ) ? $r['headers']['location'] : '' ) . ' ' . stats_rows( $f, $post ) );
	}
	$wpdb->insert( $table, array( 'funnel_id' => $other, 'slot' => 0, 'kind' => 'sales', 'day' => wp_date( 'Y-m-d' ), 'views' => 5 ) );
	$other_rows = stats_rows( $f, $other );
	$rows       = stats_rows( $f, $post );
	preg_match( '#<a class="button ' . preg_quote( $id, '#' ) . '-stats-reset" href="([^"]+)"#', $b, $m );
	if ( ok( isset( $m[1] ), "$id: the statistics box offers a reset link" ) ) {
		$r = http( 'GET', html_entity_decode( $m[1], ENT_QUOTES ), null, $author_cookies );
		wp_cache_flush();
		ok( 302 === $r['status'] && false !== strpos( $r['headers']['location'] ?? '', "post.php?post=$post&action=edit" ) && 0 === stats_rows( $f, $post ), "$id: the author's reset through the box's link deletes the funnel's counts ($rows rows)", $r['status'] . ' ' . wp_json_encode( $r['headers'] ) );
		ok( $other_rows > 0 && $other_rows === stats_rows( $f, $other ), "$id: resetting one funnel leaves another's counts" );
		$r     = http( 'GET', $r['headers']['location'], null, $author_cookies );
		$cells = stats_cells( $id, $r['body'], 0 );
		ok( '0' === ( $cells['sales-all'] ?? '' ) && false !== strpos( $r['body'], 'The statistics of this funnel were reset.' ), "$id: after the reset the box shows 0 and says so", wp_json_encode( $cells ) );
	}

	// A funnel deleted for good takes its counters along.
	wp_delete_post( $other, true );
	ok( 0 === stats_rows( $f, $other ), "$id: deleting a funnel deletes its counts" );

	// A plugin built before kept its counts in {prefix}<id>_stats: replaced in place (never
	// activated again), the first view takes that table over with its counts. A table of that
	// old name that the earlier plugin did not make, or a foreign one under the new name, is left.
	$seen_table = $wpdb->prefix . plugin_name( $id, 'stats_seen' );
	$earlier    = $wpdb->prefix . $id . '_stats';
	visit( $page( 0, 'sales' ) );
	visit( $page( 0, 'sales' ) );
	$kept = stats_count( $f, $post, 0, 'sales' );
	$wpdb->query( "DROP TABLE $seen_table" );
	$wpdb->query( "RENAME TABLE $table TO $earlier" );
	delete_option( plugin_name( $id, 'stats_schema' ) );
	update_option( $id . '_stats_schema', '1', true );
	visit( $page( 0, 'sales' ) );
	wp_cache_flush();
	ok( table_exists( $table ) && ! table_exists( $earlier ) && $kept + 1 === stats_count( $f, $post, 0, 'sales' ) && false === get_option( $id . '_stats_schema' ), "$id: an update in place takes over the earlier build's counts ($kept) with the first view, and counts it" );

	$wpdb->query( "DROP TABLE $table, $seen_table" );
	delete_option( plugin_name( $id, 'stats_schema' ) );
	$wpdb->query( "CREATE TABLE $table (id int NOT NULL, other text, PRIMARY KEY (id))" );
	http( 'GET', admin_url( 'index.php' ), null, auth_cookies( user_id( 'admin' ) ) );
	visit( $page( 0, 'sales' ) );
	wp_cache_flush();
	ok( array( 'id', 'other' ) === $wpdb->get_col( "SHOW COLUMNS FROM $table" ) && ! table_exists( $seen_table ) && false === get_option( plugin_name( $id, 'stats_schema' ) ), "$id: a table of its name that it did not make is never altered", wp_json_encode( $wpdb->get_col( "SHOW COLUMNS FROM $table" ) ) );
	$wpdb->query( "DROP TABLE $table" );

	http( 'GET', admin_url( 'index.php' ), null, auth_cookies( user_id( 'admin' ) ) );
	wp_cache_flush();
	ok( table_exists( $table ) && table_exists( $seen_table ) && '2' === get_option( plugin_name( $id, 'stats_schema' ) ), "$id: without its tables, the first admin screen makes them" );
	visit( $page( 0, 'download' ) );
}

// The statistics box of a funnel with two months of plausible traffic, for the README: saves the
// funnel's edit screen as the seller sees it to FILE (its addresses pointing at the test site)
// and prints nothing.
function cmd_stats_showcase( $dir, $file ) {
	global $wpdb;
	load_wordpress();
	$f     = plugin_facts( $dir );
	$admin = user_id( 'admin' );
	$post  = create_funnel( $f, $admin, 'publish', 'Spring Launch' );
	$table = stats_table( $f );
	$today = new DateTimeImmutable( 'today', wp_timezone() );
	// Each later page is reached by a share of the buyers of the one before it.
	$reach = array( 0 => 1.0, 1 => 0.09, 2 => 0.035, 3 => 0.05, 4 => 0.02 );
	$buy   = array( 0 => 0.09, 1 => 0.39, 2 => 0.31, 3 => 0.42, 4 => 0.28 );
	mt_srand( 14 );
	for ( $days = 0; $days < 60; ++$days ) {
		$visitors = 60 + mt_rand( 0, 50 ) + ( $days < 10 ? 40 : 0 );
		foreach ( array_keys( $f['slots'] ) as $n ) {
			$views  = (int) round( $visitors * $reach[ $n ] * ( 0.8 + mt_rand( 0, 40 ) / 100 ) );
			$bought = (int) round( $views * $buy[ $n ] * ( 0.7 + mt_rand( 0, 60 ) / 100 ) );
			$day    = $today->modify( "-$days days" )->format( 'Y-m-d' );
			$wpdb->insert( $table, array( 'funnel_id' => $post, 'slot' => $n, 'kind' => 'sales', 'day' => $day, 'views' => $views ) );
			$wpdb->insert( $table, array( 'funnel_id' => $post, 'slot' => $n, 'kind' => 'download', 'day' => $day, 'views' => $bought ) );
		}
	}
	// Only the statistics box and the item boxes' titles matter here: the others start closed.
	$boxes = array();
	foreach ( array_keys( $f['slots'] ) as $n ) {
		$boxes[] = $f['id'] . "_funnelitem_$n";
	}
	update_user_meta( $admin, 'closedpostboxes_' . funnel_type( $f ), $boxes );
	$r    = http( 'GET', admin_url( "post.php?post=$post&action=edit" ), null, auth_cookies( $admin ) );
	$html = str_replace( '<head>', '<head><base href="' . esc_url( admin_url( '/' ) ) . '">', $r['body'] );
	file_put_contents( $file, $html );
	delete_user_meta( $admin, 'closedpostboxes_' . funnel_type( $f ) );
}
