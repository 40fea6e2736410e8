<?php
/**
 * A split test on the buyer's pages: the variant a request shows of an item (its title,
 * headline, image and price), the visitors counted on its sales page and the conversions on its
 * download page. What the test changes is read where the page reads the item, so the offer
 * pages of the road and the checkout ask the variant's price too.
 */

defined( 'ABSPATH' ) || exit;

/** The query variable with which the seller previews a variant of their own page. */
function #fn#split_preview_var() {
	return '#fn#variant';
}

/**
 * The fields of the variant this request shows of an item: empty for the original, for
 * requests that take no part (bots, prefetches, the seller) and outside the funnel's pages.
 *
 * @return string[] Some of title, headline, image and price.
 */
function #fn#split_fields( $post_id, $slot ) {
	static $served = array();
	$key = (int) $post_id . ':' . (int) $slot;
	if ( ! isset( $served[ $key ] ) ) {
		$served[ $key ] = array();
		$post           = get_queried_object();
		$test           = #fn#split_test( $post_id, $slot );
		if ( null !== $test && 'running' === $test['state'] && is_singular( #fn#post_type() ) && $post instanceof WP_Post && (int) $post->ID === (int) $post_id ) {
			$variant = #fn#split_variant_of_request( $post, $test );
			if ( null !== $variant ) {
				$served[ $key ] = $test['variants'][ $variant ];
			}
		}
	}
	return $served[ $key ];
}

/** Which variant of a running test this request shows, or null for the original untested. */
function #fn#split_variant_of_request( $post, $test ) {
	// phpcs:ignore WordPress.Security.NonceVerification -- a preview changes nothing.
	$preview = isset( $_GET[ #fn#split_preview_var() ] ) ? (int) $_GET[ #fn#split_preview_var() ] : -1;
	if ( current_user_can( 'edit_post', $post->ID ) && isset( $test['variants'][ $preview ] ) ) {
		return $preview;
	}
	$visit = #fn#split_request_visit();
	if ( null !== $visit ) {
		return #fn#split_variant( $visit, $test['id'], $test['weights'], #fn#split_key() );
	}
	if ( ! #fn#split_takes_part( $post ) ) {
		return null;
	}
	return #fn#split_variant( #fn#split_visitor_given(), $test['id'], $test['weights'], #fn#split_key() );
}

/** An item's field as this request shows it: the variant's where it changes that field. */
function #fn#split_field( $post_id, $slot, $field, $value ) {
	$fields = #fn#split_fields( $post_id, $slot );
	return isset( $fields[ $field ] ) && '' !== $fields[ $field ] ? $fields[ $field ] : $value;
}

/**
 * The product image a sales page shows: a variant's, else one the item adopted from a test's
 * winner, else the product's own.
 *
 * @return array array( src, width, height ).
 */
function #fn#page_image( $post_id, $slot, $src, $width, $height ) {
	$chosen = #fn#split_field( $post_id, $slot, 'image', (string) get_post_meta( $post_id, #fn#item_image_key( $slot ), true ) );
	$image  = '' === $chosen ? false : wp_get_attachment_image_src( (int) $chosen, 'full' );
	return is_array( $image ) ? array( $image[0], (int) $image[1], (int) $image[2] ) : array( $src, (int) $width, (int) $height );
}

function #fn#item_image_key( $slot ) {
	return '#prefix#_funnelitem_' . (int) $slot . '_image';
}

/** The meta keys a test's title and headline stand in for on the item's page. */
function #fn#split_page_keys( $slot ) {
	return array(
		'#prefix#_funnelitem_' . (int) $slot . '_pagetitle' => 'title',
		'#prefix#_funnelitem_' . (int) $slot . '_headline'  => 'headline',
	);
}

/**
 * On a sales page of an item under test, before anything is shown: the variant's title and
 * headline stand in for the item's, and a GET by a visitor taking part counts them. A download
 * page of an item tested without a payment check counts its visitor's conversion.
 */
function #fn#split_handle_page() {
	if ( ! is_singular( #fn#post_type() ) || 'GET' !== ( isset( $_SERVER['REQUEST_METHOD'] ) ? $_SERVER['REQUEST_METHOD'] : '' ) ) { // phpcs:ignore WordPress.Security.ValidatedSanitizedInput
		return;
	}
	$post = get_queried_object();
	$page = $post instanceof WP_Post && 'publish' === $post->post_status ? #fn#payments_page_of( sanitize_key( #fn#payments_request_string( #fn#step_var(), $_GET ) ) ) : null; // phpcs:ignore WordPress.Security.NonceVerification
	$test = null === $page ? null : #fn#split_test( $post->ID, $page[0] );
	if ( null === $test || 'running' !== $test['state'] ) {
		return;
	}
	list( $slot, $kind ) = $page;
	if ( 'download' === $kind ) {
		// With a check, a conversion is a verified order, counted when it is recorded.
		if ( 'none' === #fn#payments_check( $post->ID ) && #fn#split_takes_part( $post ) ) {
			#fn#split_count_conversion( $post->ID, $slot, (string) #fn#split_visitor(), 0, false );
		}
		return;
	}
	$state = #fn#road_state();
	if ( isset( $state['refusal'] ) ) {
		return;
	}
	$fields = #fn#split_fields( $post->ID, $slot );
	$keys   = #fn#split_page_keys( $slot );
	add_filter(
		'get_post_metadata',
		static function ( $value, $object_id, $meta_key ) use ( $post, $keys, $fields ) {
			if ( (int) $object_id !== (int) $post->ID || ! isset( $keys[ $meta_key ] ) || empty( $fields[ $keys[ $meta_key ] ] ) ) {
				return $value;
			}
			return array( $fields[ $keys[ $meta_key ] ] );
		},
		10,
		3
	);
	if ( #fn#split_takes_part( $post ) ) {
		$visitor = #fn#split_visitor_given();
		#fn#split_count_visitor( $post->ID, $test, (int) #fn#split_variant( $visitor, $test['id'], $test['weights'], #fn#split_key() ), $visitor );
	}
}
// After the road has read its visit (4) and a buy form was taken (5).
add_action( 'template_redirect', '#fn#split_handle_page', 6 );
