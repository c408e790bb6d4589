#!/usr/bin/env bash
# A removal of an entry of 800 values when its undo file cannot be written whole, and while another
# program tries to take the undo file away: either nothing of the entry is deleted, or it is removed
# and the undo files give back every value. The folder Backup beside the program is a small RAM disk
# (as root; elsewhere the full disk is skipped and said so).
# Usage: full_disk_test.sh BUILD_DIR   (in the test run's WINEPREFIX, or a prefix of its own)
set -uo pipefail
build=$(readlink -f "${1:?usage: full_disk_test.sh BUILD_DIR}")
here=$(cd "$(dirname "$0")" && pwd)
work="$build/full_disk_test"
source "$here/../support/checks.sh"
use_prefix "$work"
starts() {  # starts WHAT PREFIX ACTUAL
  if [[ "$3" == "$2"* ]]; then echo "ok: $1"; else fail "$1: expected [$2...], got [$3]"; fi
}

key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Big Ledger'
backup="$work/program/Backup"
mounted=""
finish() {
  [ -n "$mounted" ] && umount "$backup" 2>/dev/null
  wine reg delete "$key" /f </dev/null >/dev/null 2>&1
  [ -n "$own_prefix" ] && wineserver -k >/dev/null 2>&1
}
trap finish EXIT

if [ -n "$mounted" ] || mountpoint -q "$backup" 2>/dev/null; then umount "$backup"; fi
rm -rf "$work/program" "$work/kept" "$work/seed.reg"
mkdir -p "$backup" "$work/kept"
cp "$build/bin/Tidewell.com" "$work/program/"
if [ -n "$own_prefix" ] && [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineserver -p </dev/null >/dev/null 2>&1
  timeout 300 wine wineboot -i </dev/null >/dev/null 2>&1
fi
com=$(winepath -w "$work/program/Tidewell.com" 2>/dev/null)
backup_win=$(winepath -w "$backup" 2>/dev/null)
kept_win=$(winepath -w "$work/kept" 2>/dev/null)

# The entry: a display name, a command whose file is gone, and 800 values of some 60 bytes each.
seed() {
  python3 - "$work/seed.reg" <<'PY'
import sys
lines = ["REGEDIT4", "", r"[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Uninstall\Big Ledger]",
         '"DisplayName"="Big Ledger"', r'"UninstallString"="C:\\Gone\\Big Ledger\\unins000.exe"']
lines += ['"Value %03d"="%s"' % (i, "ledger line %03d " % i + "x" * 40) for i in range(800)]
open(sys.argv[1], "w", newline="").write("\r\n".join(lines) + "\r\n\r\n")
PY
  wine regedit /s "$(winepath -w "$work/seed.reg")" </dev/null >/dev/null 2>&1
}
values() { wine reg query "$key" </dev/null 2>/dev/null | grep -c 'REG_SZ'; }
remove() { wine "$com" /remove 'user\Big Ledger' </dev/null 2>"$work/remove.err" | tr -d '\r'; }

seed
expect "the entry holds its 802 values" 802 "$(values)"

# A disk that takes the undo file's header but not the entry's lines: nothing of it goes.
if [ "$(id -u)" -eq 0 ] && mount -t tmpfs -o size=16k tmpfs "$backup" 2>/dev/null; then
  mounted=1
  said=$(remove | head -n 1)
  echo "said: $said"
  starts "a full disk: the removal says it did not remove the entry, and why" \
    "not removed user\\Big Ledger: Cannot write to the undo file $backup_win\\Undo" "$said"
  expect "a full disk: every value is still there" 802 "$(values)"
  umount "$backup" && mounted=""
else
  echo "skipped: the full disk needs root to mount a RAM disk on $backup"
fi
rm -rf "$backup"/* 2>/dev/null

# Another program takes the undo file away again and again while the entry is removed (a move
# respects the sharing that a Linux rm would not): the removal either keeps the file or says nothing
# was removed; what it wrote is in the files kept or in the one left, and merged they give it back.
( for i in $(seq 1 60); do
    wine cmd /c move /y "$backup_win\\Undo*.reg" "$kept_win\\taken$i.reg" </dev/null >/dev/null 2>&1
  done ) &
mover=$!
said=$(remove | head -n 1)
wait "$mover"
now=$(values)
echo "the other program took the undo file away $(ls "$work"/kept | wc -l) times; the removal said: $said"
case "$said" in
  "removed user\\Big Ledger") expect "removed while the file was being taken: the entry is gone" 0 "$now" ;;
  "not removed user\\Big Ledger"*) expect "not removed: every value is still there" 802 "$now" ;;
  *) fail "the removal said [$said]" ;;
esac
for file in "$work"/kept/*.reg "$backup"/*.reg; do
  [ -f "$file" ] && wine regedit /s "$(winepath -w "$file")" </dev/null >/dev/null 2>&1
done
expect "the registry editor's merge of every undo file gives back all 802 values" 802 "$(values)"

# Our own restore gives back what a plain removal took.
rm -rf "$backup"/* "$work"/kept/*
said=$(remove | head -n 1)
expect "a removal with room on the disk" "removed user\\Big Ledger" "$said"
expect "the entry is gone" 0 "$(values)"
undo=$(ls "$backup"/Undo*.reg 2>/dev/null | head -n 1)
restored=$(wine "$com" /restore "$(winepath -w "$undo")" 'user\Big Ledger' </dev/null 2>/dev/null | tr -d '\r' | head -n 1)
starts "/restore puts the entry back" "restored user\\Big Ledger" "$restored"
expect "with all 802 values" 802 "$(values)"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "a full disk or a taken undo file loses nothing of an 800-value entry"
