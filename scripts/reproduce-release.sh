#!/usr/bin/env bash
# Builds the release twice, from two copies of the sources at different paths,
# with different umasks, time zones, locales and numbers of jobs, at different
# times, and fails unless the two give the same archives byte for byte and
# SHA256SUMS verifies. A difference is named by its archive, entry and offset.
#   build/release/          the first build (scripts/release.sh in this checkout)
#   build/release-again/    a copy of the sources and its own build/release/
set -uo pipefail
source "$(dirname "$0")/lib.sh"

epoch=$(git log -1 --format=%ct) || { echo "reproduce-release: not a git checkout" >&2; exit 1; }
again=build/release-again/src
rm -rf build/release-again
mkdir -p "$again"
# The working tree's files, untracked ones included, as the first build sees them.
git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf - | tar -xf - -C "$again"

echo "=== release, first build"
jobs=$(nproc)
(umask 022 && TZ=UTC0 LC_ALL=C bash scripts/release.sh -j"$jobs") || exit 1
echo "=== release, second build in $again"
(umask 077 && export TZ=LKM-13:45 LC_ALL=C.UTF-8 SOURCE_DATE_EPOCH=$epoch && cd "$again" &&
  bash scripts/release.sh -j"$((jobs + 1))" --unchecked) || exit 1

# The entry of <archive> whose local header or data holds byte <offset>, or the
# central directory.
entry_at() {
  unzip -Z -v "$1" | awk -v at="$2" '
    /^Central directory entry #/ { getline; getline; getline; name = $0; sub(/^ +/, "", name) }
    /offset of local header from start of archive:/ { if ($NF + 0 <= at + 0) found = name }
    /its \(expected\) offset in bytes from the beginning/ { getline; central = $2 + 0 }
    END { if (central != "" && at + 0 >= central) print "the central directory"; else print "entry " found }'
}

# The first byte (counted from 1) at which two files differ.
first_byte() { LC_ALL=C cmp "$1" "$2" 2>&1 | grep -oE '(byte|char) [0-9]+' | head -n 1 | grep -oE '[0-9]+'; }

# Names the first difference between two archives: the first entry whose
# contents differ and the byte in it, else the archive's byte and its entry.
first_difference() {
  local first=$1 second=$2 unpacked=build/release-again/unpacked
  rm -rf "$unpacked" && mkdir -p "$unpacked/1" "$unpacked/2"
  unzip -q "$first" -d "$unpacked/1" && unzip -q "$second" -d "$unpacked/2"
  local name byte
  while read -r name; do
    if [ ! -f "$unpacked/2/$name" ]; then
      echo "entry $name, missing from the second"; return
    elif ! cmp -s "$unpacked/1/$name" "$unpacked/2/$name"; then
      echo "entry $name, from its byte $(first_byte "$unpacked/1/$name" "$unpacked/2/$name")"; return
    fi
  done < <(unzip -Z1 "$first")
  byte=$(first_byte "$first" "$second")
  echo "byte $byte, in $(entry_at "$first" "$((byte - 1))")"
}

status=0
for file in build/release/*.zip build/release/SHA256SUMS; do
  name=$(basename "$file")
  other="$again/build/release/$name"
  if ! cmp -s "$file" "$other"; then
    if [ "$name" = SHA256SUMS ]; then
      echo "reproduce-release: SHA256SUMS differs between the two builds"
    else
      echo "reproduce-release: $name differs between the two builds at $(first_difference "$file" "$other")"
    fi
    status=1
  fi
done
(cd build/release && sha256sum -c SHA256SUMS) || status=1
[ "$status" -eq 0 ] && echo "reproduce-release: both builds gave the same archives"
exit $status
