# The lines every script shares; a script starts with
#   source "$(dirname "$0")/lib.sh"
# and then works in the checkout's root, "$root".
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root" || exit 1

# install_deps: the set-up, run first by every script. Its status 3 says that
# only the i386 packages are missing; they serve Wine alone, so a machine whose
# kernel cannot run 32-bit programs goes on without them.
install_deps() {
  local deps=0 usable=0
  bash scripts/install-deps.sh || deps=$?
  [ "$deps" -eq 0 ] && return 0
  bash scripts/wine-usable.sh 2>/dev/null || usable=$?
  if [ "$deps" -eq 3 ] && [ "$usable" -eq 1 ]; then
    echo "going on without the i386 packages: they only run the Windows programs, which this machine cannot run"
    return 0
  fi
  return 1
}

# use_wine_prefix TREE: Wine runs quietly in the tree's own prefix
# (TREE/wineprefix, created once, with no installer dialogs) and its wineserver
# stops when the script ends.
use_wine_prefix() {
  export WINEPREFIX="$root/$1/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  test -f "$WINEPREFIX/system.reg" || wineboot -i >/dev/null 2>&1
  trap stop_wine EXIT
}

# stop_wine [TREE]: stops the wineserver of the tree's prefix (default: the one in use).
stop_wine() {
  if [ -n "${1:-}" ]; then
    WINEPREFIX="$root/$1/wineprefix" wineserver -k 2>/dev/null || true
  else
    wineserver -k 2>/dev/null || true
  fi
}
