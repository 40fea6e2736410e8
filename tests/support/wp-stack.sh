# MariaDB and a WordPress site (Debian's packages) in a scratch folder, for the tests that run
# generated plugins in a real WordPress: tests/e2e/wordpress.sh and tests/php/run.sh. Sourced.
#
#   wp_stack_db WORK                   starts MariaDB on a socket in WORK (no network); sets $sock
#   wp_stack_db_start WORK             the same in the background, while the caller goes on;
#   wp_stack_db_wait                   then waits for it (and must, before stopping it)
#   wp_stack_wordpress WORK TREE URL   copies WordPress TREE to WORK/wordpress with a wp-config.php
#                                      for WORK's database and URL; sets $wp. Lines on standard input
#                                      go into wp-config.php before its keys (the test's constants).
#   wp_stack_stop_group PIDFILE        ends the process group whose leader wrote its pid there
#
# Each returns non-zero with the reason in $wp_stack_error; the database's group is WORK/db.group.

wp_stack_error=""

wp_stack_stop_group() {
  local f="$1" pgid
  [ -s "$f" ] || return 0
  pgid="$(cat "$f")"
  kill -TERM -- "-$pgid" 2>/dev/null || return 0
  for _ in $(seq 50); do kill -0 -- "-$pgid" 2>/dev/null || return 0; sleep 0.1; done
  kill -KILL -- "-$pgid" 2>/dev/null || true
}

wp_stack_db() {
  local work="$1"
  mkdir -p "$work/db"
  if ! mariadb-install-db --no-defaults --user=root --datadir="$work/db" --auth-root-authentication-method=normal \
    >"$work/db-install.log" 2>&1; then
    wp_stack_error="mariadb-install-db failed: $(tail -5 "$work/db-install.log")"
    return 1
  fi
  sock="$work/mysql.sock"
  setsid bash -c 'echo $$ >"$1"; shift; exec "$@"' _ "$work/db.group" \
    mariadbd --no-defaults --user=root --datadir="$work/db" --socket="$sock" --skip-networking \
    --pid-file="$work/mysqld.pid" --log-error="$work/db.log" >/dev/null 2>&1 &
  for _ in $(seq 100); do
    mariadb-admin --no-defaults --socket="$sock" -uroot ping >/dev/null 2>&1 && break
    sleep 0.2
  done
  if ! mariadb --no-defaults --socket="$sock" -uroot -e "CREATE DATABASE wordpress;
    CREATE USER 'wp'@'localhost' IDENTIFIED BY 'wp-e2e'; GRANT ALL ON wordpress.* TO 'wp'@'localhost';"; then
    wp_stack_error="MariaDB did not start: $(tail -5 "$work/db.log" 2>/dev/null)"
    return 1
  fi
}

wp_stack_db_start() {
  wp_stack_db_work="$1"
  ( wp_stack_db "$1" >/dev/null 2>&1 || { printf '%s' "$wp_stack_error" >"$1/db.error"; exit 1; } ) &
  wp_stack_db_pid=$!
}

wp_stack_db_wait() {
  local rc=0
  [ -n "${wp_stack_db_pid:-}" ] || return 0
  wait "$wp_stack_db_pid" || rc=$?
  wp_stack_db_pid=""
  [ $rc -eq 0 ] || wp_stack_error="MariaDB: $(cat "$wp_stack_db_work/db.error" 2>/dev/null)"
  return $rc
}

wp_stack_wordpress() {
  local work="$1" tree="$2" url="$3" sock="$1/mysql.sock" extra
  extra="$(cat)"
  if [ ! -f "$tree/wp-includes/version.php" ]; then
    wp_stack_error="$tree is no WordPress tree"
    return 1
  fi
  wp="$work/wordpress"
  cp -a "$tree" "$wp"
  rm -rf "$wp/wp-content" "$wp/wp-config.php"
  mkdir -p "$wp/wp-content/plugins" "$wp/wp-content/themes" "$wp/wp-content/uploads"
  local salts
  salts="$(php -r 'foreach (array_slice($argv, 1) as $k) printf("define( \x27%s\x27, \x27%s\x27 );\n", $k, bin2hex(random_bytes(32)));' \
    AUTH_KEY SECURE_AUTH_KEY LOGGED_IN_KEY NONCE_KEY AUTH_SALT SECURE_AUTH_SALT LOGGED_IN_SALT NONCE_SALT)"
  cat >"$wp/wp-config.php" <<EOF
<?php
define( 'DB_NAME', 'wordpress' );
define( 'DB_USER', 'wp' );
define( 'DB_PASSWORD', 'wp-e2e' );
define( 'DB_HOST', 'localhost:$sock' );
define( 'DB_CHARSET', 'utf8mb4' );
define( 'DB_COLLATE', '' );
define( 'WP_HOME', '$url' );
define( 'WP_SITEURL', '$url' );
define( 'WP_DEBUG', true );
define( 'WP_DEBUG_LOG', true );
define( 'WP_DEBUG_DISPLAY', false );
define( 'DISABLE_WP_CRON', true );
define( 'AUTOMATIC_UPDATER_DISABLED', true );
define( 'WP_HTTP_BLOCK_EXTERNAL', true );
define( 'FS_METHOD', 'direct' );
$extra
$salts
\$table_prefix = 'wp_';
if ( ! defined( 'ABSPATH' ) ) {
	define( 'ABSPATH', __DIR__ . '/' );
}
require_once ABSPATH . 'wp-settings.php';
EOF
}
