#pragma once

#include "core/engine/ConnectionParams.h"
#include "core/engine/EngineTestSupport.h"
#include "gui/app/MainWindow.h"
#include "gui/app/MenuPage.h"
#include "gui/app/Messages.h"
#include "gui/app/PageTable.h"
#include "gui/statistics/StatisticsPage.h"
#include "resources/ResourceIds.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <QTreeWidget>

#include <initializer_list>
#include <string>

namespace test {

// The window as a user sees it: the menu's buttons, the page on show and
// its controls by id, the questions answered in advance. Shared by the
// end-to-end test and the screenshot walkthrough.
struct WindowUser {
    MainWindow& window;

    void menu(int id) { qobject_cast<MenuPage*>(window.MenuPageWidget())->Button(id)->click(); }
    template <class W = QWidget>
    W* control(int id)
    {
        W* widget = window.CurrentPage()->findChild<W*>(ControlName(id));
        if (!widget)
            qWarning("no control %d on %s", id, qPrintable(window.CurrentPage()->objectName()));
        return widget;
    }
    void type(int id, const std::string& text) { control<QLineEdit>(id)->setText(QString::fromStdString(text)); }
    void click(int id) { control<QPushButton>(id)->click(); }
    void pick(int id, const QString& text)
    {
        auto* box = control<QComboBox>(id);
        box->setCurrentIndex(box->findText(text));
    }
    // Selects the rows of a list whose column 1 holds one of `names`.
    void select(int id, const QStringList& names)
    {
        auto* list = control<QTreeWidget>(id);
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            list->topLevelItem(i)->setSelected(names.contains(list->topLevelItem(i)->text(1)));
        if (list->selectionMode() == QAbstractItemView::SingleSelection)
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                if (names.contains(list->topLevelItem(i)->text(1)))
                    list->setCurrentItem(list->topLevelItem(i));
    }
    // Answers the coming questions, in order.
    static void answer(std::initializer_list<int> answers)
    {
        for (int a : answers)
            MessageHook::SetNextAnswer(a);
    }
    QString historyView()
    {
        auto* statistics = qobject_cast<StatisticsPage*>(window.CurrentPage());
        statistics->Render();
        return statistics->findChild<QPlainTextEdit*>(ControlName(rid::IDC_STAT_LOG))->toPlainText();
    }

    // Fills in the connection editor on show (name, description and the
    // login), without testing or saving.
    void fillConnection(const std::string& name, const std::string& description, const ConnectionParams& login)
    {
        type(rid::IDC_CONN_NAME, name);
        type(rid::IDC_CONN_DESCRIPTION, description);
        type(rid::IDC_CONN_HOST, login.host);
        type(rid::IDC_CONN_DATABASE, login.database);
        type(rid::IDC_CONN_PORT, std::to_string(login.port));
        type(rid::IDC_CONN_USER, login.user);
        type(rid::IDC_CONN_PASSWORD, login.password);
    }
    // Creates the connection "shop" to `db` through the connection editor:
    // tests it, saves it, and creates no other.
    void createConnection(const ScratchDatabase& db)
    {
        menu(rid::IDC_MENU_CREATE_CONNECTION);
        ConnectionParams login = db.params();
        login.database = db.name();
        fillConnection("shop", "The shop's database", login);
        click(rid::IDC_CONN_TEST);
        answer({0}); // not another
        click(rid::IDC_CONN_SAVE);
    }
    // Fills in the backup editor on show: name, description, connection;
    // connects and selects `tables` and `schedules`, without saving.
    void fillBackup(const std::string& name, const std::string& description, const QString& connection,
                    const QStringList& tables, const QStringList& schedules)
    {
        type(rid::IDC_BKED_NAME, name);
        type(rid::IDC_BKED_DESCRIPTION, description);
        pick(rid::IDC_BKED_CONNECTION, connection);
        click(rid::IDC_BKED_CONNECT);
        select(rid::IDC_BKED_TABLES, tables);
        select(rid::IDC_BKED_SCHEDULES, schedules);
    }
    // Creates backup "nightly" of `tables` (on `schedules`) of the
    // connection "shop" through the backup editor.
    void createBackup(const QStringList& tables, const QStringList& schedules = {})
    {
        menu(rid::IDC_MENU_CREATE_BACKUP);
        fillBackup("nightly", "Customers and orders", QStringLiteral("shop"), tables, schedules);
        answer({0});
        click(rid::IDC_BKED_SAVE);
    }
};

} // namespace test
