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
		return __( 'A test has one to three variants beside the original, each with its share of visitors.', '#prefix#' );
	}
	if ( ! #fn#split_weights_valid( $weights ) ) {
		return __( 'The shares of visitors must be whole percentages of at least 1 that add up to 100.', '#prefix#' );
	}
	$kept = array( array() );
	foreach ( $variants as $variant ) {
		$fields = array_intersect_key( (array) $variant, array_flip( #fn#split_variant_fields() ) );
		$fields = array_filter( array_map( 'strval', $fields ), 'strlen' );
		if ( array() === $fields ) {
			return __( 'Each variant must change something: its title, headline, image or price.', '#prefix#' );
		}
		$kept[] = $fields;
	}
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
	return __( 'A running or paused test keeps its variants and shares, or its figures would mix two tests. End it and start a new one.', '#prefix#' );
}

/**
 * Ends the item's test, its figures kept in the item's history. The winner's fields, when one
 * is adopted, become the item's own by the caller.
 *
 * @param array $figures What the test came to, kept with it.
 * @return array|null The ended test.
 */
function #fn#split_end( $post_id, $slot, $figures ) {
	$test = #fn#split_test( $post_id, $slot );
	if ( null === $test ) {
		return null;
	}
	$test['ended']   = time();
	$test['figures'] = $figures;
	$history         = get_post_meta( $post_id, #fn#split_meta_key( $slot ) . '_history', true );
	$history         = is_array( $history ) ? $history : array();
	$history[]       = $test;
	update_post_meta( $post_id, #fn#split_meta_key( $slot ) . '_history', $history );
	delete_post_meta( $post_id, #fn#split_meta_key( $slot ) );
	return $test;
}
