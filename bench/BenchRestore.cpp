// vorda-bench restore --data-dir DIR --mode indirect|absolute [--safe-copy]
//     [--accept-unfinished] [--accept-other-database] [--batch-bytes N] [--keys-first] [--one-connection] NAME
// Restores backup NAME of the settings database in DIR as the Database
// Backups page does, without a window: every message is printed to standard
// error and every question answered Yes, but the one about a file without
// its closing line (written by an older version, or incomplete), which is
// answered No unless --accept-unfinished is given, and the one about a file
// made from another database or host than the connection names now, which
// is answered No unless --accept-other-database is given. The mode and the
// safe-copy option replace the stored settings for this run only.
// --batch-bytes sets the largest multi-row INSERT (0: one row per statement,
// as one line at a time), for measuring what size serves best; --keys-first
// creates every table with all its keys, instead of adding the plain keys of
// a large InnoDB table after its rows, to measure what that saves;
// --one-connection sends every table's rows on the run's connection instead
// of sending a large table's on a second one while the next is restored.
// Says on standard error how many rows went on the second connection. Events go
// to the history log as the program records them. SIGTERM cancels the
// restore after its current line. Ends with the result line; the exit
// status is 0 only when the restore completed (143 when it was stopped, 75
// when a backup or restore of NAME was running in another process and
// nothing was done).
#include "BenchSupport.h"

#include "core/state/AppState.h"
#include "core/state/MessageKind.h"
#include "core/restore/RestoreRun.h"
#include "core/store/Definitions.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace {

constexpr const char* kUsage
    = "--data-dir DIR --mode indirect|absolute [--safe-copy] [--accept-unfinished] [--accept-other-database] "
      "[--batch-bytes N] [--keys-first] [--one-connection] NAME";

int RunRestore(const std::vector<std::string>& words)
{
    const bench::Args args
        = bench::ParseArgs(words, {"--data-dir", "--mode", "--batch-bytes"},
                           {"--safe-copy", "--accept-unfinished", "--accept-other-database", "--keys-first",
                            "--one-connection"});
    const std::string mode = args.Get("--mode");
    const std::string batch = args.Get("--batch-bytes");
    if (!args.error.empty() || args.positional.size() != 1 || args.Get("--data-dir").empty()
        || (mode != "indirect" && mode != "absolute")
        || batch.find_first_not_of("0123456789") != std::string::npos || batch.size() > 12) {
        std::fprintf(stderr, "usage: vorda-bench restore %s%s%s\n", kUsage, args.error.empty() ? "" : ": ",
                     args.error.c_str());
        return 2;
    }
    const std::string name = args.positional[0];
    AppState state(bench::PrepareDataDir(args.Get("--data-dir")));
    state.config.LoadConfiguration();
    state.log.Load();
    if (!bench::StoreReadable(state, "restore"))
        return 1;
    if (!state.nameLists.Contains(NameList::Backups, name)) {
        std::fprintf(stderr, "vorda-bench restore: no backup named %s in %s\n", name.c_str(),
                     state.paths.dataDir.c_str());
        return 1;
    }
    state.settings().restoreMode = mode == "absolute" ? RestoreMode::Absolute : RestoreMode::Indirect;
    state.settings().safeCopy = args.flags.count("--safe-copy") > 0;
    state.selectedName = name;
    bench::BenchUi ui(1);
    ui.Answer(kUnfinishedFileQuestion, args.flags.count("--accept-unfinished") ? 1 : 0);
    ui.AnswerStartingWith(kRestoreTargetQuestionStart, args.flags.count("--accept-other-database") ? 1 : 0);
    ui.OnStop([&state] { state.restoreCancelRequested = true; });
    bench::CatchStopSignals();

    const auto began = std::chrono::steady_clock::now();
    RestoreRun run(state, ui);
    if (!batch.empty())
        run.SetRowBatchBytes(static_cast<size_t>(std::stoull(batch)));
    if (args.flags.count("--keys-first"))
        run.SetKeyDeferralRows(0);
    if (args.flags.count("--one-connection"))
        run.SetSecondConnectionRows(0);
    const RestoreReport report = run.Run(name);
    if (report.outcome == RestoreOutcome::NotStarted) {
        // Nobody can be asked for a password that was not saved.
        const BackupDef backup = BackupDef::Load(state.store, name);
        if (!ConnectionDef::Load(state.store, backup.connection).savePassword) {
            std::fprintf(stderr, "vorda-bench restore: not run, the password of connection %s was not saved\n",
                         backup.connection.c_str());
            return 1;
        }
        std::fprintf(stderr, "vorda-bench restore: not run, backup %s is busy (see the message above)\n",
                     name.c_str());
        return bench::kBusyStatus;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    ui.ShowMessage(MessageKind::YesNo, RestoreFinalQuestion(report.outcome));
    std::printf("%s\n", bench::ResultLine(static_cast<unsigned long long>(report.rowsInserted), seconds).c_str());
    std::fprintf(stderr, "rows sent on the second connection: %lld\n", report.rowsOnSecondConnection);
    if (bench::StopRequested())
        return bench::kStoppedStatus;
    return report.outcome == RestoreOutcome::Complete ? 0 : 1;
}

} // namespace

VORDA_BENCH_COMMAND("restore", kUsage, RunRestore);
