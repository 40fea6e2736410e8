<?php
/**
 * What a buyer sees when a payment could not be confirmed, and the mail that
 * brings a late-confirmed buyer their access link.
 */

defined( 'ABSPATH' ) || exit;

/**
 * The page in place of the download page: says plainly that the payment was
 * not confirmed, offers to try again and names the seller's address. Never
 * the links.
 *
 * @param bool $checkout Whether it was making the checkout that failed.
 */
function #fn#payments_not_confirmed_page( $post, $slot, $checkout = false ) {
	$box = #fn#payments_box_of( $slot );
	if ( ! headers_sent() ) {
		status_header( 200 );
		header( 'Cache-Control: no-store, no-cache, must-revalidate, max-age=0, private' );
		header( 'X-Robots-Tag: noindex, nofollow, noarchive' );
		header( 'Referrer-Policy: no-referrer' );
	}
	add_filter( 'wp_robots', 'wp_robots_no_robots' );
	add_filter(
		'pre_get_document_title',
		static function () {
			return esc_html__( 'Payment not confirmed', '#prefix#' );
		}
	);
	$contact = #fn#payments_contact_email();
	$layout  = #fn#page_layout( $post );
	#fn#page_open( $layout, array( '#prefix#-page', '#prefix#-download' ) );
	?>
<main class="#prefix#-wrap">
<div class="#prefix#-card">
<h1 class="#prefix#-title"><?php echo $checkout ? esc_html__( 'The payment could not be started', '#prefix#' ) : esc_html__( 'Your payment could not be confirmed', '#prefix#' ); ?></h1>
<p class="#prefix#-intro"><?php echo $checkout ? esc_html__( 'The payment provider could not be reached. Nothing was charged.', '#prefix#' ) : esc_html__( 'We could not confirm a payment for this page, so its downloads are not shown. If you have paid, the confirmation may still be on its way: try again in a minute.', '#prefix#' ); ?></p>
<?php if ( null !== $box ) : ?>
<p class="#prefix#-intro"><a href="<?php echo esc_url( #fn#page_url( $post, $box['sales_token'] ) ); ?>"><?php esc_html_e( 'Try again', '#prefix#' ); ?></a></p>
<?php endif; ?>
<p class="#prefix#-intro">
	<?php
	/* translators: %s: the seller's email address. */
	echo wp_kses( sprintf( __( 'Questions? Write to %s.', '#prefix#' ), '<a href="' . esc_url( 'mailto:' . $contact ) . '">' . esc_html( $contact ) . '</a>' ), array( 'a' => array( 'href' => true ) ) );
	?>
</p>
</div>
</main>
	<?php
	#fn#page_close( $layout );
}

function #fn#payments_mail_access( $order ) {
	$url = #fn#payments_access_url( $order );
	if ( '' === $url ) {
		return;
	}
	$days = #fn#payments_settings()['access_days'];
	/* translators: %s: the site's name. */
	$subject = sprintf( __( 'Your downloads from %s', '#prefix#' ), wp_specialchars_decode( get_bloginfo( 'name' ), ENT_QUOTES ) );
	/* translators: 1: the personal address, 2: number of days it works. */
	$message = sprintf( __( "Thank you for your purchase. Your downloads are at this personal address:\n\n%1\$s\n\nIt works for %2\$d days. Please don't share it.", '#prefix#' ), $url, $days );
	wp_mail( $order->email, $subject, $message );
}
