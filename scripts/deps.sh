#!/bin/sh
# Installs the Debian packages that the build and the tests need, skipping
# those already installed. Runs apt-get update once, only when something is missing.
set -e
packages="cmake ninja-build g++ make googletest libbenchmark-dev libpng-dev
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64
  clang libclang-rt-14-dev clang-format wixl msitools zip unzip
  osslsigncode openssl cmark-gfm"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "installing:$missing"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $missing
