#!/usr/bin/env bash
# The closing summary that every command of scripts/ shares (run-summary.sh): a failed run makes
# its status non-zero and is listed first; passed runs alone make it zero.
#   run_summary_test.sh ROOT
set -uo pipefail
ROOT=$1
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# summary RUNS...: the output and status of print_runs after the runs, each "pass TEXT" or
# "fail TEXT", in a shell of its own.
summary() {
  (
    source "$ROOT/scripts/run-summary.sh"
    for run in "$@"; do
      case $run in
        pass\ *) run_passed "${run#pass }" ;;
        fail\ *) run_failed "${run#fail }" ;;
      esac
    done
    print_runs
  )
}

out=$(summary "pass i686: all passed" "fail x86_64: 1 failed")
status=$?
[ $status -ne 0 ] || fail "a failed run and a passed one: status 0"
first=$(grep -v '^$' <<<"$out" | head -n 1)
[ "$first" = "FAILED x86_64: 1 failed" ] || fail "the failed run is not listed first: '$first'"
grep -qx "1 of 2 runs failed" <<<"$out" || fail "no count of failed runs in: $out"

out=$(summary "pass i686: all passed" "pass x86_64: all passed")
status=$?
[ $status -eq 0 ] || fail "passed runs alone: status $status"
grep -q FAILED <<<"$out" && fail "passed runs alone print FAILED: $out"

out=$(summary)
[ $? -eq 0 ] || fail "no runs: a non-zero status"

if [ $failures -eq 0 ]; then
  echo "3 passed, 0 failed"
else
  echo "$((3 - failures > 0 ? 3 - failures : 0)) passed, $failures failed"
  exit 1
fi
