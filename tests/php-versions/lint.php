<?php
/**
 * Lints PHP files on the PHP this runs on: each must parse, and every PHP function it calls that
 * the newest PHP has (the list in $argv[1], a JSON file; empty to print this PHP's own list) must
 * exist here too. Prints one "ok - ..." or "not ok - ..." line per file.
 */

$newest = '' === $argv[1] ? null : json_decode( file_get_contents( $argv[1] ), true );
if ( null === $newest ) {
	echo json_encode( get_defined_functions()['internal'] );
	exit( 0 );
}
$newest = array_flip( $newest );
$php    = PHP_MAJOR_VERSION . '.' . PHP_MINOR_VERSION;

foreach ( array_slice( $argv, 2 ) as $file ) {
	try {
		$tokens = token_get_all( file_get_contents( $file ), TOKEN_PARSE );
	} catch ( ParseError $e ) {
		echo "not ok - PHP $php parses $file -- ", $e->getMessage(), ' on line ', $e->getLine(), "\n";
		continue;
	}
	// A name followed by "(" that is no method, no declaration and no "new": a function call.
	$missing = array();
	$code    = array_values( array_filter( $tokens, static function ( $t ) { return ! is_array( $t ) || ! in_array( $t[0], array( T_WHITESPACE, T_COMMENT, T_DOC_COMMENT ), true ); } ) );
	foreach ( $code as $i => $t ) {
		if ( ! is_array( $t ) || T_STRING !== $t[0] || ! isset( $code[ $i + 1 ] ) || '(' !== $code[ $i + 1 ] ) {
			continue;
		}
		$before = $i > 0 && is_array( $code[ $i - 1 ] ) ? $code[ $i - 1 ][0] : null;
		if ( in_array( $before, array( T_OBJECT_OPERATOR, T_DOUBLE_COLON, T_FUNCTION, T_NEW ), true ) ) {
			continue;
		}
		$name = strtolower( $t[1] );
		if ( isset( $newest[ $name ] ) && ! function_exists( $name ) ) {
			$missing[ $name ] = "$name (line {$t[2]})";
		}
	}
	if ( $missing ) {
		echo "not ok - PHP $php has every PHP function $file calls -- missing: ", implode( ', ', $missing ), "\n";
	} else {
		echo "ok - PHP $php parses $file and has every PHP function it calls\n";
	}
}
