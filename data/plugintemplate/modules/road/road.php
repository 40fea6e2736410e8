<?php
/**
 * The buyer's road through a funnel whose payments are checked. The front end leads to the first
 * upsell; from an upsell, yes leads to the next upsell (after the second, to the end) and no to
 * its downsell; from a downsell either answer ends the road, and so does an item the funnel
 * lacks. The end is the download page of the last item bought, showing what this visit bought.
 *
 * An offer page is the item's sales page with the visit's reference in its address: the plugin's
 * own "yes" (one click on the method saved at the front end) and "no" replace the button.
 */

defined( 'ABSPATH' ) || exit;

require_once __DIR__ . '/visits.php';
require_once __DIR__ . '/offer_pages.php';
require_once __DIR__ . '/one_click_stripe.php';
require_once __DIR__ . '/one_click_paypal.php';

/** The query variables of the road: the visit's reference, and the buyer's answers. */
function #fn#road_var( $what = 'visit' ) {
	$vars = array(
		'visit'   => '#fn#visit',
		'accept'  => '#fn#accept',
		'decline' => '#fn#decline',
	);
	return $vars[ $what ];
}

/** The item bought last before an offer, whichever way the road reached it. */
function #fn#road_last_before( $slot ) {
	return in_array( (int) $slot, array( 2, 4 ), true ) ? 1 : 0;
}

/**
 * Where an answer to an item leads.
 *
 * @param int  $slot     The item answered; the front end is always bought.
 * @param bool $accepted Whether it was bought.
 * @param int  $last     The last item bought before it.
 * @return array array( 'offer', slot ) or array( 'end', the last item bought ).
 */
function #fn#road_next( $slot, $accepted, $last ) {
	$slot = (int) $slot;
	$next = null;
	if ( 0 === $slot ) {
		$next = 1;
	} elseif ( 1 === $slot ) {
		$next = $accepted ? 2 : 3;
	} elseif ( 2 === $slot && ! $accepted ) {
		$next = 4;
	}
	if ( null !== $next && null !== #fn#payments_box_of( $next ) ) {
		return array( 'offer', $next );
	}
	return array( 'end', $accepted ? $slot : (int) $last );
}

/** An offer's address in a visit, with more arguments where asked. */
function #fn#road_offer_url( $post, $visit, $slot, $args = array() ) {
	$box = #fn#payments_box_of( $slot );
	return add_query_arg( array( #fn#road_var() => #fn#visits_reference( $visit ) ) + $args, #fn#page_url( $post, $box['sales_token'] ) );
}

/** Where a visit stands now: its next offer, or its end page while it can be opened. */
function #fn#road_where( $post, $visit ) {
	if ( 'open' === $visit->status ) {
		return #fn#road_offer_url( $post, $visit, (int) $visit->step );
	}
	$end = #fn#visits_end_order( $visit );
	return null === $end ? '' : #fn#payments_access_url( $end );
}

/**
 * For pasted buttons (no check): where each answer to an item leads, as addresses the seller
 * sets in the provider's button ("after payment") and as the "no thanks" link.
 *
 * @return string[] 'yes' => address, and 'no' => address for the offers (items 1 to 4).
 */
function #fn#road_static_addresses( $post, $slot ) {
	$out = array();
	foreach ( 0 === (int) $slot ? array( 'yes' => true ) : array( 'yes' => true, 'no' => false ) as $answer => $accepted ) {
		$next           = #fn#road_next( $slot, $accepted, #fn#road_last_before( $slot ) );
		$box            = #fn#payments_box_of( $next[1] );
		$out[ $answer ] = #fn#page_url( $post, 'offer' === $next[0] ? $box['sales_token'] : $box['download_token'] );
	}
	return $out;
}

/** What this request found out about the visit, for the page that follows. */
function #fn#road_state( $set = null ) {
	static $state = array();
	if ( null !== $set ) {
		$state = $set;
	}
	return $state;
}

/**
 * A funnel page with a visit's reference: the visit is checked, and an answer to its offer
 * taken, before anything is shown. Pages with a check off, or without a reference, are not
 * touched.
 */
function #fn#road_handle_request() {
	$var = #fn#road_var();
	if ( ! is_singular( #fn#post_type() ) || ! isset( $_GET[ $var ] ) ) { // phpcs:ignore WordPress.Security.NonceVerification
		return;
	}
	$post = get_queried_object();
	$page = $post instanceof WP_Post && 'publish' === $post->post_status ? #fn#payments_page_of( sanitize_key( #fn#payments_request_string( #fn#step_var(), $_GET ) ) ) : null; // phpcs:ignore WordPress.Security.NonceVerification
	if ( null === $page || 'none' === #fn#payments_check( $post->ID ) ) {
		return;
	}
	list( $slot, $kind ) = $page;
	// phpcs:disable WordPress.Security.NonceVerification -- the visit's signed reference is the buyer's credential.
	$visit = #fn#visits_from_reference( #fn#payments_request_string( $var, $_GET ), $post->ID );
	if ( null !== $visit && #fn#visits_expired( $visit ) ) {
		$visit = #fn#visits_close( $visit );
	}
	if ( null !== $visit ) {
		// Every page of a visit shows the variants its first page showed.
		#fn#split_request_visit( $visit );
	}
	if ( 'download' === $kind ) {
		// A checkout's return into the road: the payment decides what opens, the visit where it goes next.
		#fn#road_state( array( 'visit' => null !== $visit && 'open' === $visit->status ? $visit : null ) );
		return;
	}
	$method = isset( $_SERVER['REQUEST_METHOD'] ) ? $_SERVER['REQUEST_METHOD'] : 'GET'; // phpcs:ignore WordPress.Security.ValidatedSanitizedInput
	$answer = 'POST' === $method && isset( $_POST[ #fn#road_var( 'accept' ) ] ) ? 'yes' : ( isset( $_GET[ #fn#road_var( 'decline' ) ] ) ? 'no' : '' );
	if ( null === $visit ) {
		#fn#road_state( array( 'refusal' => 'unknown' ) );
		return;
	}
	if ( 'open' !== $visit->status ) {
		#fn#road_state( array( 'refusal' => 'ended', 'visit' => $visit ) );
		return;
	}
	if ( (int) $visit->step !== $slot ) {
		// A second click or a reload of an answer given goes where the first went.
		if ( '' !== $answer && false !== strpos( $visit->road, $slot . ( 'yes' === $answer ? '+' : '-' ) ) ) {
			#fn#road_redirect( $post, $visit );
		}
		#fn#road_state( array( 'refusal' => 'off_road', 'visit' => $visit ) );
		return;
	}
	$state = array(
		'visit'   => $visit,
		'message' => '',
		'retry'   => true,
	);
	if ( 'yes' === $answer ) {
		// One accept of a visit at a time: a second click waits for the first, then goes where it went.
		$held = #fn#visits_hold( $visit );
		if ( null === $held ) {
			$state['message'] = __( 'Your answer is still being taken. Please wait a moment, then reload this page.', '#prefix#' );
			$state['retry']   = false;
		} elseif ( 'open' !== $held->status || (int) $held->step !== $slot ) {
			#fn#road_redirect( $post, $held );
		} else {
			$state = array_merge( $state, #fn#road_accept( $post, $held, $slot ) );
		}
	} elseif ( 'no' === $answer ) {
		#fn#visits_answer( $visit, $slot, false );
		#fn#road_redirect( $post, $visit );
	} elseif ( isset( $_GET['payment_intent'] ) && 'stripe' === $visit->provider ) {
		$state = array_merge( $state, #fn#road_settle( $post, $visit, $slot, #fn#stripe_finish_action( $post, $visit, $slot, #fn#payments_request_string( 'payment_intent', $_GET ) ) ) );
	} elseif ( 'GET' === $method && #fn#visits_mark_shown( $visit, $slot ) ) {
		#fn#stats_count_road( $post->ID, $slot, 'shown' );
	}
	// phpcs:enable WordPress.Security.NonceVerification
	#fn#road_state( $state );
}
add_action( 'template_redirect', '#fn#road_handle_request', 4 );

/** Sends the buyer to where the visit stands now. */
function #fn#road_redirect( $post, $visit ) {
	$where = #fn#road_where( $post, #fn#visits_get( 'id', $visit->id ) );
	wp_safe_redirect( '' === $where ? #fn#page_url( $post, #fn#payments_box_of( 0 )['sales_token'] ) : $where, 303 );
	exit;
}

/**
 * "Yes": the method saved at the front end is charged the item's price of now, on the server.
 *
 * @return array The page's state: a message and whether one click may be tried again.
 */
function #fn#road_accept( $post, $visit, $slot ) {
	$price = #fn#payments_price( $post->ID, $slot );
	if ( null === $price || '' === $visit->method ) {
		return array(
			'message' => null === $price ? __( 'This offer can\'t be bought yet.', '#prefix#' ) : '',
			'retry'   => false,
		);
	}
	$result = 'paypal' === $visit->provider ? #fn#paypal_charge_saved( $post, $visit, $slot, $price ) : #fn#stripe_charge_saved( $post, $visit, $slot, $price );
	return #fn#road_settle( $post, $visit, $slot, $result );
}

/**
 * What a charge came to: a paid order moves the visit on; the bank's own check sends the buyer
 * there; anything else keeps the offer with the reason, and nothing is recorded.
 *
 * @param array $result array( 'order' => object|null, 'redirect' => string, 'message' => string, 'retry' => bool ).
 */
function #fn#road_settle( $post, $visit, $slot, $result ) {
	if ( ! empty( $result['order'] ) ) {
		#fn#visits_answer( $visit, $slot, true );
		#fn#road_redirect( $post, $visit );
	}
	if ( ! empty( $result['redirect'] ) ) {
		wp_redirect( $result['redirect'], 303 ); // phpcs:ignore WordPress.Security.SafeRedirect -- the provider's page, checked by the caller.
		exit;
	}
	return array(
		'message' => $result['message'],
		'retry'   => ! empty( $result['retry'] ),
	);
}

/**
 * The result of a charge that did not happen: the reason, and whether one click may be tried again.
 *
 * @param string $provider Whose account was not charged.
 */
function #fn#road_not_charged( $reason, $retry, $provider = 'stripe' ) {
	/* translators: %s: why, as the provider or the site puts it. */
	$text = 'paypal' === $provider ? __( 'Your PayPal account was not charged: %s You can pay for this item below, or say no thanks.', '#prefix#' ) : __( 'Your card was not charged: %s You can pay for this item below, or say no thanks.', '#prefix#' );
	return array(
		'order'    => null,
		'redirect' => '',
		'message'  => sprintf( $text, $reason ),
		'retry'    => $retry,
	);
}

/**
 * After a verified payment on a download page: the front end's opens the road, an offer's
 * checkout (the way around one click) joins its visit and moves it on.
 *
 * @return string Where the buyer goes now; '' when the payment is no step of a road.
 */
function #fn#road_after_payment( $post, $order ) {
	$joined = (int) $order->visit_id ? #fn#visits_get( 'id', $order->visit_id ) : null;
	if ( null !== $joined ) {
		// Its visit took it already (the front end's, or an offer's whose webhook came first).
		return #fn#road_where( $post, $joined );
	}
	$state = #fn#road_state();
	$visit = isset( $state['visit'] ) ? $state['visit'] : null;
	if ( null !== $visit && 0 !== (int) $order->slot && (int) $visit->step === (int) $order->slot && (int) $visit->funnel_id === (int) $order->funnel_id ) {
		#fn#visits_attach( $visit, $order );
		#fn#visits_answer( $visit, (int) $order->slot, true );
		return #fn#road_where( $post, #fn#visits_get( 'id', $visit->id ) );
	}
	$visit = #fn#road_begin( $order );
	return null === $visit ? '' : #fn#road_where( $post, $visit );
}

/**
 * The visit a front end's paid order opens, when the funnel has an offer after it.
 *
 * @return object|null
 */
function #fn#road_begin( $order ) {
	if ( ! #fn#orders_is_paid( $order ) || 0 !== (int) $order->slot || null === #fn#payments_box_of( 1 ) ) {
		return null;
	}
	$visit = #fn#visits_get( 'front_order', $order->id );
	if ( null !== $visit ) {
		return $visit;
	}
	$saved = 'paypal' === $order->provider ? ( isset( $order->saved_method ) ? $order->saved_method : array() ) : #fn#stripe_saved_method( $order );
	return #fn#visits_open( $order, 1, $saved );
}

/**
 * A verified payment that no buyer is waiting for (the provider's webhook): the front end's
 * opens its visit, which mails at its end; an offer's checkout that names its visit joins it and
 * moves it on, as the buyer's return would; any other is mailed now.
 *
 * @param int $visit_id The visit the checkout was made in, as the site told the provider; 0 for none.
 */
function #fn#payments_settle( $order, $visit_id = 0 ) {
	if ( null === $order ) {
		return;
	}
	$visit = $visit_id && 0 !== (int) $order->slot ? #fn#visits_get( 'id', $visit_id ) : null;
	if ( null !== $visit && (int) $visit->funnel_id === (int) $order->funnel_id && 'open' === $visit->status && (int) $visit->step === (int) $order->slot ) {
		#fn#visits_attach( $visit, $order );
		#fn#visits_answer( $visit, (int) $order->slot, true );
		return;
	}
	if ( null === #fn#road_begin( $order ) ) {
		#fn#payments_deliver( $order );
	}
}
