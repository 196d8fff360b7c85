#pragma once

#include <QWidget>

class AppState;
class PageHost;
class QLabel;
class ValueLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;

// The statistics page, the home page of the work area: the totals, the last
// backup and the last failure, a clock and the rendered history log with
// "Clear Log". A change of
// the log shows within two clock ticks; the quick start screen is raised at
// the first tick of a run.
class StatisticsPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int kClockMs = 1000;
    static constexpr int kDelayedRefreshMs = 2000;

    StatisticsPage(AppState& state, PageHost& host, QWidget* parent = nullptr);

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
    // "Last Failure:": "<name> - <time> - <reason>", or "None".
    ValueLabel* LastFailureText() const { return lastFailure_; }

private:
    void FillTexts();

    AppState& state_;
    // Each value is named by its caption for screen readers (ValueLabel).
    ValueLabel* connections_ = nullptr;
    ValueLabel* backups_ = nullptr;
    ValueLabel* schedules_ = nullptr;
    ValueLabel* lastName_ = nullptr;
    ValueLabel* lastTime_ = nullptr;
    ValueLabel* lastType_ = nullptr;
    ValueLabel* lastFailure_ = nullptr;
    ValueLabel* clockText_ = nullptr;
    QPlainTextEdit* log_ = nullptr;
    QPushButton* clearLog_ = nullptr;
    ValueLabel* reporting_ = nullptr;
    ValueLabel* clearOnStart_ = nullptr;
    ValueLabel* direction_ = nullptr;
    ValueLabel* timestamps_ = nullptr;
    QTimer* clock_ = nullptr;
    QTimer* refresh_ = nullptr;
    bool secondRenderPending_ = false;
};
