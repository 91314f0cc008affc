#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a few seconds each.
set -euo pipefail
build=$1
seconds=${2:-20}
shopt -s nullglob
status=0
for exe in "$build"/fuzz/fuzz_*; do
  [ -x "$exe" ] || continue
  name=$(basename "$exe")
  corpus="$build/fuzz/corpus/$name"
  mkdir -p "$corpus"
  seeds="$(dirname "$0")/corpus/$name"
  echo "fuzz: $name for ${seconds}s"
  args=("$corpus")
  [ -d "$seeds" ] && args+=("$seeds")
  if ! ZUN_HEADLESS=1 "$exe" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
       -print_final_stats=0 "${args[@]}" > "$build/fuzz/$name.log" 2>&1; then
    echo "fuzz: $name FAILED"; tail -n 60 "$build/fuzz/$name.log"; status=1
  fi
done
exit $status
