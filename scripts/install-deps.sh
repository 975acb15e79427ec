#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, only when missing.
set -euo pipefail

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  updated=
fi

for p in cmake make g++-mingw-w64-i686-posix binutils-mingw-w64-i686 googletest \
         wine wine32:i386 xvfb xauth x11-apps imagemagick fonts-ipafont-gothic clang-format; do
  have_pkg "$p" || need+=("$p")
done

if [ ${#need[@]} -gt 0 ] || [ "${updated-x}" = "" ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  if [ ${#need[@]} -gt 0 ]; then
    apt-get install -y -qq --no-install-recommends "${need[@]}"
  fi
fi
