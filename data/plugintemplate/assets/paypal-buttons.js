/*
 * PayPal's buttons on a funnel's sales page. The order is made by the site (with the site's
 * price); once the buyer approves it in PayPal's window, its id is posted to the download page,
 * which captures it and shows the links only for a completed capture.
 */
( function () {
	'use strict';
	var boxes = document.querySelectorAll( '.#prefix#-paypal' );
	Array.prototype.forEach.call( boxes, function ( box ) {
		var failed = box.querySelector( '.#prefix#-paypal-failed' );
		function fail() {
			if ( failed ) {
				failed.hidden = false;
			}
		}
		if ( ! window.paypal || ! window.paypal.Buttons ) {
			fail();
			return;
		}
		window.paypal.Buttons( {
			createOrder: function () {
				var body = new FormData();
				body.append( box.getAttribute( 'data-buy' ), box.getAttribute( 'data-slot' ) );
				// The split test's visitor, for browsers that keep no cookie: the price shown is the one asked.
				if ( box.getAttribute( 'data-visitor' ) ) {
					body.append( '#fn#visitor', box.getAttribute( 'data-visitor' ) );
				}
				return fetch( box.getAttribute( 'data-create' ), { method: 'POST', body: body, credentials: 'same-origin' } )
					.then( function ( response ) {
						return response.json();
					} )
					.then( function ( answer ) {
						if ( ! answer || ! answer.id ) {
							throw new Error( answer && answer.error ? answer.error : 'No order' );
						}
						return answer.id;
					} );
			},
			onApprove: function ( data ) {
				var form = document.createElement( 'form' );
				var field = document.createElement( 'input' );
				form.method = 'post';
				form.action = box.getAttribute( 'data-capture' );
				field.type = 'hidden';
				field.name = box.getAttribute( 'data-order' );
				field.value = data.orderID;
				form.appendChild( field );
				document.body.appendChild( form );
				form.submit();
			},
			onError: fail
		} ).render( box );
	} );
}() );
