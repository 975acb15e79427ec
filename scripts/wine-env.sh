# shellcheck shell=bash
# Wine as every script and test here runs it. Source it.
# Debian's wine, wineboot, winepath and "wine reg" all start the 32-bit loader first, which a
# kernel without 32-bit code cannot run even for a 64-bit program. So each program goes to the
# loader of its own architecture: prefixes, reg, winepath and 64-bit programs to the 64-bit one,
# 32-bit programs to the 32-bit one (run natively or by qemu-user, as the kernel allows).
WINE64=/usr/lib/wine/wine64
WINE32=/usr/lib/wine/wine
export WINESERVER=/usr/lib/wine/wineserver64
# winedbg disabled: an unhandled exception ends the program at once, instead of waiting in the
# debugger until the test's timeout.
export WINEARCH=win64 WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"

wine_loader() {  # wine_loader ARCH: the loader for programs of that architecture
  if [ "$1" = x86_64 ]; then echo "$WINE64"; else echo "$WINE32"; fi
}
