<?php
/**
 * Payment check: a funnel may deliver its downloads only for a payment the
 * provider confirms. The funnel's choice, its items' prices, the site's
 * credentials and the personal access links live here; the provider's calls in
 * stripe.php and paypal.php, the orders in orders.php. With the check off
 * ("None"), nothing here touches a page.
 */

defined( 'ABSPATH' ) || exit;

require_once __DIR__ . '/orders.php';
require_once __DIR__ . '/checkouts.php';
require_once __DIR__ . '/stripe.php';
require_once __DIR__ . '/paypal.php';
require_once __DIR__ . '/buyer_pages.php';
require_once __DIR__ . '/privacy.php';
require_once dirname( __DIR__ ) . '/road/road.php';

/** The checks a funnel may choose; the first is the default. */
function #fn#payments_checks() {
	return array(
		'none'   => __( 'None', '#prefix#' ),
		'stripe' => __( 'Stripe', '#prefix#' ),
		'paypal' => __( 'PayPal', '#prefix#' ),
	);
}

/** Currencies a price may be in, with their number of decimals as the providers count them. */
function #fn#payments_currencies() {
	return array(
		'USD' => 2,
		'EUR' => 2,
		'GBP' => 2,
		'CAD' => 2,
		'AUD' => 2,
		'NZD' => 2,
		'CHF' => 2,
		'SEK' => 2,
		'NOK' => 2,
		'DKK' => 2,
		'JPY' => 0,
	);
}

/** The site's credentials and choices: one option, never autoloaded, since it holds secrets. */
function #fn#payments_option() {
	return '#fn#payments';
}

/**
 * @return array The settings, every key present.
 */
function #fn#payments_settings() {
	$saved = get_option( #fn#payments_option(), array() );
	$saved = is_array( $saved ) ? $saved : array();
	$out   = array();
	foreach ( #fn#payments_defaults() as $key => $default ) {
		$out[ $key ] = isset( $saved[ $key ] ) && is_scalar( $saved[ $key ] ) ? $saved[ $key ] : $default;
	}
	$out['access_days']   = max( 1, (int) $out['access_days'] );
	$out['visit_minutes'] = min( 1440, max( 5, (int) $out['visit_minutes'] ) );
	return $out;
}

function #fn#payments_defaults() {
	return array(
		'mode'                  => 'test',
		'stripe_secret_key'     => '',
		'stripe_webhook_secret' => '',
		'paypal_client_id'      => '',
		'paypal_secret'         => '',
		'paypal_webhook_id'     => '',
		'access_days'           => 30,
		'contact_email'         => '',
		'trusted_proxies'       => '',
		'visit_minutes'         => 60,
		'paypal_vault'          => '',
	);
}

function #fn#payments_save_settings( $settings ) {
	if ( false === get_option( #fn#payments_option() ) ) {
		add_option( #fn#payments_option(), $settings, '', 'no' );
	} else {
		update_option( #fn#payments_option(), $settings, false );
	}
}

/** Where the buyer can write when a payment could not be confirmed. */
function #fn#payments_contact_email() {
	$email = #fn#payments_settings()['contact_email'];
	return is_email( $email ) ? $email : get_option( 'admin_email' );
}

/**
 * Stripe's API address. Only wp-config.php can point it elsewhere (a test's
 * stand-in server), since a constant can't be set from the admin screens.
 */
function #fn#stripe_api_base() {
	return defined( 'VELTRANO_STRIPE_API_BASE' ) ? untrailingslashit( (string) VELTRANO_STRIPE_API_BASE ) : 'https://api.stripe.com';
}

/** PayPal's REST API address: the sandbox's in test mode, unless wp-config.php points it elsewhere. */
function #fn#paypal_api_base() {
	if ( defined( 'VELTRANO_PAYPAL_API_BASE' ) ) {
		return untrailingslashit( (string) VELTRANO_PAYPAL_API_BASE );
	}
	return 'live' === #fn#payments_settings()['mode'] ? 'https://api-m.paypal.com' : 'https://api-m.sandbox.paypal.com';
}

/** The HMAC key of the access links: drawn once per site, never autoloaded or shown. */
function #fn#payments_secret() {
	$secret = get_option( '#fn#payments_secret' );
	if ( ! is_string( $secret ) || strlen( $secret ) < 64 ) {
		$secret = wp_generate_password( 64, true, true );
		delete_option( '#fn#payments_secret' );
		add_option( '#fn#payments_secret', $secret, '', 'no' );
	}
	return $secret;
}

function #fn#payments_meta_key( $field, $slot = null ) {
	return null === $slot ? '#prefix#_payment_' . $field : '#prefix#_payment_' . $field . '_' . (int) $slot;
}

/** The funnel's check: 'none' unless it chose one that this plugin knows. */
function #fn#payments_check( $post_id ) {
	$check = get_post_meta( $post_id, #fn#payments_meta_key( 'check' ), true );
	return is_string( $check ) && 'none' !== $check && isset( #fn#payments_checks()[ $check ] ) ? $check : 'none';
}

/**
 * An amount written as a decimal number ("19.99", "1000") in the currency's smallest unit, as the
 * providers count it; null when it is no such amount or has more decimals than the currency.
 */
function #fn#payments_minor_units( $value, $currency ) {
	$currencies = #fn#payments_currencies();
	if ( ! is_string( $value ) || ! isset( $currencies[ $currency ] ) || ! preg_match( '/^(\d{1,9})(?:\.(\d{1,2}))?$/', $value, $m ) ) {
		return null;
	}
	$decimals = $currencies[ $currency ];
	$fraction = isset( $m[2] ) ? $m[2] : '';
	if ( strlen( rtrim( $fraction, '0' ) ) > $decimals ) {
		return null;
	}
	return (int) $m[1] * ( 10 ** $decimals ) + ( $decimals ? (int) substr( str_pad( $fraction, $decimals, '0' ), 0, $decimals ) : 0 );
}

/** An amount in the smallest unit written as the providers take it in decimals: 1999 USD is "19.99". */
function #fn#payments_decimal( $amount, $currency ) {
	$decimals = #fn#payments_currencies()[ $currency ];
	return number_format( $amount / ( 10 ** $decimals ), $decimals, '.', '' );
}

/**
 * The smallest and largest amount a check's provider charges in a currency, in its smallest unit.
 * Stripe's are documented per currency (https://docs.stripe.com/currencies#minimum-and-maximum-charge-amounts:
 * at least the minimum listed, at most eight digits); PayPal takes any amount from one cent.
 *
 * @return int[] array( min, max ).
 */
function #fn#payments_limits( $check, $currency ) {
	$stripe_minimum = array(
		'USD' => 50,
		'EUR' => 50,
		'GBP' => 30,
		'CAD' => 50,
		'AUD' => 50,
		'NZD' => 50,
		'CHF' => 50,
		'SEK' => 300,
		'NOK' => 300,
		'DKK' => 250,
		'JPY' => 50,
	);
	if ( 'stripe' === $check ) {
		return array( isset( $stripe_minimum[ $currency ] ) ? $stripe_minimum[ $currency ] : 50, 99999999 );
	}
	return array( 1, 999999999 );
}

/**
 * Why a price can't be charged through a check, naming the limit; '' when it can.
 *
 * @param int $amount In the currency's smallest unit.
 */
function #fn#payments_price_problem( $check, $amount, $currency ) {
	list( $min, $max ) = #fn#payments_limits( $check, $currency );
	$label             = 'stripe' === $check ? 'Stripe' : 'PayPal';
	if ( $amount < $min ) {
		/* translators: 1: provider, 2: the lowest amount with its currency. */
		return sprintf( __( '%1$s charges at least %2$s.', '#prefix#' ), $label, #fn#payments_decimal( $min, $currency ) . ' ' . $currency );
	}
	if ( $amount > $max ) {
		/* translators: 1: provider, 2: the highest amount with its currency. */
		return sprintf( __( '%1$s charges at most %2$s.', '#prefix#' ), $label, #fn#payments_decimal( $max, $currency ) . ' ' . $currency );
	}
	return '';
}

/**
 * An item's price in the currency's smallest unit, as the providers take it: null without a
 * valid price, or when the funnel's provider would refuse to charge it.
 *
 * @return array|null array( 'amount' => int, 'currency' => 'USD', 'price' => '19.99' ).
 */
function #fn#payments_price( $post_id, $slot ) {
	// A split test may ask another price of this request's visitor.
	$price    = (string) #fn#split_field( $post_id, $slot, 'price', (string) get_post_meta( $post_id, #fn#payments_meta_key( 'price', $slot ), true ) );
	$currency = (string) get_post_meta( $post_id, #fn#payments_meta_key( 'currency', $slot ), true );
	$amount   = preg_match( '/^\d{1,7}(\.\d{1,2})?$/', $price ) ? #fn#payments_minor_units( $price, $currency ) : null;
	$check    = #fn#payments_check( $post_id );
	if ( null === $amount || $amount <= 0 || ( 'none' !== $check && '' !== #fn#payments_price_problem( $check, $amount, $currency ) ) ) {
		return null;
	}
	return array(
		'amount'   => $amount,
		'currency' => $currency,
		'price'    => #fn#payments_decimal( $amount, $currency ),
	);
}

/** The item's name for buyers: its page title, or the funnel's. */
function #fn#payments_item_name( $post_id, $slot ) {
	$name = trim( wp_strip_all_tags( (string) get_post_meta( $post_id, '#prefix#_funnelitem_' . (int) $slot . '_pagetitle', true ) ) );
	return '' === $name ? get_the_title( $post_id ) : $name;
}

/** The funnel page of a token: array( slot, 'sales'|'download', box ), or null. */
function #fn#payments_page_of( $token ) {
	foreach ( #fn#funnel_meta_boxes() as $box ) {
		$slot = (int) substr( strrchr( $box['id'], '_' ), 1 );
		if ( '' !== $token && $token === $box['sales_token'] ) {
			return array( $slot, 'sales', $box );
		}
		if ( '' !== $token && $token === $box['download_token'] ) {
			return array( $slot, 'download', $box );
		}
	}
	return null;
}

function #fn#payments_box_of( $slot ) {
	foreach ( #fn#funnel_meta_boxes() as $box ) {
		if ( (int) substr( strrchr( $box['id'], '_' ), 1 ) === (int) $slot ) {
			return $box;
		}
	}
	return null;
}

/** The funnel's fields are the plugin's own: no core screen or API writes them. */
function #fn#payments_protected_meta( $protected, $meta_key, $meta_type ) {
	if ( 'post' === $meta_type && is_string( $meta_key ) && 0 === strpos( $meta_key, '#prefix#_payment_' ) ) {
		return true;
	}
	return $protected;
}
add_filter( 'is_protected_meta', '#fn#payments_protected_meta', 10, 3 );

/**
 * Stores the payment box's fields when a funnel is saved, as the item boxes are saved: with its
 * own nonce, for users who may edit the funnel, whatever screen or request saves it.
 */
function #fn#payments_save_box( $post_id ) {
	if ( ! isset( $_POST['#fn#payments_nonce'] ) || ! is_string( $_POST['#fn#payments_nonce'] )
		|| ! wp_verify_nonce( sanitize_key( wp_unslash( $_POST['#fn#payments_nonce'] ) ), '#fn#save_payments' ) ) {
		return;
	}
	if ( ( defined( 'DOING_AUTOSAVE' ) && DOING_AUTOSAVE ) || wp_is_post_revision( $post_id ) || wp_is_post_autosave( $post_id ) || ! current_user_can( 'edit_post', $post_id ) ) {
		return;
	}
	$check = #fn#payments_request_string( '#fn#payment_check', $_POST );
	$check = isset( #fn#payments_checks()[ $check ] ) ? $check : 'none';
	update_post_meta( $post_id, #fn#payments_meta_key( 'check' ), $check );
	$refused = array();
	foreach ( #fn#funnel_meta_boxes() as $box ) {
		$slot     = (int) substr( strrchr( $box['id'], '_' ), 1 );
		$price    = str_replace( ',', '.', #fn#payments_request_string( '#fn#payment_price_' . $slot, $_POST ) );
		$currency = #fn#payments_request_string( '#fn#payment_currency_' . $slot, $_POST );
		$currency = isset( #fn#payments_currencies()[ $currency ] ) ? $currency : 'USD';
		$price    = preg_match( '/^\d{1,7}(\.\d{1,2})?$/', $price ) ? $price : '';
		$amount   = '' === $price ? null : #fn#payments_minor_units( $price, $currency );
		$problem  = null === $amount || 'none' === $check ? '' : #fn#payments_price_problem( $check, $amount, $currency );
		if ( '' !== $problem ) {
			// The provider would refuse the price: the one saved before stays, and the seller is told why.
			$refused[ $slot ] = $price . ' ' . $currency;
			continue;
		}
		update_post_meta( $post_id, #fn#payments_meta_key( 'price', $slot ), $price );
		update_post_meta( $post_id, #fn#payments_meta_key( 'currency', $slot ), $currency );
	}
	if ( $refused ) {
		// The edit screen that WordPress goes back to after saving names them.
		add_filter(
			'redirect_post_location',
			static function ( $location ) use ( $refused ) {
				return add_query_arg( '#fn#refused', rawurlencode( wp_json_encode( $refused ) ), $location );
			}
		);
	}
}

/**
 * The prices a funnel's last save refused, as the edit screen's address names them, each with
 * the provider's limit it broke.
 *
 * @return string[] slot => message.
 */
function #fn#payments_refused_prices( $post_id ) {
	$given   = isset( $_GET['#fn#refused'] ) && is_string( $_GET['#fn#refused'] ) ? json_decode( wp_unslash( $_GET['#fn#refused'] ), true ) : null; // phpcs:ignore WordPress.Security
	$check   = #fn#payments_check( $post_id );
	$refused = array();
	foreach ( is_array( $given ) && 'none' !== $check ? $given : array() as $slot => $value ) {
		$parts  = is_string( $value ) ? explode( ' ', $value ) : array();
		$box    = #fn#payments_box_of( (int) $slot );
		$amount = 2 === count( $parts ) ? #fn#payments_minor_units( $parts[0], $parts[1] ) : null;
		if ( null !== $box && null !== $amount && '' !== #fn#payments_price_problem( $check, $amount, $parts[1] ) ) {
			/* translators: 1: the item, 2: the price given, 3: the provider's limit. */
			$refused[ (int) $slot ] = sprintf( __( '%1$s: the price %2$s was not saved. %3$s', '#prefix#' ), $box['title'], $value, #fn#payments_price_problem( $check, $amount, $parts[1] ) );
		}
	}
	return $refused;
}
add_action( 'save_post_' . #fn#post_type(), '#fn#payments_save_box' );

/**
 * The personal access link of an order: its download page with the order, the
 * expiry and an HMAC-SHA256 of both under the site's secret.
 */
function #fn#payments_access_url( $order ) {
	$box = #fn#payments_box_of( $order->slot );
	if ( null === $box ) {
		return '';
	}
	$expires = time() + DAY_IN_SECONDS * #fn#payments_settings()['access_days'];
	$value   = (int) $order->id . '.' . $expires . '.' . #fn#payments_access_mac( $order, $expires );
	return add_query_arg( '#fn#access', $value, #fn#page_url( (int) $order->funnel_id, $box['download_token'] ) );
}

function #fn#payments_access_mac( $order, $expires ) {
	$data = implode( '|', array( 'access', (int) $order->id, (int) $order->funnel_id, (int) $order->slot, $order->provider, $order->payment_id, (int) $expires ) );
	return hash_hmac( 'sha256', $data, #fn#payments_secret() );
}

/**
 * The order an access link of this download page opens, or null when it was
 * changed, has expired or belongs to another page.
 */
function #fn#payments_access_order( $value, $post_id, $slot ) {
	if ( ! preg_match( '/^(\d{1,18})\.(\d{1,12})\.([0-9a-f]{64})$/', $value, $m ) || (int) $m[2] < time() ) {
		return null;
	}
	$order = #fn#orders_get( (int) $m[1] );
	if ( ! #fn#orders_is_paid( $order ) || (int) $order->funnel_id !== (int) $post_id || (int) $order->slot !== (int) $slot ) {
		return null;
	}
	return hash_equals( #fn#payments_access_mac( $order, (int) $m[2] ), $m[3] ) ? $order : null;
}

function #fn#payments_request_string( $name, $source ) {
	return isset( $source[ $name ] ) && is_string( $source[ $name ] ) ? sanitize_text_field( wp_unslash( $source[ $name ] ) ) : '';
}

/** How long after its payment was recorded a provider's reference still opens the downloads. */
const #fn#REFERENCE_MINUTES = 15;

/**
 * Called by the page template before it serves a token. With the funnel's
 * check on, a download page is served only for a verified order, and the sales
 * page's button is the plugin's own. The tokens are the plugin's, shared by its
 * funnels, so once any funnel checks payments, the download pages of those that
 * don't are closed too: their tokens are in providers' return addresses now.
 *
 * @return bool Whether the page was served here.
 */
function #fn#payments_take_over( $post, $token ) {
	if ( ! $post instanceof WP_Post ) {
		return false;
	}
	$check = #fn#payments_check( $post->ID );
	$page  = #fn#payments_page_of( $token );
	if ( null === $page ) {
		return false;
	}
	list( $slot, $kind ) = $page;
	if ( 'none' === $check ) {
		if ( 'download' === $kind && #fn#payments_checked_elsewhere( $post->ID ) ) {
			#fn#payments_not_confirmed_page( $post, $slot );
			return true;
		}
		return false;
	}
	if ( 'sales' === $kind ) {
		if ( #fn#road_take_over( $post, $slot ) ) {
			return true;
		}
		if ( empty( #fn#road_state()['visit'] ) ) {
			#fn#payments_replace_button( $post, $slot );
		}
		return false;
	}

	// phpcs:disable WordPress.Security.NonceVerification -- a buyer's address, signed by the provider or by this site.
	$access = #fn#payments_request_string( '#fn#access', $_GET );
	if ( '' !== $access ) {
		$order = #fn#payments_access_order( $access, $post->ID, $slot );
		if ( null !== $order ) {
			#fn#payments_remember_order( $order );
			#fn#payments_limit_links( $order );
			return false;
		}
		#fn#payments_not_confirmed_page( $post, $slot );
		return true;
	}
	if ( 'paypal' === $check ) {
		// PayPal's buttons post the approved order here; a GET has nothing to confirm.
		$paypal = #fn#payments_request_string( '#fn#order', $_POST );
		$order  = '' === $paypal ? null : #fn#paypal_confirm_return( $post, $slot, $paypal );
	} else {
		$session = #fn#payments_request_string( '#fn#session', $_GET );
		$order   = '' === $session ? null : #fn#stripe_confirm_return( $post, $slot, $session );
	}
	// phpcs:enable WordPress.Security.NonceVerification
	if ( ! #fn#payments_reference_opens( $order ) ) {
		#fn#payments_not_confirmed_page( $post, $slot );
		return true;
	}
	// The front end leads on to the first offer; an offer's checkout back into its visit.
	$next = #fn#road_after_payment( $post, $order );
	if ( '' === $next ) {
		#fn#payments_deliver( $order );
		$next = #fn#payments_access_url( $order );
	}
	// The provider's reference leaves the address: a reload or a bookmark opens the personal link.
	wp_safe_redirect( $next, 303 );
	exit;
}

/**
 * Whether a provider's reference (a Stripe session, a PayPal order) may still be turned into an
 * access link: only for a paid order, and only in the minutes after its payment was recorded.
 * Later, the reference in a browser's history or a log opens nothing; the buyer has the mail.
 */
function #fn#payments_reference_opens( $order ) {
	return #fn#orders_is_paid( $order ) && strtotime( $order->created . ' UTC' ) >= time() - #fn#REFERENCE_MINUTES * MINUTE_IN_SECONDS;
}

/** The buyer's access link goes out by mail once per order, whoever recorded it first. */
function #fn#payments_deliver( $order ) {
	if ( null !== $order && #fn#orders_is_paid( $order ) && #fn#orders_claim_mail( $order ) ) {
		#fn#payments_mail_access( $order );
	}
}

/** Whether another funnel of this plugin checks payments, which makes the shared tokens public. */
function #fn#payments_checked_elsewhere( $post_id ) {
	global $wpdb;
	$checks = array_diff( array_keys( #fn#payments_checks() ), array( 'none' ) );
	$in     = implode( ',', array_fill( 0, count( $checks ), '%s' ) );
	return (bool) $wpdb->get_var( // phpcs:ignore WordPress.DB.DirectDatabaseQuery
		$wpdb->prepare(
			"SELECT p.ID FROM {$wpdb->posts} p JOIN {$wpdb->postmeta} m ON m.post_id = p.ID WHERE p.post_type = %s AND p.ID <> %d AND p.post_status NOT IN ('auto-draft', 'inherit', 'trash') AND m.meta_key = %s AND m.meta_value IN ($in) LIMIT 1", // phpcs:ignore WordPress.DB.PreparedSQL
			array_merge( array( #fn#post_type(), (int) $post_id, #fn#payments_meta_key( 'check' ) ), $checks )
		)
	);
}

/** The cookie that remembers which orders this browser opened, signed by the site. */
function #fn#payments_buyer_cookie() {
	return '#fn#buyer';
}

function #fn#payments_buyer_mac( $ids ) {
	return hash_hmac( 'sha256', 'buyer|' . $ids, #fn#payments_secret() );
}

/** The orders this browser opened with their access links: ids the site signed, nothing typed. */
function #fn#payments_buyer_orders() {
	$value = isset( $_COOKIE[ #fn#payments_buyer_cookie() ] ) && is_string( $_COOKIE[ #fn#payments_buyer_cookie() ] ) ? wp_unslash( $_COOKIE[ #fn#payments_buyer_cookie() ] ) : ''; // phpcs:ignore WordPress.Security.ValidatedSanitizedInput
	if ( ! preg_match( '/^(\d{1,18}(?:-\d{1,18}){0,9})\.([0-9a-f]{64})$/', $value, $m ) || ! hash_equals( #fn#payments_buyer_mac( $m[1] ), $m[2] ) ) {
		return array();
	}
	return array_map( 'intval', explode( '-', $m[1] ) );
}

function #fn#payments_remember_order( $order ) {
	$ids   = array_slice( array_values( array_unique( array_merge( array( (int) $order->id ), #fn#payments_buyer_orders() ) ) ), 0, 10 );
	$value = implode( '-', $ids );
	$_COOKIE[ #fn#payments_buyer_cookie() ] = $value . '.' . #fn#payments_buyer_mac( $value );
	if ( ! headers_sent() ) {
		setcookie(
			#fn#payments_buyer_cookie(),
			$_COOKIE[ #fn#payments_buyer_cookie() ],
			array(
				'expires'  => time() + DAY_IN_SECONDS * #fn#payments_settings()['access_days'],
				'path'     => COOKIEPATH ? COOKIEPATH : '/',
				'domain'   => COOKIE_DOMAIN ? COOKIE_DOMAIN : '',
				'secure'   => is_ssl(),
				'httponly' => true,
				'samesite' => 'Lax',
			)
		);
	}
}

/**
 * An upsell's or downsell's download page lists the items on the way to it: of those, the buyer
 * gets only the order's own item and the items of other orders this browser opened with their
 * access links. The page prints its links through wp_kses(), whose pre_kses filter takes out the
 * others' lines.
 */
function #fn#payments_limit_links( $order ) {
	$paid  = array( (int) $order->slot => true );
	$visit = (int) $order->visit_id ? #fn#visits_get( 'id', $order->visit_id ) : null;
	// The end of a visit shows what the visit bought; any other page what this browser opened.
	$others = null === $visit ? array_map( '#fn#orders_get', #fn#payments_buyer_orders() ) : #fn#visits_orders( $visit );
	foreach ( $others as $other ) {
		if ( #fn#orders_is_paid( $other ) && (int) $other->funnel_id === (int) $order->funnel_id ) {
			$paid[ (int) $other->slot ] = true;
		}
	}
	$keep = array();
	$drop = array();
	foreach ( #fn#funnel_meta_boxes() as $box ) {
		$slot = (int) substr( strrchr( $box['id'], '_' ), 1 );
		$link = #fn#payments_own_link( $slot );
		if ( '' !== $link ) {
			if ( isset( $paid[ $slot ] ) ) {
				$keep[ $link ] = true;
			} else {
				$drop[ $link ] = true;
			}
		}
	}
	$drop = array_diff_key( $drop, $keep );
	if ( ! $drop ) {
		return;
	}
	add_filter(
		'pre_kses',
		static function ( $content ) use ( $drop ) {
			if ( ! is_string( $content ) || false === strpos( $content, '<li>' ) ) {
				return $content;
			}
			$lines = explode( "\n", $content );
			return implode( "\n", array_filter( $lines, static function ( $line ) use ( $drop ) {
				return ! isset( $drop[ $line ] );
			} ) );
		}
	);
}

/** The link an item's download page adds to those of the way to it: the last of its list. */
function #fn#payments_own_link( $slot ) {
	$file = dirname( __DIR__ ) . '/template/download-funnelitem-' . (int) $slot . '.php';
	$text = is_readable( $file ) ? (string) file_get_contents( $file ) : ''; // phpcs:ignore WordPress.WP.AlternativeFunctions
	if ( ! preg_match( "/^\\\$download_links = '((?:[^'\\\\]|\\\\.)*)';\$/m", $text, $m ) || '' === $m[1] ) {
		return '';
	}
	$links = explode( "\n", preg_replace( "/\\\\(['\\\\])/", '$1', $m[1] ) );
	return (string) end( $links );
}

/**
 * The sales page reads its button from the item's field: for this request, that
 * field reads as the plugin's own button.
 */
function #fn#payments_replace_button( $post, $slot ) {
	$key    = '#prefix#_funnelitem_' . (int) $slot . '_code';
	$button = 'paypal' === #fn#payments_check( $post->ID ) ? #fn#paypal_buttons_html( $post, $slot ) : #fn#payments_button_html( $post, $slot );
	add_filter(
		'get_post_metadata',
		static function ( $value, $object_id, $meta_key ) use ( $post, $key, $button ) {
			return (int) $object_id === (int) $post->ID && $key === $meta_key ? array( $button ) : $value;
		},
		10,
		3
	);
}

/**
 * The buy button: a form that asks this site for a checkout; the price is never sent from here.
 * On an offer of a visit, the checkout returns into the visit's road.
 */
function #fn#payments_button_html( $post, $slot, $visit = null ) {
	$price = #fn#payments_price( $post->ID, $slot );
	if ( null === $price ) {
		return '<p class="#prefix#-unavailable">' . esc_html__( 'This offer can\'t be bought yet.', '#prefix#' ) . '</p>';
	}
	$box = #fn#payments_box_of( $slot );
	/* translators: 1: price, 2: currency code. */
	$label = sprintf( __( 'Buy now for %1$s %2$s', '#prefix#' ), $price['price'], $price['currency'] );
	$action = null === $visit ? #fn#page_url( $post, $box['sales_token'] ) : #fn#road_offer_url( $post, $visit, $slot );
	return '<form method="post" class="#prefix#-checkout" action="' . esc_url( $action ) . '">'
		. '<input type="hidden" name="#fn#buy" value="' . esc_attr( (string) (int) $slot ) . '">'
		. #fn#split_form_html()
		. '<button type="submit">' . esc_html( $label ) . '</button></form>';
}

/**
 * A buy button's form: the checkout is made here, with the server's price, and
 * the buyer is sent to the provider. Buyers are anonymous, so there is no
 * nonce: a limit per network keeps scripts from making checkouts in bulk.
 */
function #fn#payments_handle_buy() {
	if ( ! is_singular( #fn#post_type() ) || 'POST' !== ( isset( $_SERVER['REQUEST_METHOD'] ) ? $_SERVER['REQUEST_METHOD'] : '' ) || ! isset( $_POST['#fn#buy'] ) ) { // phpcs:ignore WordPress.Security
		return;
	}
	$post = get_queried_object();
	$step = #fn#payments_request_string( #fn#step_var(), $_GET ); // phpcs:ignore WordPress.Security.NonceVerification
	$page = $post instanceof WP_Post && 'publish' === $post->post_status ? #fn#payments_page_of( sanitize_key( $step ) ) : null;
	$check = null === $page ? 'none' : #fn#payments_check( $post->ID );
	if ( null === $page || 'sales' !== $page[1] || 'none' === $check ) {
		return;
	}
	$slot     = $page[0];
	$price    = #fn#payments_price( $post->ID, $slot );
	$checkout = null === $price ? -1 : #fn#checkouts_open( $check, $post->ID, $slot, $price );
	$wait     = __( 'Too many attempts from your address. Please wait a few minutes and try again.', '#prefix#' );
	if ( 'paypal' === $check ) {
		// PayPal's buttons ask for the order by script and hand its id to PayPal's window.
		if ( 0 === $checkout ) {
			wp_send_json( array( 'error' => $wait ), 429 );
		}
		$id = $checkout > 0 ? #fn#paypal_create_order( $post, $slot, $price, $checkout ) : '';
		if ( '' === $id ) {
			wp_send_json( array( 'error' => __( 'The payment provider could not be reached. Nothing was charged.', '#prefix#' ) ), 502 );
		}
		wp_send_json( array( 'id' => $id ), 201 );
	}
	if ( 0 === $checkout ) {
		wp_die( esc_html( $wait ), esc_html__( 'Please wait', '#prefix#' ), array( 'response' => 429 ) );
	}
	$url = $checkout > 0 ? #fn#stripe_create_checkout( $post, $slot, $price, $checkout, isset( #fn#road_state()['visit'] ) ? #fn#road_state()['visit'] : null ) : '';
	if ( '' === $url ) {
		#fn#payments_not_confirmed_page( $post, $slot, true );
		exit;
	}
	wp_redirect( $url, 303 ); // phpcs:ignore WordPress.Security.SafeRedirect -- the provider's checkout page.
	exit;
}
add_action( 'template_redirect', '#fn#payments_handle_buy', 5 );
