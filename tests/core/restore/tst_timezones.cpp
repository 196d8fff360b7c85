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

// The named zones the test uses, loaded into the server's zone tables from
// the system's zone files when the server does not know them yet.
const char* const kZones[] = {"Europe/Berlin", "America/New_York"};

std::string Scalar(MysqlConnection& conn, const std::string& query)
{
    if (!conn.Query(query))
        return "error: " + conn.ErrorText();
    MysqlResult result = conn.StoreResult();
    MYSQL_ROW row = result.FetchRow();
    return row && row[0] ? row[0] : "";
}

// mariadb-tzinfo-to-sql <zone file> <zone>, piped into the mariadb client.
bool LoadZone(const std::string& zone)
{
    const ConnectionParams p = test::TestServer::Params("mysql");
    QProcess tzinfo;
    QProcess client;
    tzinfo.setStandardOutputProcess(&client);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MYSQL_PWD"), QString::fromStdString(p.password));
    client.setProcessEnvironment(environment);
    client.start(QStringLiteral("mariadb"),
                 {QStringLiteral("--no-defaults"), QStringLiteral("--host=") + QString::fromStdString(p.host),
                  QStringLiteral("--port=%1").arg(p.port), QStringLiteral("--user=") + QString::fromStdString(p.user),
                  QStringLiteral("mysql")});
    tzinfo.start(QStringLiteral("mariadb-tzinfo-to-sql"),
                 {QStringLiteral("/usr/share/zoneinfo/") + QString::fromStdString(zone), QString::fromStdString(zone)});
    const bool done = tzinfo.waitForFinished(60000) && client.waitForFinished(60000);
    if (!done || tzinfo.exitCode() != 0 || client.exitCode() != 0)
        qWarning("loading %s: %s%s", zone.c_str(), tzinfo.readAllStandardError().constData(),
                 client.readAllStandardError().constData());
    return done && tzinfo.exitCode() == 0 && client.exitCode() == 0;
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
    ui.answers = {1, 1, 1};
    return RestoreRun(f.state, ui).Run(f.name).outcome;
}

} // namespace

class TestTimeZones : public QObject {
    Q_OBJECT

    MysqlConnection admin_;
    std::string serverZone_;

    // New connections take the global zone as their session's.
    void SetGlobalZone(const std::string& zone)
    {
        QVERIFY2(admin_.Query("SET GLOBAL time_zone = '" + admin_.Escape(zone) + "'"), admin_.ErrorText().c_str());
    }

private slots:
    void initTestCase()
    {
        REQUIRE_TEST_SERVER();
        QVERIFY(admin_.Connect(test::TestServer::Params()));
        serverZone_ = Scalar(admin_, "SELECT @@GLOBAL.time_zone");
        for (const char* zone : kZones) {
            if (Scalar(admin_, std::string("SELECT COUNT(*) FROM mysql.time_zone_name WHERE Name = '") + zone + "'")
                == "0")
                QVERIFY2(LoadZone(zone), zone);
            QCOMPARE(Scalar(admin_, std::string("SELECT CONVERT_TZ('2026-10-25 00:30:00', '+00:00', '") + zone + "')")
                         .empty(),
                     false);
        }
        QCOMPARE(Scalar(admin_, "SELECT CONVERT_TZ('2026-10-25 00:30:00', '+00:00', 'Europe/Berlin')"),
                 std::string("2026-10-25 02:30:00"));
    }

    void cleanup()
    {
        if (admin_.Initialised() && !serverZone_.empty())
            admin_.Query("SET GLOBAL time_zone = '" + admin_.Escape(serverZone_) + "'");
    }

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
