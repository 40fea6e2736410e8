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

	$step_var = #prefix#_step_var();
	if ( $post instanceof WP_Post && isset( $_GET[ $step_var ] ) && is_string( $_GET[ $step_var ] ) ) {
		$token = sanitize_key( wp_unslash( $_GET[ $step_var ] ) );
	}

	nocache_headers();

	// The pages are included by bare file name: look for them beside this file first.
	$include_path = set_include_path( __DIR__ . PATH_SEPARATOR . get_include_path() );

	switch ( $token ) {
#SWITCHENTRIES#
		default:
			status_header( 200 );
			?>
<!DOCTYPE html>
<html <?php language_attributes(); ?>>
<head>
<meta charset="<?php bloginfo( 'charset' ); ?>">
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta name="robots" content="noindex, nofollow">
<title><?php echo esc_html( get_bloginfo( 'name' ) ); ?></title>
<style>
body { margin: 0; padding: 4rem 1rem; background: #f4f5f7; color: #333; font: 18px/1.5 -apple-system, BlinkMacSystemFont, "Segoe UI", Roboto, Helvetica, Arial, sans-serif; text-align: center; }
p { max-width: 32rem; margin: 0 auto; }
</style>
</head>
<body>
<p>This funnel page is not available.</p>
</body>
</html>
<?php
			break;
	}

	if ( false !== $include_path ) {
		set_include_path( $include_path );
	}
} )();
