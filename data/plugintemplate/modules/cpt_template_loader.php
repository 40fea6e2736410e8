<?php
/**
 * Serves funnel posts through the plugin's own page template instead of the
 * theme's.
 */

defined( 'ABSPATH' ) || exit;

function #fn#template_include( $template ) {
	if ( is_singular( #fn#post_type() ) ) {
		return __DIR__ . '/template/template.php';
	}
	return $template;
}
add_filter( 'template_include', '#fn#template_include', 99 );

/**
 * The funnel page's <title>, as WordPress makes it: the page's filter of pre_get_document_title
 * gives the seller's page title, and other plugins' title filters still apply. Escaped here, where
 * it is printed, since a pre_get_document_title filter's answer reaches it unescaped; esc_html()
 * leaves entities WordPress wrote alone.
 */
function #fn#print_title_tag() {
	echo '<title>' . esc_html( wp_get_document_title() ) . "</title>\n";
}
