#!/usr/bin/env bash
# Builds the plug-in and the benchmark, and measures one caret move in the simulated editor:
# host messages, heap allocations by the plug-in, and time against the bare host calls.
# Extra arguments go to the benchmark (--iterations N).
source "$(dirname "$0")/common.sh"
install_and_build -DBRINKWATCHER_TESTS=OFF
exec xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  "$0/scripts/wine-prefix.sh"
  status=0
  wine "$1/bin/brinkwatcher-bench.exe" "${@:2}" || status=$?
  wineserver -k || true   # before the display goes away under the desktop process
  exit $status' "$ROOT" "$BUILD" "$@"
