#!/usr/bin/env bash
# Checks the format of the sources, builds every tree (CMakePresets.json) and
# runs every test:
#   build/native      - engine, portable plug-in logic and inspector, by GCC
#   build/asan        - the same by clang, under AddressSanitizer and UndefinedBehaviorSanitizer
#   build/win32       - the plug-in, the stand-in game and every test, by GCC, run under Wine
#   build/win32-clang - every Windows source compiled by clang, warnings fatal; nothing linked or run
#   build/release     - the release archives, built twice and compared byte for byte
#   build/web         - the compatibility page (Emscripten), driven in headless Chromium
#                       against the native inspector on the Windows tree's stand-in game
# Then the start-up's memory goals, the page's weight and a minute of fuzzing
# per target. Only correctness and deterministic counts decide; the time ratios
# are scripts/bench.sh's. The last line sums up every test and step: passed,
# failed, and skipped (each skip is named with its reason just above it).
set -uo pipefail
source "$(dirname "$0")/lib.sh"
bash scripts/install-deps.sh || exit 1

jobs=$(nproc)
passed=0
failed=0
skipped=0
skips=()
# Where Wine cannot run, the Windows trees are built and their tests counted as skipped.
windows_runs=1
no_windows=$(bash scripts/wine-usable.sh 2>&1) || windows_runs=0

# step NAME COMMAND...: one check that passes or fails as a whole.
step() {
  local name=$1
  shift
  echo "=== $name"
  if "$@"; then passed=$((passed + 1)); else echo "$name FAILED"; failed=$((failed + 1)); fi
}

# skip COUNT WHAT REASON: COUNT checks that did not run.
skip() {
  echo "=== $2: NOT RUN: $3"
  skipped=$((skipped + $1))
  skips+=("$1 skipped ($2): $3")
}

# build_tree NAME: configures and builds the preset NAME; a failure counts once.
build_tree() {
  local name=$1 dir=build/$1
  echo "=== $name: configure and build"
  if ! cmake --preset "$name" >"$dir.configure.log" 2>&1; then
    cat "$dir.configure.log"; echo "configure of $name failed"; failed=$((failed + 1)); return 1
  fi
  if ! cmake --build --preset "$name" -j "$jobs"; then
    echo "build of $name failed"; failed=$((failed + 1)); return 1
  fi
}

# test_tree NAME: builds the tree and runs its tests, each counted.
test_tree() {
  local name=$1
  build_tree "$name" || return
  if [[ $name == win32 && $windows_runs == 0 ]]; then
    local count
    count=$(ctest --preset "$name" -N | sed -nE 's/^Total Tests: ([0-9]+)$/\1/p')
    skip "${count:-0}" "$name tests" "$no_windows"
    return
  fi
  echo "=== $name: tests"
  local log=build/$name.ctest.log line
  ctest --preset "$name" -j "$jobs" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$line" ]; then
    echo "$name: no test result"; failed=$((failed + 1)); return
  fi
  local f t
  f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  t=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")
  passed=$((passed + t - f))
  failed=$((failed + f))
  [ "$rc" -eq 0 ] || [ "$f" -gt 0 ] || failed=$((failed + 1))
}

# fuzz: clean targets pass, findings fail, targets whose fuzzer could not start are skipped.
fuzz() {
  local log=build/fuzz-smoke.log
  bash scripts/fuzz-smoke.sh 2>&1 | tee "$log"
  local line
  line=$(grep -E '^fuzz-smoke: [0-9]+ clean, [0-9]+ with findings, [0-9]+ could not start$' "$log" | tail -n 1)
  if [ -z "$line" ]; then
    echo "fuzz: no result"; failed=$((failed + 1)); return
  fi
  read -r clean found unstarted < <(sed -E 's/[^0-9]+/ /g' <<<"$line")
  passed=$((passed + clean))
  failed=$((failed + found))
  if [ "$unstarted" -gt 0 ]; then
    skip "$unstarted" "fuzz targets" "$(grep -E '^fuzz [a-z]+: could not start' "$log" | tr '\n' ' ')"
  fi
}

mkdir -p build
step format bash scripts/format-check.sh
test_tree native
test_tree asan
test_tree win32
build_tree win32-clang && passed=$((passed + 1))
step "release, built twice" bash scripts/reproduce-release.sh
if [ "$windows_runs" -eq 0 ]; then
  count=$(ctest --preset release -N | sed -nE 's/^Total Tests: ([0-9]+)$/\1/p')
  skip "${count:-0}" "release checks" "$no_windows"
fi
test_tree web
# The start-up's memory goals on the large stand-in game (its time is printed, not judged).
if [ "$windows_runs" -eq 1 ]; then
  step "start-up memory" bash scripts/startup-cost.sh
else
  skip 1 "start-up memory" "$no_windows"
fi
step "page weight" /usr/bin/python3 bench/web_bench.py --weight-only build/web \
  build/native/tools/inspector/lkm-inspect build/win32/game/large/Larkmere.exe
fuzz

# Nothing of Wine stays running.
stop_wine build/win32

for line in "${skips[@]}"; do echo "$line"; done
echo "summary: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
