#!/usr/bin/env bash
# Runs plain builds of fuzz targets once over their seeds under valgrind:
# a read of uninitialised or freed memory, or a definite leak, fails.
# Usage: valgrind.sh DIR TARGET...   (DIR holds replay_TARGET executables)
set -euo pipefail
. "$(dirname "$0")/../scripts/stoppable.sh"
dir=$1
shift
seeds="$(cd "$(dirname "$0")" && pwd)/corpus"
command -v valgrind > /dev/null || { echo "valgrind: not installed (scripts/setup.sh installs it)"; exit 1; }
failed=0
for name in "$@"; do
  log=$(mktemp)
  valgrind --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite \
    --show-leak-kinds=definite --track-origins=yes \
    "$dir/replay_$name" "$seeds/$name" < /dev/null > "$log" 2>&1 &
  wait_job $!
  if stopping; then
    rm -f "$log"
    exit_when_stopped valgrind
  fi
  if [ "$job_status" = 0 ]; then
    echo "valgrind: $name: $(grep -o '^[0-9]* inputs' "$log"), $(grep -o 'ERROR SUMMARY: .*' "$log")"
  else
    echo "valgrind: $name FAILED"
    tail -n 80 "$log"
    failed=1
  fi
  rm -f "$log"
done
exit $failed
