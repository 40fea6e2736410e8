/*
 * The split tests box: "Choose from the media library" opens WordPress's media window and puts
 * the chosen image's number into the version's image field.
 */
( function () {
	'use strict';
	document.addEventListener( 'click', function ( event ) {
		var button = event.target.closest ? event.target.closest( '.#prefix#-split-image' ) : null;
		if ( ! button || ! window.wp || ! window.wp.media ) {
			return;
		}
		event.preventDefault();
		var field = document.getElementById( button.getAttribute( 'data-target' ) );
		var frame = window.wp.media( { title: button.textContent, library: { type: 'image' }, multiple: false } );
		frame.on( 'select', function () {
			var chosen = frame.state().get( 'selection' ).first();
			if ( field && chosen ) {
				field.value = chosen.get( 'id' );
				field.dispatchEvent( new Event( 'change', { bubbles: true } ) );
			}
		} );
		frame.open();
	} );
}() );
