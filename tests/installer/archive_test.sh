#!/bin/sh
# The release archive holds exactly the plug-in, the installer and README.txt,
# flat; the two binaries are the build's, and README.txt has Windows line
# ends and the manual install steps.
#
#   archive_test.sh ZIP AEX MSI
set -eu
archive=$1 aex=$2 msi=$3
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

names=$(unzip -Z1 "$archive" | sort)
expected=$(printf '%s\n' P_Tessaline.aex README.txt "$(basename "$msi")" | sort)
[ "$names" = "$expected" ] || fail "archive lists:
$names
expected:
$expected"

unzip -p "$archive" P_Tessaline.aex | cmp -s - "$aex" || fail "P_Tessaline.aex differs from $aex"
unzip -p "$archive" "$(basename "$msi")" | cmp -s - "$msi" || fail "the MSI differs from $msi"

lines=$(unzip -p "$archive" README.txt | grep -c '')
crlf=$(unzip -p "$archive" README.txt | grep -c "$(printf '\r')\$")
[ "$lines" -gt 0 ] && [ "$crlf" = "$lines" ] || fail "README.txt: $crlf of $lines lines end in CRLF"
unzip -p "$archive" README.txt | grep -qF 'Plug-ins\7.0\MediaCore\Tessaline' ||
  fail "README.txt does not name the install folder"
echo "archive: $names"
