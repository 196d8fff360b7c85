#!/usr/bin/env bash
# Takes docs/screenshot.png: the main window with the statistics page, on a
# virtual screen, with a fresh data folder holding a few example definitions.
# Needs a build (scripts/build.sh), xvfb-run and ImageMagick's import.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 0700 "$work/run"
export XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/run" XDG_CACHE_HOME="$work/cache"
data="$XDG_DATA_HOME/Tesmo/Vorda Quendal System"

inside_xvfb() {
    # A first start with example definitions, the last backup and the quick
    # start screen off; then a history of the last days.
    "$top/build/bench/vorda-bench" example --data-dir "$data"
    short() { LC_ALL=C date -d "$(date -d "$1" +%F) $2" '+%a, %b %d, %Y - %I:%M:%S %p'; }
    printf '%s\r\n' \
        "0|$(short '2 days ago' 09:12:40)|New Connection Saved: shop" \
        "0|$(short '2 days ago' 09:15:02)|New Connection Saved: blog" \
        "0|$(short '2 days ago' 09:21:57)|New Schedule Saved: Nightly" \
        "0|$(short '2 days ago' 09:22:31)|New Schedule Saved: Hourly" \
        "0|$(short '2 days ago' 09:26:18)|New Backup Saved: Nightly_Shop" \
        "0|$(short '2 days ago' 09:29:44)|New Backup Saved: Blog_Posts" \
        "0|$(short '2 days ago' 09:31:05)|New Backup Saved: Shop_Orders" \
        "0|$(short '2 days ago' 09:33:10)|Manual Backup Started: Nightly_Shop" \
        "0|$(short '2 days ago' 09:33:52)|Backup Successful: Nightly_Shop" \
        "0|$(short yesterday 02:00:00)|Auto Backup Executed: Nightly_Shop" \
        "0|$(short yesterday 10:45:12)|Restore Started: Blog_Posts" \
        "0|$(short yesterday 10:45:20)|Restore Successful: Blog_Posts" \
        "0|$(short today 02:00:00)|Auto Backup Executed: Nightly_Shop" \
        > "$data/vorda_history.log"

    "$top/build/src/vorda" &
    local pid=$!
    sleep 3
    import -window "Vorda - Quendal System - Version: 2.1.2.4" "$top/docs/screenshot.png"
    kill -TERM "$pid"; wait "$pid" || true
}

if [ "${1:-}" = "--inside" ]; then
    inside_xvfb
else
    xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --inside
    echo "docs/screenshot.png written"
fi
