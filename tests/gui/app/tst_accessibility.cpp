#include "AccessibilityCheck.h"
#include "GuiTestSupport.h"
#include "core/engine/EngineTestSupport.h"
#include "gui/app/MenuPage.h"
#include "core/dump/DumpFormat.h"
#include "gui/statistics/StatisticsPage.h"
#include "gui/restore/ViewerPage.h"
#include "gui/widgets/BackupRunPage.h"
#include "gui/widgets/LabeledValue.h"
#include "gui/widgets/ShownOnDemand.h"
#include "resources/ResourceIds.h"

#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>


namespace {

QString Lines(const QStringList& problems)
{
    return problems.join(QLatin1Char('\n'));
}

// A page with one of each fault the checks look for, or none of them.
struct SamplePage {
    QWidget page;
    QLabel* picture = nullptr;
    QLineEdit* field = nullptr;
    QLabel* caption = nullptr;
    QLabel* placeholder = nullptr;
    QPushButton* top = nullptr;
    QPushButton* bottom = nullptr;
    QPushButton* mouseOnly = nullptr;

    explicit SamplePage(bool faulty)
    {
        auto* layout = new QVBoxLayout(&page);
        picture = new QLabel(&page);
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::blue);
        picture->setPixmap(pixmap);
        layout->addWidget(picture);
        auto* group = new QGroupBox(QStringLiteral("Settings"), &page);
        auto* inner = new QVBoxLayout(group);
        caption = new QLabel(QStringLiteral("Host Name:"), group);
        field = new QLineEdit(group);
        inner->addWidget(caption);
        inner->addWidget(field);
        layout->addWidget(group);
        // Created bottom first: Tab would go up.
        bottom = new QPushButton(QStringLiteral("Bottom"), &page);
        top = new QPushButton(QStringLiteral("Top"), &page);
        mouseOnly = new QPushButton(QStringLiteral("Mouse only"), &page);
        layout->addWidget(top);
        layout->addWidget(bottom);
        layout->addWidget(mouseOnly);
        placeholder = new QLabel(QStringLiteral("Placeholder"), &page);
        if (faulty) {
            mouseOnly->setFocusPolicy(Qt::NoFocus);
            placeholder->hide();
        } else {
            picture->setAccessibleName(QStringLiteral("Blue square"));
            caption->setBuddy(field);
            QWidget::setTabOrder(top, bottom);
            QWidget::setTabOrder(bottom, mouseOnly);
            layout->addWidget(placeholder);
        }
        page.resize(300, 300);
        page.show();
    }
};

} // namespace

// Every page that exists can be used with a keyboard and by screen readers:
// named controls, nothing hidden left in the tree, Tab in screen order.
class TestAccessibility : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
    }

    void theChecksFindEachFault()
    {
        SamplePage faulty(true);
        const QStringList unnamed = a11y::UnnamedControls(&faulty.page);
        QCOMPARE(unnamed.size(), 3);
        QVERIFY2(unnamed[0].startsWith(QStringLiteral("picture without an accessible name")), qPrintable(unnamed[0]));
        QVERIFY2(unnamed[1].startsWith(QStringLiteral("text field without an accessible name")),
                 qPrintable(unnamed[1]));
        QVERIFY2(unnamed[2].contains(QStringLiteral("caption labels nothing")) && unnamed[2].contains("Host Name:"),
                 qPrintable(unnamed[2]));
        const QStringList hidden = a11y::HiddenWidgets(&faulty.page);
        QCOMPARE(hidden.size(), 1);
        QVERIFY(hidden[0].contains(QStringLiteral("\"Placeholder\"")));
        const QStringList tab = a11y::TabOrderProblems(&faulty.page);
        QCOMPARE(tab.size(), 2);
        QVERIFY2(tab[0].contains(QStringLiteral("from QPushButton \"Bottom\" to QPushButton \"Top\"")),
                 qPrintable(tab[0]));
        QVERIFY2(tab[1].contains(QStringLiteral("Tab never reaches QPushButton \"Mouse only\"")), qPrintable(tab[1]));

        SamplePage sound(false);
        QVERIFY2(a11y::CheckPage(&sound.page).isEmpty(), qPrintable(Lines(a11y::CheckPage(&sound.page))));

        // A value label named by its own text is caught through its caption.
        QWidget values;
        auto* layout = new QVBoxLayout(&values);
        auto* caption = new QLabel(QStringLiteral("Run Status:"), &values);
        auto* value = new QLabel(QStringLiteral("Connected"), &values);
        caption->setBuddy(value);
        layout->addWidget(caption);
        layout->addWidget(value);
        values.show();
        QCOMPARE(a11y::UnnamedControls(&values).size(), 1);
        value->setAccessibleName(QStringLiteral("Run Status"));
        QVERIFY(a11y::UnnamedControls(&values).isEmpty());

        // A control shown on demand may wait hidden; others may not.
        sound.placeholder->hide();
        QCOMPARE(a11y::HiddenWidgets(&sound.page).size(), 1);
        MarkShownOnDemand(sound.placeholder);
        QVERIFY(a11y::HiddenWidgets(&sound.page).isEmpty());

        // Within a group box, the order is the group's own.
        QWidget grouped;
        auto* row = new QHBoxLayout(&grouped);
        auto* left = new QGroupBox(QStringLiteral("Left"), &grouped);
        auto* leftLayout = new QVBoxLayout(left);
        auto* leftTop = new QPushButton(QStringLiteral("Left top"), left);
        auto* leftBottom = new QPushButton(QStringLiteral("Left bottom"), left);
        leftLayout->addWidget(leftTop);
        leftLayout->addSpacing(80);
        leftLayout->addWidget(leftBottom);
        auto* right = new QPushButton(QStringLiteral("Right"), &grouped);
        row->addWidget(left);
        row->addWidget(right);
        grouped.show();
        // "Left bottom" lies below "Right", yet comes before it: the group is one unit.
        QVERIFY(leftBottom->mapTo(&grouped, QPoint()).y() > right->mapTo(&grouped, QPoint()).y());
        QVERIFY2(a11y::TabOrderProblems(&grouped).isEmpty(), qPrintable(Lines(a11y::TabOrderProblems(&grouped))));
        // Tab from inside the group out to "Right" and back in is out of order.
        // (Qt 6.4 ignores setTabOrder from the last widget of the chain, so
        // the order is made from "Left top".)
        QWidget::setTabOrder(leftTop, right);
        const QStringList back = a11y::TabOrderProblems(&grouped);
        QCOMPARE(back.size(), 1);
        QVERIFY2(back[0].contains(QStringLiteral("from QPushButton \"Right\" to QPushButton \"Left bottom\"")),
                 qPrintable(back[0]));
    }

    void theMainWindowWithItsPages()
    {
        test::GuiHooks hooks;
        test::TempDataDir dir;
        auto window = test::OpenWindow(dir);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        // The closed pages go first: they are no longer the window's.
        auto problems = [&window] {
            test::DeleteClosedPages();
            return Lines(a11y::CheckPage(window.get()));
        };
#define CHECK_WINDOW(when)                                                                                     \
    do {                                                                                                       \
        const QString found = problems();                                                                      \
        QVERIFY2(found.isEmpty(), qPrintable(QStringLiteral(when ":\n") + found));                            \
    } while (0)
        CHECK_WINDOW("at start-up");
        // No placeholder is left behind; the pages keep their places.
        QVERIFY(!window->findChild<QWidget*>(ControlName(rid::IDC_WORK_AREA_PLACEHOLDER)));
        QVERIFY(!window->findChild<QWidget*>(ControlName(rid::IDC_MENU_PLACEHOLDER)));
        QCOMPARE(test::PlaceInWindow(window->MenuPageWidget()), QRect(MainWindow::kMenuPagePos, QSize(200, 520)));
        QCOMPARE(test::PlaceInWindow(window->CurrentPage()), QRect(MainWindow::kWorkPagePos, QSize(640, 520)));

        // With every button enabled and the menu rebuilt after the work page:
        // Tab still goes through the menu before the work area.
        AppState& state = window->State();
        state.nameLists.Add(NameList::Connections, "shop");
        state.nameLists.Add(NameList::Backups, "nightly");
        state.nameLists.Add(NameList::Schedules, "hourly");
        state.statisticsOnMenuCreate = false;
        window->ReloadMenu();
        CHECK_WINDOW("after a menu rebuild");
        window->ForcePage(rid::PAGE_STATISTICS);
        CHECK_WINDOW("after a new statistics page");

        // Without the menu picture, and while the automatic-run indicator shows.
        state.config.WriteShowImage(false);
        state.statisticsOnMenuCreate = false;
        window->ReloadMenu();
        QVERIFY(!qobject_cast<MenuPage*>(window->MenuPageWidget())->Picture());
        CHECK_WINDOW("without the menu picture");
        window->SetAutoRunIndicatorVisible(true);
        CHECK_WINDOW("with the indicator shown");
#undef CHECK_WINDOW
        window->SetAutoRunIndicatorVisible(false);

        // Each page on its own as well.
        QVERIFY2(a11y::CheckPage(window->MenuPageWidget()).isEmpty(), qPrintable(Lines(a11y::CheckPage(window->MenuPageWidget()))));
        QVERIFY2(a11y::CheckPage(window->CurrentPage()).isEmpty(),
                 qPrintable(Lines(a11y::CheckPage(window->CurrentPage()))));
    }

    // The run pages (before a run and with the panel in use), the viewer
    // with its file loaded, and the configuration page.
    void theRunPagesTheViewerAndTheConfiguration()
    {
        test::GuiHooks hooks;
        test::TempDataDir dir;
        test::PrepareEarlierRun(dir, [](AppState& state) {
            state.nameLists.Add(NameList::Connections, "shop");
            state.nameLists.Add(NameList::Backups, "nightly");
        });
        test::WriteFile(BackupFilePath(dir.path(), "nightly"), "-- a backup\r\nINSERT INTO `t` VALUES ('1')\r\n");
        auto window = test::OpenWindow(dir);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        auto check = [&window](const char* when) {
            test::DeleteClosedPages();
            const QString found = Lines(a11y::CheckPage(window.get()));
            QVERIFY2(found.isEmpty(), qPrintable(QString::fromLatin1(when) + QStringLiteral(":\n") + found));
        };
        for (int pageId : {rid::PAGE_EXECUTE, rid::PAGE_RESTORE}) {
            window->ShowPage(pageId);
            check(pageId == rid::PAGE_EXECUTE ? "Execute page" : "Database Backups page");
            auto* page = qobject_cast<BackupRunPage*>(window->CurrentPage());
            page->Panel()->RunStarted();
            page->Panel()->SetText(RunField::RunStatus, "Backing up t");
            check(pageId == rid::PAGE_EXECUTE ? "Execute page in a run" : "Database Backups page in a run");
            // The values read with their captions.
            QAccessibleInterface* status = QAccessible::queryAccessibleInterface(page->Panel()->Value(RunField::RunStatus));
            QCOMPARE(status->text(QAccessible::Name), QStringLiteral("Run Status: Backing up t"));
            QCOMPARE(status->text(QAccessible::Value), QStringLiteral("Backing up t"));
            QCOMPARE(QAccessible::queryAccessibleInterface(page->Panel()->Bar(RunBar::Overall))->text(QAccessible::Name),
                     QStringLiteral("Overall Progress"));
        }
        window->State().selectedName = "nightly";
        window->ShowPage(rid::PAGE_VIEWER);
        auto* viewer = qobject_cast<ViewerPage*>(window->CurrentPage());
        QTRY_COMPARE(viewer->StatusText()->text(), QStringLiteral("Load Complete"));
        check("viewer");
        window->ShowPage(rid::PAGE_CONFIGURATION);
        check("configuration page");
    }

    // Every page the menu and the list pages open: the three editors new and
    // editing a stored definition, the three list pages with a row, the run
    // pages, the viewer, the configuration and statistics pages; each page
    // as it first shows, whatever the page before it was.
    void everyPageInEachOfItsModes()
    {
        test::GuiHooks hooks;
        test::TempDataDir dir;
        test::PrepareEarlierRun(dir, [](AppState& state) {
            ConnectionParams nowhere;
            nowhere.host = "127.0.0.1";
            nowhere.port = ConnectionParams::kNoPort;
            nowhere.database = "shop";
            nowhere.user = "clerk";
            nowhere.password = "secret";
            test::DefineConnection(state, "shop", nowhere, "3306");
            test::DefineSchedule(state, "hourly", ScheduleDef::kHourly, "Every Turn of the Hour");
            test::DefineBackup(state, "nightly", "shop", "orders|customers", "hourly");
        });
        test::WriteFile(BackupFilePath(dir.path(), "nightly"), "-- a backup\r\nINSERT INTO `orders` VALUES ('1')\r\n");
        auto window = test::OpenWindow(dir);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        AppState& state = window->State();
        struct Page {
            int id;
            const char* name;
            EditorMode mode = EditorMode::New;
            const char* selected = "";
            int nameField = 0; // an editor's name field, which holds `selected` in Edit mode
        };
        const Page pages[] = {
            {rid::PAGE_CREATE_CONNECTION, "new connection"},
            {rid::PAGE_CREATE_CONNECTION, "connection being edited", EditorMode::Edit, "shop", rid::IDC_CONN_NAME},
            {rid::PAGE_CREATE_BACKUP, "new backup"},
            {rid::PAGE_CREATE_BACKUP, "backup being edited", EditorMode::Edit, "nightly", rid::IDC_BKED_NAME},
            {rid::PAGE_CREATE_SCHEDULE, "new schedule"},
            {rid::PAGE_CREATE_SCHEDULE, "schedule being edited", EditorMode::Edit, "hourly", rid::IDC_SCED_NAME},
            {rid::PAGE_EDIT_CONNECTIONS, "connection list"},
            {rid::PAGE_EDIT_BACKUPS, "backup list"},
            {rid::PAGE_EDIT_SCHEDULES, "schedule list"},
            {rid::PAGE_EXECUTE, "Execute page"},
            {rid::PAGE_RESTORE, "Database Backups page"},
            {rid::PAGE_VIEWER, "viewer", EditorMode::New, "nightly"},
            {rid::PAGE_CONFIGURATION, "configuration page"},
            {rid::PAGE_STATISTICS, "statistics page"},
        };
        for (const Page& page : pages) {
            state.connectionEditorMode = state.backupEditorMode = state.scheduleEditorMode = page.mode;
            state.selectedName = page.selected;
            window->ForcePage(page.id);
            test::DeleteClosedPages();
            if (page.nameField) {
                auto* name = window->CurrentPage()->findChild<QLineEdit*>(ControlName(page.nameField));
                QVERIFY2(name && name->text() == QLatin1String(page.selected), page.name);
            }
            if (auto* viewer = qobject_cast<ViewerPage*>(window->CurrentPage()))
                QTRY_COMPARE(viewer->StatusText()->text(), QStringLiteral("Load Complete"));
            const QString found = Lines(a11y::CheckPage(window.get()) + a11y::CheckPage(window->CurrentPage()));
            QVERIFY2(found.isEmpty(), qPrintable(QString::fromLatin1(page.name) + QStringLiteral(":\n") + found));
        }
    }

    void statisticsValuesAreNamedByTheirCaptions()
    {
        test::GuiHooks hooks;
        test::TempDataDir dir;
        auto window = test::OpenWindow(dir);
        window->show();
        auto* page = qobject_cast<StatisticsPage*>(window->CurrentPage());
        page->ClockTick();
        struct Pair {
            int id;
            const char* name;
            const char* value;
        };
        for (const Pair& pair : {Pair {rid::IDC_STAT_CONNECTIONS, "Total number of Connections", "0"},
                                 Pair {rid::IDC_STAT_BACKUPS, "Total number of Backups", "0"},
                                 Pair {rid::IDC_STAT_SCHEDULES, "Total number of Backup Schedules", "0"},
                                 Pair {rid::IDC_STAT_LAST_NAME, "Last Backup Name", "Unavailable"},
                                 Pair {rid::IDC_STAT_LAST_DT, "Date and Time of Last Backup", "Unavailable"},
                                 Pair {rid::IDC_STAT_LAST_TYPE, "Last Backup Type", "Unavailable"},
                                 Pair {rid::IDC_STAT_REPORTING, "Reporting", "Standard"},
                                 Pair {rid::IDC_STAT_CLEAR_ON_START, "Clear on Startup", "Enabled"},
                                 Pair {rid::IDC_STAT_DIRECTION, "Direction", "Descending"},
                                 Pair {rid::IDC_STAT_TIMESTAMPS, "Timestamps", "Enabled"}}) {
            auto* label = page->findChild<QLabel*>(ControlName(pair.id));
            QVERIFY2(label, pair.name);
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(label);
            QCOMPARE(iface->role(), QAccessible::StaticText);
            QCOMPARE(iface->text(QAccessible::Name), QString::fromLatin1(pair.name) + ": " + pair.value);
            QCOMPARE(iface->text(QAccessible::Value), QString::fromLatin1(pair.value));
            QCOMPARE(iface->text(QAccessible::Description), QString::fromLatin1(pair.value));
        }
        // The clock reads as the current time, whatever it shows.
        auto* clock = page->findChild<QLabel*>(ControlName(rid::IDC_STAT_CLOCK));
        QAccessibleInterface* clockFace = QAccessible::queryAccessibleInterface(clock);
        QCOMPARE(clockFace->text(QAccessible::Name), QStringLiteral("Current Time: ") + clock->text());
        QVERIFY(!clockFace->text(QAccessible::Value).isEmpty());
        QCOMPARE(clockFace->text(QAccessible::Value), clock->text());
        auto* log = page->findChild<QWidget*>(ControlName(rid::IDC_STAT_LOG));
        QCOMPARE(QAccessible::queryAccessibleInterface(log)->text(QAccessible::Name), QStringLiteral("History Log"));
    }

    void messageBoxesAndTheQuickStartScreen()
    {
        for (MessageKind kind : {MessageKind::Error, MessageKind::Alert, MessageKind::YesNo,
                                 MessageKind::SelfClosingAlert}) {
            Messages box(kind, QStringLiteral("Line one\nLine two"));
            box.show();
            const QStringList problems = a11y::CheckPage(&box);
            QVERIFY2(problems.isEmpty(), qPrintable(QString::number(int(kind)) + ":\n" + Lines(problems)));
        }
        test::TempDataDir dir;
        AppState state(dir.path());
        StartUpBeforePages(state);
        QuickStartScreen screen(state);
        screen.show();
        QVERIFY2(a11y::CheckPage(&screen).isEmpty(), qPrintable(Lines(a11y::CheckPage(&screen))));
        auto* picture = screen.findChild<QLabel*>(ControlName(rid::IDC_QUICK_START_PICTURE));
        // What the picture says is there for those who cannot see it.
        QVERIFY(QAccessible::queryAccessibleInterface(picture)
                    ->text(QAccessible::Description)
                    .contains(QStringLiteral("Create a New Connection")));
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
