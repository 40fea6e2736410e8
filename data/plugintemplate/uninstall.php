<?php
/**
 * Runs when the plugin is deleted in the Plugins screen: removes the funnels
 * with their fields and the screen settings WordPress kept for the funnel
 * editor, so nothing of the plugin stays in the database.
 */

defined( 'WP_UNINSTALL_PLUGIN' ) || exit;

require_once __DIR__ . '/modules/cpt.php';
require_once __DIR__ . '/modules/stats/counting.php';
require_once __DIR__ . '/modules/payments/orders.php';
require_once __DIR__ . '/modules/payments/checkouts.php';
require_once __DIR__ . '/modules/road/visits.php';
require_once __DIR__ . '/modules/copy/copy.php';
require_once __DIR__ . '/modules/split/figures.php';

/**
 * Deletes the funnels of the current site, their meta, revisions and statistics.
 */
function #fn#uninstall_site() {
	global $wpdb;

	// The counters go first, so deleting the funnels below does not look for them. Only tables
	// this plugin made are dropped.
	if ( false !== get_option( #fn#stats_schema_option() ) ) {
		$wpdb->query( 'DROP TABLE IF EXISTS ' . #fn#stats_table() . ', ' . #fn#stats_seen_table() ); // phpcs:ignore WordPress.DB
	}
	if ( false !== get_option( #fn#orders_schema_option() ) ) {
		$wpdb->query( 'DROP TABLE IF EXISTS ' . #fn#orders_table() . ', ' . #fn#checkouts_table() . ', ' . #fn#visits_table() ); // phpcs:ignore WordPress.DB
	}
	if ( false !== get_option( #fn#split_schema_option() ) ) {
		$wpdb->query( 'DROP TABLE IF EXISTS ' . #fn#split_table() . ', ' . #fn#split_seen_table() ); // phpcs:ignore WordPress.DB
	}
	foreach ( array( #fn#split_schema_option(), '#fn#split_key', '#fn#copy_since', #fn#stats_schema_option(), '#fn#stats_key', '#fn#stats_items', #fn#orders_schema_option(), '#fn#payments', '#fn#payments_secret', '#fn#paypal_webhook_guard', '#fn#rewrite_slug' ) as $option ) {
		delete_option( $option );
	}
	// Transients by their exact names: a pattern could meet another plugin's.
	delete_transient( '#fn#paypal_token' );
	wp_clear_scheduled_hook( '#fn#visits_sweep' );

	// Straight from the table: every status counts, trash and auto-drafts included, and copies
	// whose funnel is gone already.
	$posts = $wpdb->get_col( $wpdb->prepare( "SELECT ID FROM {$wpdb->posts} WHERE post_type IN (%s, %s)", #fn#post_type(), #fn#copy_post_type() ) ); // phpcs:ignore WordPress.DB.DirectDatabaseQuery
	foreach ( array_map( 'intval', $posts ) as $post ) {
		wp_delete_post( $post, true );
	}
}

/**
 * Deletes what the funnel edit screens remembered for each user: hidden and
 * closed boxes, their order, the layout, the list's columns and page size.
 */
function #fn#uninstall_user_settings() {
	foreach ( array( #fn#post_type(), #fn#copy_post_type() ) as $type ) {
		foreach ( array( "closedpostboxes_$type", "metaboxhidden_$type", "meta-box-order_$type", "screen_layout_$type", "edit_{$type}_per_page", "manageedit-{$type}columnshidden" ) as $key ) {
			delete_metadata( 'user', 0, $key, '', true );
		}
	}
}

if ( is_multisite() ) {
	foreach ( get_sites(
		array(
			'fields' => 'ids',
			'number' => 0,
		)
	) as $site ) {
		switch_to_blog( $site );
		#fn#uninstall_site();
		restore_current_blog();
	}
} else {
	#fn#uninstall_site();
}

#fn#uninstall_user_settings();
