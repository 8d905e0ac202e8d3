#!/usr/bin/env bash
# Exits 0 when this machine can run the 32-bit Windows programs of the Windows
# tree under Wine; otherwise prints why on standard error and exits
#   1 when the kernel cannot start 32-bit x86 programs (booted with
#     ia32_emulation off): Wine's 32-bit loader is one, so no package helps;
#   2 when the kernel can, but Wine's 32-bit part is not installed.
# The kernel is asked with the smallest static 32-bit program, which only
# exits 0, so that the answer does not depend on any installed package.
set -u
probe=$(mktemp)
trap 'rm -f "$probe"' EXIT
# ELF header, one loadable segment, then: mov eax, 1; xor ebx, ebx; int 0x80.
printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\010\064\0\0\0\0\0\0\0\0\0\0\0\064\0\040\0\1\0\0\0\0\0\0\0' >"$probe"
printf '\1\0\0\0\0\0\0\0\0\200\4\010\0\200\4\010\135\0\0\0\135\0\0\0\5\0\0\0\0\020\0\0' >>"$probe"
printf '\270\1\0\0\0\061\333\315\200' >>"$probe"
chmod +x "$probe"
if ! "$probe" >/dev/null 2>&1; then
  echo "this machine's kernel does not run 32-bit x86 programs (ia32 emulation is off), so Wine cannot run the Windows programs" >&2
  exit 1
fi
if ! /lib/ld-linux.so.2 --help >/dev/null 2>&1; then
  echo "Wine's 32-bit part is not installed (wine32:i386): bash scripts/install-deps.sh installs it" >&2
  exit 2
fi
exit 0
