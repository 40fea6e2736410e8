<?php
/**
 * Installs the test WordPress and activates the plugin, in a process of its own: the tests then
 * load a site that is set up, as every request after activation does.
 */

define( 'WP_INSTALLING', true );
$_SERVER['HTTP_HOST']   = '127.0.0.1:9';
$_SERVER['REQUEST_URI'] = '/';
require getenv( 'VELTRANO_PHP_WP' ) . '/wp-load.php';
require_once ABSPATH . 'wp-admin/includes/upgrade.php';
require_once ABSPATH . 'wp-admin/includes/plugin.php';

// The site's mail goes nowhere: this machine has no mail program.
add_filter( 'pre_wp_mail', '__return_true' );
$installed = wp_install( 'Veltrano PHP tests', 'admin', 'admin@example.com', false, '', 'admin-pass-unit' );
wp_set_current_user( $installed['user_id'] );
$activated = activate_plugin( 'unit/plugin.php' );
if ( is_wp_error( $activated ) ) {
	fwrite( STDERR, 'the plugin does not activate: ' . $activated->get_error_message() . "\n" );
	exit( 1 );
}
