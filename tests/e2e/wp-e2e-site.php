<?php
/**
 * The plugin in the site: install, activation, header, readme and translations,
 * plugins that could meet, a rebuild replacing its plugin, uninstall.
 * Part of tests/e2e/wp-e2e.php, which loads it.
 */

function cmd_install() {
	load_wordpress( true );
	require_once ABSPATH . 'wp-admin/includes/upgrade.php';
	$r = wp_install( 'Veltrano E2E', 'admin', 'admin@example.com', true, '', 'admin-pass-e2e' );
	ok( is_array( $r ) && ! empty( $r['user_id'] ), 'WordPress installs' );
	update_option( 'permalink_structure', '' );
	delete_option( 'rewrite_rules' );
	foreach ( array( 'author', 'subscriber', 'contributor', 'editor' ) as $role ) {
		$uid = wp_insert_user(
			array(
				'user_login' => $role,
				'user_pass'  => "$role-pass-e2e",
				'user_email' => "$role@example.com",
				'role'       => $role,
			)
		);
		ok( is_int( $uid ), "user '$role' created" );
	}
	// The seller: an editor who may not post raw HTML, as on a site that disallows it.
	$seller = new WP_User(
		wp_insert_user(
			array(
				'user_login' => 'seller',
				'user_pass'  => 'seller-pass-e2e',
				'user_email' => 'seller@example.com',
				'role'       => 'editor',
			)
		)
	);
	$seller->add_cap( 'unfiltered_html', false );
	ok( $seller->exists() && ! user_can( $seller, 'unfiltered_html' ) && user_can( $seller, 'edit_others_posts' ), "user 'seller' created, an editor without raw HTML" );
}

function cmd_plugin_install( $zip, $id ) {
	load_wordpress();
	require_once ABSPATH . 'wp-admin/includes/admin.php';
	require_once ABSPATH . 'wp-admin/includes/class-wp-upgrader.php';
	wp_set_current_user( user_id( 'admin' ) );

	$skin     = new Automatic_Upgrader_Skin();
	$upgrader = new Plugin_Upgrader( $skin );
	$result   = $upgrader->install( $zip );
	ok( true === $result, "$id: installs through the plugin installer", implode( ' | ', $skin->get_upgrade_messages() ) . ( is_wp_error( $result ) ? $result->get_error_message() : '' ) );
	$file = $upgrader->plugin_info();
	ok( "$id/plugin.php" === $file, "$id: WordPress finds the plugin header in $id/plugin.php", (string) $file );

	ob_start();
	$activated = activate_plugin( "$id/plugin.php" );
	$output    = ob_get_clean();
	ok( null === $activated, "$id: activates", is_wp_error( $activated ) ? $activated->get_error_code() . ': ' . $activated->get_error_message() . ' ' . wp_json_encode( $activated->get_error_data() ) : '' );
	ok( '' === $output, "$id: activation prints nothing", $output );
	ok( is_plugin_active( "$id/plugin.php" ), "$id: is active" );
}

/**
 * The header as WordPress reads it, against what this WordPress and this PHP
 * are: the figures it claims are the ones proven here. readme.txt, read by
 * WordPress's own get_file_data(), repeats them.
 */
function cmd_metadata( $dir ) {
	global $wp_version;
	load_wordpress();
	require_once ABSPATH . 'wp-admin/includes/plugin.php';
	$f       = plugin_facts( $dir );
	$id      = $f['id'];
	$header  = get_plugin_data( WP_PLUGIN_DIR . '/' . $f['file'], false, false );
	$license = get_file_data( WP_PLUGIN_DIR . '/' . $f['file'], array( 'License' => 'License', 'LicenseURI' => 'License URI' ) );
	$proven  = array(
		'wp'  => implode( '.', array_slice( explode( '.', $wp_version ), 0, 2 ) ),
		'php' => PHP_MAJOR_VERSION . '.' . PHP_MINOR_VERSION,
	);
	// WordPress ends a header value at a PHP end tag, as it does for every plugin.
	ok( _cleanup_header_comment( $f['name'] ) === $header['Name'], "$id: header names the plugin", $header['Name'] );
	// The oldest WordPress is Debian's 6.1, which CI proves; a newer tree must be allowed.
	ok( '' !== $header['RequiresWP'] && version_compare( $header['RequiresWP'], $proven['wp'], '<=' ), "$id: header requires no newer WordPress than the one proven here ({$proven['wp']})", $header['RequiresWP'] );
	// The oldest PHP is proven by the lint on PHP 7.4 (tests/php-versions); this one must be allowed.
	ok( '' !== $header['RequiresPHP'] && version_compare( $header['RequiresPHP'], $proven['php'], '<=' ), "$id: header requires no newer PHP than the one proven here ({$proven['php']})", $header['RequiresPHP'] );
	ok( '' === $header['PluginURI'], "$id: header names no plugin site, since the seller gave none", $header['PluginURI'] );
	$r   = http( 'GET', admin_url( 'plugins.php' ), null, auth_cookies( user_id( 'admin' ) ) );
	$row = preg_match( '#<tr [^>]*data-plugin="' . preg_quote( $f['file'], '#' ) . '".*?</tr>#s', $r['body'], $m ) ? $m[0] : '';
	ok( '' !== $row && false === strpos( $row, 'Visit plugin site' ), "$id: the Plugins screen links no plugin site", substr( strip_tags( $row ), 0, 300 ) );
	ok( $id === $header['TextDomain'] && '/languages' === $header['DomainPath'] && is_dir( WP_PLUGIN_DIR . "/$id/languages" ), "$id: header names the text domain and its folder", $header['TextDomain'] . ' ' . $header['DomainPath'] );
	ok( '' !== $license['License'] && ( 'GPL-2.0-or-later' !== $license['License'] || 'https://www.gnu.org/licenses/gpl-2.0.html' === $license['LicenseURI'] ), "$id: header names the licence and where to read it", wp_json_encode( $license ) );
	foreach ( array( 'Description', 'Author', 'AuthorURI', 'PluginURI' ) as $field ) {
		ok( false === stripos( $header[ $field ], 'Enter your' ), "$id: header's $field is no hint text", $header[ $field ] );
	}

	$readme = get_file_data(
		WP_PLUGIN_DIR . "/$id/readme.txt",
		array(
			'Contributors' => 'Contributors',
			'RequiresWP'  => 'Requires at least',
			'TestedUpTo'  => 'Tested up to',
			'RequiresPHP' => 'Requires PHP',
			'StableTag'   => 'Stable tag',
			'License'     => 'License',
			'LicenseURI'  => 'License URI',
		)
	);
	$title = strtok( (string) file_get_contents( WP_PLUGIN_DIR . "/$id/readme.txt" ), "\n" );
	ok( '=== ' . $f['name'] . ' ===' === $title, "$id: readme.txt is headed by the plugin name", $title );
	ok( $header['Version'] === $readme['StableTag'] && '' !== $readme['StableTag'], "$id: readme.txt's stable tag is the version", wp_json_encode( $readme ) );
	ok( $header['RequiresWP'] === $readme['RequiresWP'] && $header['RequiresPHP'] === $readme['RequiresPHP'], "$id: readme.txt requires what the header requires", wp_json_encode( $readme ) );
	ok( '' !== $readme['TestedUpTo'] && version_compare( $readme['TestedUpTo'], $proven['wp'], '>=' ), "$id: readme.txt is tested up to the WordPress proven here ({$proven['wp']}) or a newer one", $readme['TestedUpTo'] );
	// The author as a wordpress.org user name (a-z and 0-9), or no line when the author gives none.
	$user = substr( preg_replace( '/[^a-z0-9]/', '', strtolower( remove_accents( $header['Author'] ) ) ), 0, 50 );
	ok( $user === $readme['Contributors'] && ( '' === $user ) === ( false === strpos( (string) file_get_contents( WP_PLUGIN_DIR . "/$id/readme.txt" ), "\nContributors:" ) ), "$id: readme.txt's contributor is the author as a wordpress.org user name", wp_json_encode( array( $header['Author'], $readme['Contributors'] ) ) );
	ok( $license['License'] === $readme['License'] && $license['LicenseURI'] === $readme['LicenseURI'], "$id: readme.txt names the header's licence", wp_json_encode( $readme ) );
}

/**
 * The plugin's texts come in the site's language: a German translation put
 * into the plugin's languages folder reaches its pages and its screens. The
 * files go in first, then the site is switched in a new process, as a site
 * owner would: WordPress lists the installed languages once per process.
 */
function cmd_translations_setup( $dir ) {
	load_wordpress();
	require_once ABSPATH . WPINC . '/pomo/mo.php';
	$f  = plugin_facts( $dir );
	$id = $f['id'];
	$mo = new MO();
	$mo->set_header( 'Content-Type', 'text/plain; charset=UTF-8' );
	$german = array(
		'Thank you for your purchase!'       => 'Vielen Dank für Ihren Kauf!',
		'Your downloads'                     => 'Ihre Downloads',
		'This funnel page is not available.' => 'Diese Seite ist nicht verfügbar.',
		'Add New Funnel'                     => 'Neuen Funnel erstellen',
		'Sales page views'                   => 'Aufrufe der Verkaufsseite',
	);
	foreach ( $german as $english => $translation ) {
		$mo->add_entry( new Translation_Entry( array( 'singular' => $english, 'translations' => array( $translation ) ) ) );
	}
	$file = WP_PLUGIN_DIR . "/$id/languages/$id-de_DE.mo";
	ok( $mo->export_to_file( $file ), "$id: a German translation is put into its languages folder" );
	// WordPress offers only the languages it has a translation of its own for.
	wp_mkdir_p( WP_LANG_DIR );
	$core = new MO();
	$core->export_to_file( WP_LANG_DIR . '/de_DE.mo' );
}

function cmd_translations( $dir ) {
	load_wordpress();
	$f    = plugin_facts( $dir );
	$id   = $f['id'];
	$file = WP_PLUGIN_DIR . "/$id/languages/$id-de_DE.mo";
	update_option( 'WPLANG', 'de_DE' );
	ok( 'de_DE' === get_option( 'WPLANG' ), "$id: the site speaks German" );

	$post = create_funnel( $f, user_id( 'admin' ), 'publish', "E2E translated $id" );
	$link = get_permalink( $post );
	$r    = http( 'GET', add_query_arg( 'step', $f['slots'][0]['download'], $link ) );
	ok( false !== strpos( $r['body'], '>Vielen Dank für Ihren Kauf!</h1>' ) && false !== strpos( $r['body'], '<title>Ihre Downloads</title>' ), "$id: the download page speaks the site's language", substr( strip_tags( $r['body'] ), 0, 300 ) );
	$r = http( 'GET', $link );
	ok( false !== strpos( $r['body'], 'Diese Seite ist nicht verfügbar.' ), "$id: the default page speaks the site's language" );
	$r = http( 'GET', admin_url( 'post-new.php?post_type=' . funnel_type( $f ) ), null, auth_cookies( user_id( 'admin' ) ) );
	ok( false !== strpos( $r['body'], 'Neuen Funnel erstellen' ) && false !== strpos( $r['body'], '<th scope="row">Aufrufe der Verkaufsseite</th>' ), "$id: the funnel screens, statistics included, speak the site's language" );

	update_option( 'WPLANG', '' );
	unlink( $file );
	unlink( WP_LANG_DIR . '/de_DE.mo' );
	wp_delete_post( $post, true );
}

/** Every row of every table that mentions one of the needles, as "table: row". */
function rows_mentioning( $needles ) {
	global $wpdb;
	$found = array();
	foreach ( $wpdb->get_col( 'SHOW TABLES' ) as $table ) {
		foreach ( $wpdb->get_results( "SELECT * FROM `$table`", ARRAY_A ) as $row ) {
			$text = implode( "\t", array_map( 'strval', $row ) );
			foreach ( $needles as $needle ) {
				if ( false !== strpos( $text, $needle ) ) {
					$found[] = "$table: " . substr( $text, 0, 120 );
					break;
				}
			}
		}
	}
	return $found;
}

/**
 * Deletes the plugin through WordPress's own delete_plugins(), which runs its
 * uninstall.php, and looks through the whole database for anything left of
 * it. The next plugin's funnels must survive.
 */
function cmd_uninstall( $dir, $next_dir = '' ) {
	global $wpdb;
	load_wordpress();
	require_once ABSPATH . 'wp-admin/includes/admin.php';
	$f     = plugin_facts( $dir );
	$id    = $f['id'];
	$type  = funnel_type( $f );
	$admin = user_id( 'admin' );
	wp_set_current_user( $admin );

	// Something of every kind the plugin leaves: funnels in every state, their
	// revisions, and the edit screen's remembered settings.
	$trashed = create_funnel( $f, $admin, 'publish', "E2E trashed $id" );
	wp_trash_post( $trashed );
	create_funnel( $f, $admin, 'draft', "E2E draft before uninstall $id" );
	update_user_meta( $admin, "closedpostboxes_$type", array( $id . '_funnelitem_0' ) );
	update_user_meta( $admin, "meta-box-order_$type", array( 'normal' => $id . '_funnelitem_0' ) );
	$funnels = $wpdb->get_col( $wpdb->prepare( "SELECT ID FROM {$wpdb->posts} WHERE post_type = %s", $type ) );
	ok( count( $funnels ) >= 5, "$id: funnels to remove are there (" . count( $funnels ) . ')' );
	$copy_type = call_user_func( plugin_name( $id, 'copy_post_type' ) );
	$orphan    = wp_insert_post( array( 'post_type' => $copy_type, 'post_status' => 'publish', 'post_content' => "E2E orphan copy $id" ) );
	$copies    = $wpdb->get_col( $wpdb->prepare( "SELECT ID FROM {$wpdb->posts} WHERE post_type = %s", $copy_type ) );
	ok( count( $copies ) > 1 && $orphan > 0, "$id: sales copies to remove are there, one without its funnel (" . count( $copies ) . ')' );
	$next       = '' !== $next_dir ? funnel_type( plugin_facts( $next_dir ) ) : '';
	$next_count = '' !== $next ? (int) $wpdb->get_var( $wpdb->prepare( "SELECT COUNT(*) FROM {$wpdb->posts} WHERE post_type = %s", $next ) ) : 0;

	$stats_table  = stats_table( $f );
	$orders_table = $wpdb->prefix . plugin_name( $id, 'orders' );
	ok( table_exists( $stats_table ) && false !== get_option( plugin_name( $id, 'stats_schema' ) ), "$id: the statistics table is there before the uninstall" );
	ok( table_exists( $orders_table ) && false !== get_option( plugin_name( $id, 'orders_schema' ) ), "$id: the orders table is there before the uninstall" );
	update_option( plugin_name( $id, 'payments' ), array( 'stripe_secret_key' => 'sk_test_gone' ), false );
	// What a plugin of the identifier "<id>__rate" would keep: its names begin like this one's.
	$neighbour = 'veltrano_' . $id . '__rate__checkouts_e2e';
	set_transient( $neighbour, 7, HOUR_IN_SECONDS );
	deactivate_plugins( $f['file'] );
	ob_start();
	$deleted = delete_plugins( array( $f['file'] ) );
	$output  = ob_get_clean();
	ok( true === $deleted && '' === $output, "$id: delete_plugins() deletes the plugin", ( is_wp_error( $deleted ) ? $deleted->get_error_message() : wp_json_encode( $deleted ) ) . $output );
	ok( ! file_exists( WP_PLUGIN_DIR . "/$id" ), "$id: plugin folder is gone" );

	wp_cache_flush();
	ok( ! table_exists( $stats_table ) && ! table_exists( $stats_table . '_seen' ), "$id: the statistics tables are dropped" );
	ok( array( false, false, false ) === array( get_option( plugin_name( $id, 'stats_schema' ) ), get_option( plugin_name( $id, 'stats_key' ) ), get_option( plugin_name( $id, 'stats_items' ) ) ), "$id: the statistics' options are deleted" );
	$kept = 7 === (int) get_transient( $neighbour );
	delete_transient( $neighbour );
	ok( $kept, "$id: deleting it leaves the transient of a plugin whose identifier is \"{$id}__rate\"" );
	$left = $wpdb->get_col( $wpdb->prepare( "SELECT option_name FROM {$wpdb->options} WHERE option_name LIKE %s", '%' . $wpdb->esc_like( plugin_name( $id, '' ) ) . '%' ) );
	ok( ! table_exists( $orders_table ) && ! table_exists( $wpdb->prefix . plugin_name( $id, 'checkouts' ) ) && array() === $left, "$id: the orders and checkouts tables and every option of the plugin (credentials, secret) are gone", implode( ', ', $left ) );
	$needles = array( $type, $copy_type, $id . '_funnelitem_', "E2E trashed $id", "E2E funnel $id", "E2E guard $id", "E2E orphan copy $id" );
	foreach ( array_merge( $funnels, $copies ) as $funnel ) {
		$needles[] = "\t$funnel-revision-v1\t";
		$needles[] = "\t$funnel-autosave-v1\t";
	}
	$left = rows_mentioning( $needles );
	ok( array() === $left, "$id: no row of the database mentions the plugin's funnels, their fields or its screens", implode( ' | ', $left ) );
	$meta = (int) $wpdb->get_var( "SELECT COUNT(*) FROM {$wpdb->postmeta} WHERE post_id IN (" . implode( ',', array_map( 'intval', $funnels ) ) . ')' );
	ok( 0 === $meta, "$id: no meta of its funnels is left", "$meta rows" );
	if ( '' !== $next ) {
		$now = (int) $wpdb->get_var( $wpdb->prepare( "SELECT COUNT(*) FROM {$wpdb->posts} WHERE post_type = %s", $next ) );
		ok( $next_count > 0 && $now === $next_count, "$id: another plugin's funnels stay", "$next_count before, $now after" );
	}
}

// --- A rebuilt funnel replacing its plugin -----------------------------------------------------

const E2E_UPGRADE_TITLE = 'E2E upgrade funnel';

function upgrade_values( $facts ) {
	$v = array( meta_key( $facts, 0, 'headline' ) => 'Upgrade headline kept' );
	foreach ( array_keys( $facts['slots'] ) as $n ) {
		$v[ meta_key( $facts, $n, 'pagetitle' ) ] = "Upgrade title $n";
		$v[ meta_key( $facts, $n, 'code' ) ]      = "<a class=\"buy\" href=\"https://pay.example.com/up$n\">Buy $n</a>";
	}
	return $v;
}


/**
 * Plugins that could meet: identifiers whose names would nest ("cc" and
 * "cc_register"), one whose old table name is a well-known statistics
 * plugin's ("slim", beside a wp_slim_stats of its own), active together with
 * a funnel and counts each; then deleted one by one, each leaving the others'
 * funnels, counts and the foreign table as they were.
 *
 * @param string[] $pairs ZIP DIR ZIP DIR ...
 */
function cmd_neighbours( $pairs ) {
	global $wpdb;
	load_wordpress();
	require_once ABSPATH . 'wp-admin/includes/admin.php';
	require_once ABSPATH . 'wp-admin/includes/class-wp-upgrader.php';
	wp_set_current_user( user_id( 'admin' ) );
	$foreign = $wpdb->prefix . 'slim_stats';
	$wpdb->query( "CREATE TABLE $foreign (id int unsigned NOT NULL AUTO_INCREMENT, resource varchar(255) NOT NULL, PRIMARY KEY (id))" );
	$wpdb->query( "INSERT INTO $foreign (resource) VALUES ('/a'), ('/b')" );
	$foreign_shape = static function () use ( $wpdb, $foreign ) {
		return wp_json_encode( array( $wpdb->get_col( "SHOW COLUMNS FROM $foreign" ), $wpdb->get_col( "SELECT resource FROM $foreign" ) ) );
	};
	$before = $foreign_shape();
	// Another plugin's option of the name this plugin's earlier versions used.
	update_option( 'slim_stats_schema', 'foreign-7' );

	$plugins = array();
	for ( $i = 0; $i + 1 < count( $pairs ); $i += 2 ) {
		$upgrader = new Plugin_Upgrader( new Automatic_Upgrader_Skin() );
		$f        = plugin_facts( $pairs[ $i + 1 ] );
		ok( true === $upgrader->install( $pairs[ $i ] ) && null === activate_plugin( $f['file'] ), "{$f['id']}: installs and activates beside the others" );
		$plugins[ $f['id'] ] = $f;
	}
	ok( count( $plugins ) === count( array_filter( array_keys( $plugins ), static function ( $id ) { return is_plugin_active( "$id/plugin.php" ); } ) ), 'the neighbours are all active at once' );
	$r = http( 'GET', home_url( '/' ) );
	ok( 200 === $r['status'] && '' === page_error( $r['body'] ), 'the site answers with the neighbours active', $r['status'] . ' ' . page_error( $r['body'] ) );

	// A funnel and a counted view in each, through the site as visitors see it.
	$funnels = array();
	foreach ( $plugins as $id => $f ) {
		$post = create_funnel( $f, user_id( 'admin' ), 'publish', "E2E neighbour $id" );
		update_post_meta( $post, meta_key( $f, 0, 'pagetitle' ), "Neighbour $id" );
		$r = visit( add_query_arg( 'step', $f['slots'][0]['sales'], get_permalink( $post ) ) );
		ok( 200 === $r['status'] && false !== strpos( $r['body'], "Neighbour $id" ), "$id: its sales page answers beside the others", $r['status'] );
		$funnels[ $id ] = $post;
	}
	ok( $before === $foreign_shape(), 'the foreign wp_slim_stats is untouched by the activations', $foreign_shape() );
	wp_cache_flush();
	ok( 'foreign-7' === get_option( 'slim_stats_schema' ), 'the foreign option slim_stats_schema is untouched by the activations and the first views' );
	$state = static function () use ( &$plugins, &$funnels ) {
		$s = array();
		foreach ( $plugins as $id => $f ) {
			$s[ $id ] = array( get_post_status( $funnels[ $id ] ), fresh_meta( $funnels[ $id ], meta_key( $f, 0, 'pagetitle' ) ), stats_rows( $f, $funnels[ $id ] ) );
		}
		return $s;
	};
	$expected = $state();
	foreach ( $expected as $id => $s ) {
		ok( array( 'publish', "Neighbour $id", 1 ) === $s, "$id: its funnel and its count are its own", wp_json_encode( $s ) );
	}

	foreach ( array_keys( $plugins ) as $id ) {
		deactivate_plugins( "$id/plugin.php" );
		$deleted = delete_plugins( array( "$id/plugin.php" ) );
		unset( $plugins[ $id ], $expected[ $id ] );
		ok( true === $deleted, "$id: deleted", is_wp_error( $deleted ) ? $deleted->get_error_message() : '' );
		ok( $expected === $state(), "$id: deleting it leaves the others' funnels and counts", wp_json_encode( $state() ) );
		ok( $before === $foreign_shape(), "$id: deleting it leaves the foreign wp_slim_stats", $foreign_shape() );
	}
	$wpdb->query( "DROP TABLE $foreign" );
	delete_option( 'slim_stats_schema' );
}

// A published funnel with every field of every item filled in through the plugin's own save.
function cmd_upgrade_fill( $dir ) {
	load_wordpress();
	$f     = plugin_facts( $dir );
	$admin = user_id( 'admin' );
	$post  = create_funnel( $f, $admin, 'publish', E2E_UPGRADE_TITLE );
	save_as( $f, $admin, $post, upgrade_values( $f ), plugin_name( $f['id'], 'save_funnel' ) );
	$stored = true;
	foreach ( upgrade_values( $f ) as $key => $value ) {
		$stored = $stored && fresh_meta( $post, $key ) === $value;
	}
	ok( $stored, $f['id'] . ': upgrade funnel filled in, every field stored' );
	// The front end offer's page, visited through the admin screen first so the items are known.
	http( 'GET', admin_url( 'index.php' ), null, auth_cookies( $admin ) );
	foreach ( $f['slots'] as $n => $t ) {
		visit( add_query_arg( 'step', $t['sales'], get_permalink( $post ) ) );
	}
	ok( count( $f['slots'] ) === stats_rows( $f, $post ), $f['id'] . ': every item of the first build has its count' );
}

// The rebuild goes in through the plugin upload: WordPress sees the plugin it already has and,
// told to, replaces it (the "Replace current with uploaded" choice of its upload screen).
function cmd_upgrade_replace( $zip, $id ) {
	load_wordpress();
	require_once ABSPATH . 'wp-admin/includes/admin.php';
	require_once ABSPATH . 'wp-admin/includes/class-wp-upgrader.php';
	wp_set_current_user( user_id( 'admin' ) );
	$before = array_keys( get_plugins() );

	$skin     = new Automatic_Upgrader_Skin();
	$upgrader = new Plugin_Upgrader( $skin );
	$upgrader->install( $zip );
	$result = $skin->result;
	ok( is_wp_error( $result ) && 'folder_exists' === $result->get_error_code(), "$id: uploading the rebuild finds the installed plugin's folder, so WordPress offers to replace it", is_wp_error( $result ) ? $result->get_error_code() : wp_json_encode( $result ) );
	ok( '1.0' === get_plugins()[ "$id/plugin.php" ]['Version'], "$id: the first build stays installed until the user chooses to replace it" );

	$skin     = new Automatic_Upgrader_Skin();
	$upgrader = new Plugin_Upgrader( $skin );
	$result   = $upgrader->install( $zip, array( 'overwrite_package' => true ) );
	ok( true === $result, "$id: the rebuild replaces the installed plugin", implode( ' | ', $skin->get_upgrade_messages() ) . ( is_wp_error( $result ) ? $result->get_error_message() : '' ) );
	ok( "$id/plugin.php" === $upgrader->plugin_info(), "$id: the replaced plugin is found in the same place", (string) $upgrader->plugin_info() );

	wp_clean_plugins_cache();
	$plugins = get_plugins();
	ok( array_keys( $plugins ) === $before, "$id: replacing adds no second plugin", wp_json_encode( array_keys( $plugins ) ) );
	$version = isset( $plugins[ "$id/plugin.php" ] ) ? $plugins[ "$id/plugin.php" ]['Version'] : '';
	ok( '2.0' === $version, "$id: the installed plugin is the rebuild (version 2.0)", $version );
	if ( ! is_plugin_active( "$id/plugin.php" ) ) {
		ob_start();
		activate_plugin( "$id/plugin.php" );
		ob_end_clean();
	}
	ok( is_plugin_active( "$id/plugin.php" ), "$id: the rebuild is active" );
}

function cmd_upgrade_check( $old_dir, $new_dir ) {
	load_wordpress();
	require_once ABSPATH . 'wp-admin/includes/admin.php';
	$old     = plugin_facts( $old_dir );
	$f       = plugin_facts( $new_dir );
	$id      = $f['id'];
	$removed = array_diff_key( $old['slots'], $f['slots'] );
	ok( 1 === count( $removed ) && array_keys( $f['slots'] ) === array_values( array_diff( array_keys( $old['slots'] ), array_keys( $removed ) ) ), "$id: the rebuild has one item less", wp_json_encode( array_keys( $f['slots'] ) ) );
	foreach ( $f['slots'] as $n => $t ) {
		ok( $t === $old['slots'][ $n ], "$id: item $n keeps its page addresses (tokens) in the rebuild", wp_json_encode( array( $t, $old['slots'][ $n ] ) ) );
	}

	$posts = get_posts(
		array(
			'post_type'   => funnel_type( $f ),
			'title'       => E2E_UPGRADE_TITLE,
			'post_status' => 'any',
		)
	);
	if ( ! ok( 1 === count( $posts ) && 'publish' === $posts[0]->post_status, "$id: the funnel post survives the replacement" ) ) {
		return;
	}
	$post      = $posts[0]->ID;
	$permalink = get_permalink( $post );
	$values    = upgrade_values( $old );
	http( 'GET', admin_url( 'index.php' ), null, auth_cookies( user_id( 'admin' ) ) );
	global $wpdb;
	$slots = array_map( 'intval', $wpdb->get_col( $wpdb->prepare( 'SELECT DISTINCT slot FROM ' . stats_table( $f ) . ' WHERE funnel_id = %d ORDER BY slot', $post ) ) );
	ok( array_keys( $f['slots'] ) === $slots, "$id: the removed item's counts are gone, the others' kept", wp_json_encode( $slots ) );
	$headline  = meta_key( $f, 0, 'headline' );
	ok( $values[ $headline ] === fresh_meta( $post, $headline ), "$id: the headline survives" );

	foreach ( $f['slots'] as $n => $t ) {
		$title = $values[ meta_key( $f, $n, 'pagetitle' ) ];
		$code  = $values[ meta_key( $f, $n, 'code' ) ];
		ok( $title === fresh_meta( $post, meta_key( $f, $n, 'pagetitle' ) ) && $code === fresh_meta( $post, meta_key( $f, $n, 'code' ) ), "$id: item $n's page title and payment button survive" );
		$r = http( 'GET', add_query_arg( 'step', $t['sales'], $permalink ) );
		ok( 200 === $r['status'] && '' === page_error( $r['body'] ) && false !== strpos( $r['body'], esc_html( $title ) ) && false !== strpos( $r['body'], $code ), "$id: sales page $n still answers at its address with the seller's title and button", $r['status'] . ' ' . page_error( $r['body'] ) );
		$r        = http( 'GET', add_query_arg( 'step', $t['download'], $permalink ) );
		$expected = anchors( file_get_contents( "$new_dir/modules/template/download-funnelitem-$n.php" ) );
		ok( 200 === $r['status'] && '' === page_error( $r['body'] ) && $expected && anchors( $r['body'] ) === $expected, "$id: download page $n still answers at its address with its links", $r['status'] . ' ' . wp_json_encode( anchors( $r['body'] ) ) );
	}

	$installed = files_below( WP_PLUGIN_DIR . "/$id" );
	$leftover  = array_diff( $installed, files_below( $new_dir ) );
	ok( array() === array_values( $leftover ) && in_array( 'modules/payments.php', files_below( $old_dir ), true ), "$id: the replaced plugin holds the rebuild's files alone, none of the first build's earlier layout", implode( ', ', $leftover ) );

	foreach ( $removed as $n => $t ) {
		foreach ( array( 'salespage', 'download' ) as $page ) {
			ok( ! file_exists( WP_PLUGIN_DIR . "/$id/modules/template/$page-funnelitem-$n.php" ), "$id: the removed item's $page file is gone" );
		}
		foreach ( $t as $kind => $token ) {
			$r = http( 'GET', add_query_arg( 'step', $token, $permalink ) );
			ok( 200 === $r['status'] && '' === page_error( $r['body'] ) && false === strpos( $r['body'], 'pay.example.com' ) && ! anchors_of_download_page( $r['body'], $old_dir, $n ), "$id: the removed item's $kind address gets the default page", $r['status'] . ' ' . page_error( $r['body'] ) );
		}
	}

	$r = http( 'GET', admin_url( "post.php?post=$post&action=edit" ), null, auth_cookies( user_id( 'admin' ) ) );
	$b = $r['body'];
	ok( 200 === $r['status'] && '' === page_error( $b ), "$id: the funnel's edit screen opens after the replacement", $r['status'] . ' ' . page_error( $b ) );
	foreach ( array_keys( $old['slots'] ) as $n ) {
		$shown = isset( $f['slots'][ $n ] );
		ok( $shown === ( false !== strpos( $b, 'id="' . $id . "_funnelitem_$n\"" ) ), "$id: edit screen box for item $n " . ( $shown ? 'shown' : 'gone' ) );
		if ( $shown ) {
			ok( false !== strpos( $b, 'value="' . esc_attr( $values[ meta_key( $f, $n, 'pagetitle' ) ] ) . '"' ), "$id: edit screen shows item $n's kept page title" );
		}
	}
}

// True when the body lists any link of the given item's download page in the old plugin.
function anchors_of_download_page( $body, $old_dir, $n ) {
	$file = "$old_dir/modules/template/download-funnelitem-$n.php";
	return is_file( $file ) && array_intersect( anchors( $body ), anchors( file_get_contents( $file ) ) );
}
