<?php
/**
 * Verified orders: one row per payment the provider confirmed. The provider's
 * payment id is unique, so the same payment coming back records nothing new
 * and can never open another item. Like the statistics' tables, the table is
 * altered or dropped only when this plugin made it.
 */

defined( 'ABSPATH' ) || exit;

const #fn#ORDERS_SCHEMA = '1';

function #fn#orders_table() {
	global $wpdb;
	return $wpdb->prefix . '#fn#orders';
}

function #fn#orders_schema_option() {
	return '#fn#orders_schema';
}

/** @return bool Whether orders can be kept. */
function #fn#orders_install() {
	global $wpdb;
	$table = #fn#orders_table();
	if ( false === get_option( #fn#orders_schema_option() ) && $table === $wpdb->get_var( $wpdb->prepare( 'SHOW TABLES LIKE %s', $wpdb->esc_like( $table ) ) ) ) { // phpcs:ignore WordPress.DB.DirectDatabaseQuery
		return false;
	}
	require_once ABSPATH . 'wp-admin/includes/upgrade.php';
	$charset = $wpdb->get_charset_collate();
	dbDelta(
		"CREATE TABLE $table (
  id bigint(20) unsigned NOT NULL AUTO_INCREMENT,
  provider varchar(16) NOT NULL,
  payment_id varchar(191) NOT NULL,
  funnel_id bigint(20) unsigned NOT NULL,
  slot tinyint(3) unsigned NOT NULL,
  amount bigint(20) unsigned NOT NULL,
  currency char(3) NOT NULL,
  created datetime NOT NULL,
  email varchar(191) NOT NULL DEFAULT '',
  PRIMARY KEY  (id),
  UNIQUE KEY payment (provider,payment_id),
  KEY funnel (funnel_id,slot),
  KEY email (email)
) $charset;"
	);
	update_option( #fn#orders_schema_option(), #fn#ORDERS_SCHEMA, true );
	return true;
}

function #fn#orders_ensure_table() {
	return #fn#ORDERS_SCHEMA === get_option( #fn#orders_schema_option() ) || #fn#orders_install();
}

function #fn#orders_get( $id ) {
	global $wpdb;
	if ( ! #fn#orders_ensure_table() ) {
		return null;
	}
	$table = #fn#orders_table();
	$row   = $wpdb->get_row( $wpdb->prepare( "SELECT * FROM $table WHERE id = %d", $id ) ); // phpcs:ignore WordPress.DB
	return $row ? $row : null;
}

/**
 * Records a verified payment for an item, once.
 *
 * @return object|null The order, new or recorded before; null when the payment is another item's
 *                     or the orders can't be kept.
 */
function #fn#orders_record( $provider, $payment_id, $post_id, $slot, $amount, $currency, $email ) {
	global $wpdb;
	if ( ! #fn#orders_ensure_table() ) {
		return null;
	}
	$table = #fn#orders_table();
	$wpdb->query( // phpcs:ignore WordPress.DB.DirectDatabaseQuery
		$wpdb->prepare(
			"INSERT IGNORE INTO $table (provider, payment_id, funnel_id, slot, amount, currency, created, email) VALUES (%s, %s, %d, %d, %d, %s, %s, %s)", // phpcs:ignore WordPress.DB.PreparedSQL.InterpolatedNotPrepared
			$provider,
			$payment_id,
			$post_id,
			$slot,
			$amount,
			strtoupper( $currency ),
			current_time( 'mysql', true ),
			is_email( $email ) ? $email : ''
		)
	);
	$new   = 1 === (int) $wpdb->rows_affected;
	$order = $wpdb->get_row( $wpdb->prepare( "SELECT * FROM $table WHERE provider = %s AND payment_id = %s", $provider, $payment_id ) ); // phpcs:ignore WordPress.DB
	if ( ! $order || (int) $order->funnel_id !== (int) $post_id || (int) $order->slot !== (int) $slot ) {
		return null;
	}
	$order->is_new = $new;
	return $order;
}

/** The items of a funnel that a buyer has verified orders for. */
function #fn#orders_slots_of_buyer( $post_id, $email ) {
	global $wpdb;
	if ( '' === (string) $email || ! #fn#orders_ensure_table() ) {
		return array();
	}
	$table = #fn#orders_table();
	return array_map( 'intval', $wpdb->get_col( $wpdb->prepare( "SELECT DISTINCT slot FROM $table WHERE funnel_id = %d AND email = %s", $post_id, $email ) ) ); // phpcs:ignore WordPress.DB
}

/** A funnel deleted for good takes its orders with it. */
function #fn#orders_forget_funnel( $post_id ) {
	global $wpdb;
	if ( get_post_type( $post_id ) !== #fn#post_type() || #fn#ORDERS_SCHEMA !== get_option( #fn#orders_schema_option() ) ) {
		return;
	}
	$wpdb->delete( #fn#orders_table(), array( 'funnel_id' => (int) $post_id ), array( '%d' ) ); // phpcs:ignore WordPress.DB.DirectDatabaseQuery
}
add_action( 'before_delete_post', '#fn#orders_forget_funnel' );

/**
 * A funnel's verified orders per item for the statistics' periods (the last 7 and 30 days in the
 * site's time zone, and all time): how many, and the revenue in each currency.
 *
 * @return array[] slot => period => array( 'orders' => n, 'revenue' => array( currency => amount in its smallest unit ) ).
 */
function #fn#orders_stats( $post_id ) {
	global $wpdb;
	if ( ! #fn#orders_ensure_table() ) {
		return array();
	}
	$today  = new DateTimeImmutable( 'today', wp_timezone() );
	$utc    = new DateTimeZone( 'UTC' );
	$since  = array(
		'week'  => $today->modify( '-6 days' )->setTimezone( $utc )->format( 'Y-m-d H:i:s' ),
		'month' => $today->modify( '-29 days' )->setTimezone( $utc )->format( 'Y-m-d H:i:s' ),
	);
	$table  = #fn#orders_table();
	$rows   = $wpdb->get_results( // phpcs:ignore WordPress.DB.DirectDatabaseQuery
		$wpdb->prepare(
			"SELECT slot, currency, SUM(created >= %s) AS week_orders, SUM(CASE WHEN created >= %s THEN amount ELSE 0 END) AS week_revenue, SUM(created >= %s) AS month_orders, SUM(CASE WHEN created >= %s THEN amount ELSE 0 END) AS month_revenue, COUNT(*) AS all_orders, SUM(amount) AS all_revenue FROM $table WHERE funnel_id = %d GROUP BY slot, currency ORDER BY currency", // phpcs:ignore WordPress.DB.PreparedSQL.InterpolatedNotPrepared
			$since['week'],
			$since['week'],
			$since['month'],
			$since['month'],
			$post_id
		)
	);
	$stats = array();
	foreach ( (array) $rows as $row ) {
		foreach ( array( 'week', 'month', 'all' ) as $period ) {
			$figures = isset( $stats[ (int) $row->slot ][ $period ] ) ? $stats[ (int) $row->slot ][ $period ] : array(
				'orders'  => 0,
				'revenue' => array(),
			);
			$figures['orders'] += (int) $row->{$period . '_orders'};
			if ( (int) $row->{$period . '_orders'} > 0 ) {
				$figures['revenue'][ $row->currency ] = (int) $row->{$period . '_revenue'};
			}
			$stats[ (int) $row->slot ][ $period ] = $figures;
		}
	}
	return $stats;
}

/**
 * All-time verified orders of several funnels at once, for the funnel list.
 *
 * @param int[] $post_ids The funnels.
 * @return int[] post id => orders.
 */
function #fn#orders_totals( $post_ids ) {
	global $wpdb;
	$post_ids = array_filter( array_map( 'intval', $post_ids ) );
	if ( ! $post_ids || ! #fn#orders_ensure_table() ) {
		return array();
	}
	$table = #fn#orders_table();
	$rows  = $wpdb->get_results( "SELECT funnel_id, COUNT(*) AS orders FROM $table WHERE funnel_id IN (" . implode( ',', $post_ids ) . ') GROUP BY funnel_id' ); // phpcs:ignore WordPress.DB
	return array_map( 'intval', wp_list_pluck( (array) $rows, 'orders', 'funnel_id' ) );
}
