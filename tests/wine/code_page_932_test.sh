#!/usr/bin/env bash
# The Windows tests of names and texts of every script again, in a Wine prefix whose ANSI code page
# is 932 (Japanese, double-byte, where a character's second byte can be 0x5C, the backslash). Wine
# takes the code page from the Linux locale, so every program of the prefix runs with
# LC_ALL=ja_JP.UTF-8; when the system has no such locale, it is generated into the build folder
# with localedef (from Debian's locales package) and found through LOCPATH.
# Usage: code_page_932_test.sh BUILD_DIR
set -uo pipefail
build=$(readlink -f "${1:?usage: code_page_932_test.sh BUILD_DIR}")
top=$(cd "$(dirname "$0")/../.." && pwd)
work="$build/codepage932"
export WINEPREFIX="$work/prefix"
export WINEARCH=${WINEARCH:-win32}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export TIDEWELL_EXPECT_CODE_PAGE=932

if ! locale -a 2>/dev/null | grep -qiE '^ja_JP\.utf-?8$'; then
  if [ ! -d "$work/locale/ja_JP.UTF-8" ]; then
    mkdir -p "$work/locale"
    localedef -i ja_JP -f UTF-8 "$work/locale/ja_JP.UTF-8" >/dev/null 2>&1 ||
      { echo "cannot make the ja_JP.UTF-8 locale (Debian package locales)" >&2; exit 1; }
  fi
  export LOCPATH="$work/locale"
fi
export LC_ALL=ja_JP.UTF-8

finish() { wineserver -k >/dev/null 2>&1; }
trap finish EXIT
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
# The prefix's services must not hold ctest's output pipe: all of Wine's output goes elsewhere.
wineserver -p </dev/null >/dev/null 2>&1
timeout 300 wine wineboot -i </dev/null >/dev/null 2>&1
"$top/scripts/wine-drives.sh" "$WINEPREFIX" </dev/null >/dev/null 2>&1
# The drive kinds reach programs once the prefix's mount manager has read them, which a busy machine
# can take a while to do after the restart: the status tests wait for that, up to half a minute.
for _ in $(seq 1 30); do
  (cd "$build/tests" && wine ./status_test.exe --gtest_filter='*GivesEachEntryItsIcon' </dev/null 2>&1) |
    grep -q "the prefix lacks the drives" || break
  sleep 1
done

failures=0
for test in contract_tests status_test launch_test unicode_roundtrip_test undo_roundtrip_test; do
  echo "== $test, code page 932"
  if ! (cd "$build/tests" && timeout 900 wine "./$test.exe" </dev/null); then
    echo "FAIL: $test in code page 932"
    failures=$((failures + 1))
  fi
done
[ "$failures" -eq 0 ] || { echo "$failures test program(s) failed in code page 932"; exit 1; }
echo "all test programs passed in code page 932"
