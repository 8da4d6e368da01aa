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
# server (wchar of /proc/<pid>/io). It reads the card's proportional set
# size (Pss of /proc/<pid>/smaps_rollup) 30 s after start (the memory_30s
# line) and at the end of each run (the memory line). Then the
# card is closed and bench/present_loop.cpp, when built beside the wait loop,
# runs alone on the same X server for 7 s: the floor for the shake, a program
# that only presents a window of the card's size whole as often as the shake
# does (the "present_floor" line). With several runs it prints every run and
# then the medians.
#
# usage: bash bench/measure_presentation.sh [-n RUNS] [-x "XVFB ARGS"] <velmora-exe> <wait_loop-exe>
#        bash bench/measure_presentation.sh -b BROWSER [-n RUNS] [-x "XVFB ARGS"] [<velmora-exe>] <wait_loop-exe>
#        bash bench/measure_presentation.sh -b BROWSER -w SITE [-n RUNS] [-x "XVFB ARGS"] [<velmora-exe>] <wait_loop-exe>
#
#   -n RUNS     runs, each with its own X server (default 3)
#   -x ARGS     extra arguments for Xvfb, e.g. "-extension MIT-SHM" to present
#               without shared memory, or "-screen 0 1280x1024x16" for a
#               16-bit visual
#   -b BROWSER  measure the same show as a web page (bench/web/show.html) in
#               Chromium instead of the card, e.g. -b chromium; extra browser
#               flags in $BROWSER_FLAGS, e.g. BROWSER_FLAGS=--disable-gpu
#   -w SITE     with -b: measure the card compiled to WebAssembly instead,
#               the site scripts/web.sh builds (build-web/site), served over
#               HTTP from this machine in a window with room around the card
#
# Build a Release tree first, e.g.
#   cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release
#   ninja -C build-release velmora wait_loop
#   bash bench/measure_presentation.sh build-release/velmora build-release/bench/wait_loop
#
# With -b the card's lines (cpu_card, wakeups_card, bytes_to_x, pss_kb,
# rss_kb) are the sums over all of the browser's processes: the browser, its
# zygotes, the renderers, the GPU process (which also composites and
# presents), the utility processes, and the crash handlers, which detach to
# init but carry the run's own HOME in their command line. Processes come
# and go, so each sample lists the ones that exist then, each known by its
# pid and start time, and a span adds up, for every process alive at its
# end, what it used since the span's start (all of it when it started
# later); a process that ended within the span is not counted. The CPU of a
# process is its utime + stime (/proc/<pid>/stat, 1/CLK_TCK resolution), which
# keeps the time of threads that have already ended, as Chromium's worker
# threads do; wake-ups are those of its live threads, as for the card;
# bytes_to_x is everything its processes wrote (wchar), which for the
# browser includes its messages between its own processes. rss_kb counts
# pages shared between the processes once per process. Time 0 of the show
# is when the browser is started: the page gets that moment in its address
# (#t0=) and counts its own loading as part of the show. No present_floor
# line in this mode. Chromium is installed by
# `bash scripts/setup-debian.sh bench`.
#
# With -w the page is the compiled card's (index.html#bench), served by
# python3's http.server; its show starts when its program starts, after the
# page has loaded, as the card's own show starts with its process. With -b
# both pages report in their title, and each run prints in a "page" line:
# the first frame in milliseconds after navigation (first_frame_ms), the
# page's JavaScript heap (js_heap_kb, with --enable-precise-memory-info) and
# the module's memory (wasm_kb, 0 for the hand-written page); for the
# compiled card also when its script started (script_ms) and its module was
# ready (module_ms). Then the page is reloaded (F5) and the "page_reloaded"
# line gives the first frame again with the browser warm.
runs=3
xargs_extra=
browser=
site=
while getopts "n:x:b:w:" option; do
    case $option in
        n) runs=$OPTARG ;;
        x) xargs_extra=$OPTARG ;;
        b) browser=$OPTARG ;;
        w) site=$OPTARG ;;
        *) sed -n '22,35p' "$0" >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
if [[ -n "$browser" ]]; then
    # The card's executable may be given, as in the card's command line; the
    # browser runs the page in its place.
    if [[ $# -lt 1 || $# -gt 2 || ! -x "${!#}" ]]; then
        sed -n '22,35p' "$0" >&2
        exit 2
    fi
    LOOP=$(readlink -f "${!#}")
    BROWSER_EXE=$(command -v "$browser") || {
        echo "no browser '$browser' (bash scripts/setup-debian.sh bench installs chromium)" >&2
        exit 2
    }
    if [[ -n "$site" ]]; then
        SITE=$(readlink -f "$site")
        [[ -r "$SITE/index.html" ]] || { echo "no site in $site (bash scripts/web.sh builds build-web/site)" >&2; exit 2; }
    else
        PAGE=$(readlink -f "$(dirname "$0")/web/show.html")
        [[ -r "$PAGE" ]] || { echo "no page $PAGE" >&2; exit 2; }
    fi
    E2E_ARTIFACTS=${E2E_ARTIFACTS:-$(dirname "$LOOP")/e2e-artifacts/measure_presentation_browser}
elif [[ $# -ne 2 || ! -x "$2" ]]; then
    sed -n '22,35p' "$0" >&2
    exit 2
else
    LOOP=$(readlink -f "$2")
fi
PRESENT_LOOP=$(dirname "$LOOP")/present_loop
source "$(dirname "$0")/../tests/e2e/lib.sh"
if [[ -n "$browser" ]]; then
    e2e_init "$BROWSER_EXE"
else
    e2e_init "$1"
fi
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

# ------------------------------------------------- the browser's processes

CLOCK_TICKS=$(getconf CLK_TCK)

# Starts the browser on the page in a window of the card's size, with its
# profile, HOME and caches in the run's temporary folder; sets APP_PID (the
# Debian launcher execs the browser, so that is the browser's own pid) and
# STARTED, the moment handed to the page as its time 0.
browser_start() {
    BROWSER_HOME=$E2E_TMP/browser
    mkdir -p "$BROWSER_HOME"
    # The compiled card's page keeps 8 CSS pixels around the card, or
    # shrinks it to fit: its window has room for both.
    local size=333,415 address
    [[ -n "$site" ]] && size=349,431
    local flags=(--window-size=$size --user-data-dir="$BROWSER_HOME/profile" --no-first-run
        --disable-background-networking --disable-component-update --no-default-browser-check
        --enable-precise-memory-info)
    # As root the browser runs only without its sandbox; --test-type drops the
    # warning bar about that flag, which would take 37 pixels of the window.
    [[ $(id -u) -eq 0 ]] && flags+=(--no-sandbox --test-type)
    if [[ -n "$site" ]]; then
        # A page that fetches its module needs a server: file:// does not fetch.
        local port=$((20000 + RANDOM % 20000))
        python3 -m http.server --bind 127.0.0.1 --directory "$SITE" "$port" >/dev/null 2>&1 &
        E2E_PIDS+=($!)
        local tries=50
        while ((tries-- > 0)) && ! (exec 3<>/dev/tcp/127.0.0.1/$port) 2>/dev/null; do sleep 0.1; done
        address="http://127.0.0.1:$port/index.html#bench"
    fi
    STARTED=$(now)
    local fraction=${STARTED#*.}
    [[ -z "$site" ]] && address="file://${PAGE// /%20}#t0=${STARTED%.*}${fraction:0:3}&bench"
    # $BROWSER_FLAGS is split into its flags on purpose.
    # shellcheck disable=SC2086
    HOME=$BROWSER_HOME XDG_CONFIG_HOME=$BROWSER_HOME/config XDG_CACHE_HOME=$BROWSER_HOME/cache \
        "$E2E_EXE" --app="$address" "${flags[@]}" ${BROWSER_FLAGS:-} \
        >"$E2E_ARTIFACTS/browser.out" 2>"$E2E_ARTIFACTS/browser.err" &
    APP_PID=$!
    E2E_PIDS+=($APP_PID)
    e2e_log "started $(basename "$E2E_EXE") as pid $APP_PID"
}

# Waits (30 s at most) for the browser's window, which carries its pid.
browser_wait_window() {
    local tries=300
    while ((tries-- > 0)); do
        E2E_WINDOW=$(xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null | head -n1)
        [[ -n "$E2E_WINDOW" ]] && return 0
        e2e_app_running || fail "the browser ended before showing a window (see $E2E_ARTIFACTS/browser.err)"
        sleep 0.1
    done
    fail "no window of the browser within 30s"
}

# The pids of the browser's processes now: every live descendant of the
# started process, and the crash handlers that name this run's HOME.
browser_pids() {
    local tree
    tree=$(cat /proc/[0-9]*/stat 2>/dev/null | awk -v root="$APP_PID" '
        {
            pid = $1; rest = $0; sub(/^.*\) /, "", rest); split(rest, f, " ")
            if (f[1] == "Z" || f[1] == "X") next
            parent[pid] = f[2]
            comm = $0; sub(/^[^(]*\(/, "", comm); sub(/\) [^)]*$/, "", comm)
            if (f[2] == 1 && comm ~ /crashpad/) print "candidate", pid
        }
        END {
            for (pid in parent) {
                p = pid
                for (hops = 0; hops < 64 && p != root && p in parent; hops++) p = parent[p]
                if (p == root) print "tree", pid
            }
        }')
    local kind pid
    while read -r kind pid; do
        if [[ $kind == tree ]]; then
            echo "$pid"
        elif [[ "$(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)" == *"$BROWSER_HOME"* ]]; then
            echo "$pid"
        fi
    done <<<"$tree"
}

# One line per browser process: "<pid>:<start time> <cpu ns> <context
# switches of its live threads> <bytes written>".
browser_counters() {
    local pid files=()
    for pid in $(browser_pids); do files+=("/proc/$pid/stat" "/proc/$pid/io" /proc/"$pid"/task/*/status); done
    ((${#files[@]})) || return 0
    grep -sH -E '^(wchar:|voluntary_ctxt_switches|nonvoluntary_ctxt_switches)|\) ' "${files[@]}" |
        awk -v tick="$CLOCK_TICKS" '
        {
            colon = index($0, ":"); path = substr($0, 1, colon - 1); text = substr($0, colon + 1)
            split(path, part, "/"); pid = part[3]
            if (!(pid in seen)) { seen[pid] = 1; order[++n] = pid }
            if (path ~ /\/stat$/) {
                sub(/^.*\) /, "", text); split(text, f, " ")
                ns[pid] = (f[12] + f[13]) * 1e9 / tick; start[pid] = f[20]
            } else if (text ~ /^wchar:/) {
                split(text, f, " "); w[pid] = f[2]
            } else if (text ~ /ctxt_switches/) {
                split(text, f, " "); sw[pid] += f[2]
            }
        }
        END {
            for (i = 1; i <= n; i++) {
                pid = order[i]
                if (pid in start) printf "%s:%s %.0f %d %d\n", pid, start[pid], ns[pid], sw[pid], w[pid]
            }
        }'
}

# Records the browser's counters for a sample, as running totals: to those
# of the previous sample it adds what every process alive now used since
# then (all of it for a process that is new).
BROWSER_PREVIOUS=
browser_sample() {
    local file=$E2E_TMP/browser-sample-$1
    browser_counters >"$file"
    if [[ -z "$BROWSER_PREVIOUS" ]]; then
        APP_NS[$1]=0 APP_SW[$1]=0 APP_W[$1]=0
    else
        local dns dsw dw
        read -r dns dsw dw < <(awk '
            FNR == NR { ns[$1] = $2; sw[$1] = $3; w[$1] = $4; next }
            { a += $2 - ns[$1]; b += $3 - sw[$1]; c += $4 - w[$1] }
            END { printf "%.0f %.0f %.0f\n", a, b, c }' "$E2E_TMP/browser-sample-$BROWSER_PREVIOUS" "$file")
        APP_NS[$1]=$(awk -v a="${APP_NS[$BROWSER_PREVIOUS]}" -v d="$dns" 'BEGIN { printf "%.0f", a + d }')
        APP_SW[$1]=$((APP_SW[$BROWSER_PREVIOUS] + dsw))
        APP_W[$1]=$((APP_W[$BROWSER_PREVIOUS] + dw))
    fi
    BROWSER_PREVIOUS=$1
}

# The browser's proportional and resident set sizes, summed over its processes.
browser_memory() {
    local pid files=()
    for pid in $(browser_pids); do files+=("/proc/$pid/smaps_rollup"); done
    grep -sh -E '^(Pss|Rss):' "${files[@]}" |
        awk '$1 == "Pss:" { p += $2 } $1 == "Rss:" { r += $2 } END { printf "memory pss_kb=%d rss_kb=%d\n", p, r }'
}

# ---------------------------------------------------------------- sampling

declare -A AT APP_NS APP_SW APP_W XS_NS XS_SW LOOP_NS LOOP_SW
sample() {
    AT[$1]=$(now)
    if [[ -n "$browser" ]]; then
        e2e_app_running || fail "the browser is not running at $1"
        browser_sample "$1"
    else
        e2e_app_running || fail "the card is not running at $1"
        APP_NS[$1]=$(cpu_ns "$APP_PID")
        APP_SW[$1]=$(switches "$APP_PID")
        APP_W[$1]=$(written "$APP_PID")
    fi
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
    if [[ -n "$browser" ]]; then
        browser_start
    else
        e2e_start_app
        STARTED=$(now)
    fi
    "$LOOP" >/dev/null 2>&1 &
    LOOP_PID=$!
    E2E_PIDS+=($LOOP_PID)
    if [[ -n "$browser" ]]; then
        browser_wait_window
    else
        e2e_wait_window
    fi
    wait_until_second 18
    sample shake_start
    wait_until_second 25
    sample shake_end
    # The memory 30 s after start, between the shake and the flicker, when
    # the show has drawn everything it will draw but the greeting panel.
    local at30
    wait_until_second 30
    if [[ -n "$browser" ]]; then
        at30=$(browser_memory)
    else
        at30="memory pss_kb=$(awk '/^Pss:/ { print $2 }' "/proc/$APP_PID/smaps_rollup")"
    fi
    wait_until_second 36
    sample flicker_start
    wait_until_second 56
    sample flicker_end
    span shake_start shake_end shake
    span flicker_start flicker_end flicker
    echo "${at30/memory/memory_30s}"
    if [[ -n "$browser" ]]; then
        browser_memory
        # The page's own figures, from its title (see "bench" in the pages);
        # then the first frame once more after a reload, with the browser
        # and its caches warm, as a visitor's second look at the card.
        local title
        title=$(xdotool getwindowname "$E2E_WINDOW" 2>/dev/null)
        [[ "$title" == first_frame_ms=* ]] && echo "page $title"
        xdotool windowactivate --sync "$E2E_WINDOW" key F5 2>/dev/null
        sleep 4
        title=$(xdotool getwindowname "$E2E_WINDOW" 2>/dev/null)
        [[ "$title" == first_frame_ms=* ]] && echo "page_reloaded ${title%% *}"
    else
        echo "memory pss_kb=$(awk '/^Pss:/ { print $2 }' "/proc/$APP_PID/smaps_rollup")" \
            "rss_kb=$(awk '/^Rss:/ { print $2 }' "/proc/$APP_PID/smaps_rollup")"
        [[ -x "$PRESENT_LOOP" ]] && present_floor
    fi
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
