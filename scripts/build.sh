#!/usr/bin/env bash
# build.sh [TARGET...]
# Configures and builds Vorda into build/: the given targets (for example
# vorda, the program alone), or else the program, its tests and its
# benchmarks.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
targets=()
for target in "$@"; do
    targets+=(--target "$target")
done
cmake --build build --parallel "$(nproc)" "${targets[@]}"
