#!/usr/bin/env bash
# End-to-end test of generated funnel plugins in a real WordPress.
#
#   tests/e2e/wordpress.sh [PLUGIN.zip ...]
#
# Stands up MariaDB and WordPress (Debian's packages) on loopback in a
# temporary folder, installs each zip through WordPress's own plugin
# installer, activates it and checks the funnel it holds: every token's page,
# the images, the editor boxes, saving through the edit form, the save guards
# (nonce, capability, HTML filtering, autosave), the funnel statistics (counting
# under parallel requests, who is counted, the edit screen, reset), the default page, pretty
# addresses, that nothing logs a PHP error from a plugin file, and that the funnel pages and screens
# log no PHP message at all beyond the same requests with the plugin inactive, in the default theme
# and in a classic test theme of its own (themes/). E2E_WORDPRESS=DIR tests against another
# WordPress tree than Debian's /usr/share/wordpress (see README.md).
# Everything the checks need (identifier, name, tokens, links, images) is read
# from the zip itself. All zips go into the same WordPress, side by side.
#
# tests/e2e/run.sh builds the plugins with the program's own build command and
# hands them over.
#
# E2E_SCREENSHOTS=DIR also saves the first plugin's front-end sales page and its last item's download page as
# seen in headless Chromium (installed on demand) to DIR/sales-page.png and DIR/download-page.png, and the
# statistics box of a funnel's edit screen to DIR/funnel-statistics.png.
# E2E_UPGRADE="FIRST.zip REBUILT.zip" also replaces a plugin with its rebuild (see below).
# KEEP=1 keeps the temporary folder (its path is printed) for inspection.
# Exits non-zero unless every check passed.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=../support/wp-stack.sh
. "$here/../support/wp-stack.sh"
started=$SECONDS
work="$(mktemp -d /tmp/veltrano-e2e.XXXXXX)"
db_pidfile="$work/db.group" # wp_stack_db's
web_pidfile="$work/web.group"
stripe_pidfile="$work/stripe.group"
paypal_pidfile="$work/paypal.group"
results="$work/results.txt"
: >"$results"

stop_group() { wp_stack_stop_group "$@"; }

cleanup() {
  wp_stack_db_wait || true
  stop_group "$web_pidfile"
  stop_group "$stripe_pidfile"
  stop_group "$paypal_pidfile"
  stop_group "$db_pidfile"
  if [ "${KEEP:-0}" = 1 ]; then echo "kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

log() { echo "== $*"; }
ok() { echo "ok - $*" | tee -a "$results"; }
not_ok() { echo "not ok - $*" | tee -a "$results"; }
check() { # description command...: records the command's success as a check
  local d="$1"; shift
  if "$@"; then ok "$d"; else not_ok "$d"; fi
}
die() { not_ok "$*"; summary; }

summary() {
  local passed failed
  passed=$(grep -c '^ok ' "$results" || true)
  failed=$(grep -c '^not ok ' "$results" || true)
  echo
  if [ "$failed" -ne 0 ]; then
    echo "Failed checks:"
    grep '^not ok ' "$results" | sed 's/^/  /'
  fi
  echo "time: $((SECONDS - started)) s"
  echo "e2e: $passed passed, $failed failed"
  if [ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]; then echo "PASS"; exit 0; fi
  echo "FAIL"; exit 1
}

# Runs one step of the PHP side and records its ok / not ok lines; a PHP
# process that dies (a fatal error, say) fails the step.
wp_php() {
  local rc=0
  E2E_WP="$wp" E2E_URL="$url" php -d display_errors=stderr "$here/wp-e2e.php" "$@" \
    >"$work/step.out" 2>"$work/step.err" || rc=$?
  grep -E '^(not )?ok ' "$work/step.out" | tee -a "$results" || true
  if [ $rc -ne 0 ] && ! grep -q '^not ok ' "$work/step.out"; then
    not_ok "php step '$1' ended with status $rc: $(tail -c 600 "$work/step.err" "$work/step.out" | tr '\n' ' ')"
  fi
  return 0
}

# Log lines written since the last call that name a plugin file or report a
# fatal error. WordPress 6.1's own PHP 8.2 deprecations name core files only
# and are left aside.
log_offset_debug=0
log_offset_web=0
check_logs() { # description
  local what="$1" bad
  touch "$wp/wp-content/debug.log"
  # The server log also lists every request: only its PHP messages count.
  bad="$( { tail -c +$((log_offset_debug + 1)) "$wp/wp-content/debug.log"; \
            tail -c +$((log_offset_web + 1)) "$work/web.log" | grep -E 'PHP [A-Za-z ]+:' || true; } \
          | grep -E '/wp-content/plugins/|PHP (Fatal|Parse) error|Uncaught' || true)"
  log_offset_debug=$(stat -c %s "$wp/wp-content/debug.log")
  log_offset_web=$(stat -c %s "$work/web.log")
  if [ -z "$bad" ]; then ok "no PHP error or notice from a plugin file: $what"
  else not_ok "PHP messages from plugin files ($what): $(echo "$bad" | head -5)"; fi
}

# --- arguments ---------------------------------------------------------------
zips=()
if [ $# -eq 0 ]; then
  echo "usage: $0 PLUGIN.zip [MORE.zip ...] (tests/e2e/run.sh builds them with veltrano)" >&2
  exit 2
else
  for z in "$@"; do
    [ -f "$z" ] || { echo "no such file: $z" >&2; exit 2; }
    zips+=("$(realpath "$z")")
  done
fi

# The database starts meanwhile: the checks and the site's files don't need it.
wp_stack_db_start "$work"

# --- static checks of each zip ------------------------------------------------
idents=()
for i in "${!zips[@]}"; do
  zip="${zips[$i]}"
  dest="$work/unpacked/$i"
  mkdir -p "$dest"
  unzip -q "$zip" -d "$dest" || die "$(basename "$zip"): not a readable zip"
  tops=("$dest"/*)
  [ ${#tops[@]} -eq 1 ] && [ -d "${tops[0]}" ] || die "$(basename "$zip"): one top folder expected"
  id="$(basename "${tops[0]}")"
  idents+=("$id")
  dir="${tops[0]}"
  log "zip $(basename "$zip"): plugin $id"
  check "$id: identifier is 1..20 letters, digits, underscores, starting with a letter" \
    grep -qxE '[A-Za-z][A-Za-z0-9_]{0,19}' <<<"$id"
  for f in plugin.php modules/cpt.php modules/cpt_template_loader.php modules/template/template.php; do
    check "$id: $f present" test -f "$dir/$f"
  done
  lint_errors="$(find "$dir" -name '*.php' -print0 | xargs -0 -n1 php -l 2>&1 | grep -v '^No syntax errors' || true)"
  check "$id: every PHP file passes php -l${lint_errors:+: $lint_errors}" test -z "$lint_errors"
  leftovers="$(grep -rlE '#(prefix|fn|posttype|slug|SWITCHENTRIES|FUNNELMETABOXES|header|menuname|IMAGE|DOWNLOAD_LINKS|PLUGINID|FUNNELITEM[A-Z_]*|FUNNELCODE|DOWNLOADCODE)#' "$dir" || true)"
  check "$id: no template token left unfilled${leftovers:+: $leftovers}" test -z "$leftovers"
  check "$id: plugin.php starts with the plugin header" \
    bash -c 'head -c 5 "$1" | grep -qx "<?php" && grep -q "^ \* Plugin Name: " "$1"' _ "$dir/plugin.php"
  for f in readme.txt uninstall.php assets/funnel-pages.css languages/index.php; do
    check "$id: $f present" test -f "$dir/$f"
  done
  # Line feeds throughout; only the generated switch code keeps its CR LF.
  crlf="$(cd "$dir" && grep -rlI $'\r' . | grep -vx './modules/template/template.php' || true)"
  check "$id: text files end their lines in LF only${crlf:+: $crlf}" test -z "$crlf"
  bare="$(grep -rnE "(include|require)(_once)?[ (]+'" "$dir" || true)"
  check "$id: every file is included by its full path${bare:+: $bare}" test -z "$bare"
done

# --- WordPress ------------------------------------------------------------------
log "setting up WordPress"
wp_tree="${E2E_WORDPRESS:-/usr/share/wordpress}"
port="$(php -r '$s = stream_socket_server("tcp://127.0.0.1:0"); echo substr(strrchr(stream_socket_get_name($s, false), ":"), 1);')"
url="http://127.0.0.1:$port"
# The payment providers' stand-ins (stripe-standin.php, paypal-standin.php), which the plugins
# reach through the constants only wp-config.php can set.
free_port() { php -r '$s = stream_socket_server("tcp://127.0.0.1:0"); echo substr(strrchr(stream_socket_get_name($s, false), ":"), 1);'; }
stripe_port="$(free_port)"
paypal_port="$(free_port)"
wp_stack_wordpress "$work" "$wp_tree" "$url" <<EOF || die "E2E_WORDPRESS=$wp_stack_error"
define( 'VELTRANO_STRIPE_API_BASE', 'http://127.0.0.1:$stripe_port' );
define( 'VELTRANO_PAYPAL_API_BASE', 'http://127.0.0.1:$paypal_port' );
EOF
# The tree's own themes (its default theme among them); Debian's package keeps them elsewhere.
for t in "$wp_tree"/wp-content/themes/twenty* /usr/share/wordpress/wp-content/themes/twentytwentythree /var/lib/wordpress/wp-content/themes/twentytwentythree; do
  [ -d "$t" ] && [ ! -e "$wp/wp-content/themes/$(basename "$t")" ] && cp -rL "$t" "$wp/wp-content/themes/"
done
cp -r "$here/themes/e2e-classic" "$wp/wp-content/themes/"
log "WordPress $(php -r 'include $argv[1]; echo $wp_version;' "$wp/wp-includes/version.php") from $wp_tree"
log "waiting for MariaDB"
wp_stack_db_wait || die "$wp_stack_error"
export E2E_STRIPE_STATE="$work/stripe" E2E_STRIPE_KEY="sk_test_e2e$(php -r 'echo bin2hex(random_bytes(12));')" E2E_MAIL="$work/mail.jsonl"
export E2E_PAYPAL_STATE="$work/paypal" E2E_PAYPAL_CLIENT="AeE2e$(php -r 'echo bin2hex(random_bytes(16));')" \
  E2E_PAYPAL_SECRET="EPe2e$(php -r 'echo bin2hex(random_bytes(16));')" E2E_PAYPAL_WEBHOOK_ID="WH$(php -r 'echo strtoupper(bin2hex(random_bytes(8)));')"
export E2E_PAYPAL_BASE="http://127.0.0.1:$paypal_port" E2E_STRIPE_BASE="http://127.0.0.1:$stripe_port"
mkdir -p "$E2E_STRIPE_STATE" "$E2E_PAYPAL_STATE"
: >"$E2E_MAIL"

# A must-use plugin that marks every page where WordPress's page hooks run, as
# analytics and consent plugins hook in; last of each hook, after core's own
# footer scripts, whichever release prints which of them there.
mkdir -p "$wp/wp-content/mu-plugins"
cat >"$wp/wp-content/mu-plugins/e2e-markers.php" <<'EOF'
<?php
foreach ( array( 'wp_head', 'wp_body_open', 'wp_footer' ) as $e2e_hook ) {
	add_action(
		$e2e_hook,
		static function () use ( $e2e_hook ) {
			echo "<!-- e2e-marker:$e2e_hook -->\n";
		},
		PHP_INT_MAX
	);
}
EOF

# A post type of the site's own whose slug is a plugin's identifier ("q"): the funnels must leave
# its addresses alone.
cat >"$wp/wp-content/mu-plugins/e2e-thing.php" <<'EOF'
<?php
add_action(
	'init',
	static function () {
		register_post_type( 'e2e_thing', array( 'public' => true, 'label' => 'Things', 'rewrite' => array( 'slug' => 'q', 'with_front' => false ) ) );
	}
);
EOF

# The test site is offline: WordPress.org's update services answer "nothing new" here, so core's
# update checks, which run whenever their time has come, log no warning of their own.
cat >"$wp/wp-content/mu-plugins/e2e-offline.php" <<'EOF'
<?php
add_filter(
	'pre_http_request',
	static function ( $pre, $args, $url ) {
		if ( 'api.wordpress.org' !== wp_parse_url( $url, PHP_URL_HOST ) ) {
			return $pre;
		}
		return array(
			'headers'  => array(),
			'body'     => '{}',
			'response' => array( 'code' => 200, 'message' => 'OK' ),
			'cookies'  => array(),
			'filename' => null,
		);
	},
	10,
	3
);
EOF

# On request (?e2e-colours=ID), a page ends in a list of the computed colours of plugin ID's card
# and buy buttons, which a headless browser then reads from the page.
cat >"$wp/wp-content/mu-plugins/e2e-colours.php" <<'EOF'
<?php
if ( isset( $_GET['e2e-colours'] ) ) {
	add_action(
		'wp_footer',
		static function () {
			$id  = sanitize_key( $_GET['e2e-colours'] );
			$buy = ".$id-buy";
			$sel = wp_json_encode( ".$id-card, $buy a, $buy button, $buy input[type=\"submit\"]" );
			echo "<script>(function () { var out = []; document.querySelectorAll($sel).forEach(function (e) { var s = getComputedStyle(e); out.push([e.tagName.toLowerCase(), s.backgroundColor, s.color]); }); var p = document.createElement('pre'); p.id = 'e2e-colours'; p.textContent = JSON.stringify(out); document.body.appendChild(p); })();</script>\n";
		}
	);
}
EOF

# On request (header X-E2E-Queries), a page lists the database queries it ran, so the test can
# tell what a page costs.
cat >"$wp/wp-content/mu-plugins/e2e-queries.php" <<'EOF'
<?php
if ( isset( $_SERVER['HTTP_X_E2E_QUERIES'] ) ) {
	define( 'SAVEQUERIES', true );
	add_action(
		'shutdown',
		static function () {
			global $wpdb;
			echo "\n<!-- e2e-queries:" . base64_encode( wp_json_encode( wp_list_pluck( (array) $wpdb->queries, 0 ) ) ) . " -->\n";
		},
		PHP_INT_MAX
	);
}
EOF

# The site's mail goes to a file of the test, one JSON object a line, instead of out.
cat >"$wp/wp-content/mu-plugins/e2e-mail.php" <<EOF
<?php
add_filter(
	'pre_wp_mail',
	static function ( \$short, \$atts ) {
		file_put_contents( '$E2E_MAIL', wp_json_encode( \$atts ) . "\\n", FILE_APPEND | LOCK_EX );
		return true;
	},
	10,
	2
);
EOF

log "Stripe stand-in on 127.0.0.1:$stripe_port"
PHP_CLI_SERVER_WORKERS=4 setsid bash -c 'echo $$ >"$1"; shift; exec "$@"' _ "$stripe_pidfile" \
  php -S "127.0.0.1:$stripe_port" "$here/stripe-standin.php" >>"$work/stripe.log" 2>&1 &
log "PayPal stand-in on 127.0.0.1:$paypal_port"
PHP_CLI_SERVER_WORKERS=4 setsid bash -c 'echo $$ >"$1"; shift; exec "$@"' _ "$paypal_pidfile" \
  php -S "127.0.0.1:$paypal_port" "$here/paypal-standin.php" >>"$work/paypal.log" 2>&1 &

log "serving $url"
# Several workers, so that parallel requests really run side by side. The plugins are replaced by
# the test's own PHP processes, which can't clear the server's opcode cache as WordPress does in
# the process that uploads: the server looks at every file's time on every request instead.
export PHP_CLI_SERVER_WORKERS=8
: >"$work/web.log"
setsid bash -c 'echo $$ >"$1"; shift; exec "$@"' _ "$web_pidfile" \
  php -d opcache.revalidate_freq=0 -S "127.0.0.1:$port" -t "$wp" >>"$work/web.log" 2>&1 &
for _ in $(seq 100); do
  curl -s -o /dev/null "$url/wp-includes/images/blank.gif" && break
  sleep 0.1
done
curl -s -o /dev/null "$url/wp-includes/images/blank.gif" || die "the PHP web server did not start: $(tail -5 "$work/web.log")"

wp_php install
check_logs "WordPress install"

# --- each plugin ------------------------------------------------------------------
for i in "${!zips[@]}"; do
  id="${idents[$i]}"
  dir="$work/unpacked/$i/$id"
  log "plugin $id: install and activate"
  wp_php plugin-install "${zips[$i]}" "$id"
  check_logs "$id install and activation"
  log "plugin $id: pages, editor boxes, saving"
  wp_php check "$dir"
  wp_php autosave "$dir"
  wp_php safety "$dir"
  log "plugin $id: statistics"
  wp_php stats "$dir"
  check_logs "$id pages and saving"
done

log "plugin ${idents[0]}: payment check with Stripe and PayPal"
wp_php payments "$work/unpacked/0/${idents[0]}"
check_logs "${idents[0]} payment check"
log "the buyer's road through each plugin's funnel"
for i in "${!idents[@]}"; do
  wp_php road "$work/unpacked/$i/${idents[$i]}"
done
check_logs "the road"
log "plugin ${idents[0]}: split tests"
wp_php split "$work/unpacked/0/${idents[0]}"
check_logs "split tests"

# --- every PHP message against the plugin-inactive baseline -------------------------------------
# The same funnel pages and screens are requested with the plugin active and inactive, in the
# site's default theme and in a classic theme without title support; every PHP message written
# meanwhile counts, from any file, so a core notice the plugin causes shows too.
log_lines() { # PHP messages written since log_mark, without their times, one a line
  { tail -c +$((mark_debug + 1)) "$wp/wp-content/debug.log"; tail -c +$((mark_web + 1)) "$work/web.log" | grep -E 'PHP [A-Za-z ]+:' || true; } |
    sed -E 's/^\[[^]]*\] //' | sort
}
log_mark() {
  touch "$wp/wp-content/debug.log"
  mark_debug=$(stat -c %s "$wp/wp-content/debug.log")
  mark_web=$(stat -c %s "$work/web.log")
}
default_theme="$(E2E_WP="$wp" E2E_URL="$url" php "$here/wp-e2e.php" theme)"
for i in "${!zips[@]}"; do
  id="${idents[$i]}"
  dir="$work/unpacked/$i/$id"
  for theme in "$default_theme" e2e-classic; do
    log "plugin $id: PHP messages in $theme against the plugin inactive"
    wp_php theme "$theme"
    log_mark
    wp_php requests "$dir" "$work/requests-$id.txt"
    log_lines >"$work/messages-active.txt"
    wp_php set-active "$dir" 0
    log_mark
    wp_php requests "$dir" "$work/requests-$id.txt"
    log_lines >"$work/messages-inactive.txt"
    wp_php set-active "$dir" 1
    extra="$(comm -23 "$work/messages-active.txt" "$work/messages-inactive.txt")"
    check "$id: no PHP message in $theme's funnel pages and screens beyond the plugin-inactive baseline ($(wc -l <"$work/messages-inactive.txt") there)${extra:+: $(head -c 600 <<<"$extra")}" test -z "$extra"
  done
  wp_php theme "$default_theme"
  wp_php forget-checked "$dir"
done
log_mark

# The buy button's colours are the plugin's, as a browser computes them, in both themes (the
# classic one styles buttons and links with rules more specific than a plugin's classes).
for theme in "$default_theme" e2e-classic; do
  log "plugin ${idents[0]}: buy button colours in $theme"
  wp_php theme "$theme"
  wp_php colours "$work/unpacked/0/${idents[0]}" "$work"
done
wp_php theme "$default_theme"

# The funnel's edit screen, laid out by a browser at a desktop width and a narrow one.
log "plugin ${idents[0]}: the edit screen's layout"
wp_php edit-screen "$work/unpacked/0/${idents[0]}" "$work"

# Each item's sales copy, in both themes and both layouts.
log "plugin ${idents[0]}: sales copy in each theme"
for theme in "$default_theme" e2e-classic; do
  wp_php theme "$theme"
  wp_php copy "$work/unpacked/0/${idents[0]}"
done
wp_php theme "$default_theme"
check_logs "the sales copy"

# --- plugins that could meet ---------------------------------------------------------------------
# E2E_NEIGHBOURS="A.zip B.zip ...": plugins whose identifiers nest or whose old table name is
# another plugin's; active together, then deleted one by one.
if [ -n "${E2E_NEIGHBOURS:-}" ]; then
  log "neighbours: $E2E_NEIGHBOURS"
  pairs=()
  for zip in $E2E_NEIGHBOURS; do
    d="$work/neighbours/$(basename "$zip" .zip)"
    mkdir -p "$d" && unzip -q "$zip" -d "$d" || die "neighbours: $zip is not readable"
    pairs+=("$zip" "$(find "$d" -mindepth 1 -maxdepth 1 -type d)")
  done
  wp_php neighbours "${pairs[@]}"
  check_logs "neighbours"
fi

# --- a rebuilt funnel replaces its plugin -------------------------------------------------------
# E2E_UPGRADE="FIRST.zip REBUILT.zip": one funnel file built twice, the second time with an item
# removed and a new version. The rebuild goes in over the first through WordPress's own
# upload-and-replace path, and nothing the seller entered may be lost.
if [ -n "${E2E_UPGRADE:-}" ]; then
  read -r up_old up_new <<<"$E2E_UPGRADE"
  mkdir -p "$work/upgrade/old" "$work/upgrade/new"
  { unzip -q "$up_old" -d "$work/upgrade/old" && unzip -q "$up_new" -d "$work/upgrade/new"; } ||
    die "upgrade: the two zips are not readable"
  up_id="$(basename "$(find "$work/upgrade/old" -mindepth 1 -maxdepth 1 -type d)")"
  check "$up_id: the rebuild holds the same plugin folder" test -d "$work/upgrade/new/$up_id"
  log "plugin $up_id: install, fill in, replace with its rebuild"
  wp_php plugin-install "$up_old" "$up_id"
  wp_php upgrade-fill "$work/upgrade/old/$up_id"
  check_logs "$up_id first build"
  wp_php upgrade-replace "$up_new" "$up_id"
  wp_php upgrade-check "$work/upgrade/old/$up_id" "$work/upgrade/new/$up_id"
  check_logs "$up_id replaced by its rebuild"
fi

# Pretty addresses: a plugin activated while they are on must serve its pages
# at once (activation refreshes the rewrite rules).
for i in "${!zips[@]}"; do
  id="${idents[$i]}"
  dir="$work/unpacked/$i/$id"
  log "plugin $id: pretty addresses"
  wp_php reactivate-pretty "$dir"
  wp_php check-pretty "$dir"
  check_logs "$id with pretty addresses"
done

for i in "${!zips[@]}"; do
  id="${idents[$i]}"
  log "plugin $id: header, readme and translations"
  wp_php metadata "$work/unpacked/$i/$id"
  wp_php translations-setup "$work/unpacked/$i/$id"
  wp_php translations "$work/unpacked/$i/$id"
  check_logs "$id header, readme and translations"
done

if [ -n "${E2E_SCREENSHOTS:-}" ]; then
  log "screenshots into $E2E_SCREENSHOTS"
  dpkg-query -W -f='${Status}' chromium 2>/dev/null | grep -q "install ok installed" ||
    { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq chromium; }
  mkdir -p "$E2E_SCREENSHOTS"
  E2E_WP="$wp" E2E_URL="$url" php "$here/wp-e2e.php" showcase "$work/unpacked/0/${idents[0]}" >"$work/showcase.txt"
  shot() {
    chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
      --disable-component-update --disable-sync --user-data-dir="$work/chromium" --hide-scrollbars \
      --window-size="${3:-1000,760}" --screenshot="$2" "$1" >/dev/null 2>&1
  }
  # The sales pages whole: their copy, then the button.
  shot "$(sed -n 1p "$work/showcase.txt")" "$(realpath "$E2E_SCREENSHOTS")/sales-page.png" 1000,1500
  shot "$(sed -n 2p "$work/showcase.txt")" "$(realpath "$E2E_SCREENSHOTS")/download-page.png"
  shot "$(sed -n 3p "$work/showcase.txt")" "$(realpath "$E2E_SCREENSHOTS")/sales-page-in-theme.png" 1000,1740
  E2E_WP="$wp" E2E_URL="$url" php "$here/wp-e2e.php" stats-showcase "$work/unpacked/0/${idents[0]}" "$work/statistics.html"
  shot "file://$work/statistics.html" "$(realpath "$E2E_SCREENSHOTS")/funnel-statistics.png" 1000,1240
  E2E_WP="$wp" E2E_URL="$url" php "$here/wp-e2e.php" split-showcase "$work/unpacked/0/${idents[0]}" "$work/split-tests.html"
  shot "file://$work/split-tests.html" "$(realpath "$E2E_SCREENSHOTS")/split-tests.png" 1280,1400
  E2E_WP="$wp" E2E_URL="$url" php "$here/wp-e2e.php" road-showcase "$work/unpacked/0/${idents[0]}" >"$work/road.txt"
  shot "$(sed -n 1p "$work/road.txt")" "$(realpath "$E2E_SCREENSHOTS")/offer-page.png" 1000,900
  shot "$(sed -n 2p "$work/road.txt")" "$(realpath "$E2E_SCREENSHOTS")/end-page.png"
  shot "$(sed -n 3p "$work/road.txt")" "$(realpath "$E2E_SCREENSHOTS")/offer-page-in-theme.png" 1000,1100
  shot "$(sed -n 4p "$work/road.txt")" "$(realpath "$E2E_SCREENSHOTS")/end-page-in-theme.png" 1000,1000
fi

# Last, as a site owner would: delete each plugin the Plugins screen's way.
for i in "${!zips[@]}"; do
  id="${idents[$i]}"
  next=""
  [ $((i + 1)) -lt ${#zips[@]} ] && next="$work/unpacked/$((i + 1))/${idents[$((i + 1))]}"
  log "plugin $id: uninstall"
  wp_php uninstall "$work/unpacked/$i/$id" $next
  check_logs "$id uninstall"
done

summary
