<?php
/**
 * PHP side of tests/e2e/wordpress.sh: runs inside the test WordPress (CLI) and
 * talks to it over HTTP. Prints one "ok - ..." or "not ok - ..." line per
 * check; exits 1 when a check failed.
 *
 *   php wp-e2e.php install
 *   php wp-e2e.php plugin-install ZIP ID
 *   php wp-e2e.php check PLUGIN_DIR
 *   php wp-e2e.php autosave PLUGIN_DIR
 *   php wp-e2e.php reactivate-pretty PLUGIN_DIR
 *   php wp-e2e.php check-pretty PLUGIN_DIR
 *   php wp-e2e.php upgrade-fill PLUGIN_DIR
 *   php wp-e2e.php upgrade-replace ZIP ID
 *   php wp-e2e.php upgrade-check OLD_PLUGIN_DIR NEW_PLUGIN_DIR
 *   php wp-e2e.php metadata PLUGIN_DIR
 *   php wp-e2e.php translations-setup PLUGIN_DIR
 *   php wp-e2e.php translations PLUGIN_DIR
 *   php wp-e2e.php stats PLUGIN_DIR
 *   php wp-e2e.php theme [STYLESHEET]
 *   php wp-e2e.php set-active PLUGIN_DIR 0|1
 *   php wp-e2e.php requests PLUGIN_DIR FILE
 *   php wp-e2e.php forget-checked PLUGIN_DIR
 *   php wp-e2e.php colours PLUGIN_DIR WORK_DIR
 *   php wp-e2e.php uninstall PLUGIN_DIR [NEXT_PLUGIN_DIR]
 *   php wp-e2e.php neighbours ZIP PLUGIN_DIR [ZIP PLUGIN_DIR ...]
 *   php wp-e2e.php payments PLUGIN_DIR (wp-e2e-payments.php)
 *   php wp-e2e.php copy PLUGIN_DIR (wp-e2e-copy.php)
 *   php wp-e2e.php split PLUGIN_DIR (wp-e2e-split.php)
 *   php wp-e2e.php edit-screen PLUGIN_DIR WORK_DIR
 *
 * E2E_WP is the WordPress folder, E2E_URL its address.
 */

$e2e_failed = 0;

// The steps by concern, and what they share.
require __DIR__ . '/wp-e2e-helpers.php';
require __DIR__ . '/wp-e2e-site.php';
require __DIR__ . '/wp-e2e-pages.php';
require __DIR__ . '/wp-e2e-stats.php';
require __DIR__ . '/wp-e2e-payments.php';
require __DIR__ . '/wp-e2e-payments-trust.php';
require __DIR__ . '/wp-e2e-road.php';
require __DIR__ . '/wp-e2e-copy.php';
require __DIR__ . '/wp-e2e-split.php';
require_once __DIR__ . '/wp-e2e-htmlcheck.php';

$args = array_slice( $argv, 1 );
$cmd  = array_shift( $args );
switch ( $cmd ) {
	case 'install':
		cmd_install();
		break;
	case 'plugin-install':
		cmd_plugin_install( $args[0], $args[1] );
		break;
	case 'check':
		cmd_check( $args[0] );
		break;
	case 'autosave':
		cmd_autosave( $args[0] );
		break;
	case 'safety':
		cmd_safety( $args[0] );
		break;
	case 'reactivate-pretty':
		cmd_reactivate_pretty( $args[0] );
		break;
	case 'check-pretty':
		cmd_check_pretty( $args[0] );
		break;
	case 'metadata':
		cmd_metadata( $args[0] );
		break;
	case 'translations-setup':
		cmd_translations_setup( $args[0] );
		break;
	case 'translations':
		cmd_translations( $args[0] );
		break;
	case 'stats':
		cmd_stats( $args[0] );
		break;
	case 'theme':
		cmd_theme( isset( $args[0] ) ? $args[0] : '' );
		break;
	case 'set-active':
		cmd_set_active( $args[0], '1' === $args[1] );
		break;
	case 'colours':
		cmd_colours( $args[0], $args[1] );
		break;
	case 'forget-checked':
		cmd_forget_checked( $args[0] );
		break;
	case 'requests':
		cmd_requests( $args[0], $args[1] );
		break;
	case 'uninstall':
		cmd_uninstall( $args[0], isset( $args[1] ) ? $args[1] : '' );
		break;
	case 'showcase':
		cmd_showcase( $args[0] );
		break;
	case 'stats-showcase':
		cmd_stats_showcase( $args[0], $args[1] );
		break;
	case 'neighbours':
		cmd_neighbours( $args );
		break;
	case 'upgrade-fill':
		cmd_upgrade_fill( $args[0] );
		break;
	case 'upgrade-replace':
		cmd_upgrade_replace( $args[0], $args[1] );
		break;
	case 'payments':
		cmd_payments( $args[0] );
		break;
	case 'road':
		cmd_road( $args[0] );
		break;
	case 'edit-screen':
		cmd_edit_screen( $args[0], $args[1] );
		break;
	case 'copy':
		html_check_pages( cmd_copy( $args[0] ) );
		break;
	case 'split':
		cmd_split( $args[0] );
		break;
	case 'split-showcase':
		cmd_split_showcase( $args[0], $args[1] );
		break;
	case 'road-showcase':
		cmd_road_showcase( $args[0] );
		break;
	case 'upgrade-check':
		cmd_upgrade_check( $args[0], $args[1] );
		break;
	default:
		fwrite( STDERR, "unknown command '$cmd'\n" );
		exit( 2 );
}
exit( $e2e_failed ? 1 : 0 );
