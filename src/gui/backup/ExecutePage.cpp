#include "gui/backup/ExecutePage.h"

#include "core/engine/BackupRun.h"
#include "core/state/AppState.h"
#include "gui/app/Messages.h"
#include "gui/app/PageTable.h"
#include "gui/widgets/ReportList.h"
#include "resources/ResourceIds.h"

#include <QPushButton>

namespace {

// Page, hint, list, panel with its values and bars, context menu, page id.
const BackupRunPageSpec kExecuteSpec {
    rid::IDD_EXECUTE, QStringLiteral(" Execute a Backup "),
    QStringLiteral("Right click on an entry to use the drop down menu.    Double clicking a backup will run that "
                   "backup."),
    rid::IDC_EXEC_LIST, ExecutePage::kListColour, QStringLiteral(" Backup Execution "),
    rid::IDC_EXEC_GROUP,
    {rid::IDC_EXEC_SITE_BACKUP, rid::IDC_EXEC_RUN_MODE, rid::IDC_EXEC_RUN_STATUS, rid::IDC_EXEC_ELAPSED,
     rid::IDC_EXEC_TABLE_MEMBERS, rid::IDC_EXEC_CURRENT_MEMBER, rid::IDC_EXEC_TABLE_BAR, rid::IDC_EXEC_OVERALL_BAR,
     rid::IDC_EXEC_TABLE_BAR_LABEL, rid::IDC_EXEC_OVERALL_BAR_LABEL},
    rid::IDR_EXECUTE_MENU, rid::PAGE_EXECUTE};

} // namespace

ExecutePage::ExecutePage(AppState& state, PageHost& host, QWidget* parent)
    : BackupRunPage(state, host, kExecuteSpec, parent)
{
    execute_ = AddButton(QStringLiteral("Execute Selected Backup"), rid::IDC_EXEC_RUN);
    cancel_ = AddButton(QStringLiteral("Cancel Backup"), rid::IDC_EXEC_CANCEL, true);
    // The panel and "Cancel Backup" wait greyed until a run starts.
    cancel_->setEnabled(false);
    AddMenuItem(QStringLiteral("Execute Selected Backup"), rid::IDC_EXEC_RUN, [this] { OnExecute(); });

    connect(execute_, &QPushButton::clicked, this, &ExecutePage::OnExecute);
    connect(cancel_, &QPushButton::clicked, this, &ExecutePage::OnCancel);
    connect(List(), &ReportList::rowActivated, this, &ExecutePage::OnExecute);
    SetRunButtons(execute_, cancel_);
    FillList();
}

void ExecutePage::OnExecute()
{
    PageBusy busy(this);
    // The moment the run was asked for, before the confirmation.
    const std::time_t start = state_.clock();
    if (state_.backupRunning || state_.restoreRunning) {
        ShowMessage(MessageKind::Alert,
                    state_.backupRunning ? backuptext::kAnotherRunning : backuptext::kRestoreRunning);
        return;
    }
    // The run's own copy, whatever selectedName becomes meanwhile.
    const std::string name = TakeSelectedName(backuptext::kNoneSelected);
    if (name.empty()
        || ShowMessage(MessageKind::YesNo, backuptext::RunQuestion(name), "Yes", "No") != 1 || busy.PageClosed())
        return;

    BackupRun run(state_, *Panel());
    const BackupOutcome outcome = run.Run(name, RunKind::Manual, start);
    if (outcome.status != RunStatus::Completed && outcome.status != RunStatus::Cancelled)
        return;
    if (!busy.PageClosed()) {
        for (int i = 0; i < List()->topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = List()->topLevelItem(i);
            if (item->text(1).toStdString() == name)
                item->setText(3, QString::fromStdString(outcome.listRowText));
        }
    }
    AskAnother(backuptext::ExecuteAnotherQuestion(outcome.resultWord));
}

void ExecutePage::OnCancel()
{
    RequestStop(state_.backupRunning, state_.backupCancelRequested, backuptext::kCancelQuestion);
}
