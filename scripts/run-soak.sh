#!/usr/bin/env bash
# The soak: seeded random steps against the checking build of the plug-in (undefined behaviour
# traps, stack protector) in the simulated editor, on each architecture, then the same steps with a
# stand-in DLL instead of the plug-in as a control, to tell what the plug-in keeps from what the
# host, Wine or an emulator keeps, then the properties dialog opened and closed many times. Each
# run samples what stays behind, drawn into build/soak-resources.png; with --update-docs a full
# default run redraws docs/soak-resources.png. The command fails when any run fails; its summary
# says which.
#   scripts/run-soak.sh [STEPS] [--seed S] [--arch i686|x86_64] [--dialog-rounds N] [--update-docs]
# STEPS defaults to 1000000 per architecture, the seed to 1, the dialog's rounds to 10000 (0: none).
# A failure prints the command line that reproduces it.
source "$(dirname "$0")/common.sh"
arguments=("$@")
steps=1000000 seed=1 only='' rounds=10000 update_docs=0
while [ $# -gt 0 ]; do
  case $1 in
    --seed) seed=$2; shift 2 ;;
    --arch) only=$2; shift 2 ;;
    --dialog-rounds) rounds=$2; shift 2 ;;
    --update-docs) update_docs=1; shift ;;
    *) steps=$1; shift ;;
  esac
done
[ -z "$only" ] || ARCHS=("$only")
BUILD_TARGET="brinkwatcher-soak brinkwatcher-soak-chart" build_once -DBRINKWATCHER_TESTS=ON
run_in_display "${arguments[@]}"
set -o pipefail
source "$ROOT/scripts/run-summary.sh"
BITS32=$(bits32_mode)
charted=()

winpath() { echo "Z:${1//\//\\}"; }

# judge STATUS LOG PATTERN PREFIX: one summary line for a run, from its log's lines that match
# PATTERN, and on a failure its FAILED lines too.
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

# soak_run NAME LOG ARGUMENTS...: one run of the soak program, its output shown and kept in LOG;
# sets status. Its samples go to soak-NAME-samples.txt ("soak-samples.txt" for the plain run).
soak_run() {
  local name=$1 log=$2
  shift 2
  local samples=$BUILD_ROOT/$arch/soak${name:+-$name}-samples.txt
  status=0
  "$ROOT/scripts/wine-run.sh" "$arch" "$soak" "$@" --samples "$(winpath "$samples")" |
    tee "$log" | tr -d "\r" | grep -v " steps, [0-9]* steps/s$" || status=$?
  [ -f "$samples" ] && charted+=("$arch${name:+-$name}=$(winpath "$samples")")
  return 0
}

for arch in "${ARCHS[@]}"; do
  how=
  if [ "$arch" = i686 ] && [ "$BITS32" != native ]; then
    if [ "$BITS32" = unavailable ]; then
      run_failed "i686: not run, this machine cannot run 32-bit programs"
      continue
    fi
    how=" (emulated: its rate is not comparable with a native one)"
  fi
  export WINEPREFIX=$BUILD_ROOT/$arch/wineprefix
  "$ROOT/scripts/wine-prefix.sh"
  soak=$BUILD_ROOT/$arch/bin/brinkwatcher-soak.exe
  # One server for the architecture's runs, started with Wine's own services by a short run
  # first: otherwise their start-up competes with the first steps and the first rate is low.
  "$WINESERVER" -p
  "$ROOT/scripts/wine-run.sh" "$arch" "$soak" 2000 --seed "$seed" >/dev/null || true
  rm -f "$BUILD_ROOT/$arch"/soak-*samples.txt

  soak_run "" "$BUILD_ROOT/$arch/soak.log" "$steps" --seed "$seed"
  judge $status "$BUILD_ROOT/$arch/soak.log" "^$arch: .*(steps/s|the last|failed)$" "$arch$how: "
  # The control: the same steps with a stand-in DLL loaded and freed where the plug-in is. A count
  # that grows here too is the host's or Wine's, not the plug-in's.
  echo "---- $arch control run: the same steps with a stand-in DLL instead of the plug-in"
  soak_run control "$BUILD_ROOT/$arch/soak-control.log" "$steps" --seed "$seed" --control
  judge $status "$BUILD_ROOT/$arch/soak-control.log" "^$arch: .*(steps/s|the last|failed)$" \
    "$arch control: "
  if [ "$rounds" != 0 ]; then
    echo "---- $arch properties dialog, $rounds openings"
    soak_run dialog "$BUILD_ROOT/$arch/soak-dialog.log" --dialog "$rounds"
    judge $status "$BUILD_ROOT/$arch/soak-dialog.log" "^$arch: |^FAILED" "$arch dialog: "
    # Its control: the same dialog shown by a dialog procedure that is not the plug-in's, a fifth
    # as many times. What grows there per opening is the window system's: reported, not judged,
    # but the run itself must complete.
    echo "---- $arch properties dialog control run, $((rounds / 5)) openings"
    soak_run dialog-control "$BUILD_ROOT/$arch/soak-dialog-control.log" \
      --dialog $((rounds / 5)) --control
    judge $status "$BUILD_ROOT/$arch/soak-dialog-control.log" "^$arch: |^FAILED|private bytes" \
      "$arch dialog control: "
  fi
  "$WINESERVER" -k || true
done

# The picture of the runs that had enough samples; a full default run on both architectures goes
# into the documentation with --update-docs.
picture=$BUILD_ROOT/soak-resources
if [ ${#charted[@]} -gt 0 ]; then
  chart=$(ls "$BUILD_ROOT"/*/bin/brinkwatcher-soak-chart.exe | tail -n 1)
  chartArch=$(basename "$(dirname "$(dirname "$chart")")")
  if WINEPREFIX=$BUILD_ROOT/$chartArch/wineprefix "$ROOT/scripts/wine-run.sh" "$chartArch" \
      "$chart" "$(winpath "$picture.bmp")" "${charted[@]}" &&
    convert "$picture.bmp" -strip -define png:exclude-chunks=date,time "$picture.png"; then
    if [ $update_docs = 1 ] && [ "$steps" = 1000000 ] && [ "$rounds" = 10000 ] &&
      [ ${#charted[@]} = 8 ]; then
      cp "$picture.png" "$ROOT/docs/soak-resources.png"
      picture=$ROOT/docs/soak-resources
    elif [ $update_docs = 1 ]; then
      echo "--update-docs: only a full default run on both architectures redraws the picture" >&2
    fi
    run_passed "picture: $picture.png"
  else
    run_failed "picture: not drawn"
  fi
  WINEPREFIX=$BUILD_ROOT/$chartArch/wineprefix "$WINESERVER" -k || true
fi
print_runs
