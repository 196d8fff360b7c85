#include "gui/definitions/ScheduleListPage.h"

#include "core/store/DefinitionUses.h"
#include "core/store/Definitions.h"
#include "resources/ResourceIds.h"

const DefinitionListKind ScheduleListPage::kKind = {
    rid::PAGE_EDIT_SCHEDULES,
    rid::IDD_SCHEDULE_LIST,
    " Edit an Existing Schedule ",
    {"Count", "Schedule Name", "Schedule Description"},
    "Edit Database Schedule",
    "Delete Database Schedule",
    "Edit Schedule",
    "Delete Schedule",
    NameList::Schedules,
    "Use the \"Create a New Site Database Backup\" feature first.",
    "No schedule entry has been selected.",
    "Delete this schedule?",
    "Schedule Deleted: ",
    rid::PAGE_CREATE_SCHEDULE,
    &AppState::scheduleEditorMode,
    &ScheduleDef::Description,
    &ScheduleDef::Delete,
    &BackupsUsingSchedule,
    [](const std::vector<std::string>& backups) -> std::string {
        return backups.size() == 1 ? "The backup " + backups[0] + " runs on it: it will no longer run on it."
                                   : "The backups " + JoinNames(backups) + " run on it: they will no longer run on it.";
    },
    false,
};

ScheduleListPage::ScheduleListPage(AppState& state, PageHost& host, QWidget* parent)
    : DefinitionListPage(kKind, state, host, parent)
{
}
