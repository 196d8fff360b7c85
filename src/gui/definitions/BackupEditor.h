#pragma once

#include "core/state/AppState.h"

#include "gui/app/UnsavedChanges.h"
#include "gui/definitions/EditorParts.h"

#include <QWidget>

#include <optional>
#include <string>
#include <vector>

class PageHost;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class ReportList;
class ValueLabel;

// The backup editor: a backup's name, description and connection, the
// tables of that connection's database (listed live from the server) and
// the schedules it runs on. Create mode from the menu, edit mode from the
// backup list. The tables and schedules can be chosen only once the page
// has connected, and what is saved is always the connection the table list
// came from.
class BackupEditor : public QWidget, public UnsavedChanges {
    Q_OBJECT
public:
    BackupEditor(AppState& state, PageHost& host, QWidget* parent = nullptr);

    // "Connect to Site and Continue": checks name and description, connects
    // (asking for a password that was not saved) and lists the tables and
    // the schedules.
    void OnConnect();
    // What a successful connect shows: the connected state, every table the
    // server listed for the connection `connectionName`, the schedules, and
    // in edit mode the stored tables and schedules selected.
    void ShowConnected(const std::string& connectionName, const std::vector<std::string>& tables);
    // "Save Backup": checks in order, stores the backup and asks whether to
    // create (or edit) another.
    void OnSave();
    // "Cancel Edit": back to the backup list; nothing is stored.
    void OnCancelEdit();

    // The connection the table list was read from; empty before connecting.
    const std::string& ListedConnection() const { return listedConnection_; }

    bool HasUnsavedChanges() const override;
    void DiscardChanges() override { discarded_ = true; }

private:
    void BuildPage(const QString& caption);
    QGroupBox* BuildTablesGroup(QWidget* parent);
    QGroupBox* BuildSchedulesGroup(QWidget* parent);
    void LoadBackup(const std::string& name);
    // The tables of the database `connectionName` names, or nothing when the
    // server could not be reached (its reason in `reason`) or the password
    // prompt was cancelled (then `cancelled` is set).
    std::optional<std::vector<std::string>> ReadTables(const std::string& connectionName, bool& cancelled,
                                                       std::string& reason);
    // Name, description and connection as shown; the tables and schedules
    // chosen (once connected).
    std::string Fields() const;
    std::string Lists() const;
    void ShowTables(const std::vector<std::string>& tables);
    void ShowSchedules();
    // Edit mode: selects the stored tables and schedules that are listed.
    void SelectStored();
    // Connect is offered until the page has connected, and again when
    // another connection than the listed one is chosen.
    void UpdateConnectButton();
    void SetStatusText(const char* text);

    AppState& state_;
    PageHost& host_;
    const EditorMode mode_;
    std::string listedConnection_;

    editor::NameFields fields_; // name, its hint, description
    QComboBox* connection_ = nullptr;
    QPushButton* connect_ = nullptr;
    QGroupBox* tablesGroup_ = nullptr;
    ValueLabel* status_ = nullptr;
    ValueLabel* connectedTo_ = nullptr;
    ValueLabel* tablesLocated_ = nullptr;
    ReportList* tables_ = nullptr;
    QGroupBox* schedulesGroup_ = nullptr;
    ReportList* schedules_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* cancelEdit_ = nullptr; // edit mode only
    QLabel* statusText_ = nullptr;
    // Fields() and Lists() as last loaded, connected or saved, and whether
    // their changes were given up.
    std::string keptFields_;
    std::string keptLists_;
    bool discarded_ = false;
};
