#!/usr/bin/env bash
# try-server.sh [PORT]
# Starts a throwaway MariaDB server on 127.0.0.1 with a sample shop database,
# vorda_sample, to try Vorda on without a server of your own: customers (names
# with apostrophes, missing phone numbers), products, orders (dates, a foreign
# key to customers) and order lines, about 5,700 rows with some non-English
# text. Prints what to type into Vorda's "Create a New Connection" page and
# waits; Ctrl-C (or SIGTERM) stops the server and removes all its files.
# The server takes PORT, else 3306 (the form's default) when it is free, else
# a free port of its choosing. Installs the mariadb-server and
# mariadb-client packages first when they are missing
# (scripts/install-deps.sh --server).
set -euo pipefail
"$(dirname "$0")/install-deps.sh" --server
# shellcheck source=lib/private-mariadb.sh
source "$(dirname "$0")/lib/private-mariadb.sh"

stop() {
    local status=$?
    if [[ -n "$private_mariadb_work" ]]; then
        private_mariadb_stop
        echo "The sample server has stopped and its files are gone."
    fi
    exit "$status"
}
trap stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

echo "Starting a throwaway MariaDB server ..."
private_mariadb_start vorda-try-server "${1:-3306}"

database=vorda_sample
user=vorda
password="try-$(od -An -N6 -tx1 /dev/urandom | tr -d ' \n')"

private_mariadb_sample "$database" "$user" "$password"

counts=$(private_mariadb_sql -N "$database" -e "
    SELECT CONCAT('customers (', (SELECT COUNT(*) FROM customers), ' rows), products (',
        (SELECT COUNT(*) FROM products), '), orders (', (SELECT COUNT(*) FROM orders), '), order_lines (',
        (SELECT COUNT(*) FROM order_lines), ')')")

cat <<EOF

A throwaway MariaDB server with the sample database is running.
In Vorda, choose "Create a New Connection", give it a Connection Name (for
example sample) and a Connection Description, and type:

  Host Name/IP Address:  127.0.0.1
  Port Number:           $private_mariadb_port
  Database Name:         $database
  User Name:             $user
  Password:              $password

Tables: $counts.
Server folder: $private_mariadb_work
Press Ctrl-C to stop the server; the sample data goes with it.
EOF

wait "$private_mariadb_pid" || true
echo "The sample server ended by itself; its log:" >&2
cat "$private_mariadb_work/server.log" >&2
exit 1
