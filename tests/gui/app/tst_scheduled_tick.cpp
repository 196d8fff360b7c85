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
        test::DefineConnection(state, "local", db.params());
        ScheduleDef hourly;
        hourly.name = "hourly";
        hourly.category = ScheduleDef::kHourly;
        hourly.Save(state.store);
        state.nameLists.Add(NameList::Schedules, "hourly");
        test::DefineBackup(state, "due", "local", "items", "hourly");
        test::DefineBackup(state, "unscheduled", "local", "items");

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
        QVERIFY(file.ends_with("INSERT INTO `items` VALUES ('300', 'n300')\r\n\r\n"
                               "-- End of Backup File - Tables: 1 - Rows: 300\r\n"));
        QVERIFY(!test::FileExists(BackupFilePath(dir.path(), "unscheduled")));
        QCOMPARE(state.store.GetValue(keys::kCountersTable, keys::kLastBackupType), std::string("Automatic"));
        QCOMPARE(state.store.GetValue(keys::kCountersTable, keys::kLastBackupName), std::string("due"));
        // Armed again for the next quarter hour of the clock.
        QVERIFY(window.ScheduleTimer()->isActive());
        QCOMPARE(window.ScheduleTimer()->interval(), 900000);

        // A tick a quarter hour later finds nothing due: no new run.
        BackupDef::StoreLastBackup(state.store, "due", "marker");
        now += 15 * 60;
        state.currentPageId = rid::PAGE_STATISTICS;
        ticked = false;
        window.ScheduleTimer()->start(0);
        QTRY_VERIFY(ticked);
        QCOMPARE(BackupDef::Load(state.store, "due").lastBackup, std::string("marker"));
        QCOMPARE(state.currentPageId, rid::PAGE_STATISTICS);
    }
};

QTEST_MAIN(TestScheduledTick)
#include "tst_scheduled_tick.moc"
