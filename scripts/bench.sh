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
# The imports' peak memory for generated 100,000-row files, beside the same program's "init" on
# that database (what any run of it costs): the catalogue, then 100,000 officers with an agency
# and three security groups each.
admin="$build/bin/zavek-admin"
if [ -x "$admin" ] && [ -x /usr/bin/time ]; then
    found=1
    echo "== zavek-admin import-catalogue and import-officers, 100000 rows each, SQLite"
    work=$(mktemp -d)
    awk 'BEGIN { print "REGION,GRP_TYP_CD,GRP_CD,GRP_DES"; split("NW SE NE SW", r, " ");
        for (i = 0; i < 100000; i++)
            printf "%s,%s,G%06d,\"Security group number %d, read\"\n", r[i % 4 + 1],
                i % 10 ? "P" : "A", i, i }' >"$work/catalogue.csv"
    # NW holds the codes G{i} with i % 4 == 0, NE those with i % 4 == 2; agencies end in 0.
    awk 'BEGIN { print "INSP_ID,OFFICER_NAME,REGION,AGENCY_CD,GROUP_CODES";
        for (i = 0; i < 100000; i++) { b = (i % 1000) * 40; a = (i % 1000) * 20;
            if (i % 2) printf "O%06d,\"Officer, number %d\",NE,G%06d,G%06d;G%06d;G%06d\n", i, i,
                a + 10, b + 2, b + 6, b + 14;
            else printf "O%06d,\"Officer, number %d\",NW,G%06d,G%06d;G%06d;G%06d\n", i, i,
                a, b + 4, b + 8, b + 12 } }' >"$work/officers.csv"
    peak() { /usr/bin/time -f "%M %e" -o "$work/kb" "$admin" "$@" --database "$work/bench.db" \
        >/dev/null && awk '{ printf "%d MiB in %.1f s", $1 / 1024, $2 }' "$work/kb"; }
    if init=$(peak init) && first=$(peak import-catalogue "$work/catalogue.csv") &&
        again=$(peak import-catalogue "$work/catalogue.csv") &&
        officers=$(peak import-officers "$work/officers.csv") &&
        officersAgain=$(peak import-officers "$work/officers.csv"); then
        echo "peak RSS: import-catalogue ${first}, re-import (all updated) ${again};" \
            "import-officers ${officers}, re-import (all updated) ${officersAgain};" \
            "init alone ${init}; goal < 64 MiB"
    else
        status=1
    fi
    rm -rf "$work"
fi
if [ "$found" -eq 0 ]; then
    echo "No benchmarks in $build/bin; build them first (./zavek bench does)." >&2
    exit 1
fi
exit "$status"
