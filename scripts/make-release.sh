#!/usr/bin/env bash
# Builds both DLLs in a fresh build tree, plays a short session with each in the simulated editor
# of its architecture, and packs exactly those files: dist/Brinkwatcher-<version>.zip with
# x86/ and x64/Brinkwatcher.dll, README.txt, README.ja.txt and SHA256SUMS. The zip's bytes depend
# only on the sources and the last commit's time: not on the folder, the time zone, the umask or
# the locale.
#   scripts/make-release.sh            (DIST names another output folder; default dist/)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROOT/scripts/common.sh"
DIST=$(realpath -m "${DIST:-$ROOT/dist}")
# Once, also when the script runs itself again below.
if [ -z "${BRINKWATCHER_DEPS_CHECKED:-}" ]; then
  "$ROOT/scripts/install-deps.sh" >&2
  export BRINKWATCHER_DEPS_CHECKED=1
fi
# The check below needs a display: the whole script runs in a virtual one if there is none.
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

export TZ=UTC LC_ALL=C.UTF-8
umask 022
VERSION=$(sed -n 's/^ *IDS_VERSION_TEXT "Version \([0-9][0-9.]*\)".*/\1/p' "$ROOT/res/Brinkwatcher.rc")
[ -n "$VERSION" ] || { echo "no version in string 104 of res/Brinkwatcher.rc" >&2; exit 1; }
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$ROOT" log -1 --format=%ct)}
export SOURCE_DATE_EPOCH

RELEASE=$BUILD_ROOT/release
rm -rf "$RELEASE"
declare -A folder=([i686]=x86 [x86_64]=x64)
for arch in "${ARCHS[@]}"; do
  tree=$RELEASE/$arch
  echo "building $arch in ${tree#"$ROOT"/}"
  mkdir -p "$tree"
  cmake -S "$ROOT" -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DBRINKWATCHER_TESTS=OFF >"$tree/build.log" 2>&1 &&
    cmake --build "$tree" --target brinkwatcher-release-check -j"$(nproc)" >>"$tree/build.log" 2>&1 || {
    tail -n 40 "$tree/build.log" >&2
    exit 1
  }
done

# The check: the very files about to be packed, each in the editor of its architecture. The
# prefix lives beside the fresh trees, so that it is made once, not on every release.
check() {
  local arch status
  source "$ROOT/scripts/run-summary.sh"
  export WINEPREFIX=${RELEASE_WINEPREFIX:-$BUILD_ROOT/release-wineprefix}
  "$ROOT/scripts/wine-prefix.sh"
  local -A how=([i686]="32-bit, $(bits32_mode)" [x86_64]="64-bit, native")
  for arch in i686 x86_64; do
    echo "checking $arch/bin/Brinkwatcher.dll in the simulated editor (${how[$arch]})"
    status=0
    "$ROOT/scripts/wine-run.sh" $arch "$RELEASE/$arch/bin/brinkwatcher-release-check.exe" |
      sed 's/^/  /' || status=$?
    if [ $status = 0 ]; then
      run_passed "$arch: the release check passed"
    else
      run_failed "$arch: the release check ended with status $status"
    fi
  done
  "$WINESERVER" -k || true
  print_runs
}
check

# The zip's contents, with Windows line ends in the texts and a byte order mark on the Japanese.
stage=$RELEASE/stage
mkdir -p "$stage/x86" "$stage/x64"
for arch in "${ARCHS[@]}"; do
  cp "$RELEASE/$arch/bin/Brinkwatcher.dll" "$stage/${folder[$arch]}/Brinkwatcher.dll"
done
for text in README.txt README.ja.txt; do
  bom=
  [ "$text" = README.ja.txt ] && bom=$'\xEF\xBB\xBF'
  { printf '%s' "$bom"; sed "s/@VERSION@/$VERSION/g; s/\$/\r/" "$ROOT/docs/release/$text.in"; } \
    >"$stage/$text"
done
(cd "$stage" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort |
  xargs sha256sum >SHA256SUMS)
find "$stage" -exec chmod u=rwX,go=rX {} +

mkdir -p "$DIST"
zip=$DIST/Brinkwatcher-$VERSION.zip
python3 "$ROOT/scripts/write-zip.py" "$zip" "$SOURCE_DATE_EPOCH" "$stage"
echo "wrote ${zip#"$PWD"/}"
echo "  size:    $(stat -c %s "$zip") bytes"
echo "  SHA-256: $(sha256sum "$zip" | cut -d' ' -f1)"
