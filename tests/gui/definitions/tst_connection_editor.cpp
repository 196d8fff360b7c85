#include "DefinitionsTestSupport.h"
#include "gui/app/HelpWindow.h"
#include "gui/definitions/ConnectionEditor.h"
#include "gui/definitions/EditorParts.h"

#include <QCheckBox>
#include <QElapsedTimer>


namespace {

using test::PageFixture;
using Texts = std::vector<std::string>;

const char* const kInUse = "Connection Name Already in Use.\r\n\r\nPlease Select Another Name.";

// Fills the editor's fields; an empty text leaves a field empty.
void Fill(PageFixture& f, const ConnectionParams& p, const std::string& name = "local",
          const std::string& description = "The test server")
{
    f.type(rid::IDC_CONN_NAME, name);
    f.type(rid::IDC_CONN_DESCRIPTION, description);
    f.type(rid::IDC_CONN_HOST, p.host);
    f.type(rid::IDC_CONN_PORT, std::to_string(p.port));
    f.type(rid::IDC_CONN_DATABASE, p.database);
    f.type(rid::IDC_CONN_USER, p.user);
    f.type(rid::IDC_CONN_PASSWORD, p.password);
}

} // namespace

class TestConnectionEditor : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    // Save checks the fields in order and stops at the first failure; the
    // name is refused when a connection has it in any letter case, and when
    // it would share a table with the program's own records.
    void saveChecksInOrder_data()
    {
        QTest::addColumn<QStringList>("fields"); // name, description, host, database, user, password
        QTest::addColumn<QString>("refusal");    // empty: saved
        const QString invalid = QString::fromLatin1(editor::kInvalidCharacters);
        QTest::newRow("nothing") << QStringList {"", "", "", "", "", ""} << "No Name Entered.";
        QTest::newRow("hyphen") << QStringList {"my-site", "", "", "", "", ""} << invalid;
        QTest::newRow("full stop") << QStringList {"my.site", "d", "h", "b", "u", "p"} << invalid;
        QTest::newRow("description") << QStringList {"site", "", "", "", "", ""} << "No Description Entered.";
        QTest::newRow("host") << QStringList {"site", "d", "", "", "", ""} << "No Host Name/IP Address Entered.";
        QTest::newRow("database") << QStringList {"site", "d", "h", "", "", ""} << "No Database Name Entered.";
        QTest::newRow("user") << QStringList {"site", "d", "h", "b", "", ""} << "No User Name Entered.";
        QTest::newRow("password") << QStringList {"site", "d", "h", "b", "u", ""} << "No Password Entered.";
        QTest::newRow("same name") << QStringList {"shop", "d", "h", "b", "u", "p"} << kInUse;
        QTest::newRow("other case") << QStringList {"Shop", "d", "h", "b", "u", "p"} << kInUse;
        QTest::newRow("configuration") << QStringList {"configuration", "d", "h", "b", "u", "p"} << kInUse;
        QTest::newRow("counters") << QStringList {"COUNTERS", "d", "h", "b", "u", "p"} << kInUse;
        QTest::newRow("backup table") << QStringList {"BACKUP_NAME_x", "d", "h", "b", "u", "p"} << kInUse;
        QTest::newRow("schedule table") << QStringList {"schedule_name_x", "d", "h", "b", "u", "p"} << kInUse;
        QTest::newRow("saved") << QStringList {"Shop2", "d", "h", "b", "u", "p"} << "";
    }

    void saveChecksInOrder()
    {
        QFETCH(QStringList, fields);
        QFETCH(QString, refusal);
        PageFixture f([](AppState& s) { test::DefineConnection(s, "shop", {"h", 1, "b", "u", "p"}); });
        f.open<ConnectionEditor>(rid::PAGE_CREATE_CONNECTION);
        const int ids[] = {rid::IDC_CONN_NAME, rid::IDC_CONN_DESCRIPTION, rid::IDC_CONN_HOST,
                           rid::IDC_CONN_DATABASE, rid::IDC_CONN_USER, rid::IDC_CONN_PASSWORD};
        for (int i = 0; i < 6; ++i)
            f.type(ids[i], fields[i].toStdString());
        f.click(rid::IDC_CONN_SAVE);
        const std::string name = fields[0].toStdString();
        if (refusal.isEmpty()) {
            QCOMPARE(f.asked(), Texts {"Connection Saved\r\n\r\n    Do you wish to create another?"});
            QCOMPARE(f.state().nameLists.Load(NameList::Connections), Texts({"shop", name}));
            return;
        }
        QCOMPARE(f.asked(), Texts {refusal.toStdString()});
        // Nothing stored: the one connection is unchanged.
        QCOMPARE(f.state().nameLists.Load(NameList::Connections), Texts {"shop"});
        QCOMPARE(ConnectionDef::Load(f.state().store, "shop").host, std::string("h"));
        QVERIFY(f.control(rid::IDC_CONN_SAVE));
    }

    // A new connection: blanks become underscores, the password is not
    // kept when "Save Password" is cleared, the menu learns of it. In edit
    // mode the name is fixed and the password must be typed again.
    void saveAndEditAgain()
    {
        PageFixture f;
        QCOMPARE(f.state().totals.connections, 0);
        f.open<ConnectionEditor>(rid::PAGE_CREATE_CONNECTION);
        QVERIFY(!f.control(rid::IDC_CONN_CANCEL_EDIT));
        QCOMPARE(f.control<QLineEdit>(rid::IDC_CONN_PORT)->text(), QStringLiteral("3306"));
        QVERIFY(f.control<QCheckBox>(rid::IDC_CONN_SAVE_PASSWORD)->isChecked());
        QVERIFY2(f.a11yProblems().isEmpty(), qPrintable(f.a11yProblems()));
        Fill(f, {"db.example.lan", 3307, "shop", "backup", "secret"}, "my site", "Shop server");
        f.control<QCheckBox>(rid::IDC_CONN_SAVE_PASSWORD)->setChecked(false);
        f.click(rid::IDC_CONN_SAVE); // "create another?" No
        QCOMPARE(f.asked(), Texts {"Connection Saved\r\n\r\n    Do you wish to create another?"});

        AppState& s = f.state();
        QCOMPARE(test::RowsInOrder(s.paths.dbPath, "Tesmo_my_site"),
                 Texts({"IDC_DBC_NAME=my_site", "IDC_DBC_DESCRIPTION=Shop server", "IDC_DBC_HOST=db.example.lan",
                        "IDC_DBC_PORT_NUMBER=3307", "IDC_DBC_BASENAME=shop", "IDC_DBC_USERNAME=backup",
                        "IDC_DBC_PASSWORD=", "IDC_DBC_SAVEPASS=FALSE"}));
        QCOMPARE(s.nameLists.Load(NameList::Connections), Texts {"my_site"});
        QCOMPARE(s.totals.connections, 1);
        QCOMPARE(s.log.Entries().back().message, std::string("New Connection Saved: my_site"));
        QCOMPARE(s.currentPageId, rid::PAGE_STATISTICS);
        auto* menu = f.window->MenuPageWidget();
        QVERIFY(menu->findChild<QPushButton*>(ControlName(rid::IDC_MENU_CREATE_BACKUP))->isEnabled());

        // Edit mode: the edit-mode buttons, the name read-only, no password.
        f.open<ConnectionEditor>(rid::PAGE_CREATE_CONNECTION, EditorMode::Edit, "my_site");
        QVERIFY(f.control(rid::IDC_CONN_CANCEL_EDIT));
        QVERIFY(f.control<QLineEdit>(rid::IDC_CONN_NAME)->isReadOnly());
        QCOMPARE(f.control<QLineEdit>(rid::IDC_CONN_HOST)->text(), QStringLiteral("db.example.lan"));
        QCOMPARE(f.control<QLineEdit>(rid::IDC_CONN_PASSWORD)->text(), QString());
        QVERIFY(!f.control<QCheckBox>(rid::IDC_CONN_SAVE_PASSWORD)->isChecked());
        QVERIFY2(f.a11yProblems().isEmpty(), qPrintable(f.a11yProblems()));
        f.click(rid::IDC_CONN_SAVE);
        QCOMPARE(f.asked(), Texts {"No Password Entered."});
        f.type(rid::IDC_CONN_PASSWORD, "secret");
        f.type(rid::IDC_CONN_DESCRIPTION, "Shop server, new rack");
        f.state().selectedName = "something else"; // the page keeps its own name
        MessageHook::SetNextAnswer(1);             // "edit another?" Yes
        f.click(rid::IDC_CONN_SAVE);
        QCOMPARE(f.asked(), Texts {"Connection Saved\r\n\r\n    Do you wish to edit another?"});
        QCOMPARE(ConnectionDef::Description(s.store, "my_site"), std::string("Shop server, new rack"));
        QCOMPARE(ConnectionDef::Load(s.store, "my_site").password, std::string());
        QCOMPARE(s.nameLists.Load(NameList::Connections), Texts {"my_site"});
        QCOMPARE(s.totals.connections, 1);
        QCOMPARE(s.log.Entries().back().message, std::string("Edited Connection Saved: my_site"));
        QCOMPARE(s.currentPageId, rid::PAGE_EDIT_CONNECTIONS);

        // "Cancel Edit" goes back to the list and stores nothing.
        f.open<ConnectionEditor>(rid::PAGE_CREATE_CONNECTION, EditorMode::Edit, "my_site");
        f.type(rid::IDC_CONN_HOST, "elsewhere");
        f.click(rid::IDC_CONN_CANCEL_EDIT);
        QCOMPARE(s.currentPageId, rid::PAGE_EDIT_CONNECTIONS);
        QCOMPARE(ConnectionDef::Load(s.store, "my_site").host, std::string("db.example.lan"));
    }

    // The hint is as it is with no connection, greyed with one, gone with two.
    void nameHintStates()
    {
        PageFixture f;
        f.open<ConnectionEditor>(rid::PAGE_CREATE_CONNECTION);
        QVERIFY(f.control(rid::IDC_CONN_NAME_HINT)->isEnabled());
        f.state().nameLists.Add(NameList::Connections, "a");
        f.open<ConnectionEditor>(rid::PAGE_CREATE_CONNECTION);
        QVERIFY(!f.control(rid::IDC_CONN_NAME_HINT)->isEnabled());
        f.state().nameLists.Add(NameList::Connections, "b");
        f.open<ConnectionEditor>(rid::PAGE_CREATE_CONNECTION);
        QVERIFY(!f.control(rid::IDC_CONN_NAME_HINT));
        f.click(rid::IDC_CONN_DEFAULT_PORT);
        QVERIFY2(f.a11yProblems().isEmpty(), qPrintable(f.a11yProblems()));
    }

    // Test Connection against the private server: success, a wrong
    // password, and a port nothing listens on, which fails at once.
    void testConnection()
    {
        REQUIRE_TEST_SERVER();
        test::ScratchDatabase db("vorda_conn_test");
        PageFixture f([](AppState& s) { test::DefineConnection(s, "taken", {"h", 1, "b", "u", "p"}); });
        f.open<ConnectionEditor>(rid::PAGE_CREATE_CONNECTION);
        const auto verboseLog = [&f] { return f.state().log.Entries().back(); };

        f.click(rid::IDC_CONN_TEST);
        QCOMPARE(f.asked(), Texts {"No Name Specified."});
        Fill(f, db.params(), "Taken");
        f.click(rid::IDC_CONN_TEST);
        QCOMPARE(f.asked(), Texts {"Please Select Another Name."});

        Fill(f, db.params(), "local test");
        f.click(rid::IDC_CONN_TEST);
        QCOMPARE(f.asked(), Texts {"Connection Successful."});
        QCOMPARE(verboseLog().message, std::string("Connection Test Successful: local test"));
        QCOMPARE(verboseLog().verbose, 1);
        QCOMPARE(f.control<QLabel>(rid::IDC_CONN_STATUS)->text(), QString());
        QVERIFY(!QApplication::overrideCursor());

        // Blanks around the host, database and user are not part of them.
        ConnectionParams padded = db.params();
        padded.host = " " + padded.host + " ";
        padded.database += "\t";
        padded.user = " " + padded.user;
        Fill(f, padded, "local test");
        f.click(rid::IDC_CONN_TEST);
        QCOMPARE(f.asked(), Texts {"Connection Successful."});

        // A failure says the server's reason, never the password.
        ConnectionParams wrong = db.params();
        wrong.password += "x";
        Fill(f, wrong, "local test");
        f.click(rid::IDC_CONN_TEST);
        Texts asked = f.asked();
        QCOMPARE(asked.size(), size_t(1));
        QVERIFY2(asked[0].starts_with("The system failed to connect.\r\n\r\nAccess denied for user '" + wrong.user + "'@")
                     && asked[0].find(wrong.password) == std::string::npos,
                 asked[0].c_str());
        QCOMPARE(verboseLog().message, std::string("Connection Test Failed: local test"));

        ConnectionParams closed = db.params();
        closed.port = test::ClosedPort();
        Fill(f, closed, "local test");
        QElapsedTimer took;
        took.start();
        f.click(rid::IDC_CONN_TEST);
        QVERIFY(took.elapsed() < MysqlConnection::kConnectTimeoutSeconds * 1000);
        QCOMPARE(f.asked(), Texts {"The system failed to connect.\r\n\r\nCan't connect to server on '" + closed.host
                                   + "' (111)"});

        // A port that is no port is refused before anything connects.
        f.type(rid::IDC_CONN_PORT, "70000");
        const size_t logged = f.state().log.Entries().size();
        f.click(rid::IDC_CONN_TEST);
        QCOMPARE(f.asked(), Texts {"The port number \"70000\" of connection \"local test\" is not valid.\r\n\r\n"
                                   "A port number is a whole number from 1 to 65535."});
        QCOMPARE(f.state().log.Entries().size(), logged);

        // In edit mode the name in use is the connection's own.
        f.open<ConnectionEditor>(rid::PAGE_CREATE_CONNECTION, EditorMode::Edit, "taken");
        Fill(f, db.params(), "taken");
        f.click(rid::IDC_CONN_TEST);
        QCOMPARE(f.asked(), Texts {"Connection Successful."});
    }

    void invalidModeAndHelp()
    {
        PageFixture f;
        f.open<ConnectionEditor>(rid::PAGE_CREATE_CONNECTION, EditorMode::None);
        QCOMPARE(f.asked(), Texts {"Invalid New Backup Entry."});
        f.click(rid::IDC_CONN_TUTORIALS);
        HelpWindow* help = HelpWindow::Existing();
        QVERIFY(help && help->isVisible());
        QCOMPARE(help->Browser()->source().toString(),
                 QStringLiteral("qrc:/vorda/help/getting-started.html#first-backup"));
    }
};

QTEST_MAIN(TestConnectionEditor)
#include "tst_connection_editor.moc"
