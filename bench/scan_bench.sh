#!/usr/bin/env bash
# The first scan under Wine: the time from starting Tidewell.exe until its window lists 1,000 and
# 5,000 seeded uninstall entries, beside the time of Wine's own "uninstaller --list" on the same
# prefix, which lists the same entries without checking any file. Best of several runs each.
# Usage: bench/scan_bench.sh [BUILD_DIR]   (default build/win32; built when needed)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(readlink -f "${1:-$top/build/win32}")
runs=${RUNS:-3}

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" >/dev/null
fi
if ! built=$(cmake --build "$build" -j"$(nproc 2>/dev/null || echo 2)" --target Tidewell window_probe 2>&1); then
  echo "$built" >&2
  exit 1
fi
probe="$build/tests/window_probe.exe"

work=$(mktemp -d /tmp/tidewell-bench.XXXXXX)
export WINEPREFIX="$work/prefix"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
xvfb=""
app=""
finish() {
  [ -n "$app" ] && kill "$app" 2>/dev/null
  wineserver -k >/dev/null 2>&1 || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap finish EXIT

if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 191 230); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then export DISPLAY=":$n"; break; fi
  done
  Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  sleep 1
fi

mkdir -p "$WINEPREFIX" "$work/program"
wineserver -p </dev/null >/dev/null 2>&1
timeout 300 wine wineboot -i </dev/null >/dev/null 2>&1
cp "$build/bin/Tidewell.exe" "$work/program/"

# Entries numbered from $1 to $2 in three styles: a quoted path with switches whose file exists,
# an installer product code, and a plain path whose file is gone. Programs sit in vendor folders
# of 50, as on a real machine: Wine finds a file by scanning its folder for the name in any letter
# case, so a single folder of thousands would measure Wine's lookups rather than the scan.
seed() {
  local from=$1 to=$2 reg="$work/seed.reg" files="$WINEPREFIX/drive_c/Program Files" vendor
  {
    echo "REGEDIT4"
    for ((i = from; i <= to; i++)); do
      vendor="Vendor $((i / 50))"
      echo
      echo "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Bench Entry $i]"
      echo "\"DisplayName\"=\"Bench Program $i\""
      case $((i % 3)) in
        0) mkdir -p "$files/$vendor/Bench $i"; : >"$files/$vendor/Bench $i/unins000.exe"
           echo "\"UninstallString\"=\"\\\"C:\\\\Program Files\\\\$vendor\\\\Bench $i\\\\unins000.exe\\\" /SILENT\"" ;;
        1) printf '"UninstallString"="MsiExec.exe /X{%08X-0000-4000-8000-000000000000}"\n' "$i" ;;
        2) echo "\"UninstallString\"=\"C:\\\\Program Files\\\\$vendor\\\\Gone $i\\\\uninstall.exe\"" ;;
      esac
      echo "\"Publisher\"=\"$vendor\""
    done
  } >"$reg"
  timeout 300 wine regedit /S "$reg" </dev/null >/dev/null 2>&1
}

now() { date +%s.%N; }

# Seconds from the start of Tidewell.exe until its window is shown with its first scan done.
tidewell_once() {
  local start end
  start=$(now)
  (cd "$work/program" && exec wine Tidewell.exe) </dev/null >/dev/null 2>&1 &
  app=$!
  timeout 300 wine "$probe" wait 290000 </dev/null >/dev/null
  end=$(now)
  listed=$(timeout 60 wine "$probe" count </dev/null | tr -d '\r')
  timeout 60 wine "$probe" close 30000 </dev/null >/dev/null || kill "$app" 2>/dev/null || true
  wait "$app" 2>/dev/null || true
  app=""
  elapsed=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
}

uninstaller_once() {
  local start end lines
  start=$(now)
  lines=$(timeout 300 wine uninstaller --list </dev/null 2>/dev/null | wc -l)
  [ "$lines" -ge "$n" ] || { echo "uninstaller --list printed $lines lines, not $n" >&2; exit 1; }
  end=$(now)
  peer_lines=$lines
  elapsed=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
}

best() { printf '%s\n' "$@" | sort -g | head -n 1; }

echo "Tidewell first scan under Wine $(wine --version 2>/dev/null), best of $runs runs"
printf '%8s  %14s  %24s  %6s\n' entries "Tidewell (s)" "uninstaller --list (s)" ratio
seeded=0
for n in 1000 5000; do
  seed $((seeded + 1)) "$n"
  seeded=$n
  tidewell_once  # warms the caches
  t=() u=()
  for ((r = 0; r < runs; r++)); do
    tidewell_once
    t+=("$elapsed")
    [ "$listed" -ge "$n" ] || { echo "the window listed $listed rows, not $n" >&2; exit 1; }
    uninstaller_once
    u+=("$elapsed")
  done
  tb=$(best "${t[@]}")
  ub=$(best "${u[@]}")
  printf '%8d  %14.3f  %24.3f  %6.2f\n' "$n" "$tb" "$ub" "$(awk -v a="$tb" -v b="$ub" 'BEGIN { print a / b }')"
done
