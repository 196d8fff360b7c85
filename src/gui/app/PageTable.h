#pragma once

#include "gui/app/PageHost.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <utility>

class AppState;
class QGroupBox;

// Builds a fresh work-area page. Pages receive the shared state and their
// host (for their page requests) by reference; `parent` is the window.
using PageFactory = std::function<QWidget*(AppState& state, PageHost& host, QWidget* parent)>;

template <class Page>
PageFactory PageOf()
{
    return [](AppState& state, PageHost& host, QWidget* parent) -> QWidget* { return new Page(state, host, parent); };
}

// The work-area pages by page id (PageTable.cpp). A page is added with one
// line there; an id without a page leaves the work area empty.
const PageFactory* FindPage(int pageId);
// Adds or replaces a page at run time (tests use it for pages of their own).
void RegisterPage(int pageId, PageFactory factory);
void UnregisterPage(int pageId);

// Sets a page up the way every page looks: objectName "IDD_<dialogId>", a
// white background and the captioned group frame that holds its controls,
// `margin` pixels inside the page. Returns the frame, for the page's layout.
QGroupBox* PageFrame(QWidget* page, int dialogId, const QString& caption, int margin);

// A push button of a page: objectName "IDC_<id>", at least `minHeight`
// pixels high, never the page's default button.
class QPushButton;
QPushButton* PageButton(const QString& text, int id, QWidget* parent, int minHeight = 30);

// Takes a page off the screen for good: hides it, stops its timers and
// destroys it once none of its handlers is running any more (see PageBusy).
void ClosePage(QWidget* page);

// Held by a page for as long as one of its handlers dispatches events: a run
// or a load that pumps, or a modal box. A page closed meanwhile (for example
// by the menu page during a run) disappears at once but is destroyed only
// when the last guard goes, so the handler never runs on a deleted page.
class PageBusy {
public:
    explicit PageBusy(QWidget* page);
    ~PageBusy();
    PageBusy(const PageBusy&) = delete;
    PageBusy& operator=(const PageBusy&) = delete;

    // Whether the page has been closed while the guard was held.
    bool PageClosed() const;

private:
    QPointer<QWidget> page_;
};

// Runs `f` (a run, a load or a modal box: anything that dispatches events)
// while holding PageBusy on `page`. True when the page is still open
// afterwards; false when it was closed meanwhile: the caller then leaves the
// page's controls alone and returns (the page goes once the handler is done).
template <class F>
bool RunWhileOpen(QWidget* page, F&& f)
{
    PageBusy busy(page);
    std::forward<F>(f)();
    return !busy.PageClosed();
}
