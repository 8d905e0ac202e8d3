#!/usr/bin/env bash
# Checks the format of the sources, builds every tree (CMakePresets.json) and
# runs every test:
#   build/native  - engine and portable plug-in logic, natively
#   build/asan    - the same under AddressSanitizer and UndefinedBehaviorSanitizer
#   build/win32   - the plug-in, the stand-in game and every test, run under Wine
#   build/win32-clang - the same built by clang, a second compiler
#   build/release - the release archives, built twice and compared byte for byte
#   build/web     - the compatibility page (Emscripten), driven in headless Chromium
#                   against the native inspector on the Windows tree's stand-in game
# The last line sums up the ctest results of all trees.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh || exit 1

jobs=$(nproc)
passed=0
failed=0
skipped=0
status=0
# Where Wine cannot run, the Windows trees are built and their tests counted as skipped.
windows_runs=1
no_windows=$(bash scripts/wine-usable.sh 2>&1) || windows_runs=0

run_tree() {
  local name=$1
  local dir=build/$name
  echo "=== $name: configure and build"
  if ! cmake --preset "$name" >"$dir.configure.log" 2>&1; then
    cat "$dir.configure.log"; echo "configure of $name failed"; status=1; failed=$((failed + 1)); return
  fi
  if ! cmake --build --preset "$name" -j "$jobs"; then
    echo "build of $name failed"; status=1; failed=$((failed + 1)); return
  fi
  if [[ $name == win32* && $windows_runs == 0 ]]; then
    local count
    count=$(ctest --preset "$name" -N | sed -nE 's/^Total Tests: ([0-9]+)$/\1/p')
    echo "=== $name: built; its ${count:-0} tests NOT RUN: $no_windows"
    skipped=$((skipped + ${count:-0}))
    return
  fi
  echo "=== $name: tests"
  local log=$dir.ctest.log
  ctest --preset "$name" -j "$jobs" 2>&1 | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  local line
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$line" ]; then
    status=1; failed=$((failed + 1)); return
  fi
  local f t
  f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  t=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")
  passed=$((passed + t - f))
  failed=$((failed + f))
}

mkdir -p build
echo "=== format"
bash scripts/format-check.sh || { status=1; failed=$((failed + 1)); }
run_tree native
run_tree asan
run_tree win32
run_tree win32-clang
echo "=== release, built twice"
bash scripts/reproduce-release.sh || { status=1; failed=$((failed + 1)); }
run_tree web
# The start-up cost on the large stand-in game: numbers printed, memory goals checked.
if [ "$windows_runs" -eq 1 ]; then
  echo "=== start-up cost"
  bash scripts/startup-cost.sh || { status=1; failed=$((failed + 1)); }
fi
# The page against the native inspector on the large stand-in game: speed and weight checked.
echo "=== page speed"
/usr/bin/python3 bench/web_bench.py build/web build/native/tools/inspector/lkm-inspect \
  build/win32/game/large/Larkmere.exe || { status=1; failed=$((failed + 1)); }
[ -x scripts/fuzz-smoke.sh ] && { bash scripts/fuzz-smoke.sh || { status=1; failed=$((failed + 1)); }; }

# Nothing of Wine stays running.
for tree in win32 win32-clang; do WINEPREFIX="$root/build/$tree/wineprefix" wineserver -k 2>/dev/null || true; done

[ "$failed" -eq 0 ] || status=1
if [ "$skipped" -eq 0 ]; then
  echo "summary: $passed passed, $failed failed"
else
  echo "summary: $passed passed, $failed failed, $skipped skipped"
fi
exit $status
