#!/usr/bin/env bash
# Builds what the benchmarks need (the native tree with its benchmarks, the
# Windows tree's plug-in and large stand-in game, the page) and measures, on
# this machine:
#   page / native       lkmCheck.inspect in headless Chromium against the native
#                       lkm-inspect on the 32 MiB stand-in (bench/web_bench.py)
#   start-up / memcpy   InitializeASI in the 32 MiB stand-in game under Wine
#                       against one cold memcpy of its image, with the time of
#                       each phase (scripts/startup-cost.sh, the plug-in's
#                       benchmark build); its memory there and on a 128 MiB one
#   find / memchr       Image::find for every signature against a memchr pass (bench/find_bench)
#   inspect / memchr    lkm::inspect against a memchr pass per search (bench/inspect_bench)
#   inspector memory    lkm-inspect's peak heap on large files (bench/inspector_memory_bench)
# Each figure is printed beside its goal; the exit status is 1 when one is
# missed. Times depend on the machine, so no test depends on them.
#   bash scripts/bench.sh
set -uo pipefail
source "$(dirname "$0")/lib.sh"
install_deps || exit 1

jobs=$(nproc)
out=build/bench
mkdir -p "$out"
missed=0
results=()

# result FIGURE VALUE GOAL VERDICT: one line of the closing table.
result() {
  results+=("$(printf '%-26s %-22s %-30s %s' "$1" "$2" "$3" "$4")")
  [ "$4" = MISSED ] && missed=$((missed + 1))
}

# at_most VALUE LIMIT: "met" or "MISSED".
at_most() { awk -v v="$1" -v l="$2" 'BEGIN { print (v != "" && v + 0 <= l + 0) ? "met" : "MISSED" }'; }

build() {
  local preset=$1
  shift
  echo "=== bench: build $preset"
  cmake --preset "$preset" >"build/$preset.configure.log" 2>&1 || { cat "build/$preset.configure.log"; exit 1; }
  cmake --build --preset "$preset" -j "$jobs" "$@" >"$out/$preset.build.log" 2>&1 ||
    { tail -n 40 "$out/$preset.build.log"; exit 1; }
}
build native --target lkm-inspect find_bench inspect_bench inspector_memory_bench
build win32 --target lkm_plugin lkm_plugin_phases lark_engine larkmere_game_large larkmere_game_huge
build web

echo "=== bench: page against native"
/usr/bin/python3 bench/web_bench.py build/web build/native/tools/inspector/lkm-inspect \
  build/win32/game/large/Larkmere.exe | tee "$out/web.log"
ratio=$(sed -nE 's/^ratio page \/ native: ([0-9.]+).*/\1/p' "$out/web.log")
result "page / native" "${ratio:-none}" "at most 1.5" "$(at_most "$ratio" 1.5)"
weight=$(sed -nE 's/^page weight: ([0-9]+) bytes.*/\1/p' "$out/web.log")
result "page weight" "${weight:-none} bytes" "at most 524288" "$(at_most "$weight" 524288)"

echo "=== bench: start-up against memcpy"
if reason=$(bash scripts/wine-usable.sh 2>&1); then
  bash scripts/startup-cost.sh 7 build/win32/game/large/Larkmere.exe \
    build/win32/plugin/phases/Larkmere.WidescreenFix.asi 2>&1 | tee "$out/startup.log"
  [ "${PIPESTATUS[0]}" -eq 0 ] && memory=met || memory=MISSED
  ratio=$(sed -nE 's/.*ratio ([0-9.]+) \(goal at most 2\).*/\1/p' "$out/startup.log")
  result "start-up / cold memcpy" "${ratio:-none}" "at most 2" "$(at_most "$ratio" 2)"
  result "start-up memory, 32 MiB" "7 runs" "peak commit +1 MiB" "$memory"
  bash scripts/startup-cost.sh 3 build/win32/game/huge/Larkmere.exe 2>&1 | tee "$out/startup-huge.log"
  [ "${PIPESTATUS[0]}" -eq 0 ] && memory=met || memory=MISSED
  result "start-up memory, 128 MiB" "3 runs" "peak commit +1 MiB" "$memory"
else
  result "start-up / cold memcpy" "not measured" "at most 2" "not measured: $reason"
fi

echo "=== bench: find against memchr"
build/native/bench/find_bench --benchmark_color=false | tee "$out/find.log"
ratio=$(sed -nE 's/.*real time: .*, ratio ([0-9.]+)$/\1/p' "$out/find.log")
result "find / memchr" "${ratio:-none}" "at most 0.5" "$(at_most "$ratio" 0.5)"

echo "=== bench: inspect against memchr"
build/native/bench/inspect_bench --benchmark_color=false | tee "$out/inspect.log"
read -r stock patched < <(sed -nE 's/.*real ratio: stock ([0-9.]+), earlier-patched ([0-9.]+) .*/\1 \2/p' "$out/inspect.log")
result "inspect / memchr, stock" "${stock:-none}" "at most 0.4" "$(at_most "${stock:-}" 0.4)"
result "inspect / memchr, patched" "${patched:-none}" "at most 0.4" "$(at_most "${patched:-}" 0.4)"

echo "=== bench: inspector memory"
build/native/bench/inspector_memory_bench | tee "$out/memory.log"
[ "${PIPESTATUS[0]}" -eq 0 ] && memory=met || memory=MISSED
heap=$(sed -nE 's/^run [0-9]+: peak heap ([0-9.]+) x SizeOfImage$/\1/p' "$out/memory.log" | sort -n | tail -n 1)
result "inspector peak heap" "${heap:-none} x image" "at most 1.2 x image" "$memory"

echo
printf '%-26s %-22s %-30s %s\n' figure value goal verdict
for line in "${results[@]}"; do echo "$line"; done
echo "bench: ${#results[@]} figures, $missed missed"
[ "$missed" -eq 0 ]
