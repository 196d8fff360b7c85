#include "cli/DesktopNotice.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace cli {

bool NotifyDesktop(const std::string& summary, const std::string& body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    QVariantMap hints;
    // Critical: a failed backup stays on screen until it is seen.
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(static_cast<unsigned char>(2)));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("vorda"));
    call << QStringLiteral("Vorda") << 0u << QStringLiteral("vorda") << QString::fromStdString(summary)
         << QString::fromStdString(body) << QStringList() << hints << -1;
    // Events are handled while the answer is awaited (the service may live
    // in this very process).
    const QDBusMessage reply = bus.call(call, QDBus::BlockWithGui, 5000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

} // namespace cli
