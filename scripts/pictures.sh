#!/usr/bin/env bash
# Renders the pictures shown at the top of README.md: the stand-in game under
# Wine writes the frame it shows after its engine ran, scaled to 1280 pixels
# across with a caption line, into docs/ (or DIR):
#   4x3-stock.png             1920x1440, no plug-in
#   21x9-stretched.png        2560x1080 set in the game itself, no plug-in
#   21x9-plugin.png           2560x1080 with the plug-in
#   triple-screen-plugin.png  5760x1080 (three 1920x1080 screens) with the plug-in
#   bash scripts/pictures.sh [DIR]
set -euo pipefail
source "$(dirname "$0")/lib.sh"
out=${1:-docs}

build=build/win32   # the Windows tree
if [ ! -f "$build/CMakeCache.txt" ]; then
  install_deps
  mkdir -p "$build"
  cmake --preset win32 >"$build.configure.log" 2>&1 || { cat "$build.configure.log"; exit 1; }
fi
cmake --build --preset win32 -j "$(nproc)" --target lkm_plugin lark_engine larkmere_game >/dev/null

use_wine_prefix "$build"
mkdir -p "$out"

# picture NAME WIDTHxHEIGHT with|without SCREENS: the game's own video setting
# is WIDTHxHEIGHT; with the plug-in its INI asks for the same resolution.
picture() {
  local name=$1 resolution=$2 plugin=$3 screens=$4
  local folder=$build/pictures/$name
  rm -rf "$folder"
  mkdir -p "$folder"
  cp "$build/game/Larkmere.exe" "$build/game/LarkEngine.dll" "$folder/"
  if [ "$plugin" = with ]; then
    cp "$build/plugin/Larkmere.WidescreenFix.asi" "$folder/"
    sed -e "s/^ResX=.*/ResX=${resolution%x*}/" -e "s/^ResY=.*/ResY=${resolution#*x}/" \
      "$build/plugin/Larkmere.WidescreenFix.ini" >"$folder/Larkmere.WidescreenFix.ini"
  fi
  if ! (cd "$folder" && wine Larkmere.exe --resolution "$resolution" --frame picture.png --frame-width 1280 \
          --frame-screens "$screens" --frame-caption >report.json 2>wine.log); then
    cat "$folder/wine.log" >&2
    echo "pictures: the game failed in $folder" >&2
    exit 1
  fi
  cp "$folder/picture.png" "$out/$name.png"
  echo "  $out/$name.png"
}

echo "=== the pictures of README.md, the frame the game shows, written to $out/:"
picture 4x3-stock 1920x1440 without 1
picture 21x9-stretched 2560x1080 without 1
picture 21x9-plugin 2560x1080 with 1
picture triple-screen-plugin 5760x1080 with 3
