#!/usr/bin/env bash
# Builds the plug-in, the simulated editor and the tests, and runs every test under Wine in a
# virtual X display. Extra arguments go to ctest.
source "$(dirname "$0")/common.sh"
install_and_build -DBRINKWATCHER_TESTS=ON
exec xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  "$0/scripts/wine-prefix.sh"
  wineserver -p   # one server for the whole run, so that every test process starts fast
  # Wine starts its desktop services with the first window; started here, they do not inherit
  # (and hold open) the output pipes of a test.
  wine "$1/bin/brinkwatcher-sim.exe" --warm-up </dev/null >/dev/null 2>&1
  status=0
  ctest --test-dir "$1" --output-on-failure -j2 "${@:2}" || status=$?
  wineserver -k || true
  exit $status' "$ROOT" "$BUILD" "$@"
