#include "gui/widgets/PageArea.h"

#include <QEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>

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
    const QSize least = page->minimumSizeHint().expandedTo(page->minimumSize());
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const bool sideways = horizontalScrollBarPolicy() != Qt::ScrollBarAlwaysOff;
    QSize room = size();
    bool vertical = least.height() > room.height();
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
