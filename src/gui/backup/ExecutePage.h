#pragma once

#include "gui/widgets/BackupRunPage.h"

class QPushButton;

// The Execute page: the saved backups, run by "Execute Selected Backup", a
// double click or the context menu, with the execution panel showing the
// run; "Cancel Backup" asks the run to stop. A run keeps its own copy of the
// backup's name; the page's controls are left alone when the page was
// closed during the run, but the run still ends with its question.
class ExecutePage : public BackupRunPage {
    Q_OBJECT
public:
    // The list's text colour when IDC_CONF_BACKUP_RESTORE_COLOR is on.
    static constexpr QRgb kListColour = 0xff062d9f; // RGB(6, 45, 159)

    ExecutePage(AppState& state, PageHost& host, QWidget* parent = nullptr);

    // Runs the selected backup after the confirmation.
    void OnExecute();
    // "Cancel Backup".
    void OnCancel();

    QPushButton* ExecuteButton() const { return execute_; }
    QPushButton* CancelButton() const { return cancel_; }

private:
    QPushButton* execute_ = nullptr;
    QPushButton* cancel_ = nullptr;
};
