#!/usr/bin/env bash
# window-gaps.sh [ROWS]                 (default: 1000000)
# Runs the pages' long operations in a real window on the offscreen
# platform (build/bench/vorda-window-gaps) against a private test server: a
# backup of a table of ROWS rows from the Execute page, the Indirect restore
# of its file from the Database Backups page and the viewer's load of the
# file, while a 10 ms timer ticks. Prints, for each, its time and the longest
# gap between two ticks: how long the window could not repaint, answer the
# Cancel button or open the tray menu. The goal is 50 ms at most.
# SHOTS=DIR also saves pictures of the pages during and after their runs
# (the pictures' own waits then show in the gaps). Under xvfb-run with
# QT_QPA_PLATFORM=xcb the pictures are of the real screen.
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/bench-common.sh
bench_server "$0" "$@"

rows=${1:-1000000}
gaps=build/bench/vorda-window-gaps
[[ -x "$gaps" ]] || scripts/build.sh >/dev/null
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
echo "rows: $rows; goal: longest_gap_ms <= 50"
"$gaps" --rows "$rows" ${SHOTS:+--shots "$SHOTS"} 2>"$work/stderr" || {
    cat "$work/stderr" >&2
    exit 1
}
