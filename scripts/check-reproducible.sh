#!/usr/bin/env bash
# Fails when the same source stops giving the same bytes: packages the work
# tree twice (scripts/package.sh), in two folders, some seconds apart, the
# second 14 hours east and with another umask, and compares every file byte
# for byte, naming the first that differs. The first package stays in DIR
# (default: dist/).
#
#   check-reproducible.sh [DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/dist}
other=$(mktemp -d)
trap 'rm -rf "$other"' EXIT
bash "$root/scripts/package.sh" "$dir"
(umask 077 && TZ=EAST-14 bash "$root/scripts/package.sh" "$other")
# Everything the second run wrote: DIR may hold older versions' packages.
mapfile -t names < <(cd "$other" && LC_ALL=C ls)
bash "$root/tests/same_bytes.sh" "$dir" "$other" "${names[@]}"
