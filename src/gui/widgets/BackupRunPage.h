#pragma once

#include "gui/widgets/RunPanel.h"

#include <QWidget>

#include <functional>
#include <string>

class AppState;
class PageHost;
class QAction;
class QHBoxLayout;
class QLayout;
class QVBoxLayout;
class QMenu;
class QPushButton;
class ReportList;

// What makes one of the two run pages: its frame, hint, list, panel and
// context menu, and the page it rebuilds.
struct BackupRunPageSpec {
    int dialogId = 0;
    QString caption;
    QString hint;
    int listId = 0;
    QRgb listColour = 0; // with IDC_CONF_BACKUP_RESTORE_COLOR on
    QString panelCaption;
    int panelId = 0;
    RunPanelIds panelIds;
    int menuId = 0;
    int pageId = 0;
};

// The common part of the Execute and Database Backups pages: the page
// frame, the hint line, the list of saved backups ("Count", "Backup Name",
// "Backup Description", "Last Backup"; in the page's colour when the setting
// says so), a row of buttons, the execution panel (greyed until a run
// starts) and the context menu; and the steps both pages' handlers take.
class BackupRunPage : public QWidget {
    Q_OBJECT
public:
    ReportList* List() const { return list_; }
    RunPanel* Panel() const { return panel_; }
    QMenu* ContextMenu() const { return menu_; }

protected:
    BackupRunPage(AppState& state, PageHost& host, const BackupRunPageSpec& page, QWidget* parent);

    // Adds a button to the row below the list (after a gap when `right`).
    QPushButton* AddButton(const QString& text, int id, bool right = false);
    // Puts `row` between the list and its buttons.
    void AddRowBelowList(QLayout* row);
    // When a run has taken its flag, `start` is greyed (until the page is
    // built again) and `cancel`, when given, enabled; the panel is enabled
    // and currentPageId cleared, so that a later request for this page
    // (Cancel, "execute another") builds it afresh.
    void SetRunButtons(QPushButton* start, QPushButton* cancel = nullptr);
    // Adds an item to the context menu; it runs once the menu has closed.
    void AddMenuItem(const QString& text, int id, std::function<void()> handler);
    // Fills the list from the backups' name list; with none, the Alert
    // message asks for a backup first.
    void FillList();

    // The selected row's backup name, also put into selectedName; the empty
    // text (after the self-closing alert `noneText`) when no row is selected.
    std::string TakeSelectedName(const char* noneText);
    // The final question of a run: Yes builds this page afresh, No shows the
    // statistics page.
    void AskAnother(const std::string& question);
    // "Cancel ...": while `running`, asks `question` and on Yes sets
    // `cancelRequested`; then requests this page (rebuilt during a run).
    void RequestStop(const bool& running, bool& cancelRequested, const char* question);

    AppState& state_;
    PageHost& host_;

private:
    const int pageId_;
    ReportList* list_ = nullptr;
    QVBoxLayout* frameLayout_ = nullptr;
    QHBoxLayout* buttons_ = nullptr;
    RunPanel* panel_ = nullptr;
    QMenu* menu_ = nullptr;
};
