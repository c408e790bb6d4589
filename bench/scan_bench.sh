#!/usr/bin/env bash
# The first scan under Wine: the time from starting Tidewell.exe until its window lists 1,000 and
# 5,000 seeded uninstall entries, and until every status is known, beside the time of Wine's own
# "uninstaller --list" on the same prefix, which lists the same entries without checking any file.
# Medians of several runs, the programs taking turns.
# Usage: [BEFORE=old/Tidewell.exe] [WINEARCH=win64] [LIST=machine|32-bit|user] [SIZES="1000 5000"]
#        bench/scan_bench.sh [BUILD_DIR]   (default build/win32; built when needed)
#   LIST: the list the entries go into: the machine's (in a 64-bit prefix its 64-bit view), the
#   32-bit view of a 64-bit prefix, or the user's own.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(readlink -f "${1:-$top/build/win32}")
runs=${RUNS:-3}
sizes=${SIZES:-1000 5000}
case "${LIST:-machine}" in
  machine) list='HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall' ;;
  32-bit) list='HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\Microsoft\Windows\CurrentVersion\Uninstall' ;;
  user) list='HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Uninstall' ;;
  *) echo "LIST is machine, 32-bit or user" >&2; exit 2 ;;
esac

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
export WINEARCH=${WINEARCH:-win32}
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

# Entries numbered from $1 to $2 in the styles of every installer family: quoted and unquoted
# paths with switches, the system installer's product codes, InstallShield's launcher, Wise's log,
# Squirrel's updater, variables. Every other entry's program is still there. Programs sit in
# vendor folders of 50, as on a real machine: Wine finds a file by scanning its folder for the
# name in any letter case, so a single folder of thousands would measure Wine's lookups.
seed() {
  local from=$1 to=$2 reg="$work/seed.reg" pf="$WINEPREFIX/drive_c/Program Files" vendor here folder
  {
    echo "REGEDIT4"
    for ((i = from; i <= to; i++)); do
      vendor="Vendor $((i / 50))"
      here=$((i / 10 % 2 == 0))
      folder="C:\\\\Program Files\\\\$vendor\\\\Bench $i"
      echo
      echo "[$list\\Bench Entry $i]"
      echo "\"DisplayName\"=\"Bench Program $i\""
      case $((i % 8)) in
        0) command="\\\"$folder\\\\unins000.exe\\\" /SILENT"; file=unins000.exe ;;
        1) command=$(printf 'MsiExec.exe /X{%08X-0000-4000-8000-000000000000}' "$i"); file="" ;;
        2) command="$folder\\\\uninstall.exe"; file=uninstall.exe ;;
        3) command="RunDll32 C:\\\\PROGRA~1\\\\COMMON~1\\\\INSTAL~1\\\\engine\\\\6\\\\INTEL3~1\\\\Ctor.dll,LaunchSetup \\\"$folder\\\\setup.exe\\\" -l0x9"; file=setup.exe ;;
        4) command="C:\\\\WINDOWS\\\\UNWISE.EXE $folder\\\\INSTALL.LOG"; file=INSTALL.LOG ;;
        5) command="\\\"$folder\\\\Update.exe\\\" --uninstall"; file=Update.exe ;;
        6) command="\\\"$folder\\\\uninst.exe\\\" /S /LOG=uninstall.log"; file=uninst.exe ;;
        7) command="$folder\\\\Remove $i.exe -remove"; file="Remove $i.exe" ;;
      esac
      if [ "$here" -eq 1 ] && [ -n "$file" ]; then
        mkdir -p "$pf/$vendor/Bench $i"
        : >"$pf/$vendor/Bench $i/$file"
      fi
      echo "\"UninstallString\"=\"$command\""
      echo "\"Publisher\"=\"$vendor\""
    done
  } >"$reg"
  timeout 300 wine regedit /S "$reg" </dev/null >/dev/null 2>&1
}

now() { date +%s.%N; }

# Seconds from the start of a Tidewell.exe until its window lists every row (`listed`) and until
# every status is known (`checked`), as another program sees them; and as the window itself
# counts them (`own_listed`, `own_checked`), which leaves out the delay of that other program's
# questions while the checks keep Wine's server busy. A program from before the checks moved to
# their own thread shows its window only when both are done.
tidewell_once() {
  local exe=$1 start end
  start=$(now)
  (cd "$(dirname "$exe")" && exec wine "$(basename "$exe")") </dev/null >/dev/null 2>&1 &
  app=$!
  timeout 300 wine "$probe" wait 290000 </dev/null >/dev/null
  end=$(now)
  listed=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
  timeout 300 wine "$probe" wait-checked 290000 </dev/null >/dev/null
  end=$(now)
  checked=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
  rows=$(timeout 60 wine "$probe" count </dev/null | tr -d '\r')
  # The window's own account, from the moment its process was made (0: a build without it).
  read -r own_listed own_checked < <(timeout 60 wine "$probe" timings </dev/null | tr -d '\r')
  own_listed=$(awk -v m="${own_listed:-0}" 'BEGIN { printf "%.3f", m / 1000 }')
  own_checked=$(awk -v m="${own_checked:-0}" 'BEGIN { printf "%.3f", m / 1000 }')
  timeout 60 wine "$probe" close 30000 </dev/null >/dev/null || kill "$app" 2>/dev/null || true
  wait "$app" 2>/dev/null || true
  app=""
}

uninstaller_once() {
  local start end lines
  start=$(now)
  lines=$(timeout 300 wine uninstaller --list </dev/null 2>/dev/null | wc -l)
  [ "$lines" -ge "$n" ] || { echo "uninstaller --list printed $lines lines, not $n" >&2; exit 1; }
  end=$(now)
  elapsed=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

# An earlier build to weigh against, in the same run: BEFORE=path/to/old/Tidewell.exe.
exes=("$work/program/Tidewell.exe")
names=(now)
if [ -n "${BEFORE:-}" ]; then
  mkdir -p "$work/before"
  cp "$BEFORE" "$work/before/Tidewell.exe"
  exes+=("$work/before/Tidewell.exe")
  names+=(before)
fi

echo "Tidewell's first scan under Wine $(wine --version 2>/dev/null), $WINEARCH prefix, ${LIST:-machine} list, median of $runs runs"
echo "(listed, checked: seen from another program; own: as the window counted from its process's start)"
printf '%8s  %-7s  %8s  %8s  %8s  %8s  %8s  %12s  %12s  %10s  %10s\n' entries build listed checked "own l." \
  "own c." peer listed/peer checked/peer own-l/peer own-c/peer
seeded=0
for n in $sizes; do
  seed $((seeded + 1)) "$n"
  seeded=$n
  for exe in "${exes[@]}"; do tidewell_once "$exe"; done  # warms the caches
  declare -A listed_runs=() checked_runs=() own_listed_runs=() own_checked_runs=()
  peer_runs=()
  for ((r = 0; r < runs; r++)); do
    for k in "${!exes[@]}"; do
      tidewell_once "${exes[$k]}"
      [ "$rows" -ge "$n" ] || { echo "the window listed $rows rows, not $n" >&2; exit 1; }
      listed_runs[$k]+="$listed "
      checked_runs[$k]+="$checked "
      own_listed_runs[$k]+="$own_listed "
      own_checked_runs[$k]+="$own_checked "
    done
    uninstaller_once
    peer_runs+=("$elapsed")
  done
  peer=$(median "${peer_runs[@]}")
  for k in "${!exes[@]}"; do
    # shellcheck disable=SC2086
    l=$(median ${listed_runs[$k]})
    # shellcheck disable=SC2086
    c=$(median ${checked_runs[$k]})
    # shellcheck disable=SC2086
    ol=$(median ${own_listed_runs[$k]})
    # shellcheck disable=SC2086
    oc=$(median ${own_checked_runs[$k]})
    printf '%8d  %-7s  %8.3f  %8.3f  %8.3f  %8.3f  %8.3f  %12s  %12s  %10s  %10s\n' "$n" "${names[$k]}" "$l" "$c" \
      "$ol" "$oc" "$peer" "$(ratio "$l" "$peer")" "$(ratio "$c" "$peer")" "$(ratio "$ol" "$peer")" \
      "$(ratio "$oc" "$peer")"
  done
done
