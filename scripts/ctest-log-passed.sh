#!/usr/bin/env bash
# The test command's second leg: reads each CTest log itself and exits 0 only when every one
# closes with "100% tests passed, 0 tests failed out of N", N above 0, and holds exactly N result
# lines, each "Passed". It shares nothing with the run summary (run-summary.sh), so that a fault
# in either alone cannot turn a failing suite into a passing command.
#   scripts/ctest-log-passed.sh LOG...
set -uo pipefail
status=0
for log in "$@"; do
  if [ ! -s "$log" ]; then
    echo "FAILED $log: no CTest log" >&2
    status=1
    continue
  fi
  total=$(sed -n 's/^100% tests passed, 0 tests failed out of \([0-9][0-9]*\)$/\1/p' "$log" | tail -n 1)
  results=$(grep -cE "^ *[0-9]+/[0-9]+ Test +#[0-9]+: " "$log")
  passed=$(grep -cE "^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed +[0-9.]+ sec$" "$log")
  if [ -z "$total" ] || [ "$total" -eq 0 ]; then
    echo "FAILED $log: no line saying that every test of a non-empty suite passed" >&2
    status=1
  elif [ "$results" != "$total" ] || [ "$passed" != "$total" ]; then
    echo "FAILED $log: $total tests said passed, but $results results with $passed passed" >&2
    status=1
  fi
done
exit $status
