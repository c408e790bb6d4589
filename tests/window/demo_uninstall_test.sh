#!/usr/bin/env bash
# The demo's story in a prefix of the caller's kind: Uninstall Program on Tide Tables Pro, whose
# uninstaller is the stand-in that waits and removes its entry, answered Yes; the entry leaves the
# registry's view that lists it, and Refresh List leaves its row out. In a 64-bit prefix the entry
# is in the 64-bit view and the stand-in a 32-bit program.
# Usage: demo_uninstall_test.sh PATH/TO/Tidewell.exe ARTIFACTS_DIR
set -uo pipefail
exe=$(readlink -f "${1:?Tidewell.exe}")
export WINEARCH=${WINEARCH:-win32}
artifacts=$(mkdir -p "${2:?artifacts dir}" && cd "$2" && pwd)/$WINEARCH
top=$(cd "$(dirname "$0")/../.." && pwd)
tests=$(readlink -f "$(dirname "$exe")/../tests")
probe="$tests/window_probe.exe"
work="$artifacts/demo_uninstall"
[ -f "$probe" ] && [ -f "$tests/fake_uninstaller.exe" ] || { echo "no window_probe.exe or fake_uninstaller.exe in $tests" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work/program"
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=C.UTF-8

source "$(dirname "$0")/../support/checks.sh"
p() { timeout 30 wine "$probe" "$@" </dev/null 2>/dev/null | tr -d '\r'; }

xvfb=""
app=""
finish() {
  [ -n "$app" ] && kill -0 "$app" 2>/dev/null && { p close 5000 >/dev/null; kill "$app" 2>/dev/null; }
  wineserver -k >/dev/null 2>&1
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$WINEPREFIX"
}
trap finish EXIT

if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 150 190); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then export DISPLAY=":$n"; break; fi
  done
  Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  sleep 1
fi

mkdir -p "$WINEPREFIX"
wineserver -p </dev/null >/dev/null 2>&1
timeout 300 wine wineboot -i </dev/null >/dev/null 2>&1
timeout 60 wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
"$top/scripts/seed-demo.sh" "$WINEPREFIX" "$work/program" "$tests/fake_uninstaller.exe" </dev/null >/dev/null 2>&1 ||
  { echo "seeding failed" >&2; exit 1; }
wineserver -k </dev/null >/dev/null 2>&1 || true
wineserver -w </dev/null >/dev/null 2>&1 || true
wineserver -p </dev/null >/dev/null 2>&1
timeout 300 wine wineboot </dev/null >/dev/null 2>&1
cp "$exe" "$work/program/"
# The registry tool of the prefix's own kind reaches the view that the demo's entries are in.
reg=(wine reg)
[ -d "$WINEPREFIX/drive_c/windows/syswow64" ] && reg=(/usr/lib/wine/wine64 reg)
key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Tide Tables Pro'
listed() { timeout 60 "${reg[@]}" query "$key" </dev/null >/dev/null 2>&1 && echo listed || echo gone; }
tide_row() { p rows | awk -F'\t' '$2 == "Tide Tables Pro" { print NR - 1 }'; }

(cd "$work/program" && exec wine Tidewell.exe) </dev/null >"$work/tidewell.log" 2>&1 &
app=$!
p wait-checked 60000 >/dev/null || { echo "the window did not appear" >&2; exit 1; }

expect "the demo lists Tide Tables Pro" listed "$(listed)"
row=$(tide_row)
rows=$(p count)
p show-row "$row" >/dev/null
read -r x y < <(p row-center "$row")
xdotool mousemove "$x" "$y" click 1
expect_soon "its row is selected" "$row" p selected
read -r x y < <(p center Button1)
xdotool mousemove "$x" "$y" click 1
question=""
for _ in $(seq 50); do
  question=$(xdotool search --name 'Uninstall Program\?' 2>/dev/null | head -1)
  [ -n "$question" ] && break
  sleep 0.1
done
expect "Uninstall Program asks first" 1 "$([ -n "$question" ] && echo 1 || echo 0)"
read -r x y w h < <(p client)
import -window root -crop "${w}x${h}+${x}+${y}" +repage "$artifacts/demo_uninstall_question.png"
xdotool key y
# The stand-in waits four seconds before it removes its entry.
for _ in $(seq 1 60); do [ "$(listed)" = gone ] && break; sleep 0.5; done
expect "the stand-in removed its entry from the view that listed it" gone "$(listed)"
read -r x y < <(p center Button4)
xdotool mousemove "$x" "$y" click 1
expect_soon "Refresh List leaves its row out" $((rows - 1)) p count
expect "no row is Tide Tables Pro's" "" "$(tide_row)"
exit $((failures > 0))
