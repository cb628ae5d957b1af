#!/usr/bin/env bash
# Installs the Debian packages named on the command line, as a fresh machine
# meets the mirrors on a bad day:
#
# - an index that cannot be fetched ("File has unexpected size ... Mirror
#   sync in progress?") is a warning naming it, not the end: apt goes on with
#   the indexes it has;
# - an i386 library whose amd64 twin has a security update the i386 index at
#   hand lacks cannot be installed beside it (a Multi-Arch "same" pair must
#   match to the version): then the packages come from the release's own
#   suite (-t CODENAME), whose builds of both widths always match;
# - transient network errors are tried again, a bounded number of times;
# - where nothing works it says so once: the indexes that failed, what was
#   tried, what to do. It never reports a half-installed machine as ready:
#   it ends with every named package installed (exit 0) or exits 1.
#
# Run as root. apt's own settings apply, APT_CONFIG included (the tests point
# it at a broken repository of their own).
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: apt-install.sh PACKAGE..." >&2; exit 2; }
export DEBIAN_FRONTEND=noninteractive
# Seconds between tries of an index; the tests make it 0.
pause=${WENDLE_APT_PAUSE:-5}
opts=(-o Acquire::Retries=3 -o Acquire::http::Timeout=30 -o Acquire::https::Timeout=30)
log=$(mktemp)
trap 'rm -f "$log"' EXIT

missing() {
  local p
  for p in "$@"; do
    # "hold ok installed" is installed too.
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q ' ok installed$' || echo "$p"
  done
}

# The indexes the last apt-get update could not fetch, one a line.
failed_indexes() { sed -n 's/^[EW]: Failed to fetch \([^ ]*\).*/\1/p' "$log" | sort -u; }

# apt-get update, tried again while some index fails (a mirror mid-sync, a
# dropped connection): at most three times.
failed=
for try in 1 2 3; do
  rc=0
  apt-get "${opts[@]}" update >"$log" 2>&1 || rc=$?
  failed=$(failed_indexes)
  [ "$rc" != 0 ] || [ -n "$failed" ] || break
  [ "$try" = 3 ] || sleep "$((pause * try))"
done
if [ -n "$failed" ]; then
  echo "setup: warning: apt could not fetch these package indexes; going on with the others:" >&2
  sed 's/^/setup:   /' <<<"$failed" >&2
elif [ "$rc" != 0 ]; then
  echo "setup: warning: apt-get update failed (exit $rc); going on with the indexes there are:" >&2
  grep -E '^(E|W|Err):' "$log" | head -n 5 | sed 's/^/setup:   /' >&2 || true
fi

# The release's own suite: what -t names as the fallback.
codename=
[ -r /etc/os-release ] && codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
codename=${WENDLE_APT_RELEASE:-$codename}

tried=()
attempt() {
  local what=$1 rc=0
  shift
  tried+=("$what")
  apt-get "${opts[@]}" install -y -q --no-install-recommends "$@" >"$log" 2>&1 || rc=$?
  [ "$rc" = 0 ] && [ -z "$(missing "${packages[@]}")" ]
}
packages=("$@")
mapfile -t todo < <(missing "${packages[@]}")
[ ${#todo[@]} -gt 0 ] || exit 0
if attempt "apt-get install" "${todo[@]}"; then exit 0; fi
first=$(grep -E '^(E:| [^ ].* : Depends:)' "$log" | head -n 4 || true)
if [ -n "$codename" ]; then
  echo "setup: apt-get install could not install everything; trying again from the release's own suite ($codename)" >&2
  mapfile -t todo < <(missing "${packages[@]}")
  if attempt "apt-get install -t $codename" -t "$codename" "${todo[@]}"; then exit 0; fi
fi

{
  echo "setup: FAILED: these packages are not installed: $(missing "${packages[@]}" | tr '\n' ' ')"
  if [ -n "$failed" ]; then
    echo "setup: package indexes apt could not fetch:"
    sed 's/^/setup:   /' <<<"$failed"
  fi
  echo "setup: tried: $(printf '%s; ' "${tried[@]}")each after apt-get update (three tries)"
  echo "setup: what apt said:"
  { [ -z "$first" ] || echo "$first"; grep -E '^(E:| [^ ].* : Depends:)' "$log" | head -n 6 || true; } | sed 's/^/setup:   /'
  echo "setup: what to do: a mirror in the middle of a sync is usually whole again within the hour; run this again later,"
  echo "setup: or point /etc/apt/sources.list.d (or /etc/apt/sources.list) at another Debian mirror and run it again."
} >&2
exit 1
