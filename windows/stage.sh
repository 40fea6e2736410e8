#!/usr/bin/env bash
# Lays out what the Windows packages hold, from the application folder of a Windows build:
#   <out>/Veltrano-<version>-win64/   the portable folder (with portable.txt, empty temp and output)
#   <out>/Veltrano-<version>-win64.zip  that folder packed
#   <out>/installed/                  what the installer installs: no marker, no work folders
#   <out>/uninstall-files.nsh         the uninstaller's list of exactly those files
# usage: windows/stage.sh APP_FOLDER OUT_FOLDER VERSION
set -euo pipefail
app=$1 out=$2 version=$3
portable=Veltrano-$version-win64

rm -rf "$out"
mkdir -p "$out/installed"
(cd "$app" && tar --exclude=./temp --exclude=./output --exclude=./portable.txt --exclude=./build.lock \
  --exclude=./veltrano.ini -cf - .) | tar -xf - -C "$out/installed"
# Debug information stays in the build folder; the packages get a third of the size.
find "$out/installed" -name '*.dll' -o -name '*.exe' | xargs x86_64-w64-mingw32-strip --strip-unneeded
cp -a "$out/installed" "$out/$portable"
mkdir "$out/$portable/temp" "$out/$portable/output"
: >"$out/$portable/portable.txt"
(cd "$out" && cmake -E tar cf "$portable.zip" --format=zip "$portable")

# Files first, then folders deepest first, so every RMDir finds its folder empty.
{
  (cd "$out/installed" && find . -type f | sort | sed 's|^\./||; s|/|\\|g; s|.*|  Delete "$INSTDIR\\&"|')
  (cd "$out/installed" && find . -mindepth 1 -type d | sort -r | sed 's|^\./||; s|/|\\|g; s|.*|  RMDir "$INSTDIR\\&"|')
} >"$out/uninstall-files.nsh"
