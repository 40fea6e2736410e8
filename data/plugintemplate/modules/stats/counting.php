<?php
/**
 * Funnel statistics: how often each funnel page was viewed, per day. A view of
 * a download page is a purchase, since the payment provider sends the buyer
 * there. Only counters are kept: nothing about the visitor (no address, no
 * cookie, no user agent) is stored. A visitor's repeated views of a page on
 * one day count once: they are told apart by a keyed hash of the address,
 * whose key changes every day and whose entries are deleted the next day.
 */

defined( 'ABSPATH' ) || exit;

/** Raised whenever the tables change shape; they are then brought up to date. */
const #fn#STATS_SCHEMA = '2';

function #fn#stats_table() {
	global $wpdb;
	return $wpdb->prefix . '#fn#stats';
}

/** Today's visitors, as keyed hashes: one row per visitor and page. */
function #fn#stats_seen_table() {
	global $wpdb;
	return $wpdb->prefix . '#fn#stats_seen';
}

/** Set once this plugin has made its tables: what it did not make, it never alters or drops. */
function #fn#stats_schema_option() {
	return '#fn#stats_schema';
}

function #fn#stats_table_exists( $table ) {
	global $wpdb;
	return $table === $wpdb->get_var( $wpdb->prepare( 'SHOW TABLES LIKE %s', $wpdb->esc_like( $table ) ) ); // phpcs:ignore WordPress.DB.DirectDatabaseQuery
}

/**
 * Plugins built before kept their counters in {prefix}<identifier>_stats: the
 * table is taken over under its new name when that plugin made it (its option
 * says so) and it has exactly the counters' columns.
 *
 * @return bool Whether the table was taken over.
 */
function #fn#stats_adopt_earlier_table() {
	global $wpdb;
	$earlier = $wpdb->prefix . '#prefix#_stats';
	$option  = '#prefix#_stats_schema';
	// The option's name may be another plugin's: only a table of exactly the counters' columns
	// proves that both were this plugin's, and only then are they taken over.
	if ( false === get_option( $option ) || ! #fn#stats_table_exists( $earlier ) || #fn#stats_table_exists( #fn#stats_table() ) ) {
		return false;
	}
	$columns = $wpdb->get_col( "SHOW COLUMNS FROM `$earlier`" ); // phpcs:ignore WordPress.DB
	if ( array( 'funnel_id', 'slot', 'kind', 'day', 'views' ) !== $columns || false === $wpdb->query( 'RENAME TABLE `' . $earlier . '` TO `' . #fn#stats_table() . '`' ) ) { // phpcs:ignore WordPress.DB
		return false;
	}
	delete_option( $option );
	return true;
}

/**
 * Creates or updates the tables: counters with one row per funnel, item, page
 * kind and day, so that a view is one atomic increment of one row; and today's
 * visitors. A table of that name that this plugin did not make is left alone,
 * and the statistics stay off.
 *
 * @return bool Whether the statistics can be kept.
 */
function #fn#stats_install() {
	global $wpdb;
	if ( false === get_option( #fn#stats_schema_option() ) ) {
		$adopted = #fn#stats_adopt_earlier_table();
		if ( #fn#stats_table_exists( #fn#stats_seen_table() ) || ( ! $adopted && #fn#stats_table_exists( #fn#stats_table() ) ) ) {
			return false;
		}
	}
	require_once ABSPATH . 'wp-admin/includes/upgrade.php';
	$table   = #fn#stats_table();
	$seen    = #fn#stats_seen_table();
	$charset = $wpdb->get_charset_collate();
	dbDelta(
		"CREATE TABLE $table (
  funnel_id bigint(20) unsigned NOT NULL,
  slot tinyint(3) unsigned NOT NULL,
  kind varchar(8) NOT NULL,
  day date NOT NULL,
  views bigint(20) unsigned NOT NULL DEFAULT 0,
  PRIMARY KEY  (funnel_id,slot,kind,day)
) $charset;
CREATE TABLE $seen (
  visitor char(64) NOT NULL,
  day date NOT NULL,
  PRIMARY KEY  (visitor),
  KEY day (day)
) $charset;"
	);
	update_option( #fn#stats_schema_option(), #fn#STATS_SCHEMA, true );
	#fn#stats_forget_removed_items();
	return true;
}

/**
 * A plugin replaced in place is not activated again: its tables are created or
 * updated the first time they are needed. The option is autoloaded, so the
 * check itself costs no query.
 *
 * @return bool Whether the statistics can be kept.
 */
function #fn#stats_ensure_table() {
	if ( #fn#STATS_SCHEMA === get_option( #fn#stats_schema_option() ) ) {
		return true;
	}
	return #fn#stats_install();
}

function #fn#stats_admin_init() {
	if ( #fn#stats_ensure_table() ) {
		#fn#stats_forget_removed_items();
	}
}
add_action( 'admin_init', '#fn#stats_admin_init' );

/**
 * A rebuild may drop an item or put a new product in its slot: the counts of
 * what is no longer in the funnel go, so no later item inherits them.
 */
function #fn#stats_forget_removed_items() {
	global $wpdb;
	$items = array();
	foreach ( #fn#funnel_meta_boxes() as $box ) {
		$items[ (int) substr( strrchr( $box['id'], '_' ), 1 ) ] = $box['sales_token'];
	}
	$known = get_option( '#fn#stats_items' );
	if ( is_array( $known ) ) {
		foreach ( $known as $slot => $token ) {
			if ( ! isset( $items[ $slot ] ) || $items[ $slot ] !== $token ) {
				$wpdb->delete( #fn#stats_table(), array( 'slot' => (int) $slot ), array( '%d' ) ); // phpcs:ignore WordPress.DB.DirectDatabaseQuery
			}
		}
	}
	if ( $known !== $items ) {
		update_option( '#fn#stats_items', $items, false );
	}
}

/**
 * The funnel page a token opens, as its item slot and page kind.
 *
 * @return array|null array( slot, 'sales' or 'download' ), or null for no page.
 */
function #fn#stats_page( $token ) {
	if ( '' === $token ) {
		return null;
	}
	foreach ( #fn#funnel_meta_boxes() as $box ) {
		$slot = (int) substr( strrchr( $box['id'], '_' ), 1 );
		if ( $token === $box['sales_token'] ) {
			return array( $slot, 'sales' );
		}
		if ( $token === $box['download_token'] ) {
			return array( $slot, 'download' );
		}
	}
	return null;
}

/**
 * Whether the request comes from a crawler, a link previewer or a script
 * rather than a person's browser. Browsers always name themselves.
 */
function #fn#stats_is_bot() {
	$agent = isset( $_SERVER['HTTP_USER_AGENT'] ) ? (string) $_SERVER['HTTP_USER_AGENT'] : ''; // phpcs:ignore WordPress.Security.ValidatedSanitizedInput
	if ( '' === trim( $agent ) ) {
		return true;
	}
	return (bool) preg_match( '/bot\b|bot\/|crawl|spider|slurp|mediapartners|facebookexternalhit|embedly|preview|headless|lighthouse|pingdom|monitor|curl\/|wget\/|python|java\/|go-http-client|libwww|httpclient|okhttp|scrapy|feedfetcher|wordpress\//i', $agent );
}

/**
 * Whether the browser only fetches the page ahead of time (speculative
 * prefetch or prerender), which is not a view until the person opens it.
 */
function #fn#stats_is_prefetch() {
	foreach ( array( 'HTTP_PURPOSE', 'HTTP_SEC_PURPOSE', 'HTTP_X_PURPOSE', 'HTTP_X_MOZ' ) as $header ) {
		if ( isset( $_SERVER[ $header ] ) && preg_match( '/prefetch|prerender|preview/i', (string) $_SERVER[ $header ] ) ) { // phpcs:ignore WordPress.Security.ValidatedSanitizedInput
			return true;
		}
	}
	return false;
}

/**
 * Counts a view of a funnel page. Runs on funnel pages only; a counted view
 * costs exactly one query, an atomic increment that stays exact however many
 * requests arrive at once.
 */
function #fn#stats_count_view() {
	if ( ! is_singular( #fn#post_type() ) || 'GET' !== ( isset( $_SERVER['REQUEST_METHOD'] ) ? $_SERVER['REQUEST_METHOD'] : '' ) ) { // phpcs:ignore WordPress.Security.ValidatedSanitizedInput
		return;
	}
	$post     = get_queried_object();
	$step_var = #fn#step_var();
	if ( ! $post instanceof WP_Post || 'publish' !== $post->post_status || ! isset( $_GET[ $step_var ] ) || ! is_string( $_GET[ $step_var ] ) ) { // phpcs:ignore WordPress.Security.NonceVerification
		return;
	}
	$page = #fn#stats_page( sanitize_key( wp_unslash( $_GET[ $step_var ] ) ) ); // phpcs:ignore WordPress.Security.NonceVerification
	if ( null === $page || #fn#stats_is_bot() || #fn#stats_is_prefetch() ) {
		return;
	}
	// The seller and their colleagues looking at their own pages are no visitors.
	if ( current_user_can( 'edit_post', $post->ID ) ) {
		return;
	}

	global $wpdb;
	if ( ! #fn#stats_ensure_table() ) {
		return;
	}
	$today = wp_date( 'Y-m-d' );
	// A visitor counts once per page and day, however often they come back or
	// whatever browser they claim to be. The address itself is never stored.
	$address = isset( $_SERVER['REMOTE_ADDR'] ) ? (string) $_SERVER['REMOTE_ADDR'] : ''; // phpcs:ignore WordPress.Security.ValidatedSanitizedInput
	if ( 'download' === $page[1] && 'none' === #fn#payments_check( $post->ID ) ) {
		// Without a check a download view is counted as a purchase, which one shared link could
		// inflate from many addresses: one per network a day.
		$address = #fn#stats_network( $address );
	}
	$visitor = hash_hmac( 'sha256', $address . '|' . $post->ID . '|' . $page[0] . '|' . $page[1], #fn#stats_daily_key( $today ) );
	$seen    = #fn#stats_seen_table();
	$wpdb->query( $wpdb->prepare( "INSERT IGNORE INTO $seen (visitor, day) VALUES (%s, %s)", $visitor, $today ) ); // phpcs:ignore WordPress.DB
	if ( 1 !== (int) $wpdb->rows_affected ) {
		return;
	}
	$table = #fn#stats_table();
	$wpdb->query( // phpcs:ignore WordPress.DB.DirectDatabaseQuery
		$wpdb->prepare(
			"INSERT INTO $table (funnel_id, slot, kind, day, views) VALUES (%d, %d, %s, %s, 1) ON DUPLICATE KEY UPDATE views = views + 1", // phpcs:ignore WordPress.DB.PreparedSQL.InterpolatedNotPrepared
			$post->ID,
			$page[0],
			$page[1],
			$today
		)
	);
}

/**
 * Counts a step of a visit on the road: 'visit' (the front end bought, slot 0), and per offer
 * 'shown', 'accept' and 'decline'. The caller has made sure each happens once per visit; the
 * count is one atomic increment, exact however many requests arrive at once.
 */
function #fn#stats_count_road( $post_id, $slot, $kind ) {
	global $wpdb;
	if ( ! #fn#stats_ensure_table() ) {
		return;
	}
	$table = #fn#stats_table();
	$wpdb->query( $wpdb->prepare( "INSERT INTO $table (funnel_id, slot, kind, day, views) VALUES (%d, %d, %s, %s, 1) ON DUPLICATE KEY UPDATE views = views + 1", $post_id, $slot, $kind, wp_date( 'Y-m-d' ) ) ); // phpcs:ignore WordPress.DB
}

/** The network of an address: its /24 for IPv4, its /64 for IPv6. */
function #fn#stats_network( $address ) {
	$bytes = false === filter_var( $address, FILTER_VALIDATE_IP ) ? false : inet_pton( $address );
	if ( false === $bytes ) {
		return (string) $address;
	}
	return 4 === strlen( $bytes ) ? substr( $bytes, 0, 3 ) : substr( $bytes, 0, 8 );
}

/**
 * The key of today's visitor hashes. A new day gets a new random key, and
 * yesterday's hashes are deleted, so no visitor can be followed across days.
 *
 * @param string $today The site's date.
 */
function #fn#stats_daily_key( $today ) {
	global $wpdb;
	$key = get_option( '#fn#stats_key' );
	if ( is_array( $key ) && isset( $key['day'], $key['key'] ) && $today === $key['day'] ) {
		return $key['key'];
	}
	$key = array(
		'day' => $today,
		'key' => wp_generate_password( 64, true, true ),
	);
	update_option( '#fn#stats_key', $key, true );
	$seen = #fn#stats_seen_table();
	$wpdb->query( $wpdb->prepare( "DELETE FROM $seen WHERE day <> %s", $today ) ); // phpcs:ignore WordPress.DB
	return $key['key'];
}
add_action( 'template_redirect', '#fn#stats_count_view' );

/**
 * A funnel deleted for good takes its counters with it.
 *
 * @param int $post_id The post being deleted.
 */
function #fn#stats_forget_funnel( $post_id ) {
	global $wpdb;
	if ( get_post_type( $post_id ) !== #fn#post_type() || #fn#STATS_SCHEMA !== get_option( #fn#stats_schema_option() ) ) {
		return;
	}
	$wpdb->delete( #fn#stats_table(), array( 'funnel_id' => (int) $post_id ), array( '%d' ) ); // phpcs:ignore WordPress.DB.DirectDatabaseQuery
}
add_action( 'before_delete_post', '#fn#stats_forget_funnel' );

/**
 * A funnel's figures per item, for the last 7 and 30 days (today included, in
 * the site's time zone) and all time.
 *
 * @param int $post_id The funnel.
 * @return array[] slot => array( period => array( 'sales' => n, 'download' => n ) ), periods 'week', 'month', 'all'.
 */
function #fn#stats_for_funnel( $post_id ) {
	global $wpdb;
	if ( ! #fn#stats_ensure_table() ) {
		return array();
	}
	$today = new DateTimeImmutable( 'today', wp_timezone() );
	$table = #fn#stats_table();
	$rows  = $wpdb->get_results( // phpcs:ignore WordPress.DB.DirectDatabaseQuery
		$wpdb->prepare(
			"SELECT slot, kind, SUM(CASE WHEN day >= %s THEN views ELSE 0 END) AS week, SUM(CASE WHEN day >= %s THEN views ELSE 0 END) AS month, SUM(views) AS alltime FROM $table WHERE funnel_id = %d GROUP BY slot, kind", // phpcs:ignore WordPress.DB.PreparedSQL.InterpolatedNotPrepared
			$today->modify( '-6 days' )->format( 'Y-m-d' ),
			$today->modify( '-29 days' )->format( 'Y-m-d' ),
			$post_id
		)
	);
	$stats = array();
	foreach ( (array) $rows as $row ) {
		$stats[ (int) $row->slot ]['week'][ $row->kind ]  = (int) $row->week;
		$stats[ (int) $row->slot ]['month'][ $row->kind ] = (int) $row->month;
		$stats[ (int) $row->slot ]['all'][ $row->kind ]   = (int) $row->alltime;
	}
	return $stats;
}

/**
 * All-time figures of several funnels at once, for the funnel list: the front
 * end offer's views and the whole funnel's purchases.
 *
 * @param int[] $post_ids The funnels.
 * @return array[] post id => array( 'offer' => n, 'purchases' => n ).
 */
function #fn#stats_totals( $post_ids ) {
	global $wpdb;
	$post_ids = array_filter( array_map( 'intval', $post_ids ) );
	if ( ! $post_ids ) {
		return array();
	}
	if ( ! #fn#stats_ensure_table() ) {
		return array();
	}
	$table  = #fn#stats_table();
	$rows   = $wpdb->get_results( // phpcs:ignore WordPress.DB.DirectDatabaseQuery
		"SELECT funnel_id, SUM(CASE WHEN slot = 0 AND kind = 'sales' THEN views ELSE 0 END) AS offer, SUM(CASE WHEN kind = 'download' THEN views ELSE 0 END) AS purchases FROM $table WHERE funnel_id IN (" . implode( ',', $post_ids ) . ') GROUP BY funnel_id' // phpcs:ignore WordPress.DB.PreparedSQL
	);
	$totals = array();
	foreach ( (array) $rows as $row ) {
		$totals[ (int) $row->funnel_id ] = array(
			'offer'     => (int) $row->offer,
			'purchases' => (int) $row->purchases,
		);
	}
	return $totals;
}
