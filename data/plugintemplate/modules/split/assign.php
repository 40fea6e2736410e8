<?php
/**
 * Split tests' assignment: which variant a visitor sees is a pure function of a keyed hash of the
 * visitor's id and the test, mapped onto the whole-percent weights exactly, so the same visitor
 * always sees the same variant and an assignment can be recomputed for an audit.
 */

defined( 'ABSPATH' ) || exit;

/**
 * A bucket from 0 to 99, uniform: a 48-bit slice of HMAC-SHA256 is used only below the largest
 * multiple of 100 it can reach (about one draw in 2.8 trillion is redrawn with a counter), so no
 * bucket is favoured by the remainder.
 *
 * @param string $visitor The visitor's random id.
 * @param string $test    The test's id.
 * @param string $key     The site's secret.
 */
function #fn#split_bucket( $visitor, $test, $key ) {
	$limit = intdiv( 1 << 48, 100 ) * 100;
	for ( $round = 0; ; ++$round ) {
		$hash  = hash_hmac( 'sha256', $test . "\n" . $visitor . "\n" . $round, $key );
		$value = hexdec( substr( $hash, 0, 12 ) );
		if ( $value < $limit ) {
			return (int) ( $value % 100 );
		}
	}
}

/**
 * The variant of a visitor: the first whose cumulative weight passes the bucket.
 *
 * @param int[] $weights Whole percentages in variant order, summing to 100.
 * @return int|null The variant's index; null when the weights are not a split of 100.
 */
function #fn#split_variant( $visitor, $test, $weights, $key ) {
	if ( ! #fn#split_weights_valid( $weights ) ) {
		return null;
	}
	$bucket = #fn#split_bucket( $visitor, $test, $key );
	$sum    = 0;
	foreach ( array_values( $weights ) as $index => $weight ) {
		$sum += $weight;
		if ( $bucket < $sum ) {
			return $index;
		}
	}
	return null;
}

/** Two to four whole percentages, none below 1, that sum to exactly 100. */
function #fn#split_weights_valid( $weights ) {
	if ( ! is_array( $weights ) || count( $weights ) < 2 || count( $weights ) > 4 ) {
		return false;
	}
	foreach ( $weights as $weight ) {
		if ( ! is_int( $weight ) || $weight < 1 ) {
			return false;
		}
	}
	return 100 === array_sum( $weights );
}
