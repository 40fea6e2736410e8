</main>
<footer class="e2e-classic-footer"><?php bloginfo( 'name' ); ?></footer>
<?php wp_footer(); ?>
</body>
</html>
