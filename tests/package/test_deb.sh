#!/usr/bin/env bash
# Installs the Debian package on this machine as a user would, checks what
# it put in place, opens the installed card under its own Xvfb through the
# PATH, then removes the package again (also when a check fails).
#
# Usage: bash tests/package/test_deb.sh dist/velmora_<release>_<arch>.deb
# Needs root (or sudo) for apt-get; scripts/test.sh runs it in CI.
source "$(dirname "$0")/../e2e/lib.sh"

[[ $# -eq 1 && -f "$1" ]] || fail "usage: $0 <velmora .deb>"
DEB=$(readlink -f "$1")
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
SUDO=""
[[ $(id -u) -eq 0 ]] || SUDO=sudo
APP_ID=example.velmora.Velmora

remove_package() {
    if [[ "$(dpkg-query -W -f='${Status}' velmora 2>/dev/null)" == "install ok installed" ]]; then
        DEBIAN_FRONTEND=noninteractive $SUDO apt-get remove -y -qq velmora >/dev/null
    fi
}

# apt-get resolves the dependencies the package declares; recommendations
# (xdg-utils) are left out to keep the test machine as it was.
echo "[package] installing $(basename "$DEB")" >&2
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "$DEB" >/dev/null ||
    { remove_package; fail "apt-get could not install $DEB"; }

# Debian puts games in /usr/games, which is on every user's PATH (login
# shells and desktop sessions) but not on root's.
export PATH="$PATH:/usr/games"
EXE=$(command -v velmora) || { remove_package; fail "velmora is not on the PATH after installing"; }

# The harness keeps its artifacts beside the executable unless told: keep
# them in the release build folder instead of /usr/games.
export E2E_ARTIFACTS=${E2E_ARTIFACTS:-$ROOT/build-release/package-artifacts}
e2e_init "$EXE"
trap 'e2e_cleanup; remove_package' EXIT

assert_eq /usr/games/velmora "$EXE" "installed executable"
for f in /usr/share/applications/$APP_ID.desktop \
         /usr/share/metainfo/$APP_ID.metainfo.xml \
         /usr/share/man/man6/velmora.6.gz \
         /usr/share/doc/velmora/copyright \
         /usr/share/doc/velmora/changelog.gz; do
    [[ -s $f ]] || fail "the package did not install $f"
done
for size in 16 24 32 48 64 128 256; do
    icon=/usr/share/icons/hicolor/${size}x$size/apps/$APP_ID.png
    [[ "$(identify -format '%wx%h' "$icon" 2>/dev/null)" == "${size}x$size" ]] ||
        fail "icon $icon missing or not $size x $size pixels"
done
# The desktop entry names the installed program and icon.
entry=$(cat /usr/share/applications/$APP_ID.desktop)
assert_contains "$entry" $'\nExec=velmora\n' "desktop entry's command"
assert_contains "$entry" $'\nIcon='"$APP_ID"$'\n' "desktop entry's icon"

# The installed card opens as it does from the build folder.
e2e_start_x
e2e_start_app
e2e_wait_window
read -r x y w h < <(e2e_geometry "$E2E_WINDOW")
assert_eq 333 "$w" "card width"
assert_eq 415 "$h" "card height"
e2e_has_shape "$E2E_WINDOW" || fail "the installed card's window has no shape"
e2e_screenshot installed-card "$x" "$y" "$w" "$h"
e2e_cleanup

remove_package
[[ ! -e /usr/games/velmora ]] || fail "/usr/games/velmora is still there after apt-get remove"
trap - EXIT
e2e_pass
