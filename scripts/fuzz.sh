#!/usr/bin/env bash
# Runs each libFuzzer target for SECONDS (default 60) from the committed seed corpus and prints,
# per target, the runs made, the crashes found and the peak memory:
#   scripts/fuzz.sh BUILD_DIR [SECONDS]
# New inputs that reach new code are kept in BUILD_DIR/corpus; a crashing input is written to
# BUILD_DIR/crashes and the script exits non-zero.
set -euo pipefail
build=${1:?usage: scripts/fuzz.sh BUILD_DIR [SECONDS]}
seconds=${2:-60}
here=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$build/crashes"
status=0
printf '%-10s %12s %8s %14s\n' target runs crashes "peak RSS (MB)"
for t in message request csv; do
    corpus="$build/corpus/$t"
    mkdir -p "$corpus"
    log="$build/fuzz-$t.log"
    set +e
    nice "$build/bin/fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=2048 \
        -max_len=65536 -timeout=120 -artifact_prefix="$build/crashes/$t-" \
        "$corpus" "$here/fuzz/corpus/$t" >"$log" 2>&1
    rc=$?
    set -e
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo 0)
    rss=$(grep -o 'stat::peak_rss_mb: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
    # Slow units are reported for information; crashes, leaks, time-outs and memory blow-ups fail.
    crashes=$(find "$build/crashes" \( -name "$t-crash-*" -o -name "$t-leak-*" -o -name "$t-timeout-*" \
        -o -name "$t-oom-*" \) | wc -l)
    printf '%-10s %12s %8s %14s\n' "$t" "$runs" "$crashes" "$rss"
    if [ "$rc" -ne 0 ] || [ "$crashes" -ne 0 ]; then
        echo "fuzz_$t stopped with status $rc; see $log and $build/crashes" >&2
        status=1
    fi
done
exit "$status"
