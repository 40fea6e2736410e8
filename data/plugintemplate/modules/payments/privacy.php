<?php
/**
 * A buyer's email address in the orders is personal data: WordPress's privacy tools (Tools ›
 * Export / Erase Personal Data) find a buyer's orders by it, export them and erase them.
 */

defined( 'ABSPATH' ) || exit;

/** Orders are looked at in pages of this many, as WordPress asks for them. */
const #fn#PRIVACY_PAGE = 100;

function #fn#orders_of_email( $email, $page ) {
	global $wpdb;
	if ( ! is_email( $email ) || ( false === get_option( #fn#orders_schema_option() ) || ! #fn#orders_ensure_table() ) ) {
		return array();
	}
	$table = #fn#orders_table();
	return (array) $wpdb->get_results( $wpdb->prepare( "SELECT * FROM $table WHERE email = %s ORDER BY id LIMIT %d OFFSET %d", $email, #fn#PRIVACY_PAGE, ( max( 1, (int) $page ) - 1 ) * #fn#PRIVACY_PAGE ) ); // phpcs:ignore WordPress.DB
}

function #fn#privacy_register_exporter( $exporters ) {
	$exporters['#fn#orders'] = array(
		'exporter_friendly_name' => __( 'Funnel orders', '#prefix#' ),
		'callback'               => '#fn#privacy_export',
	);
	return $exporters;
}
add_filter( 'wp_privacy_personal_data_exporters', '#fn#privacy_register_exporter' );

function #fn#privacy_register_eraser( $erasers ) {
	$erasers['#fn#orders'] = array(
		'eraser_friendly_name' => __( 'Funnel orders', '#prefix#' ),
		'callback'             => '#fn#privacy_erase',
	);
	return $erasers;
}
add_filter( 'wp_privacy_personal_data_erasers', '#fn#privacy_register_eraser' );

/** One export item per order: what was bought, when, for how much, through which provider. */
function #fn#privacy_export( $email, $page = 1 ) {
	$items  = array();
	$orders = #fn#orders_of_email( $email, $page );
	foreach ( $orders as $order ) {
		$box     = #fn#payments_box_of( $order->slot );
		$items[] = array(
			'group_id'    => '#fn#orders',
			'group_label' => __( 'Funnel orders', '#prefix#' ),
			'item_id'     => '#fn#order-' . (int) $order->id,
			'data'        => array(
				array(
					'name'  => __( 'Funnel', '#prefix#' ),
					'value' => get_the_title( (int) $order->funnel_id ),
				),
				array(
					'name'  => __( 'Item', '#prefix#' ),
					'value' => null === $box ? (string) (int) $order->slot : $box['title'],
				),
				array(
					'name'  => __( 'Amount', '#prefix#' ),
					'value' => #fn#payments_decimal( (int) $order->amount, isset( #fn#payments_currencies()[ $order->currency ] ) ? $order->currency : 'USD' ) . ' ' . $order->currency,
				),
				array(
					'name'  => __( 'Payment provider', '#prefix#' ),
					'value' => $order->provider,
				),
				array(
					'name'  => __( 'Payment ID', '#prefix#' ),
					'value' => $order->payment_id,
				),
				array(
					'name'  => __( 'Date', '#prefix#' ),
					'value' => get_date_from_gmt( $order->created ),
				),
				array(
					'name'  => __( 'Email address', '#prefix#' ),
					'value' => $order->email,
				),
			),
		);
	}
	return array(
		'data' => $items,
		'done' => count( $orders ) < #fn#PRIVACY_PAGE,
	);
}

/**
 * Blanks the buyer's address in their orders. The orders stay, with nothing personal left in
 * them: their item, amount and time are the seller's figures, and their access links keep
 * working for whoever holds them.
 */
function #fn#privacy_erase( $email, $page = 1 ) {
	global $wpdb;
	$erased = 0;
	if ( is_email( $email ) && false !== get_option( #fn#orders_schema_option() ) && #fn#orders_ensure_table() ) {
		// The provider's customer of the buyer's visits names them at the provider: it goes first.
		$visits = #fn#visits_table();
		$orders = #fn#orders_table();
		$wpdb->query( $wpdb->prepare( "UPDATE $visits v JOIN $orders o ON o.id = v.front_order SET v.customer = '' WHERE o.email = %s", $email ) ); // phpcs:ignore WordPress.DB
		$erased = (int) $wpdb->update( #fn#orders_table(), array( 'email' => '' ), array( 'email' => $email ), array( '%s' ), array( '%s' ) ); // phpcs:ignore WordPress.DB.DirectDatabaseQuery
	}
	return array(
		'items_removed'  => $erased > 0,
		'items_retained' => $erased > 0,
		'messages'       => $erased > 0 ? array( __( 'Funnel orders: the email address was removed; each order\'s item, amount and date were kept for the seller\'s records.', '#prefix#' ) ) : array(),
		'done'           => true,
	);
}
