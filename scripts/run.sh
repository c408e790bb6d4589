#!/usr/bin/env bash
# Builds Tidewell.exe and Tidewell.com when needed and starts the window under Wine, or with
# switches the console program, which prints to this terminal and ends with its exit code.
#   With no WINEPREFIX: a demo prefix, created and seeded the first time, with the program
#   installed in it under C:\Program Files (x86)\Tidewell or C:\Program Files\Tidewell: a 64-bit Windows (WoW64) in demo-prefix/, as
#   most users have, or with WINEARCH=win32 a 32-bit one in demo-prefix-win32/.
#   With WINEPREFIX: that prefix, and the program from the build folder.
#   With no DISPLAY: on a virtual display; waits for the first scan, saves a screenshot, prints
#   where it is and how many entries the list shows, closes the program and ends.
# Usage: scripts/run.sh             the window
#        scripts/run.sh SWITCHES...  Tidewell.com SWITCHES... (/list, /check, /?...) in the same prefix;
#                                    its output alone goes to the standard output
set -euo pipefail
here=$PWD
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

scripts/install-deps.sh >&2

build="$top/build/win32"
echo "== building Tidewell.exe and Tidewell.com" >&2
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" >/dev/null
fi
if ! built=$(cmake --build "$build" -j"$(nproc 2>/dev/null || echo 2)" --target Tidewell TidewellConsole window_probe fake_uninstaller 2>&1); then
  echo "$built" >&2
  exit 1
fi

export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# Wine reads Linux file names outside ASCII (the demo has some) in the locale's character set.
[ "$(locale charmap 2>/dev/null)" = UTF-8 ] || export LC_ALL=C.UTF-8
if [ -z "${WINEPREFIX:-}" ]; then
  arch=${WINEARCH:-win64}
  case "$arch" in
    win64) export WINEPREFIX="$top/demo-prefix" ;;
    win32) export WINEPREFIX="$top/demo-prefix-win32" ;;
    *) echo "run: WINEARCH is win64 or win32, not $arch" >&2; exit 2 ;;
  esac
  # A 32-bit program's own folder on a 64-bit Windows.
  program="$WINEPREFIX/drive_c/Program Files/Tidewell"
  [ "$arch" = win64 ] && program="$WINEPREFIX/drive_c/Program Files (x86)/Tidewell"
  # Made again when the demo's seeding has changed since it was made.
  seeding=$(sha1sum "$top/scripts/seed-demo.sh" "$top/tests/wine/helpers/fake_uninstaller.cpp" | sha1sum | cut -c1-40)
  if [ "$(cat "$WINEPREFIX/.tidewell-seeded" 2>/dev/null)" != "$seeding" ]; then
    echo "== making the demo prefix $WINEPREFIX (once for each version of the demo)" >&2
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    WINEARCH=$arch timeout 300 wine wineboot -i >/dev/null 2>&1
    # Let the server write the new prefix out before the seeding reads it back.
    timeout 60 wineserver -w || true
    mkdir -p "$program"
    scripts/seed-demo.sh "$WINEPREFIX" "$program" "$build/tests/fake_uninstaller.exe" >&2
    echo "$seeding" > "$WINEPREFIX/.tidewell-seeded"
    # The server and the desktop process started while seeding have no display; a program started
    # later in the same server session could not open its window on the virtual one.
    timeout 60 wineserver -k || true
    timeout 60 wineserver -w || true
  fi
  cp -f "$build/bin/Tidewell.exe" "$build/bin/Tidewell.com" "$build/bin/Tidewell.html" "$program/"
else
  program="$build/bin"
  echo "== using the prefix $WINEPREFIX" >&2
fi

if [ $# -gt 0 ]; then
  # From the folder it was started in, so that a file named on the command line is found there.
  cd "$here"
  exec wine "$program/Tidewell.com" "$@"
fi

exe="$program/Tidewell.exe"
probe="$build/tests/window_probe.exe"

if [ -n "${DISPLAY:-}" ]; then
  echo "== starting Tidewell"
  cd "$program"
  exec wine "$exe"
fi

# No display: a virtual one, for as long as this run lasts.
display=""
for n in $(seq 99 140); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "run: no free display number" >&2; exit 1; }
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
app=""
finish() {
  if [ -n "$app" ] && kill -0 "$app" 2>/dev/null; then kill "$app" 2>/dev/null || true; fi
  # Let Wine's processes leave the virtual display before it goes away.
  timeout 15 wineserver -w >/dev/null 2>&1 || true
  kill "$xvfb" 2>/dev/null || true
}
trap finish EXIT
for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done

echo "== starting Tidewell on the virtual display $display"
(cd "$program" && exec wine "$exe") >/dev/null 2>&1 &
app=$!
if ! timeout 120 wine "$probe" wait-checked 90000 >/dev/null; then
  echo "run: the window did not appear" >&2
  exit 1
fi
sleep 0.5
shots="$top/out"
mkdir -p "$shots"
shot="$shots/tidewell.png"
read -r x y w h < <(timeout 30 wine "$probe" client | tr -d '\r')
import -window root -crop "${w}x${h}+${x}+${y}" +repage "$shot"
count=$(timeout 30 wine "$probe" count | tr -d '\r')
echo "Screenshot: $shot"
echo "The list shows $count entries."
timeout 30 wine "$probe" close 15000 >/dev/null || true
for _ in $(seq 1 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
