#!/usr/bin/env bash
# side-by-side.sh
# Times Vorda against the usual tools on sysbench's OLTP tables (TABLES
# tables, default 8, of ROWS rows each, default 250000, made by `sysbench
# oltp_read_write prepare` on a private server with its default settings):
#
#   backup:  vorda-bench backup; mariadb-dump --single-transaction (extended
#            inserts) and with --skip-extended-insert; mydumper -t 2
#   restore: vorda-bench restore, Indirect and Absolute, into an empty
#            database; the mariadb client replaying the extended dump;
#            myloader -t 2
#
# Before timing, the server has written out the pages sysbench left dirty,
# and each backup tool's previous output file is removed (not timed). A
# Vorda backup's time includes making its file durable (fdatasync before the
# rename that puts it in place); the peers' times end when their output is
# written, wherever the kernel holds it. A Vorda restore sends the rows of
# every second table on a second connection (RESTORE_ARGS=--one-connection
# sends all on one).
# The goals (Vorda at most 0.6 of mariadb-dump --single-transaction and of
# the client's replay, in under 64 MB) are said met or missed at the end.
# Each is run REPEAT times (default 3) and the best wall time kept; the
# peak memory of that run is printed beside it, with the ratio of Vorda to
# each peer and the load average before and after. Every restore is checked
# to hold every row and value of the source tables (CHECKSUM TABLE).
# VORDA_BENCH names another vorda-bench program to time (default
# build/bench/vorda-bench). BACKUP_ARGS and RESTORE_ARGS pass options to
# vorda-bench backup and
# restore (for example RESTORE_ARGS="--batch-bytes 4194304").
# Needs sysbench, mydumper and time: scripts/install-deps.sh --bench.
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ -z "${VORDA_TEST_DB_PORT:-}" ]]; then
    export VORDA_TEST_DB_SERVER_ARGS="${VORDA_TEST_DB_SERVER_ARGS-}"
fi
source bench/bench-common.sh
bench_server "$0" "$@"

bench=${VORDA_BENCH:-$bench}
for tool in sysbench mydumper myloader mariadb-dump /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/install-deps.sh --bench" >&2; exit 1; }
done

repeat=${REPEAT:-3}
ntables=${TABLES:-8}
nrows=${ROWS:-250000}
src=sbtest
tables=()
for i in $(seq 1 "$ntables"); do tables+=("sbtest$i"); done
table_list=$(IFS='|'; echo "${tables[*]}")
table_commas=$(IFS=','; echo "${tables[*]}")

load() { cut -d' ' -f1-3 /proc/loadavg; }

# timed IN OUT COMMAND...: runs COMMAND with standard input IN and output
# OUT; prints "seconds peak_kb".
timed() {
    local in=$1 out=$2
    shift 2
    /usr/bin/time -f "%e %M" -o "$work/time" "$@" <"$in" >"$out" 2>"$work/stderr" || {
        echo "failed: $*" >&2
        cat "$work/stderr" >&2
        return 1
    }
    cat "$work/time"
}

# best NAME: the least "seconds kb" of the runs recorded under NAME.
declare -A runs
record() { runs[$1]="${runs[$1]:-}$2"$'\n'; }
best() { printf '%s' "${runs[$1]}" | sort -n | head -1; }

fresh() { sql -e "DROP DATABASE IF EXISTS $1; CREATE DATABASE $1;"; }

# checksums DB [PREFIX]: the CHECKSUM TABLE value of every table, in order.
checksums() {
    local list=() t
    for t in "${tables[@]}"; do list+=("$1.${2:-}$t"); done
    sql -N -e "CHECKSUM TABLE $(IFS=','; echo "${list[*]}")" | awk '{ print $2 }' | tr '\n' ' '
}

echo "load before prepare: $(load)"
fresh "$src"
sysbench oltp_read_write --db-driver=mysql --mysql-host=127.0.0.1 --mysql-port="$VORDA_TEST_DB_PORT" \
    --mysql-user="$VORDA_TEST_DB_USER" --mysql-password="$VORDA_TEST_DB_PASSWORD" --mysql-db="$src" \
    --tables="$ntables" --table-size="$nrows" prepare >"$work/prepare.log"
expected=$(checksums "$src")
# The pages sysbench wrote are flushed before anything is timed, so that no
# tool pays for the server writing them out meanwhile.
dirty_pct=$(sql -N -e "SELECT @@GLOBAL.innodb_max_dirty_pages_pct")
sql -e "SET GLOBAL innodb_max_dirty_pages_pct = 0"
for _ in $(seq 1 240); do
    [[ "$(sql -N -e "SHOW GLOBAL STATUS LIKE 'Innodb_buffer_pool_pages_dirty'" | awk '{ print $2 }')" == 0 ]] && break
    sleep 0.5
done
sql -e "SET GLOBAL innodb_max_dirty_pages_pct = $dirty_pct"
sync
bytes=$(sql -N -e "SELECT SUM(DATA_LENGTH + INDEX_LENGTH) FROM information_schema.TABLES WHERE TABLE_SCHEMA = '$src'")
echo "data set: $ntables tables of $nrows rows, $((bytes / 1048576)) MB on the server;" \
    "server options: ${VORDA_TEST_DB_SERVER_ARGS:-(defaults)}; best of $repeat"

data="$work/data"
target=vorda_target
define=(define --data-dir "$data" --connection bench --host 127.0.0.1 --port "$VORDA_TEST_DB_PORT"
    --user "$VORDA_TEST_DB_USER" --password "$VORDA_TEST_DB_PASSWORD" --backup oltp --tables "$table_list")
dump=(mariadb-dump "${connect[@]}" --single-transaction)
mydumper_args=(-h 127.0.0.1 -P "$VORDA_TEST_DB_PORT" -u "$VORDA_TEST_DB_USER" -p "$VORDA_TEST_DB_PASSWORD" -t 2)

echo "load before the backups: $(load)"
for _ in $(seq 1 "$repeat"); do
    "$bench" "${define[@]}" --database "$src" >/dev/null
    # The previous run's files go first, outside the timing, for every tool:
    # freeing a large file's blocks is the file system's work, not the tool's.
    rm -f "$data"/backup_oltp.tbk "$work/extended.sql" "$work/onerow.sql"
    sync
    record vorda_backup "$(timed /dev/null "$work/vorda.out" "$bench" backup --data-dir "$data" ${BACKUP_ARGS:-} oltp)"
    record dump_ext "$(timed /dev/null "$work/extended.sql" "${dump[@]}" "$src" "${tables[@]}")"
    record dump_one "$(timed /dev/null "$work/onerow.sql" "${dump[@]}" --skip-extended-insert "$src" "${tables[@]}")"
    rm -rf "$work/mydumper"
    record mydumper "$(timed /dev/null /dev/null mydumper "${mydumper_args[@]}" -B "$src" -T "$table_commas" \
        -o "$work/mydumper")"
done
echo "load after the backups: $(load)"
file="$data/backup_oltp.tbk"
echo "sizes: vorda $(stat -c %s "$file") bytes, mariadb-dump extended $(stat -c %s "$work/extended.sql")," \
    "one row per INSERT $(stat -c %s "$work/onerow.sql")"

# The restores go to an empty database that the connection names (the
# restore is told to accept a database other than the file's).
"$bench" "${define[@]}" --database "$target" >/dev/null
echo "load before the restores: $(load)"
for _ in $(seq 1 "$repeat"); do
    for mode in indirect absolute; do
        fresh "$target"
        record "vorda_$mode" "$(timed /dev/null "$work/vorda.out" "$bench" restore --data-dir "$data" --mode "$mode" \
            --accept-other-database ${RESTORE_ARGS:-} oltp)"
        prefix=
        [[ "$mode" == indirect ]] && prefix=VORDA_
        [[ "$(checksums "$target" "$prefix")" == "$expected" ]] || { echo "vorda $mode restore differs" >&2; exit 1; }
    done
    fresh "$target"
    record client "$(timed "$work/extended.sql" /dev/null mariadb "${connect[@]}" "$target")"
    [[ "$(checksums "$target")" == "$expected" ]] || { echo "client replay differs" >&2; exit 1; }
    fresh "$target"
    record myloader "$(timed /dev/null /dev/null myloader "${mydumper_args[@]}" -d "$work/mydumper" -B "$target" -o)"
    [[ "$(checksums "$target")" == "$expected" ]] || { echo "myloader restore differs" >&2; exit 1; }
done
echo "load after the restores: $(load)"

row() { # row LABEL NAME [VORDA_NAME]
    local s kb
    read -r s kb <<<"$(best "$2")"
    local ratio=""
    if [[ -n "${3:-}" ]]; then
        local v
        read -r v _ <<<"$(best "$3")"
        ratio=$(awk -v a="$v" -v b="$s" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
    fi
    printf '%-46s %8s s %9.1f MB %8s\n' "$1" "$s" "$(awk -v k="$kb" 'BEGIN { print k / 1024 }')" "$ratio"
}
printf '%-46s %10s %12s %8s\n' "" "best" "peak" "vorda/it"
row "backup: vorda" vorda_backup
row "backup: mariadb-dump --single-transaction" dump_ext vorda_backup
row "backup: mariadb-dump --skip-extended-insert" dump_one vorda_backup
row "backup: mydumper -t 2" mydumper vorda_backup
row "restore: vorda indirect" vorda_indirect
row "restore: vorda absolute" vorda_absolute
row "restore: mariadb < extended dump (indirect)" client vorda_indirect
row "restore: mariadb < extended dump (absolute)" client vorda_absolute
row "restore: myloader -t 2 (indirect)" myloader vorda_indirect
for name in vorda_backup dump_ext dump_one mydumper vorda_indirect vorda_absolute client myloader; do
    echo "runs of $name (seconds peak_kb): $(printf '%s' "${runs[$name]}" | tr '\n' ' ')"
done
# goal LABEL VORDA_NAME PEER_NAME: whether Vorda's best is at most 0.6 of
# the peer's, and its peak memory under 64 MB.
goal() {
    local v vkb p
    read -r v vkb <<<"$(best "$2")"
    read -r p _ <<<"$(best "$3")"
    awk -v l="$1" -v v="$v" -v p="$p" -v kb="$vkb" 'BEGIN {
        met = (p > 0 && v / p <= 0.6 && kb < 65536)
        printf "goal %s (at most 0.60, under 64 MB): %.2f, %.1f MB: %s\n", l, v / p, kb / 1024, met ? "met" : "missed" }'
}
goal "backup against mariadb-dump --single-transaction" vorda_backup dump_ext
goal "Indirect restore against the client's replay" vorda_indirect client
goal "Absolute restore against the client's replay" vorda_absolute client
sql -e "DROP DATABASE $src; DROP DATABASE $target"
