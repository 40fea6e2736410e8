<?php
/**
 * Every name the plugin defines in WordPress comes from its identifier, "unit" here, so that two
 * plugins never meet.
 */
class NamesTest extends PluginTestCase {

	public function names() {
		return array(
			'post type'         => array( 'post_type', array(), 'funnel_' . substr( md5( 'unit' ), 0, 12 ) ),
			'orders table'      => array( 'orders_table', array(), 'wp_veltrano_unit__orders' ),
			'counts table'      => array( 'stats_table', array(), 'wp_veltrano_unit__stats' ),
			'visitors table'    => array( 'stats_seen_table', array(), 'wp_veltrano_unit__stats_seen' ),
			'settings option'   => array( 'payments_option', array(), 'veltrano_unit__payments' ),
			'orders schema'     => array( 'orders_schema_option', array(), 'veltrano_unit__orders_schema' ),
			'counts schema'     => array( 'stats_schema_option', array(), 'veltrano_unit__stats_schema' ),
			'layout field'      => array( 'page_layout_key', array(), 'unit_page_layout' ),
			'funnel check'      => array( 'payments_meta_key', array( 'check' ), 'unit_payment_check' ),
			'an item\'s price' => array( 'payments_meta_key', array( 'price', 3 ), 'unit_payment_price_3' ),
		);
	}

	/** @dataProvider names */
	public function testNameComesFromTheIdentifier( $function, $args, $expected ) {
		$this->assertSame( $expected, self::call( $function, ...$args ) );
	}

	public function testPostTypeSlugAndTextDomainAreTheIdentifiers() {
		$type = get_post_type_object( self::call( 'post_type' ) );
		$this->assertNotNull( $type );
		// The slug is the post type's, which no address of the site meets; the earlier one the identifier.
		$this->assertSame( str_replace( '_', '-', self::call( 'post_type' ) ), $type->rewrite['slug'] );
		$this->assertSame( 'unit', self::call( 'earlier_slug' ) );
		require_once ABSPATH . 'wp-admin/includes/plugin.php';
		$this->assertSame( 'unit', get_plugin_data( self::plugin_dir() . '/plugin.php', false, false )['TextDomain'] );
	}

	/** Functions, classes and constants of every file the plugin loads, wherever it lies. */
	public function testEverythingThePluginDefinesCarriesItsPrefix() {
		$files  = $this->loadEveryFile();
		$dir    = self::plugin_dir() . '/';
		$theirs = static function ( $file ) use ( $dir ) {
			return 0 === strpos( (string) $file, $dir );
		};
		$names  = array();
		foreach ( get_defined_functions()['user'] as $function ) {
			if ( $theirs( ( new ReflectionFunction( $function ) )->getFileName() ) ) {
				$names[] = $function;
			}
		}
		foreach ( get_declared_classes() as $class ) {
			if ( $theirs( ( new ReflectionClass( $class ) )->getFileName() ) ) {
				$names[] = strtolower( $class );
			}
		}
		foreach ( $files as $file ) {
			preg_match_all( '/^\s*const\s+(\w+)|\bdefine\(\s*\'(\w+)/m', (string) file_get_contents( $file ), $m );
			$names = array_merge( $names, array_map( 'strtolower', array_filter( array_merge( $m[1], $m[2] ) ) ) );
		}
		$this->assertGreaterThan( 100, count( $names ) );
		$this->assertSame( array(), preg_grep( '/^veltrano_unit__/', $names, PREG_GREP_INVERT ) );
	}

	/** @return string[] The plugin's files that only define, each loaded. */
	private function loadEveryFile() {
		$loaded = array( self::plugin_dir() . '/plugin.php' );
		$files  = new RecursiveIteratorIterator( new RecursiveDirectoryIterator( self::plugin_dir() . '/modules', FilesystemIterator::SKIP_DOTS ) );
		foreach ( $files as $file ) {
			// The page templates and the index files run when included; the rest only define.
			if ( 'php' === $file->getExtension() && false === strpos( $file->getPathname(), '/template/' ) && 'index.php' !== $file->getFilename() ) {
				require_once $file->getPathname();
				$loaded[] = $file->getPathname();
			}
		}
		return $loaded;
	}
}
