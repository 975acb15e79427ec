#!/usr/bin/env bash
# Run inside an X display with WINEPREFIX set. The first start creates the prefix, a 64-bit one
# made by the 64-bit loader: a 32-bit prefix would put Wine's own services under emulation on a
# kernel without 32-bit code. The Japanese dialog texts need the shell dialog font mapped to an
# installed Japanese font. Every program runs in one Wine virtual desktop: without a window
# manager, destroying a visible top-level window otherwise waits about two seconds for one. The
# debugger is switched off in the prefix too, for programs started by hand: a crash ends the
# program.
#   wine-prefix.sh [COPY...]
# Each COPY that is not a ready prefix yet becomes a copy of this one, fresh from its making:
# making a prefix takes the better part of a minute (longer where 32-bit programs are emulated),
# copying one a second or two.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
ready=.brinkwatcher-ready-3
if [ ! -f "$WINEPREFIX/$ready" ]; then
  "$WINE64" wineboot --init >/dev/null 2>&1 || true
  "$WINESERVER" -w
  reg() { "$WINE64" reg add "$@" /f >/dev/null 2>&1; }
  key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
  for face in "MS Shell Dlg" "MS Shell Dlg 2" "MS UI Gothic"; do
    reg "$key" /v "$face" /t REG_SZ /d IPAPGothic
  done
  reg 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default
  reg 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ /d 1280x1024
  reg 'HKCU\Software\Wine\DllOverrides' /v winedbg.exe /t REG_SZ /d ""
  "$WINESERVER" -w
  touch "$WINEPREFIX/$ready"
fi
for copy in "$@"; do
  [ -f "$copy/$ready" ] && continue
  rm -rf "$copy"
  mkdir -p "$(dirname "$copy")"
  # Hard links for Wine's own DLLs (over a gigabyte, only ever read); every other file, the
  # registry and the .ini files among them, gets a copy of its own.
  cp -al "$WINEPREFIX" "$copy"
  find "$copy" -type f -links +1 ! -path '*/windows/system32/*' ! -path '*/windows/syswow64/*' \
    ! -path '*/windows/winsxs/*' -exec sh -c 'for f; do cp -p "$f" "$f.new" && mv "$f.new" "$f"; done' \
    sh {} +
done
