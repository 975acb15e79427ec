#!/usr/bin/env bash
# Proves that a release zip is this source's build: builds the release of the commit checked out
# here, as scripts/make-release.sh does, and holds the zip against it, one line per file.
#   scripts/verify-release.sh ZIP [--ca FILE] [--built ZIP]
# Each DLL's signature, if any, must verify: against the CA certificates in FILE with --ca, where
# an unsigned DLL or one signed under another authority fails; without --ca its signer is only
# named. Each DLL with its signature removed, and every other file, must be byte for byte the one
# built here, and the zip's SHA256SUMS must match its files. --built names an unsigned release zip
# already built here from this commit, instead of building one. Exits non-zero on any difference.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
zip='' ca='' built=''
while [ $# -gt 0 ]; do
  case $1 in
    --ca) ca=$(realpath "$2"); shift 2 ;;
    --built) built=$(realpath "$2"); shift 2 ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) zip=$(realpath "$1"); shift ;;
  esac
done
[ -n "$zip" ] && [ -f "$zip" ] || { echo "usage: $0 ZIP [--ca FILE] [--built ZIP]" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ -z "$built" ]; then
  echo "building the release of $(git -C "$ROOT" rev-parse --short HEAD) here…"
  # Unsigned whatever the environment says: only the signatures may differ.
  (unset BRINKWATCHER_SIGN_PKCS12 BRINKWATCHER_TIMESTAMP_URL
   DIST=$work/built "$ROOT/scripts/make-release.sh" >"$work/build.log" 2>&1) || {
    tail -n 30 "$work/build.log" >&2
    echo "FAILED: the release could not be built here" >&2
    exit 1
  }
  built=$(ls "$work"/built/*.zip)
fi
mkdir -p "$work/theirs" "$work/ours"
(cd "$work/theirs" && unzip -q "$zip")
(cd "$work/ours" && unzip -q "$built")

failures=0
line() {  # line ok|FAILED FILE TEXT
  printf '%-6s %-24s %s\n' "$1" "$2" "$3"
  [ "$1" = ok ] || failures=$((failures + 1))
}

# Its signer's subject, from a DLL's signature.
signer() {
  rm -f "$work/signature.pem"
  osslsigncode extract-signature -pem -in "$1" -out "$work/signature.pem" >/dev/null 2>&1 &&
    openssl pkcs7 -in "$work/signature.pem" -print_certs -noout 2>/dev/null |
    sed -n 's/^subject=//p' | head -n 1
}

while read -r name; do
  theirs=$work/theirs/$name ours=$work/ours/$name
  case $name in
    SHA256SUMS) continue ;;
    *.dll) ;;
    *)
      if [ ! -f "$ours" ]; then line FAILED "$name" "not in the release built here"
      elif cmp -s "$theirs" "$ours"; then line ok "$name" "the same bytes as built here"
      else line FAILED "$name" "differs from the release built here"; fi
      continue ;;
  esac
  what=
  # osslsigncode writes no file that exists already.
  rm -f "$work/sig.der" "$work/unsigned.dll"
  if osslsigncode extract-signature -in "$theirs" -out "$work/sig.der" >/dev/null 2>&1; then
    who=$(signer "$theirs")
    if [ -n "$ca" ]; then
      if osslsigncode verify -CAfile "$ca" -in "$theirs" >"$work/verify.log" 2>&1; then
        what="signed by $who, verified against $(basename "$ca")"
      else
        line FAILED "$name" "its signature does not verify against $(basename "$ca") (signer: $who)"
        continue
      fi
    else
      what="signed by $who (not checked: no --ca given)"
    fi
    osslsigncode remove-signature -in "$theirs" -out "$work/unsigned.dll" >/dev/null 2>&1 || {
      line FAILED "$name" "its signature cannot be removed"
      continue
    }
  else
    if [ -n "$ca" ]; then
      line FAILED "$name" "unsigned, but --ca requires a signature"
      continue
    fi
    what="unsigned"
    cp "$theirs" "$work/unsigned.dll"
  fi
  if [ ! -f "$ours" ]; then
    line FAILED "$name" "$what; not in the release built here"
  elif cmp -s "$work/unsigned.dll" "$ours"; then
    line ok "$name" "$what; without its signature the same bytes as built here"
  else
    line FAILED "$name" "$what; differs from the DLL built here at $(cmp "$work/unsigned.dll" "$ours" | sed 's/.*, //')"
  fi
done < <(cd "$work/theirs" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
while read -r name; do
  [ -f "$work/theirs/$name" ] || line FAILED "$name" "built here, missing from the zip"
done < <(cd "$work/ours" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)

if [ ! -f "$work/theirs/SHA256SUMS" ]; then
  line FAILED SHA256SUMS "missing"
elif (cd "$work/theirs" && sha256sum --quiet -c SHA256SUMS >/dev/null 2>&1); then
  line ok SHA256SUMS "matches every file"
else
  line FAILED SHA256SUMS "does not match the files"
fi

if [ $failures -eq 0 ]; then
  echo "verified: $(basename "$zip") is this source's build"
else
  echo "NOT verified: $failures difference(s)"
  exit 1
fi
