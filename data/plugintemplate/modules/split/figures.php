<?php
/**
 * Split tests' figures: per test, variant and day, the visitors, the conversions and the revenue,
 * each an atomic increment of one row, exact under concurrent requests. That a visitor was
 * counted (and converted) is kept only while their test runs, as a keyed hash of their id: a
 * returning visitor counts once, and a conversion only for a visitor counted.
 */

defined( 'ABSPATH' ) || exit;

const #fn#SPLIT_SCHEMA = '1';

function #fn#split_table() {
	global $wpdb;
	return $wpdb->prefix . '#fn#split';
}

function #fn#split_seen_table() {
	global $wpdb;
	return $wpdb->prefix . '#fn#split_seen';
}

function #fn#split_schema_option() {
	return '#fn#split_schema';
}

/**
 * Makes or updates the tables; tables of these names that this plugin did not make are left
 * alone, and tests stay uncounted.
 */
function #fn#split_install() {
	global $wpdb;
	if ( false === get_option( #fn#split_schema_option() ) && ( #fn#stats_table_exists( #fn#split_table() ) || #fn#stats_table_exists( #fn#split_seen_table() ) ) ) {
		return false;
	}
	require_once ABSPATH . 'wp-admin/includes/upgrade.php';
	$table   = #fn#split_table();
	$seen    = #fn#split_seen_table();
	$charset = $wpdb->get_charset_collate();
	dbDelta(
		"CREATE TABLE $table (
  test char(16) NOT NULL,
  variant tinyint(3) unsigned NOT NULL,
  day date NOT NULL,
  funnel_id bigint(20) unsigned NOT NULL,
  visitors bigint(20) unsigned NOT NULL DEFAULT 0,
  conversions bigint(20) unsigned NOT NULL DEFAULT 0,
  revenue bigint(20) unsigned NOT NULL DEFAULT 0,
  PRIMARY KEY  (test,variant,day),
  KEY funnel (funnel_id)
) $charset;
CREATE TABLE $seen (
  test char(16) NOT NULL,
  visitor char(64) NOT NULL,
  kind char(1) NOT NULL,
  funnel_id bigint(20) unsigned NOT NULL,
  PRIMARY KEY  (test,visitor,kind),
  KEY funnel (funnel_id)
) $charset;"
	);
	update_option( #fn#split_schema_option(), #fn#SPLIT_SCHEMA, true );
	return true;
}

function #fn#split_ensure_tables() {
	return #fn#SPLIT_SCHEMA === get_option( #fn#split_schema_option() ) || #fn#split_install();
}

/** A visitor as the tables know them: a hash keyed by the site, never the id itself. */
function #fn#split_visitor_hash( $visitor, $test_id ) {
	return hash_hmac( 'sha256', 'seen|' . $test_id . '|' . $visitor, #fn#split_key() );
}

/**
 * Marks a visitor of a test once.
 *
 * @param string $kind 'v' seen, 'c' converted.
 * @return bool Whether this is the first time.
 */
function #fn#split_mark( $post_id, $test, $visitor, $kind ) {
	global $wpdb;
	$seen = #fn#split_seen_table();
	$wpdb->query( $wpdb->prepare( "INSERT IGNORE INTO $seen (test, visitor, kind, funnel_id) VALUES (%s, %s, %s, %d)", $test['id'], #fn#split_visitor_hash( $visitor, $test['id'] ), $kind, $post_id ) ); // phpcs:ignore WordPress.DB
	return 1 === (int) $wpdb->rows_affected;
}

function #fn#split_was_counted( $test, $visitor ) {
	global $wpdb;
	$seen = #fn#split_seen_table();
	return (bool) $wpdb->get_var( $wpdb->prepare( "SELECT 1 FROM $seen WHERE test = %s AND visitor = %s AND kind = 'v'", $test['id'], #fn#split_visitor_hash( $visitor, $test['id'] ) ) ); // phpcs:ignore WordPress.DB
}

/** Adds to a variant's figures of today, in one statement. */
function #fn#split_add( $post_id, $test, $variant, $visitors, $conversions, $revenue ) {
	global $wpdb;
	$table = #fn#split_table();
	$wpdb->query( // phpcs:ignore WordPress.DB.DirectDatabaseQuery
		$wpdb->prepare(
			"INSERT INTO $table (test, variant, day, funnel_id, visitors, conversions, revenue) VALUES (%s, %d, %s, %d, %d, %d, %d) ON DUPLICATE KEY UPDATE visitors = visitors + VALUES(visitors), conversions = conversions + VALUES(conversions), revenue = revenue + VALUES(revenue)", // phpcs:ignore WordPress.DB.PreparedSQL.InterpolatedNotPrepared
			$test['id'],
			$variant,
			wp_date( 'Y-m-d' ),
			$post_id,
			$visitors,
			$conversions,
			$revenue
		)
	);
}

/** A visitor shown a variant of a running test counts once for the test. */
function #fn#split_count_visitor( $post_id, $test, $variant, $visitor ) {
	if ( #fn#split_ensure_tables() && #fn#split_mark( $post_id, $test, $visitor, 'v' ) ) {
		#fn#split_add( $post_id, $test, $variant, 1, 0, 0 );
	}
}

/**
 * A counted visitor's purchase of the item under test: their first is a conversion, and every
 * one adds its amount to the variant's revenue.
 *
 * @param int  $revenue  The amount in the currency's smallest unit; 0 where nothing is verified.
 * @param bool $each_one Whether each call is a purchase of its own (a verified order) rather than
 *                       a view that may repeat (a download page).
 */
function #fn#split_count_conversion( $post_id, $slot, $visitor, $revenue, $each_one ) {
	$test = #fn#split_test( $post_id, $slot );
	if ( null === $test || 'running' !== $test['state'] || ! #fn#split_is_visitor_id( $visitor ) || ! #fn#split_ensure_tables() || ! #fn#split_was_counted( $test, $visitor ) ) {
		return;
	}
	$variant = #fn#split_variant( $visitor, $test['id'], $test['weights'], #fn#split_key() );
	$first   = #fn#split_mark( $post_id, $test, $visitor, 'c' );
	if ( null !== $variant && ( $first || $each_one ) ) {
		#fn#split_add( $post_id, $test, $variant, 0, $first ? 1 : 0, $each_one ? (int) $revenue : 0 );
	}
}

/** A verified order just recorded converts its visitor in the item's running test. */
function #fn#split_count_order( $order ) {
	if ( #fn#orders_is_paid( $order ) ) {
		#fn#split_count_conversion( (int) $order->funnel_id, (int) $order->slot, (string) $order->visitor, (int) $order->amount, true );
	}
}

/**
 * A test's totals per variant, all days together.
 *
 * @return int[][] variant => array( 'visitors', 'conversions', 'revenue' ), every variant present.
 */
function #fn#split_totals( $test ) {
	global $wpdb;
	$totals = array_fill( 0, count( $test['weights'] ), array( 'visitors' => 0, 'conversions' => 0, 'revenue' => 0 ) );
	if ( ! #fn#split_ensure_tables() ) {
		return $totals;
	}
	$table = #fn#split_table();
	$rows  = $wpdb->get_results( $wpdb->prepare( "SELECT variant, SUM(visitors) AS visitors, SUM(conversions) AS conversions, SUM(revenue) AS revenue FROM $table WHERE test = %s GROUP BY variant", $test['id'] ) ); // phpcs:ignore WordPress.DB
	foreach ( (array) $rows as $row ) {
		if ( isset( $totals[ (int) $row->variant ] ) ) {
			$totals[ (int) $row->variant ] = array(
				'visitors'    => (int) $row->visitors,
				'conversions' => (int) $row->conversions,
				'revenue'     => (int) $row->revenue,
			);
		}
	}
	return $totals;
}

/** An ended test's rows go: its totals are kept in the item's history, its visitors forgotten. */
function #fn#split_forget_test( $test_id ) {
	global $wpdb;
	if ( #fn#SPLIT_SCHEMA === get_option( #fn#split_schema_option() ) ) {
		$wpdb->delete( #fn#split_table(), array( 'test' => $test_id ), array( '%s' ) ); // phpcs:ignore WordPress.DB.DirectDatabaseQuery
		$wpdb->delete( #fn#split_seen_table(), array( 'test' => $test_id ), array( '%s' ) ); // phpcs:ignore WordPress.DB.DirectDatabaseQuery
	}
}

/** A funnel deleted for good takes its tests' figures with it. */
function #fn#split_forget_funnel( $post_id ) {
	global $wpdb;
	if ( get_post_type( $post_id ) !== #fn#post_type() || #fn#SPLIT_SCHEMA !== get_option( #fn#split_schema_option() ) ) {
		return;
	}
	$wpdb->delete( #fn#split_table(), array( 'funnel_id' => (int) $post_id ), array( '%d' ) ); // phpcs:ignore WordPress.DB.DirectDatabaseQuery
	$wpdb->delete( #fn#split_seen_table(), array( 'funnel_id' => (int) $post_id ), array( '%d' ) ); // phpcs:ignore WordPress.DB.DirectDatabaseQuery
}
add_action( 'before_delete_post', '#fn#split_forget_funnel' );
