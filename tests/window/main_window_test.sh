#!/usr/bin/env bash
# Tidewell.exe started as a user starts it, on a seeded scratch prefix, driven with the mouse and
# the keyboard on the display, its window read back with window_probe. Keeps a screenshot of each
# page in the artifacts folder.
# Usage: main_window_test.sh PATH/TO/Tidewell.exe ARTIFACTS_DIR
set -uo pipefail
exe=$(readlink -f "${1:?Tidewell.exe}")
# The prefix's kind comes from the caller (both kinds in a full test run); 32-bit by default.
export WINEARCH=${WINEARCH:-win32}
artifacts=${2:?artifacts dir}/$WINEARCH
top=$(cd "$(dirname "$0")/../.." && pwd)
probe=$(readlink -f "$(dirname "$exe")/../tests/window_probe.exe")
work="$artifacts/main_window"
[ -f "$probe" ] || { echo "no window_probe.exe beside the build ($probe)" >&2; exit 1; }

source "$(dirname "$0")/demo_prefix.sh"
demo_prefix "$work"
cp "$exe" "$work/program/"
# The registry tool of the prefix's own kind reaches the view that the demo's entries are in.
reg=(wine reg)
[ -d "$WINEPREFIX/drive_c/windows/syswow64" ] && reg=(/usr/lib/wine/wine64 reg)

start() {
  (cd "$work/program" && exec wine Tidewell.exe) </dev/null >"$work/tidewell.log" 2>&1 &
  app=$!
  if ! p wait-checked 60000 >/dev/null; then echo "the window did not appear" >&2; exit 1; fi
}
shoot() {  # shoot NAME: the client area as NAME.png
  local x y w h
  read -r x y w h < <(p client)
  import -window root -crop "${w}x${h}+${x}+${y}" +repage "$artifacts/$1.png"
}
click() { xdotool mousemove "$1" "$2" click 1; sleep 0.4; }
click_control() { local x y; read -r x y < <(p center "$1"); click "$x" "$y"; }
click_row() { local x y; read -r x y < <(p row-center "$1"); click "$x" "$y"; }
click_tab() { local x y; read -r x y < <(p tab-center "$1"); click "$x" "$y"; }
pixel() {  # pixel X Y: "r,g,b" of the screen point
  import -window root -crop "1x1+$1+$2" +repage -depth 8 txt:- | awk 'NR == 2 { gsub(/[()]/, "", $2); print $2 }' |
    awk -F, '{ printf "%d,%d,%d\n", $1, $2, $3 }'
}
command_of() { p rows | awk -F'\t' -v row="$1" 'NR == row + 1 { print $3 }'; }
key() { xdotool key "$@"; sleep 0.4; }

start

echo "== the first scan"
expect "page shown at start" 0 "$(p page)"
# A 64-bit prefix lists the stand-in uninstaller's entry in the 64-bit view, which it is told.
view=""
[ -d "$WINEPREFIX/drive_c/windows/syswow64" ] && view=" --view 64"
base_rows=(
  $'Anchor Tools\tAnchor Tools_is1\t%ProgramFiles%\\Anchor Tools\\unins000.exe\t0'
  $'Beacon Backup 5\t{8C4F1E20-77B3-11D4-A5C6-0050DA2DB1F1}\tRunDll32 C:\\PROGRA~1\\COMMON~1\\INSTAL~1\\PROFES~1\\RunTime\\10\\01\\Intel32\\Ctor.dll,LaunchSetup "C:\\Program Files\\InstallShield Installation Information\\{8C4F1E20-77B3-11D4-A5C6-0050DA2DB1F1}\\setup.exe" -l0x9 -removeonly\t0'
  $'Coastal Maps CD Edition\tCoastal Maps\tD:\\Setup\\uninst.exe /remove\t2'
  $'Driftwood Sync 0.9\tDriftwood Sync\tC:\\Program Files\\Driftwood Sync\\Remove Driftwood.exe\t0'
  $'Éclair Mémo ✓\tÉclair Mémo 表\t"C:\\Program Files\\Éclair Mémo\\Mémo ✓.exe" /uninstall\t1'
  $'Gull Photo Viewer 2.0\t{6F1D2B7A-3C4E-4B8A-9D21-7E5F0A1C3B42}\tMsiExec.exe /X{6F1D2B7A-3C4E-4B8A-9D21-7E5F0A1C3B42}\t0'
  $'Harbor Notes 3.1\tHarbor Notes\t"C:\\Program Files\\Harbor Notes\\uninst.exe" /S /LOG=uninstall.log\t1'
  $'Old Lantern Game\tOld Lantern\t"C:\\Program Files\\Old Lantern\\uninstall.exe" /quiet\t0'
  $'Pebble Calculator\t{2E9A55C1-0B7D-4F63-8E1A-6C3D4B5A6F70}\tMsiExec.exe /I{2E9A55C1-0B7D-4F63-8E1A-6C3D4B5A6F70}\t1'
  $'Salt Marsh Editor 1.4\tSalt Marsh Editor\tC:\\WINDOWS\\UNWISE.EXE C:\\Program Files\\Salt Marsh\\INSTALL.LOG\t1'
  $'Seabird Mail 7.2\tSeabird Mail_is1\t"C:\\Program Files\\Seabird Mail\\unins000.exe" /SILENT\t1'
  $'Tide Tables Pro\tTide Tables Pro\tC:\\Program Files\\Tide Tables\\Uninstall.exe --sleep 4000 --remove-key "Tide Tables Pro"'"$view"$'\t1')
base_keys=('{2E9A55C1-0B7D-4F63-8E1A-6C3D4B5A6F70}' '{6F1D2B7A-3C4E-4B8A-9D21-7E5F0A1C3B42}'
  '{8C4F1E20-77B3-11D4-A5C6-0050DA2DB1F1}' '{B0A1C2D3-E4F5-4617-8293-A4B5C6D7E8F9}' 'Anchor Tools_is1' 'Coastal Maps'
  'Driftwood Sync' 'Éclair Mémo 表' 'Harbor Notes' 'Old Lantern' 'Salt Marsh Editor' 'Seabird Mail_is1'
  'Tide Tables Pro' 'Wave Runtime')
# A 64-bit prefix adds a 32-bit program and a program of the user's own; All Entries names the
# source of every key there.
sixty_four=0
[ -d "$WINEPREFIX/drive_c/windows/syswow64" ] && sixty_four=1
if [ "$sixty_four" -eq 1 ]; then
  kelp=$'Kelp Player 2 (32-bit)\tKelp Player\t"C:\\Program Files (x86)\\Kelp Player\\uninstall.exe" /S\t1'
  gannet=$'Gannet Chat\tGannet\tC:\\users\\'"$(ls "$WINEPREFIX/drive_c/users" | grep -vx Public | head -n 1)"$'\\AppData\\Local\\Gannet\\Update.exe --uninstall\t1'
  base_rows=("${base_rows[@]:0:5}" "$gannet" "${base_rows[@]:5:2}" "$kelp" "${base_rows[@]:7}")
  all_keys=()
  for k in "${base_keys[@]}"; do all_keys+=("$k (64-bit)"); done
  all_keys=("${all_keys[@]:0:8}" 'Gannet (user)' "${all_keys[@]:8:1}" 'Kelp Player (32-bit)' "${all_keys[@]:9}")
else
  all_keys=("${base_keys[@]}")
fi
expected_rows=$(printf '%s\n' "${base_rows[@]}")
rows_count=${#base_rows[@]}
rows=$(p rows)
expect "rows: name, key, command and status icon, sorted by name, every character as it is" "$expected_rows" "$rows"
[ "$rows" == "$expected_rows" ] || diff <(echo "$expected_rows") <(echo "$rows")
expect "row count" "$rows_count" "$(p count)"
expect "All Entries lists every entry, named or not, in the system's order" \
  "$(printf '%s\n' "${all_keys[@]}")" "$(p lines entryKeys)"
expect "Installer List: name, marks where no entry belongs to a product or its registration is incomplete, - {key" \
  "$(printf '%s\n' '[no entry, incomplete] - {F1E2D3C4B5A69788796A5B4C3D2E1F00' \
     'Gull Photo Viewer 2.0 - {A7B2D1F6E4C3A8B4D912E7F5A0C1B324' 'Lighthouse Runtime [no entry] - {0D2C1A0B5F4E7164382A9B4A5C6D7E8F' \
     'Pebble Calculator - {1C55A9E2D7B036F4E8A1C6D3B4A5F607')" \
  "$(p lines installerProducts)"
expect "Backups lists the backup folder" "Undo20240611.reg" "$(p lines backupFiles)"
expect "first row selected after the scan" 0 "$(p selected)"
first=$(command_of 0)
expect "Finder box holds the selected row's command" "$first" "$(p text finderCommand)"
expect "Change Uninstall String box holds it too" "$first" "$(p text commandBox)"
expect "Uninstall Program enabled after the scan" 1 "$(p enabled uninstallButton)"
expect "Remove Entry enabled after the scan" 1 "$(p enabled removeButton)"
expect "Restore disabled with no backup selected" 0 "$(p enabled restoreButton)"
expect "Delete File disabled with no backup selected" 0 "$(p enabled deleteFileButton)"
expect "the focus starts in the list" entryList "$(p focus)"
shoot main

echo "== two presses of Enter after start"
key Return
key Return
sleep 0.5
expect "they ask nothing" "" "$(xdotool search --name 'Uninstall Program\?' 2>/dev/null | head -1)"
expect "and run no uninstaller: every row is still there" "$rows_count" "$(p count)"

echo "== selecting rows"
click_row 3
expect_soon "a clicked row is selected" 3 p selected
expect_soon "its command goes to the Finder box" "$(command_of 3)" p text finderCommand
expect_soon "and to the Change Uninstall String box" "$(command_of 3)" p text commandBox
key Down
expect_soon "the Down key moves the selection" 4 p selected
expect_soon "the boxes follow the keyboard's selection" "$(command_of 4)" p text finderCommand
expect_soon "both of them" "$(command_of 4)" p text commandBox
click_control refreshButton
expect_soon "Refresh keeps the selected position" 4 p selected
expect_soon "and puts that row's command in the boxes" "$(command_of 4)" p text commandBox

click_row 4
expect_soon "a row of names outside any one code page puts its command in the box as it is" \
  $'"C:\\Program Files\\Éclair Mémo\\Mémo ✓.exe" /uninstall' p text finderCommand
click_row 3
key Down
expect_soon "the Down key moves the selection again" 4 p selected

echo "== refresh after entries disappear"
timeout 60 "${reg[@]}" delete 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{8C4F1E20-77B3-11D4-A5C6-0050DA2DB1F1}' /f \
  </dev/null >/dev/null 2>&1
click_control refreshButton
expect_soon "a removed entry leaves the list" $((rows_count - 1)) p count
# The removed entry was above the selected one: the same entry stays selected, one row up.
expect_soon "the selected entry stays selected, one row up" 3 p selected
expect "the rows after the removed one move up" "$(printf '%s\n' "${base_rows[@]}" | sed 1,2d | awk -F'\t' 'NR == 4 { print $1 }')" \
  "$(p rows | awk -F'\t' 'NR == 5 { print $1 }')"
expect_soon "and its command is in the box" $'"C:\\Program Files\\Éclair Mémo\\Mémo ✓.exe" /uninstall' p text finderCommand
expect "All Entries lost the entry too" $((${#all_keys[@]} - 1)) "$(p lines entryKeys | wc -l)"
click_row 0
key End
expect_soon "End selects the last row" $((rows_count - 2)) p selected
timeout 60 "${reg[@]}" delete 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Tide Tables Pro' /f </dev/null >/dev/null 2>&1
click_control refreshButton
expect_soon "when the selected last row goes, the new last row is selected" $((rows_count - 3)) p selected
expect_soon "and its command is in the box" "$(command_of $((rows_count - 3)))" p text finderCommand

echo "== keyboard"
p show-row 2 >/dev/null
click_row 2
key Tab
expect_soon "Tab from the list goes to the pages" pageControl p focus
key shift+Tab
expect_soon "Shift+Tab goes back to the list" entryList p focus
key Down
key alt+l
expect_soon "Alt+L is Refresh List: the boxes follow the keyboard's selection" "$(command_of 3)" p text finderCommand

echo "== Test in Finder"
row_of() { p rows | awk -F'\t' -v name="$1" '$1 == name { print NR - 1 }'; }
click_row "$(row_of 'Driftwood Sync 0.9')"
key shift+F10
key t
expect_soon "Test in Finder, from the context menu, turns to the Finder" 3 p page
expect_soon "with the file that decided the entry's status in the box" \
  'C:\Program Files\Driftwood Sync\Remove Driftwood.exe' p text finderPath
read -r px py < <(p center findResult)
px=$((px - 45))
page_colour=$(pixel $((px - 12)) "$py")
expect_soon "and the answer about it: not there" "255,0,0" pixel "$px" "$py"
shoot finder-test
click_row "$(row_of 'Harbor Notes 3.1')"
expect_soon "another entry chosen takes the answer away" "$page_colour" pixel "$px" "$py"

echo "== the pages"
names=(introduction accuracy status finder change_uninstall_string backups all_entries installer_list)
for i in "${!names[@]}"; do
  click_tab "$i"
  expect_soon "tab $i shows its page" "$i" p page
  if [ "$i" -eq 3 ]; then
    read -r px py < <(p center findResult)
    px=$((px - 45))  # beside the caption, on the panel's own colour
    read -r bx by < <(p center finderPath)
    page_colour=$(pixel $((px - 12)) "$py")
    expect "the result panel starts in the page's colours" "$page_colour" "$(pixel "$px" "$py")"
    click "$bx" "$by"
    key End shift+Home BackSpace
    xdotool type --delay 20 'notepad'
    key Return
    expect_soon "Enter in the box is Find: a file in the Windows folder turns the panel green" "0,255,0" pixel "$px" "$py"
    xdotool type --delay 20 '.exe'
    expect_soon "typing in the box brings back the neutral look" "$page_colour" pixel "$px" "$py"
    key End shift+Home BackSpace
    xdotool type --delay 20 'C:\no\such\file.exe'
    click_control findButton
    expect_soon "Find on a missing file turns it red" "255,0,0" pixel "$px" "$py"
    # A path with a variable is looked for expanded, as the status check expands it, and says where.
    click "$bx" "$by"
    key End shift+Home BackSpace
    xdotool type --delay 20 '%windir%\notepad.exe'
    key Return
    expect_soon "Find expands a variable: the Windows folder's notepad is there" "0,255,0" pixel "$px" "$py"
    expect "and the line under the box says where it looked" 'Looked for C:\windows\notepad.exe' "$(p text lookedForLabel)"
    click_control finderCommand
    expect_soon "a click in the uninstall string brings back the neutral look" "$page_colour" pixel "$px" "$py"
    key End shift+Home
    click_control pasteButton
    expect "Paste copies the highlighted text of the uninstall string" "$(p text finderCommand)" "$(p text finderPath)"
  fi
  if [ "$i" -eq 5 ]; then
    # The first line, near the list's top.
    read -r x y < <(p center backupFiles)
    click "$x" $((y - 18))
    expect_soon "a selected backup enables Restore" 1 p enabled restoreButton
    expect_soon "and Delete File" 1 p enabled deleteFileButton
    order=""
    for _ in 1 2 3 4 5 6 7 8 9 10; do order+="$(p focus) "; key Tab; done
    # Restore Selected waits for a chosen backup, so Tab passes it by.
    expect "Tab order" "backupFiles restoreButton deleteFileButton backupRows refreshButton filterBox uninstallButton removeButton entryList pageControl " "$order"
  fi
  shoot "page-$i-${names[$i]}"
done
key ctrl+Tab
expect_soon "Ctrl+Tab turns to the next page" 0 p page

row_of() { p rows | awk -F'\t' -v name="$1" '$1 == name { print NR - 1; exit }'; }
comes_before() {  # comes_before NAME NAME: "yes" when the first is listed above the second
  local a b
  a=$(row_of "$1")
  b=$(row_of "$2")
  [ -n "$a" ] && [ -n "$b" ] && [ "$a" -lt "$b" ] && echo yes
}
stored_command() {  # stored_command KEY: the entry's UninstallString in the registry
  timeout 60 "${reg[@]}" query "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$1" /v UninstallString \
    </dev/null 2>/dev/null | tr -d '\r' | awk -F'    ' '/UninstallString/ { print $4 }'
}

echo "== Save Changes acts on the one entry whose command it shows"
harbor=$(stored_command 'Harbor Notes')
seabird=$(stored_command 'Seabird Mail_is1')
[ -n "$harbor" ] && [ -n "$seabird" ] || fail "the two entries' commands cannot be read"
p show-row "$(row_of 'Harbor Notes 3.1')" >/dev/null
click_row "$(row_of 'Harbor Notes 3.1')"
# Shift+Down from Harbor Notes down to Seabird Mail selects both and the rows between.
for _ in $(seq $(($(row_of 'Seabird Mail 7.2') - $(row_of 'Harbor Notes 3.1')))); do key shift+Down; done
expect_soon "the rows from Harbor Notes to Seabird Mail selected" $(($(row_of 'Seabird Mail 7.2') - $(row_of 'Harbor Notes 3.1') + 1)) p selected-count
read -r hx hy < <(p header-center 0)
click "$hx" "$hy"
expect_soon "a click on the name header turns the order round: Seabird Mail comes first" yes \
  comes_before 'Seabird Mail 7.2' 'Harbor Notes 3.1'
expect_soon "the box follows the first selected row" "$(p rows | awk -F'\t' '$1 == "Seabird Mail 7.2" { print $3 }')" p text commandBox
expect "Save Changes is off with several entries selected" 0 "$(p enabled saveButton)"
expect "and so is Uninstall Program" 0 "$(p enabled uninstallButton)"
click_tab 4
click_control saveButton
sleep 1
expect "Seabird Mail keeps its own command" "$seabird" "$(stored_command 'Seabird Mail_is1')"
expect "Harbor Notes keeps its own command" "$harbor" "$(stored_command 'Harbor Notes')"
shoot save-changes-two-selected
click "$hx" "$hy"
click_tab 0

window_named() {  # window_named TITLE: waits up to five seconds for a window of that title
  local found=""
  for _ in $(seq 50); do
    found=$(xdotool search --name "$1" 2>/dev/null | head -1 || true)
    [ -n "$found" ] && break
    sleep 0.1
  done
  echo "$found"
}
echo "== Change Uninstall String warns, says Saved, and asks before an edit is lost"
harbor=$(stored_command 'Harbor Notes')
p show-row "$(row_of 'Harbor Notes 3.1')" >/dev/null
click_row "$(row_of 'Harbor Notes 3.1')"
click_tab 4
click_control commandBox
key ctrl+a BackSpace
xdotool type --delay 20 'C:\No Such Folder\uninst.exe'
click_control saveButton
[ -n "$(window_named 'Save Changes\?')" ] || fail "no warning for a command whose file is not found"
shoot change-warning
key y
expect_soon "saved anyway when the user says so" 'C:\No Such Folder\uninst.exe' stored_command 'Harbor Notes'
click_control commandBox
key ctrl+a BackSpace
xdotool type --delay 20 "$harbor"
click_tab 0
p show-row "$(row_of 'Pebble Calculator')" >/dev/null
click_row "$(row_of 'Pebble Calculator')"
[ -n "$(window_named 'Save Changes\?')" ] || fail "no question before an edit not saved is lost"
shoot change-unsaved
# Enter would keep the edit (Cancel is the default); S is Save.
key s
expect_soon "saved when the user says so, before the row changed" "$harbor" stored_command 'Harbor Notes'

echo "== one entry of each list removed"
# In a 64-bit prefix the list holds the 64-bit view's entries, the 32-bit view's and the user's;
# in a 32-bit one the machine's and (none seeded) the user's. Each is removed where it lives.
answer_yes() {
  [ -n "$(window_named 'Remove Entry?')" ] || { fail "no question before the removal"; return; }
  # No is the default button; Y answers Yes.
  xdotool key y
}
if [ "$sixty_four" -eq 1 ]; then
  expect "the sources of the rows" "$(printf '%s\n' $'Gannet Chat\tuser' $'Kelp Player 2 (32-bit)\t32-bit' $'Old Lantern Game\t64-bit')" \
    "$(p sources | grep -E '^(Gannet|Kelp|Old Lantern)')"
  removals=($'Old Lantern Game\tHKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Old Lantern\t/reg:64'
            $'Kelp Player 2 (32-bit)\tHKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kelp Player\t/reg:32'
            $'Gannet Chat\tHKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Gannet\t/reg:64')
else
  removals=($'Old Lantern Game\tHKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Old Lantern\t')
fi
for removal in "${removals[@]}"; do
  IFS=$'\t' read -r caption key view <<<"$removal"
  row=$(row_of "$caption")
  [ -n "$row" ] || { fail "$caption is not listed"; continue; }
  p show-row "$row" >/dev/null
  click_row "$row"
  expect_soon "$caption selected" "$row" p selected
  click_control removeButton
  answer_yes
  for _ in $(seq 50); do [ -z "$(row_of "$caption")" ] && break; sleep 0.2; done
  expect "$caption leaves the list" "" "$(row_of "$caption")"
  expect "$caption leaves its own list in the registry" 1 \
    "$(timeout 60 "${reg[@]}" query "$key" $view </dev/null >/dev/null 2>&1; echo $?)"
done
shoot removed-one-of-each

echo "== closing"
expect "closing the window ends the program" closed "$(p close 15000)"
for _ in $(seq 1 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app" 2>/dev/null && fail "the program still runs after its window closed"
app=""

echo "screenshots in $artifacts"
[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all checks passed"
