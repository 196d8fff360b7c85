#!/usr/bin/env bash
# with-test-server.sh COMMAND...
# Starts a private MariaDB server on 127.0.0.1 with its own data directory,
# creates a test user with a password, runs COMMAND with the connection in
# VORDA_TEST_DB_HOST, VORDA_TEST_DB_PORT, VORDA_TEST_DB_USER and
# VORDA_TEST_DB_PASSWORD, and stops the server afterwards, whatever happens.
# Exits with COMMAND's status. VORDA_TEST_DB_SERVER_ARGS may add server
# options (benchmarks use it to size the buffer pool);
# VORDA_TEST_DB_PORT_WANTED names the port to try first.
set -euo pipefail
# shellcheck source=lib/private-mariadb.sh
source "$(dirname "$0")/lib/private-mariadb.sh"

trap private_mariadb_stop EXIT
trap 'exit 130' INT TERM
# shellcheck disable=SC2086 # the server options are words
private_mariadb_start vorda-test-server "${VORDA_TEST_DB_PORT_WANTED:-}" ${VORDA_TEST_DB_SERVER_ARGS:-}

password="vorda-test-$RANDOM$RANDOM"
private_mariadb_sql <<SQL
CREATE USER 'vorda_test'@'127.0.0.1' IDENTIFIED BY '$password';
GRANT ALL PRIVILEGES ON *.* TO 'vorda_test'@'127.0.0.1' WITH GRANT OPTION;
SQL

export VORDA_TEST_DB_HOST=127.0.0.1
export VORDA_TEST_DB_PORT=$private_mariadb_port
export VORDA_TEST_DB_USER=vorda_test
export VORDA_TEST_DB_PASSWORD=$password
export VORDA_TEST_DB_SOCKET=$private_mariadb_sock
echo "test server: MariaDB on 127.0.0.1:$private_mariadb_port"

status=0
"$@" || status=$?
exit $status
