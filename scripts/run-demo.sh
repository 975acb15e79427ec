#!/usr/bin/env bash
# Builds the plug-in and plays the scripted session in the simulated editor, with the plug-in and
# without it side by side.
source "$(dirname "$0")/common.sh"
install_and_build -DBRINKWATCHER_TESTS=OFF
exec xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  "$0/scripts/wine-prefix.sh"
  wine "$1/bin/brinkwatcher-sim.exe" --script "${@:2}"' "$ROOT" "$BUILD" "$@"
