#!/usr/bin/env bash
# restore-vs-client.sh [ROWS...]          (default: 300000 1000000)
# Times a Vorda restore (vorda-bench restore) against the mariadb client
# replaying mariadb-dump output of the same table, on a private test server.
# For each table size it fills the table of the backup benchmark (int key,
# varchar(40), decimal(8,2), text of about 100 bytes), backs it up with
# vorda-bench backup, and dumps it twice with mariadb-dump: one row per
# INSERT statement (--skip-extended-insert, a commit per row) and with the
# default extended inserts. Then, REPEAT times (default 2), each of the three
# is replayed into a fresh database and timed; the best wall time of each is
# kept. Every replay is checked to hold every row and value of the original.
# Prints the three times, the ratios vorda/one-row and vorda/extended, the
# peak memory of vorda-bench and of the client, whether the goal (vorda at
# most 1.2 times the extended replay) is met, and what share of the restore
# the check of the whole file takes (vorda-bench check, best of REPEAT).
#
# MODE=absolute restores over the table instead of beside it (default
# indirect); SAFE_COPY=1 adds safe copies (absolute mode only). The server
# runs with the buffer pool of the backup benchmark (1 GB);
# VORDA_TEST_DB_SERVER_ARGS= (empty) keeps the server's default.
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/bench-common.sh
bench_server "$0" "$@"

repeat=${REPEAT:-2}
mode=${MODE:-indirect}
safe_copy=()
[[ "${SAFE_COPY:-0}" == 1 ]] && safe_copy=(--safe-copy)
sizes=("$@")
[[ ${#sizes[@]} -gt 0 ]] || sizes=(300000 1000000)

# timed OUTFILE INFILE COMMAND...: runs COMMAND reading INFILE, its standard
# output to OUTFILE; prints "seconds peak_kb".
timed() {
    local out=$1 in=$2
    shift 2
    /usr/bin/time -f "%e %M" -o "$work/time" "$@" <"$in" >"$out" 2>"$work/stderr" || {
        echo "failed: $*" >&2
        cat "$work/stderr" >&2
        return 1
    }
    cat "$work/time"
}

best() { sort -n | head -1; }

# The row count and a digest over every value of a table.
digest() {
    sql -N -e "SELECT COUNT(*), BIT_XOR(CRC32(CONCAT_WS('|', id, name, amount, note))) FROM $1"
}

fresh() { sql -e "DROP DATABASE IF EXISTS $1; CREATE DATABASE $1;"; }

echo "server options: ${VORDA_TEST_DB_SERVER_ARGS:-(defaults)}; restore mode $mode ${safe_copy[*]}; best of $repeat runs;" \
    "load: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-9s %9s %9s %9s %11s %11s %11s %11s\n' rows vorda_s onerow_s ext_s vorda/one vorda/ext vorda_kb client_kb
for rows in "${sizes[@]}"; do
    src="vorda_rbench_src_$rows"
    fresh "$src"
    sql -e "CREATE TABLE $src.bench (id int NOT NULL PRIMARY KEY, name varchar(40) NOT NULL,
            amount decimal(8,2) NOT NULL, note text NOT NULL);
        INSERT INTO $src.bench SELECT seq, CONCAT('customer ', seq), (seq % 100000) / 100,
            CONCAT(REPEAT(MD5(seq), 3), ' ', seq) FROM $src.seq_1_to_$rows;"
    expected=$(digest "$src.bench")

    # The Vorda backup of the table, then the connection pointed at the
    # database the restores go to (which the restore is told to accept).
    data="$work/data_$rows"
    define=(define --data-dir "$data" --connection bench --host 127.0.0.1 --port "$VORDA_TEST_DB_PORT"
        --user "$VORDA_TEST_DB_USER" --password "$VORDA_TEST_DB_PASSWORD" --backup "bench_$rows" --tables bench)
    "$bench" "${define[@]}" --database "$src"
    "$bench" backup --data-dir "$data" "bench_$rows" >/dev/null 2>"$work/stderr" || {
        cat "$work/stderr" >&2
        exit 1
    }
    target="vorda_rbench_vorda_$rows"
    "$bench" "${define[@]}" --database "$target"
    table=bench
    [[ "$mode" == indirect ]] && table=VORDA_bench

    mariadb-dump "${connect[@]}" --skip-extended-insert "$src" bench >"$work/onerow.sql"
    mariadb-dump "${connect[@]}" "$src" bench >"$work/extended.sql"

    vorda_runs=()
    one_runs=()
    ext_runs=()
    for _ in $(seq 1 "$repeat"); do
        fresh "$target"
        if [[ "$mode" == absolute ]]; then
            # Something to replace (and to copy, with safe copies).
            sql "$target" <"$work/extended.sql"
        fi
        vorda_runs+=("$(timed "$work/vorda.out" /dev/null "$bench" restore --data-dir "$data" --mode "$mode" \
            "${safe_copy[@]}" --accept-other-database "bench_$rows")")
        result=$(cat "$work/vorda.out")
        [[ "$(digest "$target.$table")" == "$expected" ]] || { echo "vorda restore differs" >&2; exit 1; }

        fresh vorda_rbench_onerow
        one_runs+=("$(timed /dev/null "$work/onerow.sql" mariadb "${connect[@]}" vorda_rbench_onerow)")
        [[ "$(digest vorda_rbench_onerow.bench)" == "$expected" ]] || { echo "one-row replay differs" >&2; exit 1; }

        fresh vorda_rbench_extended
        ext_runs+=("$(timed /dev/null "$work/extended.sql" mariadb "${connect[@]}" vorda_rbench_extended)")
        [[ "$(digest vorda_rbench_extended.bench)" == "$expected" ]] || { echo "extended replay differs" >&2; exit 1; }
    done
    read -r v_s v_kb <<<"$(printf '%s\n' "${vorda_runs[@]}" | best)"
    read -r o_s o_kb <<<"$(printf '%s\n' "${one_runs[@]}" | best)"
    read -r e_s e_kb <<<"$(printf '%s\n' "${ext_runs[@]}" | best)"
    ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
    printf '%-9s %9s %9s %9s %11s %11s %11s %11s\n' "$rows" "$v_s" "$o_s" "$e_s" "$(ratio "$v_s" "$o_s")" \
        "$(ratio "$v_s" "$e_s")" "$v_kb" "$o_kb"
    echo "          vorda-bench: $result"
    echo "          all runs (seconds peak_kb): vorda ${vorda_runs[*]}; one-row ${one_runs[*]}; extended ${ext_runs[*]}"
    met=$(awk -v a="$v_s" -v b="$e_s" 'BEGIN { print (b > 0 && a / b <= 1.2) ? "met" : "NOT met" }')
    echo "          goal (vorda at most 1.2 times the extended replay): $met"
    checks=()
    for _ in $(seq 1 "$repeat"); do
        checks+=("$("$bench" check "$data/backup_bench_$rows.tbk" | sed -n 's/.*seconds=\([0-9.]*\).*/\1/p')")
    done
    c_s=$(printf '%s\n' "${checks[@]}" | sort -n | head -1)
    echo "          check of the whole file: $c_s s, $(awk -v c="$c_s" -v a="$v_s" 'BEGIN { printf "%.1f", 100 * c / a }') % of the restore"
    sql -e "DROP DATABASE $src; DROP DATABASE $target; DROP DATABASE vorda_rbench_onerow;
        DROP DATABASE vorda_rbench_extended;"
    rm -rf "$data" "$work"/*.sql
done
