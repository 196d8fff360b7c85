#pragma once

#include "TestSupport.h"
#include "gui/app/QuickStartScreen.h"
#include "gui/app/MainWindow.h"
#include "gui/app/Messages.h"
#include "gui/widgets/PasswordPrompt.h"
#include "core/state/StartupCore.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>

#include <functional>
#include <memory>

namespace test {

// Message boxes, the quick start screen and the password prompt answer from
// prepared answers and record what was asked, so no test ever blocks on a
// modal window.
struct GuiHooks {
    GuiHooks()
    {
        MessageHook::Enable();
        MessageHook::Reset();
        QuickStartHook::Enable();
        QuickStartHook::Reset();
        PasswordHook::Enable();
        PasswordHook::Reset();
    }
    ~GuiHooks()
    {
        MessageHook::Reset();
        MessageHook::Enable(false);
        QuickStartHook::Reset();
        QuickStartHook::Enable(false);
        PasswordHook::Reset();
        PasswordHook::Enable(false);
    }
};

// Runs `check` on the modal window once it is up (no later than after 5 s),
// for tests of the real, modal boxes and prompts.
inline void WhenModalShows(std::function<void(QWidget*)> check)
{
    auto* poll = new QTimer;
    auto* waited = new QElapsedTimer;
    waited->start();
    QObject::connect(poll, &QTimer::timeout, [poll, waited, check] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal && waited->elapsed() < 5000)
            return;
        poll->stop();
        poll->deleteLater();
        delete waited;
        if (modal)
            check(modal);
    });
    poll->start(10);
}

// While it exists, closes any modal window that comes up and remembers that
// one did: for checking that nothing is shown.
class ModalGuard {
public:
    ModalGuard()
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                appeared_ = true;
                modal->close();
            }
        });
        timer_.start(10);
    }
    bool Appeared() const { return appeared_; }

private:
    QTimer timer_;
    bool appeared_ = false;
};

// Runs a first start of the program on `dir` without a window, then lets
// `change` alter the stored data, so the next window opens as a later start.
inline void PrepareEarlierRun(const TempDataDir& dir, const std::function<void(AppState&)>& change = {})
{
    AppState state(dir.path());
    StartUpBeforePages(state);
    StartUpAfterPages(state);
    if (change)
        change(state);
}

inline std::unique_ptr<MainWindow> OpenWindow(const TempDataDir& dir)
{
    return std::make_unique<MainWindow>(dir.path());
}

// Where a page lies in its window.
inline QRect PlaceInWindow(const QWidget* page)
{
    return QRect(page->mapTo(page->window(), QPoint(0, 0)), page->size());
}

// Destroys the pages that were closed.
inline void DeleteClosedPages()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The texts the message hook was asked to show, in order.
inline std::vector<std::string> AskedTexts()
{
    std::vector<std::string> texts;
    for (const auto& request : MessageHook::Requests())
        texts.push_back(request.text);
    return texts;
}

} // namespace test
