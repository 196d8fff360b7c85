#pragma once

#include <QWidget>

#include <initializer_list>
#include <map>

class AppState;
class PageHost;
class QAbstractButton;
class QGroupBox;
class QBoxLayout;
class QSpinBox;

// The configuration page: every check box and radio button stores its
// setting the moment it is clicked (no Save, no Cancel); "Show Quick Start
// Screen Now", "Restore Default Settings", and two buttons that open
// sections of Vorda's help. "Start Vorda when I log in" writes or removes
// the desktop session's autostart entry and is ticked only while it exists.
class ConfigurationPage : public QWidget {
    Q_OBJECT
public:
    ConfigurationPage(AppState& state, PageHost& host, QWidget* parent = nullptr);

    // The control with a resource id of the page (IDC_CONF_*), or nullptr.
    QAbstractButton* Control(int id) const;
    // "Keep older backup files" (IDC_CONF_KEEP_COPIES).
    QSpinBox* KeepCopies() const { return keepCopies_; }

    void OnShowQuickStartNow();
    void OnRestoreDefaults();
    void OnAutostartToggled(bool checked);

    // Breaks a control's text into lines no wider than `width` pixels
    // (FitToWidth); its accessible name keeps the text on one line.
    static void FitText(QAbstractButton* control, int width);

private:
    // A check box or radio button of the page, with the text as given.
    struct ControlSpec {
        int id;
        const char* text;
        bool radio = false;
        bool indented = false;
    };
    // Makes the controls in `group`, one under the other in `layout`, their
    // texts fitted to `textWidth`.
    void AddControls(QGroupBox* group, QBoxLayout* layout, int textWidth, std::initializer_list<ControlSpec> controls);
    void ShowSettings();

    AppState& state_;
    PageHost& host_;
    std::map<int, QAbstractButton*> controls_;
    QSpinBox* keepCopies_ = nullptr;
};
