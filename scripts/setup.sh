#!/usr/bin/env bash
# Installs everything needed to build Wendle, run it and its tests under Wine,
# package it and draw its pictures, on a fresh Debian 12 machine. Run as root.
# Quick when everything is already there. With --check it installs nothing and
# only says (exit 1) what is missing.
set -euo pipefail

packages=(
  cmake make
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-tools mingw-w64-i686-dev
  wine wine32:i386 wine64
  fonts-wine
  xvfb xauth x11-utils
  imagemagick
  googletest
  nsis zip graphviz
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ "${1:-}" = --check ]; then
  dpkg --print-foreign-architectures | grep -qx i386 || missing+=("(the i386 architecture)")
  [ ${#missing[@]} -eq 0 ] && exit 0
  echo "missing: ${missing[*]}"
  exit 1
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The posix flavour is the one the build uses; make it the default too so a
# plain i686-w64-mingw32-g++ behaves the same.
for t in gcc g++; do
  if [ -x "/usr/bin/i686-w64-mingw32-$t-posix" ]; then
    update-alternatives --set "i686-w64-mingw32-$t" "/usr/bin/i686-w64-mingw32-$t-posix" >/dev/null 2>&1 || true
  fi
done

echo "setup: all tools present"
