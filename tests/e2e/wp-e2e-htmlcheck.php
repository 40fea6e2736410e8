<?php
/**
 * Whole pages through the Nu Html Checker and axe-core (tests/e2e/htmlcheck/check), all in
 * one run of each: two checks a page, with ok() from wp-e2e-helpers.php.
 */

/**
 * Checks pages and reports, for each, that the Nu validator finds no error and axe no violation.
 * A checker that did not run fails every page's checks: an absent tool must never look like a
 * clean page.
 *
 * @param array  $pages label => the page's HTML, a whole document.
 * @param string $check The checker command.
 * @return bool Whether every page passed both checks.
 */
function html_check_pages( array $pages, $check = __DIR__ . '/htmlcheck/check' ) {
	$dir = sys_get_temp_dir() . '/veltrano-htmlcheck-' . getmypid() . '-' . bin2hex( random_bytes( 4 ) );
	mkdir( $dir, 0700 );
	$files = array();
	foreach ( array_values( $pages ) as $i => $html ) {
		$files[ $i ] = sprintf( '%s/page-%03d.html', $dir, $i );
		file_put_contents( $files[ $i ], $html );
	}

	$results = array();
	$failure = '';
	if ( $files ) {
		// stderr into a file: a pipe could fill while stdout is being read.
		$proc = proc_open(
			array_merge( array( $check ), $files ),
			array(
				0 => array( 'file', '/dev/null', 'r' ),
				1 => array( 'pipe', 'w' ),
				2 => array( 'file', "$dir/stderr", 'w' ),
			),
			$pipes
		);
		if ( ! is_resource( $proc ) ) {
			$failure = "cannot start $check";
		} else {
			$out    = stream_get_contents( $pipes[1] );
			fclose( $pipes[1] );
			$status = proc_close( $proc );
			foreach ( explode( "\n", trim( $out ) ) as $line ) {
				$r = json_decode( $line, true );
				if ( is_array( $r ) && isset( $r['file'], $r['vnu'], $r['axe'], $r['axe_errors'] ) ) {
					$results[ $r['file'] ] = $r;
				}
			}
			if ( 0 !== $status ) {
				$failure = "$check exited with $status: " . trim( (string) file_get_contents( "$dir/stderr" ) );
			}
		}
	}
	array_map( 'unlink', glob( "$dir/*" ) );
	rmdir( $dir );

	$all = true;
	foreach ( array_keys( $pages ) as $i => $label ) {
		$r = '' === $failure && isset( $results[ $files[ $i ] ] ) ? $results[ $files[ $i ] ] : null;
		if ( null === $r ) {
			$why = '' !== $failure ? $failure : 'the checker printed nothing for this page';
			ok( false, "$label: the Nu validator finds no error", $why );
			ok( false, "$label: axe finds no violation", $why );
			$all = false;
			continue;
		}
		$vnu = array_map(
			static function ( $m ) {
				return "{$m['line']}:{$m['column']} {$m['message']}";
			},
			array_slice( $r['vnu'], 0, 4 )
		);
		$axe = array_map(
			static function ( $v ) {
				return "{$v['id']} ({$v['impact']}): " . implode( ', ', array_slice( $v['nodes'], 0, 3 ) );
			},
			$r['axe']
		);
		// A rule axe could not run on the page is no pass.
		foreach ( $r['axe_errors'] as $e ) {
			$axe[] = "{$e['id']} did not run: {$e['message']}";
		}
		$all = ok( 0 === count( $r['vnu'] ), "$label: the Nu validator finds no error", count( $r['vnu'] ) . ' errors: ' . implode( ' | ', $vnu ) ) && $all;
		$all = ok( ! $axe, "$label: axe finds no violation", count( $r['axe'] ) . ' violations: ' . implode( ' | ', $axe ) ) && $all;
	}
	return $all;
}
