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
			'three variants'              => array( array( array( 'title' => 'B' ), array( 'price' => '9' ), array( 'headline' => 'D' ) ), array( 25, 25, 25, 25 ), '', self::STRIPE ),
			'a price without a check'     => array( array( array( 'price' => '9' ) ), array( 50, 50 ), 'payment check is on' ),
			'a price that is no number'   => array( array( array( 'price' => '9,-' ) ), array( 50, 50 ), 'a number such as', self::STRIPE ),
			'a price the provider refuses' => array( array( array( 'price' => '0.10' ) ), array( 50, 50 ), 'Stripe', self::STRIPE ),
			'an image not in the library' => array( array( array( 'image' => '999999' ) ), array( 50, 50 ), 'media library' ),
			'no variant'                  => array( array(), array( 100 ), 'one to three versions' ),
			'four variants'               => array( array_fill( 0, 4, array( 'title' => 'x' ) ), array( 20, 20, 20, 20, 20 ), 'one to three versions' ),
			'a share missing'             => array( $one, array( 100 ), 'one to three versions' ),
			'shares of 99'                => array( $one, array( 50, 49 ), 'add up to 100' ),
			'a variant that changes none' => array( array( array( 'title' => '' ) ), array( 50, 50 ), 'must change something' ),
		);
	}

	const STRIPE = array(
		'unit_payment_check'      => 'stripe',
		'unit_payment_currency_1' => 'USD',
	);

	/** @dataProvider starts */
	public function testStartingATest( $variants, $weights, $refusal, $meta = array() ) {
		$funnel = $this->funnel( $meta );
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

	/** A visitor id, as the cookie holds it. */
	private static function visitor( $n ) {
		return md5( "visitor $n" );
	}

	/**
	 * Each visitor counts once; a conversion only for a visitor counted while the test runs, once
	 * per visitor; every verified order adds its amount. An order recorded with its visitor converts.
	 */
	public function testFiguresCountVisitorsOnceAndOnlyTheirConversions() {
		$funnel = $this->funnel();
		$this->assertSame( '', self::call( 'split_start', $funnel, 1, array( array( 'headline' => 'B' ) ), array( 50, 50 ) ) );
		$test  = self::call( 'split_test', $funnel, 1 );
		$arm   = static function ( $n ) use ( $test ) {
			return self::call( 'split_variant', self::visitor( $n ), $test['id'], $test['weights'], self::call( 'split_key' ) );
		};
		$count = static function ( $n ) use ( $funnel, $test, $arm ) {
			self::call( 'split_count_visitor', $funnel, $test, $arm( $n ), self::visitor( $n ) );
		};
		$expected = array_fill( 0, 2, array( 'visitors' => 0, 'conversions' => 0, 'revenue' => 0 ) );
		foreach ( array( 1, 2, 3, 1, 2 ) as $n ) {
			$count( $n );
		}
		foreach ( array( 1, 2, 3 ) as $n ) {
			++$expected[ $arm( $n ) ]['visitors'];
		}
		// Two orders of visitor 1; visitor 2 reaches the download page twice; visitor 9 was never counted.
		self::call( 'orders_record', 'stripe', 'cs_split_1', $funnel, 1, 1999, 'usd', 'a@example.com', '', 0, self::visitor( 1 ) );
		self::call( 'split_count_conversion', $funnel, 1, self::visitor( 1 ), 500, true );
		self::call( 'split_count_conversion', $funnel, 1, self::visitor( 2 ), 0, false );
		self::call( 'split_count_conversion', $funnel, 1, self::visitor( 2 ), 0, false );
		self::call( 'split_count_conversion', $funnel, 1, self::visitor( 9 ), 700, true );
		self::call( 'orders_record', 'stripe', 'cs_split_1', $funnel, 1, 1999, 'usd', 'a@example.com', '', 0, self::visitor( 1 ) );
		$expected[ $arm( 1 ) ]['conversions'] += 1;
		$expected[ $arm( 1 ) ]['revenue']     += 2499;
		$expected[ $arm( 2 ) ]['conversions'] += 1;
		// Paused, nothing counts.
		self::call( 'split_set_state', $funnel, 1, 'paused' );
		self::call( 'split_count_conversion', $funnel, 1, self::visitor( 3 ), 900, true );
		$this->assertSame( $expected, self::call( 'split_totals', $test ) );
	}

	/** Ending keeps the figures in the history, forgets the visitors and, for a winner, makes its fields the item's. */
	public function testEndingWithAWinnerMakesItThePage() {
		$funnel = $this->funnel( self::STRIPE + array( 'unit_funnelitem_1_pagetitle' => 'Old title' ) );
		$this->assertSame( '', self::call( 'split_start', $funnel, 1, array( array( 'title' => 'New title', 'price' => '7.50' ) ), array( 50, 50 ) ) );
		$test = self::call( 'split_test', $funnel, 1 );
		self::call( 'split_count_visitor', $funnel, $test, 1, self::visitor( 1 ) );
		$figures = self::call( 'split_totals', $test );
		$ended   = self::call( 'split_end', $funnel, 1, $figures, 1 );
		self::call( 'split_adopt', $funnel, 1, $ended['variants'][1] );
		$this->assertSame( array( 'New title', '7.50' ), array( get_post_meta( $funnel, 'unit_funnelitem_1_pagetitle', true ), get_post_meta( $funnel, 'unit_payment_price_1', true ) ) );
		$this->assertSame( 1, self::call( 'split_history', $funnel, 1 )[0]['figures'][1]['visitors'] );
		$this->assertSame( 0, self::call( 'split_totals', $test )[1]['visitors'], 'the ended test\'s rows are gone' );
		self::call( 'split_delete_history', $funnel, 1, $test['id'] );
		$this->assertSame( array(), self::call( 'split_history', $funnel, 1 ) );
	}

	/** A stored key that is no key is replaced, so every request assigns by the key stored. */
	public function testTheAssignmentKeyIsTheOneStored() {
		update_option( 'veltrano_unit__split_key', 'short' );
		$key = self::call( 'split_key' );
		$this->assertSame( array( 64, $key ), array( strlen( $key ), get_option( 'veltrano_unit__split_key' ) ) );
	}
}
