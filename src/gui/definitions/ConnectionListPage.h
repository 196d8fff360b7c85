#pragma once

#include "gui/definitions/DefinitionListPage.h"

// The connection list: the saved connections, to edit or delete one.
class ConnectionListPage : public DefinitionListPage {
    Q_OBJECT
public:
    static const DefinitionListKind kKind;

    ConnectionListPage(AppState& state, PageHost& host, QWidget* parent = nullptr);
};
