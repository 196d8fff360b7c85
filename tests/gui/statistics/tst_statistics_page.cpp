#include "gui/app/GuiTestSupport.h"
#include "gui/statistics/StatisticsPage.h"
#include "resources/ResourceIds.h"
#include "core/store/StoreKeys.h"
#include "core/history/LastFailure.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

namespace {

StatisticsPage* Statistics(MainWindow& window)
{
    return qobject_cast<StatisticsPage*>(window.CurrentPage());
}

QString Text(MainWindow& window, int id)
{
    auto* label = window.CurrentPage()->findChild<QLabel*>(ControlName(id));
    return label ? label->text() : QStringLiteral("<missing>");
}

QString View(MainWindow& window)
{
    return window.CurrentPage()->findChild<QPlainTextEdit*>(ControlName(rid::IDC_STAT_LOG))->toPlainText();
}

// Builds the statistics page afresh, as a forced page request does.
void Rebuild(MainWindow& window)
{
    window.ForcePage(rid::PAGE_STATISTICS);
}

const char* const kClearQuestion = "Are you sure you wish to delete the History Log?\r\n\r\nThis action can not be "
                                   "reversed and all log information will be lost.";

} // namespace

class TestStatisticsPage : public QObject {
    Q_OBJECT

private slots:
    void firstStartShowsZerosAndUnavailable()
    {
        test::GuiHooks hooks;
        test::TempDataDir dir;
        auto window = test::OpenWindow(dir);
        for (int id : {rid::IDC_STAT_CONNECTIONS, rid::IDC_STAT_BACKUPS, rid::IDC_STAT_SCHEDULES})
            QCOMPARE(Text(*window, id), QStringLiteral("0"));
        for (int id : {rid::IDC_STAT_LAST_NAME, rid::IDC_STAT_LAST_DT, rid::IDC_STAT_LAST_TYPE})
            QCOMPARE(Text(*window, id), QStringLiteral("Unavailable"));
        QCOMPARE(Text(*window, rid::IDC_STAT_LAST_FAILURE), QStringLiteral("None"));
        QCOMPARE(Text(*window, rid::IDC_STAT_REPORTING), QStringLiteral("Standard"));
        QCOMPARE(Text(*window, rid::IDC_STAT_DIRECTION), QStringLiteral("Descending"));
        QCOMPARE(Text(*window, rid::IDC_STAT_TIMESTAMPS), QStringLiteral("Enabled"));
        // "Vorda System Started" is verbose: not in a standard view.
        QCOMPARE(View(*window), QString());
        QCOMPARE(window->CurrentPage()->findChild<QPushButton*>(ControlName(rid::IDC_STAT_CLEAR_LOG))->text(),
                 QStringLiteral("Clear Log"));
    }

    void laterStartShowsTotalsLastBackupAndSettings()
    {
        test::GuiHooks hooks;
        test::TempDataDir dir;
        test::PrepareEarlierRun(dir, [](AppState& state) {
            state.nameLists.Add(NameList::Connections, "shop");
            state.nameLists.Add(NameList::Connections, "blog");
            state.nameLists.Add(NameList::Backups, "nightly");
            state.nameLists.RecountTotals();
            state.config.WriteReportingState(ReportingState::Verbose);
            state.config.WriteDirection(LogDirection::Ascend);
            state.config.WriteShowTimestamp(false);
            state.log.AppendEntry(false, "New Connection Saved: shop");
        });
        auto window = test::OpenWindow(dir);
        window->show();
        QCOMPARE(Text(*window, rid::IDC_STAT_CONNECTIONS), QStringLiteral("2"));
        QCOMPARE(Text(*window, rid::IDC_STAT_BACKUPS), QStringLiteral("1"));
        QCOMPARE(Text(*window, rid::IDC_STAT_SCHEDULES), QStringLiteral("0"));
        QCOMPARE(Text(*window, rid::IDC_STAT_REPORTING), QStringLiteral("Verbose"));
        QCOMPARE(Text(*window, rid::IDC_STAT_CLEAR_ON_START), QStringLiteral("Disabled"));
        QCOMPARE(Text(*window, rid::IDC_STAT_DIRECTION), QStringLiteral("Ascending"));
        QCOMPARE(Text(*window, rid::IDC_STAT_TIMESTAMPS), QStringLiteral("Disabled"));
        // The previous run's entry, then this run's start, oldest first.
        QCOMPARE(View(*window), QStringLiteral("New Connection Saved: shop\nVorda System Started\n"));

        // A backup run stores its facts; the next page shows them.
        AppState& state = window->State();
        state.store.SetValue(keys::kCountersTable, keys::kLastBackupName, "nightly");
        state.store.SetValue(keys::kCountersTable, keys::kLastBackupDt, "Monday, December 07, 2026 - 02:14:35 AM");
        state.store.SetValue(keys::kCountersTable, keys::kLastBackupType, "Manual");
        QCOMPARE(Text(*window, rid::IDC_STAT_LAST_NAME), QStringLiteral("Unavailable"));
        Rebuild(*window);
        QCOMPARE(Text(*window, rid::IDC_STAT_LAST_NAME), QStringLiteral("nightly"));
        QCOMPARE(Text(*window, rid::IDC_STAT_LAST_DT), QStringLiteral("Monday, December 07, 2026 - 02:14:35 AM"));
        QCOMPARE(Text(*window, rid::IDC_STAT_LAST_TYPE), QStringLiteral("Manual"));
        // The long date fits beside its caption.
        auto* date = window->CurrentPage()->findChild<QLabel*>(ControlName(rid::IDC_STAT_LAST_DT));
        QVERIFY(date->sizeHint().width() <= date->width());
        // Rebuilding does not record the start again.
        QCOMPARE(View(*window).count(QStringLiteral("Vorda System Started")), 1);

        // A failed run is kept as the last failure: name, time and reason,
        // wrapped rather than widening the page.
        StoreLastFailure(state.store, {"nightly", "Monday, December 07, 2026 - 03:00:00 AM",
                                       "Host Connect Failure - Can't connect to server on '127.0.0.1' (111)"});
        Rebuild(*window);
        QCOMPARE(Text(*window, rid::IDC_STAT_LAST_FAILURE),
                 QStringLiteral("nightly - Monday, December 07, 2026 - 03:00:00 AM - Host Connect Failure - Can't "
                                "connect to server on '127.0.0.1' (111)"));
        auto* failure = window->CurrentPage()->findChild<QLabel*>(ControlName(rid::IDC_STAT_LAST_FAILURE));
        QWidget* page = window->CurrentPage();
        QVERIFY(page->rect().contains(QRect(failure->mapTo(page, QPoint()), failure->size())));
    }

    void newestEntryAtTheTop()
    {
        test::GuiHooks hooks;
        test::TempDataDir dir;
        test::PrepareEarlierRun(dir, [](AppState& state) {
            for (int i = 0; i < 200; ++i)
                state.log.AppendEntry(false, "entry " + std::to_string(i));
        });
        auto window = test::OpenWindow(dir);
        auto* view = window->CurrentPage()->findChild<QPlainTextEdit*>(ControlName(rid::IDC_STAT_LOG));
        const QString firstLine = view->toPlainText().section(QLatin1Char('\n'), 0, 0);
        QVERIFY2(QRegularExpression(QStringLiteral("^.* - \\d\\d:\\d\\d:\\d\\d [AP]M: entry 199$")).match(firstLine).hasMatch(),
                 qPrintable(firstLine));
        QCOMPARE(view->textCursor().position(), 0);
        QVERIFY(!view->textCursor().hasSelection());
        QCOMPARE(view->verticalScrollBar()->value(), 0);
        QVERIFY(view->isReadOnly());
    }

    void aLogChangeIsRenderedOnTwoTicks()
    {
        test::GuiHooks hooks;
        test::TempDataDir dir;
        auto window = test::OpenWindow(dir);
        AppState& state = window->State();
        StatisticsPage* page = Statistics(*window);
        QVERIFY(page->ClockTimer()->isActive());
        page->ClockTick();
        page->ClockTick();
        QVERIFY(!state.log.logChanged && !page->SecondRenderPending());

        state.log.AppendEntry(false, "Backup Successful: nightly");
        QVERIFY(!View(*window).contains(QStringLiteral("nightly")));
        page->ClockTick();
        QVERIFY(View(*window).contains(QStringLiteral("Backup Successful: nightly")));
        QVERIFY(page->SecondRenderPending());
        QVERIFY(!state.log.logChanged);
        // The second render shows what changed in between, too.
        state.log.AppendEntry(false, "quietly added");
        state.log.logChanged = false;
        page->ClockTick();
        QVERIFY(View(*window).contains(QStringLiteral("quietly added")));
        QVERIFY(!page->SecondRenderPending());
        QCOMPARE(page->ClockTimer()->interval(), 1000);

        // The clock shows the long time form.
        const QString clock = Text(*window, rid::IDC_STAT_CLOCK);
        QVERIFY2(QRegularExpression(QStringLiteral("^[A-Z][a-z]+day, [A-Z][a-z]+ \\d\\d, \\d{4} - "
                                                   "(0\\d|1[0-2]):[0-5]\\d:[0-5]\\d [AP]M$"))
                     .match(clock)
                     .hasMatch(),
                 qPrintable(clock));

        // Back from the tray: a render now and one two seconds later.
        state.delayedRefreshRequested = true;
        page->ClockTick();
        QVERIFY(!state.delayedRefreshRequested);
        QVERIFY(page->RefreshTimer()->isActive());
        QCOMPARE(page->RefreshTimer()->interval(), 2000);
        page->ClockTick();
        QVERIFY(!state.log.logChanged);
        page->DelayedRefresh();
        QVERIFY(!page->RefreshTimer()->isActive());
        QVERIFY(state.log.logChanged);
    }

    void quickStartOncePerRun()
    {
        test::GuiHooks hooks;
        test::TempDataDir dir;
        auto window = test::OpenWindow(dir);
        AppState& state = window->State();
        QVERIFY(state.settings().firstEntry);
        QTRY_COMPARE(QuickStartHook::Count(), 1); // at the first tick
        QVERIFY(!QuickStartHook::LastFromConfigurationPage());
        QVERIFY(state.quickStartCheckEnabled);
        Rebuild(*window);
        Statistics(*window)->ClockTick();
        QCOMPARE(QuickStartHook::Count(), 1);

        // Turned off, the screen stays away, and is still considered pending.
        test::TempDataDir other;
        test::PrepareEarlierRun(other, [](AppState& s) { s.config.WriteFirstEntry(false); });
        QuickStartHook::Reset();
        auto second = test::OpenWindow(other);
        Statistics(*second)->ClockTick();
        QCOMPARE(QuickStartHook::Count(), 0);
        QVERIFY(second->State().quickStartPending);
    }

    void clearLogAsksFirst()
    {
        test::GuiHooks hooks;
        test::TempDataDir dir;
        test::PrepareEarlierRun(dir, [](AppState& state) { state.log.AppendEntry(false, "Restore Started: nightly"); });
        auto window = test::OpenWindow(dir);
        const std::string before = test::ReadFile(dir.file("vorda_history.log"));
        const QString viewBefore = View(*window);
        QPushButton* clear = window->CurrentPage()->findChild<QPushButton*>(ControlName(rid::IDC_STAT_CLEAR_LOG));

        MessageHook::SetNextAnswer(0);
        clear->click();
        QCOMPARE(test::AskedTexts(), std::vector<std::string>({kClearQuestion}));
        QCOMPARE(MessageHook::Requests()[0].kind, MessageKind::YesNo);
        QCOMPARE(test::ReadFile(dir.file("vorda_history.log")), before);
        QCOMPARE(View(*window), viewBefore);

        // In the tray the question is answered No without showing.
        window->State().messagesEnabled = false;
        MessageHook::SetNextAnswer(1);
        clear->click();
        QCOMPARE(test::ReadFile(dir.file("vorda_history.log")), before);
        window->State().messagesEnabled = true;

        clear->click(); // the prepared Yes
        const std::string after = test::ReadFile(dir.file("vorda_history.log"));
        QVERIFY2(after.starts_with("0|") && after.ends_with("|Backup History Log Cleared by User\r\n")
                     && after.find("\r\n") == after.size() - 2,
                 after.c_str());
        const std::string stamp = after.substr(2, after.find('|', 2) - 2);
        QCOMPARE(View(*window), QString::fromStdString(stamp + ": Backup History Log Cleared by User\n"));
    }
};

QTEST_MAIN(TestStatisticsPage)
#include "tst_statistics_page.moc"
