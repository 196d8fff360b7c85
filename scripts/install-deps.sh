#!/usr/bin/env bash
# Installs the Debian 12 packages Vorda needs to build and run; with --test
# also those of the test suite and the benchmarks, with --bench those and the
# tools the side-by-side benchmark compares with (sysbench, mydumper), with
# --package those that build the Debian package and check it in a clean
# chroot. Safe to run again.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkgconf
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libqt6svg6
    libmariadb-dev libsqlite3-dev libzstd-dev
    fonts-dejavu-core
)
test_packages=(mariadb-server mariadb-client tzdata xvfb xauth imagemagick time desktop-file-utils appstream dbus-daemon zstd)
case "${1:-}" in
--test) packages+=("${test_packages[@]}") ;;
--bench) packages+=("${test_packages[@]}" sysbench mydumper) ;;
--package) packages+=(dpkg-dev debootstrap) ;;
esac

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [[ ${#missing[@]} -eq 0 ]]; then
    exit 0
fi

sudo=()
if [[ $(id -u) -ne 0 ]]; then
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update
"${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
