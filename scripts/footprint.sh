#!/bin/bash
# Builds the shipped 32-bit release files and prints their sizes, imported
# DLLs and resources.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

bash "$REPO_DIR/scripts/setup.sh"
dir="$BUILD_ROOT/release32"
cmake -S "$REPO_DIR" -B "$dir" --toolchain "$REPO_DIR/cmake/mingw.cmake" -DMINGW_ARCH=i686 \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DBUILD_TESTING=OFF >/dev/null
cmake --build "$dir" -j"$(nproc)" --target dist >/dev/null
python3 "$REPO_DIR/scripts/footprint.py" i686-w64-mingw32-objdump "$dir"/dist/*
