#pragma once

#include "gui/widgets/BackupRunPage.h"

class QPushButton;

// The Database Backups page: the saved backups, restored by "Restore
// Backup" or the context menu, viewed by "View Backup", a double click or
// the context menu; the " Restore Execution " panel shows a restore and is
// greyed outside one; "Cancel Restore" asks the restore to stop.
class BackupsPage : public BackupRunPage {
    Q_OBJECT
public:
    // The list's text colour when IDC_CONF_BACKUP_RESTORE_COLOR is on.
    static constexpr QRgb kListColour = 0xff9f062d; // RGB(159, 6, 45)

    BackupsPage(AppState& state, PageHost& host, QWidget* parent = nullptr);

    void OnRestore();
    // Opens the viewer for the selected backup once its file opens.
    void OnView();
    void OnCancel();

    QPushButton* RestoreButton() const { return restore_; }
    QPushButton* ViewButton() const { return view_; }
    QPushButton* CancelButton() const { return cancel_; }

private:
    QPushButton* restore_ = nullptr;
    QPushButton* view_ = nullptr;
    QPushButton* cancel_ = nullptr;
};
