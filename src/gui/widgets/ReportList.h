#pragma once

#include <QColor>
#include <QPersistentModelIndex>
#include <QStringList>
#include <QTreeWidget>

#include <vector>

class QTimer;

// One column of a ReportList: its heading, its width in pixels (widened to
// the heading's own width in the current font when narrower) and the
// alignment of its cells.
struct ReportColumn {
    QString heading;
    int width = 0;
    Qt::Alignment alignment = Qt::AlignLeft;
};

// The report-style list of the list pages, the Execute and Database Backups
// pages and the backup editor: a flat QTreeWidget with the given columns,
// grid lines, full-row selection that stays visible without focus, headers
// that can be dragged into another order, and rows kept sorted ascending by
// their column-0 text (all-digit texts by value, so "10000" follows "9999";
// other texts ignoring case; equal texts keep the order they were added in).
// Cut cell texts show in full as a tooltip.
//
// Single-selection lists select the row the pointer rests on for 100 ms.
// A row is activated by a double click or Enter/Return, never by one click:
// a single click that ran a backup would be too easy to do by mistake.
//
// Typical use on a page:
//   list_ = new ReportList(QStringLiteral("Backups"), {{"Count", 45, Qt::AlignCenter}, {"Backup Name", 150}},
//                          ReportList::Single, group);
//   for (const std::string& name : names) list_->AddNumberedRow({QString::fromStdString(name)});
//   connect(list_, &ReportList::rowActivated, this, &Page::OnRun);
//   connect(list_, &ReportList::menuRequested, this, &Page::ShowContextMenu);
class ReportList : public QTreeWidget {
    Q_OBJECT
public:
    enum SelectionKind { Single, Extended };
    static constexpr int kHoverSelectMs = 100;

    // `accessibleName` is what screen readers call the list ("Backups").
    ReportList(const QString& accessibleName, const std::vector<ReportColumn>& columns, SelectionKind selection,
               QWidget* parent = nullptr);

    // Adds a row with one text per column, at its sorted place.
    QTreeWidgetItem* AddRow(const QStringList& texts);
    // Adds a row numbered in column 0 ("0001", "0002", ... in the order rows
    // are added this way) with `texts` in the columns after it.
    QTreeWidgetItem* AddNumberedRow(const QStringList& texts);
    // "%4.4d" of n: 1 -> "0001".
    static QString RowNumber(int n);
    // Removes every row; numbering starts again at 0001.
    void Clear();

    // Greys a row that must not be chosen (a placeholder, a name the page
    // cannot store) and tells why: `note` becomes its tooltip and its
    // accessible description. It is deselected and can no longer be selected.
    static void SetRowUnselectable(QTreeWidgetItem* item, const QString& note);

    // Draws the rows' text in `color`; an invalid QColor restores the default.
    void SetTextColor(const QColor& color);
    QColor TextColor() const;

    // The texts of `column` of the selected rows, top row first.
    QStringList SelectedTexts(int column) const;
    // The top-most selected row, or nullptr.
    QTreeWidgetItem* FirstSelected() const;

    // The tooltip shown at `viewportPos`: the row's note, or the full text of
    // a cell that is too narrow for it; empty when there is nothing to add.
    QString LabelTip(const QPoint& viewportPos) const;

signals:
    // Double click on a row, or Enter/Return with a row selected (the top-most
    // selected row).
    void rowActivated(QTreeWidgetItem* item);
    // The Delete key.
    void deleteRequested();
    // Right click, the menu key or Shift+F10: the page opens its context menu
    // at `globalPos`. A right click on a row selects that row first.
    void menuRequested(const QPoint& globalPos);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void ApplyColumnWidths();
    void ApplyPalette();
    void OnHoverTimeout();

    std::vector<ReportColumn> columns_;
    QColor textColor_;
    int numbered_ = 0;
    QTimer* hoverTimer_ = nullptr;
    QPersistentModelIndex hoverIndex_;
};
