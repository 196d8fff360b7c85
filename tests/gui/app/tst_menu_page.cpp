#include "GuiTestSupport.h"
#include "gui/app/Art.h"
#include "gui/app/MenuPage.h"
#include "gui/statistics/StatisticsPage.h"
#include "resources/ResourceIds.h"
#include "core/store/Definitions.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <map>

namespace {

const std::vector<int> kAllButtons = {rid::IDC_MENU_STATISTICS,        rid::IDC_MENU_EXECUTE,
                                      rid::IDC_MENU_CREATE_CONNECTION, rid::IDC_MENU_CREATE_BACKUP,
                                      rid::IDC_MENU_CREATE_SCHEDULE,   rid::IDC_MENU_EDIT_CONNECTIONS,
                                      rid::IDC_MENU_EDIT_BACKUPS,      rid::IDC_MENU_EDIT_SCHEDULES,
                                      rid::IDC_MENU_RESTORE,           rid::IDC_MENU_CONFIGURATION};

MenuPage* Menu(MainWindow& window)
{
    return qobject_cast<MenuPage*>(window.MenuPageWidget());
}

// The ids of the enabled buttons, in screen order.
std::vector<int> Enabled(MainWindow& window)
{
    std::vector<int> ids;
    for (int id : kAllButtons)
        if (Menu(window)->Button(id)->isEnabled())
            ids.push_back(id);
    return ids;
}

const char* const kTerminateQuestion = "A Backup is Currently Running.\r\n\r\nDo you wish to terminate it?";

} // namespace

class TestMenuPage : public QObject {
    Q_OBJECT

private slots:
    void buttonsInOrderWithTheirTexts()
    {
        test::GuiHooks hooks;
        test::TempDataDir dir;
        auto window = test::OpenWindow(dir);
        window->show();
        const QStringList texts = {"Backup Statistics",           "Execute a Backup",        "Create a New Connection",
                                   "Create a New Backup",         "Create a New Schedule",   "Edit an Existing Connection",
                                   "Edit an Existing Backup",     "Edit an Existing Schedule", "Database Backups",
                                   "Configuration"};
        int lastY = -1;
        for (size_t i = 0; i < kAllButtons.size(); ++i) {
            QPushButton* button = Menu(*window)->Button(kAllButtons[i]);
            QCOMPARE(button->objectName(), ControlName(kAllButtons[i]));
            QCOMPARE(button->text(), texts[int(i)]);
            QVERIFY(button->y() > lastY);
            lastY = button->y();
            // The whole text fits on the button.
            QVERIFY2(button->sizeHint().width() <= button->width(), qPrintable(button->text()));
        }
        QVERIFY(Menu(*window)->Picture()->y() > lastY);
    }

    // The picture stays whole and inside the menu: at its own size with the
    // usual font, scaled down (not cut off) when a larger font leaves less room.
    void thePictureFitsBelowTheButtons()
    {
        test::GuiHooks hooks;
        const QFont usual = QApplication::font();
        for (qreal factor : {1.0, 1.6}) {
            QFont font = usual;
            font.setPointSizeF(usual.pointSizeF() * factor);
            QApplication::setFont(font);
            test::TempDataDir dir;
            auto window = test::OpenWindow(dir);
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window.get()));
            QLabel* picture = Menu(*window)->Picture();
            QWidget* group = picture->parentWidget();
            const QRect inside = group->contentsRect();
            QVERIFY2(inside.contains(picture->geometry()), qPrintable(QString::number(factor)));
            QVERIFY(picture->y() > Menu(*window)->Button(rid::IDC_MENU_CONFIGURATION)->geometry().bottom());
            const QSizeF shown = picture->pixmap().deviceIndependentSize();
            QVERIFY2(shown.height() <= picture->contentsRect().height() && shown.width() <= picture->contentsRect().width(),
                     qPrintable(QString::number(factor)));
            QVERIFY(shown.height() > 20);
            if (factor == 1.0)
                QCOMPARE(shown.toSize(), Bitmap(rid::IDB_MENU_PICTURE).deviceIndependentSize().toSize());
        }
        QApplication::setFont(usual);
    }

    void enablingFollowsTheDefinitions()
    {
        test::GuiHooks hooks;
        test::TempDataDir dir;
        auto window = test::OpenWindow(dir);
        AppState& state = window->State();
        // A fresh installation.
        QCOMPARE(Enabled(*window), std::vector<int>({rid::IDC_MENU_STATISTICS, rid::IDC_MENU_CREATE_CONNECTION,
                                                     rid::IDC_MENU_CONFIGURATION}));
        QVERIFY(Menu(*window)->Picture() && !Menu(*window)->Picture()->isHidden());

        // The first connection: backups and schedules can be made now.
        state.nameLists.Add(NameList::Connections, "shop");
        state.statisticsOnMenuCreate = false;
        window->ReloadMenu();
        QCOMPARE(Enabled(*window),
                 std::vector<int>({rid::IDC_MENU_STATISTICS, rid::IDC_MENU_CREATE_CONNECTION,
                                   rid::IDC_MENU_CREATE_BACKUP, rid::IDC_MENU_CREATE_SCHEDULE,
                                   rid::IDC_MENU_EDIT_CONNECTIONS, rid::IDC_MENU_CONFIGURATION}));

        state.nameLists.Add(NameList::Backups, "nightly");
        window->ReloadMenu();
        QCOMPARE(Enabled(*window).size(), size_t(9));
        QVERIFY(!Menu(*window)->Button(rid::IDC_MENU_EDIT_SCHEDULES)->isEnabled());

        state.nameLists.Add(NameList::Schedules, "hourly");
        state.config.WriteShowImage(false);
        window->ReloadMenu();
        QCOMPARE(Enabled(*window), kAllButtons);
        // Not shown, so not created.
        QVERIFY(!Menu(*window)->Picture());
    }

    void theRunningBackupIsProtected()
    {
        test::GuiHooks hooks;
        test::TempDataDir dir;
        auto window = test::OpenWindow(dir);
        AppState& state = window->State();
        QPointer<QWidget> statistics = window->CurrentPage();
        state.backupRunning = true;

        // No: nothing changes, the run goes on.
        MessageHook::SetNextAnswer(0);
        Menu(*window)->Button(rid::IDC_MENU_CREATE_CONNECTION)->click();
        QCOMPARE(test::AskedTexts(), std::vector<std::string>({kTerminateQuestion}));
        QCOMPARE(MessageHook::Requests()[0].kind, MessageKind::YesNo);
        QVERIFY(state.backupRunning);
        QCOMPARE(window->CurrentPage(), statistics.data());
        QCOMPARE(state.currentPageId, rid::PAGE_STATISTICS);
        QVERIFY(state.connectionEditorMode == EditorMode::None);

        QVERIFY(!state.backupCancelRequested);
        // The page already on show: still asked first, then nothing visible.
        MessageHook::SetNextAnswer(1);
        Menu(*window)->Button(rid::IDC_MENU_STATISTICS)->click();
        QCOMPARE(MessageHook::Requests().size(), size_t(2));
        // Yes asks the run to stop; it holds its flag until it has returned.
        QVERIFY(state.backupCancelRequested);
        QVERIFY(state.backupRunning);
        QCOMPARE(window->CurrentPage(), statistics.data());

        // Yes stops the run and switches pages; creating starts in "NEW" mode.
        state.backupCancelRequested = false;
        MessageHook::SetNextAnswer(1);
        Menu(*window)->Button(rid::IDC_MENU_CREATE_CONNECTION)->click();
        QVERIFY(state.backupCancelRequested);
        QVERIFY(state.connectionEditorMode == EditorMode::New);
        QCOMPARE(state.currentPageId, rid::PAGE_CREATE_CONNECTION);
        QVERIFY(statistics->isHidden());

        // Without a run no question is asked.
        state.backupRunning = false; // the run has returned
        state.nameLists.Add(NameList::Connections, "shop");
        window->ReloadMenu();
        Menu(*window)->Button(rid::IDC_MENU_CREATE_BACKUP)->click();
        Menu(*window)->Button(rid::IDC_MENU_CREATE_SCHEDULE)->click();
        QVERIFY(state.backupEditorMode == EditorMode::New);
        QVERIFY(state.scheduleEditorMode == EditorMode::New);
        QCOMPARE(state.currentPageId, rid::PAGE_CREATE_SCHEDULE);
        QCOMPARE(MessageHook::Requests().size(), size_t(3));
    }

    void editingConnectionsNeedsOne()
    {
        test::GuiHooks hooks;
        test::TempDataDir dir;
        test::PrepareEarlierRun(dir,
                                [](AppState& state) { state.nameLists.Add(NameList::Connections, "shop"); });
        auto window = test::OpenWindow(dir);
        AppState& state = window->State();
        QPushButton* edit = Menu(*window)->Button(rid::IDC_MENU_EDIT_CONNECTIONS);
        QVERIFY(edit->isEnabled());

        // The last connection went after the menu was built.
        ConnectionDef::Delete(state.store, state.nameLists, "shop");
        state.backupRunning = true;
        edit->click();
        QCOMPARE(test::AskedTexts(),
                 std::vector<std::string>({"You must first\nCreate a New Connection.\n\nUse the \n\"Create a New "
                                           "Connection\"\nOption on the left."}));
        QCOMPARE(MessageHook::Requests()[0].kind, MessageKind::Alert);
        // The running backup is not even asked about.
        QVERIFY(state.backupRunning);
        QCOMPARE(state.currentPageId, rid::PAGE_STATISTICS);

        state.backupRunning = false;
        state.nameLists.Add(NameList::Connections, "blog");
        edit->click();
        QCOMPARE(state.currentPageId, rid::PAGE_EDIT_CONNECTIONS);
        QCOMPARE(MessageHook::Requests().size(), size_t(1));
    }
};

QTEST_MAIN(TestMenuPage)
#include "tst_menu_page.moc"
