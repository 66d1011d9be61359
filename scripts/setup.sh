#!/usr/bin/env bash
# Installs what building and testing Quillan needs from Debian's packages.
# Idempotent and quiet when everything is already there.
set -euo pipefail

packages=(g++ cmake ninja-build g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev zlib1g-dev
          wine wine32:i386 wine64 xvfb xauth x11-apps imagemagick googletest libgtest-dev
          libbenchmark-dev libpugixml-dev clang libclang-rt-14-dev libpng-dev pngcheck
          llvm-14-dev python3 python3-aiosmtpd python3-pyftpdlib dnsmasq-base openssl)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
echo "setup: installing ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
