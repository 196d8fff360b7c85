#!/usr/bin/env bash
# Builds the Debian package build-deb/packages/vorda_<version>_<arch>.deb:
# the program alone, compiled with Debian's hardening flags (dpkg-buildflags)
# in its own build folder, packed by CPack with the dependencies that
# dpkg-shlibdeps finds. Extra arguments go to CMake (for example
# -DVORDA_SCREENSHOT_URL=https://.../docs/screenshots).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --package
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    cmake -S . -B build-deb -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build build-deb --target vorda vorda_docs --parallel "$(nproc)"
rm -f build-deb/packages/vorda_*.deb
(cd build-deb && cpack -G DEB)
ls build-deb/packages/vorda_*.deb
