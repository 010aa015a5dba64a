#!/bin/bash
# Installs what the build and the tests need, when it is missing.
# Debian 12, as root.
set -euo pipefail

packages=(cmake make python3 googletest g++-mingw-w64-i686 g++-mingw-w64-x86-64
          wine wine64 wine32:i386 xvfb xauth locales)

missing=()
for package in "${packages[@]}"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The double-byte tests run under a Japanese locale: Wine takes a process's
# ANSI code page (932) from it. Generating it takes a few seconds, once.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
    echo "setup: generating the ja_JP.UTF-8 locale"
    localedef -i ja_JP -c -f UTF-8 -A /usr/share/locale/locale.alias ja_JP.UTF-8
fi
