#pragma once

#include "gui/definitions/DefinitionListPage.h"

// The schedule list: the saved schedules, to edit or delete one.
class ScheduleListPage : public DefinitionListPage {
    Q_OBJECT
public:
    static const DefinitionListKind kKind;

    ScheduleListPage(AppState& state, PageHost& host, QWidget* parent = nullptr);
};
