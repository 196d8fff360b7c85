#pragma once

#include "core/engine/RunUi.h"
#include "core/history/TimeTexts.h"

#include <chrono>
#include <ctime>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <utility>

// Keeps the pump from dominating a run: between rows it lets events through
// at most every 15 ms; at the cancel check points it always does. Serves the
// backup run, the restore run and the viewer's load.
class ThrottledPump {
public:
    static constexpr std::chrono::milliseconds kInterval {15};

    explicit ThrottledPump(std::function<void()> pump);

    // Between rows and values.
    void Maybe();
    // At a cancel check point.
    void Always();

private:
    std::function<void()> pump_;
    std::chrono::steady_clock::time_point last_;
};

// Runs `work` on a worker thread and lets the window handle its events every
// 10 ms until it is done: for one blocking call that may take long, such as
// flushing a large backup file to the disk. `work` must not touch anything
// the pumped events may touch.
template <class F>
auto PumpWhile(ThrottledPump& pump, F&& work) -> decltype(work())
{
    auto done = std::async(std::launch::async, std::forward<F>(work));
    while (done.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
        pump.Always();
    return done.get();
}

// What every run shows on its execution panel, whichever page hosts it: the
// start texts, the elapsed time (redrawn only when its second changes), the
// wait cursor and the end step; and the run's throttled pump.
class RunSkeleton {
public:
    RunSkeleton(RunUi& panel, Clock clock);
    // Puts the wait cursor back if the run left it on.
    ~RunSkeleton();
    RunSkeleton(const RunSkeleton&) = delete;
    RunSkeleton& operator=(const RunSkeleton&) = delete;

    // The elapsed time since `start` (since now when none is given), the
    // backup's name, the mode text, "Connecting to Site" and "Waiting".
    void ShowStart(const std::string& name, const std::string& mode, std::optional<std::time_t> start = {});
    // Shows the elapsed time if the clock's second changed since it was last
    // shown.
    void ShowElapsedIfNewSecond();
    // The elapsed time as last shown ("HH:MM:SS").
    const std::string& ElapsedText() const { return elapsed_; }

    void WaitCursorOn();
    // Turns the wait cursor off if it is on.
    void WaitCursorOff();

    // Both bars to 0..1, "All Copied", member counter "0", the cursor off.
    void ShowEnd();

    ThrottledPump& Pump() { return pump_; }

private:
    void ShowElapsed(std::time_t now);

    RunUi& panel_;
    Clock clock_;
    ThrottledPump pump_;
    std::time_t start_ = 0;
    std::time_t shown_ = 0;
    std::string elapsed_;
    bool waitCursor_ = false;
};
