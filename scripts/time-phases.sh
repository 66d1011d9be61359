#!/usr/bin/env bash
# Runs a command that prints a "== phase ==" line as each phase begins (the test command does) and
# prefixes every line of its output with the Unix time; at each phase line, and at the end, prints
# "#cpu <seconds>": the CPU time (user + system) that the command's finished children have used so
# far, the Wine servers of the command's tree included. Meant for comparing versions of the test
# command on one machine: scripts/time-phases.sh scripts/test.sh >log
set -uo pipefail
hz=$(getconf CLK_TCK)
fifo=$(mktemp -u)
mkfifo "$fifo"
"$@" >"$fifo" 2>&1 &
main=$!
# Fields 16 and 17 of stat: CPU of the children waited for; 14 and 15: a process's own.
cpu() {
    local ticks f p
    read -ra f 2>/dev/null <"/proc/$main/stat" || { echo -1; return; }
    ticks=$((f[15] + f[16]))
    for p in $(pgrep wineserver) $(pgrep -x Xvfb); do
        # Only servers started under this command: they were started in its folder.
        tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qx "PWD=$PWD" || continue
        read -ra f 2>/dev/null <"/proc/$p/stat" || continue
        ticks=$((ticks + f[13] + f[14]))
    done
    awk -v t="$ticks" -v hz="$hz" 'BEGIN {printf "%.1f", t / hz}'
}
last=0
while IFS= read -r line; do
    case "$line" in
        "== "*) last=$(cpu); echo "$(date +%s) #cpu $last" ;;
    esac
    echo "$(date +%s) $line"
done <"$fifo"
rm -f "$fifo"
wait $main
rc=$?
# Once the command has ended, its whole tree is counted in this shell's children.
times >"$fifo"
end=$(awk 'NR == 2 { for (i = 1; i <= 2; i++) { split($i, t, /[ms]/); sum += t[1] * 60 + t[2] } } END { printf "%.1f", sum }' "$fifo")
rm -f "$fifo"
echo "$(date +%s) #cpu $end end rc=$rc"
exit $rc
