#include "gui/app/MainWindow.h"

#include "gui/app/Art.h"
#include "gui/app/DesktopNotifier.h"
#include "gui/app/MenuPage.h"
#include "gui/app/Help.h"
#include "gui/app/Messages.h"
#include "gui/app/PageTable.h"
#include "gui/app/ResumeWatcher.h"
#include "gui/widgets/PageArea.h"
#include "gui/app/UnsavedChanges.h"
#include "gui/widgets/ShownOnDemand.h"
#include "core/state/StartupCore.h"
#include "core/engine/RunUi.h"
#include "core/engine/Scheduler.h"
#include "resources/ResourceIds.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

// What a scheduled sequence sees of the window: no panel, only the pump that
// keeps the window, the tray and the Cancel button alive while it runs.
class PumpOnlyRunUi : public SilentRunUi {
public:
    void Pump() override { QCoreApplication::processEvents(QEventLoop::AllEvents); }
};


// The page areas: the menu's width, and the room the header band leaves
// above them, the footer below and the margin at the right.
constexpr int kMenuWidth = 200;
constexpr int kFooterHeight = 59;
constexpr int kRightMargin = 21;
// The header band of the background picture, stretched to the window's width.
constexpr int kHeaderHeight = 56;
// The footer's text, at the bottom right.
const char* const kFooterText = "Vorda Quendal System 2.1.2.4  \u00b7  MySQL and MariaDB backups";
constexpr int kFooterBaselineFromBottom = 29;
constexpr int kTrayRetryMs = 1000;
// The window's size is stored once it has stopped changing for this long.
constexpr int kStoreSizeDelayMs = 500;

// The buttons on the dark header band.
const char* const kHeaderButtonStyle =
    "QPushButton { color: white; background: rgba(255, 255, 255, 28); border: 1px solid rgba(255, 255, 255, 120);"
    " border-radius: 4px; padding: 3px 14px; font-weight: bold; }"
    "QPushButton:hover { background: rgba(255, 255, 255, 60); }"
    "QPushButton:pressed { background: rgba(0, 0, 0, 40); }"
    "QPushButton:focus { border-color: rgb(240, 138, 36); }";

} // namespace

std::function<bool()>& MainWindow::TrayAvailable()
{
    static std::function<bool()> check = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    return check;
}

MainWindow::MainWindow(const std::string& dataDir, QWidget* parent, Clock clock)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                          | Qt::WindowCloseButtonHint)
    , state_(std::make_unique<AppState>(dataDir, std::move(clock)))
    , schedulerUi_(std::make_unique<PumpOnlyRunUi>())
{
    setObjectName(QStringLiteral("IDD_102"));
    setWindowTitle(QStringLiteral("Vorda - Quendal System - Version: 2.1.2.4"));
    setWindowIcon(ProgramIcon());
    setMinimumSize(kMinWidth, kMinHeight);
    resize(kWidth, kHeight);

    scheduleTimer_ = new QTimer(this);
    scheduleTimer_->setObjectName(QStringLiteral("TIMER_6000"));
    scheduleTimer_->setSingleShot(true);
    // Fires at the quarter hour, not up to a minute before it.
    scheduleTimer_->setTimerType(Qt::PreciseTimer);
    connect(scheduleTimer_, &QTimer::timeout, this, &MainWindow::OnScheduleTimer);
    startMinTimer_ = new QTimer(this);
    startMinTimer_->setObjectName(QStringLiteral("TIMER_6003"));
    startMinTimer_->setSingleShot(true);
    connect(startMinTimer_, &QTimer::timeout, this, &MainWindow::OnStartMinimisedTimer);

    notifier_ = new DesktopNotifier([this] { return tray_; }, this);

    SetMessagesEnabledFlag(&state_->messagesEnabled);
    SetMessageParent(this);
    // A history log that stops being writable is reported once, when the
    // event that found it out is over (it may be a run's).
    state_->log.OnWriteFailure = [this](const std::string& reason) {
        const std::string text = "The history log \"" + state_->paths.logPath + "\" could not be written: " + reason
            + ".\r\n\r\nNew history entries are kept while Vorda runs, and written once the file can be written "
              "again.";
        QTimer::singleShot(0, this, [text] { ShowMessage(MessageKind::Error, text); });
    };
    OnInitDialog();
}

MainWindow::~MainWindow()
{
    ShutDown(*state_);
    // The help window goes with the program's window.
    CloseHelp();
    RemoveTrayIcon();
    // The pages (also those closed and waiting to be destroyed) refer to the
    // state; they go before it does.
    qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
    SetMessageParent(nullptr);
    SetMessagesEnabledFlag(nullptr);
}

void MainWindow::OnInitDialog()
{
    // Settings and totals, the first start, the log cleared when configured.
    StartUpBeforePages(*state_, CheckStoreAtStart());
    if (state_->startedMinimised)
        startMinTimer_->start(1);
    CreateControls();
    // The size the window was left at (the window manager keeps it on the
    // screen).
    if (const auto stored = state_->config.ReadWindowSize())
        resize(QSize(stored->first, stored->second).expandedTo(minimumSize()));
    LayOut();
    background_ = Bitmap(rid::IDB_BACKGROUND);
    update();
    CreateTrayMenu();
    // The menu page asks for the statistics page, which loads the log and
    // records the start.
    CreateMenuPage();
    state_->currentPageId = rid::PAGE_STATISTICS;
    indicator_->hide();
    ArmScheduleTimer();
    StartUpAfterPages(*state_);
    // Backups missed while the program was not running are found now and
    // run once the window is up.
    TheScheduler().EvaluateStart();
    QTimer::singleShot(0, this, &MainWindow::OnCatchUpAtStart);
    // After a system sleep the quarter hours slept through are evaluated at
    // once, not when the timer (which does not count the sleep) comes round.
    connect(new ResumeWatcher(this), &ResumeWatcher::resumed, this, [this] { scheduleTimer_->start(0); });
}

StoreStart MainWindow::CheckStoreAtStart()
{
    state_->messagesEnabled = true;
    const std::string& path = state_->paths.dbPath;
    const StoreCheck check = state_->store.Check(kStoreWaitMs);
    switch (check.health) {
    case StoreHealth::Sound:
        return StoreStart::Readable;
    case StoreHealth::Locked:
        // Every later operation gives up at once instead of waiting in turn,
        // so the window comes up.
        state_->store.SetBusyTimeout(0);
        state_->log.AppendEntry(false, "Settings File Locked: " + path);
        ShowMessage(MessageKind::Error,
                    "The settings file \"" + path + "\" is locked by another program (" + check.reason
                        + ").\r\n\r\nVorda starts without your settings and definitions and cannot save changes. "
                          "Close the other program, then start Vorda again.");
        return StoreStart::Unreadable;
    case StoreHealth::Damaged:
    case StoreHealth::Unreadable:
        break;
    }
    state_->log.AppendEntry(false, "Settings File Unreadable: " + path + " - " + check.reason);
    ShowMessage(MessageKind::Error, "The settings file \"" + path + "\" cannot be read: " + check.reason + ".");
    const std::string target = DamagedStorePath(path, state_->clock());
    const std::string targetName = target.substr(target.rfind('/') + 1);
    if (ShowMessage(MessageKind::YesNo,
                    "Move the settings file aside as \"" + targetName
                        + "\" and start with fresh settings?\r\n\r\nNo leaves it as it is: Vorda starts without "
                          "your settings and definitions and cannot save changes.",
                    "Yes", "No")
        != 1)
        return StoreStart::Unreadable;
    std::string error;
    if (!MoveStoreAside(path, target, error)) {
        ShowMessage(MessageKind::Error, "The settings file could not be moved aside: " + error + ".");
        return StoreStart::Unreadable;
    }
    state_->log.AppendEntry(false, "Settings File Moved Aside: " + target);
    return StoreStart::Fresh;
}

void MainWindow::CreateControls()
{
    menuScroll_ = new PageArea(QStringLiteral("Backup Menu"), this);
    // The menu keeps its width; only its height may scroll.
    menuScroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    workScroll_ = new PageArea(QStringLiteral("Work Area"), this);
    sizeTimer_ = new QTimer(this);
    sizeTimer_->setSingleShot(true);
    sizeTimer_->setInterval(kStoreSizeDelayMs);
    connect(sizeTimer_, &QTimer::timeout, this, &MainWindow::StoreSize);

    banner_ = new QLabel(this);
    banner_->setObjectName(ControlName(rid::IDC_BANNER));
    banner_->setPixmap(Bitmap(rid::IDB_BANNER));
    banner_->setAccessibleName(QStringLiteral("Vorda - Quendal System"));
    banner_->setGeometry(20, 4, 470, 48);

    homeButton_ = new QPushButton(QStringLiteral("Home"), this);
    homeButton_->setObjectName(ControlName(rid::IDC_HOME));
    helpButton_ = new QPushButton(QStringLiteral("Help"), this);
    helpButton_->setObjectName(ControlName(rid::IDC_HELP));
    for (QPushButton* button : {homeButton_, helpButton_}) {
        button->setStyleSheet(QString::fromLatin1(kHeaderButtonStyle));
        button->setCursor(Qt::PointingHandCursor);
        button->setAutoDefault(false);
    }
    homeButton_->resize(80, 28);
    helpButton_->resize(80, 28);
    connect(helpButton_, &QPushButton::clicked, this, [] { OpenHelpPage(help::kContents); });
    connect(homeButton_, &QPushButton::clicked, this, [] { OpenHelpPage(help::kHome); });

    indicator_ = new QLabel(this);
    indicator_->setObjectName(ControlName(rid::IDC_AUTO_RUN_INDICATOR));
    indicator_->setPixmap(Bitmap(rid::IDB_AUTO_RUN_INDICATOR));
    indicator_->resize(kMenuWidth, 30);
    indicator_->setToolTip(QStringLiteral("Scheduled backups are running"));
    indicator_->setAccessibleName(QStringLiteral("Scheduled backups are running"));
    // Shown only while a scheduled sequence runs.
    MarkShownOnDemand(indicator_);
}

void MainWindow::CreateTrayMenu()
{
    trayMenu_ = new QMenu(this);
    trayMenu_->setObjectName(QStringLiteral("IDR_176"));
    auto add = [this](const QString& text, int id, auto handler) {
        QAction* action = trayMenu_->addAction(text);
        action->setObjectName(ControlName(id));
        connect(action, &QAction::triggered, this, handler);
    };
    add(QStringLiteral("Maximize Vorda"), rid::ID_TRAY_MAXIMIZE, [this] { RestoreFromTray(); });
    trayMenu_->addSeparator();
    add(QStringLiteral("Vorda Products"), rid::ID_TRAY_PRODUCTS, [] { OpenHelpPage(help::kProducts); });
    add(QStringLiteral("Downloads Area"), rid::ID_TRAY_DOWNLOADS, [] { OpenHelpPage(help::kDownloads); });
    add(QStringLiteral("Customer Support"), rid::ID_TRAY_SUPPORT, [] { OpenHelpPage(help::kSupport); });
    add(QStringLiteral("Check for Updates"), rid::ID_TRAY_UPDATES, [] { OpenHelpPage(help::kUpdates); });
    trayMenu_->addSeparator();
    add(QStringLiteral("Exit Vorda"), rid::ID_TRAY_EXIT, [this] { ExitVorda(); });
}

void MainWindow::CreateMenuPage()
{
    auto* page = new MenuPage(*state_, *this, this);
    menuScroll_->SetPage(page);
    menuPage_ = page;
    page->show();
    KeepTabOrder();
}

void MainWindow::KeepTabOrder()
{
    // A page joins the focus chain at its end, wherever it is on screen: Tab
    // goes Home, Help, the menu, then the work area, however the pages were
    // rebuilt.
    // Each page's widgets keep their own order among themselves.
    QList<QWidget*> order {homeButton_, helpButton_};
    for (QWidget* page : {menuPage_.data(), currentPage_.data()}) {
        if (!page)
            continue;
        for (QWidget* w = nextInFocusChain(); w && w != this; w = w->nextInFocusChain())
            if (page->isAncestorOf(w) && w->focusPolicy() != Qt::NoFocus && !w->focusProxy())
                order << w;
    }
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void MainWindow::ShowPage(int pageId)
{
    if (currentPage_ && pageId == state_->currentPageId)
        return;
    const int shown = shownPageId_;
    state_->currentPageId = pageId;
    if (!OpenWorkPage(pageId))
        state_->currentPageId = shown;
}

void MainWindow::ForcePage(int pageId)
{
    state_->currentPageId = 0;
    ShowPage(pageId);
}

void MainWindow::ShowConfiguration()
{
    OpenWorkPage(rid::PAGE_CONFIGURATION);
}

bool MainWindow::OpenWorkPage(int pageId)
{
    if (auto* editor = dynamic_cast<UnsavedChanges*>(currentPage_.data()); editor && editor->HasUnsavedChanges()) {
        const bool leave = ShowMessage(MessageKind::YesNo,
                                       "Leave this page without saving?\r\n\r\nThe changes made here have not "
                                       "been saved.",
                                       "Yes", "No")
            == 1;
        // The question pumps events: the page may have gone meanwhile.
        if (!leave && currentPage_)
            return false;
        if (auto* still = dynamic_cast<UnsavedChanges*>(currentPage_.data()))
            still->DiscardChanges();
    }
    ClosePage(workScroll_->TakePage(this));
    currentPage_ = nullptr;
    state_->viewerActive = false;
    shownPageId_ = 0;
    const PageFactory* factory = FindPage(pageId);
    if (!factory)
        return true;
    shownPageId_ = pageId;
    if (pageId == rid::PAGE_VIEWER)
        state_->viewerActive = true;
    QWidget* page = (*factory)(*state_, *this, this);
    workScroll_->SetPage(page);
    currentPage_ = page;
    page->show();
    KeepTabOrder();
    return true;
}

void MainWindow::ReloadMenu()
{
    ClosePage(menuScroll_->TakePage(this));
    menuPage_ = nullptr;
    CreateMenuPage();
}

void MainWindow::LayOut()
{
    const int areaHeight = height() - kMenuPagePos.y() - kFooterHeight;
    menuAreaRect_ = QRect(kMenuPagePos, QSize(kMenuWidth, areaHeight));
    workAreaRect_ = QRect(kWorkPagePos, QSize(width() - kWorkPagePos.x() - kRightMargin, areaHeight));
    menuScroll_->setGeometry(menuAreaRect_);
    workScroll_->setGeometry(workAreaRect_);
    helpButton_->move(width() - kRightMargin - helpButton_->width(), 14);
    homeButton_->move(helpButton_->x() - 8 - homeButton_->width(), 14);
    indicator_->move(kMenuPagePos.x(), menuAreaRect_.bottom() + 12);
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!menuScroll_)
        return;
    LayOut();
    sizeTimer_->start();
}

void MainWindow::StoreSize()
{
    sizeTimer_->stop();
    // A maximised or full-screen window keeps the size it had before.
    if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized))
        return;
    // Only a size the user chose is stored.
    const auto stored = state_->config.ReadWindowSize();
    const QSize now = size();
    if (stored ? QSize(stored->first, stored->second) != now : now != QSize(kWidth, kHeight))
        state_->config.WriteWindowSize(now.width(), now.height());
}

void MainWindow::ArmScheduleTimer()
{
    scheduleTimer_->start(QuarterHourDelayMs(state_->clock()));
}

Scheduler& MainWindow::TheScheduler()
{
    if (!scheduler_) {
        scheduler_ = std::make_unique<Scheduler>(*state_, *schedulerUi_,
                                                 [this](bool shown) { SetAutoRunIndicatorVisible(shown); });
        scheduler_->SetFailureHandler([this](const FailureNotice& notice) { OnScheduledFailure(notice); });
    }
    return *scheduler_;
}

void MainWindow::OnScheduleTimer()
{
    scheduleTimer_->stop();
    // Quarter hours that pass while a sequence runs get no tick of their own:
    // the timer is armed again only after the sequence, and the next tick
    // makes up their slots.
    if (!exiting_) {
        // A scheduled run leaves the Execute page as it was; the next request
        // for it rebuilds it with the run's outcome.
        if (TheScheduler().Tick() > 0 && TheScheduler().StartedAnyRun())
            state_->currentPageId = 0;
    }
    emit scheduleTick();
    // From the wall clock as it is now, whatever it did meanwhile.
    ArmScheduleTimer();
}

void MainWindow::OnCatchUpAtStart()
{
    if (exiting_)
        return;
    // A sequence already going (a wake at start) has the catch-up wait.
    if (state_->sequenceBusy) {
        QTimer::singleShot(1000, this, &MainWindow::OnCatchUpAtStart);
        return;
    }
    if (TheScheduler().CatchUpAtStart() > 0 && TheScheduler().StartedAnyRun())
        state_->currentPageId = 0;
    emit startCatchUpDone();
}

void MainWindow::SetAutoRunIndicatorVisible(bool visible)
{
    indicator_->setVisible(visible);
}

void MainWindow::OnStartMinimisedTimer()
{
    startMinTimer_->stop();
    if (MinimizeToTray()) {
        // In the tray for this run; the stored setting stays as it is.
        state_->settings().startMin = false;
        return;
    }
    // No tray yet (the desktop may still be starting): the window waits
    // minimised on the taskbar and moves into the tray once one appears,
    // unless the user has opened it meanwhile.
    if (isMinimized())
        startMinTimer_->start(kTrayRetryMs);
}

bool MainWindow::MinimizeToTray()
{
    if (!TrayAvailable()()) {
        // Hiding the window with no tray to bring it back from would lose it.
        showMinimized();
        return false;
    }
    hide();
    // Comes back as a normal window.
    setWindowState(windowState() & ~Qt::WindowMinimized);
    state_->messagesEnabled = false;
    if (!tray_) {
        tray_ = new QSystemTrayIcon(ProgramIcon(), this);
        tray_->setObjectName(QStringLiteral("TRAY_4001"));
        tray_->setContextMenu(trayMenu_);
        connect(tray_, &QSystemTrayIcon::activated, this, &MainWindow::OnTrayActivated);
    }
    ShowTrayState();
    tray_->show();
    return true;
}

void MainWindow::ShowFromElsewhere()
{
    if (InTray()) {
        RestoreFromTray();
        return;
    }
    state_->messagesEnabled = true;
    showNormal();
    raise();
    activateWindow();
}

void MainWindow::OnScheduledFailure(const FailureNotice& notice)
{
    if (InTray()) {
        unseenFailures_.emplace_back(notice.backupName, FormatLocalTime(notice.when, kShortTimeFormat));
        ShowTrayState();
    }
    if (state_->settings().notifyFailure)
        notifier_->Notify(QStringLiteral("Backup failed: %1").arg(QString::fromStdString(notice.backupName)),
                          QString::fromStdString(notice.reason));
}

QString MainWindow::TrayToolTip() const
{
    QString tip = QStringLiteral("Vorda Quendal System");
    // The newest first; a tooltip has room for a few.
    constexpr size_t kShown = 5;
    const size_t count = unseenFailures_.size();
    for (size_t i = 0; i < std::min(count, kShown); ++i) {
        const auto& [name, time] = unseenFailures_[count - 1 - i];
        tip += QStringLiteral("\nBackup failed: %1 - %2").arg(QString::fromStdString(name), QString::fromStdString(time));
    }
    if (count > kShown)
        tip += QStringLiteral("\n... and %1 more").arg(count - kShown);
    return tip;
}

void MainWindow::ShowTrayState()
{
    if (!tray_)
        return;
    tray_->setIcon(unseenFailures_.empty() ? ProgramIcon() : WarningIcon());
    tray_->setToolTip(TrayToolTip());
}

void MainWindow::RestoreFromTray()
{
    // The window is open: the failures are seen (the history shows them).
    unseenFailures_.clear();
    state_->messagesEnabled = true;
    showNormal();
    raise();
    activateWindow();
    RemoveTrayIcon();
    state_->log.logChanged = true;
    state_->delayedRefreshRequested = true;
}

void MainWindow::RemoveTrayIcon()
{
    if (!tray_)
        return;
    tray_->hide();
    tray_->setContextMenu(nullptr);
    tray_->deleteLater();
    tray_ = nullptr;
}

void MainWindow::OnTrayActivated(QSystemTrayIcon::ActivationReason reason)
{
    // A right click opens the tray menu by itself.
    if (reason == QSystemTrayIcon::Trigger)
        RestoreFromTray();
}

void MainWindow::ExitVorda()
{
    PrepareExit();
    hide();
    emit quitRequested();
}

void MainWindow::PrepareExit()
{
    if (sizeTimer_->isActive())
        StoreSize();
    RemoveTrayIcon();
    exiting_ = true;
    // A run or a load in progress stops at its next check (a cancelled backup
    // keeps the previous good file), and nothing pops up while the program
    // ends.
    state_->backupCancelRequested = state_->backupRunning;
    // A scheduled sequence stops whole: the backups it has not run yet are
    // logged as skipped, and the program ends once the current one stopped.
    state_->sequenceStopRequested = true;
    state_->restoreCancelRequested = state_->restoreRunning;
    state_->viewerActive = false;
    state_->messagesEnabled = false;
}

void MainWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const qreal ratio = background_.devicePixelRatio();
    const auto source = [ratio](const QRect& r) {
        return QRectF(r.x() * ratio, r.y() * ratio, r.width() * ratio, r.height() * ratio);
    };
    // The body: the picture's light gradient from below the header band to
    // the bottom edge.
    QLinearGradient body(0, kHeaderHeight, 0, height());
    body.setColorAt(0, QColor(230, 236, 243));
    body.setColorAt(1, QColor(213, 222, 233));
    painter.fillRect(rect(), body);
    // The header band, stretched to the width.
    painter.drawPixmap(QRectF(0, 0, width(), kHeaderHeight), background_,
                       source(QRect(0, 0, kWidth, kHeaderHeight)));
    // A white panel with a thin edge and a shadow under each page area.
    for (const QRect& area : {menuAreaRect_, workAreaRect_}) {
        const QRect panel = area.adjusted(-1, -1, 1, 1);
        painter.fillRect(panel.adjusted(-1, 0, 1, 3), QColor(194, 204, 218));
        painter.fillRect(panel.adjusted(0, 0, 0, 2), QColor(175, 186, 202));
        painter.fillRect(panel, QColor(201, 211, 222));
        painter.fillRect(area, Qt::white);
    }
    // The footer's text at the bottom right.
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    painter.setFont(small);
    painter.setPen(QColor(96, 108, 124));
    const QString footer = QString::fromUtf8(kFooterText);
    painter.drawText(width() - kRightMargin - QFontMetrics(small).horizontalAdvance(footer),
                     height() - kFooterBaselineFromBottom, footer);
}

void MainWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // Minimising always goes to the tray (when there is one).
    if (event->type() == QEvent::WindowStateChange && isMinimized() && !exiting_ && TrayAvailable()())
        QTimer::singleShot(0, this, [this] {
            if (isMinimized() && !exiting_)
                MinimizeToTray();
        });
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Only the caption's close box comes from the window system; a close
    // from inside the program (quitting, a termination signal) always ends it.
    if (exiting_ || !event->spontaneous()) {
        PrepareExit();
        event->accept();
        return;
    }
    event->ignore();
    OnCloseBox();
}

void MainWindow::OnCloseBox()
{
    // Without a tray, minimising would only hide the one way to quit.
    if (state_->settings().minClose && TrayAvailable()()) {
        MinimizeToTray();
        return;
    }
    const char* question = nullptr;
    if (state_->backupRunning || state_->sequenceBusy)
        question = "A Backup is Currently Running.\r\n\r\nDo you wish to terminate it?";
    else if (state_->restoreRunning)
        question = "A Restore is Currently Running.\r\n\r\nDo you wish to terminate it?";
    if (question && ShowMessage(MessageKind::YesNo, question, "Yes", "No") != 1)
        return;
    ExitVorda();
}
