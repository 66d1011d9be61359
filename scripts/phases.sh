# Sourced by the test command: times each phase, wall clock and CPU (user + system of every
# process the phase ran, the Wine server and the X server included), and prints a table at the end.
# (The Wine server's CPU after its last phase boundary is not seen: it ends with the X server.)
#   quillan_phase "name"   ends the running phase (printing its times) and starts the next
#   quillan_phase_end      ends the last one and prints every phase's times
QUILLAN_PHASES=()
QUILLAN_PHASE_NAME=
QUILLAN_PHASE_T0=0
QUILLAN_PHASE_CPU0=0
QUILLAN_PHASES_T0=$(date +%s.%N)

# CPU seconds of the processes that outlive their phase's commands: the Wine server of this prefix
# and the X server, which are not waited for, so the shell's own accounting never sees them.
_quillan_daemon_ticks() {
    local ticks=0 p tag f prefix
    local pids=(${QUILLAN_XVFB_PID:-} ${QUILLAN_DESKTOP_XVFB_PIDS[@]+"${QUILLAN_DESKTOP_XVFB_PIDS[@]}"})
    for prefix in ${WINEPREFIX:-} ${QUILLAN_DESKTOP_PREFIXES[@]+"${QUILLAN_DESKTOP_PREFIXES[@]}"}; do
        [ -d "$prefix" ] || continue
        # A Wine server works in a folder named after its prefix's device and inode numbers.
        tag=$(printf 'server-%x-%x' $(stat -c '%d %i' "$prefix"))
        for p in $(pgrep wineserver); do
            [ "$(basename "$(readlink "/proc/$p/cwd" 2>/dev/null)")" = "$tag" ] && pids+=("$p")
        done
    done
    for p in "${pids[@]}"; do
        # Fields 14 and 15 of stat: user and system time in clock ticks (no spaces in these names).
        read -ra f 2>/dev/null <"/proc/$p/stat" || continue
        ticks=$((ticks + f[13] + f[14]))
    done
    echo $ticks
}

QUILLAN_TIMES_FILE=$(mktemp)

# CPU seconds used so far into QUILLAN_CPU: children that ended (bash's times, which must run in
# this shell: a subshell starts with none) plus the servers still running.
_quillan_cpu_now() {
    times >"$QUILLAN_TIMES_FILE"
    QUILLAN_CPU=$(awk -v daemons="$(_quillan_daemon_ticks)" -v hz="$(getconf CLK_TCK)" '
        NR == 2 { for (i = 1; i <= 2; i++) { split($i, t, /[ms]/); sum += t[1] * 60 + t[2] } }
        END { printf "%.1f", sum + daemons / hz }' "$QUILLAN_TIMES_FILE")
}

_quillan_phase_close() {
    [ -n "$QUILLAN_PHASE_NAME" ] || return 0
    local t1 cpu1 wall cpu
    t1=$(date +%s.%N)
    _quillan_cpu_now
    cpu1=$QUILLAN_CPU
    wall=$(awk -v a="$QUILLAN_PHASE_T0" -v b="$t1" 'BEGIN {printf "%.0f", b - a}')
    cpu=$(awk -v a="$QUILLAN_PHASE_CPU0" -v b="$cpu1" 'BEGIN {v = b - a; if (v < 0) v = 0; printf "%.0f", v}')
    echo "-- $QUILLAN_PHASE_NAME: ${wall} s wall, ${cpu} s CPU"
    QUILLAN_PHASES+=("$wall|$cpu|$QUILLAN_PHASE_NAME")
    QUILLAN_PHASE_NAME=
}

quillan_phase() {
    _quillan_phase_close
    QUILLAN_PHASE_NAME=$1
    QUILLAN_PHASE_T0=$(date +%s.%N)
    _quillan_cpu_now
    QUILLAN_PHASE_CPU0=$QUILLAN_CPU
    echo "== $1 =="
}

quillan_phase_end() {
    _quillan_phase_close
    local total entry
    total=$(awk -v a="$QUILLAN_PHASES_T0" -v b="$(date +%s.%N)" 'BEGIN {printf "%.0f", b - a}')
    echo "== time per phase (wall s, CPU s) =="
    for entry in "${QUILLAN_PHASES[@]}"; do
        IFS='|' read -r wall cpu name <<<"$entry"
        printf '%6s %6s  %s\n' "$wall" "$cpu" "$name"
    done
    printf '%6s %6s  %s\n' "$total" "" "in all (setup included)"
}

# quillan_background NAME COMMAND...: runs COMMAND under nice while the next phases run, detached
# so that its CPU time is not counted in theirs: it gets a row of its own (wall time from its start),
# and one per step that COMMAND wrote to $QUILLAN_BG_DIR/rows as "wall|cpu|name" lines.
# quillan_background_wait prints its output and returns its status.
quillan_background() {
    QUILLAN_BG_NAME=$1
    shift
    QUILLAN_BG_DIR=$(mktemp -d)
    echo "== $QUILLAN_BG_NAME: started in the background, under nice =="
    ( (
        start=$(date +%s.%N)
        renice -n 5 -p $BASHPID >/dev/null
        "$@" >"$QUILLAN_BG_DIR/log" 2>&1
        rc=$?
        times >"$QUILLAN_BG_DIR/times"
        awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN {printf "%.0f", b - a}' >"$QUILLAN_BG_DIR/wall"
        echo $rc >"$QUILLAN_BG_DIR/rc"
    ) & )
}

quillan_background_wait() {
    quillan_phase "waiting for: $QUILLAN_BG_NAME"
    while [ ! -f "$QUILLAN_BG_DIR/rc" ]; do sleep 1; done
    cat "$QUILLAN_BG_DIR/log"
    local cpu row
    cpu=$(awk 'NR == 2 { for (i = 1; i <= 2; i++) { split($i, t, /[ms]/); sum += t[1] * 60 + t[2] } }
               END { printf "%.0f", sum }' "$QUILLAN_BG_DIR/times")
    QUILLAN_PHASES+=("$(cat "$QUILLAN_BG_DIR/wall")|$cpu|$QUILLAN_BG_NAME (in the background, beside the phases after it)")
    # Rows of its own steps, when it wrote them ("wall|cpu|name" lines in $QUILLAN_BG_DIR/rows).
    if [ -f "$QUILLAN_BG_DIR/rows" ]; then
        while IFS= read -r row; do QUILLAN_PHASES+=("${row%%|*}|$(cut -d'|' -f2 <<<"$row")|  of which: ${row#*|*|}"); done <"$QUILLAN_BG_DIR/rows"
    fi
    return "$(cat "$QUILLAN_BG_DIR/rc")"
}
