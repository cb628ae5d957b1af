#!/usr/bin/env bash
# Compares the files NAME... of two folders byte for byte; fails naming the
# first that differs or is missing, with both hashes and the first differing
# byte (a time stamp's offset tells which tool wrote it).
#
#   same_bytes.sh DIR_A DIR_B NAME...
set -u
a=$1 b=$2
shift 2
for name in "$@"; do
  for f in "$a/$name" "$b/$name"; do
    [ -f "$f" ] || { echo "FAILED: $name: $f is missing"; exit 1; }
  done
  if ! cmp -s "$a/$name" "$b/$name"; then
    echo "FAILED: $name differs (the first file that does):"
    sha256sum "$a/$name" "$b/$name"
    cmp "$a/$name" "$b/$name" 2>&1 | head -n 1
    exit 1
  fi
  echo "same bytes: $(sha256sum "$a/$name" | cut -d ' ' -f 1)  $name"
done
