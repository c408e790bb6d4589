#!/usr/bin/env bash
# Gives a Wine prefix the drives the status tests need: scripts/wine-drives.sh <prefix>.
# a: removable (floppy), d: CD-ROM, n: network and r: RAM disk, each a folder under the prefix;
# GetDriveTypeA then answers 2, 5, 4 and 6 for them. Restarts the prefix's server (kept running
# with -p) so that Wine reads the drive kinds, and starts the prefix's services again outside
# any test runner.
set -euo pipefail

prefix="${1:?usage: wine-drives.sh <prefix>}"
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# Wine reads the drive kinds from the registry's native view: the only one in a 32-bit prefix,
# the 64-bit one in a 64-bit prefix, which the 32-bit registry tool reaches only when asked.
reg=(wine reg)
if [ -d "$prefix/drive_c/windows/syswow64" ]; then  # a 64-bit prefix
  if command -v wine64 >/dev/null 2>&1; then reg=(wine64 reg); fi
  view=(/reg:64)
else
  view=()
fi

declare -A kinds=([a]=floppy [d]=cdrom [n]=network [r]=ramdisk)
for letter in a d n r; do
  mkdir -p "$prefix/drives/$letter"
  ln -sfn "../drives/$letter" "$prefix/dosdevices/$letter:"
  "${reg[@]}" add 'HKLM\Software\Wine\Drives' /v "$letter:" /t REG_SZ /d "${kinds[$letter]}" /f "${view[@]}" >/dev/null 2>&1
done

wineserver -k >/dev/null 2>&1 || true
wineserver -w >/dev/null 2>&1 || true
wineserver -p
wine wineboot >/dev/null 2>&1
