<?php
/**
 * Front end of a funnel post. The token in the "step" query argument picks
 * the sales or download page to show; anything else gets a neutral page.
 */

defined( 'ABSPATH' ) || exit;

( static function () {
	$prefix         = '#prefix#_';
	$post           = get_queried_object();
	$payment_button = '';
	$page_title     = '';
	$headline       = '';
	$token          = '';

	$step_var = #fn#step_var();
	if ( $post instanceof WP_Post && isset( $_GET[ $step_var ] ) && is_string( $_GET[ $step_var ] ) ) {
		$token = sanitize_key( wp_unslash( $_GET[ $step_var ] ) );
	}

	nocache_headers();
	$layout = #fn#page_layout( $post );

	// One title in every theme. The page prints it, unless it sits in a classic theme's own header,
	// which prints one itself (with wp_title() where the theme has no title support). Theme support
	// can't be added now: WordPress takes it only while the theme sets up.
	if ( #fn#theme_prints_title( $layout ) ) {
		add_filter( 'wp_title', '#fn#wp_title', 10, 3 );
	} else {
		remove_action( 'wp_head', '_wp_render_title_tag', 1 );
		remove_action( 'wp_head', '_block_template_render_title_tag', 1 );
		add_action( 'wp_head', '#fn#print_title_tag', 1 );
	}
	// These pages replace a block theme's template: its skip link and the duotone filters of its
	// blocks have nothing to act on here.
	remove_action( 'wp_enqueue_scripts', 'wp_enqueue_block_template_skip_link' );
	remove_action( 'wp_footer', 'the_block_template_skip_link' );
	remove_action( 'wp_body_open', 'wp_global_styles_render_svg_filters' );

	// A funnel whose payments are checked serves its download pages only for a verified payment.
	if ( #fn#payments_take_over( $post, $token ) ) {
		return;
	}

	switch ( $token ) {
#SWITCHENTRIES#
		default:
			status_header( 200 );
			add_filter( 'wp_robots', 'wp_robots_no_robots' );
			add_filter(
				'pre_get_document_title',
				static function () {
					return esc_html( get_bloginfo( 'name' ) );
				}
			);
			#fn#page_open( $layout, array( '#prefix#-page' ) );
			?>
<?php #fn#content_open(); ?>
<div class="#prefix#-card">
<h1 class="#prefix#-title"><?php esc_html_e( 'This funnel page is not available.', '#prefix#' ); ?></h1>
</div>
<?php #fn#content_close(); ?>
<?php
			#fn#page_close( $layout );
			break;
	}
} )();
