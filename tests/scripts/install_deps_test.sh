#!/usr/bin/env bash
# scripts/install-deps.sh against a fake apt: a mirror part-way through a sync
# (an index that fails to download, i386 packages behind the amd64 ones) ends
# with the one sentence that names it, after three index updates, with the
# status that says only the i386 packages are missing (the amd64 ones are
# installed first, apart); a mirror that recovers installs. Fake dpkg, dpkg-query,
# apt-get, id and sleep stand first in PATH; nothing of the machine is touched.
set -u
script=$(cd "$(dirname "$0")/../.." && pwd)/scripts/install-deps.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# case NAME UPDATE_FAILURES INSTALL_FAILS EXPECTED_STATUS EXPECTED_UPDATES PATTERN
case_() {
  local name=$1 bad_updates=$2 install_fails=$3 status=$4 updates=$5 pattern=$6
  local bin=$work/$name
  mkdir -p "$bin"
  cat >"$bin/dpkg-query" <<'FAKE'
#!/bin/sh
exit 1
FAKE
  printf '#!/bin/sh\n[ "$1" = --print-foreign-architectures ] && echo i386\nexit 0\n' >"$bin/dpkg"
  printf '#!/bin/sh\necho 0\n' >"$bin/id"
  printf '#!/bin/sh\nexit 0\n' >"$bin/sleep"
  cat >"$bin/apt-get" <<FAKE
#!/bin/sh
if [ "\$1" = update ]; then
  n=\$(cat "$bin/updates" 2>/dev/null || echo 0); n=\$((n + 1)); echo \$n >"$bin/updates"
  if [ \$n -le $bad_updates ]; then
    echo "E: Failed to fetch http://deb.example/dists/bookworm/main/binary-i386/Packages.xz  File has unexpected size"
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
    exit 100
  fi
  exit 0
fi
case "\$*" in *:i386*) ;; *) echo "\$*" >>"$bin/installed"; exit 0 ;; esac
[ $install_fails = 1 ] && { echo "E: Unable to correct problems, you have held broken packages."; exit 100; }
exit 0
FAKE
  chmod +x "$bin"/*
  local output rc
  output=$(PATH="$bin:$PATH" bash "$script" 2>&1)
  rc=$?
  local got_updates
  got_updates=$(cat "$bin/updates" 2>/dev/null || echo 0)
  # The amd64 packages go in whatever the i386 ones do.
  if ! grep -q 'g++-mingw-w64-i686' "$bin/installed" 2>/dev/null; then
    output="amd64 packages not installed; $output"
    status=-1
  fi
  if [ "$rc" -ne "$status" ] || [ "$got_updates" -ne "$updates" ] || ! grep -qE "$pattern" <<<"$output"; then
    echo "FAILED $name: status $rc (want $status), $got_updates updates (want $updates), output:"
    echo "$output"
    failures=$((failures + 1))
  else
    echo "ok $name"
  fi
}

sentence='the package mirror is most likely part-way through a sync, and running bash scripts/install-deps.sh again later fixes it\.$'
case_ index_fails_for_good 9 1 3 3 "install-deps: the package indexes http://deb.example/[^ ]+Packages.xz failed to download, so wine32:i386 could not be installed; $sentence"
case_ index_recovers 1 0 0 2 '^'
case_ i386_behind_amd64 0 1 3 1 "install-deps: the i386 packages wine32:i386 could not be installed beside the amd64 ones .*; $sentence"
case_ clean_update_installs 0 0 0 1 '^'
[ "$failures" -eq 0 ] && echo "install-deps: 4 cases pass" || exit 1
