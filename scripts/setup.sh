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
# A mirror caught mid-sync fails one index (seen: the security archive's i386 list) and
# apt-get update then exits non-zero although every other list is fresh; go on with them.
$SUDO apt-get update -qq || echo "setup: apt-get update failed for some lists; going on with the others"
apt_install() {
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "$@" "${missing[@]}" >/dev/null
}
apt_install && exit 0

# Without the security archive's i386 list, wine32's i386 libraries cannot match the
# amd64 versions already installed from it. Install from the main archive alone, with
# lists of its own so that the system's lists are left as they are.
echo "setup: installing again from the main archive alone (a security index is missing)"
alt=$(mktemp -d)
trap 'rm -rf "$alt"' EXIT
mkdir -p "$alt/parts" "$alt/lists/partial"
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] && grep -v -- '-security' "$f" > "$alt/parts/$(basename "$f").list" || true
done
for f in /etc/apt/sources.list.d/*.sources; do
    # deb822 stanzas are separated by blank lines; drop those naming a security archive.
    [ -f "$f" ] && awk -v RS= -v ORS='\n\n' '!/-security/' "$f" > "$alt/parts/$(basename "$f")"
done
opts=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$alt/parts" -o Dir::State::Lists="$alt/lists")
$SUDO apt-get update -qq "${opts[@]}"
apt_install "${opts[@]}"
