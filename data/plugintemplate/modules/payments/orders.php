<?php
/**
 * Verified orders: one row per payment the provider confirmed. The provider's
 * payment id is unique, so the same payment coming back records nothing new
 * and can never open another item. An order refunded or disputed keeps its row
 * (the seller's figures) but opens nothing. Like the statistics' tables, the
 * tables are altered or dropped only when this plugin made them.
 */

defined( 'ABSPATH' ) || exit;

const #fn#ORDERS_SCHEMA = '4';

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
	$table     = #fn#orders_table();
	$checkouts = #fn#checkouts_table();
	$visits    = #fn#visits_table();
	if ( false === get_option( #fn#orders_schema_option() ) ) {
		foreach ( array( $table, $checkouts, $visits ) as $name ) {
			if ( $name === $wpdb->get_var( $wpdb->prepare( 'SHOW TABLES LIKE %s', $wpdb->esc_like( $name ) ) ) ) { // phpcs:ignore WordPress.DB.DirectDatabaseQuery
				return false;
			}
		}
	}
	require_once ABSPATH . 'wp-admin/includes/upgrade.php';
	$charset = $wpdb->get_charset_collate();
	// What the site asked each provider for is kept beside the orders: a payment is checked
	// against it, never against a price that may have changed since.
	dbDelta(
		"CREATE TABLE $checkouts (
  id bigint(20) unsigned NOT NULL AUTO_INCREMENT,
  provider varchar(16) NOT NULL,
  reference varchar(191) DEFAULT NULL,
  funnel_id bigint(20) unsigned NOT NULL,
  slot tinyint(3) unsigned NOT NULL,
  amount bigint(20) unsigned NOT NULL,
  currency char(3) NOT NULL,
  mode varchar(8) NOT NULL,
  payee varchar(191) NOT NULL DEFAULT '',
  bucket varchar(64) NOT NULL DEFAULT '',
  created datetime NOT NULL,
  visitor char(32) NOT NULL DEFAULT '',
  PRIMARY KEY  (id),
  UNIQUE KEY reference (provider,reference),
  KEY bucket (bucket,created),
  KEY created (created)
) $charset;"
	);
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
  payment_ref varchar(191) NOT NULL DEFAULT '',
  status varchar(12) NOT NULL DEFAULT 'paid',
  mailed tinyint(1) unsigned NOT NULL DEFAULT 0,
  visit_id bigint(20) unsigned NOT NULL DEFAULT 0,
  visitor char(32) NOT NULL DEFAULT '',
  PRIMARY KEY  (id),
  UNIQUE KEY payment (provider,payment_id),
  KEY funnel (funnel_id,slot),
  KEY email (email),
  KEY payment_ref (provider,payment_ref),
  KEY visit (visit_id)
) $charset;"
	);
	#fn#visits_install( $charset );
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
function #fn#orders_record( $provider, $payment_id, $post_id, $slot, $amount, $currency, $email, $payment_ref = '', $visit_id = 0, $visitor = '' ) {
	global $wpdb;
	if ( ! #fn#orders_ensure_table() ) {
		return null;
	}
	$table = #fn#orders_table();
	$wpdb->query( // phpcs:ignore WordPress.DB.DirectDatabaseQuery
		$wpdb->prepare(
			"INSERT IGNORE INTO $table (provider, payment_id, funnel_id, slot, amount, currency, created, email, payment_ref, visit_id, mailed, visitor) VALUES (%s, %s, %d, %d, %d, %s, %s, %s, %s, %d, %d, %s)", // phpcs:ignore WordPress.DB.PreparedSQL.InterpolatedNotPrepared
			$provider,
			$payment_id,
			$post_id,
			$slot,
			$amount,
			strtoupper( $currency ),
			current_time( 'mysql', true ),
			is_email( $email ) ? $email : '',
			(string) $payment_ref,
			(int) $visit_id,
			// An order of a visit is mailed with the visit, once, at its end.
			$visit_id ? 1 : 0,
			#fn#split_is_visitor_id( $visitor ) ? $visitor : ''
		)
	);
	$new   = 1 === (int) $wpdb->rows_affected;
	$order = $wpdb->get_row( $wpdb->prepare( "SELECT * FROM $table WHERE provider = %s AND payment_id = %s", $provider, $payment_id ) ); // phpcs:ignore WordPress.DB
	if ( ! $order || (int) $order->funnel_id !== (int) $post_id || (int) $order->slot !== (int) $slot ) {
		return null;
	}
	$order->is_new = $new;
	if ( $new ) {
		#fn#split_count_order( $order );
	}
	return $order;
}

/**
 * The order of a provider's payment, or null when none was recorded.
 *
 * @param string $field 'payment_id' (Stripe's session, PayPal's capture) or 'payment_ref' (Stripe's
 *                      payment intent, PayPal's order).
 */
function #fn#orders_find( $provider, $field, $value ) {
	global $wpdb;
	if ( '' === (string) $value || ! in_array( $field, array( 'payment_id', 'payment_ref' ), true ) || ! #fn#orders_ensure_table() ) {
		return null;
	}
	$table = #fn#orders_table();
	$row   = $wpdb->get_row( $wpdb->prepare( "SELECT * FROM $table WHERE provider = %s AND $field = %s ORDER BY id LIMIT 1", $provider, $value ) ); // phpcs:ignore WordPress.DB
	return $row ? $row : null;
}

/** Whether an order still opens its downloads: not refunded, not disputed. */
function #fn#orders_is_paid( $order ) {
	return is_object( $order ) && 'paid' === $order->status;
}

/**
 * Marks the order of a provider's payment refunded or disputed: its access link and the
 * provider's reference open nothing from now on, and the statistics take it off the revenue.
 *
 * @param string $field 'payment_id' or 'payment_ref', as the provider names the payment.
 * @return bool Whether an order of this site was marked.
 */
function #fn#orders_revoke( $provider, $field, $value, $status ) {
	global $wpdb;
	if ( '' === (string) $value || ! in_array( $field, array( 'payment_id', 'payment_ref' ), true ) || ! #fn#orders_ensure_table() ) {
		return false;
	}
	return (bool) $wpdb->update( #fn#orders_table(), array( 'status' => $status ), array( 'provider' => $provider, $field => (string) $value ), array( '%s' ), array( '%s', '%s' ) ); // phpcs:ignore WordPress.DB.DirectDatabaseQuery
}

/**
 * Whether the buyer's mail is this caller's to send: the return and the webhook both record the
 * order, and whichever comes first mails the access link, once.
 */
function #fn#orders_claim_mail( $order ) {
	global $wpdb;
	if ( '' === (string) $order->email ) {
		return false;
	}
	$table = #fn#orders_table();
	return 1 === (int) $wpdb->query( $wpdb->prepare( "UPDATE $table SET mailed = 1 WHERE id = %d AND mailed = 0", $order->id ) ); // phpcs:ignore WordPress.DB
}

/** A funnel deleted for good takes its orders with it. */
function #fn#orders_forget_funnel( $post_id ) {
	global $wpdb;
	if ( get_post_type( $post_id ) !== #fn#post_type() || ( false === get_option( #fn#orders_schema_option() ) || ! #fn#orders_ensure_table() ) ) {
		return;
	}
	$wpdb->delete( #fn#orders_table(), array( 'funnel_id' => (int) $post_id ), array( '%d' ) ); // phpcs:ignore WordPress.DB.DirectDatabaseQuery
	$wpdb->delete( #fn#checkouts_table(), array( 'funnel_id' => (int) $post_id ), array( '%d' ) ); // phpcs:ignore WordPress.DB.DirectDatabaseQuery
	$wpdb->delete( #fn#visits_table(), array( 'funnel_id' => (int) $post_id ), array( '%d' ) ); // phpcs:ignore WordPress.DB.DirectDatabaseQuery
}
add_action( 'before_delete_post', '#fn#orders_forget_funnel' );

/**
 * A funnel's verified orders per item for the statistics' periods (the last 7 and 30 days in the
 * site's time zone, and all time): how many, the revenue in each currency, and how many were
 * refunded or disputed since, which count in neither.
 *
 * @return array[] slot => period => array( 'orders' => n, 'revenue' => array( currency => amount in its smallest unit ), 'refunds' => n ).
 */
function #fn#orders_stats( $post_id ) {
	global $wpdb;
	if ( ! #fn#orders_ensure_table() ) {
		return array();
	}
	$since   = #fn#orders_periods();
	$columns = array();
	$args    = array();
	foreach ( $since as $period => $from ) {
		$columns[] = "SUM(status = 'paid' AND created >= %s) AS {$period}_orders, SUM(CASE WHEN status = 'paid' AND created >= %s THEN amount ELSE 0 END) AS {$period}_revenue, SUM(status <> 'paid' AND created >= %s) AS {$period}_refunds";
		array_push( $args, $from, $from, $from );
	}
	$args[] = $post_id;
	$table  = #fn#orders_table();
	$rows   = $wpdb->get_results( $wpdb->prepare( 'SELECT slot, currency, ' . implode( ', ', $columns ) . " FROM $table WHERE funnel_id = %d GROUP BY slot, currency ORDER BY currency", $args ) ); // phpcs:ignore WordPress.DB
	$stats  = array();
	foreach ( (array) $rows as $row ) {
		foreach ( array_keys( $since ) as $period ) {
			$figures = isset( $stats[ (int) $row->slot ][ $period ] ) ? $stats[ (int) $row->slot ][ $period ] : array(
				'orders'  => 0,
				'revenue' => array(),
				'refunds' => 0,
			);
			$figures['orders']  += (int) $row->{$period . '_orders'};
			$figures['refunds'] += (int) $row->{$period . '_refunds'};
			if ( (int) $row->{$period . '_orders'} > 0 ) {
				$figures['revenue'][ $row->currency ] = (int) $row->{$period . '_revenue'};
			}
			$stats[ (int) $row->slot ][ $period ] = $figures;
		}
	}
	return $stats;
}

/** Where the statistics' periods begin, in UTC: the last 7 and 30 days of the site's time zone, and all time. */
function #fn#orders_periods() {
	$today = new DateTimeImmutable( 'today', wp_timezone() );
	$utc   = new DateTimeZone( 'UTC' );
	return array(
		'week'  => $today->modify( '-6 days' )->setTimezone( $utc )->format( 'Y-m-d H:i:s' ),
		'month' => $today->modify( '-29 days' )->setTimezone( $utc )->format( 'Y-m-d H:i:s' ),
		'all'   => '1000-01-01 00:00:00',
	);
}

/**
 * The revenue that visits made, per item and in all, for the statistics' periods: paid orders
 * of visits only (a refunded one counts in none).
 *
 * @return array[] period => array( 'slots' => slot => currency => amount, 'total' => currency => amount ).
 */
function #fn#orders_road_revenue( $post_id ) {
	global $wpdb;
	$out = array();
	foreach ( #fn#orders_periods() as $period => $from ) {
		$out[ $period ] = array(
			'slots' => array(),
			'total' => array(),
		);
	}
	if ( ! #fn#orders_ensure_table() ) {
		return $out;
	}
	$table = #fn#orders_table();
	$rows  = $wpdb->get_results( $wpdb->prepare( "SELECT slot, currency, amount, created FROM $table WHERE funnel_id = %d AND visit_id <> 0 AND status = 'paid'", $post_id ) ); // phpcs:ignore WordPress.DB
	foreach ( (array) $rows as $row ) {
		foreach ( #fn#orders_periods() as $period => $from ) {
			if ( $row->created >= $from ) {
				$slots = &$out[ $period ]['slots'];
				$total = &$out[ $period ]['total'];
				$slots[ (int) $row->slot ][ $row->currency ] = ( isset( $slots[ (int) $row->slot ][ $row->currency ] ) ? $slots[ (int) $row->slot ][ $row->currency ] : 0 ) + (int) $row->amount;
				$total[ $row->currency ]                     = ( isset( $total[ $row->currency ] ) ? $total[ $row->currency ] : 0 ) + (int) $row->amount;
				unset( $slots, $total );
			}
		}
	}
	return $out;
}

/**
 * All-time revenue per visit of several funnels, for the funnel list.
 *
 * @param int[] $post_ids The funnels.
 * @return array[] post id => currency => array( revenue, visits ).
 */
function #fn#orders_visit_totals( $post_ids ) {
	global $wpdb;
	$post_ids = array_filter( array_map( 'intval', $post_ids ) );
	if ( ! $post_ids || ! #fn#orders_ensure_table() ) {
		return array();
	}
	$table = #fn#orders_table();
	$rows  = $wpdb->get_results( "SELECT funnel_id, currency, SUM(amount) AS revenue, COUNT(DISTINCT visit_id) AS visits FROM $table WHERE status = 'paid' AND visit_id <> 0 AND funnel_id IN (" . implode( ',', $post_ids ) . ') GROUP BY funnel_id, currency' ); // phpcs:ignore WordPress.DB
	$out   = array();
	foreach ( (array) $rows as $row ) {
		$out[ (int) $row->funnel_id ][ $row->currency ] = array( (int) $row->revenue, (int) $row->visits );
	}
	return $out;
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
	$rows  = $wpdb->get_results( "SELECT funnel_id, COUNT(*) AS orders FROM $table WHERE status = 'paid' AND funnel_id IN (" . implode( ',', $post_ids ) . ') GROUP BY funnel_id' ); // phpcs:ignore WordPress.DB
	return array_map( 'intval', wp_list_pluck( (array) $rows, 'orders', 'funnel_id' ) );
}
