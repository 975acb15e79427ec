#!/usr/bin/env bash
# The soak: seeded random steps against the checking build of the plug-in (undefined behaviour
# traps, stack protector) in the simulated editor, on each architecture, then the same steps
# without the plug-in as a control, to tell what the plug-in keeps from what the host keeps, then
# the properties dialog opened and closed many times. Each run samples what stays behind; the
# samples of the full runs are drawn into docs/soak-resources.png.
#   scripts/run-soak.sh [STEPS] [--seed S] [--arch i686|x86_64] [--dialog-rounds N]
# STEPS defaults to 1000000 per architecture, the seed to 1, the dialog's rounds to 10000 (0: none).
# A failure prints the command line that reproduces it.
source "$(dirname "$0")/common.sh"
steps=1000000 seed=1 only= rounds=10000
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
  ROOT=$0 BUILD_ROOT=$1 steps=$2 seed=$3 BITS32=$4 rounds=$5
  shift 5
  status=0
  results=()
  charted=()
  winpath() { echo "Z:${1//\//\\}"; }
  for arch in "$@"; do
    how=
    if [ $arch = i686 ] && [ "$BITS32" != native ]; then
      if [ "$BITS32" = unavailable ]; then
        results+=("i686: NOT RUN, this machine cannot run 32-bit programs")
        status=1
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
    "$ROOT/scripts/wine-run.sh" $arch "$soak" "$steps" --seed "$seed" \
      --samples "$(winpath "$BUILD_ROOT/$arch/soak-samples.txt")" | tee "$log" || status=1
    # The program writes Windows line ends.
    results+=("$(tr -d "\r" <"$log" | grep -E "steps/s$|passed, [0-9]+ failed$" | tail -n 2 |
      paste -sd ";" -)$how")
    # The control: the same steps without the plug-in. A count that grows here too is the
    # host'"'"'s or Wine'"'"'s, not the plug-in'"'"'s.
    echo "---- $arch control run: the same steps without the plug-in"
    control=$BUILD_ROOT/$arch/soak-control.log
    "$ROOT/scripts/wine-run.sh" $arch "$soak" "$steps" --seed "$seed" --control \
      --samples "$(winpath "$BUILD_ROOT/$arch/soak-control-samples.txt")" | tee "$control" |
      tr -d "\r" | grep -v " steps, [0-9]* steps/s$" || status=1
    results+=("$arch control: $(tr -d "\r" <"$control" | grep -E "^$arch: .*(steps/s|the last)$" |
      sed "s/^$arch: //" | paste -sd ";" -)")
    for run in soak soak-control; do
      [ -f "$BUILD_ROOT/$arch/$run-samples.txt" ] &&
        charted+=("$arch${run#soak}=$(winpath "$BUILD_ROOT/$arch/$run-samples.txt")")
    done
    if [ "$rounds" != 0 ]; then
      echo "---- $arch properties dialog, $rounds openings"
      dialog=$BUILD_ROOT/$arch/soak-dialog.log
      "$ROOT/scripts/wine-run.sh" $arch "$soak" --dialog "$rounds" \
        --samples "$(winpath "$BUILD_ROOT/$arch/soak-dialog-samples.txt")" | tee "$dialog" ||
        status=1
      results+=("$arch dialog: $(tr -d "\r" <"$dialog" | grep -E "^$arch: |^FAILED" |
        sed "s/^$arch: //" | paste -sd ";" -)")
      # Its control: the same dialog shown by a dialog procedure that is not the plug-in'"'"'s, a
      # fifth as many times. What grows there per opening is the window system'"'"'s.
      echo "---- $arch properties dialog control run, $((rounds / 5)) openings"
      dialogControl=$BUILD_ROOT/$arch/soak-dialog-control.log
      "$ROOT/scripts/wine-run.sh" $arch "$soak" --dialog $((rounds / 5)) --control \
        --samples "$(winpath "$BUILD_ROOT/$arch/soak-dialog-control-samples.txt")" |
        tee "$dialogControl" || true  # its growth is reported, not judged
      results+=("$arch dialog control: $(tr -d "\r" <"$dialogControl" |
        grep -E "^$arch: |^FAILED|private bytes" | sed "s/^$arch: //" | tr -s " " |
        paste -sd ";" -)")
    fi
    "$WINESERVER" -k || true
  done
  # The picture of a full run on both architectures goes into the documentation; others stay in
  # the build tree.
  picture=$BUILD_ROOT/soak-resources
  if [ ${#charted[@]} -gt 0 ]; then
    chart=$(ls "$BUILD_ROOT"/*/bin/brinkwatcher-soak-chart.exe | tail -n 1)
    chartArch=$(basename "$(dirname "$(dirname "$chart")")")
    WINEPREFIX=$BUILD_ROOT/$chartArch/wineprefix "$ROOT/scripts/wine-run.sh" $chartArch "$chart" \
      "$(winpath "$picture.bmp")" "${charted[@]}" &&
      convert "$picture.bmp" -strip -define png:exclude-chunks=date,time "$picture.png" || status=1
    WINEPREFIX=$BUILD_ROOT/$chartArch/wineprefix "$WINESERVER" -k || true
    if [ "$steps" = 1000000 ] && [ ${#charted[@]} = 4 ] && [ -f "$picture.png" ]; then
      cp "$picture.png" "$ROOT/docs/soak-resources.png"
      picture=$ROOT/docs/soak-resources
    fi
    results+=("picture: $picture.png")
  fi
  printf "%s\n" "" "${results[@]}"
  exit $status' "$ROOT" "$BUILD_ROOT" "$steps" "$seed" "$BITS32" "$rounds" "${ARCHS[@]}"
