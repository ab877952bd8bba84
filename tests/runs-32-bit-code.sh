#!/usr/bin/env bash
# runs-32-bit-code.sh DIR: exits 0 when this machine runs 32-bit x86 programs
# natively, so that 32-bit Wine can run here; otherwise prints why and exits 1.
# It writes a 96-byte i386 ELF program into DIR that only exits with code 42,
# and runs it. Some kernels lack the 32-bit ABI ("Exec format error"); where a
# binfmt_misc handler (qemu-user) takes i386 programs, they run, but far too
# slowly and unreliably for Wine, so that counts as no.
set -uo pipefail
probe=$1/i386-probe
for handler in /proc/sys/fs/binfmt_misc/*; do
  [ -f "$handler" ] || continue
  if grep -qx enabled "$handler" && grep -q '^magic 7f454c4601010100000000000000000002000300' "$handler"; then
    echo "i386 programs are handed to $(sed -n 's/^interpreter //p' "$handler") (binfmt_misc), not run natively"
    exit 1
  fi
done

{
  # ELF header: 32-bit, little-endian, executable, i386, entry 0x08048054.
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'
  printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'
  printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'
  # One loadable, executable segment: the whole file at 0x08048000.
  printf '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'
  printf '\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'
  # mov ebx, 42; mov eax, 1 (exit); int 0x80
  printf '\xbb\x2a\x00\x00\x00\xb8\x01\x00\x00\x00\xcd\x80'
} >"$probe" && chmod +x "$probe" || exit 1

out=$("$probe" 2>&1)
rc=$?
rm -f "$probe"
[ "$rc" = 42 ] && exit 0
echo "a 32-bit x86 program does not run here (exit code $rc${out:+: $out})"
exit 1
