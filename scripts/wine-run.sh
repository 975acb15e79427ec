#!/usr/bin/env bash
# Runs a built Windows program under Wine, in the Wine prefix of its build tree.
#   wine-run.sh ARCH PROGRAM [ARGUMENTS...]
# A 64-bit program goes straight to Wine's 64-bit loader: through the 32-bit one, Wine starts it
# by way of start.exe and ShellExecuteEx, one more process that can fail to start under load.
set -e
arch=$1
shift
if [ -z "${WINEPREFIX:-}" ]; then
  dir=$(cd "$(dirname "$1")" && pwd)
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  export WINEPREFIX="$dir/wineprefix"
fi
export WINEARCH=win64 WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
loader=wine
if [ "$arch" = x86_64 ] && [ -x /usr/lib/wine/wine64 ]; then loader=/usr/lib/wine/wine64; fi
exec "$loader" "$@"
