#!/usr/bin/env bash
# Exits 0 when this machine can run the 32-bit Windows programs of the Windows
# tree under Wine. Wine's 32-bit loader is a 32-bit Linux program, so a kernel
# without 32-bit support (booted with ia32_emulation off) cannot start it; then
# this prints why on standard error and exits 1.
set -u
if /lib/ld-linux.so.2 --help >/dev/null 2>&1; then
  exit 0
fi
echo "this machine's kernel does not run 32-bit x86 programs (ia32 emulation is off), so Wine cannot run the Windows programs" >&2
exit 1
