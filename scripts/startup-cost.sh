#!/usr/bin/env bash
# Start-up cost benchmark on a large stand-in game, after the Windows tree is
# built: the time of InitializeASI against one cold memcpy of the game image
# (median of the runs), the time of each phase of the start-up when the
# plug-in is its benchmark build, and the committed memory around the start-up.
# Prints the numbers; fails only when the memory goal is missed.
#   bash scripts/startup-cost.sh [RUNS] [GAME] [PLUGIN]
# GAME defaults to the 32 MiB stand-in (build/win32/game/large/Larkmere.exe),
# PLUGIN to the plug-in that ships (build/win32/plugin/Larkmere.WidescreenFix.asi).
set -uo pipefail
source "$(dirname "$0")/lib.sh"
tree=$root/build/win32
use_wine_prefix build/win32
game=${2:-$tree/game/large/Larkmere.exe}
cmake -DWINE=wine -DGAME="$game" -DENGINE="$tree/game/LarkEngine.dll" \
  -DPLUGIN="${3:-$tree/plugin/Larkmere.WidescreenFix.asi}" -DINI="$root/game/tests/ini/1920x1080.ini" \
  -DWORK="$tree/startup-cost/$(basename "$(dirname "$game")")" -DRUNS="${1:-7}" \
  -P "$root/game/tools/startup_cost.cmake"
