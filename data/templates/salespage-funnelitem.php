<?php
/**
 * One sales page of the funnel. Included by template.php with $page_title,
 * $headline, $payment_button, the page's $token and the funnel's $layout set. A full page of the
 * site: the title, the style and whatever other plugins add come through
 * wp_head().
 */

defined( 'ABSPATH' ) || exit;

add_filter(
	'pre_get_document_title',
	static function () use ( $page_title ) {
		return esc_html( $page_title );
	}
);

// The product's image, or the one a split test shows or its winner left.
list( $image_src, $image_width, $image_height ) = #fn#page_image( $post->ID, #fn#payments_page_of( $token )[0], plugins_url( '#IMAGE#', __FILE__ ), #IMAGE_WIDTH#, #IMAGE_HEIGHT# );

// The item's copy and its own headline, and what they put into the page's head.
list( $headline, $copy_html ) = #fn#copy_page( $post, $token, (string) $page_title, (string) $headline, $image_src );

// The headline is the page's main heading; the page title stands above it, smaller.
$has_headline = '' !== (string) $headline;
#fn#page_open( $layout, array( '#PLUGINID#-page', '#PLUGINID#-sales' ) );
?>
<?php #fn#content_open( '#PLUGINID#-main' ); ?>
<div class="#PLUGINID#-card">
<?php if ( '' !== (string) $page_title ) : ?>
<?php if ( $has_headline ) : ?>
<h2 class="#PLUGINID#-title"><?php echo esc_html( $page_title ); ?></h2>
<?php else : ?>
<h1 class="#PLUGINID#-title"><?php echo esc_html( $page_title ); ?></h1>
<?php endif; ?>
<?php endif; ?>
<?php if ( $has_headline ) : ?>
<h1 class="#PLUGINID#-headline"><?php echo esc_html( $headline ); ?></h1>
<?php endif; ?>
<img class="#PLUGINID#-image" src="<?php echo esc_url( $image_src ); ?>" alt="#PRODUCT_NAME#" width="<?php echo (int) $image_width; ?>" height="<?php echo (int) $image_height; ?>">
<?php #fn#copy_print( $copy_html, '#FUNNELITEM_BUTTON#' ); ?>
<div class="#PLUGINID#-buy" id="#FUNNELITEM_BUTTON#">
<?php
// The marketer's own payment button code, shown as pasted.
echo $payment_button; // phpcs:ignore WordPress.Security.EscapeOutput.OutputNotEscaped
?>
</div>
</div>
<?php #fn#content_close(); ?>
<?php #fn#page_close( $layout ); ?>
