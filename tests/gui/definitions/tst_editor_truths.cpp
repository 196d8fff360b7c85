#include "DefinitionsTestSupport.h"
#include "gui/definitions/BackupEditor.h"
#include "gui/definitions/ConnectionEditor.h"
#include "gui/definitions/ScheduleEditor.h"

#include <QAccessible>
#include <QListWidget>
#include <QRadioButton>
#include <QToolButton>

namespace {

using test::PageFixture;
using Texts = std::vector<std::string>;

const char* const kLeaveQuestion =
    "Leave this page without saving?\r\n\r\nThe changes made here have not been saved.";

void ClickMenu(PageFixture& f, int id)
{
    f.window->MenuPageWidget()->findChild<QPushButton*>(ControlName(id))->click();
    test::DeleteClosedPages();
}

// A connection, a backup reading from it and a schedule, each named "shop".
void DefineAll(AppState& s)
{
    test::DefineConnection(s, "shop", {"127.0.0.1", 3306, "shop", "backup", "secret"});
    test::DefineSchedule(s, "shop", ScheduleDef::kDaily, "Time: 02:00 AM");
    test::DefineBackup(s, "shop", "shop", "orders", "shop");
}

} // namespace

class TestEditorTruths : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    // Each editor: its create button opens a fresh editor while it is open
    // in edit mode; leaving it with unsaved changes asks first (No stays,
    // Yes leaves), leaving it unchanged does not.
    void leavingAnEditorAsksFirst_data()
    {
        QTest::addColumn<int>("editorPage");
        QTest::addColumn<int>("listPage");
        QTest::addColumn<int>("nameId");
        QTest::addColumn<int>("descriptionId");
        QTest::newRow("connection") << rid::PAGE_CREATE_CONNECTION << rid::PAGE_EDIT_CONNECTIONS << rid::IDC_CONN_NAME
                                    << rid::IDC_CONN_DESCRIPTION;
        QTest::newRow("backup") << rid::PAGE_CREATE_BACKUP << rid::PAGE_EDIT_BACKUPS << rid::IDC_BKED_NAME
                                << rid::IDC_BKED_DESCRIPTION;
        QTest::newRow("schedule") << rid::PAGE_CREATE_SCHEDULE << rid::PAGE_EDIT_SCHEDULES << rid::IDC_SCED_NAME
                                  << rid::IDC_SCED_DESCRIPTION;
    }

    void leavingAnEditorAsksFirst()
    {
        QFETCH(int, editorPage);
        QFETCH(int, listPage);
        QFETCH(int, nameId);
        QFETCH(int, descriptionId);
        PageFixture f(DefineAll);
        f.open<QWidget>(editorPage, EditorMode::Edit, "shop");
        QCOMPARE(f.control<QLineEdit>(nameId)->text(), QStringLiteral("shop"));
        f.asked();

        // Unchanged: the create button replaces it at once with a fresh editor.
        ClickMenu(f, editorPage);
        QCOMPARE(f.asked(), Texts {});
        QCOMPARE(f.control<QLineEdit>(nameId)->text(), QString());
        QVERIFY(!f.control<QLineEdit>(nameId)->isReadOnly());

        f.type(descriptionId, "typed, not saved");
        ClickMenu(f, listPage);
        QCOMPARE(f.asked(), Texts {kLeaveQuestion});
        QCOMPARE(f.state().currentPageId, editorPage);
        QCOMPARE(f.control<QLineEdit>(descriptionId)->text(), QStringLiteral("typed, not saved"));
        MessageHook::SetNextAnswer(1);
        ClickMenu(f, listPage);
        QCOMPARE(f.asked(), Texts {kLeaveQuestion});
        QCOMPARE(f.state().currentPageId, listPage);

        // Cancel Edit gives the changes up without a question.
        f.open<QWidget>(editorPage, EditorMode::Edit, "shop");
        f.type(descriptionId, "given up");
        f.click(editorPage == rid::PAGE_CREATE_CONNECTION ? rid::IDC_CONN_CANCEL_EDIT
                : editorPage == rid::PAGE_CREATE_BACKUP   ? rid::IDC_BKED_CANCEL_EDIT
                                                          : rid::IDC_SCED_CANCEL_EDIT);
        QCOMPARE(f.asked(), Texts {});
        QCOMPARE(f.state().currentPageId, listPage);
    }

    // The connection editor's Save: blanks around host, database and user
    // are trimmed, the port is checked as on Test, and Enter in a field
    // saves as the button does.
    void connectionSaveCleansAndChecks_data()
    {
        QTest::addColumn<QStringList>("fields"); // host, port, database, user
        QTest::addColumn<bool>("enter");
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QStringList>("stored"); // host, port, database, user; empty: nothing stored
        const QString saved = "Connection Saved\r\n\r\n    Do you wish to create another?";
        QTest::newRow("blanks trimmed") << QStringList {" db.lan ", "3306", "\tshop ", " backup"} << false << saved
                                        << QStringList {"db.lan", "3306", "shop", "backup"};
        QTest::newRow("Enter saves") << QStringList {"db.lan", "3307", "shop", "backup"} << true << saved
                                     << QStringList {"db.lan", "3307", "shop", "backup"};
        QTest::newRow("port over range") << QStringList {"db.lan", "70000", "shop", "backup"} << false
                                         << "The port number \"70000\" of connection \"site\" is not valid.\r\n\r\n"
                                            "A port number is a whole number from 1 to 65535."
                                         << QStringList {};
        QTest::newRow("port zero") << QStringList {"db.lan", "0", "shop", "backup"} << true
                                   << "The port number \"0\" of connection \"site\" is not valid.\r\n\r\n"
                                      "A port number is a whole number from 1 to 65535."
                                   << QStringList {};
    }

    void connectionSaveCleansAndChecks()
    {
        QFETCH(QStringList, fields);
        QFETCH(bool, enter);
        QFETCH(QString, asked);
        QFETCH(QStringList, stored);
        PageFixture f;
        f.open<ConnectionEditor>(rid::PAGE_CREATE_CONNECTION);
        f.type(rid::IDC_CONN_NAME, "site");
        f.type(rid::IDC_CONN_DESCRIPTION, "d");
        f.type(rid::IDC_CONN_PASSWORD, "p");
        const int ids[] = {rid::IDC_CONN_HOST, rid::IDC_CONN_PORT, rid::IDC_CONN_DATABASE, rid::IDC_CONN_USER};
        for (int i = 0; i < 4; ++i)
            f.control<QLineEdit>(ids[i])->setText(fields[i]);
        if (enter)
            QTest::keyClick(f.control<QLineEdit>(rid::IDC_CONN_DESCRIPTION), Qt::Key_Return);
        else
            f.click(rid::IDC_CONN_SAVE);
        QCOMPARE(f.asked(), Texts {asked.toStdString()});
        const ConnectionDef def = ConnectionDef::Load(f.state().store, "site");
        QCOMPARE(f.state().nameLists.Contains(NameList::Connections, "site"), !stored.isEmpty());
        if (stored.isEmpty())
            return;
        QCOMPARE(QStringList({QString::fromStdString(def.host), QString::fromStdString(def.port),
                              QString::fromStdString(def.database), QString::fromStdString(def.user)}),
                 stored);
    }

    // A saved password is masked when the connection is opened for editing;
    // the button beside it shows and hides it, and names itself.
    void passwordIsMaskedWithAToggle()
    {
        PageFixture f(DefineAll);
        f.open<ConnectionEditor>(rid::PAGE_CREATE_CONNECTION, EditorMode::Edit, "shop");
        auto* password = f.control<QLineEdit>(rid::IDC_CONN_PASSWORD);
        auto* toggle = f.control<QToolButton>(rid::IDC_CONN_SHOW_PASSWORD);
        QVERIFY(toggle);
        QCOMPARE(password->text(), QStringLiteral("secret"));
        QCOMPARE(password->echoMode(), QLineEdit::Password);
        QCOMPARE(QAccessible::queryAccessibleInterface(toggle)->text(QAccessible::Name), QStringLiteral("Show Password"));
        for (const auto mode : {QLineEdit::Normal, QLineEdit::Password}) {
            toggle->click();
            QCOMPARE(password->echoMode(), mode);
            QCOMPARE(toggle->isChecked(), mode == QLineEdit::Normal);
        }
        // Showing the password changes nothing to save.
        toggle->click();
        QVERIFY(!f.current<ConnectionEditor>()->HasUnsavedChanges());
        QVERIFY2(f.a11yProblems().isEmpty(), qPrintable(f.a11yProblems()));
    }

    // A stored schedule is shown as stored: its entries in their order with
    // repeats, a category that is not one of the four by its stored text.
    // Saving it unchanged stores it unchanged.
    void storedSchedulesShowAsStored_data()
    {
        QTest::addColumn<QString>("category");
        QTest::addColumn<QString>("entries");
        QTest::addColumn<QString>("shownCategory");
        QTest::newRow("repeated entries, out of order")
            << "SCHD_DAILY" << "Time: 02:00 AM|Time: 01:00 AM|Time: 02:00 AM" << "Daily";
        QTest::newRow("unknown category") << "SCHD_YEARLY" << "Date: 1st - Time: 02:00 AM" << "SCHD_YEARLY";
        QTest::newRow("category in lower case") << "schd_weekly" << "Day: Monday - Time: 02:00 AM" << "schd_weekly";
    }

    void storedSchedulesShowAsStored()
    {
        QFETCH(QString, category);
        QFETCH(QString, entries);
        QFETCH(QString, shownCategory);
        const std::string storedCategory = category.toStdString();
        PageFixture f([&](AppState& s) {
            test::DefineSchedule(s, "odd", storedCategory.c_str(), entries.toStdString());
        });
        const ScheduleDef before = ScheduleDef::Load(f.state().store, "odd");
        auto* page = f.open<ScheduleEditor>(rid::PAGE_CREATE_SCHEDULE, EditorMode::Edit, "odd");
        QCOMPARE(page->Entries(), SplitBarList(entries.toStdString()));
        QCOMPARE(f.control<QLabel>(rid::IDC_SCED_CATEGORY)->text(), shownCategory);
        const bool known = category == "SCHD_DAILY";
        int checked = 0;
        for (QRadioButton* radio : page->findChildren<QRadioButton*>())
            checked += radio->isChecked();
        QCOMPARE(checked, known ? 1 : 0);
        QVERIFY(!page->HasUnsavedChanges());
        if (!known) {
            // Nothing can be added until a category is chosen.
            f.click(rid::IDC_SCED_ADD);
            QCOMPARE(f.asked(), Texts {"Please Select a Category Before Adding an Entry."});
            QCOMPARE(page->Entries(), before.entries);
        }
        f.click(rid::IDC_SCED_SAVE);
        QCOMPARE(f.asked(), Texts {"Edited Schedule Saved\r\n\r\nDo you wish to edit another?"});
        QCOMPARE(ScheduleDef::Load(f.state().store, "odd"), before);
    }
};

QTEST_MAIN(TestEditorTruths)
#include "tst_editor_truths.moc"
