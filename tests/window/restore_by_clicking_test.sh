#!/usr/bin/env bash
# Removes an entry with "Remove Entry" and restores it from the Backups page ("Restore" by its key,
# Alt+T, after its question), by clicking and keys, then checks after "Refresh List" that the
# entry's row and its registry content are as before; then removes it again and puts back only its
# last block with "Restore Selected".
# Usage: restore_test.sh <Tidewell.exe> <artifacts dir>; needs WINEPREFIX and DISPLAY set.
set -euo pipefail
exe=$1
artifacts=$2/${WINEARCH:-win32}
probe="$(cd "$(dirname "$exe")/../tests" && pwd)/window_probe.exe"
key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\TidewellWindowRestore'

# A folder of its own, so that the folder Backup beside the program holds only this test's file.
mkdir -p "$artifacts"
app="$artifacts/restore-app"
rm -rf "$app"
mkdir -p "$app"
cp "$exe" "$app/Tidewell.exe"

app_pid=""
cleanup() {
  wine "$probe" close 5000 >/dev/null 2>&1 || true
  [ -n "$app_pid" ] && kill "$app_pid" >/dev/null 2>&1 || true
  wine reg delete "$key" /f >/dev/null 2>&1 || true
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  import -window root "$artifacts/restore-failed.png" >/dev/null 2>&1 || true
  exit 1
}
probe() { wine "$probe" "$@" | tr -d '\r'; }
click() {
  xdotool mousemove "$1" "$2" click 1
  sleep 0.3
}
# The line of the main list that shows the entry, "index<TAB>caption<TAB>key<TAB>command<TAB>image".
row() { probe rows | awk -F'\t' '$2 == "TidewellWindowRestore" { print NR - 1 "\t" $0 }'; }
# The entry's keys and values as the registry tool lists them; nothing when the key is missing.
registry() {
  local listing
  if listing=$(wine reg query "$key" /s 2>/dev/null); then tr -d '\r' <<<"$listing"; fi
}
# The window of that title (a pattern), waited for up to five seconds; nothing when none came.
window_titled() {
  local found=""
  for _ in $(seq 50); do
    found=$(xdotool search --name "$1" 2>/dev/null | head -1 || true)
    [ -n "$found" ] && break
    sleep 0.1
  done
  echo "$found"
}
# Remove Entry on the entry's row, answered Yes (No is the default button; Y answers Yes), until
# the registry no longer holds it.
remove_by_clicking() {  # remove_by_clicking ROW WHEN
  click $(probe row-center "$(cut -f1 <<<"$1")")
  click $(probe center removeButton)
  [ -n "$(window_titled "Remove Entry?")" ] || fail "no question before the $2 removal"
  xdotool key y
  local deadline=$((SECONDS + 15))
  until [ -z "$(registry)" ] || [ "$SECONDS" -ge "$deadline" ]; do sleep 0.2; done
  [ -z "$(registry)" ] || fail "the entry was not removed the $2 time"
}

wine reg delete "$key" /f >/dev/null 2>&1 || true
wine reg add "$key" /v DisplayName /d "Tidewell window restore" /f >/dev/null
wine reg add "$key" /v UninstallString /d 'C:\windows\notepad.exe /remove' /f >/dev/null
wine reg add "$key" /v InstallLocation /t REG_EXPAND_SZ /d '%ProgramFiles%\Window Restore' /f >/dev/null
wine reg add "$key" /v EstimatedSize /t REG_DWORD /d 4242 /f >/dev/null
wine reg add "$key\\Parts" /v Part /d "below the entry" /f >/dev/null
before_registry=$(registry)

wine "$app/Tidewell.exe" >/dev/null 2>&1 &
app_pid=$!
probe wait-checked 30000 >/dev/null || fail "the window did not show"
before_row=$(row)
[ -n "$before_row" ] || fail "the entry is not in the list"
echo "before: $before_row"

remove_by_clicking "$before_row" first
deadline=$((SECONDS + 15))
until [ -z "$(row)" ] || [ "$SECONDS" -ge "$deadline" ]; do sleep 0.2; done
[ -z "$(row)" ] || fail "the removed entry is still listed"
backups=$(ls "$app/Backup")
echo "removed; the folder Backup holds: $backups"
[ "$(wc -l <<<"$backups")" = 1 ] || fail "expected the day's undo file alone in the folder Backup"

# Backups page: select the undo file and press Restore from the keyboard.
click $(probe tab-center 5)
[ "$(probe page)" = 5 ] || fail "the Backups page is not shown"
click $(probe center backupFiles)
xdotool key Home
sleep 0.3
[ "$(probe enabled restoreButton)" = 1 ] || fail "Restore is not enabled with a backup selected"
# Alt+T, from the file list, is Restore (Alt+R is Remove Entry's); it asks first, naming the file; No
# is the default button, Y answers Yes.
xdotool key alt+t
[ -n "$(window_titled "Restore File?")" ] || fail "no question before the restore"
import -window root "$artifacts/restore-question.png" >/dev/null 2>&1 || true
xdotool key y

# The block goes back as Restore Selected puts it back, and the list is read again without Refresh
# List; a message says what was restored.
[ -n "$(window_titled "^Tidewell$")" ] || fail "the restore said nothing"
import -window root "$artifacts/restore-said.png" >/dev/null 2>&1 || true
xdotool key Return
deadline=$((SECONDS + 20))
until [ "$(row)" = "$before_row" ] || [ "$SECONDS" -ge "$deadline" ]; do sleep 0.2; done
after_row=$(row)
echo "after the restore, without Refresh List: $after_row"
import -window root "$artifacts/restore.png" >/dev/null 2>&1 || true
[ "$after_row" = "$before_row" ] || fail "the row differs after the restore, or the list was not read again"
[ "$(registry)" = "$before_registry" ] || fail "the registry content differs: $(diff <(echo "$before_registry") <(registry))"
echo "removed and restored by clicking; the list read again by itself; row and registry content as before"

# Removed again, then only its last block put back from the list of what the undo file holds.
remove_by_clicking "$after_row" second
click $(probe tab-center 5)
click $(probe center backupFiles)
xdotool key Home
blocks() { PROBE_LIST=backupRows probe rows; }
deadline=$((SECONDS + 10))
until [ "$(blocks | wc -l)" = 2 ] || [ "$SECONDS" -ge "$deadline" ]; do sleep 0.2; done
echo "the undo file's blocks:"
blocks
[ "$(blocks | wc -l)" = 2 ] || fail "expected the two removals' blocks listed"
[ "$(probe enabled restoreSelectedButton)" = 0 ] || fail "Restore Selected is enabled with no block chosen"
click $(PROBE_LIST=backupRows probe row-center 1)
[ "$(probe enabled restoreSelectedButton)" = 1 ] || fail "Restore Selected is not enabled with a block chosen"
import -window root "$artifacts/restore-selected-page.png" >/dev/null 2>&1 || true
click $(probe center restoreSelectedButton)
[ -n "$(window_titled "Restore Selected?")" ] || fail "no question before Restore Selected"
# No is the default button; Y answers Yes.
xdotool key y
deadline=$((SECONDS + 15))
until [ "$(registry)" = "$before_registry" ] || [ "$SECONDS" -ge "$deadline" ]; do sleep 0.2; done
[ "$(registry)" = "$before_registry" ] || fail "Restore Selected: the registry content differs: $(diff <(echo "$before_registry") <(registry))"
[ -n "$(window_titled "^Tidewell$")" ] || fail "Restore Selected said nothing"
import -window root "$artifacts/restore-selected.png" >/dev/null 2>&1 || true
xdotool key Return
sleep 0.5
[ "$(blocks | cut -f1-3 | tail -n 1)" != "" ] || fail "the page does not list the file again"
click $(probe center refreshButton)
[ "$(row)" = "$before_row" ] || fail "the row differs after Restore Selected"
echo "PASS: removed and restored by clicking, twice; row and registry content as before"
