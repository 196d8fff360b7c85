#include "TestSupport.h"
#include "gui/app/VordaApp.h"
#include "gui/app/Messages.h"
#include "core/store/SettingsStore.h"
#include "core/store/StoreKeys.h"
#include "core/state/StartupCore.h"

#include <QApplication>
#include <QProcess>
#include <QTest>

#include <sys/stat.h>

namespace {

std::string VordaBinary()
{
    return qEnvironmentVariable("VORDA_BINARY_DIR").toStdString() + "/src/vorda";
}

} // namespace

// Starts the real program on an empty data directory, as a user would.
class TestAppStartup : public QObject {
    Q_OBJECT

private slots:
    void firstStartSecondCopyAndExit()
    {
        test::TempDataDir home;
        test::TempDataDir runtime;
        ::chmod(runtime.path().c_str(), 0700);
        const std::string dataDir = home.path() + "Tesmo/Vorda Quendal System/";

        QProcess vorda;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", QString::fromStdString(home.path()));
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.path()));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        vorda.setProcessEnvironment(env);
        vorda.setProcessChannelMode(QProcess::ForwardedChannels);
        vorda.start(QString::fromStdString(VordaBinary()), {});
        QVERIFY2(vorda.waitForStarted(10000), "vorda did not start");

        SettingsStore store(dataDir + "vorda.db");
        QTRY_COMPARE_WITH_TIMEOUT(store.GetValue(keys::kInstallTable, keys::kFirstStartDone), std::string("TRUE"),
                                  15000);
        // Wait until start-up has finished (the recount is its last store write).
        QTest::qWait(500);

        struct stat st {};
        QCOMPARE(::stat(dataDir.c_str(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0700u);
        QCOMPARE(::stat((dataDir + "vorda.db").c_str(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0600u);
        QCOMPARE(store.GetValue(keys::kConfigurationTable, keys::kMinClose), std::string("TRUE"));
        QCOMPARE(store.GetValue(keys::kConfigurationTable, keys::kReportingState),
                 std::string("CONF_HIST_REP_STANDARD"));
        QCOMPARE(store.GetValue(keys::kCountersTable, keys::kBackupsCount), std::string("0"));
        // The first run starts with an empty log and records its start.
        const std::string started = test::ReadFile(dataDir + "vorda_history.log");
        QVERIFY2(started.starts_with("1|") && started.ends_with("|Vorda System Started\r\n")
                     && started.find("\r\n") == started.size() - 2,
                 started.c_str());

        // A second copy on the same data folder (with another runtime
        // folder) asks the running one to show its window and ends, touching
        // neither file and showing nothing.
        const std::string dbBefore = test::ReadFile(dataDir + "vorda.db");
        const std::string logBefore = test::ReadFile(dataDir + "vorda_history.log");
        test::TempDataDir otherRuntime;
        ::chmod(otherRuntime.path().c_str(), 0700);
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(home.path()));
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(otherRuntime.path()));
        MessageHook::Enable();
        MessageHook::Reset();
        QCOMPARE(VordaApp::InitInstance(), 0);
        QVERIFY(MessageHook::Requests().empty());
        QCOMPARE(test::ReadFile(dataDir + "vorda.db"), dbBefore);
        QCOMPARE(test::ReadFile(dataDir + "vorda_history.log"), logBefore);

        // A running copy that does not answer (here: a lock without a
        // window) leaves the alert to tell the user.
        test::TempDataDir stuckHome;
        const std::string stuckDir = stuckHome.path() + "Tesmo/Vorda Quendal System/";
        QVERIFY(EnsurePrivateDirectory(stuckDir));
        SingleInstanceLock stuck;
        QCOMPARE(stuck.Acquire(stuckDir), SingleInstanceLock::Result::Acquired);
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(stuckHome.path()));
        QCOMPARE(VordaApp::InitInstance(), 0);
        QCOMPARE(MessageHook::Requests().size(), size_t(1));
        QCOMPARE(MessageHook::Requests()[0].kind, MessageKind::Alert);
        QCOMPARE(MessageHook::Requests()[0].text,
                 std::string("Vorda is already running!\r\rOnly one copy may run at a time.\r\rPlease check your "
                             "System Tray or Taskbar to open the current running copy."));
        QVERIFY(test::FilesIn(stuckDir) == std::vector<std::string> {"VordaMutex"});

        // Ending the program records the exit.
        vorda.terminate();
        QVERIFY(vorda.waitForFinished(15000));
        QCOMPARE(vorda.exitStatus(), QProcess::NormalExit);
        QCOMPARE(vorda.exitCode(), 0);
        const std::string log = test::ReadFile(dataDir + "vorda_history.log");
        QVERIFY2(log.starts_with(started) && log.ends_with("|Vorda Software Exited\r\n"), log.c_str());
        QCOMPARE(::stat((dataDir + "vorda_history.log").c_str(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0600u);
    }
};

QTEST_MAIN(TestAppStartup)
#include "tst_app_startup.moc"
