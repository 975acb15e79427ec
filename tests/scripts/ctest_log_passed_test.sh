#!/usr/bin/env bash
# The test command's second judge (scripts/ctest-log-passed.sh) on hand-made CTest logs: a log of
# a suite that passed whole is accepted; each of the others must be refused.
#   ctest_log_passed_test.sh ROOT WORK
set -uo pipefail
ROOT=$1 WORK=$2
mkdir -p "$WORK"
failures=0 cases=0

# log NAME LINES...: a log file of those lines.
log() {
  local name=$1
  shift
  printf '%s\n' "$@" >"$WORK/$name.log"
  echo "$WORK/$name.log"
}
result() {  # result N TOTAL STATUS
  printf '%3d/%d Test  #%d: x86_64.Case%d ..........   %s    0.42 sec' "$1" "$2" "$1" "$1" "$3"
}
expect() {  # expect accepted|refused WHAT LOG...
  local want=$1 what=$2 got=refused
  shift 2
  cases=$((cases + 1))
  "$ROOT/scripts/ctest-log-passed.sh" "$@" 2>/dev/null && got=accepted
  [ "$got" = "$want" ] || { echo "FAILED: $what: $got"; failures=$((failures + 1)); }
}

good=$(log good "$(result 1 2 Passed)" "$(result 2 2 Passed)" "" \
  "100% tests passed, 0 tests failed out of 2")
expect accepted "a suite that passed" "$good"
expect refused "a failed test" "$(log failed "$(result 1 2 Passed)" "$(result 2 2 '***Failed')" "" \
  "50% tests passed, 1 tests failed out of 2")"
expect refused "no tests" "$(log empty "" "100% tests passed, 0 tests failed out of 0")"
expect refused "fewer results than the count" "$(log short "$(result 1 2 Passed)" "" \
  "100% tests passed, 0 tests failed out of 2")"
expect refused "a failed result under a pass line" "$(log mixed "$(result 1 2 Passed)" \
  "$(result 2 2 '***Timeout')" "" "100% tests passed, 0 tests failed out of 2")"
expect refused "a run cut short, with no closing line" "$(log cut "$(result 1 2 Passed)")"
expect refused "a missing log beside a good one" "$good" "$WORK/missing.log"

echo "$((cases - failures)) passed, $failures failed"
[ $failures -eq 0 ]
