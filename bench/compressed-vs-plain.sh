#!/usr/bin/env bash
# compressed-vs-plain.sh [ROWS...]          (default: 1000000)
# Compares the compressed backup file (backup_NAME.tbk.zst) with the plain one
# on a private test server. For each table size it fills the table of the
# other benchmarks (int key, varchar(40), decimal(8,2), text of about 100
# bytes), then REPEAT times (default 3), in turn, backs it up with
# vorda-bench backup --plain and --compress (each into a data folder of its
# own) and restores each file in Indirect mode (vorda-bench restore, its
# check of the whole file included), checking that every restore holds every
# row and value of the table, and that the zstd tool decodes the compressed
# file to the plain file's text (but for the header's time stamp, as the two
# files come from two runs). Keeps the best wall time of each and prints
# both file sizes, the size ratio compressed/plain, the backup and restore
# times (and the processor time of the best run) with their ratios, the peak
# memories, and whether the goal is met:
# the compressed file at most 0.25 of the plain one, its backup at most 1.1
# times the plain backup's time. The server runs with the buffer pool of the
# backup benchmark (1 GB); VORDA_TEST_DB_SERVER_ARGS= (empty) keeps the
# server's default. The machine's load is printed with the figures.
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/bench-common.sh
bench_server "$0" "$@"

repeat=${REPEAT:-3}
sizes=("$@")
[[ ${#sizes[@]} -gt 0 ]] || sizes=(1000000)

# timed OUTFILE COMMAND...: runs COMMAND with its standard output to OUTFILE;
# prints "seconds peak_kb cpu_seconds" (cpu: user and system time of the
# program, which the load of the machine changes less than the wall time).
timed() {
    local out=$1
    shift
    /usr/bin/time -f "%e %M %U %S" -o "$work/time" "$@" >"$out" 2>"$work/stderr" || {
        echo "failed: $*" >&2
        cat "$work/stderr" >&2
        return 1
    }
    awk '{ printf "%s %s %.2f\n", $1, $2, $3 + $4 }' "$work/time"
}

best() { sort -n | head -1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", (b > 0 ? a / b : 0) }'; }

# The row count and a digest over every value of a table.
digest() {
    sql -N -e "SELECT COUNT(*), BIT_XOR(CRC32(CONCAT_WS('|', id, name, amount, note))) FROM $1"
}

echo "server options: ${VORDA_TEST_DB_SERVER_ARGS:-(defaults)}; best of $repeat runs; load: $(cut -d' ' -f1-3 /proc/loadavg)"
for rows in "${sizes[@]}"; do
    db="vorda_zbench_$rows"
    sql -e "DROP DATABASE IF EXISTS $db; CREATE DATABASE $db;
        CREATE TABLE $db.bench (id int NOT NULL PRIMARY KEY, name varchar(40) NOT NULL,
            amount decimal(8,2) NOT NULL, note text NOT NULL);
        INSERT INTO $db.bench SELECT seq, CONCAT('customer ', seq), (seq % 100000) / 100,
            CONCAT(REPEAT(MD5(seq), 3), ' ', seq) FROM $db.seq_1_to_$rows;"
    expected=$(digest "$db.bench")

    declare -A backup_runs=() restore_runs=() file=()
    for form in plain compress; do
        "$bench" define --data-dir "$work/$form" --connection bench --host 127.0.0.1 --port "$VORDA_TEST_DB_PORT" \
            --database "$db" --user "$VORDA_TEST_DB_USER" --password "$VORDA_TEST_DB_PASSWORD" \
            --backup bench --tables bench
    done
    file[plain]="$work/plain/backup_bench.tbk"
    file[compress]="$work/compress/backup_bench.tbk.zst"
    for _ in $(seq 1 "$repeat"); do
        for form in plain compress; do
            backup_runs[$form]+="$(timed /dev/null "$bench" backup --data-dir "$work/$form" --"$form" bench)"$'\n'
        done
        for form in plain compress; do
            sql -e "DROP TABLE IF EXISTS $db.VORDA_bench"
            restore_runs[$form]+="$(timed /dev/null "$bench" restore --data-dir "$work/$form" --mode indirect bench)"$'\n'
            [[ "$(digest "$db.VORDA_bench")" == "$expected" ]] || { echo "restore of the $form file differs" >&2; exit 1; }
        done
    done
    [[ -f "${file[plain]}" && -f "${file[compress]}" ]] || { echo "backup files missing" >&2; exit 1; }
    [[ ! -e "$work/plain/backup_bench.tbk.zst" && ! -e "$work/compress/backup_bench.tbk" ]] || {
        echo "a backup kept two current files" >&2
        exit 1
    }
    plain_bytes=$(stat -c %s "${file[plain]}")
    zst_bytes=$(stat -c %s "${file[compress]}")
    if ! cmp <(zstd -dc "${file[compress]}" | grep -av '^-- Backup TimeStamp: ') \
        <(grep -av '^-- Backup TimeStamp: ' "${file[plain]}") >/dev/null; then
        echo "the zstd tool decodes the compressed file to other text than the plain file's" >&2
        exit 1
    fi
    read -r bp_s bp_kb bp_cpu <<<"$(printf '%s' "${backup_runs[plain]}" | best)"
    read -r bz_s bz_kb bz_cpu <<<"$(printf '%s' "${backup_runs[compress]}" | best)"
    read -r rp_s rp_kb rp_cpu <<<"$(printf '%s' "${restore_runs[plain]}" | best)"
    read -r rz_s rz_kb rz_cpu <<<"$(printf '%s' "${restore_runs[compress]}" | best)"
    size_ratio=$(ratio "$zst_bytes" "$plain_bytes")
    backup_ratio=$(ratio "$bz_s" "$bp_s")
    echo "$rows rows:"
    printf '  %-12s %14s %14s %10s\n' "" plain compressed ratio
    printf '  %-12s %14s %14s %10s\n' "file bytes" "$plain_bytes" "$zst_bytes" "$size_ratio"
    printf '  %-12s %14s %14s %10s\n' "backup s" "$bp_s" "$bz_s" "$backup_ratio"
    printf '  %-12s %14s %14s %10s\n' "restore s" "$rp_s" "$rz_s" "$(ratio "$rz_s" "$rp_s")"
    printf '  %-12s %14s %14s %10s\n' "backup cpu s" "$bp_cpu" "$bz_cpu" "$(ratio "$bz_cpu" "$bp_cpu")"
    printf '  %-12s %14s %14s %10s\n' "restore cpu s" "$rp_cpu" "$rz_cpu" "$(ratio "$rz_cpu" "$rp_cpu")"
    printf '  %-12s %14s %14s\n' "backup kB" "$bp_kb" "$bz_kb"
    printf '  %-12s %14s %14s\n' "restore kB" "$rp_kb" "$rz_kb"
    echo "  all runs (seconds peak_kb cpu_seconds): backup plain $(echo ${backup_runs[plain]}), compressed $(echo ${backup_runs[compress]});" \
        "restore plain $(echo ${restore_runs[plain]}), compressed $(echo ${restore_runs[compress]})"
    met=$(awk -v s="$size_ratio" -v b="$backup_ratio" 'BEGIN { print (s <= 0.25 && b <= 1.10) ? "met" : "NOT met" }')
    echo "  goal (size at most 0.25 of plain, backup at most 1.1 times plain): $met; load: $(cut -d' ' -f1-3 /proc/loadavg)"
    sql -e "DROP DATABASE $db"
    rm -rf "$work/plain" "$work/compress"
done
