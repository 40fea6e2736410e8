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
<?php // Like most classic themes, the header opens the page's main landmark and the footer closes it. ?>
<main id="main" class="e2e-classic-main">
