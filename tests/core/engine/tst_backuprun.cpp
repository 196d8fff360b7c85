#include "EngineTestSupport.h"
#include "core/history/LastFailure.h"
#include "ExampleBackup.h"
#include "HardData.h"
#include "core/state/MessageKind.h"

#include <QTest>

#include <dirent.h>

using test::Lines;
using test::RunFixture;

namespace {

std::vector<std::string> TempFiles(const std::string& dir)
{
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d)) {
            if (std::string(e->d_name).find(".tmp") != std::string::npos)
                names.push_back(e->d_name);
        }
        ::closedir(d);
    }
    return names;
}

// The lines of one table's data section (its INSERT lines).
std::vector<std::string> RowLines(const std::vector<std::string>& lines, const std::string& table)
{
    std::vector<std::string> rows;
    const std::string prefix = "INSERT INTO `" + table + "` VALUES (";
    for (const auto& line : lines) {
        if (line.rfind(prefix, 0) == 0)
            rows.push_back(line);
    }
    return rows;
}

// Replays a backup file into `target`: every CREATE TABLE text and every
// row statement must be accepted by the server.
void Replay(const std::string& file, test::ScratchDatabase& target)
{
    std::string create;
    bool inCreate = false;
    for (const std::string& line : Lines(file)) {
        if (line.rfind("CREATE TABLE `", 0) == 0) {
            inCreate = true;
            create.clear();
        }
        if (inCreate) {
            if (line.empty()) {
                inCreate = false;
                target.exec(create);
            }
            create += line + "\n";
        } else if (line.rfind("INSERT INTO `", 0) == 0) {
            target.exec(line);
        }
    }
}

} // namespace

class TestBackupRun : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        tzset();
    }

    // The example table backs up to the example file (host and database are
    // those of the test server); a scheduled run of the same backup differs
    // only in header line 6, and replaces the file.
    void exampleTableGivesTheExampleFile()
    {
        REQUIRE_TEST_SERVER();
        test::ScratchDatabase db("vorda_example");
        db.exec("CREATE TABLE items (id int(11) NOT NULL AUTO_INCREMENT, name varchar(40) NULL, "
                "price decimal(8,2) NOT NULL DEFAULT 0.00, PRIMARY KEY (id), KEY name (name))");
        db.exec("INSERT INTO items VALUES (1, 'O''Brien`s tea', 3.50), (2, NULL, 0.00)");
        RunFixture f;
        f.now = test::kExampleStart;
        f.connection("shop", db.params());
        f.backup("Nightly_Shop", "shop", "items");

        const BackupOutcome out = f.run("Nightly_Shop");
        QCOMPARE(out.status, RunStatus::Completed);
        const std::string definition = db.showCreate("items");
        QVERIFY(definition.find("AUTO_INCREMENT=3") != std::string::npos);
        const std::string expected = test::ExampleBackupWritten("127.0.0.1", db.name(), definition);
        QCOMPARE(f.file("Nightly_Shop"), expected);
        // The tally counts the lines the file holds.
        QCOMPARE(out.lineTally, static_cast<long long>(Lines(expected).size()));
        QCOMPARE(out.rowsWritten, 2ULL);
        QCOMPARE(out.resultWord, std::string("Complete"));
        const std::string start = "Monday, December 07, 2026 - 02:14:35 AM";
        QCOMPARE(out.startTimeText, start);
        QCOMPARE(out.listRowText, start);
        QCOMPARE(out.lastBackup, start);
        QCOMPARE(f.saved("Nightly_Shop").lastBackup, start);
        QCOMPARE(f.saved("Nightly_Shop").lineCount, std::to_string(out.lineTally));
        QCOMPARE(f.counter(keys::kLastBackupName), std::string("Nightly_Shop"));
        QCOMPARE(f.counter(keys::kLastBackupDt), start);
        QCOMPARE(f.counter(keys::kLastBackupType), std::string("Manual"));
        QCOMPARE(f.log(), (std::vector<std::string> {"S Manual Backup Started: Nightly_Shop",
                                                     "S Backup Successful: Nightly_Shop"}));
        QVERIFY(!f.state.backupRunning);
        QCOMPARE(f.ui.started, 1);
        QCOMPARE(f.ui.Texts(RunField::RunStatus),
                 (std::vector<std::string> {"Connecting to Site", "Attempting to Connect", "Connected",
                                            "Backing up items", "Backup Complete"}));
        QCOMPARE(f.ui.Texts(RunField::TableMembers), (std::vector<std::string> {"Waiting", "2 rows", "All Copied"}));
        QCOMPARE(f.ui.Texts(RunField::RunMode), (std::vector<std::string> {"Manual"}));
        QCOMPARE(f.ui.Texts(RunField::SiteBackup), (std::vector<std::string> {"Nightly_Shop"}));
        QCOMPARE(f.ui.Texts(RunField::ElapsedTime).front(), std::string("00:00:00"));
        QCOMPARE(f.ui.cursor, (std::vector<bool> {true, false}));
        QVERIFY(f.ui.messages.empty());
        QVERIFY(TempFiles(f.dir.path()).empty());

        // The scheduled run: same start time, same file but line 6.
        f.ui = test::RecordingUi();
        const BackupOutcome automatic = f.run("Nightly_Shop", RunKind::Automatic);
        QCOMPARE(automatic.status, RunStatus::Completed);
        const std::string scheduled = f.file("Nightly_Shop");
        std::string manualLine6 = expected;
        const std::string from = "MySQL Backup File - Manual\r\n";
        manualLine6.replace(manualLine6.find(from), from.size(), "MySQL Backup File - Automatic\r\n");
        QCOMPARE(scheduled, manualLine6);
        QCOMPARE(f.counter(keys::kLastBackupType), std::string("Automatic"));
        QCOMPARE(f.log().back(), std::string("V Auto Backup Ended: Nightly_Shop - Elapsed Time: 00:00:00"));
        QCOMPARE(f.log()[2], std::string("S Auto Backup Executed: Nightly_Shop"));
        // A scheduled run shows nothing on the page; it only lets the window breathe.
        QVERIFY(f.ui.texts.empty());
        QVERIFY(f.ui.cursor.empty());
        QVERIFY(f.ui.steps.empty());
        QVERIFY(f.ui.pumps > 0);
    }

    // Tables of 0 to 250 rows are cut into n / 100 + 1 pages; a table without
    // rows has no data section. The tally counts the lines the file holds.
    void pagesFollowTheRowCount()
    {
        REQUIRE_TEST_SERVER();
        test::ScratchDatabase db("vorda_pages");
        const std::vector<int> sizes = {0, 1, 99, 100, 101, 200, 250};
        std::string tables;
        for (int n : sizes) {
            const std::string t = "r" + std::to_string(n);
            db.exec("CREATE TABLE " + t + " (id int NOT NULL PRIMARY KEY, v varchar(20))");
            test::FillRows(db, t, n);
            tables += (tables.empty() ? "" : "||") + t;
        }
        RunFixture f;
        f.connection("c", db.params());
        f.backup("pages", "c", tables + "|");
        std::map<std::string, std::vector<std::string>> offsets;
        std::string current;
        f.ui.onText = [&](RunField field, const std::string& text) {
            if (field == RunField::RunStatus && text.rfind("Backing up ", 0) == 0)
                current = text.substr(11);
            if (field == RunField::CurrentMember && !current.empty())
                offsets[current].push_back(text);
        };
        const BackupOutcome out = f.run("pages");
        QCOMPARE(out.status, RunStatus::Completed);
        const std::string file = f.file("pages");
        const std::vector<std::string> lines = Lines(file);
        for (int n : sizes) {
            const std::string t = "r" + std::to_string(n);
            const std::vector<std::string> rows = RowLines(lines, t);
            QCOMPARE(int(rows.size()), n);
            const bool heading = file.find("--- Dumping data for table `" + t + "` - Total rows: " + std::to_string(n) + "\r\n")
                != std::string::npos;
            QCOMPARE(heading, n > 0);
            if (n == 0) {
                QVERIFY(!offsets.count(t));
                continue;
            }
            QCOMPARE(rows.front(), "INSERT INTO `" + t + "` VALUES ('1', 'v1')");
            QCOMPARE(rows.back(), "INSERT INTO `" + t + "` VALUES ('" + std::to_string(n) + "', 'v" + std::to_string(n) + "')");
            std::vector<std::string> expected = {"0"}; // "Current Member" is set to 0 before the pages
            for (int p = 0; p <= n / 100; ++p)
                expected.push_back(std::to_string(100 * p));
            expected.push_back("0"); // and once more after the run
            if (t != "r250")
                expected.pop_back();
            QCOMPARE(offsets[t], expected);
        }
        QCOMPARE(f.ui.range[RunBar::Overall], 1); // reset at the end
        QCOMPARE(out.lineTally, static_cast<long long>(lines.size()));
        QCOMPARE(f.saved("pages").lineCount, std::to_string(lines.size()));
        QCOMPARE(out.rowsWritten, 1ULL + 99 + 100 + 101 + 200 + 250);
    }

    // Hard values, odd table names, a composite key, expression defaults and
    // indexed text: every structure section and row statement is accepted by
    // the server, and the copy holds exactly the original data.
    void hardValuesReplayToTheSameData()
    {
        REQUIRE_TEST_SERVER();
        test::ScratchDatabase db("vorda_hard");
        const auto tables = test::CreateHardTables(db);
        RunFixture f;
        f.connection("c", db.params());
        f.backup("hard", "c", "hard|order|my table|a-b");
        const BackupOutcome out = f.run("hard");
        QCOMPARE(out.status, RunStatus::Completed);
        const std::string file = f.file("hard");
        const std::vector<std::string> lines = Lines(file);

        // A few lines exactly.
        auto has = [&](const std::string& line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); };
        QVERIFY(has("INSERT INTO `hard` VALUES ('1', NULL, NULL, NULL, NULL, NULL, NULL, NULL)"));
        QVERIFY(has("INSERT INTO `hard` VALUES ('2', '0', '2026-12-07', '0.00', '', '', '', '')"));
        QVERIFY(has("INSERT INTO `hard` VALUES ('3', '-5', '1999-01-31', '-12.34', 'It\\'s C:\\\\ a`b \\\"q\\\"', "
                    "'line1\\r\\nline2\\nend\\r', '\\0\xff\\0\\n\\r\\\\\\'\\\"\\Z', 'tab\there')"));
        // Each structure section is the server's own definition.
        for (const auto& [table, order] : tables) {
            const std::string title = "--- Table structure for table " + QuoteIdentifier(table) + "\r\n---\r\n\r\n";
            const size_t at = file.find(title);
            QVERIFY2(at != std::string::npos, table.c_str());
            const std::string section = file.substr(at + title.size(), file.find("\r\n\r\n", at + title.size()) - at - title.size());
            std::string definition = db.showCreate(table);
            for (size_t lf = definition.find('\n'); lf != std::string::npos; lf = definition.find('\n', lf + 2))
                definition.insert(lf, "\r");
            QCOMPARE(section, definition);
        }
        QVERIFY(has("  PRIMARY KEY (`other col`,`my col`)"));
        QVERIFY(has("CREATE TABLE `my table` ("));
        QVERIFY(has("INSERT INTO `order` VALUES ('2', NULL)"));
        for (const auto& line : lines)
            QVERIFY(line.find('\n') == std::string::npos && line.find('\r') == std::string::npos);

        test::ScratchDatabase copy("vorda_hard_copy");
        Replay(file, copy);
        for (const auto& [table, order] : tables) {
            const std::string q = "SELECT * FROM " + QuoteIdentifier(table) + " ORDER BY " + order;
            const auto original = test::AllRows(db.sql(), q);
            QVERIFY(!original.empty());
            QCOMPARE(test::AllRows(copy.sql(), q), original);
        }
        QCOMPARE(copy.scalar("SELECT LENGTH(t) FROM hard WHERE id = 5"), std::string("65536"));
        QCOMPARE(copy.scalar("SELECT HEX(b) FROM hard WHERE id = 4"), std::string("00"));
    }

    // A table dropped after the backup was defined: its `describe` is
    // refused. Nothing is stored and the previous file stays.
    void droppedTableFailsWithoutHarm()
    {
        REQUIRE_TEST_SERVER();
        test::ScratchDatabase db("vorda_dropped");
        db.exec("CREATE TABLE good (id int NOT NULL PRIMARY KEY, v varchar(20))");
        test::FillRows(db, "good", 150);
        RunFixture f;
        f.connection("c", db.params());
        f.backup("b", "c", "good|gone");
        test::WriteFile(f.path("b"), "previous backup\r\n");
        BackupDef::StoreLineCount(f.state.store, "b", 1);

        const BackupOutcome out = f.run("b");
        QCOMPARE(out.status, RunStatus::Failed);
        QCOMPARE(f.ui.messages, (std::vector<std::pair<MessageKind, std::string>> {{MessageKind::Error, "The database table errored."}}));
        QCOMPARE(f.file("b"), std::string("previous backup\r\n"));
        QVERIFY(TempFiles(f.dir.path()).empty());
        QCOMPARE(f.saved("b").lastBackup, std::string(BackupDef::kNeverProcessed));
        QCOMPARE(f.saved("b").lineCount, std::string("1"));
        QCOMPARE(f.counter(keys::kLastBackupName), std::string());
        QVERIFY2(out.reason.starts_with("Database table error - ") && out.reason.find("gone") != std::string::npos,
                 out.reason.c_str());
        QCOMPARE(f.log(), (std::vector<std::string> {"S Manual Backup Started: b", "S Backup Failed: b - " + out.reason}));
        QVERIFY(!f.state.backupRunning);
        QCOMPARE(f.ui.cursor, (std::vector<bool> {true, false}));
    }

    // A backup that names a view, or whose connection was deleted, fails
    // before anything is written, manual or scheduled, and names the view or
    // the connection; the deleted connection's password is not asked for.
    void viewsAndDeletedConnectionsFailBeforeWriting()
    {
        REQUIRE_TEST_SERVER();
        test::ScratchDatabase db("vorda_view");
        db.exec("CREATE TABLE t (id int NOT NULL PRIMARY KEY, v varchar(20))");
        test::FillRows(db, "t", 3);
        db.exec("CREATE VIEW v AS SELECT id FROM t");
        db.exec("CREATE VIEW w AS SELECT v FROM t");
        struct Case {
            const char* tables;
            bool deleteConnection;
            RunKind kind;
            std::string message;
            std::vector<std::string> log;
        };
        const std::string kept = "\r\n\r\nThe backup failed; the previous backup file was kept.";
        const std::vector<Case> cases = {
            {"t|v", false, RunKind::Manual,
             "The backup names the view `v`, which is not a table: edit the backup and leave it out." + kept,
             {"S Manual Backup Started: b", "S Backup Failed: b - View Not Backed Up - View: v"}},
            {"w|t|v", false, RunKind::Automatic, "",
             {"S Auto Backup Executed: b", "S View Not Backed Up: b - View: w - Backup Failed",
              "V Auto Backup Ended: b - Elapsed Time: 00:00:00"}},
            {"w|t|v", false, RunKind::Manual,
             "The backup names the views `w`, `v`, which are not tables: edit the backup and leave them out." + kept,
             {"S Manual Backup Started: b", "S Backup Failed: b - View Not Backed Up - View: w"}},
            {"t", true, RunKind::Manual, "The connection c no longer exists.",
             {"S Manual Backup Started: b", "S Backup Failed: b - Connection Missing - The connection c no longer exists."}},
            {"t", true, RunKind::Automatic, "",
             {"S Auto Backup Executed: b", "S Connection Missing: b - Backup Failed",
              "S The connection c no longer exists."}},
        };
        for (const Case& c : cases) {
            RunFixture f;
            ConnectionParams p = db.params();
            f.connection("c", p);
            f.backup("b", "c", c.tables);
            if (c.deleteConnection) {
                ConnectionDef site = ConnectionDef::Load(f.state.store, "c");
                site.savePassword = false;
                site.Save(f.state.store);
                ConnectionDef::Delete(f.state.store, f.state.nameLists, "c");
            }
            test::WriteFile(f.path("b"), "previous backup\r\n");
            const BackupOutcome out = f.run("b", c.kind);
            QCOMPARE(out.status, RunStatus::Failed);
            QCOMPARE(f.ui.messages.size(), size_t(c.message.empty() ? 0 : 1));
            if (!c.message.empty())
                QCOMPARE(QString::fromStdString(f.ui.messages[0].second), QString::fromStdString(c.message));
            QCOMPARE(f.log(), c.log);
            QVERIFY(f.ui.askedPasswords.empty());
            QCOMPARE(f.file("b"), std::string("previous backup\r\n"));
            QVERIFY(TempFiles(f.dir.path()).empty());
            QCOMPARE(f.saved("b").lastBackup, std::string(BackupDef::kNeverProcessed));
        }
    }

    // `show columns from` refused: the table vanishes (dropped by another
    // client) between its structure section and its data.
    void tableVanishingAfterItsStructureFails()
    {
        REQUIRE_TEST_SERVER();
        test::ScratchDatabase db("vorda_vanish");
        db.exec("CREATE TABLE victim (id int NOT NULL PRIMARY KEY, v varchar(20))");
        db.exec("CREATE TABLE other (id int NOT NULL PRIMARY KEY, v varchar(20))");
        test::FillRows(db, "victim", 10);
        RunFixture f;
        f.connection("c", db.params());
        f.backup("b", "c", "victim|other");
        bool dropped = false;
        test::DropAtFirstPump(f.ui, db, "victim", dropped);
        const BackupOutcome out = f.run("b");
        QVERIFY(dropped);
        QCOMPARE(out.status, RunStatus::Failed);
        QCOMPARE(f.ui.messages,
                 (std::vector<std::pair<MessageKind, std::string>> {{MessageKind::Error, "The system could not locate the requested table."}}));
        QVERIFY(!test::FileExists(f.path("b")));
        QVERIFY(TempFiles(f.dir.path()).empty());
        QCOMPARE(f.saved("b").lastBackup, std::string(BackupDef::kNeverProcessed));
        QVERIFY(!f.state.backupRunning);
    }

    void wrongPasswordAndOddPortTexts()
    {
        REQUIRE_TEST_SERVER();
        test::ScratchDatabase db("vorda_connect");
        db.exec("CREATE TABLE t (id int NOT NULL PRIMARY KEY, v varchar(20))");
        RunFixture f;
        ConnectionParams wrong = db.params();
        wrong.password += "-wrong";
        f.connection("bad", wrong);
        f.backup("b", "bad", "t");
        const BackupOutcome out = f.run("b");
        QCOMPARE(out.status, RunStatus::Failed);
        QCOMPARE(f.ui.messages,
                 (std::vector<std::pair<MessageKind, std::string>> {{MessageKind::Error, "The system failed to connect to the designated host."}}));
        QVERIFY(!test::FileExists(f.path("b")));
        QVERIFY2(out.reason.starts_with("Host Connect Failure - Access denied"), out.reason.c_str());
        QCOMPARE(f.log(), (std::vector<std::string> {"S Manual Backup Started: b", "S Backup Failed: b - " + out.reason}));
        const LastFailure last = LoadLastFailure(f.state.store);
        QCOMPARE(last.name + " - " + last.time + " - " + last.reason,
                 "b - Monday, December 07, 2026 - 02:14:35 AM - " + out.reason);
        QVERIFY(!f.state.backupRunning);

        // The port is read as its leading digits after blanks.
        f.connection("odd", db.params(), "  " + std::to_string(db.params().port) + "xyz");
        f.backup("o", "odd", "t");
        QCOMPARE(f.run("o").status, RunStatus::Completed);

        // A run asked for while another is going is refused with an alert.
        f.ui = test::RecordingUi();
        f.state.backupRunning = true;
        QCOMPARE(f.run("o").status, RunStatus::Refused);
        QCOMPARE(f.ui.messages, (std::vector<std::pair<MessageKind, std::string>> {
                                    {MessageKind::Alert, "Another Backup is Currently Running.\r\n\r\nPlease wait."}}));
        QVERIFY(f.state.backupRunning);
        QCOMPARE(f.ui.started, 0);
    }

    // Cancelling during the second page: the run stops after that page, the
    // previous backup file and its stored facts survive, and the last-run
    // facts and the history record the cancel. (The run counts first here,
    // so the page offsets show as their pages are read; counted on the
    // second connection, the pages read while the count comes are shown with
    // it, and a cancel then stops the run at the next page.)
    void cancelDuringTheSecondPageKeepsThePreviousFile()
    {
        REQUIRE_TEST_SERVER();
        test::ScratchDatabase db("vorda_cancel");
        test::CreateFilledTables(db, {{"big", 250}, {"later", 5}});
        RunFixture f;
        f.connection("c", db.params());
        f.backup("b", "c", "big|later");
        QCOMPARE(f.run("b").status, RunStatus::Completed);
        const std::string previous = f.file("b");
        const std::string previousTime = f.saved("b").lastBackup;
        const std::string previousCount = f.saved("b").lineCount;

        f.now += 3600;
        f.ui = test::RecordingUi();
        f.ui.onText = [&](RunField field, const std::string& text) {
            if (field == RunField::CurrentMember && text == "100")
                f.state.backupCancelRequested = true; // the "Cancel Backup" button
        };
        f.countFirst = true;
        const BackupOutcome out = f.run("b");
        QCOMPARE(out.status, RunStatus::Cancelled);
        QCOMPARE(out.rowsWritten, 200ULL); // the second page was completed, the third never begun
        QCOMPARE(f.ui.Texts(RunField::CurrentMember), (std::vector<std::string> {"0", "0", "100", "0"}));
        QCOMPARE(out.resultWord, std::string("Cancelled"));
        QCOMPARE(out.listRowText, std::string("Backup Cancelled"));
        QCOMPARE(out.lastBackup, previousTime);
        QCOMPARE(f.ui.Texts(RunField::RunStatus).back(), std::string("Backup Cancelled"));
        QCOMPARE(f.file("b"), previous);
        QVERIFY(TempFiles(f.dir.path()).empty());
        QCOMPARE(f.saved("b").lastBackup, previousTime);
        QCOMPARE(f.saved("b").lineCount, previousCount);
        QCOMPARE(f.counter(keys::kLastBackupDt), FormatLocalTime(f.now, kLongTimeFormat));
        QCOMPARE(f.counter(keys::kLastBackupName), std::string("b"));
        QCOMPARE(f.counter(keys::kLastBackupType), std::string("Manual"));
        QCOMPARE(f.log().back(), std::string("S Backup Cancelled: b"));
        QVERIFY(!f.state.backupRunning);

        f.ui = test::RecordingUi();
        f.ui.onText = [&](RunField field, const std::string& text) {
            if (field == RunField::RunStatus && text == "Backing up big")
                f.state.backupCancelRequested = true;
        };
        f.countFirst = false;
        f.countMode = BackupRun::CountMode::Ahead;
        const BackupOutcome ahead = f.run("b");
        QCOMPARE(ahead.status, RunStatus::Cancelled);
        QVERIFY(ahead.rowsWritten <= 250);
        QCOMPARE(f.ui.Texts(RunField::TableMembers), (std::vector<std::string> {"Waiting", "250 rows", "All Copied"}));
        QCOMPARE(f.file("b"), previous);
        QVERIFY(TempFiles(f.dir.path()).empty());
        QCOMPARE(f.saved("b").lineCount, previousCount);
    }

    // A connection lost in the middle of a table fails the run instead of
    // storing a short file as a success; a scheduled run logs it and lets the
    // sequence go on.
    void aLostConnectionFailsTheRun()
    {
        REQUIRE_TEST_SERVER();
        test::ScratchDatabase db("vorda_lost");
        db.exec("CREATE TABLE big (id int NOT NULL PRIMARY KEY, v varchar(250))");
        db.exec("INSERT INTO big SELECT seq, REPEAT('x', 200) FROM seq_1_to_100000");
        RunFixture f;
        f.connection("c", db.params());
        f.backup("b", "c", "big");
        test::WriteFile(f.path("b"), "previous\r\n");
        auto killRunAtSecondPage = [&](RunField field, const std::string& text) {
            if (field != RunField::CurrentMember || text != "100")
                return;
            // The run's own connection, the one reading the rows.
            const std::string id = db.scalar("SELECT ID FROM information_schema.PROCESSLIST WHERE DB = '" + db.name()
                                             + "' AND ID <> CONNECTION_ID() AND INFO LIKE 'select * from%' LIMIT 1");
            QVERIFY(!id.empty());
            db.exec("KILL CONNECTION " + id);
        };
        f.ui.onText = killRunAtSecondPage;
        f.countFirst = true; // the offsets show as their pages are read
        const BackupOutcome out = f.run("b");
        QCOMPARE(out.status, RunStatus::Failed);
        QVERIFY(out.rowsWritten < 100000);
        QCOMPARE(f.ui.messages, (std::vector<std::pair<MessageKind, std::string>> {{MessageKind::Error, "The database table errored."}}));
        QCOMPARE(f.file("b"), std::string("previous\r\n"));
        QVERIFY(TempFiles(f.dir.path()).empty());
        QCOMPARE(f.saved("b").lastBackup, std::string(BackupDef::kNeverProcessed));
        QCOMPARE(f.counter(keys::kLastBackupName), std::string());
        QVERIFY(!f.state.backupRunning);

        // Scheduled: the run reports through the page's pump only.
        f.state.log.Clear();
        f.ui = test::RecordingUi();
        f.countFirst = false;
        // The run also pumps while it waits for the server; it is cut once
        // it streams the rows.
        bool killed = false;
        f.ui.onPump = [&] {
            if (killed)
                return;
            const std::string info = db.scalar("SELECT INFO FROM information_schema.PROCESSLIST WHERE DB = '"
                                               + db.name() + "' AND ID <> CONNECTION_ID() AND INFO LIKE "
                                               "'select * from%' LIMIT 1");
            if (info.starts_with("select * from")) {
                killed = true;
                killRunAtSecondPage(RunField::CurrentMember, "100");
            }
        };
        const BackupOutcome automatic = f.run("b", RunKind::Automatic);
        QCOMPARE(automatic.status, RunStatus::Failed);
        QVERIFY2(automatic.reason.starts_with("Connection Lost - "), automatic.reason.c_str());
        QCOMPARE(f.log(), (std::vector<std::string> {"S Auto Backup Executed: b", "S Connection Lost: b - Backup Failed",
                                                     "V Auto Backup Ended: b - Elapsed Time: 00:00:00"}));
        QCOMPARE(f.saved("b").lastBackup, std::string(BackupDef::kNeverProcessed));
        QCOMPARE(f.file("b"), std::string("previous\r\n"));
    }

    // Counted as its rows are read, a table is read once and its file is the
    // one a run counting first writes, whether the server's estimate of its
    // rows has as many digits as the count or not: rows another client
    // deleted or inserted without committing are out of the estimate or in
    // it, but in the run's snapshot or not. Until a table's count is known
    // its members are "Waiting"; its pages and the bars' steps are those of
    // counting first.
    void countingWhileReadingWritesTheFileOfCountingFirst()
    {
        REQUIRE_TEST_SERVER();
        test::ScratchDatabase db("vorda_reading");
        test::CreateFilledTables(db, {{"empty", 0}, {"one", 1}, {"hundred", 100}, {"t250", 250}, {"grown", 250},
                                      {"shrunk", 250}, {"big", 1234}});
        // Exact statistics first, so that a background recount queued by the
        // filling cannot land between the changes below and the checks.
        db.exec("ANALYZE TABLE grown, shrunk");
        MysqlConnection other;
        QVERIFY(other.Connect(db.params()));
        QVERIFY(other.Query("START TRANSACTION"));
        QVERIFY(other.Query("INSERT INTO shrunk SELECT seq, 'uncommitted' FROM seq_1000_to_30999"));
        QVERIFY(other.Query("DELETE FROM grown WHERE id > 1"));
        const auto estimate = [&](const char* table) {
            return db.scalar(std::string("SELECT TABLE_ROWS FROM information_schema.TABLES WHERE TABLE_SCHEMA = "
                                         "DATABASE() AND TABLE_NAME = '")
                             + table + "'");
        };
        // The server's estimates follow the uncommitted changes; a recount it
        // runs by itself may be under way, so wait for it to settle.
        QTRY_VERIFY_WITH_TIMEOUT(estimate("shrunk").size() >= 5, 10000); // more digits than 250
        QTRY_COMPARE_WITH_TIMEOUT(estimate("grown"), std::string("1"), 10000); // and one digit here
        const std::string tables = "empty|one|hundred|t250|grown|shrunk|big";

        RunFixture first;
        first.countFirst = true;
        first.connection("c", db.params());
        first.backup("b", "c", tables);
        QCOMPARE(first.run("b").status, RunStatus::Completed);

        RunFixture f;
        f.connection("c", db.params());
        f.backup("b", "c", tables);
        const BackupOutcome out = f.run("b");
        QCOMPARE(out.status, RunStatus::Completed);
        const std::string file = f.file("b");
        QCOMPARE(file, first.file("b"));
        QVERIFY(file.find("`grown` - Total rows: 250\r\n") != std::string::npos);
        QVERIFY(file.find("`shrunk` - Total rows: 250\r\n") != std::string::npos);
        QVERIFY(file.find("uncommitted") == std::string::npos);
        QCOMPARE(out.lineTally, std::stoll(first.saved("b").lineCount));
        QCOMPARE(out.rowsWritten, 1ULL + 100 + 250 + 250 + 250 + 1234);
        QCOMPARE(out.tablesReadAhead, 3); // "one", "t250" and "shrunk"
        QCOMPARE(TempFiles(f.dir.path()).size(), size_t(0));

        QCOMPARE(f.ui.Texts(RunField::TableMembers),
                 (std::vector<std::string> {"Waiting", "1 rows", "Waiting", "100 rows", "Waiting", "250 rows", "Waiting",
                                            "250 rows", "Waiting", "250 rows", "Waiting", "1234 rows", "All Copied"}));
        QCOMPARE(f.ui.Texts(RunField::CurrentMember), first.ui.Texts(RunField::CurrentMember));
        QCOMPARE(f.ui.Texts(RunField::RunStatus), first.ui.Texts(RunField::RunStatus));
        // The overall bar steps three times for a table with rows of fewer
        // than 7 pages and eight times for a larger one; the table bar ends
        // every table full, at one step per page read.
        QCOMPARE(first.ui.totalSteps[RunBar::Overall], 3 * 5 + 8);
        QCOMPARE(f.ui.totalSteps[RunBar::Overall], first.ui.totalSteps[RunBar::Overall]);
        const auto fullRanges = [](const std::vector<std::pair<int, int>>& closed) {
            std::vector<std::pair<int, int>> full;
            for (const auto& r : closed) {
                if (r.first == r.second && (full.empty() || full.back() != r))
                    full.push_back(r);
            }
            return full;
        };
        const std::vector<std::pair<int, int>>& counted = first.ui.closedRanges[RunBar::CurrentTable];
        QCOMPARE(counted.size(), size_t(6)); // one per table with rows, each closed by the next range
        for (const auto& r : counted)
            QCOMPARE(r.second, r.first);
        QCOMPARE(fullRanges(f.ui.closedRanges[RunBar::CurrentTable]), fullRanges(counted));

        // Cancelled in the middle of a table: the run stops after the page,
        // and the previous file stays.
        f.ui = test::RecordingUi();
        f.ui.onText = [&](RunField field, const std::string& text) {
            if (field == RunField::CurrentMember && text == "100")
                f.state.backupCancelRequested = true;
        };
        const BackupOutcome cancelled = f.run("b");
        QCOMPARE(cancelled.status, RunStatus::Cancelled);
        QCOMPARE(cancelled.rowsWritten, 1ULL + 100); // table "hundred" ends with its second page, empty
        QCOMPARE(f.ui.Texts(RunField::TableMembers),
                 (std::vector<std::string> {"Waiting", "1 rows", "Waiting", "All Copied"}));
        QCOMPARE(f.file("b"), file);
        QCOMPARE(TempFiles(f.dir.path()).size(), size_t(0));
    }

    // Every second table read on a second connection gives the file that
    // one connection gives, byte for byte: hard values, empty tables, tables
    // larger than one write of the spool, an odd and an even number of
    // tables. The panel shows the same texts and the same bar steps.
    void readingAheadWritesTheFileOfOneConnection_data()
    {
        QTest::addColumn<QString>("tables");
        QTest::addColumn<int>("readAhead");
        QTest::newRow("hard values") << "hard|order|my table|a-b" << 2;
        QTest::newRow("sizes") << "empty|big|one|empty2|huge" << 2;
        QTest::newRow("large second") << "one|huge" << 1;
        QTest::newRow("one table") << "big" << 0;
    }

    void readingAheadWritesTheFileOfOneConnection()
    {
        REQUIRE_TEST_SERVER();
        QFETCH(QString, tables);
        QFETCH(int, readAhead);
        test::ScratchDatabase db("vorda_read_ahead");
        test::CreateHardTables(db);
        test::CreateFilledTables(db, {{"empty", 0}, {"empty2", 0}, {"one", 1}, {"big", 1234}, {"huge", 30000}});
        std::map<bool, RunFixture> runs;
        for (const bool ahead : {false, true}) {
            RunFixture& f = runs[ahead];
            f.readAhead = ahead;
            f.connection("c", db.params());
            f.backup("b", "c", tables.toStdString());
            const BackupOutcome out = f.run("b");
            QCOMPARE(out.status, RunStatus::Completed);
            QCOMPARE(out.tablesReadAhead, ahead ? readAhead : 0);
            QCOMPARE(TempFiles(f.dir.path()).size(), size_t(0));
        }
        QVERIFY(runs[true].file("b").size() > 1000);
        QCOMPARE(runs[true].file("b"), runs[false].file("b"));
        QCOMPARE(runs[true].saved("b").lineCount, runs[false].saved("b").lineCount);
        for (const RunField field : {RunField::TableMembers, RunField::CurrentMember, RunField::RunStatus})
            QCOMPARE(runs[true].ui.Texts(field), runs[false].ui.Texts(field));
        QCOMPARE(runs[true].ui.totalSteps[RunBar::Overall], runs[false].ui.totalSteps[RunBar::Overall]);
    }

    // Rows that another client adds while the run is between pages appear
    // neither in the table being read nor in a table read later.
    void theRunReadsOneSnapshot()
    {
        REQUIRE_TEST_SERVER();
        test::ScratchDatabase db("vorda_snapshot");
        db.exec("CREATE TABLE first (id int NOT NULL PRIMARY KEY, v varchar(20))");
        db.exec("CREATE TABLE second (id int NOT NULL PRIMARY KEY, v varchar(20))");
        test::FillRows(db, "first", 250);
        test::FillRows(db, "second", 5);
        RunFixture f;
        f.connection("c", db.params());
        f.backup("b", "c", "first|second");
        bool inserted = false;
        f.ui.onText = [&](RunField field, const std::string& text) {
            if (field == RunField::CurrentMember && text == "100" && !inserted) {
                inserted = true;
                db.exec("INSERT INTO first VALUES (0, 'late'), (1000, 'late')");
                db.exec("INSERT INTO second VALUES (6, 'late')");
                db.exec("DELETE FROM second WHERE id = 1");
            }
        };
        const BackupOutcome out = f.run("b");
        QVERIFY(inserted);
        QCOMPARE(out.status, RunStatus::Completed);
        const std::string file = f.file("b");
        QCOMPARE(RowLines(Lines(file), "first").size(), size_t(250));
        QCOMPARE(RowLines(Lines(file), "second").size(), size_t(5));
        QVERIFY(file.find("Total rows: 5\r\n") != std::string::npos);
        QVERIFY(file.find("late") == std::string::npos);
        QCOMPARE(RowLines(Lines(file), "second").front(), std::string("INSERT INTO `second` VALUES ('1', 'v1')"));
    }
};

QTEST_GUILESS_MAIN(TestBackupRun)
#include "tst_backuprun.moc"
