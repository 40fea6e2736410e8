<?php
/**
 * One download page of the funnel: the page buyers return to after paying.
 * Included by template.php. The links are written into this file when the
 * plugin is built, as a PHP string, and printed through wp_kses() so that only
 * a plain list of web links reaches the page.
 */

defined( 'ABSPATH' ) || exit;

// A buyer's page: never indexed, never kept by a browser, a proxy or a caching plugin, and its
// address (the token) never sent on to the sites its links lead to.
if ( ! defined( 'DONOTCACHEPAGE' ) ) {
	define( 'DONOTCACHEPAGE', true );
}
if ( ! headers_sent() ) {
	header( 'Cache-Control: no-store, no-cache, must-revalidate, max-age=0, private' );
	header( 'X-Robots-Tag: noindex, nofollow, noarchive' );
	header( 'Referrer-Policy: no-referrer' );
}
add_filter(
	'wp_robots',
	static function () {
		return array(
			'noindex'   => true,
			'nofollow'  => true,
			'noarchive' => true,
		);
	},
	PHP_INT_MAX
);
add_filter(
	'pre_get_document_title',
	static function () {
		return esc_html__( 'Your downloads', '#PLUGINID#' );
	}
);

$download_links = '#DOWNLOAD_LINKS#';
#fn#page_open( $layout, array( '#PLUGINID#-page', '#PLUGINID#-download' ) );
?>
<?php #fn#content_open(); ?>
<div class="#PLUGINID#-card">
<h1 class="#PLUGINID#-title"><?php esc_html_e( 'Thank you for your purchase!', '#PLUGINID#' ); ?></h1>
<?php if ( '' !== $download_links ) : ?>
<p class="#PLUGINID#-intro"><?php esc_html_e( 'Your downloads are ready. Click a link to open it, then save it to your computer.', '#PLUGINID#' ); ?></p>
<ul class="#PLUGINID#-links">
<?php
echo wp_kses(
	$download_links,
	array(
		'li' => array(),
		'a'  => array(
			'href'   => true,
			'target' => true,
			'rel'    => true,
		),
	),
	array( 'http', 'https' )
);
?>
</ul>
<?php else : ?>
<p class="#PLUGINID#-intro"><?php esc_html_e( 'There are no downloads for this purchase.', '#PLUGINID#' ); ?></p>
<?php endif; ?>
</div>
<?php #fn#content_close(); ?>
<?php #fn#page_close( $layout ); ?>
