<?php
/**
 * Each funnel item's sales copy: a post of the plugin's copy type, written in the block editor,
 * whose parent is the funnel and whose menu order is the item's slot. Copies have no address of
 * their own; the item's sales page shows its copy.
 */

defined( 'ABSPATH' ) || exit;

function #fn#copy_post_type() {
	return '#copytype#';
}

function #fn#register_copy_type() {
	register_post_type(
		#fn#copy_post_type(),
		array(
			'labels'                => array(
				'name'          => __( 'Sales copy', '#prefix#' ),
				'singular_name' => __( 'Sales copy', '#prefix#' ),
				'edit_item'     => __( 'Edit sales copy', '#prefix#' ),
				'item_updated'  => __( 'Sales copy updated.', '#prefix#' ),
			),
			'public'                => false,
			'publicly_queryable'    => false,
			'exclude_from_search'   => true,
			'show_ui'               => true,
			'show_in_menu'          => false,
			'show_in_nav_menus'     => false,
			'show_in_admin_bar'     => false,
			'show_in_rest'          => true,
			'rest_controller_class' => '#fn#copy_rest_controller',
			'has_archive'           => false,
			'rewrite'               => false,
			'query_var'             => false,
			'supports'              => array( 'editor', 'excerpt', 'revisions' ),
			'map_meta_cap'          => true,
			'capabilities'          => #fn#capabilities(),
		)
	);
}
add_action( 'init', '#fn#register_copy_type' );

/**
 * Copies are read through REST by those who may edit them only: a funnel's copy may be unreleased
 * text, and published copies would otherwise be readable by anyone.
 */
class #fn#copy_rest_controller extends WP_REST_Posts_Controller {
	public function get_items_permissions_check( $request ) {
		if ( ! current_user_can( get_post_type_object( $this->post_type )->cap->edit_posts ) ) {
			return new WP_Error( 'rest_forbidden', __( 'Sorry, you are not allowed to read sales copy.', '#prefix#' ), array( 'status' => rest_authorization_required_code() ) );
		}
		return parent::get_items_permissions_check( $request );
	}

	public function get_item_permissions_check( $request ) {
		$post = get_post( (int) $request['id'] );
		if ( $post instanceof WP_Post && ! current_user_can( 'edit_post', $post->ID ) ) {
			return new WP_Error( 'rest_forbidden', __( 'Sorry, you are not allowed to read sales copy.', '#prefix#' ), array( 'status' => rest_authorization_required_code() ) );
		}
		return parent::get_item_permissions_check( $request );
	}
}

/**
 * Whoever may edit, delete or read a funnel may do the same with its copies, and no one with a
 * copy whose funnel is gone.
 *
 * @param string[] $caps    What the user needs so far.
 * @param string   $cap     The capability asked for.
 * @param int      $user_id The user.
 * @param array    $args    The post's id first.
 */
function #fn#copy_map_meta_cap( $caps, $cap, $user_id, $args ) {
	if ( ! in_array( $cap, array( 'edit_post', 'delete_post', 'read_post' ), true ) || empty( $args[0] ) ) {
		return $caps;
	}
	$copy = get_post( (int) $args[0] );
	if ( ! $copy instanceof WP_Post || #fn#copy_post_type() !== $copy->post_type ) {
		return $caps;
	}
	$funnel = get_post( (int) $copy->post_parent );
	if ( ! $funnel instanceof WP_Post || #fn#post_type() !== $funnel->post_type ) {
		return 'delete_post' === $cap ? $caps : array( 'do_not_allow' );
	}
	return map_meta_cap( $cap, $user_id, $funnel->ID );
}
add_filter( 'map_meta_cap', '#fn#copy_map_meta_cap', 10, 4 );

/**
 * The copy of one item of a funnel.
 *
 * @return WP_Post|null
 */
function #fn#copy_of( $funnel_id, $slot ) {
	$copies = get_posts(
		array(
			'post_type'        => #fn#copy_post_type(),
			'post_parent'      => (int) $funnel_id,
			'menu_order'       => (int) $slot,
			'post_status'      => 'any',
			'numberposts'      => 1,
			'orderby'          => 'ID',
			'order'            => 'ASC',
			'suppress_filters' => true,
		)
	);
	return empty( $copies ) ? null : $copies[0];
}

/**
 * Funnels made before copies existed keep their pages as they were: their items get empty
 * copies. The first id after the last post of that time tells them apart.
 */
function #fn#copy_first_new_id() {
	global $wpdb;
	$first = get_option( '#fn#copy_since' );
	if ( false === $first ) {
		$first = 1 + (int) $wpdb->get_var( "SELECT MAX(ID) FROM {$wpdb->posts}" ); // phpcs:ignore WordPress.DB
		add_option( '#fn#copy_since', $first, '', false );
	}
	return (int) $first;
}
add_action( 'init', '#fn#copy_first_new_id' );

/** The copy's title in lists and the editor: the item and its funnel. */
function #fn#copy_title( $funnel, $box ) {
	/* translators: 1: the funnel item, 2: the funnel's title. */
	return sprintf( __( '%1$s of %2$s', '#prefix#' ), $box['title'], '' === $funnel->post_title ? __( '(no title)', '#prefix#' ) : $funnel->post_title );
}

/**
 * Gives every item of a funnel its copy once the funnel is saved: a new funnel's starts from the
 * product's sales text, an earlier funnel's is empty.
 *
 * @param int     $funnel_id The funnel.
 * @param WP_Post $funnel    The funnel as saved.
 */
function #fn#copy_ensure( $funnel_id, $funnel ) {
	if ( wp_is_post_revision( $funnel_id ) || wp_is_post_autosave( $funnel_id ) || 'auto-draft' === $funnel->post_status || 'trash' === $funnel->post_status ) {
		return;
	}
	foreach ( #fn#funnel_meta_boxes() as $box ) {
		$slot  = (int) substr( strrchr( $box['id'], '_' ), 1 );
		$copy  = #fn#copy_of( $funnel_id, $slot );
		$title = #fn#copy_title( $funnel, $box );
		if ( null !== $copy ) {
			if ( $copy->post_title !== $title ) {
				wp_update_post( array( 'ID' => $copy->ID, 'post_title' => wp_slash( $title ) ) );
			}
			continue;
		}
		wp_insert_post(
			wp_slash(
				array(
					'post_type'    => #fn#copy_post_type(),
					'post_parent'  => (int) $funnel_id,
					'menu_order'   => $slot,
					'post_status'  => 'publish',
					'post_title'   => $title,
					'post_author'  => (int) $funnel->post_author,
					'post_content' => (int) $funnel_id >= #fn#copy_first_new_id() ? #fn#copy_start( $slot ) : '',
				)
			)
		);
	}
}
add_action( 'save_post_' . #fn#post_type(), '#fn#copy_ensure', 20, 2 );

/** A funnel deleted for good takes its copies with it. */
function #fn#copy_delete_with_funnel( $post_id ) {
	if ( #fn#post_type() !== get_post_type( $post_id ) ) {
		return;
	}
	$copies = get_posts(
		array(
			'post_type'        => #fn#copy_post_type(),
			'post_parent'      => (int) $post_id,
			'post_status'      => 'any',
			'numberposts'      => -1,
			'fields'           => 'ids',
			'suppress_filters' => true,
		)
	);
	foreach ( $copies as $copy ) {
		wp_delete_post( (int) $copy, true );
	}
}
add_action( 'before_delete_post', '#fn#copy_delete_with_funnel' );

/**
 * The line of an item's box that opens its copy.
 *
 * @param WP_Post $post The funnel being edited.
 */
function #fn#copy_box_row( $post, $slot ) {
	$copy = #fn#copy_of( $post->ID, $slot );
	$link = null === $copy ? '' : get_edit_post_link( $copy->ID );
	echo '<tr><th scope="row">' . esc_html__( 'Sales copy', '#prefix#' ) . '</th><td>';
	if ( '' === (string) $link ) {
		echo '<p class="description">' . esc_html__( 'Save the funnel to write this page\'s sales copy.', '#prefix#' ) . '</p>';
	} else {
		echo '<a class="button" href="' . esc_url( $link ) . '">' . esc_html__( 'Edit sales copy', '#prefix#' ) . '</a>';
		echo '<p class="description">' . esc_html__( 'The text of this sales page, written in the block editor: it stands between the image and the buy button.', '#prefix#' ) . '</p>';
	}
	echo '</td></tr>';
}

/** In the copy's editor: whose copy this is, and the way back. */
function #fn#copy_add_editor_box( $copy ) {
	add_meta_box( '#prefix#_copy_of', esc_html__( 'Funnel page', '#prefix#' ), '#fn#copy_render_editor_box', #fn#copy_post_type(), 'side', 'high' );
}
add_action( 'add_meta_boxes_' . #fn#copy_post_type(), '#fn#copy_add_editor_box' );

function #fn#copy_render_editor_box( $copy ) {
	$funnel = get_post( (int) $copy->post_parent );
	$box    = #fn#payments_box_of( (int) $copy->menu_order );
	if ( ! $funnel instanceof WP_Post || #fn#post_type() !== $funnel->post_type || null === $box ) {
		echo '<p>' . esc_html__( 'The funnel of this copy is gone: it is not shown anywhere.', '#prefix#' ) . '</p>';
		return;
	}
	/* translators: 1: the funnel item, 2: the funnel's title. */
	echo '<p>' . esc_html( sprintf( __( 'The sales copy of "%1$s" in the funnel "%2$s".', '#prefix#' ), $box['title'], $funnel->post_title ) ) . '</p>';
	echo '<p><a href="' . esc_url( (string) get_edit_post_link( $funnel->ID ) ) . '">' . esc_html__( 'Back to the funnel', '#prefix#' ) . '</a></p>';
	if ( 'publish' === $funnel->post_status ) {
		echo '<p><a href="' . esc_url( #fn#page_url( $funnel, $box['sales_token'] ) ) . '" target="_blank" rel="noopener">' . esc_html__( 'View the sales page', '#prefix#' ) . '</a></p>';
	}
}
