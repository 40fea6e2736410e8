<?php
/**
 * What a buyer on the road sees: an offer's own controls in place of the pasted button, and the
 * page that says why an offer address opens nothing.
 */

defined( 'ABSPATH' ) || exit;

/**
 * Called by the page template before a sales page of a checked funnel: a visit's offer gets its
 * controls, a refused one its page.
 *
 * @return bool Whether the page was served here.
 */
function #fn#road_take_over( $post, $slot ) {
	$state = #fn#road_state();
	if ( isset( $state['refusal'] ) ) {
		#fn#road_refusal_page( $post, $state );
		return true;
	}
	if ( empty( $state['visit'] ) ) {
		return false;
	}
	$html = #fn#road_offer_html( $post, $slot, $state );
	$key  = '#prefix#_funnelitem_' . (int) $slot . '_code';
	add_filter(
		'get_post_metadata',
		static function ( $value, $object_id, $meta_key ) use ( $post, $key, $html ) {
			return (int) $object_id === (int) $post->ID && $key === $meta_key ? array( $html ) : $value;
		},
		20,
		3
	);
	return false;
}

/**
 * "Yes, add this to my order" with the item and its price, and "No thanks". Where one click
 * can't be offered (no saved method, or the provider refused it), the item's own checkout
 * takes its place and returns into the road.
 */
function #fn#road_offer_html( $post, $slot, $state ) {
	$visit = $state['visit'];
	$price = #fn#payments_price( $post->ID, $slot );
	$out   = '<div class="#prefix#-offer">';
	if ( '' !== $state['message'] ) {
		$out .= '<p class="#prefix#-offer-problem" role="alert">' . esc_html( $state['message'] ) . '</p>';
	}
	if ( null !== $price && '' !== $visit->method && $state['retry'] ) {
		/* translators: 1: the item, 2: price, 3: currency code. */
		$item = sprintf( __( '%1$s for %2$s %3$s', '#prefix#' ), #fn#payments_item_name( $post->ID, $slot ), $price['price'], $price['currency'] );
		$out .= '<form method="post" class="#prefix#-accept" action="' . esc_url( #fn#road_offer_url( $post, $visit, $slot ) ) . '">'
			. '<input type="hidden" name="' . esc_attr( #fn#road_var( 'accept' ) ) . '" value="' . esc_attr( (string) (int) $slot ) . '">'
			. '<button type="submit">' . esc_html__( 'Yes, add this to my order', '#prefix#' ) . '</button>'
			. '<p class="#prefix#-offer-item">' . esc_html( $item ) . '</p></form>';
	} else {
		$out .= 'paypal' === $visit->provider ? #fn#paypal_buttons_html( $post, $slot, $visit ) : #fn#payments_button_html( $post, $slot, $visit );
	}
	$out .= '<p class="#prefix#-decline"><a href="' . esc_url( #fn#road_offer_url( $post, $visit, $slot, array( #fn#road_var( 'decline' ) => (int) $slot ) ) ) . '">' . esc_html__( 'No thanks', '#prefix#' ) . '</a></p>';
	return $out . '</div>';
}

/** Why an offer address opens nothing, and where the buyer can go on. */
function #fn#road_refusal_page( $post, $state ) {
	$visit = isset( $state['visit'] ) ? $state['visit'] : null;
	$link  = '';
	switch ( $state['refusal'] ) {
		case 'ended':
			$heading = __( 'Your order is complete', '#prefix#' );
			$reason  = __( 'This order has ended, so nothing more can be added to it, and nothing was charged now. The link to everything you bought has been sent to you by email.', '#prefix#' );
			break;
		case 'off_road':
			$heading = __( 'This offer is not the next step of your order', '#prefix#' );
			$reason  = __( 'This offer can\'t be added to your order from here, and nothing was charged.', '#prefix#' );
			$link    = #fn#road_where( $post, $visit );
			break;
		default:
			$heading = __( 'This offer link is not valid', '#prefix#' );
			$reason  = __( 'The address of this offer was changed or belongs to another order, so nothing can be added to an order from it, and nothing was charged.', '#prefix#' );
	}
	#fn#payments_notice_page( $post, $heading, $reason, $link, __( 'Continue with your order', '#prefix#' ) );
}
