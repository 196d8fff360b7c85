#pragma once

#include <QWidget>

class AppState;
class PageHost;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;

// The statistics page, the home page of the work area: the totals, the last
// backup, a clock and the rendered history log with "Clear Log". A change of
// the log shows within two clock ticks; the quick start screen is raised at
// the first tick of a run.
class ChildDialog_Backups : public QWidget {
    Q_OBJECT
public:
    static constexpr int kClockMs = 1000;
    static constexpr int kDelayedRefreshMs = 2000;

    ChildDialog_Backups(AppState& state, PageHost& host, QWidget* parent = nullptr);

    // Puts the rendered log into the view, caret at the start.
    void Render();
    // Timer 6007: clock, delayed-refresh request, renders after a log change,
    // the quick start screen.
    void ClockTick();
    // Timer 6008: the next tick renders again.
    void DelayedRefresh();
    // "Clear Log": asks, then clears the log and records that it was cleared.
    void OnClearLog();

    QTimer* ClockTimer() const { return clock_; }
    QTimer* RefreshTimer() const { return refresh_; }
    bool SecondRenderPending() const { return secondRenderPending_; }

private:
    void FillTexts();

    AppState& state_;
    QLabel* connections_ = nullptr;
    QLabel* backups_ = nullptr;
    QLabel* schedules_ = nullptr;
    QLabel* lastName_ = nullptr;
    QLabel* lastTime_ = nullptr;
    QLabel* lastType_ = nullptr;
    QLabel* clockText_ = nullptr;
    QPlainTextEdit* log_ = nullptr;
    QPushButton* clearLog_ = nullptr;
    QLabel* reporting_ = nullptr;
    QLabel* clearOnStart_ = nullptr;
    QLabel* direction_ = nullptr;
    QLabel* timestamps_ = nullptr;
    QTimer* clock_ = nullptr;
    QTimer* refresh_ = nullptr;
    bool secondRenderPending_ = false;
};
