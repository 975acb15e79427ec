# shellcheck shell=bash
# Authenticode signing for the release (scripts/make-release.sh), when BRINKWATCHER_SIGN_PKCS12
# names a certificate. Source it, call signing_check once before building, then sign_dll on each
# DLL. Without a certificate both do nothing. The password is only ever read from its file.
SIGN_PKCS12=${BRINKWATCHER_SIGN_PKCS12:-}
SIGN_PASSWORD_FILE=${BRINKWATCHER_SIGN_PASSWORD_FILE:-}
SIGN_URL=${BRINKWATCHER_SIGN_URL:-}
TIMESTAMP_URL=${BRINKWATCHER_TIMESTAMP_URL:-}

signing_failed() {
  echo "cannot sign the release: $*" >&2
  exit 1
}

# The certificate opens with its password, is valid now and is meant for code signing.
signing_check() {
  [ -n "$SIGN_PKCS12" ] || { echo "signing: no certificate given, the DLLs stay unsigned"; return 0; }
  [ -r "$SIGN_PKCS12" ] || signing_failed "no certificate file at $SIGN_PKCS12"
  [ -n "$SIGN_PASSWORD_FILE" ] && [ -r "$SIGN_PASSWORD_FILE" ] ||
    signing_failed "BRINKWATCHER_SIGN_PASSWORD_FILE must name a readable file with the password"
  local certificate
  certificate=$(openssl pkcs12 -in "$SIGN_PKCS12" -passin "file:$SIGN_PASSWORD_FILE" -nokeys \
    -clcerts 2>/dev/null | openssl x509 2>/dev/null) ||
    signing_failed "$SIGN_PKCS12 does not open with the password in $SIGN_PASSWORD_FILE"
  openssl x509 -noout -checkend 0 <<<"$certificate" >/dev/null ||
    signing_failed "the certificate has expired ($(openssl x509 -noout -enddate <<<"$certificate"))"
  openssl x509 -noout -ext extendedKeyUsage <<<"$certificate" 2>/dev/null | grep -q "Code Signing" ||
    signing_failed "the certificate is not for code signing (no Code Signing extended key usage)"
  echo "signing: $(openssl x509 -noout -subject <<<"$certificate"), SHA-256," \
    "${TIMESTAMP_URL:+timestamped by $TIMESTAMP_URL}${TIMESTAMP_URL:-dated the last commit}"
}

# Signs DLL in place.
sign_dll() {
  [ -n "$SIGN_PKCS12" ] || return 0
  local dll=$1 when
  if [ -n "$TIMESTAMP_URL" ]; then
    when=(-ts "$TIMESTAMP_URL")
  else
    when=(-time "$SOURCE_DATE_EPOCH")
  fi
  osslsigncode sign -pkcs12 "$SIGN_PKCS12" -readpass "$SIGN_PASSWORD_FILE" -h sha256 \
    -n Brinkwatcher ${SIGN_URL:+-i "$SIGN_URL"} "${when[@]}" -in "$dll" -out "$dll.signed" \
    >"$dll.signing.log" 2>&1 || {
    rm -f "$dll.signed"
    cat "$dll.signing.log" >&2
    signing_failed "osslsigncode could not sign $dll"
  }
  mv "$dll.signed" "$dll"
  echo "signed ${dll#"$ROOT"/}"
}
