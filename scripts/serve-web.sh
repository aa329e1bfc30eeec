#!/usr/bin/env bash
# Serves the page of build-web/site/ on http://localhost:8080/ (another port: PORT=8081) with
# the web server of Debian's Python 3 (python3 -m http.server), which knows the WebAssembly
# type. The site is static files only; any web server serves it as well. Ctrl+C stops it.
set -euo pipefail
cd "$(dirname "$0")/.."
site=build-web/site
port=${PORT:-8080}
[ -f "$site/index.html" ] || { echo "no page in $site: run scripts/build-web.sh first" >&2; exit 1; }
[ -x /usr/bin/python3 ] || scripts/setup.sh python3
echo "ZEL World on http://localhost:$port/"
exec /usr/bin/python3 -m http.server "$port" --bind 127.0.0.1 --directory "$site"
