#!/usr/bin/env bash
# check-lintian.sh BUILD_DIR
# Packs the build with CPack into a scratch folder, as scripts/build-deb.sh
# does, and lets lintian check the package: no error and no warning may be
# left (tags of lower levels are printed, not counted).
set -euo pipefail
build=${1:?build folder}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "FAIL: cpack could not build the package"
    exit 1
fi
debs=("$work"/vorda_*.deb)
[[ -f "${debs[0]}" ]] || { echo "FAIL: cpack made no vorda_*.deb"; exit 1; }
# Info tags are shown for reading; the check fails on errors and warnings.
lintian --info --display-level '>=info' --fail-on error,warning "${debs[0]}" && status=0 || status=$?
if [[ $status -ne 0 ]]; then
    echo "FAIL: lintian reports errors or warnings on $(basename "${debs[0]}")"
    exit 1
fi
echo "lintian: no errors or warnings on $(basename "${debs[0]}")"
