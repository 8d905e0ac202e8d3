#!/usr/bin/env bash
# Fails when a C or C++ source or header differs from the root .clang-format
# (clang-format 14). Build folders and the fuzz corpus are not sources.
# `clang-format -i FILE` formats a file that it names.
set -uo pipefail
source "$(dirname "$0")/lib.sh"

format=$(command -v clang-format-14 || command -v clang-format) || {
  echo "format-check: clang-format is not installed (scripts/install-deps.sh installs it)"; exit 1
}
mapfile -d '' sources < <(find . \( -path ./build -o -path ./fuzz/corpus -o -name '.*' -a ! -name . \) -prune -o \
  -type f \( -name '*.c' -o -name '*.cc' -o -name '*.cpp' -o -name '*.h' -o -name '*.hpp' \) -print0 | sort -z)
if "$format" --dry-run --Werror "${sources[@]}"; then
  echo "format-check: ${#sources[@]} files follow .clang-format"
else
  echo "format-check: the files named above differ from .clang-format"
  exit 1
fi
