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
