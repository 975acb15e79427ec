#!/usr/bin/env bash
# Finds out how this machine runs 32-bit x86 programs and says so in one line:
#   32-bit programs: native|emulated|unavailable (why)
# The kernel's answer comes from its 32-bit code segment (scripts/probe_32bit.c), not from its
# configuration or command line, which stay "on" when the host switched the emulation off. Then
# an enabled binfmt_misc entry for i386 ELF files means every 32-bit program is emulated, even on
# a kernel that could run it.
#   probe-32bit.sh [--mode | --kernel]
# --mode prints only the word (native, emulated or unavailable), --kernel only whether the
# kernel's 32-bit code segment is present or absent.
# Exits 1 when 32-bit programs cannot run at all.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT=${BUILD:-$ROOT/build}
mkdir -p "$OUT"
probe=$OUT/probe-32bit
if [ ! -x "$probe" ] || [ "$ROOT/scripts/probe_32bit.c" -nt "$probe" ]; then
  cc=$(command -v cc || command -v clang || command -v gcc || true)
  [ -n "$cc" ] || { echo "32-bit programs: unknown (no C compiler for the probe)"; exit 1; }
  "$cc" -O1 -o "$probe" "$ROOT/scripts/probe_32bit.c"
fi
segment=$("$probe")
if [ "${1:-}" = --kernel ]; then echo "$segment"; exit 0; fi

# The interpreter of an enabled binfmt entry for i386 ELF files (machine 3), if any.
emulator=
binfmt=/proc/sys/fs/binfmt_misc
if [ "$(cat "$binfmt/status" 2>/dev/null)" = enabled ]; then
  for entry in "$binfmt"/*; do
    case ${entry##*/} in register | status) continue ;; esac
    [ "$(head -n 1 "$entry" 2>/dev/null)" = enabled ] || continue
    magic=$(sed -n 's/^magic //p' "$entry")
    [[ $magic == 7f454c4601* && ${magic:36:4} == 0300 ]] || continue
    emulator=$(sed -n 's/^interpreter //p' "$entry")
    [ -x "$emulator" ] && break
    emulator=
  done
fi

if [ -n "$emulator" ]; then
  mode=emulated
  if [ "$segment" = present ]; then
    why="by ${emulator##*/}, though this kernel runs 32-bit code itself: a binfmt entry sends them there"
    [ "${BRINKWATCHER_EMULATE_32BIT:-0}" = 1 ] && why="${why%%:*}: forced by BRINKWATCHER_EMULATE_32BIT=1"
  else
    why="this kernel runs no 32-bit code; ${emulator##*/} runs them"
  fi
elif [ "$segment" = present ]; then
  mode=native why="this kernel runs 32-bit code"
else
  mode=unavailable
  why="this kernel runs no 32-bit code and no emulator is registered for them; scripts/install-deps.sh registers one"
fi
if [ "${1:-}" = --mode ]; then echo "$mode"; else echo "32-bit programs: $mode ($why)"; fi
[ "$mode" != unavailable ]
