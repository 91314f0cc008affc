#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for the given seconds each, up to
# PARALLEL targets at once; prints each target's runs and corpus size, and
# the tail of the log of any target that found something. An input that
# takes longer than FUZZ_TIMEOUT seconds (one by default) is a finding.
# Usage: run.sh BUILD [SECONDS] [PARALLEL]
set -euo pipefail
. "$(dirname "$0")/../scripts/stoppable.sh"
build=$1
seconds=${2:-20}
parallel=${3:-1}
timeout=${FUZZ_TIMEOUT:-1}
seeds_root="$(cd "$(dirname "$0")" && pwd)/corpus"
shopt -s nullglob

run_one() {
  local exe=$1 name corpus seeds rss=2048
  name=$(basename "$exe")
  corpus="$build/fuzz/corpus/$name"
  seeds="$seeds_root/$name"
  mkdir -p "$corpus"
  local args=("$corpus")
  [ -d "$seeds" ] && args+=("$seeds")
  local log="$build/fuzz/$name.log"
  if ZUN_HEADLESS=1 ASAN_OPTIONS="${ASAN_OPTIONS:-quarantine_size_mb=64}" "$exe" -max_total_time="$seconds" \
       -rss_limit_mb=$rss -timeout="$timeout" -print_final_stats=1 \
       -artifact_prefix="$build/fuzz/$name-" "${args[@]}" < /dev/null > "$log" 2>&1; then
    local runs slowest
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
    slowest=$(grep -o 'stat::slowest_unit_time_sec: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
    echo "fuzz: $name ok: $runs runs, slowest input ${slowest}s, corpus $(ls "$corpus" | wc -l) files"
  else
    echo "fuzz: $name FAILED"
    tail -n 60 "$log"
    return 1
  fi
}

rm -f "$build"/fuzz/*.failed
for exe in "$build"/fuzz/fuzz_*; do
  [ -x "$exe" ] && [ -f "$exe" ] || continue
  while ! stopping && [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do wait -n || true; done
  stopping && break
  echo "fuzz: $(basename "$exe") for ${seconds}s"
  ( run_one "$exe" || touch "$build/fuzz/$(basename "$exe").failed" ) &
done
wait_jobs
exit_when_stopped fuzz
failed=("$build"/fuzz/*.failed)
[ "${#failed[@]}" -eq 0 ]
