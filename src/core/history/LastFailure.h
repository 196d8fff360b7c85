#pragma once

#include "core/store/SettingsStore.h"

#include <string>

// The last backup or restore run that failed or was skipped, kept beside
// the last-run facts in Tesmo_COUNTERS (LAST_FAILURE_NAME, LAST_FAILURE_DT,
// LAST_FAILURE_REASON) for the statistics page. Empty texts: none yet.
struct LastFailure {
    std::string name;   // the backup's name
    std::string time;   // when it failed, long time form
    std::string reason; // what went wrong, one line
};

StoreStatus StoreLastFailure(const SettingsStore& store, const LastFailure& failure);
LastFailure LoadLastFailure(const SettingsStore& store);
