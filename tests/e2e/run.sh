#!/usr/bin/env bash
# Builds funnel plugins with the program's window-less build command, in a scratch copy of
# the application folder, and proves them in a real WordPress (tests/e2e/wordpress.sh).
#
#   tests/e2e/run.sh PATH/TO/app/veltrano
#
# Three plugins go into one WordPress side by side: all five items under the longest
# identifier (written with capitals, which the program folds to small letters) with a custom product and a typed download address; items 0, 1, 2 and 4 under a
# plugin name full of characters that mean something to PHP and HTML; and the front end offer
# alone under a one-letter identifier, built after an earlier plugin of the same name (another
# identifier, an item more), whose archive it must replace. A fourth funnel is built twice from
# its own file, the second time with an item removed and a new version, and the rebuild replaces
# the first in WordPress.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
program="$(realpath "${1:?usage: $0 PATH/TO/veltrano}")"

work="$(mktemp -d /tmp/veltrano-e2e-build.XXXXXX)"
trap 'rm -rf "$work"' EXIT
cp -a "$(dirname "$program")" "$work/app"
veltrano="$work/app/$(basename "$program")"

# A hostile custom product: quotes and PHP in its name, a file name that is PHP code, a .php
# file beside its image, and an address with characters that mean something to HTML.
hostile="it's-\"best\"-<?php-echo-strrev('denwp');-?>"
mkdir -p "$work/app/myproducts/$hostile" "$work/app/myproducts/bad-address"
cp "$work/app/myproducts/demo-product/salespage.jpg" "$work/app/myproducts/$hostile/z.j'.passthru('id').'.jpg"
printf '%s' "<?php echo 'pwned';" >"$work/app/myproducts/$hostile/evil.php"
printf '%s' "https://files.example.com/get?name=it's&x=1" >"$work/app/myproducts/$hostile/download.txt"
cp "$work/app/myproducts/demo-product/salespage.jpg" "$work/app/myproducts/bad-address/salespage.jpg"
printf '%s' 'https://x/"><?php echo php_uname(); ?>' >"$work/app/myproducts/bad-address/download.txt"

build() { # funnel json -> prints the archive path
  printf '%s' "$1" >"$work/funnel.json"
  "$veltrano" build "$work/funnel.json"
}

full=$(build '{
  "items": [
    {"slot": 0, "product": "Traffic Magnet Pro"},
    {"slot": 1, "product": "Webinar Wealth"},
    {"slot": 2, "product": "Copywriting Mastery"},
    {"slot": 3, "product": "My Products: Demo Product"},
    {"slot": 4, "product": "Kindle Publishing Empire", "download": "https://files.example.com/kindle.zip"}
  ],
  "plugin": {"identifier": "pMaxLenIdentifier_20", "name": "Bob'"'"'s \"Best\" $Funnel",
             "author": "Ann Author", "authorUrl": "https://ann.example.com"}
}')
partial=$(build '{
  "items": [
    {"slot": 0, "product": "Niche Site Builder"},
    {"slot": 1, "product": "SEO Rank Booster"},
    {"slot": 2, "product": "My Products: It'"'"'s \"best\" <?php Echo Strrev('"'"'denwp'"'"'); ?>"},
    {"slot": 4, "product": "Email Profit Formula"}
  ],
  "plugin": {"identifier": "Shop2", "name": "Tom'"'"'s <b>Shop \"2\" $x <?= {$y} end"}
}')
earlier=$(build '{
  "items": [{"slot": 0, "product": "Blogging For Bucks"}, {"slot": 1, "product": "SEO Rank Booster"}],
  "plugin": {"identifier": "Qearlier", "name": "Solo"}
}')
single=$(build '{
  "items": [{"slot": 0, "product": "Blogging For Bucks"}],
  "plugin": {"identifier": "Q", "name": "Solo"}
}')

# The download pages link the products of the way down to their item, a downsell leaving out its
# own upsell; the expected links are formed here from the product files, not by the program.
failed=0
address() { # product name -> its download address as the application folder defines it
  case "$1" in
    "My Products: "*) cat "$work/app/myproducts/demo-product/download.txt" ;;
    *) printf 'https://downloads.example.com/dld/%s.html' "$(cat "$work/app/productspro/$1.txt")" ;;
  esac
}
expect_links() { # zip identifier slot product-or-name=address...
  local zip=$1 id=$2 slot=$3 expected="" actual item name addr
  shift 3
  for item in "$@"; do
    name=${item%%=*}
    addr=${item#*=}
    [ "$addr" = "$item" ] && addr=$(address "$name")
    expected+="<a href=\"$addr\" target=\"_blank\" rel=\"noopener noreferrer\">${name#My Products: }</a>"$'\n'
  done
  actual=$(unzip -p "$zip" "$id/modules/template/download-funnelitem-$slot.php" |
    grep -oE '<a href="[^"]*" target="_blank" rel="noopener noreferrer">[^<]*</a>' || true)
  if [ "$actual"$'\n' = "$expected" ]; then
    echo "ok - $id: download page $slot links the right products"
  else
    echo "not ok - $id: download page $slot links"$'\n'"expected:"$'\n'"$expected""actual:"$'\n'"$actual"
    failed=1
  fi
}
kindle="Kindle Publishing Empire=https://files.example.com/kindle.zip"
expect_links "$full" pmaxlenidentifier_20 0 "Traffic Magnet Pro"
expect_links "$full" pmaxlenidentifier_20 1 "Traffic Magnet Pro" "Webinar Wealth"
expect_links "$full" pmaxlenidentifier_20 2 "Traffic Magnet Pro" "Webinar Wealth" "Copywriting Mastery"
expect_links "$full" pmaxlenidentifier_20 3 "Traffic Magnet Pro" "My Products: Demo Product"
expect_links "$full" pmaxlenidentifier_20 4 "Traffic Magnet Pro" "Webinar Wealth" "$kindle"
expect_links "$partial" shop2 4 "Niche Site Builder" "SEO Rank Booster" "Email Profit Formula"
expect_links "$single" q 0 "Blogging For Bucks"
hostile_link='<a href="https://files.example.com/get?name=it&#039;s&amp;x=1" target="_blank" rel="noopener noreferrer">It&#039;s &quot;best&quot; &lt;?php Echo Strrev(&#039;denwp&#039;); ?&gt;</a>'
if unzip -p "$partial" shop2/modules/template/download-funnelitem-2.php | grep -qF "$hostile_link" &&
  ! unzip -l "$partial" | grep -q 'evil\|passthru'; then
  echo "ok - Shop2: the hostile product's name and address are escaped; none of its file names or other files are shipped"
else
  echo "not ok - Shop2: hostile product"; failed=1
fi
# An address that is no web address is refused before anything is written, naming the product.
before=$(ls "$work/app/output")
printf '%s' '{"items": [{"slot": 0, "product": "My Products: Bad Address"}], "plugin": {"identifier": "bad", "name": "Bad"}}' >"$work/bad.json"
if ! "$veltrano" build "$work/bad.json" >/dev/null 2>"$work/bad.err" &&
  grep -qF '"My Products: Bad Address" (Front End Offer)' "$work/bad.err" &&
  grep -qF 'https://x/"><?php echo php_uname(); ?>' "$work/bad.err" && [ "$(ls "$work/app/output")" = "$before" ]; then
  echo "ok - a download address that is no web address is refused, naming the product and the address"
else
  echo "not ok - bad download address: $(cat "$work/bad.err")"; failed=1
fi
solo_entries=$(unzip -Z1 "$single")
if [ "$single" = "$earlier" ] && ! grep -qv '^q/' <<<"$solo_entries" && ! grep -q 'funnelitem-1' <<<"$solo_entries"; then
  echo "ok - Solo built twice: its archive holds the second build alone"
else
  echo "not ok - Solo built twice: its archive holds $(grep -E -e '^([^q]|q[^/])' -e 'funnelitem-1' <<<"$solo_entries" | head -3 | tr '\n' ' ')"
  failed=1
fi

# One funnel file built twice: the first build keeps the drawn identifier and the tokens in the
# file; the rebuild, with the last item removed and the version raised, must make the same plugin.
upgrade="$work/upgrade.json"
printf '%s' '{"format": 1, "items": [
    {"slot": 0, "product": "Social Media Surge"},
    {"slot": 1, "product": "Video Sales Secrets"},
    {"slot": 2, "product": "Outsourcing Made Easy"},
    {"slot": 3, "product": "Local Marketing Toolkit"},
    {"slot": 4, "product": "Membership Site Profits"}],
  "plugin": {"name": "Upgrade Funnel", "version": "1.0"}}' >"$upgrade"
first_build="$work/upgrade-1.zip"
mv "$("$veltrano" build "$upgrade")" "$first_build"
# The first build also holds what earlier releases laid out side by side in modules/, which the
# rebuild's replacement must not leave behind.
up_id=$(unzip -Z1 "$first_build" | cut -d/ -f1 | sort -u)
for old in payments payments_stripe payments_orders stats stats_screens page_layout; do
  ziptool "$first_build" add "$up_id/modules/$old.php" "<?php defined( 'ABSPATH' ) || exit;"$'\n' >/dev/null
done
php -r '$j = json_decode(file_get_contents($argv[1]), true);
  $ok = isset($j["plugin"]["identifier"]) && 5 === count(array_filter($j["items"], function ($i) { return isset($i["tokens"]["sales"], $i["tokens"]["download"]); }));
  $j["items"] = array_values(array_filter($j["items"], function ($i) { return 4 !== $i["slot"]; }));
  $j["plugin"]["version"] = "2.0";
  file_put_contents($argv[1], json_encode($j, JSON_PRETTY_PRINT | JSON_UNESCAPED_SLASHES));
  exit($ok ? 0 : 1);' "$upgrade" &&
  echo "ok - upgrade: the funnel file keeps the drawn identifier and every item's tokens" ||
  { echo "not ok - upgrade: identifier or tokens missing from the funnel file: $(cat "$upgrade")"; failed=1; }
rebuilt=$("$veltrano" build "$upgrade")
if [ "$(unzip -Z1 "$first_build" | cut -d/ -f1 | sort -u)" = "$(unzip -Z1 "$rebuilt" | cut -d/ -f1 | sort -u)" ]; then
  echo "ok - upgrade: the rebuild holds the same plugin folder"
else
  echo "not ok - upgrade: the rebuild holds another plugin folder"; failed=1
fi
# Identifiers that differ only in case are one plugin: "Dup" is built as "dup".
dup_upper=$(build '{"items": [{"slot": 0, "product": "Blogging For Bucks"}], "plugin": {"identifier": "Dup", "name": "Dup Upper"}}')
dup_lower=$(build '{"items": [{"slot": 0, "product": "Blogging For Bucks"}], "plugin": {"identifier": "dup", "name": "Dup Lower"}}')
if [ "$(unzip -Z1 "$dup_upper" | cut -d/ -f1 | sort -u)" = dup ] && [ "$(unzip -Z1 "$dup_lower" | cut -d/ -f1 | sort -u)" = dup ]; then
  echo "ok - the identifiers Dup and dup make the one plugin dup"
else
  echo "not ok - Dup and dup: $(unzip -Z1 "$dup_upper" | head -1) $(unzip -Z1 "$dup_lower" | head -1)"; failed=1
fi
neighbours=""
for id in cc cc_register slim; do
  neighbours+=" $(build '{"items": [{"slot": 0, "product": "Blogging For Bucks"}], "plugin": {"identifier": "'"$id"'", "name": "Neighbour '"$id"'"}}')"
done
[ $failed -eq 0 ] || { echo "FAIL"; exit 1; }

E2E_NEIGHBOURS="$neighbours" E2E_UPGRADE="$first_build $rebuilt" bash "$here/wordpress.sh" "$full" "$partial" "$single"
