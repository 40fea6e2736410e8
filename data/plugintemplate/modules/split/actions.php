<?php
/**
 * The split tests box's buttons, taken when the funnel is saved from its edit screen: start a
 * test from the versions the form describes, pause or resume it, end it keeping one version,
 * delete an ended test from the history.
 */

defined( 'ABSPATH' ) || exit;

/**
 * The box's buttons, taken when the funnel is saved: the whole form is sent with whichever
 * button was pressed.
 *
 * @param int $post_id The funnel being saved.
 */
function #fn#split_handle_save( $post_id ) {
	// phpcs:disable WordPress.Security.NonceVerification.Missing -- the funnel's nonce is checked right here.
	if ( ! isset( $_POST['#fn#split_action'], $_POST['#fn#funnel_nonce'] ) || ! is_string( $_POST['#fn#split_action'] ) || ! is_string( $_POST['#fn#funnel_nonce'] )
		|| ! wp_verify_nonce( sanitize_key( wp_unslash( $_POST['#fn#funnel_nonce'] ) ), '#fn#save_funnel' ) || ! current_user_can( 'edit_post', $post_id )
		|| wp_is_post_revision( $post_id ) || wp_is_post_autosave( $post_id ) ) {
		return;
	}
	$action = explode( ':', sanitize_text_field( wp_unslash( $_POST['#fn#split_action'] ) ) );
	$slot   = isset( $action[1] ) ? (int) $action[1] : -1;
	if ( null === #fn#payments_box_of( $slot ) ) {
		return;
	}
	$form    = isset( $_POST['#fn#split'][ $slot ] ) && is_array( $_POST['#fn#split'][ $slot ] ) ? wp_unslash( $_POST['#fn#split'][ $slot ] ) : array(); // phpcs:ignore WordPress.Security.ValidatedSanitizedInput -- each field is sanitized below.
	// phpcs:enable WordPress.Security.NonceVerification.Missing
	$problem = '';
	switch ( $action[0] ) {
		case 'start':
			list( $variants, $weights ) = #fn#split_form_test( $form );
			$problem                    = #fn#split_start( $post_id, $slot, $variants, $weights );
			break;
		case 'pause':
		case 'resume':
			#fn#split_set_state( $post_id, $slot, 'pause' === $action[0] ? 'paused' : 'running' );
			break;
		case 'end':
			$test = #fn#split_test( $post_id, $slot );
			$kept = isset( $action[2] ) ? (int) $action[2] : 0;
			if ( null !== $test && isset( $test['variants'][ $kept ] ) ) {
				$test = #fn#split_end( $post_id, $slot, #fn#split_totals( $test ), $kept );
				#fn#split_adopt( $post_id, $slot, $test['variants'][ $kept ] );
			}
			break;
		case 'forget':
			#fn#split_delete_history( $post_id, $slot, isset( $action[2] ) ? $action[2] : '' );
			break;
	}
	if ( '' !== $problem ) {
		set_transient( '#fn#split_problem_' . get_current_user_id(), $problem, MINUTE_IN_SECONDS );
	}
}
add_action( 'save_post_' . #fn#post_type(), '#fn#split_handle_save', 20 );

/**
 * The versions the start form describes: those the seller filled in, with their shares; a
 * share given for an empty version is kept, so the shares no longer add up and the seller is told.
 *
 * @return array array( variants after A, weights from A on ).
 */
function #fn#split_form_test( $form ) {
	$variants = array();
	$weights  = array( isset( $form['w'][0] ) && is_numeric( $form['w'][0] ) ? (int) $form['w'][0] : 0 );
	for ( $variant = 1; $variant <= 3; ++$variant ) {
		$fields = array();
		foreach ( #fn#split_variant_fields() as $field ) {
			$value = isset( $form['v'][ $variant ][ $field ] ) && is_string( $form['v'][ $variant ][ $field ] ) ? sanitize_text_field( $form['v'][ $variant ][ $field ] ) : '';
			$fields[ $field ] = 'price' === $field ? str_replace( ',', '.', $value ) : $value;
		}
		$share = isset( $form['w'][ $variant ] ) && is_string( $form['w'][ $variant ] ) ? trim( $form['w'][ $variant ] ) : '';
		if ( '' !== implode( '', $fields ) ) {
			$variants[] = $fields;
			$weights[]  = ctype_digit( $share ) ? (int) $share : 0;
		} elseif ( '' !== $share && '0' !== $share ) {
			$weights[] = ctype_digit( $share ) ? (int) $share : 0;
		}
	}
	return array( $variants, $weights );
}
