#!/bin/bash
# Runs a command with a Wine prefix, a virtual display and a persistent
# wineserver of its own, and stops what it started, also on failure.
# Usage: with-wine.sh PREFIX_DIR COMMAND...
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

prefix="$1"; shift
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
# No crash debugger, no Mono or Gecko prompts; the test browser fixture
# stands in for Wine's built-in iexplore.exe.
export WINEDLLOVERRIDES="winedbg.exe=d;mscoree=;mshtml=;iexplore.exe=n"
if wine32_works; then
    export WINEARCH=win32 WINE_LOADER=/usr/lib/wine/wine
else
    export WINEARCH=win64 WINE_LOADER=/usr/lib/wine/wine64
fi
wineserver_bin=/usr/lib/wine/wineserver64
[ -x "$wineserver_bin" ] || wineserver_bin=/usr/lib/wine/wineserver32

xvfb_pid=""
server_pid=""
cleanup() {
    if [ -n "$server_pid" ]; then
        "$wineserver_bin" -k >/dev/null 2>&1
        for _ in $(seq 50); do kill -0 "$server_pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$server_pid" 2>/dev/null
    fi
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT

if [ -n "${WITH_WINE_DISPLAY:-}" ]; then
    # A real display given by the user: no Xvfb of our own.
    export DISPLAY="$WITH_WINE_DISPLAY"
else
    display=""
    for n in $(seq 90 250); do
        if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
            display=$n
            break
        fi
    done
    [ -n "$display" ] || { echo "with-wine: no free display" >&2; exit 1; }
    Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
    [ -e "/tmp/.X11-unix/X$display" ] || { echo "with-wine: Xvfb did not start" >&2; exit 1; }
    export DISPLAY=":$display"
fi

mkdir -p "$prefix"
setsid "$wineserver_bin" -f -p </dev/null >/dev/null 2>&1 &
server_pid=$!

if [ ! -f "$prefix/.ready" ]; then
    timeout 300 "$WINE_LOADER" wineboot -i >/dev/null 2>&1
    # Without a window manager Wine waits whenever a managed window hides.
    "$WINE_LOADER" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    touch "$prefix/.ready"
fi
# Start Wine's background services now, detached from our output: started
# by the first test program instead, they would hold its output pipe open
# and ctest would wait for them.
timeout 120 "$WINE_LOADER" wineboot </dev/null >/dev/null 2>&1

"$@"
