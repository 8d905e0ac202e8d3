#!/usr/bin/env bash
# Builds the plug-in and the stand-in game (build/win32) and runs the game under
# Wine twice: without the plug-in and with it beside the game. Shows the
# plug-in's log and the two reports of the game side by side, keeps the frame
# the game showed in each run, renders the pictures of README.md into docs/
# (scripts/pictures.sh) and builds the release (scripts/release.sh).
#   bash scripts/demo.sh                  the plug-in's default INI
#   bash scripts/demo.sh 2560x1080        the INI with that resolution
#   bash scripts/demo.sh --old-patch      the game as an old on-disk patch left it
set -euo pipefail
source "$(dirname "$0")/lib.sh"

resolution=""
game_variant=stock
for arg in "$@"; do
  case "$arg" in
    --old-patch) game_variant=old-patch ;;
    [0-9]*x[0-9]*)
      if [[ ! "$arg" =~ ^[0-9]+x[0-9]+$ ]]; then
        echo "demo: the resolution must read WIDTHxHEIGHT, for example 1920x1080" >&2; exit 2
      fi
      resolution=$arg ;;
    *) echo "usage: bash scripts/demo.sh [WIDTHxHEIGHT] [--old-patch]" >&2; exit 2 ;;
  esac
done

install_deps

build=build/win32   # the Windows tree
mkdir -p "$build"
echo "=== building the plug-in and the stand-in game in $build"
cmake --preset win32 >"$build.configure.log" 2>&1 || { cat "$build.configure.log"; exit 1; }
cmake --build --preset win32 -j "$(nproc)" --target lkm_plugin lark_engine larkmere_game larkmere_game_old_patch

if ! bash scripts/wine-usable.sh; then
  echo "demo: built in $build, but the game cannot run on this machine" >&2
  exit 1
fi
use_wine_prefix "$build"

game=$build/game/Larkmere.exe
[ "$game_variant" = old-patch ] && game=$build/game/old-patch/Larkmere.exe
demo=$build/demo
rm -rf "$demo"
mkdir -p "$demo/without" "$demo/with"
for folder in without with; do
  cp "$game" "$build/game/LarkEngine.dll" "$demo/$folder/"
done
cp "$build/plugin/Larkmere.WidescreenFix.asi" "$build/plugin/Larkmere.WidescreenFix.ini" "$demo/with/"
ini=$demo/with/Larkmere.WidescreenFix.ini
if [ -n "$resolution" ]; then
  sed -i -e "s/^ResX=.*/ResX=${resolution%x*}/" -e "s/^ResY=.*/ResY=${resolution#*x}/" "$ini"
fi

# The automatic resolution asks the display; without one, a virtual one serves.
run=()
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
  run=(xvfb-run -a -s "-screen 0 1920x1080x24")
fi
play() {
  if ! (cd "$demo/$1" && "${run[@]}" wine Larkmere.exe --frame frame.png --frame-width 1280 --frame-caption \
          >report.json 2>wine.log); then
    cat "$demo/$1/wine.log" >&2
    echo "demo: the game failed in $demo/$1" >&2
    exit 1
  fi
  stop_wine
}
echo "=== running the $game_variant game without the plug-in"
play without
echo "=== running the $game_variant game with the plug-in ($(grep -E '^Res[XY]=' "$ini" | tr '\n' ' '))"
play with

echo
echo "=== $demo/with/Larkmere.WidescreenFix.log"
cat "$demo/with/Larkmere.WidescreenFix.log" 2>/dev/null || echo "(no log was written)"
echo
echo "=== the game's report (* marks a difference; floats with their bit patterns)"
cmake -DBEFORE="$demo/without/report.json" -DAFTER="$demo/with/report.json" -P game/tools/report_table.cmake
echo
echo "The full reports: $demo/without/report.json and $demo/with/report.json"
echo "The frames the game showed: $demo/without/frame.png and $demo/with/frame.png"
echo
bash scripts/pictures.sh docs

# The compatibility page, built beside the Windows tree.
echo
echo "=== the compatibility page"
cmake --preset web >build/web.configure.log 2>&1 || { cat build/web.configure.log; exit 1; }
cmake --build --preset web -j "$(nproc)" >build/web.build.log 2>&1 || { cat build/web.build.log; exit 1; }
echo "Open $root/build/web/index.html in a browser, or serve it with: bash scripts/web.sh"
echo
bash scripts/release.sh
