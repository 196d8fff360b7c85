#pragma once

#include "app/AppState.h"

#include <QWidget>

#include <memory>

class QTimer;

// The program's only top-level window. Owns the shared state and runs the
// start-up and shutdown around the pages it hosts.
class CVordaDlg : public QWidget {
    Q_OBJECT
public:
    explicit CVordaDlg(const std::string& dataDir, QWidget* parent = nullptr);
    ~CVordaDlg() override;

    AppState& State() { return *state_; }

    // Arms timer 6000 to fire at the next quarter hour.
    void ArmScheduleTimer();
    QTimer* ScheduleTimer() const { return scheduleTimer_; }

signals:
    // Emitted at every tick of the scheduling timer.
    void scheduleTick();

private:
    void OnInitDialog();
    void OnScheduleTimer();

    std::unique_ptr<AppState> state_;
    QTimer* scheduleTimer_ = nullptr;
};
