#!/bin/bash
# Sets up what is missing, builds, and runs every test under Wine.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

bash "$REPO_DIR/scripts/setup.sh"
mkdir -p "$BUILD_ROOT"
build_project
echo "test: $PRESET build, tests under ${PRESET/win/}-bit Wine"
bash "$REPO_DIR/scripts/with-wine.sh" "$BUILD_DIR/wineprefix" \
    ctest --test-dir "$BUILD_DIR" --output-on-failure --timeout 120 "$@"
