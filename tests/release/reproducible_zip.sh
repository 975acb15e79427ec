#!/usr/bin/env bash
# Builds the release zip twice, from two clean clones in different folders, under a different time
# zone, umask and locale, and compares the two zips and every file in them. The first zip stays in
# WORK/first-dist for the contents check. The Wine prefix is kept between runs.
#   reproducible_zip.sh SOURCE-REPOSITORY WORK WINE-PREFIX
set -euo pipefail
SRC=$1 WORK=$2
rm -rf "$WORK"
mkdir -p "$WORK"
git clone -q "$SRC" "$WORK/first"
git clone -q "$SRC" "$WORK/second clone/in another folder"
export RELEASE_WINEPREFIX=$3  # one prefix for both runs
# The release check gets a display of its own: the suite's other Wine programs share this one.
unset DISPLAY

release() {  # release CLONE NAME TZ UMASK LOCALE
  (cd "$1" && umask "$4" && TZ=$3 LC_ALL=$5 BUILD_ROOT=$WORK/$2-build DIST=$WORK/$2-dist \
    scripts/make-release.sh >"$WORK/$2.log" 2>&1) || {
    echo "the $2 release failed:" >&2
    tail -n 30 "$WORK/$2.log" >&2
    exit 1
  }
  grep -E "^(wrote|  size|  SHA-256)" "$WORK/$2.log" | sed "s/^/$2: /"
}
release "$WORK/first" first UTC 022 C.UTF-8
release "$WORK/second clone/in another folder" second Asia/Tokyo 077 POSIX

first=$(ls "$WORK"/first-dist/*.zip)
second=$(ls "$WORK"/second-dist/*.zip)
[ "$(basename "$first")" = "$(basename "$second")" ] || {
  echo "different names: $(basename "$first") and $(basename "$second")" >&2
  exit 1
}
if cmp -s "$first" "$second"; then
  echo "the same zip twice: $(sha256sum "$first" | cut -d' ' -f1)"
fi

# Every file in them, so that a difference is named by file and byte.
mkdir -p "$WORK/first-files" "$WORK/second-files"
(cd "$WORK/first-files" && unzip -q "$first")
(cd "$WORK/second-files" && unzip -q "$second")
status=0
while read -r name; do
  a=$WORK/first-files/$name b=$WORK/second-files/$name
  if [ ! -f "$b" ]; then
    echo "only in the first zip: $name" >&2
    status=1
  elif ! cmp -s "$a" "$b"; then
    echo "$name differs: $(sha256sum <"$a" | cut -c1-16)… against $(sha256sum <"$b" | cut -c1-16)…" >&2
    echo "  differing bytes (offset, octal values), first 20:" >&2
    cmp -l "$a" "$b" | head -n 20 | sed 's/^/    /' >&2
    status=1
  fi
done < <(cd "$WORK/first-files" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
(cd "$WORK/second-files" && find . -type f | sed 's|^\./||') | while read -r name; do
  [ -f "$WORK/first-files/$name" ] || { echo "only in the second zip: $name" >&2; exit 1; }
done || status=1
if ! cmp -s "$first" "$second"; then
  echo "the zips differ: $(sha256sum "$first" | cut -d' ' -f1) against $(sha256sum "$second" | cut -d' ' -f1)" >&2
  cmp -l "$first" "$second" | head -n 20 | sed 's/^/    /' >&2
  status=1
fi
exit $status
