<?php
/**
 * What the site asked a provider for: one row per checkout it started (a Stripe session, a
 * PayPal order), with the item, amount, currency, mode and payee as they were then. A payment
 * is accepted only for a checkout of this site and only as that checkout asked, so a price
 * changed meanwhile loses no buyer, and an order someone else made pays nothing here.
 *
 * The same rows limit how many checkouts one network may start: a keyed hash of its address
 * is kept for the ten minutes the limit looks back, then blanked.
 */

defined( 'ABSPATH' ) || exit;

/** At most this many checkouts per network in CHECKOUT_WINDOW seconds. */
const #fn#CHECKOUT_LIMIT  = 10;
const #fn#CHECKOUT_WINDOW = 600;

function #fn#checkouts_table() {
	global $wpdb;
	return $wpdb->prefix . '#fn#checkouts';
}

/**
 * The visitor's address: REMOTE_ADDR, unless that is a proxy the seller named, whose
 * X-Forwarded-For is then read from the right, past the seller's own proxies.
 */
function #fn#payments_client_address() {
	$address = isset( $_SERVER['REMOTE_ADDR'] ) ? trim( (string) $_SERVER['REMOTE_ADDR'] ) : ''; // phpcs:ignore WordPress.Security.ValidatedSanitizedInput
	$proxies = #fn#payments_trusted_proxies();
	if ( ! $proxies || ! #fn#payments_address_in( $address, $proxies ) || empty( $_SERVER['HTTP_X_FORWARDED_FOR'] ) ) {
		return $address;
	}
	$hops = array_reverse( array_map( 'trim', explode( ',', (string) $_SERVER['HTTP_X_FORWARDED_FOR'] ) ) ); // phpcs:ignore WordPress.Security.ValidatedSanitizedInput
	foreach ( $hops as $hop ) {
		if ( false === filter_var( $hop, FILTER_VALIDATE_IP ) ) {
			return $address;
		}
		if ( ! #fn#payments_address_in( $hop, $proxies ) ) {
			return $hop;
		}
		$address = $hop;
	}
	return $address;
}

/** The proxies the seller named: addresses or ranges (203.0.113.0/24, 2001:db8::/32). */
function #fn#payments_trusted_proxies() {
	$list = preg_split( '/[\s,]+/', (string) #fn#payments_settings()['trusted_proxies'], -1, PREG_SPLIT_NO_EMPTY );
	return array_values( array_filter( $list, '#fn#payments_is_range' ) );
}

function #fn#payments_is_range( $range ) {
	$parts = explode( '/', (string) $range, 2 );
	$bytes = false === filter_var( $parts[0], FILTER_VALIDATE_IP ) ? false : inet_pton( $parts[0] );
	return false !== $bytes && ( 1 === count( $parts ) || ( ctype_digit( $parts[1] ) && (int) $parts[1] <= 8 * strlen( $bytes ) ) );
}

/** Whether an address lies in one of the ranges. */
function #fn#payments_address_in( $address, $ranges ) {
	$bytes = false === filter_var( $address, FILTER_VALIDATE_IP ) ? false : inet_pton( $address );
	if ( false === $bytes ) {
		return false;
	}
	foreach ( $ranges as $range ) {
		$parts = explode( '/', $range, 2 );
		$net   = inet_pton( $parts[0] );
		$bits  = isset( $parts[1] ) ? (int) $parts[1] : 8 * strlen( $net );
		if ( strlen( $net ) === strlen( $bytes ) && #fn#payments_prefix( $net, $bits ) === #fn#payments_prefix( $bytes, $bits ) ) {
			return true;
		}
	}
	return false;
}

/** The first $bits bits of a packed address, as bytes. */
function #fn#payments_prefix( $bytes, $bits ) {
	$whole = intdiv( $bits, 8 );
	$out   = substr( $bytes, 0, $whole );
	if ( $bits % 8 ) {
		$out .= chr( ord( $bytes[ $whole ] ) & ( 0xff << ( 8 - $bits % 8 ) ) & 0xff );
	}
	return $out;
}

/**
 * The network a checkout is counted against: the IPv4 address, or the /64 an IPv6 address is
 * in, since one IPv6 host has a whole /64 to choose from. Kept as a keyed hash only.
 */
function #fn#payments_network_bucket( $address ) {
	$bytes = false === filter_var( $address, FILTER_VALIDATE_IP ) ? false : inet_pton( $address );
	if ( false === $bytes ) {
		$bytes = (string) $address;
	} elseif ( 16 === strlen( $bytes ) ) {
		// An IPv4 address written as IPv6 (::ffff:192.0.2.1) is that IPv4 address.
		$bytes = 0 === strpos( $bytes, str_repeat( "\0", 10 ) . "\xff\xff" ) ? substr( $bytes, 12 ) : substr( $bytes, 0, 8 );
	}
	return hash_hmac( 'sha256', 'checkout|' . $bytes, #fn#payments_secret() );
}

/**
 * Starts a checkout of an item at its price of this moment, unless the visitor's network has
 * started CHECKOUT_LIMIT of them in the last CHECKOUT_WINDOW seconds. The count and the new row
 * are one step under a database lock, so parallel requests can't all pass one count.
 *
 * An offer taken with one click in a visit is no new checkout of the network's: it is not limited.
 *
 * @return int The checkout's id; 0 when the limit is reached or nothing could be stored.
 */
function #fn#checkouts_open( $provider, $post_id, $slot, $price, $limited = true ) {
	global $wpdb;
	if ( ! #fn#orders_ensure_table() ) {
		return 0;
	}
	$table  = #fn#checkouts_table();
	$bucket = #fn#payments_network_bucket( #fn#payments_client_address() );
	$lock   = 'vl_' . md5( $table . '|' . $bucket );
	if ( 1 !== (int) $wpdb->get_var( $wpdb->prepare( 'SELECT GET_LOCK(%s, 10)', $lock ) ) ) { // phpcs:ignore WordPress.DB.DirectDatabaseQuery
		return 0;
	}
	$since = gmdate( 'Y-m-d H:i:s', time() - #fn#CHECKOUT_WINDOW );
	$id    = 0;
	// phpcs:disable WordPress.DB
	$wpdb->query( $wpdb->prepare( "UPDATE $table SET bucket = '' WHERE bucket <> '' AND created < %s", $since ) );
	if ( ! $limited || (int) $wpdb->get_var( $wpdb->prepare( "SELECT COUNT(*) FROM $table WHERE bucket = %s AND created >= %s", $bucket, $since ) ) < #fn#CHECKOUT_LIMIT ) {
		$stored = $wpdb->insert(
			$table,
			array(
				'provider'  => $provider,
				'funnel_id' => (int) $post_id,
				'slot'      => (int) $slot,
				'amount'    => (int) $price['amount'],
				'currency'  => $price['currency'],
				'mode'      => #fn#payments_settings()['mode'],
				'bucket'    => $limited ? $bucket : '',
				'created'   => current_time( 'mysql', true ),
				'visitor'   => (string) #fn#split_visitor(),
			),
			array( '%s', '%d', '%d', '%d', '%s', '%s', '%s', '%s', '%s' )
		);
		$id = $stored ? (int) $wpdb->insert_id : 0;
	}
	$wpdb->query( $wpdb->prepare( 'SELECT RELEASE_LOCK(%s)', $lock ) );
	// phpcs:enable WordPress.DB
	return $id;
}

/** Names the provider's object (session or order id) a checkout became, and who it pays. */
function #fn#checkouts_bind( $id, $reference, $payee = '' ) {
	global $wpdb;
	return (bool) $wpdb->update( #fn#checkouts_table(), array( 'reference' => $reference, 'payee' => (string) $payee ), array( 'id' => (int) $id ), array( '%s', '%s' ), array( '%d' ) ); // phpcs:ignore WordPress.DB.DirectDatabaseQuery
}

/** The checkout this site started as a provider's object, or null when it started none. */
function #fn#checkouts_find( $provider, $reference ) {
	global $wpdb;
	if ( '' === (string) $reference || ! #fn#orders_ensure_table() ) {
		return null;
	}
	$table = #fn#checkouts_table();
	$row   = $wpdb->get_row( $wpdb->prepare( "SELECT * FROM $table WHERE provider = %s AND reference = %s", $provider, $reference ) ); // phpcs:ignore WordPress.DB
	return $row ? $row : null;
}

/**
 * Whether a checkout is this item's, in the mode the site is in now: a test checkout never
 * opens downloads once the site takes real money.
 */
function #fn#checkouts_is_for( $checkout, $post_id, $slot ) {
	return is_object( $checkout ) && (int) $checkout->funnel_id === (int) $post_id && (int) $checkout->slot === (int) $slot
		&& #fn#payments_settings()['mode'] === $checkout->mode;
}
