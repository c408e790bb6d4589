#!/usr/bin/env bash
# Seeds a Wine prefix with a realistic list of installed programs for Tidewell to show: uninstall
# entries in every common installer style (some whose uninstaller is there, some whose files are
# gone), a few products of the system installer, and an undo file in the program's Backup folder.
# Usage: scripts/seed-demo.sh PREFIX PROGRAM_FOLDER [STAND_IN]
#   PREFIX          a booted Wine prefix, 32-bit or 64-bit
#   PROGRAM_FOLDER  the Linux folder that holds (or will hold) Tidewell.exe; its Backup folder is seeded
#   STAND_IN        a small Windows program that stands in for one entry's uninstaller: it waits a
#                   few seconds and removes its entry (the tests' fake_uninstaller.exe)
# The prefix's drive D: becomes a CD-ROM drive (the server must be restarted to see it). Web pages
# open with the desktop's browser through winebrowser: the demo prefix is made without Wine's HTML
# engine, which would otherwise register them, and the help link needs that.
set -euo pipefail
prefix=${1:?usage: seed-demo.sh PREFIX PROGRAM_FOLDER}
program=${2:?usage: seed-demo.sh PREFIX PROGRAM_FOLDER}
stand_in=${3:-}
export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

c="$prefix/drive_c"
pf="$c/Program Files"
[ -d "$c/windows" ] || { echo "seed-demo: $prefix is not a booted Wine prefix" >&2; exit 1; }
# The registry tools of the prefix's own kind: in a 64-bit prefix, the 64-bit ones reach the
# registry's 64-bit view, where 64-bit programs register and Wine reads its drive settings.
native=(wine)
# The stand-in uninstaller is a 32-bit program: told to, it removes its entry from the 64-bit view,
# where a 64-bit prefix lists it.
view=""
if [ -d "$prefix/drive_c/windows/syswow64" ]; then  # a 64-bit prefix
  native=(/usr/lib/wine/wine64)
  command -v wine64 >/dev/null 2>&1 && native=(wine64)
  view=" --view 64"
fi

# Uninstallers and files that are still there. Their content does not matter to the status check.
mkdir -p "$pf/Harbor Notes" "$pf/Tide Tables" "$pf/Salt Marsh" "$pf/Seabird Mail" "$pf/Anchor Tools"
printf 'MZ' >"$pf/Harbor Notes/uninst.exe"
if [ -n "$stand_in" ]; then cp "$stand_in" "$pf/Tide Tables/Uninstall.exe"; else printf 'MZ' >"$pf/Tide Tables/Uninstall.exe"; fi
# A CD-ROM drive without the disc that an entry's uninstaller was installed from.
mkdir -p "$prefix/drives/d"
ln -sfn ../drives/d "$prefix/dosdevices/d:"
printf 'MZ' >"$pf/Seabird Mail/unins000.exe"
printf 'Inno Setup Uninstall Log' >"$pf/Seabird Mail/unins000.dat"
# An uninstaller that is there but cannot run: its data file unins000.dat is gone.
printf 'MZ' >"$pf/Anchor Tools/unins000.exe"
printf 'MZ' >"$c/windows/UNWISE.EXE"
printf 'Wise installation log\r\n' >"$pf/Salt Marsh/INSTALL.LOG"

reg=$(mktemp --suffix=.reg)
ureg=$(mktemp --suffix=.reg)
trap 'rm -f "$reg" "$ureg"' EXIT
u='HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'
p='HKEY_CLASSES_ROOT\Installer\Products'
# The installer's record of each installed product, by its packed product code.
d='HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Installer\UserData\S-1-5-18\Products'
# REGEDIT4 text: backslashes and quotes inside values are escaped; the header must stand alone.
cat >"$reg" <<EOF
REGEDIT4

[$u\\Harbor Notes]
"DisplayName"="Harbor Notes 3.1"
"UninstallString"="\\"C:\\\\Program Files\\\\Harbor Notes\\\\uninst.exe\\" /S /LOG=uninstall.log"
"Publisher"="Harbor Notes Project"

[$u\\{6F1D2B7A-3C4E-4B8A-9D21-7E5F0A1C3B42}]
"DisplayName"="Gull Photo Viewer 2.0"
"UninstallString"="MsiExec.exe /X{6F1D2B7A-3C4E-4B8A-9D21-7E5F0A1C3B42}"
"WindowsInstaller"=dword:00000001

[$u\\{8C4F1E20-77B3-11D4-A5C6-0050DA2DB1F1}]
"DisplayName"="Beacon Backup 5"
"UninstallString"="RunDll32 C:\\\\PROGRA~1\\\\COMMON~1\\\\INSTAL~1\\\\PROFES~1\\\\RunTime\\\\10\\\\01\\\\Intel32\\\\Ctor.dll,LaunchSetup \\"C:\\\\Program Files\\\\InstallShield Installation Information\\\\{8C4F1E20-77B3-11D4-A5C6-0050DA2DB1F1}\\\\setup.exe\\" -l0x9 -removeonly"

[$u\\Tide Tables Pro]
"DisplayName"="Tide Tables Pro"
"UninstallString"="C:\\\\Program Files\\\\Tide Tables\\\\Uninstall.exe --sleep 4000 --remove-key \\"Tide Tables Pro\\"$view"

[$u\\Salt Marsh Editor]
"DisplayName"="Salt Marsh Editor 1.4"
"UninstallString"="C:\\\\WINDOWS\\\\UNWISE.EXE C:\\\\Program Files\\\\Salt Marsh\\\\INSTALL.LOG"

[$u\\Old Lantern]
"DisplayName"="Old Lantern Game"
"UninstallString"="\\"C:\\\\Program Files\\\\Old Lantern\\\\uninstall.exe\\" /quiet"

[$u\\Driftwood Sync]
"DisplayName"="Driftwood Sync 0.9"
"UninstallString"="C:\\\\Program Files\\\\Driftwood Sync\\\\Remove Driftwood.exe"

[$u\\{2E9A55C1-0B7D-4F63-8E1A-6C3D4B5A6F70}]
"DisplayName"="Pebble Calculator"
"UninstallString"="MsiExec.exe /I{2E9A55C1-0B7D-4F63-8E1A-6C3D4B5A6F70}"

[$u\\Seabird Mail_is1]
"DisplayName"="Seabird Mail 7.2"
"UninstallString"="\\"C:\\\\Program Files\\\\Seabird Mail\\\\unins000.exe\\" /SILENT"

[$u\\Anchor Tools_is1]
"DisplayName"="Anchor Tools"
"UninstallString"=hex(2):25,50,72,6f,67,72,61,6d,46,69,6c,65,73,25,5c,41,6e,63,68,6f,72,20,54,6f,\\
  6f,6c,73,5c,75,6e,69,6e,73,30,30,30,2e,65,78,65,00

[$u\\Coastal Maps]
"DisplayName"="Coastal Maps CD Edition"
"UninstallString"="D:\\\\Setup\\\\uninst.exe /remove"

[$u\\Wave Runtime]
"DisplayName"="Wave Runtime Support"
"SystemComponent"=dword:00000001

[$u\\{B0A1C2D3-E4F5-4617-8293-A4B5C6D7E8F9}]
"UninstallString"="MsiExec.exe /X{B0A1C2D3-E4F5-4617-8293-A4B5C6D7E8F9}"

[HKEY_LOCAL_MACHINE\\Software\\Wine\\Drives]
"d:"="cdrom"

[HKEY_CLASSES_ROOT\\.html]
@="htmlfile"

[HKEY_CLASSES_ROOT\\htmlfile\\shell\\open\\command]
@="\\"C:\\\\windows\\\\system32\\\\winebrowser.exe\\" \\"%1\\""

[$p\\A7B2D1F6E4C3A8B4D912E7F5A0C1B324]
"ProductName"="Gull Photo Viewer 2.0"

[$p\\1C55A9E2D7B036F4E8A1C6D3B4A5F607]
"ProductName"="Pebble Calculator"

[$p\\0D2C1A0B5F4E7164382A9B4A5C6D7E8F]
"ProductName"="Lighthouse Runtime"

[$p\\F1E2D3C4B5A69788796A5B4C3D2E1F00]
"PackageCode"="00F1E2D3C4B5A69788796A5B4C3D2E1F"

[$d\\A7B2D1F6E4C3A8B4D912E7F5A0C1B324\\InstallProperties]
"DisplayName"="Gull Photo Viewer 2.0"
"WindowsInstaller"=dword:00000001
"LocalPackage"="C:\\\\windows\\\\Installer\\\\4f2a1c.msi"

[$d\\A7B2D1F6E4C3A8B4D912E7F5A0C1B324\\Features]
"Viewer"="b1Q2w3E4r5T6y7U8i9O0"

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Installer\\Features\\A7B2D1F6E4C3A8B4D912E7F5A0C1B324]
"Viewer"=""

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Installer\\UpgradeCodes\\3B2A1F0E9D8C7B6A5F4E3D2C1B0A9F8E]
"A7B2D1F6E4C3A8B4D912E7F5A0C1B324"=""

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UpgradeCodes\\3B2A1F0E9D8C7B6A5F4E3D2C1B0A9F8E]
"A7B2D1F6E4C3A8B4D912E7F5A0C1B324"=""

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Components\\5C4B3A2910F8E7D6C5B4A39281706F5E]
"A7B2D1F6E4C3A8B4D912E7F5A0C1B324"="C:\\\\Program Files\\\\Gull Photo Viewer\\\\gull.exe"

[$d\\1C55A9E2D7B036F4E8A1C6D3B4A5F607\\InstallProperties]
"DisplayName"="Pebble Calculator"
"WindowsInstaller"=dword:00000001

[$d\\0D2C1A0B5F4E7164382A9B4A5C6D7E8F\\InstallProperties]
"DisplayName"="Lighthouse Runtime"
"WindowsInstaller"=dword:00000001
EOF
timeout 120 "${native[@]}" regedit /S "$reg" >/dev/null 2>&1

# regedit says nothing either way: read one value back.
if ! timeout 60 "${native[@]}" reg query "$u\\Harbor Notes" /v DisplayName 2>/dev/null | grep -q "Harbor Notes 3.1"; then
  echo "seed-demo: the registry import did not take" >&2
  exit 1
fi

# An entry whose names and texts no single code page holds, with its uninstaller present, from a
# Unicode registration file: the registry editor's version 5 format, UTF-16LE after a byte-order
# mark. Wine reads the Linux file names in UTF-8 when its locale is a UTF-8 one.
mkdir -p "$pf/Éclair Mémo"
printf 'MZ' >"$pf/Éclair Mémo/Mémo ✓.exe"
{
  printf '\xff\xfe'
  iconv -f UTF-8 -t UTF-16LE <<EOF
Windows Registry Editor Version 5.00

[$u\\Éclair Mémo 表]
"DisplayName"="Éclair Mémo ✓"
"UninstallString"="\\"C:\\\\Program Files\\\\Éclair Mémo\\\\Mémo ✓.exe\\" /uninstall"
"Publisher"="ООО Ромашка"
EOF
} >"$ureg"
timeout 120 "${native[@]}" regedit /S "$ureg" >/dev/null 2>&1

# A 64-bit Windows also has 32-bit programs, registered in the 32-bit view, and programs
# installed for the user alone, registered in the user's own list.
if [ "${native[0]}" != wine ]; then
  w='HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\Microsoft\Windows\CurrentVersion\Uninstall'
  h='HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Uninstall'
  user=$(ls "$c/users" | grep -vx Public | head -n 1)
  mkdir -p "$c/Program Files (x86)/Kelp Player" "$c/users/$user/AppData/Local/Gannet"
  printf 'MZ' >"$c/Program Files (x86)/Kelp Player/uninstall.exe"
  printf 'MZ' >"$c/users/$user/AppData/Local/Gannet/Update.exe"
  cat >"$reg" <<EOF
REGEDIT4

[$w\\Kelp Player]
"DisplayName"="Kelp Player 2 (32-bit)"
"UninstallString"="\\"C:\\\\Program Files (x86)\\\\Kelp Player\\\\uninstall.exe\\" /S"

[$h\\Gannet]
"DisplayName"="Gannet Chat"
"UninstallString"="C:\\\\users\\\\$user\\\\AppData\\\\Local\\\\Gannet\\\\Update.exe --uninstall"
EOF
  timeout 120 "${native[@]}" regedit /S "$reg" >/dev/null 2>&1
fi

# An undo file from an earlier removal, as the program writes it.
mkdir -p "$program/Backup"
printf '%s\r\n' 'REGEDIT4' '' \
  "[$u\\Ferry Timetable]" \
  '"DisplayName"="Ferry Timetable 2019"' \
  '"UninstallString"="C:\\Program Files\\Ferry Timetable\\uninstall.exe"' '' \
  >"$program/Backup/Undo20240611.reg"
echo "seeded $prefix"
