#!/usr/bin/env bash
# The window answers the user while it checks thousands of statuses: with 5,000 entries seeded, a
# click on a page's tab, made as soon as the rows are shown, turns the page at once, while the
# checks go on; then every status arrives.
# Usage: busy_window_test.sh <Tidewell.exe> <artifacts dir>; needs WINEPREFIX and DISPLAY set.
set -uo pipefail
source "$(dirname "$0")/window_setup.sh"
window_setup busy "$1" "$2"
count=5000
uninstall='HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'

click() { xdotool mousemove "$1" "$2" click 1; }
seed() {  # seed +|-: the entries made, or taken away again
  local reg="$artifacts/busy.reg"
  {
    echo "REGEDIT4"
    for ((i = 0; i < count; i++)); do
      echo
      if [ "$1" = - ]; then echo "[-$uninstall\\TidewellBusy $i]"; continue; fi
      echo "[$uninstall\\TidewellBusy $i]"
      echo "\"DisplayName\"=\"Busy program $i\""
      echo "\"UninstallString\"=\"\\\"C:\\\\Program Files\\\\Busy Vendor $((i / 50))\\\\Program $i\\\\uninstall.exe\\\" /S\""
    done
  } >"$reg"
  wine regedit /S "$reg" </dev/null >/dev/null 2>&1
}
app_pid=""
finish() {
  probe close 5000 >/dev/null
  [ -n "$app_pid" ] && kill "$app_pid" >/dev/null 2>&1
  seed -
}
trap finish EXIT
fail() { echo "FAIL: $*"; import -window root "$artifacts/busy-failed.png" >/dev/null 2>&1; exit 1; }

seed +
wine "$app/Tidewell.exe" </dev/null >/dev/null 2>&1 &
app_pid=$!
probe wait 120000 >/dev/null || fail "the window did not show"
rows=$(probe count)
[ "$rows" -ge "$count" ] || fail "the window listed $rows rows, not $count"
read -r x y < <(probe tab-center 6)
start=$(date +%s%N)
click "$x" "$y"
page=""
for _ in $(seq 100); do
  page=$(probe page)
  [ "$page" = 6 ] && break
  sleep 0.05
done
took=$((($(date +%s%N) - start) / 1000000))
pending=$(probe pending)
[ "$page" = 6 ] || fail "the page did not turn while the statuses were checked"
echo "the page turned $took ms after the click, with $pending of $rows statuses still to come"
[ "$pending" -gt 0 ] || echo "note: the checks had ended by then; the click did not meet them"
import -window root "$artifacts/busy.png" >/dev/null 2>&1
probe wait-checked 300000 >/dev/null || fail "the statuses did not all arrive"
read -r listed checked < <(probe timings)
echo "rows shown $listed ms, every status known $checked ms after the program's start"
probe close 15000 >/dev/null
wait "$app_pid" 2>/dev/null

# Closed while thousands of checks are still to come, the program ends at once: it does not wait
# for the checks.
wine "$app/Tidewell.exe" </dev/null >/dev/null 2>&1 &
app_pid=$!
probe wait 120000 >/dev/null || fail "the window did not show again"
pending=$(probe pending)
start=$(date +%s%N)
probe close 15000 >/dev/null
# Up to the 5 s allowed below: a loaded machine takes a moment to end a process.
for _ in $(seq 500); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.01; done
took=$((($(date +%s%N) - start) / 1000000))
kill -0 "$app_pid" 2>/dev/null && fail "the program still runs after its window closed"
echo "closed with $pending of $rows statuses still to come: the program ended $took ms after the close was asked for"
[ "$took" -lt 5000 ] || fail "the program took $took ms to end"
app_pid=""
echo "all checks passed"
