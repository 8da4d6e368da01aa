#!/usr/bin/env bash
# Pointer controls on a real X server: a click on the card brings up the two
# picture buttons at its upper right, they go away by themselves about three
# seconds later, and a double-click ends the program with exit code 0.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"

# Pixels that differ by more than a little between two same-sized images.
changed_pixels() {
    compare -metric AE -fuzz 8% "$1" "$2" null: 2>&1 | cut -d' ' -f1
}

# Sleeps until the given number of milliseconds after the time in ms.
sleep_until() {
    local wait=$(($1 + $2 - $(date +%s%3N)))
    ((wait > 0)) && sleep "$((wait / 1000)).$(printf %03d $((wait % 1000)))"
    return 0
}

e2e_start_x -wr
e2e_start_app
e2e_wait_window
read -r x y w h < <(e2e_geometry "$E2E_WINDOW")
assert_eq 333 "$w" "card width"

# At 96 dpi the layout puts the close button at (307, 7) and the About
# button at (307, 28), both 18 x 18: one column 8 pixels in from the right.
bx=$((x + 307)) by=$((y + 7)) bw=18 bh=39
sleep 1
e2e_screenshot buttons-before "$bx" "$by" "$bw" "$bh"
before=$E2E_SHOT

e2e_click $((x + 166)) $((y + 330))
clicked=$(date +%s%3N)
sleep 0.6
e2e_screenshot buttons-shown "$bx" "$by" "$bw" "$bh"
shown=$E2E_SHOT
n=$(changed_pixels "$before" "$shown")
((n > 300)) || fail "the buttons did not appear: only $n of $((bw * bh)) pixels changed (see $shown)"
# The gap between the two buttons still shows the card.
convert "$before" -crop 18x3+0+18 +repage "$E2E_TMP/gap-before.png"
convert "$shown" -crop 18x3+0+18 +repage "$E2E_TMP/gap-shown.png"
n=$(changed_pixels "$E2E_TMP/gap-before.png" "$E2E_TMP/gap-shown.png")
((n < 10)) || fail "the gap between the buttons changed ($n pixels)"

# Still there two seconds after the click...
sleep_until "$clicked" 2000
e2e_screenshot buttons-2s "$bx" "$by" "$bw" "$bh"
n=$(changed_pixels "$before" "$E2E_SHOT")
((n > 300)) || fail "the buttons went away before three seconds had passed"
# ...and gone a little after three.
sleep_until "$clicked" 3800
e2e_screenshot buttons-gone "$bx" "$by" "$bw" "$bh"
n=$(changed_pixels "$before" "$E2E_SHOT")
((n < 10)) || fail "the buttons are still shown 3.8 s after the click ($n pixels differ)"

# A double-click on the card ends the program at once, with exit code 0.
e2e_double_click $((x + 120)) $((y + 300))
e2e_wait_app_exit 5 || fail "the program did not end on a double-click"
assert_eq 0 "$E2E_APP_STATUS" "exit code after a double-click"
[[ -s "$E2E_ARTIFACTS/app.err" ]] && fail "the program wrote errors: $(cat "$E2E_ARTIFACTS/app.err")"
[[ -z "$(e2e_find_windows)" ]] || fail "a window of the program is still shown"

e2e_pass
