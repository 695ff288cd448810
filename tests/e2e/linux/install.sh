#!/bin/bash
# Installation: cmake --install lays out the binary, a valid menu entry and the icon; the .deb declares its runtime packages.
# Usage: install.sh BUILD_DIR
set -euo pipefail
build=${1:?build directory}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/vortrane share/applications/vortrane.desktop share/icons/hicolor/scalable/apps/vortrane.svg; do
  [ -f "$prefix/$file" ] || fail "not installed: $file"
done
[ -x "$prefix/bin/vortrane" ] || fail "the installed game is not executable"
entry="$prefix/share/applications/vortrane.desktop"
grep -qx 'Categories=Game;ArcadeGame;' "$entry" || fail "menu entry without the game categories"
grep -qx 'Exec=vortrane' "$entry" || fail "menu entry does not start vortrane"
if command -v desktop-file-validate >/dev/null 2>&1; then
  desktop-file-validate "$entry" || fail "desktop-file-validate rejects the menu entry"
else
  echo "note: desktop-file-validate not installed (desktop-file-utils); entry not validated"
fi

if command -v cpack >/dev/null 2>&1 && command -v dpkg-deb >/dev/null 2>&1 && command -v dpkg-shlibdeps >/dev/null 2>&1; then
  (cd "$prefix" && cpack --config "$build/CPackConfig.cmake" -B "$prefix/package" >"$prefix/cpack.log" 2>&1) ||
    fail "cpack failed: $(cat "$prefix/cpack.log")"
  deb=$(ls "$prefix"/package/vortrane_*.deb 2>/dev/null | head -n1)
  [ -n "$deb" ] || fail "cpack made no vortrane_*.deb"
  depends=$(dpkg-deb -f "$deb" Depends)
  for package in libqt6widgets6 libqt6gui6 qt6-qpa-plugins fonts-vlgothic; do
    grep -q "$package" <<<"$depends" || fail "the package does not depend on $package: $depends"
  done
  contents=$(dpkg-deb -c "$deb")
  for file in ./usr/bin/vortrane ./usr/share/applications/vortrane.desktop ./usr/share/icons/hicolor/scalable/apps/vortrane.svg; do
    grep -q " $file\$" <<<"$contents" || fail "the package lacks $file"
  done
else
  echo "note: cpack or dpkg tools missing; the package was not checked"
fi
echo "PASS: install"
