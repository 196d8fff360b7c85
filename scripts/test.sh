#!/usr/bin/env bash
# Installs what the tests need, builds everything and runs the whole test
# suite (core, server-backed and GUI tests) headless against a private
# MariaDB server that lives only as long as this script.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --test
scripts/build.sh
export QT_QPA_PLATFORM=offscreen
exec scripts/with-test-server.sh ctest --test-dir build --output-on-failure --timeout 600 "$@"
