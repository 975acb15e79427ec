#!/usr/bin/env bash
# Runs a built Windows program under Wine, in the Wine prefix of its build tree, through the
# loader of its architecture (scripts/wine-env.sh).
#   wine-run.sh ARCH PROGRAM [ARGUMENTS...]
set -e
arch=$1
shift
if [ -z "${WINEPREFIX:-}" ]; then
  dir=$(cd "$(dirname "$1")" && pwd)
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  export WINEPREFIX="$dir/wineprefix"
fi
source "$(dirname "$0")/wine-env.sh"
exec "$(wine_loader "$arch")" "$@"
