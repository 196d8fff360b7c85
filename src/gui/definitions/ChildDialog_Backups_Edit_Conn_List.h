#pragma once

#include "gui/definitions/DefinitionListPage.h"

// The connection list: the saved connections, to edit or delete one.
class ChildDialog_Backups_Edit_Conn_List : public DefinitionListPage {
    Q_OBJECT
public:
    static const DefinitionListKind kKind;

    ChildDialog_Backups_Edit_Conn_List(AppState& state, PageHost& host, QWidget* parent = nullptr);
};
