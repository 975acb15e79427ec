#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, only when missing, and makes sure this
# machine can run 32-bit Windows programs: natively where the kernel runs 32-bit code, otherwise
# under qemu-user, which gets a binfmt_misc entry for i386 ELF files. Prints one line per step and
# last the probe's line (scripts/probe-32bit.sh); the package manager's own output goes to the log,
# whose end is shown if a step fails.
#   BRINKWATCHER_EMULATE_32BIT=1 emulates 32-bit programs even on a kernel that runs them, to try
#   that path; without it, a run on such a kernel removes the entry again.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
LOG=${INSTALL_LOG:-${BUILD:-$ROOT/build}/install.log}
mkdir -p "$(dirname "$LOG")"
touch "$LOG"

# The build's Clang, LLD and clang-tidy are version 19 (Debian 12's default, 14, has no Control
# Flow Guard for MinGW targets); the default clang still compiles the 32-bit probe.
packages=(cmake make googletest
          g++-mingw-w64-i686-posix binutils-mingw-w64-i686
          g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 clang lld
          clang-19 lld-19 clang-tidy-19
          wine wine32:i386 wine32-preloader:i386 wine64 xvfb xauth x11-apps imagemagick
          fonts-ipafont-gothic clang-format zip unzip python3 git openssl shellcheck)
# Authenticode signing and its checks: osslsigncode 2.9 or later, from Debian 12's backports (the
# release's own archive has 2.5).
SIGNING_SUITE=bookworm-backports
BACKPORTS_LIST=/etc/apt/sources.list.d/brinkwatcher-backports.sources
# Only where the kernel runs no 32-bit code (or BRINKWATCHER_EMULATE_32BIT=1).
emulation_packages=(qemu-user-static)
EMULATOR=/usr/bin/qemu-i386-static
BINFMT=/proc/sys/fs/binfmt_misc
ENTRY=brinkwatcher-i386

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

missing() {  # missing PACKAGE...: those not installed
  local installed
  installed=$(dpkg-query -W -f='${binary:Package} ${db:Status-Status}\n' 2>/dev/null |
              awk '$2 == "installed" { print $1 }')
  for p in "$@"; do
    # Packages of the native architecture are listed without it.
    grep -qxF -e "$p" -e "$p:$(dpkg --print-architecture)" <<<"$installed" || echo "$p"
  done
}

updated=0 lists_complete=1
install() {  # install PACKAGE...
  export DEBIAN_FRONTEND=noninteractive
  if [ $updated = 0 ]; then
    echo "updating the package lists (log: ${LOG#"$PWD"/})…"
    # A mirror in mid-sync can miss one list; what was fetched is still used.
    local before
    before=$(wc -l <"$LOG")
    if ! apt-get -o Acquire::Retries=3 update >>"$LOG" 2>&1; then
      tail -n +$((before + 1)) "$LOG" | grep -q "Some index files failed to download" ||
        step "updating the package lists" false
      echo "  some package lists could not be fetched; going on with the others"
      lists_complete=0
    fi
    updated=1
  fi
  echo "installing $# packages (log: ${LOG#"$PWD"/})…"
  apt-get install -y --no-install-recommends "$@" >>"$LOG" 2>&1 && return 0
  # Without the security archive's i386 list, its newer 64-bit libraries have no 32-bit twin of
  # the same version; the main archive's versions match on both architectures.
  [ $lists_complete = 0 ] || step "installing $# packages" false
  local preferences
  preferences=$(mktemp)
  printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' >"$preferences"
  step "installing $# packages from the main archive's matching versions" \
    apt-get install -y --no-install-recommends -o Dir::Etc::Preferences="$preferences" "$@"
  rm -f "$preferences"
}
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  step "adding the i386 architecture for 32-bit Wine" dpkg --add-architecture i386
fi
mapfile -t need < <(missing "${packages[@]}")
if [ ${#need[@]} -eq 0 ]; then
  echo "dependencies: all ${#packages[@]} packages present"
else
  : >"$LOG"
  install "${need[@]}"
  echo "dependencies: installed"
fi

# ---- osslsigncode from the backports, whose list is added once
signing_tool_current() {
  local version
  version=$(dpkg-query -W -f='${Version}' osslsigncode 2>/dev/null) || return 1
  dpkg --compare-versions "$version" ge 2.9
}
if ! signing_tool_current; then
  if [ ! -f "$BACKPORTS_LIST" ]; then
    printf '%s\n' "Types: deb" "URIs: http://deb.debian.org/debian" "Suites: $SIGNING_SUITE" \
      "Components: main" "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" \
      >"$BACKPORTS_LIST"
  fi
  updated=0  # the new list must be fetched
  install "osslsigncode/$SIGNING_SUITE"
fi

# ---- 32-bit programs
segment=$("$ROOT/scripts/probe-32bit.sh" --kernel)
if [ "$segment" = absent ] || [ "${BRINKWATCHER_EMULATE_32BIT:-0}" = 1 ]; then
  mapfile -t need < <(missing "${emulation_packages[@]}")
  [ ${#need[@]} -eq 0 ] || install "${need[@]}"
  # Checked on every run: a restarted machine has lost the entry, and perhaps the mount.
  if [ ! -f "$BINFMT/register" ]; then
    step "mounting binfmt_misc" mount -t binfmt_misc binfmt_misc "$BINFMT"
  fi
  [ "$(cat "$BINFMT/status")" = enabled ] || step "enabling binfmt_misc" sh -c "echo 1 >$BINFMT/status"
  if [ ! -e "$BINFMT/$ENTRY" ]; then
    # i386 ELF executables and shared objects, to qemu; F opens the emulator now, so that it is
    # found from any mount namespace or root.
    rule=':'$ENTRY':M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    rule+=':\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    rule+=":$EMULATOR:F"
    step "registering qemu-i386 for 32-bit programs" sh -c "printf '%s' '$rule' >$BINFMT/register"
  elif [ "$(head -n 1 "$BINFMT/$ENTRY")" != enabled ]; then
    step "enabling the qemu-i386 entry" sh -c "echo 1 >$BINFMT/$ENTRY"
  fi
elif [ -e "$BINFMT/$ENTRY" ]; then
  # This kernel runs 32-bit code: an entry left by an emulated trial would slow every 32-bit
  # program on the machine and change the exception codes it sees.
  step "removing the qemu-i386 entry (this kernel runs 32-bit code)" sh -c "echo -1 >$BINFMT/$ENTRY"
fi
"$ROOT/scripts/probe-32bit.sh" || true
