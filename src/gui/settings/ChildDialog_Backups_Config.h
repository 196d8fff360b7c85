#pragma once

#include <QWidget>

#include <map>

class AppState;
class PageHost;
class QAbstractButton;
class QCheckBox;
class QRadioButton;

// The configuration page: every check box and radio button stores its
// setting the moment it is clicked (no Save, no Cancel); "Show Quick Start
// Screen Now", "Restore Default Settings", and two buttons that open
// sections of Vorda's help. "Start Vorda when I log in" writes or removes
// the desktop session's autostart entry and is ticked only while it exists.
class ChildDialog_Backups_Config : public QWidget {
    Q_OBJECT
public:
    ChildDialog_Backups_Config(AppState& state, PageHost& host, QWidget* parent = nullptr);

    // The control with a resource id of the page (IDC_CONF_*), or nullptr.
    QAbstractButton* Control(int id) const;

    void OnShowQuickStartNow();
    void OnRestoreDefaults();
    void OnAutostartClicked(bool checked);

    // Breaks a control's text into lines no wider than `width` pixels
    // (FitToWidth); its accessible name keeps the text on one line.
    static void FitText(QAbstractButton* control, int width);

private:
    QCheckBox* AddCheck(int id, const QString& text, QWidget* parent);
    QRadioButton* AddRadio(int id, const QString& text, QWidget* parent);
    void ShowSettings();

    AppState& state_;
    PageHost& host_;
    std::map<int, QAbstractButton*> controls_;
};
