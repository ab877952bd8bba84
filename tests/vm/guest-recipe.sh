# Sourced: what goes into the test guest. The image is keyed by a hash of
# this file, guest-init, provision-guest.sh and ../wine-prefix.sh: a change
# to any of them makes a new image on the next run.
debian_suite=bookworm

in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive "$@"; }

# A package mirror in the middle of an update fails debootstrap for some
# minutes: up to three attempts, each into an empty folder.
bootstrap_system() {
  local try
  for try in 1 2 3; do
    debootstrap --variant=minbase --arch=amd64 "$debian_suite" "$root" "$debian_mirror" && return 0
    [ "$try" = 3 ] && break
    echo "guest: debootstrap failed (attempt $try of 3); again in 30 s" >&2
    findmnt -rn -o TARGET | { grep "^$root/" || true; } | sort -r | xargs -r umount -l || true
    rm -rf --one-file-system "$root"
    sleep 30
  done
  apt_advice "debootstrap failed three times"
  return 1
}

# The 64-bit system with its kernel; Wine's packages, the 32-bit ones among
# them, are only downloaded: the guest installs them on its first boot.
install_system() {
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
  chmod +x "$root/usr/sbin/policy-rc.d"
  mount -t proc proc "$root/proc"
  in_root dpkg --add-architecture i386
  apt_update in_root
  apt_install "$debian_suite" in_root -- -y -q --no-install-recommends -o Dpkg::Use-Pty=0 linux-image-amd64
  apt_install "$debian_suite" in_root -- -y -q --no-install-recommends --download-only wine wine32:i386
  umount "$root/proc"
}

# Kernel and initrd next to the disk (the emulator boots them directly), the
# guest's init, and the disk itself.
finish_root() {
  cp -L "$root/vmlinuz" "$tmp/vmlinuz"
  cp -L "$root/initrd.img" "$tmp/initrd.img"
  install -m 755 "$here/guest-init" "$root/sbin/zentrilo-init"
  echo zentrilo-guest >"$root/etc/hostname"
  mkfs.ext4 -q -F -L zentrilo -d "$root" "$tmp/disk.raw" 8G
  rm -rf "$root"
}
