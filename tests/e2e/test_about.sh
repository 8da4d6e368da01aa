#!/usr/bin/env bash
# The About window on a real X server: opened from the card's About button
# it is a borderless oval centred on the screen (the corners of its
# rectangle show what lies beneath), it takes the card's input away, each
# link click hands its web address to xdg-open exactly once, and its close
# button takes it away and gives the card its input back.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"

changed_pixels() {
    compare -metric AE -fuzz 8% "$1" "$2" null: 2>&1 | cut -d' ' -f1
}

e2e_start_x -wr
e2e_fake_xdg_open
e2e_start_app
started=$SECONDS
e2e_wait_window
read -r x y w h < <(e2e_geometry "$E2E_WINDOW")

# At 96 dpi the About window is 200 x 127 pixels, centred on the screen;
# its close button lies at (160, 28), its links across the window at rows
# 45 (the maker's page) and 88 (the home page), 14 pixels high.
aw=200 ah=127
ax=$(((1280 - aw) / 2)) ay=$(((1024 - ah) / 2))
sleep 1
e2e_screenshot beneath "$ax" "$ay" "$aw" "$ah"
beneath=$E2E_SHOT
e2e_screenshot card-buttons-hidden $((x + 307)) $((y + 7)) 18 39
hidden=$E2E_SHOT

# Click the card, then its About button.
e2e_click $((x + 166)) $((y + 330))
sleep 0.4
e2e_click $((x + 316)) $((y + 37))
e2e_wait_until 5 e2e_about_window || fail "no About window appeared"
about=$(e2e_about_window)
read -r gx gy gw gh < <(e2e_geometry "$about")
assert_eq "$aw $ah" "$gw $gh" "About window size"
assert_near "$ax" "$gx" 1 "About window x (centred)"
assert_near "$ay" "$gy" 1 "About window y (centred)"
assert_cmd "About window shape" e2e_has_shape "$about"
if e2e_frame_decorated "$about"; then fail "the window manager decorated the About window"; fi
sleep 0.5

# Oval: the corners of its rectangle still show the card beneath, the middle
# shows the About window's dark red-brown ground.
e2e_screenshot about "$ax" "$ay" "$aw" "$ah"
shot=$E2E_SHOT
for corner in "0 0" "$((aw - 1)) 0" "0 $((ah - 1))" "$((aw - 1)) $((ah - 1))" "8 4" "$((aw - 9)) $((ah - 5))"; do
    read -r cx cy <<<"$corner"
    assert_pixel "$shot" "$cx" "$cy" "$(e2e_pixel "$beneath" "$cx" "$cy")" 12 "corner ($cx, $cy) shows what lies beneath"
done
for inside in "100 20" "30 63" "170 63" "100 118"; do
    read -r cx cy <<<"$inside"
    assert_pixel_differs "$shot" "$cx" "$cy" "$(e2e_pixel "$beneath" "$cx" "$cy")" 12 "inside the oval at ($cx, $cy)"
done
# The picture buttons went away with the click on About.
e2e_screenshot card-buttons-about-open $((x + 307)) $((y + 7)) 18 39
n=$(changed_pixels "$hidden" "$E2E_SHOT")
((n < 10)) || fail "the card's buttons are shown beside the About window ($n pixels)"

# One click on the home page link: exactly one call of xdg-open.
e2e_click $((ax + 100)) $((ay + 95))
e2e_wait_until 5 test -s "$XDG_OPEN_LOG" || fail "the home page link opened nothing"
sleep 0.5
assert_eq "https://www.velmora.example" "$(cat "$XDG_OPEN_LOG")" "xdg-open calls after one click on the home page link"
# The maker's page link adds one more.
e2e_click $((ax + 100)) $((ay + 52))
e2e_wait_until 5 test "$(wc -l <"$XDG_OPEN_LOG")" -ge 2 || fail "the maker's page link opened nothing"
sleep 0.5
assert_eq 2 "$(wc -l <"$XDG_OPEN_LOG")" "xdg-open calls after two link clicks"
assert_eq "https://www.velmora.example/studio" "$(tail -n1 "$XDG_OPEN_LOG")" "the maker's page"
assert_eq "$about" "$(e2e_about_window)" "the About window stays open after the link clicks"

# The close button takes the About window away and returns to the card.
e2e_click $((ax + 169)) $((ay + 37))
e2e_wait_until 5 eval '! e2e_about_window' || fail "the About window did not close"
assert_cmd "the program runs on" e2e_app_running
assert_eq "$E2E_WINDOW" "$(e2e_find_windows)" "the card is the only window left"
sleep 0.3
e2e_screenshot beneath-after "$ax" "$ay" "$aw" "$ah"
assert_pixel "$E2E_SHOT" 100 20 "$(e2e_pixel "$beneath" 100 20)" 12 "the card shows again where the About window was"
e2e_click $((x + 166)) $((y + 330))
sleep 0.5
e2e_screenshot card-buttons-again $((x + 307)) $((y + 7)) 18 39
n=$(changed_pixels "$hidden" "$E2E_SHOT")
((n > 300)) || fail "the card takes no clicks after the About window closed ($n pixels changed)"

# Open it again once the greeting panel has come and gone (it hides the
# buttons at 21 s and covers the card until about 34 s; on a slow machine
# the steps above may reach into that time). The card takes no input while
# the About window is open: a click on the card brings up no buttons, a
# double-click does not end the program, and the About window stays in
# front of the card.
while ((SECONDS - started < 36)); do sleep 0.5; done
e2e_click $((x + 166)) $((y + 330))
sleep 0.4
e2e_click $((x + 316)) $((y + 37))
e2e_wait_until 5 e2e_about_window || fail "the About window did not open a second time"
e2e_click $((x + 60)) $((y + 380))
e2e_double_click $((x + 60)) $((y + 380))
sleep 0.5
assert_cmd "the program runs on after a blocked double-click" e2e_app_running
e2e_screenshot card-buttons-blocked $((x + 307)) $((y + 7)) 18 39
n=$(changed_pixels "$hidden" "$E2E_SHOT")
((n < 10)) || fail "a click on the card showed its buttons while the About window is open ($n pixels)"
e2e_screenshot about-after-card-click "$ax" "$ay" "$aw" "$ah"
n=$(changed_pixels "$shot" "$E2E_SHOT")
((n < aw * ah / 20)) || fail "the About window went behind the card after a click on the card ($n pixels changed, see $E2E_SHOT)"
[[ -s "$E2E_ARTIFACTS/app.err" ]] && fail "the program wrote errors: $(cat "$E2E_ARTIFACTS/app.err")"

e2e_pass
