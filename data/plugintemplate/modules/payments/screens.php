<?php
/**
 * Where the seller sets the payment check: a box on the funnel's edit screen
 * (the check, each item's price and currency) and a settings screen for the
 * site's credentials, which only administrators see and which never shows a
 * saved secret again.
 */

defined( 'ABSPATH' ) || exit;

function #fn#payments_add_box() {
	// After the item boxes ("high"), before the statistics ("low").
	add_meta_box( '#fn#payments', __( 'Payment check', '#prefix#' ), '#fn#payments_render_box', #fn#post_type(), 'normal', 'default' );
}
add_action( 'add_meta_boxes_' . #fn#post_type(), '#fn#payments_add_box', 6 );

function #fn#payments_render_box( $post ) {
	wp_nonce_field( '#fn#save_payments', '#fn#payments_nonce' );
	$check = #fn#payments_check( $post->ID );
	echo '<table class="form-table" role="presentation"><tbody><tr><th scope="row"><label for="#fn#payment_check">' . esc_html__( 'Payment check', '#prefix#' ) . '</label></th><td>';
	echo '<select id="#fn#payment_check" name="#fn#payment_check">';
	foreach ( #fn#payments_checks() as $value => $label ) {
		echo '<option value="' . esc_attr( $value ) . '"' . selected( $check, $value, false ) . '>' . esc_html( $label ) . '</option>';
	}
	// The choices stay short so the list fits the box at any width; what they mean is said below it.
	echo '</select><p class="description">' . esc_html__( 'Without a check the page address is the only protection: anyone who has a download page\'s address gets its links. With a check, the download pages show their links only after the provider confirms the payment, and the sales pages show the plugin\'s own buy button instead of the pasted button code.', '#prefix#' ) . '</p></td></tr>';
	foreach ( #fn#funnel_meta_boxes() as $box ) {
		$slot     = (int) substr( strrchr( $box['id'], '_' ), 1 );
		$price    = (string) get_post_meta( $post->ID, #fn#payments_meta_key( 'price', $slot ), true );
		$currency = (string) get_post_meta( $post->ID, #fn#payments_meta_key( 'currency', $slot ), true );
		$price_id = '#fn#payment_price_' . $slot;
		$money_id = '#fn#payment_currency_' . $slot;
		echo '<tr><th scope="row">' . esc_html( $box['title'] ) . '</th><td class="#prefix#-price">';
		echo '<label for="' . esc_attr( $price_id ) . '">' . esc_html__( 'Price', '#prefix#' ) . '</label> ';
		echo '<input type="text" inputmode="decimal" size="10" id="' . esc_attr( $price_id ) . '" name="' . esc_attr( $price_id ) . '" value="' . esc_attr( $price ) . '"> ';
		echo '<label for="' . esc_attr( $money_id ) . '">' . esc_html__( 'Currency', '#prefix#' ) . '</label> ';
		echo '<select id="' . esc_attr( $money_id ) . '" name="' . esc_attr( $money_id ) . '">';
		foreach ( array_keys( #fn#payments_currencies() ) as $code ) {
			echo '<option value="' . esc_attr( $code ) . '"' . selected( $currency, $code, false ) . '>' . esc_html( $code ) . '</option>';
		}
		echo '</select>';
		if ( 'none' !== $check && null === #fn#payments_price( $post->ID, $slot ) ) {
			$amount  = #fn#payments_minor_units( $price, $currency );
			$problem = null === $amount ? '' : #fn#payments_price_problem( $check, $amount, $currency );
			echo '<p class="description">' . esc_html( trim( __( 'No valid price: this item can\'t be bought.', '#prefix#' ) . ' ' . $problem ) ) . '</p>';
		}
		echo '</td></tr>';
	}
	echo '</tbody></table>';
	if ( current_user_can( 'manage_options' ) ) {
		echo '<p><a href="' . esc_url( admin_url( 'edit.php?post_type=' . #fn#post_type() . '&page=#fn#payments' ) ) . '">' . esc_html__( 'Payment provider settings', '#prefix#' ) . '</a></p>';
	}
}

/**
 * What keeps a funnel's buyers from paying, said at the top of its edit screen: prices its
 * provider refused at the last save, the provider's credentials not set, or, for a funnel
 * without a check, another funnel's check that closes its download pages.
 */
function #fn#payments_edit_notices() {
	$screen = get_current_screen();
	$post   = get_post();
	if ( ! $screen || 'post' !== $screen->base || #fn#post_type() !== $screen->post_type || ! $post instanceof WP_Post ) {
		return;
	}
	$check    = #fn#payments_check( $post->ID );
	$problems = array_values( #fn#payments_refused_prices( $post->ID ) );
	$missing  = array_intersect_key( #fn#payments_secret_fields(), array_flip( #fn#payments_missing_credentials( $check ) ) );
	if ( $missing ) {
		/* translators: 1: provider, 2: the settings not set. */
		$problems[] = sprintf( __( 'This funnel checks payments with %1$s, but these settings are empty: %2$s. Buyers can\'t pay until they are set under Payment settings.', '#prefix#' ), #fn#payments_checks()[ $check ], implode( ', ', $missing ) );
	}
	if ( 'none' === $check && #fn#payments_checked_elsewhere( $post->ID ) ) {
		$problems[] = __( 'Another funnel of this plugin checks payments, so the download pages\' addresses are no longer secret: this funnel\'s download pages show their links only with a payment check of their own.', '#prefix#' );
	}
	foreach ( $problems as $problem ) {
		echo '<div class="notice notice-error"><p>' . esc_html( $problem ) . '</p></div>';
	}
}
add_action( 'admin_notices', '#fn#payments_edit_notices' );

/** The settings a check needs that are empty. */
function #fn#payments_missing_credentials( $check ) {
	$needs    = array(
		'stripe' => array( 'stripe_secret_key', 'stripe_webhook_secret' ),
		'paypal' => array( 'paypal_client_id', 'paypal_secret', 'paypal_webhook_id' ),
	);
	$settings = #fn#payments_settings();
	return isset( $needs[ $check ] ) ? array_values( array_filter( $needs[ $check ], static function ( $key ) use ( $settings ) {
		return '' === $settings[ $key ];
	} ) ) : array();
}

/** Stripe's keys say their mode (sk_test_, sk_live_, rk_…): a key that does not match the site's mode. */
function #fn#payments_key_mode_problem() {
	$settings = #fn#payments_settings();
	if ( ! preg_match( '/^[sr]k_(test|live)_/', $settings['stripe_secret_key'], $m ) || $m[1] === $settings['mode'] ) {
		return '';
	}
	return 'live' === $settings['mode']
		? __( 'The mode is Live, but the Stripe secret key is a test key: test payments would open the downloads. Paste your live key.', '#prefix#' )
		: __( 'The mode is Test, but the Stripe secret key is a live key: real cards would be charged while the site thinks it is testing.', '#prefix#' );
}

function #fn#payments_add_settings_page() {
	add_submenu_page( 'edit.php?post_type=' . #fn#post_type(), __( 'Payment settings', '#prefix#' ), __( 'Payment settings', '#prefix#' ), 'manage_options', '#fn#payments', '#fn#payments_render_settings' );
}
add_action( 'admin_menu', '#fn#payments_add_settings_page' );

/** The secret fields: shown only as their last four characters once saved. */
function #fn#payments_secret_fields() {
	return array(
		'stripe_secret_key'     => __( 'Stripe secret key', '#prefix#' ),
		'stripe_webhook_secret' => __( 'Stripe webhook signing secret', '#prefix#' ),
		'paypal_client_id'      => __( 'PayPal client ID', '#prefix#' ),
		'paypal_secret'         => __( 'PayPal secret', '#prefix#' ),
		'paypal_webhook_id'     => __( 'PayPal webhook ID', '#prefix#' ),
	);
}

function #fn#payments_render_settings() {
	if ( ! current_user_can( 'manage_options' ) ) {
		return;
	}
	$settings = #fn#payments_settings();
	echo '<div class="wrap"><h1>' . esc_html__( 'Payment settings', '#prefix#' ) . '</h1>';
	if ( isset( $_GET['#fn#saved'] ) ) { // phpcs:ignore WordPress.Security.NonceVerification
		echo '<div class="notice notice-success"><p>' . esc_html__( 'Settings saved.', '#prefix#' ) . '</p></div>';
	}
	if ( '' !== #fn#payments_key_mode_problem() ) {
		echo '<div class="notice notice-warning" id="#fn#key_mode"><p>' . esc_html( #fn#payments_key_mode_problem() ) . '</p></div>';
	}
	echo '<form method="post" id="#fn#payments_form" action="' . esc_url( admin_url( 'admin-post.php' ) ) . '">';
	echo '<input type="hidden" name="action" value="#fn#save_payment_settings">';
	wp_nonce_field( '#fn#save_payment_settings', '#fn#settings_nonce' );
	echo '<table class="form-table" role="presentation"><tbody>';
	echo '<tr><th scope="row"><label for="#fn#mode">' . esc_html__( 'Mode', '#prefix#' ) . '</label></th><td><select id="#fn#mode" name="mode">';
	foreach ( array(
		'test' => __( 'Test (no real money)', '#prefix#' ),
		'live' => __( 'Live', '#prefix#' ),
	) as $value => $label ) {
		echo '<option value="' . esc_attr( $value ) . '"' . selected( $settings['mode'], $value, false ) . '>' . esc_html( $label ) . '</option>';
	}
	echo '</select></td></tr>';
	foreach ( #fn#payments_secret_fields() as $key => $label ) {
		echo '<tr><th scope="row"><label for="' . esc_attr( '#fn#setting_' . $key ) . '">' . esc_html( $label ) . '</label></th><td>';
		echo '<input type="password" autocomplete="off" class="regular-text" id="' . esc_attr( '#fn#setting_' . $key ) . '" name="' . esc_attr( $key ) . '" value="">';
		if ( '' !== $settings[ $key ] ) {
			/* translators: %s: the last four characters of a saved secret. */
			echo '<p class="description">' . esc_html( sprintf( __( 'Saved (ends in %s). Leave empty to keep it.', '#prefix#' ), substr( $settings[ $key ], -4 ) ) ) . '</p>';
			echo '<label><input type="checkbox" name="' . esc_attr( 'remove_' . $key ) . '" value="1"> ' . esc_html__( 'Remove', '#prefix#' ) . '</label>';
		}
		echo '</td></tr>';
	}
	echo '<tr><th scope="row">' . esc_html__( 'Stripe webhook address', '#prefix#' ) . '</th><td><code>' . esc_html( #fn#stripe_webhook_url() ) . '</code><p class="description">' . esc_html__( 'Add this address as a webhook endpoint in Stripe\'s dashboard for the events checkout.session.completed, checkout.session.async_payment_succeeded (payments by bank debit and other delayed methods are delivered when they succeed), charge.refunded and charge.dispute.created (a full refund or a dispute takes the downloads back), and paste its signing secret above.', '#prefix#' ) . '</p></td></tr>';
	echo '<tr><th scope="row">' . esc_html__( 'PayPal webhook address', '#prefix#' ) . '</th><td><code>' . esc_html( #fn#paypal_webhook_url() ) . '</code><p class="description">' . esc_html__( 'In your PayPal app (developer dashboard), add this address as a webhook for the events PAYMENT.CAPTURE.COMPLETED, PAYMENT.CAPTURE.REFUNDED and PAYMENT.CAPTURE.REVERSED, and paste the webhook\'s ID above. The mode chooses between PayPal\'s sandbox and its live service.', '#prefix#' ) . '</p></td></tr>';
	echo '<tr><th scope="row"><label for="#fn#access_days">' . esc_html__( 'Access links work for (days)', '#prefix#' ) . '</label></th><td><input type="number" min="1" max="3650" class="small-text" id="#fn#access_days" name="access_days" value="' . esc_attr( (string) $settings['access_days'] ) . '"></td></tr>';
	echo '<tr><th scope="row"><label for="#fn#visit_minutes">' . esc_html__( 'Offers after a purchase stay open for (minutes)', '#prefix#' ) . '</label></th><td><input type="number" min="5" max="1440" class="small-text" id="#fn#visit_minutes" name="visit_minutes" value="' . esc_attr( (string) $settings['visit_minutes'] ) . '"><p class="description">' . esc_html__( 'After the front end is bought, the buyer goes through the funnel\'s offers. Once they take no step for this long, the purchase ends: the saved payment method is given back and the buyer gets one mail with everything bought.', '#prefix#' ) . '</p></td></tr>';
	echo '<tr><th scope="row">' . esc_html__( 'One-click offers with PayPal', '#prefix#' ) . '</th><td><label><input type="checkbox" name="paypal_vault" value="1"' . checked( '1', $settings['paypal_vault'], false ) . '> ' . esc_html__( 'My PayPal app may save buyers\' PayPal accounts (vaulting)', '#prefix#' ) . '</label><p class="description">' . esc_html__( 'With vaulting, a buyer takes an offer after the front end with one click. Without it, each offer shows PayPal\'s buttons again.', '#prefix#' ) . '</p></td></tr>';
	echo '<tr><th scope="row"><label for="#fn#contact_email">' . esc_html__( 'Contact address for buyers', '#prefix#' ) . '</label></th><td><input type="email" class="regular-text" id="#fn#contact_email" name="contact_email" value="' . esc_attr( $settings['contact_email'] ) . '" placeholder="' . esc_attr( get_option( 'admin_email' ) ) . '"></td></tr>';
	echo '<tr><th scope="row"><label for="#fn#trusted_proxies">' . esc_html__( 'Trusted proxies', '#prefix#' ) . '</label></th><td><textarea class="regular-text code" rows="3" id="#fn#trusted_proxies" name="trusted_proxies">' . esc_textarea( $settings['trusted_proxies'] ) . '</textarea><p class="description">' . esc_html__( 'Only if this site is behind a proxy or CDN of your own: its addresses or ranges (such as 203.0.113.0/24), one per line. The limit of checkouts per visitor then reads the visitor\'s address from the X-Forwarded-For header these proxies add; leave empty otherwise, or anyone could pick the address they are counted under.', '#prefix#' ) . '</p></td></tr>';
	echo '</tbody></table>';
	submit_button();
	echo '</form></div>';
}

function #fn#payments_handle_settings() {
	if ( ! current_user_can( 'manage_options' ) ) {
		wp_die( esc_html__( 'Sorry, you are not allowed to change these settings.', '#prefix#' ), 403 );
	}
	check_admin_referer( '#fn#save_payment_settings', '#fn#settings_nonce' );
	$settings = #fn#payments_settings();
	$mode     = #fn#payments_request_string( 'mode', $_POST );
	$settings['mode'] = 'live' === $mode ? 'live' : 'test';
	foreach ( array_keys( #fn#payments_secret_fields() ) as $key ) {
		$value = isset( $_POST[ $key ] ) && is_string( $_POST[ $key ] ) ? trim( wp_unslash( $_POST[ $key ] ) ) : ''; // phpcs:ignore WordPress.Security.ValidatedSanitizedInput -- a secret, kept as typed.
		if ( '' !== $value && preg_match( '/^[\x21-\x7e]{1,255}$/', $value ) ) {
			$settings[ $key ] = $value;
		} elseif ( '' !== #fn#payments_request_string( 'remove_' . $key, $_POST ) ) {
			$settings[ $key ] = '';
		}
	}
	$days                      = (int) #fn#payments_request_string( 'access_days', $_POST );
	$settings['access_days']   = $days >= 1 && $days <= 3650 ? $days : 30;
	$minutes                   = (int) #fn#payments_request_string( 'visit_minutes', $_POST );
	$settings['visit_minutes'] = $minutes >= 5 && $minutes <= 1440 ? $minutes : 60;
	$settings['paypal_vault']  = '' === #fn#payments_request_string( 'paypal_vault', $_POST ) ? '' : '1';
	$email                     = sanitize_email( #fn#payments_request_string( 'contact_email', $_POST ) );
	$settings['contact_email'] = is_email( $email ) ? $email : '';
	$proxies                   = isset( $_POST['trusted_proxies'] ) && is_string( $_POST['trusted_proxies'] ) ? preg_split( '/[\s,]+/', wp_unslash( $_POST['trusted_proxies'] ), -1, PREG_SPLIT_NO_EMPTY ) : array(); // phpcs:ignore WordPress.Security.ValidatedSanitizedInput -- each kept only when it is an address or range.
	$settings['trusted_proxies'] = implode( "\n", array_filter( $proxies, '#fn#payments_is_range' ) );
	#fn#payments_save_settings( $settings );
	wp_safe_redirect( admin_url( 'edit.php?post_type=' . #fn#post_type() . '&page=#fn#payments&#fn#saved=1' ) );
	exit;
}
add_action( 'admin_post_#fn#save_payment_settings', '#fn#payments_handle_settings' );
