#!/usr/bin/env bash
# check-install.sh CMAKE BUILD_DIR VERSION
# Installs the build into a scratch folder (prefix /usr, as the Debian package
# does) and checks the desktop integration there: the program and the file
# names the desktop entry and the metainfo point at, every hicolor PNG at the
# size its folder names, and desktop-file-validate and appstreamcli validate
# --no-net on the installed files. Fails on the first problem, saying which.
set -euo pipefail
cmake=$1
build=$2
version=$3

for tool in desktop-file-validate appstreamcli; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/install-deps.sh --test installs it)"; exit 1; }
done

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR="$root" "$cmake" --install "$build" --prefix /usr >"$root.log" 2>&1 || { cat "$root.log"; rm -f "$root.log"; exit 1; }
rm -f "$root.log"
share="$root/usr/share"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A PNG's width and height, from its IHDR chunk.
png_size() {
    local bytes
    read -r -a bytes <<<"$(od -An -tu1 -j16 -N8 "$1")"
    echo "$(( (bytes[0] << 24) | (bytes[1] << 16) | (bytes[2] << 8) | bytes[3] ))x$(( (bytes[4] << 24) | (bytes[5] << 16) | (bytes[6] << 8) | bytes[7] ))"
}

desktop="$share/applications/vorda.desktop"
[[ -f "$desktop" ]] || fail "no share/applications/vorda.desktop"
metainfo=("$share"/metainfo/*.metainfo.xml)
[[ ${#metainfo[@]} -eq 1 && -f "${metainfo[0]}" ]] || fail "expected one metainfo file, found: ${metainfo[*]}"
[[ -x "$root/usr/bin/vorda" ]] || fail "no executable bin/vorda"

if [[ -f "$desktop" ]]; then
    exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
    icon_name=$(sed -n 's/^Icon=//p' "$desktop")
    [[ -x "$root/usr/bin/$exec_name" ]] || fail "Exec=$exec_name is not an installed program"
    [[ -f "$share/icons/hicolor/scalable/apps/$icon_name.svg" ]] || fail "Icon=$icon_name has no scalable icon"
    for size in 16 24 32 48 64 128 256; do
        png="$share/icons/hicolor/${size}x${size}/apps/$icon_name.png"
        if [[ ! -f "$png" ]]; then
            fail "Icon=$icon_name has no ${size}x${size} PNG"
        elif [[ "$(png_size "$png")" != "${size}x${size}" ]]; then
            fail "${size}x${size}/apps/$icon_name.png is $(png_size "$png")"
        fi
    done
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects vorda.desktop"
fi

if [[ -f "${metainfo[0]}" ]]; then
    id=$(sed -n 's:.*<id>\(.*\)</id>.*:\1:p' "${metainfo[0]}")
    [[ "$(basename "${metainfo[0]}")" == "$id.metainfo.xml" ]] || fail "metainfo file name does not match its id $id"
    launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "${metainfo[0]}")
    [[ -f "$share/applications/$launchable" ]] || fail "launchable $launchable is not installed"
    grep -q "<release version=\"$version\"" "${metainfo[0]}" || fail "the metainfo has no release $version"
    appstreamcli validate --no-net "${metainfo[0]}" || fail "appstreamcli validate rejects $(basename "${metainfo[0]}")"
fi

# Scheduled backups without the window, the manual page, and the package's
# copyright and changelog, compressed as Debian keeps them.
for unit in vorda-run-due.service vorda-run-due.timer; do
    [[ -f "$root/usr/lib/systemd/user/$unit" ]] || fail "no lib/systemd/user/$unit"
done
man="$share/man/man1/vorda.1.gz"
if [[ ! -f "$man" ]]; then
    fail "no share/man/man1/vorda.1.gz"
else
    gzip -t "$man" || fail "vorda.1.gz is no gzip file"
    # groff's warnings, as Debian's checks read them.
    warnings=$(zcat "$man" | LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z - 2>&1 >/dev/null)
    [[ -z "$warnings" ]] || fail "the manual page has warnings: $warnings"
    zcat "$man" | grep -q '^\.TH VORDA 1 ' || fail "vorda.1 has no title line"
fi
doc="$share/doc/vorda"
[[ -f "$doc/copyright" ]] || fail "no share/doc/vorda/copyright"
if [[ ! -f "$doc/changelog.gz" ]]; then
    fail "no share/doc/vorda/changelog.gz"
else
    zcat "$doc/changelog.gz" | head -1 | grep -q "^vorda ($version) " || fail "the changelog does not begin with version $version"
fi

if [[ $failures -gt 0 ]]; then
    echo "$failures problem(s) in the installed desktop files"
    exit 1
fi
echo "installed desktop files: all checks passed"
