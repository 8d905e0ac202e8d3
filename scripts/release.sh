#!/usr/bin/env bash
# Builds the release into build/release/: the player's archive, the tools
# archive and SHA256SUMS (read by `sha256sum -c`). The binaries come from a
# Windows tree of their own (build/release/tree, the `release` preset), built by
# GCC from mingw-w64, and the archives pass the release checks (names, line ends,
# size, version resource, imports, hardening flags) before their sums are written
# (where Wine can run).
# The same commit gives the same bytes whatever the folder, time, time zone,
# umask, locale and number of jobs; every date is SOURCE_DATE_EPOCH if set, else
# the commit's time.
#   bash scripts/release.sh [-jN] [--unchecked]
#     -jN          N jobs (default: every core)
#     --unchecked  no release checks, which run under Wine: for a second build
#                  that is compared byte for byte with a checked one
set -euo pipefail
source "$(dirname "$0")/lib.sh"

jobs=$(nproc)
checked=1
for arg in "$@"; do
  case "$arg" in
    -j[1-9]*) jobs=${arg#-j} ;;
    --unchecked) checked=0 ;;
    *) echo "usage: bash scripts/release.sh [-jN] [--unchecked]" >&2; exit 2 ;;
  esac
done

install_deps

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) || {
    echo "release: not a git checkout; set SOURCE_DATE_EPOCH to the commit's time" >&2; exit 1; }
fi
export SOURCE_DATE_EPOCH

out=build/release
tree=$out/tree
mkdir -p "$tree"
echo "=== release: configure and build $tree"
cmake --preset release >"$tree.configure.log" 2>&1 || { cat "$tree.configure.log"; exit 1; }
cmake --build --preset release -j "$jobs"
if [ "$checked" -eq 1 ] && ! reason=$(bash scripts/wine-usable.sh 2>&1); then
  echo "=== release: checks NOT RUN: $reason"
elif [ "$checked" -eq 1 ]; then
  echo "=== release: checks"
  ctest --preset release -j "$jobs"
  stop_wine "$tree"
fi

mapfile -t archives < <(cd "$tree/package" && ls -- *.zip | LC_ALL=C sort)
for archive in "${archives[@]}"; do
  cp "$tree/package/$archive" "$out/"
done
(cd "$out" && sha256sum "${archives[@]}" >SHA256SUMS)
echo "=== release in $out:"
cat "$out/SHA256SUMS"
