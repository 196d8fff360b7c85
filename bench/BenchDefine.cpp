// vorda-bench define --data-dir DIR --connection C --host H --port P
//     --database D --user U --password PW --backup NAME --tables T1|T2...
// Writes a connection and a backup of its tables into the settings database
// in DIR, as the editors store them, so a benchmark can run the backup. A
// name defined again is changed as the editors change it.
#include "BenchSupport.h"

#include "core/state/AppState.h"
#include "core/store/Definitions.h"

#include <cstdio>

namespace {

int Define(const std::vector<std::string>& words)
{
    const bench::Args args = bench::ParseArgs(words, {"--data-dir", "--connection", "--host", "--port", "--database",
                                                      "--user", "--password", "--backup", "--tables"});
    for (const char* required : {"--data-dir", "--connection", "--backup", "--tables"}) {
        if (args.Get(required).empty() && args.error.empty())
            std::fprintf(stderr, "vorda-bench define: %s is required\n", required);
    }
    if (!args.error.empty() || !args.positional.empty() || args.Get("--data-dir").empty()
        || args.Get("--connection").empty() || args.Get("--backup").empty() || args.Get("--tables").empty()) {
        if (!args.error.empty())
            std::fprintf(stderr, "vorda-bench define: %s\n", args.error.c_str());
        return 2;
    }
    const std::string connection = args.Get("--connection");
    const std::string backup = args.Get("--backup");
    if (!IsValidName(connection) || !IsValidName(backup) || IsReservedConnectionName(connection)) {
        std::fprintf(stderr, "vorda-bench define: invalid name\n");
        return 2;
    }
    AppState state(bench::PrepareDataDir(args.Get("--data-dir")));
    state.config.LoadConfiguration();

    ConnectionDef c;
    c.name = connection;
    c.description = "benchmark";
    c.host = args.Get("--host", "127.0.0.1");
    c.port = args.Get("--port", "3306");
    c.database = args.Get("--database");
    c.user = args.Get("--user");
    c.password = args.Get("--password");
    c.savePassword = true;
    StoreStatus stored = c.Save(state.store);
    if (!state.nameLists.Contains(NameList::Connections, connection))
        stored.Also(state.nameLists.Add(NameList::Connections, connection));

    BackupDef b;
    b.name = backup;
    b.description = "benchmark";
    b.connection = connection;
    b.tables = SplitBarList(args.Get("--tables"));
    stored.Also(b.Save(state.store));
    // As the editor: a backup defined again keeps the facts of its last run.
    if (!state.nameLists.Contains(NameList::Backups, backup)) {
        stored.Also(BackupDef::StoreNeverProcessed(state.store, backup));
        stored.Also(state.nameLists.Add(NameList::Backups, backup));
    }
    if (!stored) {
        std::fprintf(stderr, "vorda-bench define: the settings file %s could not be written: %s\n",
                     state.paths.dbPath.c_str(), stored.error.c_str());
        return 1;
    }
    return 0;
}

} // namespace

VORDA_BENCH_COMMAND("define", "--data-dir DIR --connection C --host H --port P --database D --user U "
                              "--password PW --backup NAME --tables T1|T2", Define);
