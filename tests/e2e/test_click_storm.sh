#!/usr/bin/env bash
# A storm of clicks on a real X server: hundreds of clicks all over the card
# face, alternating between its left and right halves so that no two in a
# row make a double-click, and well away from the picture buttons. The card
# must come out of it still animating, still shaped and still responsive,
# and a double-click still ends it cleanly.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"

changed_pixels() {
    compare -metric AE -fuzz 8% "$1" "$2" null: 2>&1 | cut -d' ' -f1
}

e2e_start_x -wr
e2e_start_app
e2e_wait_window
started=$(date +%s%3N)
read -r x y w h < <(e2e_geometry "$E2E_WINDOW")

# Points of the card face below the buttons (which sit at x >= 307,
# y <= 46), alternately left and right of the middle: at least 40 pixels
# apart, far beyond the double-click slop. One xdotool call sends them all.
clicks=200
args=()
for ((i = 0; i < clicks; i++)); do
    if ((i % 2 == 0)); then px=$((20 + (i * 37) % 120)); else px=$((180 + (i * 53) % 120)); fi
    py=$((60 + (i * 71) % 330))
    args+=(mousemove $((x + px)) $((y + py)) click 1)
    ((i % 10 == 9)) && args+=(sleep 0.02)
done
e2e_log "sending $clicks clicks"
xdotool "${args[@]}" || fail "xdotool failed"
sleep 0.5
assert_cmd "the card survives the storm" e2e_app_running
[[ "$(e2e_find_windows)" == "$E2E_WINDOW" ]] || fail "the storm opened or closed a window"

# Still shaped: the corners show the white root window.
e2e_screenshot after-storm "$x" "$y" "$w" "$h"
assert_pixel "$E2E_SHOT" 0 0 "#FFFFFF" 10 "top-left corner after the storm"
assert_pixel "$E2E_SHOT" 332 414 "#FFFFFF" 10 "bottom-right corner after the storm"

# The storm runs into the shake and the greeting panel's reveal; the rest is
# checked once the panel has flown away, 35 s after start.
wait=$((started + 35000 - $(date +%s%3N)))
((wait > 0)) && sleep "$((wait / 1000)).$(printf %03d $((wait % 1000)))"

# Still animating: the flame strip changes between screenshots.
flame_moved=no
e2e_screenshot flame-0 $((x + 159)) $((y + 36)) 26 196
first=$E2E_SHOT
for i in 1 2 3 4; do
    sleep 1
    e2e_screenshot "flame-$i" $((x + 159)) $((y + 36)) 26 196
    if (($(changed_pixels "$first" "$E2E_SHOT") > 20)); then
        flame_moved=yes
        break
    fi
done
[[ $flame_moved == yes ]] || fail "the flame did not move after the storm"

# Still responsive: the buttons are gone and a new click brings them back.
bx=$((x + 307)) by=$((y + 7))
e2e_screenshot buttons-hidden "$bx" "$by" 18 39
hidden=$E2E_SHOT
e2e_click $((x + 166)) $((y + 330))
sleep 0.5
e2e_screenshot buttons-shown "$bx" "$by" 18 39
n=$(changed_pixels "$hidden" "$E2E_SHOT")
((n > 300)) || fail "a click after the storm did not bring up the buttons ($n pixels changed)"

# And a double-click still ends the program cleanly.
e2e_double_click $((x + 100)) $((y + 300))
e2e_wait_app_exit 5 || fail "the program did not end on a double-click after the storm"
assert_eq 0 "$E2E_APP_STATUS" "exit code"
[[ -s "$E2E_ARTIFACTS/app.err" ]] && fail "the program wrote errors: $(cat "$E2E_ARTIFACTS/app.err")"

e2e_pass
