<?php
/**
 * The road's figures on the funnel's statistics box: per offer how often it was shown, taken and
 * declined, with its take rate and revenue; per funnel the visits that bought the front end, the
 * average order of a visit and the revenue per visitor of the front end's sales page.
 */

defined( 'ABSPATH' ) || exit;

/** A revenue divided by a count, in each currency, or a dash without a count. */
function #fn#stats_revenue_per( $revenue, $count ) {
	if ( $count <= 0 ) {
		return '&ndash;';
	}
	return #fn#stats_revenue(
		array_map(
			static function ( $amount ) use ( $count ) {
				return (int) round( $amount / $count );
			},
			$revenue
		)
	);
}

/**
 * One table of figures: a row per figure, a cell per period, each cell's class naming both.
 *
 * @param string   $id      The table's id.
 * @param string   $caption Its caption.
 * @param string   $class   What cells' classes begin with.
 * @param string[] $rows    Figure => label.
 * @param string[] $periods Period => label.
 * @param callable $cell    ( figure, period ) => the cell's escaped HTML.
 */
function #fn#stats_print_table( $id, $caption, $class, $rows, $periods, $cell ) {
	echo '<table class="widefat striped #prefix#-stats" id="' . esc_attr( $id ) . '"><caption><strong>' . esc_html( $caption ) . '</strong></caption><thead><tr><td></td>';
	foreach ( $periods as $label ) {
		echo '<th scope="col">' . esc_html( $label ) . '</th>';
	}
	echo '</tr></thead><tbody>';
	foreach ( $rows as $row => $label ) {
		echo '<tr><th scope="row">' . esc_html( $label ) . '</th>';
		foreach ( array_keys( $periods ) as $period ) {
			echo '<td class="' . esc_attr( "$class-$row-$period" ) . '">' . $cell( $row, $period ) . '</td>'; // phpcs:ignore WordPress.Security.EscapeOutput
		}
		echo '</tr>';
	}
	echo '</tbody></table>';
}

/**
 * @param WP_Post  $post    The funnel.
 * @param array[]  $stats   The counters, as stats_for_funnel() gives them.
 * @param string[] $periods Period => label.
 */
function #fn#stats_render_road( $post, $stats, $periods ) {
	$revenue = #fn#orders_road_revenue( $post->ID );
	$count   = static function ( $slot, $period, $kind ) use ( $stats ) {
		return isset( $stats[ $slot ][ $period ][ $kind ] ) ? (int) $stats[ $slot ][ $period ][ $kind ] : 0;
	};
	#fn#stats_print_table(
		'#prefix#-stats-road',
		__( 'Whole funnel', '#prefix#' ),
		'#prefix#-stats',
		array(
			'visits'  => __( 'Buyers of the front end', '#prefix#' ),
			'aov'     => __( 'Average order per buyer', '#prefix#' ),
			'visitor' => __( 'Revenue per front end visitor', '#prefix#' ),
		),
		$periods,
		static function ( $row, $period ) use ( $count, $revenue ) {
			$visits = $count( 0, $period, 'visit' );
			if ( 'visits' === $row ) {
				return esc_html( number_format_i18n( $visits ) );
			}
			return #fn#stats_revenue_per( $revenue[ $period ]['total'], 'aov' === $row ? $visits : $count( 0, $period, 'sales' ) );
		}
	);

	foreach ( #fn#funnel_meta_boxes() as $box ) {
		$slot = (int) substr( strrchr( $box['id'], '_' ), 1 );
		if ( 0 === $slot ) {
			continue;
		}
		#fn#stats_print_table(
			'#prefix#-stats-offer-' . $slot,
			/* translators: %s: the item's title. */
			sprintf( __( 'Offer: %s', '#prefix#' ), $box['title'] ),
			'#prefix#-stats-offer',
			array(
				'shown'   => __( 'Shown after a purchase', '#prefix#' ),
				'accept'  => __( 'Accepted', '#prefix#' ),
				'decline' => __( 'Declined', '#prefix#' ),
				'take'    => __( 'Take rate', '#prefix#' ),
				'revenue' => __( 'Revenue', '#prefix#' ),
			),
			$periods,
			static function ( $row, $period ) use ( $count, $revenue, $slot ) {
				if ( 'take' === $row ) {
					return #fn#stats_rate( $count( $slot, $period, 'accept' ), $count( $slot, $period, 'shown' ) );
				}
				if ( 'revenue' === $row ) {
					return #fn#stats_revenue( isset( $revenue[ $period ]['slots'][ $slot ] ) ? $revenue[ $period ]['slots'][ $slot ] : array() );
				}
				return esc_html( number_format_i18n( $count( $slot, $period, $row ) ) );
			}
		);
	}
}
