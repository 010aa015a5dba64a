#!/bin/bash
# Installs what the build and the tests need, when it is missing.
# Debian 12, as root.
set -euo pipefail

packages=(cmake make python3 googletest g++-mingw-w64-i686 g++-mingw-w64-x86-64
          wine wine64 wine32:i386 xvfb xauth)

missing=()
for package in "${packages[@]}"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
