# The checks of the test scripts, sourced by them: each prints "ok: WHAT" or "FAIL: WHAT ..." and
# counts the failures in $failures, for the script to end with.
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect() {  # expect WHAT EXPECTED ACTUAL
  if [ "$2" == "$3" ]; then echo "ok: $1"; else fail "$1: expected [$2], got [$3]"; fi
}
# The same, for a state that follows an action: asks again for up to ten seconds until it matches.
expect_soon() {  # expect_soon WHAT EXPECTED COMMAND...
  local what=$1 expected=$2 actual
  shift 2
  for _ in $(seq 1 50); do
    actual=$("$@")
    [ "$actual" == "$expected" ] && break
    sleep 0.2
  done
  expect "$what" "$expected" "$actual"
}
# Wine's quiet settings, and the test run's WINEPREFIX or else a 32-bit prefix of the script's own in
# DIR/prefix, which sets $own_prefix: use_prefix DIR
use_prefix() {
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
  own_prefix=""
  if [ -z "${WINEPREFIX:-}" ]; then
    export WINEPREFIX="$1/prefix" WINEARCH=win32
    own_prefix=1
  fi
}
