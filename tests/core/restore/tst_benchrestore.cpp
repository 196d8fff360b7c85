#include "RestoreTestSupport.h"

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

} // namespace

class TestBenchRestore : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { REQUIRE_TEST_SERVER(); }

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
};

QTEST_GUILESS_MAIN(TestBenchRestore)
#include "tst_benchrestore.moc"
