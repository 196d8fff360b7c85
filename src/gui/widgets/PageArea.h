#pragma once

#include <QScrollArea>

// One of the main window's two page areas. Its page fills it and never gets
// less than its own minimum size: where the area is smaller, it scrolls.
// (A page is sized from its minimum, not from the height its word-wrapped
// texts would like, so a page that fits shows no scroll bar.) The window's
// painting shows around the page.
class PageArea : public QScrollArea {
    Q_OBJECT
public:
    PageArea(const QString& name, QWidget* parent);

    // Shows `page` in the area; the page shown before is taken out, not
    // destroyed (see TakePage).
    void SetPage(QWidget* page);
    // Takes the page out of the area and gives it back to `owner`, hidden;
    // nullptr when the area is empty.
    QWidget* TakePage(QWidget* owner);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Sizes the page to the room the area leaves beside the scroll bars
    // its minimum needs, and not below that minimum.
    void Fit();
};
