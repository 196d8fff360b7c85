#pragma once

#include "gui/definitions/DefinitionListPage.h"

// The backup list: the saved backups, to edit or delete one.
class ChildDialog_Backups_Edit_DB : public DefinitionListPage {
    Q_OBJECT
public:
    static const DefinitionListKind kKind;

    ChildDialog_Backups_Edit_DB(AppState& state, PageHost& host, QWidget* parent = nullptr);
};
