// Crafted backup files against the restore, one case per row: what a hostile
// or unlucky user could hand it. Every case runs against the private server
// with a second database (holding `victim` and `secret`) beside the target,
// and proves byte for byte (tables, SHOW CREATE TABLE, CHECKSUM TABLE) that
// the second database is as it was, and, where the case must touch nothing,
// the target too.
#include "RestoreTestSupport.h"
#include "core/restore/RestoreRun.h"
#include "core/state/MessageKind.h"
#include "core/store/Definitions.h"

#include <QElapsedTimer>
#include <QTest>

#include <functional>
#include <optional>
#include <tuple>
#include <sys/stat.h>
#include <unistd.h>

using test::RecordingRunUi;
using test::RestoreFixture;
using Lines = std::vector<std::string>;
using Messages = std::vector<std::pair<MessageKind, std::string>>;

namespace {

// What a case's file may name: the second database, the server's limit.
struct Env {
    std::string other;
    long long packet = 0;
};

const Lines kColumns = {"  `id` int(11) NOT NULL,", "  `v` varchar(40) NULL,", "  PRIMARY KEY `id` (`id`)", ")"};

std::string Row(int id, const std::string& v)
{
    return "INSERT INTO `t` VALUES ('" + std::to_string(id) + "', '" + v + "')";
}

// The file as the backup of database `database` wrote it: the files below
// name database "target" in their header.
std::string ForDatabase(std::string bytes, const std::string& database)
{
    const std::string line = "-- Database Name: target\r\n";
    if (const size_t at = bytes.find(line); at != std::string::npos)
        bytes.replace(at, line.size(), "-- Database Name: " + database + "\r\n");
    return bytes;
}

// The header, then table `t` with the given structure lines (after its
// CREATE TABLE line) and row lines (its data heading counts them).
Lines FileOf(const Lines& structure, const Lines& rows, const std::string& createLine = "CREATE TABLE `t` (")
{
    Lines lines = test::DumpHeaderLines("nightly", "target");
    for (const char* l : {"", "---", "--- Table structure for table `t`", "---", ""})
        lines.push_back(l);
    lines.push_back(createLine);
    lines.insert(lines.end(), structure.begin(), structure.end());
    if (!rows.empty()) {
        for (const std::string& l :
             {std::string(), std::string("---"),
              "--- Dumping data for table `t` - Total rows: " + std::to_string(rows.size()), std::string("---"),
              std::string()})
            lines.push_back(l);
        lines.insert(lines.end(), rows.begin(), rows.end());
    }
    return lines;
}

// A complete file: with its closing line.
std::string Complete(const Lines& lines)
{
    return test::CrLf(test::WithClosingLine(lines));
}

// A file of t's columns with three rows, the second replaced by `line`
// (line 31 of the file).
std::string WithRow(const std::string& line)
{
    return Complete(FileOf(kColumns, {Row(1, "new"), line, Row(3, "new")}));
}

// A file whose structure of t ends with `last` in place of ")" (line 24),
// or holds `column` in place of its second column line (line 22).
std::string WithStructureEnd(const std::string& last)
{
    Lines columns = kColumns;
    columns.back() = last;
    return Complete(FileOf(columns, {Row(1, "new")}));
}
std::string WithColumn(const std::string& column)
{
    Lines columns = kColumns;
    columns[1] = column;
    return Complete(FileOf(columns, {Row(1, "new")}));
}

std::string Damaged(int line, const std::string& reason)
{
    return "The backup file is incomplete or damaged.\r\n\r\nLine " + std::to_string(line) + ": " + reason
        + ".\r\n\r\nNothing was restored.";
}

std::string Refused(int line, const std::string& why)
{
    return Damaged(line, "the structure statement of table `t` is refused: " + why);
}

const std::string kNotARow = "not a row statement Vorda writes";

struct Case {
    const char* name;
    // The file's bytes; nothing to write none (the case's prepare makes it).
    std::function<std::optional<std::string>(const Env&)> file;
    RestoreMode mode = RestoreMode::Indirect;
    bool safeCopy = false;
    std::vector<int> answers;
    RestoreOutcome outcome = RestoreOutcome::Failed;
    const char* status = "File Error"; // a run status the run must have shown
    std::function<Messages(const Env&)> messages;
    bool targetUnchanged = true;
    std::function<void(RestoreFixture&, const Env&)> prepare = {};
    std::function<void(RestoreFixture&, RecordingRunUi&, const Env&)> during = {};
    std::function<void(RestoreFixture&)> verify = {};
};

Messages Error(const std::string& text)
{
    return {{MessageKind::Error, text}};
}

std::vector<Case> Cases()
{
    auto error = [](std::string text) { return [text](const Env&) { return Error(text); }; };
    auto none = [](const Env&) { return Messages {}; };
    const Messages unfinished = {{MessageKind::YesNo, kUnfinishedFileQuestion}};
    std::vector<Case> cases;

    // The probe's lines.
    for (const RestoreMode mode : {RestoreMode::Indirect, RestoreMode::Absolute}) {
        cases.push_back({mode == RestoreMode::Indirect ? "ON DUPLICATE KEY into another database, indirect"
                                                       : "ON DUPLICATE KEY into another database, absolute",
                         [](const Env& e) {
                             return WithRow("INSERT INTO `" + e.other
                                            + "`.`victim` VALUES (1,'x') ON DUPLICATE KEY UPDATE v='overwritten'");
                         },
                         mode, true, {}, RestoreOutcome::Failed, "File Error", error(Damaged(31, kNotARow))});
    }
    cases.push_back({"a comment hides the qualified name",
                     [](const Env& e) { return WithRow("INSERT INTO " + e.other + ".victim VALUES (3,'x') -- `t`"); },
                     RestoreMode::Indirect, false, {}, RestoreOutcome::Failed, "File Error", error(Damaged(31, kNotARow))});
    cases.push_back({"SELECT from another database",
                     [](const Env& e) { return WithRow("INSERT INTO `t` SELECT 99,s FROM " + e.other + ".secret"); },
                     RestoreMode::Absolute, false, {}, RestoreOutcome::Failed, "File Error", error(Damaged(31, kNotARow))});
    cases.push_back({"a second statement after a row",
                     [](const Env& e) { return WithRow(Row(2, "x") + "; DROP TABLE `" + e.other + "`.`victim`"); },
                     RestoreMode::Indirect, false, {}, RestoreOutcome::Failed, "File Error", error(Damaged(31, kNotARow))});
    cases.push_back({"CREATE TABLE of a qualified name",
                     [](const Env& e) {
                         return Complete(FileOf(kColumns, {Row(1, "new")},
                                                "CREATE TABLE " + e.other + ".t3 (a int) -- `z`"));
                     },
                     RestoreMode::Indirect, false, {}, RestoreOutcome::Failed, "File Error",
                     error(Damaged(20, "\"CREATE TABLE `t` (\" was expected"))});
    cases.push_back({"REFERENCES into another database",
                     [](const Env& e) {
                         return WithColumn("  `v` varchar(40) NULL REFERENCES `" + e.other + "`.`victim` (`v`),");
                     },
                     RestoreMode::Absolute, false, {}, RestoreOutcome::Failed, "File Error",
                     error(Refused(22, "a qualified name (another database)"))});
    for (const char* engine : {"FEDERATED", "CONNECT", "SPIDER"}) {
        cases.push_back({engine,
                         [engine](const Env& e) {
                             return WithStructureEnd(std::string(") ENGINE=") + engine
                                                     + " CONNECTION='mysql://u@127.0.0.1/" + e.other + "/victim'");
                         },
                         RestoreMode::Indirect, false, {}, RestoreOutcome::Failed, "File Error",
                         error(Refused(24, "an engine that does not keep its data in the database"))});
    }
    cases.push_back({"DATA DIRECTORY", [](const Env&) { return WithStructureEnd(") ENGINE=InnoDB DATA DIRECTORY='/tmp'"); },
                     RestoreMode::Absolute, true, {}, RestoreOutcome::Failed, "File Error",
                     error(Refused(24, "DATA DIRECTORY or INDEX DIRECTORY"))});
    cases.push_back({"CREATE ... AS SELECT",
                     [](const Env&) { return WithStructureEnd(") AS SELECT s FROM secret"); }, RestoreMode::Indirect,
                     false, {}, RestoreOutcome::Failed, "File Error", error(Refused(24, "SELECT outside a string"))});
    cases.push_back({"CREATE ... LIKE",
                     [](const Env&) {
                         return Complete(FileOf({"  LIKE `victim`", ")"}, {}));
                     },
                     RestoreMode::Indirect, false, {}, RestoreOutcome::Failed, "File Error",
                     error(Refused(21, "CREATE TABLE ... AS or LIKE"))});
    cases.push_back({"a comment inside the structure",
                     [](const Env&) { return WithColumn("  `v` varchar(40) NULL /* hidden */,"); },
                     RestoreMode::Indirect, false, {}, RestoreOutcome::Failed, "File Error",
                     error(Refused(22, "a comment inside the statement"))});
    cases.push_back({"a second statement after the structure",
                     [](const Env& e) { return WithStructureEnd("); DROP TABLE `" + e.other + "`.`victim`"); },
                     RestoreMode::Absolute, false, {}, RestoreOutcome::Failed, "File Error",
                     error(Refused(24, "a second statement"))});
    cases.push_back({"a row of another table", [](const Env&) { return WithRow("INSERT INTO `u` VALUES ('2', 'x')"); },
                     RestoreMode::Indirect, false, {}, RestoreOutcome::Failed, "File Error",
                     error(Damaged(31, "a row statement of another table than its data section's"))});

    // Files cut short.
    cases.push_back({"cut at a line end after 3 of 5 rows",
                     [](const Env&) {
                         return test::CrLf(FileOf(kColumns, {Row(1, "a"), Row(2, "b"), Row(3, "c"), Row(4, "d"),
                                                             Row(5, "e")}))
                             .substr(0, test::CrLf(FileOf(kColumns, {Row(1, "a"), Row(2, "b"), Row(3, "c")})).size());
                     },
                     RestoreMode::Absolute, true, {}, RestoreOutcome::Failed, "File Error",
                     error(Damaged(33, "the file ends after 3 of the 5 rows of table `t`"))});
    cases.push_back({"cut in the middle of a row",
                     [](const Env&) {
                         const std::string whole = Complete(FileOf(kColumns, {Row(1, "a"), Row(2, "b")}));
                         return whole.substr(0, whole.find(Row(2, "b")) + 20);
                     },
                     RestoreMode::Absolute, false, {}, RestoreOutcome::Failed, "File Error",
                     error(Damaged(31, kNotARow))});
    // Cut right after a CREATE: it reads as a file of an older version
    // whose table has no rows, so the user decides.
    auto cutAfterCreate = [](const Env&) { return test::CrLf(FileOf(kColumns, {})); };
    cases.push_back({"cut after a CREATE, answered No", cutAfterCreate, RestoreMode::Absolute, true, {0},
                     RestoreOutcome::Declined, "Checking Backup File",
                     [unfinished](const Env&) { return unfinished; }});
    {
        Case yes {"cut after a CREATE, answered Yes", cutAfterCreate, RestoreMode::Absolute, true, {1},
                  RestoreOutcome::Complete, "Connected", [unfinished](const Env&) { return unfinished; }};
        yes.targetUnchanged = false;
        yes.verify = [](RestoreFixture& f) {
            QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM t"), std::string("0"));
            QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM SAFE_COPY_t"), std::string("5"));
        };
        cases.push_back(yes);
    }

    // Not backup files at all.
    cases.push_back({"an empty file", [](const Env&) { return std::string(); }, RestoreMode::Absolute, true, {},
                     RestoreOutcome::Failed, "File Error", error(Damaged(1, "the file is empty"))});
    cases.push_back({"junk",
                     [](const Env&) {
                         std::string junk;
                         unsigned int noise = 4242;
                         for (int i = 0; i < 1024 * 1024; ++i) {
                             noise = noise * 1103515245u + 12345u;
                             junk += static_cast<char>(noise >> 16);
                         }
                         return junk;
                     },
                     RestoreMode::Absolute, true, {}, RestoreOutcome::Failed, "File Error",
                     error(Damaged(1, "not the first line of a Vorda backup file"))});
    cases.push_back({"CR-only line ends",
                     [](const Env&) {
                         std::string text = Complete(FileOf(kColumns, {Row(1, "new")}));
                         std::string crOnly;
                         for (char c : text)
                             if (c != '\n')
                                 crOnly += c;
                         return crOnly;
                     },
                     RestoreMode::Absolute, true, {}, RestoreOutcome::Failed, "File Error",
                     error(Damaged(1, "not the first line of a Vorda backup file"))});
    cases.push_back({"a header line changed",
                     [](const Env&) {
                         Lines lines = test::WithClosingLine(FileOf(kColumns, {Row(1, "new")}));
                         lines[2] = "--       WARNING - DO NOT MANUALLY EDIT THIS FILE OR ELSE";
                         return test::CrLf(lines);
                     },
                     RestoreMode::Indirect, false, {}, RestoreOutcome::Failed, "File Error",
                     error(Damaged(3, "header line 3 is not that of a Vorda backup file"))});
    cases.push_back({"a closing line that counts other rows",
                     [](const Env&) {
                         Lines lines = FileOf(kColumns, {Row(1, "new"), Row(2, "new")});
                         lines.push_back("");
                         lines.push_back("-- End of Backup File - Tables: 1 - Rows: 9");
                         return test::CrLf(lines);
                     },
                     RestoreMode::Absolute, false, {}, RestoreOutcome::Failed, "File Error",
                     error(Damaged(33, "the closing line counts 1 tables and 9 rows, but the file holds 1 tables "
                                       "and 2 rows"))});
    cases.push_back({"a line after the closing line",
                     [](const Env&) { return Complete(FileOf(kColumns, {Row(1, "new")})) + Row(2, "late") + "\r\n"; },
                     RestoreMode::Absolute, false, {}, RestoreOutcome::Failed, "File Error",
                     error(Damaged(33, "a line after the closing line"))});
    cases.push_back({"a line longer than the server's packet",
                     [](const Env& e) {
                         Lines lines = FileOf(kColumns, {Row(1, "new")});
                         lines.insert(lines.begin() + 14, std::string(static_cast<size_t>(e.packet), '-'));
                         return Complete(lines);
                     },
                     RestoreMode::Indirect, false, {}, RestoreOutcome::Failed, "File Error",
                     [](const Env& e) {
                         return Error(Damaged(15, "a line of " + std::to_string(e.packet) + " bytes, longer than the "
                                                      + std::to_string(e.packet - 7)
                                                      + " bytes the server accepts in one statement"));
                     }});

    // Not files.
    for (const char* kind : {"a FIFO", "a link to /dev/zero"}) {
        Case c {kind, [](const Env&) { return std::nullopt; }, RestoreMode::Absolute, true, {},
                RestoreOutcome::Failed, "File Error", error("The backup file failed to open.")};
        const bool fifo = std::string(kind) == "a FIFO";
        c.prepare = [fifo](RestoreFixture& f, const Env&) {
            if (fifo)
                QCOMPARE(::mkfifo(f.DumpPath().c_str(), 0600), 0);
            else
                QCOMPARE(::symlink("/dev/zero", f.DumpPath().c_str()), 0);
        };
        cases.push_back(c);
    }

    // The server refuses a CREATE that has every shape Vorda writes: the
    // live table is not dropped (and not copied) first.
    cases.push_back({"a CREATE the server refuses, absolute",
                     [](const Env&) { return WithColumn("  `v` no_such_type NULL,"); }, RestoreMode::Absolute, true, {},
                     RestoreOutcome::Failed, "Table Error",
                     error("Backup restore has errored.\r\n\r\nCan not create restore table.\r\n\r\nNothing was changed.")});
    {
        Case port {"a port of 93100", [](const Env&) { return Complete(FileOf(kColumns, {Row(1, "new")})); },
                   RestoreMode::Absolute, true, {}, RestoreOutcome::Failed, "Connection Failed",
                   error("The port number \"93100\" of connection \"site\" is not valid.\r\n\r\nA port number is a "
                         "whole number from 1 to 65535.")};
        port.prepare = [](RestoreFixture& f, const Env&) {
            ConnectionDef site = ConnectionDef::Load(f.state.store, "site");
            site.port = "93100";
            site.Save(f.state.store);
        };
        cases.push_back(port);
    }
    {
        Case name {"a stored name that leaves the data directory",
                   [](const Env&) { return Complete(FileOf(kColumns, {Row(1, "new")})); }, RestoreMode::Absolute,
                   true, {}, RestoreOutcome::Failed, "File Error",
                   error("The backup definition \"nightly\" is damaged: its stored name is not a valid backup name "
                         "or differs from its name in the list.\r\n\r\nNothing was restored.")};
        name.prepare = [](RestoreFixture& f, const Env&) {
            f.state.store.SetValue(BackupTable("nightly"), "IDC_CNSB_NAME", "x/../../trav2");
        };
        cases.push_back(name);
    }
    {
        const std::string longName(55, 'l');
        Case copy {"a safe copy whose name would pass 64 characters",
                   [longName](const Env&) {
                       Lines lines = FileOf(kColumns, {});
                       for (std::string& line : lines) {
                           for (size_t at = line.find("`t`"); at != std::string::npos; at = line.find("`t`"))
                               line.replace(at, 3, "`" + longName + "`");
                       }
                       return Complete(lines);
                   },
                   RestoreMode::Absolute, true, {}, RestoreOutcome::Failed, "Table Error",
                   error("Backup restore has errored.\r\n\r\nThe safe copy of table `" + longName
                         + "` would be named `SAFE_COPY_" + longName
                         + "`, longer than 64 characters.\r\n\r\nNothing was changed.")};
        copy.prepare = [longName](RestoreFixture& f, const Env&) {
            f.db.exec("CREATE TABLE `" + longName + "` (id int NOT NULL PRIMARY KEY, v varchar(40))");
        };
        cases.push_back(copy);
    }

    // The file changes between the check and the replay: the replay checks
    // every line again and sends nothing it would not have accepted.
    {
        Case swapped {"a file changed after the check",
                      [](const Env&) { return Complete(FileOf(kColumns, {Row(1, "new"), Row(2, "new")})); },
                      RestoreMode::Indirect, false, {}, RestoreOutcome::Failed, "Insertion error",
                      error("Backup restore has errored.\r\n\r\nInsertion error.")};
        swapped.targetUnchanged = false;
        swapped.during = [](RestoreFixture& f, RecordingRunUi& ui, const Env& e) {
            const std::string path = f.DumpPath();
            const std::string other = e.other;
            ui.onText = [path, other, &ui](RunField field, const std::string& text) {
                if (field == RunField::RunStatus && text == "Connected" && ui.Showed(field, "Checking Backup File"))
                    test::WriteFile(path, WithRow("INSERT INTO `" + other + "`.`victim` VALUES (7, 'planted')"));
            };
        };
        swapped.verify = [](RestoreFixture& f) {
            QCOMPARE(f.db.scalar("SELECT GROUP_CONCAT(id) FROM VORDA_t"), std::string("1"));
        };
        cases.push_back(swapped);
    }

    // Files that must restore.
    {
        Case good {"a complete file, absolute with safe copies",
                   [](const Env&) { return Complete(FileOf(kColumns, {Row(1, "new"), Row(2, "It\\'s new")})); },
                   RestoreMode::Absolute, true, {}, RestoreOutcome::Complete, "Connected", none};
        good.targetUnchanged = false;
        good.verify = [](RestoreFixture& f) {
            QCOMPARE(f.db.scalar("SELECT GROUP_CONCAT(id, v ORDER BY id) FROM t"), std::string("1new,2It's new"));
            QCOMPARE(f.db.scalar("SELECT GROUP_CONCAT(id, v ORDER BY id) FROM SAFE_COPY_t"),
                     std::string("1live,2live,3live,4live,5live"));
        };
        cases.push_back(good);
    }
    {
        // As the previous version wrote it: no closing line.
        Case previous {"a file of the previous version, answered Yes",
                       [](const Env&) {
                           return test::CrLf(FileOf(kColumns, {"INSERT INTO `t` VALUES ('1', NULL)", Row(2, "a`b")}));
                       },
                       RestoreMode::Indirect, false, {1}, RestoreOutcome::Complete, "Connected",
                       [unfinished](const Env&) { return unfinished; }};
        previous.targetUnchanged = false;
        previous.verify = [](RestoreFixture& f) {
            QCOMPARE(f.db.scalar("SELECT GROUP_CONCAT(id, IFNULL(v, '-') ORDER BY id) FROM VORDA_t"),
                     std::string("1-,2a`b"));
            QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM t WHERE v = 'live'"), std::string("5"));
        };
        cases.push_back(previous);
    }
    return cases;
}

} // namespace

class TestHostileFiles : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { REQUIRE_TEST_SERVER(); }

    void craftedFiles_data()
    {
        QTest::addColumn<int>("index");
        const std::vector<Case> cases = Cases();
        for (size_t i = 0; i < cases.size(); ++i)
            QTest::newRow(cases[i].name) << static_cast<int>(i);
    }

    void craftedFiles()
    {
        QFETCH(int, index);
        const Case c = Cases()[static_cast<size_t>(index)];
        RestoreFixture f("vorda_hostile");
        test::ScratchDatabase other("vorda_otherdb");
        other.exec("CREATE TABLE victim (id int NOT NULL PRIMARY KEY, v varchar(40))");
        other.exec("INSERT INTO victim VALUES (1, 'safe'), (3, 'safe')");
        other.exec("CREATE TABLE secret (id int NOT NULL PRIMARY KEY, s varchar(40))");
        other.exec("INSERT INTO secret VALUES (99, 'secret')");
        f.db.exec("CREATE TABLE t (id int NOT NULL PRIMARY KEY, v varchar(40))");
        f.db.exec("INSERT INTO t SELECT seq, 'live' FROM seq_1_to_5");
        const Env env {other.name(), std::stoll(f.db.scalar("SELECT @@max_allowed_packet"))};

        f.SetMode(c.mode, c.safeCopy);
        if (const std::optional<std::string> bytes = c.file(env))
            f.WriteDump(ForDatabase(*bytes, f.db.name()));
        if (c.prepare)
            c.prepare(f, env);
        const std::vector<std::string> otherBefore = test::DatabaseSnapshot(other);
        const std::vector<std::string> targetBefore = test::DatabaseSnapshot(f.db);

        RecordingRunUi ui;
        ui.answers.assign(c.answers.begin(), c.answers.end());
        if (c.during)
            c.during(f, ui, env);
        QElapsedTimer timer;
        timer.start();
        const RestoreReport report = RestoreRun(f.state, ui).Run(f.name);
        QVERIFY2(timer.elapsed() < 10000, "the restore did not return promptly");
        ui.onText = nullptr;

        QCOMPARE(report.outcome, c.outcome);
        QVERIFY2(ui.Showed(RunField::RunStatus, c.status), c.status);
        Messages shown;
        for (const auto& m : ui.messages)
            shown.emplace_back(m.kind, m.text);
        const Messages expected = c.messages(env);
        QCOMPARE(shown.size(), expected.size());
        for (size_t i = 0; i < shown.size(); ++i) {
            QCOMPARE(shown[i].first, expected[i].first);
            QCOMPARE(QString::fromStdString(shown[i].second), QString::fromStdString(expected[i].second));
        }
        if (c.outcome == RestoreOutcome::Failed) {
            QCOMPARE(ui.Last(RunField::RunStatus), std::string("Restore Failed"));
            QCOMPARE(ui.Last(RunField::RunMode), std::string("Restore Terminated"));
            const std::string entry = f.LastLog();
            QCOMPARE(entry, std::string("Restore Failed: nightly - ") + c.status);
        } else if (c.outcome == RestoreOutcome::Declined) {
            // Answering No is the user's choice, not a failure.
            QCOMPARE(ui.Last(RunField::RunStatus), std::string("Restore Declined"));
            QCOMPARE(ui.Last(RunField::RunMode), std::string("Restore Terminated"));
            QCOMPARE(f.LastLog(), std::string("Restore Declined: nightly"));
        } else {
            QCOMPARE(ui.Last(RunField::RunStatus), std::string("Restore Complete"));
        }

        QCOMPARE(test::DatabaseSnapshot(other), otherBefore);
        if (c.targetUnchanged)
            QCOMPARE(test::DatabaseSnapshot(f.db), targetBefore);
        if (c.verify)
            c.verify(f);
    }

    // A second restore, made to undo a wrong first one, keeps the copy the
    // first one made: the new copy takes the next free name.
    void twoAbsoluteRestoresKeepBothSafeCopies()
    {
        RestoreFixture f("vorda_twice");
        f.SetMode(RestoreMode::Absolute, true);
        f.db.exec("CREATE TABLE t (id int NOT NULL PRIMARY KEY, v varchar(40))");
        f.db.exec("INSERT INTO t VALUES (1, 'original')");
        f.WriteDump(ForDatabase(Complete(FileOf(kColumns, {Row(1, "first restore")})), f.db.name()));
        RecordingRunUi first;
        QCOMPARE(RestoreRun(f.state, first).Run(f.name).outcome, RestoreOutcome::Complete);
        f.WriteDump(ForDatabase(Complete(FileOf(kColumns, {Row(1, "second restore")})), f.db.name()));
        RecordingRunUi second;
        QCOMPARE(RestoreRun(f.state, second).Run(f.name).outcome, RestoreOutcome::Complete);
        QVERIFY(first.messages.empty() && second.messages.empty());
        QCOMPARE(f.db.scalar("SELECT v FROM t"), std::string("second restore"));
        QCOMPARE(f.db.scalar("SELECT v FROM SAFE_COPY_t"), std::string("original"));
        QCOMPARE(f.db.scalar("SELECT v FROM SAFE_COPY_2_t"), std::string("first restore"));
    }

    // Structure sections with named constraints and references, as the
    // server prints them: Absolute mode brings them back as written (its
    // scratch tables' own names cannot meet the live tables' and are given
    // back after the swap); Indirect mode prefixes constraint names and
    // points references to the file's tables at their VORDA_ copies.
    void constraintsAndReferencesFollowTheMode()
    {
        const Lines parent = {"  `id` int(11) NOT NULL,", "  PRIMARY KEY (`id`)", ") ENGINE=InnoDB"};
        const Lines child = {"  `id` int(11) NOT NULL,", "  `p` int(11) DEFAULT NULL,", "  PRIMARY KEY (`id`),",
                             "  KEY `fk_p` (`p`),",
                             "  CONSTRAINT `fk_p` FOREIGN KEY (`p`) REFERENCES `parent` (`id`),",
                             "  CONSTRAINT `c_id` CHECK (`id` > 0)", ") ENGINE=InnoDB"};
        Lines lines = test::DumpHeaderLines("nightly", "target");
        for (const auto& [table, structure, row] :
             {std::tuple {"parent", parent, "INSERT INTO `parent` VALUES (1)"},
              std::tuple {"child", child, "INSERT INTO `child` VALUES (10, 1)"}}) {
            const std::string quoted = std::string("`") + table + "`";
            for (const std::string& l : {std::string(), std::string("---"), "--- Table structure for table " + quoted,
                                         std::string("---"), std::string(), "CREATE TABLE " + quoted + " ("})
                lines.push_back(l);
            lines.insert(lines.end(), structure.begin(), structure.end());
            for (const std::string& l : {std::string(), std::string("---"),
                                         "--- Dumping data for table " + quoted + " - Total rows: 1",
                                         std::string("---"), std::string(), std::string(row)})
                lines.push_back(l);
        }
        auto referenced = [](test::ScratchDatabase& db, const std::string& table) {
            return db.scalar("SELECT GROUP_CONCAT(CONSTRAINT_NAME, '->', REFERENCED_TABLE_NAME) FROM "
                             "information_schema.REFERENTIAL_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = DATABASE() AND "
                             "TABLE_NAME = '" + table + "'");
        };

        RestoreFixture f("vorda_constraints");
        f.WriteDump(ForDatabase(Complete(lines), f.db.name()));
        f.SetMode(RestoreMode::Absolute, true);
        f.db.exec("CREATE TABLE parent (id int NOT NULL PRIMARY KEY) ENGINE=InnoDB");
        f.db.exec("CREATE TABLE child (id int NOT NULL PRIMARY KEY, p int, CONSTRAINT fk_p FOREIGN KEY (p) "
                  "REFERENCES parent (id)) ENGINE=InnoDB");
        f.db.exec("INSERT INTO parent VALUES (1), (2)");
        f.db.exec("INSERT INTO child VALUES (20, 2)");
        RecordingRunUi absolute;
        QCOMPARE(RestoreRun(f.state, absolute).Run(f.name).outcome, RestoreOutcome::Complete);
        QVERIFY(absolute.messages.empty());
        QCOMPARE(referenced(f.db, "child"), std::string("fk_p->parent"));
        QCOMPARE(f.db.scalar("SELECT GROUP_CONCAT(id, ':', p) FROM child"), std::string("10:1"));
        QVERIFY(!f.db.sql().Query("INSERT INTO child VALUES (30, 99)"));
        QVERIFY(!f.db.sql().Query("INSERT INTO child VALUES (-1, 1)"));

        f.SetMode(RestoreMode::Indirect, false);
        RecordingRunUi indirect;
        QCOMPARE(RestoreRun(f.state, indirect).Run(f.name).outcome, RestoreOutcome::Complete);
        QVERIFY(indirect.messages.empty());
        QCOMPARE(referenced(f.db, "VORDA_child"), std::string("VORDA_fk_p->VORDA_parent"));
        QCOMPARE(referenced(f.db, "child"), std::string("fk_p->parent"));
        QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() "
                             "AND (TABLE_NAME LIKE 'vorda\\_new\\_%' OR TABLE_NAME LIKE 'vorda\\_old\\_%')"),
                 std::string("0"));
    }
};

QTEST_GUILESS_MAIN(TestHostileFiles)
#include "tst_hostile_files.moc"
