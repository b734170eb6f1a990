#!/usr/bin/env bash
# Runs every benchmark of a build directory: scripts/bench.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: scripts/bench.sh BUILD_DIR}
here=$(cd "$(dirname "$0")" && pwd)
status=0
found=0
for b in "$build"/bin/zavek_bench_*; do
    [ -x "$b" ] || continue
    found=1
    echo "== $(basename "$b")"
    "$b" || status=$?
done
# The load test measures SQLite and a throwaway PostgreSQL server side by side.
if [ -x "$build/bin/zavek_load" ]; then
    found=1
    echo "== zavek_load"
    bash "$here/with-postgres.sh" "$build/bin/zavek_load" || status=$?
fi
if [ "$found" -eq 0 ]; then
    echo "No benchmarks in $build/bin; build them first (./zavek bench does)." >&2
    exit 1
fi
exit "$status"
