#!/usr/bin/env bash
# Runs the Windows DLL in Windows processes under Wine (Debian's wine and
# wine64): the host of tests/loader loads istrel.dll with LoadLibraryA,
# decodes every committed vector through the six functions on two threads,
# checks the pictures and the v210 rows and unloads it with FreeLibrary,
# three times in one process; a host returns from main with a handle still
# open; the host example decodes the sample. Each program runs under a
# timeout, so that a hang (at FreeLibrary, at exit) fails instead of
# stalling. Needs the build of scripts/check-windows-dll.sh.
# usage: scripts/check-windows-wine.sh [BUILD_DIR]   (default build-windows)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/ensure-packages.sh wine wine64
build=${1:-build-windows}
[ -f "$build/CMakeCache.txt" ] ||
  { echo "check-windows-wine: $build is not configured (scripts/check-windows-dll.sh)" >&2; exit 1; }
# Seconds each program may take: Wine's start-up and the decoding take a few;
# a hang takes them all.
limit=${ISTREL_WINE_TIMEOUT:-120}

start=$SECONDS
echo "== windows host programs"
cmake -S . -B "$build" -DISTREL_BUILD_LOADER_TESTS=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target istrel host_example loader_host exit_with_open_handle
built=$SECONDS

# A prefix of our own, without a display, without the Mono and Gecko
# installers (which would ask), without Wine's own messages.
export WINEPREFIX="$PWD/$build/wine-prefix" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
stop_wine() { wineserver -k 2>/dev/null || true; }
trap stop_wine EXIT
echo "== wine prefix"
timeout -k 10 "$limit" wineboot -i >/dev/null 2>&1 || { echo "check-windows-wine: wineboot failed" >&2; exit 1; }
prepared=$SECONDS

# run NAME PROGRAM ARGS...: fails on a non-zero status or on the timeout.
run() {
  local name=$1 began=$SECONDS status=0
  shift
  echo "== $name"
  timeout -k 10 "$limit" wine "$@" || status=$?
  if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
    echo "check-windows-wine: $name did not finish within $limit s (hung)" >&2
    exit 1
  elif [ "$status" -ne 0 ]; then
    echo "check-windows-wine: $name failed with status $status" >&2
    exit 1
  fi
  echo "$name: $((SECONDS - began)) s"
}

dll="$build/istrel.dll"
run "load, decode every vector, FreeLibrary: three rounds" "$build/tests/loader/loader_host.exe" "$dll" 3
run "exit with a handle open" "$build/tests/loader/exit_with_open_handle.exe" "$dll"
run "host example" "$build/examples/host_example.exe" "$dll" samples/class100_720p_422_10bit.264 \
  --size 1280x720
echo "check-windows-wine: passed (built in $((built - start)) s, Wine prefix in $((prepared - built)) s," \
  "programs in $((SECONDS - prepared)) s)"
