#!/usr/bin/env bash
# check-units.sh UNIT_DIR PROGRAM
# Checks the systemd user units of scheduled backups with systemd-analyze
# verify, as the user's manager would load them. The service names the
# program by its bare name, which systemd looks up in its own search path
# (/usr/local/bin, /usr/bin, ...); here it is pointed at PROGRAM, the one just
# built. Also checks the timer's calendar and that the service runs run-due.
set -euo pipefail
units=${1:?unit folder}
program=${2:?program}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/runtime"
cp "$units/vorda-run-due.service" "$units/vorda-run-due.timer" "$work/"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

grep -qx 'ExecStart=vorda run-due' "$work/vorda-run-due.service" || fail "the service does not run 'vorda run-due'"
grep -qx 'OnCalendar=\*:0/15' "$work/vorda-run-due.timer" || fail "the timer is not every quarter hour"
grep -qx 'Persistent=true' "$work/vorda-run-due.timer" || fail "the timer is not persistent"
grep -qx 'WantedBy=timers.target' "$work/vorda-run-due.timer" || fail "the timer cannot be enabled"
sed -i "s|^ExecStart=vorda |ExecStart=$program |" "$work/vorda-run-due.service"

unit=$(sed -n 's/^Unit=//p' "$work/vorda-run-due.timer")
[[ -z "$unit" || "$unit" == vorda-run-due.service ]] || fail "the timer starts $unit, not vorda-run-due.service"

# --man=no: the manual page the units name is checked with the package. An
# unknown key is only a warning to verify: any word from it fails the check.
if ! said=$(cd "$work" && XDG_RUNTIME_DIR="$work/runtime" systemd-analyze --user --man=no verify \
        ./vorda-run-due.timer ./vorda-run-due.service 2>&1); then
    fail "systemd-analyze verify rejects the units: $said"
elif [[ -n "$said" ]]; then
    fail "systemd-analyze verify warns: $said"
fi
# The calendar as systemd reads it.
systemd-analyze calendar '*:0/15' | grep -q 'Normalized form: \*-\*-\* \*:00/15:00' || fail "the calendar reads otherwise"

if [[ $failures -gt 0 ]]; then
    echo "$failures problem(s) in the systemd units"
    exit 1
fi
echo "systemd units: all checks passed"
