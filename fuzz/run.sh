#!/usr/bin/env bash
# Runs each fuzz target for a number of inputs: fuzz/run.sh [RUNS] [TARGET...] (default 10000
# inputs, every target). Each starts from its seed corpus fuzz/corpus/TARGET; the inputs it
# finds go to build-fuzz/corpus/TARGET, a finding (crash, failed invariant, leak) to
# build-fuzz/findings/ and stops the script with a non-zero status. RVX_FUZZ_SECONDS caps each
# target's time as well.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-10000}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(rr ppg settings stream table text wfdb_header wfdb_signal wfdb_annotation edf)
fi
"$root/fuzz/build.sh"

max_len() {
    case "$1" in
    rr) echo 90000 ;; # up to the 40,000 words of a file
    settings) echo 256 ;;
    text) echo 512 ;;
    wfdb_header) echo 2048 ;;
    edf) echo 16384 ;;
    *) echo 8192 ;;
    esac
}

out="$root/build-fuzz"
mkdir -p "$out/findings" "$out/logs"
for t in "${targets[@]}"; do
    mkdir -p "$out/corpus/$t"
    echo "== fuzz_$t: $runs inputs${RVX_FUZZ_SECONDS:+ or ${RVX_FUZZ_SECONDS} s}"
    log="$out/logs/$t.log"
    status=0
    "$out/fuzz_$t" -runs="$runs" -max_len="$(max_len "$t")" \
        -max_total_time="${RVX_FUZZ_SECONDS:-0}" -artifact_prefix="$out/findings/$t-" \
        -print_final_stats=1 "$out/corpus/$t" "$root/fuzz/corpus/$t" >"$log" 2>&1 || status=$?
    if [ "$status" -ne 0 ]; then
        tail -n 40 "$log" >&2
        echo "fuzz_$t: a finding (exit $status), see $out/findings/ and $log" >&2
        exit 1
    fi
    grep -E "^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)" "$log" | tr '\n' ' '
    echo
done
