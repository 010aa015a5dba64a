# Shared settings of the project's scripts; sourced, not run.
REPO_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_ROOT="${BUILD_ROOT:-$(dirname "$REPO_DIR")/build}"

# 32-bit Wine needs a kernel that runs 32-bit Linux programs. Where it can't,
# the same sources are built for x86_64 and tested under 64-bit Wine.
wine32_works() {
    [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

if [ -z "${PRESET:-}" ]; then
    if wine32_works; then PRESET=win32; else PRESET=win64; fi
fi
BUILD_DIR="$BUILD_ROOT/$PRESET"

build_project() {
    cmake --preset "$PRESET" -B "$BUILD_DIR" >"$BUILD_ROOT/$PRESET.configure.log" 2>&1 ||
        { cat "$BUILD_ROOT/$PRESET.configure.log"; return 1; }
    # BUILD_TARGETS narrows the build to some targets (for work in progress).
    local targets=()
    for target in ${BUILD_TARGETS:-}; do targets+=(--target "$target"); done
    cmake --build "$BUILD_DIR" -j"$(nproc)" "${targets[@]}"
}
