#include "gui/widgets/ReportList.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolTip>

#include <algorithm>

namespace {

const QColor kGridColor(0xd4, 0xd8, 0xde);

// Draws each cell as usual, then its right and bottom edge: the grid.
class GridDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(kGridColor);
        const QRect r = option.rect;
        painter->drawLine(r.topRight(), r.bottomRight());
        painter->drawLine(r.bottomLeft(), r.bottomRight());
        painter->restore();
    }

    // Two pixels more than the text needs: the grid line at the foot of a
    // row would otherwise cover the underscores of names like order_items.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(0, 2);
    }
};

bool AllDigits(const QString& text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
}

// The order of rows by their column-0 text.
bool SortsBefore(const QString& a, const QString& b)
{
    if (AllDigits(a) && AllDigits(b) && a.size() != b.size())
        return a.size() < b.size();
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
}

} // namespace

ReportList::ReportList(const QString& accessibleName, const std::vector<ReportColumn>& columns,
                       SelectionKind selection, QWidget* parent)
    : QTreeWidget(parent)
    , columns_(columns)
{
    setAccessibleName(accessibleName);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setItemsExpandable(false);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(selection == Single ? QAbstractItemView::SingleSelection
                                         : QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setItemDelegate(new GridDelegate(this));
    setSortingEnabled(false);
    setContextMenuPolicy(Qt::DefaultContextMenu);

    setColumnCount(int(columns_.size()));
    QStringList headings;
    for (const ReportColumn& column : columns_)
        headings << column.heading;
    setHeaderLabels(headings);
    for (int i = 0; i < int(columns_.size()); ++i)
        headerItem()->setTextAlignment(i, columns_[size_t(i)].alignment | Qt::AlignVCenter);
    header()->setSectionsMovable(true);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(QHeaderView::Interactive);
    ApplyColumnWidths();
    ApplyPalette();

    if (selection == Single) {
        setMouseTracking(true);
        hoverTimer_ = new QTimer(this);
        hoverTimer_->setSingleShot(true);
        hoverTimer_->setInterval(kHoverSelectMs);
        connect(hoverTimer_, &QTimer::timeout, this, &ReportList::OnHoverTimeout);
    }
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        if (item && (item->flags() & Qt::ItemIsEnabled))
            emit rowActivated(item);
    });
}

QTreeWidgetItem* ReportList::AddRow(const QStringList& texts)
{
    auto* item = new QTreeWidgetItem(texts);
    for (int i = 0; i < int(columns_.size()); ++i)
        item->setTextAlignment(i, columns_[size_t(i)].alignment | Qt::AlignVCenter);
    // After the last row that does not sort after it: equal texts keep the
    // order they were added in.
    const QString key = item->text(0);
    int low = 0;
    int high = topLevelItemCount();
    while (low < high) {
        const int mid = (low + high) / 2;
        if (SortsBefore(key, topLevelItem(mid)->text(0)))
            high = mid;
        else
            low = mid + 1;
    }
    insertTopLevelItem(low, item);
    return item;
}

QTreeWidgetItem* ReportList::AddNumberedRow(const QStringList& texts)
{
    return AddRow(QStringList {RowNumber(++numbered_)} + texts);
}

QString ReportList::RowNumber(int n)
{
    return QString::asprintf("%4.4d", n);
}

void ReportList::Clear()
{
    clear();
    numbered_ = 0;
    hoverIndex_ = QPersistentModelIndex();
}

void ReportList::SetRowUnselectable(QTreeWidgetItem* item, const QString& note)
{
    item->setSelected(false);
    item->setFlags(item->flags() & ~(Qt::ItemIsSelectable | Qt::ItemIsEnabled));
    for (int i = 0; i < item->columnCount(); ++i) {
        item->setToolTip(i, note);
        item->setData(i, Qt::AccessibleDescriptionRole, note);
    }
}

void ReportList::SetTextColor(const QColor& color)
{
    textColor_ = color;
    ApplyPalette();
}

QColor ReportList::TextColor() const
{
    return palette().color(QPalette::Active, QPalette::Text);
}

QStringList ReportList::SelectedTexts(int column) const
{
    QStringList texts;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = topLevelItem(i);
        if (item->isSelected() && (item->flags() & Qt::ItemIsSelectable) && (item->flags() & Qt::ItemIsEnabled))
            texts << item->text(column);
    }
    return texts;
}

QTreeWidgetItem* ReportList::FirstSelected() const
{
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = topLevelItem(i);
        if (item->isSelected() && (item->flags() & Qt::ItemIsSelectable) && (item->flags() & Qt::ItemIsEnabled))
            return item;
    }
    return nullptr;
}

QString ReportList::LabelTip(const QPoint& viewportPos) const
{
    const QModelIndex index = indexAt(viewportPos);
    if (!index.isValid())
        return {};
    const QString note = index.data(Qt::ToolTipRole).toString();
    if (!note.isEmpty())
        return note;
    const QString text = index.data(Qt::DisplayRole).toString();
    // The room the delegate leaves for the text: the cell less the style's
    // text margins on both sides.
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    const int room = visualRect(index).width() - 2 * margin;
    return fontMetrics().horizontalAdvance(text) > room ? text : QString();
}

void ReportList::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (QTreeWidgetItem* item = FirstSelected())
            emit rowActivated(item);
        event->accept();
        return;
    case Qt::Key_Delete:
        emit deleteRequested();
        event->accept();
        return;
    default:
        QTreeWidget::keyPressEvent(event);
    }
}

void ReportList::mouseMoveEvent(QMouseEvent* event)
{
    QTreeWidget::mouseMoveEvent(event);
    if (!hoverTimer_ || event->buttons() != Qt::NoButton)
        return;
    const QModelIndex index = indexAt(event->position().toPoint());
    const QModelIndex row = index.isValid() ? index.siblingAtColumn(0) : QModelIndex();
    if (row == hoverIndex_)
        return;
    hoverIndex_ = row;
    if (row.isValid())
        hoverTimer_->start();
    else
        hoverTimer_->stop();
}

void ReportList::OnHoverTimeout()
{
    if (!hoverIndex_.isValid())
        return;
    const Qt::ItemFlags flags = model()->flags(hoverIndex_);
    if (!(flags & Qt::ItemIsEnabled) || !(flags & Qt::ItemIsSelectable))
        return;
    setCurrentIndex(hoverIndex_);
}

void ReportList::contextMenuEvent(QContextMenuEvent* event)
{
    QPoint globalPos = event->globalPos();
    if (event->reason() != QContextMenuEvent::Mouse) {
        // From the keyboard: under the selected row, or at the list's corner.
        QTreeWidgetItem* item = FirstSelected();
        const QRect rect = item ? visualItemRect(item) : QRect();
        globalPos = viewport()->mapToGlobal(rect.isValid() ? rect.bottomLeft() : QPoint(0, 0));
    }
    emit menuRequested(globalPos);
    event->accept();
}

bool ReportList::viewportEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::ToolTip: {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = LabelTip(help->pos());
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, viewport(), visualRect(indexAt(help->pos())));
        return true;
    }
    case QEvent::Leave:
        if (hoverTimer_)
            hoverTimer_->stop();
        hoverIndex_ = QPersistentModelIndex();
        break;
    default:
        break;
    }
    return QTreeWidget::viewportEvent(event);
}

void ReportList::changeEvent(QEvent* event)
{
    QTreeWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        ApplyColumnWidths();
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        ApplyPalette();
}

void ReportList::ApplyColumnWidths()
{
    for (int i = 0; i < int(columns_.size()); ++i)
        setColumnWidth(i, std::max(columns_[size_t(i)].width, header()->sectionSizeHint(i)));
}

void ReportList::ApplyPalette()
{
    QPalette p = palette();
    // The selection looks the same whether or not the list has the focus.
    const QColor highlight = p.color(QPalette::Active, QPalette::Highlight);
    const QColor highlightedText = p.color(QPalette::Active, QPalette::HighlightedText);
    bool changed = p.color(QPalette::Inactive, QPalette::Highlight) != highlight
        || p.color(QPalette::Inactive, QPalette::HighlightedText) != highlightedText;
    p.setColor(QPalette::Inactive, QPalette::Highlight, highlight);
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, highlightedText);
    const QColor text = textColor_.isValid() ? textColor_ : QPalette().color(QPalette::Active, QPalette::Text);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        changed |= p.color(group, QPalette::Text) != text;
        p.setColor(group, QPalette::Text, text);
    }
    // Setting an unchanged palette would come back here as a PaletteChange.
    if (changed)
        setPalette(p);
}
