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
 * @param WP_Post  $post    The funnel.
 * @param array[]  $stats   The counters, as stats_for_funnel() gives them.
 * @param string[] $periods Period => label.
 */
function #fn#stats_render_road( $post, $stats, $periods ) {
	$revenue = #fn#orders_road_revenue( $post->ID );
	$count   = static function ( $slot, $period, $kind ) use ( $stats ) {
		return isset( $stats[ $slot ][ $period ][ $kind ] ) ? (int) $stats[ $slot ][ $period ][ $kind ] : 0;
	};
	$head = '<thead><tr><td></td>';
	foreach ( $periods as $label ) {
		$head .= '<th scope="col">' . esc_html( $label ) . '</th>';
	}
	$head .= '</tr></thead>';

	echo '<table class="widefat striped #prefix#-stats" id="#prefix#-stats-road"><caption><strong>' . esc_html__( 'Whole funnel', '#prefix#' ) . '</strong></caption>' . $head . '<tbody>'; // phpcs:ignore WordPress.Security.EscapeOutput
	$rows = array(
		'visits'  => __( 'Buyers of the front end', '#prefix#' ),
		'aov'     => __( 'Average order per buyer', '#prefix#' ),
		'visitor' => __( 'Revenue per front end visitor', '#prefix#' ),
	);
	foreach ( $rows as $row => $label ) {
		echo '<tr><th scope="row">' . esc_html( $label ) . '</th>';
		foreach ( array_keys( $periods ) as $period ) {
			$visits = $count( 0, $period, 'visit' );
			$total  = $revenue[ $period ]['total'];
			$cell   = 'visits' === $row ? esc_html( number_format_i18n( $visits ) ) : #fn#stats_revenue_per( $total, 'aov' === $row ? $visits : $count( 0, $period, 'sales' ) );
			echo '<td class="' . esc_attr( "#prefix#-stats-$row-$period" ) . '">' . $cell . '</td>'; // phpcs:ignore WordPress.Security.EscapeOutput
		}
		echo '</tr>';
	}
	echo '</tbody></table>';

	foreach ( #fn#funnel_meta_boxes() as $box ) {
		$slot = (int) substr( strrchr( $box['id'], '_' ), 1 );
		if ( 0 === $slot ) {
			continue;
		}
		/* translators: %s: the item's title. */
		echo '<table class="widefat striped #prefix#-stats" id="#prefix#-stats-offer-' . (int) $slot . '"><caption><strong>' . esc_html( sprintf( __( 'Offer: %s', '#prefix#' ), $box['title'] ) ) . '</strong></caption>' . $head . '<tbody>'; // phpcs:ignore WordPress.Security.EscapeOutput
		$rows = array(
			'shown'   => __( 'Shown after a purchase', '#prefix#' ),
			'accept'  => __( 'Accepted', '#prefix#' ),
			'decline' => __( 'Declined', '#prefix#' ),
			'take'    => __( 'Take rate', '#prefix#' ),
			'revenue' => __( 'Revenue', '#prefix#' ),
		);
		foreach ( $rows as $row => $label ) {
			echo '<tr><th scope="row">' . esc_html( $label ) . '</th>';
			foreach ( array_keys( $periods ) as $period ) {
				if ( 'take' === $row ) {
					$cell = #fn#stats_rate( $count( $slot, $period, 'accept' ), $count( $slot, $period, 'shown' ) );
				} elseif ( 'revenue' === $row ) {
					$cell = #fn#stats_revenue( isset( $revenue[ $period ]['slots'][ $slot ] ) ? $revenue[ $period ]['slots'][ $slot ] : array() );
				} else {
					$cell = esc_html( number_format_i18n( $count( $slot, $period, $row ) ) );
				}
				echo '<td class="' . esc_attr( "#prefix#-stats-offer-$row-$period" ) . '">' . $cell . '</td>'; // phpcs:ignore WordPress.Security.EscapeOutput
			}
			echo '</tr>';
		}
		echo '</tbody></table>';
	}
}
