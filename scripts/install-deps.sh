#!/usr/bin/env bash
# Installs the Debian packages that the builds and tests need; quiet and quick when all is there.
set -euo pipefail

packages=(g++-mingw-w64-i686-posix wine wine32:i386 wine64 xvfb xdotool imagemagick cmake g++
          libgtest-dev googletest libbenchmark-dev clang libclang-rt-dev locales
          nlohmann-json3-dev python3)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
