#include "EngineTestSupport.h"
#include "core/engine/Scheduler.h"
#include "core/history/LastFailure.h"

#include <QTest>

using test::RunFixture;

namespace {

using test::Utc;

struct SequenceFixture : RunFixture {
    std::vector<bool> indicator;
    Scheduler scheduler {state, ui, [this](bool shown) { indicator.push_back(shown); }};
};

} // namespace

class TestScheduledRuns : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        tzset();
    }

    // A due backup runs at the first tick after its time, even one that
    // comes a minute late, and only once; its file is the automatic form and
    // its outcome is stored.
    void aDueBackupRunsAtItsTick()
    {
        REQUIRE_TEST_SERVER();
        test::ScratchDatabase db("vorda_tick");
        db.exec("CREATE TABLE t (id int NOT NULL PRIMARY KEY, v varchar(20))");
        test::FillRows(db, "t", 3);
        SequenceFixture f;
        f.connection("c", db.params());
        f.schedule("afternoon", ScheduleDef::kDaily, "Time: 08:15 AM|Time: 01:30 PM");
        f.backup("nightly", "c", "t", "afternoon");

        f.now = Utc(2026, 12, 7, 13, 15);
        QCOMPARE(f.scheduler.Tick(), 0);
        QVERIFY(!test::FileExists(f.path("nightly")));
        QVERIFY(f.indicator.empty());

        f.now = Utc(2026, 12, 7, 13, 31);
        QCOMPARE(f.scheduler.Tick(), 1);
        QCOMPARE(f.indicator, (std::vector<bool> {true, false}));
        const std::string start = "Monday, December 07, 2026 - 01:31:00 PM";
        QCOMPARE(f.saved("nightly").lastBackup, start);
        QCOMPARE(f.counter(keys::kLastBackupType), std::string("Automatic"));
        QCOMPARE(f.counter(keys::kLastBackupDt), start);
        QVERIFY(f.file("nightly").find("-- Vorda Quendal Suite - MySQL Backup File - Automatic\r\n") != std::string::npos);
        QVERIFY(f.file("nightly").find("-- Backup TimeStamp: " + start + "\r\n") != std::string::npos);
        QCOMPARE(f.log(), (std::vector<std::string> {"S Auto Backup Executed: nightly",
                                                     "V Auto Backup Ended: nightly - Elapsed Time: 00:00:00"}));
        QCOMPARE(f.state.runKind, std::string("Manual"));
        QVERIFY(!f.state.backupRunning);
        QVERIFY(!f.state.sequenceBusy);
        QVERIFY(f.ui.texts.empty());
        QVERIFY(f.ui.messages.empty());

        // Nor does the next tick, or one after the clock went back to 13:30.
        f.now = Utc(2026, 12, 7, 13, 45);
        QCOMPARE(f.scheduler.Tick(), 0);
        f.now = Utc(2026, 12, 7, 13, 30);
        QCOMPARE(f.scheduler.Tick(), 1);
        QCOMPARE(f.log().size(), size_t(2));
        QCOMPARE(f.saved("nightly").lastBackup, start);
    }

    // Three due backups, the first of which cannot connect: its failure is
    // logged and told, its file kept, and the other two run all the same.
    void everyDueBackupRunsWhateverTheOthersDo()
    {
        REQUIRE_TEST_SERVER();
        test::ScratchDatabase db("vorda_early");
        db.exec("CREATE TABLE t (id int NOT NULL PRIMARY KEY, v varchar(20))");
        SequenceFixture f;
        std::vector<FailureNotice> notices;
        f.scheduler.SetFailureHandler([&notices](const FailureNotice& n) { notices.push_back(n); });
        ConnectionParams wrong = db.params();
        wrong.password += "-wrong";
        f.connection("bad", wrong);
        f.connection("good", db.params());
        f.schedule("hourly", ScheduleDef::kHourly, "Every Turn of the Hour");
        f.backup("first", "bad", "t", "hourly");
        f.backup("second", "good", "t", "hourly");
        f.backup("third", "good", "t", "hourly");
        test::WriteFile(f.path("first"), "previous\r\n");
        f.now = Utc(2026, 12, 7, 10, 0);
        f.scheduler.Tick();
        QCOMPARE(f.log(), (std::vector<std::string> {"S Auto Backup Executed: first",
                                                     "S Host Connect Failure: first - Backup Failed",
                                                     "S Auto Backup Executed: second",
                                                     "V Auto Backup Ended: second - Elapsed Time: 00:00:00",
                                                     "S Auto Backup Executed: third",
                                                     "V Auto Backup Ended: third - Elapsed Time: 00:00:00"}));
        QCOMPARE(f.file("first"), std::string("previous\r\n"));
        QVERIFY(test::FileExists(f.path("second")));
        QVERIFY(test::FileExists(f.path("third")));
        QCOMPARE(f.scheduler.LastOutcomes().size(), size_t(3));
        QCOMPARE(notices.size(), size_t(1));
        QCOMPARE(notices[0].backupName, std::string("first"));
        // The reason names the failure and the server's own text.
        QVERIFY2(notices[0].reason.starts_with("Host Connect Failure - Access denied for user"),
                 notices[0].reason.c_str());
        QCOMPARE(LoadLastFailure(f.state.store).reason, notices[0].reason);
        QVERIFY(!f.state.backupRunning);

        // A backup that makes up a missed slot has that entry just before its own.
        f.state.log.Clear();
        f.scheduler.RunSequence({"second", "third"}, {{"third", "Missed Backup Run: third - due 9 AM"}});
        QCOMPARE(f.log(), (std::vector<std::string> {"S Auto Backup Executed: second",
                                                     "V Auto Backup Ended: second - Elapsed Time: 00:00:00",
                                                     "S Missed Backup Run: third - due 9 AM",
                                                     "S Auto Backup Executed: third",
                                                     "V Auto Backup Ended: third - Elapsed Time: 00:00:00"}));
    }

    // A table that vanishes after its structure section: the run logs "Table
    // not found", stores nothing as if it had completed, and the sequence
    // goes on with the next due backup.
    void aLateFailureLetsTheSequenceGoOn()
    {
        REQUIRE_TEST_SERVER();
        test::ScratchDatabase db("vorda_late");
        db.exec("CREATE TABLE victim (id int NOT NULL PRIMARY KEY, v varchar(20))");
        db.exec("CREATE TABLE t (id int NOT NULL PRIMARY KEY, v varchar(20))");
        test::FillRows(db, "t", 120);
        SequenceFixture f;
        f.connection("c", db.params());
        f.schedule("weekly", ScheduleDef::kWeekly, "Day: Monday - Time: 02:00 AM");
        f.schedule("other", ScheduleDef::kHourly, "Every Turn of the Hour");
        f.backup("first", "c", "victim|t", "weekly|other");
        f.backup("second", "c", "t", "other");
        test::WriteFile(f.path("first"), "previous\r\n");
        bool dropped = false;
        test::DropAtFirstPump(f.ui, db, "victim", dropped);
        f.now = Utc(2026, 12, 7, 2, 0); // a Monday
        QCOMPARE(f.scheduler.Tick(), 2);
        QVERIFY(dropped);
        QCOMPARE(f.log(), (std::vector<std::string> {"S Auto Backup Executed: first",
                                                     "S Table not found: first - Backup Failed",
                                                     "V Auto Backup Ended: first - Elapsed Time: 00:00:00",
                                                     "S Auto Backup Executed: second",
                                                     "V Auto Backup Ended: second - Elapsed Time: 00:00:00"}));
        QCOMPARE(f.file("first"), std::string("previous\r\n"));
        QCOMPARE(f.saved("first").lastBackup, std::string(BackupDef::kNeverProcessed));
        QCOMPARE(f.saved("first").lineCount, std::string());
        QCOMPARE(f.scheduler.LastOutcomes()[0].status, RunStatus::Failed);
        QCOMPARE(f.saved("second").lastBackup, std::string("Monday, December 07, 2026 - 02:00:00 AM"));
        QCOMPARE(f.counter(keys::kLastBackupName), std::string("second"));
        QCOMPARE(test::Lines(f.file("second")).size(), size_t(15 + 6 + 4 + 5 + 120 + 2));
    }

    // A stop during a scheduled run stops the whole sequence: the run ends
    // as cancelled (keeping the previous file) and each backup not yet run
    // is logged as skipped, none of it told to the failure handler. Cancel
    // and the menu's "terminate?" ask the run to stop; the exit asks the
    // sequence.
    void aStopEndsTheWholeSequence_data()
    {
        QTest::addColumn<bool>("exit");
        QTest::newRow("Cancel Backup") << false;
        QTest::newRow("exit") << true;
    }
    void aStopEndsTheWholeSequence()
    {
        QFETCH(bool, exit);
        REQUIRE_TEST_SERVER();
        test::ScratchDatabase db("vorda_autocancel");
        db.exec("CREATE TABLE t (id int NOT NULL PRIMARY KEY, v varchar(20))");
        test::FillRows(db, "t", 300);
        SequenceFixture f;
        int notices = 0;
        f.scheduler.SetFailureHandler([&notices](const FailureNotice&) { ++notices; });
        f.connection("c", db.params());
        f.schedule("hourly", ScheduleDef::kHourly, "Every Turn of the Hour");
        f.backup("first", "c", "t", "hourly");
        f.backup("second", "c", "t", "hourly");
        f.backup("third", "c", "t", "hourly");
        test::WriteFile(f.path("first"), "previous\r\n");
        int pumps = 0;
        f.ui.onPump = [&] {
            if (++pumps == 3 && f.state.selectedName == "first")
                (exit ? f.state.sequenceStopRequested : f.state.backupCancelRequested) = true;
        };
        f.now = Utc(2026, 12, 7, 3, 0);
        f.scheduler.Tick();
        QCOMPARE(f.scheduler.LastOutcomes().size(), size_t(1));
        QCOMPARE(f.scheduler.LastOutcomes()[0].status, RunStatus::Cancelled);
        QCOMPARE(f.file("first"), std::string("previous\r\n"));
        QCOMPARE(f.saved("first").lastBackup, std::string(BackupDef::kNeverProcessed));
        QCOMPARE(f.log(), (std::vector<std::string> {"S Auto Backup Executed: first", "S Backup Cancelled: first",
                                                     "V Auto Backup Ended: first - Elapsed Time: 00:00:00",
                                                     "S Backup Skipped: second - Cancelled",
                                                     "S Backup Skipped: third - Cancelled"}));
        QVERIFY(!test::FileExists(f.path("second")));
        QCOMPARE(notices, 0);
        QCOMPARE(LoadLastFailure(f.state.store).name, std::string());

        // The next sequence runs again (a cancel request left over from the
        // stopped one included).
        f.ui.onPump = nullptr;
        f.now = Utc(2026, 12, 7, 4, 0);
        f.scheduler.Tick();
        QCOMPARE(f.scheduler.LastOutcomes().size(), size_t(3));
        QCOMPARE(f.scheduler.LastOutcomes()[2].status, RunStatus::Completed);
    }
};

QTEST_GUILESS_MAIN(TestScheduledRuns)
#include "tst_scheduledruns.moc"
