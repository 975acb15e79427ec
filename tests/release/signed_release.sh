#!/usr/bin/env bash
# The signed release, with a throwaway CA and code-signing certificate made here: signed twice it
# gives the same zip; its signatures verify and name the signer; without them the DLLs are the
# unsigned release's, byte for byte; the release's own check played the signed DLLs; and
# scripts/verify-release.sh proves it this source's build, refusing a changed byte and a foreign
# CA. A wrong password, an expired certificate and one not for code signing stop the release with
# nothing written. Runs after reproducible_zip.sh, in its first clone and build tree.
#   signed_release.sh WORK WINE-PREFIX
set -uo pipefail
WORK=$1
export RELEASE_WINEPREFIX=$2
unset DISPLAY BRINKWATCHER_SIGN_PKCS12 BRINKWATCHER_TIMESTAMP_URL
clone=$WORK/first build=$WORK/first-build here=$WORK/signing
rm -rf "$here"
mkdir -p "$here"
passed=0 failed=0
check() {  # check WHAT COMMAND...: the command must succeed
  local what=$1
  shift
  if "$@" >>"$here/checks.log" 2>&1; then
    echo "ok     $what"
    passed=$((passed + 1))
  else
    echo "FAILED $what"
    failed=$((failed + 1))
  fi
}
refused() { ! "$@"; }

# ---- Throwaway certificates: two CAs, a code signer under each, an expired signer, and one
# without the code-signing purpose.
certificate() {  # certificate NAME CA SUBJECT DAYS EXTENSIONS
  openssl req -newkey rsa:2048 -nodes -keyout "$here/$1.key" -out "$here/$1.csr" -subj "/CN=$3" &&
    printf '%b' "$5" >"$here/$1.ext" &&
    openssl x509 -req -in "$here/$1.csr" -CA "$here/$2.pem" -CAkey "$here/$2.key" \
      -CAcreateserial -out "$here/$1.pem" -days "$4" -extfile "$here/$1.ext" &&
    openssl pkcs12 -export -in "$here/$1.pem" -inkey "$here/$1.key" -out "$here/$1.p12" \
      -passout "file:$here/password"
}
{
  echo "a throwaway password" >"$here/password"
  echo "not the password" >"$here/wrong-password"
  for ca in ca other-ca; do
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$here/$ca.key" -out "$here/$ca.pem" \
      -days 2 -subj "/CN=Brinkwatcher throwaway $ca" \
      -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign"
  done
  signing='basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n'
  certificate signer ca "Brinkwatcher throwaway signer" 2 "$signing"
  certificate other-signer other-ca "Someone else" 2 "$signing"
  certificate expired ca "Brinkwatcher expired signer" -1 "$signing"
  certificate server ca "Brinkwatcher server" 2 \
    'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=serverAuth\n'
} >"$here/certificates.log" 2>&1 || { cat "$here/certificates.log"; exit 1; }

release() {  # release NAME CERTIFICATE PASSWORD-FILE: a release into $here/NAME-dist
  (cd "$clone" && BUILD_ROOT=$build DIST=$here/$1-dist BRINKWATCHER_SIGN_PKCS12=$2 \
    BRINKWATCHER_SIGN_PASSWORD_FILE=$3 BRINKWATCHER_SIGN_URL=https://example.org/brinkwatcher \
    scripts/make-release.sh >"$here/$1.log" 2>&1)
}
unsigned=$(ls "$WORK"/first-dist/*.zip)
name=$(basename "$unsigned")

release signed "$here/signer.p12" "$here/password"
release again "$here/signer.p12" "$here/password"
check "a signed release made twice gives the same zip" \
  cmp "$here/signed-dist/$name" "$here/again-dist/$name"
mkdir -p "$here/signed-files" "$here/unsigned-files"
(cd "$here/signed-files" && unzip -q "$here/signed-dist/$name")
(cd "$here/unsigned-files" && unzip -q "$unsigned")
for dll in x86/Brinkwatcher.dll x64/Brinkwatcher.dll; do
  signed=$here/signed-files/$dll
  check "$dll: its signature verifies against the throwaway CA" \
    osslsigncode verify -CAfile "$here/ca.pem" -in "$signed"
  check "$dll: its signature names the signer" bash -c \
    "rm -f '$here/sig.pem' && osslsigncode extract-signature -pem -in '$signed' -out '$here/sig.pem' &&
     openssl pkcs7 -in '$here/sig.pem' -print_certs -noout | grep -q 'Brinkwatcher throwaway signer'"
  check "$dll: without its signature it is the unsigned release's, byte for byte" bash -c \
    "rm -f '$here/removed.dll' && osslsigncode remove-signature -in '$signed' -out '$here/removed.dll' &&
     cmp '$here/removed.dll' '$here/unsigned-files/$dll'"
done
for arch in i686 x86_64; do
  check "$arch: the release's check played the signed DLL" \
    grep -q "^$arch: the release check passed" "$here/signed.log"
done
check "the release signed before its check" bash -c \
  "grep -e '^signed ' -e '^checking ' '$here/signed.log' | head -n 1 | grep -q '^signed '"

check "verify-release.sh proves the signed zip this source's build" bash -c \
  "cd '$clone' && BUILD_ROOT='$build' scripts/verify-release.sh '$here/signed-dist/$name' --ca '$here/ca.pem'"
# One byte of a DLL changed, with SHA256SUMS made to match, so that only the DLL's own check sees it.
mkdir -p "$here/changed" && cp -r "$here/signed-files/." "$here/changed/"
printf '\x90' | dd of="$here/changed/x64/Brinkwatcher.dll" bs=1 seek=1200 conv=notrunc 2>/dev/null
(cd "$here/changed" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort |
  xargs sha256sum >SHA256SUMS)
python3 "$clone/scripts/write-zip.py" "$here/changed.zip" 0 "$here/changed"
check "verify-release.sh refuses a zip with one byte of a DLL changed" refused bash -c \
  "cd '$clone' && scripts/verify-release.sh '$here/changed.zip' --built '$unsigned'"
# The same DLLs signed under another authority.
mkdir -p "$here/foreign" && cp -r "$here/unsigned-files/." "$here/foreign/"
for dll in x86/Brinkwatcher.dll x64/Brinkwatcher.dll; do
  rm "$here/foreign/$dll"
  osslsigncode sign -pkcs12 "$here/other-signer.p12" -readpass "$here/password" -h sha256 \
    -time 0 -in "$here/unsigned-files/$dll" -out "$here/foreign/$dll" >>"$here/checks.log" 2>&1
done
(cd "$here/foreign" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort |
  xargs sha256sum >SHA256SUMS)
python3 "$clone/scripts/write-zip.py" "$here/foreign.zip" 0 "$here/foreign"
check "the other zip's DLLs are signed" osslsigncode verify -CAfile "$here/other-ca.pem" \
  -in "$here/foreign/x64/Brinkwatcher.dll"
check "verify-release.sh refuses a zip signed under another CA when the first is required" \
  refused bash -c "cd '$clone' && scripts/verify-release.sh '$here/foreign.zip' --ca '$here/ca.pem' --built '$unsigned'"
check "verify-release.sh accepts that zip against its own CA" bash -c \
  "cd '$clone' && scripts/verify-release.sh '$here/foreign.zip' --ca '$here/other-ca.pem' --built '$unsigned'"
check "verify-release.sh refuses the unsigned zip when a CA is required" refused bash -c \
  "cd '$clone' && scripts/verify-release.sh '$unsigned' --ca '$here/ca.pem' --built '$unsigned'"

for bad in "wrong-password signer.p12 wrong-password does not open" \
  "expired expired.p12 password has expired" "server server.p12 password not for code signing"; do
  read -r run p12 password words <<<"$bad"
  check "$run: the release stops, saying so" refused release "$run" "$here/$p12" "$here/$password"
  check "$run: the message says that it $words" grep -q "$words" "$here/$run.log"
  check "$run: nothing in its output folder" bash -c "[ -z \"\$(ls -A '$here/$run-dist' 2>/dev/null)\" ]"
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
