# shellcheck shell=bash
# The closing summary of a command that runs several checks: one line per run, the failed ones
# first, and a status that is 1 when any failed. Source it, then call run_passed or run_failed
# once per run and print_runs last (it returns the status).
RUNS_PASSED=()
RUNS_FAILED=()
run_passed() { RUNS_PASSED+=("$*"); }
run_failed() { RUNS_FAILED+=("FAILED $*"); }
print_runs() {
  printf '%s\n' "" "${RUNS_FAILED[@]}" "${RUNS_PASSED[@]}"
  if [ ${#RUNS_FAILED[@]} -gt 0 ]; then
    echo "${#RUNS_FAILED[@]} of $((${#RUNS_FAILED[@]} + ${#RUNS_PASSED[@]})) runs failed"
    return 1
  fi
  return 0
}
