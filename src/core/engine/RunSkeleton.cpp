#include "core/engine/RunSkeleton.h"

#include <utility>

ThrottledPump::ThrottledPump(std::function<void()> pump)
    : pump_(std::move(pump))
    , last_(std::chrono::steady_clock::now())
{
}

void ThrottledPump::Maybe()
{
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ >= kInterval) {
        last_ = now;
        pump_();
    }
}

void ThrottledPump::Always()
{
    last_ = std::chrono::steady_clock::now();
    pump_();
}

RunSkeleton::RunSkeleton(RunUi& panel, Clock clock)
    : panel_(panel)
    , clock_(std::move(clock))
    , pump_([&panel] { panel.Pump(); })
{
}

RunSkeleton::~RunSkeleton()
{
    WaitCursorOff();
}

void RunSkeleton::ShowStart(const std::string& name, const std::string& mode, std::optional<std::time_t> start)
{
    const std::time_t now = clock_();
    start_ = start.value_or(now);
    ShowElapsed(now);
    panel_.SetText(RunField::SiteBackup, name);
    panel_.SetText(RunField::RunMode, mode);
    panel_.SetText(RunField::RunStatus, "Connecting to Site");
    panel_.SetText(RunField::TableMembers, "Waiting");
}

void RunSkeleton::ShowElapsed(std::time_t now)
{
    shown_ = now;
    elapsed_ = FormatElapsed(static_cast<long long>(now - start_));
    panel_.SetText(RunField::ElapsedTime, elapsed_);
}

void RunSkeleton::ShowElapsedIfNewSecond()
{
    const std::time_t now = clock_();
    if (now != shown_)
        ShowElapsed(now);
}

void RunSkeleton::WaitCursorOn()
{
    panel_.SetWaitCursor(true);
    waitCursor_ = true;
}

void RunSkeleton::WaitCursorOff()
{
    if (waitCursor_) {
        panel_.SetWaitCursor(false);
        waitCursor_ = false;
    }
}

void RunSkeleton::ShowEnd()
{
    panel_.SetBarRange(RunBar::CurrentTable, 1);
    panel_.SetBarRange(RunBar::Overall, 1);
    panel_.SetText(RunField::TableMembers, kAllCopiedText);
    panel_.SetText(RunField::CurrentMember, "0");
    panel_.SetWaitCursor(false);
    waitCursor_ = false;
}
