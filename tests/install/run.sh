#!/usr/bin/env bash
# Installs Veltrano into a scratch root as a user or a package would, checks the layout, and
# runs the installed program as a normal user (nobody) with a fresh home: a build from the
# command line, and under Xvfb a build through the window by the keyboard alone.
# Nothing may change outside that user's XDG folders and documents.
#
#   tests/install/run.sh cmake BUILD_DIR   cmake --install into a scratch prefix
#   tests/install/run.sh deb BUILD_DIR     the .deb of cpack, unpacked with dpkg -x
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
mode=${1:?usage: $0 cmake|deb BUILD_DIR}
build="$(realpath "${2:?usage: $0 cmake|deb BUILD_DIR}")"

# Running the program as another user takes root.
[ "$(id -u)" -eq 0 ] || { echo "SKIP: needs root to run the program as nobody"; exit 77; }

work="$(mktemp -d /tmp/veltrano-install.XXXXXX)"
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

case "$mode" in
  cmake)
    prefix="$work/prefix"
    cmake --install "$build" --prefix "$prefix" >/dev/null
    ;;
  deb)
    cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >/dev/null
    deb=$(ls "$work"/package/veltrano_*_*.deb)
    depends=$(dpkg-deb -f "$deb" Depends)
    for library in libqt6widgets6 libqt6gui6 libqt6core6 libzip4; do
      grep -q "$library" <<<"$depends" || fail "the package does not depend on $library: $depends"
    done
    # apt would find every dependency on this system (a dry run: nothing is installed).
    apt-get install -s "$deb" >"$work/apt.log" 2>&1 || fail "apt cannot install the package: $(tail -3 "$work/apt.log")"
    dpkg -x "$deb" "$work/root"
    prefix="$work/root/usr"
    ;;
  *) fail "unknown mode $mode" ;;
esac

# The layout: the program, its read-only data, the desktop files and the icons; nothing else.
id=io.veltrano.Veltrano
expected=(
  bin/veltrano
  share/veltrano/productspro/trafficmagnetpro/salespage.gif
  "share/veltrano/productspro/Traffic Magnet Pro.txt"
  share/veltrano/templates/salespage-funnelitem.php
  share/veltrano/plugintemplate/plugin.php
  share/veltrano/myproducts/demo-product/download.txt
  share/applications/$id.desktop
  share/metainfo/$id.metainfo.xml
  share/mime/packages/$id.xml
  share/icons/hicolor/scalable/apps/$id.svg
)
for size in 16 24 32 48 64 128 256; do expected+=("share/icons/hicolor/${size}x${size}/apps/$id.png"); done
for file in "${expected[@]}"; do
  [ -f "$prefix/$file" ] || fail "missing $file"
done
[ -x "$prefix/bin/veltrano" ] || fail "bin/veltrano is not executable"
top=$(cd "$prefix" && ls -A | tr '\n' ' ')
[ "$top" = "bin share " ] || fail "unexpected entries at the prefix: $top"
[ "$(ls -A "$prefix/share" | tr '\n' ' ')" = "applications icons metainfo mime veltrano " ] ||
  fail "unexpected entries in share: $(ls -A "$prefix/share")"
[ "$(ls -A "$prefix/share/veltrano" | tr '\n' ' ')" = "myproducts plugintemplate productspro templates " ] ||
  fail "unexpected entries in share/veltrano: $(ls -A "$prefix/share/veltrano")"
for size in 16 256; do
  png="$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png"
  [ "$(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4, $7*256+$8}')" = "$size $size" ] ||
    fail "the ${size}px icon is not ${size}x${size}"
done

# A normal user with a fresh home runs the installed program.
chmod -R a+rX "$work"
home="$work/home"
mkdir -p "$home/tmp"
chown -R nobody "$home"
snapshot() { (cd "$prefix" && find . -printf '%p %s %m %T@\n' | sort); }
snapshot >"$work/prefix.before"
# The file manager the program asks for is a stand-in that notes the folder it was to show: the
# desktop's handler of folders (xdg-mime) is a file manager's desktop file, xdg-open the opener.
mkdir -p "$work/stand-in" "$home/.local/share/applications"
printf '#!/bin/sh\nprintf "%%s\\n" "$1" >>"%s/opened"\n' "$work" >"$work/stand-in/xdg-open"
printf '#!/bin/sh\necho files.desktop\n' >"$work/stand-in/xdg-mime"
chmod 755 "$work/stand-in/xdg-open" "$work/stand-in/xdg-mime"
printf '[Desktop Entry]\nType=Application\nName=Files\nExec=true\nCategories=System;FileManager;\n' \
  >"$home/.local/share/applications/files.desktop"
chown -R nobody "$home/.local"
touch "$work/opened"
chmod 666 "$work/opened"
as_user() {
  runuser -u nobody -- env -i HOME="$home" PATH="$work/stand-in:/usr/bin:/bin" TMPDIR="$home/tmp" \
    LANG=C.UTF-8 "$@"
}

# Complete with its tokens, so the build writes nothing into this file, which is root's: the
# written-files check below is measured against its time.
cat >"$home/funnel.json" <<'JSON'
{ "items": [ { "slot": 0, "product": "Traffic Magnet Pro",
               "tokens": { "sales": "spnip46j8ez00m9untdctzrbv1", "download": "dld9206fzp4dnp0hd9w6cv2nd9e" } },
             { "slot": 1, "product": "My Products: Demo Product",
               "tokens": { "sales": "spex0ttpnimv5seoyy89js2e6z", "download": "dld3xd4oxj0s9usqmci9vmc8k7y" } } ],
  "plugin": { "identifier": "pinstalled", "name": "Installed Plugin", "author": "Ann" } }
JSON
archive=$(as_user "$prefix/bin/veltrano" build "$home/funnel.json") || fail "the command-line build failed"
[ "$archive" = "$home/Documents/Veltrano/installedplugin.zip" ] || fail "archive in the wrong place: $archive"
# (Listings are read whole: grep -q would close the pipe early.)
listing=$(unzip -Z1 "$archive")
grep -qx "pinstalled/modules/template/funnelitem-1.jpg" <<<"$listing" ||
  fail "the archive lacks the demo product's image"

if command -v xvfb-run >/dev/null && command -v xdotool >/dev/null; then
  as_user xvfb-run -a -s "-screen 0 1366x768x24 -noreset" bash "$here/drive-window.sh" "$prefix/bin/veltrano" ||
    fail "the build through the window failed"
  [ -f "$home/Documents/Veltrano/myplugin.zip" ] || fail "the window's build left no archive"
  grep -qx "$home/Documents/Veltrano" "$work/opened" ||
    fail "the output folder shown was not ~/Documents/Veltrano: $(cat "$work/opened")"
  listing=$(unzip -Z1 "$home/Documents/Veltrano/myplugin.zip")
  grep -q "/modules/template/salespage-funnelitem-0.php$" <<<"$listing" ||
    fail "the window's archive lacks the front end's sales page"
else
  echo "SKIP: the window build needs xvfb-run and xdotool"
fi

# Written: only the user's folders of Veltrano (its settings file among them), and nothing in the
# installed tree.
snapshot | diff "$work/prefix.before" - >/dev/null || fail "the installed tree changed"
written=$(cd "$home" && find . -path ./tmp -prune -o -type f -newer "$home/funnel.json" -print | sort |
  grep -v -e '^./.local/share/veltrano/' -e '^./.cache/veltrano/' -e '^./Documents/Veltrano/' \
    -e '^./.config/Veltrano/Veltrano.conf$' || true)
[ -z "$written" ] || fail "files written outside Veltrano's folders: $written"
[ -f "$home/.local/share/veltrano/myproducts/demo-product/salespage.jpg" ] || fail "no demo product copied"
echo "PASS: $mode install in $prefix, built $(ls "$home/Documents/Veltrano" | tr '\n' ' ')"
