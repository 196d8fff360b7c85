#pragma once

#include "gui/definitions/DefinitionListPage.h"

// The schedule list: the saved schedules, to edit or delete one.
class ChildDialog_Backups_Schedule_Edit : public DefinitionListPage {
    Q_OBJECT
public:
    static const DefinitionListKind kKind;

    ChildDialog_Backups_Schedule_Edit(AppState& state, PageHost& host, QWidget* parent = nullptr);
};
