#!/bin/bash
# Builds and runs the hook benchmark under Wine: sent-message throughput of
# one thread with no hook, with a hook that only passes messages on, and
# with shadewin's hook aimed at another thread. The last line is the ratio
# of shadewin's throughput to the pass-through hook's.
# Usage: bench-hook.sh [MESSAGES_PER_ROUND [ROUNDS]]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

bash "$REPO_DIR/scripts/setup.sh"
mkdir -p "$BUILD_ROOT"
BUILD_TARGETS="shadewin hook_bench hook_passthrough" build_project >/dev/null
windows_path() { local path="$1"; echo "Z:${path//\//\\}"; }
echo "bench-hook: $PRESET build under ${PRESET/win/}-bit Wine"
bash "$REPO_DIR/scripts/with-wine.sh" "$BUILD_DIR/wineprefix" \
    "$REPO_DIR/scripts/wine-exec" "$BUILD_DIR/fixtures/hook_bench.exe" \
    "$(windows_path "$BUILD_DIR/shadewin/shadewin.dll")" \
    "$(windows_path "$BUILD_DIR/fixtures/hook_passthrough.dll")" "$@"
