#!/usr/bin/env bash
# The card's show on a real X server, watched through screenshots of the
# card window at the moments a person would look:
#   ~5 s   the card is up and its flame band is bright, and the flame moves
#          (a series of crops of the flame strip is not all alike);
#   ~28.5 s the greeting panel covers the card (it is held in place then);
#   ~36.5 s the panel is gone, the card face is whole again and the window
#          keeps its rounded shape.
# Then the first moments once more on a server without shared memory
# (MIT-SHM) whose visuals are all 16-bit: the pixels go through the socket,
# converted to 5-6-5 bits.
# Timings are for the default 96 dpi: the panel is full height at about
# 27.8 s, holds for 3 s and has flown away at about 35 s.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
ASSETS=$(cd "$(dirname "$0")/../../assets" && pwd)

# Seconds since the program was started, with fractions.
since_start() {
    awk -v now="$(date +%s.%N)" -v start="$APP_STARTED" 'BEGIN { printf "%.3f\n", now - start }'
}

# Sleeps until the program has run for the given number of seconds.
wait_until_second() {
    local left
    left=$(awk -v t="$1" -v s="$(since_start)" 'BEGIN { printf "%.3f\n", t - s }')
    if [[ "$left" != -* ]]; then sleep "$left"; fi
}

# sample_grid <png> <step>
# Prints "x y r g b" for the pixels whose coordinates are both
# step/2 + a multiple of step.
sample_grid() {
    convert "$1" -depth 8 -alpha off txt:- | awk -v s="$2" -F'[,:() ]+' '
        NR > 1 && $1 % s == int(s / 2) && $2 % s == int(s / 2) { print $1, $2, $3, $4, $5 }'
}

# match_share <screenshot> <reference> <dy> <tolerance> [<avoid> <apart>]
# Compares the screenshot at the grid points with the reference picture's
# pixel dy rows further down; prints the percentage of compared points that
# lie within tolerance on every channel. With <avoid>, only the points where
# the reference differs from that picture by more than <apart> count, so
# that a match really tells the two pictures apart.
match_share() {
    local shot=$1 ref=$2 dy=$3 tol=$4 avoid=${5:-} apart=${6:-0}
    local refs avoids
    refs=$(sample_grid "$ref" 1 | awk -v dy="$dy" '{ print $1, $2 - dy, $3, $4, $5 }')
    if [[ -n "$avoid" ]]; then
        avoids=$(sample_grid "$avoid" 1)
    else
        avoids=""
    fi
    awk -v tol="$tol" -v apart="$apart" -v useavoid="${avoid:+1}" '
        function abs(v) { return v < 0 ? -v : v }
        function far(a, b, t,   i, x, y) {
            split(a, x, " "); split(b, y, " ")
            for (i = 1; i <= 3; i++) if (abs(x[i] - y[i]) > t) return 1
            return 0
        }
        FILENAME == ARGV[1] { ref[$1 " " $2] = $3 " " $4 " " $5; next }
        FILENAME == ARGV[2] { av[$1 " " $2] = $3 " " $4 " " $5; next }
        {
            k = $1 " " $2
            if (!(k in ref)) next
            if (useavoid && (!(k in av) || !far(ref[k], av[k], apart))) next
            n++
            if (!far(ref[k], $3 " " $4 " " $5, tol)) ok++
        }
        END { if (n < 20) print -1; else printf "%d\n", 100 * ok / n }
    ' <(echo "$refs") <(echo "$avoids") <(sample_grid "$shot" 9)
}

# The flame strip of the card window, as a file of its own.
flame_crop() {
    convert "$1" -crop 26x196+159+36 +repage "$2"
}

# start_card: starts the program on the running server, waits for its
# window and sets x, y, w, h to its geometry.
start_card() {
    e2e_start_app
    APP_STARTED=$(date +%s.%N)
    e2e_wait_window
    read -r x y w h < <(e2e_geometry "$E2E_WINDOW")
    assert_eq 333 "$w" "card width"
    assert_eq 415 "$h" "card height"
}

# check_first_seconds <label>: ~5 s after start, the card with its flame;
# the flame strip holds bright pixels; then the flame moves (crops of the
# strip a little apart are not all alike).
check_first_seconds() {
    local label=$1 shot5 flame_max share moved i diff
    wait_until_second 5
    e2e_screenshot "$label-card-5s" "$x" "$y" "$w" "$h"
    shot5=$E2E_SHOT
    flame_max=$(convert "$shot5" -crop 26x196+159+36 +repage -colorspace Gray -format '%[fx:int(255*maxima)]' info:)
    ((flame_max >= 200)) || fail "$label: the flame strip is dark (brightest grey $flame_max, see $shot5)"
    share=$(match_share "$shot5" "$ASSETS/CardFace.jpg" 0 24)
    ((share >= 90)) || fail "$label: the card face at 5 s matches the card picture at $share % of the points (see $shot5)"
    flame_crop "$shot5" "$E2E_TMP/flame-0.png"
    moved=0
    for i in 1 2 3 4 5; do
        sleep 0.7
        e2e_screenshot "$label-flame-$i" "$x" "$y" "$w" "$h"
        flame_crop "$E2E_SHOT" "$E2E_TMP/flame-$i.png"
        diff=$(compare -metric AE "$E2E_TMP/flame-0.png" "$E2E_TMP/flame-$i.png" null: 2>&1 || true)
        if [[ "${diff%% *}" =~ ^[0-9]+$ ]] && ((${diff%% *} > 20)); then
            moved=1
            break
        fi
    done
    ((moved)) || fail "$label: the flame did not move in 3.5 s (see $E2E_ARTIFACTS/$label-flame-*.png)"
    e2e_log "$label: the flame moved"
}

e2e_start_x -wr
assert_contains "$(xdpyinfo)" "MIT-SHM" "the server's extensions"
start_card
check_first_seconds shm

# ~28.5 s: the panel holds, covering the card. Its Top is -37.5 twips at
# 96 dpi, two pixels above the window: the window shows the picture from
# its third row. Only points where the panel and the card face differ
# clearly are compared.
wait_until_second 28.5
e2e_screenshot panel-28s "$x" "$y" "$w" "$h"
shot28=$E2E_SHOT
share=$(match_share "$shot28" "$ASSETS/GreetingPanel.jpg" 2 30 "$ASSETS/CardFace.jpg" 60)
((share >= 90)) || fail "the panel covers the card at only $share % of the points at 28.5 s (see $shot28)"
assert_pixel "$shot28" 0 0 "#FFFFFF" 10 "corner during the hold shows the root window"

# ~36.5 s: the panel has flown away; the card face is whole, the window
# still shaped.
wait_until_second 36.5
e2e_screenshot card-36s "$x" "$y" "$w" "$h"
shot36=$E2E_SHOT
assert_cmd "the card is still running" e2e_app_running
share=$(match_share "$shot36" "$ASSETS/CardFace.jpg" 0 24)
((share >= 90)) || fail "the card face at 36.5 s matches the card picture at $share % of the points (see $shot36)"
share=$(match_share "$shot36" "$ASSETS/GreetingPanel.jpg" 2 30 "$ASSETS/CardFace.jpg" 60)
((share <= 10)) || fail "the panel still shows at $share % of the points at 36.5 s (see $shot36)"
for corner in "0 0" "332 0" "0 414" "332 414"; do
    read -r cx cy <<<"$corner"
    assert_pixel "$shot36" "$cx" "$cy" "#FFFFFF" 10 "corner ($cx, $cy) shows the root window"
done
assert_pixel_differs "$shot36" 166 300 "#FFFFFF" 60 "card centre"
assert_cmd "window shape" e2e_has_shape "$E2E_WINDOW"
read -r x2 y2 w2 h2 < <(e2e_geometry "$E2E_WINDOW")
assert_eq "$x $y $w $h" "$x2 $y2 $w2 $h2" "window geometry after the show"

# A server with 16-bit visuals only (no Composite, whose 32-bit visual the
# card could choose) and no MIT-SHM.
e2e_cleanup
E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/velmora-e2e.XXXXXX")
e2e_start_x -wr -screen 0 1280x1024x16 -extension Composite -extension MIT-SHM
info=$(xdpyinfo)
assert_not_contains "$info" "MIT-SHM" "extensions of the server without shared memory"
assert_not_contains "$info" "depth:    24" "visuals of the 16-bit server"
assert_not_contains "$info" "depth:    32" "visuals of the 16-bit server"
start_card
check_first_seconds socket16

e2e_pass
