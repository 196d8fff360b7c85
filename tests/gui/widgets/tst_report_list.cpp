#include "gui/widgets/ReportList.h"

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QImage>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

std::unique_ptr<ReportList> MakeList(ReportList::SelectionKind kind, std::vector<ReportColumn> columns = {})
{
    if (columns.empty())
        columns = {{QStringLiteral("Count"), 45, Qt::AlignCenter},
                   {QStringLiteral("Backup Name"), 150},
                   {QStringLiteral("Backup Description"), 173}};
    auto list = std::make_unique<ReportList>(QStringLiteral("Backups"), columns, kind);
    list->resize(420, 300);
    list->show();
    return list;
}

QStringList Column(const ReportList& list, int column)
{
    QStringList texts;
    for (int i = 0; i < list.topLevelItemCount(); ++i)
        texts << list.topLevelItem(i)->text(column);
    return texts;
}

QPoint CentreOf(ReportList& list, QTreeWidgetItem* item)
{
    return list.visualItemRect(item).center();
}

void MoveMouse(ReportList& list, const QPoint& pos)
{
    QMouseEvent move(QEvent::MouseMove, pos, list.viewport()->mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(list.viewport(), &move);
}

// Pixels of the list drawn in about `color` (the glyphs' solid parts).
int PixelsNear(const QImage& image, const QColor& color)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - color.red()) + std::abs(c.green() - color.green())
                    + std::abs(c.blue() - color.blue()) < 40)
                ++count;
        }
    return count;
}

} // namespace

// The report-style list the list pages, the Execute and Database Backups
// pages and the backup editor share.
class TestReportList : public QObject {
    Q_OBJECT

private slots:
    void rowsAreNumberedAndKeptInOrder()
    {
        auto list = MakeList(ReportList::Single);
        const QStringList names = {"zeta", "alpha", "Mike", "beta", "omega", "delta",
                                   "kilo", "echo", "golf", "hotel", "india", "juliet"};
        for (const QString& name : names)
            list->AddNumberedRow({name, name + QStringLiteral(" description")});
        // Numbered in the order added, and that is the order shown.
        QCOMPARE(Column(*list, 1), names);
        QCOMPARE(Column(*list, 0).first(), QStringLiteral("0001"));
        QCOMPARE(Column(*list, 0).last(), QStringLiteral("0012"));
        QCOMPARE(list->topLevelItem(0)->textAlignment(0), int(Qt::AlignCenter | Qt::AlignVCenter));

        // Rows added with their own column-0 text go to their sorted place;
        // equal texts keep the order they came in; a placeholder "0000" leads.
        list->Clear();
        list->AddRow({"0003", "c"});
        list->AddRow({"0001", "a"});
        list->AddRow({"0002", "b1"});
        list->AddRow({"0002", "b2"});
        list->AddRow({"0000", "placeholder"});
        QCOMPARE(Column(*list, 1), QStringList({"placeholder", "a", "b1", "b2", "c"}));
        // Past 9999 the numbers still sort by value.
        list->Clear();
        for (int n : {10001, 9999, 10000, 998})
            list->AddRow({ReportList::RowNumber(n), QString::number(n)});
        QCOMPARE(Column(*list, 0), QStringList({"0998", "9999", "10000", "10001"}));
        // Numbering starts again after Clear.
        list->Clear();
        list->AddNumberedRow({"first"});
        QCOMPARE(Column(*list, 0), QStringList({"0001"}));
    }

    void columnsAreNeverNarrowerThanTheirHeadings()
    {
        auto list = MakeList(ReportList::Single,
                             {{QStringLiteral("Schd #"), 5, Qt::AlignCenter}, {QStringLiteral("Schedule Name"), 273}});
        for (int column : {0, 1}) {
            const int heading = list->header()->fontMetrics().horizontalAdvance(list->headerItem()->text(column));
            QVERIFY2(list->columnWidth(column) > heading, qPrintable(QString::number(column)));
        }
        QCOMPARE(list->columnWidth(1), 273); // wide enough already: kept
        // A larger font widens the narrow column again.
        const int before = list->columnWidth(0);
        QFont big = list->font();
        big.setPointSizeF(big.pointSizeF() * 2);
        list->setFont(big);
        QVERIFY(list->columnWidth(0) > before);
        QVERIFY(list->columnWidth(0) > QFontMetrics(big).horizontalAdvance(QStringLiteral("Schd #")));
        QVERIFY(list->header()->sectionsMovable());
    }

    void selectionReadsTopDownAndSkipsUnselectableRows()
    {
        auto list = MakeList(ReportList::Extended);
        QTreeWidgetItem* orders = list->AddNumberedRow({"orders"});
        QTreeWidgetItem* bar = list->AddNumberedRow({"a|b"});
        QTreeWidgetItem* users = list->AddNumberedRow({"users"});
        ReportList::SetRowUnselectable(bar, QStringLiteral("A table whose name holds \"|\" cannot be chosen."));
        // Clicked bottom first: still read top-down.
        users->setSelected(true);
        orders->setSelected(true);
        QCOMPARE(list->SelectedTexts(1), QStringList({"orders", "users"}));
        QCOMPARE(list->FirstSelected(), orders);

        // "Select All", a click and the keyboard never take the greyed row.
        list->selectAll();
        QCOMPARE(list->SelectedTexts(1), QStringList({"orders", "users"}));
        list->clearSelection();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, CentreOf(*list, bar));
        QVERIFY(list->SelectedTexts(1).isEmpty());
        QVERIFY(!list->FirstSelected());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, CentreOf(*list, orders));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ShiftModifier, CentreOf(*list, users));
        QCOMPARE(list->SelectedTexts(1), QStringList({"orders", "users"}));
        // The row says why.
        QCOMPARE(list->LabelTip(CentreOf(*list, bar)), QStringLiteral("A table whose name holds \"|\" cannot be chosen."));
        QCOMPARE(bar->data(1, Qt::AccessibleDescriptionRole).toString(), bar->toolTip(1));
        QCOMPARE(QAccessible::queryAccessibleInterface(list.get())->text(QAccessible::Name), QStringLiteral("Backups"));
    }

    void keysAndClicksRaiseTheirSignals()
    {
        auto list = MakeList(ReportList::Single);
        QTreeWidgetItem* first = list->AddNumberedRow({"first"});
        QTreeWidgetItem* second = list->AddNumberedRow({"second"});
        QTreeWidgetItem* placeholder = list->AddRow({"0000", "No Schedules Available"});
        ReportList::SetRowUnselectable(placeholder, QStringLiteral("Nothing to choose"));
        QSignalSpy activated(list.get(), &ReportList::rowActivated);
        QSignalSpy deletes(list.get(), &ReportList::deleteRequested);
        QSignalSpy menus(list.get(), &ReportList::menuRequested);
        list->setFocus();

        // Enter with nothing selected does nothing; with a row, activates it.
        QTest::keyClick(list.get(), Qt::Key_Return);
        QCOMPARE(activated.count(), 0);
        second->setSelected(true);
        QTest::keyClick(list.get(), Qt::Key_Return);
        QTest::keyClick(list.get(), Qt::Key_Enter);
        QCOMPARE(activated.count(), 2);
        QCOMPARE(activated.at(1).at(0).value<QTreeWidgetItem*>(), second);

        // One click selects but never activates; a double click does.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, CentreOf(*list, first));
        QCOMPARE(list->FirstSelected(), first);
        QCOMPARE(activated.count(), 2);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, CentreOf(*list, first));
        QCOMPARE(activated.count(), 3);
        QCOMPARE(activated.at(2).at(0).value<QTreeWidgetItem*>(), first);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, CentreOf(*list, placeholder));
        QCOMPARE(activated.count(), 3);

        QTest::keyClick(list.get(), Qt::Key_Delete);
        QCOMPARE(deletes.count(), 1);

        // A right click on a row selects it and asks for the menu there.
        const QPoint at = CentreOf(*list, second);
        QTest::mousePress(list->viewport(), Qt::RightButton, Qt::NoModifier, at);
        QTest::mouseRelease(list->viewport(), Qt::RightButton, Qt::NoModifier, at);
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->viewport(), &click);
        QCOMPARE(menus.count(), 1);
        QCOMPARE(menus.at(0).at(0).toPoint(), list->viewport()->mapToGlobal(at));
        QCOMPARE(list->FirstSelected(), second);
        // From the keyboard: under the selected row.
        QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(0, 0), list->viewport()->mapToGlobal(QPoint(0, 0)));
        QApplication::sendEvent(list->viewport(), &key);
        QCOMPARE(menus.count(), 2);
        QCOMPARE(menus.at(1).at(0).toPoint(), list->viewport()->mapToGlobal(list->visualItemRect(second).bottomLeft()));
    }

    void restingThePointerSelectsInSingleSelectionLists()
    {
        auto list = MakeList(ReportList::Single);
        QTreeWidgetItem* first = list->AddNumberedRow({"first"});
        QTreeWidgetItem* second = list->AddNumberedRow({"second"});
        QTreeWidgetItem* greyed = list->AddNumberedRow({"greyed"});
        ReportList::SetRowUnselectable(greyed, QStringLiteral("No"));

        // Passing over a row does not select it; resting on it does.
        MoveMouse(*list, CentreOf(*list, first));
        MoveMouse(*list, CentreOf(*list, second));
        QVERIFY(!list->FirstSelected());
        QTRY_COMPARE_WITH_TIMEOUT(list->FirstSelected(), second, 1000);
        QVERIFY(!first->isSelected());
        // Leaving the list before the time is up selects nothing.
        MoveMouse(*list, CentreOf(*list, first));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(list->viewport(), &leave);
        QTest::qWait(3 * ReportList::kHoverSelectMs);
        QCOMPARE(list->FirstSelected(), second);
        // A greyed row is never selected by the pointer.
        MoveMouse(*list, CentreOf(*list, greyed));
        QTest::qWait(3 * ReportList::kHoverSelectMs);
        QCOMPARE(list->FirstSelected(), second);

        // Lists of several choices keep their selection where the user put it.
        auto several = MakeList(ReportList::Extended);
        QTreeWidgetItem* row = several->AddNumberedRow({"row"});
        MoveMouse(*several, CentreOf(*several, row));
        QTest::qWait(3 * ReportList::kHoverSelectMs);
        QVERIFY(!several->FirstSelected());
    }

    void textColourAndTheSelectionWithoutFocus()
    {
        auto list = MakeList(ReportList::Single);
        for (int i = 0; i < 6; ++i)
            list->AddNumberedRow({QStringLiteral("MMMMMMMMMMMM"), QStringLiteral("WWWWWWWWWWWWWWWW")});
        const QColor blue(6, 45, 159);
        const QColor red(159, 6, 45);
        QCOMPARE(PixelsNear(list->viewport()->grab().toImage(), blue), 0);
        list->SetTextColor(blue);
        QCOMPARE(list->TextColor(), blue);
        QVERIFY(PixelsNear(list->viewport()->grab().toImage(), blue) > 50);
        list->SetTextColor(red);
        const QImage redImage = list->viewport()->grab().toImage();
        QVERIFY(PixelsNear(redImage, red) > 50);
        QCOMPARE(PixelsNear(redImage, blue), 0);
        list->SetTextColor(QColor());
        QCOMPARE(PixelsNear(list->viewport()->grab().toImage(), red), 0);

        // The selection looks the same with and without the focus.
        const QPalette& p = list->palette();
        QCOMPARE(p.color(QPalette::Inactive, QPalette::Highlight), p.color(QPalette::Active, QPalette::Highlight));
        QCOMPARE(p.color(QPalette::Inactive, QPalette::HighlightedText),
                 p.color(QPalette::Active, QPalette::HighlightedText));
    }

    void cutTextsShowInFullAsATooltip()
    {
        auto list = MakeList(ReportList::Single);
        const QString longText = QStringLiteral("A description far too long for a column of 173 pixels to show");
        QTreeWidgetItem* cut = list->AddNumberedRow({"short", longText});
        QCOMPARE(list->LabelTip(list->visualRect(list->indexFromItem(cut, 2)).center()), longText);
        QVERIFY(list->LabelTip(list->visualRect(list->indexFromItem(cut, 1)).center()).isEmpty());
        QVERIFY(list->LabelTip(QPoint(5, list->viewport()->height() - 3)).isEmpty()); // below the rows
    }
};

QTEST_MAIN(TestReportList)
#include "tst_report_list.moc"
