#!/usr/bin/env bash
# scripts/apt-install.sh against a broken mirror of our own, with apt itself:
# a repository served on 127.0.0.1 whose security suite has an i386 index of
# the wrong size, so that an i386 library's amd64 twin has an update the
# index at hand lacks, as the mirrors had on a bad day. apt works in a
# dpkg database of its own (DPKG_ADMINDIR, APT_CONFIG); the packages hold no
# files and dpkg logs beside its database, so nothing reaches this machine's
# own root. Needs root (dpkg), as
# the set-up does.
#
#   apt_mirror_check.sh APT_INSTALL_SH   (KEEP=1 leaves its machines in the
#   temporary folder, to look at)
set -euo pipefail
installer=$1
# The mirror is on this machine: no proxy between.
unset http_proxy HTTP_PROXY https_proxy HTTPS_PROXY
work=$(mktemp -d)
server=
trap '[ -z "$server" ] || kill "$server" 2>/dev/null; [ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
repo=$work/repo
fail=0

# deb NAME VERSION ARCH [DEPENDS]: an empty package into the pool.
deb() {
  local dir=$work/build/$1_$2_$3
  mkdir -p "$dir/DEBIAN" "$repo/pool"
  {
    echo "Package: $1"; echo "Version: $2"; echo "Architecture: $3"
    echo "Maintainer: tests <tests@localhost>"; echo "Multi-Arch: same"
    [ "$1" != zlibx ] || echo "Essential: yes"
    [ -z "${4:-}" ] || echo "Depends: $4"
    echo "Description: test package"
  } >"$dir/DEBIAN/control"
  dpkg-deb -Zgzip -b "$dir" "$repo/pool/$1_$2_$3.deb" >/dev/null
}
# index SUITE ARCH DEB...: a Packages file for the suite.
index() {
  local d=$repo/dists/$1/main/binary-$2 f
  mkdir -p "$d"
  : >"$d/Packages"
  shift 2
  for f in "$@"; do
    dpkg-deb -f "$repo/pool/$f" >>"$d/Packages"
    printf 'Filename: pool/%s\nSize: %s\nSHA256: %s\n\n' "$f" "$(stat -c %s "$repo/pool/$f")" \
      "$(sha256sum <"$repo/pool/$f" | cut -d' ' -f1)" >>"$d/Packages"
  done
}
# release SUITE [BAD_ARCH]: its Release file; BAD_ARCH's index is listed with
# a size one byte off.
release() {
  local f size
  {
    echo "Origin: Debian"; echo "Suite: $1"; echo "Codename: $1"; echo "Architectures: amd64 i386"
    echo "Components: main"; echo "Date: $(date -R -u)"; echo "SHA256:"
    for f in main/binary-amd64/Packages main/binary-i386/Packages; do
      size=$(stat -c %s "$repo/dists/$1/$f")
      [ "$f" != "main/binary-${2:-}/Packages" ] || size=$((size + 1))
      echo " $(sha256sum <"$repo/dists/$1/$f" | cut -d' ' -f1) $size $f"
    done
  } >"$repo/dists/$1/Release"
}

for v in 1 2; do
  for a in amd64 i386; do deb zlibx $v $a; deb gst $v $a zlibx; done
done
deb tool 1 amd64 "gst, zlibx"
deb wine32x 1 i386 "gst, zlibx"
index testrel amd64 tool_1_amd64.deb zlibx_1_amd64.deb gst_1_amd64.deb
index testrel i386 zlibx_1_i386.deb gst_1_i386.deb wine32x_1_i386.deb
index testrel-security amd64 zlibx_2_amd64.deb gst_2_amd64.deb
index testrel-security i386 zlibx_2_i386.deb gst_2_i386.deb
release testrel
release testrel-security

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server --bind 127.0.0.1 --directory "$repo" "$port" >/dev/null 2>&1 &
server=$!
for _ in $(seq 1 100); do
  python3 -c "import socket; socket.create_connection(('127.0.0.1', $port), 1)" 2>/dev/null && break
  sleep 0.1
done

# machine NAME STATUS ARCH...: a machine of our own, its dpkg database and
# apt's state, sources and settings (none of this machine's own apt.conf.d).
machine() {
  local m=$work/$1
  mkdir -p "$m/admin/info" "$m/admin/updates" "$m/admin/triggers" "$m/state/lists/partial" \
    "$m/cache/archives/partial" "$m/parts" "$m/sources.d" "$m/prefs.d" "$m/log"
  : >"$m/admin/available"
  [ -z "$2" ] && : >"$m/admin/status" || printf '%s\n' "$2" >"$m/admin/status"
  printf '%s\n' "${@:3}" >"$m/admin/arch"
  printf 'deb [trusted=yes] http://127.0.0.1:%s testrel main\ndeb [trusted=yes] http://127.0.0.1:%s testrel-security main\n' \
    "$port" "$port" >"$m/sources.list"
  cat >"$m/apt.conf" <<EOF
Dir::Etc::main "/dev/null";
Dir::Etc::parts "$m/parts";
Dir::Etc::sourcelist "$m/sources.list";
Dir::Etc::sourceparts "$m/sources.d";
Dir::Etc::preferencesparts "$m/prefs.d";
Dir::State "$m/state";
Dir::State::status "$m/admin/status";
Dir::Cache "$m/cache";
Dir::Log "$m/log";
APT::Architecture "amd64";
APT::Architectures { $(printf '"%s"; ' "${@:3}")};
DPkg::Options { "--admindir=$m/admin"; "--log=$m/dpkg.log"; "--force-not-root"; };
Acquire::Retries::Delay "false";
EOF
}
installed_zlibx() {
  printf 'Package: zlibx\nEssential: yes\nStatus: install ok installed\nArchitecture: amd64\nMulti-Arch: same\nVersion: %s\nMaintainer: tests <tests@localhost>\nDescription: test package\n' "$1"
}

# case NAME STATUS EXPECTED_EXIT PACKAGES...: apt-install.sh on a machine
# whose dpkg knows STATUS; its exit and output.
out=
run_case() {
  local name=$1 status=$2 want=$3 rc=0
  shift 3
  machine "$name" "$status" amd64 i386
  out=$(APT_CONFIG=$work/$name/apt.conf DPKG_ADMINDIR=$work/$name/admin WENDLE_APT_PAUSE=0 \
    WENDLE_APT_RELEASE=testrel bash "$installer" "$@" 2>&1) || rc=$?
  if [ "$rc" != "$want" ]; then
    echo "$name: exit $rc, expected $want; it said:"; echo "$out"
    fail=1
  fi
}
expect() {  # expect NAME PATTERN WHAT
  grep -qE "$2" <<<"$out" || { echo "$1: expected $3; it said:"; echo "$out"; fail=1; }
}
has() {  # has NAME PACKAGE: dpkg of that machine has it installed
  DPKG_ADMINDIR=$work/$1/admin dpkg-query -W -f='${Status}' "$2" 2>/dev/null | grep -q 'install ok installed' ||
    { echo "$1: $2 is not installed"; fail=1; }
}

# The machines came with the package lists of their image, amd64 only, from
# a whole mirror.
for name in bad-day hopeless; do
  machine "$name" "" amd64
  APT_CONFIG=$work/$name/apt.conf DPKG_ADMINDIR=$work/$name/admin apt-get update -q >"$work/$name.update" 2>&1 ||
    { echo "$name: the whole mirror did not update:"; cat "$work/$name.update"; exit 1; }
done
# Now the mirror is in the middle of a sync: its i386 security index has the
# wrong size. apt drops that suite's new indexes and keeps the amd64 ones it
# had, so the security updates of zlibx and gst have no i386 twin at hand,
# and a Multi-Arch "same" pair must match. Plain apt gives up; the install
# goes on, from the release's own suite.
release testrel-security i386
run_case bad-day "$(installed_zlibx 1)" 0 tool wine32x:i386
expect bad-day 'warning: apt could not fetch.*' "a warning"
expect bad-day 'testrel-security/main/binary-i386/Packages' "the failing index named"
expect bad-day "from the release's own suite \(testrel\)" "the fallback said"
has bad-day tool; has bad-day wine32x:i386; has bad-day gst:i386; has bad-day gst:amd64

# Nothing can work: the installed amd64 zlibx is the security one, whose
# i386 twin no index at hand holds. One clear message, exit 1, and no
# package reported as installed that is not.
run_case hopeless "$(installed_zlibx 2)" 1 tool wine32x:i386
expect hopeless 'FAILED: these packages are not installed: .*wine32x:i386' "the missing package named"
expect hopeless 'testrel-security/main/binary-i386/Packages' "the failing index named"
expect hopeless 'tried: apt-get install; apt-get install -t testrel;' "what was tried"
expect hopeless 'what to do:' "what the user can do"

# No mirror at all (nothing listens), on a machine with no lists: tried
# again, then the same message.
kill "$server"; wait "$server" 2>/dev/null || true; server=
run_case offline "" 1 tool
expect offline 'FAILED: these packages are not installed: tool' "the missing package named"
expect offline "127.0.0.1:$port.*testrel/.*Release|127.0.0.1:$port.*testrel " "the failing index named"

[ "$fail" = 0 ] && echo "apt-install.sh: installed on a bad day, refused clearly where nothing works"
exit "$fail"
