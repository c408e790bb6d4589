#!/usr/bin/env bash
# The report as scripts read it on Linux, from both programs (the window, Tidewell.exe, and the
# console program, Tidewell.com): `wine Tidewell.exe /list /json` parsed by Python's json, with
# entries whose names hold quotes, backslashes, control characters and characters outside ASCII;
# the report written to a file, to a pipe and to no output at all; the tab-separated report one
# line per entry; a bad switch answered with exit code 2 and one line; and no display needed, since
# no window is made; a closed output is a failure, not a success.
# Usage: report_json_test.sh BUILD_DIR   (in the test run's WINEPREFIX, or a prefix of its own)
set -uo pipefail
build=$(readlink -f "${1:?usage: report_json_test.sh BUILD_DIR}")
helper="$build/tests/hostile_entries.exe"
work="$build/report_json"

source "$(dirname "$0")/../support/checks.sh"
use_prefix "$work"
finish() {
  wine "$helper" remove </dev/null >/dev/null 2>&1
  [ -n "$own_prefix" ] && wineserver -k >/dev/null 2>&1
}
trap finish EXIT

rm -rf "$work/out"
mkdir -p "$work/out"
if [ -n "$own_prefix" ] && [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  # The prefix's services must not hold ctest's output pipe: all of Wine's output goes elsewhere.
  wineserver -p </dev/null >/dev/null 2>&1
  timeout 300 wine wineboot -i </dev/null >/dev/null 2>&1
fi
wine "$helper" seed </dev/null || fail "seeding the entries"

# Each check, for each program.
for program in Tidewell.exe Tidewell.com; do
exe="$build/bin/$program"
# To a file, and through a pipe: the same bytes, exit code 0.
wine "$exe" /list /json </dev/null >"$work/out/file.json" 2>"$work/out/file.err"
expect "$program: exit code of /list /json to a file" 0 $?
wine "$exe" /list /json </dev/null 2>/dev/null | cat >"$work/out/pipe.json"
expect "$program: exit code of /list /json into a pipe" 0 "${PIPESTATUS[0]}"
expect "$program: the same report to a file and a pipe" "$(sha1sum <"$work/out/file.json")" "$(sha1sum <"$work/out/pipe.json")"
expect "$program: nothing on the error stream" "" "$(cat "$work/out/file.err")"

python3 - "$work/out/file.json" <<'PY' || fail "$program: the JSON report as Python reads it"
import json, sys
with open(sys.argv[1], "rb") as f:
    data = f.read()
entries = json.loads(data.decode("utf-8"))  # strict: a bare control character is an error
assert isinstance(entries, list), "one array"
# ASCII only, every other character escaped: the same in whatever code page a shell decodes it.
assert all(b < 0x80 for b in data), "a byte beyond ASCII"
fields = ["source", "key", "displayName", "status", "reason", "command", "productCode"]
for e in entries:
    assert list(e.keys()) == fields, e
    assert e["status"] in ("Good Link", "Missing Disk", "Broken Link", None), e
    # The installer's product code in upper case, for an entry that hands one to MsiExec; else null.
    assert e["productCode"] is None or (e["productCode"] == e["productCode"].upper() and
                                        e["productCode"].upper() in e["command"].upper()), e
by = {(e["source"], e["key"]): e for e in entries}
want = {
    ("32-bit", 'TidewellHostile "Quoted"\tTab'): (
        'Display "quoted" \\back\\slash\\ tab\there line\nbreak cr\r bell\x07 esc\x1b[31m del\x7f end',
        '"C:\\Program Files\\Hostile \\"Tool\\"\\gone.exe" /S', "Broken Link", None),
    ("32-bit", "TidewellHostile \u00c9\u4e2d\U0001F600"): (
        "\u00c9diteur \u4e2d\u6587 \U0001F600 \u0416", "C:\\\u041f\u0440\u043e\\\u00e9\\u.exe", "Broken Link", None),
    ("user", "TidewellHostile user\x01"): (
        "User \x01\x02\x1f entry", "MsiExec.exe /X{7F1C2C39-1F4E-4E57-9E10-0B6B3B6D2C15}", "Broken Link",
        "the system installer does not know product {7F1C2C39-1F4E-4E57-9E10-0B6B3B6D2C15}"),
}
for key, (name, command, status, reason) in want.items():
    assert key in by, "missing %r" % (key,)
    e = by[key]
    assert e["displayName"] == name, (e["displayName"], name)
    assert e["command"] == command, (e["command"], command)
    assert e["status"] == status, e
    if reason is not None:
        assert e["reason"] == reason, e
print("ok: %d entries parsed, the hostile ones exact" % len(entries))
PY

# Tab-separated: a header and one line of six fields per entry, whatever the names hold.
wine "$exe" /list </dev/null >"$work/out/list.tsv" 2>/dev/null
expect "$program: exit code of /list" 0 $?
python3 - "$work/out/list.tsv" "$work/out/file.json" <<'PY' || fail "$program: the tab-separated report"
import json, sys
lines = open(sys.argv[1], "rb").read().decode("utf-8").split("\n")
assert lines[-1] == "", "ends with a line feed"
lines = lines[:-1]
entries = json.loads(open(sys.argv[2], "rb").read().decode("utf-8"))
assert lines[0] == "source\tkey\tdisplay name\tstatus\treason\tcommand", lines[0]
assert len(lines) == len(entries) + 1, (len(lines), len(entries))
def one_line(text):
    return "".join(chr(0x2400 + ord(c)) if ord(c) < 0x20 else "\u2421" if c == "\x7f" else
                   "\ufffd" if 0x80 <= ord(c) <= 0x9f else c for c in text)
for line, e in zip(lines[1:], entries):
    fields = line.split("\t")
    assert len(fields) == 6, line
    assert fields == [one_line(e["source"]), one_line(e["key"]), one_line(e["displayName"]), e["status"] or "",
                      one_line(e["reason"]), one_line(e["command"])], (fields, e)
print("ok: %d lines of six fields, each the JSON's texts on one line" % (len(lines) - 1))
PY

# No display: no window is made. Output to nowhere: the exit code says the report was not written.
( unset DISPLAY; wine "$exe" /list </dev/null >/dev/null 2>&1 )
expect "$program: exit code of /list without a display" 0 $?
( unset DISPLAY; wine "$exe" /list </dev/null >&- 2>&- )
expect "$program: exit code of /list with its output closed" 1 $?
( unset DISPLAY; wine "$exe" /list /json </dev/null 2>/dev/null | python3 -c 'import json,sys; json.load(sys.stdin)' )
expect "$program: /list /json without a display" 0 $?

# A bad switch: exit code 2, one line on the error stream, nothing on the output.
wine "$exe" /lists </dev/null >"$work/out/bad.out" 2>"$work/out/bad.err"
expect "$program: exit code of a bad switch" 2 $?
expect "$program: one line for a bad switch" 1 "$(wc -l <"$work/out/bad.err")"
expect "$program: the line names the switch" 1 "$(grep -c '^Tidewell: unknown switch /lists' "$work/out/bad.err")"
expect "$program: no output for a bad switch" 0 "$(wc -c <"$work/out/bad.out")"
wine "$exe" '/?' </dev/null >"$work/out/usage.out" 2>/dev/null
expect "$program: exit code of /?" 0 $?
expect "$program: /? tells the switches" 1 "$(grep -c '/remove-broken /yes' "$work/out/usage.out")"
done

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "the report reads back whole"
