<?php
/**
 * The funnel pages and screens: every token's page, the editor boxes and their
 * save guards, pretty addresses, themes and layouts, the buy button's colours.
 * Part of tests/e2e/wp-e2e.php, which loads it.
 */

function cmd_check( $dir ) {
	load_wordpress();
	require_once ABSPATH . 'wp-admin/includes/admin.php';
	$f     = plugin_facts( $dir );
	$id    = $f['id'];
	$admin = user_id( 'admin' );

	ok( array_key_exists( 0, $f['slots'] ), "$id: template.php serves the front end offer" );
	foreach ( $f['slots'] as $n => $t ) {
		ok( isset( $t['sales'], $t['download'] ), "$id: slot $n has a sales and a download token" );
	}

	// Post type.
	$type = funnel_type( $f );
	$obj  = get_post_type_object( $type );
	ok( (bool) preg_match( '/^[a-z0-9_]{1,20}$/', $type ), "$id: post type key '$type' is lower case and at most 20 characters" );
	if ( ! ok( null !== $obj, "$id: funnel post type registered" ) ) {
		return;
	}
	ok( $obj->public && $obj->show_ui && ! $obj->has_archive && post_type_supports( $type, 'title' ), "$id: post type is public, has a UI, no archive, supports title" );
	ok( $f['name'] === $obj->labels->name && $f['name'] === $obj->labels->menu_name, "$id: menu named by the plugin name", $obj->labels->menu_name . ' vs ' . $f['name'] );

	// A published funnel with every field filled in.
	$post_id  = create_funnel( $f, $admin, 'publish', "E2E funnel $id" );
	$headline = 'Act now & save "big" <today> \\o/';
	$values   = array();
	update_post_meta( $post_id, meta_key( $f, 0, 'headline' ), wp_slash( $headline ) );
	foreach ( array_keys( $f['slots'] ) as $n ) {
		$values[ $n ] = array(
			'title' => "Title $n: Bob's <Deal> & \"more\"",
			'code'  => "<a class=\"buy\" href=\"https://pay.example.com/x$n\">Buy $n</a>",
		);
		update_post_meta( $post_id, meta_key( $f, $n, 'pagetitle' ), wp_slash( $values[ $n ]['title'] ) );
		update_post_meta( $post_id, meta_key( $f, $n, 'code' ), wp_slash( $values[ $n ]['code'] ) );
	}
	$permalink = get_permalink( $post_id );

	foreach ( $f['slots'] as $n => $t ) {
		$title = $values[ $n ]['title'];

		$r = http( 'GET', add_query_arg( 'step', $t['sales'], $permalink ) );
		$b = $r['body'];
		ok( 200 === $r['status'] && '' === page_error( $b ), "$id: sales page $n ({$t['sales']}) answers 200 without error", $r['status'] . ' ' . page_error( $b ) );
		ok( false !== strpos( $b, '<title>' . esc_html( $title ) . '</title>' ), "$id: sales page $n has its page title, escaped, in <title>" );
		ok( false !== strpos( $b, '<h2 class="' . $id . '-title">' . esc_html( $title ) . '</h2>' ), "$id: sales page $n shows its page title as a heading above the headline" );
		ok( false !== strpos( $b, '<h1 class="' . $id . '-headline">' . esc_html( $headline ) . '</h1>' ) && 1 === substr_count( $b, '<h1' ), "$id: sales page $n shows the front end headline, escaped, as its one <h1>" );
		check_page_conventions( $id, "sales page $n", $b );
		ok( false === strpos( $b, '<Deal>' ) && false === strpos( $b, '<today>' ), "$id: sales page $n prints no text field unescaped" );
		ok( false !== strpos( $b, $values[ $n ]['code'] ), "$id: sales page $n shows its own payment button as HTML" );
		$others = 0;
		foreach ( $values as $k => $v ) {
			$others += ( $k !== $n && false !== strpos( $b, $v['code'] ) ) ? 1 : 0;
		}
		ok( 0 === $others, "$id: sales page $n shows no other page's button" );

		if ( ok( (bool) preg_match( '#<img\b[^>]*\bsrc="([^"]+)" alt="([^"]*)" width="(\d+)" height="(\d+)"#i', $b, $img ), "$id: sales page $n has an image with alt text, width and height" ) ) {
			$src  = html_entity_decode( $img[1], ENT_QUOTES );
			$file = $dir . '/modules/template/' . basename( parse_url( $src, PHP_URL_PATH ) );
			// The slot's own product is the last link of its download page.
			$links   = anchors( file_get_contents( "$dir/modules/template/download-funnelitem-$n.php" ) );
			$product = preg_replace( '#^<a [^>]*>(.*)</a>$#s', '$1', end( $links ) );
			ok( '' !== $product && $img[2] === $product, "$id: image of sales page $n is described by its product's name", "alt '{$img[2]}' vs '$product'" );
			$real = is_file( $file ) ? getimagesize( $file ) : false;
			ok( false !== $real && (int) $img[3] === $real[0] && (int) $img[4] === $real[1], "$id: image of sales page $n states its real size", "{$img[3]}x{$img[4]} vs " . ( $real ? "{$real[0]}x{$real[1]}" : 'unreadable' ) );
			$ir   = http( 'GET', $src );
			ok(
				200 === $ir['status'] && 0 === strpos( isset( $ir['headers']['content-type'] ) ? $ir['headers']['content-type'] : '', 'image/' )
				&& is_file( $file ) && file_get_contents( $file ) === $ir['body'],
				"$id: image of sales page $n ($src) is served with its bytes",
				$ir['status'] . ' ' . wp_json_encode( $ir['headers'] )
			);
		}

		$r        = http( 'GET', add_query_arg( 'step', $t['download'], $permalink ) );
		$expected = anchors( file_get_contents( "$dir/modules/template/download-funnelitem-$n.php" ) );
		ok( 200 === $r['status'] && '' === page_error( $r['body'] ), "$id: download page $n ({$t['download']}) answers 200 without error", $r['status'] . ' ' . page_error( $r['body'] ) );
		ok( anchors( $r['body'] ) === $expected, "$id: download page $n shows exactly its " . count( $expected ) . ' link(s)', wp_json_encode( anchors( $r['body'] ) ) );
		preg_match( '#<ul class="' . preg_quote( $id, '#' ) . '-links">(.*?)</ul>#s', $r['body'], $list );
		ok( isset( $list[1] ) && count( $expected ) === preg_match_all( '#<li><a [^>]*>[^<]*</a></li>#', $list[1] ) && '' === trim( preg_replace( '#<li><a [^>]*>[^<]*</a></li>#', '', $list[1] ) ), "$id: download page $n lists its links as list items", isset( $list[1] ) ? $list[1] : 'no list' );
		ok( false !== strpos( $r['body'], '<title>Your downloads</title>' ) && 1 === substr_count( $r['body'], '<h1' ), "$id: download page $n has its title and one <h1>" );
		$referrer = isset( $r['headers']['referrer-policy'] ) ? $r['headers']['referrer-policy'] : '';
		$opened   = isset( $list[1] ) ? preg_match_all( '#<a [^>]*\brel="noopener noreferrer"#', $list[1] ) : -1;
		ok( 'no-referrer' === $referrer && count( $expected ) === $opened, "$id: download page $n passes its address on to no linked site", "$referrer | $opened" );
		check_page_conventions( $id, "download page $n", $r['body'] );
	}

	// Addressed by id, as WordPress's own short links do.
	$first = reset( $f['slots'] );
	$r     = http( 'GET', home_url( "/?p=$post_id&step=" . $first['sales'] ) );
	for ( $hops = 0; $hops < 3 && in_array( $r['status'], array( 301, 302 ), true ); ++$hops ) {
		$r = http( 'GET', $r['headers']['location'] );
	}
	ok( 200 === $r['status'] && false !== strpos( $r['body'], $values[0]['code'] ), "$id: ?p=ID&step=TOKEN leads to the sales page", $r['status'] );

	foreach ( array( 'unknown token' => add_query_arg( 'step', 'sp99999', $permalink ), 'no token' => $permalink, 'odd token' => add_query_arg( 'step[]', 'x', $permalink ) ) as $what => $u ) {
		$r = http( 'GET', $u );
		$b = $r['body'];
		ok( 200 === $r['status'] && '' === page_error( $b ) && false !== stripos( $b, '</html>' ), "$id: $what gets the default page with 200", $r['status'] . ' ' . page_error( $b ) );
		ok( false === strpos( $b, 'pay.example.com' ) && false === strpos( $b, esc_html( $headline ) ), "$id: $what shows no funnel content" );
		ok( 1 === substr_count( $b, '<h1' ), "$id: $what has one <h1>" );
		check_page_conventions( $id, "default page ($what)", $b );
	}

	// Plugin files opened directly stop at once.
	foreach ( preg_grep( '/\.php$/', files_below( $dir ) ) as $file ) {
		$r = http( 'GET', plugins_url( $file, WP_PLUGIN_DIR . "/$id/plugin.php" ) );
		ok( 200 === $r['status'] && '' === $r['body'], "$id: $file opened directly prints nothing", $r['status'] . ' ' . $r['body'] );
	}

	// The edit screen.
	$cookies = auth_cookies( $admin );
	$r       = http( 'GET', admin_url( "post.php?post=$post_id&action=edit" ), null, $cookies );
	$b       = $r['body'];
	ok( 200 === $r['status'] && '' === page_error( $b ) && false !== strpos( $b, 'id="post"' ), "$id: edit screen opens", $r['status'] . ' ' . page_error( $b ) );
	ok( 1 === substr_count( $b, 'name="' . plugin_name( $id, 'funnel_nonce' ) . '"' ), "$id: edit screen holds the save nonce once" );
	$titles = array( 'Front End Offer', 'Upsell #1', 'Upsell #2', 'Downsell For Upsell #1', 'Downsell For Upsell #2' );
	for ( $n = 0; $n < 5; ++$n ) {
		$shown = isset( $f['slots'][ $n ] );
		ok( $shown === ( false !== strpos( $b, 'id="' . $id . "_funnelitem_$n\"" ) ), "$id: box for slot $n " . ( $shown ? 'shown' : 'absent' ) );
		if ( ! $shown ) {
			continue;
		}
		$t = $f['slots'][ $n ];
		ok( false !== strpos( $b, esc_html( $titles[ $n ] ) ), "$id: box $n titled '{$titles[$n]}'" );
		ok( false !== strpos( $b, 'value="' . esc_attr( $values[ $n ]['title'] ) . '"' ), "$id: box $n shows the stored page title, escaped" );
		ok( false !== strpos( $b, '>' . esc_textarea( $values[ $n ]['code'] ) . '</textarea>' ), "$id: box $n shows the stored button code, escaped" );
		foreach ( $t as $token ) {
			ok( false !== strpos( $b, '<code>' . $token . '</code>' ), "$id: box $n shows token $token" );
			ok( false !== strpos( $b, esc_html( add_query_arg( 'step', $token, $permalink ) ) ), "$id: box $n shows the full address for $token" );
		}
	}
	ok( count( $f['slots'] ) === substr_count( $b, '<h3>Page addresses</h3>' ) && false === strpos( $b, '<h4>Page addresses' ), "$id: each box heads its addresses one level below its own <h2> title" );
	ok( false !== strpos( $b, 'value="' . esc_attr( $headline ) . '"' ), "$id: headline field shows the stored headline, escaped" );
	ok( false === strpos( $b, '<Deal>' ) && false === strpos( $b, '<today>' ), "$id: edit screen prints no stored value unescaped" );
	$layout_key = "{$id}_page_layout";
	ok( 1 === preg_match( '#value="canvas" checked#', $b ) && false !== strpos( $b, 'value="theme">' ), "$id: the Page layout box offers both layouts, the canvas chosen" );

	// Saving through the edit form, as a browser sends it.
	$fields = form_fields( $b, 'post' );
	if ( ok( is_array( $fields ), "$id: edit form found" ) ) {
		$saved = array( 'headline' => 'Saved "headline" \\ back <b>bold</b>' );
		set_field( $fields, meta_key( $f, 0, 'headline' ), $saved['headline'] );
		foreach ( array_keys( $f['slots'] ) as $n ) {
			set_field( $fields, meta_key( $f, $n, 'pagetitle' ), "Saved title $n: it's \"quoted\" \\ <i>x</i>" );
			set_field( $fields, meta_key( $f, $n, 'code' ), "<form action=\"https://pay.example.com/s$n\"><input type=\"submit\" value='Buy \"$n\"'></form><script>var n = '$n\\n';</script>" );
		}
		set_field( $fields, $layout_key, 'theme' );
		set_field( $fields, meta_key( $f, 9, 'code' ), 'not declared' );
		set_field( $fields, $id . '_injected', 'not declared' );
		set_field( $fields, 'save', 'Update' );
		$r = http( 'POST', admin_url( 'post.php' ), $fields, $cookies );
		ok( 302 === $r['status'] && false !== strpos( isset( $r['headers']['location'] ) ? $r['headers']['location'] : '', 'message=' ), "$id: edit form saves", $r['status'] . ' ' . page_error( $r['body'] ) );
		ok( 'Saved "headline" \\ back bold' === fresh_meta( $post_id, meta_key( $f, 0, 'headline' ) ), "$id: saved headline is plain text with quotes and backslash kept", fresh_meta( $post_id, meta_key( $f, 0, 'headline' ) ) );
		foreach ( array_keys( $f['slots'] ) as $n ) {
			ok( "Saved title $n: it's \"quoted\" \\ x" === fresh_meta( $post_id, meta_key( $f, $n, 'pagetitle' ) ), "$id: saved page title $n is plain text", fresh_meta( $post_id, meta_key( $f, $n, 'pagetitle' ) ) );
			ok( "<form action=\"https://pay.example.com/s$n\"><input type=\"submit\" value='Buy \"$n\"'></form><script>var n = '$n\\n';</script>" === fresh_meta( $post_id, meta_key( $f, $n, 'code' ) ), "$id: administrator's button code $n saved unchanged", fresh_meta( $post_id, meta_key( $f, $n, 'code' ) ) );
		}
		wp_cache_flush();
		$all = get_post_meta( $post_id );
		ok( ! isset( $all[ meta_key( $f, 9, 'code' ) ] ) && ! isset( $all[ $id . '_injected' ] ), "$id: fields that no box declares are not saved" );
		ok( 'theme' === fresh_meta( $post_id, $layout_key ), "$id: the edit form saves the page layout", fresh_meta( $post_id, $layout_key ) );
		save_as( $f, $admin, $post_id, array( $layout_key => 'sidebar' ), plugin_name( $id, 'save_funnel' ) );
		ok( 'theme' === fresh_meta( $post_id, $layout_key ), "$id: a layout that is none of the choices is not saved", fresh_meta( $post_id, $layout_key ) );
		save_as( $f, $admin, $post_id, array( $layout_key => 'canvas' ), plugin_name( $id, 'save_funnel' ) );
		ok( 'canvas' === fresh_meta( $post_id, $layout_key ), "$id: the canvas can be chosen again", fresh_meta( $post_id, $layout_key ) );

		$r = http( 'GET', add_query_arg( 'step', $first['sales'], $permalink ) );
		ok( false !== strpos( $r['body'], fresh_meta( $post_id, meta_key( $f, 0, 'code' ) ) ), "$id: sales page shows the saved button" );
	}

	// A draft has no addresses yet.
	$draft = create_funnel( $f, $admin, 'draft', "E2E draft $id" );
	$r     = http( 'GET', admin_url( "post.php?post=$draft&action=edit" ), null, $cookies );
	ok( 200 === $r['status'] && '' === page_error( $r['body'] ) && false !== strpos( $r['body'], '<code>' . $first['sales'] . '</code>' ), "$id: draft's edit screen shows the tokens", $r['status'] );
	ok( false === strpos( $r['body'], 'step=' . $first['sales'] ) && false !== stripos( $r['body'], 'publish' ), "$id: draft's edit screen asks to publish instead of giving addresses" );
	$r = http( 'GET', admin_url( 'post-new.php?post_type=' . $type ), null, $cookies );
	ok( 200 === $r['status'] && '' === page_error( $r['body'] ) && false !== strpos( $r['body'], plugin_name( $id, 'funnel_nonce' ) ), "$id: new funnel screen opens with the boxes", $r['status'] . ' ' . page_error( $r['body'] ) );

	$r    = http( 'GET', admin_url( 'edit.php?post_type=' . $type ), null, $cookies );
	$name = $f['name'];
	ok( 200 === $r['status'] && '' === page_error( $r['body'] ), "$id: funnel list opens", $r['status'] );
	ok( false !== strpos( $r['body'], esc_html( $name ) ), "$id: funnel list is headed by the plugin name, escaped" );
	ok( ( false === strpbrk( $name, '<>' ) ) || false === strpos( $r['body'], $name ), "$id: plugin name never printed unescaped" );

	// The save guards, through save_post as the edit form triggers it.
	$author     = user_id( 'author' );
	$subscriber = user_id( 'subscriber' );
	$guard      = create_funnel( $f, $admin, 'publish', "E2E guard $id" );
	$code_key   = meta_key( $f, 0, 'code' );
	$title_key  = meta_key( $f, 0, 'pagetitle' );

	save_as( $f, $admin, $guard, funnel_values( $f, 'nononce' ), false );
	ok( '' === fresh_meta( $guard, $code_key ), "$id: save without the nonce stores nothing" );
	save_as( $f, $admin, $guard, funnel_values( $f, 'badnonce' ), 'some_other_action' );
	ok( '' === fresh_meta( $guard, $code_key ), "$id: save with a nonce for another action stores nothing" );
	save_as( $f, $subscriber, $guard, funnel_values( $f, 'subscriber' ), plugin_name( $id, 'save_funnel' ) );
	ok( '' === fresh_meta( $guard, $code_key ), "$id: a subscriber's save stores nothing" );
	save_as( $f, $author, $guard, funnel_values( $f, 'author' ), plugin_name( $id, 'save_funnel' ) );
	ok( '' === fresh_meta( $guard, $code_key ), "$id: an author cannot save a funnel" );
	$values = funnel_values( $f, 'admin' );
	save_as( $f, $admin, $guard, $values, plugin_name( $id, 'save_funnel' ) );
	$ok = true;
	foreach ( $values as $k => $v ) {
		$ok = $ok && fresh_meta( $guard, $k ) === $v;
	}
	ok( $ok, "$id: an administrator's save with the nonce stores every field" );

	$seller           = user_id( 'seller' );
	$own              = create_funnel( $f, $seller, 'publish', "E2E author $id" );
	$values           = funnel_values( $f, 'author' );
	$values[ $code_key ]  = '<a class="buy" href="https://pay.example.com/a">Buy</a><script>alert(1)</script>';
	$values[ $title_key ] = 'Author <script>alert(2)</script>title';
	save_as( $f, $seller, $own, $values, plugin_name( $id, 'save_funnel' ) );
	ok( '<a class="buy" href="https://pay.example.com/a">Buy</a>alert(1)' === fresh_meta( $own, $code_key ), "$id: a seller's button code without raw HTML is filtered like post content", fresh_meta( $own, $code_key ) );
	ok( 'Author title' === fresh_meta( $own, $title_key ), "$id: a seller's page title is plain text", fresh_meta( $own, $title_key ) );

	// Authors and contributors get no funnel screen, and so no token of any funnel.
	$tokens = array();
	foreach ( $f['slots'] as $slot ) {
		$tokens[] = $slot['sales'];
		$tokens[] = $slot['download'];
	}
	foreach ( array( 'author', 'contributor' ) as $login ) {
		$c = auth_cookies( user_id( $login ) );
		foreach ( array( 'the funnel list' => "edit.php?post_type=$type", 'Add New Funnel' => "post-new.php?post_type=$type", "another user's funnel" => "post.php?post=$guard&action=edit" ) as $what => $screen ) {
			$r    = http( 'GET', admin_url( $screen ), null, $c );
			$seen = array_filter( $tokens, function ( $t ) use ( $r ) { return false !== strpos( $r['body'], $t ); } );
			ok( 200 !== $r['status'] && ! $seen, "$id: a user with role $login is refused $what and sees no token", $r['status'] . ' ' . implode( ' ', $seen ) );
		}
	}

	// Revisions and autosaves of a funnel never take the fields.
	foreach ( array( 'revision' => "$guard-revision-v1", 'autosave' => "$guard-autosave-v1" ) as $what => $slug ) {
		$rev = wp_insert_post(
			array(
				'post_type'   => 'revision',
				'post_status' => 'inherit',
				'post_parent' => $guard,
				'post_name'   => $slug,
			)
		);
		wp_set_current_user( $admin );
		$_POST = wp_slash( funnel_values( $f, $what ) + array( plugin_name( $id, 'funnel_nonce' ) => wp_create_nonce( plugin_name( $id, 'save_funnel' ) ) ) );
		do_action( 'save_post_' . $type, $rev, get_post( $rev ), true );
		$_POST = array();
		ok( '' === fresh_meta( $rev, $code_key ), "$id: a $what stores nothing" );
	}
}

/**
 * What no funnel data and no author may do: run PHP from product data, store
 * script through core's own paths, list funnels to visitors, or let a buyer's
 * page be cached or indexed.
 */
function cmd_safety( $dir ) {
	load_wordpress();
	require_once ABSPATH . 'wp-admin/includes/admin.php';
	$f     = plugin_facts( $dir );
	$id    = $f['id'];
	$type  = funnel_type( $f );
	$admin = user_id( 'admin' );
	$code  = meta_key( $f, 0, 'code' );

	// Only the plugin's own files, the pages and proven images are shipped.
	$shipped = array_diff( scandir( "$dir/modules/template" ), array( '.', '..' ) );
	$odd     = preg_grep( '/^(index\.php|template\.php|(salespage-funnelitem|download-funnelitem)-[0-4]\.php|funnelitem-[0-4]\.(gif|jpg|png|webp))$/', $shipped, PREG_GREP_INVERT );
	ok( array() === array_values( $odd ), "$id: modules/template holds only pages, proven images and the plugin's own files", implode( ', ', $odd ) );

	// Product data shows as text; none of it runs.
	$post = create_funnel( $f, $admin, 'publish', "E2E safety $id" );
	$link = get_permalink( $post );
	foreach ( $f['slots'] as $n => $t ) {
		foreach ( array( 'sales', 'download' ) as $kind ) {
			$r = http( 'GET', add_query_arg( 'step', $t[ $kind ], $link ) );
			ok( 200 === $r['status'] && false === stripos( $r['body'], 'pwned' ) && false === strpos( $r['body'], '<?php' ), "$id: $kind page $n runs and prints no PHP from product data" );
			if ( 'download' === $kind ) {
				$cache = isset( $r['headers']['cache-control'] ) ? $r['headers']['cache-control'] : '';
				$robots = isset( $r['headers']['x-robots-tag'] ) ? $r['headers']['x-robots-tag'] : '';
				ok( false !== strpos( $cache, 'no-store' ) && false !== strpos( $robots, 'noindex' ) && (bool) preg_match( '#<meta name=[\'"]robots[\'"] content=[\'"]noindex, nofollow, noarchive[\'"]#', $r['body'] ) && 1 === substr_count( $r['body'], "name='robots'" ) + substr_count( $r['body'], 'name="robots"' ), "$id: download page $n is neither stored nor indexed", "$cache | $robots" );
			}
		}
	}

	// Core's custom-fields path, without the plugin's nonce: a seller without raw
	// HTML on a published funnel, an editor on a draft that is then published.
	$script = '<script>document.title="owned"</script>';
	foreach ( array( 'seller' => 'publish', 'editor' => 'draft' ) as $login => $status ) {
		$uid     = user_id( $login );
		$own     = create_funnel( $f, $uid, $status, "E2E $login custom fields $id" );
		$cookies = auth_cookies( $uid );
		$r       = http( 'GET', admin_url( "post.php?post=$own&action=edit" ), null, $cookies );
		$fields  = form_fields( $r['body'], 'post' );
		if ( ! ok( is_array( $fields ), "$id: $login's edit form found", $r['status'] ) ) {
			continue;
		}
		$fields = array_values( array_filter( $fields, function ( $field ) use ( $id ) { return plugin_name( $id, 'funnel_nonce' ) !== $field[0]; } ) );
		set_field( $fields, 'metakeyinput', $code );
		set_field( $fields, 'metavalue', $script );
		set_field( $fields, 'save', 'publish' === $status ? 'Update' : 'Save Draft' );
		$r = http( 'POST', admin_url( 'post.php' ), $fields, $cookies );
		ok( 302 === $r['status'], "$id: $login's post through the custom-fields path is answered", $r['status'] . ' ' . page_error( $r['body'] ) );
		wp_cache_flush();
		ok( array() === get_post_meta( $own, $code ), "$id: core's custom-fields path stores nothing for a $login", wp_json_encode( get_post_meta( $own, $code ) ) );
		if ( 'draft' === $status ) {
			wp_set_current_user( user_id( 'editor' ) );
			wp_update_post( array( 'ID' => $own, 'post_status' => 'publish' ) );
			wp_set_current_user( 0 );
		}
		$r = http( 'GET', add_query_arg( 'step', $f['slots'][0]['sales'], get_permalink( $own ) ) );
		ok( 200 === $r['status'] && false === strpos( $r['body'], 'owned' ), "$id: no script from a $login reaches the sales page" );
	}
	wp_set_current_user( $admin );
	ok( is_protected_meta( $code, 'post' ) && ! current_user_can( 'add_post_meta', $post, $code ) && ! current_user_can( 'edit_post_meta', $post, $code ), "$id: the funnel's fields are protected meta that even an administrator can't edit through core's paths" );
	wp_set_current_user( 0 );

	// An author's payment button keeps what payment buttons are made of, and nothing that runs.
	$author = user_id( 'seller' );
	$own    = create_funnel( $f, $author, 'publish', "E2E author button $id" );
	$button = '<form action="https://www.paypal.com/cgi-bin/webscr" method="post" target="_top">'
		. '<input type="hidden" name="cmd" value="_s-xclick"><input type="hidden" name="hosted_button_id" value="ABC123">'
		. '<input type="image" src="https://www.paypalobjects.com/en_US/i/btn/btn_buynow_LG.gif" border="0" name="submit" alt="Buy Now">'
		. '<button type="submit" class="buy">Buy</button></form>'
		. '<a href="javascript:alert(1)" onclick="alert(2)">x</a><img src="https://pay.example.com/b.png" onerror="alert(3)"><script>alert(4)</script>';
	save_as( $f, $author, $own, array( $code => $button ), plugin_name( $id, 'save_funnel' ) );
	$stored = fresh_meta( $own, $code );
	foreach ( array( '<form action="https://www.paypal.com/cgi-bin/webscr" method="post" target="_top">', '<input type="hidden" name="cmd" value="_s-xclick">', '<input type="hidden" name="hosted_button_id" value="ABC123">', 'type="image"', 'src="https://www.paypalobjects.com/en_US/i/btn/btn_buynow_LG.gif"', '<button type="submit" class="buy">Buy</button>', '<img src="https://pay.example.com/b.png">' ) as $kept ) {
		ok( false !== strpos( $stored, $kept ), "$id: an author's payment button keeps $kept", $stored );
	}
	ok( false === stripos( $stored, 'javascript:' ) && false === stripos( $stored, 'onclick' ) && false === stripos( $stored, 'onerror' ) && false === stripos( $stored, '<script' ), "$id: an author's payment button loses everything that runs script", $stored );

	// Visitors can't list funnels: not by post type, not in a feed, not by search.
	$title = "E2E listed $id";
	$shown = create_funnel( $f, $admin, 'publish', $title );
	foreach ( array( "?post_type=$type", "?post_type=$type&feed=rss2", "?s=listed&post_type=$type", '?s=listed', '?feed=rss2', "?post_type=$type&paged=1&orderby=title" ) as $query ) {
		$r = http( 'GET', home_url( "/$query" ) );
		ok( false === strpos( $r['body'], $title ) && '' === page_error( $r['body'] ), "$id: $query lists no funnel to visitors", $r['status'] );
	}
	$r = http( 'GET', add_query_arg( 'step', $f['slots'][0]['sales'], get_permalink( $shown ) ) );
	ok( 200 === $r['status'] && false !== strpos( $r['body'], 'class="' . $id . '-image"' ), "$id: a listed-nowhere funnel still serves its token pages" );
	foreach ( array( $post, $shown ) as $p ) {
		wp_delete_post( $p, true );
	}
}

function cmd_autosave( $dir ) {
	define( 'DOING_AUTOSAVE', true );
	load_wordpress();
	$f    = plugin_facts( $dir );
	$post = create_funnel( $f, user_id( 'admin' ), 'publish', 'E2E autosave ' . $f['id'] );
	save_as( $f, user_id( 'admin' ), $post, funnel_values( $f, 'autosave' ), plugin_name( $f['id'], 'save_funnel' ) );
	ok( '' === fresh_meta( $post, meta_key( $f, 0, 'code' ) ), $f['id'] . ': save during an autosave stores nothing' );
	wp_delete_post( $post, true );
}

function cmd_reactivate_pretty( $dir ) {
	global $wp_rewrite;
	load_wordpress();
	require_once ABSPATH . 'wp-admin/includes/admin.php';
	$f = plugin_facts( $dir );
	wp_set_current_user( user_id( 'admin' ) );
	deactivate_plugins( $f['file'] );
	ok( ! is_plugin_active( $f['file'] ), $f['id'] . ': deactivates' );
	$wp_rewrite->set_permalink_structure( '/%postname%/' );
	flush_rewrite_rules();
	ob_start();
	$r = activate_plugin( $f['file'] );
	ok( null === $r && '' === ob_get_clean(), $f['id'] . ': activates again with pretty addresses on' );
}

function cmd_check_pretty( $dir ) {
	load_wordpress();
	$f     = plugin_facts( $dir );
	$posts = get_posts(
		array(
			'post_type' => funnel_type( $f ),
			'title'     => 'E2E funnel ' . $f['id'],
		)
	);
	if ( ! ok( 1 === count( $posts ), $f['id'] . ': funnel found again' ) ) {
		return;
	}
	$permalink = get_permalink( $posts[0] );
	$slug      = str_replace( '_', '-', funnel_type( $f ) );
	ok( false === strpos( $permalink, '?' ) && false !== strpos( $permalink, "/$slug/" ), $f['id'] . ": funnel has a pretty address below its post type ($permalink)" );

	// The site's own addresses below /<identifier>/ stay the site's: a child page, or for "q" a post
	// of another post type whose slug is the identifier (registered by a must-use plugin), which
	// itself takes /q/<anything>/.
	$earlier = str_replace( '_', '-', strtolower( $f['id'] ) );
	$parent  = wp_insert_post( array( 'post_type' => 'page', 'post_status' => 'publish', 'post_title' => "Parent {$f['id']}", 'post_name' => $earlier ) );
	$child   = wp_insert_post( array( 'post_type' => 'page', 'post_status' => 'publish', 'post_title' => "Details of {$f['id']}", 'post_name' => 'details', 'post_parent' => $parent ) );
	$thing   = 'q' === $earlier ? wp_insert_post( array( 'post_type' => 'e2e_thing', 'post_status' => 'publish', 'post_title' => 'Thing of q', 'post_name' => 'thing' ) ) : 0;
	$seen    = array();
	foreach ( $thing ? array( '/q/thing/' => 'Thing of q' ) : array( "/$earlier/details/" => "Details of {$f['id']}" ) as $path => $title ) {
		$r             = http( 'GET', home_url( $path ) );
		$seen[ $path ] = 200 === $r['status'] && false !== strpos( $r['body'], $title );
	}
	wp_delete_post( $child, true );
	wp_delete_post( $parent, true );
	if ( $thing ) {
		wp_delete_post( $thing, true );
	}
	ok( array() === array_filter( $seen, static function ( $ok ) { return ! $ok; } ), $f['id'] . ": the site's own address below /$earlier/ answers as the site's", wp_json_encode( $seen ) );
	$step = reset( $f['slots'] )['sales'];
	$r    = http( 'GET', home_url( "/$earlier/{$posts[0]->post_name}/?step=$step" ) );
	ok( 301 === $r['status'] && isset( $r['headers']['location'] ) && add_query_arg( 'step', $step, $permalink ) === $r['headers']['location'], $f['id'] . ': a funnel address of the earlier form leads to its address now, the page token kept', $r['status'] . ' ' . ( $r['headers']['location'] ?? '' ) );
	foreach ( $f['slots'] as $n => $t ) {
		$r = http( 'GET', add_query_arg( 'step', $t['sales'], $permalink ) );
		ok( 200 === $r['status'] && false !== strpos( $r['body'], 'pay.example.com/s' . $n ), $f['id'] . ": sales page $n served at its pretty address", $r['status'] . ' ' . page_error( $r['body'] ) );
		$r = http( 'GET', add_query_arg( 'step', $t['download'], $permalink ) );
		ok( 200 === $r['status'] && anchors( $r['body'] ) === anchors( file_get_contents( "$dir/modules/template/download-funnelitem-$n.php" ) ), $f['id'] . ": download page $n served at its pretty address", $r['status'] );
	}
}

// --- One set of requests, with the plugin active and inactive -------------------------------------

/** Prints the active theme; with a theme given, switches to it first. */
function cmd_theme( $stylesheet = '' ) {
	load_wordpress();
	if ( '' !== $stylesheet ) {
		switch_theme( $stylesheet );
		ok( get_stylesheet() === $stylesheet, "theme $stylesheet is active" );
		return;
	}
	echo get_stylesheet();
}

function cmd_set_active( $dir, $active ) {
	load_wordpress();
	require_once ABSPATH . 'wp-admin/includes/plugin.php';
	$f = plugin_facts( $dir );
	wp_set_current_user( user_id( 'admin' ) );
	if ( $active ) {
		ob_start();
		activate_plugin( $f['file'] );
		ob_end_clean();
	} else {
		deactivate_plugins( $f['file'] );
	}
	ok( (bool) $active === is_plugin_active( $f['file'] ), $f['id'] . ( $active ? ': active again' : ': inactive for the baseline' ) );
}

/** The requests' funnel with a check goes to the trash, which opens the others' download pages again. */
function cmd_forget_checked( $dir ) {
	load_wordpress();
	$f     = plugin_facts( $dir );
	$posts = get_posts( array( 'post_type' => funnel_type( $f ), 'post_status' => 'any', 'title' => "E2E requests checked {$f['id']}", 'fields' => 'ids' ) );
	foreach ( $posts as $post ) {
		wp_trash_post( $post );
	}
	ok( 1 === count( $posts ), "{$f['id']}: the funnel with a check of the requests goes to the trash" );
}

function cmd_requests( $dir, $file ) {
	load_wordpress();
	require_once ABSPATH . 'wp-admin/includes/plugin.php';
	$f  = plugin_facts( $dir );
	$id = $f['id'];
	if ( ! is_file( $file ) ) {
		$pages = array();
		foreach ( array( 'canvas', 'theme' ) as $layout ) {
			$post = create_funnel( $f, user_id( 'admin' ), 'publish', "E2E requests $id $layout" );
			update_post_meta( $post, "{$id}_page_layout", $layout );
			$link           = get_permalink( $post );
			$pages[ $link ] = array( esc_html( get_bloginfo( 'name' ) ), $layout );
			foreach ( $f['slots'] as $n => $t ) {
				$title = "Requests $n: Ann's <Deal> & \"more\"";
				update_post_meta( $post, meta_key( $f, $n, 'pagetitle' ), wp_slash( $title ) );
				update_post_meta( $post, meta_key( $f, $n, 'code' ), '<form action="https://pay.example.com/r"><input type="submit" value="Buy"></form>' );
				$pages[ add_query_arg( 'step', $t['sales'], $link ) ]    = array( esc_html( $title ), $layout );
				// The funnel with a check below makes the plugin's tokens public: download pages
				// without a check of their own close.
				$pages[ add_query_arg( 'step', $t['download'], $link ) ] = array( 'Payment not confirmed', $layout );
			}
		}
		// A funnel with a payment check: the plugin's buy button, the page in place of the download
		// page, and the settings screen.
		$checked = create_funnel( $f, user_id( 'admin' ), 'publish', "E2E requests checked $id" );
		$first   = array_keys( $f['slots'] )[0];
		update_post_meta( $checked, meta_key( $f, $first, 'pagetitle' ), 'Checked' );
		update_post_meta( $checked, $id . '_payment_check', 'stripe' );
		update_post_meta( $checked, $id . "_payment_price_$first", '5' );
		update_post_meta( $checked, $id . "_payment_currency_$first", 'GBP' );
		update_post_meta( $checked, "{$id}_page_layout", 'theme' );
		$pages[ add_query_arg( 'step', $f['slots'][ $first ]['sales'], get_permalink( $checked ) ) ]    = array( 'Checked', 'theme' );
		$pages[ add_query_arg( 'step', $f['slots'][ $first ]['download'], get_permalink( $checked ) ) ] = array( 'Payment not confirmed', 'theme' );
		$type    = funnel_type( $f );
		$screens = array( 'index.php', 'plugins.php', "edit.php?post_type=$type", "post.php?post=$post&action=edit", "post.php?post=$checked&action=edit", "post-new.php?post_type=$type", "edit.php?post_type=$type&page=" . plugin_name( $id, 'payments' ) );
		file_put_contents( $file, wp_json_encode( array( 'pages' => $pages, 'screens' => array_map( 'admin_url', $screens ) ) ) );
	}
	$plan    = json_decode( file_get_contents( $file ), true );
	$active  = is_plugin_active( $f['file'] );
	$theme   = get_stylesheet();
	$cookies = auth_cookies( user_id( 'admin' ) );
	$titles  = array();
	$layouts = array();
	foreach ( $plan['pages'] as $url => $expected ) {
		list( $title, $layout ) = $expected;
		$r = http( 'GET', $url );
		preg_match_all( '#<title>(.*?)</title>#s', $r['body'], $m );
		// A classic theme's own header adds to the title what it adds on every page of the site.
		$own_header = 'theme' === $layout && ! wp_is_block_theme();
		if ( $active && array( $title ) !== $m[1] && ! ( $own_header && 1 === count( $m[1] ) && 0 === strpos( $m[1][0], "$title | " ) ) ) {
			$titles[] = "$url: " . wp_json_encode( $m[1] );
		}
		// The theme's header and footer, a block theme's template parts or the classic theme's own.
		$framed = 1 === preg_match( '#<header\b[^>]*class="[^"]*(wp-block-template-part|e2e-classic-header)#', $r['body'] )
			&& 1 === preg_match( '#<footer\b[^>]*class="[^"]*(wp-block-template-part|e2e-classic-footer)#', $r['body'] );
		$inside = 1 === preg_match( '#<div class="' . $id . '-page( ' . $id . '-(sales|download))?">\s*<(main|div) class="' . $id . '-wrap"#', $r['body'] );
		if ( $active && ( ( 'theme' === $layout ) !== $framed || ( 'theme' === $layout ) !== $inside || 1 !== substr_count( $r['body'], '<html' ) ) ) {
			$layouts[] = "$url ($layout): " . ( $framed ? 'framed' : 'bare' ) . ( $inside ? ', in a box' : '' ) . ', ' . substr_count( $r['body'], '<html' ) . ' <html>';
		}
	}
	foreach ( $plan['screens'] as $url ) {
		http( 'GET', $url, null, $cookies );
	}
	if ( $active ) {
		ok( array() === $titles, "$id: every funnel page in $theme has one <title>, its page title", implode( ' | ', $titles ) );
		ok( array() === $layouts, "$id: in $theme, funnel pages inside the site's header and footer show the theme's, canvas pages don't", implode( ' | ', $layouts ) );
	}
}

/**
 * A payment button of each kind (a form's submit input, a button, a link) keeps the plugin's green
 * and white, as headless Chromium computes them on the sales page in the active theme.
 */
function cmd_colours( $dir, $work ) {
	load_wordpress();
	$f  = plugin_facts( $dir );
	$id = $f['id'];
	foreach ( array( 'canvas', 'theme' ) as $layout ) {
		$post = create_funnel( $f, user_id( 'admin' ), 'publish', "E2E colours $id " . get_stylesheet() . " $layout" );
		update_post_meta( $post, "{$id}_page_layout", $layout );
		update_post_meta( $post, meta_key( $f, 0, 'code' ), '<form action="https://pay.example.com/c" method="post"><input type="submit" value="Buy now"></form><button type="button">Buy</button> <a href="https://pay.example.com/c">Buy</a>' );
		$url = add_query_arg( array( 'step' => $f['slots'][0]['sales'], 'e2e-colours' => $id ), get_permalink( $post ) );
		$cmd = 'chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking --disable-component-update --disable-sync'
			. ' --user-data-dir=' . escapeshellarg( "$work/chromium-colours" ) . ' --virtual-time-budget=5000 --dump-dom ' . escapeshellarg( $url ) . ' 2>/dev/null';
		$dom     = (string) shell_exec( $cmd );
		$colours = preg_match( '#<pre id="e2e-colours">(.*?)</pre>#s', $dom, $m ) ? json_decode( html_entity_decode( $m[1] ), true ) : null;
		// The card first: white, with the page's text colour, in both layouts.
		$want = array( array( 'div', 'rgb(255, 255, 255)', 'rgb(34, 34, 34)' ), array( 'input', 'rgb(46, 125, 50)', 'rgb(255, 255, 255)' ), array( 'button', 'rgb(46, 125, 50)', 'rgb(255, 255, 255)' ), array( 'a', 'rgb(46, 125, 50)', 'rgb(255, 255, 255)' ) );
		ok( $want === $colours, "$id: in " . get_stylesheet() . " ($layout), the card keeps its look and the buy button the plugin's colours as a submit input, a button and a link", wp_json_encode( $colours ) . ' ' . substr( strip_tags( $dom ), 0, 200 ) );
		wp_delete_post( $post, true );
	}
}

// A funnel filled in as a marketer would, for screenshots: prints the front end's sales page
// address and the download page address of the funnel's last item (the one with most links).
function cmd_showcase( $dir ) {
	load_wordpress();
	$facts = plugin_facts( $dir );
	$admin = user_id( 'admin' );
	$post  = create_funnel( $facts, $admin, 'publish', 'Spring Launch' );
	update_post_meta( $post, meta_key( $facts, 0, 'pagetitle' ), 'Traffic Magnet Pro' );
	update_post_meta( $post, meta_key( $facts, 0, 'headline' ), 'Steady visitors from channels you control' );
	update_post_meta(
		$post,
		meta_key( $facts, 0, 'code' ),
		'<a href="https://pay.example.com/traffic" style="display:inline-block;padding:14px 36px;background:#1a7f37;color:#fff;border-radius:6px;font:bold 20px sans-serif;text-decoration:none">Buy now for $47</a>'
	);
	$permalink = get_permalink( $post );
	echo add_query_arg( 'step', $facts['slots'][0]['sales'], $permalink ), "\n";
	$last = max( array_keys( $facts['slots'] ) );
	echo add_query_arg( 'step', $facts['slots'][ $last ]['download'], $permalink ), "\n";
	// The same sales page inside the site's header and footer.
	$framed = create_funnel( $facts, $admin, 'publish', 'Spring Launch framed' );
	foreach ( get_post_meta( $post ) as $key => $values ) {
		update_post_meta( $framed, $key, wp_slash( $values[0] ) );
	}
	update_post_meta( $framed, $facts['id'] . '_page_layout', 'theme' );
	echo add_query_arg( 'step', $facts['slots'][0]['sales'], get_permalink( $framed ) ), "\n";
}

/**
 * The funnel's edit screen as a seller reads it, top to bottom, in headless Chromium at a desktop
 * width and at WordPress's narrow one: the item boxes first, then the payment check, statistics
 * last; no control sticks out of its box, and the page never scrolls sideways.
 */
function cmd_edit_screen( $dir, $work ) {
	load_wordpress();
	$f     = plugin_facts( $dir );
	$id    = $f['id'];
	$admin = user_id( 'admin' );
	$post  = create_funnel( $f, $admin, 'publish', "E2E edit screen $id" );
	update_post_meta( $post, "{$id}_payment_check", 'stripe' );
	delete_user_meta( $admin, 'closedpostboxes_' . funnel_type( $f ) );
	delete_user_meta( $admin, 'meta-box-order_' . funnel_type( $f ) );
	// The split tests box at its widest: a running test of four versions and an ended one.
	$start = plugin_name( $id, 'split_start' );
	$start( $post, 0, array( array( 'title' => 'B' ) ), array( 50, 50 ) );
	call_user_func( plugin_name( $id, 'split_end' ), $post, 0, call_user_func( plugin_name( $id, 'split_totals' ), call_user_func( plugin_name( $id, 'split_test' ), $post, 0 ) ) );
	$start( $post, 0, array( array( 'title' => 'B' ), array( 'headline' => 'C' ), array( 'title' => 'D', 'headline' => 'D' ) ), array( 25, 25, 25, 25 ) );
	$html    = http( 'GET', admin_url( "post.php?post=$post&action=edit" ), null, auth_cookies( $admin ) )['body'];
	$measure = <<<'JS'
<script>window.addEventListener('load', function () {
	document.querySelectorAll('#poststuff details').forEach(function (d) { d.open = true; });
	var out = { order: [], outside: [], wide: document.documentElement.scrollWidth > window.innerWidth + 1 };
	document.querySelectorAll('#normal-sortables > .postbox').forEach(function (box) { out.order.push(box.id); });
	document.querySelectorAll('#poststuff .postbox').forEach(function (box) {
		var edge = box.getBoundingClientRect();
		box.querySelectorAll('input:not([type=hidden]), select, textarea, button, label, .description, table').forEach(function (c) {
			var r = c.getBoundingClientRect();
			if (r.width && (r.left < edge.left - 1 || r.right > edge.right + 1)) out.outside.push(box.id + ' ' + c.tagName.toLowerCase() + (c.id ? '#' + c.id : '') + ' ' + Math.round(r.right - edge.right));
		});
	});
	var p = document.createElement('pre'); p.id = 'e2e-layout'; p.textContent = JSON.stringify(out); document.body.appendChild(p);
});</script>
JS;
	$file = "$work/edit-screen-$id.html";
	file_put_contents( $file, str_replace( array( '<head>', '</body>' ), array( '<head><base href="' . esc_url( admin_url( '/' ) ) . '">', "$measure</body>" ), $html ) );
	foreach ( array( 1280, 782 ) as $width ) {
		$cmd    = 'chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking --disable-component-update --disable-sync'
			. ' --user-data-dir=' . escapeshellarg( "$work/chromium-layout" ) . " --window-size=$width,1000 --virtual-time-budget=8000 --dump-dom " . escapeshellarg( "file://$file" ) . ' 2>/dev/null';
		$dom    = (string) shell_exec( $cmd );
		$layout = preg_match( '#<pre id="e2e-layout">(.*?)</pre>#s', $dom, $m ) ? json_decode( html_entity_decode( $m[1] ), true ) : null;
		$order  = is_array( $layout ) ? $layout['order'] : array();
		$items  = array_keys( array_filter( $order, static function ( $box ) use ( $id ) {
			return 0 === strpos( $box, "{$id}_funnelitem_" );
		} ) );
		$pay    = array_search( pay_name( $f, 'payments' ), $order, true );
		$stats  = array_search( plugin_name( $id, 'statistics' ), $order, true );
		$split  = array_search( "{$id}_split_tests", $order, true );
		ok( array() !== $items && false !== $pay && false !== $stats && false !== $split && max( $items ) < $pay && $pay < $split && $split < $stats, "$id: at $width px the edit screen reads as a seller works: the items, the payment check, the split tests, the statistics", wp_json_encode( $order ) );
		ok( is_array( $layout ) && array() === $layout['outside'] && ! $layout['wide'], "$id: at $width px every control stays inside its box and the screen never scrolls sideways", wp_json_encode( $layout ) );
	}
	ok( 1 === preg_match( '#<label for="' . preg_quote( pay_name( $f, 'payment_price_0' ), '#' ) . '">[^<]*Price#', $html ), "$id: a price field is labelled as a price" );
	wp_delete_post( $post, true );
}
