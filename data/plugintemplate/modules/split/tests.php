<?php
/**
 * A funnel item's split test as the seller runs it: started with its variants and weights,
 * paused and resumed, ended. Its weights and variants are fixed once it starts — changing them
 * would mix two tests' visitors in one set of figures — so a new split is a new test.
 */

defined( 'ABSPATH' ) || exit;

function #fn#split_meta_key( $slot ) {
	return '#prefix#_split_' . (int) $slot;
}

/** The fields a variant may change; what it leaves empty stays the original's. */
function #fn#split_variant_fields() {
	return array( 'title', 'headline', 'image', 'price' );
}

/**
 * The item's current test, or null.
 *
 * @return array|null array( 'id', 'state' => 'running'|'paused', 'started', 'weights', 'variants' ).
 */
function #fn#split_test( $post_id, $slot ) {
	$test = get_post_meta( $post_id, #fn#split_meta_key( $slot ), true );
	return is_array( $test ) && isset( $test['id'], $test['state'], $test['weights'], $test['variants'] ) ? $test : null;
}

/**
 * Starts a test of an item: the original first, then one to three variants.
 *
 * @param array[] $variants The variants after the original, each with some of the variant fields.
 * @param int[]   $weights  Whole percentages for the original and each variant.
 * @return string '' when it started, else why not.
 */
function #fn#split_start( $post_id, $slot, $variants, $weights ) {
	if ( null !== #fn#split_test( $post_id, $slot ) ) {
		return __( 'This page is being tested already: end that test first.', '#prefix#' );
	}
	if ( ! is_array( $variants ) || count( $variants ) < 1 || count( $variants ) > 3 || count( $weights ) !== count( $variants ) + 1 ) {
		return __( 'A test has one to three versions beside the page as it is, each with its share of visitors.', '#prefix#' );
	}
	if ( ! #fn#split_weights_valid( $weights ) ) {
		return __( 'The shares of visitors must be whole percentages of at least 1 that add up to 100.', '#prefix#' );
	}
	$kept = array( array() );
	foreach ( $variants as $variant ) {
		$fields = array_intersect_key( (array) $variant, array_flip( #fn#split_variant_fields() ) );
		$fields = array_filter( array_map( 'trim', array_map( 'strval', $fields ) ), 'strlen' );
		if ( array() === $fields ) {
			return __( 'Each version must change something: its title, headline, image or price.', '#prefix#' );
		}
		$problem = #fn#split_field_problem( $post_id, $slot, $fields );
		if ( '' !== $problem ) {
			return $problem;
		}
		$kept[] = $fields;
	}
	#fn#split_key();
	update_post_meta(
		$post_id,
		#fn#split_meta_key( $slot ),
		array(
			'id'       => wp_generate_password( 16, false ),
			'state'    => 'running',
			'started'  => time(),
			'weights'  => array_values( $weights ),
			'variants' => $kept,
		)
	);
	return '';
}

/** Why a variant's image or price can't be shown or charged; '' when they can. */
function #fn#split_field_problem( $post_id, $slot, $fields ) {
	if ( isset( $fields['image'] ) && ( ! ctype_digit( $fields['image'] ) || ! wp_attachment_is_image( (int) $fields['image'] ) ) ) {
		return __( 'A version\'s image must be an image of the media library.', '#prefix#' );
	}
	if ( ! isset( $fields['price'] ) ) {
		return '';
	}
	$check = #fn#payments_check( $post_id );
	if ( 'none' === $check ) {
		return __( 'A version can change the price only where the funnel\'s payment check is on: with buttons of your own, the price is the button\'s.', '#prefix#' );
	}
	$currency = (string) get_post_meta( $post_id, #fn#payments_meta_key( 'currency', $slot ), true );
	$amount   = preg_match( '/^\d{1,7}(\.\d{1,2})?$/', $fields['price'] ) ? #fn#payments_minor_units( $fields['price'], $currency ) : null;
	if ( null === $amount || $amount <= 0 ) {
		return __( 'A version\'s price is a number such as 19 or 19.99.', '#prefix#' );
	}
	return #fn#payments_price_problem( $check, $amount, $currency );
}

/**
 * Pauses or resumes the item's test; nothing else of it changes.
 *
 * @param string $state 'running' or 'paused'.
 */
function #fn#split_set_state( $post_id, $slot, $state ) {
	$test = #fn#split_test( $post_id, $slot );
	if ( null === $test || ! in_array( $state, array( 'running', 'paused' ), true ) ) {
		return false;
	}
	$test['state'] = $state;
	update_post_meta( $post_id, #fn#split_meta_key( $slot ), $test );
	return true;
}

/** A running test's weights and variants can't change: end it and start a new one. */
function #fn#split_change_refusal() {
	return __( 'A running or paused test keeps its versions and shares, or its figures would mix two tests. End it and start a new one.', '#prefix#' );
}

/**
 * Ends the item's test, its figures kept in the item's history. The winner's fields, when one
 * is adopted, become the item's own by the caller.
 *
 * @param array $figures What the test came to, kept with it.
 * @param int   $kept    The variant that stays the page: 0 for the original.
 * @return array|null The ended test.
 */
function #fn#split_end( $post_id, $slot, $figures, $kept = 0 ) {
	$test = #fn#split_test( $post_id, $slot );
	if ( null === $test ) {
		return null;
	}
	$test['ended']   = time();
	$test['figures'] = $figures;
	$test['kept']    = (int) $kept;
	$history         = get_post_meta( $post_id, #fn#split_meta_key( $slot ) . '_history', true );
	$history         = is_array( $history ) ? $history : array();
	$history[]       = $test;
	update_post_meta( $post_id, #fn#split_meta_key( $slot ) . '_history', $history );
	delete_post_meta( $post_id, #fn#split_meta_key( $slot ) );
	#fn#split_forget_test( $test['id'] );
	return $test;
}

/**
 * A variant's fields become the item's own: its page title, headline, image and price.
 *
 * @param string[] $fields The variant's fields.
 */
function #fn#split_adopt( $post_id, $slot, $fields ) {
	$keys = array(
		'title'    => '#prefix#_funnelitem_' . (int) $slot . '_pagetitle',
		'headline' => '#prefix#_funnelitem_' . (int) $slot . '_headline',
		'image'    => #fn#item_image_key( $slot ),
		'price'    => #fn#payments_meta_key( 'price', $slot ),
	);
	foreach ( $fields as $field => $value ) {
		if ( isset( $keys[ $field ] ) ) {
			update_post_meta( $post_id, $keys[ $field ], wp_slash( $value ) );
		}
	}
}

/** Deletes one ended test from the item's history. */
function #fn#split_delete_history( $post_id, $slot, $test_id ) {
	$key     = #fn#split_meta_key( $slot ) . '_history';
	$history = get_post_meta( $post_id, $key, true );
	$kept    = array_values(
		array_filter(
			is_array( $history ) ? $history : array(),
			static function ( $test ) use ( $test_id ) {
				return ! isset( $test['id'] ) || $test['id'] !== $test_id;
			}
		)
	);
	if ( $kept ) {
		update_post_meta( $post_id, $key, $kept );
	} else {
		delete_post_meta( $post_id, $key );
	}
}

/** The item's ended tests, oldest first. */
function #fn#split_history( $post_id, $slot ) {
	$history = get_post_meta( $post_id, #fn#split_meta_key( $slot ) . '_history', true );
	return is_array( $history ) ? $history : array();
}
