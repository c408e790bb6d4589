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

source "$(dirname "$0")/demo_prefix.sh"
demo_prefix "$work" "$tests/fake_uninstaller.exe"
cp "$exe" "$work/program/"
# The registry tool of the prefix's own kind reaches the view that the demo's entries are in.
reg=(wine reg)
[ -d "$WINEPREFIX/drive_c/windows/syswow64" ] && reg=(/usr/lib/wine/wine64 reg)
key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Tide Tables Pro'
# "gone" only when the tool says so: a tool that failed to start or to answer proves nothing.
listed() {
  local said
  if said=$(timeout 60 "${reg[@]}" query "$key" </dev/null 2>&1); then echo listed
  elif grep -q 'Unable to find the specified registry key' <<<"$said"; then echo gone
  else echo "unknown (reg: ${said//$'\r'/})"
  fi
}
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
read -r x y < <(p center uninstallButton)
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
# When the uninstaller ends, the window reads the list again and says how it ended.
status_word() { p text statusLine | grep -o "ended with exit code [0-9]*\. Its entry is gone from the list\."; }
expect_soon "the status line says the uninstaller ended and its entry went" \
  "ended with exit code 0. Its entry is gone from the list." status_word
expect_soon "and the list no longer has its row" $((rows - 1)) p count
read -r x y < <(p center refreshButton)
xdotool mousemove "$x" "$y" click 1
expect_soon "Refresh List leaves its row out" $((rows - 1)) p count
expect "no row is Tide Tables Pro's" "" "$(tide_row)"
exit $((failures > 0))
