#include "RestoreTestSupport.h"
#include "core/history/LastFailure.h"
#include "core/state/MessageKind.h"
#include "core/restore/RestoreRun.h"
#include "core/store/Definitions.h"

#include <QTest>

using test::CrLf;
using test::DumpHeaderLines;
using test::DumpRow;
using test::RecordingRunUi;
using test::RestoreFixture;
using Row = std::vector<std::optional<std::string>>;

namespace {

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<std::string> StructureHeading(const std::string& table)
{
    return {"", "---", "--- Table structure for table `" + table + "`", "---", ""};
}

std::vector<std::string> DataHeading(const std::string& table, size_t rows)
{
    return {"", "---", "--- Dumping data for table `" + table + "` - Total rows: " + std::to_string(rows), "---", ""};
}

// A table section: structure, then the data section when there are rows.
std::vector<std::string> Section(const std::string& table, const std::vector<std::string>& columnLines,
                                 const std::vector<Row>& rows)
{
    std::vector<std::string> lines = StructureHeading(table);
    lines.push_back("CREATE TABLE `" + table + "` (");
    lines.insert(lines.end(), columnLines.begin(), columnLines.end());
    lines.push_back(")");
    if (!rows.empty()) {
        lines = Join(lines, DataHeading(table, rows.size()));
        for (const Row& row : rows)
            lines.push_back(DumpRow(table, row));
    }
    return lines;
}

// The kinds of values that break naive dump handling, in one table.
const std::vector<std::string> kHardColumns = {
    "  `id` int(11) NOT NULL auto_increment,",
    "  `txt` text NULL,",
    "  `vc` varchar(200) NULL,",
    "  `bin` blob NULL,",
    "  `d` date NULL,",
    "  `amount` decimal(10,2) NULL,",
    "  `ts` timestamp NOT NULL default current_timestamp() on update current_timestamp(),",
    "  PRIMARY KEY `id` (`id`)",
};
const char* kHardDefinition = "(`id` int(11) NOT NULL AUTO_INCREMENT, `txt` text NULL, `vc` varchar(200) NULL, "
                              "`bin` blob NULL, `d` date NULL, `amount` decimal(10,2) NULL, "
                              "`ts` timestamp NOT NULL DEFAULT current_timestamp() ON UPDATE current_timestamp(), "
                              "PRIMARY KEY (`id`))";

std::vector<Row> HardRows()
{
    using namespace std::string_literals;
    return {
        {"0", "auto-increment column holding 0", "", ""s, "2024-02-29", "0.00", "2001-02-03 04:05:06"},
        {"1", "It's", "a`b", "\0\x01\xff\xfe\0z"s, "1000-01-01", "3.50", "2020-01-01 00:00:00"},
        {"2", std::nullopt, "", std::nullopt, std::nullopt, std::nullopt, "2021-06-30 12:34:56"},
        {"3", "C:\\", "\"quoted\" and `back`quoted`", "\r\n\t\x1a\\"s, "9999-12-31", "-12.34", "2038-01-19 03:14:07"},
        {"4", "Grüße, 日本語 and 🎉", "line1\nline2\r\nend\ttab", "'", "2000-01-01", "99999999.99",
         "1970-01-01 00:00:01"},
        {"5", "CREATE TABLE `x` (id int)", "INSERT INTO `y` VALUES ('1')",
         "--- Dumping data for table `z` - Total rows: 7", "2024-12-31", "1.00", "2024-12-31 23:59:59"},
        {"6", std::string(65535, 'L'), "\\'", "\\", "2024-01-01", "0.01", "2024-01-01 00:00:00"},
    };
}

bool IsUtf8(const std::string& bytes)
{
    size_t i = 0;
    while (i < bytes.size()) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        const int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + extra >= bytes.size())
            return false;
        for (int k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(bytes[i + k]) >> 6) != 2)
                return false;
        i += 1 + extra;
    }
    return true;
}

// A reference table filled from hex literals, which no escaping touches
// (text goes through a conversion, so that numbers and dates are read as text).
void MakeReference(test::ScratchDatabase& db, const std::string& table, const std::string& definition,
                   const std::vector<Row>& rows)
{
    db.exec("CREATE TABLE " + QuoteIdentifier(table) + " " + definition);
    db.exec("SET SESSION sql_mode = CONCAT(@@sql_mode, ',NO_AUTO_VALUE_ON_ZERO')");
    for (const Row& row : rows) {
        std::string sql = "INSERT INTO " + QuoteIdentifier(table) + " VALUES (";
        for (size_t i = 0; i < row.size(); ++i)
            sql += (i ? ", " : "")
                + (row[i] && IsUtf8(*row[i]) ? "CONVERT(" + test::HexLiteral(row[i]) + " USING utf8mb4)"
                                             : test::HexLiteral(row[i]));
        db.exec(sql + ")");
    }
}

// The example file of the documentation, as backups were written before
// NULL and escaping were mended: every value in apostrophes, NULL as '', a
// backquote in the data written as \'. Made from `database`.
std::vector<std::string> OldStyleExample(const std::string& database)
{
    return Join(DumpHeaderLines("nightly", database),
                {"", "---", "--- Table structure for table `items`", "---", "", "CREATE TABLE `items` (",
                 "  `id` int(11) NOT NULL auto_increment,", "  `name` varchar(40) NULL,",
                 "  `price` decimal(8,2) NOT NULL default '0.00',", "  PRIMARY KEY `id` (`id`),",
                 "  KEY `name` (`name`)", ")", "", "---", "--- Dumping data for table `items` - Total rows: 2", "---",
                 "", "INSERT INTO `items` VALUES ('1', 'O\\'Brien\\'s tea', '3.50')",
                 "INSERT INTO `items` VALUES ('2', '', '0.00')"});
}

std::vector<std::string> ItemsOf(test::ScratchDatabase& db, const std::string& table)
{
    std::vector<std::string> rows;
    MysqlConnection& conn = db.sql();
    if (!conn.Query("SELECT CONCAT_WS('|', id, IFNULL(name, 'NULL'), price) FROM " + QuoteIdentifier(table)
                    + " ORDER BY id"))
        return {"query failed: " + conn.ErrorText()};
    MysqlResult result = conn.StoreResult();
    while (MYSQL_ROW row = result.FetchRow())
        rows.push_back(row[0]);
    return rows;
}

std::vector<std::string> Strings(std::initializer_list<const char*> items)
{
    return std::vector<std::string>(items.begin(), items.end());
}

// A three-column table used by the failure cases.
std::vector<std::string> SimpleSection(const std::string& table, int rows)
{
    std::vector<Row> data;
    for (int i = 1; i <= rows; ++i)
        data.push_back({std::to_string(i), "row " + std::to_string(i)});
    return Section(table, {"  `id` int(11) NOT NULL,", "  `v` varchar(40) NULL,", "  PRIMARY KEY `id` (`id`)"}, data);
}

} // namespace

class TestRestoreRun : public QObject {
    Q_OBJECT

private:
    // Checks the end of a failed run: the message, the final texts, the log.
    void checkFailed(RestoreFixture& f, RecordingRunUi& ui, const RestoreReport& report, const char* status,
                     const char* message)
    {
        QCOMPARE(report.outcome, RestoreOutcome::Failed);
        QVERIFY2(ui.Showed(RunField::RunStatus, status), status);
        QCOMPARE(ui.Last(RunField::RunStatus), std::string("Restore Failed"));
        QCOMPARE(ui.Last(RunField::RunMode), std::string("Restore Terminated"));
        if (message) {
            QCOMPARE(ui.messages.size(), size_t(1));
            QCOMPARE(ui.messages[0].kind, MessageKind::Error);
            QCOMPARE(QString::fromStdString(ui.messages[0].text), QString::fromUtf8(message));
        }
        // The entry gives the reason: the failure's status, or the answer
        // No that ended the run.
        const std::string entry = f.LastLog();
        QCOMPARE(entry, "Restore Failed: " + f.name + " - " + status);
        QVERIFY(!f.state.restoreRunning);
        QVERIFY(!ui.waitCursor);
        QCOMPARE(ui.Last(RunField::TableMembers), std::string("All Copied"));
    }

private slots:
    void initTestCase() { REQUIRE_TEST_SERVER(); }

    void hardDataRestoresExactlyInIndirectMode()
    {
        RestoreFixture f("vorda_restore_hard");
        const std::vector<Row> rows = HardRows();
        const std::vector<Row> pairs = {{"1", "a", "first"}, {"1", "b", "second"}, {"2", "a", std::nullopt}};
        const std::vector<std::string> pairColumns = {"  `a` int(11) NOT NULL,", "  `b` varchar(10) NOT NULL,",
                                                      "  `v` text NULL,", "  PRIMARY KEY `a` (`a`,`b`)"};
        const std::vector<Row> odd = {{"1", "x'y"}, {"2", std::nullopt}};
        const std::vector<std::string> oddColumns = {"  `k` int(11) NOT NULL,", "  `v` varchar(20) NULL,",
                                                     "  KEY `k` (`k`)"};
        std::vector<std::string> lines = DumpHeaderLines(f.name, f.db.name());
        lines = Join(lines, Section("hard", kHardColumns, rows));
        lines = Join(lines, Section("pairs", pairColumns, pairs));
        for (const char* name : {"order", "my table", "a-b"})
            lines = Join(lines, Section(name, oddColumns, odd));
        lines = Join(lines, Section("empty", {"  `k` int(11) NULL"}, {}));
        f.WriteDump(lines);
        // The originals must stay as they are.
        f.db.exec("CREATE TABLE `hard` (id int)");
        f.db.exec("INSERT INTO `hard` VALUES (42)");

        MakeReference(f.db, "ref_hard", kHardDefinition, rows);
        MakeReference(f.db, "ref_pairs", "(a int NOT NULL, b varchar(10) NOT NULL, v text, PRIMARY KEY (a, b))",
                      pairs);
        MakeReference(f.db, "ref_odd", "(k int NOT NULL, v varchar(20), KEY (k))", odd);

        RecordingRunUi ui;
        RestoreRun run(f.state, ui);
        const RestoreReport report = run.Run(f.name);
        QCOMPARE(report.outcome, RestoreOutcome::Complete);
        QVERIFY(ui.messages.empty());
        QCOMPARE(ui.started, 1);
        QCOMPARE(report.rowsInserted, static_cast<long long>(rows.size() + pairs.size() + 3 * odd.size()));

        QCOMPARE(test::TableRows(f.db, "VORDA_hard", "id"), test::TableRows(f.db, "ref_hard", "id"));
        QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM `VORDA_hard`"), std::to_string(rows.size()));
        QCOMPARE(test::TableRows(f.db, "VORDA_pairs", "a, b"), test::TableRows(f.db, "ref_pairs", "a, b"));
        QCOMPARE(f.db.scalar("SELECT GROUP_CONCAT(COLUMN_NAME ORDER BY SEQ_IN_INDEX) FROM "
                             "information_schema.STATISTICS WHERE TABLE_SCHEMA = DATABASE() AND "
                             "TABLE_NAME = 'VORDA_pairs' AND INDEX_NAME = 'PRIMARY'"),
                 std::string("a,b"));
        for (const char* name : {"order", "my table", "a-b"})
            QCOMPARE(test::TableRows(f.db, std::string("VORDA_") + name, "k"), test::TableRows(f.db, "ref_odd", "k"));
        QVERIFY(test::TableExists(f.db, "VORDA_empty"));
        QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM `VORDA_empty`"), std::string("0"));
        // The expression default is still an expression.
        QCOMPARE(f.db.scalar("SELECT COLUMN_DEFAULT FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = "
                             "DATABASE() AND TABLE_NAME = 'VORDA_hard' AND COLUMN_NAME = 'ts'"),
                 std::string("current_timestamp()"));
        QCOMPARE(f.db.scalar("SELECT GROUP_CONCAT(id) FROM `hard`"), std::string("42"));
        QVERIFY(!test::TableExists(f.db, "SAFE_COPY_hard"));

        QCOMPARE(ui.Last(RunField::RunStatus), std::string("Restore Complete"));
        QCOMPARE(ui.Last(RunField::RunMode), std::string("Manual"));
        QCOMPARE(f.LastLog(), std::string("Restore Successful: nightly"));
        QCOMPARE(f.state.log.Entries()[f.state.log.Count() - 2].message, std::string("Restore Started: nightly"));
        QVERIFY(!f.state.restoreRunning);
    }

    void absoluteModeReplacesTablesAndKeepsSafeCopies()
    {
        RestoreFixture f("vorda_restore_abs");
        f.SetMode(RestoreMode::Absolute, true);
        const std::vector<std::string> columns = {"  `id` int(11) NOT NULL,", "  `v` varchar(40) NULL,",
                                                  "  PRIMARY KEY `id` (`id`)"};
        const std::vector<Row> rows = {{"1", "new one"}, {"2", std::nullopt}, {"3", "It's new"}};
        std::vector<std::string> lines = DumpHeaderLines(f.name, f.db.name());
        for (const char* name : {"t", "my table"})
            lines = Join(lines, Section(name, columns, rows));
        f.WriteDump(lines);
        MakeReference(f.db, "ref", "(id int NOT NULL, v varchar(40), PRIMARY KEY (id))", rows);
        // The live tables have changed since the backup: another column, other rows.
        for (const char* name : {"t", "my table"}) {
            f.db.exec("CREATE TABLE " + QuoteIdentifier(name)
                      + " (id int NOT NULL PRIMARY KEY, v varchar(40), extra text)");
            f.db.exec("INSERT INTO " + QuoteIdentifier(name) + " VALUES (7, 'old', 'x'), (8, NULL, 'It''s old')");
        }
        // A copy left by an earlier restore is kept; the new one takes the
        // next free name.
        f.db.exec("CREATE TABLE `SAFE_COPY_t` (stale int)");
        f.db.exec("INSERT INTO `SAFE_COPY_t` VALUES (42)");
        const std::vector<std::string> oldRows = test::TableRows(f.db, "t", "id");

        RecordingRunUi ui;
        QCOMPARE(RestoreRun(f.state, ui).Run(f.name).outcome, RestoreOutcome::Complete);
        QVERIFY(ui.messages.empty());
        for (const char* name : {"t", "my table"})
            QCOMPARE(test::TableRows(f.db, name, "id"), test::TableRows(f.db, "ref", "id"));
        QCOMPARE(test::TableRows(f.db, "SAFE_COPY_2_t", "id"), oldRows);
        QCOMPARE(test::TableRows(f.db, "SAFE_COPY_my table", "id"), oldRows);
        QCOMPARE(f.db.scalar("SELECT GROUP_CONCAT(stale) FROM `SAFE_COPY_t`"), std::string("42"));
        QVERIFY(!test::TableExists(f.db, "VORDA_t"));
        // No scratch table is left behind.
        QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() "
                             "AND (TABLE_NAME LIKE 'vorda\\_new\\_%' OR TABLE_NAME LIKE 'vorda\\_old\\_%')"),
                 std::string("0"));

        // Without safe copies nothing else is created.
        f.SetMode(RestoreMode::Absolute, false);
        f.db.exec("DROP TABLE `SAFE_COPY_t`, `SAFE_COPY_2_t`, `SAFE_COPY_my table`");
        RecordingRunUi second;
        QCOMPARE(RestoreRun(f.state, second).Run(f.name).outcome, RestoreOutcome::Complete);
        QCOMPARE(test::TableRows(f.db, "t", "id"), test::TableRows(f.db, "ref", "id"));
        QVERIFY(!test::TableExists(f.db, "SAFE_COPY_t"));
        QVERIFY(!test::TableExists(f.db, "SAFE_COPY_my table"));
    }

    void safeCopyOfAMissingTableAsksWhetherToGoOn()
    {
        for (const int answer : {0, 1}) {
            RestoreFixture f("vorda_restore_missing");
            f.SetMode(RestoreMode::Absolute, true);
            f.WriteDump(Join(DumpHeaderLines(f.name, f.db.name()), SimpleSection("gone", 2)));
            RecordingRunUi ui;
            ui.answers.push_back(answer);
            const RestoreReport report = RestoreRun(f.state, ui).Run(f.name);
            QCOMPARE(ui.messages.size(), size_t(1));
            QCOMPARE(ui.messages[0].kind, MessageKind::YesNo);
            QCOMPARE(ui.messages[0].text,
                     std::string("Safe copy not created\r\n\r\nThe source table is either corrupt or does not "
                                 "exist.\r\n\r\nDo you wish to continue?"));
            QVERIFY(!test::TableExists(f.db, "SAFE_COPY_gone"));
            if (answer == 0) {
                // No to going on without a safe copy: declined, not failed.
                QCOMPARE(report.outcome, RestoreOutcome::Declined);
                QCOMPARE(ui.Last(RunField::RunStatus), std::string("Restore Declined"));
                QCOMPARE(f.LastLog(), "Restore Declined: " + f.name);
                QCOMPARE(LoadLastFailure(f.state.store).name, std::string());
                QVERIFY(!test::TableExists(f.db, "gone"));
            } else {
                QCOMPARE(report.outcome, RestoreOutcome::Complete);
                QCOMPARE(f.db.scalar("SELECT GROUP_CONCAT(v ORDER BY id) FROM `gone`"), std::string("row 1,row 2"));
            }
        }
    }

    void filesWrittenBeforeTheMendsRestoreAsBefore()
    {
        RestoreFixture f("vorda_restore_old");
        f.WriteDump(CrLf(OldStyleExample(f.db.name())), 34);
        RecordingRunUi ui;
        // Files of older versions end without the closing line: the user is
        // asked first.
        ui.answers.push_back(1);
        const RestoreReport report = RestoreRun(f.state, ui).Run(f.name);
        QCOMPARE(report.outcome, RestoreOutcome::Complete);
        QCOMPARE(ui.messages.size(), size_t(1));
        QCOMPARE(ui.messages[0].kind, MessageKind::YesNo);
        QCOMPARE(ui.messages[0].text, std::string(kUnfinishedFileQuestion));
        QCOMPARE(ItemsOf(f.db, "VORDA_items"), Strings({"1|O'Brien's tea|3.50", "2||0.00"}));

        // Progress: the overall bar runs over the stored line count and steps
        // once per line, except for the lines that continue a CREATE TABLE
        // statement (six here, and the empty line that ends it).
        using Bars = std::vector<RecordingRunUi::BarRange>;
        QCOMPARE(ui.bars[RunBar::Overall], Bars({{34, 26}, {1, 0}}));
        QCOMPARE(report.linesRead, 33LL);
        // The table bar counts the lines after the data heading (the "---"
        // line and the first row fill the two places).
        QCOMPARE(ui.texts[RunField::TableMembers], Strings({"Waiting", "2", "All Copied"}));
        QCOMPARE(ui.bars[RunBar::CurrentTable], Bars({{2, 2}, {1, 0}}));
        QCOMPARE(ui.texts[RunField::RunStatus],
                 Strings({"Connecting to Site", "Attempting to Connect", "Connected", "Checking Backup File",
                          "Connected", "Restore Complete"}));
        QCOMPARE(ui.texts[RunField::ElapsedTime].front(), std::string("00:00:00"));
        QCOMPARE(ui.texts[RunField::SiteBackup], Strings({"nightly"}));
        QCOMPARE(ui.Last(RunField::CurrentMember), std::string("0"));
        QVERIFY(ui.pumps >= 1);
    }

    void elapsedTimeIsShownWhenTheSecondChanges()
    {
        // A clock that moves on by a second every time it is read.
        auto now = std::make_shared<std::time_t>(1796609679);
        RestoreFixture f("vorda_restore_clock", [now] { return (*now)++; });
        f.WriteDump(CrLf(OldStyleExample(f.db.name())), 34);
        RecordingRunUi ui;
        ui.answers.push_back(1);
        QCOMPARE(RestoreRun(f.state, ui).Run(f.name).outcome, RestoreOutcome::Complete);
        // Zero at the start, then once after each of the 23 lines that are
        // neither empty nor part of a CREATE TABLE statement (the history
        // entry of the start read the clock once in between).
        const std::vector<std::string>& shown = ui.Texts(RunField::ElapsedTime);
        QCOMPARE(shown.size(), size_t(24));
        QCOMPARE(shown.front(), std::string("00:00:00"));
        QCOMPARE(shown[1], std::string("00:00:02"));
        QCOMPARE(shown.back(), std::string("00:00:24"));

        // With a clock that stands still nothing but the zero is shown.
        RestoreFixture still("vorda_restore_still", [] { return std::time_t(1796609679); });
        still.WriteDump(CrLf(OldStyleExample(still.db.name())), 34);
        RecordingRunUi quiet;
        quiet.answers.push_back(1);
        QCOMPARE(RestoreRun(still.state, quiet).Run(still.name).outcome, RestoreOutcome::Complete);
        QCOMPARE(quiet.Texts(RunField::ElapsedTime), Strings({"00:00:00"}));
    }

    void failuresEndTheRunCleanly()
    {
        {
            RestoreFixture f("vorda_restore_refused");
            ConnectionDef site = ConnectionDef::Load(f.state.store, "site");
            site.port = "1"; // nothing listens there
            site.Save(f.state.store);
            f.WriteDump(CrLf(OldStyleExample(f.db.name())), 34);
            RecordingRunUi ui;
            checkFailed(f, ui, RestoreRun(f.state, ui).Run(f.name), "Connection Failed",
                        "The system failed to connect to the designated host. Connection or ISP problem.");
            QVERIFY(!ui.Showed(RunField::RunStatus, "Connected"));
        }
        {
            RestoreFixture f("vorda_restore_nofile");
            RecordingRunUi ui;
            checkFailed(f, ui, RestoreRun(f.state, ui).Run(f.name), "File Error", "The backup file failed to open.");
            QVERIFY(ui.Showed(RunField::RunStatus, "Connected"));
        }
        {
            RestoreFixture f("vorda_restore_badcreate");
            f.WriteDump(Join(DumpHeaderLines(f.name, f.db.name()),
                             Join(SimpleSection("fine", 2),
                                  Section("broken", {"  `id` no_such_type NOT NULL"}, {{"1"}}))));
            RecordingRunUi ui;
            checkFailed(f, ui, RestoreRun(f.state, ui).Run(f.name), "Table Error",
                        "Backup restore has errored.\r\n\r\nCan not create restore table.");
            QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM `VORDA_fine`"), std::string("2"));
        }
        {
            // A backslash at the end of a value, as old files wrote C:\, makes
            // the row unreadable: the check finds it before anything is
            // written, and the live table stays as it was.
            RestoreFixture f("vorda_restore_badinsert");
            f.SetMode(RestoreMode::Absolute, false);
            f.db.exec("CREATE TABLE t (id int NOT NULL PRIMARY KEY, v varchar(40))");
            f.db.exec("INSERT INTO t VALUES (9, 'live')");
            std::vector<std::string> lines = Join(DumpHeaderLines(f.name, f.db.name()), SimpleSection("t", 5));
            lines[32] = "INSERT INTO `t` VALUES ('4', 'C:\\')";
            f.WriteDump(lines);
            RecordingRunUi ui;
            const RestoreReport report = RestoreRun(f.state, ui).Run(f.name);
            checkFailed(f, ui, report, "File Error",
                        "The backup file is incomplete or damaged.\r\n\r\nLine 33: not a row statement Vorda "
                        "writes.\r\n\r\nNothing was restored.");
            QCOMPARE(f.db.scalar("SELECT GROUP_CONCAT(id, v ORDER BY id) FROM `t`"), std::string("9live"));
            QCOMPARE(report.rowsInserted, 0LL);
        }
    }

    void brokenFilesFailOrDoNothing()
    {
        {
            // Cut in the middle of a row statement: nothing is written.
            RestoreFixture f("vorda_restore_cut");
            const std::string whole = CrLf(OldStyleExample(f.db.name()));
            f.WriteDump(whole.substr(0, whole.size() - 12), 34);
            RecordingRunUi ui;
            checkFailed(f, ui, RestoreRun(f.state, ui).Run(f.name), "File Error",
                        "The backup file is incomplete or damaged.\r\n\r\nLine 33: not a row statement Vorda "
                        "writes.\r\n\r\nNothing was restored.");
            QVERIFY(!test::TableExists(f.db, "VORDA_items"));
        }
        {
            // Cut inside the structure: the CREATE TABLE statement is incomplete.
            RestoreFixture f("vorda_restore_cut2");
            const std::string whole = CrLf(OldStyleExample(f.db.name()));
            f.WriteDump(whole.substr(0, whole.find("  KEY `name`")), 34);
            RecordingRunUi ui;
            checkFailed(f, ui, RestoreRun(f.state, ui).Run(f.name), "File Error",
                        "The backup file is incomplete or damaged.\r\n\r\nLine 24: the structure statement of "
                        "table `items` is refused: unbalanced parentheses.\r\n\r\nNothing was restored.");
            QVERIFY(!test::TableExists(f.db, "VORDA_items"));
        }
        {
            // Not a backup at all: binary junk, zero bytes and long lines.
            RestoreFixture f("vorda_restore_junk");
            std::string junk;
            unsigned int noise = 12345;
            for (int i = 0; i < 3 * 1024 * 1024; ++i) {
                noise = noise * 1103515245u + 12345u;
                junk += static_cast<char>(noise >> 16);
            }
            junk += std::string(1 << 20, 'x') + "\n";
            f.WriteDump(junk);
            RecordingRunUi ui;
            const RestoreReport report = RestoreRun(f.state, ui).Run(f.name);
            checkFailed(f, ui, report, "File Error",
                        "The backup file is incomplete or damaged.\r\n\r\nLine 1: not the first line of a Vorda "
                        "backup file.\r\n\r\nNothing was restored.");
            QCOMPARE(report.rowsInserted, 0LL);
            QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE()"),
                     std::string("0"));
        }
    }

    void longLinesRestoreOrFailCleanly()
    {
        RestoreFixture f("vorda_restore_long");
        const std::string big(1 << 20, 'b');
        std::vector<std::string> lines = Join(
            DumpHeaderLines(f.name, f.db.name()),
            Section("big", {"  `id` int(11) NOT NULL,", "  `v` longtext NULL"}, {{"1", big}, {"2", "small"}}));
        f.WriteDump(lines);
        RecordingRunUi ui;
        QCOMPARE(RestoreRun(f.state, ui).Run(f.name).outcome, RestoreOutcome::Complete);
        QCOMPARE(f.db.scalar("SELECT MD5(v) = MD5(REPEAT('b', 1048576)) FROM `VORDA_big` WHERE id = 1"),
                 std::string("1"));

        // A row longer than the server accepts in one packet is found by the
        // check (without holding the line) and nothing is written.
        const long long packet = std::stoll(f.db.scalar("SELECT @@max_allowed_packet"));
        lines = Join(DumpHeaderLines(f.name, f.db.name()),
                     Section("big", {"  `id` int(11) NOT NULL,", "  `v` longtext NULL"},
                             {{"1", "first"}, {"3", std::string(static_cast<size_t>(packet), 'h')}, {"4", "after"}}));
        f.WriteDump(lines);
        f.db.exec("DROP TABLE `VORDA_big`");
        RecordingRunUi tooLong;
        const RestoreReport report = RestoreRun(f.state, tooLong).Run(f.name);
        const std::string message = "The backup file is incomplete or damaged.\r\n\r\nLine 30: a line of "
            + std::to_string(packet + 34) + " bytes, longer than the " + std::to_string(packet - 7)
            + " bytes the server accepts in one statement.\r\n\r\nNothing was restored.";
        checkFailed(f, tooLong, report, "File Error", message.c_str());
        QVERIFY(!test::TableExists(f.db, "VORDA_big"));
    }

    void cancelStopsAfterTheCurrentLineAndKeepsWhatWasWritten()
    {
        RestoreFixture f("vorda_restore_cancel");
        f.WriteDump(Join(DumpHeaderLines(f.name, f.db.name()), Join(SimpleSection("t", 50), SimpleSection("u", 5))));
        RecordingRunUi ui;
        // The user presses Cancel while the sixth row is on its way.
        ui.onText = [&](RunField field, const std::string& text) {
            if (field == RunField::CurrentMember && text == "5") {
                // The run holds its flag until it has returned.
                QVERIFY(f.state.restoreRunning);
                f.state.restoreCancelRequested = true;
            }
        };
        const RestoreReport report = RestoreRun(f.state, ui).Run(f.name);
        QCOMPARE(report.outcome, RestoreOutcome::Cancelled);
        QCOMPARE(report.rowsInserted, 6LL);
        QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM `VORDA_t`"), std::string("6"));
        QVERIFY(!test::TableExists(f.db, "VORDA_u"));
        QCOMPARE(ui.Last(RunField::RunStatus), std::string("Restore Cancelled"));
        QCOMPARE(ui.Last(RunField::RunMode), std::string("Manual"));
        QCOMPARE(f.LastLog(), std::string("Restore Cancelled: nightly"));
        QVERIFY(ui.messages.empty());
        QCOMPARE(RestoreFinalQuestion(report.outcome),
                 std::string("Restore Cancelled\r\n\r\nDo you wish to execute another?"));
    }

    void onlyOneRestoreRunsAtATime()
    {
        RestoreFixture f("vorda_restore_busy");
        f.WriteDump(CrLf(OldStyleExample(f.db.name())), 34);
        f.state.restoreRunning = true;
        const size_t logged = f.state.log.Count();
        RecordingRunUi ui;
        QCOMPARE(RestoreRun(f.state, ui).Run(f.name).outcome, RestoreOutcome::NotStarted);
        QCOMPARE(ui.messages.size(), size_t(1));
        QCOMPARE(ui.messages[0].kind, MessageKind::Alert);
        QCOMPARE(ui.messages[0].text, std::string("Another Restore is Currently Running.\r\n\r\nPlease wait."));
        QVERIFY(f.state.restoreRunning);
        QCOMPARE(ui.started, 0);
        QCOMPARE(f.state.log.Count(), logged);
        QVERIFY(!test::TableExists(f.db, "VORDA_items"));
    }

    void aTableReferencedByAForeignKeyIsReplaced()
    {
        RestoreFixture f("vorda_restore_fk");
        f.SetMode(RestoreMode::Absolute, true);
        f.db.exec("CREATE TABLE parent (id int NOT NULL PRIMARY KEY, v varchar(10)) ENGINE=InnoDB");
        f.db.exec("CREATE TABLE child (id int NOT NULL PRIMARY KEY, parent_id int NOT NULL, "
                  "FOREIGN KEY (parent_id) REFERENCES parent (id)) ENGINE=InnoDB");
        f.db.exec("INSERT INTO parent VALUES (1, 'old'), (2, 'old')");
        f.db.exec("INSERT INTO child VALUES (10, 1), (20, 2)");
        f.WriteDump(Join(DumpHeaderLines(f.name, f.db.name()),
                         Section("parent", {"  `id` int(11) NOT NULL,", "  `v` varchar(10) NULL,",
                                            "  PRIMARY KEY `id` (`id`)"},
                                 {{"1", "new"}, {"2", "new"}, {"3", "new"}})));
        RecordingRunUi ui;
        QCOMPARE(RestoreRun(f.state, ui).Run(f.name).outcome, RestoreOutcome::Complete);
        QVERIFY(ui.messages.empty());
        QCOMPARE(f.db.scalar("SELECT GROUP_CONCAT(CONCAT(id, v) ORDER BY id) FROM parent"),
                 std::string("1new,2new,3new"));
        QCOMPARE(f.db.scalar("SELECT GROUP_CONCAT(CONCAT(id, v) ORDER BY id) FROM SAFE_COPY_parent"),
                 std::string("1old,2old"));
        QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM child JOIN parent ON parent.id = child.parent_id"),
                 std::string("2"));
        // The reference still holds for new rows.
        QVERIFY(!f.db.sql().Query("INSERT INTO child VALUES (30, 99)"));
    }

    // A file lands where it was made from: another database, or another
    // host, is asked about first (No by default, and by the user), and the
    // history keeps the answer.
    void aFileFromElsewhereIsRestoredOnlyWhenTheUserAgrees()
    {
        struct Case {
            const char* host;
            bool otherDatabase;
            std::deque<int> answers;
            RestoreOutcome outcome;
        };
        const std::vector<Case> cases = {
            {"127.0.0.1", true, {}, RestoreOutcome::Cancelled},
            {"127.0.0.1", true, {0}, RestoreOutcome::Cancelled},
            {"127.0.0.1", true, {1}, RestoreOutcome::Complete},
            {"db.example", false, {}, RestoreOutcome::Cancelled},
            {"db.example", false, {1}, RestoreOutcome::Complete},
            {"127.0.0.1", false, {}, RestoreOutcome::Complete},
        };
        for (const Case& c : cases) {
            RestoreFixture f("vorda_restore_where");
            f.SetMode(RestoreMode::Absolute, false);
            const std::string connectionHost = ConnectionDef::Load(f.state.store, "site").host;
            f.db.exec("CREATE TABLE t (id int NOT NULL PRIMARY KEY, v varchar(40))");
            f.db.exec("INSERT INTO t VALUES (9, 'own row')");
            std::vector<std::string> lines = DumpHeaderLines(f.name, c.otherDatabase ? "aud" : f.db.name());
            lines[8] = std::string("-- Host Name / IP Address: ") + c.host;
            f.WriteDump(Join(lines, SimpleSection("t", 1)));
            RecordingRunUi ui;
            ui.answers = c.answers;
            QCOMPARE(RestoreRun(f.state, ui).Run(f.name).outcome, c.outcome);

            const bool asked = c.otherDatabase || c.host != connectionHost;
            const std::string from = c.otherDatabase ? "aud" : f.db.name();
            QCOMPARE(ui.messages.size(), size_t(asked ? 1 : 0));
            if (asked) {
                QCOMPARE(ui.messages[0].kind, MessageKind::YesNo);
                QCOMPARE(ui.messages[0].text, "This backup was made from database " + from + " on host " + c.host
                                                  + ". Restore it into database " + f.db.name() + " on host "
                                                  + connectionHost + "?");
                const bool yes = c.outcome == RestoreOutcome::Complete;
                const auto& entries = f.state.log.Entries();
                QCOMPARE(entries[entries.size() - 3].message,
                         std::string(yes ? "Restore Into Another Database Confirmed: "
                                         : "Restore Into Another Database Declined: ")
                             + "nightly - from database " + from + " on host " + c.host + " into database "
                             + f.db.name() + " on host " + connectionHost);
            }
            QCOMPARE(f.db.scalar("SELECT GROUP_CONCAT(id, v) FROM t"),
                     std::string(c.outcome == RestoreOutcome::Complete ? "1row 1" : "9own row"));
        }
    }

    // A backup restores only the file its own last run wrote: not one left
    // by a deleted backup of the same name, not one another backup wrote,
    // and nothing at all when it has never run. A backup whose connection
    // was deleted fails without asking for its password.
    void onlyTheBackupsOwnFileIsRestored()
    {
        struct Case {
            const char* name;
            std::function<void(RestoreFixture&)> prepare;
            const char* status;
            std::string message;
        };
        const std::string nothing = "\r\n\r\nNothing was restored.";
        const std::vector<Case> cases = {
            {"never run", [](RestoreFixture& f) { BackupDef::StoreNeverProcessed(f.state.store, f.name); }, "File Error",
             "The backup nightly has never run, so there is no backup file of its own to restore.\r\n\r\nRun the "
             "backup first."},
            {"a file of a deleted backup of the name",
             [](RestoreFixture& f) {
                 BackupDef::StoreLastBackup(f.state.store, f.name, "Tuesday, January 05, 2027 - 10:00:00 AM");
             },
             "File Error",
             "The file backup_nightly.tbk was not written by the last run of backup nightly: it holds backup "
             "\"nightly\" of Monday, December 07, 2026 - 02:14:35 AM, and the backup last ran on Tuesday, January 05, "
             "2027 - 10:00:00 AM."
                 + nothing},
            {"a file of another backup",
             [](RestoreFixture& f) {
                 std::vector<std::string> lines = DumpHeaderLines("weekly", f.db.name());
                 f.WriteDump(Join(lines, SimpleSection("t", 1)));
             },
             "File Error",
             "The file backup_nightly.tbk was not written by the last run of backup nightly: it holds backup "
             "\"weekly\" of Monday, December 07, 2026 - 02:14:35 AM, and the backup last ran on Monday, December 07, "
             "2026 - 02:14:35 AM."
                 + nothing},
            {"a deleted connection",
             [](RestoreFixture& f) {
                 ConnectionDef site = ConnectionDef::Load(f.state.store, "site");
                 site.savePassword = false;
                 site.Save(f.state.store);
                 ConnectionDef::Delete(f.state.store, f.state.nameLists, "site");
             },
             "Connection Failed", "The connection site no longer exists."},
        };
        for (const Case& c : cases) {
            RestoreFixture f("vorda_restore_owner");
            f.SetMode(RestoreMode::Absolute, true);
            f.db.exec("CREATE TABLE t (id int NOT NULL PRIMARY KEY, v varchar(40))");
            f.db.exec("INSERT INTO t VALUES (9, 'own row')");
            f.WriteDump(Join(DumpHeaderLines(f.name, f.db.name()), SimpleSection("t", 1)));
            c.prepare(f);
            const std::vector<std::string> before = test::DatabaseSnapshot(f.db);
            RecordingRunUi ui;
            checkFailed(f, ui, RestoreRun(f.state, ui).Run(f.name), c.status, c.message.c_str());
            QCOMPARE(test::DatabaseSnapshot(f.db), before);
        }
    }

    void serverModesDoNotChangeTheValues()
    {
        // A server whose own modes would refuse zero dates, read backslashes
        // as plain characters and renumber a 0 in an AUTO_INCREMENT column.
        RestoreFixture f("vorda_restore_modes");
        const std::string saved = f.db.scalar("SELECT @@GLOBAL.sql_mode");
        f.db.exec("SET GLOBAL sql_mode = 'TRADITIONAL,NO_BACKSLASH_ESCAPES'");
        struct Restore {
            test::ScratchDatabase& db;
            std::string mode;
            ~Restore() { db.sql().Query("SET GLOBAL sql_mode = '" + mode + "'"); }
        } restore {f.db, saved};

        const std::vector<Row> rows = {{"0", "0000-00-00", "It's \\ \"x\""}, {"1", "2024-00-00", "\n"}};
        f.WriteDump(Join(DumpHeaderLines(f.name, f.db.name()),
                         Section("modes", {"  `id` int(11) NOT NULL auto_increment,", "  `d` date NULL,",
                                           "  `v` varchar(20) NULL,", "  PRIMARY KEY `id` (`id`)"},
                                 rows)));
        RecordingRunUi ui;
        QCOMPARE(RestoreRun(f.state, ui).Run(f.name).outcome, RestoreOutcome::Complete);
        QVERIFY(ui.messages.empty());
        f.db.exec("SET SESSION sql_mode = 'NO_AUTO_VALUE_ON_ZERO'");
        MakeReference(f.db, "ref", "(id int NOT NULL AUTO_INCREMENT PRIMARY KEY, d date, v varchar(20))", rows);
        QCOMPARE(test::TableRows(f.db, "VORDA_modes", "id"), test::TableRows(f.db, "ref", "id"));
    }
};

QTEST_GUILESS_MAIN(TestRestoreRun)
#include "tst_restorerun.moc"
