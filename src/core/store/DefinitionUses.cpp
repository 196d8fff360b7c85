#include "core/store/DefinitionUses.h"

#include "core/store/Definitions.h"

#include <algorithm>

std::vector<std::string> BackupsUsingConnection(const SettingsStore& store, const NameLists& lists,
                                                const std::string& connection)
{
    std::vector<std::string> backups;
    for (const std::string& name : lists.Load(NameList::Backups)) {
        if (BackupDef::Load(store, name).connection == connection)
            backups.push_back(name);
    }
    return backups;
}

std::vector<std::string> BackupsUsingSchedule(const SettingsStore& store, const NameLists& lists,
                                              const std::string& schedule)
{
    std::vector<std::string> backups;
    for (const std::string& name : lists.Load(NameList::Backups)) {
        const std::vector<std::string> schedules = BackupDef::Load(store, name).schedules;
        if (std::find(schedules.begin(), schedules.end(), schedule) != schedules.end())
            backups.push_back(name);
    }
    return backups;
}

std::string JoinNames(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}
