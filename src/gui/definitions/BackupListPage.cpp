#include "gui/definitions/BackupListPage.h"

#include "core/store/Definitions.h"
#include "resources/ResourceIds.h"

const DefinitionListKind BackupListPage::kKind = {
    rid::PAGE_EDIT_BACKUPS,
    rid::IDD_BACKUP_LIST,
    " Edit an Existing Database Backup ",
    {"Count", "Backup Name", "Backup Description"},
    "Edit Database Backup",
    "Delete Database Backup",
    "Edit Backup",
    "Delete Backup",
    NameList::Backups,
    "Use the \"Create a New Connection and Backup\" features first.",
    "No backup entry has been selected.",
    "Delete this backup?",
    "Backup Deleted: ",
    rid::PAGE_CREATE_BACKUP,
    &AppState::backupEditorMode,
    &BackupDef::Description,
    &BackupDef::Delete,
    nullptr,
    nullptr,
    true,
};

BackupListPage::BackupListPage(AppState& state, PageHost& host, QWidget* parent)
    : DefinitionListPage(kKind, state, host, parent)
{
}
