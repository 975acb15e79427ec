#!/usr/bin/env bash
# The soak: seeded random steps against the checking build of the plug-in (undefined behaviour
# traps, stack protector) in the simulated editor, on each architecture, then the same steps
# without the plug-in as a control, to tell what the plug-in keeps from what the host keeps.
#   scripts/run-soak.sh [STEPS] [--seed S] [--arch i686|x86_64]
# STEPS defaults to 1000000 per architecture, the seed to 1. A failure prints the command line
# that reproduces it.
source "$(dirname "$0")/common.sh"
steps=1000000 seed=1 only=
while [ $# -gt 0 ]; do
  case $1 in
    --seed) seed=$2; shift 2 ;;
    --arch) only=$2; shift 2 ;;
    *) steps=$1; shift ;;
  esac
done
[ -z "$only" ] || ARCHS=("$only")
BUILD_TARGET=brinkwatcher-soak install_and_build -DBRINKWATCHER_TESTS=ON
BITS32=$(bits32_mode)
exec xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  ROOT=$0 BUILD_ROOT=$1 steps=$2 seed=$3 BITS32=$4
  shift 4
  status=0
  results=()
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
    "$ROOT/scripts/wine-run.sh" $arch "$BUILD_ROOT/$arch/bin/brinkwatcher-soak.exe" "$steps" \
      --seed "$seed" | tee "$log" || status=1
    # The program writes Windows line ends.
    results+=("$(tr -d "\r" <"$log" | grep -E "steps/s$|passed, [0-9]+ failed$" | tail -n 2 |
      paste -sd ";" -)$how")
    # The control: the same steps without the plug-in. A count that grows here too is the
    # host'"'"'s or Wine'"'"'s, not the plug-in'"'"'s.
    echo "---- $arch control run: the same steps without the plug-in"
    control=$BUILD_ROOT/$arch/soak-control.log
    "$ROOT/scripts/wine-run.sh" $arch "$BUILD_ROOT/$arch/bin/brinkwatcher-soak.exe" "$steps" \
      --seed "$seed" --control | tee "$control" | tr -d "\r" | grep -v " steps, [0-9]* steps/s$" ||
      status=1
    results+=("$arch control: $(tr -d "\r" <"$control" | grep -E "steps/s$|over the last$" |
      sed "s/^$arch: //" | paste -sd ";" -)")
    "$WINESERVER" -k || true
  done
  printf "%s\n" "" "${results[@]}"
  exit $status' "$ROOT" "$BUILD_ROOT" "$steps" "$seed" "$BITS32" "${ARCHS[@]}"
