#!/usr/bin/env bash
# with-test-server.sh COMMAND...
# Starts a private MariaDB server on 127.0.0.1 with its own data directory,
# creates a test user with a password, runs COMMAND with the connection in
# VORDA_TEST_DB_HOST, VORDA_TEST_DB_PORT, VORDA_TEST_DB_USER and
# VORDA_TEST_DB_PASSWORD, and stops the server afterwards, whatever happens.
# Exits with COMMAND's status. VORDA_TEST_DB_SERVER_ARGS may add server
# options (benchmarks use it to size the buffer pool).
set -euo pipefail

work=$(mktemp -d /tmp/vorda-test-server.XXXXXX)
datadir="$work/data"
pidfile="$work/pid"
sock="$work/sock"
server_pid=""

admin() { mariadb-admin --no-defaults --user=root --socket="$sock" "$@"; }

stop_server() {
    if [[ -n "$server_pid" ]] && kill -0 "$server_pid" 2>/dev/null; then
        admin shutdown >/dev/null 2>&1 || kill -TERM "$server_pid" 2>/dev/null || true
        for _ in $(seq 1 100); do
            kill -0 "$server_pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$server_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap stop_server EXIT
trap 'exit 130' INT TERM

port_free() {
    ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}
port=${VORDA_TEST_DB_PORT_WANTED:-$((20000 + RANDOM % 20000))}
for _ in $(seq 1 50); do
    port_free "$port" && break
    port=$((20000 + RANDOM % 20000))
done

mkdir -p "$datadir"
mariadb-install-db --no-defaults --user=root --datadir="$datadir" \
    --auth-root-authentication-method=normal --skip-test-db --force >"$work/install.log" 2>&1 \
    || { cat "$work/install.log"; exit 1; }

mariadbd --no-defaults --user=root --datadir="$datadir" --port="$port" --bind-address=127.0.0.1 \
    --socket="$sock" --pid-file="$pidfile" --skip-name-resolve \
    --character-set-server=utf8mb4 --collation-server=utf8mb4_general_ci \
    --innodb-flush-log-at-trx-commit=2 --skip-innodb-doublewrite \
    --max-allowed-packet=64M ${VORDA_TEST_DB_SERVER_ARGS:-} >"$work/server.log" 2>&1 &
server_pid=$!

for _ in $(seq 1 300); do
    admin ping >/dev/null 2>&1 && break
    kill -0 "$server_pid" 2>/dev/null || { cat "$work/server.log"; exit 1; }
    sleep 0.1
done
admin ping >/dev/null 2>&1 || { echo "test server did not start"; cat "$work/server.log"; exit 1; }

password="vorda-test-$RANDOM$RANDOM"
mariadb --no-defaults --user=root --socket="$sock" <<SQL
CREATE USER 'vorda_test'@'127.0.0.1' IDENTIFIED BY '$password';
GRANT ALL PRIVILEGES ON *.* TO 'vorda_test'@'127.0.0.1';
SQL

export VORDA_TEST_DB_HOST=127.0.0.1
export VORDA_TEST_DB_PORT=$port
export VORDA_TEST_DB_USER=vorda_test
export VORDA_TEST_DB_PASSWORD=$password
export VORDA_TEST_DB_SOCKET=$sock
echo "test server: MariaDB on 127.0.0.1:$port"

status=0
"$@" || status=$?
exit $status
