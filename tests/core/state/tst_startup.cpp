#include "TestSupport.h"
#include "core/state/StartupCore.h"
#include "core/store/StoreKeys.h"

#include <QTest>

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

    void aBrokenSettingsDatabaseStillStarts()
    {
        test::TempDataDir dir;
        test::WriteFile(dir.file("vorda.db"), std::string(4096, '\x7f'));
        test::WriteFile(dir.file("vorda_history.log"), std::string("junk\0junk", 9) + "\r\n\r\n");
        AppState state(dir.path());
        StartUpBeforePages(state);
        StartUpAfterPages(state);
        ShutDown(state);
        // Every start of such a store is a first start, with the defaults in memory.
        QVERIFY(IsFirstStart(state.store));
        QCOMPARE(state.settings().restoreMode, RestoreMode::Indirect);
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
