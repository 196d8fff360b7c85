#pragma once

#include "core/state/AppState.h"
#include "core/store/Definitions.h"

#include "gui/app/UnsavedChanges.h"
#include "gui/definitions/EditorParts.h"

#include <QWidget>

class PageHost;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class ValueLabel;

// The connection editor: defines a connection to a MySQL server (create
// mode, from the menu) or changes one (edit mode, from the connection list),
// and tries it out against the server before it is saved.
class ConnectionEditor : public QWidget, public UnsavedChanges {
    Q_OBJECT
public:
    static constexpr int kPortLimit = 10;
    static constexpr int kFieldLimit = 50;
    static constexpr int kLongFieldLimit = 100;

    ConnectionEditor(AppState& state, PageHost& host, QWidget* parent = nullptr);

    // "Save": checks the fields in order, stores the connection and asks
    // whether to create (or edit) another.
    void OnSave();
    // "Test Connection": checks the fields, then connects to the server.
    void OnTestConnection();
    // "Set Default MySQL Port Number".
    void OnDefaultPort();
    // "Cancel Edit": back to the connection list; nothing is stored.
    void OnCancelEdit();
    // The link at the foot: the help's first steps.
    void OnTutorials();

    bool HasUnsavedChanges() const override;
    void DiscardChanges() override { discarded_ = true; }

private:
    void BuildPage(const QString& caption);
    void LoadConnection(const std::string& name);
    // The connection as the fields hold it, the name as typed; host,
    // database and user without leading and trailing blanks.
    ConnectionDef FieldValues() const;
    // Whether a new connection may not take `name`: a connection has it,
    // letter case ignored, or it is one of the reserved names.
    bool NameTaken(const std::string& name) const;

    AppState& state_;
    PageHost& host_;
    const EditorMode mode_;
    editor::NameFields fields_; // name, its hint, description
    QLineEdit* hostName_ = nullptr;
    QLineEdit* database_ = nullptr;
    QLineEdit* port_ = nullptr;
    QPushButton* defaultPort_ = nullptr;
    QLineEdit* user_ = nullptr;
    QLineEdit* password_ = nullptr;
    QToolButton* showPassword_ = nullptr;
    QCheckBox* savePassword_ = nullptr;
    QPushButton* test_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* cancelEdit_ = nullptr; // edit mode only
    ValueLabel* status_ = nullptr;
    QPushButton* tutorials_ = nullptr;
    // The fields as last loaded or saved, and whether their changes were
    // given up.
    ConnectionDef kept_;
    bool discarded_ = false;
};
