// vorda-bench example --data-dir DIR
// Starts Vorda's settings in DIR as a first start does and fills them with
// the example of the README's screenshot: two connections, two schedules,
// three backups, the facts of last night's scheduled run of Nightly_Shop
// (today at 02:00:00) and the quick start screen switched off. Nothing
// connects anywhere.
#include "BenchSupport.h"

#include "core/history/TimeTexts.h"
#include "core/state/AppState.h"
#include "core/state/StartupCore.h"
#include "core/store/Definitions.h"

#include <cstdio>
#include <ctime>

namespace {

std::time_t TodayAt(int hour)
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    local.tm_hour = hour;
    local.tm_min = 0;
    local.tm_sec = 0;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

int Example(const std::vector<std::string>& words)
{
    const bench::Args args = bench::ParseArgs(words, {"--data-dir"});
    if (!args.error.empty() || !args.positional.empty() || args.Get("--data-dir").empty()) {
        std::fprintf(stderr, "usage: vorda-bench example --data-dir DIR%s%s\n", args.error.empty() ? "" : ": ",
                     args.error.c_str());
        return 2;
    }
    AppState state(bench::PrepareDataDir(args.Get("--data-dir")));
    StartUpBeforePages(state);
    StartUpAfterPages(state);
    StoreStatus stored = state.config.WriteFirstEntry(false);

    for (const char* name : {"shop", "blog"}) {
        ConnectionDef c;
        c.name = name;
        c.description = std::string("The ") + name + " database";
        c.host = "127.0.0.1";
        c.port = "3306";
        c.database = name;
        c.user = "backup";
        stored.Also(c.Save(state.store));
        stored.Also(state.nameLists.Add(NameList::Connections, name));
    }
    const ScheduleDef schedules[] = {
        {"Nightly", "Every night at two", ScheduleDef::kDaily, {"Time: 02:00 AM"}},
        {"Hourly", "Every hour", ScheduleDef::kHourly, {"Every Turn of the Hour"}},
    };
    for (const ScheduleDef& s : schedules) {
        stored.Also(s.Save(state.store));
        stored.Also(state.nameLists.Add(NameList::Schedules, s.name));
        stored.Also(state.nameLists.RaiseTotal(NameList::Schedules));
    }
    const BackupDef backups[] = {
        {"Nightly_Shop", "The whole shop", "shop", {"customers", "orders", "products"}, {"Nightly"}, {}, {}},
        {"Blog_Posts", "Posts and comments", "blog", {"posts", "comments"}, {}, {}, {}},
        {"Shop_Orders", "Orders by hand", "shop", {"orders"}, {}, {}, {}},
    };
    for (const BackupDef& b : backups) {
        stored.Also(b.Save(state.store));
        stored.Also(BackupDef::StoreNeverProcessed(state.store, b.name));
        stored.Also(state.nameLists.Add(NameList::Backups, b.name));
    }
    const std::string lastRun = FormatLocalTime(TodayAt(2), kLongTimeFormat);
    stored.Also(BackupDef::StoreLastBackup(state.store, "Nightly_Shop", lastRun));
    stored.Also(state.nameLists.StoreLastRun({"Nightly_Shop", lastRun, "Automatic"}));
    if (!stored) {
        std::fprintf(stderr, "vorda-bench example: the settings file %s could not be written: %s\n",
                     state.paths.dbPath.c_str(), stored.error.c_str());
        return 1;
    }
    return 0;
}

} // namespace

VORDA_BENCH_COMMAND("example", "--data-dir DIR", Example);
