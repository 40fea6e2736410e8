<?php
/**
 * The funnel edit screen's "Split tests" box: per item, a test to start (variants, shares),
 * the running test's figures beside its verdict, pausing and ending it, and the ended tests'
 * history. The funnel list marks funnels with a running test.
 */

defined( 'ABSPATH' ) || exit;

/** Variants beside the original, by their letter. */
function #fn#split_letter( $index ) {
	return chr( ord( 'A' ) + (int) $index );
}

function #fn#split_add_box() {
	add_meta_box( '#prefix#_split_tests', esc_html__( 'Split tests', '#prefix#' ), '#fn#split_render_box', #fn#post_type(), 'normal', 'default' );
}
// After the payment box (6), before the statistics.
add_action( 'add_meta_boxes_' . #fn#post_type(), '#fn#split_add_box', 7 );

function #fn#split_enqueue( $hook ) {
	$screen = get_current_screen();
	if ( in_array( $hook, array( 'post.php', 'post-new.php' ), true ) && null !== $screen && #fn#post_type() === $screen->post_type ) {
		wp_enqueue_media();
		$file = dirname( __DIR__, 2 ) . '/assets/split-tests.js';
		wp_enqueue_script( '#prefix#-split-tests', plugins_url( 'assets/split-tests.js', dirname( __DIR__ ) ), array(), (string) filemtime( $file ), true );
	}
}
add_action( 'admin_enqueue_scripts', '#fn#split_enqueue' );

/** The field names of the box, under one array per item. */
function #fn#split_input( $slot, $path ) {
	return '#fn#split[' . (int) $slot . ']' . $path;
}

/** @param WP_Post $post The funnel. */
function #fn#split_render_box( $post ) {
	#fn#print_funnel_nonce();
	echo '<p class="description">' . esc_html__( 'Test a sales page against versions of it: each visitor sees one version, always the same one, and the figures show which sells better.', '#prefix#' ) . '</p>';
	foreach ( #fn#funnel_meta_boxes() as $box ) {
		$slot = (int) substr( strrchr( $box['id'], '_' ), 1 );
		$test = #fn#split_test( $post->ID, $slot );
		echo '<div class="#prefix#-split-item" id="' . esc_attr( '#prefix#-split-' . $slot ) . '"><h3>' . esc_html( $box['title'] ) . '</h3>';
		if ( null === $test ) {
			#fn#split_render_start( $post, $slot );
		} else {
			#fn#split_render_test( $post, $slot, $test );
		}
		#fn#split_render_history( $post, $slot );
		echo '</div>';
	}
}

/** What the seller can change per variant, where it applies. */
function #fn#split_field_labels( $post_id ) {
	$labels = array(
		'title'    => __( 'Page title', '#prefix#' ),
		'headline' => __( 'Headline', '#prefix#' ),
		'image'    => __( 'Image', '#prefix#' ),
	);
	if ( 'none' !== #fn#payments_check( $post_id ) ) {
		$labels['price'] = __( 'Price', '#prefix#' );
	}
	return $labels;
}

function #fn#split_render_start( $post, $slot ) {
	$labels   = #fn#split_field_labels( $post->ID );
	$currency = (string) get_post_meta( $post->ID, #fn#payments_meta_key( 'currency', $slot ), true );
	echo '<details><summary>' . esc_html__( 'Start a split test of this page', '#prefix#' ) . '</summary>';
	echo '<p class="description">' . esc_html__( 'Fill in what each version changes; what it leaves empty stays as the page has it. Versions left empty take no part. The shares of visitors are whole percentages that add up to 100.', '#prefix#' ) . '</p>';
	echo '<table class="form-table" role="presentation"><tbody>';
	$share = #fn#split_input( $slot, '[w][0]' );
	echo '<tr><th scope="row"><label for="' . esc_attr( $share ) . '">' . esc_html__( 'Share of A, the page as it is (%)', '#prefix#' ) . '</label></th><td><input type="number" class="small-text" min="1" max="99" step="1" value="50" id="' . esc_attr( $share ) . '" name="' . esc_attr( $share ) . '"></td></tr>';
	for ( $variant = 1; $variant <= 3; ++$variant ) {
		/* translators: %s: the version's letter. */
		echo '<tr><th scope="row" colspan="2"><strong>' . esc_html( sprintf( __( 'Version %s', '#prefix#' ), #fn#split_letter( $variant ) ) ) . '</strong></th></tr>';
		foreach ( $labels as $field => $label ) {
			$name = #fn#split_input( $slot, "[v][$variant][$field]" );
			echo '<tr><th scope="row"><label for="' . esc_attr( $name ) . '">' . esc_html( 'price' === $field && '' !== $currency ? "$label ($currency)" : $label ) . '</label></th><td>';
			if ( 'image' === $field ) {
				echo '<input type="number" class="small-text" min="1" id="' . esc_attr( $name ) . '" name="' . esc_attr( $name ) . '" aria-describedby="' . esc_attr( $name . '-hint' ) . '"> ';
				echo '<button type="button" class="button #prefix#-split-image" data-target="' . esc_attr( $name ) . '">' . esc_html__( 'Choose from the media library', '#prefix#' ) . '</button>';
				echo '<p class="description" id="' . esc_attr( $name . '-hint' ) . '">' . esc_html__( 'The image\'s number in the media library.', '#prefix#' ) . '</p>';
			} else {
				echo '<input type="text" class="' . ( 'price' === $field ? 'small-text' : 'large-text' ) . '" id="' . esc_attr( $name ) . '" name="' . esc_attr( $name ) . '">';
			}
			echo '</td></tr>';
		}
		$share = #fn#split_input( $slot, "[w][$variant]" );
		echo '<tr><th scope="row"><label for="' . esc_attr( $share ) . '">' . esc_html__( 'Share of visitors (%)', '#prefix#' ) . '</label></th><td><input type="number" class="small-text" min="1" max="99" step="1" value="' . ( 1 === $variant ? '50' : '' ) . '" id="' . esc_attr( $share ) . '" name="' . esc_attr( $share ) . '"></td></tr>';
	}
	echo '</tbody></table>';
	echo '<p><button type="submit" class="button button-primary" name="#fn#split_action" value="' . esc_attr( 'start:' . $slot ) . '">' . esc_html__( 'Start the test', '#prefix#' ) . '</button></p></details>';
}

/**
 * Per version: what it changes, as one line.
 *
 * @param string $currency The item's currency, which a price is in.
 */
function #fn#split_changes( $fields, $currency ) {
	if ( ! $fields ) {
		return __( 'The page as it is', '#prefix#' );
	}
	$parts = array();
	foreach ( $fields as $field => $value ) {
		$parts[] = 'image' === $field ? __( 'image', '#prefix#' ) . ' #' . $value : ( 'price' === $field ? __( 'price', '#prefix#' ) . ' ' . trim( $value . ' ' . $currency ) : ( 'title' === $field ? __( 'title', '#prefix#' ) : __( 'headline', '#prefix#' ) ) . ' “' . $value . '”' );
	}
	return implode( '; ', $parts );
}

function #fn#split_percent( $share ) {
	return number_format_i18n( 100 * $share, 1 ) . '%';
}

/**
 * A test's figures and verdict as a table and sentences.
 *
 * @param array $test    The test, running, paused or ended.
 * @param array $totals  Its totals per variant.
 */
function #fn#split_render_figures( $post, $slot, $test, $totals ) {
	$currency = (string) get_post_meta( $post->ID, #fn#payments_meta_key( 'currency', $slot ), true );
	$checked  = 'none' !== #fn#payments_check( $post->ID );
	$arms     = array();
	foreach ( $totals as $total ) {
		$arms[] = array( $total['conversions'], $total['visitors'] );
	}
	$verdict = #fn#split_verdict( $arms, $test['weights'] );
	// What each version changes, above the table, so the table holds figures only.
	echo '<ul class="#prefix#-split-versions">';
	foreach ( $test['variants'] as $variant => $fields ) {
		echo '<li><strong>' . esc_html( #fn#split_letter( $variant ) ) . ':</strong> ' . esc_html( #fn#split_changes( $fields, $currency ) ) . '</li>';
	}
	echo '</ul>';
	$heads   = array( __( 'Version', '#prefix#' ), __( 'Share', '#prefix#' ), __( 'Visitors', '#prefix#' ), __( 'Conversions', '#prefix#' ), __( 'Conversion rate', '#prefix#' ) );
	if ( $checked ) {
		$heads[] = __( 'Revenue per visitor', '#prefix#' );
	}
	array_push( $heads, __( 'Against A (95% range)', '#prefix#' ), __( 'Chance to beat A', '#prefix#' ), __( 'Chance to be best', '#prefix#' ) );
	// Ten columns don't fit a narrow screen: the table scrolls inside the box instead of leaving it.
	echo '<div class="#prefix#-split-scroll" style="overflow-x:auto"><table class="widefat striped #prefix#-split-figures"><thead><tr>';
	foreach ( $heads as $head ) {
		echo '<th scope="col">' . esc_html( $head ) . '</th>';
	}
	echo '</tr></thead><tbody>';
	foreach ( $totals as $variant => $total ) {
		$cells = array(
			$test['weights'][ $variant ] . '%',
			number_format_i18n( $total['visitors'] ),
			number_format_i18n( $total['conversions'] ),
			$total['visitors'] ? #fn#split_percent( $total['conversions'] / $total['visitors'] ) : '—',
		);
		if ( $checked ) {
			$cells[] = $total['visitors'] && '' !== $currency ? #fn#payments_decimal( (int) round( $total['revenue'] / $total['visitors'] ), $currency ) . ' ' . $currency : '—';
		}
		if ( 0 === $variant || $verdict['too_early'] ) {
			array_push( $cells, '—', '—', $verdict['too_early'] ? '—' : #fn#split_percent( $verdict['best'][ $variant ] ) );
		} else {
			list( $difference, $lower, $upper, $beats ) = $verdict['against'][ $variant ];
			/* translators: 1: the difference, 2: its lower end, 3: its upper end, in percentage points. */
			$cells[] = sprintf( __( '%1$s points (%2$s to %3$s)', '#prefix#' ), #fn#split_points( $difference ), #fn#split_points( $lower ), #fn#split_points( $upper ) );
			$cells[] = #fn#split_percent( $beats );
			$cells[] = #fn#split_percent( $verdict['best'][ $variant ] );
		}
		echo '<tr><th scope="row">' . esc_html( #fn#split_letter( $variant ) ) . '</th>';
		foreach ( $cells as $cell ) {
			echo '<td>' . esc_html( $cell ) . '</td>';
		}
		echo '</tr>';
	}
	echo '</tbody></table></div>';
	foreach ( #fn#split_sentences( $verdict, $checked ) as $class => $sentence ) {
		echo '<p class="' . esc_attr( '#prefix#-split-' . $class ) . '"' . ( 'off' === $class ? ' role="alert"' : '' ) . '>' . esc_html( $sentence ) . '</p>';
	}
}

/** A difference of rates in percentage points, signed. */
function #fn#split_points( $difference ) {
	return ( $difference > 0 ? '+' : '' ) . number_format_i18n( 100 * $difference, 1 );
}

/**
 * What the figures mean, one sentence each, the warning and the verdict first.
 *
 * @return string[] class => sentence.
 */
function #fn#split_sentences( $verdict, $checked ) {
	$out = array();
	if ( $verdict['split_off'] ) {
		$out['off'] = __( 'The split is off: the visitors are not divided as the shares say, more unevenly than chance would do once in 1,000 tests, so something sends visitors to one version (a cache, a redirect, a link to one version) and these figures can\'t be trusted.', '#prefix#' );
	}
	if ( $verdict['too_early'] ) {
		$out['early'] = __( 'Too early to tell: each version needs at least 100 visitors and 10 conversions before the chances below mean anything.', '#prefix#' );
	} elseif ( null !== $verdict['winner'] ) {
		/* translators: 1: the version's letter, 2: its chance to be best. */
		$out['winner'] = sprintf( __( 'Version %1$s is the likely winner: there is a %2$s chance that it converts best of all.', '#prefix#' ), #fn#split_letter( $verdict['winner'] ), #fn#split_percent( $verdict['best'][ $verdict['winner'] ] ) );
	} elseif ( ! $verdict['split_off'] ) {
		$out['none'] = __( 'No version is a clear winner yet: none has more than a 95% chance of converting best.', '#prefix#' );
	}
	$out['rate']    = $checked ? __( 'Conversion rate: the share of a version\'s visitors who bought the item, by verified payment.', '#prefix#' ) : __( 'Conversion rate: the share of a version\'s visitors who reached the item\'s download page.', '#prefix#' );
	$out['against'] = __( 'Against A: how many percentage points more (or fewer) of a version\'s visitors convert than of A\'s, and the range the true difference lies in, 95 times in 100.', '#prefix#' );
	$out['beats']   = __( 'Chance to beat A: how likely it is, given the figures so far, that the version truly converts better than A.', '#prefix#' );
	$out['best']    = __( 'Chance to be best: how likely it is that the version truly converts best of all the versions.', '#prefix#' );
	return $out;
}

function #fn#split_render_test( $post, $slot, $test ) {
	$running = 'running' === $test['state'];
	/* translators: %s: the date the test started. */
	$since = sprintf( $running ? __( 'Running since %s.', '#prefix#' ) : __( 'Paused; started %s. Every visitor sees A meanwhile, and nothing is counted.', '#prefix#' ), wp_date( get_option( 'date_format' ), (int) $test['started'] ) );
	echo '<p><strong>' . esc_html( $since ) . '</strong></p>';
	#fn#split_render_figures( $post, $slot, $test, #fn#split_totals( $test ) );
	if ( 'publish' === $post->post_status ) {
		$box   = #fn#payments_box_of( $slot );
		$links = array();
		foreach ( array_keys( $test['variants'] ) as $variant ) {
			$links[] = '<a href="' . esc_url( add_query_arg( #fn#split_preview_var(), $variant, #fn#page_url( $post, $box['sales_token'] ) ) ) . '" target="_blank" rel="noopener">' . esc_html( #fn#split_letter( $variant ) ) . '</a>';
		}
		echo '<p>' . esc_html__( 'See a version as visitors do:', '#prefix#' ) . ' ' . implode( ' ', $links ) . '</p>'; // phpcs:ignore WordPress.Security.EscapeOutput.OutputNotEscaped -- escaped above.
	}
	echo '<p class="description">' . esc_html( #fn#split_change_refusal() ) . '</p><p>';
	echo '<button type="submit" class="button" name="#fn#split_action" value="' . esc_attr( ( $running ? 'pause:' : 'resume:' ) . $slot ) . '">' . esc_html( $running ? __( 'Pause the test', '#prefix#' ) : __( 'Resume the test', '#prefix#' ) ) . '</button> ';
	echo '<button type="submit" class="button" name="#fn#split_action" value="' . esc_attr( "end:$slot:0" ) . '">' . esc_html__( 'End the test and keep A', '#prefix#' ) . '</button> ';
	foreach ( array_slice( array_keys( $test['variants'] ), 1 ) as $variant ) {
		/* translators: %s: the version's letter. */
		echo '<button type="submit" class="button" name="#fn#split_action" value="' . esc_attr( "end:$slot:$variant" ) . '">' . esc_html( sprintf( __( 'End the test and make %s the page', '#prefix#' ), #fn#split_letter( $variant ) ) ) . '</button> ';
	}
	echo '</p>';
}

function #fn#split_render_history( $post, $slot ) {
	$history = #fn#split_history( $post->ID, $slot );
	if ( ! $history ) {
		return;
	}
	echo '<details class="#prefix#-split-history"><summary>' . esc_html__( 'Ended tests', '#prefix#' ) . '</summary>';
	foreach ( array_reverse( $history ) as $test ) {
		$kept = isset( $test['kept'] ) ? (int) $test['kept'] : 0;
		/* translators: 1: when it started, 2: when it ended, 3: the version kept. */
		echo '<h4>' . esc_html( sprintf( __( '%1$s to %2$s: %3$s kept', '#prefix#' ), wp_date( get_option( 'date_format' ), (int) $test['started'] ), wp_date( get_option( 'date_format' ), (int) $test['ended'] ), #fn#split_letter( $kept ) ) ) . '</h4>';
		#fn#split_render_figures( $post, $slot, $test, $test['figures'] );
		echo '<p><button type="submit" class="button-link button-link-delete" name="#fn#split_action" value="' . esc_attr( "forget:$slot:" . $test['id'] ) . '">' . esc_html__( 'Delete this test from the history', '#prefix#' ) . '</button></p>';
	}
	echo '</details>';
}

/** Why the test the seller asked for did not start. */
function #fn#split_notices() {
	$key     = '#fn#split_problem_' . get_current_user_id();
	$problem = get_transient( $key );
	if ( is_string( $problem ) && '' !== $problem ) {
		delete_transient( $key );
		echo '<div class="notice notice-error"><p>' . esc_html( $problem ) . '</p></div>';
	}
}
add_action( 'admin_notices', '#fn#split_notices' );

/**
 * The funnel list names funnels with a running test beside their title, as WordPress names drafts.
 *
 * @param string[] $states The post's states so far.
 * @param WP_Post  $post   The post listed.
 */
function #fn#split_post_states( $states, $post ) {
	if ( $post instanceof WP_Post && #fn#post_type() === $post->post_type ) {
		foreach ( #fn#funnel_meta_boxes() as $box ) {
			$test = #fn#split_test( $post->ID, (int) substr( strrchr( $box['id'], '_' ), 1 ) );
			if ( null !== $test && 'running' === $test['state'] ) {
				$states['#fn#split'] = __( 'Split test running', '#prefix#' );
				break;
			}
		}
	}
	return $states;
}
add_filter( 'display_post_states', '#fn#split_post_states', 10, 2 );
