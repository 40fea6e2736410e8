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
require_once __DIR__ . '/stripe.php';
require_once __DIR__ . '/paypal.php';
require_once __DIR__ . '/buyer_pages.php';
require_once __DIR__ . '/privacy.php';

/** The checks a funnel may choose; the first is the default. */
function #fn#payments_checks() {
	return array(
		'none'   => __( 'None — the page address is the only protection: anyone who has a download page\'s address gets its links', '#prefix#' ),
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
	$out['access_days'] = max( 1, (int) $out['access_days'] );
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
 * An item's price in the currency's smallest unit, as the providers take it.
 *
 * @return array|null array( 'amount' => int, 'currency' => 'USD', 'price' => '19.99' ), or null without a valid price.
 */
function #fn#payments_price( $post_id, $slot ) {
	$price    = (string) get_post_meta( $post_id, #fn#payments_meta_key( 'price', $slot ), true );
	$currency = (string) get_post_meta( $post_id, #fn#payments_meta_key( 'currency', $slot ), true );
	$amount   = preg_match( '/^\d{1,7}(\.\d{1,2})?$/', $price ) ? #fn#payments_minor_units( $price, $currency ) : null;
	if ( null === $amount || $amount <= 0 ) {
		return null;
	}
	return array(
		'amount'   => $amount,
		'currency' => $currency,
		'price'    => #fn#payments_decimal( $amount, $currency ),
	);
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
	update_post_meta( $post_id, #fn#payments_meta_key( 'check' ), isset( #fn#payments_checks()[ $check ] ) ? $check : 'none' );
	foreach ( #fn#funnel_meta_boxes() as $box ) {
		$slot     = (int) substr( strrchr( $box['id'], '_' ), 1 );
		$price    = str_replace( ',', '.', #fn#payments_request_string( '#fn#payment_price_' . $slot, $_POST ) );
		$currency = #fn#payments_request_string( '#fn#payment_currency_' . $slot, $_POST );
		update_post_meta( $post_id, #fn#payments_meta_key( 'price', $slot ), preg_match( '/^\d{1,7}(\.\d{1,2})?$/', $price ) ? $price : '' );
		update_post_meta( $post_id, #fn#payments_meta_key( 'currency', $slot ), isset( #fn#payments_currencies()[ $currency ] ) ? $currency : 'USD' );
	}
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
	if ( null === $order || (int) $order->funnel_id !== (int) $post_id || (int) $order->slot !== (int) $slot ) {
		return null;
	}
	return hash_equals( #fn#payments_access_mac( $order, (int) $m[2] ), $m[3] ) ? $order : null;
}

function #fn#payments_request_string( $name, $source ) {
	return isset( $source[ $name ] ) && is_string( $source[ $name ] ) ? sanitize_text_field( wp_unslash( $source[ $name ] ) ) : '';
}

/**
 * Called by the page template before it serves a token. With the funnel's
 * check on, a download page is served only for a verified order, and the sales
 * page's button is the plugin's own.
 *
 * @return bool Whether the page was served here.
 */
function #fn#payments_take_over( $post, $token ) {
	if ( ! $post instanceof WP_Post ) {
		return false;
	}
	$check = #fn#payments_check( $post->ID );
	$page  = 'none' === $check ? null : #fn#payments_page_of( $token );
	if ( null === $page ) {
		return false;
	}
	list( $slot, $kind ) = $page;
	if ( 'sales' === $kind ) {
		#fn#payments_replace_button( $post, $slot );
		return false;
	}

	// phpcs:disable WordPress.Security.NonceVerification -- a buyer's address, signed by the provider or by this site.
	$access = #fn#payments_request_string( '#fn#access', $_GET );
	if ( '' !== $access ) {
		$order = #fn#payments_access_order( $access, $post->ID, $slot );
		if ( null !== $order ) {
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
	if ( null === $order ) {
		#fn#payments_not_confirmed_page( $post, $slot );
		return true;
	}
	// The provider's reference leaves the address: a reload or a bookmark opens the personal link.
	wp_safe_redirect( #fn#payments_access_url( $order ), 303 );
	exit;
}

/**
 * An upsell's or downsell's download page lists the items on the way to it: of those, the buyer
 * gets only what they have verified orders for (by the same email address). The page prints its
 * links through wp_kses(), whose pre_kses filter takes out the others' lines.
 */
function #fn#payments_limit_links( $order ) {
	$paid = array( (int) $order->slot => true );
	foreach ( #fn#orders_slots_of_buyer( $order->funnel_id, $order->email ) as $slot ) {
		$paid[ (int) $slot ] = true;
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

/** The buy button: a form that asks this site for a checkout; the price is never sent from here. */
function #fn#payments_button_html( $post, $slot ) {
	$price = #fn#payments_price( $post->ID, $slot );
	if ( null === $price ) {
		return '<p class="#prefix#-unavailable">' . esc_html__( 'This offer can\'t be bought yet.', '#prefix#' ) . '</p>';
	}
	$box = #fn#payments_box_of( $slot );
	/* translators: 1: price, 2: currency code. */
	$label = sprintf( __( 'Buy now for %1$s %2$s', '#prefix#' ), $price['price'], $price['currency'] );
	return '<form method="post" class="#prefix#-checkout" action="' . esc_url( #fn#page_url( $post, $box['sales_token'] ) ) . '">'
		. '<input type="hidden" name="#fn#buy" value="' . esc_attr( (string) (int) $slot ) . '">'
		. '<button type="submit">' . esc_html( $label ) . '</button></form>';
}

/**
 * A buy button's form: the checkout is made here, with the server's price, and
 * the buyer is sent to the provider. Buyers are anonymous, so there is no
 * nonce: a limit per address keeps scripts from making sessions in bulk.
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
	$wait = __( 'Too many attempts from your address. Please wait a few minutes and try again.', '#prefix#' );
	if ( 'paypal' === $check ) {
		// PayPal's buttons ask for the order by script and hand its id to PayPal's window.
		if ( ! #fn#payments_rate_ok() ) {
			wp_send_json( array( 'error' => $wait ), 429 );
		}
		$id = #fn#paypal_create_order( $post, $page[0] );
		if ( '' === $id ) {
			wp_send_json( array( 'error' => __( 'The payment provider could not be reached. Nothing was charged.', '#prefix#' ) ), 502 );
		}
		wp_send_json( array( 'id' => $id ), 201 );
	}
	if ( ! #fn#payments_rate_ok() ) {
		wp_die( esc_html( $wait ), esc_html__( 'Please wait', '#prefix#' ), array( 'response' => 429 ) );
	}
	$url = #fn#stripe_create_checkout( $post, $page[0] );
	if ( '' === $url ) {
		#fn#payments_not_confirmed_page( $post, $page[0], true );
		exit;
	}
	wp_redirect( $url, 303 ); // phpcs:ignore WordPress.Security.SafeRedirect -- the provider's checkout page.
	exit;
}
add_action( 'template_redirect', '#fn#payments_handle_buy', 5 );

/** At most 10 checkouts per visitor address in 10 minutes; the address itself is not stored. */
function #fn#payments_rate_ok() {
	$address = isset( $_SERVER['REMOTE_ADDR'] ) ? (string) $_SERVER['REMOTE_ADDR'] : ''; // phpcs:ignore WordPress.Security.ValidatedSanitizedInput
	$key     = '#fn#rate_' . substr( hash_hmac( 'sha256', $address, #fn#payments_secret() ), 0, 32 );
	$count   = (int) get_transient( $key );
	if ( $count >= 10 ) {
		return false;
	}
	set_transient( $key, $count + 1, 10 * MINUTE_IN_SECONDS );
	return true;
}
