# Sourced by the window tests that drive the program on the demo's seeded prefix. Needs `top` (the
# project) and `probe` (window_probe.exe). demo_prefix WORK [UNINSTALLER] makes WORK/prefix a fresh
# prefix of $WINEARCH's kind seeded as the demo, with its program folder WORK/program (the stand-in
# uninstaller given to the seeding when named), and a virtual display when there is none; `p` asks
# the window, and the window (`app`), the server and the display end with the test.
source "$(dirname "${BASH_SOURCE[0]}")/../support/checks.sh"
p() { timeout 30 wine "$probe" "$@" </dev/null 2>/dev/null | tr -d '\r'; }

xvfb=""
app=""
demo_prefix_finish() {
  [ -n "$app" ] && kill -0 "$app" 2>/dev/null && { p close 5000 >/dev/null; kill "$app" 2>/dev/null; }
  wineserver -k >/dev/null 2>&1
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$WINEPREFIX"
}

demo_prefix() {  # demo_prefix WORK [UNINSTALLER]
  local work=$1 uninstaller=${2:-}
  rm -rf "$work"
  mkdir -p "$work/program"
  export WINEPREFIX="$work/prefix"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  # Wine reads the Linux names of the demo's files in the locale's character set: a UTF-8 one.
  export LC_ALL=C.UTF-8
  trap demo_prefix_finish EXIT
  if [ -z "${DISPLAY:-}" ]; then
    for n in $(seq 150 190); do
      if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then export DISPLAY=":$n"; break; fi
    done
    Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    sleep 1
  fi
  # The prefix's services must not hold ctest's output pipe: all of Wine's output goes elsewhere.
  mkdir -p "$WINEPREFIX"
  wineserver -p </dev/null >/dev/null 2>&1
  timeout 300 wine wineboot -i </dev/null >/dev/null 2>&1
  # A crash shows no dialog that would wait for a click.
  timeout 60 wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
  "$top/scripts/seed-demo.sh" "$WINEPREFIX" "$work/program" ${uninstaller:+"$uninstaller"} </dev/null >/dev/null 2>&1 ||
    { echo "seeding failed" >&2; exit 1; }
  # The server reads the demo's CD-ROM drive when it starts again.
  wineserver -k </dev/null >/dev/null 2>&1 || true
  wineserver -w </dev/null >/dev/null 2>&1 || true
  wineserver -p </dev/null >/dev/null 2>&1
  timeout 300 wine wineboot </dev/null >/dev/null 2>&1
}
