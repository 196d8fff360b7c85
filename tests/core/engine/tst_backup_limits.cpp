// Backups that could not be restored are not successes, and what a backup
// run names (its file, its tables, its port) cannot reach further than it
// should. Every case runs against the private test server.
#include "EngineTestSupport.h"
#include "core/restore/RestoreRun.h"
#include "core/state/MessageKind.h"

#include <QTest>


using test::Lines;
using test::RunFixture;
using Messages = std::vector<std::pair<MessageKind, std::string>>;

using test::FilesIn;

namespace {

// A restore run that shows nothing and answers every question No.
// Shows nothing; says Yes to restoring into another database than the
// backup's, and No to everything else.
class QuietRestoreUi : public SilentRunUi {
public:
    int ShowMessage(MessageKind, const std::string& text) override
    {
        return text.starts_with(kRestoreTargetQuestionStart) ? 1 : 0;
    }
};

} // namespace

class TestBackupLimits : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        REQUIRE_TEST_SERVER();
        qputenv("TZ", "UTC");
        tzset();
    }

    // A row whose statement is longer than the server's max_allowed_packet
    // could never be restored: the run fails naming the table and the
    // limit, and the previous good file stays.
    void aRowOverThePacketLimitFailsTheRun()
    {
        test::ScratchDatabase db("vorda_packet");
        const long long packet = std::stoll(db.scalar("SELECT @@SESSION.max_allowed_packet"));
        db.exec("CREATE TABLE small (id int NOT NULL PRIMARY KEY)");
        db.exec("INSERT INTO small VALUES (1)");
        db.exec("CREATE TABLE big (id int NOT NULL PRIMARY KEY, b longblob)");
        db.exec("INSERT INTO big VALUES (1, 'fits')");
        RunFixture f;
        f.connection("c", db.params());
        f.backup("b", "c", "small|big");
        QCOMPARE(f.run("b").status, RunStatus::Completed);
        const std::string previous = f.file("b");
        const BackupDef before = f.saved("b");

        // Zero bytes are written escaped, two bytes each: half the packet of
        // them makes a row statement over it.
        const long long zeros = packet / 2 + 16;
        db.exec("UPDATE big SET b = REPEAT(X'00', " + std::to_string(zeros) + ")");
        f.ui = test::RecordingUi();
        const BackupOutcome out = f.run("b");
        QCOMPARE(out.status, RunStatus::Failed);
        const long long statement = 32 + 2 * zeros + 2; // INSERT INTO `big` VALUES ('1', '...')
        QCOMPARE(f.ui.messages,
                 (Messages {{MessageKind::Error,
                             "The table `big` holds a row that could not be restored: its row statement of "
                                 + std::to_string(statement)
                                 + " bytes is longer than the server's packet limit (max_allowed_packet) of "
                                 + std::to_string(packet)
                                 + " bytes.\r\n\r\nThe backup failed; the previous backup file was kept."}}));
        QCOMPARE(f.file("b"), previous);
        // The file, vorda.db, the log and the lock files: no temporary file.
        QCOMPARE(FilesIn(f.dir.path()), (std::vector<std::string> {"backup_b.lck", "backup_b.tbk", "vorda.db",
                                                                   "vorda_history.log", "vorda_history.log.lock"}));
        QCOMPARE(f.saved("b").lastBackup, before.lastBackup);
        QCOMPARE(f.saved("b").lineCount, before.lineCount);
        QVERIFY(!f.state.backupRunning);

        f.state.log.Clear();
        f.ui = test::RecordingUi();
        const BackupOutcome automatic = f.run("b", RunKind::Automatic);
        QCOMPARE(automatic.status, RunStatus::Failed);
        QCOMPARE(automatic.reason, std::string("Row Over Packet Limit - Table: big"));
        QCOMPARE(f.log(), (std::vector<std::string> {"S Auto Backup Executed: b",
                                                     "S Row Over Packet Limit: b - Table: big - Backup Failed",
                                                     "V Auto Backup Ended: b - Elapsed Time: 00:00:00"}));
        QCOMPARE(f.file("b"), previous);
    }

    // A list of 1,005 tables is backed up whole, and every table comes back.
    void everyListedTableIsBackedUpAndRestored()
    {
        test::ScratchDatabase db("vorda_many");
        test::ScratchDatabase target("vorda_many_target");
        // In-memory tables keep creating a thousand of them quick.
        db.exec("CREATE PROCEDURE make_tables() BEGIN DECLARE i INT DEFAULT 1; WHILE i <= 1005 DO "
                "SET @sql = CONCAT('CREATE TABLE t', LPAD(i, 4, '0'), ' (id int NOT NULL PRIMARY KEY) "
                "ENGINE=MEMORY'); PREPARE s FROM @sql; EXECUTE s; DEALLOCATE PREPARE s; SET i = i + 1; END WHILE; "
                "END");
        db.exec("CALL make_tables()");
        db.exec("INSERT INTO t1005 VALUES (1), (2)");
        std::string tables;
        for (int i = 1; i <= 1005; ++i) {
            char name[8];
            std::snprintf(name, sizeof name, "t%04d", i);
            tables += (i > 1 ? "|" : "") + std::string(name);
        }
        RunFixture f;
        f.connection("c", db.params());
        f.backup("b", "c", tables);
        const BackupOutcome out = f.run("b");
        QVERIFY2(out.status == RunStatus::Completed, out.reason.c_str());
        const std::string file = f.file("b");
        QVERIFY(file.ends_with("\r\n-- End of Backup File - Tables: 1005 - Rows: 2\r\n"));
        QVERIFY(file.find("--- Table structure for table `t1005`\r\n") != std::string::npos);

        // Restored into another database (the user agrees), beside nothing.
        ConnectionDef site = ConnectionDef::Load(f.state.store, "c");
        site.database = target.name();
        site.Save(f.state.store);
        f.state.settings().restoreMode = RestoreMode::Indirect;
        QuietRestoreUi ui;
        const RestoreReport report = RestoreRun(f.state, ui).Run("b");
        QCOMPARE(report.outcome, RestoreOutcome::Complete);
        QCOMPARE(target.scalar("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() "
                               "AND TABLE_NAME LIKE 'VORDA\\_t____'"),
                 std::string("1005"));
        QCOMPARE(target.scalar("SELECT GROUP_CONCAT(id ORDER BY id) FROM VORDA_t1005"), std::string("1,2"));
        // The file's own definitions keep the tables in memory (the server's
        // default engine, shared with tests running beside this one, is left
        // alone).
        QCOMPARE(target.scalar("SELECT ENGINE FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() AND "
                               "TABLE_NAME = 'VORDA_t0001'"),
                 std::string("MEMORY"));
    }

    // A live table literally named `<other>`.`newtab` is one name: it backs
    // up with its backquotes doubled and restores into the backup's own
    // database, never into the other one.
    void aTableNameHoldingBackquotesStaysOneName()
    {
        test::ScratchDatabase db("vorda_quoted");
        test::ScratchDatabase other("vorda_otherdb");
        const std::string name = other.name() + "`.`newtab";
        db.exec("CREATE TABLE " + QuoteIdentifier(name) + " (id int NOT NULL PRIMARY KEY, v varchar(10))");
        db.exec("INSERT INTO " + QuoteIdentifier(name) + " VALUES (1, 'x`y')");
        RunFixture f;
        f.connection("c", db.params());
        f.backup("b", "c", name);
        QCOMPARE(f.run("b").status, RunStatus::Completed);
        const std::string quoted = "`" + other.name() + "``.``newtab`";
        const std::vector<std::string> lines = Lines(f.file("b"));
        QCOMPARE(lines[kHeaderLines + 2], "--- Table structure for table " + quoted);
        QCOMPARE(lines[kHeaderLines + 5], "CREATE TABLE " + quoted + " (");
        QVERIFY(std::find(lines.begin(), lines.end(), "INSERT INTO " + quoted + " VALUES ('1', 'x`y')") != lines.end());

        for (const RestoreMode mode : {RestoreMode::Indirect, RestoreMode::Absolute}) {
            f.state.settings().restoreMode = mode;
            f.state.settings().safeCopy = false;
            QuietRestoreUi ui;
            QCOMPARE(RestoreRun(f.state, ui).Run("b").outcome, RestoreOutcome::Complete);
        }
        QCOMPARE(db.scalar("SELECT GROUP_CONCAT(v) FROM " + QuoteIdentifier("VORDA_" + name)), std::string("x`y"));
        QCOMPARE(db.scalar("SELECT GROUP_CONCAT(v) FROM " + QuoteIdentifier(name)), std::string("x`y"));
        QCOMPARE(other.scalar("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE()"),
                 std::string("0"));
    }

    // Ports outside 1-65535 are refused before anything connects (93100
    // would reach port 27564).
    void aPortOutsideTheRangeIsRefused()
    {
        test::ScratchDatabase db("vorda_port");
        db.exec("CREATE TABLE t (id int NOT NULL PRIMARY KEY)");
        RunFixture f;
        f.connection("c", db.params(), "93100");
        f.backup("b", "c", "t");
        QCOMPARE(f.run("b").status, RunStatus::Failed);
        QCOMPARE(f.ui.messages, (Messages {{MessageKind::Error, "The port number \"93100\" of connection \"c\" is not "
                                                                "valid.\r\n\r\nA port number is a whole number from 1 "
                                                                "to 65535."}}));
        QVERIFY(!test::FileExists(f.path("b")));
        QVERIFY(!f.state.backupRunning);

        f.state.log.Clear();
        const BackupOutcome automatic = f.run("b", RunKind::Automatic);
        QCOMPARE(automatic.status, RunStatus::Failed);
        QCOMPARE(automatic.reason, std::string("Invalid Port Number"));
        QCOMPARE(f.log(), (std::vector<std::string> {"S Auto Backup Executed: b",
                                                     "S Invalid Port Number: b - Backup Failed"}));
    }

    // The file's name comes from a name that passes the name rule: a record
    // whose stored name differs from its list name, or breaks the rule, is
    // not run, and no file is written anywhere.
    void aRecordWhoseNameCannotNameItsFileIsNotRun()
    {
        test::ScratchDatabase db("vorda_name");
        db.exec("CREATE TABLE t (id int NOT NULL PRIMARY KEY)");
        for (const char* stored : {"x/../../trav2", "other_name", ""}) {
            RunFixture f;
            f.connection("c", db.params());
            f.backup("b", "c", "t");
            f.state.store.SetValue(BackupTable("b"), "IDC_CNSB_NAME", stored);
            const BackupOutcome out = f.run("b");
            QCOMPARE(out.status, RunStatus::Failed);
            QCOMPARE(f.ui.messages,
                     (Messages {{MessageKind::Error, "The backup definition \"b\" is damaged: its stored name is not a "
                                                     "valid backup name or differs from its name in the list.\r\n\r\n"
                                                     "The backup was not run."}}));
            QCOMPARE(FilesIn(f.dir.path()),
                     (std::vector<std::string> {"vorda.db", "vorda_history.log", "vorda_history.log.lock"}));
            QVERIFY(!test::FileExists(f.dir.path() + "../trav2.tbk"));
            QVERIFY(!test::FileExists(f.dir.path() + "../../trav2.tbk"));
            QVERIFY(!f.state.backupRunning);

            f.state.log.Clear();
            QCOMPARE(f.run("b", RunKind::Automatic).status, RunStatus::Failed);
            QCOMPARE(f.log(), (std::vector<std::string> {"S Auto Backup Executed: b",
                                                         "S Invalid Backup Name: b - Backup Failed"}));
        }
    }

    // A table that is not read inside the run's snapshot (MyISAM) and
    // changes between its count (on the run's own connection) and its rows
    // would give a file whose data heading disagrees with its rows: the run
    // fails instead.
    void aTableChangingUnderTheRunFailsIt()
    {
        test::ScratchDatabase db("vorda_changing");
        db.exec("CREATE TABLE m (id int NOT NULL PRIMARY KEY, v varchar(20)) ENGINE=MyISAM");
        test::FillRows(db, "m", 150);
        for (const bool add : {true, false}) {
            RunFixture f;
            f.countFirst = true;
            f.connection("c", db.params());
            f.backup("b", "c", "m");
            f.ui.onText = [&](RunField field, const std::string& text) {
                if (field == RunField::RunStatus && text == "Backing up m")
                    db.exec(add ? "INSERT INTO m VALUES (1000, 'late')" : "DELETE FROM m WHERE id = 1000");
            };
            QCOMPARE(f.run("b").status, RunStatus::Failed);
            QCOMPARE(f.ui.messages,
                     (Messages {{MessageKind::Error,
                                 std::string("The table `m` changed while it was backed up: ")
                                     + (add ? "150 rows were counted, but more were read"
                                            : "151 rows were counted, but 150 were read")
                                     + ".\r\n\r\nThe backup failed; the previous backup file was kept."}}));
            QVERIFY(!test::FileExists(f.path("b")));
        }
    }

    // The count taken on the second connection is a forecast: when it does
    // not come (that connection is lost), the run counts the table itself and
    // reads it again, and the file is the one a run counting first writes.
    void aLostCountConnectionLeavesTheSameFile()
    {
        test::ScratchDatabase db("vorda_countlost");
        test::CreateFilledTables(db, {{"t", 1234}, {"u", 56}});
        RunFixture first;
        first.countFirst = true;
        first.connection("c", db.params());
        first.backup("b", "c", "t|u");
        QCOMPARE(first.run("b").status, RunStatus::Completed);

        RunFixture f;
        f.countMode = BackupRun::CountMode::Ahead;
        f.connection("c", db.params());
        f.backup("b", "c", "t|u");
        bool killed = false;
        f.ui.onPump = [&] {
            if (killed)
                return;
            killed = true;
            // The run's newest connection is the counting one.
            db.exec("KILL CONNECTION " + db.scalar("SELECT ID FROM information_schema.PROCESSLIST WHERE DB = '"
                                                   + db.name() + "' AND ID <> CONNECTION_ID() ORDER BY ID DESC LIMIT 1"));
        };
        const BackupOutcome out = f.run("b");
        QVERIFY(killed);
        QCOMPARE(out.status, RunStatus::Completed);
        QCOMPARE(f.file("b"), first.file("b"));
        QCOMPARE(out.lineTally, std::stoll(first.saved("b").lineCount));
        QCOMPARE(out.rowsWritten, 1290ULL);
        QCOMPARE(f.ui.Texts(RunField::TableMembers), first.ui.Texts(RunField::TableMembers));
        QCOMPARE(f.ui.Texts(RunField::CurrentMember), first.ui.Texts(RunField::CurrentMember));
        QCOMPARE(f.ui.steps, first.ui.steps);
        QCOMPARE(FilesIn(f.dir.path()).size(), size_t(5)); // with the two lock files
    }

    // A definition a restore would refuse, or read differently, fails the
    // run with a message naming the table; the previous file stays.
    void aStructureARestoreWouldRefuseFailsTheRun()
    {
        test::ScratchDatabase db("vorda_unrestorable");
        test::ScratchDatabase other("vorda_unrestorable_other");
        other.exec("CREATE TABLE p (id int PRIMARY KEY)");
        const struct {
            const char* table;
            std::string definition;
            const char* reason;
        } cases[] = {
            {"elsewhere", "(id int PRIMARY KEY, p int, FOREIGN KEY (p) REFERENCES " + other.name() + ".p (id))",
             "a restore refuses it (a qualified name (another database))"},
            {"odd", "(`line\nbreak` int)", "its lines do not join into the same statement"},
        };
        for (const auto& c : cases) {
            db.exec(std::string("CREATE TABLE ") + c.table + " " + c.definition);
            RunFixture f;
            f.connection("c", db.params());
            f.backup("b", "c", c.table);
            test::WriteFile(f.path("b"), "previous\r\n");
            QCOMPARE(f.run("b").status, RunStatus::Failed);
            QCOMPARE(f.ui.messages,
                     (Messages {{MessageKind::Error, std::string("The structure of table `") + c.table
                                                         + "` cannot be written so that a restore accepts it: "
                                                         + c.reason
                                                         + ".\r\n\r\nThe backup failed; the previous backup "
                                                           "file was kept."}}));
            QCOMPARE(f.file("b"), std::string("previous\r\n"));
            QCOMPARE(FilesIn(f.dir.path()).size(), size_t(5)); // with the two lock files

            f.state.log.Clear();
            QCOMPARE(f.run("b", RunKind::Automatic).status, RunStatus::Failed);
            QCOMPARE(f.log()[1], "S Table Structure Not Restorable: b - Table: " + std::string(c.table)
                                     + " - Backup Failed");
        }
    }

    // A name of 240 characters, and the longest whose file name fits in 255
    // bytes, back up through a temporary file of a shortened name.
    void longNamesKeepTheirTemporaryFileWithinAFileName()
    {
        test::ScratchDatabase db("vorda_longname");
        db.exec("CREATE TABLE t (id int NOT NULL PRIMARY KEY)");
        for (const size_t length : {size_t(240), size_t(244)}) {
            const std::string name(length, 'n');
            RunFixture f;
            f.connection("c", db.params());
            f.backup(name, "c", "t");
            QCOMPARE(f.run(name).status, RunStatus::Completed);
            QVERIFY(test::FileExists(f.path(name)));
            QCOMPARE(FilesIn(f.dir.path()).size(), size_t(5)); // with the two lock files
        }
        const std::string tooLong(245, 'n');
        RunFixture f;
        f.connection("c", db.params());
        f.backup(tooLong, "c", "t");
        QCOMPARE(f.run(tooLong).status, RunStatus::Failed);
        // The message names the cause.
        QCOMPARE(f.ui.messages,
                 (Messages {{MessageKind::Error, "The backup file failed to open.\r\n\r\nFile name too long"}}));
    }
};

QTEST_GUILESS_MAIN(TestBackupLimits)
#include "tst_backup_limits.moc"
