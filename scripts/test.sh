#!/usr/bin/env bash
# Installs what is missing, builds both builds and runs every test: native, under Wine, and the
# window tests under a virtual display. Usage: scripts/test.sh
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
jobs=$(nproc 2>/dev/null || echo 2)

scripts/install-deps.sh

echo "== native build"
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build/native -j"$jobs"
echo "== win32 build"
cmake -S . -B build/win32 -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" >/dev/null
cmake --build build/win32 -j"$jobs"

echo "== native tests"
(cd build/native && ctest --output-on-failure -j"$jobs")

echo "== fuzzing (short run)"
if [ -x scripts/fuzz.sh ]; then scripts/fuzz.sh 20; fi

echo "== tests under Wine"
export WINEPREFIX="$top/build/win32/wineprefix"
# A 32-bit Windows, whatever kind a new prefix would take on this machine.
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# Wine stores file names outside ASCII in the locale's character set: the tests make such names.
export LC_ALL=C.UTF-8
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
xvfb_pid=""
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" >/dev/null 2>&1 || true
}
trap cleanup EXIT

# A virtual display for the window tests (and for any window a test opens).
for n in $(seq 90 120); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
done
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY="$display"

# Keep the server for the whole run; boot the prefix before ctest so that the services wineboot
# starts do not inherit ctest's output pipe.
wineserver -p
wine wineboot -i >/dev/null 2>&1
if [ -x scripts/wine-drives.sh ]; then scripts/wine-drives.sh "$WINEPREFIX"; fi

(cd build/win32 && ctest --output-on-failure)
