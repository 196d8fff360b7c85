#!/usr/bin/env bash
# check-walkthrough.sh SCREENSHOTS_SCRIPT WALKTHROUGH
# Runs scripts/screenshots.sh against the test server (under xvfb-run when it
# is there, else on the offscreen platform) into a scratch folder, and checks
# that the walkthrough ended well and that every expected picture was written
# at a sensible size and is not blank (more than a handful of colours).
set -euo pipefail
script=$1 walkthrough=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

platform=()
command -v xvfb-run >/dev/null || platform=(--offscreen)
"$script" --test-server --out "$out" --walkthrough "$walkthrough" "${platform[@]}"

expected=(
    first-start main-window
    connection-editor-empty connection-editor connection-list connection-editor-edit
    schedule-editor schedule-list schedule-editor-edit
    backup-editor-empty backup-editor backup-list backup-editor-edit backup-editor-edit-connected
    execute-backup-list execute-backup database-backups restore-backup backup-viewer configuration
    message-error message-alert message-question message-self-closing
    password-prompt quick-start help-window
)
failed=0
for name in "${expected[@]}"; do
    file="$out/$name.png"
    if [ ! -s "$file" ]; then
        echo "FAIL: $name.png was not written"
        failed=1
        continue
    fi
    read -r width height colours < <(identify -format '%w %h %k\n' "$file")
    if [ "$width" -lt 300 ] || [ "$height" -lt 150 ] || [ "$colours" -lt 8 ]; then
        echo "FAIL: $name.png is ${width}x$height with $colours colours"
        failed=1
    fi
done
written=$(find "$out" -name '*.png' | wc -l)
if [ "$written" -ne "${#expected[@]}" ]; then
    echo "FAIL: $written pictures written, ${#expected[@]} expected:"
    ls "$out"
    failed=1
fi
[ "$failed" = 0 ] && echo "PASS: ${#expected[@]} pictures, none blank"
exit "$failed"
