#!/usr/bin/env bash
# Run inside an X display with WINEPREFIX set. The first start creates the prefix; the Japanese
# dialog texts need the shell dialog font mapped to an installed Japanese font.
set -euo pipefail
[ -f "$WINEPREFIX/.brinkwatcher-ready" ] && exit 0
wineboot --init >/dev/null 2>&1 || true
wineserver -w
key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
for face in "MS Shell Dlg" "MS Shell Dlg 2" "MS UI Gothic"; do
  wine reg add "$key" /v "$face" /t REG_SZ /d IPAPGothic /f >/dev/null 2>&1
done
wineserver -w
touch "$WINEPREFIX/.brinkwatcher-ready"
