<?php
/**
 * The ready sections of a sales page, as block patterns of core blocks in the plugin's own
 * category, and the copy a new funnel item starts from.
 */

defined( 'ABSPATH' ) || exit;

/** One block of core's markup; $inner is HTML already escaped. */
function #fn#copy_block( $name, $inner, $attributes = array() ) {
	$open = '<!-- wp:' . $name . ( empty( $attributes ) ? '' : ' ' . wp_json_encode( $attributes ) ) . ' -->';
	return $open . "\n" . $inner . "\n" . '<!-- /wp:' . $name . ' -->';
}

function #fn#copy_heading( $text, $level = 2 ) {
	return #fn#copy_block( 'heading', '<h' . $level . '>' . esc_html( $text ) . '</h' . $level . '>', 2 === $level ? array() : array( 'level' => $level ) );
}

function #fn#copy_paragraph( $text ) {
	return #fn#copy_block( 'paragraph', '<p>' . esc_html( $text ) . '</p>' );
}

/** A list in the form WordPress 6.1 and later save it: one list-item block per line. */
function #fn#copy_list( $items ) {
	$inner = '';
	foreach ( $items as $item ) {
		$inner .= #fn#copy_block( 'list-item', '<li>' . esc_html( $item ) . '</li>' );
	}
	return #fn#copy_block( 'list', '<ul>' . $inner . '</ul>' );
}

/** Questions and answers: core's details block where WordPress has it (6.3 on), headings before. */
function #fn#copy_question( $question, $answer ) {
	if ( WP_Block_Type_Registry::get_instance()->is_registered( 'core/details' ) ) {
		return #fn#copy_block( 'details', '<details class="wp-block-details"><summary>' . esc_html( $question ) . '</summary>' . #fn#copy_paragraph( $answer ) . '</details>' );
	}
	return #fn#copy_heading( $question, 3 ) . "\n\n" . #fn#copy_paragraph( $answer );
}

/** @return array[] The sections by name: title and content. */
function #fn#copy_sections() {
	$sections = array(
		'sub-headline'   => array(
			__( 'Sub-headline', '#prefix#' ),
			array(
				#fn#copy_heading( __( 'The one sentence that says what your buyer gets', '#prefix#' ) ),
				#fn#copy_paragraph( __( 'Say who this is for and the result they can expect, in words they would use themselves.', '#prefix#' ) ),
			),
		),
		'video'          => array(
			__( 'Video', '#prefix#' ),
			array(
				#fn#copy_heading( __( 'Watch how it works', '#prefix#' ) ),
				'<!-- wp:embed {"type":"video","providerNameSlug":"youtube","responsive":true} /-->',
			),
		),
		'benefits'       => array(
			__( 'Benefits', '#prefix#' ),
			array(
				#fn#copy_heading( __( 'What you get', '#prefix#' ) ),
				#fn#copy_list( array( __( 'The first benefit, as a result the buyer wants', '#prefix#' ), __( 'The second benefit', '#prefix#' ), __( 'The third benefit', '#prefix#' ) ) ),
			),
		),
		'testimonial'    => array(
			__( 'Testimonial', '#prefix#' ),
			array(
				#fn#copy_block( 'quote', '<blockquote class="wp-block-quote">' . #fn#copy_paragraph( __( 'What a real buyer said about the result they got.', '#prefix#' ) ) . '<cite>' . esc_html__( 'Name, what they do', '#prefix#' ) . '</cite></blockquote>' ),
			),
		),
		'guarantee'      => array(
			__( 'Guarantee', '#prefix#' ),
			array(
				#fn#copy_heading( __( 'Our 30-day money-back guarantee', '#prefix#' ) ),
				#fn#copy_paragraph( __( 'Try it for 30 days. If it is not right for you, write to us and you get every cent back, no questions asked.', '#prefix#' ) ),
			),
		),
		'price'          => array(
			__( 'Price with reasons', '#prefix#' ),
			array(
				#fn#copy_heading( __( 'Why the price is fair', '#prefix#' ) ),
				#fn#copy_list( array( __( 'What it would cost to work this out on your own', '#prefix#' ), __( 'What one result from it is worth to you', '#prefix#' ), __( 'One payment, no subscription', '#prefix#' ) ) ),
			),
		),
		'questions'      => array(
			__( 'Questions and answers', '#prefix#' ),
			array(
				#fn#copy_heading( __( 'Questions buyers ask', '#prefix#' ) ),
				#fn#copy_question( __( 'How do I get it?', '#prefix#' ), __( 'Right after payment you reach your download page, and the link is sent to you by email.', '#prefix#' ) ),
				#fn#copy_question( __( 'What if it is not for me?', '#prefix#' ), __( 'Write to us within 30 days and you get your money back.', '#prefix#' ) ),
			),
		),
		'call-to-action' => array(
			__( 'Closing call to action', '#prefix#' ),
			array(
				#fn#copy_heading( __( 'Get it now', '#prefix#' ) ),
				#fn#copy_paragraph( __( 'Click the button below. Your download is ready the moment you have paid.', '#prefix#' ) ),
			),
		),
	);
	foreach ( $sections as $name => $section ) {
		$sections[ $name ] = array(
			'title'   => $section[0],
			'content' => implode( "\n\n", $section[1] ),
		);
	}
	return $sections;
}

function #fn#copy_pattern_category() {
	return '#prefix#-sales-page';
}

function #fn#register_copy_patterns() {
	if ( ! function_exists( 'register_block_pattern' ) ) {
		return;
	}
	register_block_pattern_category( #fn#copy_pattern_category(), array( 'label' => __( 'Sales page', '#prefix#' ) ) );
	foreach ( #fn#copy_sections() as $name => $section ) {
		register_block_pattern(
			'#prefix#/' . $name,
			array(
				'title'      => $section['title'],
				'categories' => array( #fn#copy_pattern_category() ),
				'postTypes'  => array( #fn#copy_post_type() ),
				'content'    => $section['content'],
			)
		);
	}
}
add_action( 'init', '#fn#register_copy_patterns', 20 );

/**
 * What a new item's copy starts from: the product's sales text, which the program wrote into
 * the plugin as blocks (or its name, for a product without one), then the guarantee and the
 * closing call to action.
 */
function #fn#copy_start( $slot ) {
	$file     = __DIR__ . '/start-' . (int) $slot . '.html';
	$start    = is_readable( $file ) ? trim( (string) file_get_contents( $file ) ) : ''; // phpcs:ignore WordPress.WP.AlternativeFunctions
	$sections = #fn#copy_sections();
	return implode( "\n\n", array_filter( array( $start, $sections['guarantee']['content'], $sections['call-to-action']['content'] ) ) );
}
