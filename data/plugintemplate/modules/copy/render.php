<?php
/**
 * An item's copy on its sales page: rendered as any post's content is, its own style on that
 * page only, the item's own headline, and what search engines and social sites show of the page.
 * An item without copy gets the page it always had.
 */

defined( 'ABSPATH' ) || exit;

/** More text than one screen shows; media alone fill one. */
const #fn#COPY_SCREEN_CHARACTERS = 600;

/**
 * The copy of a funnel's item as its page shows it (blocks, embeds and shortcodes done), or ''.
 *
 * @param WP_Post $funnel The funnel whose page this is.
 */
function #fn#copy_html( $funnel, $slot ) {
	return #fn#copy_render( #fn#copy_shown( $funnel->ID, $slot ) );
}

/** The item's copy when it is one the page shows (published), else null. */
function #fn#copy_shown( $funnel_id, $slot ) {
	$copy = #fn#copy_of( $funnel_id, $slot );
	return null !== $copy && 'publish' === $copy->post_status ? $copy : null;
}

/**
 * A copy as its page shows it, or '' for none.
 *
 * @param WP_Post|null $copy The copy, from copy_shown().
 */
function #fn#copy_render( $copy ) {
	if ( null === $copy || '' === trim( $copy->post_content ) ) {
		return '';
	}
	// Filters of the content see the copy as the post they work on, as they would in a loop.
	global $post;
	$page = $post;
	$post = $copy; // phpcs:ignore WordPress.WP.GlobalVariablesOverride
	setup_postdata( $copy );
	$html = trim( (string) apply_filters( 'the_content', $copy->post_content ) );
	$post = $page; // phpcs:ignore WordPress.WP.GlobalVariablesOverride
	if ( $page instanceof WP_Post ) {
		setup_postdata( $page );
	}
	// Blocks left blank say nothing: the page stays as it is without copy.
	return '' === trim( wp_strip_all_tags( $html ) ) && ! preg_match( '/<(img|iframe|video|audio|embed|object|svg|form)\b/i', $html ) ? '' : $html;
}

/** The item's own headline; the front end's where the item has none. */
function #fn#copy_headline( $funnel_id, $slot, $headline ) {
	$own = 0 === (int) $slot ? '' : trim( (string) get_post_meta( $funnel_id, '#prefix#_funnelitem_' . (int) $slot . '_headline', true ) );
	return '' === $own ? $headline : $own;
}

/**
 * Everything a sales page takes from its item's copy, prepared before the page's head: the copy's
 * style and the sharing tags are queued for it.
 *
 * @param WP_Post $funnel     The funnel.
 * @param string  $token      The page's token.
 * @param string  $page_title The item's page title.
 * @param string  $headline   The front end's headline.
 * @param string  $image      The address of the product's image.
 * @return array array( headline to show, copy HTML or '' ).
 */
function #fn#copy_page( $funnel, $token, $page_title, $headline, $image ) {
	$page = #fn#payments_page_of( $token );
	if ( ! $funnel instanceof WP_Post || null === $page || 'sales' !== $page[1] ) {
		return array( $headline, '' );
	}
	$slot     = $page[0];
	$headline = #fn#copy_headline( $funnel->ID, $slot, $headline );
	$copy     = #fn#copy_shown( $funnel->ID, $slot );
	$html     = #fn#copy_render( $copy );
	if ( '' !== $html ) {
		$file = dirname( __DIR__, 2 ) . '/assets/sales-copy.css';
		wp_enqueue_style( '#prefix#-sales-copy', plugins_url( 'assets/sales-copy.css', dirname( __DIR__ ) ), array(), (string) filemtime( $file ) );
	}
	$excerpt     = null === $copy ? '' : trim( wp_strip_all_tags( $copy->post_excerpt ) );
	$description = '' !== $excerpt ? $excerpt : wp_trim_words( wp_strip_all_tags( strip_shortcodes( $html ) ), 30, '…' );
	if ( '' !== $description ) {
		$tags = array(
			'description'         => array( 'name', $description ),
			'og:type'             => array( 'property', 'website' ),
			'og:title'            => array( 'property', '' === $page_title ? $headline : $page_title ),
			'og:description'      => array( 'property', $description ),
			'og:url'              => array( 'property', #fn#page_url( $funnel, $token ) ),
			'og:image'            => array( 'property', $image ),
			'twitter:card'        => array( 'name', 'summary_large_image' ),
			'twitter:title'       => array( 'name', '' === $page_title ? $headline : $page_title ),
			'twitter:description' => array( 'name', $description ),
			'twitter:image'       => array( 'name', $image ),
		);
		add_action(
			'wp_head',
			static function () use ( $tags ) {
				foreach ( $tags as $name => $tag ) {
					if ( '' !== trim( (string) $tag[1] ) ) {
						echo '<meta ' . $tag[0] . '="' . esc_attr( $name ) . '" content="' . esc_attr( $tag[1] ) . '">' . "\n"; // phpcs:ignore WordPress.Security.EscapeOutput.OutputNotEscaped -- 'name' or 'property'.
					}
				}
			},
			2
		);
	}
	return array( $headline, $html );
}

/**
 * Prints the copy between the image and the buy button; a copy longer than one screen also gets
 * a way to the button at its top.
 *
 * @param string $html   The copy, or ''.
 * @param string $button The id of the page's buy button.
 */
function #fn#copy_print( $html, $button ) {
	if ( '' === $html ) {
		return;
	}
	$long = strlen( wp_strip_all_tags( $html ) ) > #fn#COPY_SCREEN_CHARACTERS || preg_match( '/<(iframe|img|video)\b|wp-block-embed/', $html );
	if ( $long ) {
		echo '<p class="#prefix#-to-order"><a href="#' . esc_attr( $button ) . '">' . esc_html__( 'Order now', '#prefix#' ) . '</a></p>' . "\n";
	}
	echo '<div class="#prefix#-copy">' . "\n" . $html . "\n" . '</div>' . "\n"; // phpcs:ignore WordPress.Security.EscapeOutput.OutputNotEscaped -- the post's content as the_content gives it.
}
