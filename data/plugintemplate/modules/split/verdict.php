<?php
/**
 * What a split test's figures say, with their uncertainty: for each variant against the original,
 * the difference in conversion rate with its 95% interval and the chance that it beats the
 * original; the chance that each variant is the best; and whether the split itself is off.
 */

defined( 'ABSPATH' ) || exit;

/** ln Γ(x) for x > 0, by Lanczos' approximation (g = 7, 9 terms): about 15 significant digits. */
function #fn#split_log_gamma( $x ) {
	static $c = array( 0.99999999999980993, 676.5203681218851, -1259.1392167224028, 771.32342877765313, -176.61502916214059, 12.507343278686905, -0.13857109526572012, 9.9843695780195716e-6, 1.5056327351493116e-7 );
	if ( $x < 0.5 ) {
		return log( M_PI / sin( M_PI * $x ) ) - #fn#split_log_gamma( 1 - $x );
	}
	$x  -= 1;
	$sum = $c[0];
	for ( $i = 1; $i < 9; ++$i ) {
		$sum += $c[ $i ] / ( $x + $i );
	}
	$t = $x + 7.5;
	return 0.5 * log( 2 * M_PI ) + ( $x + 0.5 ) * log( $t ) - $t + log( $sum );
}

function #fn#split_log_beta( $a, $b ) {
	return #fn#split_log_gamma( $a ) + #fn#split_log_gamma( $b ) - #fn#split_log_gamma( $a + $b );
}

/**
 * The chance that B's conversion rate is above A's, both with a uniform prior (Beta(1, 1)), exactly:
 * the sum over B's successes of the closed form for Beta variables with whole parameters.
 */
function #fn#split_beats( $a_conversions, $a_visitors, $b_conversions, $b_visitors ) {
	$alpha_a = 1 + $a_conversions;
	$beta_a  = 1 + $a_visitors - $a_conversions;
	$alpha_b = 1 + $b_conversions;
	$beta_b  = 1 + $b_visitors - $b_conversions;
	$total   = 0.0;
	for ( $i = 0; $i < $alpha_b; ++$i ) {
		$total += exp( #fn#split_log_beta( $alpha_a + $i, $beta_a + $beta_b ) - log( $beta_b + $i ) - #fn#split_log_beta( 1 + $i, $beta_b ) - #fn#split_log_beta( $alpha_a, $beta_a ) );
	}
	return min( 1.0, max( 0.0, $total ) );
}

/** Wilson's 95% score interval of one rate. */
function #fn#split_wilson( $conversions, $visitors ) {
	$z      = 1.959963984540054;
	$p      = $conversions / $visitors;
	$scale  = 1 + $z * $z / $visitors;
	$centre = ( $p + $z * $z / ( 2 * $visitors ) ) / $scale;
	$half   = $z * sqrt( $p * ( 1 - $p ) / $visitors + $z * $z / ( 4 * $visitors * $visitors ) ) / $scale;
	return array( $centre - $half, $centre + $half );
}

/**
 * B's rate minus A's, with its 95% interval by Newcombe's hybrid score method (his method 10),
 * which holds at small counts and rates near zero where the textbook interval does not.
 *
 * @return float[] array( difference, lower, upper ).
 */
function #fn#split_difference( $a_conversions, $a_visitors, $b_conversions, $b_visitors ) {
	$p1              = $a_conversions / $a_visitors;
	$p2              = $b_conversions / $b_visitors;
	list( $l1, $u1 ) = #fn#split_wilson( $a_conversions, $a_visitors );
	list( $l2, $u2 ) = #fn#split_wilson( $b_conversions, $b_visitors );
	$difference      = $p2 - $p1;
	return array(
		$difference,
		$difference - sqrt( ( $p2 - $l2 ) ** 2 + ( $u1 - $p1 ) ** 2 ),
		$difference + sqrt( ( $u2 - $p2 ) ** 2 + ( $p1 - $l1 ) ** 2 ),
	);
}

/** Q(a, x), the regularized upper incomplete gamma function: a series below a + 1, a continued fraction above. */
function #fn#split_gamma_q( $a, $x ) {
	if ( $x <= 0 ) {
		return 1.0;
	}
	$log_front = -$x + $a * log( $x ) - #fn#split_log_gamma( $a );
	if ( $x < $a + 1 ) {
		$term = 1 / $a;
		$sum  = $term;
		for ( $n = 1; $n < 1000 && abs( $term ) > abs( $sum ) * 1e-15; ++$n ) {
			$term *= $x / ( $a + $n );
			$sum  += $term;
		}
		return max( 0.0, 1 - $sum * exp( $log_front ) );
	}
	// Lentz's method for the continued fraction.
	$tiny = 1e-300;
	$b    = $x + 1 - $a;
	$c    = 1 / $tiny;
	$d    = 1 / $b;
	$h    = $d;
	for ( $i = 1; $i < 1000; ++$i ) {
		$an = -$i * ( $i - $a );
		$b += 2;
		$d  = $an * $d + $b;
		$d  = abs( $d ) < $tiny ? $tiny : $d;
		$c  = $b + $an / $c;
		$c  = abs( $c ) < $tiny ? $tiny : $c;
		$d  = 1 / $d;
		$h *= $d * $c;
		if ( abs( $d * $c - 1 ) < 1e-15 ) {
			break;
		}
	}
	return min( 1.0, exp( $log_front ) * $h );
}

/**
 * Whether the visitors split as the weights say: the p-value of Pearson's chi-square test of the
 * counts against the weights.
 *
 * @param int[] $visitors Visitors per variant.
 * @param int[] $weights  Whole percentages, in the same order.
 */
function #fn#split_ratio_p( $visitors, $weights ) {
	$total = array_sum( $visitors );
	if ( $total <= 0 ) {
		return 1.0;
	}
	$chi = 0.0;
	foreach ( array_values( $visitors ) as $index => $count ) {
		$expected = $total * $weights[ $index ] / 100;
		$chi     += ( $count - $expected ) ** 2 / $expected;
	}
	return #fn#split_gamma_q( ( count( $visitors ) - 1 ) / 2, $chi / 2 );
}

/**
 * A Gamma(shape, 1) draw by Marsaglia and Tsang's method, from the seeded generator.
 *
 * @param float $shape At least 1 here: shapes are conversions + 1 and non-conversions + 1.
 */
function #fn#split_gamma_draw( $shape ) {
	$d = $shape - 1 / 3;
	$c = 1 / sqrt( 9 * $d );
	while ( true ) {
		do {
			// A standard normal by Box and Muller, from two uniform draws in (0, 1].
			$x = sqrt( -2 * log( ( mt_rand() + 1 ) / ( mt_getrandmax() + 1 ) ) ) * cos( 2 * M_PI * mt_rand() / mt_getrandmax() );
			$v = 1 + $c * $x;
		} while ( $v <= 0 );
		$v = $v * $v * $v;
		$u = ( mt_rand() + 1 ) / ( mt_getrandmax() + 1 );
		if ( log( $u ) < 0.5 * $x * $x + $d - $d * $v + $d * log( $v ) ) {
			return $d * $v;
		}
	}
}

/**
 * The chance that each variant has the highest conversion rate: 100,000 draws from each variant's
 * Beta posterior (uniform prior), from a generator seeded by the figures, so the same figures
 * always read the same. The seed is put back afterwards.
 *
 * @param int[][] $arms array( conversions, visitors ) per variant.
 * @return float[] One chance per variant, summing to 1.
 */
function #fn#split_best_chances( $arms, $draws = 100000 ) {
	mt_srand( crc32( wp_json_encode( $arms ) ) );
	$wins = array_fill( 0, count( $arms ), 0 );
	for ( $n = 0; $n < $draws; ++$n ) {
		$best      = -1;
		$best_rate = -1.0;
		foreach ( $arms as $index => $arm ) {
			$yes  = #fn#split_gamma_draw( 1 + $arm[0] );
			$rate = $yes / ( $yes + #fn#split_gamma_draw( 1 + $arm[1] - $arm[0] ) );
			if ( $rate > $best_rate ) {
				$best      = $index;
				$best_rate = $rate;
			}
		}
		++$wins[ $best ];
	}
	mt_srand();
	return array_map(
		static function ( $won ) use ( $draws ) {
			return $won / $draws;
		},
		$wins
	);
}

/** Each variant needs this many visitors and conversions before any verdict. */
const #fn#SPLIT_MIN_VISITORS    = 100;
const #fn#SPLIT_MIN_CONVERSIONS = 10;

/**
 * Everything the edit screen says about a test's figures.
 *
 * @param int[][] $arms    array( conversions, visitors ) per variant, the original first.
 * @param int[]   $weights The test's whole percentages.
 * @return array 'ratio_p', 'split_off', 'too_early', 'against' (per variant after the original:
 *               difference, lower, upper, beats), 'best' (per variant), 'winner' (index or null).
 */
function #fn#split_verdict( $arms, $weights ) {
	$ratio_p   = #fn#split_ratio_p( array_column( $arms, 1 ), $weights );
	$too_early = false;
	foreach ( $arms as $arm ) {
		$too_early = $too_early || $arm[1] < #fn#SPLIT_MIN_VISITORS || $arm[0] < #fn#SPLIT_MIN_CONVERSIONS;
	}
	$against = array();
	$best    = array();
	$winner  = null;
	if ( ! $too_early ) {
		foreach ( array_slice( $arms, 1, null, true ) as $index => $arm ) {
			$against[ $index ] = array_merge( #fn#split_difference( $arms[0][0], $arms[0][1], $arm[0], $arm[1] ), array( #fn#split_beats( $arms[0][0], $arms[0][1], $arm[0], $arm[1] ) ) );
		}
		// Two variants have an exact answer; more are drawn.
		$best = 2 === count( $arms ) ? array( 1 - $against[1][3], $against[1][3] ) : #fn#split_best_chances( $arms );
		foreach ( $best as $index => $chance ) {
			if ( $chance > 0.95 ) {
				$winner = $index;
			}
		}
	}
	$split_off = $ratio_p < 0.001;
	return array(
		'ratio_p'   => $ratio_p,
		'split_off' => $split_off,
		'too_early' => $too_early,
		'against'   => $against,
		'best'      => $best,
		// A split that is off can't be trusted to name anyone.
		'winner'    => $split_off ? null : $winner,
	);
}
