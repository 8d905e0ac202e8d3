#!/usr/bin/env bash
# Start-up cost benchmark on the large stand-in game (32 MiB of extra code),
# after the Windows tree is built: the time of InitializeASI against one cold
# memcpy of the game image (median of 7 runs) and the committed memory around
# the start-up. Prints the numbers; fails only when a memory goal is missed.
#   bash scripts/startup-cost.sh [RUNS]
set -uo pipefail
source "$(dirname "$0")/lib.sh"
tree=$root/build/win32
use_wine_prefix build/win32
cmake -DWINE=wine -DGAME="$tree/game/large/Larkmere.exe" -DENGINE="$tree/game/LarkEngine.dll" \
  -DPLUGIN="$tree/plugin/Larkmere.WidescreenFix.asi" -DINI="$root/game/tests/ini/1920x1080.ini" \
  -DWORK="$tree/startup-cost" -DRUNS="${1:-7}" -P "$root/game/tools/startup_cost.cmake"
