#include "RestoreTestSupport.h"
#include "core/history/HistoryLog.h"
#include "core/restore/RestoreRun.h"
#include "core/state/BackupLock.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {

struct Result {
    int status;
    QString out;
    QString err;
};

Result Bench(const QStringList& args)
{
    QProcess process;
    process.start(qEnvironmentVariable("VORDA_BINARY_DIR") + "/bench/vorda-bench", args);
    process.waitForFinished(120000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

const QRegularExpression kResultLine(R"(^rows=(\d+) seconds=[0-9.]+ rows_per_s=\d+ peak_rss_kb=\d+\n$)");

QString BenchPath()
{
    return qEnvironmentVariable("VORDA_BINARY_DIR") + "/bench/vorda-bench";
}

// Defines connection c and backup b of table t of `db` in `data`.
void Define(const QString& data, const test::ScratchDatabase& db)
{
    const ConnectionParams p = db.params();
    const Result r = Bench({"define", "--data-dir", data, "--connection", "c", "--host", "127.0.0.1", "--port",
                            QString::number(p.port), "--database", QString::fromStdString(p.database), "--user",
                            QString::fromStdString(p.user), "--password", QString::fromStdString(p.password),
                            "--backup", "b", "--tables", "t"});
    QCOMPARE(r.status, 0);
}

// Creates table t of `db` from `definition` and `fill` (an INSERT), and
// defines connection c and backup b of it in `dir`; gives the folder.
QString Prepare(const test::TempDataDir& dir, test::ScratchDatabase& db, const std::string& definition,
                const std::string& fill)
{
    db.exec("CREATE TABLE t " + definition);
    db.exec(fill);
    const QString data = QString::fromStdString(dir.path());
    Define(data, db);
    return data;
}

std::vector<std::string> LogMessages(const QString& data)
{
    HistoryLog log(data.toStdString() + "vorda_history.log");
    log.Load();
    std::vector<std::string> messages;
    for (const HistoryEntry& e : log.Entries())
        messages.push_back(e.message);
    return messages;
}

bool HasTempFile(const QString& data)
{
    return !QDir(data).entryList({"*.tmp*"}, QDir::Files).isEmpty();
}

} // namespace

class TestBenchRestore : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { REQUIRE_TEST_SERVER(); }

    // A run of the backup in another process (a lock held here) refuses
    // both commands: a line saying so and their own exit status, nothing
    // touched.
    // A settings file that cannot be read is named as such, not taken for
    // one without the backup.
    void aDamagedStoreIsSaidAsSuch_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::newRow("backup") << QStringList {"backup"};
        QTest::newRow("restore") << QStringList {"restore", "--mode", "indirect"};
    }

    void aDamagedStoreIsSaidAsSuch()
    {
        QFETCH(QStringList, command);
        test::TempDataDir dir;
        test::WriteFile(dir.file("vorda.db"), std::string(4096, 'j'));
        const QString data = QString::fromStdString(dir.path());
        const Result r = Bench(QStringList {command[0], "--data-dir", data} + command.mid(1) + QStringList {"b"});
        QCOMPARE(r.status, 1);
        QCOMPARE(r.err, "vorda-bench " + command[0] + ": the settings file " + data
                            + "vorda.db is damaged: file is not a database\n");
        QCOMPARE(test::ReadFile(dir.file("vorda.db")), std::string(4096, 'j'));
    }

    void aBusyBackupIsRefusedWithItsOwnStatus()
    {
        test::TempDataDir dir;
        test::ScratchDatabase db("vorda_bench_busy");
        const QString data = Prepare(dir, db, "(id int NOT NULL PRIMARY KEY)", "INSERT INTO t VALUES (1)");
        QCOMPARE(Bench({"backup", "--data-dir", data, "b"}).status, 0);
        const std::string file = test::ReadFile(data.toStdString() + "backup_b.tbk");
        BackupLock held;
        QCOMPARE(held.Acquire(dir.path(), "b", BackupLock::Use::Restore), BackupLock::Result::Acquired);
        const Result backup = Bench({"backup", "--data-dir", data, "b"});
        QCOMPARE(backup.status, 75);
        QVERIFY2(backup.err.contains("vorda-bench backup: not run, backup b is busy: Restore Running in Another "
                                     "Process\n"),
                 qPrintable(backup.err));
        const Result restore = Bench({"restore", "--data-dir", data, "--mode", "indirect", "b"});
        QCOMPARE(restore.status, 75);
        QVERIFY2(restore.err.contains("Another Restore is Currently Running"), qPrintable(restore.err));
        QCOMPARE(test::ReadFile(data.toStdString() + "backup_b.tbk"), file);
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() AND "
                           "TABLE_NAME = 'VORDA_t'"),
                 std::string("0"));
    }

    void restoresABackupMadeByTheBackupCommand()
    {
        test::TempDataDir dir;
        test::ScratchDatabase db("vorda_bench_restore");
        db.exec("CREATE TABLE t (id int NOT NULL PRIMARY KEY, v varchar(20))");
        db.exec("INSERT INTO t SELECT seq, CONCAT('v', seq) FROM seq_1_to_250");
        const ConnectionParams p = db.params();
        const QString data = QString::fromStdString(dir.path());
        Result r = Bench({"define", "--data-dir", data, "--connection", "c", "--host", "127.0.0.1", "--port",
                          QString::number(p.port), "--database", QString::fromStdString(p.database), "--user",
                          QString::fromStdString(p.user), "--password", QString::fromStdString(p.password),
                          "--backup", "b", "--tables", "t"});
        QCOMPARE(r.status, 0);
        QCOMPARE(Bench({"backup", "--data-dir", data, "b"}).status, 0);

        // Options before and after the name, in any order.
        r = Bench({"restore", "b", "--mode", "indirect", "--data-dir", data});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        const auto match = kResultLine.match(r.out);
        QVERIFY2(match.hasMatch(), qPrintable(r.out));
        QCOMPARE(match.captured(1), QString("250"));
        QVERIFY(r.err.contains("Restore Complete\r\n\r\nDo you wish to execute another?"));
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM VORDA_t"), std::string("250"));

        // Absolute mode with safe copies; the question about the missing copy
        // source never comes up, the table is there.
        db.exec("UPDATE t SET v = 'changed'");
        r = Bench({"restore", "--safe-copy", "--data-dir", data, "b", "--mode", "absolute"});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM t WHERE v = CONCAT('v', id)"), std::string("250"));
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM SAFE_COPY_t WHERE v = 'changed'"), std::string("250"));

        // Into another database only with --accept-other-database.
        test::ScratchDatabase other("vorda_bench_other");
        Define(data, other);
        r = Bench({"restore", "--data-dir", data, "--mode", "indirect", "b"});
        QCOMPARE(r.status, 1);
        QVERIFY(r.err.contains(QString::fromStdString("This backup was made from database " + db.name())));
        QVERIFY(r.err.contains("Restore Cancelled"));
        QVERIFY(!test::TableExists(other, "VORDA_t"));
        r = Bench({"restore", "--data-dir", data, "--mode", "indirect", "--accept-other-database", "b"});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QCOMPARE(other.scalar("SELECT COUNT(*) FROM VORDA_t"), std::string("250"));

        // A restore that fails ends with status 1 after its message.
        QVERIFY(QFile::remove(data + "backup_b.tbk"));
        r = Bench({"restore", "--data-dir", data, "--mode", "indirect", "b"});
        QCOMPARE(r.status, 1);
        QVERIFY(r.err.contains("The backup file failed to open."));
        QVERIFY(kResultLine.match(r.out).hasMatch());

        // Wrong use.
        QCOMPARE(Bench({"restore", "--data-dir", data, "b"}).status, 2);
        QCOMPARE(Bench({"restore", "--data-dir", data, "--mode", "sideways", "b"}).status, 2);
        QCOMPARE(Bench({"restore", "--data-dir", data, "--mode", "indirect", "--fast", "b"}).status, 2);
        QCOMPARE(Bench({"restore", "--data-dir", data, "--mode", "indirect", "missing"}).status, 1);
    }

    // The history log is appended to, as the program does it; a file
    // without its closing line is restored only with --accept-unfinished.
    void appendsToTheLogAndAsksAboutUnfinishedFiles()
    {
        test::TempDataDir dir;
        test::ScratchDatabase db("vorda_bench_log");
        const QString data = Prepare(dir, db, "(id int NOT NULL PRIMARY KEY)", "INSERT INTO t VALUES (1), (2)");
        {
            HistoryLog log(dir.file("vorda_history.log"));
            log.AppendEntry(false, "Vorda System Started");
            log.AppendEntry(true, "an earlier event");
        }
        QCOMPARE(Bench({"backup", "--data-dir", data, "b"}).status, 0);
        QCOMPARE(Bench({"restore", "--data-dir", data, "--mode", "indirect", "b"}).status, 0);
        QCOMPARE(LogMessages(data),
                 (std::vector<std::string> {"Vorda System Started", "an earlier event", "Manual Backup Started: b",
                                            "Backup Successful: b", "Restore Started: b", "Restore Successful: b"}));

        // The same file as an older version wrote it: without its closing line.
        const std::string path = dir.file("backup_b.tbk");
        std::string file = test::ReadFile(path);
        file.resize(file.rfind("\r\n\r\n-- End of Backup File") + 2);
        test::WriteFile(path, file);
        db.exec("DROP TABLE VORDA_t");
        Result r = Bench({"restore", "--data-dir", data, "--mode", "indirect", "b"});
        QCOMPARE(r.status, 1);
        QVERIFY(r.err.contains(QString::fromUtf8(kUnfinishedFileQuestion)));
        QVERIFY(r.err.contains("Restore Declined"));
        QVERIFY(!test::TableExists(db, "VORDA_t"));
        r = Bench({"restore", "--data-dir", data, "--mode", "indirect", "--accept-unfinished", "b"});
        QCOMPARE(r.status, 0);
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM VORDA_t"), std::string("2"));
    }

    // SIGTERM ends a backup as cancelled (temporary file removed, previous
    // file kept), without waiting for the server to answer, and a restore
    // after its current line.
    void stopsCleanlyOnSigterm()
    {
        test::TempDataDir dir;
        test::ScratchDatabase db("vorda_bench_term");
        const QString data = Prepare(dir, db, "(id int NOT NULL PRIMARY KEY, v varchar(40))",
                                     "INSERT INTO t SELECT seq, CONCAT('value ', seq) FROM seq_1_to_50000");
        QCOMPARE(Bench({"backup", "--data-dir", data, "b"}).status, 0);
        const std::string previous = test::ReadFile(dir.file("backup_b.tbk"));

        // The table is locked, so the run waits on it while SIGTERM comes.
        db.exec("LOCK TABLES t WRITE");
        QProcess backup;
        backup.start(BenchPath(), {"backup", "--data-dir", data, "b"});
        QVERIFY(backup.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(HasTempFile(data), 20000);
        backup.terminate();
        // Ended while the table is still locked.
        QVERIFY(backup.state() == QProcess::NotRunning || backup.waitForFinished(20000));
        db.exec("UNLOCK TABLES");
        QCOMPARE(backup.exitStatus(), QProcess::NormalExit);
        QCOMPARE(backup.exitCode(), 143);
        QVERIFY(!HasTempFile(data));
        QVERIFY(test::ReadFile(dir.file("backup_b.tbk")) == previous);
        QCOMPARE(LogMessages(data).back(), std::string("Backup Cancelled: b"));

        QProcess restore;
        restore.start(BenchPath(), {"restore", "--data-dir", data, "--mode", "indirect", "b"});
        QVERIFY(restore.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(db.scalar("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = "
                                           "DATABASE() AND TABLE_NAME = 'VORDA_t'")
                                     == "1",
                                 20000);
        restore.terminate();
        QVERIFY(restore.waitForFinished(20000));
        QCOMPARE(restore.exitCode(), 143);
        QCOMPARE(LogMessages(data).back(), std::string("Restore Cancelled: b"));
        QVERIFY(std::stoll(db.scalar("SELECT COUNT(*) FROM VORDA_t")) < 50000);
    }

    // A restore killed before its swap (here while it fills its scratch
    // table, a row at a time) leaves every table as it was; the next
    // restore removes the scratch table it left and goes through.
    void aKilledAbsoluteRestoreChangesNothing()
    {
        test::TempDataDir dir;
        test::ScratchDatabase db("vorda_bench_kill");
        const QString data = Prepare(dir, db, "(id int NOT NULL PRIMARY KEY, v varchar(40))",
                                     "INSERT INTO t SELECT seq, CONCAT('value ', seq) FROM seq_1_to_50000");
        QCOMPARE(Bench({"backup", "--data-dir", data, "b"}).status, 0);
        db.exec("UPDATE t SET v = 'later' WHERE id % 2 = 0");
        const std::vector<std::string> before = test::DatabaseSnapshot(db);
        const auto scratch = [&db] {
            return db.scalar("SELECT GROUP_CONCAT(TABLE_NAME) FROM information_schema.TABLES WHERE TABLE_SCHEMA = "
                             "DATABASE() AND TABLE_NAME LIKE 'vorda\\_new\\_%'");
        };

        QProcess restore;
        restore.start(BenchPath(), {"restore", "--data-dir", data, "--mode", "absolute", "--batch-bytes", "0", "b"});
        QVERIFY(restore.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(!scratch().empty()
                                     && db.scalar("SELECT COUNT(*) FROM " + QuoteIdentifier(scratch())) != "0",
                                 20000);
        restore.kill();
        QVERIFY(restore.waitForFinished(20000));
        QCOMPARE(restore.exitStatus(), QProcess::CrashExit);
        // The server lets go of the connection (and its lock).
        QTRY_COMPARE_WITH_TIMEOUT(db.scalar("SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE DB = '"
                                            + db.name() + "' AND ID <> CONNECTION_ID()"),
                                  std::string("0"), 20000);
        const std::string left = scratch();
        QVERIFY(!left.empty());
        std::vector<std::string> after = test::DatabaseSnapshot(db);
        std::erase_if(after, [](const std::string& entry) { return entry.starts_with("table vorda_new_"); });
        QCOMPARE(after, before);

        const Result r = Bench({"restore", "--data-dir", data, "--mode", "absolute", "b"});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QCOMPARE(scratch(), std::string());
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM t WHERE v = CONCAT('value ', id)"), std::string("50000"));
    }
};

QTEST_GUILESS_MAIN(TestBenchRestore)
#include "tst_benchrestore.moc"
