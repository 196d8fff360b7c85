#!/usr/bin/env bash
# screenshots.sh [--scale FACTOR] [--out DIR] [--test-server] [--offscreen] [--walkthrough PROGRAM]
# Takes the pictures of docs/screenshots/: starts a throwaway MariaDB server
# on 127.0.0.1 with the sample shop database of scripts/try-server.sh, then
# runs the walkthrough program (build/tests/gui/app/vorda-walkthrough) in a
# real X window on a virtual screen (xvfb-run). It drives Vorda's own main
# window: creates and tests the connection, defines a schedule and a backup,
# runs the backup, views it, restores it in Indirect mode, and opens every
# other page, each editor in both modes, the message boxes, the password
# prompt, the quick start screen and the help window; each gets a picture.
#
#   --scale FACTOR   runs the window at QT_SCALE_FACTOR=FACTOR (1.25, 2, ...)
#                    and writes to a new temporary folder unless --out is given
#   --out DIR        writes the pictures to DIR instead of docs/screenshots/
#   --test-server    uses the server of scripts/with-test-server.sh
#                    (VORDA_TEST_DB_*) with a sample database of its own,
#                    instead of starting one
#   --offscreen      no X window: Qt's offscreen platform
#   --walkthrough P  the walkthrough program to run
# Needs a build (scripts/build.sh), xvfb-run, ImageMagick, and mariadb-server
# and mariadb-client (scripts/install-deps.sh --test installs them).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(dirname "$here")
# shellcheck source=lib/private-mariadb.sh
source "$here/lib/private-mariadb.sh"

scale="" out="" use_test_server=0 platform=xcb walkthrough="$top/build/tests/gui/app/vorda-walkthrough"
while [ $# -gt 0 ]; do
    case "$1" in
    --scale) scale=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    --test-server) use_test_server=1; shift ;;
    --offscreen) platform=offscreen; shift ;;
    --walkthrough) walkthrough=$2; shift 2 ;;
    *) sed -n '2,20s/^# \{0,1\}//p' "$0" >&2; exit 2 ;;
    esac
done
[ -x "$walkthrough" ] || { echo "no $walkthrough: build first (scripts/build.sh)" >&2; exit 1; }
if [ -z "$out" ]; then
    if [ -n "$scale" ]; then
        out=$(mktemp -d "/tmp/vorda-screenshots-$scale.XXXXXX")
    else
        out="$top/docs/screenshots"
        mkdir -p "$out"
        # Pictures of pages that no longer exist go.
        rm -f "$out"/*.png
    fi
fi
mkdir -p "$out"

work=$(mktemp -d)
test_database=""
client() {
    mariadb --no-defaults -h"$VORDA_TEST_DB_HOST" -P"$VORDA_TEST_DB_PORT" -u"$VORDA_TEST_DB_USER" \
        -p"$VORDA_TEST_DB_PASSWORD" "$@"
}
finish() {
    local status=$?
    if [ -n "$test_database" ]; then
        client -e "DROP DATABASE IF EXISTS $test_database" || true
    fi
    private_mariadb_stop
    rm -rf "$work"
    exit "$status"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

if [ "$use_test_server" = 1 ]; then
    : "${VORDA_TEST_DB_PORT:?no test server: run through scripts/with-test-server.sh}"
    test_database="vorda_walkthrough_$$"
    client -e "CREATE DATABASE $test_database CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci"
    client "$test_database" <"$here/lib/sample-database.sql"
    host=$VORDA_TEST_DB_HOST port=$VORDA_TEST_DB_PORT database=$test_database user=$VORDA_TEST_DB_USER
    password=$VORDA_TEST_DB_PASSWORD
else
    echo "Starting a throwaway MariaDB server ..."
    private_mariadb_start vorda-screenshots ""
    host=127.0.0.1 port=$private_mariadb_port database=vorda_sample user=vorda
    password="shot-$(od -An -N6 -tx1 /dev/urandom | tr -d ' \n')"
    private_mariadb_sample "$database" "$user" "$password"
fi

# A data folder, runtime folder and cache of their own: nothing of the
# user's Vorda is read or changed.
mkdir -m 0700 "$work/run"
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/run"
export VORDA_WALKTHROUGH_PASSWORD=$password QT_QPA_PLATFORM=$platform
if [ -n "$scale" ]; then
    export QT_SCALE_FACTOR=$scale
fi
command=("$walkthrough" --out "$out" --host "$host" --port "$port" --database "$database" --user "$user")
if [ "$platform" = xcb ]; then
    xvfb-run -a -s "-screen 0 1920x1440x24" "${command[@]}" >"$work/list"
else
    "${command[@]}" >"$work/list"
fi
# The committed pictures are kept small: at most 256 colours, without
# dithering (the window's own colours stay exact; only the shades of smooth
# text edges and gradients are merged), which makes them about a third as big.
if [ "$out" = "$top/docs/screenshots" ]; then
    while read -r picture; do
        convert "$picture" -dither None -colors 256 "PNG8:$picture"
    done <"$work/list"
fi
echo "$(wc -l <"$work/list") pictures written to $out"
