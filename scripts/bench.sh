#!/bin/bash
# Runs the benchmarks side by side under the same Wine and display: the
# start of launcher.exe and of setupstub.exe against empty programs, then
# the hook's cost per sent message. Ratios are printed last.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

bash "$REPO_DIR/scripts/setup.sh"
mkdir -p "$BUILD_ROOT"
BUILD_TARGETS="startup_bench" build_project >/dev/null
echo "bench: $PRESET build under ${PRESET/win/}-bit Wine, $(nproc) cores"
startup=$(bash "$REPO_DIR/scripts/with-wine.sh" "$BUILD_DIR/wineprefix" \
    "$REPO_DIR/scripts/wine-exec" "$BUILD_DIR/tests/bench/startup_bench.exe")
hook=$(bash "$REPO_DIR/scripts/bench-hook.sh" | tail -1)
echo "$startup"
echo "$hook"
