#!/usr/bin/env bash
# Runs every benchmark of a build directory: scripts/bench.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: scripts/bench.sh BUILD_DIR}
here=$(cd "$(dirname "$0")" && pwd)
status=0
found=0
# Each benchmark runs beside a throwaway PostgreSQL server, so that the catalogue figures cover
# both databases.
for b in "$build"/bin/zavek_bench_*; do
    [ -x "$b" ] || continue
    found=1
    echo "== $(basename "$b")"
    bash "$here/with-postgres.sh" "$b" || status=$?
done
# The load test measures SQLite and a throwaway PostgreSQL server side by side: once with a
# server tuned for speed (fsync off), once with a durable one (fsync and synchronous commit on).
if [ -x "$build/bin/zavek_load" ]; then
    found=1
    echo "== zavek_load, PostgreSQL with fsync and synchronous commit off"
    bash "$here/with-postgres.sh" "$build/bin/zavek_load" || status=$?
    echo "== zavek_load, PostgreSQL with fsync and synchronous commit on (durable)"
    ZAVEK_PG_DURABLE=1 bash "$here/with-postgres.sh" "$build/bin/zavek_load" || status=$?
fi
if [ "$found" -eq 0 ]; then
    echo "No benchmarks in $build/bin; build them first (./zavek bench does)." >&2
    exit 1
fi
exit "$status"
