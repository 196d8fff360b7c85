#pragma once

#include "core/state/AppState.h"

#include <QWidget>

#include <string>
#include <vector>

class PageHost;
class QMenu;
class QPushButton;
class ReportList;

// What sets the three list pages apart: their texts, their name list, their
// editor and how a definition's description is read and how it is deleted.
struct DefinitionListKind {
    int pageId;
    int dialogId;
    const char* caption;
    const char* headings[3];
    const char* editButton;
    const char* deleteButton;
    const char* editItem; // of the context menu
    const char* deleteItem;
    NameList list;
    const char* emptyAlert;
    const char* noSelection;
    const char* deleteQuestion;
    const char* deletedLog; // + the name
    int editorPage;
    EditorMode AppState::*editorMode;
    std::string (*description)(const SettingsStore& store, const std::string& name);
    StoreStatus (*remove)(const SettingsStore& store, NameLists& lists, const std::string& name);
    // The backups that use a definition (a connection, a schedule), and what
    // deleting it does to them, for the delete question; null for backups.
    std::vector<std::string> (*users)(const SettingsStore& store, const NameLists& lists, const std::string& name);
    std::string (*usersNote)(const std::vector<std::string>& backups);
    // Backups: deleting one asks whether its files go too; kept, they are
    // set aside, so that no new backup of the name takes them for its own.
    bool backupFiles;
};

// A list page: the saved definitions of one kind, numbered in name-list
// order with their descriptions, to pick one to edit or delete. Edit by the
// button, a double click, Enter or the context menu; Delete by the button,
// the Delete key or the context menu.
class DefinitionListPage : public QWidget {
    Q_OBJECT
public:
    DefinitionListPage(const DefinitionListKind& kind, AppState& state, PageHost& host, QWidget* parent = nullptr);

    // Opens the editor in edit mode on the selected definition.
    void OnEdit();
    // Asks, then deletes the selected definition and rebuilds the page.
    void OnDelete();
    // The context menu for the selected row, with its Edit and Delete items.
    QMenu* MakeContextMenu();

    ReportList* List() const { return list_; }

private:
    // The name of the selected row; empty when none is selected.
    std::string SelectedName() const;
    // After a backup is deleted: asks about its files, deletes them or sets
    // them aside, and logs it. False when the page was closed meanwhile.
    bool HandleBackupFiles(const std::string& name);

    const DefinitionListKind& kind_;
    AppState& state_;
    PageHost& host_;
    ReportList* list_ = nullptr;
    QPushButton* edit_ = nullptr;
    QPushButton* delete_ = nullptr;
};
