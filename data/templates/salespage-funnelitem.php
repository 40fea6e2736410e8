<?php
/**
 * One sales page of the funnel. Included by template.php with $page_title,
 * $headline and $payment_button set.
 */

defined( 'ABSPATH' ) || exit;
?>
<!DOCTYPE html>
<html <?php language_attributes(); ?>>
<head>
<meta charset="<?php bloginfo( 'charset' ); ?>">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title><?php echo esc_html( $page_title ); ?></title>
<style>
*, *::before, *::after { box-sizing: border-box; }
body.#PLUGINID#-page { margin: 0; background: #eef1f5; color: #222; font: 18px/1.6 -apple-system, BlinkMacSystemFont, "Segoe UI", Roboto, Helvetica, Arial, sans-serif; }
.#PLUGINID#-wrap { max-width: 52rem; margin: 0 auto; padding: 2rem 1rem 3rem; }
.#PLUGINID#-card { background: #fff; border-radius: 10px; box-shadow: 0 4px 24px rgba(0, 0, 0, .08); padding: 2rem 1.5rem; text-align: center; }
.#PLUGINID#-title { margin: 0 0 .75rem; font-size: 1.3rem; font-weight: 600; color: #555; }
.#PLUGINID#-headline { margin: 0 0 1.5rem; font-size: 2.2rem; line-height: 1.2; font-weight: 800; color: #c62828; }
.#PLUGINID#-image { display: block; max-width: 100%; height: auto; margin: 0 auto 2rem; border-radius: 6px; }
.#PLUGINID#-buy { margin: 0 auto; }
.#PLUGINID#-buy a { display: inline-block; padding: .9rem 2.2rem; border-radius: 6px; background: #2e7d32; color: #fff; font-size: 1.2rem; font-weight: 700; text-decoration: none; }
.#PLUGINID#-buy a, .#PLUGINID#-buy button, .#PLUGINID#-buy input[type="submit"] { border: 0; cursor: pointer; font-family: inherit; }
.#PLUGINID#-buy button, .#PLUGINID#-buy input[type="submit"] { display: inline-block; padding: .9rem 2.2rem; border-radius: 6px; background: #2e7d32; color: #fff; font-size: 1.2rem; font-weight: 700; }
.#PLUGINID#-buy a:hover, .#PLUGINID#-buy a:focus, .#PLUGINID#-buy button:hover, .#PLUGINID#-buy input[type="submit"]:hover { background: #1b5e20; }
@media (max-width: 600px) {
	body.#PLUGINID#-page { font-size: 16px; }
	.#PLUGINID#-wrap { padding: 1rem .5rem 2rem; }
	.#PLUGINID#-card { padding: 1.25rem 1rem; }
	.#PLUGINID#-headline { font-size: 1.6rem; }
}
</style>
</head>
<body class="#PLUGINID#-page #PLUGINID#-sales">
<main class="#PLUGINID#-wrap">
<div class="#PLUGINID#-card">
<?php if ( '' !== (string) $page_title ) : ?>
<h1 class="#PLUGINID#-title"><?php echo esc_html( $page_title ); ?></h1>
<?php endif; ?>
<?php if ( '' !== (string) $headline ) : ?>
<p class="#PLUGINID#-headline"><?php echo esc_html( $headline ); ?></p>
<?php endif; ?>
<img class="#PLUGINID#-image" src="<?php echo esc_url( plugins_url( '#IMAGE#', __FILE__ ) ); ?>" alt="<?php echo esc_attr( $page_title ); ?>">
<div class="#PLUGINID#-buy" id="#FUNNELITEM_BUTTON#">
<?php
// The marketer's own payment button code, shown as pasted.
echo $payment_button; // phpcs:ignore WordPress.Security.EscapeOutput.OutputNotEscaped
?>
</div>
</div>
</main>
</body>
</html>
