#pragma once

#include "gui/definitions/DefinitionListPage.h"

// The backup list: the saved backups, to edit or delete one.
class BackupListPage : public DefinitionListPage {
    Q_OBJECT
public:
    static const DefinitionListKind kKind;

    BackupListPage(AppState& state, PageHost& host, QWidget* parent = nullptr);
};
