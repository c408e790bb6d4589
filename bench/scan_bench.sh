#!/usr/bin/env bash
# The first scan under Wine: the time from starting Tidewell.exe until its window lists 1,000 and
# 5,000 seeded uninstall entries, and until every status is shown, beside the time of the console
# program's "Tidewell.com /list /out FILE" (reads, checks and writes every entry), of Wine's own
# "uninstaller --list" on the same prefix, which lists the same entries without checking any file,
# and of a minimal program that reads the same values into a list view; the peak working set of
# each; where the window's time went (reading, checking, results waiting in its queue, rows
# updated, painting); how soon the window answers a key pressed while the statuses come in; then
# where the checking time goes, question by question, and where the memory goes, part by part.
# One helper inside Wine (scan_bench.exe race) starts every program with CreateProcess, on one
# clock, and polls its window every few milliseconds; the programs take turns; medians of RUNS.
# Usage: [BEFORE=old/bin/Tidewell.exe] [ALSO="name=other/Tidewell.exe ..."] [WINEARCH=win64]
#        [LIST=both|machine|32-bit|user] [SIZES="1000 5000"] [RUNS=5] [WORK=dir] bench/scan_bench.sh [BUILD_DIR]
#   BUILD_DIR: default build/win32, built when needed.
#   BEFORE: an earlier build's Tidewell.exe, timed in the same run; when its build folder holds
#   tests/scan_bench.exe, that build's account of its questions is printed too.
#   LIST: the list the entries go into: both (the default: in a 64-bit prefix half of them in each
#   view of the machine's list, in a 32-bit prefix the machine's list), the machine's (in a 64-bit
#   prefix its 64-bit view), the 32-bit view of a 64-bit prefix, or the user's own.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(readlink -f "${1:-$top/build/win32}")
runs=${RUNS:-5}
sizes=${SIZES:-1000 5000}
export WINEARCH=${WINEARCH:-win32}
machine='HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'
wow='HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\Microsoft\Windows\CurrentVersion\Uninstall'
user='HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Uninstall'
case "${LIST:-both}" in
  both) lists=("$machine"); [ "$WINEARCH" = win64 ] && lists+=("$wow") ;;
  machine) lists=("$machine") ;;
  32-bit) lists=("$wow") ;;
  user) lists=("$user") ;;
  *) echo "LIST is both, machine, 32-bit or user" >&2; exit 2 ;;
esac

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" >/dev/null
fi
if ! built=$(cmake --build "$build" -j2 --target Tidewell TidewellConsole scan_bench 2>&1); then
  echo "$built" >&2
  exit 1
fi

work=${WORK:-$(mktemp -d /tmp/tidewell-bench.XXXXXX)}
mkdir -p "$work"
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
xvfb=""
finish() {
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

mkdir -p "$WINEPREFIX"
wineserver -p </dev/null >/dev/null 2>&1
timeout 300 wine wineboot -i </dev/null >/dev/null 2>&1
# The programs sit on C:, each in a folder of its own (the window keeps its backups beside it).
bench="$WINEPREFIX/drive_c/bench"
mkdir -p "$bench/now"
cp "$build/bin/Tidewell.exe" "$build/bin/Tidewell.com" "$bench/now/"
cp "$build/tests/scan_bench.exe" "$bench/"
programs=('console=C:\bench\now\Tidewell.com' 'now=C:\bench\now\Tidewell.exe')
if [ -n "${BEFORE:-}" ]; then
  mkdir -p "$bench/before"
  cp "$BEFORE" "$bench/before/Tidewell.exe"
  programs+=('before=C:\bench\before\Tidewell.exe')
  before_bench="$(dirname "$(readlink -f "$BEFORE")")/../tests/scan_bench.exe"
  [ -f "$before_bench" ] && cp "$before_bench" "$bench/before/scan_bench.exe"
fi
# More builds to weigh in the same run: ALSO="name=path/to/Tidewell.exe ...".
for also in ${ALSO:-}; do
  mkdir -p "$bench/${also%%=*}"
  cp "${also#*=}" "$bench/${also%%=*}/Tidewell.exe"
  programs+=("${also%%=*}=C:\\bench\\${also%%=*}\\Tidewell.exe")
done

# Entries numbered from $1 to $2 in the styles of every installer family: quoted and unquoted
# paths with switches, the system installer's product codes, InstallShield's launcher, Wise's log,
# Squirrel's updater, variables. Every other entry's program is still there. Programs sit in
# vendor folders of 50, as on a real machine: Wine finds a file by scanning its folder for the
# name in any letter case, so a single folder of thousands would measure Wine's lookups. With two
# lists, the entries take turns between them.
seed() {
  local from=$1 to=$2 reg="$work/seed.reg" pf="$WINEPREFIX/drive_c/Program Files" vendor here folder list
  {
    echo "REGEDIT4"
    for ((i = from; i <= to; i++)); do
      vendor="Vendor $((i / 50))"
      here=$((i / 10 % 2 == 0))
      folder="C:\\\\Program Files\\\\$vendor\\\\Bench $i"
      list=${lists[$((i % ${#lists[@]}))]}
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
  # In a 64-bit prefix the 64-bit registry editor, which writes each key into the view its path
  # names (the 32-bit one that "wine regedit" starts writes every key into the 32-bit view).
  if [ "$WINEARCH" = win64 ]; then
    timeout 300 /usr/lib/wine/wine64 regedit /S "$reg" </dev/null >/dev/null 2>&1
  else
    timeout 300 wine regedit /S "$reg" </dev/null >/dev/null 2>&1
  fi
}

echo "Tidewell's first scan under Wine $(wine --version 2>/dev/null), $WINEARCH prefix, ${LIST:-both} list(s), median of $runs runs"
echo "(listed, checked: seconds from CreateProcess, as the helper saw them; own: as the window counted from its"
echo " process's start; console: Tidewell.com /list /out FILE to its end; peer: uninstaller --list to its end;"
echo " minimal: a program that only lists; peak MB: peak working set once every status is known; ratios: the"
echo " median of each round's; the window's own account in ms: reading the lists, checking from the first check to"
echo " the last one's end, chk work: the checks' time on both threads, queued: batches of results waiting in the"
echo " window's queue, rows: taking them into the rows, painting: the window and its list until every status)"
seeded=0
for n in $sizes; do
  seed $((seeded + 1)) "$n"
  seeded=$n
  (cd "$bench" && timeout 3600 wine scan_bench.exe race "$runs" "$n" "${programs[@]}" </dev/null | tr -d '\r')
  echo
  for name in now ${BEFORE:+before}; do
    echo -n "$name, $n entries: "
    (cd "$bench" && timeout 600 wine scan_bench.exe keys 3 "C:\\bench\\$name\\Tidewell.exe" </dev/null | tr -d '\r')
  done
  echo
  echo "now, $n entries:"
  (cd "$bench" && timeout 600 wine scan_bench.exe questions 3 </dev/null | tr -d '\r')
  (cd "$bench" && timeout 600 wine scan_bench.exe memory </dev/null | tr -d '\r')
  if [ -f "$bench/before/scan_bench.exe" ]; then
    echo "before, $n entries:"
    (cd "$bench/before" && timeout 600 wine scan_bench.exe questions 3 </dev/null | tr -d '\r')
  fi
  echo
done
