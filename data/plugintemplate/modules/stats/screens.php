<?php
/**
 * Where the seller sees the statistics: a box on the funnel's edit screen, a
 * column in the funnel list, and resetting a funnel's counters.
 */

defined( 'ABSPATH' ) || exit;

function #fn#stats_reset_action() {
	return '#fn#reset_stats';
}

function #fn#stats_add_box() {
	add_meta_box(
		'#fn#statistics',
		__( 'Statistics', '#prefix#' ),
		'#fn#stats_render_box',
		#fn#post_type(),
		'normal',
		'low'
	);
}
// Last: a seller fills in the items and their payment first, and reads the figures later.
add_action( 'add_meta_boxes_' . #fn#post_type(), '#fn#stats_add_box', 20 );

/**
 * Purchases as a share of sales page views, as the site's language writes it, or a dash without views.
 *
 * @param int $purchases Download page views.
 * @param int $views     Sales page views.
 */
function #fn#stats_rate( $purchases, $views ) {
	if ( $views <= 0 ) {
		return '&ndash;';
	}
	/* translators: %s: a percentage, e.g. 12.5. */
	return esc_html( sprintf( __( '%s%%', '#prefix#' ), number_format_i18n( 100 * $purchases / $views, 1 ) ) );
}

/**
 * Revenue in each currency, as the site's language writes numbers ("19.99 USD, 5.00 GBP"), or a dash.
 *
 * @param int[] $revenue currency => amount in its smallest unit.
 */
function #fn#stats_revenue( $revenue ) {
	$parts      = array();
	$currencies = #fn#payments_currencies();
	foreach ( $revenue as $currency => $amount ) {
		$decimals = isset( $currencies[ $currency ] ) ? $currencies[ $currency ] : 2;
		$parts[]  = number_format_i18n( $amount / ( 10 ** $decimals ), $decimals ) . ' ' . $currency;
	}
	return $parts ? esc_html( implode( ', ', $parts ) ) : '&ndash;';
}

/**
 * One table per funnel item: its sales page views, purchases (download page
 * views) and conversion rate, for the last 7 and 30 days and all time.
 *
 * @param WP_Post $post The funnel being edited.
 */
function #fn#stats_render_box( $post ) {
	$stats   = #fn#stats_for_funnel( $post->ID );
	$checked = 'none' !== #fn#payments_check( $post->ID );
	$orders  = $checked ? #fn#orders_stats( $post->ID ) : array();
	$periods = array(
		'week'  => __( 'Last 7 days', '#prefix#' ),
		'month' => __( 'Last 30 days', '#prefix#' ),
		'all'   => __( 'All time', '#prefix#' ),
	);

	if ( isset( $_GET['#fn#stats_reset'] ) ) { // phpcs:ignore WordPress.Security.NonceVerification
		echo '<div class="notice notice-success inline"><p>' . esc_html__( 'The statistics of this funnel were reset.', '#prefix#' ) . '</p></div>';
	}
	if ( $checked ) {
		echo '<p class="description">' . esc_html__( 'Views of each page by visitors, counted once per visitor, page and day, and the orders whose payment the provider confirmed, with their revenue in each currency; orders refunded in full or disputed since are counted apart and left out of the orders and the revenue. The conversion rate is verified orders as a share of sales page views. Your own views, those of other editors, of search engines and of browser prefetches are not counted; nothing that identifies visitors is kept.', '#prefix#' ) . '</p>';
	} else {
		echo '<p class="description">' . esc_html__( 'Views of each page by visitors, counted once per visitor, page and day. Purchases are views of a download page, where your payment provider sends buyers: no payment is verified, so a download address that was shared counts too. Your own views, those of other editors, of search engines and of browser prefetches are not counted; nothing that identifies visitors is kept.', '#prefix#' ) . '</p>';
	}

	foreach ( #fn#funnel_meta_boxes() as $box ) {
		$slot = (int) substr( strrchr( $box['id'], '_' ), 1 );
		echo '<table class="widefat striped #prefix#-stats" id="#prefix#-stats-' . (int) $slot . '">';
		echo '<caption><strong>' . esc_html( $box['title'] ) . '</strong></caption>';
		echo '<thead><tr><td></td>';
		foreach ( $periods as $label ) {
			echo '<th scope="col">' . esc_html( $label ) . '</th>';
		}
		echo '</tr></thead><tbody>';
		$rows = $checked ? array(
			'sales'    => __( 'Sales page views', '#prefix#' ),
			'download' => __( 'Download page views', '#prefix#' ),
			'orders'   => __( 'Verified orders', '#prefix#' ),
			'refunds'  => __( 'Refunded or disputed', '#prefix#' ),
			'revenue'  => __( 'Revenue', '#prefix#' ),
			'rate'     => __( 'Conversion rate', '#prefix#' ),
		) : array(
			'sales'    => __( 'Sales page views', '#prefix#' ),
			'download' => __( 'Purchases', '#prefix#' ),
			'rate'     => __( 'Conversion rate', '#prefix#' ),
		);
		foreach ( $rows as $row => $label ) {
			echo '<tr><th scope="row">' . esc_html( $label ) . '</th>';
			foreach ( array_keys( $periods ) as $period ) {
				$figures = isset( $stats[ $slot ][ $period ] ) ? $stats[ $slot ][ $period ] : array();
				$paid    = isset( $orders[ $slot ][ $period ] ) ? $orders[ $slot ][ $period ] : array(
					'orders'  => 0,
					'revenue' => array(),
					'refunds' => 0,
				);
				$views   = isset( $figures['sales'] ) ? $figures['sales'] : 0;
				$seen    = isset( $figures['download'] ) ? $figures['download'] : 0;
				// With a check on, a purchase is an order the provider confirmed, not a page view.
				$bought = $checked ? $paid['orders'] : $seen;
				if ( 'rate' === $row ) {
					$cell = #fn#stats_rate( $bought, $views );
				} elseif ( 'revenue' === $row ) {
					$cell = #fn#stats_revenue( $paid['revenue'] );
				} elseif ( 'refunds' === $row ) {
					$cell = esc_html( number_format_i18n( $paid['refunds'] ) );
				} else {
					$cell = esc_html( number_format_i18n( 'sales' === $row ? $views : ( 'download' === $row ? $seen : $bought ) ) );
				}
				echo '<td class="' . esc_attr( "#prefix#-stats-$row-$period" ) . '">' . $cell . '</td>'; // phpcs:ignore WordPress.Security.EscapeOutput
			}
			echo '</tr>';
		}
		echo '</tbody></table>';
	}
	if ( $checked ) {
		#fn#stats_render_road( $post, $stats, $periods );
	}

	if ( current_user_can( 'edit_post', $post->ID ) && 'auto-draft' !== $post->post_status ) {
		$url = wp_nonce_url(
			add_query_arg(
				array(
					'action' => #fn#stats_reset_action(),
					'post'   => $post->ID,
				),
				admin_url( 'admin-post.php' )
			),
			#fn#stats_reset_action() . '_' . $post->ID
		);
		$ask = __( 'Reset the statistics of this funnel? Its counts are deleted for good.', '#prefix#' );
		echo '<p><a class="button #prefix#-stats-reset" href="' . esc_url( $url ) . '" onclick="return window.confirm(' . esc_attr( wp_json_encode( $ask ) ) . ');">' . esc_html__( 'Reset statistics', '#prefix#' ) . '</a></p>';
	}
}

/**
 * Deletes one funnel's counters: only through the box's link (its nonce) and
 * only for a user who may edit that funnel.
 */
function #fn#stats_reset() {
	global $wpdb;
	$post_id = isset( $_GET['post'] ) ? absint( $_GET['post'] ) : 0; // phpcs:ignore WordPress.Security.NonceVerification
	check_admin_referer( #fn#stats_reset_action() . '_' . $post_id );
	if ( #fn#post_type() !== get_post_type( $post_id ) ) {
		wp_die( esc_html__( 'This funnel does not exist.', '#prefix#' ), '', array( 'response' => 404 ) );
	}
	if ( ! current_user_can( 'edit_post', $post_id ) ) {
		wp_die( esc_html__( 'You are not allowed to reset the statistics of this funnel.', '#prefix#' ), '', array( 'response' => 403 ) );
	}
	if ( #fn#stats_ensure_table() ) {
		$wpdb->delete( #fn#stats_table(), array( 'funnel_id' => $post_id ), array( '%d' ) ); // phpcs:ignore WordPress.DB.DirectDatabaseQuery
	}
	wp_safe_redirect( add_query_arg( '#fn#stats_reset', '1', get_edit_post_link( $post_id, 'url' ) ) );
	exit;
}
add_action( 'admin_post_' . #fn#stats_reset_action(), '#fn#stats_reset' );

/**
 * The funnel list's statistics column, after the title.
 *
 * @param string[] $columns The list's columns.
 */
function #fn#stats_list_columns( $columns ) {
	$added = array();
	foreach ( $columns as $key => $label ) {
		$added[ $key ] = $label;
		if ( 'title' === $key ) {
			$added['#fn#statistics'] = __( 'Statistics', '#prefix#' );
		}
	}
	if ( ! isset( $added['#fn#statistics'] ) ) {
		$added['#fn#statistics'] = __( 'Statistics', '#prefix#' );
	}
	return $added;
}
add_filter( 'manage_' . #fn#post_type() . '_posts_columns', '#fn#stats_list_columns' );

/**
 * One funnel's cell: the front end offer's views and the funnel's purchases,
 * all time. The figures of the whole list come in one query.
 *
 * @param string $column  The column being printed.
 * @param int    $post_id The funnel of the row.
 */
function #fn#stats_list_cell( $column, $post_id ) {
	static $totals = null;
	if ( '#fn#statistics' !== $column ) {
		return;
	}
	static $orders = null;
	static $visits = null;
	if ( null === $totals ) {
		global $wp_query;
		$ids    = $wp_query instanceof WP_Query ? wp_list_pluck( (array) $wp_query->posts, 'ID' ) : array( $post_id );
		$totals = #fn#stats_totals( $ids );
		$orders = #fn#orders_totals( array_filter( $ids, static function ( $id ) {
			return 'none' !== #fn#payments_check( $id );
		} ) );
		$visits = #fn#orders_visit_totals( array_keys( $orders ) );
	}
	if ( ! current_user_can( 'edit_post', $post_id ) ) {
		echo '&ndash;';
		return;
	}
	$figures = isset( $totals[ $post_id ] ) ? $totals[ $post_id ] : array(
		'offer'     => 0,
		'purchases' => 0,
	);
	if ( 'none' !== #fn#payments_check( $post_id ) ) {
		$figures['purchases'] = isset( $orders[ $post_id ] ) ? $orders[ $post_id ] : 0;
	}
	echo '<span class="#prefix#-stats-offer">';
	/* translators: %s: number of views of the funnel's front end offer. */
	echo esc_html( sprintf( __( 'Offer views: %s', '#prefix#' ), number_format_i18n( $figures['offer'] ) ) );
	echo '</span><br><span class="#prefix#-stats-purchases">';
	/* translators: %s: number of purchases in the whole funnel. */
	echo esc_html( sprintf( __( 'Purchases: %s', '#prefix#' ), number_format_i18n( $figures['purchases'] ) ) );
	echo '</span>';
	if ( ! empty( $visits[ $post_id ] ) ) {
		$per = array();
		foreach ( $visits[ $post_id ] as $currency => $figures ) {
			$per[] = #fn#stats_revenue_per( array( $currency => $figures[0] ), $figures[1] );
		}
		/* translators: %s: revenue per buyer who went through the funnel, per currency. */
		echo '<br><span class="#prefix#-stats-per-visit">' . sprintf( esc_html__( 'Revenue per buyer: %s', '#prefix#' ), implode( ', ', $per ) ) . '</span>'; // phpcs:ignore WordPress.Security.EscapeOutput
	}
}
add_action( 'manage_' . #fn#post_type() . '_posts_custom_column', '#fn#stats_list_cell', 10, 2 );
