#pragma once

#include "core/state/StartupCore.h"

#include "core/history/TimeTexts.h"
#include "core/state/AppState.h"
#include "gui/app/PageHost.h"

#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QSystemTrayIcon>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QLabel;
class QMenu;
class QPushButton;
class PageArea;
class QTimer;
class DesktopNotifier;
class RunUi;
class Scheduler;
struct FailureNotice;

// The program's only top-level window. Owns the shared state, runs the
// start-up and shutdown, hosts the menu page at the left and one work-area
// page at the right, and hides in the system tray instead of minimising.
class MainWindow : public QWidget, public PageHost {
    Q_OBJECT
public:
    // The size of the window at its first start.
    static constexpr int kWidth = 900;
    static constexpr int kHeight = 640;
    // The smallest size: fits a 1366x768 screen at 125 % scaling (1092x614)
    // with the desktop's panels around it. Pages that need more room scroll.
    static constexpr int kMinWidth = 800;
    static constexpr int kMinHeight = 520;
    // Where the menu page and the work-area page begin, in the window.
    static constexpr QPoint kMenuPagePos {20, 61};
    static constexpr QPoint kWorkPagePos {239, 61};

    explicit MainWindow(const std::string& dataDir, QWidget* parent = nullptr, Clock clock = SystemClock());
    ~MainWindow() override;

    AppState& State() { return *state_; }

    // The page host (see PageHost).
    void ShowPage(int pageId) override;
    void ForcePage(int pageId) override;
    void ReloadMenu() override;
    void ShowConfiguration() override;
    QWidget* CurrentPage() const { return currentPage_; }
    QWidget* MenuPageWidget() const { return menuPage_; }
    // The areas of the two pages in the window; they grow with the window.
    // A page smaller than its own minimum scrolls inside its area.
    QRect WorkAreaRect() const { return workAreaRect_; }
    QRect MenuAreaRect() const { return menuAreaRect_; }
    PageArea* WorkArea() const { return workScroll_; }
    PageArea* MenuArea() const { return menuScroll_; }

    // Scheduling: timer 6000 fires at the next quarter hour, runs the backups
    // whose schedules fell due since the last evaluation (pumping events
    // while they run), emits scheduleTick() and re-arms itself for the next
    // quarter hour of the wall clock. Right after start-up the backups that
    // missed their slot while the program was not running are caught up
    // (when so configured), and the end of a system sleep evaluates at once.
    void ArmScheduleTimer();
    QTimer* ScheduleTimer() const { return scheduleTimer_; }
    QTimer* StartMinimisedTimer() const { return startMinTimer_; }

    // The automatic-run indicator (control 1241), hidden unless a scheduled
    // sequence runs.
    void SetAutoRunIndicatorVisible(bool visible);
    QLabel* AutoRunIndicator() const { return indicator_; }

    // Tray. MinimizeToTray hides the window, suppresses message boxes and adds
    // the tray icon; true when the icon is there. Without a system tray the
    // window is minimised normally instead (it stays reachable from the
    // taskbar) and the answer is false.
    bool MinimizeToTray();
    // Shows the window again, removes the tray icon and has the statistics
    // page render its history view now and again two seconds later.
    void RestoreFromTray();
    // "Exit Vorda": removes the tray icon, stops a run in progress and ends
    // the program.
    void ExitVorda();
    // The caption's close box: to the tray when IDC_CONF_BACKUPS_MIN_CLOSE is
    // on and the desktop has a tray; otherwise the program ends, after a
    // question when a backup or a restore is running (No keeps it running).
    void OnCloseBox();
    bool InTray() const { return tray_ != nullptr; }
    QSystemTrayIcon* TrayIcon() const { return tray_; }
    QMenu* TrayMenu() const { return trayMenu_; }

    // A second start of Vorda asked for the window: out of the tray, or
    // back from the taskbar, and to the front.
    void ShowFromElsewhere();

    // A scheduled backup failed or was skipped: the desktop is told (when
    // the setting says so), and while the window is in the tray its icon
    // turns into the warning icon and its tooltip names each such backup
    // and when, until the window is opened.
    void OnScheduledFailure(const FailureNotice& notice);
    // The failures the tray icon warns of (name and short time text).
    const std::vector<std::pair<std::string, std::string>>& UnseenFailures() const { return unseenFailures_; }
    DesktopNotifier* Notifier() const { return notifier_; }
    // The tray icon's tooltip for the unseen failures.
    QString TrayToolTip() const;

    // Whether a system tray exists; tests replace the check.
    static std::function<bool()>& TrayAvailable();

signals:
    // Emitted at every tick of the scheduling timer.
    void scheduleTick();
    // Emitted once the catch-up at start is done.
    void startCatchUpDone();
    // The program should end (the application quits on it).
    void quitRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void OnInitDialog();
    // Reads the settings file once before anything else does; says what is
    // wrong with one that cannot be read and offers to set it aside.
    StoreStart CheckStoreAtStart();
    void CreateControls();
    void CreateTrayMenu();
    void CreateMenuPage();
    // Tab order: the header buttons, the menu page, the work-area page.
    void KeepTabOrder();
    // Closes the work-area page on show and opens a new one of `pageId`.
    // Replaces the work-area page; false when the page on show has unsaved
    // changes and the user chose to stay.
    bool OpenWorkPage(int pageId);
    // Puts the page areas, the header buttons and the indicator where the
    // window's size puts them.
    void LayOut();
    void StoreSize();
    void OnScheduleTimer();
    void OnCatchUpAtStart();
    void OnStartMinimisedTimer();
    Scheduler& TheScheduler();
    void OnTrayActivated(QSystemTrayIcon::ActivationReason reason);
    void RemoveTrayIcon();
    void PrepareExit();
    // The tray icon and tooltip for the unseen failures.
    void ShowTrayState();

    std::unique_ptr<AppState> state_;
    std::unique_ptr<RunUi> schedulerUi_;
    std::unique_ptr<Scheduler> scheduler_;
    QTimer* scheduleTimer_ = nullptr;
    QTimer* startMinTimer_ = nullptr;
    QPixmap background_;
    QLabel* banner_ = nullptr;
    QLabel* indicator_ = nullptr;
    QPushButton* helpButton_ = nullptr;
    QPushButton* homeButton_ = nullptr;
    QRect workAreaRect_;
    QRect menuAreaRect_;
    PageArea* menuScroll_ = nullptr;
    PageArea* workScroll_ = nullptr;
    QTimer* sizeTimer_ = nullptr;
    QPointer<QWidget> menuPage_;
    QPointer<QWidget> currentPage_;
    int shownPageId_ = 0; // the id of currentPage_
    QSystemTrayIcon* tray_ = nullptr;
    QMenu* trayMenu_ = nullptr;
    DesktopNotifier* notifier_ = nullptr;
    std::vector<std::pair<std::string, std::string>> unseenFailures_;
    bool exiting_ = false;
};
