#!/usr/bin/env bash
# The browser tests: builds the page (scripts/build-web.sh), then drives it in Debian's
# Chromium with playwright-core (which downloads no browser) through Node's test runner.
# Installs what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build-web.sh
scripts/setup.sh chromium
node --test --test-concurrency=1 web/tests/
