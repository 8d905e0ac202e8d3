#!/usr/bin/env bash
# Installs every package the build and the tests need on Debian 12, as root.
# Safe to run again: packages already present are left as they are.
set -euo pipefail

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

for p in cmake g++ make googletest libbenchmark-dev g++-mingw-w64-i686 binutils-mingw-w64-i686 \
         wine wine32:i386 xvfb xauth clang libclang-rt-14-dev libstb-dev clang-format-14 \
         nlohmann-json3-dev emscripten chromium chromium-driver python3-selenium zip unzip lld llvm; do
  have "$p" || need+=("$p")
done

if [ ${#need[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages (${need[*]}); run this script as root" >&2
  exit 1
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${need[@]}"
