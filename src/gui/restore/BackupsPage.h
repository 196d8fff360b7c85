#pragma once

#include "gui/widgets/BackupRunPage.h"

#include <string>

class QComboBox;
class QPushButton;
class ValueLabel;

// The Database Backups page: the saved backups, restored by "Restore
// Backup" or the context menu, viewed by "View Backup", a double click or
// the context menu; "Backup File:" chooses which file of the selected backup
// (its current file or an older copy) is viewed or restored, and "Size:"
// beside it gives the chosen file's size and, for a compressed file, the
// size of the text it holds; the " Restore
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
    // "Size:": "<n> bytes", or "<n> bytes compressed, <m> bytes of text".
    ValueLabel* FileSize() const { return size_; }

    // The "Size:" text of the backup file at `path` ("" when it cannot be read).
    static std::string SizeText(const std::string& path);

private:
    // Lists the files of the selected backup in the file choice.
    void FillFiles();
    void ShowFileSize();

    QComboBox* files_ = nullptr;
    ValueLabel* size_ = nullptr;
    QPushButton* restore_ = nullptr;
    QPushButton* view_ = nullptr;
    QPushButton* cancel_ = nullptr;
};
