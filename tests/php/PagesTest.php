<?php
/** The page serving: which layout a funnel's pages take, and who prints the title. */
class PagesTest extends PluginTestCase {

	public function layouts() {
		return array(
			'never chosen'       => array( null, 'canvas' ),
			'canvas'             => array( 'canvas', 'canvas' ),
			'theme'              => array( 'theme', 'theme' ),
			'another case'       => array( 'Theme', 'canvas' ),
			'unknown'            => array( 'sidebar', 'canvas' ),
			'not a text'         => array( array( 'theme' ), 'canvas' ),
		);
	}

	/** @dataProvider layouts */
	public function testLayoutOfAFunnel( $saved, $expected ) {
		$post = get_post( $this->funnel( null === $saved ? array() : array( 'unit_page_layout' => $saved ) ) );
		$this->assertSame( $expected, self::call( 'page_layout', $post ) );
	}

	public function testNoFunnelGetsTheCanvas() {
		$this->assertSame( 'canvas', self::call( 'page_layout', null ) );
	}

	public function posted() {
		return array(
			'nothing'      => array( null, '' ),
			'canvas'       => array( 'canvas', 'canvas' ),
			'theme'        => array( 'theme', 'theme' ),
			'another case' => array( 'Theme', 'theme' ),
			'unknown'      => array( 'sidebar', '' ),
			'not a text'   => array( array( 'theme' ), '' ),
		);
	}

	/** @dataProvider posted */
	public function testSavingKeepsOnlyAKnownLayout( $posted, $stored ) {
		$post                      = $this->funnel();
		$_POST['unit_page_layout'] = $posted;
		self::call( 'save_page_layout', $post );
		$this->assertSame( $stored, get_post_meta( $post, 'unit_page_layout', true ) );
	}

	/** The test site's theme is a classic one: it prints the title only around the theme layout. */
	public function testTheThemePrintsTheTitleOnlyInsideItsOwnHeader() {
		$this->assertFalse( wp_is_block_theme() );
		$this->assertTrue( self::call( 'theme_prints_title', 'theme' ) );
		$this->assertFalse( self::call( 'theme_prints_title', 'canvas' ) );
	}

	public function titles() {
		return array(
			'markup a filter let through' => array( 'Offer <script>x</script>', 'Offer &lt;script&gt;x&lt;/script&gt;' ),
			'quotes'                      => array( 'Say "yes"', 'Say &quot;yes&quot;' ),
			'escaped already: not twice'  => array( 'Tom &amp; Jerry &#8211; live', 'Tom &amp; Jerry &#8211; live' ),
		);
	}

	/** @dataProvider titles */
	public function testTheTitleIsEscapedWhereItIsPrinted( $title, $printed ) {
		$filter = static function () use ( $title ) {
			return $title;
		};
		add_filter( 'pre_get_document_title', $filter, 99 );
		ob_start();
		self::call( 'print_title_tag' );
		$out = ob_get_clean();
		remove_filter( 'pre_get_document_title', $filter, 99 );
		$this->assertSame( "<title>$printed</title>\n", $out );
	}
}
