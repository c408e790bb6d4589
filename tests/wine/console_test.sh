#!/usr/bin/env bash
# Tidewell.com, the console program, as prompts and scripts meet it under Wine: its file says it is
# a console program that asks for the rights of whoever starts it; both programs' /? show the
# version their files carry; cmd runs it for "tidewell" before Tidewell.exe, waits for it and takes
# its exit code; a console is given the characters themselves; /out writes the bytes a pipe gets,
# to a file made anew; /check's exit codes; without arguments it starts the window.
# Usage: console_test.sh BUILD_DIR   (in the test run's WINEPREFIX, or a prefix of its own)
set -uo pipefail
build=$(readlink -f "${1:?usage: console_test.sh BUILD_DIR}")
here=$(cd "$(dirname "$0")" && pwd)
com="$build/bin/Tidewell.com"
exe="$build/bin/Tidewell.exe"
helper="$build/tests/hostile_entries.exe"
work="$build/console_test"

source "$here/../support/checks.sh"
use_prefix "$work"
finish() {
  wine "$helper" remove </dev/null >/dev/null 2>&1
  [ -n "$own_prefix" ] && wineserver -k >/dev/null 2>&1
}
trap finish EXIT

rm -rf "$work/out" "$work/cmd" "$work/window"
mkdir -p "$work/out" "$work/cmd" "$work/window"
if [ -n "$own_prefix" ] && [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  # The prefix's services must not hold ctest's output pipe: all of Wine's output goes elsewhere.
  wineserver -p </dev/null >/dev/null 2>&1
  timeout 300 wine wineboot -i </dev/null >/dev/null 2>&1
fi
wine "$helper" seed </dev/null || fail "seeding the entries"

# What the files say of themselves.
fact() { python3 "$here/console_program_facts.py" "$1" | sed -n "s/^$2 //p"; }
expect "Tidewell.com is a console program" 3 "$(fact "$com" subsystem)"
expect "Tidewell.com asks for the rights of whoever starts it" asInvoker "$(fact "$com" level)"
expect "Tidewell.exe is the window, with an administrator's rights where the user has them" \
  "2 highestAvailable" "$(fact "$exe" subsystem) $(fact "$exe" level)"
version_of() { wine "$1" '/?' </dev/null 2>/dev/null | sed -n '1s/^Tidewell: .* (version \([0-9.]*\))\.\r*$/\1/p'; }
for program in "$com" "$exe"; do
  expect "$(basename "$program"): /? shows the version of its version resource" \
    "$(fact "$program" FileVersion)" "$(version_of "$program")"
done

# cmd looks for "tidewell" with the endings of PATHEXT in their order, .COM before .EXE. Beside
# Tidewell.com stands a Tidewell.exe that says nothing and ends with 0: the report and the exit
# code show which one ran. A batch file, as a detection script is, reads the exit code.
cp "$com" "$work/cmd/Tidewell.com"
cp "$build/tests/fake_uninstaller.exe" "$work/cmd/Tidewell.exe"
printf '@echo off\r\ntidewell /check > check.txt\r\necho exit code %%ERRORLEVEL%%\r\n' >"$work/cmd/detect.cmd"
(cd "$work/cmd" && wine cmd /c detect.cmd </dev/null 2>/dev/null | tr -d '\r' >cmd.out)
expect "cmd runs Tidewell.com for tidewell, waits for it and takes its exit code (1: Broken Link entries)" \
  "exit code 1" "$(cat "$work/cmd/cmd.out")"
expect "/check's first line counts the Broken Link entries" 1 \
  "$(head -n 1 "$work/cmd/check.txt" | grep -c '^[0-9]* Broken Link entr[a-z]*: /remove-broken /yes removes')"

# A console is given the characters themselves, whatever its code page: a terminal of Wine's shows
# the names outside ASCII as they are. (Its own control sequences and line wraps are taken out.)
script -qec "wine '$com' /list" /dev/null </dev/null >"$work/out/console.txt" 2>/dev/null
expect "exit code of /list to a console" 0 $?
python3 - "$work/out/console.txt" <<'PY' || fail "the console shows names outside ASCII"
import re, sys
text = open(sys.argv[1], "rb").read().decode("utf-8")
text = re.sub(r"\x1b\[[0-9;?]*[A-Za-z]", "", text).replace("\r", "").replace("\n", "")
for word in ("\u00c9diteur", "\u4e2d\u6587", "\u0416", "C:\\\u041f\u0440\u043e\\\u00e9\\u.exe"):
    assert word in text, (word, text[:400])
print("ok: the console shows the names as they are")
PY

# /out: the bytes that a pipe gets, no byte-order mark, in a file made anew (an older, longer file
# of that name is replaced), whose name need not be ASCII; nothing on the console.
wine "$com" /list /json </dev/null 2>/dev/null >"$work/out/pipe.json"
out_name="relev$(printf '\xc3\xa9') $(printf '\xe4\xb8\xad').json"
head -c 300000 /dev/zero | tr '\0' x >"$work/out/$out_name"
(cd "$work/out" && wine "$com" /list /json /out "$out_name" </dev/null >out.stdout 2>out.stderr)
expect "exit code of /list /json /out" 0 $?
expect "/out writes what a pipe gets" "$(sha1sum <"$work/out/pipe.json")" "$(sha1sum <"$work/out/$out_name")"
expect "/out's file starts with the report, not a byte-order mark" "[" "$(head -c 1 "$work/out/$out_name")"
expect "nothing on the console with /out" "" "$(cat "$work/out/out.stdout" "$work/out/out.stderr")"
# /out that names an undo file, the one the command reads: refused, the file left whole.
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tidewell Test\\Kept]\r\n"V"="x"\r\n' >"$work/out/undo.reg"
kept=$(sha1sum <"$work/out/undo.reg")
(cd "$work/out" && wine "$com" /restore undo.reg /list /out undo.reg </dev/null >same.stdout 2>same.stderr)
expect "exit code of /restore X /list /out X" 1 $?
expect "X is left as it was" "$kept" "$(sha1sum <"$work/out/undo.reg")"
expect "one line says why" 1 "$(grep -c '^Tidewell: /out would replace undo.reg, a registry file' "$work/out/same.stderr")"
expect "nothing left beside X" "" "$(cd "$work/out" && ls | grep -i '\.tmp$')"
(cd "$work/out" && wine "$com" /check /out 'missing\check.txt' </dev/null >check.stdout 2>check.stderr)
expect "exit code of /check when its /out file cannot be made" 4 $?
expect "one line says why" 1 "$(grep -c '^Tidewell: cannot write missing\\check.txt: ' "$work/out/check.stderr")"

# Without arguments, Tidewell.com starts the window beside it and ends.
if [ -n "${DISPLAY:-}" ]; then
  cp "$com" "$exe" "$work/window/"
  wine "$work/window/Tidewell.com" </dev/null >/dev/null 2>&1
  expect "exit code of Tidewell.com without arguments" 0 $?
  expect "the window shows" ready "$(wine "$build/tests/window_probe.exe" wait 30000 </dev/null 2>/dev/null | tr -d '\r')"
  expect "the window closes" closed "$(wine "$build/tests/window_probe.exe" close 15000 </dev/null 2>/dev/null | tr -d '\r')"
else
  fail "no display: the window that Tidewell.com starts cannot be checked"
fi

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "the console program works as prompts and scripts use it"
