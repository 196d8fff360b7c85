#!/usr/bin/env bash
# Redraws the pictures and the icon into resources/images/, and the program
# icon for the desktop's icon theme into packaging/icons/ (run from anywhere).
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target vorda-make-art
QT_QPA_PLATFORM=offscreen build/resources/vorda-make-art resources/images packaging/icons
