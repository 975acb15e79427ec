#!/usr/bin/env bash
# The soak: seeded random steps against the checking build of the plug-in (undefined behaviour
# traps, stack protector) in the simulated editor, on each architecture, then the same steps with a
# stand-in DLL instead of the plug-in as a control, to tell what the plug-in keeps from what the
# host, Wine or an emulator keeps, then the properties dialog opened and closed many times. Each
# run samples what stays behind; the samples of the full runs are drawn into
# docs/soak-resources.png. The command fails when any run fails; its summary says which.
#   scripts/run-soak.sh [STEPS] [--seed S] [--arch i686|x86_64] [--dialog-rounds N]
# STEPS defaults to 1000000 per architecture, the seed to 1, the dialog's rounds to 10000 (0: none).
# A failure prints the command line that reproduces it.
source "$(dirname "$0")/common.sh"
steps=1000000 seed=1 only='' rounds=10000
while [ $# -gt 0 ]; do
  case $1 in
    --seed) seed=$2; shift 2 ;;
    --arch) only=$2; shift 2 ;;
    --dialog-rounds) rounds=$2; shift 2 ;;
    *) steps=$1; shift ;;
  esac
done
[ -z "$only" ] || ARCHS=("$only")
BUILD_TARGET="brinkwatcher-soak brinkwatcher-soak-chart" install_and_build -DBRINKWATCHER_TESTS=ON
BITS32=$(bits32_mode)
exec xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -o pipefail
  ROOT=$0 BUILD_ROOT=$1 steps=$2 seed=$3 BITS32=$4 rounds=$5
  shift 5
  source "$ROOT/scripts/run-summary.sh"
  charted=()
  winpath() { echo "Z:${1//\//\\}"; }
  # judge STATUS LOG PATTERN PREFIX: one summary line for a run, from its log'"'"'s lines that
  # match PATTERN, and on a failure its FAILED lines too.
  judge() {
    local pattern=$3 line
    [ "$1" = 0 ] || pattern="^FAILED|$pattern"
    line=$(tr -d "\r" <"$2" | grep -E "$pattern" | sed "s/^$arch: //" | tail -n 4 | tr -s " " |
      paste -sd ";" -)
    if [ "$1" = 0 ]; then
      run_passed "$4$line"
    else
      run_failed "$4${line:-ended with status $1 and no summary}"
    fi
  }
  for arch in "$@"; do
    how=
    if [ $arch = i686 ] && [ "$BITS32" != native ]; then
      if [ "$BITS32" = unavailable ]; then
        run_failed "i686: not run, this machine cannot run 32-bit programs"
        continue
      fi
      how=" (emulated: its rate is not comparable with a native one)"
    fi
    export WINEPREFIX=$BUILD_ROOT/$arch/wineprefix
    "$ROOT/scripts/wine-prefix.sh"
    log=$BUILD_ROOT/$arch/soak.log
    soak=$BUILD_ROOT/$arch/bin/brinkwatcher-soak.exe
    # One server for the architecture'"'"'s runs, started with Wine'"'"'s own services by a short
    # run first: otherwise their start-up competes with the first steps and the first rate is low.
    "$WINESERVER" -p
    "$ROOT/scripts/wine-run.sh" $arch "$soak" 2000 --seed "$seed" >/dev/null || true
    rm -f "$BUILD_ROOT/$arch"/soak-*samples.txt
    status=0
    "$ROOT/scripts/wine-run.sh" $arch "$soak" "$steps" --seed "$seed" \
      --samples "$(winpath "$BUILD_ROOT/$arch/soak-samples.txt")" | tee "$log" || status=$?
    judge $status "$log" "^$arch: .*(steps/s|the last|failed)$" "$arch$how: "
    # The control: the same steps with a stand-in DLL loaded and freed where the plug-in is. A
    # count that grows here too is the host'"'"'s or Wine'"'"'s, not the plug-in'"'"'s.
    echo "---- $arch control run: the same steps with a stand-in DLL instead of the plug-in"
    control=$BUILD_ROOT/$arch/soak-control.log
    status=0
    "$ROOT/scripts/wine-run.sh" $arch "$soak" "$steps" --seed "$seed" --control \
      --samples "$(winpath "$BUILD_ROOT/$arch/soak-control-samples.txt")" | tee "$control" |
      tr -d "\r" | grep -v " steps, [0-9]* steps/s$" || status=$?
    judge $status "$control" "^$arch: .*(steps/s|the last|failed)$" "$arch control: "
    for run in soak soak-control; do
      [ -f "$BUILD_ROOT/$arch/$run-samples.txt" ] &&
        charted+=("$arch${run#soak}=$(winpath "$BUILD_ROOT/$arch/$run-samples.txt")")
    done
    if [ "$rounds" != 0 ]; then
      echo "---- $arch properties dialog, $rounds openings"
      dialog=$BUILD_ROOT/$arch/soak-dialog.log
      status=0
      "$ROOT/scripts/wine-run.sh" $arch "$soak" --dialog "$rounds" \
        --samples "$(winpath "$BUILD_ROOT/$arch/soak-dialog-samples.txt")" | tee "$dialog" ||
        status=$?
      judge $status "$dialog" "^$arch: |^FAILED" "$arch dialog: "
      # Its control: the same dialog shown by a dialog procedure that is not the plug-in'"'"'s, a
      # fifth as many times. What grows there per opening is the window system'"'"'s: reported,
      # not judged, but the run itself must complete.
      echo "---- $arch properties dialog control run, $((rounds / 5)) openings"
      dialogControl=$BUILD_ROOT/$arch/soak-dialog-control.log
      status=0
      "$ROOT/scripts/wine-run.sh" $arch "$soak" --dialog $((rounds / 5)) --control \
        --samples "$(winpath "$BUILD_ROOT/$arch/soak-dialog-control-samples.txt")" |
        tee "$dialogControl" || status=$?
      judge $status "$dialogControl" "^$arch: |^FAILED|private bytes" "$arch dialog control: "
      for run in soak-dialog soak-dialog-control; do
        [ -f "$BUILD_ROOT/$arch/$run-samples.txt" ] &&
          charted+=("$arch${run#soak}=$(winpath "$BUILD_ROOT/$arch/$run-samples.txt")")
      done
    fi
    "$WINESERVER" -k || true
  done
  # The picture of a full run on both architectures goes into the documentation; others stay in
  # the build tree.
  picture=$BUILD_ROOT/soak-resources
  if [ ${#charted[@]} -gt 0 ]; then
    chart=$(ls "$BUILD_ROOT"/*/bin/brinkwatcher-soak-chart.exe | tail -n 1)
    chartArch=$(basename "$(dirname "$(dirname "$chart")")")
    if WINEPREFIX=$BUILD_ROOT/$chartArch/wineprefix "$ROOT/scripts/wine-run.sh" $chartArch \
        "$chart" "$(winpath "$picture.bmp")" "${charted[@]}" &&
      convert "$picture.bmp" -strip -define png:exclude-chunks=date,time "$picture.png"; then
      # A full default run: a million steps and 10000 openings on both architectures.
      if [ "$steps" = 1000000 ] && [ "$rounds" = 10000 ] && [ ${#charted[@]} = 8 ]; then
        cp "$picture.png" "$ROOT/docs/soak-resources.png"
        picture=$ROOT/docs/soak-resources
      fi
      run_passed "picture: $picture.png"
    else
      run_failed "picture: not drawn"
    fi
    WINEPREFIX=$BUILD_ROOT/$chartArch/wineprefix "$WINESERVER" -k || true
  fi
  print_runs' "$ROOT" "$BUILD_ROOT" "$steps" "$seed" "$BITS32" "$rounds" "${ARCHS[@]}"
