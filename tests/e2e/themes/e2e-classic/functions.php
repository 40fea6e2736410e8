<?php
// No add_theme_support( 'title-tag' ): the theme prints its own title in its header.
add_action(
	'wp_enqueue_scripts',
	static function () {
		wp_enqueue_style( 'e2e-classic', get_stylesheet_uri(), array(), '1.0' );
	}
);
