#include "gui/app/Help.h"

#include "gui/app/HelpWindow.h"

#include <QDesktopServices>

namespace {

UrlOpener g_opener;

} // namespace

void SetUrlOpener(UrlOpener opener)
{
    g_opener = std::move(opener);
}

bool OpenUrl(const QUrl& url)
{
    return g_opener ? g_opener(url) : QDesktopServices::openUrl(url);
}

bool OpenHelpPage(const std::string& page)
{
    HelpWindow* window = HelpWindow::Get();
    // Shown first, so that a section is scrolled to in the window's own size.
    window->Present();
    return window->Open(QString::fromStdString(page));
}

void CloseHelp()
{
    HelpWindow::Destroy();
}
