#!/bin/sh
# Authenticode signing of the release, when a studio has a certificate:
#   SIGN_PFX            the certificate and its private key, a PKCS#12 file
#   SIGN_PASS_FILE      a file holding the PKCS#12 password on one line (optional)
#   SIGN_TIMESTAMP_URL  an RFC 3161 time-stamping server (optional); a
#                       time-stamped signature stays valid after the
#                       certificate expires
# Read from the environment on every run (`make SIGN_PFX=...` puts them there).
# Without SIGN_PFX nothing is signed.
#
#   sign.sh FILE        signs the file in place, with SHA-256
#   sign.sh --state OUT writes what signing depends on into OUT, touching it
#                       only when that changed, so that the build signs and
#                       packages again exactly then
#
# The options are those of osslsigncode 2.5 (Debian 12) and later.
set -eu
fail() {
  echo "sign.sh: $*" >&2
  exit 1
}
pfx=${SIGN_PFX:-} pass_file=${SIGN_PASS_FILE:-} timestamp=${SIGN_TIMESTAMP_URL:-}

if [ -n "$pfx" ]; then
  [ -f "$pfx" ] && [ -r "$pfx" ] || fail "SIGN_PFX=$pfx: no readable certificate file there"
  [ -z "$pass_file" ] || { [ -f "$pass_file" ] && [ -r "$pass_file" ]; } ||
    fail "SIGN_PASS_FILE=$pass_file: no readable password file there"
elif [ -n "$pass_file$timestamp" ]; then
  fail "SIGN_PASS_FILE and SIGN_TIMESTAMP_URL need SIGN_PFX, the certificate to sign with"
fi

if [ "${1:-}" = "--state" ]; then
  out=$2
  # Paths, sizes and times: a changed certificate or password file signs anew.
  state=$(
    echo "SIGN_PFX=$pfx"
    [ -z "$pfx" ] || stat -L -c '%s %Y' "$pfx"
    echo "SIGN_PASS_FILE=$pass_file"
    [ -z "$pass_file" ] || stat -L -c '%s %Y' "$pass_file"
    echo "SIGN_TIMESTAMP_URL=$timestamp"
  )
  [ -f "$out" ] && [ "$(cat "$out")" = "$state" ] || printf '%s\n' "$state" >"$out"
  exit 0
fi

[ -n "$pfx" ] || exit 0
file=$1 signed="$1.signed"
set -- -pkcs12 "$pfx" -h sha256 -n P_Tessaline
[ -z "$pass_file" ] || set -- "$@" -readpass "$pass_file"
[ -z "$timestamp" ] || set -- "$@" -ts "$timestamp"
rm -f "$signed" # osslsigncode 2.5 does not overwrite its output
osslsigncode sign "$@" -in "$file" -out "$signed" >/dev/null ||
  { rm -f "$signed"; fail "signing $file with $pfx failed (see above)"; }
mv "$signed" "$file"
echo "signed $file"
