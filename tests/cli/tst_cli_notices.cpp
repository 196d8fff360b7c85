// `vorda run-due` tells the desktop of a scheduled backup that failed: a
// notification on the session bus (the test's own, under dbus-run-session,
// with a notification service of the test's own), unless the setting is off.
// Failures are logged either way.
#include "TestSupport.h"
#include "cli/Commands.h"
#include "cli/DesktopNotice.h"
#include "core/state/AppState.h"
#include "core/store/Definitions.h"

#include <QDBusConnection>
#include <QTest>

#include <cstdio>

namespace {

// Records every notice it is sent.
class RecordingService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList notices; // "<app>|<icon>|<summary>|<body>"

public slots:
    uint Notify(const QString& app, uint, const QString& icon, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap&, int)
    {
        notices << app + "|" + icon + "|" + summary + "|" + body;
        return uint(notices.size());
    }
};

std::time_t Utc(int day, int hour, int minute)
{
    std::tm t {};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    return timegm(&t);
}

} // namespace

class TestCliNotices : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        tzset();
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "no session bus: run the test under dbus-run-session");
    }

    void failedScheduledBackupsReachTheDesktop_data()
    {
        QTest::addColumn<bool>("notify");  // "Notify me when a scheduled backup fails"
        QTest::addColumn<bool>("service"); // a notification service answers
        QTest::addColumn<int>("notices");
        QTest::newRow("notified") << true << true << 1;
        QTest::newRow("setting off") << false << true << 0;
        QTest::newRow("nobody answers") << true << false << 0;
    }

    void failedScheduledBackupsReachTheDesktop()
    {
        QFETCH(bool, notify);
        QFETCH(bool, service);
        QFETCH(int, notices);
        test::TempDataDir dir;
        {
            AppState state(dir.path());
            state.config.LoadConfiguration();
            state.config.WriteNotifyFailure(notify);
            ConnectionDef c;
            c.name = "closed";
            c.host = "127.0.0.1";
            c.port = "1"; // nothing listens there
            c.user = "nobody";
            c.savePassword = true;
            c.Save(state.store);
            state.nameLists.Add(NameList::Connections, "closed");
            ScheduleDef s;
            s.name = "nightly";
            s.category = ScheduleDef::kDaily;
            s.entries = {"Time: 02:00 AM"};
            s.Save(state.store);
            state.nameLists.Add(NameList::Schedules, "nightly");
            BackupDef b;
            b.name = "shop";
            b.connection = "closed";
            b.tables = {"t"};
            b.schedules = {"nightly"};
            b.Save(state.store);
            BackupDef::StoreNeverProcessed(state.store, "shop");
            state.nameLists.Add(NameList::Backups, "shop");
        }
        RecordingService recorder;
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("service"));
        if (service) {
            QVERIFY(bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &recorder,
                                       QDBusConnection::ExportAllSlots));
            QVERIFY(bus.registerService(QStringLiteral("org.freedesktop.Notifications")));
        }

        char* errText = nullptr;
        size_t errSize = 0;
        cli::Io io;
        io.out = std::tmpfile();
        io.err = open_memstream(&errText, &errSize);
        io.dataDir = dir.path();
        io.clock = [] { return Utc(10, 2, 1); };
        io.notify = cli::NotifyDesktop;
        const int status = cli::Run({"run-due"}, io);
        std::fclose(io.out);
        std::fclose(io.err);
        const std::string err(errText, errSize);
        std::free(errText);
        if (service) {
            bus.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
            bus.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("service"));

        QCOMPARE(status, 1);
        QVERIFY2(err.starts_with("Backup failed: shop - Host Connect Failure"), err.c_str());
        QCOMPARE(recorder.notices.size(), notices);
        if (notices > 0)
            QVERIFY2(recorder.notices[0].startsWith(QStringLiteral("Vorda|vorda|Backup failed: shop|Host Connect Failure")),
                     qPrintable(recorder.notices[0]));
        AppState after(dir.path());
        after.log.Load();
        bool logged = false;
        for (const HistoryEntry& entry : after.log.Entries())
            logged = logged || entry.message == "Host Connect Failure: shop - Backup Failed";
        QVERIFY(logged);
    }
};

QTEST_GUILESS_MAIN(TestCliNotices)
#include "tst_cli_notices.moc"
