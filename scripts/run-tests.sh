#!/usr/bin/env bash
# Builds the plug-in, the simulated editor and the tests, and runs every test under Wine in a
# virtual X display: the 32-bit suite, then the 64-bit one. Where this machine cannot run 32-bit
# programs at all, the 32-bit suite is not run and the command fails, saying why.
#   scripts/run-tests.sh [--arch i686|x86_64] [CTEST-ARGUMENTS...]
# --arch builds and runs one architecture's suite alone; the release and analysis tests belong
# to the x86_64 suite. The command exits 0 only when every suite it ran passed, by two judges
# that share nothing: the summary of the runs, and each suite's CTest log read again.
source "$(dirname "$0")/common.sh"
arguments=("$@")
if [ "${1:-}" = --arch ]; then
  case ${2:-} in
    i686 | x86_64) ARCHS=("$2") ;;
    *) echo "--arch takes i686 or x86_64, not '${2:-}'" >&2; exit 2 ;;
  esac
  shift 2
fi
build_once -DBRINKWATCHER_TESTS=ON
run_in_display "${arguments[@]}"
set -o pipefail
source "$ROOT/scripts/run-summary.sh"
BITS32=$(bits32_mode)
logs=()
for arch in "${ARCHS[@]}"; do
  log=$BUILD_ROOT/$arch/ctest.log
  rm -f "$log"
  logs+=("$log")
done

# One prefix is made, the others are copies of it, the release test's among them.
WINEPREFIX=$BUILD_ROOT/x86_64/wineprefix "$ROOT/scripts/wine-prefix.sh" \
  "$BUILD_ROOT/i686/wineprefix" "$BUILD_ROOT/x86_64/release-test-wineprefix"
for arch in "${ARCHS[@]}"; do
  if [ "$arch" = i686 ] && [ "$BITS32" = unavailable ]; then
    echo "i686: not run: this machine cannot run 32-bit programs ($("$ROOT/scripts/probe-32bit.sh"))" >&2
    run_failed "i686: not run, no 32-bit programs on this machine"
    continue
  fi
  export WINEPREFIX=$BUILD_ROOT/$arch/wineprefix
  "$ROOT/scripts/wine-prefix.sh"
  "$WINESERVER" -p  # one server for the whole run, so that every test process starts fast
  # A hidden window holds the Wine desktop for the whole run: without it the desktop process
  # stops whenever no test has a window and starts again with the next, and a test exiting while
  # it stops can hang. Started here, the desktop services do not inherit (and hold open) the
  # output pipes of a test.
  ready=$BUILD_ROOT/$arch/desktop-held
  rm -f "$ready"
  "$ROOT/scripts/wine-run.sh" "$arch" "$BUILD_ROOT/$arch/bin/brinkwatcher-sim.exe" \
    --hold-desktop "Z:${ready//\//\\}" </dev/null >/dev/null 2>&1 &
  holder=$!
  for _ in $(seq 600); do [ -f "$ready" ] && break; sleep 0.1; done
  [ -f "$ready" ] || echo "the desktop window did not show; tests may start slowly" >&2
  log=$BUILD_ROOT/$arch/ctest.log
  ok=1
  ctest --test-dir "$BUILD_ROOT/$arch" --output-on-failure -j2 "$@" 2>&1 | tee "$log" || ok=0
  # No tests at all is no pass.
  grep -qE "^100% tests passed, 0 tests failed out of [1-9]" "$log" || ok=0
  how=
  [ "$arch" = i686 ] && how=" (32-bit programs $BITS32)"
  counts=$(grep -E "tests passed|Total Test time" "$log" | tr -s " " | paste -sd ";" -)
  line="$arch$how: ${counts:-no tests ran}"
  if [ $ok = 1 ]; then run_passed "$line"; else run_failed "$line"; fi
  kill "$holder" 2>/dev/null || true
  "$WINESERVER" -k || true
done
status=0
print_runs || status=1
"$ROOT/scripts/ctest-log-passed.sh" "${logs[@]}" || status=1
exit $status
