# shellcheck shell=bash
# Shared by the run-* scripts: installs what is missing, builds, and prepares the Wine prefix.
# Source it. Every architecture has its own build tree under BUILD_ROOT (default: build), with its
# own Wine prefix: build/i686 for the 32-bit editor, build/x86_64 for the 64-bit one. Both
# prefixes are 64-bit Wine, which runs 32- and 64-bit programs alike.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_ROOT=$(realpath -m "${BUILD_ROOT:-$ROOT/build}")
ARCHS=(i686 x86_64)
export BUILD=$BUILD_ROOT  # where the install log and the 32-bit probe go
source "$ROOT/scripts/wine-env.sh"
export WINE64 WINE32 WINESERVER

# How 32-bit programs run here: native, emulated or unavailable (scripts/probe-32bit.sh).
bits32_mode() { "$ROOT/scripts/probe-32bit.sh" --mode || true; }

tree_of() { echo "$BUILD_ROOT/$1"; }

# Builds every architecture's tree (only BUILD_TARGET when set); extra arguments go to CMake.
install_and_build() {
  "$ROOT/scripts/install-deps.sh"
  export BRINKWATCHER_DEPS_CHECKED=1  # the scripts this one calls need not check again
  local arch
  for arch in "${ARCHS[@]}"; do
    local tree
    tree=$(tree_of "$arch")
    echo "building $arch in ${tree#"$ROOT"/}"
    # CMake keeps a tree's compiler once chosen: after a change of the toolchain files the tree
    # is configured afresh (its built files stay and are rebuilt as needed).
    local toolchain
    toolchain=$(cat "$ROOT"/cmake/*.cmake | sha256sum | cut -c1-16)
    if [ "$(cat "$tree/toolchain.sha" 2>/dev/null)" != "$toolchain" ]; then
      rm -rf "$tree/CMakeCache.txt" "$tree/CMakeFiles"
      mkdir -p "$tree"
      echo "$toolchain" >"$tree/toolchain.sha"
    fi
    cmake -S "$ROOT" -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-$arch.cmake" \
      -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
    cmake --build "$tree" ${BUILD_TARGET:+--target $BUILD_TARGET} -j"$(nproc)" \
      >"$tree/build.log" 2>&1 || {
      tail -n 40 "$tree/build.log" >&2
      exit 1
    }
  done
}

# build_once CMAKE-ARGUMENTS...: install_and_build, but not again when the calling script runs
# itself again in a display (run_in_display).
build_once() {
  [ -z "${BRINKWATCHER_BUILT:-}" ] || return 0
  install_and_build "$@"
  export BRINKWATCHER_BUILT=1
}

# run_in_display ARGUMENTS...: without a display, runs the calling script again with these
# arguments in a virtual one, so that its body stays plain bash; with a display, returns.
run_in_display() {
  [ -z "${DISPLAY:-}" ] || return 0
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
}
