#header#

/**
 * Sales funnel plugin: the funnel post type, one editor box per funnel page,
 * and saving what the marketer types into those boxes.
 */

defined( 'ABSPATH' ) || exit;

require_once __DIR__ . '/modules/cpt.php';
require_once __DIR__ . '/modules/cpt_template_loader.php';
require_once __DIR__ . '/modules/pages/layout.php';
require_once __DIR__ . '/modules/stats/counting.php';
require_once __DIR__ . '/modules/payments/check.php';
require_once __DIR__ . '/modules/copy/copy.php';
require_once __DIR__ . '/modules/copy/patterns.php';
require_once __DIR__ . '/modules/copy/render.php';
require_once __DIR__ . '/modules/split/assign.php';
require_once __DIR__ . '/modules/split/verdict.php';
require_once __DIR__ . '/modules/split/tests.php';
require_once __DIR__ . '/modules/split/visitor.php';
require_once __DIR__ . '/modules/split/figures.php';
require_once __DIR__ . '/modules/split/serve.php';
require_once __DIR__ . '/modules/split/actions.php';
if ( is_admin() ) {
	require_once __DIR__ . '/modules/split/screens.php';
	require_once __DIR__ . '/modules/stats/screens.php';
	require_once __DIR__ . '/modules/stats/road_screens.php';
	require_once __DIR__ . '/modules/payments/screens.php';
}

/**
 * Translations of the plugin's texts, from its languages folder (or the site's).
 */
function #fn#load_textdomain() {
	load_plugin_textdomain( '#prefix#', false, dirname( plugin_basename( __FILE__ ) ) . '/languages' );
}
add_action( 'init', '#fn#load_textdomain', 0 );

/**
 * The funnel pages' style, as a stylesheet of the page like any other, so that
 * themes and plugins see it and the pages stay free of inline style.
 */
function #fn#enqueue_page_style() {
	if ( is_singular( #fn#post_type() ) ) {
		$file = __DIR__ . '/assets/funnel-pages.css';
		wp_enqueue_style( '#prefix#-funnel-pages', plugins_url( 'assets/funnel-pages.css', __FILE__ ), array(), (string) filemtime( $file ) );
	}
}
add_action( 'wp_enqueue_scripts', '#fn#enqueue_page_style' );

/**
 * The name the marketer gave this plugin; it names the admin menu. The
 * program writes it as a single-quoted string, which nothing in it can close.
 */
function #fn#plugin_name() {
	$name = trim( '#menuname#' );
	return '' === $name ? __( 'Funnels', '#prefix#' ) : $name;
}

/**
 * The editor boxes of this funnel: one per funnel page, each with its fields
 * and the two tokens that open its sales page and its download page.
 *
 * @return array[]
 */
function #fn#funnel_meta_boxes() {
	$prefix     = '#prefix#_';
	$meta_boxes = array();

#FUNNELMETABOXES#
}

/**
 * The funnel's fields are written by its own boxes only. Marked protected,
 * they never show in core's custom-fields box, which would otherwise store
 * them without this plugin's nonce or filtering; registered with an
 * auth_callback that allows no one, no other core path (XML-RPC, REST) may
 * edit them either.
 *
 * @param bool   $protected Whether the key is protected so far.
 * @param string $meta_key  The key asked about.
 * @param string $meta_type The kind of object it belongs to.
 */
function #fn#is_protected_meta( $protected, $meta_key, $meta_type ) {
	if ( 'post' === $meta_type && is_string( $meta_key ) && ( 0 === strpos( $meta_key, '#prefix#_funnelitem_' ) || 0 === strpos( $meta_key, '#prefix#_split_' ) || #fn#page_layout_key() === $meta_key ) ) {
		return true;
	}
	return $protected;
}
add_filter( 'is_protected_meta', '#fn#is_protected_meta', 10, 3 );

function #fn#register_meta() {
	$keys = array( #fn#page_layout_key() );
	foreach ( #fn#funnel_meta_boxes() as $box ) {
		foreach ( $box['fields'] as $field ) {
			$keys[] = $field['id'];
		}
	}
	foreach ( $keys as $key ) {
		register_post_meta(
			#fn#post_type(),
			$key,
			array(
				'type'          => 'string',
				'single'        => true,
				'show_in_rest'  => false,
				'auth_callback' => '__return_false',
			)
		);
	}
}
add_action( 'init', '#fn#register_meta' );

/**
 * The HTML that payment buttons are made of, for users who may not post raw
 * HTML: forms with hidden, submit and image inputs, buttons, links, images
 * and simple layout; nothing that runs script (wp_kses() drops event
 * attributes and any address that is not a web or mail address).
 *
 * @return array[]
 */
function #fn#payment_button_html() {
	$common = array(
		'class' => true,
		'id'    => true,
		'title' => true,
		'style' => true,
	);
	$layout = array( 'div', 'span', 'p', 'strong', 'em', 'b', 'i', 'center', 'table', 'tbody', 'tr', 'td', 'th' );
	$html   = array(
		'form'   => $common + array(
			'action'         => true,
			'method'         => true,
			'target'         => true,
			'name'           => true,
			'accept-charset' => true,
			'enctype'        => true,
		),
		'input'  => $common + array(
			'type'   => true,
			'name'   => true,
			'value'  => true,
			'src'    => true,
			'alt'    => true,
			'border' => true,
			'width'  => true,
			'height' => true,
		),
		'button' => $common + array(
			'type'  => true,
			'name'  => true,
			'value' => true,
		),
		'select' => $common + array( 'name' => true ),
		'option' => $common + array(
			'value'    => true,
			'selected' => true,
		),
		'label'  => $common + array( 'for' => true ),
		'a'      => $common + array(
			'href'   => true,
			'target' => true,
			'rel'    => true,
		),
		'img'    => $common + array(
			'src'    => true,
			'alt'    => true,
			'width'  => true,
			'height' => true,
			'border' => true,
		),
		'br'     => array(),
	);
	foreach ( $layout as $tag ) {
		$html[ $tag ] = $common;
	}
	return $html;
}

register_activation_hook( __FILE__, '#fn#activate' );
register_deactivation_hook( __FILE__, '#fn#deactivate' );

/**
 * Registers the post type at once so that its pretty addresses work right
 * after activation, and makes the tables of the statistics, orders and split tests.
 */
function #fn#activate() {
	#fn#register_post_type();
	flush_rewrite_rules();
	#fn#stats_install();
	#fn#orders_install();
	#fn#split_install();
}

function #fn#deactivate() {
	unregister_post_type( #fn#post_type() );
	flush_rewrite_rules();
}

add_action( 'add_meta_boxes_' . #fn#post_type(), '#fn#add_meta_boxes' );
add_action( 'save_post_' . #fn#post_type(), '#fn#save_funnel' );

function #fn#add_meta_boxes() {
	add_meta_box( '#prefix#_page_layout', esc_html__( 'Page layout', '#prefix#' ), '#fn#render_page_layout_box', #fn#post_type(), 'side' );
	foreach ( #fn#funnel_meta_boxes() as $box ) {
		add_meta_box(
			$box['id'],
			esc_html( $box['title'] ),
			'#fn#render_meta_box',
			#fn#post_type(),
			'normal',
			'high',
			array( 'box' => $box )
		);
	}
}

/**
 * The nonce that saving the funnel's boxes checks, printed once by whichever box comes first.
 */
function #fn#print_funnel_nonce() {
	static $printed = false;
	if ( ! $printed ) {
		wp_nonce_field( '#fn#save_funnel', '#fn#funnel_nonce' );
		$printed = true;
	}
}

/**
 * Prints one funnel page's box: its fields, then its two tokens and the
 * addresses they open.
 *
 * @param WP_Post $post    The funnel being edited.
 * @param array   $metabox The box as registered; args.box is its declaration.
 */
function #fn#render_meta_box( $post, $metabox ) {
	$box = $metabox['args']['box'];
	#fn#print_funnel_nonce();

	echo '<table class="form-table" role="presentation"><tbody>';
	foreach ( $box['fields'] as $field ) {
		$value = get_post_meta( $post->ID, $field['id'], true );
		$value = is_scalar( $value ) ? (string) $value : '';
		$id    = $field['id'];

		echo '<tr><th scope="row"><label for="' . esc_attr( $id ) . '">' . esc_html( $field['label'] ) . '</label></th><td>';
		if ( 'code' === $field['type'] ) {
			echo '<textarea class="large-text code" rows="5" id="' . esc_attr( $id ) . '" name="' . esc_attr( $id ) . '">' . esc_textarea( $value ) . '</textarea>';
		} else {
			echo '<input type="text" class="large-text" id="' . esc_attr( $id ) . '" name="' . esc_attr( $id ) . '" value="' . esc_attr( $value ) . '">';
		}
		echo '<p class="description">' . esc_html( $field['desc'] ) . '</p></td></tr>';
	}
	#fn#copy_box_row( $post, (int) substr( strrchr( $box['id'], '_' ), 1 ) );
	echo '</tbody></table>';

	$pages = array(
		array( __( 'Sales page', '#prefix#' ), $box['sales_token'], __( 'Send visitors here to see this offer.', '#prefix#' ) ),
		array( __( 'Download page', '#prefix#' ), $box['download_token'], __( 'Give this address to your payment processor as the page buyers return to after paying.', '#prefix#' ) ),
	);
	$published = 'publish' === get_post_status( $post );

	// The box's own title is an <h2>.
	echo '<h3>' . esc_html__( 'Page addresses', '#prefix#' ) . '</h3>';
	if ( ! $published ) {
		echo '<p class="description">' . esc_html__( 'Publish this funnel to get the full addresses of its pages.', '#prefix#' ) . '</p>';
	}
	echo '<table class="form-table" role="presentation"><tbody>';
	foreach ( $pages as $page ) {
		list( $label, $token, $hint ) = $page;
		echo '<tr><th scope="row">' . esc_html( $label ) . '</th><td>';
		/* translators: %s: the token that opens the page. */
		echo sprintf( esc_html__( 'Token: %s', '#prefix#' ), '<code>' . esc_html( $token ) . '</code>' );
		if ( $published ) {
			$url = #fn#page_url( $post, $token );
			echo '<br><a href="' . esc_url( $url ) . '" target="_blank" rel="noopener"><code>' . esc_html( $url ) . '</code></a>';
		}
		echo '<p class="description">' . esc_html( $hint ) . '</p></td></tr>';
	}
	if ( $published && 'none' === #fn#payments_check( $post->ID ) ) {
		// With buttons of their own, the seller routes the buyer: where each answer leads on the funnel's road.
		$slot  = (int) substr( strrchr( $box['id'], '_' ), 1 );
		$hints = array(
			'yes' => __( 'After payment send the buyer to', '#prefix#' ),
			'no'  => __( 'The "no thanks" link goes to', '#prefix#' ),
		);
		foreach ( #fn#road_static_addresses( $post, $slot ) as $answer => $url ) {
			echo '<tr class="' . esc_attr( '#prefix#-road-' . $answer ) . '"><th scope="row">' . esc_html( $hints[ $answer ] ) . '</th><td><code>' . esc_html( $url ) . '</code></td></tr>';
		}
	}
	echo '</tbody></table>';
}

/**
 * Stores the fields of every box when a funnel is saved from its edit screen.
 * Only the declared fields are read from the request.
 *
 * @param int $post_id The funnel being saved.
 */
function #fn#save_funnel( $post_id ) {
	if ( ! isset( $_POST['#fn#funnel_nonce'] ) || ! is_string( $_POST['#fn#funnel_nonce'] )
		|| ! wp_verify_nonce( sanitize_key( wp_unslash( $_POST['#fn#funnel_nonce'] ) ), '#fn#save_funnel' ) ) {
		return;
	}
	if ( defined( 'DOING_AUTOSAVE' ) && DOING_AUTOSAVE ) {
		return;
	}
	if ( wp_is_post_revision( $post_id ) || wp_is_post_autosave( $post_id ) ) {
		return;
	}
	if ( ! current_user_can( 'edit_post', $post_id ) ) {
		return;
	}

	$raw_html = current_user_can( 'unfiltered_html' );
	foreach ( #fn#funnel_meta_boxes() as $box ) {
		foreach ( $box['fields'] as $field ) {
			$key = $field['id'];
			if ( ! isset( $_POST[ $key ] ) || ! is_string( $_POST[ $key ] ) ) {
				continue;
			}
			$value = wp_unslash( $_POST[ $key ] );
			if ( 'code' === $field['type'] ) {
				// The payment button is the marketer's own HTML; users who may
				// not post raw HTML keep only what payment buttons are made of.
				$value = $raw_html ? $value : wp_kses( $value, #fn#payment_button_html() );
			} else {
				$value = sanitize_text_field( $value );
			}
			// update_post_meta() strips one level of slashes.
			update_post_meta( $post_id, $key, wp_slash( $value ) );
		}
	}
	#fn#save_page_layout( $post_id );
}
