#!/bin/sh
# The release archive holds exactly the plug-in, the installer, README.txt and
# the user guide as one HTML page, flat; the two binaries are the release's,
# README.txt has Windows line ends and the install steps, and the guide
# carries its pictures. The MSI states the library's file version in its
# File table, and the product version.
#
#   archive_test.sh ZIP AEX MSI FILE_VERSION PRODUCT_VERSION
set -eu
archive=$1 aex=$2 msi=$3 file_version=$4 product_version=$5
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

names=$(unzip -Z1 "$archive" | sort)
expected=$(printf '%s\n' P_Tessaline.aex P_Tessaline-guide.html README.txt "$(basename "$msi")" | sort)
[ "$names" = "$expected" ] || fail "archive lists:
$names
expected:
$expected"

unzip -p "$archive" P_Tessaline.aex | cmp -s - "$aex" || fail "P_Tessaline.aex differs from $aex"
unzip -p "$archive" "$(basename "$msi")" | cmp -s - "$msi" || fail "the MSI differs from $msi"

lines=$(unzip -p "$archive" README.txt | grep -c '')
crlf=$(unzip -p "$archive" README.txt | grep -c "$(printf '\r')\$")
[ "$lines" -gt 0 ] && [ "$crlf" = "$lines" ] || fail "README.txt: $crlf of $lines lines end in CRLF"
for line in 'Plug-ins\7.0\MediaCore\Tessaline' "msiexec /i $(basename "$msi") /qn" \
  "msiexec /x $(basename "$msi") /qn" '/l*v' 'INSTALLDIR='; do
  unzip -p "$archive" README.txt | grep -qF "$line" || fail "README.txt does not say '$line'"
done

# Self-contained: every picture inside the page.
guide=$(unzip -p "$archive" P_Tessaline-guide.html)
pictures=$(printf '%s\n' "$guide" | grep -o '<img src="[^"]*' | grep -c '"data:image/png;base64,')
[ "$pictures" = "$(printf '%s\n' "$guide" | grep -o '<img ' | grep -c .)" ] && [ "$pictures" -gt 0 ] ||
  fail "the guide embeds $pictures of its pictures"
printf '%s\n' "$guide" | grep -q '<table>' || fail "the guide's tables were not rendered"

row=$(msiinfo export "$msi" File | awk -F '\t' '$1 == "P_Tessaline.aex" { print $5 "|" $6 }')
[ "$row" = "$file_version|1033" ] || fail "the MSI's File table states version|language '$row'"
[ -z "$(msiinfo export "$msi" MsiFileHash | awk -F '\t' '$1 == "P_Tessaline.aex"')" ] ||
  fail "the MSI keeps a hash for the versioned library"
msiinfo export "$msi" Property | tr -d '\r' | grep -qx "ProductVersion	$product_version" ||
  fail "the MSI's product version is not $product_version"
echo "archive: $names"
