#pragma once

#include <QWidget>

#include <map>

class AppState;
class PageHost;
class QLabel;
class QPushButton;

// The menu page at the left of the main window: ten buttons, each asking for
// one work-area page, and an optional picture. Buttons whose pages would have
// nothing to work on are greyed; leaving a running backup needs the user's
// consent, which stops the backup.
class MenuPage : public QWidget {
    Q_OBJECT
public:
    MenuPage(AppState& state, PageHost& host, QWidget* parent = nullptr);

    // The button of a page id (the button's own id).
    QPushButton* Button(int id) const;
    // The picture, or nullptr when IDC_CONF_BACKUPS_SHOW_IMAGE is off.
    QLabel* Picture() const { return picture_; }

    // What a press of the button `id` does.
    void OnButton(int id);

private:
    AppState& state_;
    PageHost& host_;
    std::map<int, QPushButton*> buttons_;
    QLabel* picture_ = nullptr;
};
