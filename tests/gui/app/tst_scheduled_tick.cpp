#include "core/engine/EngineTestSupport.h"

#include "gui/app/CStartUpScreen.h"
#include "gui/app/CVordaDlg.h"
#include "gui/app/Messages.h"
#include "resources/ResourceIds.h"

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTimer>

// The window's quarter-hour timer runs the scheduled backups.
class TestScheduledTick : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        tzset();
        MessageHook::Enable();
        QuickStartHook::Enable();
    }

    void theTickRunsDueBackupsWithTheIndicatorShown()
    {
        REQUIRE_TEST_SERVER();
        test::ScratchDatabase db("vorda_tick");
        db.exec("CREATE TABLE items (id INT PRIMARY KEY, name VARCHAR(20))");
        db.exec("INSERT INTO items SELECT seq, CONCAT('n', seq) FROM seq_1_to_300");

        test::TempDataDir dir;
        std::time_t now = test::Utc(2026, 12, 8, 10, 0);
        CVordaDlg window(dir.path(), nullptr, [&now] { return now; });
        AppState& state = window.State();
        const ConnectionParams p = db.params();
        const std::string connection = ConnectionTable("local");
        state.store.SetValue(connection, keys::kDbcHost, p.host);
        state.store.SetValue(connection, keys::kDbcPort, std::to_string(p.port));
        state.store.SetValue(connection, keys::kDbcBaseName, p.database);
        state.store.SetValue(connection, keys::kDbcUserName, p.user);
        state.store.SetValue(connection, keys::kDbcPassword, p.password);
        state.records.AddToNameList(NameList::Connections, "local");
        state.store.SetValue(ScheduleTable("hourly"), keys::kSchdCategory, keys::kSchdHourly);
        state.records.AddToNameList(NameList::Schedules, "hourly");
        for (const char* name : {"due", "unscheduled"}) {
            const std::string table = BackupTable(name);
            state.store.SetValue(table, keys::kCnsbName, name);
            state.store.SetValue(table, keys::kCnsbConnection, "local");
            state.store.SetValue(table, keys::kCnsbTables, "items");
            state.store.SetValue(table, keys::kCnsbSchedules, std::string(name) == "due" ? "hourly" : "");
            state.records.AddToNameList(NameList::Backups, name);
        }

        QLabel* indicator = window.AutoRunIndicator();
        QVERIFY(indicator->isHidden());
        // Sampled whenever the running sequence lets events through.
        bool shownDuringRun = false;
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, [&] { shownDuringRun |= !indicator->isHidden(); });
        sampler.start(0);

        bool ticked = false;
        QObject::connect(&window, &CVordaDlg::scheduleTick, [&] { ticked = true; });
        window.ScheduleTimer()->start(0);
        QTRY_VERIFY(ticked);
        sampler.stop();

        QVERIFY(shownDuringRun);
        // The page on show is rebuilt by its next request.
        QCOMPARE(state.currentPageId, 0);
        QVERIFY(indicator->isHidden());
        QCOMPARE(state.runKind, std::string("Manual"));
        QVERIFY(!state.backupRunning);
        const std::string file = test::ReadFile(BackupFilePath(dir.path(), "due"));
        QVERIFY(file.find("-- Vorda Quendal Suite - MySQL Backup File - Automatic\r\n") != std::string::npos);
        QVERIFY(file.ends_with("INSERT INTO `items` VALUES ('300', 'n300')\r\n"));
        QVERIFY(!test::FileExists(BackupFilePath(dir.path(), "unscheduled")));
        QCOMPARE(state.store.GetValue(keys::kCountersTable, keys::kLastBackupType), std::string("Automatic"));
        QCOMPARE(state.store.GetValue(keys::kCountersTable, keys::kLastBackupName), std::string("due"));
        // Armed again for the next quarter hour of the clock.
        QVERIFY(window.ScheduleTimer()->isActive());
        QCOMPARE(window.ScheduleTimer()->interval(), 900000);

        // A tick a quarter hour later finds nothing due: no new run.
        state.store.SetValue(BackupTable("due"), keys::kLastBackup, "marker");
        now += 15 * 60;
        state.currentPageId = rid::PAGE_STATISTICS;
        ticked = false;
        window.ScheduleTimer()->start(0);
        QTRY_VERIFY(ticked);
        QCOMPARE(state.store.GetValue(BackupTable("due"), keys::kLastBackup), std::string("marker"));
        QCOMPARE(state.currentPageId, rid::PAGE_STATISTICS);
    }
};

QTEST_MAIN(TestScheduledTick)
#include "tst_scheduled_tick.moc"
