#include "EngineTestSupport.h"
#include "core/engine/Scheduler.h"

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

    // Three due backups, the first of which cannot connect: the sequence
    // ends there. The same for a table whose `describe` is refused.
    void anEarlyFailureEndsTheSequence()
    {
        REQUIRE_TEST_SERVER();
        test::ScratchDatabase db("vorda_early");
        db.exec("CREATE TABLE t (id int NOT NULL PRIMARY KEY, v varchar(20))");
        SequenceFixture f;
        ConnectionParams wrong = db.params();
        wrong.password += "-wrong";
        f.connection("bad", wrong);
        f.connection("good", db.params());
        f.schedule("hourly", ScheduleDef::kHourly, "Every Turn of the Hour");
        f.backup("first", "bad", "t", "hourly");
        f.backup("second", "good", "t", "hourly");
        f.backup("third", "good", "t", "hourly");
        f.now = Utc(2026, 12, 7, 10, 0);
        f.scheduler.Tick();
        QCOMPARE(f.log(), (std::vector<std::string> {"S Auto Backup Executed: first",
                                                     "S Host Connect Failure: first - Backup Failed",
                                                     "S Automated Backup Sequence Terminated Due to Error"}));
        QVERIFY(!test::FileExists(f.path("second")));
        QVERIFY(!test::FileExists(f.path("third")));
        QCOMPARE(f.scheduler.LastOutcomes().size(), size_t(1));
        QVERIFY(!f.state.backupRunning);

        // The first backup now names a table that was dropped.
        f.state.log.Clear();
        ConnectionDef bad = ConnectionDef::Load(f.state.store, "bad");
        bad.password = db.params().password;
        bad.Save(f.state.store);
        BackupDef first = f.saved("first");
        first.tables = {"t", "dropped_later"};
        first.Save(f.state.store);
        f.now = Utc(2026, 12, 7, 11, 0);
        f.scheduler.Tick();
        QCOMPARE(f.log(), (std::vector<std::string> {"S Auto Backup Executed: first",
                                                     "S Database table error: first - Backup Failed",
                                                     "S Automated Backup Sequence Terminated Due to Error"}));
        QVERIFY(!test::FileExists(f.path("first")));
        QCOMPARE(f.saved("first").lastBackup, std::string(BackupDef::kNeverProcessed));
        QVERIFY(!test::FileExists(f.path("second")));
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
        QVERIFY(!f.scheduler.LastOutcomes()[0].endsSequence);
        QCOMPARE(f.saved("second").lastBackup, std::string("Monday, December 07, 2026 - 02:00:00 AM"));
        QCOMPARE(f.counter(keys::kLastBackupName), std::string("second"));
        QCOMPARE(test::Lines(f.file("second")).size(), size_t(15 + 6 + 4 + 5 + 120 + 2));
    }

    // A scheduled run is cancelled like a manual one; the sequence goes on.
    void aCancelledScheduledRunKeepsThePreviousFile()
    {
        REQUIRE_TEST_SERVER();
        test::ScratchDatabase db("vorda_autocancel");
        db.exec("CREATE TABLE t (id int NOT NULL PRIMARY KEY, v varchar(20))");
        test::FillRows(db, "t", 300);
        SequenceFixture f;
        f.connection("c", db.params());
        f.schedule("hourly", ScheduleDef::kHourly, "Every Turn of the Hour");
        f.backup("first", "c", "t", "hourly");
        f.backup("second", "c", "t", "hourly");
        test::WriteFile(f.path("first"), "previous\r\n");
        int pumps = 0;
        f.ui.onPump = [&] {
            if (++pumps == 3 && f.state.selectedName == "first")
                f.state.backupCancelRequested = true;
        };
        f.now = Utc(2026, 12, 7, 3, 0);
        f.scheduler.Tick();
        QCOMPARE(f.scheduler.LastOutcomes().size(), size_t(2));
        QCOMPARE(f.scheduler.LastOutcomes()[0].status, RunStatus::Cancelled);
        QCOMPARE(f.scheduler.LastOutcomes()[1].status, RunStatus::Completed);
        QCOMPARE(f.file("first"), std::string("previous\r\n"));
        QCOMPARE(f.saved("first").lastBackup, std::string(BackupDef::kNeverProcessed));
        QCOMPARE(f.log()[1], std::string("V Auto Backup Ended: first - Elapsed Time: 00:00:00"));
        QVERIFY(test::FileExists(f.path("second")));
    }
};

QTEST_GUILESS_MAIN(TestScheduledRuns)
#include "tst_scheduledruns.moc"
