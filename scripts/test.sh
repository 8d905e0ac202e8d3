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
# Then the start-up's memory goal, the page's weight and the fuzz smoke (every
# target replays its corpus and fuzzes, within a total budget). Only
# correctness and deterministic counts decide; the time ratios are
# scripts/bench.sh's. The closing lines give each stage's time and the total;
# the last one sums up every test and step: passed, failed, and skipped (each
# skip is named with its reason just above it).
#   bash scripts/test.sh             everything
#   bash scripts/test.sh --changed   only what the working tree's changes against
#                                    HEAD touch (the inner loop; see changed_trees)
set -uo pipefail
source "$(dirname "$0")/lib.sh"
install_deps || exit 1

only_changed=0
case "${1:-}" in
  "") ;;
  --changed) only_changed=1 ;;
  *) echo "usage: bash scripts/test.sh [--changed]" >&2; exit 2 ;;
esac

jobs=$(nproc)
passed=0
failed=0
skipped=0
skips=()
times=()
started=$SECONDS
# Where Wine cannot run, the Windows trees are built and their tests counted as skipped.
windows_runs=1
no_windows=$(bash scripts/wine-usable.sh 2>&1) || windows_runs=0

# timed NAME COMMAND...: runs the command and notes how long it took.
timed() {
  local name=$1 begin=$SECONDS
  shift
  "$@"
  local rc=$?
  times+=("$(printf '%-26s %4d s' "$name" $((SECONDS - begin)))")
  return $rc
}

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

# count_tests LOG: adds the passed and failed tests of a ctest log; a run
# without a result line, or one that failed outside its tests, fails once.
count_tests() {
  local name=$1 log=$2 rc=$3 line f t
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$line" ]; then
    echo "$name: no test result"; failed=$((failed + 1)); return
  fi
  f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  t=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")
  passed=$((passed + t - f))
  failed=$((failed + f))
  [ "$rc" -eq 0 ] || [ "$f" -gt 0 ] || failed=$((failed + 1))
}

# test_tree NAME: builds the tree and runs its tests, each counted.
test_tree() {
  local name=$1
  timed "$name build" build_tree "$name" || return
  if [[ $name == win32 && $windows_runs == 0 ]]; then
    local count
    count=$(ctest --preset "$name" -N | sed -nE 's/^Total Tests: ([0-9]+)$/\1/p')
    skip "${count:-0}" "$name tests" "$no_windows"
    return
  fi
  echo "=== $name: tests"
  local log=build/$name.ctest.log
  timed "$name tests" ctest --preset "$name" -j "$jobs" >"$log" 2>&1
  local rc=$?
  cat "$log"
  count_tests "$name" "$log" "$rc"
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

# changed_trees: the trees (and steps) that the working tree's changes against
# HEAD touch, one per line. Portable sources reach every tree; Windows-only
# ones, the stand-in game and the release texts the Windows trees; the page
# its own; the scripts and CMake files everything.
changed_trees() {
  local files
  files=$( (git diff --name-only HEAD; git ls-files --others --exclude-standard) | sort -u)
  [ -z "$files" ] && return
  local all="format native asan win32 win32-clang release web fuzz"
  while read -r f; do
    case $f in
      README.md | docs/*) echo native ;; # the texts' tests read them
      *.md) ;;
      engine/* | tools/*) echo "format native asan win32 win32-clang release web fuzz" ;;
      tests/support/* | tests/engine/* | tests/inspector/*) echo "format native asan win32 win32-clang web fuzz" ;;
      plugin/*_win32.cpp | windows/*) echo "format win32 win32-clang release" ;;
      tests/wine/* | game/*) echo "format win32 win32-clang" ;;
      plugin/*) echo "format native asan win32 win32-clang release web" ;;
      tests/plugin/*) echo "format native asan win32 win32-clang" ;;
      fuzz/*) echo "format native asan fuzz" ;;
      bench/*) echo "format native" ;;
      web/* | tests/web/*) echo "format web" ;;
      package/*) echo "native release" ;;
      tests/readme/* | tests/scripts/*) echo "native" ;;
      *) echo "$all" ;;
    esac
  done <<<"$files" | tr ' ' '\n' | sed '/^$/d' | sort -u
}

if [ "$only_changed" -eq 1 ]; then
  wanted=$(changed_trees)
  if [ -z "$wanted" ]; then
    echo "test: nothing changed against HEAD"
    echo "summary: 0 passed, 0 failed, 0 skipped"
    exit 0
  fi
  echo "=== changed: $(tr '\n' ' ' <<<"$wanted")"
else
  wanted=$(printf '%s\n' format native asan win32 win32-clang release web fuzz)
fi
want() { grep -qx "$1" <<<"$wanted"; }

mkdir -p build
want format && timed format step format bash scripts/format-check.sh
want native && test_tree native
want asan && test_tree asan
want win32 && test_tree win32
want win32-clang && timed "win32-clang build" build_tree win32-clang && passed=$((passed + 1))
if want release; then
  timed "release, built twice" step "release, built twice" bash scripts/reproduce-release.sh
  if [ "$windows_runs" -eq 0 ]; then
    count=$(ctest --preset release -N | sed -nE 's/^Total Tests: ([0-9]+)$/\1/p')
    skip "${count:-0}" "release checks" "$no_windows"
  fi
fi
want web && test_tree web
if want win32; then
  # The start-up's memory goal on the large stand-in game (its time is printed, not judged).
  if [ "$windows_runs" -eq 1 ]; then
    timed "start-up memory" step "start-up memory" bash scripts/startup-cost.sh
  else
    skip 1 "start-up memory" "$no_windows"
  fi
fi
if want web; then
  timed "page weight" step "page weight" /usr/bin/python3 bench/web_bench.py --weight-only build/web \
    build/native/tools/inspector/lkm-inspect build/win32/game/large/Larkmere.exe
fi
want fuzz && timed fuzz fuzz

# Nothing of Wine stays running.
stop_wine build/win32

echo
echo "stage                      time"
for line in "${times[@]}"; do echo "$line"; done
printf '%-26s %4d s\n' total $((SECONDS - started))
for line in "${skips[@]}"; do echo "$line"; done
echo "summary: $passed passed, $failed failed, $skipped skipped"
# A whole run that checked nothing has gone wrong, whatever it counted.
if [ "$only_changed" -eq 0 ] && [ "$passed" -eq 0 ]; then
  echo "test: no check ran"
  exit 1
fi
[ "$failed" -eq 0 ]
