#include "RunPagesSupport.h"
#include "AccessibilityCheck.h"

#include "core/dump/BackupCompression.h"
#include "core/dump/BackupCopies.h"
#include "core/engine/BackupRun.h"
#include "core/restore/RestoreRun.h"
#include "gui/widgets/LabeledValue.h"
#include "gui/app/MenuPage.h"
#include "gui/backup/ExecutePage.h"
#include "gui/statistics/StatisticsPage.h"
#include "gui/restore/ViewerPage.h"
#include "gui/restore/BackupsPage.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QScrollBar>
#include <QTest>

using test::RunPages;
using test::Select;
using test::ValueText;
using test::WhileRunning;

namespace {

const std::string kAnother = "Backup Complete\r\n\r\nDo you wish to execute another?";

std::vector<std::string> Asked()
{
    return test::AskedTexts();
}

} // namespace

// The Execute and Database Backups pages: their lists, the runs started and
// stopped from them, and the guards between runs.
class TestRunPages : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        tzset();
        QApplication::setQuitOnLastWindowClosed(false);
    }

    void listsNumberTheBackupsInTheirPagesColour_data()
    {
        QTest::addColumn<int>("pageId");
        QTest::addColumn<bool>("coloured");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("Execute, coloured") << rid::PAGE_EXECUTE << true << QColor(6, 45, 159);
        QTest::newRow("Execute, plain") << rid::PAGE_EXECUTE << false << QColor();
        QTest::newRow("Database Backups, coloured") << rid::PAGE_RESTORE << true << QColor(159, 6, 45);
        QTest::newRow("Database Backups, plain") << rid::PAGE_RESTORE << false << QColor();
    }

    void listsNumberTheBackupsInTheirPagesColour()
    {
        QFETCH(int, pageId);
        QFETCH(bool, coloured);
        QFETCH(QColor, colour);
        RunPages f("vorda_pages_list", 1);
        f.state().config.WriteRestoreColor(coloured);
        for (int i = 1; i <= 12; ++i)
            f.backup("b" + std::to_string(i));
        BackupDef described = f.saved("b2");
        described.description = "the second";
        described.Save(f.state().store);
        // The longest time text there is.
        BackupDef::StoreLastBackup(f.state().store, "b3", "Wednesday, September 30, 2026 - 12:45:12 PM");

        auto* page = f.show<BackupRunPage>(pageId);
        ReportList* list = page->List();
        QCOMPARE(list->headerItem()->text(0), QStringLiteral("Count"));
        QCOMPARE(list->headerItem()->text(1), QStringLiteral("Backup Name"));
        QCOMPARE(list->headerItem()->text(2), QStringLiteral("Backup Description"));
        QCOMPARE(list->headerItem()->text(3), QStringLiteral("Last Backup"));
        QCOMPARE(list->topLevelItemCount(), 12);
        QCOMPARE(list->topLevelItem(11)->text(0), QStringLiteral("0012"));
        QCOMPARE(list->topLevelItem(1)->text(2), QStringLiteral("the second"));
        QCOMPARE(list->topLevelItem(2)->text(3), QStringLiteral("Wednesday, September 30, 2026 - 12:45:12 PM"));
        QCOMPARE(list->topLevelItem(0)->text(3), QString::fromLatin1(BackupDef::kNeverProcessed));
        QCOMPARE(list->TextColor(), colour.isValid() ? colour : QApplication::palette(list).color(QPalette::Text));
        // Every heading and a whole time text fit their columns.
        for (int c = 0; c < 4; ++c)
            QVERIFY(list->columnWidth(c) >= list->header()->fontMetrics().horizontalAdvance(list->headerItem()->text(c)));
        QCOMPARE(list->horizontalScrollBar()->maximum(), 0);
        QVERIFY(list->columnWidth(3) >= list->fontMetrics().horizontalAdvance(list->topLevelItem(2)->text(3)) + 8);
        QVERIFY(!page->Panel()->isEnabled());
        for (RunField field : {RunField::SiteBackup, RunField::RunMode, RunField::RunStatus, RunField::ElapsedTime,
                               RunField::TableMembers, RunField::CurrentMember})
            QCOMPARE(page->Panel()->Value(field)->text(), QStringLiteral("Not Available"));
        QVERIFY(test::AskedTexts().empty());

        // No backups at all: the list stays empty after the alert.
        for (int i = 1; i <= 12; ++i)
            f.state().nameLists.Remove(NameList::Backups, "b" + std::to_string(i));
        page = f.show<BackupRunPage>(pageId);
        QCOMPARE(page->List()->topLevelItemCount(), 0);
        QCOMPARE(Asked(), std::vector<std::string> {"Use the \"Create a New Site Database Backup\" feature first."});
        QCOMPARE(MessageHook::Requests()[0].kind, MessageKind::Alert);
    }

    // A run from the Execute page: the questions, the panel during and after
    // the run, and the page that follows each answer.
    void executeRunsTheSelectedBackup()
    {
        REQUIRE_TEST_SERVER();
        RunPages f("vorda_pages_exec", 1500);
        f.backup("b");
        f.backup("other");
        auto* page = f.show<ExecutePage>(rid::PAGE_EXECUTE);

        page->ExecuteButton()->click();
        QCOMPARE(Asked(), std::vector<std::string> {"No backup entry has been selected."});
        QCOMPARE(MessageHook::Requests()[0].kind, MessageKind::SelfClosingAlert);
        Select(page->List(), "b");
        MessageHook::SetNextAnswer(0);
        page->ExecuteButton()->click();
        QCOMPARE(Asked().back(), std::string("Backup: b\n\r\n\rRun this Backup?"));
        QVERIFY(!f.state().backupRunning);
        QVERIFY(!test::FileExists(BackupFilePath(f.dir.path(), "b")));

        // Yes, then Yes to another: the page comes back afresh.
        MessageHook::Reset();
        MessageHook::SetNextAnswer(1);
        MessageHook::SetNextAnswer(1);
        int tableBar = 0, overallBar = 0;
        bool panelLive = false;
        QString status;
        WhileRunning sample([&] {
            if (!f.state().backupRunning)
                return false;
            tableBar = std::max(tableBar, page->Panel()->Bar(RunBar::CurrentTable)->value());
            overallBar = std::max(overallBar, page->Panel()->Bar(RunBar::Overall)->value());
            panelLive = page->Panel()->isEnabled() && page->CancelButton()->isEnabled()
                && !page->ExecuteButton()->isEnabled() && f.state().currentPageId == 0;
            status = page->Panel()->Value(RunField::RunStatus)->text();
            return false;
        });
        QPointer<QWidget> before = page;
        page->OnExecute();
        QVERIFY(tableBar > 0 && overallBar > 0);
        QVERIFY(panelLive);
        QCOMPARE(status, QStringLiteral("Backing up t"));
        QCOMPARE(Asked(), (std::vector<std::string> {"Backup: b\n\r\n\rRun this Backup?", kAnother}));
        // The old page showed the outcome until it was replaced.
        QCOMPARE(ValueText(before, rid::IDC_EXEC_RUN_STATUS), QStringLiteral("Backup Complete"));
        QCOMPARE(ValueText(before, rid::IDC_EXEC_TABLE_MEMBERS), QStringLiteral("All Copied"));
        QCOMPARE(ValueText(before, rid::IDC_EXEC_SITE_BACKUP), QStringLiteral("b"));
        QCOMPARE(ValueText(before, rid::IDC_EXEC_RUN_MODE), QStringLiteral("Manual"));
        QCOMPARE(page->List()->topLevelItem(0)->text(3), QString::fromStdString(f.saved("b").lastBackup));
        QVERIFY(f.window->CurrentPage() != before.data());
        page = qobject_cast<ExecutePage*>(f.window->CurrentPage());
        QVERIFY(page && page->ExecuteButton()->isEnabled() && !page->Panel()->isEnabled());
        QVERIFY(f.file("b").find("INSERT INTO `t` VALUES ('1500', 'v1500')\r\n") != std::string::npos);
        QCOMPARE(f.log().back(), std::string("Backup Successful: b"));

        // The context menu runs it as well; No then shows the statistics page.
        MessageHook::Reset();
        MessageHook::SetNextAnswer(1);
        MessageHook::SetNextAnswer(0);
        Select(page->List(), "other");
        QCOMPARE(page->ContextMenu()->actions().size(), 1);
        QCOMPARE(page->ContextMenu()->actions()[0]->text(), QStringLiteral("Execute Selected Backup"));
        page->ContextMenu()->actions()[0]->trigger();
        QTRY_VERIFY(qobject_cast<StatisticsPage*>(f.window->CurrentPage()));
        QCOMPARE(Asked().front(), std::string("Backup: other\n\r\n\rRun this Backup?"));
        QCOMPARE(f.state().selectedName, std::string("other"));
        QVERIFY(test::FileExists(BackupFilePath(f.dir.path(), "other")));
    }

    // "Cancel Backup" and the menu page's question both stop a run: the
    // previous good file stays, and the run still ends with its question.
    void cancellingKeepsThePreviousFile_data()
    {
        QTest::addColumn<bool>("fromMenu");
        QTest::newRow("Cancel Backup") << false;
        QTest::newRow("menu page") << true;
    }

    void cancellingKeepsThePreviousFile()
    {
        QFETCH(bool, fromMenu);
        REQUIRE_TEST_SERVER();
        RunPages f("vorda_pages_cancel", 3000);
        f.backup("b");
        BackupRun(f.state(), *std::make_unique<SilentRunUi>()).Run("b", RunKind::Manual, f.state().clock());
        const std::string previous = f.file("b");
        const std::string previousTime = f.saved("b").lastBackup;
        QVERIFY(!previous.empty());

        auto* page = f.show<ExecutePage>(rid::PAGE_EXECUTE);
        Select(page->List(), "b");
        for (int answer : {1, 1, 0}) // run, terminate, no other
            MessageHook::SetNextAnswer(answer);
        QPointer<QWidget> running = page;
        WhileRunning cancel([&] {
            if (ValueText(running, rid::IDC_EXEC_CURRENT_MEMBER) != QStringLiteral("200"))
                return false;
            if (fromMenu)
                qobject_cast<MenuPage*>(f.window->MenuPageWidget())->Button(rid::IDC_MENU_STATISTICS)->click();
            else
                page->CancelButton()->click();
            // Asked to stop, still running until the run returns.
            return f.state().backupCancelRequested && f.state().backupRunning;
        });
        page->OnExecute();
        QCOMPARE(Asked(), (std::vector<std::string> {"Backup: b\n\r\n\rRun this Backup?",
                                                     "A Backup is Currently Running.\r\n\r\nDo you wish to terminate it?",
                                                     "Backup Cancelled\r\n\r\nDo you wish to execute another?"}));
        QVERIFY(!f.state().backupRunning);
        QCOMPARE(f.file("b"), previous);
        QCOMPARE(f.saved("b").lastBackup, previousTime);
        QCOMPARE(f.log().back(), std::string("Backup Cancelled: b"));
        QVERIFY(qobject_cast<StatisticsPage*>(f.window->CurrentPage()));
    }

    // Cancel, then Run again at once from the rebuilt page: refused until the
    // first run has returned; then each record holds its own run's facts.
    void cancelThenRunAgainAtOnce()
    {
        REQUIRE_TEST_SERVER();
        RunPages f("vorda_pages_again", 3000);
        f.backup("first");
        f.backup("second");
        auto* page = f.show<ExecutePage>(rid::PAGE_EXECUTE);
        Select(page->List(), "first");
        for (int answer : {1, 1}) // run, terminate
            MessageHook::SetNextAnswer(answer);
        // A request left from before never stops the next run.
        f.state().backupCancelRequested = true;
        bool triedAgain = false;
        WhileRunning again([&] {
            if (!page->CancelButton()->isEnabled() || ValueText(page, rid::IDC_EXEC_CURRENT_MEMBER) != "100")
                return false;
            page->CancelButton()->click();
            // The rebuilt page, while the first run has not returned yet.
            auto* rebuilt = qobject_cast<ExecutePage*>(f.window->CurrentPage());
            Select(rebuilt->List(), "second");
            MessageHook::SetNextAnswer(1);
            rebuilt->ExecuteButton()->click();
            triedAgain = true;
            return true;
        });
        MessageHook::SetNextAnswer(0); // the first run's final question
        page->OnExecute();
        QVERIFY(triedAgain);
        QCOMPARE(Asked()[2], std::string("Another Backup is Currently Running.\r\n\r\nPlease wait."));
        QCOMPARE(f.saved("second").lastBackup, std::string(BackupDef::kNeverProcessed));
        QVERIFY(!test::FileExists(BackupFilePath(f.dir.path(), "second")));

        // Now it runs.
        auto* rebuilt = f.show<ExecutePage>(rid::PAGE_EXECUTE);
        Select(rebuilt->List(), "second");
        MessageHook::Reset();
        MessageHook::SetNextAnswer(1);
        MessageHook::SetNextAnswer(0);
        rebuilt->OnExecute();
        QCOMPARE(Asked().back(), kAnother);
        QCOMPARE(f.saved("first").lastBackup, std::string(BackupDef::kNeverProcessed));
        QVERIFY(!test::FileExists(BackupFilePath(f.dir.path(), "first")));
        QVERIFY(f.saved("second").lastBackup != BackupDef::kNeverProcessed);
        QCOMPARE(f.state().store.GetValue(keys::kCountersTable, keys::kLastBackupName), std::string("second"));
        const std::vector<std::string> log = f.log();
        QCOMPARE(std::vector<std::string>(log.end() - 4, log.end()),
                 (std::vector<std::string> {"Manual Backup Started: first", "Backup Cancelled: first",
                                            "Manual Backup Started: second", "Backup Successful: second"}));
    }

    // A scheduled tick during a manual run of M runs nothing and leaves
    // every other backup's record and file as they were.
    void aTickDuringAManualRunLeavesTheOthersAlone()
    {
        REQUIRE_TEST_SERVER();
        // Started a minute before the tick.
        std::time_t now = test::Utc(2026, 12, 7, 9, 59);
        RunPages f("vorda_pages_tick", 3000, [&now] { return now; });
        now = test::Utc(2026, 12, 7, 10, 0);
        f.hourlySchedule();
        f.backup("M");
        f.backup("S1", "t", "hourly");
        f.backup("S2", "t", "hourly");
        auto* page = f.show<ExecutePage>(rid::PAGE_EXECUTE);
        Select(page->List(), "M");
        MessageHook::SetNextAnswer(1);
        bool ticked = false;
        QObject::connect(f.window.get(), &MainWindow::scheduleTick, [&] { ticked = true; });
        WhileRunning tick([&] {
            if (ValueText(page, rid::IDC_EXEC_CURRENT_MEMBER) != "100")
                return false;
            f.window->ScheduleTimer()->start(0);
            return true;
        });
        page->OnExecute();
        QVERIFY(ticked);
        QCOMPARE(Asked().back(), kAnother);
        QVERIFY(f.saved("M").lastBackup != BackupDef::kNeverProcessed);
        for (const char* other : {"S1", "S2"}) {
            QCOMPARE(f.saved(other).lastBackup, std::string(BackupDef::kNeverProcessed));
            QCOMPARE(f.saved(other).lineCount, std::string());
            QVERIFY(!test::FileExists(BackupFilePath(f.dir.path(), other)));
        }
        const std::vector<std::string> log = f.log();
        for (const char* skipped : {"Backup Skipped: S1 - Another Backup Running", "Backup Skipped: S2 - Another Backup Running"})
            QVERIFY(std::find(log.begin(), log.end(), skipped) != log.end());
        QCOMPARE(log.back(), std::string("Backup Successful: M"));
        QCOMPARE(f.state().store.GetValue(keys::kCountersTable, keys::kLastBackupType), std::string("Manual"));
    }

    // A connection saved without its password: the prompt; Cancel leaves
    // the page as it was.
    void anUnsavedPasswordIsAskedOnThePage()
    {
        REQUIRE_TEST_SERVER();
        RunPages f("vorda_pages_password", 5);
        ConnectionDef local = ConnectionDef::Load(f.state().store, "local");
        local.savePassword = false;
        local.Save(f.state().store);
        f.backup("b");
        auto* page = f.show<ExecutePage>(rid::PAGE_EXECUTE);
        Select(page->List(), "b");
        MessageHook::SetNextAnswer(1);
        page->OnExecute();
        QCOMPARE(PasswordHook::Requests().size(), size_t(1));
        QCOMPARE(PasswordHook::Requests()[0].connectionName, std::string("local"));
        QVERIFY(page->ExecuteButton()->isEnabled() && !page->Panel()->isEnabled());
        QCOMPARE(Asked(), std::vector<std::string> {"Backup: b\n\r\n\rRun this Backup?"});

        MessageHook::SetNextAnswer(1);
        MessageHook::SetNextAnswer(1);
        PasswordHook::SetNextAnswer(f.db.params().password);
        page->OnExecute();
        QCOMPARE(Asked().back(), kAnother);
        QVERIFY(f.file("b").find("INSERT INTO `t` VALUES ('5', 'v5')\r\n") != std::string::npos);
    }

    // The buttons refuse while the other kind of run is going.
    void backupAndRestoreButtonsRefuseEachOther()
    {
        RunPages f("vorda_pages_refuse", 1);
        f.backup("b");
        f.state().restoreRunning = true;
        auto* execute = f.show<ExecutePage>(rid::PAGE_EXECUTE);
        Select(execute->List(), "b");
        execute->ExecuteButton()->click();
        f.state().restoreRunning = false;
        f.state().backupRunning = true;
        auto* restore = f.show<BackupsPage>(rid::PAGE_RESTORE);
        Select(restore->List(), "b");
        restore->RestoreButton()->click();
        f.state().backupRunning = false;
        QCOMPARE(Asked(), (std::vector<std::string> {
                              "A Restore is Currently Running.\r\n\r\nPlease wait until it has finished before running "
                              "a backup.",
                              "A Backup is Currently Running.\r\n\r\nPlease wait until it has finished before running "
                              "a restore."}));
        for (const auto& request : MessageHook::Requests())
            QCOMPARE(request.kind, MessageKind::Alert);
    }

    // A restore from the Database Backups page: the group during and after
    // the run, the Indirect tables, the final question.
    void restoreRunsAndAsksForAnother()
    {
        REQUIRE_TEST_SERVER();
        RunPages f("vorda_pages_restore", 2000);
        f.backup("b");
        QCOMPARE(BackupRun(f.state(), *std::make_unique<SilentRunUi>()).Run("b", RunKind::Manual, 0).status,
                 RunStatus::Completed);
        auto* page = f.show<BackupsPage>(rid::PAGE_RESTORE);
        page->RestoreButton()->click();
        QCOMPARE(Asked(), std::vector<std::string> {"No restore entry has been selected."});
        Select(page->List(), "b");
        MessageHook::Reset();
        MessageHook::SetNextAnswer(1);
        MessageHook::SetNextAnswer(1);
        bool groupLive = false;
        int overall = 0;
        WhileRunning sample([&] {
            if (f.state().restoreRunning) {
                groupLive = page->Panel()->isEnabled() && !page->RestoreButton()->isEnabled();
                overall = std::max(overall, page->Panel()->Bar(RunBar::Overall)->value());
            }
            return false;
        });
        QPointer<QWidget> before = page;
        page->OnRestore();
        QVERIFY(groupLive);
        QVERIFY(overall > 0);
        QCOMPARE(Asked(), (std::vector<std::string> {"Restore: b\n\r\n\rRun this Restore?",
                                                     "Restore Complete\r\n\r\nDo you wish to execute another?"}));
        QCOMPARE(ValueText(before, rid::IDC_REST_RUN_STATUS), QStringLiteral("Restore Complete"));
        QCOMPARE(ValueText(before, rid::IDC_REST_TABLE_MEMBERS), QStringLiteral("All Copied"));
        QVERIFY(qobject_cast<BackupsPage*>(f.window->CurrentPage()) != before.data());
        QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM VORDA_t"), std::string("2000"));
        QCOMPARE(test::AllRows(f.db.sql(), "SELECT * FROM VORDA_t ORDER BY id"),
                 test::AllRows(f.db.sql(), "SELECT * FROM t ORDER BY id"));
    }

    // "Cancel Restore" stops a restore; a tick meanwhile runs nothing and
    // logs the due backups as skipped, leaving their files alone.
    void aRestoreCancelledAndATickDuringIt()
    {
        REQUIRE_TEST_SERVER();
        // Started a minute before the tick.
        std::time_t now = test::Utc(2026, 12, 7, 9, 59);
        // Rows go in batches: enough of them that the restore is still
        // reading when the tick and the cancel come.
        RunPages f("vorda_pages_restore_cancel", 100000, [&now] { return now; });
        now = test::Utc(2026, 12, 7, 10, 0);
        f.hourlySchedule();
        f.backup("b", "t", "hourly");
        f.backup("b2", "t", "hourly");
        QCOMPARE(BackupRun(f.state(), *std::make_unique<SilentRunUi>()).Run("b", RunKind::Manual, now).status,
                 RunStatus::Completed);
        const std::string file = f.file("b");
        const std::string lastBackup = f.saved("b").lastBackup;

        auto* page = f.show<BackupsPage>(rid::PAGE_RESTORE);
        Select(page->List(), "b");
        for (int answer : {1, 1, 0}) // restore, terminate, no other
            MessageHook::SetNextAnswer(answer);
        bool ticked = false;
        bool tickAsked = false;
        bool stillRunning = false;
        QObject::connect(f.window.get(), &MainWindow::scheduleTick, [&] { ticked = true; });
        WhileRunning act([&] {
            if (!f.state().restoreRunning || ValueText(page, rid::IDC_REST_CURRENT_MEMBER).toInt() < 100)
                return false;
            if (!tickAsked) {
                tickAsked = true;
                f.window->ScheduleTimer()->start(0);
            }
            if (!ticked)
                return false;
            page->CancelButton()->click();
            // Asked to stop; the flag stays until the restore has returned.
            stillRunning = f.state().restoreRunning && f.state().restoreCancelRequested;
            return true;
        });
        page->OnRestore();
        QVERIFY(ticked);
        QVERIFY(stillRunning);
        QCOMPARE(Asked().back(), std::string("Restore Cancelled\r\n\r\nDo you wish to execute another?"));
        const std::vector<std::string> log = f.log();
        QCOMPARE(std::vector<std::string>(log.end() - 4, log.end()),
                 (std::vector<std::string> {"Restore Started: b", "Backup Skipped: b - Restore Running",
                                            "Backup Skipped: b2 - Restore Running", "Restore Cancelled: b"}));
        QCOMPARE(f.file("b"), file);
        QVERIFY(!test::FileExists(BackupFilePath(f.dir.path(), "b2")));
        QCOMPARE(f.saved("b").lastBackup, lastBackup);
        QVERIFY(!f.state().restoreRunning);
        const int copied = std::stoi(f.db.scalar("SELECT COUNT(*) FROM VORDA_t"));
        QVERIFY(copied >= 100 && copied < 100000);
    }

    // "View Backup", a double click and the context menu open the viewer
    // once the file opens; without it, "Input File Not Found".
    void viewingChecksTheFileFirst()
    {
        RunPages f("vorda_pages_view", 1);
        f.backup("b");
        f.backup("missing");
        test::WriteFile(BackupFilePath(f.dir.path(), "b"), "-- a backup\r\n");
        auto* page = f.show<BackupsPage>(rid::PAGE_RESTORE);
        page->ViewButton()->click();
        Select(page->List(), "missing");
        page->ViewButton()->click();
        QCOMPARE(Asked(), (std::vector<std::string> {"No Backup entry has been selected.", "Input File Not Found"}));
        QCOMPARE(MessageHook::Requests()[0].kind, MessageKind::SelfClosingAlert);
        QCOMPARE(MessageHook::Requests()[1].kind, MessageKind::Error);
        QCOMPARE(f.state().currentPageId, rid::PAGE_RESTORE);

        Select(page->List(), "b");
        emit page->List()->rowActivated(page->List()->currentItem());
        auto* viewer = qobject_cast<ViewerPage*>(f.window->CurrentPage());
        QVERIFY(viewer);
        QCOMPARE(viewer->BackupName(), std::string("b"));
        QVERIFY(f.state().viewerActive);

        page = f.show<BackupsPage>(rid::PAGE_RESTORE);
        Select(page->List(), "b");
        QCOMPARE(page->ContextMenu()->actions()[0]->text(), QStringLiteral("View Selected Backup"));
        QCOMPARE(page->ContextMenu()->actions()[1]->text(), QStringLiteral("Restore Selected Backup"));
        page->ContextMenu()->actions()[0]->trigger();
        QTRY_VERIFY(qobject_cast<ViewerPage*>(f.window->CurrentPage()));
    }

    // "Backup File:" offers the selected backup's current file and its older
    // copies, newest first, each named by its run's time, with the chosen
    // file's size (and its text's, when compressed); the viewer shows, and
    // the restore restores, the one chosen, of either form.
    void theFileChoiceViewsAndRestoresAnOlderCopy()
    {
        REQUIRE_TEST_SERVER();
        std::time_t now = test::Utc(2026, 12, 7, 2, 0);
        RunPages f("vorda_pages_copies", 2, [&now] { return now; });
        f.backup("b");
        SilentRunUi quiet;
        QCOMPARE(BackupRun(f.state(), quiet).Run("b", RunKind::Manual, now).status, RunStatus::Completed);
        f.db.exec("INSERT INTO t VALUES (3, 'v3')");
        now = test::Utc(2026, 12, 7, 3, 0);
        f.state().config.WriteCompress(true);
        QCOMPARE(BackupRun(f.state(), quiet).Run("b", RunKind::Manual, now).status, RunStatus::Completed);
        const zfile::FileSizes current = zfile::SizesOf(BackupFilePath(f.state().paths.dataDir, "b", true));
        const zfile::FileSizes copy = zfile::SizesOf(BackupCopyPath(f.state().paths.dataDir, "b", "20261207-020000"));
        QVERIFY(current.compressed && current.textBytes > copy.textBytes && !copy.compressed);

        auto* page = f.show<BackupsPage>(rid::PAGE_RESTORE);
        QComboBox* files = page->FileChoice();
        QCOMPARE(files->itemText(0), QStringLiteral("Select a backup"));
        QVERIFY(!files->isEnabled());
        Select(page->List(), "b");
        QCOMPARE(files->count(), 2);
        QCOMPARE(files->itemText(0), QStringLiteral("Current file - Mon, Dec 07, 2026 - 03:00:00 AM"));
        QCOMPARE(files->itemText(1), QStringLiteral("Older copy - Mon, Dec 07, 2026 - 02:00:00 AM"));
        QCOMPARE(files->currentIndex(), 0);
        QVERIFY(files->isEnabled());
        QCOMPARE(page->FileSize()->text(), QStringLiteral("%1 bytes compressed, %2 bytes of text")
                                               .arg(current.fileBytes).arg(current.textBytes));
        QCOMPARE(a11y::CheckPage(page), QStringList());
        page->ViewButton()->click();
        auto* viewerOfCurrent = qobject_cast<ViewerPage*>(f.window->CurrentPage());
        QVERIFY(viewerOfCurrent);
        QTRY_COMPARE(viewerOfCurrent->StatusText()->text(), QStringLiteral("Load Complete"));
        QVERIFY(viewerOfCurrent->TextBox()->toPlainText().contains(QStringLiteral("INSERT INTO `t` VALUES ('3', 'v3')")));

        page = f.show<BackupsPage>(rid::PAGE_RESTORE);
        files = page->FileChoice();
        Select(page->List(), "b");
        files->setCurrentIndex(1);
        QCOMPARE(page->FileSize()->text(), QStringLiteral("%1 bytes").arg(copy.fileBytes));
        page->ViewButton()->click();
        auto* viewer = qobject_cast<ViewerPage*>(f.window->CurrentPage());
        QVERIFY(viewer);
        QTRY_COMPARE(viewer->StatusText()->text(), QStringLiteral("Load Complete"));
        QCOMPARE(ValueText(viewer, rid::IDC_VIEW_NAME), QStringLiteral("b - older copy of Mon, Dec 07, 2026 - 02:00:00 AM"));
        const QString shown = viewer->TextBox()->toPlainText();
        QVERIFY(shown.contains(QStringLiteral("INSERT INTO `t` VALUES ('2', 'v2')")));
        QVERIFY(!shown.contains(QStringLiteral("'v3'")));

        page = f.show<BackupsPage>(rid::PAGE_RESTORE);
        Select(page->List(), "b");
        page->FileChoice()->setCurrentIndex(1);
        f.state().log.Clear();
        for (int answer : {1, 0}) // restore, no other
            MessageHook::SetNextAnswer(answer);
        page->OnRestore();
        QCOMPARE(Asked().back(), std::string("Restore Complete\r\n\r\nDo you wish to execute another?"));
        QCOMPARE(f.db.scalar("SELECT GROUP_CONCAT(id ORDER BY id) FROM VORDA_t"), std::string("1,2"));
        QCOMPARE(f.log().front(), std::string("Restore Started: b - Copy: backup_b.20261207-020000.tbk"));
    }

    // Absolute mode with safe copies asks before going on without a copy of
    // a table the server does not have.
    void absoluteModeAsksAboutAMissingSafeCopy()
    {
        REQUIRE_TEST_SERVER();
        RunPages f("vorda_pages_absolute", 3);
        f.backup("b");
        QCOMPARE(BackupRun(f.state(), *std::make_unique<SilentRunUi>()).Run("b", RunKind::Manual, 0).status,
                 RunStatus::Completed);
        f.db.exec("DROP TABLE t");
        f.state().config.WriteRestoreMode(RestoreMode::Absolute);
        auto* page = f.show<BackupsPage>(rid::PAGE_RESTORE);
        Select(page->List(), "b");
        for (int answer : {1, 1, 0}) // restore, go on without the copy, no other
            MessageHook::SetNextAnswer(answer);
        page->OnRestore();
        QCOMPARE(Asked()[1], std::string("Safe copy not created\r\n\r\nThe source table is either corrupt or does not "
                                         "exist.\r\n\r\nDo you wish to continue?"));
        QCOMPARE(Asked().back(), std::string("Restore Complete\r\n\r\nDo you wish to execute another?"));
        QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM t"), std::string("3"));
    }
};

QTEST_MAIN(TestRunPages)
#include "tst_run_pages.moc"
