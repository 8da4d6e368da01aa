#!/usr/bin/env bash
# The card opens as it should on a real X server: a 333 x 415 window centred
# on the screen, without decorations or taskbar entry, cut to rounded corners
# by a real window shape (the root window shows through the corners), the
# card face in the middle. Also: a display that cannot be opened gives one
# line on stderr and exit code 1, a 120 dpi desktop keeps the card's size,
# and a 192 dpi desktop shows it twice as large.
# And on hostile desktops: without /proc the card still starts; a damaged
# "Arial" among the user's fonts changes nothing; windows destroyed by
# another client are let go (the card answers again; the card destroyed
# ends the program with exit code 0); a depth-16 screen shows the card's
# colours, with and without a full-colour visual on offer; a screen smaller
# than the card gets the card at its top-left corner.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"

no_about_window() { ! e2e_about_window >/dev/null; }

# Opens the About window from the card at (x, y) and sets ABOUT to its id.
open_about() {
    e2e_click $((x + 166)) $((y + 330))
    sleep 0.4
    e2e_click $((x + 316)) $((y + 37))
    e2e_wait_until 5 e2e_about_window || fail "no About window appeared ($1)"
    ABOUT=$(e2e_about_window)
}

# Points of the card face away from the flickering flame: ground, cross,
# candle, lettering.
colour_points=("30 200" "120 95" "230 95" "166 20" "166 280" "100 385" "250 385")

# No display at all.
err=$(DISPLAY=:999 "$E2E_EXE" 2>&1 >/dev/null)
status=$?
assert_eq 1 "$status" "exit code without a display"
assert_eq 1 "$(printf '%s\n' "$err" | wc -l)" "lines of the error report"
assert_contains "$err" "velmora:" "error report"

# A white root window, so that the corners of the card are told apart from
# its dark ground.
e2e_start_x -wr
e2e_start_app
e2e_wait_window

read -r x y w h < <(e2e_geometry "$E2E_WINDOW")
assert_eq 333 "$w" "card width"
assert_eq 415 "$h" "card height"
assert_eq $(((1280 - 333) / 2)) "$x" "card x (centred)"
assert_eq $(((1024 - 415) / 2)) "$y" "card y (centred)"
assert_cmd "window shape" e2e_has_shape "$E2E_WINDOW"
if e2e_frame_decorated "$E2E_WINDOW"; then fail "the window manager decorated the card"; fi
assert_contains "$(e2e_wm_state "$E2E_WINDOW")" "_NET_WM_STATE_SKIP_TASKBAR" "window state"

sleep 1
e2e_screenshot card "$x" "$y" "$w" "$h"
shot=$E2E_SHOT
# Outside the rounded corners lies the white root window; just inside them,
# and in the middle, the card's dark ground and picture.
for corner in "0 0" "332 0" "0 414" "332 414" "2 1" "330 413"; do
    read -r cx cy <<<"$corner"
    assert_pixel "$shot" "$cx" "$cy" "#FFFFFF" 10 "corner ($cx, $cy) shows the root window"
done
assert_pixel_differs "$shot" 15 15 "#FFFFFF" 60 "inside the corner"
assert_pixel_differs "$shot" 166 300 "#FFFFFF" 60 "card centre"
assert_pixel_differs "$shot" 20 400 "#FFFFFF" 60 "card bottom-left"

# The pointer passes through the corners: a click there reaches the root.
e2e_click $((x + 1)) $((y + 1))
sleep 0.5
assert_cmd "the card is still running" e2e_app_running
kill "$APP_PID"
e2e_wait_app_exit 5 || fail "the card did not stop"
colours24=()
for point in "${colour_points[@]}"; do
    colours24+=("$(e2e_pixel "$shot" $point)")
done

# No /proc (a chroot, a sandbox): the program cannot read its own path
# there, and still starts. Needs a mount namespace (root in CI).
if unshare -m sh -c 'mount -t tmpfs none /proc' 2>/dev/null; then
    unshare -m sh -c 'mount -t tmpfs none /proc && exec "$0"' "$E2E_EXE" \
        >"$E2E_ARTIFACTS/no-proc.out" 2>"$E2E_ARTIFACTS/no-proc.err" &
    APP_PID=$!
    E2E_PIDS+=($APP_PID)
    e2e_wait_window
    sleep 0.5
    assert_cmd "the card without /proc is still running" e2e_app_running
    kill "$APP_PID"
    e2e_wait_app_exit 5 || fail "the card without /proc did not stop"
else
    e2e_log "no mount namespace here: the start without /proc is not tried"
fi

# A damaged "Arial" among the user's fonts: the card draws text with its
# own faces and never reads it.
home=$E2E_TMP/home
mkdir -p "$home/.fonts"
head -c 30000 /usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf >"$home/.fonts/Arial.ttf"
if command -v fc-cache >/dev/null; then HOME=$home fc-cache -f "$home/.fonts" >/dev/null 2>&1; fi
HOME=$home e2e_start_app
e2e_wait_window
read -r x y w h < <(e2e_geometry "$E2E_WINDOW")
open_about "with a damaged Arial"
sleep 0.5
assert_cmd "the card with a damaged Arial is still running" e2e_app_running
e2e_screenshot about-damaged-arial

# Another client destroys the About window: the card takes input again,
# and its About button opens a new About window.
xdotool windowclose "$ABOUT"
e2e_wait_until 5 no_about_window || fail "the destroyed About window is still listed"
open_about "after the first was destroyed from outside"
xdotool windowclose "$ABOUT"
e2e_wait_until 5 no_about_window || fail "the second About window is still listed"
# Another client destroys the card: the program ends, and without error.
xdotool windowclose "$E2E_WINDOW"
e2e_wait_app_exit 5 || fail "the program did not end when its card was destroyed"
assert_eq 0 "$E2E_APP_STATUS" "exit code after the card was destroyed from outside"

# A desktop at 120 dots per inch: the card keeps its pixel size.
e2e_set_resources $'Xft.dpi:\t120'
e2e_start_app
e2e_wait_window
read -r x y w h < <(e2e_geometry "$E2E_WINDOW")
assert_eq 333 "$w" "card width at 120 dpi"
assert_eq 415 "$h" "card height at 120 dpi"
kill "$APP_PID"
e2e_wait_app_exit 5 || fail "the card did not stop"

# A desktop at 192 dots per inch: every pixel of the card is shown as 2 x 2,
# so the card is twice as large, centred and shaped, its corners still show
# the root window, and the About window is twice its size too.
e2e_set_resources $'Xft.dpi:\t192'
e2e_start_app
e2e_wait_window
read -r x y w h < <(e2e_geometry "$E2E_WINDOW")
assert_eq 666 "$w" "card width at 192 dpi"
assert_eq 830 "$h" "card height at 192 dpi"
assert_eq $(((1280 - 666) / 2)) "$x" "card x at 192 dpi (centred)"
assert_cmd "window shape at 192 dpi" e2e_has_shape "$E2E_WINDOW"
sleep 1
e2e_screenshot card-192dpi "$x" "$y" "$w" "$h"
shot=$E2E_SHOT
for corner in "0 0" "665 0" "0 829" "665 829" "4 2"; do
    read -r cx cy <<<"$corner"
    assert_pixel "$shot" "$cx" "$cy" "#FFFFFF" 10 "corner ($cx, $cy) at 192 dpi shows the root window"
done
assert_pixel_differs "$shot" 30 30 "#FFFFFF" 60 "inside the corner at 192 dpi"
assert_pixel_differs "$shot" 332 600 "#FFFFFF" 60 "card centre at 192 dpi"
# The card's buttons and its About window, at twice their size.
e2e_click $((x + 332)) $((y + 660))
sleep 0.4
e2e_click $((x + 632)) $((y + 74))
e2e_wait_until 5 e2e_about_window || fail "no About window appeared at 192 dpi"
read -r ax ay aw ah < <(e2e_geometry "$(e2e_about_window)")
assert_eq "400 254" "$aw $ah" "About window size at 192 dpi"

e2e_stop_x

# A depth-16 screen, as in many VNC sessions: the card starts and shows its
# colours within what 16-bit pixels can hold; first with the full-colour
# depth-32 visual the Composite extension offers there, then with only
# 16-bit visuals.
for variant in with-32-bit-visual only-16-bit; do
    extra=()
    [[ $variant == only-16-bit ]] && extra=(-extension Composite)
    E2E_SCREEN=1280x1024x16 e2e_start_x -wr "${extra[@]}"
    e2e_start_app
    e2e_wait_window
    read -r x y w h < <(e2e_geometry "$E2E_WINDOW")
    assert_eq "333 415" "$w $h" "card size at depth 16 ($variant)"
    sleep 1
    e2e_screenshot "depth16-$variant" "$x" "$y" "$w" "$h"
    for i in "${!colour_points[@]}"; do
        assert_pixel "$E2E_SHOT" ${colour_points[i]} "${colours24[i]}" 10 "colour at (${colour_points[i]}), depth 16, $variant"
    done
    assert_pixel "$E2E_SHOT" 0 0 "#FFFFFF" 10 "corner at depth 16 ($variant)"
    e2e_stop_x
done

# A screen smaller than the card: the card hangs from its top-left corner.
E2E_SCREEN=320x240x24 e2e_start_x
e2e_start_app
e2e_wait_window
read -r x y w h < <(e2e_geometry "$E2E_WINDOW")
assert_eq "0 0 333 415" "$x $y $w $h" "card on a 320 x 240 screen"

e2e_pass
