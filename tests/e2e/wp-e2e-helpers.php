<?php
/**
 * What every step shares: checks, loading the site, HTTP requests as visitors and
 * users, a plugin's facts read from its folder, funnels, fields and statistics' rows.
 * Part of tests/e2e/wp-e2e.php, which loads it.
 */

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

// The files below a folder, as sorted paths relative to it.
function files_below( $dir ) {
	$files = array();
	foreach ( new RecursiveIteratorIterator( new RecursiveDirectoryIterator( $dir, FilesystemIterator::SKIP_DOTS ) ) as $file ) {
		$files[] = substr( $file->getPathname(), strlen( $dir ) + 1 );
	}
	sort( $files );
	return $files;
}
