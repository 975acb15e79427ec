#!/usr/bin/env bash
# Builds the plug-in, the simulated editor and the tests for both architectures, and runs every
# test under Wine in a virtual X display: the 32-bit suite, then the 64-bit one. Extra arguments
# go to ctest.
source "$(dirname "$0")/common.sh"
install_and_build -DBRINKWATCHER_TESTS=ON
exec xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  ROOT=$0 BUILD_ROOT=$1
  shift
  status=0
  summary=()
  for arch in i686 x86_64; do
    export WINEPREFIX=$BUILD_ROOT/$arch/wineprefix
    "$ROOT/scripts/wine-prefix.sh"
    wineserver -p   # one server for the whole run, so that every test process starts fast
    # A hidden window holds the Wine desktop for the whole run: without it the desktop process
    # stops whenever no test has a window and starts again with the next, and a test exiting
    # while it stops can hang. Started here, the desktop services do not inherit (and hold
    # open) the output pipes of a test.
    ready=$BUILD_ROOT/$arch/desktop-held
    rm -f "$ready"
    wine "$BUILD_ROOT/$arch/bin/brinkwatcher-sim.exe" --hold-desktop "Z:${ready//\//\\}" \
      </dev/null >/dev/null 2>&1 &
    holder=$!
    for _ in $(seq 600); do [ -f "$ready" ] && break; sleep 0.1; done
    [ -f "$ready" ] || echo "the desktop window did not show; tests may start slowly" >&2
    log=$BUILD_ROOT/$arch/ctest.log
    ctest --test-dir "$BUILD_ROOT/$arch" --output-on-failure -j2 "$@" 2>&1 | tee "$log" ||
      status=1
    grep -q "tests passed, 0 tests failed" "$log" || status=1
    summary+=("$arch: $(grep -E "tests passed|Total Test time" "$log" | tr -s " " | paste -sd ";" -)")
    kill "$holder" 2>/dev/null || true
    wineserver -k || true
  done
  printf "%s\n" "" "${summary[@]}"
  exit $status' "$ROOT" "$BUILD_ROOT" "$@"
