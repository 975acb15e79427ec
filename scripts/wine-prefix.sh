#!/usr/bin/env bash
# Run inside an X display with WINEPREFIX set. The first start creates the prefix; the Japanese
# dialog texts need the shell dialog font mapped to an installed Japanese font. Every program
# runs in one Wine virtual desktop: without a window manager, destroying a visible top-level
# window otherwise waits about two seconds for one.
set -euo pipefail
[ -f "$WINEPREFIX/.brinkwatcher-ready-2" ] && exit 0
wineboot --init >/dev/null 2>&1 || true
wineserver -w
key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
for face in "MS Shell Dlg" "MS Shell Dlg 2" "MS UI Gothic"; do
  wine reg add "$key" /v "$face" /t REG_SZ /d IPAPGothic /f >/dev/null 2>&1
done
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ /d 1280x1024 /f \
  >/dev/null 2>&1
wineserver -w
touch "$WINEPREFIX/.brinkwatcher-ready-2"
