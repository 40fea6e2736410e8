<?php
/**
 * Loads the WordPress that tests/php/run.sh set up, with the plugin "unit" active, as a request
 * to the site's front page would; the tests then call the plugin's functions.
 */

$_SERVER['HTTP_HOST']   = '127.0.0.1:9';
$_SERVER['SERVER_NAME'] = '127.0.0.1';
$_SERVER['REQUEST_URI'] = '/';
require getenv( 'VELTRANO_PHP_WP' ) . '/wp-load.php';

/**
 * Each test runs in a transaction of its own that is rolled back, so no test sees another's
 * funnels, orders or counts.
 */
abstract class PluginTestCase extends PHPUnit\Framework\TestCase {
	const PLUGIN = 'unit';

	/** Calls the plugin's function of this name, with the identifier's prefix. */
	protected static function call( $name, ...$args ) {
		return call_user_func_array( 'veltrano_' . self::PLUGIN . '__' . $name, $args );
	}

	protected static function plugin_dir() {
		return WP_PLUGIN_DIR . '/' . self::PLUGIN;
	}

	protected function setUp(): void {
		global $wpdb;
		$wpdb->query( 'START TRANSACTION' );
	}

	protected function tearDown(): void {
		global $wpdb;
		$wpdb->query( 'ROLLBACK' );
		wp_cache_flush();
		$_POST = array();
		$_GET  = array();
	}

	/** A published funnel with these post meta fields. */
	protected function funnel( array $meta = array() ) {
		$id = wp_insert_post(
			array(
				'post_type'   => self::call( 'post_type' ),
				'post_title'  => 'Funnel',
				'post_status' => 'publish',
			),
			true
		);
		$this->assertIsInt( $id );
		foreach ( $meta as $key => $value ) {
			update_post_meta( $id, $key, $value );
		}
		return $id;
	}
}
