#pragma once

#include "core/engine/RunUi.h"

#include <QGroupBox>

#include <functional>

class QLabel;
class QProgressBar;
class ValueLabel;

// The ids of a run panel's controls on its page (objectNames "IDC_<id>").
struct RunPanelIds {
    int siteBackup = 0;
    int runMode = 0;
    int runStatus = 0;
    int elapsedTime = 0;
    int tableMembers = 0;
    int currentMember = 0;
    int tableBar = 0;
    int overallBar = 0;
    int tableBarLabel = 0;   // 0: no id of its own
    int overallBarLabel = 0; // 0: no id of its own
};

// The execution panel of the Execute and Database Backups pages: a group box
// with the six value texts of a run ("Site Backup:", "Run Mode:", "Run
// Status:", "Elapsed Time:", "Table Members:", "Current Member:"; each a
// ValueLabel named by its caption, all "Not Available" at first) and the
// "Current Table" and "Overall Progress" bars. It is the RunUi the page's
// runs report to: message boxes go through ShowMessage, the pump lets the
// window handle its events, a password that was not saved is asked for with
// the password prompt, and RunStarted calls the page back.
class RunPanel : public QGroupBox, public RunUi {
    Q_OBJECT
public:
    RunPanel(const QString& caption, const RunPanelIds& ids, QWidget* parent = nullptr);
    ~RunPanel() override;

    // What the page does when a run has taken its flag (clear currentPageId,
    // enable the panel, grey the start button).
    void SetOnRunStarted(std::function<void()> onStarted) { onStarted_ = std::move(onStarted); }

    ValueLabel* Value(RunField field) const;
    QProgressBar* Bar(RunBar bar) const;

    // RunUi
    void SetText(RunField field, const std::string& text) override;
    void SetBarRange(RunBar bar, int maximum) override;
    void StepBar(RunBar bar) override;
    int ShowMessage(MessageKind kind, const std::string& text) override;
    void Pump() override;
    void SetWaitCursor(bool on) override;
    void RunStarted() override;
    std::optional<std::string> AskPassword(const std::string& connectionName) override;

private:
    ValueLabel* values_[6] = {};
    QProgressBar* tableBar_ = nullptr;
    QProgressBar* overallBar_ = nullptr;
    std::function<void()> onStarted_;
    bool waitCursor_ = false;
};
