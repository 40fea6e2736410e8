<!DOCTYPE html>
<html <?php language_attributes(); ?>>
<head>
<meta charset="<?php bloginfo( 'charset' ); ?>">
<title><?php wp_title( '|', true, 'right' ); ?><?php bloginfo( 'name' ); ?></title>
<?php wp_head(); ?>
</head>
<body <?php body_class(); ?>>
<?php wp_body_open(); ?>
<header class="e2e-classic-header"><?php bloginfo( 'name' ); ?></header>
<main>
<?php
while ( have_posts() ) {
	the_post();
	the_title( '<h1>', '</h1>' );
	the_content();
}
?>
</main>
<footer class="e2e-classic-footer"><?php bloginfo( 'name' ); ?></footer>
<?php wp_footer(); ?>
</body>
</html>
