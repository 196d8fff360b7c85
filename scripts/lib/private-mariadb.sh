# shellcheck shell=bash
# Sourced by the scripts that start a MariaDB server of their own
# (scripts/with-test-server.sh, scripts/try-server.sh and, through the first,
# the benchmarks). The server listens on 127.0.0.1 only, keeps its data,
# socket and logs in a private work folder, and ignores every configuration
# file of the machine (--no-defaults: Debian's own would move the data
# directory and the socket).
#
# private_mariadb_start NAME [PORT] [SERVER OPTION...]
#   Creates the work folder /tmp/NAME.XXXXXX (a short path: the socket lives
#   there), picks a free port (PORT first when given and not empty, else a
#   random one in 20000-39999), makes a data directory with a root user that logs in over the socket,
#   starts mariadbd and waits until it answers. Sets private_mariadb_work,
#   private_mariadb_port, private_mariadb_sock and private_mariadb_pid.
#   The caller sets `trap private_mariadb_stop EXIT` first (and turns INT and
#   TERM into an exit), so the server goes away whatever happens.
# private_mariadb_stop
#   Shuts the server down (mariadb-admin shutdown, then kill) and removes the
#   work folder. Safe to call at any point, and more than once.
# private_mariadb_sql [CLIENT OPTION...]
#   The mariadb client as root over the socket.
# private_mariadb_sample DATABASE USER PASSWORD
#   Creates DATABASE (utf8mb4), a user USER@127.0.0.1 with PASSWORD and all
#   rights on it, and fills it with the sample tables of
#   lib/sample-database.sql.

private_mariadb_work=""
private_mariadb_port=""
private_mariadb_sock=""
private_mariadb_pid=""

private_mariadb_admin() {
    mariadb-admin --no-defaults --user=root --socket="$private_mariadb_sock" "$@"
}

private_mariadb_sql() {
    mariadb --no-defaults --user=root --socket="$private_mariadb_sock" "$@"
}

private_mariadb_sample() {
    private_mariadb_sql <<SQL
CREATE DATABASE $1 CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci;
CREATE USER '$2'@'127.0.0.1' IDENTIFIED BY '$3';
GRANT ALL PRIVILEGES ON $1.* TO '$2'@'127.0.0.1';
SQL
    private_mariadb_sql "$1" <"${BASH_SOURCE[0]%/*}/sample-database.sql"
}

private_mariadb_port_free() {
    ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

private_mariadb_start() {
    local name=$1 wanted=${2:-}
    shift 2 || shift $#
    private_mariadb_work=$(mktemp -d "/tmp/$name.XXXXXX")
    private_mariadb_sock="$private_mariadb_work/sock"
    local datadir="$private_mariadb_work/data"

    local port=${wanted:-$((20000 + RANDOM % 20000))}
    for _ in $(seq 1 50); do
        private_mariadb_port_free "$port" && break
        port=$((20000 + RANDOM % 20000))
    done
    private_mariadb_port_free "$port" || { echo "no free port found for the server" >&2; return 1; }
    private_mariadb_port=$port

    mkdir -p "$datadir"
    mariadb-install-db --no-defaults --user=root --datadir="$datadir" \
        --auth-root-authentication-method=normal --skip-test-db --force >"$private_mariadb_work/install.log" 2>&1 \
        || { cat "$private_mariadb_work/install.log" >&2; return 1; }

    mariadbd --no-defaults --user=root --datadir="$datadir" --port="$port" --bind-address=127.0.0.1 \
        --socket="$private_mariadb_sock" --pid-file="$private_mariadb_work/pid" --skip-name-resolve \
        --character-set-server=utf8mb4 --collation-server=utf8mb4_general_ci \
        --innodb-flush-log-at-trx-commit=2 --skip-innodb-doublewrite \
        --max-allowed-packet=64M "$@" >"$private_mariadb_work/server.log" 2>&1 &
    private_mariadb_pid=$!

    for _ in $(seq 1 300); do
        private_mariadb_admin ping >/dev/null 2>&1 && return 0
        kill -0 "$private_mariadb_pid" 2>/dev/null || break
        sleep 0.1
    done
    echo "the MariaDB server did not start" >&2
    cat "$private_mariadb_work/server.log" >&2
    return 1
}

private_mariadb_stop() {
    if [[ -n "$private_mariadb_pid" ]] && kill -0 "$private_mariadb_pid" 2>/dev/null; then
        private_mariadb_admin shutdown >/dev/null 2>&1 || kill -TERM "$private_mariadb_pid" 2>/dev/null || true
        for _ in $(seq 1 100); do
            kill -0 "$private_mariadb_pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$private_mariadb_pid" 2>/dev/null || true
        wait "$private_mariadb_pid" 2>/dev/null || true
    fi
    private_mariadb_pid=""
    if [[ -n "$private_mariadb_work" ]]; then
        rm -rf "$private_mariadb_work"
        private_mariadb_work=""
    fi
}
