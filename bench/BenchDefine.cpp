// vorda-bench define --data-dir DIR --connection C --host H --port P
//     --database D --user U --password PW --backup NAME --tables T1|T2...
// Writes a connection and a backup of its tables into the settings database
// in DIR, as the editors store them, so a benchmark can run the backup.
#include "BenchSupport.h"

#include "core/state/AppState.h"
#include "core/store/StoreKeys.h"

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

    const std::string c = ConnectionTable(connection);
    state.store.SetValue(c, keys::kDbcName, connection);
    state.store.SetValue(c, keys::kDbcDescription, "benchmark");
    state.store.SetValue(c, keys::kDbcHost, args.Get("--host", "127.0.0.1"));
    state.store.SetValue(c, keys::kDbcPort, args.Get("--port", "3306"));
    state.store.SetValue(c, keys::kDbcBaseName, args.Get("--database"));
    state.store.SetValue(c, keys::kDbcUserName, args.Get("--user"));
    state.store.SetValue(c, keys::kDbcPassword, args.Get("--password"));
    state.store.SetValue(c, keys::kDbcSavePass, keys::kTrue);
    if (!state.records.IsNameInList(NameList::Connections, connection))
        state.records.AddToNameList(NameList::Connections, connection);

    const std::string b = BackupTable(backup);
    state.store.SetValue(b, keys::kCnsbName, backup);
    state.store.SetValue(b, keys::kCnsbDesc, "benchmark");
    state.store.SetValue(b, keys::kCnsbConnection, connection);
    state.store.SetValue(b, keys::kCnsbTables, args.Get("--tables"));
    state.store.SetValue(b, keys::kCnsbSchedules, "");
    state.store.SetValue(b, keys::kLastBackup, keys::kNeverProcessed);
    if (!state.records.IsNameInList(NameList::Backups, backup))
        state.records.AddToNameList(NameList::Backups, backup);
    return 0;
}

} // namespace

VORDA_BENCH_COMMAND("define", "--data-dir DIR --connection C --host H --port P --database D --user U "
                              "--password PW --backup NAME --tables T1|T2", Define);
