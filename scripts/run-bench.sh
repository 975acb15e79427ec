#!/usr/bin/env bash
# Builds the plug-in and the benchmark for both architectures, and measures one caret move in the
# simulated editor with each DLL: host messages, heap allocations by the plug-in, and time against
# the bare host calls. Extra arguments go to the benchmark (--iterations N).
source "$(dirname "$0")/common.sh"
install_and_build -DBRINKWATCHER_TESTS=OFF
exec xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  ROOT=$0 BUILD_ROOT=$1
  shift
  status=0
  for arch in i686 x86_64; do
    export WINEPREFIX=$BUILD_ROOT/$arch/wineprefix
    "$ROOT/scripts/wine-prefix.sh"
    echo "==== $arch"
    wine "$BUILD_ROOT/$arch/bin/brinkwatcher-bench.exe" "$@" || status=$?
    wineserver -k || true   # before the display goes away under the desktop process
    echo
  done
  exit $status' "$ROOT" "$BUILD_ROOT" "$@"
