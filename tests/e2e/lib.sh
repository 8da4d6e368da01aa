# Shared harness for the end-to-end tests: the real executable under its own
# Xvfb with openbox as the window manager, driven with xdotool and observed
# with xwininfo, xprop and screenshots.
#
# A test script is called as `bash tests/e2e/test_<name>.sh <velmora-exe>`
# and typically reads:
#
#   source "$(dirname "$0")/lib.sh"
#   e2e_init "$@"                 # checks tools, makes the artifacts folder
#   e2e_start_x                   # Xvfb + openbox, stopped again on exit
#   e2e_fake_xdg_open             # optional: record URLs instead of opening
#   e2e_start_app                 # runs the executable
#   e2e_wait_window               # sets E2E_WINDOW, the program's window id
#   read -r x y w h < <(e2e_geometry "$E2E_WINDOW")
#   assert_eq 333 "$w" "card width"
#   e2e_pass
#
# Everything runs as root or not, with no display of its own; each test
# starts its own X server on a free display number, so tests never share one.
# Screenshots and logs go to $E2E_ARTIFACTS (by default e2e-artifacts/<test>
# beside the executable, i.e. in the build folder).

# Note for helpers: with pipefail, `cmd | grep -q` can fail at random when
# grep stops reading early and cmd dies of SIGPIPE; capture output instead.
set -u -o pipefail

E2E_TOOLS=(Xvfb openbox fc-cache xdotool xwininfo xprop import convert)

# Prints a failure message to stderr and ends the test with status 1.
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Prints a progress line that shows up in the test log.
e2e_log() {
    echo "[e2e ${E2E_NAME:-?}] $*" >&2
}

# e2e_init <velmora-exe> [args...]
# Checks the executable and the tools, sets E2E_EXE, E2E_NAME, E2E_TMP (a
# temporary folder removed on exit) and E2E_ARTIFACTS (kept), and installs
# the exit trap that stops everything this harness started.
e2e_init() {
    [[ $# -ge 1 ]] || fail "usage: $0 <path-to-velmora-executable>"
    E2E_EXE=$(readlink -f "$1")
    [[ -x "$E2E_EXE" ]] || fail "not an executable: $1"
    local tool
    for tool in "${E2E_TOOLS[@]}"; do
        command -v "$tool" >/dev/null || fail "missing tool '$tool' (packages xvfb openbox fontconfig xdotool x11-utils imagemagick)"
    done
    E2E_NAME=$(basename "$0" .sh)
    E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/velmora-e2e.XXXXXX")
    E2E_ARTIFACTS=${E2E_ARTIFACTS:-$(dirname "$E2E_EXE")/e2e-artifacts/$E2E_NAME}
    mkdir -p "$E2E_ARTIFACTS" || fail "cannot create $E2E_ARTIFACTS"
    E2E_PIDS=()
    APP_PID=
    trap e2e_cleanup EXIT
    trap 'exit 130' INT TERM
}

# Stops the program, openbox and Xvfb (newest first) and removes E2E_TMP.
# Runs from the exit trap; safe to call twice.
e2e_cleanup() {
    e2e_stop_x
    [[ -n "${E2E_TMP:-}" && -d "$E2E_TMP" ]] && rm -rf "$E2E_TMP"
    return 0
}

# e2e_stop_x
# Stops everything started so far (the program, openbox, Xvfb; newest
# first), so that a test can go on with another X server.
e2e_stop_x() {
    local i pid
    for ((i = ${#E2E_PIDS[@]} - 1; i >= 0; i--)); do
        pid=${E2E_PIDS[i]}
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    E2E_PIDS=()
    APP_PID=
    return 0
}

# e2e_wait_until <seconds> <command...>
# Runs the command every 0.1 s until it succeeds; status 1 on timeout.
e2e_wait_until() {
    local seconds=$1
    shift
    local tries=$((seconds * 10))
    while ((tries-- > 0)); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

# e2e_start_x [extra Xvfb arguments...]
# Starts Xvfb (1280 x 1024, depth 24, or $E2E_SCREEN as WIDTHxHEIGHTxDEPTH)
# on a free display number and openbox on it, exports DISPLAY, and waits
# until both answer. Xvfb picks the number itself (-displayfd), so tests
# running side by side never collide. Extra arguments go to Xvfb (e.g.
# `-dpi 120`; note that Xvfb cannot drop SHAPE).
e2e_start_x() {
    local fdfile=$E2E_TMP/display
    : >"$fdfile"
    Xvfb -displayfd 3 -screen 0 "${E2E_SCREEN:-1280x1024x24}" -nolisten tcp -noreset "$@" \
        3>"$fdfile" >"$E2E_ARTIFACTS/xvfb.log" 2>&1 &
    E2E_PIDS+=($!)
    E2E_XVFB_PID=$!
    # Xvfb writes the display number once it accepts connections.
    e2e_wait_until 20 grep -q '[0-9]' "$fdfile" || fail "Xvfb did not start (see $E2E_ARTIFACTS/xvfb.log)"
    export DISPLAY=":$(tr -dc '0-9' <"$fdfile")"
    e2e_wait_until 10 xprop -root _NET_SUPPORTED || fail "Xvfb on $DISPLAY does not answer"
    # Without a font cache openbox builds one as it decorates its first
    # window, holding the X server meanwhile (some 20 s on a fresh machine,
    # after it has announced itself), so the cache is brought up to date
    # first: a few milliseconds when it already is.
    fc-cache >/dev/null 2>&1 || e2e_log "fc-cache failed; openbox may be slow to start"
    openbox --sm-disable >"$E2E_ARTIFACTS/openbox.log" 2>&1 &
    E2E_PIDS+=($!)
    # openbox announces itself on the root window when it manages the screen.
    e2e_wait_until 60 e2e_wm_ready || fail "openbox did not start within 60 s (see $E2E_ARTIFACTS/openbox.log)"
    e2e_log "X server on $DISPLAY with openbox"
}

# Succeeds once a window manager has set _NET_SUPPORTING_WM_CHECK on the root.
e2e_wm_ready() {
    [[ "$(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null)" == *"window id"* ]]
}

# e2e_start_app [args...]
# Starts the executable under test in the background with its output in
# $E2E_ARTIFACTS/app.out and app.err; sets APP_PID.
e2e_start_app() {
    "$E2E_EXE" "$@" >"$E2E_ARTIFACTS/app.out" 2>"$E2E_ARTIFACTS/app.err" &
    APP_PID=$!
    E2E_PIDS+=($APP_PID)
    e2e_log "started $(basename "$E2E_EXE") as pid $APP_PID"
}

# Succeeds while the program started by e2e_start_app is still running
# (a process that has ended but not yet been reaped counts as ended).
e2e_app_running() {
    [[ -n "$APP_PID" && -r /proc/$APP_PID/stat ]] || return 1
    local state
    state=$(sed 's/.*) //' "/proc/$APP_PID/stat" 2>/dev/null | cut -d' ' -f1)
    [[ -n "$state" && "$state" != Z && "$state" != X ]]
}

# e2e_wait_app_exit <seconds>
# Waits for the program to end and sets E2E_APP_STATUS to its exit status;
# returns 1 if it is still running after that many seconds.
e2e_wait_app_exit() {
    local tries=$(($1 * 10))
    while e2e_app_running; do
        ((tries-- > 0)) || return 1
        sleep 0.1
    done
    E2E_APP_STATUS=0
    wait "$APP_PID" 2>/dev/null || E2E_APP_STATUS=$?
}

# e2e_find_windows [name]
# Prints the ids of the program's visible top-level windows, one a line:
# those of class velmora owned by APP_PID (any pid when none is running).
# With a name, only windows whose title matches it.
e2e_find_windows() {
    local name=${1:-}
    local ids id
    ids=$(xdotool search --onlyvisible --class '^velmora$' 2>/dev/null) || return 1
    for id in $ids; do
        if [[ -n "$APP_PID" ]]; then
            [[ "$(xprop -id "$id" _NET_WM_PID 2>/dev/null | awk '{print $3}')" == "$APP_PID" ]] || continue
        fi
        if [[ -n "$name" ]]; then
            [[ "$(xprop -id "$id" _NET_WM_NAME WM_NAME 2>/dev/null)" == *"\"$name\""* ]] || continue
        fi
        echo "$id"
    done
}

# e2e_about_window
# Prints the id of the program's visible window other than the card
# (E2E_WINDOW): the About window when it is open; status 1 when there is none.
e2e_about_window() {
    local id
    for id in $(e2e_find_windows); do
        [[ "$id" != "$E2E_WINDOW" ]] && echo "$id" && return 0
    done
    return 1
}

# e2e_wait_window [seconds] [name]
# Waits (30 s unless told: a loaded machine may start the program slowly)
# for a visible window of the program (with that title, if given) and sets
# E2E_WINDOW to its id; fails the test on timeout.
# (It sets a variable rather than printing, so that a failure ends the test
# itself and not just a command substitution.)
e2e_wait_window() {
    local seconds=${1:-30} name=${2:-}
    local tries=$((seconds * 10)) ids
    while ((tries-- > 0)); do
        ids=$(e2e_find_windows "$name")
        if [[ -n "$ids" ]]; then
            E2E_WINDOW=$(head -n1 <<<"$ids")
            return 0
        fi
        if [[ -n "$APP_PID" ]] && ! e2e_app_running; then
            fail "the program ended before showing a window (see $E2E_ARTIFACTS/app.err)"
        fi
        sleep 0.1
    done
    fail "no window${name:+ named '$name'} of the program within ${seconds}s"
}

# e2e_geometry <window-id>
# Prints "x y width height": the window's absolute position on the screen
# and its size, from xwininfo.
e2e_geometry() {
    xwininfo -id "$1" | awk '
        /Absolute upper-left X:/ { x = $NF }
        /Absolute upper-left Y:/ { y = $NF }
        /^ *Width:/ { w = $NF }
        /^ *Height:/ { h = $NF }
        END { if (w == "") exit 1; print x, y, w, h }'
}

# e2e_has_shape <window-id>
# Succeeds when the window has a bounding shape (not a plain rectangle).
e2e_has_shape() {
    local info
    info=$(xwininfo -id "$1" -shape) || fail "xwininfo -shape failed for window $1"
    [[ "$info" == *"Window shape extents"* ]]
}

# e2e_set_resources <text>
# Sets the root window's resource database (RESOURCE_MANAGER), as a desktop
# does with xrdb, e.g. e2e_set_resources $'Xft.dpi:\t120'. Programs read it
# when they connect, so call it before e2e_start_app.
e2e_set_resources() {
    xprop -root -f RESOURCE_MANAGER 8s -set RESOURCE_MANAGER "$1" || fail "cannot set RESOURCE_MANAGER"
}

# e2e_wm_state <window-id>
# Prints the window's _NET_WM_STATE atoms, comma-separated, as xprop shows them.
e2e_wm_state() {
    xprop -id "$1" _NET_WM_STATE | sed -n 's/^_NET_WM_STATE(ATOM) = //p'
}

# e2e_frame_decorated <window-id>
# Succeeds when the window manager drew a frame around the window: the
# client then sits inside its parent at a non-zero offset (title bar, border).
e2e_frame_decorated() {
    local rx ry
    read -r rx ry < <(xwininfo -id "$1" | awk '/Relative upper-left X:/ {x=$NF} /Relative upper-left Y:/ {y=$NF} END {print x, y}')
    [[ "$rx" != 0 || "$ry" != 0 ]]
}

# e2e_screenshot <name> [x y width height]
# Saves the root window (or that rectangle of it) as $E2E_ARTIFACTS/<name>.png
# and sets E2E_SHOT to the file's path.
e2e_screenshot() {
    local file=$E2E_ARTIFACTS/$1.png
    E2E_SHOT=$file
    if [[ $# -ge 5 ]]; then
        import -window root -crop "${4}x${5}+${2}+${3}" +repage "$file" || fail "screenshot $1 failed"
    else
        import -window root "$file" || fail "screenshot $1 failed"
    fi
}

# e2e_pixel <png> <x> <y>
# Prints the colour of one pixel as #RRGGBB.
e2e_pixel() {
    convert "$1" -crop "1x1+$2+$3" +repage -depth 8 -alpha off txt:- |
        sed -n 's/.*\(#[0-9A-Fa-f]\{6\}\).*/\1/p' | head -n1 | tr 'a-f' 'A-F'
}

# e2e_colour_distance <#RRGGBB> <#RRGGBB>
# Prints the largest difference between the two colours' channels.
e2e_colour_distance() {
    local a=${1#\#} b=${2#\#} i d max=0
    for i in 0 2 4; do
        d=$((16#${a:i:2} - 16#${b:i:2}))
        ((d < 0)) && d=$((-d))
        ((d > max)) && max=$d
    done
    echo "$max"
}

# e2e_click <x> <y> [button]
# Moves the pointer to the screen position and clicks (button 1 by default).
e2e_click() {
    xdotool mousemove --sync "$1" "$2" click "${3:-1}"
}

# e2e_double_click <x> <y>
# Two quick clicks of button 1 at the screen position.
e2e_double_click() {
    xdotool mousemove --sync "$1" "$2" click --repeat 2 --delay 80 1
}

# Puts a recorder named xdg-open first on PATH: each call appends its
# arguments, one call a line, to $XDG_OPEN_LOG, and opens nothing. Call it
# before e2e_start_app.
e2e_fake_xdg_open() {
    local bin=$E2E_TMP/bin
    mkdir -p "$bin"
    XDG_OPEN_LOG=$E2E_ARTIFACTS/xdg-open.log
    : >"$XDG_OPEN_LOG"
    cat >"$bin/xdg-open" <<EOF
#!/bin/sh
echo "\$*" >>"$XDG_OPEN_LOG"
EOF
    chmod +x "$bin/xdg-open"
    export PATH="$bin:$PATH" XDG_OPEN_LOG
}

# assert_eq <expected> <actual> <what>
assert_eq() {
    [[ "$1" == "$2" ]] || fail "$3: expected '$1', got '$2'"
}

# assert_ne <unexpected> <actual> <what>
assert_ne() {
    [[ "$1" != "$2" ]] || fail "$3: did not expect '$2'"
}

# assert_near <expected> <actual> <tolerance> <what>   (integers)
assert_near() {
    local d=$(($2 - $1))
    ((d < 0)) && d=$((-d))
    ((d <= $3)) || fail "$4: expected $1 +/- $3, got $2"
}

# assert_contains <haystack> <needle> <what>
assert_contains() {
    [[ "$1" == *"$2"* ]] || fail "$3: '$2' not found in '$1'"
}

# assert_not_contains <haystack> <needle> <what>
assert_not_contains() {
    [[ "$1" != *"$2"* ]] || fail "$3: '$2' found in '$1'"
}

# assert_cmd <what> <command...>   the command must succeed
assert_cmd() {
    local what=$1
    shift
    "$@" >/dev/null 2>&1 || fail "$what (command failed: $*)"
}

# assert_pixel <png> <x> <y> <#RRGGBB> <tolerance> <what>
# The pixel's channels must each lie within tolerance of the colour.
assert_pixel() {
    local got
    got=$(e2e_pixel "$1" "$2" "$3")
    [[ -n "$got" ]] || fail "$6: cannot read pixel ($2, $3) of $1"
    (($(e2e_colour_distance "$4" "$got") <= $5)) ||
        fail "$6: pixel ($2, $3) is $got, expected $4 +/- $5 (see $1)"
}

# assert_pixel_differs <png> <x> <y> <#RRGGBB> <tolerance> <what>
# The pixel must differ from the colour by more than tolerance on some channel.
assert_pixel_differs() {
    local got
    got=$(e2e_pixel "$1" "$2" "$3")
    [[ -n "$got" ]] || fail "$6: cannot read pixel ($2, $3) of $1"
    (($(e2e_colour_distance "$4" "$got") > $5)) ||
        fail "$6: pixel ($2, $3) is $got, too close to $4 (see $1)"
}

# Ends the test successfully with a closing line.
e2e_pass() {
    echo "PASS: ${E2E_NAME:-e2e}"
    exit 0
}
