#!/usr/bin/env bash
# Tests the Windows build under Wine, each part in a scratch Wine prefix of its own:
#   1. the core and window test programs (ctest of the Windows build, every test under Wine with
#      the offscreen platform; Wine itself needs a display for the windows Qt makes internally);
#   2. `veltrano.exe build` on funnel files whose identifier and tokens are fixed: the archives
#      hold the same files with the same bytes as the Linux program's builds of the same files,
#      and they pass the WordPress end-to-end test (tests/e2e/wordpress.sh);
#   3. the installer, installed and uninstalled silently: the installed files, the Start menu
#      entry, the Apps & features entry, the program started from the entry's target, and
#      nothing left afterwards.
#
#   tests/windows/run.sh WINDOWS_BUILD_DIR LINUX_BUILD_DIR SDK_DIR
#
# WINDOWS_UNIT=0 leaves out the test programs, WINDOWS_E2E=0 the WordPress part. Exits non-zero unless every check passed.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
win_build="$(realpath "${1:?usage: $0 WINDOWS_BUILD_DIR LINUX_BUILD_DIR SDK_DIR}")"
linux_build="$(realpath "${2:?}")"
sdk="$(realpath "${3:?}")"
version=$(sed -n 's/^project(Veltrano VERSION \([0-9.]*\).*/\1/p' "$here/../../CMakeLists.txt")

work="$(mktemp -d /tmp/veltrano-windows.XXXXXX)"
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
export WINEDEBUG=-all
# No Mono or Gecko: none of this needs them, and their installers would ask.
export WINEDLLOVERRIDES="mscoree=;mshtml="
failed=0
ok() { echo "ok - $*"; }
not_ok() { echo "not ok - $*"; failed=1; }
winpath() { echo "Z:${1//\//\\}"; }

new_prefix() { # name: a fresh prefix, made ready before the first program runs
  export WINEPREFIX="$work/$1"
  wineboot -i >/dev/null 2>&1
  wineserver -w
}

# --- 1. the test programs -------------------------------------------------------------------
if [ "${WINDOWS_UNIT:-1}" != 0 ]; then
new_prefix tests
if (cd "$win_build" &&
  WINEPATH="$(winpath "$sdk/bin");$(winpath "$win_build/app")" WINEQT_PLUGIN_PATH="$(winpath "$sdk/plugins")" \
    xvfb-run -a ctest --output-on-failure --timeout 300 -j 2 --repeat until-pass:2 >"$work/ctest.log" 2>&1); then
  ok "core and window tests under Wine: $(grep -E 'tests passed' "$work/ctest.log")"
  # Under Wine on a loaded machine a test now and then fails once and passes when run again
  # (seen with tst_concurrentbuilds); it is named here instead of failing the stage.
  retried=$(grep -E '\*\*\*(Failed|Timeout)' "$work/ctest.log" | sed -E 's/.*Test +#[0-9]+: ([^ ]+).*/\1/' | sort -u | tr '\n' ' ' || true)
  [ -z "$retried" ] || echo "# passed on its second run under Wine: $retried"
else
  grep -E "tests passed|\*\*\*Failed|Failed|Timeout" "$work/ctest.log" | head -20
  not_ok "core and window tests under Wine (log: kept below)"
  tail -80 "$work/ctest.log"
fi
wineserver -k || true
fi

# --- 2. the same funnel built by both programs ----------------------------------------------
new_prefix build
cp -a "$win_build/app" "$work/win-app"
cp -a "$linux_build/app" "$work/linux-app"
rm -rf "$work"/{win,linux}-app/output/* "$work"/{win,linux}-app/temp/*
token() { printf '%s%s' "$1" "$(printf '%s' "$2" | sha256sum | cut -c1-32)"; }
funnel() { # file identifier name item...: items as slot=product
  local file=$1 id=$2 name=$3 items="" item
  shift 3
  for item in "$@"; do
    items+="${items:+,}{\"slot\": ${item%%=*}, \"product\": \"${item#*=}\", \"tokens\": {\"sales\": \"$(token sp "sales $id$item")\", \"download\": \"$(token dld "download $id$item")\"}}"
  done
  printf '{"format": 1, "items": [%s], "plugin": {"identifier": "%s", "name": "%s", "author": "Ann Author"}}' \
    "$items" "$id" "$name" >"$file"
}
funnel "$work/full.json" pWindowsFull 'Windows: \"Full\" <Funnel>?' 0="Traffic Magnet Pro" 1="Webinar Wealth" \
  2="Copywriting Mastery" 3="My Products: Demo Product" 4="Kindle Publishing Empire"
funnel "$work/single.json" Qsingle "Solo" 0="Blogging For Bucks"
for f in full single; do
  cp "$work/$f.json" "$work/$f-linux.json"
  linux_zip=$("$work/linux-app/veltrano" build "$work/$f-linux.json")
  win_zip=$(cd "$work" && wine "$work/win-app/veltrano.exe" build "$(winpath "$work/$f.json")" | tr -d '\r') ||
    { not_ok "$f: veltrano.exe build failed: $win_zip"; continue; }
  win_zip_unix=$(winepath -u "$win_zip" 2>/dev/null)
  if [ "$(basename "$win_zip_unix")" != "$(basename "$linux_zip")" ]; then
    not_ok "$f: archive names differ: $(basename "$win_zip_unix") (Windows), $(basename "$linux_zip") (Linux)"
    continue
  fi
  mkdir -p "$work/cmp-$f/win" "$work/cmp-$f/linux"
  unzip -q "$win_zip_unix" -d "$work/cmp-$f/win"
  unzip -q "$linux_zip" -d "$work/cmp-$f/linux"
  entries=$(unzip -Z1 "$linux_zip" | wc -l)
  if [ "$(unzip -Z1 "$win_zip_unix" | sort)" = "$(unzip -Z1 "$linux_zip" | sort)" ] &&
    diff -r "$work/cmp-$f/win" "$work/cmp-$f/linux" >"$work/diff-$f.txt"; then
    ok "$f: the Windows archive $(basename "$win_zip_unix") holds the Linux build's $entries entries, byte for byte"
  else
    not_ok "$f: Windows and Linux archives differ: $(head -5 "$work/diff-$f.txt")"
  fi
  cp "$win_zip_unix" "$work/windows-$f.zip"
done
wineserver -k || true

if [ "${WINDOWS_E2E:-1}" != 0 ]; then
  if bash "$here/../e2e/wordpress.sh" "$work"/windows-full.zip "$work"/windows-single.zip >"$work/e2e.log" 2>&1; then
    ok "WordPress installs and serves the archives veltrano.exe built ($(grep -c '^ok' "$work/e2e.log") checks)"
  else
    grep '^not ok' "$work/e2e.log" | head -10
    not_ok "WordPress end-to-end test of the Windows archives"
  fi
fi

# --- 3. the installer -----------------------------------------------------------------------
new_prefix install
setup="$win_build/Veltrano-$version-setup.exe"
wine "$setup" /S
wineserver -w
drive_c="$WINEPREFIX/drive_c"
installed="$drive_c/Program Files/Veltrano"
menu="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Veltrano.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Veltrano'
missing=""
for f in veltrano.exe uninstall.exe Qt6Core.dll Qt6Widgets.dll libzip.dll platforms/qwindows.dll \
  styles/qwindowsvistastyle.dll productspro templates plugintemplate myproducts/demo-product; do
  [ -e "$installed/$f" ] || missing+=" $f"
done
[ -z "$missing" ] && ok "the installer puts the program and its data in Program Files" ||
  not_ok "installed files missing:$missing"
[ ! -e "$installed/portable.txt" ] && ok "an installed program carries no portable marker" ||
  not_ok "portable.txt was installed"
[ -f "$menu" ] && grep -qa "veltrano.exe" "$menu" && ok "Start menu entry points at veltrano.exe" ||
  not_ok "Start menu entry missing: $menu"
uninstall=$(wine reg query "$key" /v QuietUninstallString 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p' || true)
[ -n "$uninstall" ] && ok "Apps & features entry: $uninstall" || not_ok "no uninstall entry under $key"

# The entry's target, started as the Start menu would, with a command so that it ends by itself.
funnel "$work/installed.json" pInstalled "Installed" 0="Blogging For Bucks"
out=$(cd "$work" && wine "$installed/veltrano.exe" build "$(winpath "$work/installed.json")" | tr -d '\r') &&
  [ -f "$(winepath -u "$out" 2>/dev/null)" ] && ok "the installed program builds: $out" ||
  not_ok "the installed program failed to build: $out"
case "$out" in
  *"Program Files"*) not_ok "the installed program wrote into its own folder: $out" ;;
esac

wine "$installed/uninstall.exe" /S || not_ok "the uninstaller ended with status $?"
wineserver -w || true
# The uninstaller copies itself to the temporary folder and removes the program from there.
sleep 2
wineserver -w || true
left=$(find "$installed" 2>/dev/null | head -5 || true)
[ -z "$left" ] && ok "uninstalling removes the program folder" || not_ok "left after uninstalling: $left"
[ ! -e "$menu" ] && ok "uninstalling removes the Start menu entry" || not_ok "Start menu entry left"
wine reg query "$key" >/dev/null 2>&1 && not_ok "uninstall entry left in the registry" ||
  ok "uninstalling removes the Apps & features entry"

exit $failed
