#pragma once

#include "core/store/NameLists.h"
#include "core/store/SettingsStore.h"

#include <string>
#include <vector>

// The backups that name a connection (the one they read from) or a schedule
// (one they run on), in the order of the backups' list: deleting such a
// definition asks with their names.
std::vector<std::string> BackupsUsingConnection(const SettingsStore& store, const NameLists& lists,
                                                const std::string& connection);
std::vector<std::string> BackupsUsingSchedule(const SettingsStore& store, const NameLists& lists,
                                              const std::string& schedule);

// "a, b, c": names for a message.
std::string JoinNames(const std::vector<std::string>& names);
