#!/usr/bin/env bash
# Start-up cost benchmark on the large stand-in game (32 MiB of extra code),
# after the Windows tree is built: the time of InitializeASI against one cold
# memcpy of the game image (median of 7 runs) and the committed memory around
# the start-up. Prints the numbers; fails only when a memory goal is missed.
#   bash scripts/startup-cost.sh [RUNS]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tree=$root/build/win32
export WINEPREFIX=$tree/wineprefix WINEDEBUG=-all
test -f "$WINEPREFIX/system.reg" || wineboot -i >/dev/null 2>&1
cmake -DWINE=wine -DGAME="$tree/game/large/Larkmere.exe" -DENGINE="$tree/game/LarkEngine.dll" \
  -DPLUGIN="$tree/plugin/Larkmere.WidescreenFix.asi" -DINI="$root/game/tests/ini/1920x1080.ini" \
  -DWORK="$tree/startup-cost" -DRUNS="${1:-7}" -P "$root/game/tools/startup_cost.cmake"
status=$?
wineserver -k 2>/dev/null || true
exit $status
