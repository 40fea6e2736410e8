<?php
/**
 * The road's rules: where each answer leads, the visit's reference, an answer taken once, and a
 * quiet visit ended by the sweep with one mail.
 */
class RoadTest extends PluginTestCase {

	public function answers() {
		// Item answered, bought or not => where it leads, written out from the funnel's tree.
		return array(
			'the front end bought'            => array( 0, true, array( 'offer', 1 ) ),
			'upsell 1 taken'                  => array( 1, true, array( 'offer', 2 ) ),
			'upsell 1 declined'               => array( 1, false, array( 'offer', 3 ) ),
			'upsell 2 taken ends the road'    => array( 2, true, array( 'end', 2 ) ),
			'upsell 2 declined'               => array( 2, false, array( 'offer', 4 ) ),
			'downsell 1 taken'                => array( 3, true, array( 'end', 3 ) ),
			'downsell 1 declined: front end'  => array( 3, false, array( 'end', 0 ) ),
			'downsell 2 taken'                => array( 4, true, array( 'end', 4 ) ),
			'downsell 2 declined: upsell 1'   => array( 4, false, array( 'end', 1 ) ),
		);
	}

	/** @dataProvider answers */
	public function testWhereAnAnswerLeads( $slot, $accepted, $next ) {
		$this->assertSame( $next, self::call( 'road_next', $slot, $accepted, self::call( 'road_last_before', $slot ) ) );
	}

	/** A paid front end with its visit. */
	private function visit( $funnel ) {
		$order = self::call( 'orders_record', 'stripe', 'cs_road_' . wp_generate_password( 8, false ), $funnel, 0, 2000, 'USD', 'road@example.com', 'pi_road' );
		return self::call( 'road_begin', $order );
	}

	public function testReferenceOpensOnlyItsVisitOnItsFunnel() {
		$funnel = $this->funnel();
		$visit  = $this->visit( $funnel );
		$ref    = self::call( 'visits_reference', $visit );
		$this->assertSame( 1, (int) $visit->step );
		$this->assertEquals( $visit->id, self::call( 'visits_from_reference', $ref, $funnel )->id );
		$altered = substr( $ref, 0, -1 ) . ( 'a' === substr( $ref, -1 ) ? 'b' : 'a' );
		$forged  = str_repeat( 'f', 32 ) . '.' . substr( $ref, 33 );
		foreach ( array( $altered, $forged, $visit->token, '' ) as $wrong ) {
			$this->assertNull( self::call( 'visits_from_reference', $wrong, $funnel ), $wrong );
		}
		$this->assertNull( self::call( 'visits_from_reference', $ref, $this->funnel() ) );
		$this->assertEquals( $visit->id, self::call( 'road_begin', self::call( 'orders_get', $visit->front_order ) )->id, 'the return and the webhook open one visit' );
	}

	public function testAnAnswerIsTakenOnceAndTheSweepEndsAQuietVisit() {
		$visit = $this->visit( $this->funnel() );
		$this->assertSame( array( 'offer', 3 ), self::call( 'visits_answer', $visit, 1, false ) );
		$this->assertNull( self::call( 'visits_answer', $visit, 1, false ), 'a second answer to the same offer' );
		$this->assertNull( self::call( 'visits_answer', $visit, 2, true ), 'an answer off the road' );

		global $wpdb;
		$mails = array();
		$catch = static function ( $sent, $atts ) use ( &$mails ) {
			$mails[] = $atts;
			return true;
		};
		add_filter( 'pre_wp_mail', $catch, 10, 2 );
		$table = self::call( 'visits_table' );
		$wpdb->query( $wpdb->prepare( "UPDATE $table SET active = UTC_TIMESTAMP() - INTERVAL 59 MINUTE WHERE id = %d", $visit->id ) );
		self::call( 'visits_sweep' );
		$this->assertSame( 'open', self::call( 'visits_get', 'id', $visit->id )->status, 'a visit inside its minutes stays open' );
		$wpdb->query( $wpdb->prepare( "UPDATE $table SET active = UTC_TIMESTAMP() - INTERVAL 61 MINUTE WHERE id = %d", $visit->id ) );
		self::call( 'visits_sweep' );
		self::call( 'visits_sweep' );
		remove_filter( 'pre_wp_mail', $catch, 10 );
		$this->assertSame( 'ended', self::call( 'visits_get', 'id', $visit->id )->status );
		$this->assertCount( 1, $mails );
		$this->assertSame( 'road@example.com', $mails[0]['to'] );
		$this->assertStringContainsString( '20.00 USD', $mails[0]['message'] );
	}
}
