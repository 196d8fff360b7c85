#pragma once

// What a page may ask of the window that hosts it. Pages get this narrow
// interface, not the window: they show pages and rebuild the menu, nothing
// else. The shared state they work on comes separately (AppState).
class PageHost {
public:
    virtual ~PageHost() = default;

    // Shows the work-area page of `pageId`, built afresh. A request for the
    // page on show does nothing unless currentPageId was cleared first. An
    // id without a page closes the current page and leaves the work area
    // empty.
    virtual void ShowPage(int pageId) = 0;
    // A forced request: clears currentPageId, then ShowPage, so the page is
    // rebuilt even when it is the one on show.
    virtual void ForcePage(int pageId) = 0;
    // Replaces the menu page by a new one (after a definition was saved or
    // the menu picture setting changed). A new menu page asks for the
    // statistics page unless the caller cleared statisticsOnMenuCreate.
    virtual void ReloadMenu() = 0;
    // Replaces the work-area page by a new configuration page, leaving
    // currentPageId alone (after the settings were reset).
    virtual void ShowConfiguration() = 0;

protected:
    PageHost() = default;
    PageHost(const PageHost&) = default;
    PageHost& operator=(const PageHost&) = default;
};
