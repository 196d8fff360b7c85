#include "GuiTestSupport.h"
#include "gui/app/MenuPage.h"
#include "gui/app/Help.h"
#include "gui/app/HelpWindow.h"
#include "gui/app/PageTable.h"
#include "gui/app/WindowRaiser.h"
#include "gui/statistics/StatisticsPage.h"
#include "resources/ResourceIds.h"
#include "core/store/StoreKeys.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include "gui/widgets/PageArea.h"
#include <QLayout>
#include <QScrollArea>
#include <QScrollBar>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

namespace {

int CountOf(const std::string& text, const std::string& part)
{
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

// A page of the test's own, to see what the host does with pages it hosts.
// A page id that no page has.
constexpr int kNoPage = 4999;

class PlainPage : public QWidget {
public:
    PlainPage(AppState&, PageHost&, QWidget* parent)
        : QWidget(parent)
    {
        ++built;
    }
    static inline int built = 0;
};

} // namespace

// The main window: start-up, the page host, the tray and the help links.
class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
    }

    void init()
    {
        MainWindow::TrayAvailable() = [] { return true; };
        SetUrlOpener({});
    }

    void startUpBuildsTheWindowInOrder()
    {
        test::GuiHooks hooks;
        test::TempDataDir dir;
        test::WriteFile(dir.file("vorda_history.log"), "0|Mon, Dec 07, 2026 - 02:14:39 AM|from an old run\r\n");
        const std::time_t before = std::time(nullptr);
        auto window = test::OpenWindow(dir);
        // Shown: the page areas place their pages once the window is on screen.
        window->show();
        const std::time_t after = std::time(nullptr);
        AppState& state = window->State();

        QCOMPARE(window->windowTitle(), QStringLiteral("Vorda - Quendal System - Version: 2.1.2.4"));
        QVERIFY(!window->windowIcon().isNull());
        QVERIFY(state.messagesEnabled);
        QVERIFY(!IsFirstStart(state.store));
        // The first run starts with an empty log, then records the start.
        const std::string log = test::ReadFile(dir.file("vorda_history.log"));
        QVERIFY2(log.starts_with("1|") && log.ends_with("|Vorda System Started\r\n") && CountOf(log, "\r\n") == 1,
                 log.c_str());

        auto* menu = qobject_cast<MenuPage*>(window->MenuPageWidget());
        QVERIFY(menu);
        QCOMPARE(test::PlaceInWindow(menu).topLeft(), MainWindow::kMenuPagePos);
        QCOMPARE(state.currentPageId, rid::PAGE_STATISTICS);
        auto* statistics = qobject_cast<StatisticsPage*>(window->CurrentPage());
        QVERIFY(statistics);
        QCOMPARE(test::PlaceInWindow(statistics), QRect(MainWindow::kWorkPagePos, window->WorkAreaRect().size()));
        QVERIFY(window->WorkAreaRect().width() >= 610);
        // The pages' places are fixed; no placeholder controls stay behind.
        QVERIFY(!window->findChild<QWidget*>(ControlName(rid::IDC_WORK_AREA_PLACEHOLDER)));
        QVERIFY(!window->findChild<QWidget*>(ControlName(rid::IDC_MENU_PLACEHOLDER)));

        // Pages lie inside the window and do not overlap.
        QVERIFY(window->rect().contains(test::PlaceInWindow(menu)));
        QVERIFY(window->rect().contains(test::PlaceInWindow(statistics)));
        QVERIFY(!test::PlaceInWindow(menu).intersects(test::PlaceInWindow(statistics)));
        for (int id : {rid::IDC_BANNER, rid::IDC_HELP, rid::IDC_HOME, rid::IDC_AUTO_RUN_INDICATOR}) {
            auto* control = window->findChild<QWidget*>(ControlName(id));
            QVERIFY2(control, qPrintable(ControlName(id)));
            QVERIFY(window->rect().contains(control->geometry()));
            QVERIFY(!control->geometry().intersects(test::PlaceInWindow(menu)));
            QVERIFY(!control->geometry().intersects(test::PlaceInWindow(statistics)));
        }
        QCOMPARE(window->findChild<QPushButton*>(ControlName(rid::IDC_HELP))->text(), QStringLiteral("Help"));
        QCOMPARE(window->findChild<QPushButton*>(ControlName(rid::IDC_HOME))->text(), QStringLiteral("Home"));

        // The indicator waits hidden for the scheduler, which can show it.
        QLabel* indicator = window->AutoRunIndicator();
        QVERIFY(!indicator->isVisibleTo(window.get()));
        QVERIFY(!indicator->pixmap().isNull());
        window->SetAutoRunIndicatorVisible(true);
        QVERIFY(indicator->isVisibleTo(window.get()));
        window->SetAutoRunIndicatorVisible(false);

        // Timer 6000 is armed for the next quarter hour.
        QVERIFY(window->ScheduleTimer()->isActive());
        QVERIFY(window->ScheduleTimer()->isSingleShot());
        bool armedForTheQuarterHour = false;
        for (std::time_t t = before; t <= after; ++t)
            armedForTheQuarterHour |= window->ScheduleTimer()->interval() == QuarterHourDelayMs(t);
        QVERIFY(armedForTheQuarterHour);
        QVERIFY(!window->StartMinimisedTimer()->isActive());
        QSignalSpy ticks(window.get(), &MainWindow::scheduleTick);
        window->ScheduleTimer()->setInterval(1);
        QTRY_COMPARE(ticks.count(), 1);
        QVERIFY(window->ScheduleTimer()->isActive()); // re-armed
        QVERIFY(window->ScheduleTimer()->interval() > 1);

        window.reset();
        QVERIFY(test::ReadFile(dir.file("vorda_history.log")).ends_with("|Vorda Software Exited\r\n"));
    }

    void pageRequestsBuildFreshPages()
    {
        test::GuiHooks hooks;
        test::TempDataDir dir;
        auto window = test::OpenWindow(dir);
        // Shown: the page areas place their pages once the window is on screen.
        window->show();
        AppState& state = window->State();
        QPointer<QWidget> first = window->CurrentPage();

        // The page on show is not rebuilt...
        window->ShowPage(rid::PAGE_STATISTICS);
        QCOMPARE(window->CurrentPage(), first.data());
        // ...unless currentPageId was cleared: a forced request.
        state.currentPageId = 0;
        window->ShowPage(rid::PAGE_STATISTICS);
        QPointer<QWidget> second = window->CurrentPage();
        QVERIFY(second && second != first);
        QVERIFY(first->isHidden());
        test::DeleteClosedPages();
        QVERIFY(!first);
        QCOMPARE(state.currentPageId, rid::PAGE_STATISTICS);
        // ForcePage is that forced request.
        window->ForcePage(rid::PAGE_STATISTICS);
        QVERIFY(window->CurrentPage() && window->CurrentPage() != second.data());
        QCOMPARE(state.currentPageId, rid::PAGE_STATISTICS);
        second = window->CurrentPage();

        // An id without a page closes the current page and shows nothing.
        window->ShowPage(kNoPage);
        QVERIFY(!window->CurrentPage());
        QCOMPARE(state.currentPageId, kNoPage);
        test::DeleteClosedPages();
        QVERIFY(!second);
        window->ShowPage(kNoPage);
        QVERIFY(!window->CurrentPage());

        // The viewer's flag is set for the viewer and cleared by any request.
        PlainPage::built = 0;
        const PageFactory viewer = *FindPage(rid::PAGE_VIEWER);
        RegisterPage(rid::PAGE_VIEWER, PageOf<PlainPage>());
        window->ShowPage(rid::PAGE_VIEWER);
        QCOMPARE(PlainPage::built, 1);
        QVERIFY(state.viewerActive);
        QCOMPARE(test::PlaceInWindow(window->CurrentPage()).topLeft(), MainWindow::kWorkPagePos);
        window->ShowPage(rid::PAGE_STATISTICS);
        QVERIFY(!state.viewerActive);
        UnregisterPage(rid::PAGE_VIEWER);
        window->ShowPage(rid::PAGE_VIEWER);
        QVERIFY(!window->CurrentPage());
        RegisterPage(rid::PAGE_VIEWER, viewer);

        // Resetting the settings reopens the configuration page; currentPageId
        // stays.
        window->ShowPage(rid::PAGE_STATISTICS);
        window->ShowConfiguration();
        QVERIFY(window->CurrentPage() && window->CurrentPage()->objectName() == QStringLiteral("IDD_143"));
        QCOMPARE(state.currentPageId, rid::PAGE_STATISTICS);
    }

    void menuRebuildKeepsOrShowsTheStatistics()
    {
        test::GuiHooks hooks;
        test::TempDataDir dir;
        auto window = test::OpenWindow(dir);
        // Shown: the page areas place their pages once the window is on screen.
        window->show();
        AppState& state = window->State();
        QPointer<QWidget> menu = window->MenuPageWidget();
        QPointer<QWidget> work = window->CurrentPage();

        // An editor saved a definition: the menu is rebuilt, the work area stays.
        state.statisticsOnMenuCreate = false;
        window->ReloadMenu();
        QVERIFY(window->MenuPageWidget() && window->MenuPageWidget() != menu.data());
        QCOMPARE(test::PlaceInWindow(window->MenuPageWidget()).topLeft(), MainWindow::kMenuPagePos);
        QCOMPARE(window->CurrentPage(), work.data());
        QVERIFY(state.statisticsOnMenuCreate);
        test::DeleteClosedPages();
        QVERIFY(!menu);

        // Without the flag cleared, a rebuilt menu brings the statistics page.
        window->ShowPage(kNoPage);
        QVERIFY(!window->CurrentPage());
        window->ReloadMenu();
        QVERIFY(qobject_cast<StatisticsPage*>(window->CurrentPage()));
        QCOMPARE(state.currentPageId, rid::PAGE_STATISTICS);

        // The run of the program records its start only once.
        QCOMPARE(CountOf(test::ReadFile(dir.file("vorda_history.log")), "Vorda System Started"), 1);
    }

    void aBusyPageOutlivesItsClosing()
    {
        test::GuiHooks hooks;
        test::TempDataDir dir;
        auto window = test::OpenWindow(dir);
        QPointer<QWidget> page = window->CurrentPage();
        {
            PageBusy busy(page);
            // As if the menu page switched pages while this page's run pumps.
            window->ShowPage(kNoPage);
            QVERIFY(busy.PageClosed());
            QVERIFY(page->isHidden());
            test::DeleteClosedPages();
            QVERIFY(page); // still there for the handler that runs on it
            QVERIFY(!qobject_cast<StatisticsPage*>(page.data())->ClockTimer()->isActive());
        }
        test::DeleteClosedPages();
        QVERIFY(!page);

        // RunWhileOpen holds the page busy the same way and tells whether it
        // is still open afterwards.
        window->ShowPage(rid::PAGE_STATISTICS);
        QPointer<QWidget> next = window->CurrentPage();
        QVERIFY(next);
        QVERIFY(RunWhileOpen(next, [] {}));
        QVERIFY(!RunWhileOpen(next, [&] {
            window->ShowPage(kNoPage);
            test::DeleteClosedPages();
            QVERIFY(next);
        }));
        test::DeleteClosedPages();
        QVERIFY(!next);
    }

    void trayHidesTheWindowAndSuppressesMessages()
    {
        test::GuiHooks hooks;
        test::TempDataDir dir;
        auto window = test::OpenWindow(dir);
        AppState& state = window->State();
        window->show();

        QVERIFY(window->MinimizeToTray());
        QVERIFY(window->isHidden());
        QVERIFY(!state.messagesEnabled);
        QSystemTrayIcon* tray = window->TrayIcon();
        QVERIFY(tray);
        QCOMPARE(tray->toolTip(), QStringLiteral("Vorda Quendal System"));
        QVERIFY(!tray->icon().isNull());
        QStringList items;
        for (QAction* action : tray->contextMenu()->actions())
            items << (action->isSeparator() ? QStringLiteral("-") : action->text());
        QCOMPARE(items, QStringList({"Maximize Vorda", "-", "Vorda Products", "Downloads Area", "Customer Support",
                                     "Check for Updates", "-", "Exit Vorda"}));

        // In the tray every question is answered No without being shown.
        MessageHook::SetNextAnswer(1);
        QCOMPARE(ShowMessage(MessageKind::YesNo, "Really?", "Yes", "No"), 0);
        QCOMPARE(ShowMessage(MessageKind::Error, "Broken."), 0);
        QCOMPARE(MessageHook::Requests().size(), size_t(2));
        QVERIFY(MessageHook::Requests()[0].suppressed && MessageHook::Requests()[1].suppressed);

        // A right click only opens the menu; a left click brings the window back.
        emit tray->activated(QSystemTrayIcon::Context);
        QVERIFY(window->InTray());
        state.log.logChanged = false;
        emit tray->activated(QSystemTrayIcon::Trigger);
        QVERIFY(!window->InTray());
        QVERIFY(window->isVisible());
        QVERIFY(state.messagesEnabled);
        // The statistics page renders now and again two seconds later.
        QVERIFY(state.log.logChanged);
        QVERIFY(state.delayedRefreshRequested);
        // The answer prepared before is still there for the next question.
        QCOMPARE(ShowMessage(MessageKind::YesNo, "Really?", "Yes", "No"), 1);

        // Minimising always goes to the tray.
        window->showMinimized();
        QTRY_VERIFY(window->InTray());
        QVERIFY(window->isHidden());
        window->TrayMenu()->findChild<QAction*>(ControlName(rid::ID_TRAY_MAXIMIZE))->trigger();
        QVERIFY(!window->InTray());
        QVERIFY(window->isVisible() && !window->isMinimized());
    }

    void closeBoxFollowsTheSetting()
    {
        test::GuiHooks hooks;
        test::TempDataDir dir;
        auto window = test::OpenWindow(dir);
        AppState& state = window->State();
        QSignalSpy quit(window.get(), &MainWindow::quitRequested);
        window->show();

        QVERIFY(state.settings().minClose); // the default
        window->OnCloseBox();
        QVERIFY(window->InTray());
        QCOMPARE(quit.count(), 0);
        window->RestoreFromTray();

        state.config.WriteMinClose(false);
        window->OnCloseBox();
        QCOMPARE(quit.count(), 1);
        QVERIFY(!window->InTray());

        // A close from inside the program (quitting) is never turned into the tray.
        test::TempDataDir other;
        auto second = test::OpenWindow(other);
        second->show();
        QVERIFY(second->State().settings().minClose);
        second->State().restoreRunning = true;
        QVERIFY(second->close());
        QVERIFY(!second->InTray());
        QVERIFY(second->State().restoreCancelRequested);
        QVERIFY(!second->State().backupCancelRequested);
    }

    void exitFromTheTrayMenuEndsTheProgram()
    {
        test::GuiHooks hooks;
        test::TempDataDir dir;
        auto window = test::OpenWindow(dir);
        QSignalSpy quit(window.get(), &MainWindow::quitRequested);
        QVERIFY(window->MinimizeToTray());
        // A backup running in the tray stops at its next check.
        window->State().backupRunning = true;
        window->TrayMenu()->findChild<QAction*>(ControlName(rid::ID_TRAY_EXIT))->trigger();
        QCOMPARE(quit.count(), 1);
        QVERIFY(!window->InTray()); // no icon left behind
        QVERIFY(window->State().backupCancelRequested);
        QVERIFY(window->State().sequenceStopRequested); // a scheduled sequence stops whole
        QVERIFY(!window->State().messagesEnabled);
        window.reset();
        QVERIFY(test::ReadFile(dir.file("vorda_history.log")).ends_with("|Vorda Software Exited\r\n"));
    }

    // A second start on the same data folder asks the running window to
    // show itself: out of the tray, or back from the taskbar. Where nothing
    // answers, the asking start learns so in good time (and shows its
    // alert). A data folder too deep for a socket path is served as well.
    void aSecondStartRaisesTheRunningWindow()
    {
        test::GuiHooks hooks;
        test::TempDataDir dir;
        auto window = test::OpenWindow(dir);
        WindowRaiser raiser;
        connect(&raiser, &WindowRaiser::showRequested, window.get(), &MainWindow::ShowFromElsewhere);
        QVERIFY(raiser.Listen(dir.path()));
        QVERIFY(window->MinimizeToTray());
        QVERIFY(WindowRaiser::AskRunningCopyToShow(dir.path()));
        QVERIFY(!window->InTray());
        QVERIFY(window->isVisible() && !window->isMinimized());
        QVERIFY(window->State().messagesEnabled);
        MainWindow::TrayAvailable() = [] { return false; };
        window->MinimizeToTray();
        QVERIFY(window->isMinimized());
        QVERIFY(WindowRaiser::AskRunningCopyToShow(dir.path()));
        QVERIFY(!window->isMinimized());

        const std::string deep = dir.path() + std::string(120, 'd') + "/";
        bool abstract = false;
        WindowRaiser::SocketName(deep, &abstract);
        QVERIFY(abstract);
        WindowRaiser far;
        int asked = 0;
        connect(&far, &WindowRaiser::showRequested, this, [&asked] { ++asked; });
        QVERIFY(far.Listen(deep));
        QVERIFY(WindowRaiser::AskRunningCopyToShow(deep));
        QCOMPARE(asked, 1);

        test::TempDataDir silent;
        QElapsedTimer waited;
        waited.start();
        QVERIFY(!WindowRaiser::AskRunningCopyToShow(silent.path(), 600));
        QVERIFY(waited.elapsed() < 3000);
    }

    void withoutATrayTheWindowIsMinimisedNormally()
    {
        test::GuiHooks hooks;
        MainWindow::TrayAvailable() = [] { return false; };
        test::TempDataDir dir;
        auto window = test::OpenWindow(dir);
        window->show();
        QVERIFY(!window->MinimizeToTray());
        QVERIFY(!window->InTray());
        QVERIFY(!window->isHidden());
        QVERIFY(window->isMinimized());
        QVERIFY(window->State().messagesEnabled);
    }

    // Without a tray the close box quits, whatever the setting: minimising
    // would leave no way to quit from the window. A run going asks first,
    // and No keeps the program and the run.
    void withoutATrayTheCloseBoxQuits()
    {
        test::GuiHooks hooks;
        MainWindow::TrayAvailable() = [] { return false; };
        struct Case {
            const char* name;
            bool backup;
            bool restore;
            int answer; // 0: no question is asked
            const char* question;
        };
        const char* const backupQuestion = "A Backup is Currently Running.\r\n\r\nDo you wish to terminate it?";
        const char* const restoreQuestion = "A Restore is Currently Running.\r\n\r\nDo you wish to terminate it?";
        for (const Case& c : {Case {"idle", false, false, 0, nullptr}, Case {"backup, No", true, false, 2, backupQuestion},
                              Case {"backup, Yes", true, false, 1, backupQuestion},
                              Case {"restore, No", false, true, 2, restoreQuestion},
                              Case {"restore, Yes", false, true, 1, restoreQuestion}}) {
            MessageHook::Reset();
            test::TempDataDir dir;
            auto window = test::OpenWindow(dir);
            AppState& state = window->State();
            QVERIFY(state.settings().minClose);
            QSignalSpy quit(window.get(), &MainWindow::quitRequested);
            window->show();
            state.backupRunning = c.backup;
            state.restoreRunning = c.restore;
            if (c.answer)
                MessageHook::SetNextAnswer(c.answer);
            window->OnCloseBox();
            const bool quits = c.answer != 2;
            QVERIFY2(quit.count() == (quits ? 1 : 0), c.name);
            QVERIFY2(!window->isMinimized() && !window->InTray(), c.name);
            QVERIFY2(test::AskedTexts() == (c.question ? std::vector<std::string> {c.question} : std::vector<std::string> {}),
                     c.name);
            QVERIFY2(state.backupCancelRequested == (c.backup && quits), c.name);
            QVERIFY2(state.restoreCancelRequested == (c.restore && quits), c.name);
            state.backupRunning = state.restoreRunning = false;
        }
        MainWindow::TrayAvailable() = [] { return true; };
    }

    // The window shrinks to what a 1366x768 screen at 125 % leaves and no
    // further; the page areas grow and shrink with it, and a page never gets
    // less room than its own minimum: its area scrolls instead. The size is
    // stored and the next start opens at it.
    void theWindowResizesScrollsAndRemembersItsSize()
    {
        test::GuiHooks hooks;
        test::TempDataDir dir;
        test::PrepareEarlierRun(dir);
        const int pages[] = {rid::PAGE_STATISTICS, rid::PAGE_EXECUTE, rid::PAGE_RESTORE, rid::PAGE_CREATE_CONNECTION,
                             rid::PAGE_CREATE_BACKUP, rid::PAGE_CREATE_SCHEDULE, rid::PAGE_CONFIGURATION};
        struct Size {
            QSize asked;
            QSize got;
        };
        for (const Size& size : {Size {{600, 400}, {MainWindow::kMinWidth, MainWindow::kMinHeight}},
                                 Size {{MainWindow::kWidth, MainWindow::kHeight}, {MainWindow::kWidth, MainWindow::kHeight}},
                                 Size {{1092, 614}, {1092, 614}}, Size {{1280, 900}, {1280, 900}}}) {
            auto window = test::OpenWindow(dir);
            window->show();
            window->resize(size.asked);
            QCOMPARE(window->size(), size.got);
            const QString at = QStringLiteral("%1x%2").arg(size.got.width()).arg(size.got.height());
            const QRect work = window->WorkAreaRect();
            QCOMPARE(work, QRect(MainWindow::kWorkPagePos, size.got - QSize(260, 120)));
            QCOMPARE(window->MenuAreaRect().height(), work.height());
            for (int id : pages) {
                window->ForcePage(id);
                QApplication::processEvents();
                QWidget* page = window->CurrentPage();
                const QString where = at + QStringLiteral(" ") + page->objectName();
                QVERIFY2(page->width() >= page->minimumSizeHint().width(), qPrintable(where));
                // (Texts that wrap need less height the wider the page is.)
                QLayout* layout = page->layout();
                QVERIFY2(page->height()
                             >= (layout->hasHeightForWidth() ? layout->minimumHeightForWidth(page->width())
                                                             : page->minimumSizeHint().height()),
                         qPrintable(where));
                // At the size of the first start nothing scrolls.
                if (size.got == QSize(MainWindow::kWidth, MainWindow::kHeight))
                    QVERIFY2(!window->WorkArea()->verticalScrollBar()->isVisible()
                                 && !window->WorkArea()->horizontalScrollBar()->isVisible(),
                             qPrintable(where));
                // Where the area has room, the page fills it.
                QVERIFY2(page->width() >= window->WorkArea()->viewport()->width(), qPrintable(where));
                QVERIFY2(page->height() >= window->WorkArea()->viewport()->height(), qPrintable(where));
                // The editors' name rule is shown whole, inside its group.
                for (int hintId : {rid::IDC_CONN_NAME_HINT, rid::IDC_BKED_NAME_HINT, rid::IDC_SCED_NAME_HINT}) {
                    auto* hint = page->findChild<QLabel*>(ControlName(hintId));
                    if (!hint)
                        continue;
                    QVERIFY2(hint->width() >= hint->sizeHint().width(), qPrintable(where));
                    const QRect inGroup(hint->mapTo(hint->parentWidget(), QPoint(0, 0)), hint->size());
                    QVERIFY2(hint->parentWidget()->contentsRect().contains(inGroup), qPrintable(where));
                }
            }
            QWidget* menu = window->MenuPageWidget();
            QVERIFY2(menu->height() >= menu->minimumSizeHint().height(), qPrintable(at));
            // Closing stores the size at once.
            QVERIFY(window->close());
            window.reset();
            auto again = test::OpenWindow(dir);
            QCOMPARE(again->size(), size.got);
        }
    }

    void startMinimisedGoesToTheTrayOnce()
    {
        test::GuiHooks hooks;
        test::TempDataDir dir;
        test::PrepareEarlierRun(dir, [](AppState& state) { state.config.WriteStartMin(true); });
        auto window = test::OpenWindow(dir);
        AppState& state = window->State();
        window->show();
        QVERIFY(state.startedMinimised);
        QVERIFY(window->StartMinimisedTimer()->isActive());
        QTRY_VERIFY(window->InTray());
        QVERIFY(window->isHidden());
        // Switched off for this run only.
        QVERIFY(!state.settings().startMin);
        QCOMPARE(state.store.GetValue(keys::kConfigurationTable, keys::kStartMin), std::string("TRUE"));
        // A run started in the tray never raises the quick start screen.
        auto* statistics = qobject_cast<StatisticsPage*>(window->CurrentPage());
        statistics->ClockTick();
        QCOMPARE(QuickStartHook::Count(), 0);
        QVERIFY(!state.quickStartPending);
    }

    void startMinimisedWaitsForATray()
    {
        test::GuiHooks hooks;
        bool trayThere = false;
        MainWindow::TrayAvailable() = [&trayThere] { return trayThere; };
        test::TempDataDir dir;
        test::PrepareEarlierRun(dir, [](AppState& state) { state.config.WriteStartMin(true); });
        auto window = test::OpenWindow(dir);
        window->show();
        QTRY_VERIFY(window->isMinimized());
        QVERIFY(!window->InTray());
        // Tried again every second while no tray exists.
        QVERIFY(window->StartMinimisedTimer()->isActive());
        QCOMPARE(window->StartMinimisedTimer()->interval(), 1000);
        trayThere = true;
        window->StartMinimisedTimer()->start(1);
        QTRY_VERIFY(window->InTray());
        QVERIFY(!window->State().settings().startMin);
    }

    void helpAndMakerLinksOpenVordasOwnHelp()
    {
        test::GuiHooks hooks;
        test::TempDataDir dir;
        auto window = test::OpenWindow(dir);
        // A machine without a web browser: nothing takes an address.
        QList<QUrl> opened;
        SetUrlOpener([&opened](const QUrl& url) {
            opened << url;
            return false;
        });
        QStringList shown;
        auto showing = [&shown] {
            HelpWindow* help = HelpWindow::Existing();
            shown << (help && help->isVisible() ? help->Browser()->source().toString() : QStringLiteral("nothing"));
        };
        window->findChild<QPushButton*>(ControlName(rid::IDC_HELP))->click();
        showing();
        HelpWindow* first = HelpWindow::Existing();
        window->findChild<QPushButton*>(ControlName(rid::IDC_HOME))->click();
        showing();
        for (int id : {rid::ID_TRAY_PRODUCTS, rid::ID_TRAY_DOWNLOADS, rid::ID_TRAY_SUPPORT, rid::ID_TRAY_UPDATES}) {
            window->TrayMenu()->findChild<QAction*>(ControlName(id))->trigger();
            showing();
        }
        const QString root = QStringLiteral("qrc:/vorda/help/");
        QCOMPARE(shown, (QStringList {root + "index.html", root + "index.html#welcome", root + "index.html#about",
                                      root + "getting-started.html#installing", root + "index.html#support",
                                      root + "getting-started.html#updates"}));
        // One window served them all, beside the main window, and neither a
        // browser nor a message box was needed.
        QCOMPARE(HelpWindow::Existing(), first);
        QVERIFY(!first->isModal() && !QApplication::activeModalWidget());
        QVERIFY(opened.isEmpty());
        QVERIFY(MessageHook::Requests().empty());
        // It goes with the program's window.
        window.reset();
        QVERIFY(!HelpWindow::Existing());
    }

    void everyHelpLinkLeadsToAPageAndSection()
    {
        // Every page of docs/help is compiled into the program.
        const QDir source(qEnvironmentVariable("VORDA_SOURCE_DIR") + QStringLiteral("/docs/help"));
        const QStringList pages = source.entryList({"*.html"}, QDir::Files);
        QVERIFY(pages.size() >= 13);
        QDir folder(QStringLiteral(":/vorda/help"));
        QCOMPARE(folder.entryList({"*.html"}, QDir::Files), pages);
        auto read = [&folder](const QString& name) {
            QFile file(folder.filePath(name));
            return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
        };
        // Every link between the help pages points at a page and a section
        // that exist; pictures are the screenshots of docs/screenshots/.
        const QRegularExpression link(QStringLiteral("href=\"([^\"#]*)(#([^\"]*))?\""));
        const QRegularExpression image(QStringLiteral("<img [^>]*src=\"([^\"]*)\""));
        const QStringList screenshots {"main-window.png", "connection-editor.png", "backup-editor.png",
                                       "execute-backup.png", "database-backups.png", "backup-viewer.png"};
        QStringList shownScreenshots;
        int links = 0;
        for (const QString& name : pages) {
            const QString text = read(name);
            QVERIFY2(text.contains(QStringLiteral("<html")), qPrintable(name));
            for (auto it = link.globalMatch(text); it.hasNext();) {
                const auto match = it.next();
                const QString target = match.captured(1).isEmpty() ? name : match.captured(1);
                if (target.endsWith(QStringLiteral(".css")))
                    continue;
                QVERIFY2(pages.contains(target), qPrintable(name + " -> " + target));
                ++links;
                if (match.captured(3).isEmpty())
                    continue;
                QVERIFY2(read(target).contains("id=\"" + match.captured(3) + "\""),
                         qPrintable(name + " -> " + target + "#" + match.captured(3)));
            }
            for (auto it = image.globalMatch(text); it.hasNext();) {
                const QString src = it.next().captured(1);
                QVERIFY2(src.startsWith(QStringLiteral("../screenshots/")), qPrintable(name + ": " + src));
                QVERIFY2(screenshots.contains(src.mid(15)), qPrintable(name + ": " + src));
                shownScreenshots << src.mid(15);
            }
            QVERIFY2(!text.contains(QStringLiteral("http://")) && !text.contains(QStringLiteral("https://")),
                     qPrintable(name));
        }
        QVERIFY(links > 100);
        for (const QString& shot : screenshots)
            QVERIFY2(shownScreenshots.contains(shot), qPrintable(shot + " has no place in the help"));
    }

};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
