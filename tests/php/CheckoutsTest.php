<?php
/**
 * The checkout's rules: what a provider may charge, whose network a checkout counts against
 * (behind a proxy the seller names, IPv6 by its /64), how long a provider's reference opens the
 * downloads, which PayPal deliveries are refused before PayPal is asked, and refunds.
 */
class CheckoutsTest extends PluginTestCase {

	public function limits() {
		return array(
			'Stripe under its USD minimum'  => array( 'stripe', 49, 'USD', 'Stripe charges at least 0.50 USD.' ),
			'Stripe at its USD minimum'     => array( 'stripe', 50, 'USD', '' ),
			'Stripe at its GBP minimum'     => array( 'stripe', 30, 'GBP', '' ),
			'Stripe under its GBP minimum'  => array( 'stripe', 29, 'GBP', 'Stripe charges at least 0.30 GBP.' ),
			'Stripe under its SEK minimum'  => array( 'stripe', 299, 'SEK', 'Stripe charges at least 3.00 SEK.' ),
			'Stripe under its JPY minimum'  => array( 'stripe', 49, 'JPY', 'Stripe charges at least 50 JPY.' ),
			'Stripe at eight digits'        => array( 'stripe', 99999999, 'USD', '' ),
			'Stripe over eight digits'      => array( 'stripe', 100000000, 'USD', 'Stripe charges at most 999999.99 USD.' ),
			'PayPal from one cent'          => array( 'paypal', 1, 'USD', '' ),
		);
	}

	/** @dataProvider limits */
	public function testProviderLimits( $check, $amount, $currency, $problem ) {
		$this->assertSame( $problem, self::call( 'payments_price_problem', $check, $amount, $currency ) );
	}

	public function clients() {
		$proxy = array( 'REMOTE_ADDR' => '203.0.113.5' );
		return array(
			'no proxy named: the header is the visitor\'s own' => array( '', array( 'REMOTE_ADDR' => '198.51.100.1', 'HTTP_X_FORWARDED_FOR' => '192.0.2.7' ), '198.51.100.1' ),
			'a named proxy: the client before it'            => array( '203.0.113.0/24', $proxy + array( 'HTTP_X_FORWARDED_FOR' => '192.0.2.7' ), '192.0.2.7' ),
			'a chain of named proxies'                       => array( "203.0.113.0/24\n10.0.0.0/8", $proxy + array( 'HTTP_X_FORWARDED_FOR' => '192.0.2.7, 10.1.2.3' ), '192.0.2.7' ),
			'what the client wrote itself stays out'         => array( '203.0.113.0/24', $proxy + array( 'HTTP_X_FORWARDED_FOR' => '6.6.6.6, 192.0.2.7' ), '192.0.2.7' ),
			'a range\'s edge: .255 is in /24'                => array( '203.0.113.0/24', array( 'REMOTE_ADDR' => '203.0.113.255', 'HTTP_X_FORWARDED_FOR' => '192.0.2.7' ), '192.0.2.7' ),
			'the next address is not'                        => array( '203.0.113.0/24', array( 'REMOTE_ADDR' => '203.0.114.0', 'HTTP_X_FORWARDED_FOR' => '192.0.2.7' ), '203.0.114.0' ),
			'an IPv6 proxy range'                            => array( '2001:db8::/32', array( 'REMOTE_ADDR' => '2001:db8:ffff::1', 'HTTP_X_FORWARDED_FOR' => '192.0.2.7' ), '192.0.2.7' ),
			'garbage in the header: the proxy itself'        => array( '203.0.113.0/24', $proxy + array( 'HTTP_X_FORWARDED_FOR' => 'unknown' ), '203.0.113.5' ),
		);
	}

	/** @dataProvider clients */
	public function testClientAddress( $proxies, $server, $expected ) {
		$saved = $_SERVER;
		update_option( 'veltrano_unit__payments', array( 'trusted_proxies' => $proxies ), false );
		unset( $_SERVER['HTTP_X_FORWARDED_FOR'] );
		$_SERVER = $server + $_SERVER;
		$address = self::call( 'payments_client_address' );
		$_SERVER = $saved;
		$this->assertSame( $expected, $address );
	}

	public function networks() {
		return array(
			'one IPv6 /64'                   => array( '2001:db8:1:2::1', '2001:db8:1:2:ffff:ffff:ffff:ffff', true ),
			'the next /64'                   => array( '2001:db8:1:2::1', '2001:db8:1:3::1', false ),
			'IPv4 written as IPv6'           => array( '::ffff:192.0.2.1', '192.0.2.1', true ),
			'IPv4 addresses one apart'       => array( '192.0.2.1', '192.0.2.2', false ),
		);
	}

	/** @dataProvider networks */
	public function testCheckoutsCountPerNetwork( $a, $b, $same ) {
		$this->assertSame( $same, self::call( 'payments_network_bucket', $a ) === self::call( 'payments_network_bucket', $b ) );
	}

	public function testTheLimitCountsTenPerNetworkAndKeepsNoAddress() {
		global $wpdb;
		$saved                  = $_SERVER['REMOTE_ADDR'] ?? null;
		$_SERVER['REMOTE_ADDR'] = '192.0.2.44';
		$post                   = $this->funnel();
		$price                  = array( 'amount' => 1999, 'currency' => 'USD' );
		$ids                    = array();
		for ( $i = 0; $i < 11; ++$i ) {
			$ids[] = self::call( 'checkouts_open', 'stripe', $post, 0, $price );
		}
		$_SERVER['REMOTE_ADDR'] = $saved;
		$this->assertSame( array( 0 ), array_slice( $ids, 10 ) );
		$this->assertNotContains( 0, array_slice( $ids, 0, 10 ) );
		$this->assertSame( '0', $wpdb->get_var( "SELECT COUNT(*) FROM wp_veltrano_unit__checkouts WHERE bucket LIKE '%192.0.2%'" ) );
	}

	public function references() {
		return array(
			'just paid'             => array( 0, 'paid', true ),
			'14 minutes later'      => array( 14 * 60, 'paid', true ),
			'16 minutes later'      => array( 16 * 60, 'paid', false ),
			'refunded at once'      => array( 0, 'refunded', false ),
			'disputed at once'      => array( 0, 'disputed', false ),
		);
	}

	/** @dataProvider references */
	public function testAProviderReferenceOpensOnlyInTheMinutesAfterThePayment( $ago, $status, $opens ) {
		$order = (object) array(
			'status'  => $status,
			'created' => gmdate( 'Y-m-d H:i:s', time() - $ago ),
		);
		$this->assertSame( $opens, self::call( 'payments_reference_opens', $order ) );
	}

	public function deliveries() {
		return array(
			'as PayPal sends it'          => array( array(), true ),
			'a certificate elsewhere'     => array( array( 'paypal_cert_url' => 'https://evil.example.com/v1/notifications/certs/CERT-1' ), false ),
			'the live host in test mode'  => array( array( 'paypal_cert_url' => 'https://api.paypal.com/v1/notifications/certs/CERT-1' ), false ),
			'not over HTTPS'              => array( array( 'paypal_cert_url' => 'http://api.sandbox.paypal.com/v1/notifications/certs/CERT-1' ), false ),
			'another port'                => array( array( 'paypal_cert_url' => 'https://api.sandbox.paypal.com:8443/v1/notifications/certs/CERT-1' ), false ),
			'another path'                => array( array( 'paypal_cert_url' => 'https://api.sandbox.paypal.com/v1/other/CERT-1' ), false ),
			'another algorithm'           => array( array( 'paypal_auth_algo' => 'SHA1withRSA' ), false ),
			// Seconds before now, made a time when the test runs: providers run long before their tests.
			'sent 300 s ago'              => array( array( 'paypal_transmission_time' => -299 ), true ),
			'sent 301 s ago'              => array( array( 'paypal_transmission_time' => -301 ), false ),
			'an id that is no id'         => array( array( 'paypal_transmission_id' => 'a b' ), false ),
			'no signature'                => array( array( 'paypal_transmission_sig' => '' ), false ),
		);
	}

	/** @dataProvider deliveries */
	public function testPayPalDeliveriesRefusedBeforePayPalIsAsked( $changes, $admitted ) {
		update_option( 'veltrano_unit__payments', array( 'paypal_webhook_id' => 'WH1' ), false );
		$request = new WP_REST_Request( 'POST', '/' );
		foreach ( $changes + array(
			'paypal_auth_algo'         => 'SHA256withRSA',
			'paypal_cert_url'          => 'https://api.sandbox.paypal.com/v1/notifications/certs/CERT-1',
			'paypal_transmission_id'   => '69cd13f0-d67a-11e5-baa3-778b53f4ae55',
			'paypal_transmission_sig'  => 'c2lnbmF0dXJl',
			'paypal_transmission_time' => gmdate( 'Y-m-d\TH:i:s\Z' ),
		) as $header => $value ) {
			$request->set_header( $header, is_int( $value ) ? gmdate( 'Y-m-d\TH:i:s\Z', time() + $value ) : $value );
		}
		$this->assertSame( $admitted, null !== self::call( 'paypal_transmission', $request ) );
	}

	public function testRefundsCountApartAndOffTheRevenue() {
		$post = $this->funnel();
		self::call( 'orders_record', 'stripe', 'cs_1', $post, 0, 1999, 'USD', '', 'pi_1' );
		self::call( 'orders_record', 'stripe', 'cs_2', $post, 0, 1999, 'USD', '', 'pi_2' );
		$this->assertTrue( self::call( 'orders_revoke', 'stripe', 'payment_ref', 'pi_2', 'refunded' ) );
		$this->assertFalse( self::call( 'orders_revoke', 'paypal', 'payment_ref', 'pi_1', 'refunded' ), 'another provider\'s payment of that id is not this order' );
		$this->assertSame(
			array(
				'orders'  => 1,
				'revenue' => array( 'USD' => 1999 ),
				'refunds' => 1,
			),
			self::call( 'orders_stats', $post )[0]['all']
		);
	}
}
