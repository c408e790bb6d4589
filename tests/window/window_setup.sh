# Sourced by the window tests that run their own copy of the program. window_setup NAME EXE
# ARTIFACTS sets `artifacts` (a folder per kind of prefix), `probe_exe`, and `app`: a fresh folder
# holding a copy of EXE, whose Backup folder is the test's own. `probe` asks the running window.
window_setup() {  # window_setup NAME EXE ARTIFACTS
  artifacts=$3/${WINEARCH:-win32}
  probe_exe="$(cd "$(dirname "$2")/../tests" && pwd)/window_probe.exe"
  app="$artifacts/$1-app"
  rm -rf "$app"
  mkdir -p "$app"
  cp "$2" "$app/Tidewell.exe"
}
probe() { wine "$probe_exe" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
