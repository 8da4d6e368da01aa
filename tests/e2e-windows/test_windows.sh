#!/usr/bin/env bash
# velmora.exe under Wine on its own Xvfb with openbox: the card opens as a
# 333 x 415 window with rounded corners (the root shows through them), a
# click brings up its buttons, the About button opens the oval About window,
# a click on a link reaches the desktop's opener (Wine's winebrowser calls
# xdg-open, recorded here), and a double-click on the card ends the program
# with exit code 0. At 120 dots per inch (Wine's LogPixels) the program is
# DPI-aware through its manifest: the About window, sized in twips, grows to
# 250 x 159 while the card keeps its 333 x 415 pixels. At 192 dots per inch
# the card is shown at twice its size, 666 x 830, shaped and drawn at the
# screen's resolution (not enlarged from single pixels), and its About
# window is 400 x 254. The window icons Wine hands the desktop are the
# small and big icon sizes of each density. At 120 dpi the greeting
# panel's fly-away, paced by the program's 1/64 s timers, ends on time: its
# timing shows that the waits do.
#
# usage: bash tests/e2e-windows/test_windows.sh <velmora.exe>
# WINEPREFIX, when set to a prefix made by prepare_prefix.sh, is used as it
# is; otherwise a fresh one is made in a temporary folder, which takes
# several seconds.
source "$(dirname "$0")/../e2e/lib.sh"
E2E_TOOLS+=(wine wineboot wineserver compare xwd)
e2e_init "$@"

# Wine's own processes (wineserver, services, the desktop) outlive the
# program; they go first, then what lib.sh started.
windows_cleanup() {
    if [[ -n "${WINEPREFIX:-}" ]]; then wineserver -k >/dev/null 2>&1 || true; fi
    e2e_cleanup
}
trap windows_cleanup EXIT

export WINEDEBUG=-all
# No Mono or Gecko installers: the card needs neither.
export WINEDLLOVERRIDES="mscoree,mshtml="

# The program's visible windows: Wine names their class after the
# executable, and their _NET_WM_PID is not the Linux pid.
windows_of_program() {
    xdotool search --onlyvisible --class '^velmora\.exe$' 2>/dev/null
}

# The visible window of the program with the given size, if any.
window_of_size() {
    local id
    for id in $(windows_of_program); do
        read -r _ _ ww wh < <(e2e_geometry "$id") || continue
        [[ "$ww $wh" == "$1 $2" ]] && echo "$id" && return 0
    done
    return 1
}

# Seconds since the given `date +%s.%N`, with fractions.
seconds_since() {
    awk -v now="$(date +%s.%N)" -v t="$1" 'BEGIN { printf "%.3f\n", now - t }'
}

# The sizes of the window icons Wine hands the desktop (_NET_WM_ICON, from
# WM_SETICON's small and big icons), e.g. "16x16 32x32".
icon_sizes() {
    xprop -id "$1" _NET_WM_ICON | sed -n 's/.*Icon (\([0-9]*\) x \([0-9]*\)).*/\1x\2/p' | sort -n | tr '\n' ' ' | sed 's/ $//'
}

changed_pixels() {
    compare -metric AE -fuzz 8% "$1" "$2" null: 2>&1 | cut -d' ' -f1
}

# The pixels of a screenshot that differ from the same picture made of 2 x 2
# blocks: none where a picture was enlarged from single pixels, thousands
# where it was drawn at the screen's resolution.
pixels_off_the_2x2_grid() {
    convert "$1" -sample 50% -sample 200% "$1.blocks.png" || return 1
    changed_pixels "$1" "$1.blocks.png"
}

e2e_start_x -wr  # a white root shows through the rounded corners
if [[ -n "${WINEPREFIX:-}" && -d "$WINEPREFIX" ]]; then
    e2e_log "using the Wine prefix $WINEPREFIX"
    # The standard density, whatever an earlier run left behind.
    wine reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1
else
    start=$SECONDS
    export WINEPREFIX=$E2E_TMP/wineprefix
    bash "$(dirname "$0")/prepare_prefix.sh" "$WINEPREFIX" || fail "cannot make a Wine prefix"
    e2e_log "made a fresh Wine prefix in $((SECONDS - start)) s"
fi
e2e_fake_xdg_open

wine "$E2E_EXE" >"$E2E_ARTIFACTS/app.out" 2>"$E2E_ARTIFACTS/app.err" &
APP_PID=$!
E2E_PIDS+=($APP_PID)
started=$SECONDS
e2e_log "started $(basename "$E2E_EXE") under Wine as pid $APP_PID"

e2e_wait_until 30 window_of_size 333 415 || fail "no 333 x 415 window of the program within 30 s"
card=$(window_of_size 333 415)
e2e_log "card window $card after $((SECONDS - started)) s"
read -r x y w h < <(e2e_geometry "$card")
assert_eq "333 415" "$w $h" "card size"
assert_near $(((1280 - 333) / 2)) "$x" 1 "card x (centred)"
assert_near $(((1024 - 415) / 2)) "$y" 1 "card y (centred)"
assert_cmd "card window shape" e2e_has_shape "$card"
if e2e_frame_decorated "$card"; then fail "the window manager decorated the card"; fi
assert_contains "$(e2e_wm_state "$card")" "_NET_WM_STATE_SKIP_TASKBAR" "the card stays out of the taskbar"
assert_eq "16x16 32x32" "$(icon_sizes "$card")" "the card's window icons at 96 dpi"
sleep 1

# Rounded corners: the white root shows through each corner; the card's
# dark ground lies just inside.
e2e_screenshot card "$x" "$y" 333 415
shot=$E2E_SHOT
for corner in "0 0" "332 0" "0 414" "332 414" "2 2" "330 412"; do
    read -r cx cy <<<"$corner"
    assert_pixel "$shot" "$cx" "$cy" "#FFFFFF" 16 "corner ($cx, $cy) shows the root"
done
for inside in "15 15" "317 15" "15 399" "317 399" "0 207" "166 0"; do
    read -r cx cy <<<"$inside"
    assert_pixel_differs "$shot" "$cx" "$cy" "#FFFFFF" 60 "the card at ($cx, $cy)"
done

# A click on the card shows its two buttons at its upper right.
e2e_screenshot buttons-hidden $((x + 307)) $((y + 7)) 18 39
hidden=$E2E_SHOT
e2e_click $((x + 166)) $((y + 330))
sleep 0.5
e2e_screenshot buttons-shown $((x + 307)) $((y + 7)) 18 39
n=$(changed_pixels "$hidden" "$E2E_SHOT")
((n > 300)) || fail "a click on the card showed no buttons ($n pixels changed, see $E2E_SHOT)"

# The About button opens the About window: 200 x 127, centred, an oval
# whose corners show the card beneath.
aw=200 ah=127
ax=$(((1280 - aw) / 2)) ay=$(((1024 - ah) / 2))
e2e_screenshot beneath "$ax" "$ay" "$aw" "$ah"
beneath=$E2E_SHOT
e2e_click $((x + 316)) $((y + 37))
e2e_wait_until 10 window_of_size "$aw" "$ah" || fail "no About window appeared"
about=$(window_of_size "$aw" "$ah")
read -r gx gy _ _ < <(e2e_geometry "$about")
assert_near "$ax" "$gx" 1 "About window x (centred)"
assert_near "$ay" "$gy" 1 "About window y (centred)"
sleep 0.7
e2e_screenshot about "$ax" "$ay" "$aw" "$ah"
shot=$E2E_SHOT
for corner in "0 0" "$((aw - 1)) 0" "0 $((ah - 1))" "$((aw - 1)) $((ah - 1))" "8 4"; do
    read -r cx cy <<<"$corner"
    assert_pixel "$shot" "$cx" "$cy" "$(e2e_pixel "$beneath" "$cx" "$cy")" 12 "About corner ($cx, $cy) shows the card beneath"
done
for inside in "100 20" "30 63" "170 63" "100 118"; do
    read -r cx cy <<<"$inside"
    assert_pixel_differs "$shot" "$cx" "$cy" "$(e2e_pixel "$beneath" "$cx" "$cy")" 12 "inside the oval at ($cx, $cy)"
done

# A click on the home page link: ShellExecute -> winebrowser -> xdg-open.
e2e_click $((ax + 100)) $((ay + 95))
e2e_wait_until 20 test -s "$XDG_OPEN_LOG" || fail "the home page link reached no xdg-open"
sleep 0.5
# (winebrowser hands the address on in its canonical form, with a slash.)
assert_eq "https://www.velmora.example/" "$(cat "$XDG_OPEN_LOG")" "xdg-open calls after one click on the home page link"
assert_cmd "the program runs on after a link click" kill -0 "$APP_PID"

# The About window's close button, then a double-click on the card ends the
# program. The card shakes from 18 s and the greeting panel covers it from
# 21 s to about 34 s: on a slow machine, wait until the show is calm again.
e2e_click $((ax + 169)) $((ay + 37))
e2e_wait_until 10 eval '! window_of_size "$aw" "$ah"' || fail "the About window did not close"
if ((SECONDS - started >= 17)); then
    e2e_log "late for the double-click; waiting for the show to calm down"
    while ((SECONDS - started < 36)); do sleep 0.5; done
fi
e2e_double_click $((x + 60)) $((y + 380))
e2e_wait_app_exit 20 || fail "the program did not end after a double-click on the card"
assert_eq 0 "$E2E_APP_STATUS" "exit code after a double-click"
[[ -z "$(windows_of_program)" ]] || fail "windows of the program are left on screen"

# 120 dpi: Wine takes the density from the registry, not from Xft.dpi.
desktop='HKCU\Control Panel\Desktop'
wine reg add "$desktop" /v LogPixels /t REG_DWORD /d 120 /f >/dev/null 2>&1 || fail "cannot set LogPixels"
exec_time=$(date +%s.%N)
wine "$E2E_EXE" >"$E2E_ARTIFACTS/app-120dpi.out" 2>"$E2E_ARTIFACTS/app-120dpi.err" &
APP_PID=$!
E2E_PIDS+=($APP_PID)
e2e_wait_until 30 window_of_size 333 415 || fail "no 333 x 415 card at 120 dpi"
card=$(window_of_size 333 415)
shown_after=$(seconds_since "$exec_time")
assert_eq "20x20 40x40" "$(icon_sizes "$card")" "the card's window icons at 120 dpi"
e2e_click $((x + 166)) $((y + 330))
sleep 0.4
e2e_click $((x + 316)) $((y + 37))
e2e_wait_until 10 window_of_size 250 159 || fail "no 250 x 159 About window at 120 dpi"
e2e_screenshot about-120dpi $(((1280 - 250) / 2)) $(((1024 - 159) / 2)) 250 159
# The panel grows 100 twips a step to the card face's height, holds 3 s,
# then flies right, one step per 0.1 s of the clock each taken on the
# first 1/64 s tick after it: about 80 steps, so waits that ended a
# 15.6 ms system tick late would make it a second or more late. Its last
# pixels leave over the card's right part (right of the flame, which keeps
# moving; the About window is still); dumps of the card window from 31 s
# on, the first one from which that part stays as it ends is the moment.
fly=$E2E_TMP/fly
mkdir -p "$fly"
while (($(seconds_since "$exec_time" | cut -d. -f1) < 31)); do sleep 0.1; done
while t=$(seconds_since "$exec_time"); awk -v t="$t" 'BEGIN { exit !(t < 35.5) }'; do
    xwd -id "$card" -silent >"$fly/$t.xwd" || fail "cannot dump the card at 120 dpi"
done
shots=($(ls "$fly" | sort -g))
right_part() { convert "$fly/$1" -crop 139x415+194+0 +repage rgb:-; }
right_part "${shots[-1]}" >"$fly/end.rgb"
gone=
for ((i = ${#shots[@]} - 1; i >= 0; i--)); do
    right_part "${shots[i]}" | cmp -s - "$fly/end.rgb" || break
    gone=${shots[i]%.xwd}
done
[[ -n "$gone" && "$gone" != "${shots[0]%.xwd}" ]] || fail "the panel's fly-away did not end between 31 and 35.5 s"
gone_after_shown=$(awk -v g="$gone" -v s="$shown_after" 'BEGIN { printf "%.2f", g - s }')
e2e_log "120 dpi: card shown $shown_after s after exec, panel gone at $gone s ($gone_after_shown s after the card showed)"
# Wine's own start-up varies with the machine's load; the show counts from
# the card's window.
assert_near 32700 "$(awk -v g="$gone_after_shown" 'BEGIN { printf "%d", g * 1000 }')" 400 \
    "ms from the card showing to the panel gone at 120 dpi"
kill "$APP_PID" 2>/dev/null
e2e_wait_until 10 eval '[[ -z "$(windows_of_program)" ]]' || fail "the card at 120 dpi did not go away"

# 192 dpi (a 4K monitor at 200 %): Wine reports LogPixels as the monitor's
# density (GetDpiForMonitor), and the runtime shows every logical pixel as
# 2 x 2 device pixels.
wine reg add "$desktop" /v LogPixels /t REG_DWORD /d 192 /f >/dev/null 2>&1 || fail "cannot set LogPixels"
wine "$E2E_EXE" >"$E2E_ARTIFACTS/app-192dpi.out" 2>"$E2E_ARTIFACTS/app-192dpi.err" &
APP_PID=$!
E2E_PIDS+=($APP_PID)
started=$SECONDS
e2e_wait_until 30 window_of_size 666 830 || fail "no 666 x 830 card at 192 dpi"
card=$(window_of_size 666 830)
read -r x y w h < <(e2e_geometry "$card")
assert_near $(((1280 - 666) / 2)) "$x" 1 "card x at 192 dpi (centred)"
assert_near $(((1024 - 830) / 2)) "$y" 1 "card y at 192 dpi (centred)"
assert_cmd "card window shape at 192 dpi" e2e_has_shape "$card"
assert_eq "32x32 64x64" "$(icon_sizes "$card")" "the card's window icons at 192 dpi"
sleep 1
if ((SECONDS - started >= 17)); then
    e2e_log "late for the look at 192 dpi; waiting for the show to calm down"
    while ((SECONDS - started < 36)); do sleep 0.5; done
fi
e2e_screenshot card-192dpi "$x" "$y" 666 830
shot=$E2E_SHOT
for corner in "0 0" "665 0" "0 829" "665 829" "4 2"; do
    read -r cx cy <<<"$corner"
    assert_pixel "$shot" "$cx" "$cy" "#FFFFFF" 16 "corner ($cx, $cy) at 192 dpi shows the root"
done
for inside in "30 30" "635 30" "30 799" "635 799" "332 600"; do
    read -r cx cy <<<"$inside"
    assert_pixel_differs "$shot" "$cx" "$cy" "#FFFFFF" 60 "the card at ($cx, $cy) at 192 dpi"
done
# The lettering along the bottom: its edges fall between the 2 x 2 blocks.
convert "$shot" -crop 666x120+0+700 +repage "$E2E_ARTIFACTS/lettering-192dpi.png" || fail "cannot crop the lettering"
n=$(pixels_off_the_2x2_grid "$E2E_ARTIFACTS/lettering-192dpi.png")
((n > 1000)) || fail "the card at 192 dpi looks enlarged from single pixels ($n pixels off the 2 x 2 grid)"
e2e_log "card at 192 dpi: $n pixels of the lettering off the 2 x 2 grid"
e2e_click $((x + 332)) $((y + 660))
sleep 0.4
e2e_click $((x + 632)) $((y + 74))
e2e_wait_until 10 window_of_size 400 254 || fail "no 400 x 254 About window at 192 dpi"
read -r gx gy _ _ < <(e2e_geometry "$(window_of_size 400 254)")
assert_near $(((1280 - 400) / 2)) "$gx" 1 "About window x at 192 dpi (centred)"
assert_near $(((1024 - 254) / 2)) "$gy" 1 "About window y at 192 dpi (centred)"
e2e_screenshot about-192dpi "$x" "$y" 666 830
kill "$APP_PID" 2>/dev/null
wine reg delete "$desktop" /v LogPixels /f >/dev/null 2>&1

e2e_pass
