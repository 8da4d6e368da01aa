#!/usr/bin/env bash
# The Windows build's tests, on Debian: cross-builds velmora.exe and the
# unit and whole-show test programs (scripts/windows.sh), runs them under
# Wine in one fresh prefix with an Xvfb of their own, checks the
# executable's imports and resources, then runs velmora.exe end to end under
# Wine (tests/e2e-windows). Called by scripts/test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/windows.sh
cmake --build build-windows -j 2

tmp=$(mktemp -d "${TMPDIR:-/tmp}/velmora-windows.XXXXXX")
xvfb=
# Every step may find its process gone already; none of that is a failure.
cleanup() {
    if [[ -n "${WINEPREFIX:-}" ]]; then wineserver -k >/dev/null 2>&1 || true; fi
    if [[ -n "$xvfb" ]]; then
        kill "$xvfb" 2>/dev/null || true
        wait "$xvfb" 2>/dev/null || true
    fi
    rm -rf "$tmp"
}
trap cleanup EXIT

# Windows programs open windows even in unit tests; they get their own
# X server (a free display number, picked by Xvfb itself).
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$tmp/display" >"$tmp/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 200); do
    grep -q '[0-9]' "$tmp/display" && break
    sleep 0.05
done
grep -q '[0-9]' "$tmp/display" || { echo "Xvfb did not start:" >&2; cat "$tmp/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(tr -dc '0-9' <"$tmp/display")"

export WINEPREFIX=$tmp/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
start=$SECONDS
bash tests/e2e-windows/prepare_prefix.sh "$WINEPREFIX"
echo "Wine prefix ready in $((SECONDS - start)) s"

ctest --test-dir build-windows --output-on-failure -j 2 -LE e2e
ctest --test-dir build-windows --output-on-failure -L e2e
