<?php
/**
 * Split tests' arithmetic: the assignment, and the verdict's figures against reference values
 * computed apart from the plugin (Python 3's math module: the chance to beat by Simpson's rule
 * over A's posterior times B's Beta CDF, written as a binomial tail; the interval by Newcombe's
 * method 10 from two Wilson intervals; the chi-square p-values as erfc(sqrt(x/2)) for one degree
 * of freedom and exp(-x/2) for two).
 */
class SplitTest extends PluginTestCase {

	public function splits() {
		return array(
			'50/50'    => array( array( 50, 50 ) ),
			'34/33/33' => array( array( 34, 33, 33 ) ),
			'90/10'    => array( array( 90, 10 ) ),
		);
	}

	/**
	 * 100,000 visitors: each arm within the 99.9% binomial bound of its weight (3.29 standard
	 * deviations), and every visitor the same arm again.
	 *
	 * @dataProvider splits
	 */
	public function testVisitorsSplitAsTheWeightsSayAndStay( $weights ) {
		$n      = 100000;
		$counts = array_fill( 0, count( $weights ), 0 );
		for ( $i = 0; $i < $n; ++$i ) {
			++$counts[ self::call( 'split_variant', "visitor-$i", 'test-7', $weights, 'key' ) ];
		}
		foreach ( $weights as $arm => $weight ) {
			$share = $weight / 100;
			$this->assertLessThanOrEqual( 3.29 * sqrt( $n * $share * ( 1 - $share ) ), abs( $counts[ $arm ] - $n * $share ), "arm $arm: " . wp_json_encode( $counts ) );
		}
		foreach ( array( 'visitor-1', 'visitor-99', 'visitor-54321' ) as $visitor ) {
			$this->assertSame( self::call( 'split_variant', $visitor, 'test-7', $weights, 'key' ), self::call( 'split_variant', $visitor, 'test-7', $weights, 'key' ) );
		}
	}

	public function weights() {
		return array(
			'a split of 100'      => array( array( 1, 99 ), true ),
			'99'                  => array( array( 50, 49 ), false ),
			'101'                 => array( array( 51, 50 ), false ),
			'an arm of nothing'   => array( array( 0, 100 ), false ),
			'one arm'             => array( array( 100 ), false ),
			'five arms'           => array( array( 20, 20, 20, 20, 20 ), false ),
			'not whole'           => array( array( 50.5, 49.5 ), false ),
		);
	}

	/** @dataProvider weights */
	public function testOnlyWholePercentagesThatMake100Split( $weights, $valid ) {
		$this->assertSame( $valid, self::call( 'split_weights_valid', $weights ) );
		$this->assertSame( $valid, null !== self::call( 'split_variant', 'v', 't', $weights, 'k' ) );
	}

	public function beats() {
		return array(
			'100/1000 against 130/1000' => array( 100, 1000, 130, 1000, 0.982165 ),
			'20/200 against 20/200'     => array( 20, 200, 20, 200, 0.5 ),
			'0/150 against 3/150'       => array( 0, 150, 3, 150, 0.938744 ),
			'10/100 against 20/100'     => array( 10, 100, 20, 100, 0.975173 ),
		);
	}

	/** @dataProvider beats */
	public function testTheChanceToBeatTheOriginal( $a, $an, $b, $bn, $reference ) {
		$this->assertEqualsWithDelta( $reference, self::call( 'split_beats', $a, $an, $b, $bn ), 1e-5 );
	}

	public function differences() {
		return array(
			'100/1000 against 130/1000' => array( 100, 1000, 130, 1000, array( 0.03, 0.002002, 0.05807 ) ),
			'0/150 against 3/150'       => array( 0, 150, 3, 150, array( 0.02, -0.008233, 0.057147 ) ),
		);
	}

	/** @dataProvider differences */
	public function testTheDifferenceAndItsInterval( $a, $an, $b, $bn, $reference ) {
		$got = self::call( 'split_difference', $a, $an, $b, $bn );
		foreach ( $reference as $i => $value ) {
			$this->assertEqualsWithDelta( $value, $got[ $i ], 1e-6, "value $i" );
		}
	}

	public function ratios() {
		return array(
			'5200/4800 at 50/50'           => array( array( 5200, 4800 ), array( 50, 50 ), 6.334248e-5 ),
			'3600/3200/3200 at 34/33/33'   => array( array( 3600, 3200, 3200 ), array( 34, 33, 33 ), 1.346737e-4 ),
			'exactly as weighed'           => array( array( 900, 100 ), array( 90, 10 ), 1.0 ),
		);
	}

	/** @dataProvider ratios */
	public function testTheSampleRatioCheck( $visitors, $weights, $reference ) {
		$this->assertEqualsWithDelta( 1.0, self::call( 'split_ratio_p', $visitors, $weights ) / $reference, 1e-5 );
	}

	/** Against 1,000,000 draws of Python's random.betavariate (seed 3); the same figures read the same. */
	public function testTheChanceToBeBestOfThree() {
		$arms   = array( array( 100, 1000 ), array( 130, 1000 ), array( 115, 1000 ) );
		$chance = self::call( 'split_best_chances', $arms );
		foreach ( array( 0.010505, 0.838749, 0.150746 ) as $index => $reference ) {
			$this->assertEqualsWithDelta( $reference, $chance[ $index ], 0.004, "variant $index" );
		}
		$this->assertSame( $chance, self::call( 'split_best_chances', $arms ) );
	}

	public function verdicts() {
		return array(
			'too early: 99 visitors'        => array( array( array( 20, 99 ), array( 40, 101 ) ), array( 50, 50 ), true, false, null ),
			'too early: 9 conversions'      => array( array( array( 9, 500 ), array( 40, 500 ) ), array( 50, 50 ), true, false, null ),
			'a clear winner'                => array( array( array( 100, 1000 ), array( 150, 1000 ) ), array( 50, 50 ), false, false, 1 ),
			'the original wins'             => array( array( array( 150, 1000 ), array( 100, 1000 ) ), array( 50, 50 ), false, false, 0 ),
			'too close to call'             => array( array( array( 100, 1000 ), array( 110, 1000 ) ), array( 50, 50 ), false, false, null ),
			'a split that is off names none' => array( array( array( 100, 1200 ), array( 200, 800 ) ), array( 50, 50 ), false, true, null ),
		);
	}

	/** @dataProvider verdicts */
	public function testTheVerdict( $arms, $weights, $too_early, $split_off, $winner ) {
		$verdict = self::call( 'split_verdict', $arms, $weights );
		$this->assertSame( array( $too_early, $split_off, $winner ), array( $verdict['too_early'], $verdict['split_off'], $verdict['winner'] ) );
	}

	public function starts() {
		$one = array( array( 'headline' => 'New' ) );
		return array(
			'one variant'                 => array( $one, array( 50, 50 ), '' ),
			'three variants'              => array( array( array( 'title' => 'B' ), array( 'price' => '9' ), array( 'image' => '7' ) ), array( 25, 25, 25, 25 ), '' ),
			'no variant'                  => array( array(), array( 100 ), 'one to three variants' ),
			'four variants'               => array( array_fill( 0, 4, array( 'title' => 'x' ) ), array( 20, 20, 20, 20, 20 ), 'one to three variants' ),
			'a share missing'             => array( $one, array( 100 ), 'one to three variants' ),
			'shares of 99'                => array( $one, array( 50, 49 ), 'add up to 100' ),
			'a variant that changes none' => array( array( array( 'title' => '' ) ), array( 50, 50 ), 'must change something' ),
		);
	}

	/** @dataProvider starts */
	public function testStartingATest( $variants, $weights, $refusal ) {
		$funnel = $this->funnel();
		$said   = self::call( 'split_start', $funnel, 1, $variants, $weights );
		$this->assertSame( '' === $refusal, '' === $said, $said );
		$this->assertStringContainsString( $refusal, $said );
		$this->assertSame( '' === $refusal, null !== self::call( 'split_test', $funnel, 1 ) );
	}

	/** Weights stay as started through a pause; a new split is a new test, after the end. */
	public function testATestKeepsItsSplitUntilItEnds() {
		$funnel = $this->funnel();
		$this->assertSame( '', self::call( 'split_start', $funnel, 2, array( array( 'headline' => 'B' ) ), array( 50, 50 ) ) );
		$first = self::call( 'split_test', $funnel, 2 );
		$this->assertTrue( self::call( 'split_set_state', $funnel, 2, 'paused' ) );
		$this->assertStringContainsString( 'end that test first', self::call( 'split_start', $funnel, 2, array( array( 'headline' => 'B' ) ), array( 90, 10 ) ) );
		$paused = self::call( 'split_test', $funnel, 2 );
		$this->assertSame( array( 'paused', $first['weights'], $first['id'] ), array( $paused['state'], $paused['weights'], $paused['id'] ) );
		$this->assertNull( self::call( 'split_test', $funnel, 1 ), 'another item has no test' );
		self::call( 'split_end', $funnel, 2, array( 'visitors' => array( 120, 118 ) ) );
		$this->assertNull( self::call( 'split_test', $funnel, 2 ) );
		$this->assertSame( '', self::call( 'split_start', $funnel, 2, array( array( 'headline' => 'C' ) ), array( 90, 10 ) ) );
		$history = get_post_meta( $funnel, 'unit_split_2_history', true );
		$this->assertSame( array( $first['id'], array( 120, 118 ) ), array( $history[0]['id'], $history[0]['figures']['visitors'] ) );
		$this->assertNotSame( $first['id'], self::call( 'split_test', $funnel, 2 )['id'] );
		$this->assertTrue( is_protected_meta( 'unit_split_2', 'post' ) );
	}
}
