// `vorda <command>` end to end: the installed program's binary run as a
// process against the test server (exit statuses, messages, a backup locked
// by another process, a question nobody answered, the JSON list, the SQL
// script loaded by the mariadb client), and run-due in this process with a
// clock the test sets.
#include "HardData.h"
#include "TestSupport.h"
#include "cli/Commands.h"
#include "core/dump/DumpFormat.h"
#include "core/dump/SqlShape.h"
#include "core/engine/Scheduler.h"
#include "core/state/AppState.h"
#include "core/state/BackupLock.h"
#include "core/store/Definitions.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <cstdio>
#include <memory>

namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

QString Program()
{
    return qEnvironmentVariable("VORDA_BINARY_DIR") + QStringLiteral("/src/vorda");
}

// Runs the program with `args`, standard input closed (no terminal, nobody
// to answer), in a private runtime folder.
Result RunVorda(const QStringList& args)
{
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(Program(), args);
    if (!process.waitForFinished(120000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput().toStdString(), process.readAllStandardError().toStdString()};
}

// Runs `sql` through the mariadb client into `database` of the test server;
// the password goes in the environment, never on the command line.
bool LoadWithClient(const std::string& database, const std::string& sql, std::string& errors)
{
    const ConnectionParams p = test::TestServer::Params();
    QProcess client;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MYSQL_PWD"), QString::fromStdString(p.password));
    client.setProcessEnvironment(env);
    client.start(QStringLiteral("mariadb"),
                 {QStringLiteral("--no-defaults"), QStringLiteral("-h") + QString::fromStdString(p.host),
                  QStringLiteral("-P") + QString::number(p.port), QStringLiteral("-u") + QString::fromStdString(p.user),
                  QString::fromStdString(database)});
    client.write(sql.data(), static_cast<qint64>(sql.size()));
    client.closeWriteChannel();
    client.waitForFinished(120000);
    errors = client.readAllStandardError().toStdString();
    return client.exitStatus() == QProcess::NormalExit && client.exitCode() == 0;
}

// Output of an in-process command, in memory.
struct Captured {
    char* outText = nullptr;
    size_t outSize = 0;
    char* errText = nullptr;
    size_t errSize = 0;
    cli::Io io;

    Captured()
    {
        io.out = open_memstream(&outText, &outSize);
        io.err = open_memstream(&errText, &errSize);
    }
    ~Captured()
    {
        std::fclose(io.out);
        std::fclose(io.err);
        std::free(outText);
        std::free(errText);
    }
    std::string Out()
    {
        std::fflush(io.out);
        return std::string(outText, outSize);
    }
    std::string Err()
    {
        std::fflush(io.err);
        return std::string(errText, errSize);
    }
};

std::time_t Utc(int day, int hour, int minute, int second = 0)
{
    std::tm t {};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return timegm(&t);
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TempDataDir> dir_;
    std::unique_ptr<test::ScratchDatabase> db_;
    std::vector<std::pair<std::string, std::string>> tables_;

    QStringList WithDir(QStringList args) const
    {
        return args << QStringLiteral("--data-dir") << QString::fromStdString(dir_->path());
    }

private slots:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        tzset();
        REQUIRE_TEST_SERVER();
        QVERIFY(QFileInfo(Program()).isExecutable());
        dir_ = std::make_unique<test::TempDataDir>();
        db_ = std::make_unique<test::ScratchDatabase>("vorda_cli");
        tables_ = test::CreateHardTables(*db_);
        // A reference between tables of the backup, for the prefixed script.
        db_->exec("CREATE TABLE child (id int NOT NULL PRIMARY KEY, hard_id int NULL, "
                  "CONSTRAINT child_hard FOREIGN KEY (hard_id) REFERENCES hard (id))");
        db_->exec("INSERT INTO child VALUES (1, 3), (2, NULL)");
        tables_.emplace_back("child", "id");

        AppState state(dir_->path());
        ConnectionDef c;
        c.name = "shop";
        const ConnectionParams p = db_->params();
        c.host = p.host;
        c.port = std::to_string(p.port);
        c.database = p.database;
        c.user = p.user;
        c.password = p.password;
        c.savePassword = true;
        c.Save(state.store);
        state.nameLists.Add(NameList::Connections, "shop");
        c.name = "secret";
        c.savePassword = false;
        c.Save(state.store);
        state.nameLists.Add(NameList::Connections, "secret");
        ScheduleDef s;
        s.name = "nightly";
        s.category = ScheduleDef::kDaily;
        s.entries = {"Time: 02:00 AM"};
        s.Save(state.store);
        state.nameLists.Add(NameList::Schedules, "nightly");
        for (const auto& [name, connection, schedules] :
             std::vector<std::tuple<std::string, std::string, std::vector<std::string>>> {
                 {"shop", "shop", {"nightly"}}, {"locked", "secret", {}}}) {
            BackupDef b;
            b.name = name;
            b.connection = connection;
            for (const auto& table : tables_)
                b.tables.push_back(table.first);
            b.schedules = schedules;
            b.Save(state.store);
            BackupDef::StoreNeverProcessed(state.store, name);
            state.nameLists.Add(NameList::Backups, name);
        }
        // A damaged and an unfinished file.
        test::WriteFile(dir_->file("damaged.tbk"), "-- not a backup file\r\n");
    }

    // Each command's exit status and the lines it prints, in order: the
    // backup first, as the later commands work on its file.
    void commandsEndToEnd_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("lock"); // "" or the use the test holds on backup shop
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const auto row = [](const char* name, QStringList args, const char* lock, int status, const char* out,
                            const char* err) {
            QTest::newRow(name) << args << QString::fromLatin1(lock) << status << QString::fromUtf8(out)
                                << QString::fromUtf8(err);
        };
        row("backup", {"backup", "shop"}, "", 0, "hard: 5 rows", "");
        row("backup says done", {"backup", "shop"}, "", 0, "Backup Complete: shop - 14 rows", "");
        row("backup of nothing", {"backup"}, "", 2, "", "vorda backup: name at least one backup");
        row("backup unknown", {"backup", "nosuch"}, "", 1, "", "There is no backup named \"nosuch\".");
        row("password nobody can give", {"backup", "locked"}, "", 1, "",
            "The password of connection secret was not saved, and no terminal is there to ask for it");
        row("backup while another process backs it up", {"backup", "shop"}, "backup", 1, "",
            "Another Backup is Currently Running. Please wait.\n");
        row("restore while another process backs it up", {"restore", "shop", "--mode", "indirect", "--yes"}, "backup",
            1, "", "A Backup is Currently Running. Please wait until it has finished before running a restore.\n");
        row("restore question refused", {"restore", "shop", "--mode", "indirect"}, "", 1, "",
            "Restore: shop Run this Restore? No (--yes answers Yes)\n");
        row("restore without mode", {"restore", "shop", "--yes"}, "", 2, "", "--mode is indirect or absolute");
        row("restore", {"restore", "shop", "--mode", "indirect", "--yes"}, "", 0, "Restore Complete: shop - 14 rows",
            "");
        row("restore of a missing copy", {"restore", "shop", "--mode", "indirect", "--yes", "--copy", "20200101-000000"},
            "", 1, "", "Backup shop has no older copy 20200101-000000.");
        row("check", {"check", "shop"}, "", 0, ": complete - backup shop of ", "");
        row("check of a backup that never ran", {"check", "locked"}, "", 1, "",
            "There is no backup file of backup locked (backup_locked.tbk).");
        row("check damaged", {"check", "DIR/damaged.tbk"}, "", 1, "damaged.tbk: damaged - line 1: ", "");
        row("check nothing", {"check", "DIR/none.tbk"}, "", 1, "", "There is no backup and no file named");
        row("sql damaged", {"sql", "DIR/damaged.tbk"}, "", 1, "", "The backup file is incomplete or damaged.");
        row("sql bad prefix", {"sql", "shop", "--prefix", "a b"}, "", 2, "", "--prefix takes letters");
        row("log tail", {"log", "--tail", "1"}, "", 0, "Restore Successful: shop", "");
        row("log tail wrong", {"log", "--tail", "x"}, "", 2, "", "--tail takes a number");
        row("help", {"restore", "--help"}, "", 0, "Usage: vorda restore NAME --mode", "");
        row("unknown option", {"list", "--yaml"}, "", 2, "", "vorda list: unknown option --yaml");
        row("schedule wrong", {"schedule", "sometimes"}, "", 2, "", "say enable, disable or status");
        // Nothing is due at the real time: the schedule is 02:00 AM, and a
        // first evaluation looks back one quarter hour.
        row("run-due", {"run-due"}, "", 0, "", "");
        row("data dir first", {"--data-dir", "DIR", "log", "--tail", "0"}, "", 0, "", "");
        row("damaged settings file", {"--data-dir", "JUNK", "backup", "shop"}, "", 1, "",
            "vorda.db is damaged: file is not a database.");
    }

    void commandsEndToEnd()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, lock);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QVERIFY(dir_);
        const QString dir = QString::fromStdString(dir_->path());
        args.replaceInStrings(QStringLiteral("DIR/"), dir);
        args.replaceInStrings(QRegularExpression(QStringLiteral("^DIR$")), dir);
        // A data folder whose settings file is not a database.
        test::TempDataDir junk;
        test::WriteFile(junk.file("vorda.db"), std::string(4096, 'j'));
        args.replaceInStrings(QRegularExpression(QStringLiteral("^JUNK$")), QString::fromStdString(junk.path()));
        BackupLock held;
        if (!lock.isEmpty())
            QCOMPARE(held.Acquire(dir_->path(), "shop", BackupLock::Use::Backup), BackupLock::Result::Acquired);
        const Result r = RunVorda(args.contains(QStringLiteral("--data-dir")) ? args : WithDir(args));
        QVERIFY2(r.status == status, (r.out + r.err).c_str());
        QVERIFY2(r.out.find(out.toStdString()) != std::string::npos, r.out.c_str());
        QVERIFY2(r.err.find(err.toStdString()) != std::string::npos, r.err.c_str());
        // Errors come one per line.
        if (!r.err.empty() && status == 1)
            QVERIFY2(r.err.find('\r') == std::string::npos, r.err.c_str());
    }

    // The JSON list reads back as what the store and the folder hold.
    void listJsonParses()
    {
        QVERIFY(dir_);
        const Result r = RunVorda(WithDir({"list", "--json"}));
        QCOMPARE(r.status, 0);
        QJsonParseError error;
        const QJsonObject all = QJsonDocument::fromJson(QByteArray::fromStdString(r.out), &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        const QJsonArray connections = all[QStringLiteral("connections")].toArray();
        QCOMPARE(connections.size(), 2);
        QCOMPARE(connections[0][QStringLiteral("database")].toString().toStdString(), db_->name());
        QCOMPARE(connections[1][QStringLiteral("passwordSaved")].toBool(), false);
        const QJsonArray backups = all[QStringLiteral("backups")].toArray();
        QCOMPARE(backups.size(), 2);
        const QJsonObject shop = backups[0].toObject();
        QCOMPARE(shop[QStringLiteral("tables")].toArray().size(), static_cast<int>(tables_.size()));
        QCOMPARE(shop[QStringLiteral("schedules")].toArray(), QJsonArray {QStringLiteral("nightly")});
        QVERIFY(shop[QStringLiteral("lastRun")].toString().contains(QStringLiteral(", 20")));
        const std::string file = shop[QStringLiteral("file")].toString().toStdString();
        QCOMPARE(static_cast<size_t>(shop[QStringLiteral("fileBytes")].toDouble()), test::ReadFile(file).size());
        QCOMPARE(shop[QStringLiteral("textBytes")].toDouble(), shop[QStringLiteral("fileBytes")].toDouble());
        QCOMPARE(shop[QStringLiteral("compressed")].toBool(), false);
        QCOMPARE(shop[QStringLiteral("olderCopies")].toArray().size(), 1); // the first run's file
        QVERIFY(backups[1][QStringLiteral("lastRun")].isNull());
        QVERIFY(backups[1][QStringLiteral("fileBytes")].isNull());
        QCOMPARE(all[QStringLiteral("schedules")][0][QStringLiteral("entries")].toArray(),
                 QJsonArray {QStringLiteral("Time: 02:00 AM")});
    }

    // On a terminal: a password that was not saved is asked for without
    // echo, and each table's line is redrawn in place.
    void onATerminal()
    {
        QVERIFY(dir_);
        const std::string password = test::TestServer::Params().password;
        QProcess terminal;
        terminal.setProcessChannelMode(QProcess::MergedChannels);
        terminal.start(QStringLiteral("script"),
                       {QStringLiteral("-qec"),
                        QStringLiteral("'%1' backup locked --data-dir '%2'")
                            .arg(Program(), QString::fromStdString(dir_->path())),
                        QStringLiteral("/dev/null")});
        QByteArray seen;
        while (!seen.contains("Password of connection secret: ") && terminal.waitForReadyRead(10000))
            seen += terminal.readAll();
        QVERIFY2(seen.contains("Password of connection secret: "), seen.constData());
        terminal.write(QByteArray::fromStdString(password + "\n"));
        // It may have ended already when the wait begins (which then says false).
        terminal.waitForFinished(120000);
        QCOMPARE(terminal.state(), QProcess::NotRunning);
        seen += terminal.readAll();
        QCOMPARE(terminal.exitCode(), 0);
        QVERIFY2(!password.empty() && !seen.contains(QByteArray::fromStdString(password)), seen.constData());
        QVERIFY2(seen.contains("\r\033[Khard: 5 rows, "), seen.constData());
        QVERIFY2(seen.contains("Backup Complete: locked - 14 rows"), seen.constData());
    }

    // The script of a backup loads with the mariadb client as it is, and
    // gives tables with the original's rows: into another database under
    // the same names, or beside the originals under a prefix.
    // A restore that sends a large table's rows on its second connection
    // still prints one line per table, each with all its rows.
    void oneLinePerTableOnTwoConnections()
    {
        for (const char* table : {"big1", "big2"}) {
            db_->exec(std::string("CREATE TABLE ") + table + " (id int PRIMARY KEY, v varchar(40))");
            db_->exec(std::string("INSERT INTO ") + table + " SELECT seq, MD5(seq) FROM seq_1_to_12000");
        }
        {
            AppState state(dir_->path());
            BackupDef b;
            b.name = "big";
            b.connection = "shop";
            b.tables = {"big1", "big2"};
            b.Save(state.store);
            BackupDef::StoreNeverProcessed(state.store, "big");
            state.nameLists.Add(NameList::Backups, "big");
        }
        QCOMPARE(RunVorda(WithDir({"backup", "big"})).status, 0);
        const Result r = RunVorda(WithDir({"restore", "big", "--mode", "indirect", "--yes"}));
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.find("Restore Complete: big - 24000 rows") != std::string::npos, r.out.c_str());
        for (const std::string table : {"big1", "big2"}) {
            const QStringList lines = QString::fromStdString(r.out).split(QLatin1Char('\n'))
                                          .filter(QRegularExpression("^" + QString::fromStdString(table) + ": "));
            QCOMPARE(lines.size(), 1);
            QVERIFY2(lines[0].startsWith(QString::fromStdString(table + ": 12000 rows, ")), r.out.c_str());
        }
        QCOMPARE(db_->scalar("SELECT COUNT(*) FROM VORDA_big1"), std::string("12000"));
    }

    void sqlScriptLoadsWithTheClient_data()
    {
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<bool>("compressed"); // the backup is run again, writing a compressed file
        QTest::newRow("same names, another database") << QString() << false;
        QTest::newRow("beside the originals") << QStringLiteral("P_") << false;
    }

    void sqlScriptLoadsWithTheClient()
    {
        QFETCH(QString, prefix);
        QFETCH(bool, compressed);
        QVERIFY(dir_);
        if (compressed) {
            AppState(dir_->path()).config.WriteCompress(true);
            QCOMPARE(RunVorda(WithDir({"backup", "shop"})).status, 0);
            QVERIFY(BackupFilePath(dir_->path(), "shop").ends_with(".tbk.zst"));
        }
        QStringList args {"sql", "shop"};
        if (!prefix.isEmpty())
            args << QStringLiteral("--prefix") << prefix;
        const Result r = RunVorda(WithDir(args));
        QVERIFY2(r.status == 0, r.err.c_str());
        QVERIFY(r.out.find("SET NAMES utf8mb4;\n") != std::string::npos);
        QVERIFY(r.out.find("SET TIME_ZONE = '+00:00';\n") != std::string::npos);
        QVERIFY(r.out.find("SET FOREIGN_KEY_CHECKS = 0;\n") != std::string::npos);

        test::ScratchDatabase copy("vorda_cli_sql");
        test::ScratchDatabase& target = prefix.isEmpty() ? copy : *db_;
        std::string errors;
        // Twice: the script replaces what an earlier load left.
        for (int load = 0; load < 2; ++load)
            QVERIFY2(LoadWithClient(target.name(), r.out, errors), errors.c_str());
        const std::string p = prefix.toStdString();
        for (const auto& [table, order] : tables_) {
            const std::string original = "`" + db_->name() + "`." + dump::QuoteName(table);
            const std::string loaded = "`" + target.name() + "`." + dump::QuoteName(p + table);
            QCOMPARE(db_->scalar("SELECT COUNT(*) FROM " + loaded), db_->scalar("SELECT COUNT(*) FROM " + original));
            // CHECKSUM TABLE's second column, for both tables.
            auto checksum = [this](const std::string& name) {
                MysqlConnection& c = db_->sql();
                if (!c.Query("CHECKSUM TABLE " + name))
                    return std::string("error");
                MysqlResult result = c.StoreResult();
                MYSQL_ROW row = result.FetchRow();
                return row && row[1] ? std::string(row[1]) : std::string("null");
            };
            QCOMPARE(checksum(loaded), checksum(original));
        }
        // The prefixed copy's foreign key points at the prefixed parent.
        if (!prefix.isEmpty())
            QVERIFY(db_->showCreate("P_child").find("REFERENCES `P_hard`") != std::string::npos);
        else
            QCOMPARE(copy.showCreate("child"), db_->showCreate("child"));
    }

    // run-due at the times the test sets: a slot runs once, at its first
    // evaluation, by whichever of the window and the timer gets there
    // first; a slot missed while nothing evaluated runs once, logged as
    // missed; a backup another process holds is skipped and logged.
    void runDueWithTheTestsClock_data()
    {
        QTest::addColumn<qint64>("now");
        QTest::addColumn<bool>("windowFirst"); // the window's scheduler ticks a minute before
        QTest::addColumn<bool>("locked");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("log"); // the newest standard entry afterwards
        QTest::newRow("before the slot") << qint64(Utc(10, 1, 50)) << false << false << 0 << "" << "";
        QTest::newRow("the slot") << qint64(Utc(10, 2, 0, 20)) << false << false << 0 << "Backup Complete: shop"
                                  << "Auto Backup Executed: shop";
        QTest::newRow("the next quarter") << qint64(Utc(10, 2, 15)) << false << false << 0 << "" << "";
        QTest::newRow("a day off, then late")
            << qint64(Utc(11, 9, 40)) << false << false << 0 << "Backup Complete: shop"
            << "Auto Backup Executed: shop";
        QTest::newRow("the window ran it") << qint64(Utc(12, 2, 1)) << true << false << 0 << "" << "";
        QTest::newRow("another process holds it")
            << qint64(Utc(13, 2, 0, 30)) << false << true << 1 << ""
            << "Backup Skipped: shop - Restore Running in Another Process";
    }

    void runDueWithTheTestsClock()
    {
        QFETCH(qint64, now);
        QFETCH(bool, windowFirst);
        QFETCH(bool, locked);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, log);
        QVERIFY(dir_);
        const std::time_t at = static_cast<std::time_t>(now);
        size_t logBefore = 0;
        {
            AppState before(dir_->path());
            before.log.Load();
            logBefore = before.log.Count();
        }
        if (windowFirst) {
            AppState window(dir_->path(), [at] { return at - 60; });
            window.config.LoadConfiguration();
            SilentRunUi ui;
            Scheduler scheduler(window, ui);
            scheduler.Tick();
            QCOMPARE(scheduler.LastOutcomes().size(), size_t(1));
        }
        BackupLock held;
        if (locked)
            QCOMPARE(held.Acquire(dir_->path(), "shop", BackupLock::Use::Restore), BackupLock::Result::Acquired);
        Captured c;
        c.io.dataDir = dir_->path();
        c.io.clock = [at] { return at; };
        QCOMPARE(cli::Run({"run-due"}, c.io), status);
        const std::string printed = c.Out();
        QVERIFY2(out.isEmpty() ? printed.empty() : printed.find(out.toStdString()) != std::string::npos,
                 printed.c_str());
        if (locked)
            QVERIFY2(c.Err().find("Backup failed: shop - Skipped - Restore Running in Another Process\n")
                         != std::string::npos, c.Err().c_str());

        AppState after(dir_->path());
        after.log.Load();
        std::vector<std::string> added;
        for (size_t i = logBefore; i < after.log.Count(); ++i) {
            if (after.log.Entries()[i].verbose == 0)
                added.push_back(after.log.Entries()[i].message);
        }
        if (windowFirst) // the window's own run, and nothing of run-due's
            QCOMPARE(added.size(), size_t(1));
        else if (log.isEmpty())
            QVERIFY2(added.empty(), (added.empty() ? std::string() : added.front()).c_str());
        else
            QCOMPARE(added.back(), log.toStdString());
        // A slot that was missed is logged as such before its run.
        if (QByteArray(QTest::currentDataTag()) == "a day off, then late")
            QCOMPARE(added.front(), std::string("Missed Backup Run: shop - due Fri, Dec 11, 2026 - 02:00 AM"));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
