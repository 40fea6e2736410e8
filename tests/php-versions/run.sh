#!/usr/bin/env bash
# Lints every PHP file of generated plugins on PHP 7.4 and 8.4, the oldest and newest PHP the
# plugins claim, with npm's PHP builds for WebAssembly (lint.mjs), installed into MODULES.
#
#   tests/php-versions/run.sh PATH/TO/app/veltrano MODULES
#
# npm ci takes the packages from npm's cache when it has them, so later runs need no network.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
program="$(realpath "${1:?usage: $0 PATH/TO/veltrano MODULES}")"
modules="${2:?usage: $0 PATH/TO/veltrano MODULES}"

mkdir -p "$modules"
if ! cmp -s "$here/package-lock.json" "$modules/package-lock.json" || [ ! -d "$modules/node_modules" ]; then
  cp "$here/package.json" "$here/package-lock.json" "$modules/"
  (cd "$modules" && npm ci --prefer-offline --no-audit --no-fund --loglevel=error)
fi
cp "$here/lint.mjs" "$here/lint.php" "$modules/"

work="$(mktemp -d /tmp/veltrano-php-versions.XXXXXX)"
trap 'rm -rf "$work"' EXIT
cp -a "$(dirname "$program")" "$work/app"
# Every item, so every page template is among the files.
printf '%s' '{"items": [
    {"slot": 0, "product": "Traffic Magnet Pro"}, {"slot": 1, "product": "Webinar Wealth"},
    {"slot": 2, "product": "Copywriting Mastery"}, {"slot": 3, "product": "My Products: Demo Product"},
    {"slot": 4, "product": "Kindle Publishing Empire"}],
  "plugin": {"identifier": "plint", "name": "Lint'"'"'s \"Funnel\" $x"}}' >"$work/funnel.json"
zip="$("$work/app/$(basename "$program")" build "$work/funnel.json")"
unzip -q "$zip" -d "$work/plugin"
mapfile -t files < <(find "$work/plugin" -name '*.php' | sort)
[ ${#files[@]} -ge 15 ] || { echo "not ok - only ${#files[@]} PHP files in the plugin"; exit 1; }
node "$modules/lint.mjs" "${files[@]}" | sed "s|$work/plugin/||"
# The plugin claims the oldest PHP linted here, no newer one.
requires="$(sed -n 's/^ \* Requires PHP: *//p' "$work/plugin/plint/plugin.php")"
if [ "$requires" = 7.4 ] && grep -qx 'Requires PHP: 7.4' "$work/plugin/plint/readme.txt"; then
  echo "ok - the header and readme.txt require PHP 7.4, the oldest linted"
else
  echo "not ok - the plugin requires PHP '$requires', not 7.4, the oldest linted"
  exit 1
fi
