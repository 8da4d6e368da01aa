#!/usr/bin/env bash
# Measures the card's CPU share on a real X server (Xvfb with openbox):
# the process's user + system time, from /proc/<pid>/stat, over
#   - the shake, 18 to 25 s after start (the window shape is applied anew
#     and the whole card recomposed on every tick), and
#   - 30 s of flicker only, 36 to 66 s after start (the panel has flown
#     away; only the flame changes).
# Also reports the X server's share over the same spans (the drawing the
# card asks of it) and the card's resident memory at the end.
#
# Usage: bash bench/measure_cpu.sh <path-to-velmora> [flicker-seconds]
# Given velmora.exe (the Windows build), it runs the card under Wine
# ($WINEPREFIX if set, else a fresh prefix) and counts the Wine process and
# the wineserver together as the card.
# Aims: under 0.5 % of one core while only the flame flickers, under 2 %
# during the shake.
source "$(dirname "$0")/../tests/e2e/lib.sh"
FLICKER=${2:-30}
e2e_init "$1"
E2E_NAME=measure_cpu
HZ=$(getconf CLK_TCK)

# Prints "seconds-since-start cpu-ticks" for a process: its user + system
# time in clock ticks (fields 14 and 15 of /proc/<pid>/stat, counted after
# the command name, which may hold spaces).
cpu_ticks() {
    local stat
    stat=$(<"/proc/$1/stat") || return 1
    stat=${stat##*) }
    read -r -a f <<<"$stat"
    echo $((f[11] + f[12]))
}

# Prints the nanoseconds all threads of a process have run, from
# /proc/<pid>/task/*/schedstat: exact, where utime + stime are counted in
# whole clock ticks.
cpu_ns() {
    cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%d", s }'
}

now() { date +%s.%N; }

# share <ticks-before> <ticks-after> <t-before> <t-after>: percent of one core
share() {
    awk -v a="$1" -v b="$2" -v s="$3" -v e="$4" -v hz="$HZ" \
        'BEGIN { printf "%.2f", 100 * (b - a) / hz / (e - s) }'
}

wait_until_second() {
    local left
    left=$(awk -v t="$1" -v s="$STARTED" -v n="$(now)" 'BEGIN { printf "%.3f", t - (n - s) }')
    if [[ "$left" != -* ]]; then sleep "$left"; fi
}

# sample <name>: records the card's and the X server's ticks and the time.
declare -A APP_T XS_T APP_NS AT
sample() {
    AT[$1]=$(now)
    APP_T[$1]=$(cpu_ticks "$APP_PID") || fail "the card is not running at $1"
    APP_NS[$1]=$(cpu_ns "$APP_PID")
    if ((WINE)); then
        APP_T[$1]=$((APP_T[$1] + $(cpu_ticks "$WINESERVER_PID")))
        APP_NS[$1]=$((APP_NS[$1] + $(cpu_ns "$WINESERVER_PID")))
    fi
    XS_T[$1]=$(cpu_ticks "$E2E_XVFB_PID")
}

e2e_start_x
if [[ "$E2E_EXE" == *.exe ]]; then
    WINE=1
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    if [[ -z "${WINEPREFIX:-}" ]]; then
        export WINEPREFIX=$E2E_TMP/wineprefix
        bash "$(dirname "$0")/../tests/e2e-windows/prepare_prefix.sh" "$WINEPREFIX" || fail "no Wine prefix"
    fi
    trap '{ wineserver -k 2>/dev/null || true; }; e2e_cleanup' EXIT
    wineserver -p
    # The wineserver of this prefix (other prefixes may have their own).
    WINESERVER_PID=
    for pid in $(pgrep -x 'wineserver(64)?'); do
        environment=$(tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null) || continue
        [[ $'\n'$environment$'\n' == *$'\n'"WINEPREFIX=$WINEPREFIX"$'\n'* ]] && WINESERVER_PID=$pid
    done
    [[ -n "$WINESERVER_PID" ]] || fail "no wineserver for $WINEPREFIX"
    wine "$E2E_EXE" >"$E2E_ARTIFACTS/app.out" 2>"$E2E_ARTIFACTS/app.err" &
    APP_PID=$!
    E2E_PIDS+=($APP_PID)
    STARTED=$(now)
    e2e_wait_until 30 xdotool search --onlyvisible --class '^velmora\.exe$' || fail "no window under Wine"
else
    WINE=0
    e2e_start_app
    STARTED=$(now)
    e2e_wait_window
fi

wait_until_second 18
sample shake_start
wait_until_second 25
sample shake_end
wait_until_second 36
sample flicker_start
wait_until_second $((36 + FLICKER))
sample flicker_end
rss=$(awk '/^VmRSS/ { print $2, $3 }' "/proc/$APP_PID/status")

span() {
    local from=$1 to=$2 label=$3
    local secs
    secs=$(awk -v s="${AT[$from]}" -v e="${AT[$to]}" 'BEGIN { printf "%.1f", e - s }')
    printf '%-28s %5s s   card %6s %% (schedstat %6s %%)   X server %6s %%\n' "$label" "$secs" \
        "$(share "${APP_T[$from]}" "${APP_T[$to]}" "${AT[$from]}" "${AT[$to]}")" \
        "$(awk -v a="${APP_NS[$from]}" -v b="${APP_NS[$to]}" -v s="${AT[$from]}" -v e="${AT[$to]}" \
            'BEGIN { printf "%.2f", 100 * (b - a) / 1e9 / (e - s) }')" \
        "$(share "${XS_T[$from]}" "${XS_T[$to]}" "${AT[$from]}" "${AT[$to]}")"
}

((WINE)) && echo "under Wine: the card is the Wine process and the wineserver together"
echo "CPU share of one core, from utime + stime (clock tick $((1000 / HZ)) ms) and from schedstat:"
span shake_start shake_end "shake (18-25 s)"
span flicker_start flicker_end "flicker only (36-$((36 + FLICKER)) s)"
echo "card resident memory at the end: $rss"
