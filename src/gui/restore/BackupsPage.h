#pragma once

#include "gui/widgets/BackupRunPage.h"

#include <string>

class QComboBox;
class QPushButton;

// The Database Backups page: the saved backups, restored by "Restore
// Backup" or the context menu, viewed by "View Backup", a double click or
// the context menu; "Backup File:" chooses which file of the selected backup
// (its current file or an older copy) is viewed or restored; the " Restore
// Execution " panel shows a restore and is greyed outside one; "Cancel
// Restore" asks the restore to stop.
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
    // "Backup File:": the selected backup's current file and its older
    // copies, newest first; the current file is chosen at first.
    QComboBox* FileChoice() const { return files_; }
    // The chosen file's path; empty for the current file.
    std::string ChosenFile() const;

private:
    // Lists the files of the selected backup in the file choice.
    void FillFiles();

    QComboBox* files_ = nullptr;
    QPushButton* restore_ = nullptr;
    QPushButton* view_ = nullptr;
    QPushButton* cancel_ = nullptr;
};
