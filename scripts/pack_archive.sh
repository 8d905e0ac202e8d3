#!/bin/sh
# Packs one release archive so that the same sources always give the same bytes:
# binaries stripped, every entry dated from the commit, in the order given, with
# the same attributes, and nothing of the build machine (owner, access times,
# time zone, umask) recorded.
#   sh pack_archive.sh SOURCE_DIR STRIP ARCHIVE STAGE FILE...
# An .asi, .exe or .dll FILE is stripped into STAGE; any other is copied.
# The date is SOURCE_DATE_EPOCH if set, else the time of SOURCE_DIR's commit.
set -eu
source_dir=$1 strip=$2 archive=$3 stage=$4
shift 4

epoch=${SOURCE_DATE_EPOCH:-$(git -C "$source_dir" log -1 --format=%ct 2>/dev/null || true)}
if [ -z "$epoch" ]; then
  echo "pack_archive: no commit to date the archive from; set SOURCE_DATE_EPOCH" >&2
  exit 1
fi
# Debian's strip writes SOURCE_DATE_EPOCH, not the current time, into the PE header.
export SOURCE_DATE_EPOCH=$epoch

rm -rf "$stage" "$archive"
mkdir -p "$stage"
names=""
for file in "$@"; do
  name=$(basename "$file")
  case "$name" in
    *.asi | *.exe | *.dll) "$strip" --strip-all -o "$stage/$name" "$file" ;;
    *) cp "$file" "$stage/$name" ;;
  esac
  chmod 0644 "$stage/$name"
  touch -d "@$epoch" "$stage/$name"
  names="$names $name"
done
# zip records local time: UTC for all. -X leaves out owner and extra time fields.
cd "$stage"
# shellcheck disable=SC2086 # the names hold no blank
TZ=UTC0 LC_ALL=C zip -X -q "$archive" $names
