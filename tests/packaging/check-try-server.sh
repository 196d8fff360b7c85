#!/usr/bin/env bash
# check-try-server.sh TRY_SERVER VORDA_BENCH
# Starts scripts/try-server.sh as a person would from a terminal and checks:
#   - it prints the five values of the "Create a New Connection" form, and
#     they connect;
#   - the sample is what the README promises: a few thousand rows, names with
#     apostrophes, NULL phone numbers, dates, foreign keys, non-English text,
#     and a user confined to the sample database;
#   - Vorda backs its four tables up and restores them in Indirect mode
#     (twice, the second time over the VORDA_ tables of the first), each
#     VORDA_ copy holding exactly its original's rows;
#   - Ctrl-C (SIGINT to the script's process group) stops the server, frees
#     its port and removes its folder.
set -euo pipefail
try=$1
bench=$2

work=$(mktemp -d)
pid=""
cleanup() {
    if [[ -n "$pid" ]] && kill -0 "$pid" 2>/dev/null; then
        kill -TERM "$pid"
        wait "$pid" || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    sed 's/^/  try-server: /' "$work/out"
    exit 1
}

# From a terminal the script would get SIGINT at its default disposition;
# started in the background here it would inherit "ignored", so reset it.
# setsid gives it a process group of its own, as a terminal's job has.
setsid perl -e '$SIG{INT} = "DEFAULT"; exec @ARGV' "$try" "$((20000 + RANDOM % 20000))" >"$work/out" 2>&1 &
pid=$!
for _ in $(seq 1 600); do
    grep -q '^  Password:' "$work/out" && break
    kill -0 "$pid" 2>/dev/null || fail "try-server.sh ended before printing the connection"
    sleep 0.1
done
value() { sed -n "s/^  $1 *//p" "$work/out"; }
host=$(value 'Host Name\/IP Address:')
port=$(value 'Port Number:')
database=$(value 'Database Name:')
user=$(value 'User Name:')
password=$(value 'Password:')
folder=$(sed -n 's/^Server folder: //p' "$work/out")
[[ "$host" == 127.0.0.1 && -n "$port" && -n "$database" && -n "$user" && -n "$password" && -d "$folder" ]] \
    || fail "connection values or server folder missing"

sql() {
    mariadb --no-defaults --default-character-set=utf8mb4 -h"$host" -P"$port" -u"$user" -p"$password" -N -B \
        "$database" -e "$1"
}
expect() { # expect WHAT SQL EXPECTED
    local got
    got=$(sql "$2") || fail "$1: query failed"
    [[ "$got" == "$3" ]] || fail "$1: expected '$3', got '$got'"
}

# The sample.
expect "rows per table" "SELECT CONCAT_WS(' ', (SELECT COUNT(*) FROM customers), (SELECT COUNT(*) FROM products),
    (SELECT COUNT(*) FROM orders), (SELECT COUNT(*) FROM order_lines))" "400 40 1500 3750"
expect "names with apostrophes" "SELECT COUNT(*) > 0 FROM customers WHERE last_name IN ('O''Brien', 'D''Angelo')" 1
expect "customers without a phone number" "SELECT COUNT(*) FROM customers WHERE phone IS NULL" 80
expect "date columns" "SELECT COUNT(*) FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE()
    AND DATA_TYPE IN ('date', 'datetime')" 3
expect "foreign keys" "SELECT GROUP_CONCAT(CONCAT(TABLE_NAME, '>', REFERENCED_TABLE_NAME) ORDER BY CONSTRAINT_NAME)
    FROM information_schema.REFERENTIAL_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = DATABASE()" \
    "order_lines>orders,order_lines>products,orders>customers"
expect "non-English text" "SELECT name FROM products WHERE sku = 'TEA-001'" "日本茶 sencha, 100 g"
expect "the user sees only the sample" "SELECT GROUP_CONCAT(SCHEMA_NAME ORDER BY SCHEMA_NAME)
    FROM information_schema.SCHEMATA" "information_schema,$database"

# Vorda's backup and Indirect restore of the whole sample.
tables=(customers products orders order_lines)
data="$work/vorda"
"$bench" define --data-dir "$data" --connection sample --host "$host" --port "$port" --database "$database" \
    --user "$user" --password "$password" --backup sample --tables "$(IFS='|'; echo "${tables[*]}")"
"$bench" backup --data-dir "$data" sample >/dev/null || fail "the backup run failed"
for round in 1 2; do
    "$bench" restore --data-dir "$data" --mode indirect sample >/dev/null || fail "Indirect restore $round failed"
    for t in "${tables[@]}"; do
        sums=$(sql "CHECKSUM TABLE \`$t\`, \`VORDA_$t\`" | cut -f2 | sort -u | wc -l)
        count=$(sql "SELECT COUNT(*) FROM \`VORDA_$t\`")
        [[ "$sums" == 1 && "$count" == "$(sql "SELECT COUNT(*) FROM \`$t\`")" ]] \
            || fail "restore $round: VORDA_$t differs from $t"
    done
done

# Ctrl-C.
kill -INT -- "-$pid"
for _ in $(seq 1 300); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "try-server.sh still runs 30 s after Ctrl-C"
status=0
wait "$pid" || status=$?
pid=""
[[ "$status" == 130 ]] || fail "exit status after Ctrl-C is $status, not 130"
[[ ! -e "$folder" ]] || fail "server folder $folder left behind"
if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then fail "port $port still answers after Ctrl-C"; fi
grep -q 'has stopped' "$work/out" || fail "no word that the server stopped"
echo "try-server.sh: sample checked, backed up and restored twice in Indirect mode, stopped cleanly by Ctrl-C"
