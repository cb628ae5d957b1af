#!/usr/bin/env bash
# Installs everything needed to build Wendle for both widths, run it and its
# tests under Wine, package it and draw its pictures, on a fresh Debian 12
# machine. Run as root. Quick when everything is already there. With --check
# it installs nothing and only says (exit 1) what is missing.
#
# Where the kernel runs no 32-bit code, the 32-bit lane runs in an emulated
# machine that uses this machine's own Wine. QEMU and busybox come on every
# host: machines change kernels between runs, and where 32-bit code runs
# natively the test script still boots the emulated machine once so that
# path keeps working.
set -euo pipefail

packages=(
  cmake make python3 git procps
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  mingw-w64-tools
  wine wine64 wine32:i386
  fonts-wine
  xvfb xauth x11-utils
  imagemagick
  googletest
  nsis zip graphviz
  qemu-system-x86 busybox-static
)

# Does this kernel run 32-bit code? A 93-byte i386 program that only exits
# with 0 answers without needing anything installed.
runs_32bit_code() {
  local probe rc=0
  probe=$(mktemp)
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08'\
'\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x28\x00\x00\x00\x00\x00'\
'\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00'\
'\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null || rc=$?
  rm -f "$probe"
  [ "$rc" = 0 ]
}
native32=yes
runs_32bit_code || native32=no

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q ' ok installed$'; then
    missing+=("$p")
  fi
done
has_i386() { dpkg --print-foreign-architectures | grep -qx i386; }

if [ "${1:-}" = --check ]; then
  has_i386 || missing+=("(the i386 architecture)")
  [ ${#missing[@]} -eq 0 ] && exit 0
  echo "missing: ${missing[*]}"
  exit 1
fi

if ! has_i386; then
  dpkg --add-architecture i386
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  bash "$(dirname "$0")/apt-install.sh" "${missing[@]}"
fi

# The posix flavour is the one the build uses; make it the default too so a
# plain <target>-g++ behaves the same.
for target in i686-w64-mingw32 x86_64-w64-mingw32; do
  for t in gcc g++; do
    if [ -x "/usr/bin/$target-$t-posix" ]; then
      update-alternatives --set "$target-$t" "/usr/bin/$target-$t-posix" >/dev/null 2>&1 || true
    fi
  done
done

if [ $native32 = yes ]; then
  echo "setup: all tools present"
else
  echo "setup: all tools present (this kernel runs no 32-bit code: the 32-bit lane runs in an emulated machine)"
fi
