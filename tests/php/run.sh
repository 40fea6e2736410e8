#!/usr/bin/env bash
# The generated plugin's PHP, concern by concern, with PHPUnit inside a real WordPress: one plugin
# built by the program's window-less build command under the fixed identifier "unit", installed
# and activated in a WordPress on MariaDB (tests/support/wp-stack.sh), no web server. The tests
# call the plugin's functions directly.
#
#   tests/php/run.sh PATH/TO/veltrano [PHPUNIT ARGUMENTS...]
#   tests/php/run.sh build/app/veltrano --testsuite payments     one concern alone
#   tests/php/run.sh build/app/veltrano --filter signature       some tests alone
#
# KEEP=1 keeps the temporary folder (its path is printed).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
program="$(realpath "${1:?usage: $0 PATH/TO/veltrano [PHPUNIT ARGUMENTS...]}")"
shift
# shellcheck source=../support/wp-stack.sh
. "$here/../support/wp-stack.sh"

work="$(mktemp -d /tmp/veltrano-php.XXXXXX)"
cleanup() {
  wp_stack_db_wait || true
  wp_stack_stop_group "$work/db.group"
  if [ "${KEEP:-0}" = 1 ]; then echo "kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

wp_stack_db_start "$work"

# The build needs only the program, its data and its products: a scratch application folder.
mkdir -p "$work/app"
cp -a "$(dirname "$program")/." "$work/app/"
rm -rf "$work/app/output" "$work/app/temp"
mkdir -p "$work/app/output" "$work/app/temp"
printf '%s' '{"items": [
    {"slot": 0, "product": "Traffic Magnet Pro"},
    {"slot": 1, "product": "Webinar Wealth"},
    {"slot": 2, "product": "Copywriting Mastery"},
    {"slot": 3, "product": "Social Media Surge"},
    {"slot": 4, "product": "Kindle Publishing Empire"}],
  "plugin": {"identifier": "unit", "name": "Unit Funnel"}}' >"$work/funnel.json"
zip="$("$work/app/$(basename "$program")" build "$work/funnel.json")"

# No web server answers at this address; WordPress only forms its links from it.
wp_stack_wordpress "$work" /usr/share/wordpress "http://127.0.0.1:9" </dev/null ||
  { echo "$wp_stack_error" >&2; exit 1; }
unzip -q "$zip" -d "$wp/wp-content/plugins"
wp_stack_db_wait || { echo "$wp_stack_error" >&2; exit 1; }

export VELTRANO_PHP_WP="$wp"
php "$here/install.php"
phpunit --configuration "$here/phpunit.xml" "$@"
