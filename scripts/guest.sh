#!/usr/bin/env bash
# Runs a command as root inside a small emulated x86-64 machine whose own
# kernel runs 32-bit code, for hosts whose kernel does not: Debian's kernel
# (fetched and unpacked into the build folder, never installed), an
# initramfs of busybox and the few modules it needs, and this host's own root
# file system, read-only over 9p with a RAM overlay on top, so the guest runs
# the host's Wine, i386 loader included. No KVM needed: QEMU emulates.
#
#   guest.sh OUT_DIR TIMEOUT_S COMMAND
#
# COMMAND is a bash command line run in the current folder. OUT_DIR (created,
# this script's own files in it removed) is shared writable at the same path inside: COMMAND's output goes
# to OUT_DIR/guest.log, the guest's console to OUT_DIR/console.log. Exits with
# COMMAND's status, or 124 when the guest did not finish in TIMEOUT_S seconds
# (it is then killed). An interrupt, hang-up or termination of this script
# stops the guest at once and exits with 128 + the signal's number; should
# this script itself be killed outright, QEMU is told by the kernel (parent
# death signal). Nothing is left running, nothing is registered with the
# host's kernel and no temporary folder stays.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
out=$1 limit=$2 command=$3
# QEMU's options and the kernel's command line carry the folder as it is.
case $out in
  *[[:space:],]*) echo "guest.sh: OUT_DIR may hold no spaces or commas (QEMU's options): $out" >&2; exit 2 ;;
esac
guest=$WENDLE_BUILD_DIR/guest
mkdir -p "$guest"

# The modules the guest loads, in load order (9p and an overlay over virtio).
modules="virtio_ring virtio virtio_pci_legacy_dev virtio_pci_modern_dev virtio_pci 9pnet 9pnet_virtio
         netfs fscache 9p overlay"

# What this script made or started (vm_pid: timeout's, QEMU's parent).
dl= rd= vm_pid=
stop_guest() {
  [ -n "$vm_pid" ] || return 0
  # timeout passes the signal on to QEMU and waits for it (KILL after 10 s).
  kill -TERM "$vm_pid" 2>/dev/null || true
  wait "$vm_pid" 2>/dev/null || true
  vm_pid=
}
cleanup() {
  stop_guest
  rm -rf "$dl" "$rd"
}
on_signal() {
  echo "guest.sh: stopped by SIG$1, the emulated machine with it" >&2
  cleanup
  exit $((128 + $(kill -l "$1")))
}
trap cleanup EXIT
for sig in INT TERM HUP; do trap "on_signal $sig" "$sig"; done

# The kernel and its modules, once: the version linux-image-amd64 names.
if [ ! -f "$guest/vmlinuz" ] || [ ! -f "$guest/modules/order" ]; then
  dl=$(mktemp -d)
  # The package lists may be old or gone: one update, then a second try.
  (cd "$dl" && apt-get download linux-image-amd64 >/dev/null 2>&1) ||
    { apt-get update -qq >/dev/null 2>&1; (cd "$dl" && apt-get download linux-image-amd64 >/dev/null 2>&1); } ||
    { echo "guest.sh: cannot fetch linux-image-amd64 from the package mirror (the emulated machine's kernel, fetched once into $WENDLE_BUILD_DIR/guest; it needs network access). Run again with network, or leave the emulated machine out with WENDLE_GUEST=0 where lane 32 runs natively." >&2; exit 1; }
  image=$(dpkg-deb -f "$dl"/linux-image-amd64_*.deb Depends | grep -o 'linux-image-[^ ,(]*' | head -n 1)
  (cd "$dl" && apt-get download "$image" >/dev/null 2>&1) ||
    { echo "guest.sh: cannot fetch $image (named by linux-image-amd64) from the package mirror; it needs network access once. WENDLE_GUEST=0 leaves the emulated machine out where lane 32 runs natively." >&2; exit 1; }
  dpkg-deb -x "$dl"/"$image"_*.deb "$dl/x"
  mkdir -p "$dl/modules"
  for m in $modules; do
    ko=$(find "$dl/x/lib/modules" -name "$m.ko" | head -n 1)
    if [ -n "$ko" ]; then
      cp "$ko" "$dl/modules/"
      echo "$m" >>"$dl/modules/order"
    elif ! grep -qs "/$m\.ko\$" "$dl"/x/lib/modules/*/modules.builtin; then
      # Built into the kernel is as good; absent, the guest would stop at boot
      # without a word.
      echo "guest.sh: $image has no module $m.ko, which the emulated machine loads" >&2
      exit 1
    fi
  done
  # vmlinuz comes last: its presence means the modules beside it are whole.
  rm -rf "$guest/vmlinuz" "$guest/modules"
  mv "$dl/modules" "$guest/modules"
  cp "$dl"/x/boot/vmlinuz-* "$guest/vmlinuz.new"
  mv "$guest/vmlinuz.new" "$guest/vmlinuz"
  rm -rf "$dl"
  dl=
fi

# The initramfs: busybox, the modules (in load order) and the init below.
init=$(cat <<'INIT'
#!/bin/busybox sh
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
for m in $(cat /modules/order); do
  insmod /modules/$m.ko
done
out=$(sed -n 's/.*wendle.out=\([^ ]*\).*/\1/p' /proc/cmdline)
mkdir -p /host /rw /root
mount -t 9p -o trans=virtio,version=9p2000.L,ro,msize=512000,cache=loose hostroot /host
mount -t tmpfs -o size=80% tmpfs /rw
mkdir -p /rw/upper /rw/work
mount -t overlay overlay -o lowerdir=/host,upperdir=/rw/upper,workdir=/rw/work /root
mount -t proc proc /root/proc
mount -t sysfs sys /root/sys
mount -t devtmpfs dev /root/dev
mkdir -p /root/dev/pts /root/dev/shm
mount -t devpts devpts /root/dev/pts
# /tmp stays the host's (the work tree may live there), written in RAM.
for d in run dev/shm; do mount -t tmpfs tmpfs "/root/$d"; done
chmod 1777 /root/dev/shm
mkdir -p "/root$out"
mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000 out "/root$out"
echo "guest: up, running the command"
chroot /root /usr/bin/env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  /bin/bash "$out/command.sh" >"/root$out/guest.log" 2>&1
echo $? >"/root$out/exit-code"
sync
echo "guest: done"
poweroff -f
INIT
)
rd=$(mktemp -d)
mkdir -p "$rd/bin" "$rd/modules" "$rd/proc" "$rd/sys" "$rd/dev"
cp /bin/busybox "$rd/bin/busybox"
cp "$guest"/modules/* "$rd/modules/"
printf '%s\n' "$init" >"$rd/init"
chmod +x "$rd/init"
(cd "$rd" && find . | busybox cpio -o -H newc 2>/dev/null | gzip -1) >"$guest/initramfs.gz"
rm -rf "$rd"
rd=

# What the caller leaves there for the guest (a marker it waits for) stays.
mkdir -p "$out"
out=$(cd "$out" && pwd)
rm -f "$out/guest.log" "$out/console.log" "$out/exit-code" "$out/command.sh" "$out/qemu.log"
{
  echo "cd $(printf '%q' "$PWD")"
  echo "export WINEDEBUG=-all CI=${CI:-}"
  echo "$command"
} >"$out/command.sh"

# One processor: with two, each a thread here that takes turns with the
# builds beside it, the guest's kernel waits on the one not running at
# every process start and end (Wine starts many). Beside a busy core, making
# the Wine prefix took 254 s with two, 110 s with one.
# -smap off: with it, the guest kernel kills 32-bit Wine processes. timeout
# runs in a process group of its own, out of the terminal's reach: it is
# started in the background, so that this script's traps act at once, and
# both it and QEMU get a parent death signal, so that neither outlives its
# parent however that ends.
setpriv --pdeathsig TERM timeout --kill-after=10 "$limit" \
  setpriv --pdeathsig KILL qemu-system-x86_64 \
  -machine q35 -accel tcg -cpu max,-smap -smp 1 -m 6144 \
  -kernel "$guest/vmlinuz" -initrd "$guest/initramfs.gz" \
  -append "console=ttyS0 quiet panic=-1 wendle.out=$out" \
  -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
  -virtfs "local,path=$out,mount_tag=out,security_model=none" \
  -nic none -display none -monitor none -serial "file:$out/console.log" -no-reboot \
  </dev/null >"$out/qemu.log" 2>&1 &
vm_pid=$!
rc=0
wait "$vm_pid" || rc=$?
vm_pid=
if [ -f "$out/exit-code" ]; then
  exit "$(cat "$out/exit-code")"
fi
[ "$rc" = 124 ] || [ "$rc" = 137 ] && { echo "guest.sh: the guest did not finish within $limit s (or QEMU was killed)" >&2; exit 124; }
echo "guest.sh: the guest stopped without an answer (qemu exit $rc)" >&2
exit 125
