#include "gui/restore/BackupsPage.h"

#include "core/dump/BackupCompression.h"
#include "core/dump/BackupCopies.h"
#include "core/dump/DumpFormat.h"
#include "core/restore/LineReader.h"
#include "core/restore/RestoreRun.h"
#include "core/state/AppState.h"
#include "core/store/Definitions.h"
#include "gui/app/Messages.h"
#include "gui/app/PageTable.h"
#include "gui/widgets/LabeledValue.h"
#include "gui/widgets/ReportList.h"
#include "resources/ResourceIds.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace {

const char* const kNoRestoreSelected = "No restore entry has been selected.";
const char* const kNoViewSelected = "No Backup entry has been selected.";
const char* const kCancelQuestion = "A Restore is Currently Running.\r\n\r\nDo you wish to terminate it?";
const char* const kInputFileNotFound = "Input File Not Found";

// Page, hint, list, panel with its values and bars, context menu, page id.
const BackupRunPageSpec kRestoreSpec {
    rid::IDD_RESTORE, QStringLiteral(" Database Backups "),
    QStringLiteral("Right click on an entry to use the drop down menu.    Double clicking a backup name will view "
                   "that backup."),
    rid::IDC_REST_LIST, BackupsPage::kListColour, QStringLiteral(" Restore Execution "),
    rid::IDC_REST_GROUP,
    {rid::IDC_REST_SITE_BACKUP, rid::IDC_REST_RUN_MODE, rid::IDC_REST_RUN_STATUS, rid::IDC_REST_ELAPSED,
     rid::IDC_REST_TABLE_MEMBERS, rid::IDC_REST_CURRENT_MEMBER, rid::IDC_REST_TABLE_BAR, rid::IDC_REST_OVERALL_BAR,
     0, 0},
    rid::IDR_RESTORE_MENU, rid::PAGE_RESTORE};

} // namespace

BackupsPage::BackupsPage(AppState& state, PageHost& host, QWidget* parent)
    : BackupRunPage(state, host, kRestoreSpec, parent)
{
    restore_ = AddButton(QStringLiteral("Restore Backup"), rid::IDC_REST_RUN);
    view_ = AddButton(QStringLiteral("View Backup"), rid::IDC_REST_VIEW);
    cancel_ = AddButton(QStringLiteral("Cancel Restore"), rid::IDC_REST_CANCEL, true);
    AddMenuItem(QStringLiteral("View Selected Backup"), rid::IDC_REST_VIEW, [this] { OnView(); });
    AddMenuItem(QStringLiteral("Restore Selected Backup"), rid::IDC_REST_RUN, [this] { OnRestore(); });

    connect(restore_, &QPushButton::clicked, this, &BackupsPage::OnRestore);
    connect(view_, &QPushButton::clicked, this, &BackupsPage::OnView);
    connect(cancel_, &QPushButton::clicked, this, &BackupsPage::OnCancel);
    connect(List(), &ReportList::rowActivated, this, &BackupsPage::OnView);
    SetRunButtons(restore_);

    auto* fileRow = new QHBoxLayout;
    auto* fileCaption = new QLabel(QStringLiteral("Backup File:"), List()->parentWidget());
    files_ = new QComboBox(List()->parentWidget());
    files_->setObjectName(ControlName(rid::IDC_REST_FILE));
    files_->setAccessibleName(QStringLiteral("Backup File"));
    files_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    fileCaption->setBuddy(files_);
    fileRow->addWidget(fileCaption);
    fileRow->addWidget(files_, 1);
    const LabeledValue size = MakeLabeledValue(QStringLiteral("Size:"), rid::IDC_REST_FILE_SIZE,
                                               List()->parentWidget());
    size_ = size.value;
    fileRow->addSpacing(12);
    fileRow->addWidget(size.caption);
    fileRow->addWidget(size_);
    AddRowBelowList(fileRow);
    // Tab follows the screen: the list, the file, then the buttons.
    setTabOrder(List(), files_);
    connect(List(), &QTreeWidget::itemSelectionChanged, this, &BackupsPage::FillFiles);
    connect(files_, &QComboBox::currentIndexChanged, this, &BackupsPage::ShowFileSize);
    FillList();
    FillFiles();
}

std::string BackupsPage::SizeText(const std::string& path)
{
    const zfile::FileSizes sizes = zfile::SizesOf(path);
    if (sizes.fileBytes < 0)
        return {};
    const std::string file = std::to_string(sizes.fileBytes) + " bytes";
    if (!sizes.compressed)
        return file;
    return file + " compressed, "
        + (sizes.textBytes < 0 ? std::string("text size unknown") : std::to_string(sizes.textBytes) + " bytes of text");
}

void BackupsPage::ShowFileSize()
{
    QTreeWidgetItem* row = List()->FirstSelected();
    const std::string name = row ? row->text(1).toStdString() : std::string();
    const std::string chosen = ChosenFile();
    const bool known = !name.empty() && IsValidName(name);
    const std::string path = !known ? std::string() : chosen.empty() ? BackupFilePath(state_.paths.dataDir, name) : chosen;
    size_->setText(QString::fromStdString(path.empty() ? std::string() : SizeText(path)));
}

void BackupsPage::FillFiles()
{
    files_->clear();
    QTreeWidgetItem* row = List()->FirstSelected();
    const std::string name = row ? row->text(1).toStdString() : std::string();
    if (!name.empty() && IsValidName(name)) {
        for (const BackupFileEntry& file : ListBackupFiles(state_.paths.dataDir, name)) {
            // Each named by the time of the run that wrote it.
            const std::string stamp = file.IsCurrent() ? RunStampOf(file.path) : file.stamp;
            const std::string when = StampText(stamp, kShortTimeFormat);
            files_->addItem(QString::fromStdString((file.IsCurrent() ? "Current file - " : "Older copy - ") + when),
                            QString::fromStdString(file.IsCurrent() ? std::string() : file.path));
        }
    }
    if (files_->count() == 0)
        files_->addItem(row ? QStringLiteral("No backup file") : QStringLiteral("Select a backup"), QString());
    files_->setEnabled(files_->count() > 1);
    ShowFileSize();
}

std::string BackupsPage::ChosenFile() const
{
    return files_->currentData().toString().toStdString();
}

void BackupsPage::OnRestore()
{
    PageBusy busy(this);
    if (state_.restoreRunning || state_.backupRunning) {
        ShowMessage(MessageKind::Alert, state_.restoreRunning ? kAnotherRestoreRunning : kBackupRunningForRestore);
        return;
    }
    // The run's own copy, whatever selectedName becomes meanwhile.
    const std::string name = TakeSelectedName(kNoRestoreSelected);
    if (name.empty()
        || ShowMessage(MessageKind::YesNo, "Restore: " + name + "\n\r\n\rRun this Restore?", "Yes", "No") != 1
        || busy.PageClosed())
        return;

    RestoreRun run(state_, *Panel());
    run.SetFile(ChosenFile());
    const RestoreReport report = run.Run(name);
    if (report.outcome != RestoreOutcome::NotStarted)
        AskAnother(RestoreFinalQuestion(report.outcome));
}

void BackupsPage::OnView()
{
    PageBusy busy(this);
    const std::string name = TakeSelectedName(kNoViewSelected);
    if (name.empty())
        return;
    // Only a file the viewer can read is handed to it.
    state_.selectedFile = ChosenFile();
    const std::string path = state_.selectedFile.empty() ? BackupFilePath(state_.paths.dataDir, name) : state_.selectedFile;
    LineReader probe;
    if (!IsValidName(name) || !IsBackupFileOf(state_.paths.dataDir, name, path) || !probe.Open(path)) {
        ShowMessage(MessageKind::Error, kInputFileNotFound);
        return;
    }
    probe.Close();
    host_.ShowPage(rid::PAGE_VIEWER);
}

void BackupsPage::OnCancel()
{
    // The restore stops after its current line and still asks its final
    // question.
    RequestStop(state_.restoreRunning, state_.restoreCancelRequested, kCancelQuestion);
}
