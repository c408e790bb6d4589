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

echo "== release zip"
# What a user downloads: both programs as built, the help page, the README and the licence, and no
# more; the programs carry the version that names the zip.
zip=$(scripts/package.sh)
python3 - "$zip" "$top" <<'PY'
import os, sys, zipfile
zip_path, top = sys.argv[1], sys.argv[2]
sys.path.insert(0, os.path.join(top, "tests", "wine"))
from console_program_facts import facts
bin_dir = os.path.join(top, "build", "win32", "bin")
wanted = {"Tidewell.exe": os.path.join(bin_dir, "Tidewell.exe"), "Tidewell.com": os.path.join(bin_dir, "Tidewell.com"),
          "Tidewell.html": os.path.join(top, "app", "Tidewell.html"), "README.md": os.path.join(top, "README.md"),
          "LICENSE": os.path.join(top, "LICENSE")}
version = os.path.basename(zip_path)[len("Tidewell-"):-len(".zip")]
four = ".".join((version.split(".") + ["0"] * 4)[:4])
with zipfile.ZipFile(zip_path) as z:
    assert z.testzip() is None, "a damaged member"
    assert sorted(z.namelist()) == sorted(wanted), z.namelist()
    for member, source in wanted.items():
        with open(source, "rb") as f:
            assert z.read(member) == f.read(), member + " differs from " + source
    for program in ("Tidewell.exe", "Tidewell.com"):
        told = {name: str(value) for name, value in facts(z.read(program)) if name not in ("subsystem", "level", "import")}
        assert told == {"manifest-version": four, "file-version": four, "FileVersion": version,
                        "ProductVersion": version, "OriginalFilename": program}, (program, told)
    assert z.read("LICENSE").startswith(b"MIT License"), "the licence"
print("ok: %s holds %s, version %s" % (os.path.basename(zip_path), ", ".join(sorted(wanted)), version))
PY

echo "== fuzzing (short run)"
if [ -x scripts/fuzz.sh ]; then scripts/fuzz.sh 20; fi

echo "== tests under Wine"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# Wine stores file names outside ASCII in the locale's character set: the tests make such names.
export LC_ALL=C.UTF-8
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

# Every test under Wine runs in both kinds of Windows: a 32-bit one, and a 64-bit one (WoW64),
# where Tidewell is a 32-bit program among 64-bit ones, as on most users' machines. Each prefix
# names its architecture, whatever kind a new prefix would take on this machine.
failed=0
for arch in win32 win64; do
  echo "== tests under Wine, $arch prefix"
  export WINEARCH=$arch
  export WINEPREFIX="$top/build/win32/wineprefix-$arch"
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  # Keep the server for the whole run; boot the prefix before ctest so that the services
  # wineboot starts do not inherit ctest's output pipe.
  wineserver -p
  wine wineboot -i >/dev/null 2>&1
  scripts/wine-drives.sh "$WINEPREFIX"
  # The virtual display has no window manager: Wine places, sizes and maximizes its windows itself
  # (a window maximized through a window manager that is not there would keep its old frame).
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  (cd build/win32 && ctest --output-on-failure) || failed=1
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
done
exit $failed
