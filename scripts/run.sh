#!/usr/bin/env bash
# Installs what Vorda needs, builds the program (only the program: the tests
# and benchmarks are left for scripts/test.sh) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
if [[ ! -x build/src/vorda ]]; then
    echo "Building Vorda; the first build takes a few minutes ..."
fi
scripts/build.sh vorda
exec build/src/vorda "$@"
