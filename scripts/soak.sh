#!/usr/bin/env bash
# A long headless run of the demo on the virtual clock: the player walks a
# loop while the weather changes. Prints frames per second, peak resident
# memory and the number of "ERR" lines. With --check it fails on any "ERR"
# line and on resident memory that keeps growing: after a warm-up of the
# first fifth of the run, the median of the last third of the memory samples
# may exceed the median of the first third by at most 4 MB and 5 %.
#
#   scripts/soak.sh [--check]       SOAK_FRAMES=N (default 100000), BUILD=build
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/stoppable.sh
check=0
[ "${1:-}" = "--check" ] && check=1
frames=${SOAK_FRAMES:-100000}
program=${BUILD:-build}/bin/vorlund
log=$(mktemp)
trap 'rm -f "$log"' EXIT

start=$(date +%s%N)
ZUN_HEADLESS=1 SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy ZUN_VIRTUAL_CLOCK=1 ZUN_SOAK=1 ZUN_FRAMES=$frames \
  "$program" </dev/null >/dev/null 2>"$log" &
wait_job $!
status=$job_status
end=$(date +%s%N)
# A run cut short says nothing of its frames or its memory.
exit_when_stopped soak

errors=$(grep -c '^ERR' "$log" || true)
awk -v frames="$frames" -v ns=$((end - start)) -v errors="$errors" -v status="$status" -v check="$check" '
  $1 == "INF" && $2 == "Soak" { n++; frame[n] = $3; rss[n] = $4; peak = $5 }
  function median(a, lo, hi,    m, i, j, t, b) {
    m = 0
    for (i = lo; i <= hi; i++) b[++m] = a[i]
    for (i = 1; i <= m; i++) for (j = i + 1; j <= m; j++) if (b[j] < b[i]) { t = b[i]; b[i] = b[j]; b[j] = t }
    return m % 2 ? b[(m + 1) / 2] : (b[m / 2] + b[m / 2 + 1]) / 2
  }
  END {
    printf "frames: %d\nframes per second: %.1f\npeak resident memory: %d kB\nERR lines: %d\n", frames, frames / (ns / 1e9), peak, errors
    fail = 0
    if (status != 0) { print "the program ended with status " status; fail = 1 }
    # Samples after the warm-up, split in thirds.
    for (i = 1; i <= n; i++) if (frame[i] > frames / 5) kept[++k] = rss[i]
    if (k >= 3) {
      third = int(k / 3)
      first = median(kept, 1, third); last = median(kept, k - third + 1, k)
      printf "resident memory after warm-up: %d kB -> %d kB (%d samples)\n", first, last, k
      limit = first * 0.05; if (limit < 4096) limit = 4096
      if (last - first > limit) { print "resident memory keeps growing"; fail = 1 }
    } else {
      print "too few memory samples"; fail = 1
    }
    if (errors > 0) fail = check ? 1 : fail
    exit check ? fail : 0
  }' "$log"
