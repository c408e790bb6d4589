#!/usr/bin/env bash
# Libraries come from the system's own folder. Both programs import only libraries that Windows
# keeps among its known ones (which it always takes from the System folder); the others they load
# by name after narrowing the search to the System folder. Planted beside the program under the
# names it loads (the common controls, the installer's library), with Wine told to prefer such
# copies, a library that leaves a mark is not loaded by the window, its status checks or its
# report; a program that loads by name without narrowing the search loads it, which shows that the
# plant would be taken.
# Usage: library_search_test.sh BUILD_DIR   (in the test run's WINEPREFIX and DISPLAY)
set -uo pipefail
build=$(readlink -f "${1:?usage: library_search_test.sh BUILD_DIR}")
here=$(cd "$(dirname "$0")" && pwd)
work="$build/library_search_test"
probe="$build/tests/window_probe.exe"
export WINEDEBUG=-all
export LC_ALL=C.UTF-8
source "$here/../support/checks.sh"

# The known libraries of Windows 10 and 11 (HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs).
known=" advapi32.dll clbcatq.dll combase.dll comdlg32.dll coml2.dll difxapi.dll gdi32.dll gdiplus.dll imagehlp.dll
 imm32.dll kernel32.dll msctf.dll msvcrt.dll normaliz.dll nsi.dll ole32.dll oleaut32.dll psapi.dll rpcrt4.dll
 sechost.dll setupapi.dll shcore.dll shell32.dll shlwapi.dll user32.dll wldap32.dll wow64.dll wow64win.dll ws2_32.dll "
for program in "$build/bin/Tidewell.exe" "$build/bin/Tidewell.com"; do
  others=""
  for library in $(python3 "$here/console_program_facts.py" "$program" | sed -n 's/^import //p' | tr 'A-Z' 'a-z'); do
    [[ "$known" == *" $library "* ]] || others+=" $library"
  done
  expect "$(basename "$program") imports only the system's known libraries" "" "${others# }"
done

rm -rf "$work"
mkdir -p "$work"
cp "$build/bin/Tidewell.exe" "$build/tests/load_by_name.exe" "$work/"
planted=(comctl32 msi)
for name in "${planted[@]}"; do cp "$build/tests/planted_library.dll" "$work/$name.dll"; done
marks() { (cd "$work" && ls -- *.loaded 2>/dev/null | tr '\n' ' '); }
# Wine takes its own libraries before any copy unless told otherwise: it is told to prefer copies.
export WINEDLLOVERRIDES="comctl32,msi=n,b;mscoree,mshtml="
# An entry of the system installer's, so that the status checks ask the installer.
wine reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\{5B1F0C3E-0A2D-4C3B-9E7F-1A2B3C4D5E6F}' \
  /v DisplayName /d "TW library search" /f </dev/null >/dev/null 2>&1
wine reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\{5B1F0C3E-0A2D-4C3B-9E7F-1A2B3C4D5E6F}' \
  /v UninstallString /d 'MsiExec.exe /X{5B1F0C3E-0A2D-4C3B-9E7F-1A2B3C4D5E6F}' /f </dev/null >/dev/null 2>&1
wine reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\{5B1F0C3E-0A2D-4C3B-9E7F-1A2B3C4D5E6F}' \
  /v WindowsInstaller /t REG_DWORD /d 1 /f </dev/null >/dev/null 2>&1
finish() {
  wine reg delete 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\{5B1F0C3E-0A2D-4C3B-9E7F-1A2B3C4D5E6F}' /f \
    </dev/null >/dev/null 2>&1
}
trap finish EXIT

(cd "$work" && wine Tidewell.exe /list </dev/null >list.txt 2>/dev/null)
grep -q 'TW library search' "$work/list.txt" || fail "the report lists the installer's entry"
if [ -n "${DISPLAY:-}" ]; then
  (cd "$work" && wine Tidewell.exe </dev/null >/dev/null 2>&1 &)
  expect "the window shows and checks every entry" ready "$(wine "$probe" wait-checked 60000 </dev/null 2>/dev/null | tr -d '\r')"
  expect "and closes" closed "$(wine "$probe" close 15000 </dev/null 2>/dev/null | tr -d '\r')"
fi
expect "no planted library was loaded by the report or the window" "" "$(marks)"
for name in "${planted[@]}"; do
  (cd "$work" && wine load_by_name.exe "$name.dll" </dev/null >/dev/null 2>&1)
done
expect "a load by name that does not narrow the search takes each planted library" \
  "$(for name in "${planted[@]}"; do printf '%s.dll.loaded ' "$name"; done)" "$(marks)"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all checks passed"
