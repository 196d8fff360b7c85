#include "gui/widgets/PageArea.h"

#include <QEvent>
#include <QLayout>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>

PageArea::PageArea(const QString& name, QWidget* parent)
    : QScrollArea(parent)
{
    setObjectName(name);
    setAccessibleName(name);
    setWidgetResizable(false);
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
}

void PageArea::SetPage(QWidget* page)
{
    if (QWidget* old = takeWidget())
        old->setParent(parentWidget());
    setWidget(page);
    page->installEventFilter(this);
    Fit();
}

QWidget* PageArea::TakePage(QWidget* owner)
{
    QWidget* page = takeWidget();
    if (page) {
        page->removeEventFilter(this);
        page->setParent(owner);
    }
    return page;
}

void PageArea::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    Fit();
}

bool PageArea::eventFilter(QObject* watched, QEvent* event)
{
    // A page whose minimum changed (a longer text, a shown part) is fitted
    // again once its layout has taken the change.
    if (watched == widget() && event->type() == QEvent::LayoutRequest) {
        const bool handled = QScrollArea::eventFilter(watched, event);
        Fit();
        return handled;
    }
    return QScrollArea::eventFilter(watched, event);
}

void PageArea::Fit()
{
    QWidget* page = widget();
    if (!page)
        return;
    QSize least = page->minimumSizeHint().expandedTo(page->minimumSize());
    // A page with texts that wrap needs less height the wider it is: its
    // least height is the one at the width it gets.
    QLayout* layout = page->layout();
    const bool wraps = layout && layout->hasHeightForWidth();
    const auto leastHeight = [&](int width) {
        return wraps ? std::max(layout->minimumHeightForWidth(std::max(width, least.width())), page->minimumHeight())
                     : least.height();
    };
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const bool sideways = horizontalScrollBarPolicy() != Qt::ScrollBarAlwaysOff;
    QSize room = size();
    bool vertical = leastHeight(room.width()) > room.height();
    if (vertical)
        least.setHeight(leastHeight(room.width() - bar));
    else
        least.setHeight(leastHeight(room.width()));
    bool horizontal = sideways && least.width() > room.width() - (vertical ? bar : 0);
    if (horizontal && !vertical)
        vertical = least.height() > room.height() - bar;
    if (vertical)
        room.rwidth() -= bar;
    if (horizontal)
        room.rheight() -= bar;
    QSize fitted = room.expandedTo(least);
    if (!sideways)
        fitted.setWidth(room.width());
    page->resize(fitted);
}
