# Sourced by the scripts that run for long (soak.sh, fuzz/run.sh,
# fuzz/valgrind.sh). What they start in the background runs in a process
# group of its own, and a stop signal to the script (Ctrl-C, SIGTERM, or make
# passing one on) goes on to each of those groups: nothing the script started
# runs on after it, and it ends with 128 + the signal's number.
#
#   some-program & wait_job $!     # $job_status: the program's exit status
#   stopping && ...                # true once a stop signal came
set -m
stop_signal=0
stop_jobs() {
  stop_signal=$1
  local p
  for p in $(jobs -p); do kill -TERM -- "-$p" 2>/dev/null || true; done
}
trap 'stop_jobs 2' INT
trap 'stop_jobs 15' TERM
stopping() { [ "$stop_signal" != 0 ]; }

# Waits for the job of a pid to end, also when a stop signal cuts the wait
# short; its exit status goes to job_status.
wait_job() {
  job_status=0
  wait "$1" || job_status=$?
  while kill -0 "$1" 2>/dev/null; do
    job_status=0
    wait "$1" || job_status=$?
  done
}

# Waits for every job to end, likewise.
wait_jobs() {
  while [ -n "$(jobs -p)" ]; do wait || true; done
}

# Ends the script as the signal that stopped it would.
exit_when_stopped() {
  if stopping; then
    echo "$1: stopped by signal $stop_signal" >&2
    exit $((128 + stop_signal))
  fi
}
