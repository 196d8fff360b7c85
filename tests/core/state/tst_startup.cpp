#include "TestSupport.h"
#include "core/state/StartupCore.h"
#include "core/store/StoreKeys.h"

#include <QTest>

#include <chrono>
#include <sqlite3.h>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::time_t Utc(int hour, int minute, int second)
{
    std::tm t {};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 8;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return timegm(&t);
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        tzset();
    }

    void scheduleTimerFiresAtTheNextQuarterHour()
    {
        QCOMPARE(QuarterHourDelayMs(Utc(10, 7, 30)), 450000);
        QCOMPARE(QuarterHourDelayMs(Utc(10, 15, 0)), 900000);
        QCOMPARE(QuarterHourDelayMs(Utc(10, 59, 59)), 1000);
        QCOMPARE(QuarterHourDelayMs(Utc(23, 44, 0)), 60000);
        QCOMPARE(QuarterHourDelayMs(Utc(0, 0, 1)), 899000);
    }

    void firstStartWritesDefaultsTotalsAndMarker()
    {
        test::TempDataDir dir;
        test::WriteFile(dir.file("vorda_history.log"), "0|ts|left over from before\r\n");
        {
            AppState state(dir.path());
            QVERIFY(IsFirstStart(state.store));
            StartUpBeforePages(state);
            StartUpAfterPages(state);
            QVERIFY(!IsFirstStart(state.store));
            QVERIFY(state.messagesEnabled);
            QCOMPARE(state.store.GetValue(keys::kConfigurationTable, keys::kRestoreMode),
                     std::string("CONF_RESTORE_INDIRECT"));
            QCOMPARE(state.store.GetValue(keys::kCountersTable, keys::kConnectionsCount), std::string("0"));
            QCOMPARE(state.store.GetValue(keys::kCountersTable, keys::kBackupsCount), std::string("0"));
            QCOMPARE(state.store.GetValue(keys::kCountersTable, keys::kSchedulesCount), std::string("0"));
            // The first run starts with an empty log, whatever the setting says.
            QCOMPARE(test::ReadFile(dir.file("vorda_history.log")), std::string());
            QCOMPARE(state.store.GetValue(keys::kConfigurationTable, keys::kLogAtStart), std::string("FALSE"));
            ShutDown(state);
        }
        QVERIFY(test::ReadFile(dir.file("vorda_history.log")).ends_with("|Vorda Software Exited\r\n"));

        // A later start keeps the settings the user changed and the log.
        {
            AppState state(dir.path());
            state.store.SetValue(keys::kConfigurationTable, keys::kRestoreMode, keys::kRestoreAbsolute);
            state.store.SetValue(keys::kCustomerData, keys::kConnectNames, "a|b");
            StartUpBeforePages(state);
            QCOMPARE(state.settings().restoreMode, RestoreMode::Absolute);
            QVERIFY(!state.settings().logAtStart);
            QVERIFY(test::ReadFile(dir.file("vorda_history.log")).ends_with("|Vorda Software Exited\r\n"));
            StartUpAfterPages(state);
            QCOMPARE(state.store.GetValue(keys::kCountersTable, keys::kConnectionsCount), std::string("2"));
            QCOMPARE(state.totals.connections, 0); // takes effect at the next start
        }
    }

    void clearLogAtStartEmptiesThePreviousRun()
    {
        test::TempDataDir dir;
        {
            AppState state(dir.path());
            StartUpBeforePages(state);
            state.config.WriteLogAtStart(true);
            state.log.AppendEntry(false, "previous run");
        }
        AppState state(dir.path());
        StartUpBeforePages(state);
        QCOMPARE(test::ReadFile(dir.file("vorda_history.log")), std::string());
    }

    void startMinimisedIsRemembered()
    {
        test::TempDataDir dir;
        {
            AppState state(dir.path());
            StartUpBeforePages(state);
            state.config.WriteStartMin(true);
        }
        AppState state(dir.path());
        StartUpBeforePages(state);
        QVERIFY(state.startedMinimised);
    }

    // A settings file that cannot be read is no first start: nothing is
    // reset, the history log is kept, and the damaged file stays for the
    // user (kept in place, or moved aside for a fresh one).
    void anUnreadableStoreIsNoFirstStart_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<int>("start");
        QTest::addColumn<bool>("firstStartAfter");
        QTest::addColumn<int>("restoreMode");
        QTest::newRow("damaged, kept") << "junk" << int(StoreStart::Unreadable) << true << int(RestoreMode::Absolute);
        QTest::newRow("damaged, moved aside") << "moved" << int(StoreStart::Fresh) << false << int(RestoreMode::Indirect);
        QTest::newRow("locked") << "locked" << int(StoreStart::Unreadable) << true << int(RestoreMode::Absolute);
    }

    void anUnreadableStoreIsNoFirstStart()
    {
        QFETCH(QString, situation);
        QFETCH(int, start);
        QFETCH(bool, firstStartAfter);
        QFETCH(int, restoreMode);
        test::TempDataDir dir;
        const std::string db = dir.file("vorda.db");
        const std::string junk = std::string(4096, '\x7f');
        const std::string history = "0|ts|one\r\n0|ts|two\r\n1|ts|three\r\n";
        test::WriteFile(dir.file("vorda_history.log"), history);
        sqlite3* holder = nullptr;
        if (situation == "locked") {
            // A store of an earlier start, held by another program.
            QVERIFY(SettingsStore(db).SetValue(keys::kConfigurationTable, keys::kRestoreMode, keys::kRestoreIndirect));
            QCOMPARE(sqlite3_open(db.c_str(), &holder), SQLITE_OK);
            QCOMPARE(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        } else {
            test::WriteFile(db, junk);
        }
        // Private already: no tightening entry joins the log.
        QCOMPARE(::chmod(db.c_str(), 0600), 0);
        QCOMPARE(::chmod(dir.file("vorda_history.log").c_str(), 0600), 0);
        AppState state(dir.path(), [] { return std::time_t(1796609679); });
        QCOMPARE(state.store.Check(200).health, situation == "locked" ? StoreHealth::Locked : StoreHealth::Damaged);
        std::string aside;
        if (situation == "moved") {
            aside = DamagedStorePath(db, state.clock());
            QCOMPARE(aside, db + ".damaged-20261207-021439");
            std::string error;
            QVERIFY(MoveStoreAside(db, aside, error));
            // A second file moved in the same second does not replace it.
            QCOMPARE(DamagedStorePath(db, state.clock()), db + ".damaged-20261207-021439-2");
        }
        state.store.SetBusyTimeout(0);
        const auto began = std::chrono::steady_clock::now();
        StartUpBeforePages(state, static_cast<StoreStart>(start));
        StartUpAfterPages(state);
        QVERIFY(std::chrono::steady_clock::now() - began < std::chrono::seconds(2));
        if (holder)
            sqlite3_close(holder);

        QCOMPARE(test::ReadFile(dir.file("vorda_history.log")), history);
        QCOMPARE(int(state.settings().restoreMode), restoreMode);
        QVERIFY(!state.settings().logAtStart);
        QCOMPARE(IsFirstStart(state.store), firstStartAfter);
        if (situation == "junk")
            QCOMPARE(test::ReadFile(db), junk);
        if (situation == "moved")
            QCOMPARE(test::ReadFile(aside), junk);
    }

    // Loose modes of the data folder, the settings file and the log are
    // tightened once, each with a log entry.
    void looseModesAreTightened()
    {
        test::TempDataDir dir;
        const AppPaths paths = AppPaths::ForDataDir(dir.path());
        test::WriteFile(paths.dbPath, "");
        test::WriteFile(paths.logPath, "");
        QCOMPARE(::chmod(dir.path().c_str(), 0755), 0);
        QCOMPARE(::chmod(paths.dbPath.c_str(), 0644), 0);
        QCOMPARE(::chmod(paths.logPath.c_str(), 0640), 0);
        std::string folder = dir.path();
        folder.pop_back();
        QCOMPARE(TightenDataModes(paths),
                 (std::vector<std::string> {"File Permissions Tightened: " + folder + " from 0755 to 0700",
                                            "File Permissions Tightened: " + paths.dbPath + " from 0644 to 0600",
                                            "File Permissions Tightened: " + paths.logPath + " from 0640 to 0600"}));
        for (const std::string& path : {folder, paths.dbPath, paths.logPath}) {
            struct stat st {};
            QCOMPARE(::stat(path.c_str(), &st), 0);
            QCOMPARE(st.st_mode & 077, 0u);
        }
        QCOMPARE(TightenDataModes(paths), std::vector<std::string>());

        // At start the change is in the log, as a verbose entry.
        QCOMPARE(::chmod(paths.dbPath.c_str(), 0666), 0);
        test::WriteFile(paths.logPath, "0|ts|kept\r\n");
        AppState state(dir.path());
        StartUpBeforePages(state, StoreStart::Unreadable);
        QCOMPARE(state.log.Entries().back().verbose, static_cast<unsigned char>(1));
        QCOMPARE(state.log.Entries().back().message, "File Permissions Tightened: " + paths.dbPath + " from 0666 to 0600");
    }

    void anUnusableDataDirectoryStillStarts()
    {
        test::TempDataDir dir;
        test::WriteFile(dir.file("plainfile"), "x");
        const std::string data = dir.file("plainfile") + "/Tesmo/Vorda Quendal System/";
        QVERIFY(!EnsurePrivateDirectory(data));
        AppState state(data);
        StartUpBeforePages(state);
        state.log.AppendEntry(true, "Vorda System Started");
        StartUpAfterPages(state);
        ShutDown(state);
        // Nothing can be stored: every start is a first start with the
        // defaults in memory, and the log lives in memory only.
        QVERIFY(IsFirstStart(state.store));
        QCOMPARE(state.settings().restoreMode, RestoreMode::Indirect);
        QCOMPARE(state.log.Count(), size_t(2));
    }

    void dataDirectoryIsCreatedPrivate()
    {
        test::TempDataDir dir;
        const std::string data = dir.path() + "share/Tesmo/Vorda Quendal System/";
        QVERIFY(EnsurePrivateDirectory(data));
        struct stat st {};
        QCOMPARE(::stat(data.c_str(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0700u);
        QVERIFY(EnsurePrivateDirectory(data)); // already there
        // A data "directory" that is a file cannot be used, and says so.
        test::WriteFile(dir.file("plainfile"), "x");
        QVERIFY(!EnsurePrivateDirectory(dir.file("plainfile") + "/sub/"));

        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir.path() + "xdg"));
        QCOMPARE(ResolveDataDirectory(), dir.path() + "xdg/Tesmo/Vorda Quendal System/");
    }

    void singleInstanceLockDiesWithItsProcess()
    {
        test::TempDataDir dir;
        {
            SingleInstanceLock first;
            QCOMPARE(first.Acquire(dir.path()), SingleInstanceLock::Result::Acquired);
            SingleInstanceLock second;
            QCOMPARE(second.Acquire(dir.path()), SingleInstanceLock::Result::AlreadyRunning);
        }
        SingleInstanceLock again;
        QCOMPARE(again.Acquire(dir.path()), SingleInstanceLock::Result::Acquired);
    }

    void lockOfAKilledProcessDoesNotBlock()
    {
        test::TempDataDir dir;
        int ready[2];
        QCOMPARE(::pipe(ready), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            SingleInstanceLock lock;
            const char ok = lock.Acquire(dir.path()) == SingleInstanceLock::Result::Acquired ? 'y' : 'n';
            [[maybe_unused]] ssize_t n = ::write(ready[1], &ok, 1);
            ::pause();
            ::_exit(0);
        }
        char ok = 0;
        QCOMPARE(::read(ready[0], &ok, 1), ssize_t(1));
        QCOMPARE(ok, 'y');
        SingleInstanceLock blocked;
        QCOMPARE(blocked.Acquire(dir.path()), SingleInstanceLock::Result::AlreadyRunning);
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        SingleInstanceLock after;
        QCOMPARE(after.Acquire(dir.path()), SingleInstanceLock::Result::Acquired);
        ::close(ready[0]);
        ::close(ready[1]);
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
