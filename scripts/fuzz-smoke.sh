#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (the fuzz preset, in build/fuzz) and
# runs each one from its committed corpus (which it replays first) within a
# total budget of wall time, two at a time, each for at least 20 s. Any
# finding fails the run; its input is left under build/fuzz/fuzz-artifacts/ and
# the log beside it names the property. A target whose fuzzer never started (no
# corpus read, no finding: the machine refused to run it) is named with the end
# of its log and counted apart; it fails the run as well. The last line reads
#   fuzz-smoke: C clean, F with findings, S could not start
#   FUZZ_BUDGET      seconds of wall time for all targets (default 60)
#   FUZZ_SECONDS     seconds per target instead (at least 20 either way)
set -uo pipefail
source "$(dirname "$0")/lib.sh"

budget=${FUZZ_BUDGET:-60}
dir=build/fuzz
parallel=$(nproc)
[ "$parallel" -gt 2 ] && parallel=2

mkdir -p "$dir"
echo "=== fuzz: configure and build (clang)"
if ! cmake --preset fuzz >"$dir.configure.log" 2>&1; then
  cat "$dir.configure.log"; echo "fuzz-smoke: configure failed"; exit 1
fi
if ! cmake --build --preset fuzz -j "$(nproc)" >"$dir.build.log" 2>&1; then
  tail -n 40 "$dir.build.log"; echo "fuzz-smoke: build failed"; exit 1
fi

# The targets, as the build lists them (fuzz/bodies.cmake).
mapfile -t targets <"$dir/fuzz/targets.txt"
# The budget shared out: rounds of `parallel` targets at a time.
rounds=$(( (${#targets[@]} + parallel - 1) / parallel ))
seconds=${FUZZ_SECONDS:-$((budget / (rounds > 0 ? rounds : 1)))}
[ "$seconds" -lt 20 ] && seconds=20
rm -rf "$dir/fuzz-work" "$dir/fuzz-artifacts"
mkdir -p "$dir/fuzz-artifacts"

run_target() {
  local t=$1 work=$dir/fuzz-work/$1
  mkdir -p "$work"
  "$dir/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
    -print_final_stats=1 -artifact_prefix="$dir/fuzz-artifacts/$t-" "$work" "fuzz/corpus/$t" \
    >"$dir/fuzz-$t.log" 2>&1
  echo $? >"$dir/fuzz-$t.rc"
}

echo "=== fuzz: ${#targets[@]} targets, ${seconds} s each, $parallel at a time"
running=0
for t in "${targets[@]}"; do
  run_target "$t" &
  running=$((running + 1))
  if [ "$running" -ge "$parallel" ]; then wait -n; running=$((running - 1)); fi
done
wait

clean=0
found=0
unstarted=0
for t in "${targets[@]}"; do
  log=$dir/fuzz-$t.log
  rc=$(cat "$dir/fuzz-$t.rc" 2>/dev/null || echo 1)
  runs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+).*/\1/p' "$log" | tail -n 1)
  cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -n 1)
  if [ "$rc" -eq 0 ] && ! ls "$dir/fuzz-artifacts/$t-"* >/dev/null 2>&1; then
    echo "fuzz $t: clean, ${runs:-0} executions, ${cov:-no coverage figures}"
    clean=$((clean + 1))
  elif ! grep -qE '^#[0-9]+[[:space:]]+INITED' "$log" && ! ls "$dir/fuzz-artifacts/$t-"* >/dev/null 2>&1; then
    echo "fuzz $t: could not start (exit $rc): $(tail -n 2 "$log" | tr '\n' ' ')"
    unstarted=$((unstarted + 1))
  else
    echo "fuzz $t: FINDING (exit $rc), log $log"
    grep -E 'property violated|ERROR: |SUMMARY|Test unit written' "$log" | head -n 8
    found=$((found + 1))
  fi
done
echo "fuzz-smoke: $clean clean, $found with findings, $unstarted could not start"
[ "$clean" -eq "${#targets[@]}" ]
