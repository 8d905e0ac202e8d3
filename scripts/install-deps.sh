#!/usr/bin/env bash
# Installs every package the build and the tests need on Debian 12, as root.
# Safe to run again: packages already present are left as they are. It adds
# the i386 architecture for Wine's 32-bit part and changes nothing else of the
# machine's apt configuration. A package mirror part-way through a sync can
# fail an index or leave the i386 packages behind the amd64 ones: the index
# update is tried up to 3 times, 30 s apart, and a failure that such a mirror
# explains ends with one sentence saying so. The amd64 packages are installed
# before the i386 ones, so that a mirror whose i386 part is broken still leaves
# every other tool in place; then the exit status is 3 (see install_deps in scripts/lib.sh).
set -uo pipefail

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

mirror_sentence() {
  echo "install-deps: $1; the package mirror is most likely part-way through a sync, and running" \
       "bash scripts/install-deps.sh again later fixes it." >&2
}

# apt-get update exits 0 even when it ignored an index it could not fetch, and
# 100 when it could not fetch one: both are looked for in its output.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
updated=0
for attempt in 1 2 3; do
  if apt-get update -q 2>&1 | tee "$log"; then
    if ! grep -qE '^(E|W): (Failed to fetch|Some index files failed)' "$log"; then
      updated=1
      break
    fi
  fi
  [ "$attempt" -lt 3 ] && { echo "install-deps: the package index did not download whole; trying again in 30 s"; sleep 30; }
done
# Words of a list, joined by single blanks.
joined() { tr '\n' ' ' | sed -E 's/ +/ /g; s/^ //; s/ $//'; }
failed_indexes=$(grep -oE 'Failed to fetch [^ ]+' "$log" | sed 's/Failed to fetch //' | sort -u | joined)

need_i386=()
need_native=()
for p in "${need[@]}"; do
  if [[ $p == *:i386 ]]; then need_i386+=("$p"); else need_native+=("$p"); fi
done
status=0
if [ ${#need_native[@]} -gt 0 ]; then
  apt-get install -y -q --no-install-recommends "${need_native[@]}" || status=$?
fi
if [ "$status" -eq 0 ] && [ ${#need_i386[@]} -gt 0 ]; then
  apt-get install -y -q --no-install-recommends "${need_i386[@]}" || status=3
fi
[ "$status" -eq 0 ] && exit 0
missing_i386=$(for p in "${need_i386[@]}"; do have "$p" || echo "$p"; done | joined)
if [ "$status" -eq 3 ]; then what=$missing_i386; else what="the packages"; fi
if [ "$updated" -eq 0 ]; then
  mirror_sentence "the package indexes ${failed_indexes:-of the mirror} failed to download, so ${what} could not be installed"
elif [ "$status" -eq 3 ]; then
  mirror_sentence "the i386 packages ${missing_i386} could not be installed beside the amd64 ones (the mirror's i386 index is behind its amd64 one)"
fi
exit "$status"
