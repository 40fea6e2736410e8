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
 *   php wp-e2e.php colours PLUGIN_DIR WORK_DIR
 *   php wp-e2e.php uninstall PLUGIN_DIR [NEXT_PLUGIN_DIR]
 *   php wp-e2e.php neighbours ZIP PLUGIN_DIR [ZIP PLUGIN_DIR ...]
 *   php wp-e2e.php payments PLUGIN_DIR (wp-e2e-payments.php)
 *
 * E2E_WP is the WordPress folder, E2E_URL its address.
 */

$e2e_failed = 0;

require __DIR__ . '/wp-e2e-payments.php';

function ok( $cond, $desc, $detail = '' ) {
	global $e2e_failed;
	$line = ( $cond ? 'ok' : 'not ok' ) . ' - ' . $desc;
	if ( ! $cond ) {
		++$e2e_failed;
		if ( '' !== $detail ) {
			$line .= ' -- ' . preg_replace( '/\s+/', ' ', substr( $detail, 0, 400 ) );
		}
	}
	echo $line, "\n";
	return $cond;
}

function load_wordpress( $installing = false ) {
	$url                    = getenv( 'E2E_URL' );
	$_SERVER['HTTP_HOST']   = parse_url( $url, PHP_URL_HOST ) . ':' . parse_url( $url, PHP_URL_PORT );
	$_SERVER['SERVER_NAME'] = parse_url( $url, PHP_URL_HOST );
	$_SERVER['REQUEST_URI'] = '/';
	if ( $installing ) {
		define( 'WP_INSTALLING', true );
	}
	require getenv( 'E2E_WP' ) . '/wp-load.php';
}

/**
 * One HTTP request without following redirects.
 *
 * @param array|null $form    Pairs [name, value] sent as a form.
 * @param array      $cookies name => value.
 * @param string[]   $headers Further request headers, "Name: value".
 * @param string|null $from   The loopback address the request comes from; a new one when null.
 * @param string|null $raw    A body sent as it is, instead of a form.
 */
function http( $method, $url, $form = null, $cookies = array(), $headers = array(), $from = null, $raw = null ) {
	static $visitor = 0;
	if ( null === $from ) {
		// Every request comes from an address of its own, as visitors do; the statistics count a
		// visitor once per page and day.
		++$visitor;
		$from = '127.0.' . ( 2 + intdiv( $visitor, 250 ) ) . '.' . ( 1 + $visitor % 250 );
	}
	if ( $cookies ) {
		$c = array();
		foreach ( $cookies as $k => $v ) {
			$c[] = $k . '=' . rawurlencode( $v );
		}
		$headers[] = 'Cookie: ' . implode( '; ', $c );
	}
	$opts = array(
		'method'          => $method,
		'ignore_errors'   => true,
		'follow_location' => 0,
		'timeout'         => 30,
	);
	if ( null !== $form ) {
		$body = array();
		foreach ( $form as $pair ) {
			$body[] = rawurlencode( $pair[0] ) . '=' . rawurlencode( $pair[1] );
		}
		$opts['content'] = implode( '&', $body );
		$headers[]       = 'Content-Type: application/x-www-form-urlencoded';
	} elseif ( null !== $raw ) {
		$opts['content'] = $raw;
	}
	$opts['header']       = implode( "\r\n", $headers );
	$http_response_header = array();
	$body                 = @file_get_contents( $url, false, stream_context_create( array( 'http' => $opts, 'socket' => array( 'bindto' => "$from:0" ) ) ) );
	$status               = 0;
	$out_headers          = array();
	foreach ( $http_response_header as $h ) {
		if ( preg_match( '#^HTTP/\S+\s+(\d+)#', $h, $m ) ) {
			$status      = (int) $m[1];
			$out_headers = array();
		} elseif ( false !== strpos( $h, ':' ) ) {
			list( $k, $v )                            = explode( ':', $h, 2 );
			$out_headers[ strtolower( trim( $k ) ) ] = trim( $v );
		}
	}
	return array(
		'status'  => $status,
		'headers' => $out_headers,
		'body'    => false === $body ? '' : $body,
	);
}

/** A PHP error or WordPress's fatal error screen in a page. */
function page_error( $body ) {
	if ( preg_match( '/critical error on this website|(Fatal error|Parse error|Warning|Notice|Deprecated)(<\/b>)?:\s/i', $body, $m ) ) {
		return $m[0];
	}
	return '';
}

/** The links of a page, an apostrophe written as WordPress 6.1 writes it (newer ones write &apos;). */
function anchors( $html ) {
	preg_match_all( '#<a\s[^>]*>.*?</a>#is', $html, $m );
	return str_replace( '&apos;', '&#039;', $m[0] );
}

/** What tidy reports about a page: its warnings and errors, or '' for none. */
function tidy_problems( $html ) {
	$proc = proc_open(
		array( 'tidy', '-quiet', '-errors', '-utf8', '--show-warnings', 'yes', '--show-info', 'no' ),
		array(
			0 => array( 'pipe', 'r' ),
			1 => array( 'pipe', 'w' ),
			2 => array( 'pipe', 'w' ),
		),
		$pipes
	);
	fwrite( $pipes[0], $html );
	fclose( $pipes[0] );
	$out = stream_get_contents( $pipes[1] ) . stream_get_contents( $pipes[2] );
	fclose( $pipes[1] );
	fclose( $pipes[2] );
	$status = proc_close( $proc );
	return 0 === $status ? '' : "tidy status $status: $out";
}

/**
 * What every funnel page owes the site: the hooks other plugins print through
 * (the markers of the e2e must-use plugin), the plugin's stylesheet enqueued
 * instead of inline style, one title, and markup tidy finds nothing in.
 */
function check_page_conventions( $id, $what, $body ) {
	foreach ( array( 'wp_head', 'wp_body_open', 'wp_footer' ) as $hook ) {
		ok( 1 === substr_count( $body, "<!-- e2e-marker:$hook -->" ), "$id: $what runs $hook once" );
	}
	ok( (bool) preg_match( "#<head>.*<!-- e2e-marker:wp_head -->.*</head>#s", $body ) && (bool) preg_match( '#<!-- e2e-marker:wp_footer -->\s*</body>#', $body ), "$id: $what runs wp_head in the head and wp_footer at the end of the body" );
	ok( (bool) preg_match( "#<link rel='stylesheet' id='" . preg_quote( $id, '#' ) . "-funnel-pages-css' href='[^']*/" . preg_quote( $id, '#' ) . "/assets/funnel-pages\.css\?ver=\d+'#", $body ), "$id: $what enqueues the plugin's stylesheet" );
	ok( false === strpos( $body, '.' . $id . '-' ) , "$id: $what holds none of the plugin's style inline" );
	ok( 1 === substr_count( $body, '<title>' ), "$id: $what has one title" );
	$tidy = tidy_problems( $body );
	ok( '' === $tidy, "$id: $what passes tidy without a warning", $tidy );
}

/** What the zip says about one plugin: identifier, name, funnel pages. */
function plugin_facts( $dir ) {
	$id     = basename( $dir );
	$plugin = file_get_contents( "$dir/plugin.php" );
	preg_match( '/^ \* Plugin Name:(.*)$/m', $plugin, $m );
	$name = isset( $m[1] ) ? trim( $m[1] ) : '';

	$template = file_get_contents( "$dir/modules/template/template.php" );
	preg_match_all( '/case "((sp|dld)[a-z0-9]{20,})":(.*?)break;/s', $template, $cases, PREG_SET_ORDER );
	$slots = array();
	foreach ( $cases as $c ) {
		if ( ! preg_match( "/include __DIR__ \. '\/(salespage|download)-funnelitem-(\d)\.php';/", $c[3], $inc ) ) {
			continue;
		}
		$n = (int) $inc[2];
		$slots[ $n ][ 'sp' === $c[2] ? 'sales' : 'download' ] = $c[1];
	}
	ksort( $slots );
	return array(
		'id'    => $id,
		'file'  => "$id/plugin.php",
		'name'  => $name,
		'slots' => $slots,
		'dir'   => $dir,
	);
}

/** The name of one of the plugin's functions, options, nonces or tables. */
function plugin_name( $id, $name ) {
	return 'veltrano_' . $id . '__' . $name;
}

function funnel_type( $facts ) {
	$fn = plugin_name( $facts['id'], 'post_type' );
	return function_exists( $fn ) ? $fn() : '';
}

function user_id( $login ) {
	$u = get_user_by( 'login', $login );
	return $u ? $u->ID : 0;
}

function auth_cookies( $user_id ) {
	$expire = time() + 3600;
	return array(
		AUTH_COOKIE      => wp_generate_auth_cookie( $user_id, $expire, 'auth' ),
		LOGGED_IN_COOKIE => wp_generate_auth_cookie( $user_id, $expire, 'logged_in' ),
	);
}

function meta_key( $facts, $n, $field ) {
	return $facts['id'] . "_funnelitem_{$n}_{$field}";
}

function fresh_meta( $post_id, $key ) {
	wp_cache_flush();
	return get_post_meta( $post_id, $key, true );
}

/** The fields a browser would send for the form with the given id. */
function form_fields( $html, $form_id ) {
	if ( ! preg_match( '#<form\b[^>]*\bid="' . preg_quote( $form_id, '#' ) . '"[^>]*>(.*?)</form>#is', $html, $m ) ) {
		return null;
	}
	$form   = $m[1];
	$fields = array();
	$attrs  = function ( $s ) {
		preg_match_all( '/([\w:-]+)(?:\s*=\s*(?:"([^"]*)"|\'([^\']*)\'))?/', $s, $mm, PREG_SET_ORDER );
		$a = array();
		foreach ( $mm as $x ) {
			$a[ strtolower( $x[1] ) ] = html_entity_decode( isset( $x[3] ) && '' !== $x[3] ? $x[3] : ( isset( $x[2] ) ? $x[2] : '' ), ENT_QUOTES, 'UTF-8' );
		}
		return $a;
	};
	preg_match_all( '#<input\b([^>]*)>#is', $form, $inputs );
	foreach ( $inputs[1] as $s ) {
		$a    = $attrs( $s );
		$type = isset( $a['type'] ) ? strtolower( $a['type'] ) : 'text';
		if ( empty( $a['name'] ) || in_array( $type, array( 'submit', 'button', 'image', 'file', 'reset' ), true ) ) {
			continue;
		}
		if ( in_array( $type, array( 'checkbox', 'radio' ), true ) && ! array_key_exists( 'checked', $a ) ) {
			continue;
		}
		$fields[] = array( $a['name'], isset( $a['value'] ) ? $a['value'] : ( 'checkbox' === $type ? 'on' : '' ) );
	}
	preg_match_all( '#<textarea\b([^>]*)>(.*?)</textarea>#is', $form, $areas, PREG_SET_ORDER );
	foreach ( $areas as $t ) {
		$a = $attrs( $t[1] );
		if ( ! empty( $a['name'] ) ) {
			$fields[] = array( $a['name'], html_entity_decode( preg_replace( '/^\r?\n/', '', $t[2] ), ENT_QUOTES, 'UTF-8' ) );
		}
	}
	preg_match_all( '#<select\b([^>]*)>(.*?)</select>#is', $form, $selects, PREG_SET_ORDER );
	foreach ( $selects as $s ) {
		$a = $attrs( $s[1] );
		preg_match_all( '#<option\b([^>]*)>#is', $s[2], $opts );
		$value = null;
		foreach ( $opts[1] as $o ) {
			$oa = $attrs( $o );
			if ( null === $value || array_key_exists( 'selected', $oa ) ) {
				$value = isset( $oa['value'] ) ? $oa['value'] : '';
			}
		}
		if ( ! empty( $a['name'] ) && null !== $value ) {
			$fields[] = array( $a['name'], $value );
		}
	}
	return $fields;
}

function set_field( &$fields, $name, $value ) {
	foreach ( $fields as $i => $f ) {
		if ( $f[0] === $name ) {
			$fields[ $i ][1] = $value;
			return;
		}
	}
	$fields[] = array( $name, $value );
}

/**
 * Saves a funnel the way the edit form does: the boxes' fields in $_POST
 * (slashed, as WordPress has them), then the post update that fires save_post.
 *
 * @param string|false $nonce_action Action to sign the nonce for; false for none.
 */
function save_as( $facts, $user_id, $post_id, $values, $nonce_action ) {
	wp_set_current_user( $user_id );
	$post = $values;
	if ( false !== $nonce_action ) {
		$post[ plugin_name( $facts['id'], 'funnel_nonce' ) ] = wp_create_nonce( $nonce_action );
	}
	$_POST = wp_slash( $post );
	wp_update_post( array( 'ID' => $post_id ) );
	$_POST = array();
	wp_set_current_user( 0 );
}

function funnel_values( $facts, $tag ) {
	$v = array();
	foreach ( array_keys( $facts['slots'] ) as $n ) {
		$v[ meta_key( $facts, $n, 'pagetitle' ) ] = "$tag title $n";
		$v[ meta_key( $facts, $n, 'code' ) ]      = "<a class=\"buy\" href=\"https://pay.example.com/$tag$n\">Buy</a>";
	}
	$v[ meta_key( $facts, 0, 'headline' ) ] = "$tag headline";
	return $v;
}

function create_funnel( $facts, $author, $status, $title ) {
	return wp_insert_post(
		array(
			'post_type'   => funnel_type( $facts ),
			'post_status' => $status,
			'post_title'  => $title,
			'post_author' => $author,
		)
	);
}

// ---------------------------------------------------------------------------

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

function cmd_check( $dir ) {
	load_wordpress();
	require_once ABSPATH . 'wp-admin/includes/admin.php';
	$f     = plugin_facts( $dir );
	$id    = $f['id'];
	$admin = user_id( 'admin' );

	ok( array_key_exists( 0, $f['slots'] ), "$id: template.php serves the front end offer" );
	foreach ( $f['slots'] as $n => $t ) {
		ok( isset( $t['sales'], $t['download'] ), "$id: slot $n has a sales and a download token" );
	}

	// Post type.
	$type = funnel_type( $f );
	$obj  = get_post_type_object( $type );
	ok( (bool) preg_match( '/^[a-z0-9_]{1,20}$/', $type ), "$id: post type key '$type' is lower case and at most 20 characters" );
	if ( ! ok( null !== $obj, "$id: funnel post type registered" ) ) {
		return;
	}
	ok( $obj->public && $obj->show_ui && ! $obj->has_archive && post_type_supports( $type, 'title' ), "$id: post type is public, has a UI, no archive, supports title" );
	ok( $f['name'] === $obj->labels->name && $f['name'] === $obj->labels->menu_name, "$id: menu named by the plugin name", $obj->labels->menu_name . ' vs ' . $f['name'] );

	// A published funnel with every field filled in.
	$post_id  = create_funnel( $f, $admin, 'publish', "E2E funnel $id" );
	$headline = 'Act now & save "big" <today> \\o/';
	$values   = array();
	update_post_meta( $post_id, meta_key( $f, 0, 'headline' ), wp_slash( $headline ) );
	foreach ( array_keys( $f['slots'] ) as $n ) {
		$values[ $n ] = array(
			'title' => "Title $n: Bob's <Deal> & \"more\"",
			'code'  => "<a class=\"buy\" href=\"https://pay.example.com/x$n\">Buy $n</a>",
		);
		update_post_meta( $post_id, meta_key( $f, $n, 'pagetitle' ), wp_slash( $values[ $n ]['title'] ) );
		update_post_meta( $post_id, meta_key( $f, $n, 'code' ), wp_slash( $values[ $n ]['code'] ) );
	}
	$permalink = get_permalink( $post_id );

	foreach ( $f['slots'] as $n => $t ) {
		$title = $values[ $n ]['title'];

		$r = http( 'GET', add_query_arg( 'step', $t['sales'], $permalink ) );
		$b = $r['body'];
		ok( 200 === $r['status'] && '' === page_error( $b ), "$id: sales page $n ({$t['sales']}) answers 200 without error", $r['status'] . ' ' . page_error( $b ) );
		ok( false !== strpos( $b, '<title>' . esc_html( $title ) . '</title>' ), "$id: sales page $n has its page title, escaped, in <title>" );
		ok( false !== strpos( $b, '<h2 class="' . $id . '-title">' . esc_html( $title ) . '</h2>' ), "$id: sales page $n shows its page title as a heading above the headline" );
		ok( false !== strpos( $b, '<h1 class="' . $id . '-headline">' . esc_html( $headline ) . '</h1>' ) && 1 === substr_count( $b, '<h1' ), "$id: sales page $n shows the front end headline, escaped, as its one <h1>" );
		check_page_conventions( $id, "sales page $n", $b );
		ok( false === strpos( $b, '<Deal>' ) && false === strpos( $b, '<today>' ), "$id: sales page $n prints no text field unescaped" );
		ok( false !== strpos( $b, $values[ $n ]['code'] ), "$id: sales page $n shows its own payment button as HTML" );
		$others = 0;
		foreach ( $values as $k => $v ) {
			$others += ( $k !== $n && false !== strpos( $b, $v['code'] ) ) ? 1 : 0;
		}
		ok( 0 === $others, "$id: sales page $n shows no other page's button" );

		if ( ok( (bool) preg_match( '#<img\b[^>]*\bsrc="([^"]+)" alt="([^"]*)" width="(\d+)" height="(\d+)"#i', $b, $img ), "$id: sales page $n has an image with alt text, width and height" ) ) {
			$src  = html_entity_decode( $img[1], ENT_QUOTES );
			$file = $dir . '/modules/template/' . basename( parse_url( $src, PHP_URL_PATH ) );
			// The slot's own product is the last link of its download page.
			$links   = anchors( file_get_contents( "$dir/modules/template/download-funnelitem-$n.php" ) );
			$product = preg_replace( '#^<a [^>]*>(.*)</a>$#s', '$1', end( $links ) );
			ok( '' !== $product && $img[2] === $product, "$id: image of sales page $n is described by its product's name", "alt '{$img[2]}' vs '$product'" );
			$real = is_file( $file ) ? getimagesize( $file ) : false;
			ok( false !== $real && (int) $img[3] === $real[0] && (int) $img[4] === $real[1], "$id: image of sales page $n states its real size", "{$img[3]}x{$img[4]} vs " . ( $real ? "{$real[0]}x{$real[1]}" : 'unreadable' ) );
			$ir   = http( 'GET', $src );
			ok(
				200 === $ir['status'] && 0 === strpos( isset( $ir['headers']['content-type'] ) ? $ir['headers']['content-type'] : '', 'image/' )
				&& is_file( $file ) && file_get_contents( $file ) === $ir['body'],
				"$id: image of sales page $n ($src) is served with its bytes",
				$ir['status'] . ' ' . wp_json_encode( $ir['headers'] )
			);
		}

		$r        = http( 'GET', add_query_arg( 'step', $t['download'], $permalink ) );
		$expected = anchors( file_get_contents( "$dir/modules/template/download-funnelitem-$n.php" ) );
		ok( 200 === $r['status'] && '' === page_error( $r['body'] ), "$id: download page $n ({$t['download']}) answers 200 without error", $r['status'] . ' ' . page_error( $r['body'] ) );
		ok( anchors( $r['body'] ) === $expected, "$id: download page $n shows exactly its " . count( $expected ) . ' link(s)', wp_json_encode( anchors( $r['body'] ) ) );
		preg_match( '#<ul class="' . preg_quote( $id, '#' ) . '-links">(.*?)</ul>#s', $r['body'], $list );
		ok( isset( $list[1] ) && count( $expected ) === preg_match_all( '#<li><a [^>]*>[^<]*</a></li>#', $list[1] ) && '' === trim( preg_replace( '#<li><a [^>]*>[^<]*</a></li>#', '', $list[1] ) ), "$id: download page $n lists its links as list items", isset( $list[1] ) ? $list[1] : 'no list' );
		ok( false !== strpos( $r['body'], '<title>Your downloads</title>' ) && 1 === substr_count( $r['body'], '<h1' ), "$id: download page $n has its title and one <h1>" );
		$referrer = isset( $r['headers']['referrer-policy'] ) ? $r['headers']['referrer-policy'] : '';
		$opened   = isset( $list[1] ) ? preg_match_all( '#<a [^>]*\brel="noopener noreferrer"#', $list[1] ) : -1;
		ok( 'no-referrer' === $referrer && count( $expected ) === $opened, "$id: download page $n passes its address on to no linked site", "$referrer | $opened" );
		check_page_conventions( $id, "download page $n", $r['body'] );
	}

	// Addressed by id, as WordPress's own short links do.
	$first = reset( $f['slots'] );
	$r     = http( 'GET', home_url( "/?p=$post_id&step=" . $first['sales'] ) );
	for ( $hops = 0; $hops < 3 && in_array( $r['status'], array( 301, 302 ), true ); ++$hops ) {
		$r = http( 'GET', $r['headers']['location'] );
	}
	ok( 200 === $r['status'] && false !== strpos( $r['body'], $values[0]['code'] ), "$id: ?p=ID&step=TOKEN leads to the sales page", $r['status'] );

	foreach ( array( 'unknown token' => add_query_arg( 'step', 'sp99999', $permalink ), 'no token' => $permalink, 'odd token' => add_query_arg( 'step[]', 'x', $permalink ) ) as $what => $u ) {
		$r = http( 'GET', $u );
		$b = $r['body'];
		ok( 200 === $r['status'] && '' === page_error( $b ) && false !== stripos( $b, '</html>' ), "$id: $what gets the default page with 200", $r['status'] . ' ' . page_error( $b ) );
		ok( false === strpos( $b, 'pay.example.com' ) && false === strpos( $b, esc_html( $headline ) ), "$id: $what shows no funnel content" );
		ok( 1 === substr_count( $b, '<h1' ), "$id: $what has one <h1>" );
		check_page_conventions( $id, "default page ($what)", $b );
	}

	// Plugin files opened directly stop at once.
	foreach ( preg_grep( '/\.php$/', files_below( $dir ) ) as $file ) {
		$r = http( 'GET', plugins_url( $file, WP_PLUGIN_DIR . "/$id/plugin.php" ) );
		ok( 200 === $r['status'] && '' === $r['body'], "$id: $file opened directly prints nothing", $r['status'] . ' ' . $r['body'] );
	}

	// The edit screen.
	$cookies = auth_cookies( $admin );
	$r       = http( 'GET', admin_url( "post.php?post=$post_id&action=edit" ), null, $cookies );
	$b       = $r['body'];
	ok( 200 === $r['status'] && '' === page_error( $b ) && false !== strpos( $b, 'id="post"' ), "$id: edit screen opens", $r['status'] . ' ' . page_error( $b ) );
	ok( 1 === substr_count( $b, 'name="' . plugin_name( $id, 'funnel_nonce' ) . '"' ), "$id: edit screen holds the save nonce once" );
	$titles = array( 'Front End Offer', 'Upsell #1', 'Upsell #2', 'Downsell For Upsell #1', 'Downsell For Upsell #2' );
	for ( $n = 0; $n < 5; ++$n ) {
		$shown = isset( $f['slots'][ $n ] );
		ok( $shown === ( false !== strpos( $b, 'id="' . $id . "_funnelitem_$n\"" ) ), "$id: box for slot $n " . ( $shown ? 'shown' : 'absent' ) );
		if ( ! $shown ) {
			continue;
		}
		$t = $f['slots'][ $n ];
		ok( false !== strpos( $b, esc_html( $titles[ $n ] ) ), "$id: box $n titled '{$titles[$n]}'" );
		ok( false !== strpos( $b, 'value="' . esc_attr( $values[ $n ]['title'] ) . '"' ), "$id: box $n shows the stored page title, escaped" );
		ok( false !== strpos( $b, '>' . esc_textarea( $values[ $n ]['code'] ) . '</textarea>' ), "$id: box $n shows the stored button code, escaped" );
		foreach ( $t as $token ) {
			ok( false !== strpos( $b, '<code>' . $token . '</code>' ), "$id: box $n shows token $token" );
			ok( false !== strpos( $b, esc_html( add_query_arg( 'step', $token, $permalink ) ) ), "$id: box $n shows the full address for $token" );
		}
	}
	ok( count( $f['slots'] ) === substr_count( $b, '<h3>Page addresses</h3>' ) && false === strpos( $b, '<h4>Page addresses' ), "$id: each box heads its addresses one level below its own <h2> title" );
	ok( false !== strpos( $b, 'value="' . esc_attr( $headline ) . '"' ), "$id: headline field shows the stored headline, escaped" );
	ok( false === strpos( $b, '<Deal>' ) && false === strpos( $b, '<today>' ), "$id: edit screen prints no stored value unescaped" );
	$layout_key = "{$id}_page_layout";
	ok( 1 === preg_match( '#value="canvas" checked#', $b ) && false !== strpos( $b, 'value="theme">' ), "$id: the Page layout box offers both layouts, the canvas chosen" );

	// Saving through the edit form, as a browser sends it.
	$fields = form_fields( $b, 'post' );
	if ( ok( is_array( $fields ), "$id: edit form found" ) ) {
		$saved = array( 'headline' => 'Saved "headline" \\ back <b>bold</b>' );
		set_field( $fields, meta_key( $f, 0, 'headline' ), $saved['headline'] );
		foreach ( array_keys( $f['slots'] ) as $n ) {
			set_field( $fields, meta_key( $f, $n, 'pagetitle' ), "Saved title $n: it's \"quoted\" \\ <i>x</i>" );
			set_field( $fields, meta_key( $f, $n, 'code' ), "<form action=\"https://pay.example.com/s$n\"><input type=\"submit\" value='Buy \"$n\"'></form><script>var n = '$n\\n';</script>" );
		}
		set_field( $fields, $layout_key, 'theme' );
		set_field( $fields, meta_key( $f, 9, 'code' ), 'not declared' );
		set_field( $fields, $id . '_injected', 'not declared' );
		set_field( $fields, 'save', 'Update' );
		$r = http( 'POST', admin_url( 'post.php' ), $fields, $cookies );
		ok( 302 === $r['status'] && false !== strpos( isset( $r['headers']['location'] ) ? $r['headers']['location'] : '', 'message=' ), "$id: edit form saves", $r['status'] . ' ' . page_error( $r['body'] ) );
		ok( 'Saved "headline" \\ back bold' === fresh_meta( $post_id, meta_key( $f, 0, 'headline' ) ), "$id: saved headline is plain text with quotes and backslash kept", fresh_meta( $post_id, meta_key( $f, 0, 'headline' ) ) );
		foreach ( array_keys( $f['slots'] ) as $n ) {
			ok( "Saved title $n: it's \"quoted\" \\ x" === fresh_meta( $post_id, meta_key( $f, $n, 'pagetitle' ) ), "$id: saved page title $n is plain text", fresh_meta( $post_id, meta_key( $f, $n, 'pagetitle' ) ) );
			ok( "<form action=\"https://pay.example.com/s$n\"><input type=\"submit\" value='Buy \"$n\"'></form><script>var n = '$n\\n';</script>" === fresh_meta( $post_id, meta_key( $f, $n, 'code' ) ), "$id: administrator's button code $n saved unchanged", fresh_meta( $post_id, meta_key( $f, $n, 'code' ) ) );
		}
		wp_cache_flush();
		$all = get_post_meta( $post_id );
		ok( ! isset( $all[ meta_key( $f, 9, 'code' ) ] ) && ! isset( $all[ $id . '_injected' ] ), "$id: fields that no box declares are not saved" );
		ok( 'theme' === fresh_meta( $post_id, $layout_key ), "$id: the edit form saves the page layout", fresh_meta( $post_id, $layout_key ) );
		save_as( $f, $admin, $post_id, array( $layout_key => 'sidebar' ), plugin_name( $id, 'save_funnel' ) );
		ok( 'theme' === fresh_meta( $post_id, $layout_key ), "$id: a layout that is none of the choices is not saved", fresh_meta( $post_id, $layout_key ) );
		save_as( $f, $admin, $post_id, array( $layout_key => 'canvas' ), plugin_name( $id, 'save_funnel' ) );
		ok( 'canvas' === fresh_meta( $post_id, $layout_key ), "$id: the canvas can be chosen again", fresh_meta( $post_id, $layout_key ) );

		$r = http( 'GET', add_query_arg( 'step', $first['sales'], $permalink ) );
		ok( false !== strpos( $r['body'], fresh_meta( $post_id, meta_key( $f, 0, 'code' ) ) ), "$id: sales page shows the saved button" );
	}

	// A draft has no addresses yet.
	$draft = create_funnel( $f, $admin, 'draft', "E2E draft $id" );
	$r     = http( 'GET', admin_url( "post.php?post=$draft&action=edit" ), null, $cookies );
	ok( 200 === $r['status'] && '' === page_error( $r['body'] ) && false !== strpos( $r['body'], '<code>' . $first['sales'] . '</code>' ), "$id: draft's edit screen shows the tokens", $r['status'] );
	ok( false === strpos( $r['body'], 'step=' . $first['sales'] ) && false !== stripos( $r['body'], 'publish' ), "$id: draft's edit screen asks to publish instead of giving addresses" );
	$r = http( 'GET', admin_url( 'post-new.php?post_type=' . $type ), null, $cookies );
	ok( 200 === $r['status'] && '' === page_error( $r['body'] ) && false !== strpos( $r['body'], plugin_name( $id, 'funnel_nonce' ) ), "$id: new funnel screen opens with the boxes", $r['status'] . ' ' . page_error( $r['body'] ) );

	$r    = http( 'GET', admin_url( 'edit.php?post_type=' . $type ), null, $cookies );
	$name = $f['name'];
	ok( 200 === $r['status'] && '' === page_error( $r['body'] ), "$id: funnel list opens", $r['status'] );
	ok( false !== strpos( $r['body'], esc_html( $name ) ), "$id: funnel list is headed by the plugin name, escaped" );
	ok( ( false === strpbrk( $name, '<>' ) ) || false === strpos( $r['body'], $name ), "$id: plugin name never printed unescaped" );

	// The save guards, through save_post as the edit form triggers it.
	$author     = user_id( 'author' );
	$subscriber = user_id( 'subscriber' );
	$guard      = create_funnel( $f, $admin, 'publish', "E2E guard $id" );
	$code_key   = meta_key( $f, 0, 'code' );
	$title_key  = meta_key( $f, 0, 'pagetitle' );

	save_as( $f, $admin, $guard, funnel_values( $f, 'nononce' ), false );
	ok( '' === fresh_meta( $guard, $code_key ), "$id: save without the nonce stores nothing" );
	save_as( $f, $admin, $guard, funnel_values( $f, 'badnonce' ), 'some_other_action' );
	ok( '' === fresh_meta( $guard, $code_key ), "$id: save with a nonce for another action stores nothing" );
	save_as( $f, $subscriber, $guard, funnel_values( $f, 'subscriber' ), plugin_name( $id, 'save_funnel' ) );
	ok( '' === fresh_meta( $guard, $code_key ), "$id: a subscriber's save stores nothing" );
	save_as( $f, $author, $guard, funnel_values( $f, 'author' ), plugin_name( $id, 'save_funnel' ) );
	ok( '' === fresh_meta( $guard, $code_key ), "$id: an author cannot save a funnel" );
	$values = funnel_values( $f, 'admin' );
	save_as( $f, $admin, $guard, $values, plugin_name( $id, 'save_funnel' ) );
	$ok = true;
	foreach ( $values as $k => $v ) {
		$ok = $ok && fresh_meta( $guard, $k ) === $v;
	}
	ok( $ok, "$id: an administrator's save with the nonce stores every field" );

	$seller           = user_id( 'seller' );
	$own              = create_funnel( $f, $seller, 'publish', "E2E author $id" );
	$values           = funnel_values( $f, 'author' );
	$values[ $code_key ]  = '<a class="buy" href="https://pay.example.com/a">Buy</a><script>alert(1)</script>';
	$values[ $title_key ] = 'Author <script>alert(2)</script>title';
	save_as( $f, $seller, $own, $values, plugin_name( $id, 'save_funnel' ) );
	ok( '<a class="buy" href="https://pay.example.com/a">Buy</a>alert(1)' === fresh_meta( $own, $code_key ), "$id: a seller's button code without raw HTML is filtered like post content", fresh_meta( $own, $code_key ) );
	ok( 'Author title' === fresh_meta( $own, $title_key ), "$id: a seller's page title is plain text", fresh_meta( $own, $title_key ) );

	// Authors and contributors get no funnel screen, and so no token of any funnel.
	$tokens = array();
	foreach ( $f['slots'] as $slot ) {
		$tokens[] = $slot['sales'];
		$tokens[] = $slot['download'];
	}
	foreach ( array( 'author', 'contributor' ) as $login ) {
		$c = auth_cookies( user_id( $login ) );
		foreach ( array( 'the funnel list' => "edit.php?post_type=$type", 'Add New Funnel' => "post-new.php?post_type=$type", "another user's funnel" => "post.php?post=$guard&action=edit" ) as $what => $screen ) {
			$r    = http( 'GET', admin_url( $screen ), null, $c );
			$seen = array_filter( $tokens, function ( $t ) use ( $r ) { return false !== strpos( $r['body'], $t ); } );
			ok( 200 !== $r['status'] && ! $seen, "$id: a user with role $login is refused $what and sees no token", $r['status'] . ' ' . implode( ' ', $seen ) );
		}
	}

	// Revisions and autosaves of a funnel never take the fields.
	foreach ( array( 'revision' => "$guard-revision-v1", 'autosave' => "$guard-autosave-v1" ) as $what => $slug ) {
		$rev = wp_insert_post(
			array(
				'post_type'   => 'revision',
				'post_status' => 'inherit',
				'post_parent' => $guard,
				'post_name'   => $slug,
			)
		);
		wp_set_current_user( $admin );
		$_POST = wp_slash( funnel_values( $f, $what ) + array( plugin_name( $id, 'funnel_nonce' ) => wp_create_nonce( plugin_name( $id, 'save_funnel' ) ) ) );
		do_action( 'save_post_' . $type, $rev, get_post( $rev ), true );
		$_POST = array();
		ok( '' === fresh_meta( $rev, $code_key ), "$id: a $what stores nothing" );
	}
}

/**
 * What no funnel data and no author may do: run PHP from product data, store
 * script through core's own paths, list funnels to visitors, or let a buyer's
 * page be cached or indexed.
 */
function cmd_safety( $dir ) {
	load_wordpress();
	require_once ABSPATH . 'wp-admin/includes/admin.php';
	$f     = plugin_facts( $dir );
	$id    = $f['id'];
	$type  = funnel_type( $f );
	$admin = user_id( 'admin' );
	$code  = meta_key( $f, 0, 'code' );

	// Only the plugin's own files, the pages and proven images are shipped.
	$shipped = array_diff( scandir( "$dir/modules/template" ), array( '.', '..' ) );
	$odd     = preg_grep( '/^(index\.php|template\.php|(salespage-funnelitem|download-funnelitem)-[0-4]\.php|funnelitem-[0-4]\.(gif|jpg|png|webp))$/', $shipped, PREG_GREP_INVERT );
	ok( array() === array_values( $odd ), "$id: modules/template holds only pages, proven images and the plugin's own files", implode( ', ', $odd ) );

	// Product data shows as text; none of it runs.
	$post = create_funnel( $f, $admin, 'publish', "E2E safety $id" );
	$link = get_permalink( $post );
	foreach ( $f['slots'] as $n => $t ) {
		foreach ( array( 'sales', 'download' ) as $kind ) {
			$r = http( 'GET', add_query_arg( 'step', $t[ $kind ], $link ) );
			ok( 200 === $r['status'] && false === stripos( $r['body'], 'pwned' ) && false === strpos( $r['body'], '<?php' ), "$id: $kind page $n runs and prints no PHP from product data" );
			if ( 'download' === $kind ) {
				$cache = isset( $r['headers']['cache-control'] ) ? $r['headers']['cache-control'] : '';
				$robots = isset( $r['headers']['x-robots-tag'] ) ? $r['headers']['x-robots-tag'] : '';
				ok( false !== strpos( $cache, 'no-store' ) && false !== strpos( $robots, 'noindex' ) && (bool) preg_match( '#<meta name=[\'"]robots[\'"] content=[\'"]noindex, nofollow, noarchive[\'"]#', $r['body'] ) && 1 === substr_count( $r['body'], "name='robots'" ) + substr_count( $r['body'], 'name="robots"' ), "$id: download page $n is neither stored nor indexed", "$cache | $robots" );
			}
		}
	}

	// Core's custom-fields path, without the plugin's nonce: a seller without raw
	// HTML on a published funnel, an editor on a draft that is then published.
	$script = '<script>document.title="owned"</script>';
	foreach ( array( 'seller' => 'publish', 'editor' => 'draft' ) as $login => $status ) {
		$uid     = user_id( $login );
		$own     = create_funnel( $f, $uid, $status, "E2E $login custom fields $id" );
		$cookies = auth_cookies( $uid );
		$r       = http( 'GET', admin_url( "post.php?post=$own&action=edit" ), null, $cookies );
		$fields  = form_fields( $r['body'], 'post' );
		if ( ! ok( is_array( $fields ), "$id: $login's edit form found", $r['status'] ) ) {
			continue;
		}
		$fields = array_values( array_filter( $fields, function ( $field ) use ( $id ) { return plugin_name( $id, 'funnel_nonce' ) !== $field[0]; } ) );
		set_field( $fields, 'metakeyinput', $code );
		set_field( $fields, 'metavalue', $script );
		set_field( $fields, 'save', 'publish' === $status ? 'Update' : 'Save Draft' );
		$r = http( 'POST', admin_url( 'post.php' ), $fields, $cookies );
		ok( 302 === $r['status'], "$id: $login's post through the custom-fields path is answered", $r['status'] . ' ' . page_error( $r['body'] ) );
		wp_cache_flush();
		ok( array() === get_post_meta( $own, $code ), "$id: core's custom-fields path stores nothing for a $login", wp_json_encode( get_post_meta( $own, $code ) ) );
		if ( 'draft' === $status ) {
			wp_set_current_user( user_id( 'editor' ) );
			wp_update_post( array( 'ID' => $own, 'post_status' => 'publish' ) );
			wp_set_current_user( 0 );
		}
		$r = http( 'GET', add_query_arg( 'step', $f['slots'][0]['sales'], get_permalink( $own ) ) );
		ok( 200 === $r['status'] && false === strpos( $r['body'], 'owned' ), "$id: no script from a $login reaches the sales page" );
	}
	wp_set_current_user( $admin );
	ok( is_protected_meta( $code, 'post' ) && ! current_user_can( 'add_post_meta', $post, $code ) && ! current_user_can( 'edit_post_meta', $post, $code ), "$id: the funnel's fields are protected meta that even an administrator can't edit through core's paths" );
	wp_set_current_user( 0 );

	// An author's payment button keeps what payment buttons are made of, and nothing that runs.
	$author = user_id( 'seller' );
	$own    = create_funnel( $f, $author, 'publish', "E2E author button $id" );
	$button = '<form action="https://www.paypal.com/cgi-bin/webscr" method="post" target="_top">'
		. '<input type="hidden" name="cmd" value="_s-xclick"><input type="hidden" name="hosted_button_id" value="ABC123">'
		. '<input type="image" src="https://www.paypalobjects.com/en_US/i/btn/btn_buynow_LG.gif" border="0" name="submit" alt="Buy Now">'
		. '<button type="submit" class="buy">Buy</button></form>'
		. '<a href="javascript:alert(1)" onclick="alert(2)">x</a><img src="https://pay.example.com/b.png" onerror="alert(3)"><script>alert(4)</script>';
	save_as( $f, $author, $own, array( $code => $button ), plugin_name( $id, 'save_funnel' ) );
	$stored = fresh_meta( $own, $code );
	foreach ( array( '<form action="https://www.paypal.com/cgi-bin/webscr" method="post" target="_top">', '<input type="hidden" name="cmd" value="_s-xclick">', '<input type="hidden" name="hosted_button_id" value="ABC123">', 'type="image"', 'src="https://www.paypalobjects.com/en_US/i/btn/btn_buynow_LG.gif"', '<button type="submit" class="buy">Buy</button>', '<img src="https://pay.example.com/b.png">' ) as $kept ) {
		ok( false !== strpos( $stored, $kept ), "$id: an author's payment button keeps $kept", $stored );
	}
	ok( false === stripos( $stored, 'javascript:' ) && false === stripos( $stored, 'onclick' ) && false === stripos( $stored, 'onerror' ) && false === stripos( $stored, '<script' ), "$id: an author's payment button loses everything that runs script", $stored );

	// Visitors can't list funnels: not by post type, not in a feed, not by search.
	$title = "E2E listed $id";
	$shown = create_funnel( $f, $admin, 'publish', $title );
	foreach ( array( "?post_type=$type", "?post_type=$type&feed=rss2", "?s=listed&post_type=$type", '?s=listed', '?feed=rss2', "?post_type=$type&paged=1&orderby=title" ) as $query ) {
		$r = http( 'GET', home_url( "/$query" ) );
		ok( false === strpos( $r['body'], $title ) && '' === page_error( $r['body'] ), "$id: $query lists no funnel to visitors", $r['status'] );
	}
	$r = http( 'GET', add_query_arg( 'step', $f['slots'][0]['sales'], get_permalink( $shown ) ) );
	ok( 200 === $r['status'] && false !== strpos( $r['body'], 'class="' . $id . '-image"' ), "$id: a listed-nowhere funnel still serves its token pages" );
	foreach ( array( $post, $shown ) as $p ) {
		wp_delete_post( $p, true );
	}
}

function cmd_autosave( $dir ) {
	define( 'DOING_AUTOSAVE', true );
	load_wordpress();
	$f    = plugin_facts( $dir );
	$post = create_funnel( $f, user_id( 'admin' ), 'publish', 'E2E autosave ' . $f['id'] );
	save_as( $f, user_id( 'admin' ), $post, funnel_values( $f, 'autosave' ), plugin_name( $f['id'], 'save_funnel' ) );
	ok( '' === fresh_meta( $post, meta_key( $f, 0, 'code' ) ), $f['id'] . ': save during an autosave stores nothing' );
	wp_delete_post( $post, true );
}

function cmd_reactivate_pretty( $dir ) {
	global $wp_rewrite;
	load_wordpress();
	require_once ABSPATH . 'wp-admin/includes/admin.php';
	$f = plugin_facts( $dir );
	wp_set_current_user( user_id( 'admin' ) );
	deactivate_plugins( $f['file'] );
	ok( ! is_plugin_active( $f['file'] ), $f['id'] . ': deactivates' );
	$wp_rewrite->set_permalink_structure( '/%postname%/' );
	flush_rewrite_rules();
	ob_start();
	$r = activate_plugin( $f['file'] );
	ok( null === $r && '' === ob_get_clean(), $f['id'] . ': activates again with pretty addresses on' );
}

function cmd_check_pretty( $dir ) {
	load_wordpress();
	$f     = plugin_facts( $dir );
	$posts = get_posts(
		array(
			'post_type' => funnel_type( $f ),
			'title'     => 'E2E funnel ' . $f['id'],
		)
	);
	if ( ! ok( 1 === count( $posts ), $f['id'] . ': funnel found again' ) ) {
		return;
	}
	$permalink = get_permalink( $posts[0] );
	ok( false === strpos( $permalink, '?' ), $f['id'] . ": funnel has a pretty address ($permalink)" );
	foreach ( $f['slots'] as $n => $t ) {
		$r = http( 'GET', add_query_arg( 'step', $t['sales'], $permalink ) );
		ok( 200 === $r['status'] && false !== strpos( $r['body'], 'pay.example.com/s' . $n ), $f['id'] . ": sales page $n served at its pretty address", $r['status'] . ' ' . page_error( $r['body'] ) );
		$r = http( 'GET', add_query_arg( 'step', $t['download'], $permalink ) );
		ok( 200 === $r['status'] && anchors( $r['body'] ) === anchors( file_get_contents( "$dir/modules/template/download-funnelitem-$n.php" ) ), $f['id'] . ": download page $n served at its pretty address", $r['status'] );
	}
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

// --- One set of requests, with the plugin active and inactive -------------------------------------

/** Prints the active theme; with a theme given, switches to it first. */
function cmd_theme( $stylesheet = '' ) {
	load_wordpress();
	if ( '' !== $stylesheet ) {
		switch_theme( $stylesheet );
		ok( get_stylesheet() === $stylesheet, "theme $stylesheet is active" );
		return;
	}
	echo get_stylesheet();
}

function cmd_set_active( $dir, $active ) {
	load_wordpress();
	require_once ABSPATH . 'wp-admin/includes/plugin.php';
	$f = plugin_facts( $dir );
	wp_set_current_user( user_id( 'admin' ) );
	if ( $active ) {
		ob_start();
		activate_plugin( $f['file'] );
		ob_end_clean();
	} else {
		deactivate_plugins( $f['file'] );
	}
	ok( (bool) $active === is_plugin_active( $f['file'] ), $f['id'] . ( $active ? ': active again' : ': inactive for the baseline' ) );
}

/**
 * The funnel pages and screens a seller and visitors request, the same every time: the first call
 * makes a funnel and keeps its addresses in FILE, the next ones request them again, with the
 * plugin active or not. With the plugin active, every funnel page has exactly one <title>, the
 * seller's page title, whatever the theme and layout.
 */
function cmd_requests( $dir, $file ) {
	load_wordpress();
	require_once ABSPATH . 'wp-admin/includes/plugin.php';
	$f  = plugin_facts( $dir );
	$id = $f['id'];
	if ( ! is_file( $file ) ) {
		$pages = array();
		foreach ( array( 'canvas', 'theme' ) as $layout ) {
			$post = create_funnel( $f, user_id( 'admin' ), 'publish', "E2E requests $id $layout" );
			update_post_meta( $post, "{$id}_page_layout", $layout );
			$link           = get_permalink( $post );
			$pages[ $link ] = array( esc_html( get_bloginfo( 'name' ) ), $layout );
			foreach ( $f['slots'] as $n => $t ) {
				$title = "Requests $n: Ann's <Deal> & \"more\"";
				update_post_meta( $post, meta_key( $f, $n, 'pagetitle' ), wp_slash( $title ) );
				update_post_meta( $post, meta_key( $f, $n, 'code' ), '<form action="https://pay.example.com/r"><input type="submit" value="Buy"></form>' );
				$pages[ add_query_arg( 'step', $t['sales'], $link ) ]    = array( esc_html( $title ), $layout );
				$pages[ add_query_arg( 'step', $t['download'], $link ) ] = array( 'Your downloads', $layout );
			}
		}
		// A funnel with a payment check: the plugin's buy button, the page in place of the download
		// page, and the settings screen.
		$checked = create_funnel( $f, user_id( 'admin' ), 'publish', "E2E requests checked $id" );
		$first   = array_keys( $f['slots'] )[0];
		update_post_meta( $checked, meta_key( $f, $first, 'pagetitle' ), 'Checked' );
		update_post_meta( $checked, $id . '_payment_check', 'stripe' );
		update_post_meta( $checked, $id . "_payment_price_$first", '5' );
		update_post_meta( $checked, $id . "_payment_currency_$first", 'GBP' );
		update_post_meta( $checked, "{$id}_page_layout", 'theme' );
		$pages[ add_query_arg( 'step', $f['slots'][ $first ]['sales'], get_permalink( $checked ) ) ]    = array( 'Checked', 'theme' );
		$pages[ add_query_arg( 'step', $f['slots'][ $first ]['download'], get_permalink( $checked ) ) ] = array( 'Payment not confirmed', 'theme' );
		$type    = funnel_type( $f );
		$screens = array( 'index.php', 'plugins.php', "edit.php?post_type=$type", "post.php?post=$post&action=edit", "post.php?post=$checked&action=edit", "post-new.php?post_type=$type", "edit.php?post_type=$type&page=" . plugin_name( $id, 'payments' ) );
		file_put_contents( $file, wp_json_encode( array( 'pages' => $pages, 'screens' => array_map( 'admin_url', $screens ) ) ) );
	}
	$plan    = json_decode( file_get_contents( $file ), true );
	$active  = is_plugin_active( $f['file'] );
	$theme   = get_stylesheet();
	$cookies = auth_cookies( user_id( 'admin' ) );
	$titles  = array();
	$layouts = array();
	foreach ( $plan['pages'] as $url => $expected ) {
		list( $title, $layout ) = $expected;
		$r = http( 'GET', $url );
		preg_match_all( '#<title>(.*?)</title>#s', $r['body'], $m );
		// A classic theme's own header adds to the title what it adds on every page of the site.
		$own_header = 'theme' === $layout && ! wp_is_block_theme();
		if ( $active && array( $title ) !== $m[1] && ! ( $own_header && 1 === count( $m[1] ) && 0 === strpos( $m[1][0], "$title | " ) ) ) {
			$titles[] = "$url: " . wp_json_encode( $m[1] );
		}
		// The theme's header and footer, a block theme's template parts or the classic theme's own.
		$framed = 1 === preg_match( '#<header\b[^>]*class="[^"]*(wp-block-template-part|e2e-classic-header)#', $r['body'] )
			&& 1 === preg_match( '#<footer\b[^>]*class="[^"]*(wp-block-template-part|e2e-classic-footer)#', $r['body'] );
		$inside = 1 === preg_match( '#<div class="' . $id . '-page( ' . $id . '-(sales|download))?">\s*<main class="' . $id . '-wrap"#', $r['body'] );
		if ( $active && ( ( 'theme' === $layout ) !== $framed || ( 'theme' === $layout ) !== $inside || 1 !== substr_count( $r['body'], '<html' ) ) ) {
			$layouts[] = "$url ($layout): " . ( $framed ? 'framed' : 'bare' ) . ( $inside ? ', in a box' : '' ) . ', ' . substr_count( $r['body'], '<html' ) . ' <html>';
		}
	}
	foreach ( $plan['screens'] as $url ) {
		http( 'GET', $url, null, $cookies );
	}
	if ( $active ) {
		ok( array() === $titles, "$id: every funnel page in $theme has one <title>, its page title", implode( ' | ', $titles ) );
		ok( array() === $layouts, "$id: in $theme, funnel pages inside the site's header and footer show the theme's, canvas pages don't", implode( ' | ', $layouts ) );
	}
}

/**
 * A payment button of each kind (a form's submit input, a button, a link) keeps the plugin's green
 * and white, as headless Chromium computes them on the sales page in the active theme.
 */
function cmd_colours( $dir, $work ) {
	load_wordpress();
	$f  = plugin_facts( $dir );
	$id = $f['id'];
	foreach ( array( 'canvas', 'theme' ) as $layout ) {
		$post = create_funnel( $f, user_id( 'admin' ), 'publish', "E2E colours $id " . get_stylesheet() . " $layout" );
		update_post_meta( $post, "{$id}_page_layout", $layout );
		update_post_meta( $post, meta_key( $f, 0, 'code' ), '<form action="https://pay.example.com/c" method="post"><input type="submit" value="Buy now"></form><button type="button">Buy</button> <a href="https://pay.example.com/c">Buy</a>' );
		$url = add_query_arg( array( 'step' => $f['slots'][0]['sales'], 'e2e-colours' => $id ), get_permalink( $post ) );
		$cmd = 'chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking --disable-component-update --disable-sync'
			. ' --user-data-dir=' . escapeshellarg( "$work/chromium-colours" ) . ' --virtual-time-budget=5000 --dump-dom ' . escapeshellarg( $url ) . ' 2>/dev/null';
		$dom     = (string) shell_exec( $cmd );
		$colours = preg_match( '#<pre id="e2e-colours">(.*?)</pre>#s', $dom, $m ) ? json_decode( html_entity_decode( $m[1] ), true ) : null;
		// The card first: white, with the page's text colour, in both layouts.
		$want = array( array( 'div', 'rgb(255, 255, 255)', 'rgb(34, 34, 34)' ), array( 'input', 'rgb(46, 125, 50)', 'rgb(255, 255, 255)' ), array( 'button', 'rgb(46, 125, 50)', 'rgb(255, 255, 255)' ), array( 'a', 'rgb(46, 125, 50)', 'rgb(255, 255, 255)' ) );
		ok( $want === $colours, "$id: in " . get_stylesheet() . " ($layout), the card keeps its look and the buy button the plugin's colours as a submit input, a button and a link", wp_json_encode( $colours ) . ' ' . substr( strip_tags( $dom ), 0, 200 ) );
		wp_delete_post( $post, true );
	}
}

// --- Funnel statistics ---------------------------------------------------------------------------

const E2E_BROWSER = 'Mozilla/5.0 (X11; Linux x86_64; rv:115.0) Gecko/20100101 Firefox/115.0';

function stats_table( $facts ) {
	$fn = plugin_name( $facts['id'], 'stats_table' );
	return $fn();
}

/** The stored count of one funnel page on one day (today unless given). */
function stats_count( $facts, $post, $slot, $kind, $day = '' ) {
	global $wpdb;
	$table = stats_table( $facts );
	return (int) $wpdb->get_var( $wpdb->prepare( "SELECT views FROM $table WHERE funnel_id = %d AND slot = %d AND kind = %s AND day = %s", $post, $slot, $kind, '' !== $day ? $day : wp_date( 'Y-m-d' ) ) );
}

function stats_rows( $facts, $post ) {
	global $wpdb;
	$table = stats_table( $facts );
	return (int) $wpdb->get_var( $wpdb->prepare( "SELECT COUNT(*) FROM $table WHERE funnel_id = %d", $post ) );
}

function table_exists( $table ) {
	global $wpdb;
	return $table === $wpdb->get_var( $wpdb->prepare( 'SHOW TABLES LIKE %s', $wpdb->esc_like( $table ) ) );
}

/** A browser's visit to a funnel page, as a visitor (no cookies) unless cookies are given. */
function visit( $url, $cookies = array(), $headers = array( 'User-Agent: ' . E2E_BROWSER ), $from = null ) {
	return http( 'GET', $url, null, $cookies, $headers, $from );
}

/** The queries a page ran that name the given text (the e2e must-use plugin lists them on request). */
function queries_naming( $url, $needle ) {
	$r = http( 'GET', $url, null, array(), array( 'User-Agent: ' . E2E_BROWSER, 'X-E2E-Queries: 1' ) );
	if ( ! preg_match( '/<!-- e2e-queries:([A-Za-z0-9+\/=]+) -->/', $r['body'], $m ) ) {
		return null;
	}
	return array_values( array_filter( json_decode( base64_decode( $m[1] ), true ), static function ( $q ) use ( $needle ) {
		return false !== stripos( $q, $needle );
	} ) );
}

/** A nonce as WordPress makes it for the browser session behind the given cookies. */
function nonce_for( $user_id, $cookies, $action ) {
	$_COOKIE[ LOGGED_IN_COOKIE ] = $cookies[ LOGGED_IN_COOKIE ];
	wp_set_current_user( $user_id );
	$nonce = wp_create_nonce( $action );
	wp_set_current_user( 0 );
	unset( $_COOKIE[ LOGGED_IN_COOKIE ] );
	return $nonce;
}

/** The cells of one item's statistics table on the edit screen, as "row-period" => text. */
function stats_cells( $id, $html, $slot ) {
	if ( ! preg_match( '#<table class="widefat striped ' . preg_quote( $id, '#' ) . '-stats" id="' . preg_quote( $id, '#' ) . "-stats-$slot\">(.*?)</table>#s", $html, $t ) ) {
		return array();
	}
	preg_match_all( '#<td class="' . preg_quote( $id, '#' ) . '-stats-(\w+-\w+)">(.*?)</td>#', $t[1], $m, PREG_SET_ORDER );
	$cells = array();
	foreach ( $m as $c ) {
		$cells[ $c[1] ] = html_entity_decode( $c[2], ENT_QUOTES, 'UTF-8' );
	}
	return $cells;
}

function rate( $purchases, $views ) {
	return $views > 0 ? sprintf( '%.1f%%', 100 * $purchases / $views ) : "\u{2013}";
}

/**
 * Funnel statistics in the live site: which views are counted, exactly, under
 * parallel requests; what the edit screen and the funnel list show; who may
 * reset them; and that counting costs one query on a funnel page and none
 * anywhere else.
 */
function cmd_stats( $dir ) {
	global $wpdb;
	load_wordpress();
	require_once ABSPATH . 'wp-admin/includes/admin.php';
	$f      = plugin_facts( $dir );
	$id     = $f['id'];
	$table  = stats_table( $f );
	$author = user_id( 'seller' );
	$last   = max( array_keys( $f['slots'] ) );

	ok( table_exists( $table ), "$id: activation made the statistics table $table" );
	$readme = (string) file_get_contents( WP_PLUGIN_DIR . "/$id/readme.txt" );
	ok( false !== strpos( $readme, "\n== Statistics and privacy ==\n" ) && false !== strpos( $readme, 'no IP address, no cookie and no user agent' ) && false !== strpos( $readme, 'deleted the next day' ) && false !== strpos( $readme, "the buyer's email address" ), "$id: readme.txt tells site owners what is kept of visitors and buyers, and for how long" );
	$post  = create_funnel( $f, $author, 'publish', "E2E stats $id" );
	$other = create_funnel( $f, $author, 'publish', "E2E stats other $id" );
	$link  = get_permalink( $post );
	$page  = static function ( $slot, $kind ) use ( $f, $link ) {
		return add_query_arg( 'step', $f['slots'][ $slot ][ 'sales' === $kind ? 'sales' : 'download' ], $link );
	};

	// Visitors, one after another: every view counted once, per page.
	$plan = array( array( 0, 'sales', 3 ), array( 0, 'download', 1 ), array( $last, 'sales', 2 ), array( $last, 'download', 2 ) );
	if ( 0 === $last ) {
		$plan = array( array( 0, 'sales', 3 ), array( 0, 'download', 1 ) );
	}
	$statuses = array();
	foreach ( $plan as $p ) {
		for ( $i = 0; $i < $p[2]; ++$i ) {
			$statuses[] = visit( $page( $p[0], $p[1] ) )['status'];
		}
	}
	ok( array( 200 ) === array_values( array_unique( $statuses ) ), "$id: visitors' views answer 200", wp_json_encode( $statuses ) );
	foreach ( $plan as $p ) {
		$n = stats_count( $f, $post, $p[0], $p[1] );
		ok( $p[2] === $n, "$id: {$p[2]} anonymous views of item {$p[0]}'s {$p[1]} page counted as $n" );
	}
	ok( 0 === stats_rows( $f, $other ), "$id: another funnel's counters stay untouched" );

	// 50 visitors at once: the increment is atomic, so none is lost.
	$before = stats_count( $f, $post, 0, 'sales' );
	exec( 'seq 50 | xargs -P 50 -I{} curl --interface 127.1.0.{} -s -o /dev/null -w "%{http_code}\n" -A ' . escapeshellarg( E2E_BROWSER ) . ' ' . escapeshellarg( $page( 0, 'sales' ) ), $codes, $rc );
	$answered = count( array_filter( $codes, static function ( $c ) { return '200' === $c; } ) );
	$counted  = stats_count( $f, $post, 0, 'sales' ) - $before;
	ok( 0 === $rc && 50 === $answered, "$id: 50 parallel views all answer 200", "status $rc, " . implode( ' ', array_count_values( $codes ) ) );
	ok( 50 === $counted, "$id: 50 parallel views of one page counted as $counted" );

	// One visitor counts once per page and day, whatever browser it claims to be; its address is
	// kept nowhere, only today's keyed hashes.
	$was = stats_count( $f, $post, 0, 'sales' );
	for ( $i = 0; $i < 20; ++$i ) {
		visit( $page( 0, 'sales' ), array(), array( "User-Agent: Mozilla/5.0 (Windows NT 10.0; rv:$i.0) Gecko/20100101 Firefox/$i.0" ), '127.3.0.9' );
	}
	visit( $page( 0, 'download' ), array(), array( 'User-Agent: ' . E2E_BROWSER ), '127.3.0.9' );
	$seen = $wpdb->get_col( 'SELECT CONCAT(visitor, " ", day) FROM ' . $wpdb->prefix . plugin_name( $id, 'stats_seen' ) );
	$kept = array_filter( $seen, static function ( $row ) { return ! preg_match( '/^[0-9a-f]{64} ' . preg_quote( wp_date( 'Y-m-d' ), '/' ) . '$/', $row ); } );
	ok( $was + 1 === stats_count( $f, $post, 0, 'sales' ), "$id: 20 views by one visitor with 20 user agents count once", 'counted ' . ( stats_count( $f, $post, 0, 'sales' ) - $was ) );
	ok( count( $seen ) > 50 && ! $kept && ! preg_grep( '/127\./', $seen ), "$id: today's visitors are kept as keyed hashes of today only", wp_json_encode( array_slice( $kept, 0, 3 ) ) );

	// Who is not counted: the funnel's author, an administrator, an editor; bots; prefetches.
	$not_counted = array(
		'the funnel\'s author'        => array( auth_cookies( $author ), array( 'User-Agent: ' . E2E_BROWSER ) ),
		'an administrator'            => array( auth_cookies( user_id( 'admin' ) ), array( 'User-Agent: ' . E2E_BROWSER ) ),
		'an editor'                   => array( auth_cookies( user_id( 'editor' ) ), array( 'User-Agent: ' . E2E_BROWSER ) ),
		'Googlebot'                   => array( array(), array( 'User-Agent: Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)' ) ),
		'Bingbot'                     => array( array(), array( 'User-Agent: Mozilla/5.0 (compatible; bingbot/2.0; +http://www.bing.com/bingbot.htm)' ) ),
		'a link preview'              => array( array(), array( 'User-Agent: facebookexternalhit/1.1 (+http://www.facebook.com/externalhit_uatext.php)' ) ),
		'a script (curl)'             => array( array(), array( 'User-Agent: curl/7.88.1' ) ),
		'a request without a user agent' => array( array(), array() ),
		'a prefetch (Sec-Purpose)'    => array( array(), array( 'User-Agent: ' . E2E_BROWSER, 'Sec-Purpose: prefetch' ) ),
		'a prerender (Sec-Purpose)'   => array( array(), array( 'User-Agent: ' . E2E_BROWSER, 'Sec-Purpose: prefetch;prerender' ) ),
		'a prefetch (Purpose)'        => array( array(), array( 'User-Agent: ' . E2E_BROWSER, 'Purpose: prefetch' ) ),
		'a prefetch (X-Moz)'          => array( array(), array( 'User-Agent: ' . E2E_BROWSER, 'X-Moz: prefetch' ) ),
	);
	foreach ( $not_counted as $who => $request ) {
		$was = stats_count( $f, $post, 0, 'sales' );
		$r   = visit( $page( 0, 'sales' ), $request[0], $request[1] );
		$now = stats_count( $f, $post, 0, 'sales' );
		ok( 200 === $r['status'] && $now === $was, "$id: a view by $who is shown but not counted", $r['status'] . ' counted ' . ( $now - $was ) );
	}
	$was = stats_count( $f, $post, 0, 'sales' );
	visit( $page( 0, 'sales' ), auth_cookies( user_id( 'subscriber' ) ) );
	ok( $was + 1 === stats_count( $f, $post, 0, 'sales' ), "$id: a logged-in subscriber, who cannot edit the funnel, is counted" );
	$sum = static function () use ( $wpdb, $table, $post ) {
		return (int) $wpdb->get_var( $wpdb->prepare( "SELECT SUM(views) FROM $table WHERE funnel_id = %d", $post ) );
	};
	$was = $sum();
	visit( add_query_arg( 'step', 'sp99999', $link ) );
	visit( $link );
	ok( $was === $sum(), "$id: the default page (unknown or no token) counts nothing" );

	// Cost: the visitor's hash and one atomic increment on a counted view; nothing on an uncounted
	// view or any other page.
	$q = queries_naming( $page( 0, 'download' ), $table );
	ok( is_array( $q ) && 2 === count( $q ) && preg_match( '/^\s*INSERT IGNORE INTO \S+_stats_seen /is', $q[0] ) && preg_match( '/^\s*INSERT INTO .* ON DUPLICATE KEY UPDATE views = views \+ 1\s*$/is', $q[1] ), "$id: a counted view costs two queries: the visitor's hash and an atomic increment", wp_json_encode( $q ) );
	$sample = wp_insert_post( array( 'post_title' => "E2E plain post $id", 'post_status' => 'publish', 'post_type' => 'post' ) );
	foreach ( array( 'home page' => home_url( '/' ), 'a post' => get_permalink( $sample ), 'the funnel\'s default page' => $link ) as $what => $u ) {
		$q = queries_naming( $u, plugin_name( $id, 'stats' ) );
		ok( array() === $q, "$id: $what runs no statistics query", wp_json_encode( $q ) );
	}
	wp_delete_post( $sample, true );

	// Older days: the 7- and 30-day windows end right at their edges (today is one of the days).
	$today = new DateTimeImmutable( 'today', wp_timezone() );
	$older = array( 6 => array( 4, 1 ), 7 => array( 8, 2 ), 29 => array( 16, 4 ), 30 => array( 32, 8 ) );
	foreach ( $older as $days => $views ) {
		foreach ( array( 'sales', 'download' ) as $k => $kind ) {
			$wpdb->insert( $table, array( 'funnel_id' => $post, 'slot' => 0, 'kind' => $kind, 'day' => $today->modify( "-$days days" )->format( 'Y-m-d' ), 'views' => $views[ $k ] ) );
		}
	}
	$s0 = stats_count( $f, $post, 0, 'sales' );
	$d0 = stats_count( $f, $post, 0, 'download' );
	$expected = array(
		'week'  => array( $s0 + 4, $d0 + 1 ),
		'month' => array( $s0 + 4 + 8 + 16, $d0 + 1 + 2 + 4 ),
		'all'   => array( $s0 + 4 + 8 + 16 + 32, $d0 + 1 + 2 + 4 + 8 ),
	);
	$author_cookies = auth_cookies( $author );
	$r     = http( 'GET', admin_url( "post.php?post=$post&action=edit" ), null, $author_cookies );
	$b     = $r['body'];
	ok( 200 === $r['status'] && '' === page_error( $b ) && false !== strpos( $b, 'id="' . plugin_name( $id, 'statistics' ) . '"' ), "$id: the author's edit screen has the statistics box", $r['status'] . ' ' . page_error( $b ) );
	ok( strpos( $b, 'id="' . plugin_name( $id, 'statistics' ) . '"' ) < strpos( $b, 'id="' . $id . '_funnelitem_0"' ), "$id: the statistics box comes before the item boxes" );
	$cells = stats_cells( $id, $b, 0 );
	$want  = array();
	foreach ( $expected as $period => $e ) {
		$want[ "sales-$period" ]    = (string) $e[0];
		$want[ "download-$period" ] = (string) $e[1];
		$want[ "rate-$period" ]     = rate( $e[1], $e[0] );
	}
	ksort( $cells );
	ksort( $want );
	ok( $want === $cells, "$id: the front end offer's table shows views, purchases and rates for 7 days, 30 days and all time", wp_json_encode( array( 'want' => $want, 'shown' => $cells ) ) );
	foreach ( array_keys( $f['slots'] ) as $n ) {
		if ( 0 === $n ) {
			continue;
		}
		$s     = stats_count( $f, $post, $n, 'sales' );
		$d     = stats_count( $f, $post, $n, 'download' );
		$cells = stats_cells( $id, $b, $n );
		ok( array( "$s", "$d", rate( $d, $s ) ) === array( $cells['sales-all'] ?? '', $cells['download-all'] ?? '', $cells['rate-all'] ?? '' ) && $cells['sales-week'] === "$s", "$id: item $n's table shows its own figures", wp_json_encode( $cells ) );
	}
	$r  = http( 'GET', admin_url( "post.php?post=$other&action=edit" ), null, $author_cookies );
	$oc = stats_cells( $id, $r['body'], 0 );
	ok( '0' === ( $oc['sales-all'] ?? '' ) && "\u{2013}" === ( $oc['rate-all'] ?? '' ), "$id: a funnel without views shows 0 and no rate", wp_json_encode( $oc ) );

	// The funnel list: the front end offer's views and the whole funnel's purchases, all time.
	$purchases = (int) $wpdb->get_var( $wpdb->prepare( "SELECT SUM(views) FROM $table WHERE funnel_id = %d AND kind = 'download'", $post ) );
	$r         = http( 'GET', admin_url( 'edit.php?post_type=' . funnel_type( $f ) ), null, auth_cookies( user_id( 'admin' ) ) );
	ok( (bool) preg_match( '#<tr id="post-' . $post . '".*?Offer views: ' . number_format( $expected['all'][0] ) . '</span><br><span class="' . preg_quote( $id, '#' ) . '-stats-purchases">Purchases: ' . $purchases . '</span>.*?</tr>#s', $r['body'] ), "$id: the funnel list shows the offer's {$expected['all'][0]} views and the funnel's $purchases purchases", page_error( $r['body'] ) );
	ok( false !== strpos( $r['body'], 'column-' . plugin_name( $id, 'statistics' ) ), "$id: the funnel list has a statistics column" );

	// Reset: the link's nonce and the capability to edit that funnel are both needed.
	$rows   = stats_rows( $f, $post );
	$action = plugin_name( $id, 'reset_stats' );
	$reset  = static function ( $query, $cookies ) use ( $action, $post ) {
		return http( 'GET', admin_url( 'admin-post.php?' . http_build_query( array_merge( array( 'action' => $action, 'post' => $post ), $query ) ) ), null, $cookies );
	};
	$contributor         = user_id( 'contributor' );
	$contributor_cookies = auth_cookies( $contributor );
	$refused = array(
		'without a nonce'                          => $reset( array(), $author_cookies ),
		'with a forged nonce'                      => $reset( array( '_wpnonce' => 'abcdef1234' ), $author_cookies ),
		'with the nonce of another funnel'         => $reset( array( '_wpnonce' => nonce_for( $author, $author_cookies, "{$action}_$other" ) ), $author_cookies ),
		'by a contributor with a valid nonce'      => $reset( array( '_wpnonce' => nonce_for( $contributor, $contributor_cookies, "{$action}_$post" ) ), $contributor_cookies ),
		'logged out'                               => $reset( array( '_wpnonce' => nonce_for( $author, $author_cookies, "{$action}_$post" ) ), array() ),
	);
	foreach ( $refused as $what => $r ) {
		wp_cache_flush();
		ok( in_array( $r['status'], array( 400, 403 ), true ) && $rows === stats_rows( $f, $post ), "$id: reset $what is refused, the counts stay", $r['status'] . ' ' . ( isset( $r['headers']['location'] ) ? $r['headers']['location'] : '' ) . ' ' . stats_rows( $f, $post ) );
	}
	$wpdb->insert( $table, array( 'funnel_id' => $other, 'slot' => 0, 'kind' => 'sales', 'day' => wp_date( 'Y-m-d' ), 'views' => 5 ) );
	$other_rows = stats_rows( $f, $other );
	$rows       = stats_rows( $f, $post );
	preg_match( '#<a class="button ' . preg_quote( $id, '#' ) . '-stats-reset" href="([^"]+)"#', $b, $m );
	if ( ok( isset( $m[1] ), "$id: the statistics box offers a reset link" ) ) {
		$r = http( 'GET', html_entity_decode( $m[1], ENT_QUOTES ), null, $author_cookies );
		wp_cache_flush();
		ok( 302 === $r['status'] && false !== strpos( $r['headers']['location'] ?? '', "post.php?post=$post&action=edit" ) && 0 === stats_rows( $f, $post ), "$id: the author's reset through the box's link deletes the funnel's counts ($rows rows)", $r['status'] . ' ' . wp_json_encode( $r['headers'] ) );
		ok( $other_rows > 0 && $other_rows === stats_rows( $f, $other ), "$id: resetting one funnel leaves another's counts" );
		$r     = http( 'GET', $r['headers']['location'], null, $author_cookies );
		$cells = stats_cells( $id, $r['body'], 0 );
		ok( '0' === ( $cells['sales-all'] ?? '' ) && false !== strpos( $r['body'], 'The statistics of this funnel were reset.' ), "$id: after the reset the box shows 0 and says so", wp_json_encode( $cells ) );
	}

	// A funnel deleted for good takes its counters along.
	wp_delete_post( $other, true );
	ok( 0 === stats_rows( $f, $other ), "$id: deleting a funnel deletes its counts" );

	// A plugin built before kept its counts in {prefix}<id>_stats: replaced in place (never
	// activated again), the first view takes that table over with its counts. A table of that
	// old name that the earlier plugin did not make, or a foreign one under the new name, is left.
	$seen_table = $wpdb->prefix . plugin_name( $id, 'stats_seen' );
	$earlier    = $wpdb->prefix . $id . '_stats';
	visit( $page( 0, 'sales' ) );
	visit( $page( 0, 'sales' ) );
	$kept = stats_count( $f, $post, 0, 'sales' );
	$wpdb->query( "DROP TABLE $seen_table" );
	$wpdb->query( "RENAME TABLE $table TO $earlier" );
	delete_option( plugin_name( $id, 'stats_schema' ) );
	update_option( $id . '_stats_schema', '1', true );
	visit( $page( 0, 'sales' ) );
	wp_cache_flush();
	ok( table_exists( $table ) && ! table_exists( $earlier ) && $kept + 1 === stats_count( $f, $post, 0, 'sales' ) && false === get_option( $id . '_stats_schema' ), "$id: an update in place takes over the earlier build's counts ($kept) with the first view, and counts it" );

	$wpdb->query( "DROP TABLE $table, $seen_table" );
	delete_option( plugin_name( $id, 'stats_schema' ) );
	$wpdb->query( "CREATE TABLE $table (id int NOT NULL, other text, PRIMARY KEY (id))" );
	http( 'GET', admin_url( 'index.php' ), null, auth_cookies( user_id( 'admin' ) ) );
	visit( $page( 0, 'sales' ) );
	wp_cache_flush();
	ok( array( 'id', 'other' ) === $wpdb->get_col( "SHOW COLUMNS FROM $table" ) && ! table_exists( $seen_table ) && false === get_option( plugin_name( $id, 'stats_schema' ) ), "$id: a table of its name that it did not make is never altered", wp_json_encode( $wpdb->get_col( "SHOW COLUMNS FROM $table" ) ) );
	$wpdb->query( "DROP TABLE $table" );

	http( 'GET', admin_url( 'index.php' ), null, auth_cookies( user_id( 'admin' ) ) );
	wp_cache_flush();
	ok( table_exists( $table ) && table_exists( $seen_table ) && '2' === get_option( plugin_name( $id, 'stats_schema' ) ), "$id: without its tables, the first admin screen makes them" );
	visit( $page( 0, 'download' ) );
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
	$next       = '' !== $next_dir ? funnel_type( plugin_facts( $next_dir ) ) : '';
	$next_count = '' !== $next ? (int) $wpdb->get_var( $wpdb->prepare( "SELECT COUNT(*) FROM {$wpdb->posts} WHERE post_type = %s", $next ) ) : 0;

	$stats_table  = stats_table( $f );
	$orders_table = $wpdb->prefix . plugin_name( $id, 'orders' );
	ok( table_exists( $stats_table ) && false !== get_option( plugin_name( $id, 'stats_schema' ) ), "$id: the statistics table is there before the uninstall" );
	ok( table_exists( $orders_table ) && false !== get_option( plugin_name( $id, 'orders_schema' ) ), "$id: the orders table is there before the uninstall" );
	update_option( plugin_name( $id, 'payments' ), array( 'stripe_secret_key' => 'sk_test_gone' ), false );
	set_transient( plugin_name( $id, 'rate_e2e' ), 1, 60 );
	deactivate_plugins( $f['file'] );
	ob_start();
	$deleted = delete_plugins( array( $f['file'] ) );
	$output  = ob_get_clean();
	ok( true === $deleted && '' === $output, "$id: delete_plugins() deletes the plugin", ( is_wp_error( $deleted ) ? $deleted->get_error_message() : wp_json_encode( $deleted ) ) . $output );
	ok( ! file_exists( WP_PLUGIN_DIR . "/$id" ), "$id: plugin folder is gone" );

	wp_cache_flush();
	ok( ! table_exists( $stats_table ) && ! table_exists( $stats_table . '_seen' ), "$id: the statistics tables are dropped" );
	ok( array( false, false, false ) === array( get_option( plugin_name( $id, 'stats_schema' ) ), get_option( plugin_name( $id, 'stats_key' ) ), get_option( plugin_name( $id, 'stats_items' ) ) ), "$id: the statistics' options are deleted" );
	$left = $wpdb->get_col( $wpdb->prepare( "SELECT option_name FROM {$wpdb->options} WHERE option_name LIKE %s", '%' . $wpdb->esc_like( plugin_name( $id, '' ) ) . '%' ) );
	ok( ! table_exists( $orders_table ) && array() === $left, "$id: the orders table and every option of the plugin (credentials, secret, rate limit) are gone", implode( ', ', $left ) );
	$needles = array( $type, $id . '_funnelitem_', "E2E trashed $id", "E2E funnel $id", "E2E guard $id" );
	foreach ( $funnels as $funnel ) {
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

// A funnel filled in as a marketer would, for screenshots: prints the front end's sales page
// address and the download page address of the funnel's last item (the one with most links).
function cmd_showcase( $dir ) {
	load_wordpress();
	$facts = plugin_facts( $dir );
	$admin = user_id( 'admin' );
	$post  = create_funnel( $facts, $admin, 'publish', 'Spring Launch' );
	update_post_meta( $post, meta_key( $facts, 0, 'pagetitle' ), 'Traffic Magnet Pro' );
	update_post_meta( $post, meta_key( $facts, 0, 'headline' ), 'Steady visitors from channels you control' );
	update_post_meta(
		$post,
		meta_key( $facts, 0, 'code' ),
		'<a href="https://pay.example.com/traffic" style="display:inline-block;padding:14px 36px;background:#1a7f37;color:#fff;border-radius:6px;font:bold 20px sans-serif;text-decoration:none">Buy now for $47</a>'
	);
	$permalink = get_permalink( $post );
	echo add_query_arg( 'step', $facts['slots'][0]['sales'], $permalink ), "\n";
	$last = max( array_keys( $facts['slots'] ) );
	echo add_query_arg( 'step', $facts['slots'][ $last ]['download'], $permalink ), "\n";
	// The same sales page inside the site's header and footer.
	$framed = create_funnel( $facts, $admin, 'publish', 'Spring Launch framed' );
	foreach ( get_post_meta( $post ) as $key => $values ) {
		update_post_meta( $framed, $key, wp_slash( $values[0] ) );
	}
	update_post_meta( $framed, $facts['id'] . '_page_layout', 'theme' );
	echo add_query_arg( 'step', $facts['slots'][0]['sales'], get_permalink( $framed ) ), "\n";
}

// The statistics box of a funnel with two months of plausible traffic, for the README: saves the
// funnel's edit screen as the seller sees it to FILE (its addresses pointing at the test site)
// and prints nothing.
function cmd_stats_showcase( $dir, $file ) {
	global $wpdb;
	load_wordpress();
	$f     = plugin_facts( $dir );
	$admin = user_id( 'admin' );
	$post  = create_funnel( $f, $admin, 'publish', 'Spring Launch' );
	$table = stats_table( $f );
	$today = new DateTimeImmutable( 'today', wp_timezone() );
	// Each later page is reached by a share of the buyers of the one before it.
	$reach = array( 0 => 1.0, 1 => 0.09, 2 => 0.035, 3 => 0.05, 4 => 0.02 );
	$buy   = array( 0 => 0.09, 1 => 0.39, 2 => 0.31, 3 => 0.42, 4 => 0.28 );
	mt_srand( 14 );
	for ( $days = 0; $days < 60; ++$days ) {
		$visitors = 60 + mt_rand( 0, 50 ) + ( $days < 10 ? 40 : 0 );
		foreach ( array_keys( $f['slots'] ) as $n ) {
			$views  = (int) round( $visitors * $reach[ $n ] * ( 0.8 + mt_rand( 0, 40 ) / 100 ) );
			$bought = (int) round( $views * $buy[ $n ] * ( 0.7 + mt_rand( 0, 60 ) / 100 ) );
			$day    = $today->modify( "-$days days" )->format( 'Y-m-d' );
			$wpdb->insert( $table, array( 'funnel_id' => $post, 'slot' => $n, 'kind' => 'sales', 'day' => $day, 'views' => $views ) );
			$wpdb->insert( $table, array( 'funnel_id' => $post, 'slot' => $n, 'kind' => 'download', 'day' => $day, 'views' => $bought ) );
		}
	}
	// Only the statistics box and the item boxes' titles matter here: the others start closed.
	$boxes = array();
	foreach ( array_keys( $f['slots'] ) as $n ) {
		$boxes[] = $f['id'] . "_funnelitem_$n";
	}
	update_user_meta( $admin, 'closedpostboxes_' . funnel_type( $f ), $boxes );
	$r    = http( 'GET', admin_url( "post.php?post=$post&action=edit" ), null, auth_cookies( $admin ) );
	$html = str_replace( '<head>', '<head><base href="' . esc_url( admin_url( '/' ) ) . '">', $r['body'] );
	file_put_contents( $file, $html );
	delete_user_meta( $admin, 'closedpostboxes_' . funnel_type( $f ) );
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

// The files below a folder, as sorted paths relative to it.
function files_below( $dir ) {
	$files = array();
	foreach ( new RecursiveIteratorIterator( new RecursiveDirectoryIterator( $dir, FilesystemIterator::SKIP_DOTS ) ) as $file ) {
		$files[] = substr( $file->getPathname(), strlen( $dir ) + 1 );
	}
	sort( $files );
	return $files;
}

// True when the body lists any link of the given item's download page in the old plugin.
function anchors_of_download_page( $body, $old_dir, $n ) {
	$file = "$old_dir/modules/template/download-funnelitem-$n.php";
	return is_file( $file ) && array_intersect( anchors( $body ), anchors( file_get_contents( $file ) ) );
}

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
	case 'upgrade-check':
		cmd_upgrade_check( $args[0], $args[1] );
		break;
	default:
		fwrite( STDERR, "unknown command '$cmd'\n" );
		exit( 2 );
}
exit( $e2e_failed ? 1 : 0 );
