#!/bin/bash
# Sets up what is missing, builds, and runs the built-in demo: an upgrade
# over a simulated previous installation. Screenshots go under the build
# folder. --interactive leaves the dialog to the user on the current
# display (DISPLAY must be set).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

bash "$REPO_DIR/scripts/setup.sh"
mkdir -p "$BUILD_ROOT"
BUILD_TARGETS="demo" build_project >/dev/null
pictures="$BUILD_DIR/demo"
mkdir -p "$pictures"
args=("Z:${pictures//\//\\}")
if [ "${1:-}" = "--interactive" ]; then
    [ -n "${DISPLAY:-}" ] || { echo "demo: --interactive needs DISPLAY" >&2; exit 1; }
    export WITH_WINE_DISPLAY="$DISPLAY"
    args+=(--interactive)
fi
bash "$REPO_DIR/scripts/with-wine.sh" "$BUILD_DIR/wineprefix" \
    "$REPO_DIR/scripts/wine-exec" "$BUILD_DIR/tests/demo/demo.exe" "${args[@]}"
echo "demo: screenshots are in $pictures"
