#!/usr/bin/env bash
# Fuzzing campaign: scripts/fuzz.sh [seconds] [name...]
#   Runs each libFuzzer target (all by default) for SECONDS (default 600) from its committed corpus
#   tests/fuzz/corpus/NAME, then merges what it found into that corpus (-merge=1 keeps the named seeds
#   and adds only inputs that reach new coverage). Ends with each target's cov: and ft: before and
#   after. QUILLAN_FUZZ_JOBS targets run at once (default 1); they run under nice, so builds keep moving.
#   A crash leaves its input in build/fuzz/findings/ and makes the script exit non-zero. libFuzzer's
#   time-out counts wall time, which a loaded machine stretches for a niced fuzzer a hundredfold, so an
#   input that timed out is run again alone, not niced, with a 10 s limit: only a real hang fails.
# scripts/fuzz.sh --replay [name...]
#   Replays the committed corpora once, no mutation (the test command's check).
set -uo pipefail
cd "$(dirname "$0")/.."
mode=campaign
seconds=600
if [ "${1:-}" = --replay ]; then
    mode=replay; shift
elif [[ "${1:-}" =~ ^[0-9]+$ ]]; then
    seconds=$1; shift
fi
scripts/build.sh fuzz >/dev/null || { scripts/build.sh fuzz 2>&1 | tail -30; exit 1; }

names=("$@")
if [ ${#names[@]} -eq 0 ]; then
    for f in build/fuzz/tests/fuzz/*_fuzzer; do names+=("$(basename "$f" _fuzzer)"); done
fi
for name in "${names[@]}"; do
    if [ ! -x "build/fuzz/tests/fuzz/${name}_fuzzer" ]; then
        echo "no fuzz target \"$name\"; the targets: $(cd build/fuzz/tests/fuzz && ls -- *_fuzzer | sed 's/_fuzzer$//' | tr '\n' ' ')" >&2
        exit 2
    fi
done
out=build/fuzz/findings
mkdir -p "$out"

# "cov: N ft: M" of libFuzzer's INITED line: the coverage the corpus reaches.
coverage() {
    sed -n 's/.*INITED cov: \([0-9]*\) ft: \([0-9]*\).*/cov \1 ft \2/p' "$1" | head -1
}

replay() {  # name -> log; status of the run
    local name=$1 fuzzer=build/fuzz/tests/fuzz/$1_fuzzer
    "$fuzzer" -runs=0 "tests/fuzz/corpus/$name" >"$out/$name.replay.log" 2>&1
}

campaign() {
    local name=$1 fuzzer=build/fuzz/tests/fuzz/$1_fuzzer corpus=tests/fuzz/corpus/$1
    local work=build/fuzz/work/$name status=0
    rm -rf "$work" "$out/$name.notes" "$out/$name"-timeout-*; mkdir -p "$work"
    replay "$name"; coverage "$out/$name.replay.log" >"$out/$name.before"
    # New inputs go to the work folder; the committed corpus is only read.
    nice -n 19 "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 -timeout=600 -rss_limit_mb=1024 \
        -artifact_prefix="$out/$name-" "$work" "$corpus" >"$out/$name.campaign.log" 2>&1 || status=1
    for unit in "$out/$name"-timeout-*; do
        [ -f "$unit" ] || continue
        if "$fuzzer" -timeout=10 -runs=1 "$unit" >"$unit.alone.log" 2>&1; then
            echo "$(basename "$unit") timed out only under load" >>"$out/$name.notes"
            status=0
        fi
    done
    nice -n 19 "$fuzzer" -merge=1 "$corpus" "$work" >"$out/$name.merge.log" 2>&1 || status=1
    replay "$name" || status=1
    coverage "$out/$name.replay.log" >"$out/$name.after"
    echo $status >"$out/$name.status"
}

if [ $mode = replay ]; then
    status=0
    for name in "${names[@]}"; do
        if replay "$name"; then
            echo "fuzz replay $name: $(ls "tests/fuzz/corpus/$name" | wc -l) inputs, $(coverage "$out/$name.replay.log"), no crash"
        else
            echo "fuzz replay $name FAILED:"; tail -30 "$out/$name.replay.log"; status=1
        fi
    done
    exit $status
fi

jobs=${QUILLAN_FUZZ_JOBS:-1}
echo "fuzzing ${names[*]} for ${seconds} s each, $jobs at a time"
for name in "${names[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n; done
    campaign "$name" &
done
wait

status=0
printf '%-12s %-22s %-22s %s\n' target before after result
for name in "${names[@]}"; do
    result="ok, $(sed -n 's/.*stat::number_of_executed_units: *//p' "$out/$name.campaign.log") runs"
    if [ "$(cat "$out/$name.status")" != 0 ]; then
        result="FAILED: $(grep -m1 -o 'ERROR: .*\|deadly signal\|Test unit written to .*' "$out/$name.campaign.log" "$out/$name.replay.log" | head -2 | tr '\n' ' ')"
        status=1
    fi
    printf '%-12s %-22s %-22s %s\n' "$name" "$(cat "$out/$name.before")" "$(cat "$out/$name.after")" "$result"
    [ -f "$out/$name.notes" ] && sed 's/^/             note: /' "$out/$name.notes"
done
exit $status
