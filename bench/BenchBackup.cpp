// vorda-bench backup --data-dir DIR [--count-first | --count-ahead] [--one-connection] [--compress | --plain] NAME
// Runs backup NAME of the settings database in DIR as a manual run from the
// Execute page does, without a window: every question is answered No and
// every message printed to standard error. Events go to the history log as
// the program records them. SIGTERM cancels the run after its current page
// (the temporary file is removed, the previous backup file kept).
// Each table is counted as its rows are read (held in a spool file until the
// table ends); --count-first counts it on the run's own connection before its
// rows, --count-ahead on a second connection while they are read, as earlier
// versions did, to measure what each costs. --one-connection reads every
// table on the run's own connection instead of every second one on another
// connection at the same time; how many tables the second connection read
// goes to standard error. --compress writes the compressed
// form of the file (backup_NAME.tbk.zst) and --plain the plain one, whatever
// the stored setting says, for this run only. Ends with the result line; the exit status is 0
// only when the run completed (143 when it was stopped, 75 when a backup or
// restore of NAME was running in another process and nothing was done).
#include "BenchSupport.h"

#include "core/state/AppState.h"
#include "core/state/MessageKind.h"
#include "core/engine/BackupRun.h"

#include <chrono>
#include <cstdio>

namespace {

int RunBackup(const std::vector<std::string>& words)
{
    const bench::Args args = bench::ParseArgs(words, {"--data-dir"},
                                              {"--count-first", "--count-ahead", "--one-connection", "--compress", "--plain"});
    if (!args.error.empty() || args.positional.size() != 1 || args.Get("--data-dir").empty()) {
        std::fprintf(stderr,
                     "usage: vorda-bench backup --data-dir DIR [--count-first | --count-ahead] [--one-connection] "
                     "[--compress | --plain] "
                     "NAME%s%s\n",
                     args.error.empty() ? "" : ": ",
                     args.error.c_str());
        return 2;
    }
    const std::string name = args.positional[0];
    AppState state(bench::PrepareDataDir(args.Get("--data-dir")));
    state.config.LoadConfiguration();
    if (args.flags.count("--compress") || args.flags.count("--plain"))
        state.config.settings.compress = args.flags.count("--compress") > 0;
    state.log.Load();
    if (!state.nameLists.Contains(NameList::Backups, name)) {
        std::fprintf(stderr, "vorda-bench backup: no backup named %s in %s\n", name.c_str(), state.paths.dataDir.c_str());
        return 1;
    }
    bench::BenchUi ui(0);
    ui.OnStop([&state] { state.backupCancelRequested = true; });
    bench::CatchStopSignals();

    const std::time_t start = state.clock();
    const auto began = std::chrono::steady_clock::now();
    state.selectedName = name;
    BackupRun run(state, ui);
    run.SetCountMode(args.flags.count("--count-first")   ? BackupRun::CountMode::First
                     : args.flags.count("--count-ahead") ? BackupRun::CountMode::Ahead
                                                         : BackupRun::CountMode::WhileReading);
    run.SetReadAhead(args.flags.count("--one-connection") == 0);
    const BackupOutcome outcome = run.Run(name, RunKind::Manual, start);
    if (outcome.status == RunStatus::Refused) {
        std::fprintf(stderr, "vorda-bench backup: not run, backup %s is busy: %s\n", name.c_str(),
                     outcome.reason.c_str());
        return bench::kBusyStatus;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    if (!outcome.resultWord.empty())
        ui.ShowMessage(MessageKind::YesNo, backuptext::ExecuteAnotherQuestion(outcome.resultWord));
    if (!outcome.serverError.empty())
        std::fprintf(stderr, "server: %s\n", outcome.serverError.c_str());
    std::fprintf(stderr, "tables read on the second connection: %d\n", outcome.tablesReadAhead);
    std::printf("%s\n", bench::ResultLine(outcome.rowsWritten, seconds).c_str());
    if (bench::StopRequested())
        return bench::kStoppedStatus;
    return outcome.status == RunStatus::Completed ? 0 : 1;
}

} // namespace

VORDA_BENCH_COMMAND("backup", "--data-dir DIR [--count-first | --count-ahead] [--one-connection] [--compress | --plain] NAME", RunBackup);
