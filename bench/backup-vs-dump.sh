#!/usr/bin/env bash
# backup-vs-dump.sh [ROWS...]          (default: 100000 1000000)
# Times a Vorda backup run (vorda-bench backup) against
# mariadb-dump --single-transaction --skip-extended-insert of the same table
# (one row per INSERT statement on both sides), on a private test server. For
# each table size it fills a table (int key, varchar(40), decimal(8,2), text
# of about 100 bytes), defines a backup of it in a fresh data directory, runs
# both tools REPEAT times (default 3) and keeps the best wall time of each,
# then prints both times, the ratio vorda/mariadb-dump and both peak memories,
# and whether the 1M-row goal (at most 0.80 with the default pool, under
# 64 MB) is met.
#
# It runs twice, each time on a fresh server: with the server's default
# buffer pool (128 MB, which the 1M-row table does not fit) and with a pool
# of 1 GB that holds it, as a production server holds its hot tables.
# VORDA_TEST_DB_SERVER_ARGS (even empty) runs one setting only. A backup
# counts every table (its data heading carries the count) as it reads the
# rows, so the server reads the table once; BACKUP_ARGS passes options to
# vorda-bench backup (--count-ahead: count on a second connection while the
# rows are read, --count-first: before them). The machine's load is printed
# with the figures: both tools share the machine with the server.
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ -z "${VORDA_TEST_DB_PORT:-}" && -z "${VORDA_TEST_DB_SERVER_ARGS+set}" ]]; then
    status=0
    for pool in "" "--innodb-buffer-pool-size=1G"; do
        VORDA_TEST_DB_SERVER_ARGS=$pool "$0" "$@" || status=$?
    done
    exit $status
fi

source bench/bench-common.sh
bench_server "$0" "$@"

repeat=${REPEAT:-3}
sizes=("$@")
[[ ${#sizes[@]} -gt 0 ]] || sizes=(100000 1000000)

# timed OUTFILE COMMAND...: runs COMMAND with its standard output to OUTFILE;
# prints "seconds peak_kb".
timed() {
    local out=$1
    shift
    /usr/bin/time -f "%e %M" -o "$work/time" "$@" >"$out" 2>"$work/stderr" || {
        echo "failed: $*" >&2
        cat "$work/stderr" >&2
        return 1
    }
    cat "$work/time"
}

best() { # best "seconds kb" line of several (least seconds)
    sort -n | head -1
}

echo "server options: ${VORDA_TEST_DB_SERVER_ARGS:-(defaults)}; vorda-bench backup ${BACKUP_ARGS:-(counting while reading)}; best of $repeat runs; load: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-9s %10s %10s %8s %12s %12s\n' rows vorda_s dump_s ratio vorda_kb dump_kb
declare -A per_row
for rows in "${sizes[@]}"; do
    db="vorda_bench_$rows"
    sql -e "DROP DATABASE IF EXISTS $db; CREATE DATABASE $db;
        CREATE TABLE $db.bench (id int NOT NULL PRIMARY KEY, name varchar(40) NOT NULL,
            amount decimal(8,2) NOT NULL, note text NOT NULL);
        INSERT INTO $db.bench SELECT seq, CONCAT('customer ', seq), (seq % 100000) / 100,
            CONCAT(REPEAT(MD5(seq), 3), ' ', seq) FROM $db.seq_1_to_$rows;"

    data="$work/data_$rows"
    "$bench" define --data-dir "$data" --connection bench --host 127.0.0.1 --port "$VORDA_TEST_DB_PORT" \
        --database "$db" --user "$VORDA_TEST_DB_USER" --password "$VORDA_TEST_DB_PASSWORD" \
        --backup "bench_$rows" --tables bench

    vorda_runs=()
    dump_runs=()
    for _ in $(seq 1 "$repeat"); do
        vorda_runs+=("$(timed "$work/vorda.out" "$bench" backup --data-dir "$data" ${BACKUP_ARGS:-} "bench_$rows")")
        result=$(cat "$work/vorda.out")
        dump_runs+=("$(timed "$work/dump.sql" mariadb-dump --no-defaults -h127.0.0.1 -P"$VORDA_TEST_DB_PORT" \
            -u"$VORDA_TEST_DB_USER" -p"$VORDA_TEST_DB_PASSWORD" --single-transaction \
            --skip-extended-insert "$db" bench)")
    done
    read -r v_s v_kb <<<"$(printf '%s\n' "${vorda_runs[@]}" | best)"
    read -r d_s d_kb <<<"$(printf '%s\n' "${dump_runs[@]}" | best)"
    inserts_vorda=$(grep -c '^INSERT INTO' "$data/backup_bench_$rows.tbk")
    inserts_dump=$(grep -c '^INSERT INTO' "$work/dump.sql")
    if [[ "$inserts_vorda" != "$rows" || "$inserts_dump" != "$rows" ]]; then
        echo "row statements: vorda $inserts_vorda, mariadb-dump $inserts_dump, expected $rows" >&2
        exit 1
    fi
    ratio=$(awk -v a="$v_s" -v b="$d_s" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
    printf '%-9s %10s %10s %8s %12s %12s\n' "$rows" "$v_s" "$d_s" "$ratio" "$v_kb" "$d_kb"
    echo "          vorda-bench: $result"
    per_row[$rows]=$(awk -v s="$v_s" -v n="$rows" 'BEGIN { printf "%.3f", s / n * 1e6 }')
    if [[ "$rows" == 1000000 && -z "${VORDA_TEST_DB_SERVER_ARGS:-}" ]]; then
        met=$(awk -v r="$ratio" -v kb="$v_kb" 'BEGIN { print (r <= 0.80 && kb < 65536) ? "met" : "NOT met" }')
        echo "          goal at 1000000 rows, default pool (ratio <= 0.80, memory < 64 MB): $met"
    fi
    sql -e "DROP DATABASE $db"
    rm -rf "$data" "$work/dump.sql"
done
for rows in "${sizes[@]}"; do
    echo "vorda microseconds per row at $rows rows: ${per_row[$rows]}"
done
