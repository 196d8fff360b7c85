#include "GuiTestSupport.h"
#include "core/engine/EngineTestSupport.h"
#include "gui/app/Art.h"
#include "gui/app/DesktopNotifier.h"
#include "core/engine/Scheduler.h"
#include "core/state/BackupLock.h"
#include "core/store/Definitions.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QSystemTrayIcon>
#include <QTest>

namespace {

// A notification service of the test's own, on the test's session bus
// (dbus-run-session): it records every notice it is sent.
class RecordingService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Notice {
        QString app;
        QString icon;
        QString summary;
        QString body;
        QVariantMap hints;
    };
    QList<Notice> notices;

public slots:
    uint Notify(const QString& app, uint, const QString& icon, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap& hints, int)
    {
        notices.append({app, icon, summary, body, hints});
        return uint(notices.size());
    }
};

// Puts the service on the bus through a connection of its own.
class ServiceOnTheBus {
public:
    explicit ServiceOnTheBus(RecordingService& service)
        : bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("notification-service")))
    {
        ok_ = bus_.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
                                  QDBusConnection::ExportAllSlots)
            && bus_.registerService(QStringLiteral("org.freedesktop.Notifications"));
    }
    ~ServiceOnTheBus()
    {
        bus_.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
        bus_.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
        QDBusConnection::disconnectFromBus(QStringLiteral("notification-service"));
    }
    bool Ok() const { return ok_; }

private:
    QDBusConnection bus_;
    bool ok_ = false;
};

QImage Look(const QIcon& icon)
{
    return icon.pixmap(32).toImage();
}

} // namespace

// Failed and skipped scheduled backups reach the desktop: a notification on
// the session bus, or the tray icon's message where no service answers, and
// the tray icon's warning look until the window is opened.
class TestNotifications : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        MainWindow::TrayAvailable() = [] { return true; };
        qputenv("TZ", "UTC");
        tzset();
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "no session bus: run the test under dbus-run-session");
    }

    // Where no notification service answers, the tray icon shows the
    // notice when there is one; otherwise nobody can.
    void withoutAServiceTheTrayTellsIt()
    {
        QSystemTrayIcon tray;
        QSystemTrayIcon* trayInUse = nullptr;
        DesktopNotifier notifier([&trayInUse] { return trayInUse; });
        std::vector<DesktopNotifier::Route> routes;
        connect(&notifier, &DesktopNotifier::delivered, this, [&routes](DesktopNotifier::Route r) { routes.push_back(r); });
        notifier.Notify(QStringLiteral("Backup failed: shop"), QStringLiteral("no service"));
        QTRY_COMPARE(routes.size(), size_t(1));
        trayInUse = &tray;
        notifier.Notify(QStringLiteral("Backup failed: shop"), QStringLiteral("no service"));
        QTRY_COMPARE(routes.size(), size_t(2));
        QCOMPARE(routes, (std::vector<DesktopNotifier::Route> {DesktopNotifier::Route::None, DesktopNotifier::Route::Tray}));
    }

    // A scheduled backup skipped while the window sits in the tray: the
    // desktop is told (unless the setting is off), and the tray icon warns,
    // naming the backup and when, until the window is opened.
    void aScheduledFailureIsToldAndMarksTheTray_data()
    {
        QTest::addColumn<bool>("notify");
        QTest::newRow("notify") << true;
        QTest::newRow("setting off") << false;
    }
    void aScheduledFailureIsToldAndMarksTheTray()
    {
        QFETCH(bool, notify);
        test::GuiHooks hooks;
        test::TempDataDir dir;
        // Started a minute before the turn of the hour, which the tick then
        // finds due.
        std::time_t now = test::Utc(2026, 12, 7, 9, 59);
        MainWindow window(dir.path(), nullptr, [&now] { return now; });
        AppState& state = window.State();
        state.config.WriteNotifyFailure(notify);
        test::DefineSchedule(state, "hourly", ScheduleDef::kHourly, "Every Turn of the Hour");
        test::DefineBackup(state, "shop", "", "t", "hourly");
        // A run of it in another process: the scheduled run is skipped.
        BackupLock elsewhere;
        QCOMPARE(elsewhere.Acquire(dir.path(), "shop", BackupLock::Use::Backup), BackupLock::Result::Acquired);
        RecordingService service;
        ServiceOnTheBus onBus(service);
        QVERIFY(onBus.Ok());
        std::vector<DesktopNotifier::Route> routes;
        connect(window.Notifier(), &DesktopNotifier::delivered, this,
                [&routes](DesktopNotifier::Route r) { routes.push_back(r); });

        QVERIFY(window.MinimizeToTray());
        QCOMPARE(Look(window.TrayIcon()->icon()), Look(ProgramIcon()));
        bool ticked = false;
        connect(&window, &MainWindow::scheduleTick, this, [&ticked] { ticked = true; });
        now = test::Utc(2026, 12, 7, 10, 0);
        window.ScheduleTimer()->start(0);
        QTRY_VERIFY(ticked);

        if (notify) {
            QTRY_COMPARE(service.notices.size(), 1);
            const RecordingService::Notice& n = service.notices[0];
            QCOMPARE(n.app, QStringLiteral("Vorda"));
            QCOMPARE(n.icon, QStringLiteral("vorda"));
            QCOMPARE(n.summary, QStringLiteral("Backup failed: shop"));
            QCOMPARE(n.body, QStringLiteral("Skipped - Backup Running in Another Process"));
            QCOMPARE(n.hints.value(QStringLiteral("urgency")).toInt(), 2);
            QCOMPARE(routes, std::vector<DesktopNotifier::Route> {DesktopNotifier::Route::Bus});
        } else {
            QTest::qWait(200);
            QVERIFY(service.notices.isEmpty());
            QVERIFY(routes.empty());
        }
        QCOMPARE(Look(window.TrayIcon()->icon()), Look(WarningIcon()));
        QVERIFY(Look(WarningIcon()) != Look(ProgramIcon()));
        QCOMPARE(window.TrayIcon()->toolTip(),
                 QStringLiteral("Vorda Quendal System\nBackup failed: shop - Mon, Dec 07, 2026 - 10:00:00 AM"));

        // Opened, the window has shown the failure: the tray is plain again.
        window.RestoreFromTray();
        QVERIFY(window.MinimizeToTray());
        QCOMPARE(Look(window.TrayIcon()->icon()), Look(ProgramIcon()));
        QCOMPARE(window.TrayIcon()->toolTip(), QStringLiteral("Vorda Quendal System"));
    }
};

QTEST_MAIN(TestNotifications)
#include "tst_notifications.moc"
