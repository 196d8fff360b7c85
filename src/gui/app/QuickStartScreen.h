#pragma once

#include <QDialog>

class AppState;
class QCheckBox;

// The quick start screen: a picture naming the first three steps, a check box
// for showing the screen at start-up, and "Cancel". The check box stores
// IDC_CONF_BACKUPS_FIRST_ENTRY the moment it changes; it is greyed while the
// screen is opened from the configuration page, which has its own check box
// for the same setting.
class QuickStartScreen : public QDialog {
    Q_OBJECT
public:
    explicit QuickStartScreen(AppState& state, QWidget* parent = nullptr);

    QCheckBox* CheckBox() const { return check_; }

private:
    AppState& state_;
    QCheckBox* check_ = nullptr;
};

// Shows the quick start screen modally. fromConfigurationPage greys its check
// box for this showing (quickStartCheckEnabled is false while it is open).
void ShowQuickStartScreen(AppState& state, bool fromConfigurationPage, QWidget* parent = nullptr);

// For tests: with the hook on, ShowQuickStartScreen records the request
// instead of opening the modal screen.
namespace QuickStartHook {
void Enable(bool on = true);
// How often the screen was asked for, and whether the last request came from
// the configuration page.
int Count();
bool LastFromConfigurationPage();
void Reset();
} // namespace QuickStartHook
