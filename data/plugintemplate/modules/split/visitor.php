<?php
/**
 * Who a split test's visitor is: a random id in a first-party cookie that holds nothing else,
 * given only on the sales page of an item under test. In a visit of the road, the id the visit
 * began with, so one visit sees one variant of every test from its first page to its end.
 */

defined( 'ABSPATH' ) || exit;

/** How long a browser keeps its visitor id: longer than any sensible test. */
const #fn#SPLIT_COOKIE_DAYS = 180;

/**
 * The visitor id's name, as a cookie and as a field of the buy form, which carries it for
 * browsers that keep no cookie: the price shown is the price asked.
 */
function #fn#split_cookie() {
	return '#fn#visitor';
}

function #fn#split_is_visitor_id( $value ) {
	return is_string( $value ) && 1 === preg_match( '/^[0-9a-f]{32}$/', $value );
}

/**
 * The visitor id of this request: a visit's, else the cookie's, else the buy form's; null before
 * a first one is given.
 *
 * @param string|null $set The id of the visit this request belongs to.
 */
function #fn#split_visitor( $set = null ) {
	static $visitor = null;
	if ( null !== $set ) {
		$visitor = $set;
	}
	if ( null === $visitor ) {
		// phpcs:disable WordPress.Security -- a random id, checked for its form; it opens nothing.
		$cookie = isset( $_COOKIE[ #fn#split_cookie() ] ) ? wp_unslash( $_COOKIE[ #fn#split_cookie() ] ) : '';
		$form   = isset( $_POST[ #fn#split_cookie() ] ) ? wp_unslash( $_POST[ #fn#split_cookie() ] ) : '';
		// phpcs:enable WordPress.Security
		if ( #fn#split_is_visitor_id( $cookie ) ) {
			$visitor = $cookie;
		} elseif ( #fn#split_is_visitor_id( $form ) ) {
			$visitor = $form;
		}
	}
	return $visitor;
}

/** The request's visitor id, a new one (and its cookie) where it has none. */
function #fn#split_visitor_given() {
	$visitor = #fn#split_visitor();
	if ( null !== $visitor ) {
		return $visitor;
	}
	$visitor = bin2hex( random_bytes( 16 ) );
	if ( ! headers_sent() ) {
		setcookie(
			#fn#split_cookie(),
			$visitor,
			array(
				'expires'  => time() + DAY_IN_SECONDS * #fn#SPLIT_COOKIE_DAYS,
				'path'     => COOKIEPATH ? COOKIEPATH : '/',
				'domain'   => COOKIE_DOMAIN ? COOKIE_DOMAIN : '',
				'secure'   => is_ssl(),
				'httponly' => true,
				'samesite' => 'Lax',
			)
		);
	}
	return #fn#split_visitor( $visitor );
}

/** The buy form's copy of the visitor id, where the request has one. */
function #fn#split_form_html() {
	$visitor = #fn#split_visitor();
	return null === $visitor ? '' : '<input type="hidden" name="' . esc_attr( #fn#split_cookie() ) . '" value="' . esc_attr( $visitor ) . '">';
}

/**
 * The visitor id of a visit: the one its front end was bought with, or, where that browser kept
 * none, one made from the visit's own token, so the visit still sees one variant throughout.
 */
function #fn#split_visit_visitor( $visit ) {
	$front = #fn#orders_get( (int) $visit->front_order );
	if ( null !== $front && #fn#split_is_visitor_id( $front->visitor ) ) {
		return $front->visitor;
	}
	return substr( hash_hmac( 'sha256', 'visit|' . $visit->token, #fn#split_key() ), 0, 32 );
}

/**
 * The visitor id of the visit this request belongs to, or null: set once the road has read the
 * visit. A visit's buyer has paid, so its pages show their variants whatever the browser.
 *
 * @param object|null $visit The request's visit.
 */
function #fn#split_request_visit( $visit = null ) {
	static $visitor = null;
	if ( null !== $visit ) {
		$visitor = #fn#split_visitor( #fn#split_visit_visitor( $visit ) );
	}
	return $visitor;
}

/**
 * Whether this request takes part in tests: not a bot, not a prefetch, not the seller or their
 * colleagues, who see the original (or a variant they preview) and are never counted.
 */
function #fn#split_takes_part( $post ) {
	return ! #fn#stats_is_bot() && ! #fn#stats_is_prefetch() && ! current_user_can( 'edit_post', $post->ID );
}

/** The site's key of the assignment: kept, so any assignment can be recomputed for an audit. */
function #fn#split_key() {
	$key = get_option( '#fn#split_key' );
	if ( ! is_string( $key ) || strlen( $key ) < 32 ) {
		// Made when the first test starts, before any visitor is assigned; a value that is no key
		// is replaced, so the key every request uses is the one stored.
		$key = bin2hex( random_bytes( 32 ) );
		update_option( '#fn#split_key', $key, false );
	}
	return $key;
}

/** What the site's privacy policy can say of the visitor id: offered in WordPress's policy guide. */
function #fn#split_privacy_policy() {
	if ( ! function_exists( 'wp_add_privacy_policy_content' ) ) {
		return;
	}
	/* translators: %s: the cookie's name. */
	$text = sprintf( __( 'When a sales page of this site is being split tested, your browser gets a cookie named %s. It holds a random number and nothing else; it decides which version of the page you see, so that you see the same one each time, and lasts 180 days. While the test runs, the site keeps a keyed hash of that number to count each visitor once, and deletes it when the test ends. Only totals per version are kept: visitors, purchases and revenue.', '#prefix#' ), #fn#split_cookie() );
	wp_add_privacy_policy_content( #fn#plugin_name(), wpautop( esc_html( $text ) ) );
}
add_action( 'admin_init', '#fn#split_privacy_policy' );
