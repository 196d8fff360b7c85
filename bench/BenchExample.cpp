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
    state.config.WriteFirstEntry(false);

    for (const char* name : {"shop", "blog"}) {
        ConnectionDef c;
        c.name = name;
        c.description = std::string("The ") + name + " database";
        c.host = "127.0.0.1";
        c.port = "3306";
        c.database = name;
        c.user = "backup";
        c.Save(state.store);
        state.nameLists.Add(NameList::Connections, name);
    }
    const ScheduleDef schedules[] = {
        {"Nightly", "Every night at two", ScheduleDef::kDaily, {"Time: 02:00 AM"}},
        {"Hourly", "Every hour", ScheduleDef::kHourly, {"Every Turn of the Hour"}},
    };
    for (const ScheduleDef& s : schedules) {
        s.Save(state.store);
        state.nameLists.Add(NameList::Schedules, s.name);
        state.nameLists.RaiseTotal(NameList::Schedules);
    }
    const BackupDef backups[] = {
        {"Nightly_Shop", "The whole shop", "shop", {"customers", "orders", "products"}, {"Nightly"}, {}, {}},
        {"Blog_Posts", "Posts and comments", "blog", {"posts", "comments"}, {}, {}, {}},
        {"Shop_Orders", "Orders by hand", "shop", {"orders"}, {}, {}, {}},
    };
    for (const BackupDef& b : backups) {
        b.Save(state.store);
        BackupDef::StoreNeverProcessed(state.store, b.name);
        state.nameLists.Add(NameList::Backups, b.name);
    }
    const std::string lastRun = FormatLocalTime(TodayAt(2), kLongTimeFormat);
    BackupDef::StoreLastBackup(state.store, "Nightly_Shop", lastRun);
    state.nameLists.StoreLastRun({"Nightly_Shop", lastRun, "Automatic"});
    return 0;
}

} // namespace

VORDA_BENCH_COMMAND("example", "--data-dir DIR", Example);
