#include "core/state/AppState.h"

#include <utility>

AppPaths AppPaths::ForDataDir(std::string dataDir)
{
    if (dataDir.empty() || dataDir.back() != '/')
        dataDir += '/';
    AppPaths paths;
    paths.dataDir = dataDir;
    paths.dbPath = dataDir + "vorda.db";
    paths.logPath = dataDir + "vorda_history.log";
    return paths;
}

AppState::AppState(const std::string& dataDir, Clock clockSource)
    : paths(AppPaths::ForDataDir(dataDir))
    , clock(std::move(clockSource))
    , store(paths.dbPath)
    , config(store, totals)
    , nameLists(store, totals)
    , log(paths.logPath, clock)
{
}
