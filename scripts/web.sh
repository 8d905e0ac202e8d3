#!/usr/bin/env bash
# Builds the compatibility page into build/web and serves it on 127.0.0.1:
#   bash scripts/web.sh [PORT]         serve on http://127.0.0.1:PORT/ (8018 unless given)
#   bash scripts/web.sh --screenshot   also redraw docs/web-page.png (needs the Windows tree's game)
# The page also works opened straight from the disk: build/web/index.html.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
install_deps
mkdir -p build
cmake --preset web >build/web.configure.log 2>&1 || { cat build/web.configure.log; exit 1; }
cmake --build --preset web -j "$(nproc)"
if [ "${1:-}" = "--screenshot" ]; then
  /usr/bin/python3 scripts/web_screenshot.py build/web build/win32/game/old-patch/Larkmere.exe docs/web-page.png
  exit 0
fi
port=${1:-8018}
echo "The page: http://127.0.0.1:$port/ (or open $root/build/web/index.html); Ctrl-C stops the server."
exec /usr/bin/python3 -m http.server "$port" --bind 127.0.0.1 --directory build/web
