#!/usr/bin/env bash
# Builds the plug-in and the benchmark for both architectures, and measures one caret move in the
# simulated editor with each DLL: host messages, heap allocations by the plug-in, and time against
# the bare host calls. Extra arguments go to the benchmark (--iterations N).
source "$(dirname "$0")/common.sh"
build_once -DBRINKWATCHER_TESTS=OFF
run_in_display "$@"
set -o pipefail
source "$ROOT/scripts/run-summary.sh"
BITS32=$(bits32_mode)

for arch in i686 x86_64; do
  how=
  if [ "$arch" = i686 ] && [ "$BITS32" != native ]; then
    if [ "$BITS32" = unavailable ]; then
      echo "==== i686: not run, this machine cannot run 32-bit programs" >&2
      run_failed "i686: not run, this machine cannot run 32-bit programs"
      continue
    fi
    how=" (emulated)"
    echo "==== i686, emulated: its times are not comparable with native ones; its messages and"
    echo "     allocations are"
  else
    echo "==== $arch"
  fi
  export WINEPREFIX=$BUILD_ROOT/$arch/wineprefix
  "$ROOT/scripts/wine-prefix.sh"
  log=$BUILD_ROOT/$arch/bench.log
  status=0
  "$ROOT/scripts/wine-run.sh" "$arch" "$BUILD_ROOT/$arch/bin/brinkwatcher-bench.exe" "$@" |
    tee "$log" || status=$?
  verdict=$(tr -d "\r" <"$log" | grep -E "^(OK|FAILED)" | tail -n 1)
  if [ $status = 0 ]; then
    run_passed "$arch$how: $verdict"
  else
    run_failed "$arch$how: ${verdict:-ended with status $status before its verdict}"
  fi
  "$WINESERVER" -k || true  # before the display goes away under the desktop process
  echo
done
print_runs
