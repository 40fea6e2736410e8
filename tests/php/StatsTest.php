<?php
/**
 * The statistics: views and orders in the last 7 and 30 days of the site's calendar and all
 * time, the funnel list's totals, the figures as the screens write them, and the daily key that
 * keeps visitors from being followed across days.
 */
class StatsTest extends PluginTestCase {

	public static function setUpBeforeClass(): void {
		// The screens load only in the admin.
		require_once self::plugin_dir() . '/modules/stats/screens.php';
	}

	protected function setUp(): void {
		parent::setUp();
		// Fourteen hours ahead of UTC, so that the site's day and UTC's differ most of the time.
		update_option( 'timezone_string', 'Pacific/Kiritimati' );
	}

	private static function today() {
		return new DateTimeImmutable( 'today', wp_timezone() );
	}

	public function days() {
		return array(
			'today'          => array( 0, true, true ),
			'6 days ago'     => array( 6, true, true ),
			'7 days ago'     => array( 7, false, true ),
			'29 days ago'    => array( 29, false, true ),
			'30 days ago'    => array( 30, false, false ),
		);
	}

	/** @dataProvider days */
	public function testViewsOfADayCountInItsPeriods( $days_ago, $week, $month ) {
		global $wpdb;
		$post = $this->funnel();
		$day  = self::today()->modify( "-$days_ago days" )->format( 'Y-m-d' );
		$wpdb->insert( 'wp_veltrano_unit__stats', array( 'funnel_id' => $post, 'slot' => 3, 'kind' => 'download', 'day' => $day, 'views' => 5 ) );
		$stats = self::call( 'stats_for_funnel', $post );
		$this->assertSame(
			array( $week ? 5 : 0, $month ? 5 : 0, 5 ),
			array( $stats[3]['week']['download'], $stats[3]['month']['download'], $stats[3]['all']['download'] )
		);
	}

	public function moments() {
		return array(
			'now'                              => array( '+0 days', 'now', true, true ),
			'start of the 7th day back'        => array( '-6 days', '+0 seconds', true, true ),
			'a second before it'               => array( '-6 days', '-1 second', false, true ),
			'start of the 30th day back'       => array( '-29 days', '+0 seconds', false, true ),
			'a second before that'             => array( '-29 days', '-1 second', false, false ),
		);
	}

	/** @dataProvider moments */
	public function testOrdersCountInThePeriodsOfTheSitesCalendar( $day, $moment, $week, $month ) {
		global $wpdb;
		$post = $this->funnel();
		$at   = 'now' === $moment ? new DateTimeImmutable( 'now' ) : self::today()->modify( $day )->modify( $moment );
		$wpdb->insert(
			'wp_veltrano_unit__orders',
			array(
				'provider'   => 'stripe',
				'payment_id' => 'pi_1',
				'funnel_id'  => $post,
				'slot'       => 0,
				'amount'     => 1999,
				'currency'   => 'USD',
				'created'    => $at->setTimezone( new DateTimeZone( 'UTC' ) )->format( 'Y-m-d H:i:s' ),
			)
		);
		$stats  = self::call( 'orders_stats', $post )[0];
		$figure = static function ( $in ) {
			return $in ? array( 'orders' => 1, 'revenue' => array( 'USD' => 1999 ), 'refunds' => 0 ) : array( 'orders' => 0, 'revenue' => array(), 'refunds' => 0 );
		};
		$this->assertSame( array( $figure( $week ), $figure( $month ), $figure( true ) ), array( $stats['week'], $stats['month'], $stats['all'] ) );
	}

	public function testRevenueIsKeptPerCurrency() {
		$post = $this->funnel();
		self::call( 'orders_record', 'stripe', 'pi_1', $post, 1, 1999, 'USD', '' );
		self::call( 'orders_record', 'stripe', 'pi_2', $post, 1, 1000, 'USD', '' );
		self::call( 'orders_record', 'paypal', 'CAP-1', $post, 1, 500, 'JPY', '' );
		$this->assertSame( array( 'orders' => 3, 'revenue' => array( 'JPY' => 500, 'USD' => 2999 ), 'refunds' => 0 ), self::call( 'orders_stats', $post )[1]['all'] );
		$this->assertSame( array( $post => 3 ), self::call( 'orders_totals', array( $post, $this->funnel() ) ) );
	}

	public function testFunnelListTotalsAreTheOffersViewsAndEveryPurchase() {
		global $wpdb;
		$post  = $this->funnel();
		$today = self::today()->format( 'Y-m-d' );
		foreach ( array( array( 0, 'sales', 3 ), array( 1, 'sales', 4 ), array( 0, 'download', 2 ), array( 2, 'download', 1 ) ) as list( $slot, $kind, $views ) ) {
			$wpdb->insert( 'wp_veltrano_unit__stats', array( 'funnel_id' => $post, 'slot' => $slot, 'kind' => $kind, 'day' => $today, 'views' => $views ) );
		}
		$this->assertSame( array( $post => array( 'offer' => 3, 'purchases' => 3 ) ), self::call( 'stats_totals', array( $post ) ) );
	}

	public function rates() {
		return array(
			'no views'    => array( 0, 0, '&ndash;' ),
			'an eighth'   => array( 1, 8, '12.5%' ),
			'a third'     => array( 1, 3, '33.3%' ),
			'every view'  => array( 3, 3, '100.0%' ),
		);
	}

	/** @dataProvider rates */
	public function testConversionRate( $purchases, $views, $expected ) {
		$this->assertSame( $expected, self::call( 'stats_rate', $purchases, $views ) );
	}

	public function revenues() {
		return array(
			'none'              => array( array(), '&ndash;' ),
			'cents'             => array( array( 'EUR' => 5 ), '0.05 EUR' ),
			'two currencies'    => array( array( 'USD' => 199999, 'JPY' => 500 ), '1,999.99 USD, 500 JPY' ),
			'markup in a code'  => array( array( '<b>' => 100 ), '1.00 &lt;b&gt;' ),
		);
	}

	/** @dataProvider revenues */
	public function testRevenueAsTheScreensWriteIt( $revenue, $expected ) {
		$this->assertSame( $expected, self::call( 'stats_revenue', $revenue ) );
	}

	public function testEachDayHasItsOwnVisitorKeyAndForgetsTheDayBefore() {
		global $wpdb;
		$key = self::call( 'stats_daily_key', '2030-01-01' );
		$this->assertSame( $key, self::call( 'stats_daily_key', '2030-01-01' ) );
		$this->assertGreaterThanOrEqual( 64, strlen( $key ) );
		// The day before and a day after, as when the site's time zone changes.
		$wpdb->insert( 'wp_veltrano_unit__stats_seen', array( 'visitor' => str_repeat( 'a', 64 ), 'day' => '2030-01-01' ) );
		$wpdb->insert( 'wp_veltrano_unit__stats_seen', array( 'visitor' => str_repeat( 'b', 64 ), 'day' => '2030-01-03' ) );
		$this->assertNotSame( $key, self::call( 'stats_daily_key', '2030-01-02' ) );
		$this->assertSame( '0', $wpdb->get_var( 'SELECT COUNT(*) FROM wp_veltrano_unit__stats_seen' ) );
	}
}
