#pragma once

#include "AccessibilityCheck.h"
#include "app/GuiTestSupport.h"
#include "core/engine/EngineTestSupport.h"
#include "gui/app/UnsavedChanges.h"
#include "resources/ResourceIds.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <memory>

namespace test {

// The main window on a fresh data directory (a later start: `prepare`
// stores what the test needs), shown, with every box and prompt answered by
// the hooks. Pages are opened as the menu and list pages open them.
struct PageFixture {
    GuiHooks hooks;
    TempDataDir dir;
    std::unique_ptr<MainWindow> window;

    explicit PageFixture(const std::function<void(AppState&)>& prepare = {})
    {
        PrepareEarlierRun(dir, prepare);
        window = OpenWindow(dir);
        window->show();
        MessageHook::Reset();
    }
    AppState& state() { return window->State(); }

    // Opens page `pageId` afresh; an editor in `mode` on `name`.
    template <class Page>
    Page* open(int pageId, EditorMode mode = EditorMode::New, const std::string& name = {})
    {
        state().connectionEditorMode = state().backupEditorMode = state().scheduleEditorMode = mode;
        state().selectedName = name;
        // Opening a page here stands for a fresh visit: what the page on show
        // holds is given up without the question a person would be asked.
        if (auto* editor = dynamic_cast<UnsavedChanges*>(window->CurrentPage()))
            editor->DiscardChanges();
        window->ForcePage(pageId);
        DeleteClosedPages();
        return current<Page>();
    }
    template <class Page>
    Page* current()
    {
        return qobject_cast<Page*>(window->CurrentPage());
    }
    // A control of the page on show, by its id; nullptr when it was not made.
    template <class W = QWidget>
    W* control(int id)
    {
        return window->CurrentPage()->findChild<W*>(ControlName(id));
    }
    void type(int id, const std::string& text) { control<QLineEdit>(id)->setText(QString::fromStdString(text)); }
    void click(int id) { control<QPushButton>(id)->click(); }
    // The texts the hook was asked to show since the last call.
    std::vector<std::string> asked()
    {
        std::vector<std::string> texts = AskedTexts();
        MessageHook::Reset();
        return texts;
    }
    // What the accessibility checks find on the page on show, and in the
    // window around it (Tab goes through the menu, then the page).
    QString a11yProblems()
    {
        DeleteClosedPages();
        return (a11y::CheckPage(window->CurrentPage()) + a11y::CheckPage(window.get())).join(QLatin1Char('\n'));
    }
};

// The rows of a report list, top to bottom, each its cells joined by blanks.
inline QStringList RowTexts(const QTreeWidget* list)
{
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QStringList cells;
        for (int c = 0; c < list->columnCount(); ++c)
            cells << list->topLevelItem(i)->text(c);
        rows << cells.join(QLatin1Char(' '));
    }
    return rows;
}

// A loopback port with nothing listening on it: a connect is refused at once.
inline unsigned int ClosedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

} // namespace test
