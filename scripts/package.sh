#!/usr/bin/env bash
# Builds the release, what a user downloads, unzips and runs: build/win32/Tidewell-<version>.zip
# with both programs (Tidewell.exe, the window; Tidewell.com, for consoles and scripts), the help
# page, the README and the licence. The version is the one in CMakeLists.txt. Prints the zip's path.
# Usage: scripts/package.sh
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

scripts/install-deps.sh >&2

build="$top/build/win32"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" >/dev/null
fi
# A zip of an earlier version would be taken for this one.
rm -f "$build"/Tidewell-*.zip
if ! built=$(cmake --build "$build" -j"$(nproc 2>/dev/null || echo 2)" --target release_zip 2>&1); then
  echo "$built" >&2
  exit 1
fi
zips=("$build"/Tidewell-*.zip)
[ -f "${zips[0]}" ] || { echo "package: no zip was made" >&2; exit 1; }
echo "${zips[0]}"
