#include "gui/backup/ChildDialog_Backups_Execute.h"

#include "core/engine/BackupRun.h"
#include "core/state/AppState.h"
#include "gui/app/Messages.h"
#include "gui/app/PageTable.h"
#include "gui/widgets/ReportList.h"
#include "resources/ResourceIds.h"

#include <QPushButton>

namespace {

BackupRunPageSpec ExecuteSpec()
{
    BackupRunPageSpec spec;
    spec.dialogId = rid::IDD_EXECUTE;
    spec.caption = QStringLiteral(" Execute a Backup ");
    spec.hint = QStringLiteral("Right click on an entry to use the drop down menu.    Double clicking a backup will "
                               "run that backup.");
    spec.listId = rid::IDC_EXEC_LIST;
    spec.listColour = ChildDialog_Backups_Execute::kListColour;
    spec.panelCaption = QStringLiteral(" Backup Execution ");
    spec.panelId = rid::IDC_EXEC_GROUP;
    spec.panelIds.siteBackup = rid::IDC_EXEC_SITE_BACKUP;
    spec.panelIds.runMode = rid::IDC_EXEC_RUN_MODE;
    spec.panelIds.runStatus = rid::IDC_EXEC_RUN_STATUS;
    spec.panelIds.elapsedTime = rid::IDC_EXEC_ELAPSED;
    spec.panelIds.tableMembers = rid::IDC_EXEC_TABLE_MEMBERS;
    spec.panelIds.currentMember = rid::IDC_EXEC_CURRENT_MEMBER;
    spec.panelIds.tableBar = rid::IDC_EXEC_TABLE_BAR;
    spec.panelIds.overallBar = rid::IDC_EXEC_OVERALL_BAR;
    spec.panelIds.tableBarLabel = rid::IDC_EXEC_TABLE_BAR_LABEL;
    spec.panelIds.overallBarLabel = rid::IDC_EXEC_OVERALL_BAR_LABEL;
    spec.menuId = rid::IDR_EXECUTE_MENU;
    spec.pageId = rid::PAGE_EXECUTE;
    return spec;
}

} // namespace

ChildDialog_Backups_Execute::ChildDialog_Backups_Execute(AppState& state, PageHost& host, QWidget* parent)
    : BackupRunPage(state, host, ExecuteSpec(), parent)
{
    execute_ = AddButton(QStringLiteral("Execute Selected Backup"), rid::IDC_EXEC_RUN);
    cancel_ = AddButton(QStringLiteral("Cancel Backup"), rid::IDC_EXEC_CANCEL, true);
    // The panel and "Cancel Backup" wait greyed until a run starts.
    cancel_->setEnabled(false);
    AddMenuItem(QStringLiteral("Execute Selected Backup"), rid::IDC_EXEC_RUN, [this] { OnExecute(); });

    connect(execute_, &QPushButton::clicked, this, &ChildDialog_Backups_Execute::OnExecute);
    connect(cancel_, &QPushButton::clicked, this, &ChildDialog_Backups_Execute::OnCancel);
    connect(List(), &ReportList::rowActivated, this, &ChildDialog_Backups_Execute::OnExecute);
    Panel()->SetOnRunStarted([this] {
        // A later request for this page (Cancel, "execute another") builds it
        // afresh.
        state_.currentPageId = 0;
        Panel()->setEnabled(true);
        cancel_->setEnabled(true);
        execute_->setEnabled(false);
    });
    FillList();
}

void ChildDialog_Backups_Execute::OnExecute()
{
    PageBusy busy(this);
    // The moment the run was asked for, before the confirmation.
    const std::time_t start = state_.clock();
    if (state_.backupRunning || state_.restoreRunning) {
        ShowMessage(MessageKind::Alert, state_.backupRunning ? backuptext::kAnotherRunning : backuptext::kRestoreRunning);
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

void ChildDialog_Backups_Execute::OnCancel()
{
    RequestStop(state_.backupRunning, state_.backupCancelRequested, backuptext::kCancelQuestion);
}
