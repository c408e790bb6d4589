#!/usr/bin/env bash
# The run script with switches runs the console program, not the window: it builds Tidewell.com
# when it is missing, runs it in the prefix given, prints its output and nothing else to the
# standard output, and ends with its exit code.
# Usage: run_script_test.sh BUILD_DIR   (in the test run's WINEPREFIX, or a prefix of its own; the
# run script builds in the source tree's build/win32, which must be BUILD_DIR)
set -uo pipefail
build=$(readlink -f "${1:?usage: run_script_test.sh BUILD_DIR}")
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
work="$build/run_script_test"
com="$build/bin/Tidewell.com"

source "$here/../support/checks.sh"
if [ "$build" != "$(readlink -f "$top/build/win32")" ]; then
  echo "skipped: the run script builds in $top/build/win32, not $build"
  exit 0
fi
use_prefix "$work"
finish() { [ -n "$own_prefix" ] && wineserver -k >/dev/null 2>&1; }
trap finish EXIT
rm -rf "$work/out"
mkdir -p "$work/out"
if [ -n "$own_prefix" ] && [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineserver -p </dev/null >/dev/null 2>&1
  timeout 300 wine wineboot -i </dev/null >/dev/null 2>&1
fi

# Without a display the window would be started on a virtual one and report what it shows.
run() { (cd "$work/out" && env -u DISPLAY timeout 600 "$top/scripts/run.sh" "$@" </dev/null 2>/dev/null | tr -d '\r'); }
rm -f "$com"
listed=$(run /list /json)
code=$?
expect "the run script builds Tidewell.com" 1 "$([ -f "$com" ] && echo 1 || echo 0)"
expect "/list /json: exit code 0" 0 "$code"
expect "and the console program's output, nothing else" \
  "$(wine "$com" /list /json </dev/null 2>/dev/null | tr -d '\r')" "$listed"
run /bogus >/dev/null
expect "its exit code (2: a switch it does not take)" 2 "$?"
exit $((failures > 0))
