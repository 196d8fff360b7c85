#include "DefinitionsTestSupport.h"
#include "gui/definitions/BackupEditor.h"
#include "gui/definitions/EditorParts.h"
#include "gui/widgets/ReportList.h"

#include <QComboBox>
#include <QHeaderView>

namespace {

using test::PageFixture;
using Texts = std::vector<std::string>;

// A scratch database with a few tables, one of them named with a bar, a
// view and a sequence.
struct ShopDatabase {
    test::ScratchDatabase db {"vorda_backup_editor"};
    ShopDatabase()
    {
        for (const char* table : {"orders", "users", "a|b", "zeta"})
            db.exec(std::string("CREATE TABLE ") + QuoteIdentifier(table) + " (id INT)");
        // Not tables: a backup never lists them.
        db.exec("CREATE VIEW v_orders AS SELECT id FROM orders");
        db.exec("CREATE SEQUENCE s_orders");
    }
};

ReportList* Tables(PageFixture& f)
{
    return f.control<ReportList>(rid::IDC_BKED_TABLES);
}

ReportList* Schedules(PageFixture& f)
{
    return f.control<ReportList>(rid::IDC_BKED_SCHEDULES);
}

// Selects the rows named `names`, in this order (as clicks would).
void Select(ReportList* list, const QStringList& names)
{
    for (const QString& name : names)
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            if (list->topLevelItem(i)->text(1) == name)
                list->topLevelItem(i)->setSelected(true);
}

void Connect(PageFixture& f, const std::string& name = "nightly", const std::string& description = "Every night")
{
    f.type(rid::IDC_BKED_NAME, name);
    f.type(rid::IDC_BKED_DESCRIPTION, description);
    f.click(rid::IDC_BKED_CONNECT);
}

} // namespace

class TestBackupEditor : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    // After connecting, Save checks in order; the connection stored is the
    // one the tables were listed from.
    void saveChecksInOrder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("connection"); // chosen after connecting
        QTest::addColumn<bool>("tables");         // any selected
        QTest::addColumn<QString>("refusal");     // empty: saved
        QTest::newRow("no name") << "" << "shop" << true << "No Backup Name Specified.";
        QTest::newRow("hyphen") << "night-ly" << "shop" << true << QString::fromLatin1(editor::kInvalidCharacters);
        const QString inUse = "Backup Name Already in Use.\n\r\n\rPlease Select Another Name.";
        QTest::newRow("same name") << "old" << "shop" << true << inUse;
        QTest::newRow("other case") << "OLD" << "shop" << true << inUse;
        QTest::newRow("other connection")
            << "nightly" << "blog" << true
            << "Site Connection Changed.\r\n\r\nThe tables listed are those of \"shop\". Please click \"Connect to "
               "Site and Continue\" to list the tables of \"blog\" before saving.";
        QTest::newRow("no tables") << "nightly" << "shop" << false << "No tables have been selected.";
        QTest::newRow("saved") << "my nightly" << "shop" << true << "";
    }

    void saveChecksInOrder()
    {
        REQUIRE_TEST_SERVER();
        QFETCH(QString, name);
        QFETCH(QString, connection);
        QFETCH(bool, tables);
        QFETCH(QString, refusal);
        ShopDatabase shop;
        PageFixture f([&shop](AppState& s) {
            test::DefineConnection(s, "shop", shop.db.params());
            test::DefineConnection(s, "blog", shop.db.params());
            test::DefineBackup(s, "old", "shop", "orders");
        });
        auto* page = f.open<BackupEditor>(rid::PAGE_CREATE_BACKUP);
        f.control<QComboBox>(rid::IDC_BKED_CONNECTION)->setCurrentText("shop");
        Connect(f);
        QCOMPARE(page->ListedConnection(), std::string("shop"));
        f.type(rid::IDC_BKED_NAME, name.toStdString());
        f.control<QComboBox>(rid::IDC_BKED_CONNECTION)->setCurrentText(connection);
        // Another connection may be connected to again.
        QCOMPARE(f.control(rid::IDC_BKED_CONNECT)->isEnabled(), connection != "shop");
        if (tables)
            Select(Tables(f), {"users", "orders"});
        f.asked();
        f.click(rid::IDC_BKED_SAVE);
        if (!refusal.isEmpty()) {
            QCOMPARE(f.asked(), Texts {refusal.toStdString()});
            QCOMPARE(f.state().nameLists.Load(NameList::Backups), Texts {"old"});
            return;
        }
        QCOMPARE(f.asked(), Texts {"Backup Saved\r\n\r\nDo you wish to create another?"});
        QCOMPARE(test::RowsInOrder(f.state().paths.dbPath, "Tesmo_BACKUP_NAME_my_nightly"),
                 Texts({"IDC_CNSB_NAME=my_nightly", "IDC_CNSB_DESC=Every night", "IDC_CNSB_COMBO_1=shop",
                        "IDC_LIST1=orders|users", "IDC_SCHD_LIST=", "LAST_BACKUP=Never been processed"}));
        QCOMPARE(f.state().nameLists.Load(NameList::Backups), Texts({"old", "my_nightly"}));
        QCOMPARE(f.state().totals.backups, 2);
        QCOMPARE(f.state().log.Entries().back().message, std::string("New Backup Saved: my_nightly"));
    }

    // Connecting lists the database's tables live; a table named with "|"
    // and the no-schedules row cannot be chosen. Editing selects what is
    // stored, exactly.
    void listsTheTablesAndEditsAgain()
    {
        REQUIRE_TEST_SERVER();
        ShopDatabase shop;
        PageFixture f([&shop](AppState& s) {
            test::DefineConnection(s, "shop2", shop.db.params());
            test::DefineConnection(s, "shop", shop.db.params());
            test::DefineConnection(s, "Blog", shop.db.params());
        });
        f.open<BackupEditor>(rid::PAGE_CREATE_BACKUP);
        auto* combo = f.control<QComboBox>(rid::IDC_BKED_CONNECTION);
        QCOMPARE(combo->currentText(), QStringLiteral("Blog")); // sorted, case ignored
        QVERIFY(!Tables(f)->isEnabled() && !Schedules(f)->isEnabled());
        QVERIFY(!f.control(rid::IDC_BKED_SAVE)->isEnabled());
        QVERIFY(!f.control(rid::IDC_BKED_CANCEL_EDIT));
        QCOMPARE(f.control<QLabel>(rid::IDC_BKED_TABLES_LOCATED)->text(), QStringLiteral("Awaiting Data"));
        QVERIFY2(f.a11yProblems().isEmpty(), qPrintable(f.a11yProblems()));

        f.click(rid::IDC_BKED_CONNECT);
        QCOMPARE(f.asked(), Texts {"No Backup Name Specified."});
        f.type(rid::IDC_BKED_NAME, "nightly");
        f.click(rid::IDC_BKED_CONNECT);
        QCOMPARE(f.asked(), Texts {"No Site Description Entered."});
        combo->setCurrentText("shop");
        Connect(f);
        QCOMPARE(f.asked(), Texts {});
        QCOMPARE(test::RowTexts(Tables(f)), QStringList({"0001 a|b", "0002 orders", "0003 users", "0004 zeta"}));
        QCOMPARE(f.control<QLabel>(rid::IDC_BKED_STATUS)->text(), QStringLiteral("Connected"));
        QCOMPARE(f.control<QLabel>(rid::IDC_BKED_CONNECTED_TO)->text(), QString::fromStdString(shop.db.name()));
        QCOMPARE(f.control<QLabel>(rid::IDC_BKED_TABLES_LOCATED)->text(), QStringLiteral("4"));
        QVERIFY(!f.control(rid::IDC_BKED_CONNECT)->isEnabled());
        QVERIFY(f.control(rid::IDC_BKED_SAVE)->isEnabled());
        QCOMPARE(f.window->focusWidget(), Tables(f));
        // The headings span the whole list while it needs no scroll bar.
        for (ReportList* list : {Tables(f), Schedules(f)})
            QCOMPARE(list->header()->length(), list->viewport()->width());
        QCOMPARE(test::RowTexts(Schedules(f)),
                 QStringList {"0000 No Schedules Available - Use 'Create a New Schedule'"});
        QVERIFY2(f.a11yProblems().isEmpty(), qPrintable(f.a11yProblems()));

        // "Select All" passes over the rows that cannot be chosen.
        f.click(rid::IDC_BKED_TABLES_ALL);
        f.click(rid::IDC_BKED_SCHEDULES_ALL);
        QCOMPARE(Tables(f)->SelectedTexts(1), QStringList({"orders", "users", "zeta"}));
        QVERIFY(Schedules(f)->SelectedTexts(1).isEmpty());
        f.click(rid::IDC_BKED_TABLES_NONE);
        QVERIFY(Tables(f)->SelectedTexts(1).isEmpty());
        Select(Tables(f), {"zeta", "a|b", "orders"});
        f.click(rid::IDC_BKED_SAVE);
        QCOMPARE(f.asked(), Texts {"Backup Saved\r\n\r\nDo you wish to create another?"});
        QCOMPARE(BackupDef::Load(f.state().store, "nightly").tables, Texts({"orders", "zeta"}));

        // Edit mode with schedules now: the stored ones are selected after
        // connecting, compared exactly; a table that went is dropped.
        test::DefineSchedule(f.state(), "Weekly", ScheduleDef::kWeekly, "Day: Friday - Time: 11:45 PM");
        test::DefineSchedule(f.state(), "hourly", ScheduleDef::kHourly, "Every Turn of the Hour");
        BackupDef stored = BackupDef::Load(f.state().store, "nightly");
        stored.tables = {"orders", "Users", "gone"};
        stored.schedules = {"hourly"};
        stored.Save(f.state().store);
        f.open<BackupEditor>(rid::PAGE_CREATE_BACKUP, EditorMode::Edit, "nightly");
        combo = f.control<QComboBox>(rid::IDC_BKED_CONNECTION);
        QCOMPARE(combo->currentText(), QStringLiteral("shop")); // the stored one, not shop2
        QVERIFY(f.control<QLineEdit>(rid::IDC_BKED_NAME)->isReadOnly());
        QVERIFY(f.control(rid::IDC_BKED_CANCEL_EDIT));
        f.click(rid::IDC_BKED_CONNECT);
        QCOMPARE(Tables(f)->SelectedTexts(1), QStringList {"orders"});
        QCOMPARE(test::RowTexts(Schedules(f)), QStringList({"0001 Weekly", "0002 hourly"}));
        QCOMPARE(Schedules(f)->SelectedTexts(1), QStringList {"hourly"});
        Select(Schedules(f), {"Weekly"});
        MessageHook::SetNextAnswer(1); // "edit another?" Yes
        f.click(rid::IDC_BKED_SAVE);
        QCOMPARE(f.asked(), Texts {"Edited Backup Saved\r\n\r\nDo you wish to edit another?"});
        const BackupDef edited = BackupDef::Load(f.state().store, "nightly");
        QCOMPARE(edited.tables, Texts {"orders"});
        QCOMPARE(edited.schedules, Texts({"Weekly", "hourly"}));
        QCOMPARE(edited.lastBackup, std::string("Never been processed"));
        QCOMPARE(f.state().currentPageId, rid::PAGE_EDIT_BACKUPS);
    }

    // Editing a backup whose connection was deleted selects none, not one
    // whose name merely begins the same, and asks for one; connecting waits
    // until one is chosen.
    void aDeletedConnectionIsNotReplacedUnasked()
    {
        REQUIRE_TEST_SERVER();
        ShopDatabase shop;
        PageFixture f([&shop](AppState& s) {
            test::DefineConnection(s, "shop2", shop.db.params());
            test::DefineConnection(s, "shop", shop.db.params());
            test::DefineBackup(s, "nightly", "shop", "orders");
            BackupDef described = BackupDef::Load(s.store, "nightly");
            described.description = "Every night";
            described.Save(s.store);
            ConnectionDef::Delete(s.store, s.nameLists, "shop");
        });
        f.open<BackupEditor>(rid::PAGE_CREATE_BACKUP, EditorMode::Edit, "nightly");
        auto* combo = f.control<QComboBox>(rid::IDC_BKED_CONNECTION);
        QCOMPARE(combo->currentIndex(), -1);
        QCOMPARE(f.asked(), Texts {"The connection shop of this backup no longer exists.\r\n\r\nPlease select a "
                                   "Site Connection for it, then connect."});
        f.click(rid::IDC_BKED_CONNECT);
        QCOMPARE(f.asked(), Texts {"No Site Connection Selected.\r\n\r\nUse the \"Create a New Connection\" "
                                   "Option on the left to create one, then select it here and connect."});
        QVERIFY(!Tables(f)->isEnabled());
        combo->setCurrentText("shop2");
        f.click(rid::IDC_BKED_CONNECT);
        QCOMPARE(f.asked(), Texts {});
        QCOMPARE(Tables(f)->SelectedTexts(1), QStringList {"orders"});
        f.click(rid::IDC_BKED_SAVE);
        QCOMPARE(BackupDef::Load(f.state().store, "nightly").connection, std::string("shop2"));
    }

    // A connection saved without its password asks for it at every
    // connect; Cancel stops quietly, and nothing typed is stored.
    void asksForAPasswordThatWasNotSaved()
    {
        REQUIRE_TEST_SERVER();
        ShopDatabase shop;
        PageFixture f([&shop](AppState& s) {
            test::DefineConnection(s, "shop", shop.db.params());
            ConnectionDef c = ConnectionDef::Load(s.store, "shop");
            c.savePassword = false;
            QVERIFY(c.Save(s.store));
        });
        auto* page = f.open<BackupEditor>(rid::PAGE_CREATE_BACKUP);
        Connect(f); // the prompt is cancelled
        QCOMPARE(PasswordHook::Requests().size(), size_t(1));
        QCOMPARE(PasswordHook::Requests()[0].connectionName, std::string("shop"));
        QCOMPARE(f.asked(), Texts {});
        QVERIFY(page->ListedConnection().empty());
        QVERIFY(f.control(rid::IDC_BKED_CONNECT)->isEnabled());

        // A wrong password: the server's reason, which never holds the password.
        const std::string wrong = shop.db.params().password + "x";
        PasswordHook::SetNextAnswer(wrong);
        f.click(rid::IDC_BKED_CONNECT);
        const Texts asked = f.asked();
        QCOMPARE(asked.size(), size_t(1));
        QVERIFY2(asked[0].starts_with("Connection Failed.\r\n\r\nAccess denied for user '" + shop.db.params().user + "'@")
                     && asked[0].find(wrong) == std::string::npos,
                 asked[0].c_str());
        QVERIFY(!Tables(f)->isEnabled());
        QCOMPARE(f.control<QLabel>(rid::IDC_BKED_STATUS_TEXT)->text(),
                 QStringLiteral("*** Attempting to connect - please wait. ***"));

        PasswordHook::SetNextAnswer(shop.db.params().password);
        f.click(rid::IDC_BKED_CONNECT);
        QCOMPARE(f.asked(), Texts {});
        QCOMPARE(page->ListedConnection(), std::string("shop"));
        QCOMPARE(PasswordHook::Requests().size(), size_t(3));
        QCOMPARE(ConnectionDef::Load(f.state().store, "shop").password, std::string());
    }

    // Without connections: the opening alert, and Connect says what to do.
    void noConnection()
    {
        PageFixture f;
        f.open<BackupEditor>(rid::PAGE_CREATE_BACKUP);
        QCOMPARE(f.asked(), Texts {"You must first Create a New Connection.\n\nUse the \"Create a New Connection\" "
                                   "Option on the left."});
        Connect(f);
        QCOMPARE(f.asked(), Texts {"No Site Connection Selected.\r\n\r\nUse the \"Create a New Connection\" Option "
                                   "on the left to create one, then select it here and connect."});
        f.open<BackupEditor>(rid::PAGE_CREATE_BACKUP, EditorMode::None);
        QCOMPARE(f.asked().back(), std::string("Invalid New Site Backup Entry."));
    }

    // A backup's table list is never cut at 1000: editing one of 1500
    // tables keeps every one of them.
    void keepsEveryTableOfALargeBackup()
    {
        std::vector<std::string> many;
        for (int i = 1; i <= 1500; ++i)
            many.push_back("t" + std::to_string(i));
        PageFixture f([&many](AppState& s) {
            test::DefineConnection(s, "shop", {"h", 1, "b", "u", "p"});
            test::DefineBackup(s, "big", "shop", JoinBarList(many));
        });
        auto* page = f.open<BackupEditor>(rid::PAGE_CREATE_BACKUP, EditorMode::Edit, "big");
        page->ShowConnected("shop", many);
        QCOMPARE(Tables(f)->topLevelItemCount(), 1500);
        QCOMPARE(Tables(f)->SelectedTexts(1).size(), 1500);
        f.click(rid::IDC_BKED_SAVE);
        QCOMPARE(BackupDef::Load(f.state().store, "big").tables, many);
    }
};

QTEST_MAIN(TestBackupEditor)
#include "tst_backup_editor.moc"
