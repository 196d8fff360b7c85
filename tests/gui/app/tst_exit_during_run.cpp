#include "core/engine/EngineTestSupport.h"
#include "core/history/HistoryLog.h"
#include "core/store/StoreKeys.h"
#include "core/state/StartupCore.h"
#include "gui/app/VordaApp.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

#include <chrono>

namespace {

const char* const kChildSwitch = "--run-the-program";

// The program as main starts it, with a clock that begins a second before
// 11:00 UTC, so that its first quarter-hour tick comes a second after start.
int RunTheProgram(int argc, char** argv)
{
    QApplication application(argc, argv);
    const std::time_t base = test::Utc(2026, 12, 7, 10, 59) + 59;
    const auto started = std::chrono::steady_clock::now();
    return VordaApp::InitInstance([base, started] {
        return base + std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started).count();
    });
}

std::vector<std::string> Messages(const std::string& logPath)
{
    HistoryLog log(logPath);
    log.Load();
    std::vector<std::string> messages;
    for (const HistoryEntry& e : log.Entries())
        messages.push_back(e.message);
    return messages;
}

bool Contains(const std::vector<std::string>& texts, const std::string& text)
{
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

} // namespace

// The program, in a process of its own, runs a scheduled sequence of three
// backups; the first waits for a table another session has locked. A
// termination request ends the process within two seconds: the running
// backup is cancelled and the two others are not started but logged as
// skipped.
class TestExitDuringRun : public QObject {
    Q_OBJECT

private slots:
    void theProcessEndsWithinTwoSecondsAndSkipsTheRest()
    {
        REQUIRE_TEST_SERVER();
        test::ScratchDatabase db("vorda_exit");
        db.exec("CREATE TABLE t (id int NOT NULL PRIMARY KEY, v varchar(20))");
        test::FillRows(db, "t", 50);
        test::TempDataDir home;
        const std::string dataDir = home.path() + "Tesmo/Vorda Quendal System/";
        QVERIFY(EnsurePrivateDirectory(dataDir));
        {
            AppState state(dataDir);
            StartUpBeforePages(state);
            StartUpAfterPages(state);
            state.config.WriteFirstEntry(false);
            test::DefineConnection(state, "c", db.params());
            test::DefineSchedule(state, "hourly", ScheduleDef::kHourly, "Every Turn of the Hour");
            for (const char* name : {"b1", "b2", "b3"})
                test::DefineBackup(state, name, "c", "t", "hourly");
        }
        db.exec("LOCK TABLES t WRITE");

        QProcess vorda;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", QString::fromStdString(home.path()));
        env.insert("TZ", "UTC");
        vorda.setProcessEnvironment(env);
        vorda.setProcessChannelMode(QProcess::ForwardedChannels);
        vorda.start(QCoreApplication::applicationFilePath(), {kChildSwitch});
        QVERIFY(vorda.waitForStarted(10000));

        const std::string logPath = dataDir + "vorda_history.log";
        QTRY_VERIFY_WITH_TIMEOUT(Contains(Messages(logPath), "Auto Backup Executed: b1"), 20000);
        // Waiting on the locked table now.
        QTest::qWait(500);
        QCOMPARE(vorda.state(), QProcess::Running);
        QElapsedTimer ending;
        ending.start();
        vorda.terminate();
        QVERIFY(vorda.waitForFinished(10000));
        const qint64 took = ending.elapsed();
        db.exec("UNLOCK TABLES");
        qInfo("the process ended %lld ms after the termination request", took);
        QVERIFY2(took < 2000, qPrintable(QStringLiteral("the process took %1 ms to end").arg(took)));
        QCOMPARE(vorda.exitStatus(), QProcess::NormalExit);
        QCOMPARE(vorda.exitCode(), 0);

        const std::vector<std::string> log = Messages(logPath);
        const std::vector<std::string> expected {"Auto Backup Executed: b1", "Backup Cancelled: b1",
                                                 "Backup Skipped: b2 - Cancelled", "Backup Skipped: b3 - Cancelled"};
        std::vector<std::string> sequence;
        for (const std::string& m : log)
            if (m.find(": b") != std::string::npos && !m.starts_with("Auto Backup Ended"))
                sequence.push_back(m);
        QCOMPARE(sequence, expected);
        QCOMPARE(log.back(), std::string("Vorda Software Exited"));
        for (const char* name : {"b1", "b2", "b3"})
            QVERIFY(!test::FileExists(BackupFilePath(dataDir, name)));
    }
};

int main(int argc, char** argv)
{
    if (argc > 1 && std::string(argv[1]) == kChildSwitch)
        return RunTheProgram(argc, argv);
    QApplication application(argc, argv);
    TestExitDuringRun test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_exit_during_run.moc"
