#!/bin/sh
# Signing as a studio with a certificate signs the release (sign.sh), with a
# throwaway self-signed certificate made here: copies of the library and the
# MSI verify with that certificate as the trusted root, and the signed
# library still loads and answers About. A certificate or password file that
# cannot be read fails with a reason, before anything is signed.
#
#   signing_test.sh WINE_RUN PROBE SIGN_SH AEX MSI ABOUT_VERSION WORK_DIR
set -eu
wine_run=$1 probe=$2 sign=$3 aex=$4 msi=$5 about_version=$6 work=$7
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
unset SIGN_PFX SIGN_PASS_FILE SIGN_TIMESTAMP_URL
rm -rf "$work"
mkdir -p "$work"
cd "$work"

printf 'throwaway password\n' >password.txt
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out root.pem -days 2 \
  -subj "/CN=Tessaline test signer" -addext "extendedKeyUsage=codeSigning" 2>/dev/null
openssl pkcs12 -export -inkey key.pem -in root.pem -out studio.pfx -passout file:password.txt
cp "$aex" P_Tessaline.aex
cp "$msi" Tessaline.msi

for file in P_Tessaline.aex Tessaline.msi; do
  SIGN_PFX=studio.pfx SIGN_PASS_FILE=password.txt "$sign" "$file" || fail "signing $file"
  osslsigncode verify -CAfile root.pem -in "$file" >verify.log 2>&1 ||
    fail "$file does not verify: $(cat verify.log)"
done
cmp -s "$aex" P_Tessaline.aex && fail "the library was left unsigned"
# Wine reaches the build machine's files through drive Z:.
about=$("$wine_run" "$probe" "$(printf 'Z:%s' "$work/P_Tessaline.aex" | tr / '\\')") ||
  fail "the signed library did not load"
[ "$about" = "$(printf 'P_Tessaline v%s\rCenter-based guide grid.' "$about_version")" ] ||
  fail "the signed library's About answered '$about'"

# Unreadable files, and options without a certificate: refused, with a reason.
cp "$aex" unsigned.aex
expect_refused() { # REASON VARIABLE=VALUE...
  reason=$1
  shift
  if env "$@" "$sign" unsigned.aex </dev/null 2>error.txt; then fail "$* was accepted"; fi
  grep -q "$reason" error.txt || fail "$*: no reason given: $(cat error.txt)"
  cmp -s "$aex" unsigned.aex || fail "$*: the file was changed"
}
expect_refused "SIGN_PFX=.*missing.pfx: no readable" SIGN_PFX="$work/missing.pfx"
expect_refused "SIGN_PASS_FILE=.*missing.txt: no readable" SIGN_PFX=studio.pfx \
  SIGN_PASS_FILE="$work/missing.txt"
expect_refused "need SIGN_PFX" SIGN_TIMESTAMP_URL=http://timestamp.invalid
expect_refused "signing unsigned.aex with studio.pfx failed" SIGN_PFX=studio.pfx # no password

# Without SIGN_PFX nothing is signed.
"$sign" unsigned.aex
cmp -s "$aex" unsigned.aex || fail "a build without SIGN_PFX changed the library"
echo "signed, verified and loaded: passed"
