#include "GuiTestSupport.h"
#include "core/store/StoreKeys.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <algorithm>

#include <sqlite3.h>
#include <sys/stat.h>

// What the window does with a settings file it cannot read, and with a
// history log it cannot write.
class TestStoreAtStart : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        MainWindow::TrayAvailable() = [] { return true; };
    }

    // A damaged file is named with its reason and offered to be moved
    // aside; a locked one is waited for a bounded time. Either way the
    // window comes up and the history log keeps its entries.
    void anUnreadableStoreIsSaid_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<int>("moveAnswer"); // the answer to the move question; -1: not asked
        QTest::addColumn<QString>("firstText");
        QTest::newRow("damaged, kept") << "junk" << 0 << "\" cannot be read: file is not a database.";
        QTest::newRow("damaged, moved aside") << "junk" << 1 << "\" cannot be read: file is not a database.";
        QTest::newRow("locked") << "locked" << -1 << "\" is locked by another program (database is locked).";
    }

    void anUnreadableStoreIsSaid()
    {
        QFETCH(QString, situation);
        QFETCH(int, moveAnswer);
        QFETCH(QString, firstText);
        test::GuiHooks hooks;
        test::TempDataDir dir;
        const std::string db = dir.file("vorda.db");
        const std::string junk(4096, '\x7f');
        sqlite3* holder = nullptr;
        if (situation == "locked")
            test::PrepareEarlierRun(dir);
        test::WriteFile(dir.file("vorda_history.log"), "0|Mon, Dec 07, 2026 - 02:14:39 AM|from an old run\r\n");
        if (situation == "locked") {
            QCOMPARE(sqlite3_open(db.c_str(), &holder), SQLITE_OK);
            QCOMPARE(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        } else {
            test::WriteFile(db, junk);
        }
        MessageHook::SetNextAnswer(0);
        MessageHook::SetNextAnswer(moveAnswer < 0 ? 0 : moveAnswer);

        QElapsedTimer started;
        started.start();
        auto window = test::OpenWindow(dir);
        window->show();
        QVERIFY(window->isVisible());
        // About the five seconds waited for a lock, and not a wait per read.
        QVERIFY2(started.elapsed() < kStoreWaitMs + 3000, qPrintable(QString::number(started.elapsed())));
        if (holder)
            sqlite3_close(holder);

        const std::vector<std::string> texts = test::AskedTexts();
        QCOMPARE(texts.size(), size_t(moveAnswer < 0 ? 1 : 2));
        QCOMPARE(QString::fromStdString(texts[0]), "The settings file \"" + QString::fromStdString(db) + firstText
                     + (situation == "locked" ? "\r\n\r\nVorda starts without your settings and definitions and "
                                                "cannot save changes. Close the other program, then start Vorda again."
                                              : ""));
        std::vector<std::string> files = test::FilesIn(dir.path());
        if (moveAnswer >= 0) {
            QVERIFY(texts[1].starts_with("Move the settings file aside as \"vorda.db.damaged-"));
            const bool moved = moveAnswer == 1;
            // The damaged file is where the user can find it.
            const auto aside = std::find_if(files.begin(), files.end(),
                                            [](const std::string& f) { return f.starts_with("vorda.db.damaged-"); });
            QCOMPARE(aside != files.end(), moved);
            QCOMPARE(test::ReadFile(moved ? dir.file(*aside) : db), junk);
            // Moved aside, the fresh file is written and read again.
            QCOMPARE(IsFirstStart(window->State().store), !moved);
            QCOMPARE(window->State().store.Check(0).health, moved ? StoreHealth::Sound : StoreHealth::Damaged);
        }
        const std::string log = test::ReadFile(dir.file("vorda_history.log"));
        QVERIFY2(log.starts_with("0|Mon, Dec 07, 2026 - 02:14:39 AM|from an old run\r\n"), log.c_str());
        QVERIFY2(log.ends_with("|Vorda System Started\r\n"), log.c_str());
        QVERIFY(log.find(situation == "locked" ? "|Settings File Locked: " + db : "|Settings File Unreadable: " + db)
                != std::string::npos);
    }

    // A save into a settings file that cannot be written says so, with the
    // reason, and nothing is logged as saved.
    void aSaveThatFailsIsSaid()
    {
        test::GuiHooks hooks;
        test::TempDataDir dir;
        test::PrepareEarlierRun(dir);
        auto window = test::OpenWindow(dir);
        AppState& state = window->State();
        sqlite3* holder = nullptr;
        QCOMPARE(sqlite3_open(state.paths.dbPath.c_str(), &holder), SQLITE_OK);
        QCOMPARE(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        state.store.SetBusyTimeout(0);
        MessageHook::Reset();
        QVERIFY(!StoredOrSaid("Connection", state.store.SetValue("T", "k", "v")));
        QVERIFY(StoredOrSaid("Connection", StoreStatus {}));
        sqlite3_close(holder);
        QCOMPARE(test::AskedTexts(), std::vector<std::string> {"Connection could not be saved: database is locked"});
    }

    // A history log that cannot be written is reported on screen once.
    void anUnwritableLogIsReportedOnce()
    {
        test::GuiHooks hooks;
        test::TempDataDir dir;
        test::PrepareEarlierRun(dir);
        auto window = test::OpenWindow(dir);
        AppState& state = window->State();
        MessageHook::Reset();
        // A folder in the log's place: the log's file cannot be replaced.
        QCOMPARE(::unlink(state.paths.logPath.c_str()), 0);
        QCOMPARE(::mkdir(state.paths.logPath.c_str(), 0700), 0);
        for (const char* entry : {"one", "two", "three"})
            state.log.AppendEntry(false, entry);
        QTRY_COMPARE(MessageHook::Requests().size(), size_t(1));
        QTest::qWait(50);
        QCOMPARE(test::AskedTexts(),
                 std::vector<std::string> {"The history log \"" + state.paths.logPath
                                           + "\" could not be written: Is a directory.\r\n\r\nNew history entries "
                                             "are kept while Vorda runs, and written once the file can be written "
                                             "again."});
        QCOMPARE(MessageHook::Requests()[0].kind, MessageKind::Error);
        QCOMPARE(::rmdir(state.paths.logPath.c_str()), 0);
    }
};

QTEST_MAIN(TestStoreAtStart)
#include "tst_store_at_start.moc"
