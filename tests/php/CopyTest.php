<?php
/** Each item's sales copy: made with the funnel, guarded like it, shown on its own page only. */
class CopyTest extends PluginTestCase {

	private function copies( $funnel ) {
		return get_posts( array( 'post_type' => self::call( 'copy_post_type' ), 'post_parent' => $funnel, 'post_status' => 'any', 'numberposts' => -1, 'orderby' => 'menu_order', 'order' => 'ASC' ) );
	}

	private function user( $role ) {
		return wp_insert_user( array( 'user_login' => "copy-$role-" . wp_generate_password( 6, false ), 'user_pass' => wp_generate_password(), 'role' => $role ) );
	}

	public function testEveryItemGetsOneCopyThatStartsFromItsProduct() {
		$funnel = $this->funnel();
		wp_update_post( array( 'ID' => $funnel, 'post_title' => 'Spring' ) );
		$copies = $this->copies( $funnel );
		$this->assertSame( array( 0, 1, 2, 3, 4 ), array_map( 'intval', wp_list_pluck( $copies, 'menu_order' ) ), 'one copy per item, saved twice' );
		$this->assertStringContainsString( 'Spring', $copies[1]->post_title );
		foreach ( $copies as $copy ) {
			$blocks = wp_list_pluck( array_filter( parse_blocks( $copy->post_content ), static function ( $b ) {
				return null !== $b['blockName'];
			} ), 'blockName' );
			$this->assertSame( 'core/heading', reset( $blocks ), "slot {$copy->menu_order} opens with the product's headline" );
			$this->assertContains( 'core/list', $blocks, "slot {$copy->menu_order} carries the product's list" );
			$this->assertStringContainsString( 'money-back guarantee', $copy->post_content );
		}
	}

	public function testFunnelsMadeBeforeCopiesGetEmptyOnes() {
		update_option( 'veltrano_unit__copy_since', PHP_INT_MAX );
		$funnel = $this->funnel();
		$this->assertSame( array( '', '', '', '', '' ), wp_list_pluck( $this->copies( $funnel ), 'post_content' ) );
	}

	public function testDeletingTheFunnelDeletesItsCopies() {
		$funnel = $this->funnel();
		$ids    = wp_list_pluck( $this->copies( $funnel ), 'ID' );
		wp_trash_post( $funnel );
		$this->assertCount( 5, $this->copies( $funnel ), 'a funnel in the trash keeps them' );
		wp_delete_post( $funnel, true );
		$this->assertSame( array(), array_filter( array_map( 'get_post', $ids ) ) );
	}

	public function rights() {
		return array(
			'editor'      => array( 'editor', true ),
			'author'      => array( 'author', false ),
			'contributor' => array( 'contributor', false ),
		);
	}

	/** @dataProvider rights */
	public function testWhoMayEditACopyIsWhoMayEditItsFunnel( $role, $may ) {
		$copy = $this->copies( $this->funnel() )[2];
		wp_set_current_user( $this->user( $role ) );
		$this->assertSame( $may, current_user_can( 'edit_post', $copy->ID ), 'edit' );
		$read = rest_do_request( new WP_REST_Request( 'GET', '/wp/v2/' . self::call( 'copy_post_type' ) . '/' . $copy->ID ) );
		$edit = new WP_REST_Request( 'POST', '/wp/v2/' . self::call( 'copy_post_type' ) . '/' . $copy->ID );
		$edit->set_body_params( array( 'content' => 'taken' ) );
		$edit = rest_do_request( $edit );
		$list = rest_do_request( new WP_REST_Request( 'GET', '/wp/v2/' . self::call( 'copy_post_type' ) ) );
		wp_set_current_user( 0 );
		$this->assertSame( array( $may, $may, $may ), array( 200 === $read->get_status(), 200 === $edit->get_status(), 200 === $list->get_status() ), 'REST read, edit, list' );
		$this->assertSame( $may, 'taken' === get_post( $copy->ID )->post_content );
	}

	public function lockedFunnels() {
		return array(
			'its funnel is gone'             => array( 'gone' ),
			'the site locks its funnel'      => array( 'locked' ),
		);
	}

	/** @dataProvider lockedFunnels */
	public function testNoOneEditsACopyWhoseFunnelTheyMayNotEdit( $case ) {
		$funnel = $this->funnel();
		$copy   = $this->copies( $funnel )[0];
		$lock   = static function ( $caps, $cap, $user, $args ) use ( $funnel ) {
			return 'edit_post' === $cap && isset( $args[0] ) && $funnel === (int) $args[0] ? array( 'do_not_allow' ) : $caps;
		};
		if ( 'gone' === $case ) {
			wp_update_post( array( 'ID' => $copy->ID, 'post_parent' => 0 ) );
		} else {
			add_filter( 'map_meta_cap', $lock, 5, 4 );
		}
		wp_set_current_user( $this->user( 'administrator' ) );
		$may = current_user_can( 'edit_post', $copy->ID );
		wp_set_current_user( 0 );
		remove_filter( 'map_meta_cap', $lock, 5 );
		$this->assertFalse( $may );
	}

	public function shown() {
		return array(
			'its own copy'                 => array( 'own', 1, true ),
			'another item of the funnel'   => array( 'own', 2, false ),
			'the same item of another'     => array( 'other', 1, false ),
			'a copy put back to draft'     => array( 'draft', 1, false ),
			'a copy of blank blocks only'  => array( 'blank', 1, false ),
		);
	}

	/** @dataProvider shown */
	public function testAPageShowsOnlyItsOwnItemsCopy( $case, $slot, $visible ) {
		$funnel = $this->funnel();
		$other  = $this->funnel();
		$copy   = $this->copies( 'other' === $case ? $other : $funnel )[1];
		wp_update_post( array( 'ID' => $copy->ID, 'post_status' => 'draft' === $case ? 'draft' : 'publish', 'post_content' => 'blank' === $case ? "<!-- wp:paragraph -->\n<p></p>\n<!-- /wp:paragraph -->" : "<!-- wp:paragraph -->\n<p>Marker copy</p>\n<!-- /wp:paragraph -->" ) );
		$html = self::call( 'copy_html', get_post( $funnel ), $slot );
		$this->assertSame( $visible, false !== strpos( $html, 'Marker copy' ) );
		if ( 'blank' === $case ) {
			$this->assertSame( '', $html );
		}
	}

	public function headlines() {
		return array(
			'the front end ignores an own field' => array( 0, 'Own', 'Front' ),
			'an offer without its own'           => array( 1, '', 'Front' ),
			'an offer with spaces only'          => array( 3, '  ', 'Front' ),
			'an offer with its own'              => array( 4, 'Own', 'Own' ),
		);
	}

	/** @dataProvider headlines */
	public function testAnItemsOwnHeadlineTakesThePlaceOfTheFrontEnds( $slot, $own, $shown ) {
		$funnel = $this->funnel( array( "unit_funnelitem_{$slot}_headline" => $own ) );
		$this->assertSame( $shown, self::call( 'copy_headline', $funnel, $slot, 'Front' ) );
	}

	public function printed() {
		$long = str_repeat( 'Words that sell. ', 40 );
		return array(
			'no copy: nothing at all' => array( '', '' ),
			'short: the copy alone'   => array( '<p>Short</p>', "<div class=\"unit-copy\">\n<p>Short</p>\n</div>\n" ),
			'long: a way to the button first' => array( "<p>$long</p>", "<p class=\"unit-to-order\"><a href=\"#funnelitem_button1\">Order now</a></p>\n<div class=\"unit-copy\">\n<p>$long</p>\n</div>\n" ),
			'a video: as long as a screen'    => array( '<figure class="wp-block-embed"></figure>', "<p class=\"unit-to-order\"><a href=\"#funnelitem_button1\">Order now</a></p>\n<div class=\"unit-copy\">\n<figure class=\"wp-block-embed\"></figure>\n</div>\n" ),
		);
	}

	/** @dataProvider printed */
	public function testTheCopyIsPrintedBetweenImageAndButton( $html, $out ) {
		$this->expectOutputString( $out );
		self::call( 'copy_print', $html, 'funnelitem_button1' );
	}

	public function sharing() {
		return array(
			'an excerpt of its own' => array( 'Copy text here', 'The excerpt', 'The excerpt' ),
			'the copy, shortened'   => array( 'Copy text here', '', 'Copy text here' ),
			'nothing to share'      => array( '', '', null ),
		);
	}

	/** @dataProvider sharing */
	public function testTheSalesPageTellsSearchAndSocialSitesWhatItIs( $content, $excerpt, $description ) {
		$funnel = $this->funnel();
		$copy   = $this->copies( $funnel )[0];
		wp_update_post( array( 'ID' => $copy->ID, 'post_content' => '' === $content ? '' : "<!-- wp:paragraph -->\n<p>$content</p>\n<!-- /wp:paragraph -->", 'post_excerpt' => $excerpt ) );
		$token = self::call( 'payments_box_of', 0 )['sales_token'];
		remove_all_actions( 'wp_head' );
		self::call( 'copy_page', get_post( $funnel ), $token, 'Title', 'Front', 'http://127.0.0.1:9/image.png' );
		ob_start();
		do_action( 'wp_head' );
		$head = ob_get_clean();
		if ( null === $description ) {
			$this->assertSame( '', $head );
			return;
		}
		foreach ( array( "name=\"description\" content=\"$description\"", "property=\"og:description\" content=\"$description\"", 'property="og:title" content="Title"', 'property="og:image" content="http://127.0.0.1:9/image.png"', 'name="twitter:card" content="summary_large_image"' ) as $tag ) {
			$this->assertStringContainsString( $tag, $head );
		}
	}

	public function boxes() {
		return array(
			'the item\'s box opens its copy'      => array( 'item', 'saved', array( 'Edit sales copy', 'post.php?post=%copy%&#038;action=edit' ) ),
			'a funnel not saved yet'               => array( 'item', 'none', array( 'Save the funnel to write' ) ),
			'the copy names its item and funnel'   => array( 'editor', 'saved', array( '&quot;Upsell #1&quot; in the funnel &quot;Funnel&quot;', 'Back to the funnel', 'post.php?post=%funnel%&#038;action=edit', 'View the sales page' ) ),
			'a copy whose funnel is gone says so'  => array( 'editor', 'orphan', array( 'is gone: it is not shown anywhere' ) ),
		);
	}

	/** @dataProvider boxes */
	public function testTheFunnelAndItsCopiesLeadToEachOther( $box, $state, $expected ) {
		wp_set_current_user( $this->user( 'editor' ) );
		$funnel = $this->funnel();
		$copy   = $this->copies( $funnel )[1];
		if ( 'none' === $state ) {
			wp_delete_post( $copy->ID, true );
		} elseif ( 'orphan' === $state ) {
			wp_update_post( array( 'ID' => $copy->ID, 'post_parent' => 0 ) );
		}
		ob_start();
		'item' === $box ? self::call( 'copy_box_row', get_post( $funnel ), 1 ) : self::call( 'copy_render_editor_box', get_post( $copy->ID ) );
		$html = ob_get_clean();
		wp_set_current_user( 0 );
		foreach ( $expected as $text ) {
			$this->assertStringContainsString( str_replace( array( '%copy%', '%funnel%' ), array( $copy->ID, $funnel ), $text ), $html );
		}
	}

	public function testTheSectionsArePatternsOfTheirOwnCategory() {
		$registry = WP_Block_Patterns_Registry::get_instance();
		$names    = array_keys( self::call( 'copy_sections' ) );
		$this->assertCount( 8, $names );
		foreach ( $names as $name ) {
			$pattern = $registry->get_registered( "unit/$name" );
			$this->assertSame( array( 'unit-sales-page' ), $pattern['categories'], $name );
			$blocks = array_filter( wp_list_pluck( parse_blocks( $pattern['content'] ), 'blockName' ) );
			$this->assertSame( array(), array_filter( $blocks, static function ( $b ) {
				return 0 !== strpos( $b, 'core/' );
			} ), "$name is made of core blocks" );
		}
		$this->assertTrue( WP_Block_Pattern_Categories_Registry::get_instance()->is_registered( 'unit-sales-page' ) );
	}
}
