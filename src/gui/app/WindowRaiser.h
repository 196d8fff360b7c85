#pragma once

#include <QObject>
#include <QString>

#include <string>

class QLocalServer;

// How a second start of Vorda on the same data folder brings the running
// copy's window to the front instead of starting another: the running copy
// listens on a local socket ("VordaWindow" in the data folder, or a name in
// the abstract namespace made from the folder when that path is too long
// for a socket), the second start connects and asks; the running copy shows
// its window and answers.
class WindowRaiser : public QObject {
    Q_OBJECT
public:
    static constexpr int kAskTimeoutMs = 3000;

    explicit WindowRaiser(QObject* parent = nullptr);

    // Starts listening for `dataDir` (ending with '/'). Only the holder of
    // the single-instance lock may call it: any socket left there is stale.
    bool Listen(const std::string& dataDir);

    // Asks the copy running on `dataDir` to show its window; true once it
    // answers that it did. Tries again while the copy may still be starting,
    // for at most `timeoutMs`.
    static bool AskRunningCopyToShow(const std::string& dataDir, int timeoutMs = kAskTimeoutMs);

    // The socket's name for `dataDir`, and whether it is in the abstract
    // namespace.
    static QString SocketName(const std::string& dataDir, bool* abstract = nullptr);

signals:
    // A second start asked for the window.
    void showRequested();

private:
    QLocalServer* server_ = nullptr;
};
