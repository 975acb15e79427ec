#!/usr/bin/env bash
# Builds both DLLs in the release's own build trees, signs them when a certificate is given, plays
# a short session with each in the simulated editor of its architecture, and packs exactly those
# files: dist/Brinkwatcher-<version>.zip with x86/ and x64/Brinkwatcher.dll, README.txt,
# README.ja.txt and SHA256SUMS. The zip's bytes depend
# only on the sources and the last commit's time: not on the folder, the time zone, the umask or
# the locale.
#   scripts/make-release.sh            (DIST names another output folder; default dist/)
# Signing, when a certificate is given: both DLLs get an Authenticode signature (SHA-256) with the
# program's name, dated the last commit's time, so that the same commit signed twice with the same
# certificate gives the same zip.
#   BRINKWATCHER_SIGN_PKCS12=FILE          the code-signing certificate with its key (PKCS#12)
#   BRINKWATCHER_SIGN_PASSWORD_FILE=FILE   its password, read from the file, never a command line
#   BRINKWATCHER_SIGN_URL=URL              the project's address, shown by Windows' prompts
#   BRINKWATCHER_TIMESTAMP_URL=URL         an RFC 3161 timestamp server, whose time is used instead
# A certificate that cannot be opened, has expired or is not for code signing stops the release
# before anything is written to DIST.
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

# The certificate is checked before anything is built.
source "$ROOT/scripts/release-signing.sh"
signing_check

# The release's own trees, kept between releases of this checkout: a second release rebuilds only
# what changed, and a change of toolchain starts them afresh. The DLLs are always linked again,
# since a signed one is signed where it was built.
RELEASE=$BUILD_ROOT/release
toolchain=$(cat "$ROOT"/cmake/*.cmake | sha256sum | cut -c1-16)
[ "$(cat "$RELEASE/toolchain.sha" 2>/dev/null)" = "$toolchain" ] || rm -rf "$RELEASE"
rm -rf "$RELEASE/stage" "$RELEASE/zip.partial"
mkdir -p "$RELEASE"
echo "$toolchain" >"$RELEASE/toolchain.sha"
declare -A folder=([i686]=x86 [x86_64]=x64)
for arch in "${ARCHS[@]}"; do
  tree=$RELEASE/$arch
  echo "building $arch in ${tree#"$ROOT"/}"
  mkdir -p "$tree"
  rm -f "$tree/bin/Brinkwatcher.dll"
  cmake -S "$ROOT" -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DBRINKWATCHER_TESTS=OFF >"$tree/build.log" 2>&1 &&
    cmake --build "$tree" --target brinkwatcher-release-check -j"$(nproc)" >>"$tree/build.log" 2>&1 || {
    tail -n 40 "$tree/build.log" >&2
    exit 1
  }
done

# Signed where they were built, so that the check below plays the very files that are packed.
for arch in "${ARCHS[@]}"; do
  sign_dll "$RELEASE/$arch/bin/Brinkwatcher.dll"
done

# The check: the very files about to be packed, each in the editor of its architecture. The
# prefix lives beside the trees, so that it is made once, not on every release.
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
# Written beside, then moved: a release stopped half way leaves no zip in DIST.
python3 "$ROOT/scripts/write-zip.py" "$RELEASE/zip.partial" "$SOURCE_DATE_EPOCH" "$stage"
mv "$RELEASE/zip.partial" "$zip"
echo "wrote ${zip#"$PWD"/}"
echo "  size:    $(stat -c %s "$zip") bytes"
echo "  SHA-256: $(sha256sum "$zip" | cut -d' ' -f1)"
