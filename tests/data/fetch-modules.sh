#!/bin/sh
# Fetches real XM modules from Debian packages into a cache folder for the reference music tests.
# The modules are never committed; tests that need them skip when the folder is empty.
#
# Usage: tests/data/fetch-modules.sh [CACHE_DIR]
# CACHE_DIR defaults to $GLIMMER_MODULE_CACHE, else ~/.cache/glimmer-modules.
set -eu

cache="${1:-${GLIMMER_MODULE_CACHE:-$HOME/.cache/glimmer-modules}}"
packages="ballz-data vor rafkill-data solarwolf heroes-sound-tracks"

mkdir -p "$cache"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT INT TERM

cd "$work"
for p in $packages; do
  if ! apt-get download "$p" >/dev/null 2>&1; then
    echo "fetch-modules: could not download $p (run apt-get update first?)" >&2
    continue
  fi
done

found=0
for deb in ./*.deb; do
  [ -e "$deb" ] || continue
  dir="$work/unpack-$(basename "$deb" .deb)"
  mkdir -p "$dir"
  dpkg-deb -x "$deb" "$dir"
  pkg="$(dpkg-deb -f "$deb" Package)"
  # Modules from different packages may share a name: prefix each with its package.
  find "$dir" -type f -iname '*.xm' | while read -r f; do
    cp "$f" "$cache/$pkg-$(basename "$f")"
  done
done
found=$(find "$cache" -maxdepth 1 -type f -iname '*.xm' | wc -l)
echo "fetch-modules: $found modules in $cache"
