<?php
/**
 * How a funnel's pages sit in the site, chosen per funnel in its "Page layout"
 * box: a page of their own (the full-width canvas) or inside the theme's
 * header and footer. The pages call page_open() and page_close() around
 * their content and look the same either way.
 */

defined( 'ABSPATH' ) || exit;

function #fn#page_layout_key() {
	return '#prefix#_page_layout';
}

/**
 * @return string[] The layouts by key, the first one the default.
 */
function #fn#page_layouts() {
	return array(
		'canvas' => __( 'Full-width canvas', '#prefix#' ),
		'theme'  => __( 'Inside the site\'s header and footer', '#prefix#' ),
	);
}

/**
 * The layout of a funnel's pages; funnels made before the choice existed keep the canvas.
 *
 * @param WP_Post|null $post The funnel.
 */
function #fn#page_layout( $post ) {
	$layout = $post instanceof WP_Post ? get_post_meta( $post->ID, #fn#page_layout_key(), true ) : '';
	return 'theme' === $layout ? 'theme' : 'canvas';
}

/**
 * Whether the theme prints the page's <title> itself: only a classic theme's own header, when the
 * pages sit inside it. Everywhere else the page prints one title, whatever the theme supports.
 *
 * @param string $layout The funnel's layout.
 */
function #fn#theme_prints_title( $layout ) {
	return 'theme' === $layout && ! wp_is_block_theme();
}

/**
 * A classic theme without title support writes its <title> with wp_title(); it gets the page's
 * title too, in the form wp_title() gives it.
 *
 * @param string $title       The title so far.
 * @param string $sep         The separator the theme asked for.
 * @param string $seplocation Where the separator goes.
 */
function #fn#wp_title( $title, $sep, $seplocation ) {
	$page_title = wp_get_document_title();
	if ( '' === $page_title ) {
		return $title;
	}
	return 'right' === $seplocation ? "$page_title $sep " : " $sep $page_title";
}

/**
 * Everything before the page's content.
 *
 * @param string   $layout  The funnel's layout.
 * @param string[] $classes The page's own classes, which its style goes by.
 */
function #fn#page_open( $layout, $classes ) {
	if ( 'canvas' === $layout ) {
		#fn#document_open( $classes );
		return;
	}
	if ( wp_is_block_theme() ) {
		$parts = #fn#block_theme_parts();
		#fn#document_open( array() );
		echo '<div class="wp-site-blocks">';
		echo $parts['header']; // phpcs:ignore WordPress.Security.EscapeOutput.OutputNotEscaped -- the theme's own blocks, rendered by WordPress.
	} else {
		// Most classic themes open the page's <main> in their header: the content goes into theirs.
		ob_start();
		get_header();
		$header = (string) ob_get_clean();
		#fn#content_tag( preg_match_all( '/<main\b/i', $header ) > preg_match_all( '#</main\s*>#i', $header ) ? 'div' : 'main' );
		echo $header; // phpcs:ignore WordPress.Security.EscapeOutput.OutputNotEscaped -- the theme's own header.
	}
	// The classes sit on a box of their own here, so the theme's page keeps its look around it.
	echo '<div class="' . esc_attr( implode( ' ', $classes ) ) . '">';
}

/**
 * The element that holds a page's content: its own <main>, or a <div> where the theme's header
 * opened the page's <main> already (one main landmark a page).
 *
 * @param string|null $set The element, as page_open() finds it.
 */
function #fn#content_tag( $set = null ) {
	static $tag = 'main';
	if ( null !== $set ) {
		$tag = $set;
	}
	return $tag;
}

/** Opens the page's content box; $id names it where its style needs an id. */
function #fn#content_open( $id = '' ) {
	echo '<' . #fn#content_tag() . ' class="#prefix#-wrap"' . ( '' === $id ? '' : ' id="' . esc_attr( $id ) . '"' ) . ">\n"; // phpcs:ignore WordPress.Security.EscapeOutput.OutputNotEscaped -- "main" or "div".
}

function #fn#content_close() {
	echo '</' . #fn#content_tag() . ">\n"; // phpcs:ignore WordPress.Security.EscapeOutput.OutputNotEscaped -- "main" or "div".
}

/**
 * Everything after the page's content.
 *
 * @param string $layout The funnel's layout.
 */
function #fn#page_close( $layout ) {
	if ( 'canvas' !== $layout ) {
		echo '</div>';
		if ( ! wp_is_block_theme() ) {
			get_footer();
			return;
		}
		$parts = #fn#block_theme_parts();
		echo $parts['footer'] . '</div>'; // phpcs:ignore WordPress.Security.EscapeOutput.OutputNotEscaped -- the theme's own blocks, rendered by WordPress.
	}
	wp_footer();
	?>
</body>
</html>
<?php
}

/**
 * The page's own document up to its content, as a canvas page has it (and a block theme, whose
 * templates this page takes the place of).
 *
 * @param string[] $classes Classes for the body.
 */
function #fn#document_open( $classes ) {
	?>
<!DOCTYPE html>
<html <?php language_attributes(); ?>>
<head>
<meta charset="<?php bloginfo( 'charset' ); ?>">
<meta name="viewport" content="width=device-width, initial-scale=1">
<?php wp_head(); ?>
</head>
<body <?php body_class( $classes ); ?>>
<?php wp_body_open(); ?>
<?php
}

/**
 * A block theme's header and footer template parts, rendered once and before wp_head() as
 * WordPress renders a template, so that the styles of their blocks reach the page's head.
 *
 * @return string[] The header's and the footer's HTML; empty where the theme has no such part.
 */
function #fn#block_theme_parts() {
	static $parts = null;
	if ( null === $parts ) {
		$parts = array();
		foreach ( array( 'header', 'footer' ) as $area ) {
			$block          = array(
				'slug'    => $area,
				'theme'   => get_stylesheet(),
				'tagName' => $area,
			);
			$parts[ $area ] = get_block_template( get_stylesheet() . '//' . $area, 'wp_template_part' )
				? do_blocks( '<!-- wp:template-part ' . wp_json_encode( $block ) . ' /-->' )
				: '';
		}
	}
	return $parts;
}

/**
 * The funnel's "Page layout" box.
 *
 * @param WP_Post $post The funnel being edited.
 */
function #fn#render_page_layout_box( $post ) {
	#fn#print_funnel_nonce();
	$current = #fn#page_layout( $post );
	echo '<fieldset><legend class="screen-reader-text">' . esc_html__( 'Page layout', '#prefix#' ) . '</legend>';
	foreach ( #fn#page_layouts() as $layout => $label ) {
		echo '<p><label><input type="radio" name="' . esc_attr( #fn#page_layout_key() ) . '" value="' . esc_attr( $layout ) . '"' . checked( $current, $layout, false ) . '> ' . esc_html( $label ) . '</label></p>';
	}
	echo '<p class="description">' . esc_html__( 'The canvas shows each funnel page on its own, without the site\'s menus. Inside the header and footer, the pages show the theme\'s header, navigation and footer around them.', '#prefix#' ) . '</p>';
	echo '</fieldset>';
}

/**
 * Stores the layout the box sent, if it is one of the layouts.
 *
 * @param int $post_id The funnel being saved; the caller has checked the nonce and the user.
 */
function #fn#save_page_layout( $post_id ) {
	$key = #fn#page_layout_key();
	if ( ! isset( $_POST[ $key ] ) || ! is_string( $_POST[ $key ] ) ) { // phpcs:ignore WordPress.Security.NonceVerification.Missing -- checked by the caller.
		return;
	}
	$layout = sanitize_key( wp_unslash( $_POST[ $key ] ) ); // phpcs:ignore WordPress.Security.NonceVerification.Missing -- checked by the caller.
	if ( array_key_exists( $layout, #fn#page_layouts() ) ) {
		update_post_meta( $post_id, $key, $layout );
	}
}
