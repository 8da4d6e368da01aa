#!/usr/bin/env bash
# The card opens as it should on a real X server: a 333 x 415 window centred
# on the screen, without decorations or taskbar entry, cut to rounded corners
# by a real window shape (the root window shows through the corners), the
# card face in the middle. Also: a display that cannot be opened gives one
# line on stderr and exit code 1, a 120 dpi desktop keeps the card's size,
# and a 192 dpi desktop shows it twice as large.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"

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
about=""
about_open() {
    local id
    for id in $(e2e_find_windows); do
        [[ "$id" != "$E2E_WINDOW" ]] && about=$id && return 0
    done
    return 1
}
e2e_wait_until 5 about_open || fail "no About window appeared at 192 dpi"
read -r ax ay aw ah < <(e2e_geometry "$about")
assert_eq "400 254" "$aw $ah" "About window size at 192 dpi"

e2e_pass
