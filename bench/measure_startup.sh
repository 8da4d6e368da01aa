#!/usr/bin/env bash
# Measures the card's start-up latency (exec to the first frame on screen)
# and its resident memory, on a private Xvfb.
#
# usage: bash bench/measure_startup.sh [-n RUNS] [-w none|openbox] [-m] [-t TIMES] [-d DPI] [-W] <velmora-exe> <startup_probe-exe>
#
#   -n RUNS   start the program this many times (default 20) and report the
#             minimum, median and maximum of exec-to-mapped,
#             exec-to-first-frame, and the processor time and run-queue wait
#             of the program's main thread up to that frame, in milliseconds
#   -w WM     no window manager (none, the default) or openbox
#   -m        also run it once more and report VmRSS and VmHWM at 2 s and
#             at 30 s after exec
#   -t TIMES  with -m, the seconds after exec to read them at (default 2,30)
#   -W        the Windows build under Wine: runs `wine velmora.exe` and finds
#             its window by class; uses $WINEPREFIX if set, else a fresh
#             prefix, whose wineserver stays up between the runs (so the
#             figures are warm starts of the program, not of Wine)
#   -d DPI    the desktop's density (Xft.dpi), e.g. 192 for a screen that
#             shows the card at twice its size (default: none set, 96)
#
# Builds nothing: build a Release tree first, e.g.
#   cmake -S . -B build-perf -G Ninja -DCMAKE_BUILD_TYPE=Release
#   ninja -C build-perf velmora startup_probe
#   bash bench/measure_startup.sh -m build-perf/velmora build-perf/bench/startup_probe
#
# Needs Xvfb (and openbox for -w openbox). Start-up times depend on the
# machine's load: run it on an otherwise idle machine (or, as root on a
# shared one, under `nice -n -15`, which the X server and the program
# inherit), and check the run-queue wait it reports: a large wait means the
# figures measure the machine, not the program.
set -euo pipefail

runs=20
wm=none
memory=0
times=2,30
wine=0
dpi=""
while getopts "n:w:mt:d:W" option; do
    case $option in
        n) runs=$OPTARG ;;
        w) wm=$OPTARG ;;
        m) memory=1 ;;
        t) times=$OPTARG ;;
        d) dpi=$OPTARG ;;
        W) wine=1 ;;
        *) sed -n '5,20p' "$0" >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
if [[ $# -ne 2 || ! -f "$1" || ! -x "$2" ]]; then
    sed -n '5,20p' "$0" >&2
    exit 2
fi
exe=$(readlink -f "$1")
probe=$(readlink -f "$2")
[[ "$wm" == none || "$wm" == openbox ]] || { echo "unknown window manager: $wm" >&2; exit 2; }

tmp=$(mktemp -d "${TMPDIR:-/tmp}/velmora-startup.XXXXXX")
pids=()
cleanup() {
    local i
    if ((wine)); then wineserver -k 2>/dev/null || true; fi
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null && wait "${pids[i]}" 2>/dev/null
    done
    rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Xvfb picks a free display number itself and writes it once it listens.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$tmp/display" >"$tmp/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 200); do
    grep -q '[0-9]' "$tmp/display" && break
    sleep 0.05
done
grep -q '[0-9]' "$tmp/display" || { echo "Xvfb did not start:" >&2; cat "$tmp/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(tr -dc '0-9' <"$tmp/display")"
if [[ -n "$dpi" ]]; then
    xprop -root -f RESOURCE_MANAGER 8s -set RESOURCE_MANAGER "Xft.dpi:	$dpi"
fi

if [[ "$wm" == openbox ]]; then
    # A missing font cache would be built by openbox with the X server held
    # (see e2e_start_x in tests/e2e/lib.sh); the wait allows a minute.
    fc-cache >/dev/null 2>&1 || true
    openbox --sm-disable >"$tmp/openbox.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 1200); do
        [[ "$(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null)" == *"window id"* ]] && break
        sleep 0.05
    done
fi

# Prints "min median max" of the numbers on stdin.
stats() {
    sort -n | awk '{ v[NR] = $1 } END {
        if (NR == 0) exit 1
        m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
        printf "%.1f %.1f %.1f\n", v[1], m, v[NR] }'
}

# The program as the probe starts it.
launch=("$exe")
probe_options=()
if ((wine)); then
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    if [[ -z "${WINEPREFIX:-}" ]]; then
        export WINEPREFIX=$tmp/wineprefix
        bash "$(dirname "$0")/../tests/e2e-windows/prepare_prefix.sh" "$WINEPREFIX"
    fi
    wineserver -p  # stays up between the runs
    launch=(wine "$exe")
    probe_options=(--class "$(basename "$exe")" --timeout 30)
fi

echo "display $DISPLAY, window manager: $wm, $runs runs of $exe$( ((wine)) && echo " under Wine")"
: >"$tmp/runs"
for ((run = 1; run <= runs; run++)); do
    if ! "$probe" "${probe_options[@]}" -- "${launch[@]}" >>"$tmp/runs" 2>"$tmp/probe.err"; then
        echo "run $run failed:" >&2
        cat "$tmp/probe.err" >&2
        exit 1
    fi
    sleep 0.2  # let the server settle after the window goes
done
read -r mapMin mapMed mapMax < <(sed -n 's/.*map_ms=\([0-9.]*\).*/\1/p' "$tmp/runs" | stats)
read -r frameMin frameMed frameMax < <(sed -n 's/.*frame_ms=\([0-9.]*\).*/\1/p' "$tmp/runs" | stats)
echo "exec to mapped      (ms): min $mapMin  median $mapMed  max $mapMax"
echo "exec to first frame (ms): min $frameMin  median $frameMed  max $frameMax"
# The program's own processor time by its first frame, and the time it
# stood ready while other processes had the processors.
read -r cpuMin cpuMed cpuMax < <(sed -n 's/.*cpu_ms=\([0-9.]*\).*/\1/p' "$tmp/runs" | stats)
read -r waitMin waitMed waitMax < <(sed -n 's/.*wait_ms=\([0-9.]*\).*/\1/p' "$tmp/runs" | stats)
echo "main thread cpu     (ms): min $cpuMin  median $cpuMed  max $cpuMax"
echo "main thread waiting (ms): min $waitMin  median $waitMed  max $waitMax"

if ((memory)); then
    "$probe" "${probe_options[@]}" --memory "$times" -- "${launch[@]}" >"$tmp/memory"
    sed -n 's/^at=\(.*\) rss_kb=\(.*\) hwm_kb=\(.*\)$/resident at \1: VmRSS \2 kB, VmHWM \3 kB/p' "$tmp/memory"
fi
