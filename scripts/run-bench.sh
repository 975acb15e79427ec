#!/usr/bin/env bash
# Builds the plug-in and the benchmark for both architectures, and measures one caret move in the
# simulated editor with each DLL: host messages, heap allocations by the plug-in, and time against
# the bare host calls. Extra arguments go to the benchmark (--iterations N).
source "$(dirname "$0")/common.sh"
install_and_build -DBRINKWATCHER_TESTS=OFF
BITS32=$(bits32_mode)
exec xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  ROOT=$0 BUILD_ROOT=$1 BITS32=$2
  shift 2
  status=0
  for arch in i686 x86_64; do
    if [ $arch = i686 ] && [ "$BITS32" != native ]; then
      if [ "$BITS32" = unavailable ]; then
        echo "==== i686: not run, this machine cannot run 32-bit programs" >&2
        status=1
        continue
      fi
      echo "==== i686, emulated: its times are not comparable with native ones; its messages and"
      echo "     allocations are"
    else
      echo "==== $arch"
    fi
    export WINEPREFIX=$BUILD_ROOT/$arch/wineprefix
    "$ROOT/scripts/wine-prefix.sh"
    "$ROOT/scripts/wine-run.sh" $arch "$BUILD_ROOT/$arch/bin/brinkwatcher-bench.exe" "$@" ||
      status=$?
    "$WINESERVER" -k || true   # before the display goes away under the desktop process
    echo
  done
  exit $status' "$ROOT" "$BUILD_ROOT" "$BITS32" "$@"
