#!/usr/bin/env bash
# The main list as a person works with it, by clicking and typing: 300 entries of which 40 are
# broken; the filter narrows the list as it is typed and Escape clears it; a click on the Status
# header brings the broken ones to the top; Ctrl+B selects exactly them; Delete, after one
# question, removes all 40; the day's undo file merged back gives all 40 back as they were. Then
# the window resized and maximized: every control inside it, none over another, a screenshot of
# each size.
# Usage: list_window_test.sh <Tidewell.exe> <artifacts dir>; needs WINEPREFIX and DISPLAY set.
set -uo pipefail
source "$(dirname "$0")/window_setup.sh"
window_setup list "$1" "$2"
uninstall='HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'
total=300
gone=40

source "$(dirname "$0")/../support/checks.sh"
click() { xdotool mousemove "$1" "$2" click 1; sleep 0.3; }
key() { xdotool key "$@"; sleep 0.3; }
shoot() {
  local x y w h
  read -r x y w h < <(probe client)
  import -window root -crop "${w}x${h}+${x}+${y}" +repage "$artifacts/$1.png"
}
# Entry i: the first $gone point at a folder that is gone, the others at a program that is there.
name_of() { if [ "$1" -lt "$gone" ]; then printf 'TWList Gone %03d' "$1"; else printf 'TWList Here %03d' "$1"; fi; }
seed() {  # seed +|-
  local reg="$artifacts/list.reg"
  {
    echo "REGEDIT4"
    for ((i = 0; i < total; i++)); do
      echo
      if [ "$1" = - ]; then echo "[-$uninstall\\$(name_of "$i")]"; continue; fi
      echo "[$uninstall\\$(name_of "$i")]"
      echo "\"DisplayName\"=\"$(name_of "$i") program\""
      echo "\"Publisher\"=\"List Vendor $((i % 7))\""
      if [ "$i" -lt "$gone" ]; then
        echo "\"UninstallString\"=\"\\\"C:\\\\Program Files\\\\Gone Vendor\\\\App $i\\\\uninstall.exe\\\" /S\""
      else
        echo "\"UninstallString\"=\"C:\\\\windows\\\\notepad.exe /remove $i\""
      fi
      echo "\"EstimatedSize\"=dword:$(printf '%08x' $((i * 1000)))"
      echo
      echo "[$uninstall\\$(name_of "$i")\\Parts]"
      echo "\"Part\"=\"part of $(name_of "$i")\""
    done
  } >"$reg"
  wine regedit /S "$reg" </dev/null >/dev/null 2>&1
}
# The broken entries as the registry tool lists them.
listing() {
  for ((i = 0; i < gone; i++)); do
    wine reg query "$uninstall\\$(name_of "$i")" /s </dev/null 2>/dev/null | tr -d '\r' | grep -v '^reg: '
  done
}
app_pid=""
finish() {
  probe close 5000 >/dev/null
  [ -n "$app_pid" ] && kill "$app_pid" >/dev/null 2>&1
  seed -
}
trap finish EXIT

seed +
before=$(listing)
[ "$(grep -c 'DisplayName' <<<"$before")" = "$gone" ] || { echo "seeding failed" >&2; exit 1; }
wine "$app/Tidewell.exe" </dev/null >/dev/null 2>&1 &
app_pid=$!
probe wait-checked 120000 >/dev/null || { echo "the window did not show" >&2; exit 1; }
shoot list-design
all=$(probe count)

echo "== the filter"
key ctrl+f
expect "Ctrl+F puts the focus in the filter box" filterBox "$(probe focus)"
xdotool type --delay 30 'twlist gone'
expect_soon "typing narrows the list to the matching entries" "$gone" probe count
# The texts drawn under and over the list are controls that a screen reader reads (WM_GETTEXT).
expect "the filter's count reads as text" "$gone of $all" "$(probe text filterCount)"
key Escape
expect_soon "Escape clears the filter" "$all" probe count
xdotool type --delay 30 'list vendor 3'
expect_soon "the publisher is matched too" 43 probe count
key Escape

echo "== sorting"
read -r hx hy < <(probe header-center 4)
click "$hx" "$hy"
expect_soon "a click on the Status header brings the Broken Link entries first" \
  "$(for ((i = 0; i < gone; i++)); do echo 0; done)" sh -c "wine '$probe_exe' rows </dev/null 2>/dev/null | tr -d '\r' | head -n $gone | cut -f4"
expect "among them in the order of their names" "$(name_of 0) program" "$(probe rows | head -n 1 | cut -f1)"
sleep 1
click "$hx" "$hy"
expect_soon "a second click turns the order round" 1 sh -c "wine '$probe_exe' rows </dev/null 2>/dev/null | tr -d '\r' | head -n 1 | cut -f4"
sleep 1
click "$hx" "$hy"

echo "== the broken ones selected and removed at once"
probe show-row 0 >/dev/null
read -r rx ry < <(probe row-center 0)
click "$rx" "$ry"
# The tip over a row says why its entry has its status.
xdotool mousemove $((rx + 4)) "$ry"
sleep 0.3
xdotool mousemove $((rx + 8)) $((ry + 1))
expect_soon "the tip over a broken row says what was not found" \
  'Not found: C:\Program Files\Gone Vendor\App 0\uninstall.exe' \
  sh -c "wine '$probe_exe' tip </dev/null 2>/dev/null | tr -d '\r' | sed 's/ (looked for.*//'"
key ctrl+b
expect_soon "Ctrl+B selects exactly the Broken Link entries" "$gone" probe selected-count
key Delete
question=""
for _ in $(seq 50); do
  question=$(xdotool search --name "Remove Entries?" 2>/dev/null | head -1 || true)
  [ -n "$question" ] && break
  sleep 0.1
done
[ -n "$question" ] && echo "ok: one question for all of them" || fail "no question before the removal"
import -window root "$artifacts/list-question.png" >/dev/null 2>&1
# No is the default button: Enter would keep them all; Y answers Yes.
key y
expect_soon "all $gone left the list" $((all - gone)) probe count
status=$(probe text statusLine)
case "$status" in
  "Removed $gone entries, backed up in "*Undo*.reg.*) echo "ok: the status line reads as text, naming the backup" ;;
  *) fail "the status line reads \"$status\"" ;;
esac
read -r sx sy < <(probe center statusLine)
click "$sx" "$sy"
expect_soon "a click on the status line opens the Backups page" 5 probe page
expect "and the registry" "" "$(listing)"
expect "the list keeps the focus" entryList "$(probe focus)"
undo=$(ls "$app"/Backup/Undo*.reg | head -n 1)
[ -n "$undo" ] || fail "no undo file"
wine regedit /S "$undo" </dev/null >/dev/null 2>&1
expect "merged back, all $gone are as they were" "$before" "$(listing)"

echo "== sizes"
# Every control window inside the client area, and no two of them over each other.
check_layout() {
  local size=$1 w h
  read -r w h <<<"$size"
  probe layout | awk -v w="$w" -v h="$h" -v size="$size" '
    { name[NR] = $1; l[NR] = $2; t[NR] = $3; r[NR] = $4; b[NR] = $5
      if ($2 < 0 || $3 < 0 || $4 > w || $5 > h) printf "FAIL: at %s, %s is outside the window\n", size, $1 }
    END { for (i = 1; i <= NR; i++) for (j = i + 1; j <= NR; j++)
            if (l[i] < r[j] && l[j] < r[i] && t[i] < b[j] && t[j] < b[i])
              printf "FAIL: at %s, %s and %s overlap\n", size, name[i], name[j] }'
}
for size in "536 414" "760 560"; do
  got=$(probe resize "$size")
  expect "the window takes the size $size" "$size" "$got"
  problems=$(check_layout "$got")
  [ -z "$problems" ] && echo "ok: at $got every control is inside and none overlaps" || { echo "$problems"; failures=$((failures + 1)); }
  shoot "list-${got/ /x}"
done
got=$(probe resize "300 200")
expect "never smaller than its design" "536 414" "$got"
got=$(probe maximize)
problems=$(check_layout "$got")
[ -z "$problems" ] && echo "ok: maximized ($got) every control is inside and none overlaps" || { echo "$problems"; failures=$((failures + 1)); }
# Let the window draw itself at its new size first.
sleep 1
import -window root "$artifacts/list-maximized.png" >/dev/null 2>&1
probe restore >/dev/null

echo "screenshots in $artifacts"
[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all checks passed"
