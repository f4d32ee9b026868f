#!/bin/sh
# The installer on a machine of its own: a Wine prefix made afresh for this
# run, where the MSI is installed silently, installed again, removed, then
# installed once more and replaced by another build of the same version and
# then by a later version, which an older package must not replace in turn,
# and which is removed last. Last, a studio's own plug-in folder: installed
# there with INSTALLDIR and a verbose log, upgraded there, and removed from
# there cleanly.
#
#   install_test.sh WINE_RUN PROBE AEX MSI WXS WIXL VERSION ABOUT_VERSION WORK_DIR
set -eu
wine_run=$1 probe=$2 aex=$3 msi=$4 wxs=$5 wixl=$6 version=$7 about_version=$8 work=$9

prefix="$work/wineprefix"
export TESSALINE_WINEPREFIX="$prefix" WINEPREFIX="$prefix"
folder="$prefix/drive_c/Program Files/Adobe/Common/Plug-ins/7.0/MediaCore/Tessaline"
installed_win='C:\Program Files\Adobe\Common\Plug-ins\7.0\MediaCore\Tessaline\P_Tessaline.aex'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
stop_wine() { wineserver -k 2>/dev/null || true; }
trap stop_wine EXIT

msiexec() { "$wine_run" msiexec "$@"; }

# "KEY|DisplayName|DisplayVersion|Publisher" for each installed program named P_Tessaline.
installed_entries() {
  "$wine_run" reg query "$uninstall_key" /s | tr -d '\r' | awk '
    /^HKEY_/ { if (name == "P_Tessaline") print key "|" name "|" ver "|" pub
               key = $0; name = ""; ver = ""; pub = "" }
    $1 == "DisplayName"    { name = $3 }
    $1 == "DisplayVersion" { ver = $3 }
    $1 == "Publisher"      { pub = $3 }
    END { if (name == "P_Tessaline") print key "|" name "|" ver "|" pub }'
}

# The plug-in is installed at VERSION: the file is the build's, it loads and
# answers About, and exactly one program entry lists it. FOLDER and WINDOWS_PATH
# name another place than the common plug-in folder.
expect_installed() {
  at=${3:-$folder} at_win=${4:-$installed_win}
  cmp -s "$aex" "$at/P_Tessaline.aex" || fail "$1: installed file differs from $aex"
  [ "$(ls -A "$at")" = "P_Tessaline.aex" ] || fail "$1: other files in the folder: $(ls -A "$at")"
  about=$("$wine_run" "$probe" "$at_win") || fail "$1: the installed library did not load"
  [ "$about" = "$(printf 'P_Tessaline v%s\rCenter-based guide grid.' "$about_version")" ] ||
    fail "$1: About answered '$about'"
  entries=$(installed_entries)
  [ "$(printf '%s\n' "$entries" | grep -c .)" = 1 ] || fail "$1: program entries: '$entries'"
  case "$entries" in
    *"|P_Tessaline|$2|Pelko") ;;
    *) fail "$1: program entry '$entries', expected version $2" ;;
  esac
}

expect_removed() {
  [ ! -e "$folder" ] || fail "$1: $folder is left: $(ls -A "$folder")"
  [ -z "$(installed_entries)" ] || fail "$1: program entry left: $(installed_entries)"
  if "$wine_run" reg query 'HKLM\Software\Pelko\P_Tessaline' >/dev/null 2>&1; then
    fail "$1: the registry key of the install folder is left"
  fi
}

rm -rf "$prefix" "$prefix.lock"
mkdir -p "$work"
expect_removed "fresh prefix"

msiexec /i "$msi" /qn || fail "install answered $?"
expect_installed "install" "$version"
state=$(ls -l --time-style=full-iso "$folder"; installed_entries)

msiexec /i "$msi" /qn || fail "second install answered $?"
expect_installed "second install" "$version"
[ "$(ls -l --time-style=full-iso "$folder"; installed_entries)" = "$state" ] ||
  fail "the second install changed the installation"

msiexec /x "$msi" /qn || fail "uninstall answered $?"
expect_removed "uninstall"

# Another build of this version (a product code of its own), then a later
# version (the next fix level), each replaces what is installed.
build_msi() { (cd "$(dirname "$aex")" && "$wixl" -a x64 -D Version="$1" -o "$2" "$wxs"); }
later=$(echo "$version" | awk -F. '{ print $1 "." $2 "." $3 + 1 }')
build_msi "$version" "$work/rebuilt.msi"
build_msi "$later" "$work/later.msi"
msiexec /i "$msi" /qn || fail "install before the upgrade answered $?"
msiexec /i "$work/rebuilt.msi" /qn || fail "install of a rebuild answered $?"
expect_installed "rebuild of the same version" "$version"
msiexec /i "$work/later.msi" /qn || fail "upgrade answered $?"
expect_installed "upgrade" "$later"
if msiexec /i "$msi" /qn; then fail "the older package replaced the later one"; fi
expect_installed "downgrade refused" "$later"
msiexec /x "$work/later.msi" /qn || fail "uninstall of the later version answered $?"
expect_removed "uninstall after the upgrade"

# A studio whose hosts read another plug-in folder, which holds another
# plug-in already: installed into a folder of its own there, with a log; a
# later version, given no INSTALLDIR, goes there too; the removal, given none
# either, removes it from there and leaves the rest.
studio="$prefix/drive_c/Studio Plug-ins"
studio_win='C:\Studio Plug-ins\Tessaline\P_Tessaline.aex'
mkdir -p "$studio"
echo other >"$studio/Other.aex"
log_win=$(printf 'Z:%s' "$work/install.log" | tr / '\\')
msiexec /i "$msi" /qn 'INSTALLDIR=C:\Studio Plug-ins\Tessaline' /l*v "$log_win" ||
  fail "install into INSTALLDIR answered $?"
[ -s "$work/install.log" ] || fail "no install log written"
expect_installed "install into INSTALLDIR" "$version" "$studio/Tessaline" "$studio_win"
msiexec /i "$work/later.msi" /qn || fail "upgrade in INSTALLDIR answered $?"
expect_installed "upgrade in INSTALLDIR" "$later" "$studio/Tessaline" "$studio_win"
[ ! -e "$folder" ] || fail "the install into INSTALLDIR also filled $folder"
msiexec /x "$work/later.msi" /qn || fail "uninstall from INSTALLDIR answered $?"
expect_removed "uninstall from INSTALLDIR"
[ ! -e "$studio/Tessaline" ] || fail "$studio/Tessaline is left: $(ls -A "$studio/Tessaline")"
[ "$(ls -A "$studio")" = "Other.aex" ] || fail "the studio folder holds: $(ls -A "$studio")"

stop_wine
rm -rf "$prefix" "$prefix.lock" "$work/rebuilt.msi" "$work/later.msi" "$work/install.log"
echo "install, reinstall, uninstall, upgrade, another folder: passed"
