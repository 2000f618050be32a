#!/usr/bin/env bash
# Installs the cross compilers, Wine and the test tools on Debian 12 when any
# of them is missing; does nothing when all are there.
set -euo pipefail
pkgs=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools libwine-dev
      wine wine32:i386 wine64 xvfb x11-apps imagemagick fonts-ipafont-gothic
      cmake ninja-build googletest nsis zip)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "setup: installing ${missing[*]}"
sudo=""; [ "$(id -u)" = 0 ] || sudo=sudo
dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
