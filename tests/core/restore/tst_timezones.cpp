// TIMESTAMP values through a backup and a restore, with the test server's
// global time zone set to one with summer time (Europe/Berlin) and changed
// between the backup and the restore. Every value must come back as the
// same instant. This test changes the server's global zone, so it runs on
// its own (RUN_SERIAL) and puts the zone back afterwards.
#include "RestoreTestSupport.h"
#include "core/dump/DumpFormat.h"
#include "core/engine/BackupRun.h"
#include "core/restore/RestoreRun.h"
#include "core/store/Definitions.h"

#include <QProcess>
#include <QTest>

namespace {

// Loads a zone from the system's zone files into the server's zone tables:
// mariadb-tzinfo-to-sql piped into the mariadb client.
bool LoadZone(const std::string& zone)
{
    const ConnectionParams p = test::TestServer::Params();
    QProcess shell;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MYSQL_PWD"), QString::fromStdString(p.password));
    shell.setProcessEnvironment(environment);
    const QString script = QStringLiteral("set -o pipefail; mariadb-tzinfo-to-sql \"$1\" \"$2\" | "
                                          "mariadb --no-defaults -h \"$3\" -P \"$4\" -u \"$5\" mysql");
    shell.start(QStringLiteral("bash"), {QStringLiteral("-c"), script, QStringLiteral("bash"),
                                         QStringLiteral("/usr/share/zoneinfo/") + zone.c_str(), zone.c_str(),
                                         p.host.c_str(), QString::number(p.port), p.user.c_str()});
    return shell.waitForFinished(60000) && shell.exitCode() == 0;
}

bool Backup(test::RestoreFixture& f, const std::string& tables)
{
    BackupDef backup = BackupDef::Load(f.state.store, f.name);
    backup.tables = SplitBarList(tables);
    backup.Save(f.state.store);
    SilentRunUi ui;
    return BackupRun(f.state, ui).Run(f.name, RunKind::Manual, f.state.clock()).status == RunStatus::Completed;
}

RestoreOutcome Restore(test::RestoreFixture& f)
{
    test::RecordingRunUi ui;
    return RestoreRun(f.state, ui).Run(f.name).outcome;
}

} // namespace

class TestTimeZones : public QObject {
    Q_OBJECT

    std::unique_ptr<test::ScratchDatabase> admin_;
    std::string serverZone_;

    // New connections take the global zone as their session's.
    void SetGlobalZone(const std::string& zone) { admin_->exec("SET GLOBAL time_zone = '" + zone + "'"); }

private slots:
    void initTestCase()
    {
        REQUIRE_TEST_SERVER();
        admin_ = std::make_unique<test::ScratchDatabase>("vorda_tz_admin");
        serverZone_ = admin_->scalar("SELECT @@GLOBAL.time_zone");
        for (const std::string zone : {"Europe/Berlin", "America/New_York"}) {
            if (admin_->scalar("SELECT COUNT(*) FROM mysql.time_zone_name WHERE Name = '" + zone + "'") == "0")
                QVERIFY2(LoadZone(zone), zone.c_str());
        }
        QCOMPARE(admin_->scalar("SELECT CONVERT_TZ('2026-10-25 01:30:00', '+00:00', 'Europe/Berlin')"),
                 std::string("2026-10-25 02:30:00"));
        QCOMPARE(admin_->scalar("SELECT CONVERT_TZ('2026-07-01 16:00:00', '+00:00', 'America/New_York')"),
                 std::string("2026-07-01 12:00:00"));
    }

    void cleanup()
    {
        if (admin_)
            SetGlobalZone(serverZone_);
    }

    void cleanupTestCase() { admin_.reset(); }

    // Both instants of the hour that repeats, the first and the last second
    // a TIMESTAMP holds, microseconds and NULL; DATETIME, DATE and TIME
    // values beside them stay as they are.
    void timestampsComeBackAsTheSameInstants_data()
    {
        QTest::addColumn<QString>("restoreZone");
        QTest::newRow("restored in the same zone") << "Europe/Berlin";
        QTest::newRow("restored under another global zone") << "America/New_York";
    }

    void timestampsComeBackAsTheSameInstants()
    {
        QFETCH(QString, restoreZone);
        SetGlobalZone("Europe/Berlin");
        test::RestoreFixture f("vorda_tz");
        f.db.exec("CREATE TABLE stamps (id int PRIMARY KEY, ts timestamp(6) NULL DEFAULT NULL, dt datetime(6), "
                  "d date, t time(6))");
        // Written as UTC, so each row holds the instant named.
        f.db.exec("SET SESSION time_zone = '+00:00'");
        f.db.exec("INSERT INTO stamps VALUES "
                  "(1, '2026-10-25 00:30:00', '2026-10-25 02:30:00.5', '2026-10-25', '02:30:00'), "
                  "(2, '2026-10-25 01:30:00', '2026-10-25 02:30:00.5', '2026-10-25', '-838:59:59'), "
                  "(3, '1970-01-01 00:00:01', '1000-01-01 00:00:00', '1000-01-01', '00:00:00'), "
                  "(4, '2038-01-19 03:14:07', '9999-12-31 23:59:59.999999', '9999-12-31', '838:59:59'), "
                  "(5, '2026-03-29 01:00:00.123456', NULL, NULL, '12:34:56.654321'), "
                  "(6, NULL, '2026-03-29 02:30:00', '2026-03-29', NULL)");
        const std::string columns = "id, UNIX_TIMESTAMP(ts), dt, d, t";
        const std::vector<std::string> original = test::QueryRows(f.db, "SELECT " + columns + " FROM stamps ORDER BY id");
        QCOMPARE(f.db.scalar("SELECT UNIX_TIMESTAMP(ts) FROM stamps WHERE id = 2"), std::string("1792891800.000000"));

        QVERIFY(Backup(f, "stamps"));
        const std::string file = test::ReadFile(f.DumpPath());
        QVERIFY(file.find("-- Backup TimeStamp: ") < file.find("-- Session Time Zone: +00:00\r\n"));
        // The two instants of the repeated hour stay two values.
        QVERIFY(file.find("INSERT INTO `stamps` VALUES ('1', '2026-10-25 00:30:00.000000', ") != std::string::npos);
        QVERIFY(file.find("INSERT INTO `stamps` VALUES ('2', '2026-10-25 01:30:00.000000', ") != std::string::npos);

        SetGlobalZone(restoreZone.toStdString());
        QCOMPARE(Restore(f), RestoreOutcome::Complete);
        QCOMPARE(test::QueryRows(f.db, "SELECT " + columns + " FROM VORDA_stamps ORDER BY id"), original);
    }

    // Files of earlier versions carry no session time zone line: their
    // TIMESTAMP values were written in the server's zone and are read in it,
    // as before. A file with the line is read as UTC whatever the zone.
    void olderFilesRestoreUnderTheServersZone_data()
    {
        QTest::addColumn<bool>("marked");
        QTest::addColumn<QString>("zone");
        QTest::addColumn<QString>("instant"); // UTC
        QTest::newRow("older file, summer time") << false << "Europe/Berlin" << "2026-07-01 10:00:00";
        QTest::newRow("older file, another zone") << false << "America/New_York" << "2026-07-01 16:00:00";
        QTest::newRow("new file") << true << "Europe/Berlin" << "2026-07-01 12:00:00";
        QTest::newRow("new file, another zone") << true << "America/New_York" << "2026-07-01 12:00:00";
    }

    void olderFilesRestoreUnderTheServersZone()
    {
        QFETCH(bool, marked);
        QFETCH(QString, zone);
        QFETCH(QString, instant);
        SetGlobalZone(zone.toStdString());
        test::RestoreFixture f("vorda_tz_old");
        std::vector<std::string> lines = test::DumpHeaderLines(f.name, f.db.name());
        if (marked)
            lines.insert(lines.begin() + 12, kSessionTimeZoneLine);
        for (const char* line : {"", "---", "--- Table structure for table `old_stamps`", "---", "",
                                 "CREATE TABLE `old_stamps` (", "  `id` int(11) NOT NULL,",
                                 "  `ts` timestamp NULL DEFAULT NULL,", "  PRIMARY KEY (`id`)", ")", "", "---",
                                 "--- Dumping data for table `old_stamps` - Total rows: 2", "---", "",
                                 "INSERT INTO `old_stamps` VALUES ('1', '2026-07-01 12:00:00')",
                                 "INSERT INTO `old_stamps` VALUES ('2', NULL)"})
            lines.emplace_back(line);
        f.WriteDump(lines);
        QCOMPARE(Restore(f), RestoreOutcome::Complete);
        f.db.exec("SET SESSION time_zone = '+00:00'");
        QCOMPARE(f.db.scalar("SELECT ts FROM VORDA_old_stamps WHERE id = 1"), instant.toStdString());
        QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM VORDA_old_stamps WHERE id = 2 AND ts IS NULL"), std::string("1"));
    }
};

QTEST_GUILESS_MAIN(TestTimeZones)
#include "tst_timezones.moc"
