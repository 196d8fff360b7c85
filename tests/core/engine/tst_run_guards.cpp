#include "EngineTestSupport.h"

#include "core/engine/RunSkeleton.h"
#include "core/engine/Scheduler.h"
#include "core/restore/RestoreRun.h"
#include "core/history/LastFailure.h"
#include "core/state/BackupLock.h"

#include <QTest>

#include <chrono>

using test::Utc;

namespace {

struct Fixture : test::RunFixture {
    Fixture() { state.config.WriteRestoreMode(RestoreMode::Indirect); }

    std::vector<bool> indicator;
    Scheduler scheduler {state, ui, [this](bool shown) { indicator.push_back(shown); }};

    // A connection to `db` stored without its password.
    void unsavedConnection(const std::string& name, const test::ScratchDatabase& db)
    {
        ConnectionDef c = ConnectionDef::Load(state.store, name);
        c.name = name;
        c.host = db.params().host;
        c.port = std::to_string(db.params().port);
        c.database = db.name();
        c.user = db.params().user;
        c.password = "not stored";
        c.savePassword = false;
        c.Save(state.store);
        state.nameLists.Add(NameList::Connections, name);
    }
};

} // namespace

// Runs ask for a password that was not saved, and wait for a slow server
// without freezing the caller. (How runs shut each other out and stop by
// request is tested through the pages, tests/gui/backup.)
class TestRunGuards : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        tzset();
    }

    // A connection saved without its password: a manual run asks for it
    // (Cancel ends it quietly, not started); a scheduled run cannot ask and
    // fails to connect, saying why.
    void anUnsavedPasswordIsAskedFor()
    {
        REQUIRE_TEST_SERVER();
        test::ScratchDatabase db("vorda_guard_password");
        db.exec("CREATE TABLE t (id int NOT NULL PRIMARY KEY, v varchar(20))");
        test::FillRows(db, "t", 3);
        Fixture f;
        f.unsavedConnection("c", db);
        f.schedule("hourly", ScheduleDef::kHourly, "Every Turn of the Hour");
        f.backup("b", "c", "t", "hourly");
        f.backup("later", "c", "t", "hourly");

        QCOMPARE(f.run("b").status, RunStatus::NotStarted);
        QCOMPARE(f.ui.askedPasswords, std::vector<std::string> {"c"});
        QCOMPARE(f.ui.started, 0);
        QVERIFY(f.ui.messages.empty());
        QVERIFY(f.log().empty());
        QVERIFY(!f.state.backupRunning);

        f.ui.passwords = {db.params().password};
        QCOMPARE(f.run("b").status, RunStatus::Completed);
        QVERIFY(f.file("b").find("INSERT INTO `t` VALUES ('3', 'v3')\r\n") != std::string::npos);
        // Used for that connect only.
        QCOMPARE(ConnectionDef::Load(f.state.store, "c").password, std::string());

        f.ui = test::RecordingUi();
        f.ui.passwords = {"wrong"};
        QCOMPARE(f.run("b").status, RunStatus::Failed);
        QCOMPARE(f.ui.messages.back().second, std::string(backuptext::kConnectFailed));

        f.state.log.Clear();
        f.now = Utc(2026, 12, 7, 10, 0);
        f.scheduler.Tick();
        const std::string notSaved = "S Password Not Saved: c - Scheduled backups can only connect with a saved password";
        QCOMPARE(f.log(), (std::vector<std::string> {"S Auto Backup Executed: b", "S Host Connect Failure: b - Backup Failed",
                                                     notSaved, "S Auto Backup Executed: later",
                                                     "S Host Connect Failure: later - Backup Failed", notSaved}));
        QCOMPARE(f.scheduler.LastOutcomes()[1].reason,
                 std::string("Host Connect Failure - the password of connection c was not saved"));
        QCOMPARE(f.ui.askedPasswords.size(), size_t(1)); // the manual run above only

        // The restore asks as well.
        test::RecordingUi restoreUi;
        QCOMPARE(RestoreRun(f.state, restoreUi).Run("b").outcome, RestoreOutcome::NotStarted);
        QCOMPARE(restoreUi.askedPasswords, std::vector<std::string> {"c"});
        QCOMPARE(restoreUi.started, 0);
        restoreUi.passwords = {db.params().password};
        QCOMPARE(RestoreRun(f.state, restoreUi).Run("b").outcome, RestoreOutcome::Complete);
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM VORDA_t"), std::string("3"));
    }

    // A failed restore says so in the history with its reason, and is kept
    // as the last failure for the statistics page.
    void aFailedRestoreIsLoggedWithItsReason()
    {
        REQUIRE_TEST_SERVER();
        test::ScratchDatabase db("vorda_guard_failed");
        Fixture f;
        ConnectionParams wrong = db.params();
        wrong.password += "-wrong";
        f.connection("c", wrong);
        f.backup("b", "c", "t");
        // It has run once, so the restore gets as far as connecting.
        BackupDef::StoreLastBackup(f.state.store, "b", "Tuesday, December 08, 2026 - 02:00:00 AM");
        QCOMPARE(RestoreRun(f.state, f.ui).Run("b").outcome, RestoreOutcome::Failed);
        QCOMPARE(f.log().back(), std::string("S Restore Failed: b - Connection Failed"));
        QCOMPARE(LoadLastFailure(f.state.store).reason, std::string("Restore Failed - Connection Failed"));
    }

    // A run of the same backup in another process holds its lock: a backup
    // and a restore of it are refused with the texts a run in this process
    // gets, and start nothing; another backup is free.
    void aRunInAnotherProcessShutsOutTheSameBackup_data()
    {
        QTest::addColumn<bool>("heldByRestore");
        QTest::newRow("a backup holds it") << false;
        QTest::newRow("a restore holds it") << true;
    }
    void aRunInAnotherProcessShutsOutTheSameBackup()
    {
        QFETCH(bool, heldByRestore);
        REQUIRE_TEST_SERVER();
        test::ScratchDatabase db("vorda_guard_lock");
        db.exec("CREATE TABLE t (id int NOT NULL PRIMARY KEY, v varchar(20))");
        test::FillRows(db, "t", 3);
        Fixture f;
        f.connection("c", db.params());
        f.backup("b", "c", "t");
        f.backup("free", "c", "t");
        BackupLock other;
        QCOMPARE(other.Acquire(f.dir.path(), "b", heldByRestore ? BackupLock::Use::Restore : BackupLock::Use::Backup),
                 BackupLock::Result::Acquired);

        QCOMPARE(f.run("b").status, RunStatus::Refused);
        QCOMPARE(f.ui.messages.back().second,
                 std::string(heldByRestore ? backuptext::kRestoreRunning : backuptext::kAnotherRunning));
        test::RecordingUi restoreUi;
        QCOMPARE(RestoreRun(f.state, restoreUi).Run("b").outcome, RestoreOutcome::NotStarted);
        QCOMPARE(restoreUi.messages.back().second,
                 std::string(heldByRestore ? kAnotherRestoreRunning : kBackupRunningForRestore));
        QCOMPARE(f.ui.started + restoreUi.started, 0);
        QVERIFY(f.log().empty());
        QVERIFY(!test::FileExists(f.path("b")));
        QVERIFY(!f.state.backupRunning && !f.state.restoreRunning);
        QCOMPARE(f.run("free").status, RunStatus::Completed);
    }

    // A stop request does not wait for a server call that hangs: a backup
    // waiting for a table another session has locked ends as cancelled
    // soon after the request, keeping the previous file.
    void aStopDoesNotWaitForTheServer()
    {
        REQUIRE_TEST_SERVER();
        test::ScratchDatabase db("vorda_guard_stop");
        db.exec("CREATE TABLE t (id int NOT NULL PRIMARY KEY, v varchar(20))");
        test::FillRows(db, "t", 3);
        Fixture f;
        f.connection("c", db.params());
        f.backup("b", "c", "t");
        test::WriteFile(f.path("b"), "previous\r\n");
        db.exec("LOCK TABLES t WRITE");
        const auto began = std::chrono::steady_clock::now();
        std::chrono::steady_clock::time_point asked {};
        f.ui.onPump = [&] {
            if (asked == decltype(asked) {} && std::chrono::steady_clock::now() - began > std::chrono::milliseconds(500)) {
                asked = std::chrono::steady_clock::now();
                f.state.backupCancelRequested = true;
            }
        };
        const BackupOutcome out = f.run("b");
        const auto stopped = std::chrono::steady_clock::now();
        db.exec("UNLOCK TABLES");
        QCOMPARE(out.status, RunStatus::Cancelled);
        QVERIFY(asked != decltype(asked) {});
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(stopped - asked).count();
        QVERIFY2(waited < 500, qPrintable(QString::number(waited)));
        QCOMPARE(f.log(), (std::vector<std::string> {"S Manual Backup Started: b", "S Backup Cancelled: b"}));
        QCOMPARE(f.file("b"), std::string("previous\r\n"));
        QVERIFY(!f.state.backupRunning);
    }

    // With a wait hook a long server call lets the caller's events through
    // about every 10 ms and gives the same results.
    void theWaitHookKeepsTheCallerAlive()
    {
        REQUIRE_TEST_SERVER();
        test::ScratchDatabase db("vorda_guard_wait");
        db.exec("CREATE TABLE t (id int NOT NULL PRIMARY KEY, v varchar(20))");
        test::FillRows(db, "t", 2000);
        MysqlConnection conn;
        std::vector<std::chrono::steady_clock::time_point> calls;
        conn.SetWaitHook([&calls] { calls.push_back(std::chrono::steady_clock::now()); });
        QVERIFY(conn.Connect(db.params()));
        calls.clear();
        const auto began = std::chrono::steady_clock::now();
        QVERIFY(conn.Query("SELECT SLEEP(0.3), 42"));
        const auto answered = std::chrono::steady_clock::now();
        {
            MysqlResult result = conn.StoreResult();
            MYSQL_ROW row = result.FetchRow();
            QVERIFY(row && std::string(row[1]) == "42");
        }
        QVERIFY2(calls.size() >= 15, qPrintable(QString::number(calls.size())));
        auto longest = calls.front() - began;
        for (size_t i = 1; i < calls.size(); ++i)
            longest = std::max(longest, calls[i] - calls[i - 1]);
        longest = std::max(longest, answered - calls.back());
        QVERIFY2(longest < std::chrono::milliseconds(40),
                 qPrintable(QString::number(std::chrono::duration_cast<std::chrono::milliseconds>(longest).count())));

        // Streamed rows, refused statements and the error text as without it.
        QVERIFY(conn.Query("SELECT id FROM t ORDER BY id"));
        {
            MysqlResult rows = conn.UseResult();
            long long sum = 0;
            while (MYSQL_ROW row = rows.FetchRow())
                sum += std::atoll(row[0]);
            QCOMPARE(sum, 2000LL * 2001 / 2);
        }
        QVERIFY(!conn.Query("SELECT * FROM missing_table"));
        QCOMPARE(conn.ErrorNumber(), 1146u);

        // A host that does not answer still gives up (the refused port of
        // the loopback answers at once).
        MysqlConnection refused;
        refused.SetWaitHook([] {});
        ConnectionParams nowhere = db.params();
        nowhere.port = 1;
        QVERIFY(!refused.Connect(nowhere));
        QVERIFY(refused.ErrorNumber() != 0);

        // The worker wait lets events through in the same way.
        int pumps = 0;
        ThrottledPump pump([&pumps] { ++pumps; });
        QCOMPARE(PumpWhile(pump, [] {
                     std::this_thread::sleep_for(std::chrono::milliseconds(100));
                     return 7;
                 }),
                 7);
        QVERIFY(pumps >= 5);
    }
};

QTEST_GUILESS_MAIN(TestRunGuards)
#include "tst_run_guards.moc"
