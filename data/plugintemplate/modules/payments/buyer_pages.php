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
	#fn#payments_notice_page(
		$post,
		$checkout ? __( 'The payment could not be started', '#prefix#' ) : __( 'Your payment could not be confirmed', '#prefix#' ),
		$checkout ? __( 'The payment provider could not be reached. Nothing was charged.', '#prefix#' ) : __( 'We could not confirm a payment for this page, so its downloads are not shown. If you have paid, the confirmation may still be on its way: try again in a minute.', '#prefix#' ),
		null === $box ? '' : #fn#page_url( $post, $box['sales_token'] ),
		__( 'Try again', '#prefix#' ),
		__( 'Payment not confirmed', '#prefix#' )
	);
}

/**
 * A page that tells a buyer what happened instead of a funnel page: a heading, the reason, where
 * to go on, and the seller's address. Never cached, never indexed.
 */
function #fn#payments_notice_page( $post, $heading, $reason, $link, $link_text, $title = '' ) {
	if ( ! headers_sent() ) {
		status_header( 200 );
		header( 'Cache-Control: no-store, no-cache, must-revalidate, max-age=0, private' );
		header( 'X-Robots-Tag: noindex, nofollow, noarchive' );
		header( 'Referrer-Policy: no-referrer' );
	}
	add_filter( 'wp_robots', 'wp_robots_no_robots' );
	$title = '' === $title ? $heading : $title;
	add_filter(
		'pre_get_document_title',
		static function () use ( $title ) {
			return esc_html( $title );
		}
	);
	$contact = #fn#payments_contact_email();
	$layout  = #fn#page_layout( $post );
	#fn#page_open( $layout, array( '#prefix#-page', '#prefix#-download' ) );
	?>
<?php #fn#content_open(); ?>
<div class="#prefix#-card">
<h1 class="#prefix#-title"><?php echo esc_html( $heading ); ?></h1>
<p class="#prefix#-intro"><?php echo esc_html( $reason ); ?></p>
<?php if ( '' !== $link ) : ?>
<p class="#prefix#-intro"><a href="<?php echo esc_url( $link ); ?>"><?php echo esc_html( $link_text ); ?></a></p>
<?php endif; ?>
<p class="#prefix#-intro">
	<?php
	/* translators: %s: the seller's email address. */
	echo wp_kses( sprintf( __( 'Questions? Write to %s.', '#prefix#' ), '<a href="' . esc_url( 'mailto:' . $contact ) . '">' . esc_html( $contact ) . '</a>' ), array( 'a' => array( 'href' => true ) ) );
	?>
</p>
</div>
<?php #fn#content_close(); ?>
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
