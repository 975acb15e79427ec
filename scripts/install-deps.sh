#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, only when missing. Prints one line per
# step; the package manager's own output goes to the log, whose end is shown if a step fails.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
LOG=${INSTALL_LOG:-${BUILD:-$ROOT/build}/install.log}
mkdir -p "$(dirname "$LOG")"

packages=(cmake make googletest
          g++-mingw-w64-i686-posix binutils-mingw-w64-i686
          g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 clang lld clang-tidy
          wine wine32:i386 wine64 xvfb xauth x11-apps imagemagick fonts-ipafont-gothic
          clang-format zip unzip python3 git)

step() {  # step "what is done" command...
  local what=$1
  shift
  echo "$what (log: ${LOG#"$PWD"/})…"
  if ! "$@" >>"$LOG" 2>&1; then
    echo "failed: $what; the log's last 30 lines:" >&2
    tail -n 30 "$LOG" >&2
    exit 1
  fi
}

missing() {
  local installed
  installed=$(dpkg-query -W -f='${binary:Package} ${db:Status-Status}\n' 2>/dev/null |
              awk '$2 == "installed" { print $1 }')
  for p in "${packages[@]}"; do
    # Packages of the native architecture are listed without it.
    grep -qxF -e "$p" -e "$p:$(dpkg --print-architecture)" <<<"$installed" || echo "$p"
  done
}

need=()
dpkg --print-foreign-architectures | grep -qx i386 || need=(i386)
mapfile -t -O ${#need[@]} need < <(missing)
if [ ${#need[@]} -eq 0 ]; then
  echo "dependencies: all ${#packages[@]} packages present"
  exit 0
fi

: >"$LOG"
export DEBIAN_FRONTEND=noninteractive
if [ "${need[0]}" = i386 ]; then
  step "adding the i386 architecture for 32-bit Wine" dpkg --add-architecture i386
  need=("${need[@]:1}")
fi
step "updating the package lists" apt-get update
[ ${#need[@]} -eq 0 ] ||
  step "installing ${#need[@]} packages" apt-get install -y --no-install-recommends "${need[@]}"
echo "dependencies: installed"
