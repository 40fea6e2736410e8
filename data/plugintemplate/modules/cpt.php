<?php
/**
 * The funnel post type. One funnel post holds the texts and payment buttons of
 * all funnel pages; the "step" query argument picks the page to show.
 */

defined( 'ABSPATH' ) || exit;

/**
 * Post type key: a short hash of the plugin id, so it is lower case, at most
 * 20 characters for any id, and never one of WordPress's own keys or query
 * variables.
 */
function #fn#post_type() {
	return '#posttype#';
}

/**
 * The first part of a funnel's pretty address: the post type key, which no page, post or other
 * post type of the site has, so the funnels never take over addresses that are the site's.
 */
function #fn#funnel_slug() {
	return str_replace( '_', '-', #fn#post_type() );
}

/** Earlier versions put funnels below /<identifier>/, which could meet the site's own addresses. */
function #fn#earlier_slug() {
	return '#slug#';
}

/**
 * Name of the query argument that carries a funnel page token.
 */
function #fn#step_var() {
	return 'step';
}

/**
 * Full address of one funnel page.
 *
 * @param WP_Post|int $post  The funnel.
 * @param string      $token A sales or download token.
 */
function #fn#page_url( $post, $token ) {
	return add_query_arg( #fn#step_var(), $token, get_permalink( $post ) );
}

/**
 * A funnel's boxes show the tokens of every paid download page, so only users
 * who may edit everyone's posts (editors and administrators) get the funnel
 * screens; authors and contributors get none.
 *
 * @return string[] The post type's capabilities.
 */
function #fn#capabilities() {
	$caps = array();
	foreach ( array( 'edit_posts', 'edit_others_posts', 'edit_published_posts', 'edit_private_posts', 'publish_posts', 'read_private_posts', 'create_posts' ) as $cap ) {
		$caps[ $cap ] = 'edit_others_posts';
	}
	foreach ( array( 'delete_posts', 'delete_others_posts', 'delete_published_posts', 'delete_private_posts' ) as $cap ) {
		$caps[ $cap ] = 'delete_others_posts';
	}
	return $caps;
}

function #fn#register_post_type() {
	$name = #fn#plugin_name();
	register_post_type(
		#fn#post_type(),
		array(
			'labels'              => array(
				'name'               => $name,
				'menu_name'          => $name,
				'singular_name'      => __( 'Funnel', '#prefix#' ),
				'all_items'          => __( 'All Funnels', '#prefix#' ),
				'add_new'            => __( 'Add New', '#prefix#' ),
				'add_new_item'       => __( 'Add New Funnel', '#prefix#' ),
				'edit_item'          => __( 'Edit Funnel', '#prefix#' ),
				'new_item'           => __( 'New Funnel', '#prefix#' ),
				'view_item'          => __( 'View Funnel', '#prefix#' ),
				'search_items'       => __( 'Search Funnels', '#prefix#' ),
				'not_found'          => __( 'No funnels found.', '#prefix#' ),
				'not_found_in_trash' => __( 'No funnels found in Trash.', '#prefix#' ),
				'item_published'     => __( 'Funnel published.', '#prefix#' ),
				'item_updated'       => __( 'Funnel updated.', '#prefix#' ),
			),
			'public'              => true,
			'show_ui'             => true,
			'show_in_nav_menus'   => false,
			'exclude_from_search' => true,
			'has_archive'         => false,
			'supports'            => array( 'title' ),
			'map_meta_cap'        => true,
			'capabilities'        => #fn#capabilities(),
			'menu_icon'           => 'dashicons-filter',
			'rewrite'             => array(
				'slug'       => #fn#funnel_slug(),
				'with_front' => false,
			),
		)
	);
}
add_action( 'init', '#fn#register_post_type' );

/**
 * A plugin replaced in place is not activated again: the rules of its address are made anew once,
 * the first time its slug is not the one they were made with.
 */
function #fn#refresh_rewrite_rules() {
	if ( #fn#funnel_slug() !== get_option( '#fn#rewrite_slug' ) ) {
		flush_rewrite_rules( false );
		update_option( '#fn#rewrite_slug', #fn#funnel_slug(), true );
	}
}
add_action( 'init', '#fn#refresh_rewrite_rules', 20 );

/**
 * An address of the earlier form (/<identifier>/<funnel>/) that the site itself does not answer
 * leads to the funnel's address, its query (the page token) kept: providers' return addresses and
 * shared links keep working.
 */
function #fn#redirect_earlier_address() {
	if ( ! is_404() || '' === get_option( 'permalink_structure' ) ) {
		return;
	}
	$path = (string) wp_parse_url( isset( $_SERVER['REQUEST_URI'] ) ? wp_unslash( $_SERVER['REQUEST_URI'] ) : '', PHP_URL_PATH ); // phpcs:ignore WordPress.Security.ValidatedSanitizedInput
	$home = trailingslashit( (string) wp_parse_url( home_url( '/' ), PHP_URL_PATH ) );
	if ( 0 !== strpos( $path, $home ) || ! preg_match( '#^' . preg_quote( #fn#earlier_slug(), '#' ) . '/([^/]+)/?$#', substr( $path, strlen( $home ) ), $m ) ) {
		return;
	}
	$funnel = get_page_by_path( sanitize_title( rawurldecode( $m[1] ) ), OBJECT, #fn#post_type() );
	if ( ! $funnel instanceof WP_Post || 'publish' !== $funnel->post_status ) {
		return;
	}
	$query = (string) wp_parse_url( wp_unslash( $_SERVER['REQUEST_URI'] ), PHP_URL_QUERY ); // phpcs:ignore WordPress.Security.ValidatedSanitizedInput
	wp_safe_redirect( get_permalink( $funnel ) . ( '' === $query ? '' : '?' . $query ), 301 );
	exit;
}
add_action( 'template_redirect', '#fn#redirect_earlier_address', 1 );

/**
 * Funnels are reached through their own addresses only: the front end's lists,
 * searches and feeds never show them to visitors (?post_type=..., feeds of it).
 *
 * @param WP_Query $query A query about to run.
 */
function #fn#hide_from_lists( $query ) {
	if ( is_admin() || ! $query->is_main_query() || $query->is_singular() ) {
		return;
	}
	if ( in_array( #fn#post_type(), (array) $query->get( 'post_type' ), true ) ) {
		$query->set( 'post__in', array( 0 ) );
	}
}
add_action( 'pre_get_posts', '#fn#hide_from_lists' );

/**
 * Funnel pages are reached through their links only: keep them out of the
 * site map.
 */
function #fn#sitemap_post_types( $post_types ) {
	unset( $post_types[ #fn#post_type() ] );
	return $post_types;
}
add_filter( 'wp_sitemaps_post_types', '#fn#sitemap_post_types' );
