<?php
/**
 * Each item's sales copy, as buyers and search engines get it: written with blocks, it stands on
 * its own item's sales page between the image and the buy button, in both layouts, and nowhere
 * else; an empty copy leaves the page as it was; the copies go with their funnel.
 */

/** The copy blocks a seller would write: a list, a details block, an embed placeholder and a pattern. */
function copy_blocks( $id, $marker ) {
	$sections = call_user_func( plugin_name( $id, 'copy_sections' ) );
	return "<!-- wp:paragraph -->\n<p>$marker</p>\n<!-- /wp:paragraph -->\n\n"
		. "<!-- wp:list -->\n<ul><!-- wp:list-item -->\n<li>$marker benefit</li>\n<!-- /wp:list-item --></ul>\n<!-- /wp:list -->\n\n"
		. "<!-- wp:details -->\n<details class=\"wp-block-details\"><summary>$marker question</summary><!-- wp:paragraph -->\n<p>$marker answer</p>\n<!-- /wp:paragraph --></details>\n<!-- /wp:details -->\n\n"
		. "<!-- wp:embed {\"type\":\"video\",\"providerNameSlug\":\"youtube\",\"responsive\":true} /-->\n\n"
		. $sections['testimonial']['content'];
}

/**
 * @return string[] The pages with copy, label => HTML, for the HTML checks.
 */
function cmd_copy( $dir ) {
	load_wordpress();
	$f     = plugin_facts( $dir );
	$id    = $f['id'];
	$theme = get_stylesheet();
	$admin = user_id( 'admin' );
	wp_set_current_user( $admin );
	$copy_of  = plugin_name( $id, 'copy_of' );
	$page_url = plugin_name( $id, 'page_url' );
	$item     = max( array_keys( $f['slots'] ) );
	$pages    = array();

	$registry = WP_Block_Patterns_Registry::get_instance();
	$patterns = array_filter( $registry->get_all_registered(), static function ( $p ) use ( $id ) {
		return in_array( "$id-sales-page", isset( $p['categories'] ) ? (array) $p['categories'] : array(), true );
	} );
	ok( 8 === count( $patterns ) && WP_Block_Pattern_Categories_Registry::get_instance()->is_registered( "$id-sales-page" ), "$id: the eight sales page sections are patterns of their own category", implode( ', ', wp_list_pluck( $patterns, 'name' ) ) );

	foreach ( array( 'canvas', 'theme' ) as $layout ) {
		$label  = "$id $theme $layout";
		$marker = "E2E copy $layout " . wp_generate_password( 8, false );
		$funnel = create_funnel( $f, $admin, 'publish', "E2E copy $id $layout" );
		$other  = create_funnel( $f, $admin, 'publish', "E2E copy other $id $layout" );
		foreach ( array( $funnel, $other ) as $post ) {
			foreach ( funnel_values( $f, "copy$layout" ) + array( $id . '_page_layout' => $layout ) as $key => $value ) {
				update_post_meta( $post, $key, $value );
			}
		}
		$url = static function ( $post, $slot, $kind = 'sales' ) use ( $page_url, $f ) {
			return $page_url( get_post( $post ), $f['slots'][ $slot ][ $kind ] );
		};

		// Without a copy, and with an empty one: the same page, byte for byte.
		$copy = $copy_of( $funnel, $item );
		wp_delete_post( $copy->ID, true );
		$without = http( 'GET', $url( $funnel, $item ) )['body'];
		wp_update_post( array( 'ID' => $funnel ) );
		$copy = $copy_of( $funnel, $item );
		wp_update_post( array( 'ID' => $copy->ID, 'post_content' => '' ) );
		$empty = http( 'GET', $url( $funnel, $item ) )['body'];
		ok( '' !== $without && $without === $empty && false === strpos( $empty, 'og:' ), "$label: an empty copy leaves the sales page byte for byte as it is without one" );

		wp_update_post( array( 'ID' => $copy->ID, 'post_content' => wp_slash( copy_blocks( $id, $marker ) ), 'post_excerpt' => "$marker excerpt" ) );
		$page = http( 'GET', $url( $funnel, $item ) )['body'];
		$between = (bool) preg_match( '#class="' . preg_quote( $id, '#' ) . '-image".*' . preg_quote( $marker, '#' ) . '.*<ul.*<details.*<blockquote.*class="' . preg_quote( $id, '#' ) . '-buy"#s', $page );
		ok( $between && false !== strpos( $page, "$id-sales-copy-css" ), "$label: the copy's blocks stand between the image and the buy button, with the copy's style", substr( strip_tags( $page ), 0, 300 ) );
		ok( false !== strpos( $page, "<meta name=\"description\" content=\"$marker excerpt\">" ) && false !== strpos( $page, '<meta property="og:image" content="http' ) && false !== strpos( $page, '<meta name="twitter:card" content="summary_large_image">' ), "$label: the sales page tells search engines and social sites its description and image" );
		// One main landmark, in a classic theme that opens its own too.
		ok( 1 === preg_match_all( '#<main\b#', $page ), "$label: the sales page has one <main>" );
		if ( 'canvas' === $layout || ! wp_is_block_theme() ) {
			$pages[ "$label sales page with copy" ] = $page;
			check_page_conventions( $id, "$layout sales page with copy in $theme", $page );
		} else {
			// Inside a block theme the page holds the theme's header and footer too, whose markup is
			// core's (Twenty Twenty-Three's navigation on 6.1 has an aria-label on a div): the
			// plugin's part is checked, in a document of its own.
			preg_match( '#<main class="' . preg_quote( $id, '#' ) . '-wrap".*?</main>#s', $page, $main );
			$pages[ "$label sales page with copy (the plugin's part)" ] = '<!DOCTYPE html><html lang="en"><head><meta charset="utf-8"><title>Sales page</title></head><body>' . ( isset( $main[0] ) ? $main[0] : '' ) . '</body></html>';
		}

		$elsewhere = array(
			'the front end of the funnel'   => $url( $funnel, 0 ),
			'the item\'s download page'     => $url( $funnel, $item, 'download' ),
			'the item of another funnel'    => $url( $other, $item ),
		);
		foreach ( $elsewhere as $what => $address ) {
			$body = http( 'GET', $address )['body'];
			ok( '' !== $body && false === strpos( $body, $marker ), "$label: the copy is not on $what" );
		}
		ok( false === strpos( http( 'GET', $url( $funnel, $item, 'download' ) )['body'], 'og:' ), "$label: a download page prints no sharing tags" );

		wp_delete_post( $funnel, true );
		wp_cache_flush();
		ok( null === get_post( $copy->ID ), "$label: the copies are gone with their funnel" );
		wp_delete_post( $other, true );
	}
	return $pages;
}
