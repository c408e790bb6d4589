#!/usr/bin/env bash
# Builds the finder's libFuzzer target with clang and runs it: scripts/fuzz.sh [seconds].
# Without an argument it runs for ten minutes. Exits non-zero when the fuzzer finds a crash,
# a sanitizer report, a broken check or a hang (one input running longer than 10 seconds).
set -euo pipefail

seconds="${1:-600}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TIDEWELL_FUZZ_BUILD:-$root/build-fuzz}"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DTIDEWELL_FUZZ=ON >/dev/null
cmake --build "$build" --target finder_fuzz -j2 >/dev/null

corpus="$build/finder_corpus"
mkdir -p "$corpus"
# Seeds: one uninstall string of each common shape.
seed() { printf '%s' "$2" >"$corpus/seed-$1"; }
seed quoted '"C:\Program Files\App\uninst.exe" /S'
seed unquoted 'C:\Program Files\App\uninst.exe /S'
seed rundll 'RunDll32 C:\App\x.dll,Uninstall'
seed rundll-exe 'rundll32.exe C:\App\x.dll,Uninstall'
seed msi 'MsiExec.exe /X{8E5B5B5F-1B2C-4E3D-9F00-0123456789AB}'
seed two-paths 'C:\App\remove.exe D:\install.log'
seed variable '%ProgramFiles%\App\uninst.exe'
seed network '\\server\share\setup.exe'
seed marks 'C:\App\u-x(1).exe,@$#!_%;'"'"' -f "C:\App\x.log"'
seed numeric 'C:\App\1033\b.123'
seed escaped '\"C:\\App\\\\u.exe\" @@'

cd "$build"
exec ./finder_fuzz -max_total_time="$seconds" -timeout=10 -max_len=4096 -print_final_stats=1 \
  -artifact_prefix="$build/" "$corpus"
