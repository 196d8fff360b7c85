#include "gui/app/DesktopNotifier.h"

#include "gui/app/Art.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QSystemTrayIcon>
#include <QVariantMap>

#include <utility>

namespace {

const char* const kService = "org.freedesktop.Notifications";
const char* const kPath = "/org/freedesktop/Notifications";
const char* const kInterface = "org.freedesktop.Notifications";
// The urgency "critical": a failed backup stays on screen until it is seen.
constexpr unsigned char kCritical = 2;
constexpr int kTrayMessageMs = 15000;

} // namespace

DesktopNotifier::DesktopNotifier(std::function<QSystemTrayIcon*()> tray, QObject* parent)
    : QObject(parent)
    , tray_(std::move(tray))
{
}

void DesktopNotifier::Notify(const QString& summary, const QString& body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        Fallback(summary, body);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                                       QString::fromLatin1(kInterface), QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(kCritical));
    hints.insert(QStringLiteral("desktop-entry"), QString::fromLatin1(kIconName));
    call << QStringLiteral("Vorda") << 0u << QString::fromLatin1(kIconName) << summary << body << QStringList() << hints
         << -1;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kReplyTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, summary, body] {
        watcher->deleteLater();
        const QDBusPendingReply<unsigned int> reply = *watcher;
        if (reply.isError()) {
            Fallback(summary, body);
            return;
        }
        emit delivered(Route::Bus);
    });
}

void DesktopNotifier::Fallback(const QString& summary, const QString& body)
{
    QSystemTrayIcon* tray = tray_ ? tray_() : nullptr;
    if (!tray) {
        emit delivered(Route::None);
        return;
    }
    tray->showMessage(summary, body, WarningIcon(), kTrayMessageMs);
    emit delivered(Route::Tray);
}
