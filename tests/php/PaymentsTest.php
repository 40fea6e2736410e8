<?php
/**
 * The payment check's stable rules: prices in each currency's smallest unit, Stripe's webhook
 * signature, the personal access links, and orders recorded once.
 */
class PaymentsTest extends PluginTestCase {

	public function amounts() {
		return array(
			'cents'                     => array( '19.99', 'USD', 1999 ),
			'one decimal'               => array( '19.9', 'EUR', 1990 ),
			'whole'                     => array( '19', 'GBP', 1900 ),
			'smallest'                  => array( '0.01', 'CHF', 1 ),
			'largest'                   => array( '999999999.99', 'USD', 99999999999 ),
			'ten digits'                => array( '1000000000', 'USD', null ),
			'three decimals'            => array( '19.999', 'USD', null ),
			'yen whole'                 => array( '1000', 'JPY', 1000 ),
			'yen zero decimals'         => array( '1000.00', 'JPY', 1000 ),
			'yen with a fraction'       => array( '1000.5', 'JPY', null ),
			'comma'                     => array( '19,99', 'USD', null ),
			'negative'                  => array( '-1', 'USD', null ),
			'no digits before'          => array( '.5', 'USD', null ),
			'no digits after'           => array( '5.', 'USD', null ),
			'unknown currency'          => array( '19.99', 'XYZ', null ),
			'currency in small letters' => array( '19.99', 'usd', null ),
			'a number, not a text'      => array( 19.99, 'USD', null ),
		);
	}

	/** @dataProvider amounts */
	public function testMinorUnits( $value, $currency, $expected ) {
		$this->assertSame( $expected, self::call( 'payments_minor_units', $value, $currency ) );
	}

	public function prices() {
		return array(
			'dollars'        => array( '19.99', 'USD', array( 1999, '19.99' ) ),
			'whole euros'    => array( '20', 'EUR', array( 2000, '20.00' ) ),
			'one cent'       => array( '0.01', 'USD', array( 1, '0.01' ) ),
			'free'           => array( '0', 'USD', null ),
			'free in cents'  => array( '0.00', 'USD', null ),
			'largest'        => array( '9999999.99', 'USD', array( 999999999, '9999999.99' ) ),
			'eight digits'   => array( '10000000', 'USD', null ),
			'yen'            => array( '500', 'JPY', array( 500, '500' ) ),
			'yen with cents' => array( '500.50', 'JPY', null ),
			'no currency'    => array( '19.99', '', null ),
			'no price'       => array( '', 'USD', null ),
		);
	}

	/** @dataProvider prices */
	public function testPriceOfAnItem( $price, $currency, $expected ) {
		$post = $this->funnel(
			array(
				'unit_payment_price_2'    => $price,
				'unit_payment_currency_2' => $currency,
			)
		);
		$got = self::call( 'payments_price', $post, 2 );
		$this->assertSame( $expected, null === $got ? null : array( $got['amount'], $got['price'] ) );
		if ( null !== $got ) {
			$this->assertSame( $currency, $got['currency'] );
			$this->assertNull( self::call( 'payments_price', $post, 1 ), 'another item has no price' );
		}
	}

	const NOW    = 1700000000;
	const SECRET = 'whsec_unit';
	const BODY   = '{"id":"evt_1","type":"checkout.session.completed"}';

	private static function stripe_header( $time, $secret = self::SECRET, $body = self::BODY ) {
		return "t=$time,v1=" . hash_hmac( 'sha256', "$time.$body", $secret );
	}

	public function signatures() {
		$now  = self::NOW;
		$good = self::stripe_header( $now );
		return array(
			'now'                      => array( $good, self::BODY, self::SECRET, true ),
			'299 s old'                => array( self::stripe_header( $now - 299 ), self::BODY, self::SECRET, true ),
			'300 s old'                => array( self::stripe_header( $now - 300 ), self::BODY, self::SECRET, true ),
			'301 s old'                => array( self::stripe_header( $now - 301 ), self::BODY, self::SECRET, false ),
			'300 s ahead'              => array( self::stripe_header( $now + 300 ), self::BODY, self::SECRET, true ),
			'301 s ahead'              => array( self::stripe_header( $now + 301 ), self::BODY, self::SECRET, false ),
			'another secret'           => array( self::stripe_header( $now, 'whsec_other' ), self::BODY, self::SECRET, false ),
			'another body'             => array( $good, self::BODY . ' ', self::SECRET, false ),
			'time changed'             => array( str_replace( "t=$now", 't=' . ( $now - 1 ), $good ), self::BODY, self::SECRET, false ),
			'second signature matches' => array( "t=$now,v1=" . str_repeat( '0', 64 ) . ',' . substr( $good, strpos( $good, 'v1=' ) ), self::BODY, self::SECRET, true ),
			'old scheme only'          => array( str_replace( 'v1=', 'v0=', $good ), self::BODY, self::SECRET, false ),
			'no time'                  => array( substr( $good, strpos( $good, 'v1=' ) ), self::BODY, self::SECRET, false ),
			'time not a number'        => array( "t=x$now," . substr( $good, strpos( $good, 'v1=' ) ), self::BODY, self::SECRET, false ),
			'signature cut short'      => array( substr( $good, 0, -1 ), self::BODY, self::SECRET, false ),
			'no secret set'            => array( self::stripe_header( $now, '' ), self::BODY, '', false ),
			'no header'                => array( null, self::BODY, self::SECRET, false ),
		);
	}

	/** @dataProvider signatures */
	public function testStripeSignature( $header, $body, $secret, $expected ) {
		$this->assertSame( $expected, self::call( 'stripe_signature_ok', $header, $body, $secret, self::NOW ) );
	}

	private function order( $post, $slot = 1, $payment = 'pi_1', $provider = 'stripe' ) {
		$order = self::call( 'orders_record', $provider, $payment, $post, $slot, 1999, 'usd', 'buyer@example.com' );
		$this->assertIsObject( $order );
		return $order;
	}

	/** The access link's value: order id, expiry, and the MAC of both. */
	private function access_value( $order ) {
		parse_str( (string) wp_parse_url( self::call( 'payments_access_url', $order ), PHP_URL_QUERY ), $query );
		return $query['veltrano_unit__access'];
	}

	public function testAccessLinkOpensItsOrderForTheSettingsDays() {
		update_option( 'veltrano_unit__payments', array( 'access_days' => 3 ) );
		$post  = $this->funnel();
		$order = $this->order( $post );
		$value = $this->access_value( $order );
		list( , $expires ) = explode( '.', $value );
		$this->assertEqualsWithDelta( time() + 3 * DAY_IN_SECONDS, (int) $expires, 5 );
		$this->assertEquals( $order->id, self::call( 'payments_access_order', $value, $post, 1 )->id );
	}

	public function refusedLinks() {
		$flip = static function ( $hex ) {
			return substr( $hex, 0, -1 ) . ( '0' === substr( $hex, -1 ) ? '1' : '0' );
		};
		return array(
			'MAC changed'        => array( static function ( $id, $expires, $mac ) use ( $flip ) { return "$id.$expires." . $flip( $mac ); } ),
			'expiry moved on'    => array( static function ( $id, $expires, $mac ) { return "$id." . ( $expires + 1 ) . ".$mac"; } ),
			'another order'      => array( static function ( $id, $expires, $mac ) { return ( $id + 1 ) . ".$expires.$mac"; } ),
			'capital hex'        => array( static function ( $id, $expires, $mac ) { return "$id.$expires." . strtoupper( $mac ); } ),
			'no MAC'             => array( static function ( $id, $expires, $mac ) { return "$id.$expires."; } ),
			'trailing text'      => array( static function ( $id, $expires, $mac ) { return "$id.$expires.$mac" . 'x'; } ),
		);
	}

	/** @dataProvider refusedLinks */
	public function testChangedAccessLinkOpensNothing( $change ) {
		$post  = $this->funnel();
		$order = $this->order( $post );
		$this->order( $post, 1, 'pi_2' );
		list( $id, $expires, $mac ) = explode( '.', $this->access_value( $order ) );
		$this->assertNull( self::call( 'payments_access_order', $change( $id, $expires, $mac ), $post, 1 ) );
	}

	public function expiries() {
		return array(
			'a second ago'   => array( -1, false ),
			'a day ago'      => array( -DAY_IN_SECONDS, false ),
			'in a minute'    => array( 60, true ),
		);
	}

	/** @dataProvider expiries */
	public function testAccessLinkExpires( $from_now, $opens ) {
		$post    = $this->funnel();
		$order   = $this->order( $post );
		$expires = time() + $from_now;
		$value   = "$order->id.$expires." . self::call( 'payments_access_mac', $order, $expires );
		$this->assertSame( $opens, null !== self::call( 'payments_access_order', $value, $post, 1 ) );
	}

	public function testAccessLinkOpensOnlyItsOwnPage() {
		$post  = $this->funnel();
		$value = $this->access_value( $this->order( $post ) );
		$this->assertNotNull( self::call( 'payments_access_order', $value, $post, 1 ) );
		$this->assertNull( self::call( 'payments_access_order', $value, $post, 2 ), 'another item' );
		$this->assertNull( self::call( 'payments_access_order', $value, $this->funnel(), 1 ), 'another funnel' );
	}

	public function testAnOrderIsRecordedOnce() {
		$post   = $this->funnel();
		$first  = $this->order( $post );
		$again  = $this->order( $post );
		$this->assertTrue( $first->is_new );
		$this->assertFalse( $again->is_new );
		$this->assertSame( $first->id, $again->id );
		$this->assertSame( array( 'USD', '1999', 'buyer@example.com' ), array( $first->currency, $first->amount, $first->email ) );
		$this->assertNull( self::call( 'orders_record', 'stripe', 'pi_1', $post, 2, 1999, 'USD', '' ), 'the payment opens no other item' );
		$this->assertNull( self::call( 'orders_record', 'stripe', 'pi_1', $this->funnel(), 1, 1999, 'USD', '' ), 'nor another funnel' );
		$this->assertNotEquals( $first->id, $this->order( $post, 1, 'pi_1', 'paypal' )->id, 'another provider\'s payment of the same id is another order' );
		global $wpdb;
		$this->assertSame( '2', $wpdb->get_var( 'SELECT COUNT(*) FROM wp_veltrano_unit__orders' ) );
	}

	public function testAnOrderKeepsNoAddressThatIsNone() {
		$order = self::call( 'orders_record', 'paypal', 'CAP-1', $this->funnel(), 0, 500, 'JPY', 'not an address' );
		$this->assertSame( '', $order->email );
	}
}
