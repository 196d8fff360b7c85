#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QSystemTrayIcon;

// Tells the desktop about something the user must not miss (a scheduled
// backup that failed): a notification through org.freedesktop.Notifications
// on the session bus, from the app "Vorda" with the program's icon; where no
// notification service answers (no session bus, no service on it, an error
// or no answer within kReplyTimeoutMs), a message of the tray icon instead,
// when there is one.
class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    enum class Route { Bus, Tray, None };
    static constexpr int kReplyTimeoutMs = 5000;
    // The name the program's icon has in the desktop's icon theme.
    static constexpr const char* kIconName = "vorda";

    // `tray` gives the tray icon in use when a notice needs it (or nullptr).
    explicit DesktopNotifier(std::function<QSystemTrayIcon*()> tray, QObject* parent = nullptr);

    // Sends the notice; the answer comes later (delivered).
    void Notify(const QString& summary, const QString& body);

signals:
    // The notice has been shown by the notification service (Bus), by the
    // tray icon (Tray), or by nobody (None).
    void delivered(DesktopNotifier::Route route);

private:
    void Fallback(const QString& summary, const QString& body);

    std::function<QSystemTrayIcon*()> tray_;
};
