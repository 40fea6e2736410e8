<?php
/**
 * One download page of the funnel: the page buyers return to after paying.
 * Included by template.php. The links are written into this file when the
 * plugin is built, as a PHP string, and printed through wp_kses() so that only
 * plain web links reach the page.
 */

defined( 'ABSPATH' ) || exit;

// A buyer's page: never indexed, never kept by a browser, a proxy or a caching plugin.
if ( ! defined( 'DONOTCACHEPAGE' ) ) {
	define( 'DONOTCACHEPAGE', true );
}
if ( ! headers_sent() ) {
	header( 'Cache-Control: no-store, no-cache, must-revalidate, max-age=0, private' );
	header( 'X-Robots-Tag: noindex, nofollow, noarchive' );
}

$download_links = '#DOWNLOAD_LINKS#';
?>
<!DOCTYPE html>
<html <?php language_attributes(); ?>>
<head>
<meta charset="<?php bloginfo( 'charset' ); ?>">
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta name="robots" content="noindex, nofollow, noarchive">
<title>Your downloads</title>
<style>
*, *::before, *::after { box-sizing: border-box; }
body.#PLUGINID#-page { margin: 0; background: #eef1f5; color: #222; font: 18px/1.6 -apple-system, BlinkMacSystemFont, "Segoe UI", Roboto, Helvetica, Arial, sans-serif; }
.#PLUGINID#-wrap { max-width: 44rem; margin: 0 auto; padding: 2rem 1rem 3rem; }
.#PLUGINID#-card { background: #fff; border-radius: 10px; box-shadow: 0 4px 24px rgba(0, 0, 0, .08); padding: 2rem 1.5rem; }
.#PLUGINID#-title { margin: 0 0 .5rem; font-size: 1.8rem; line-height: 1.25; color: #2e7d32; text-align: center; }
.#PLUGINID#-intro { margin: 0 0 1.5rem; text-align: center; color: #555; }
.#PLUGINID#-links { padding: 1rem 1.25rem; border: 1px solid #dde3ea; border-radius: 6px; background: #f8fafc; font-size: 1.1rem; }
.#PLUGINID#-links a { color: #1565c0; font-weight: 600; word-break: break-word; }
.#PLUGINID#-links:empty::before { content: "There are no downloads for this purchase."; color: #777; }
@media (max-width: 600px) {
	body.#PLUGINID#-page { font-size: 16px; }
	.#PLUGINID#-wrap { padding: 1rem .5rem 2rem; }
	.#PLUGINID#-card { padding: 1.25rem 1rem; }
}
</style>
</head>
<body class="#PLUGINID#-page #PLUGINID#-download">
<main class="#PLUGINID#-wrap">
<div class="#PLUGINID#-card">
<h1 class="#PLUGINID#-title">Thank you for your purchase!</h1>
<p class="#PLUGINID#-intro">Your downloads are ready. Click a link to open it, then save it to your computer.</p>
<div class="#PLUGINID#-links"><?php echo wp_kses( $download_links, array( 'a' => array( 'href' => true, 'target' => true ), 'br' => array() ), array( 'http', 'https' ) ); ?></div>
</div>
</main>
</body>
</html>
