#include "gui/app/ResumeWatcher.h"

#include <QDBusConnection>

ResumeWatcher::ResumeWatcher(QObject* parent)
    : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    listening_ = bus.isConnected()
        && bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                       QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
                       SLOT(OnPrepareForSleep(bool)));
}

void ResumeWatcher::OnPrepareForSleep(bool sleeping)
{
    if (!sleeping)
        emit resumed();
}
