#!/usr/bin/env bash
# Measures what presenting the card costs on a real X server (its own Xvfb
# with openbox, from tests/e2e/lib.sh), beside a bare 64-a-second wait loop
# (bench/wait_loop.cpp) running in the same spans as the floor:
#   - the shake, 18 to 25 s after start (the card face jumps sideways and
#     the whole window is presented on every tick), and
#   - the flicker, 36 to 56 s after start (only the flame changes).
# For each span it reports the CPU share of one core of the card, of the X
# server, of both together and of the wait loop (from the nanoseconds every
# thread ran, /proc/<pid>/task/*/schedstat), the wake-ups per second of the
# card, the X server and the loop (voluntary + involuntary context switches,
# /proc/<pid>/task/*/status), and the bytes per second the card sent to the X
# server (wchar of /proc/<pid>/io). At the end of each run it reads the
# card's proportional set size (Pss of /proc/<pid>/smaps_rollup). Then the
# card is closed and bench/present_loop.cpp, when built beside the wait loop,
# runs alone on the same X server for 7 s: the floor for the shake, a program
# that only presents a window of the card's size whole as often as the shake
# does (the "present_floor" line). With several runs it prints every run and
# then the medians.
#
# usage: bash bench/measure_presentation.sh [-n RUNS] [-x "XVFB ARGS"] <velmora-exe> <wait_loop-exe>
#
#   -n RUNS   runs, each with its own X server (default 3)
#   -x ARGS   extra arguments for Xvfb, e.g. "-extension MIT-SHM" to present
#             without shared memory, or "-screen 0 1280x1024x16" for a
#             16-bit visual
#
# Build a Release tree first, e.g.
#   cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release
#   ninja -C build-release velmora wait_loop
#   bash bench/measure_presentation.sh build-release/velmora build-release/bench/wait_loop
runs=3
xargs_extra=
while getopts "n:x:" option; do
    case $option in
        n) runs=$OPTARG ;;
        x) xargs_extra=$OPTARG ;;
        *) sed -n '17,23p' "$0" >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
if [[ $# -ne 2 || ! -x "$2" ]]; then
    sed -n '17,23p' "$0" >&2
    exit 2
fi
LOOP=$(readlink -f "$2")
PRESENT_LOOP=$(dirname "$LOOP")/present_loop
source "$(dirname "$0")/../tests/e2e/lib.sh"
e2e_init "$1"
E2E_NAME=measure_presentation

now() { date +%s.%N; }

# Nanoseconds all threads of a process have run.
cpu_ns() {
    cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%d", s }'
}

# Context switches, voluntary and not, of all threads of a process.
switches() {
    cat /proc/"$1"/task/*/status 2>/dev/null |
        awk '/^(voluntary|nonvoluntary)_ctxt_switches/ { s += $2 } END { printf "%d", s }'
}

written() { awk '/^wchar:/ { print $2 }' "/proc/$1/io"; }

wait_until_second() {
    local left
    left=$(awk -v t="$1" -v s="$STARTED" -v n="$(now)" 'BEGIN { printf "%.3f", t - (n - s) }')
    if [[ "$left" != -* ]]; then sleep "$left"; fi
}

declare -A AT APP_NS APP_SW APP_W XS_NS XS_SW LOOP_NS LOOP_SW
sample() {
    AT[$1]=$(now)
    e2e_app_running || fail "the card is not running at $1"
    APP_NS[$1]=$(cpu_ns "$APP_PID")
    APP_SW[$1]=$(switches "$APP_PID")
    APP_W[$1]=$(written "$APP_PID")
    XS_NS[$1]=$(cpu_ns "$E2E_XVFB_PID")
    XS_SW[$1]=$(switches "$E2E_XVFB_PID")
    LOOP_NS[$1]=$(cpu_ns "$LOOP_PID")
    LOOP_SW[$1]=$(switches "$LOOP_PID")
}

# rate <array> <from> <to> <scale>: the per-second change of a counter, times scale.
rate() {
    local -n values=$1
    awk -v a="${values[$2]}" -v b="${values[$3]}" -v s="${AT[$2]}" -v e="${AT[$3]}" -v k="$4" \
        'BEGIN { printf "%.3f", (b - a) * k / (e - s) }'
}

# One line of figures for a span: shares in percent of a core, wake-ups
# per second, bytes per second.
span() {
    local from=$1 to=$2 label=$3
    local app xs loop
    app=$(rate APP_NS "$from" "$to" 1e-7)
    xs=$(rate XS_NS "$from" "$to" 1e-7)
    loop=$(rate LOOP_NS "$from" "$to" 1e-7)
    echo "$label cpu_card=$app cpu_x=$xs cpu_both=$(awk -v a="$app" -v b="$xs" 'BEGIN { printf "%.3f", a + b }')" \
        "cpu_loop=$loop wakeups_card=$(rate APP_SW "$from" "$to" 1) wakeups_x=$(rate XS_SW "$from" "$to" 1)" \
        "wakeups_loop=$(rate LOOP_SW "$from" "$to" 1) bytes_to_x=$(rate APP_W "$from" "$to" 1)"
}

# The shake's floor: the card closed, present_loop alone on its X server.
present_floor() {
    kill "$APP_PID" && wait "$APP_PID" 2>/dev/null
    kill "$LOOP_PID" && wait "$LOOP_PID" 2>/dev/null
    "$PRESENT_LOOP" >/dev/null 2>&1 &
    LOOP_PID=$!
    E2E_PIDS+=($LOOP_PID)
    sleep 2
    local at0 at1 loop0 loop1 x0 x1 lsw0 lsw1 xsw0 xsw1
    at0=$(now) loop0=$(cpu_ns "$LOOP_PID") x0=$(cpu_ns "$E2E_XVFB_PID")
    lsw0=$(switches "$LOOP_PID") xsw0=$(switches "$E2E_XVFB_PID")
    sleep 7
    at1=$(now) loop1=$(cpu_ns "$LOOP_PID") x1=$(cpu_ns "$E2E_XVFB_PID")
    lsw1=$(switches "$LOOP_PID") xsw1=$(switches "$E2E_XVFB_PID")
    awk -v s="$at0" -v e="$at1" -v l0="$loop0" -v l1="$loop1" -v x0="$x0" -v x1="$x1" \
        -v ls0="$lsw0" -v ls1="$lsw1" -v xs0="$xsw0" -v xs1="$xsw1" 'BEGIN {
        d = e - s; l = (l1 - l0) * 1e-7 / d; x = (x1 - x0) * 1e-7 / d
        printf "present_floor cpu_loop=%.3f cpu_x=%.3f cpu_both=%.3f wakeups_loop=%.3f wakeups_x=%.3f\n",
            l, x, l + x, (ls1 - ls0) / d, (xs1 - xs0) / d
    }'
}

# One run in a subshell with its own X server, stopped at the end.
one_run() {
    E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/velmora-e2e.XXXXXX")
    e2e_start_x $xargs_extra
    e2e_start_app
    STARTED=$(now)
    "$LOOP" >/dev/null 2>&1 &
    LOOP_PID=$!
    E2E_PIDS+=($LOOP_PID)
    e2e_wait_window
    wait_until_second 18
    sample shake_start
    wait_until_second 25
    sample shake_end
    wait_until_second 36
    sample flicker_start
    wait_until_second 56
    sample flicker_end
    span shake_start shake_end shake
    span flicker_start flicker_end flicker
    echo "memory pss_kb=$(awk '/^Pss:/ { print $2 }' "/proc/$APP_PID/smaps_rollup")" \
        "rss_kb=$(awk '/^Rss:/ { print $2 }' "/proc/$APP_PID/smaps_rollup")"
    [[ -x "$PRESENT_LOOP" ]] && present_floor
    e2e_cleanup
}

results=$E2E_TMP/results
: >"$results"
for ((run = 1; run <= runs; run++)); do
    out=$(one_run) || fail "run $run failed"
    echo "run $run"
    sed 's/^/  /' <<<"$out"
    echo "$out" >>"$results"
done

# The median of every figure over the runs, line by line.
echo "medians of $runs runs (cpu: % of one core; wakeups: per second; bytes_to_x: per second):"
awk '{
    for (i = 2; i <= NF; i++) {
        split($i, kv, "=")
        key = $1 " " kv[1]
        if (!(key in n)) order[++keys] = key
        values[key, ++n[key]] = kv[2]
    }
}
END {
    for (k = 1; k <= keys; k++) {
        key = order[k]
        m = n[key]
        for (i = 1; i <= m; i++) v[i] = values[key, i]
        for (i = 2; i <= m; i++) { x = v[i]; for (j = i - 1; j >= 1 && v[j] > x; j--) v[j + 1] = v[j]; v[j + 1] = x }
        med = m % 2 ? v[(m + 1) / 2] : (v[m / 2] + v[m / 2 + 1]) / 2
        printf "  %-22s %12.3f\n", key, med
    }
}' "$results"
