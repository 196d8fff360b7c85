# Sourced by the benchmark scripts, from the top folder of the project.
# bench_server SCRIPT ARGS...: unless a test server is already described in
# VORDA_TEST_DB_*, re-runs SCRIPT under scripts/with-test-server.sh with a
# buffer pool that holds the 1M-row table (VORDA_TEST_DB_SERVER_ARGS=, empty,
# keeps the server's default). Otherwise sets up what both benchmarks share:
# $bench (built when missing), a work folder $work removed at exit, and sql().
bench_server() {
    if [[ -z "${VORDA_TEST_DB_PORT:-}" ]]; then
        export VORDA_TEST_DB_SERVER_ARGS="${VORDA_TEST_DB_SERVER_ARGS---innodb-buffer-pool-size=1G}"
        exec scripts/with-test-server.sh "$@"
    fi
    bench=build/bench/vorda-bench
    [[ -x "$bench" ]] || scripts/build.sh >/dev/null
    work=$(mktemp -d /tmp/vorda-bench.XXXXXX)
    trap 'rm -rf "$work"' EXIT
    connect=(--no-defaults -h127.0.0.1 -P"$VORDA_TEST_DB_PORT" -u"$VORDA_TEST_DB_USER" -p"$VORDA_TEST_DB_PASSWORD")
}

sql() { mariadb "${connect[@]}" "$@"; }
