#!/usr/bin/env bash
# Runs the tests of the 32-bit build: in a guest Linux under qemu's full-system
# emulation, whose kernel runs 32-bit Wine. The machine's own kernel runs no
# 32-bit code, so the guest shares the machine's root file system over 9p and
# chroots into it: the same Wine, cmake, ctest and Xvfb, and the same build
# tree, at the same paths.
#
#   cmake/win32-lane.sh BUILD [COMMAND...]
#
# BUILD is the 32-bit build folder (build/win32). Inside the guest: a virtual
# display, a fresh 32-bit Wine prefix in the guest's memory (made as the
# 64-bit build makes its own, by cmake/make-wineprefix.sh), then `ctest` on
# BUILD, or COMMAND when one is given (run in BUILD, with WINEPREFIX and
# DISPLAY set: for example `ctest -R quelder_events_test -V`). Everything it
# prints comes back on standard output, and this script ends with its exit
# code. A guest that cannot be booted (no qemu, no kernel) is a failure with a
# message, never a silent skip.
set -euo pipefail
build=$(cd "${1:?usage: win32-lane.sh BUILD [COMMAND...]}" && pwd)
shift
command=("$@")
# Tests labelled build-machine run on the machine itself (quelder.sh), not here.
[ ${#command[@]} -gt 0 ] || command=(ctest --output-on-failure -j 2 -LE build-machine)
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
lane=$build/lane
fail() { echo "win32 lane: $*" >&2; exit 1; }

[ -f "$build/CMakeCache.txt" ] || fail "$build is not a build folder"
qemu=$(command -v qemu-system-x86_64 || true)
[ -n "$qemu" ] || fail "cannot boot the guest: qemu-system-x86_64 is missing (package qemu-system-x86)"
busybox=$(command -v busybox || true)
[ -n "$busybox" ] && file -L "$busybox" 2>/dev/null | grep -q 'statically linked' ||
  busybox=/bin/busybox
[ -x "$busybox" ] || fail "cannot build the guest: no static busybox (package busybox-static)"
[ -x /usr/lib/wine/wine ] || fail "no 32-bit Wine loader /usr/lib/wine/wine (package wine32:i386)"

# The newest installed kernel that has the 9p modules the guest needs.
modules=(virtio_ring virtio virtio_pci_modern_dev virtio_pci_legacy_dev virtio_pci netfs fscache 9pnet
         9pnet_virtio 9p)
kernel= version=
for image in $(ls -1 /boot/vmlinuz-* 2>/dev/null | sort -rV); do
  v=${image#/boot/vmlinuz-}
  if [ -r "$image" ] && find "/lib/modules/$v" -name '9p.ko*' 2>/dev/null | grep -q .; then
    kernel=$image version=$v
    break
  fi
done
[ -n "$kernel" ] || fail "cannot boot the guest: no kernel with 9p modules in /boot (package linux-image-amd64)"

# ---- the initramfs: busybox, the modules, and /init ---------------------------
rm -rf "$lane"
mkdir -p "$lane"/initramfs/{bin,modules,host,keep,proc,sys,dev}
cp "$busybox" "$lane/initramfs/bin/busybox"
for m in "${modules[@]}"; do
  ko=$(find "/lib/modules/$version" -name "$m.ko" -o -name "$m.ko.xz" -o -name "$m.ko.zst" | head -n 1)
  [ -n "$ko" ] || fail "kernel $version has no module $m"
  case $ko in
    *.xz) xz -dc "$ko" >"$lane/initramfs/modules/$m.ko" ;;
    *.zst) zstd -qdc "$ko" >"$lane/initramfs/modules/$m.ko" ;;
    *) cp "$ko" "$lane/initramfs/modules/$m.ko" ;;
  esac
done
cat >"$lane/initramfs/init" <<EOF
#!/bin/busybox sh
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
for m in ${modules[*]}; do insmod /modules/\$m.ko || echo "guest: insmod \$m failed"; done
mount -t 9p -o trans=virtio,version=9p2000.L,msize=524288,cache=loose hostroot /host || {
  echo "guest: the machine's root file system could not be mounted"; poweroff -f; }
mount -t proc proc /host/proc
mount -t sysfs sys /host/sys
mount -t devtmpfs dev /host/dev
mkdir -p /host/dev/pts /host/dev/shm
mount -t devpts devpts /host/dev/pts
mount -t tmpfs tmpfs /host/dev/shm
ln -sf /proc/self/fd /host/dev/fd
# Unix sockets (wineserver, X) cannot live on 9p: /tmp and /run are the
# guest's own. The project stays visible wherever it lies.
mount -o bind "/host$root" /keep
mount -t tmpfs tmpfs /host/tmp
mount -t tmpfs tmpfs /host/run
mkdir -p "/host$root"
mount -o bind /keep "/host$root"
chroot /host /bin/bash "$lane/guest.sh"
sync
poweroff -f
EOF
chmod +x "$lane/initramfs/init"
(cd "$lane/initramfs" && find . | cpio -o -H newc --quiet | gzip -1) >"$lane/initrd.gz"

# ---- what runs in the guest ---------------------------------------------------
# The guest's console is a terminal: what runs there writes into a pipe, so
# that it prints no terminal colours or controls.
{
  cat <<EOF
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8
export WINEPREFIX=/run/quelder-wineprefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export QUELDER_EMULATED=1
cd "$build"
status=1
trap 'echo \$status >"$lane/status"; sync' EXIT
Xvfb :99 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
for _ in \$(seq 100); do [ -e /tmp/.X11-unix/X99 ] && break; sleep 0.1; done
[ -e /tmp/.X11-unix/X99 ] || { echo "guest: Xvfb did not start"; exit; }
export DISPLAY=:99
# The prefix lies in the guest's memory (/run is its own tmpfs; the side-by-
# side test makes its larger one in /tmp): Wine makes it there several times
# as fast as in the build folder, which the guest reaches over 9p.
start=\$(date +%s)
"$root/cmake/make-wineprefix.sh" "\$WINEPREFIX"
[ -f "\$WINEPREFIX/system.reg" ] || { echo "guest: the 32-bit Wine prefix was not made"; exit; }
echo "== guest: 32-bit Wine prefix \$WINEPREFIX made in \$((\$(date +%s) - start)) s"
# One Wine session for all the tests, its desktop started here: a test
# process that had to start the desktop itself would wait for it only so
# long (under emulation it may take longer) and then make no window at all.
# Started here, Wine's own processes hold none of the tests' output either.
/usr/lib/wine/wineserver -p >/dev/null 2>&1
/usr/lib/wine/wine explorer.exe /desktop >/dev/null 2>&1 &
sleep 15
EOF
  printf '%q ' "${command[@]}"
  printf '2>&1 | cat\nstatus=${PIPESTATUS[0]}\n'
  echo '/usr/lib/wine/wineserver -k 2>/dev/null'
} >"$lane/guest.sh"

# ---- boot ------------------------------------------------------------------------
# -cpu qemu64: with -cpu max, 32-bit Wine processes die at an iret.
echo "== booting the guest (kernel $version, software emulation)"
rm -f "$lane/status"
start=$(date +%s)
"$qemu" -accel tcg -cpu qemu64 -smp 2 -m 4096 -nographic -no-reboot \
  -kernel "$kernel" -initrd "$lane/initrd.gz" -append "console=ttyS0 quiet panic=-1" \
  -virtfs local,path=/,mount_tag=hostroot,security_model=none,multidevs=remap </dev/null |
  sed -u 's/\r$//'
echo "== the guest ran for $(($(date +%s) - start)) s"
[ -f "$lane/status" ] || fail "the guest ended without a result (see its output above)"
# The guest wrote into the build folder itself: its results and pictures are
# here already.
find "$build" -name '*.bmp' -newer "$lane/guest.sh" -printf '== picture left by the tests: %p\n'
exit "$(cat "$lane/status")"
