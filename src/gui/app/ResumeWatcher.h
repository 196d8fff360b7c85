#pragma once

#include <QObject>

// Tells when the system wakes from sleep: logind announces every sleep and
// wake on the system bus (org.freedesktop.login1.Manager PrepareForSleep,
// false on waking). Without a system bus or logind nothing is announced;
// the scheduler's gap rule makes up the slept quarter hours at its next
// tick anyway.
class ResumeWatcher : public QObject {
    Q_OBJECT
public:
    explicit ResumeWatcher(QObject* parent = nullptr);

    // Whether the announcements are being listened to.
    bool Listening() const { return listening_; }

signals:
    void resumed();

public slots:
    // logind's announcement: true before the sleep, false after it.
    void OnPrepareForSleep(bool sleeping);

private:
    bool listening_ = false;
};
