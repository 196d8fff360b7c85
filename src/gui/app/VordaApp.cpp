#include "gui/app/VordaApp.h"

#include "gui/app/MainWindow.h"
#include "gui/app/Messages.h"
#include "gui/app/WindowRaiser.h"
#include "core/state/StartupCore.h"

#include <QApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace {

int g_signalPipe[2] = {-1, -1};

void OnTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

// SIGTERM and SIGINT end the program the normal way, so the exit is recorded
// in the history log and nothing is left half-written.
void QuitOnTerminationSignals()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
        char byte;
        [[maybe_unused]] ssize_t n = ::read(g_signalPipe[0], &byte, 1);
        QApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

} // namespace

int VordaApp::InitInstance(Clock clock)
{
    // One copy per data folder, whatever else differs between the starts.
    const std::string dataDir = ResolveDataDirectory();
    EnsurePrivateDirectory(dataDir);
    SingleInstanceLock lock;
    switch (lock.Acquire(dataDir)) {
    case SingleInstanceLock::Result::Acquired:
        break;
    case SingleInstanceLock::Result::AlreadyRunning:
        // The running copy shows its window; only when it does not answer
        // (it hangs, or an older version runs) is the user told.
        if (WindowRaiser::AskRunningCopyToShow(dataDir))
            return 0;
        ShowMessage(MessageKind::Alert,
                    "Vorda is already running!\r\rOnly one copy may run at a time.\r\rPlease check your System "
                    "Tray or Taskbar to open the current running copy.");
        return 0;
    case SingleInstanceLock::Result::Failed:
        std::fprintf(stderr, "Vorda: the single-instance lock \"VordaMutex\" could not be created in %s.\n",
                     dataDir.c_str());
        return 1;
    }

    QuitOnTerminationSignals();
    // Hidden in the tray, the program goes on running; it ends only on "Exit
    // Vorda", on closing the window when that does not go to the tray, or on
    // a termination signal.
    QApplication::setQuitOnLastWindowClosed(false);
    int status = 0;
    {
        MainWindow dialog(dataDir, nullptr, std::move(clock));
        QObject::connect(&dialog, &MainWindow::quitRequested, qApp, &QApplication::quit, Qt::QueuedConnection);
        WindowRaiser raiser;
        QObject::connect(&raiser, &WindowRaiser::showRequested, &dialog, &MainWindow::ShowFromElsewhere);
        raiser.Listen(dataDir);
        dialog.show();
        status = QApplication::exec();
    }
    return status;
}
