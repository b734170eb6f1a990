#!/usr/bin/env bash
# Runs a command beside a throwaway PostgreSQL server:
#   scripts/with-postgres.sh CMD [ARGS...]
# The server lives in a temporary directory, listens only on 127.0.0.1 (and a socket in that
# directory) on a free port, and is stopped and removed on every way out. While CMD runs,
# ZAVEK_TEST_POSTGRES holds the URL of its empty database zavek_test. Exits with CMD's status.
# The server trades durability for speed (fsync and synchronous commit off) unless
# ZAVEK_PG_DURABLE=1 asks for the settings a production server keeps.
set -euo pipefail

if [ $# -eq 0 ]; then
    echo "usage: scripts/with-postgres.sh CMD [ARGS...]" >&2
    exit 2
fi

find_bin() {
    if [ -n "${ZAVEK_PG_BIN:-}" ] && [ -x "$ZAVEK_PG_BIN/initdb" ]; then
        echo "$ZAVEK_PG_BIN"
        return
    fi
    local d
    for d in $(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -t/ -k4 -n -r); do
        if [ -x "$d/initdb" ] && [ -x "$d/pg_ctl" ] && [ -x "$d/postgres" ]; then
            echo "$d"
            return
        fi
    done
}

pgbin=$(find_bin)
if [ -z "$pgbin" ]; then
    echo "The PostgreSQL server programs (initdb, pg_ctl, postgres) are not installed;" \
        "run scripts/setup.sh, which installs the Debian package postgresql." >&2
    exit 1
fi

# The server refuses to run as root, so as root it runs as an unprivileged system user.
pguser=$(id -un)
if [ "$(id -u)" -eq 0 ]; then
    pguser=zavekpg
    if ! id "$pguser" >/dev/null 2>&1; then
        useradd -r -M -d /nonexistent -s /usr/sbin/nologin "$pguser" 2>/dev/null || pguser=nobody
    fi
fi

dir=$(mktemp -d "${TMPDIR:-/tmp}/zavek-pg.XXXXXX")
chmod 755 "$dir"
mkdir -p "$dir/data" "$dir/sock"
if [ "$(id -u)" -eq 0 ]; then chown -R "$pguser" "$dir"; fi

as_pg() {
    if [ "$(id -u)" -eq 0 ]; then
        (cd "$dir" && runuser -u "$pguser" -- "$@")
    else
        (cd "$dir" && "$@")
    fi
}

started=0
cleanup() {
    local status=$?
    trap - EXIT INT TERM
    if [ "$started" -eq 1 ]; then
        as_pg "$pgbin/pg_ctl" -D "$dir/data" -m immediate -w -t 20 stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

free_port() {
    if command -v python3 >/dev/null 2>&1; then
        python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()' 2>/dev/null && return
    fi
    local p
    for _ in $(seq 50); do
        p=$((20000 + RANDOM % 40000))
        if ! (echo >"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then
            echo "$p"
            return
        fi
    done
    return 1
}

if ! as_pg "$pgbin/initdb" -D "$dir/data" -U zavek -E UTF8 --no-locale -A trust >"$dir/initdb.log" 2>&1; then
    echo "initdb failed:" >&2
    cat "$dir/initdb.log" >&2
    exit 1
fi
# The superuser zavek needs no password on this loopback-only server; every other role must
# give its password, so that a test can see wrong credentials refused.
cat >"$dir/data/pg_hba.conf" <<'HBA'
local all zavek trust
host  all zavek 127.0.0.1/32 trust
local all all scram-sha-256
host  all all 127.0.0.1/32 scram-sha-256
HBA

durability="-c fsync=off -c synchronous_commit=off -c full_page_writes=off"
if [ "${ZAVEK_PG_DURABLE:-0}" = "1" ]; then
    durability="-c fsync=on -c synchronous_commit=on -c full_page_writes=on"
fi

# A free port can be taken between the look and the bind, so a few attempts are made.
for attempt in 1 2 3 4 5; do
    port=$(free_port)
    if as_pg "$pgbin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 \
        -o "-c listen_addresses=127.0.0.1 -p $port -k $dir/sock $durability -c max_connections=120" \
        start >/dev/null 2>&1; then
        started=1
        break
    fi
    if [ "$attempt" -eq 5 ]; then
        echo "The PostgreSQL test server did not start; its log follows." >&2
        cat "$dir/server.log" >&2 || true
        exit 1
    fi
done

if ! as_pg "$pgbin/psql" -X -q -h 127.0.0.1 -p "$port" -U zavek -d postgres \
    -c "CREATE DATABASE zavek_test" >/dev/null; then
    echo "Could not create the database zavek_test on the test server." >&2
    exit 1
fi

export ZAVEK_TEST_POSTGRES="postgresql://zavek@127.0.0.1:$port/zavek_test"
echo "PostgreSQL test server on 127.0.0.1:$port ($ZAVEK_TEST_POSTGRES)" >&2

# CMD runs in the background so that a signal to this script stops the server at once rather
# than after CMD; its standard input stays this script's.
"$@" <&0 &
child=$!
trap 'kill -TERM "$child" 2>/dev/null; wait "$child" 2>/dev/null; exit 130' INT
trap 'kill -TERM "$child" 2>/dev/null; wait "$child" 2>/dev/null; exit 143' TERM
status=0
wait "$child" || status=$?
exit "$status"
