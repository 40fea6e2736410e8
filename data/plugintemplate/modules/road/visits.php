<?php
/**
 * Visits: a buyer's way through a funnel after the front end's verified payment. A visit is one
 * row, kept on the server: its funnel, the item offered next, the last item bought, the road
 * taken so far, the payment method the provider saved for it, and when it was last used. Orders
 * made on the way name their visit. The buyer holds only an unguessable token signed by the site;
 * a visit left alone for its minutes ends, and ending releases the saved method and mails the
 * buyer, once, the one link to everything bought.
 */

defined( 'ABSPATH' ) || exit;

/** The item a visit offers when it has ended. */
const #fn#VISIT_ENDED = 255;

function #fn#visits_table() {
	global $wpdb;
	return $wpdb->prefix . '#fn#visits';
}

/**
 * Made with the orders' tables (orders_install() checks that no table of these names is
 * another's).
 *
 * @param string $charset The database's charset clause.
 */
function #fn#visits_install( $charset ) {
	$table = #fn#visits_table();
	dbDelta(
		"CREATE TABLE $table (
  id bigint(20) unsigned NOT NULL AUTO_INCREMENT,
  token char(32) NOT NULL,
  funnel_id bigint(20) unsigned NOT NULL,
  provider varchar(16) NOT NULL,
  front_order bigint(20) unsigned NOT NULL,
  customer varchar(191) NOT NULL DEFAULT '',
  method varchar(191) NOT NULL DEFAULT '',
  step tinyint(3) unsigned NOT NULL,
  end_slot tinyint(3) unsigned NOT NULL DEFAULT 0,
  road varchar(32) NOT NULL DEFAULT '',
  shown tinyint(3) unsigned NOT NULL DEFAULT 0,
  pending varchar(191) NOT NULL DEFAULT '',
  status varchar(8) NOT NULL DEFAULT 'open',
  mailed tinyint(1) unsigned NOT NULL DEFAULT 0,
  created datetime NOT NULL,
  active datetime NOT NULL,
  PRIMARY KEY  (id),
  UNIQUE KEY token (token),
  UNIQUE KEY front_order (front_order),
  KEY status (status,active),
  KEY funnel (funnel_id)
) $charset;"
	);
}

/** How many minutes without a step a visit stays open: the seller's setting. */
function #fn#visits_minutes() {
	return (int) #fn#payments_settings()['visit_minutes'];
}

function #fn#visits_get( $field, $value ) {
	global $wpdb;
	if ( ! in_array( $field, array( 'id', 'token', 'front_order' ), true ) || ! #fn#orders_ensure_table() ) {
		return null;
	}
	$table = #fn#visits_table();
	$row   = $wpdb->get_row( $wpdb->prepare( "SELECT * FROM $table WHERE $field = %s", (string) $value ) ); // phpcs:ignore WordPress.DB
	return $row ? $row : null;
}

/** The reference the buyer's addresses carry: the token and the site's signature of it. */
function #fn#visits_reference( $visit ) {
	return $visit->token . '.' . #fn#visits_mac( $visit->token );
}

function #fn#visits_mac( $token ) {
	return hash_hmac( 'sha256', 'visit|' . $token, #fn#payments_secret() );
}

/** The visit a reference names, if the site signed it and it belongs to this funnel. */
function #fn#visits_from_reference( $reference, $post_id ) {
	if ( ! is_string( $reference ) || ! preg_match( '/^([0-9a-f]{32})\.([0-9a-f]{64})$/', $reference, $m ) || ! hash_equals( #fn#visits_mac( $m[1] ), $m[2] ) ) {
		return null;
	}
	$visit = #fn#visits_get( 'token', $m[1] );
	return null !== $visit && (int) $visit->funnel_id === (int) $post_id ? $visit : null;
}

/**
 * Opens the visit of a front end's order, once: the buyer's return and the provider's webhook
 * may both get here, and both get the same visit. Its order is then mailed with the visit.
 *
 * @param object $order  The front end's paid order.
 * @param int    $step   The first offer.
 * @param array  $saved  array( customer, method ) the provider saved for later charges, or empty.
 * @return object|null The visit.
 */
function #fn#visits_open( $order, $step, $saved ) {
	global $wpdb;
	$table = #fn#visits_table();
	$now   = current_time( 'mysql', true );
	$wpdb->query( // phpcs:ignore WordPress.DB.DirectDatabaseQuery
		$wpdb->prepare(
			"INSERT IGNORE INTO $table (token, funnel_id, provider, front_order, customer, method, step, end_slot, road, created, active) VALUES (%s, %d, %s, %d, %s, %s, %d, 0, '0+', %s, %s)", // phpcs:ignore WordPress.DB.PreparedSQL.InterpolatedNotPrepared
			bin2hex( random_bytes( 16 ) ),
			$order->funnel_id,
			$order->provider,
			$order->id,
			isset( $saved[0] ) ? $saved[0] : '',
			isset( $saved[1] ) ? $saved[1] : '',
			$step,
			$now,
			$now
		)
	);
	$visit = #fn#visits_get( 'front_order', $order->id );
	if ( null === $visit ) {
		return null;
	}
	$orders = #fn#orders_table();
	if ( 1 === (int) $wpdb->query( $wpdb->prepare( "UPDATE $orders SET visit_id = %d, mailed = 1 WHERE id = %d AND visit_id = 0", $visit->id, $order->id ) ) ) { // phpcs:ignore WordPress.DB
		#fn#stats_count_road( $visit->funnel_id, 0, 'visit' );
	}
	if ( ! wp_next_scheduled( '#fn#visits_sweep' ) ) {
		wp_schedule_event( time() + 5 * MINUTE_IN_SECONDS, 'hourly', '#fn#visits_sweep' );
	}
	wp_schedule_single_event( time() + ( #fn#visits_minutes() + 1 ) * MINUTE_IN_SECONDS, '#fn#visits_sweep' );
	return $visit;
}

/** An order paid on the way (a checkout instead of one click) joins its visit. */
function #fn#visits_attach( $visit, $order ) {
	global $wpdb;
	$orders = #fn#orders_table();
	$wpdb->query( $wpdb->prepare( "UPDATE $orders SET visit_id = %d, mailed = 1 WHERE id = %d AND visit_id = 0", $visit->id, $order->id ) ); // phpcs:ignore WordPress.DB
}

/** Whether a visit has gone longer than its minutes without a step. */
function #fn#visits_expired( $visit ) {
	return 'open' === $visit->status && strtotime( $visit->active . ' UTC' ) < time() - #fn#visits_minutes() * MINUTE_IN_SECONDS;
}

/** Marks an offer shown; true only the first time, so each visit counts it once. */
function #fn#visits_mark_shown( $visit, $slot ) {
	global $wpdb;
	$bit   = 1 << (int) $slot;
	$table = #fn#visits_table();
	$wpdb->query( $wpdb->prepare( "UPDATE $table SET active = %s WHERE id = %d", current_time( 'mysql', true ), $visit->id ) ); // phpcs:ignore WordPress.DB
	return 1 === (int) $wpdb->query( $wpdb->prepare( "UPDATE $table SET shown = shown | %d WHERE id = %d AND (shown & %d) = 0", $bit, $visit->id, $bit ) ); // phpcs:ignore WordPress.DB
}

/**
 * Holds a visit for this request alone, so that two accepts at the same moment charge once
 * whatever the provider does with a repeated request. The database frees the lock when the
 * request ends, also when it dies.
 *
 * @return object|null The visit as it is once held; null when another request kept it too long.
 */
function #fn#visits_hold( $visit ) {
	global $wpdb;
	// A lock's name is at most 64 characters, and names are shared by all the server's databases.
	$name = 'visit_' . md5( DB_NAME . '.' . #fn#visits_table() . '.' . (int) $visit->id );
	if ( 1 !== (int) $wpdb->get_var( $wpdb->prepare( 'SELECT GET_LOCK(%s, %d)', $name, 30 ) ) ) {
		return null;
	}
	add_action(
		'shutdown',
		static function () use ( $name ) {
			global $wpdb;
			$wpdb->query( $wpdb->prepare( 'SELECT RELEASE_LOCK(%s)', $name ) );
		}
	);
	return #fn#visits_get( 'id', $visit->id );
}

/** Keeps the provider's reference of a charge that waits for the buyer's bank. */
function #fn#visits_set_pending( $visit, $pending ) {
	global $wpdb;
	$wpdb->update( #fn#visits_table(), array( 'pending' => (string) $pending, 'active' => current_time( 'mysql', true ) ), array( 'id' => (int) $visit->id ), array( '%s', '%s' ), array( '%d' ) ); // phpcs:ignore WordPress.DB.DirectDatabaseQuery
}

/**
 * Takes the buyer's answer to the offer the visit is at. One request wins: a double click, a
 * reload or a second tab finds the visit moved on and changes nothing.
 *
 * @return array|null Where the answer leads (road_next()), or null when the visit was not at this offer.
 */
function #fn#visits_answer( $visit, $slot, $accepted ) {
	global $wpdb;
	$next  = #fn#road_next( (int) $slot, $accepted, (int) $visit->end_slot );
	$ends  = 'end' === $next[0];
	$table = #fn#visits_table();
	$moved = $wpdb->query( // phpcs:ignore WordPress.DB.DirectDatabaseQuery
		$wpdb->prepare(
			"UPDATE $table SET step = %d, end_slot = %d, road = CONCAT(road, %s), pending = '', active = %s, status = %s WHERE id = %d AND step = %d AND status = 'open'", // phpcs:ignore WordPress.DB.PreparedSQL.InterpolatedNotPrepared
			$ends ? #fn#VISIT_ENDED : $next[1],
			$accepted ? (int) $slot : (int) $visit->end_slot,
			(int) $slot . ( $accepted ? '+' : '-' ),
			current_time( 'mysql', true ),
			$ends ? 'ended' : 'open',
			$visit->id,
			(int) $slot
		)
	);
	if ( 1 !== (int) $moved ) {
		return null;
	}
	#fn#stats_count_road( $visit->funnel_id, $slot, $accepted ? 'accept' : 'decline' );
	if ( $ends ) {
		#fn#visits_finish( #fn#visits_get( 'id', $visit->id ) );
	}
	return $next;
}

/**
 * Ends a visit that has gone quiet, once, whoever notices first (its next page or the sweep).
 *
 * @return object The visit as it is now.
 */
function #fn#visits_close( $visit ) {
	global $wpdb;
	$table = #fn#visits_table();
	if ( 1 === (int) $wpdb->query( $wpdb->prepare( "UPDATE $table SET status = 'ended', step = %d WHERE id = %d AND status = 'open'", #fn#VISIT_ENDED, $visit->id ) ) ) { // phpcs:ignore WordPress.DB
		#fn#visits_finish( #fn#visits_get( 'id', $visit->id ) );
	}
	return #fn#visits_get( 'id', $visit->id );
}

/**
 * What happens once at a visit's end: the saved method is given back (it is never charged again
 * in any case, since only an open visit charges), and the buyer gets the one mail.
 */
function #fn#visits_finish( $visit ) {
	global $wpdb;
	if ( null === $visit ) {
		return;
	}
	#fn#visits_release( $visit );
	$table = #fn#visits_table();
	if ( 1 !== (int) $wpdb->query( $wpdb->prepare( "UPDATE $table SET mailed = 1 WHERE id = %d AND mailed = 0", $visit->id ) ) ) { // phpcs:ignore WordPress.DB
		return;
	}
	$orders = #fn#visits_orders( $visit );
	$end    = #fn#visits_end_order( $visit );
	if ( null === $end || '' === (string) $end->email ) {
		return;
	}
	$items = array();
	foreach ( $orders as $order ) {
		$items[] = '- ' . #fn#payments_item_name( (int) $order->funnel_id, (int) $order->slot ) . ': ' . #fn#payments_decimal( (int) $order->amount, $order->currency ) . ' ' . $order->currency;
	}
	/* translators: %s: the site's name. */
	$subject = sprintf( __( 'Your order from %s', '#prefix#' ), wp_specialchars_decode( get_bloginfo( 'name' ), ENT_QUOTES ) );
	/* translators: 1: the items bought, one a line, 2: the personal address, 3: number of days it works. */
	$message = sprintf( __( "Thank you for your order:\n\n%1\$s\n\nEverything you bought is at this personal address:\n\n%2\$s\n\nIt works for %3\$d days. Please don't share it.", '#prefix#' ), implode( "\n", $items ), #fn#payments_access_url( $end ), #fn#payments_settings()['access_days'] );
	wp_mail( $end->email, $subject, $message );
}

/** Gives the saved method back to the provider; kept for the sweep to try again when that fails. */
function #fn#visits_release( $visit ) {
	global $wpdb;
	if ( '' === $visit->method ) {
		return;
	}
	$released = 'paypal' === $visit->provider ? #fn#paypal_release_method( $visit->method ) : #fn#stripe_release_method( $visit->method );
	if ( $released ) {
		$wpdb->update( #fn#visits_table(), array( 'method' => '' ), array( 'id' => (int) $visit->id ), array( '%s' ), array( '%d' ) ); // phpcs:ignore WordPress.DB.DirectDatabaseQuery
	}
}

/** The paid orders of a visit, in the order they were made. */
function #fn#visits_orders( $visit ) {
	global $wpdb;
	$table = #fn#orders_table();
	return (array) $wpdb->get_results( $wpdb->prepare( "SELECT * FROM $table WHERE visit_id = %d AND status = 'paid' ORDER BY id", $visit->id ) ); // phpcs:ignore WordPress.DB
}

/** The order of the last item bought: its download page is the visit's end. */
function #fn#visits_end_order( $visit ) {
	foreach ( #fn#visits_orders( $visit ) as $order ) {
		if ( (int) $order->slot === (int) $visit->end_slot ) {
			return $order;
		}
	}
	return null;
}

/** Ends the visits that have gone quiet, and gives back methods a provider failed to release. */
function #fn#visits_sweep() {
	global $wpdb;
	if ( ! #fn#orders_ensure_table() ) {
		return;
	}
	$table  = #fn#visits_table();
	$before = gmdate( 'Y-m-d H:i:s', time() - #fn#visits_minutes() * MINUTE_IN_SECONDS );
	foreach ( (array) $wpdb->get_results( $wpdb->prepare( "SELECT * FROM $table WHERE (status = 'open' AND active < %s) OR (status = 'ended' AND method <> '') LIMIT 200", $before ) ) as $visit ) { // phpcs:ignore WordPress.DB
		if ( 'open' === $visit->status ) {
			#fn#visits_close( $visit );
		} else {
			#fn#visits_release( $visit );
		}
	}
}
add_action( '#fn#visits_sweep', '#fn#visits_sweep' );
