#!/usr/bin/env bash
# check-deb-in-chroot.sh FOLDER [DEB]
# Installs the Debian package (default: the newest build-deb/packages/
# vorda_*.deb, built by scripts/build-deb.sh when there is none) into a clean
# Debian 12 and checks that it works there, as a new user would get it:
#   - FOLDER/base: a minimal bookworm made by debootstrap --variant=minbase
#     on the first run and never changed afterwards;
#   - FOLDER/root: a fresh copy of base for every check, left behind for a look
#     afterwards, and removed at the start of the next check.
# In the copy: `apt-get install ./vorda_*.deb` from the Debian mirror; vorda in
# /usr/bin, its desktop entry, icons and metainfo under /usr/share; the X11 and
# Wayland platform plugins find all their libraries; a normal user starts
# vorda (offscreen, in a real X window under Xvfb, and on a headless Wayland
# compositor), it keeps running and creates its data folder in ~/.local/share. Needs root (re-runs itself with
# sudo), network access to the mirror, and a Linux that allows chroot and
# mounting /proc. DEBIAN_MIRROR and DEBIAN_SECURITY_MIRROR choose the mirrors;
# APT_INSTALL_OPTIONS=--no-install-recommends checks that the package's
# Depends alone make a working program.
set -euo pipefail
[[ $# -ge 1 && $# -le 2 ]] || { sed -n '2,3p' "$0" | sed 's/^# //' >&2; exit 2; }
if [[ $(id -u) -ne 0 ]]; then
    exec sudo --preserve-env=DEBIAN_MIRROR,DEBIAN_SECURITY_MIRROR,APT_INSTALL_OPTIONS "$0" "$@"
fi
cd "$(dirname "$0")/.."
top=$PWD
mkdir -p "$1"
folder=$(cd "$1" && pwd)
base="$folder/base"
root="$folder/root"
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
security=${DEBIAN_SECURITY_MIRROR:-http://deb.debian.org/debian-security}
case "$folder/" in
"$top"/*) echo "FOLDER must lie outside the project" >&2; exit 2 ;;
esac

deb=${2:-}
if [[ -z "$deb" ]]; then
    deb=$(ls -t build-deb/packages/vorda_*.deb 2>/dev/null | head -1 || true)
    if [[ -z "$deb" ]]; then
        scripts/build-deb.sh
        deb=$(ls -t build-deb/packages/vorda_*.deb | head -1)
    fi
fi
deb=$(realpath "$deb")

step() { printf '\n== %s\n' "$*"; }
failures=()
check() { # check TEXT COMMAND...: runs COMMAND, records TEXT as failed unless it succeeds
    local text=$1
    shift
    if "$@"; then echo "ok: $text"; else echo "FAILED: $text"; failures+=("$text"); fi
}
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
    DEBIAN_FRONTEND=noninteractive "$@"; }
# apt-get without a terminal of its own (the chroot has no /dev/pts).
apt_get() { in_root apt-get -q -o Dpkg::Use-Pty=0 "$@"; }
as_user() { chroot --userspec=tester:tester "$root" /usr/bin/env -i PATH=/usr/bin:/bin HOME=/home/tester \
    USER=tester LANG=C.UTF-8 XDG_RUNTIME_DIR=/run/user/tester "$@"; }

mounted_inside() { awk -v r="$root/" 'index($2 "/", r) == 1 { found = 1 } END { exit !found }' /proc/self/mounts; }
unmount_all() {
    if mountpoint -q "$root/proc" 2>/dev/null; then
        umount "$root/proc"
    fi
    if mounted_inside; then
        echo "something is still mounted under $root; not touching it" >&2
        return 1
    fi
}
trap unmount_all EXIT

if [[ ! -f "$base/etc/debian_version" ]]; then
    step "debootstrap --variant=minbase bookworm into $base"
    rm -rf "$base"
    debootstrap --variant=minbase bookworm "$base" "$mirror"
fi

step "fresh copy of the clean system in $root"
if [[ -e "$root" ]]; then
    unmount_all || exit 1
    rm -rf "$root"
fi
cp -a "$base" "$root"
cp /etc/resolv.conf "$root/etc/resolv.conf"
cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb $security bookworm-security main
EOF
mount -t proc proc "$root/proc"
echo "Debian $(cat "$root/etc/debian_version"), $(in_root dpkg-query -W -f='${binary:Package}\n' | wc -l) packages"

step "apt-get install ./$(basename "$deb")"
echo "Depends: $(dpkg-deb -f "$deb" Depends)"
echo "Recommends: $(dpkg-deb -f "$deb" Recommends)"
cp "$deb" "$root/tmp/"
apt_get update
before=$(in_root dpkg-query -W -f='${binary:Package}\n' | wc -l)
# shellcheck disable=SC2086 # the options are words
apt_get install -y ${APT_INSTALL_OPTIONS:-} "./tmp/$(basename "$deb")"
after=$(in_root dpkg-query -W -f='${binary:Package}\n' | wc -l)
echo "apt-get installed $((after - before)) packages"

step "installed files"
check "vorda is installed" in_root dpkg-query -W -f='${Status} ${Version}\n' vorda
check "vorda is /usr/bin/vorda on the PATH" test "$(in_root sh -c 'command -v vorda')" = /usr/bin/vorda
check "desktop entry /usr/share/applications/vorda.desktop" test -f "$root/usr/share/applications/vorda.desktop"
check "metainfo in /usr/share/metainfo" compgen -G "$root/usr/share/metainfo/*.metainfo.xml"
for size in 16x16 24x24 32x32 48x48 64x64 128x128 256x256; do
    check "icon $size" test -f "$root/usr/share/icons/hicolor/$size/apps/vorda.png"
done
check "scalable icon" test -f "$root/usr/share/icons/hicolor/scalable/apps/vorda.svg"
for unit in vorda-run-due.service vorda-run-due.timer; do
    check "systemd user unit $unit" test -f "$root/usr/lib/systemd/user/$unit"
done
check "manual page vorda(1)" test -f "$root/usr/share/man/man1/vorda.1.gz"
check "copyright and changelog" test -f "$root/usr/share/doc/vorda/copyright" -a -f "$root/usr/share/doc/vorda/changelog.gz"
in_root dpkg -L vorda | grep -v '/$' | sed 's/^/  /'
no_missing_libs() { ! in_root sh -c "ldd $1 | grep 'not found'"; }
check "the program finds all its libraries" no_missing_libs /usr/bin/vorda
plugin() { in_root dpkg -L "$1" | grep "/qt6/plugins/platforms/$2\$"; }
xcb=$(plugin libqt6gui6 libqxcb.so) || true
wayland=$(plugin qt6-wayland libqwayland-generic.so) || true
check "X11 platform plugin ${xcb:-(missing)} finds all its libraries" no_missing_libs "${xcb:-/missing}"
check "Wayland platform plugin ${wayland:-(missing)} finds all its libraries" no_missing_libs "${wayland:-/missing}"

step "a normal user starts vorda (offscreen)"
in_root useradd -m tester
in_root install -d -m 0700 -o tester -g tester /run/user/tester
status=0
as_user QT_QPA_PLATFORM=offscreen timeout 5 vorda >"$folder/offscreen.log" 2>&1 || status=$?
sed 's/^/  vorda: /' "$folder/offscreen.log"
check "vorda was still running after 5 s (stopped by timeout, status 124; got $status)" test "$status" -eq 124
data="$root/home/tester/.local/share/Tesmo/Vorda Quendal System"
check "data folder ~/.local/share/Tesmo/Vorda Quendal System created" test -d "$data"
check "a command works without a display" as_user vorda list
check "settings database vorda.db created" test -s "$data/vorda.db"
check "data folder readable only by its owner" \
    test "$(in_root stat -c '%a %U' "/home/tester/.local/share/Tesmo/Vorda Quendal System")" = "700 tester"
in_root ls -la "/home/tester/.local/share/Tesmo/Vorda Quendal System" | sed 's/^/  /'

step "a normal user starts vorda in a real X window (Xvfb)"
# Only for this check, after the package's own: the X server and a window lister.
apt_get install -y --no-install-recommends xvfb xauth x11-utils >/dev/null
rm -rf "$data"
status=0
as_user timeout 20 xvfb-run -a -s "-screen 0 1280x1024x24" sh -c \
    'vorda & sleep 6; xwininfo -root -tree | grep "Vorda"; kill $!; wait $!' >"$folder/x11.log" 2>&1 || status=$?
sed 's/^/  /' "$folder/x11.log"
check "the main window appeared on the X display" grep -q '"Vorda - Quendal System - Version:' "$folder/x11.log"
check "no platform plugin errors" bash -c "! grep -qi 'platform plugin' '$folder/x11.log'"
check "data folder created again under X11" test -s "$data/vorda.db"

step "a normal user starts vorda on Wayland (headless weston)"
apt_get install -y --no-install-recommends weston >/dev/null
rm -rf "$data"
status=0
as_user sh -c 'weston --backend=headless-backend.so --socket=wayland-check --idle-time=0 >/dev/null 2>&1 &
    w=$!; sleep 2; WAYLAND_DISPLAY=wayland-check QT_QPA_PLATFORM=wayland QT_LOGGING_RULES="qt.qpa.wayland=true" \
    timeout 6 vorda; s=$?; kill $w; exit $s' >"$folder/wayland.log" 2>&1 || status=$?
grep -E 'shell integration|xdg_toplevel.configure|platform plugin' "$folder/wayland.log" | sed 's/^/  /'
check "vorda ran on the Wayland platform until stopped (status 124; got $status)" test "$status" -eq 124
check "its windows were configured by the compositor" grep -q 'xdg_toplevel.configure' "$folder/wayland.log"
check "data folder created again under Wayland" test -s "$data/vorda.db"

step "result"
if [[ ${#failures[@]} -gt 0 ]]; then
    printf 'FAILED: %s\n' "${failures[@]}"
    exit 1
fi
echo "all checks passed; the system stays in $root for a look"
