#include "gui/definitions/ConnectionListPage.h"

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
};

ConnectionListPage::ConnectionListPage(AppState& state, PageHost& host,
                                                                       QWidget* parent)
    : DefinitionListPage(kKind, state, host, parent)
{
}
