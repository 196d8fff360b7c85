#include "gui/definitions/ConnectionListPage.h"

#include "core/store/DefinitionUses.h"
#include "core/store/Definitions.h"
#include "resources/ResourceIds.h"

const DefinitionListKind ConnectionListPage::kKind = {
    rid::PAGE_EDIT_CONNECTIONS,
    rid::IDD_CONNECTION_LIST,
    " Edit an Existing Connection ",
    {" Site #", "Site Name", "Site Description"},
    "Edit Database Connection",
    "Delete Database Connection",
    "Edit Connection",
    "Delete Connection",
    NameList::Connections,
    "Use the \"Create a New MySQL Database Connection\" Feature First.",
    "No connection entry has been selected.",
    "Delete this connection?",
    "Connection Deleted: ",
    rid::PAGE_CREATE_CONNECTION,
    &AppState::connectionEditorMode,
    &ConnectionDef::Description,
    &ConnectionDef::Delete,
    &BackupsUsingConnection,
    [](const std::vector<std::string>& backups) -> std::string {
        return backups.size() == 1
            ? "The backup " + backups[0] + " reads from it: it cannot run until another connection is chosen for it."
            : "The backups " + JoinNames(backups)
                + " read from it: they cannot run until another connection is chosen for them.";
    },
    false,
};

ConnectionListPage::ConnectionListPage(AppState& state, PageHost& host,
                                                                       QWidget* parent)
    : DefinitionListPage(kKind, state, host, parent)
{
}
