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
# emptied) is shared writable at the same path inside: COMMAND's output goes
# to OUT_DIR/guest.log, the guest's console to OUT_DIR/console.log. Exits with
# COMMAND's status, or 124 when the guest did not finish in TIMEOUT_S seconds
# (it is then killed). Nothing is left running and nothing is registered
# with the host's kernel.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
out=$1 limit=$2 command=$3
guest=$WENDLE_BUILD_DIR/guest
mkdir -p "$guest"

# The kernel and its modules, once: the version linux-image-amd64 names.
if [ ! -f "$guest/vmlinuz" ]; then
  dl=$(mktemp -d)
  # The package lists may be old or gone: one update, then a second try.
  (cd "$dl" && apt-get download linux-image-amd64 >/dev/null 2>&1) ||
    { apt-get update -qq >/dev/null 2>&1; (cd "$dl" && apt-get download linux-image-amd64 >/dev/null 2>&1); } ||
    { echo "guest.sh: cannot fetch linux-image-amd64" >&2; rm -rf "$dl"; exit 1; }
  image=$(dpkg-deb -f "$dl"/linux-image-amd64_*.deb Depends | grep -o 'linux-image-[^ ,(]*' | head -n 1)
  (cd "$dl" && apt-get download "$image" >/dev/null 2>&1)
  dpkg-deb -x "$dl"/"$image"_*.deb "$dl/x"
  rm -rf "$guest/modules"
  mkdir -p "$guest/modules"
  for m in virtio_ring virtio virtio_pci_legacy_dev virtio_pci_modern_dev virtio_pci 9pnet 9pnet_virtio \
           netfs fscache 9p overlay; do
    cp "$(find "$dl/x/lib/modules" -name "$m.ko" | head -n 1)" "$guest/modules/"
  done
  cp "$dl"/x/boot/vmlinuz-* "$guest/vmlinuz.new"
  mv "$guest/vmlinuz.new" "$guest/vmlinuz"
  rm -rf "$dl"
fi

# The initramfs: busybox, the modules (in load order) and the init below.
init=$(cat <<'INIT'
#!/bin/busybox sh
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
for m in virtio_ring virtio virtio_pci_legacy_dev virtio_pci_modern_dev virtio_pci 9pnet 9pnet_virtio \
         netfs fscache 9p overlay; do
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
trap 'rm -rf "$rd"' EXIT
mkdir -p "$rd/bin" "$rd/modules" "$rd/proc" "$rd/sys" "$rd/dev"
cp /bin/busybox "$rd/bin/busybox"
cp "$guest"/modules/*.ko "$rd/modules/"
printf '%s\n' "$init" >"$rd/init"
chmod +x "$rd/init"
(cd "$rd" && find . | busybox cpio -o -H newc 2>/dev/null | gzip -1) >"$guest/initramfs.gz"

rm -rf "$out"
mkdir -p "$out"
out=$(cd "$out" && pwd)
{
  echo "cd $(printf '%q' "$PWD")"
  echo "export WINEDEBUG=-all CI=${CI:-}"
  echo "$command"
} >"$out/command.sh"

# -smap off: with it, the guest kernel kills 32-bit Wine processes.
rc=0
timeout --kill-after=10 "$limit" qemu-system-x86_64 \
  -machine q35 -accel tcg,thread=multi -cpu max,-smap -smp "$(nproc)" -m 6144 \
  -kernel "$guest/vmlinuz" -initrd "$guest/initramfs.gz" \
  -append "console=ttyS0 quiet panic=-1 wendle.out=$out" \
  -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
  -virtfs "local,path=$out,mount_tag=out,security_model=none" \
  -nic none -display none -monitor none -serial "file:$out/console.log" -no-reboot \
  </dev/null >"$out/qemu.log" 2>&1 || rc=$?
if [ -f "$out/exit-code" ]; then
  exit "$(cat "$out/exit-code")"
fi
[ "$rc" = 124 ] || [ "$rc" = 137 ] && { echo "guest.sh: the guest did not finish within $limit s" >&2; exit 124; }
echo "guest.sh: the guest stopped without an answer (qemu exit $rc)" >&2
exit 125
