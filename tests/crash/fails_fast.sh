#!/usr/bin/env bash
# Runs a program that crashes on purpose and passes only if the crash failed it fast: a non-zero
# exit within LIMIT seconds, with Wine's report of the unhandled exception in the output.
#   fails_fast.sh LIMIT COMMAND...
limit=$1
shift
start=$(date +%s%N)
output=$("$@" 2>&1)
status=$?
elapsed_ms=$((($(date +%s%N) - start) / 1000000))
printf '%s\n' "$output"
echo "exit status $status after $elapsed_ms ms"
fail() { echo "FAILED: $*" >&2; exit 1; }
[ $status -ne 0 ] || fail "the program exited with 0"
grep -q "about to crash" <<<"$output" || fail "the program did not start"
grep -q "still running" <<<"$output" && fail "the program survived its crash"
grep -qi "unhandled" <<<"$output" || fail "no report of the unhandled exception"
[ $elapsed_ms -le $((limit * 1000)) ] || fail "the crash took $elapsed_ms ms to end the program, over ${limit} s"
echo "crashed fast: ${elapsed_ms} ms"
