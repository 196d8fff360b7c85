// The order of a backup file's lines, without a server: where a file may
// end, which lines are refused and why.
#include "core/dump/BackupFileGrammar.h"

#include <QTest>

#include <string>
#include <vector>

using dump::BackupFileGrammar;
using dump::FileLine;
using Lines = std::vector<std::string>;

namespace {

Lines Header(const char* kind = "Manual", const char* version = "2.1.2.4")
{
    const std::string rule(60, '-');
    return {rule, "--", "--       WARNING - DO NOT MANUALLY EDIT THIS FILE", "--          DOING SO WILL CORRUPT THIS BACKUP",
            "--", std::string("-- Vorda Quendal Suite - MySQL Backup File - ") + kind,
            std::string("-- Software Version: ") + version, "--", "-- Host Name / IP Address: ",
            "-- Database Name: any | thing", "-- Backup Name: x", "-- Backup TimeStamp: whenever", "--", rule};
}

Lines Structure(const std::string& quoted)
{
    return {"", "---", "--- Table structure for table " + quoted, "---", "", "CREATE TABLE " + quoted + " (",
            "  `id` int(11) NOT NULL", ")"};
}

Lines Data(const std::string& quoted, const Lines& rows, const std::string& total = {})
{
    Lines lines = {"", "---",
                   "--- Dumping data for table " + quoted + " - Total rows: "
                       + (total.empty() ? std::to_string(rows.size()) : total),
                   "---", ""};
    lines.insert(lines.end(), rows.begin(), rows.end());
    return lines;
}

Lines operator+(Lines a, const Lines& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Outcome {
    std::string end; // "complete", "unfinished" or "line <n>: <reason>"
    long long tables = 0;
    long long rows = 0;
};

Outcome Run(const Lines& lines)
{
    BackupFileGrammar grammar;
    for (const std::string& line : lines) {
        if (grammar.Feed(line) == FileLine::Bad)
            return {"line " + std::to_string(grammar.ErrorLine()) + ": " + grammar.Error()};
    }
    FileLine end = grammar.FeedEnd();
    if (end == FileLine::CreateEnd)
        end = grammar.FeedEnd();
    if (end == FileLine::Bad)
        return {"line " + std::to_string(grammar.ErrorLine()) + ": " + grammar.Error()};
    return {grammar.Closed() ? "complete" : "unfinished", grammar.Tables(), grammar.Rows()};
}

} // namespace

class TestBackupFileGrammar : public QObject {
    Q_OBJECT

private slots:
    void filesEndWhereTheyMay_data()
    {
        QTest::addColumn<Lines>("lines");
        QTest::addColumn<QString>("end");
        const Lines two = Structure("`a`") + Data("`a`", {"INSERT INTO `a` VALUES (1)", "INSERT INTO `a` VALUES (NULL)"});
        const Lines odd = Structure("`x``y`") + Data("`x``y`", {"INSERT INTO `x``y` VALUES ('a`b')"});
        QTest::newRow("complete") << two + Lines {"", "-- End of Backup File - Tables: 1 - Rows: 2"} << "complete";
        QTest::newRow("scheduled, another version")
            << Lines {"__scheduled__"} + two + Lines {"", "-- End of Backup File - Tables: 1 - Rows: 2"}
            << "complete";
        QTest::newRow("a table without rows last")
            << two + Structure("`b`") + Lines {"", "-- End of Backup File - Tables: 2 - Rows: 2"} << "complete";
        QTest::newRow("no tables") << Lines {"", "-- End of Backup File - Tables: 0 - Rows: 0"} << "complete";
        QTest::newRow("a name with backquotes") << odd + Lines {"", "-- End of Backup File - Tables: 1 - Rows: 1"}
                                                << "complete";
        QTest::newRow("older: ends after the rows") << two << "unfinished";
        QTest::newRow("older: ends after a structure") << two + Structure("`b`") << "unfinished";
        QTest::newRow("header only") << Lines {} << "unfinished";
        QTest::newRow("ends with the empty line") << two + Lines {""} << "unfinished";

        QTest::newRow("empty") << Lines {"__no header__"} << "line 1: the file is empty";
        QTest::newRow("inside the header") << Lines {"__header 5__"} << "line 6: the file ends inside its header";
        QTest::newRow("unknown version") << Lines {"__version 2.1.2.4x__"}
                                         << "line 7: header line 7 is not that of a Vorda backup file";
        QTest::newRow("no empty line before a heading") << Lines {"---"}
                                          << "line 15: an empty line was expected";
        QTest::newRow("a cut heading") << Lines {"", "---"} << "line 17: the file ends inside a section heading";
        QTest::newRow("rows missing") << Structure("`a`") + Data("`a`", {"INSERT INTO `a` VALUES (1)"}, "2")
                                      << "line 29: the file ends after 1 of the 2 rows of table `a`";
        QTest::newRow("a row too many")
            << Structure("`a`") + Data("`a`", {"INSERT INTO `a` VALUES (1)"}, "1") + Lines {"INSERT INTO `a` VALUES (2)"}
            << "line 29: more row statements than the 1 rows the data heading of table `a` counts";
        QTest::newRow("Total rows 0") << Structure("`a`") + Data("`a`", {}, "0")
                                      << "line 25: a data heading whose \"Total rows\" is not a number of rows";
        QTest::newRow("Total rows with a sign") << Structure("`a`") + Data("`a`", {"INSERT INTO `a` VALUES (1)"}, "+1")
                                                << "line 25: a data heading whose \"Total rows\" is not a number of rows";
        QTest::newRow("data of another table") << Structure("`a`") + Data("`b`", {"INSERT INTO `b` VALUES (1)"})
                                               << "line 25: a data heading that does not follow the structure "
                                                  "section of its table";
        QTest::newRow("two data sections") << two + Data("`a`", {"INSERT INTO `a` VALUES (3)"})
                                           << "line 32: a data heading that does not follow the structure section "
                                              "of its table";
        QTest::newRow("a title of an unquoted name") << Lines {"", "---", "--- Table structure for table a"}
                                                     << "line 17: a structure heading whose table name is not one "
                                                        "backquoted name";
        QTest::newRow("CREATE of another name")
            << Lines {"", "---", "--- Table structure for table `a`", "---", "", "CREATE TABLE `b` ("}
            << "line 20: \"CREATE TABLE `a` (\" was expected";
        QTest::newRow("a structure that is not closed")
            << Lines {"", "---", "--- Table structure for table `a`", "---", "", "CREATE TABLE `a` (", "  `id` int"}
            << "line 21: the structure statement of table `a` is refused: unbalanced parentheses";
        // The writer gives a table one section: a second would be restored
        // over the first.
        QTest::newRow("a second section of a table")
            << two + Structure("`b`") + Structure("`a`") + Data("`a`", {"INSERT INTO `a` VALUES (3)"})
            << "line 40: a second structure section for table `a`";
        QTest::newRow("a second section of a table without rows")
            << Structure("`x``y`") + Structure("`x``y`") << "line 25: a second structure section for table `x``y`";
        QTest::newRow("a comment between sections") << two + Lines {"", "-- a note"}
                                                    << "line 31: a section heading or the closing line was expected";
    }

    void filesEndWhereTheyMay()
    {
        QFETCH(Lines, lines);
        QFETCH(QString, end);
        // Markers stand for a header cut short or altered.
        Lines file;
        if (lines.empty() || lines.front().rfind("__", 0) != 0) {
            file = Header() + lines;
        } else if (lines.front() == "__header 5__") {
            file = Header();
            file.resize(5);
        } else if (lines.front() == "__scheduled__") {
            file = Header("Automatic", "3.0") + Lines(lines.begin() + 1, lines.end());
        } else if (lines.front() == "__version 2.1.2.4x__") {
            file = Header("Manual", "2.1.2.4x");
        }
        QCOMPARE(QString::fromStdString(Run(file).end), end);
    }

    // New files say in their header that TIMESTAMP values are UTC; older
    // ones do not. The line has one place and one text, and a replay refuses
    // a header that differs from the one the check saw.
    void sessionTimeZoneLineMarksUtcFiles_data()
    {
        QTest::addColumn<Lines>("header");
        QTest::addColumn<int>("expect"); // -1: either; 0 or 1: what the check saw
        QTest::addColumn<QString>("end");
        const std::string zone = "-- Session Time Zone: +00:00";
        Lines marked = Header();
        marked.insert(marked.begin() + 12, zone);
        Lines twice = marked;
        twice.insert(twice.begin() + 12, zone);
        Lines other = Header();
        other.insert(other.begin() + 12, "-- Session Time Zone: +01:00");
        QTest::newRow("older file") << Header() << -1 << "local";
        QTest::newRow("new file") << marked << -1 << "utc";
        QTest::newRow("checked as new, read as new") << marked << 1 << "utc";
        QTest::newRow("twice") << twice << -1 << "line 14: header line 14 is not that of a Vorda backup file";
        QTest::newRow("another zone") << other << -1 << "line 13: header line 13 is not that of a Vorda backup file";
        QTest::newRow("checked as new, read as older")
            << Header() << 1 << "line 14: the header's session time zone line differs from the file that was checked";
        QTest::newRow("checked as older, read as new")
            << marked << 0 << "line 15: the header's session time zone line differs from the file that was checked";
    }

    void sessionTimeZoneLineMarksUtcFiles()
    {
        QFETCH(Lines, header);
        QFETCH(int, expect);
        QFETCH(QString, end);
        BackupFileGrammar grammar;
        if (expect >= 0)
            grammar.ExpectUtcTimestamps(expect == 1);
        const Lines file = header + Structure("`a`") + Lines {"", "-- End of Backup File - Tables: 1 - Rows: 0"};
        std::string outcome;
        for (const std::string& line : file) {
            if (grammar.Feed(line) == FileLine::Bad) {
                outcome = "line " + std::to_string(grammar.ErrorLine()) + ": " + grammar.Error();
                break;
            }
        }
        if (outcome.empty()) {
            QCOMPARE(grammar.FeedEnd(), FileLine::End);
            QVERIFY(grammar.Closed());
            outcome = grammar.UtcTimestamps() ? "utc" : "local";
        }
        QCOMPARE(QString::fromStdString(outcome), end);
    }

    void countsAndTablesOfAFile()
    {
        const Lines file = Header() + Structure("`a`") + Data("`a`", {"INSERT INTO `a` VALUES (1)"}) + Structure("`b`")
            + Data("`b`", {"INSERT INTO `b` (`c`) VALUES (1)", "INSERT INTO `b` VALUES (2)"});
        const Outcome o = Run(file);
        QCOMPARE(o.end, std::string("unfinished"));
        QCOMPARE(o.tables, 2LL);
        QCOMPARE(o.rows, 3LL);

        // The header's values, as the restore compares them with the backup
        // and its connection.
        BackupFileGrammar header;
        for (const std::string& line : Header("Automatic"))
            header.Feed(line);
        QCOMPARE(header.Header().host, std::string());
        QCOMPARE(header.Header().database, std::string("any | thing"));
        QCOMPARE(header.Header().backupName, std::string("x"));
        QCOMPARE(header.Header().startTimeText, std::string("whenever"));
        QVERIFY(header.Header().kind == RunKind::Automatic);

        // What a replay is told, line by line.
        BackupFileGrammar grammar(100);
        for (size_t i = 0; i < 14; ++i)
            QCOMPARE(grammar.Feed(file[i]), FileLine::Header);
        QCOMPARE(grammar.Feed(""), FileLine::Blank);
        QCOMPARE(grammar.Feed("---"), FileLine::Rule);
        QCOMPARE(grammar.Feed("--- Table structure for table `a`"), FileLine::StructureTitle);
        QCOMPARE(grammar.Table(), std::string("a"));
        QCOMPARE(grammar.Feed("---"), FileLine::Rule);
        QCOMPARE(grammar.Feed(""), FileLine::Blank);
        QCOMPARE(grammar.Feed("CREATE TABLE `a` ("), FileLine::CreateStart);
        QCOMPARE(grammar.Feed("  `id` int(11) NOT NULL"), FileLine::CreateMore);
        QCOMPARE(grammar.Feed(")"), FileLine::CreateMore);
        QCOMPARE(grammar.Feed(""), FileLine::CreateEnd);
        QCOMPARE(grammar.Statement(), std::string("CREATE TABLE `a` (  `id` int(11) NOT NULL)"));
        QCOMPARE(grammar.Feed("---"), FileLine::Rule);
        QCOMPARE(grammar.Feed("--- Dumping data for table `a` - Total rows: 1"), FileLine::DataTitle);
        QCOMPARE(grammar.RowTotal(), 1LL);
        QCOMPARE(grammar.Feed("---"), FileLine::Rule);
        QCOMPARE(grammar.Feed(""), FileLine::Blank);
        QCOMPARE(grammar.Feed("INSERT INTO `a` VALUES (1)"), FileLine::Row);
        QCOMPARE(std::string(grammar.Row().values), std::string("(1)"));
        QCOMPARE(grammar.FeedOverlong(5000, 100), FileLine::Bad);
        QCOMPARE(grammar.ErrorLine(), 29LL);
        QCOMPARE(grammar.Error(), std::string("a line of 5000 bytes, longer than the 100 bytes the server accepts in "
                                              "one statement"));
        QCOMPARE(grammar.Feed(""), FileLine::Bad); // stays refused

        // A structure statement longer than the limit is refused as it grows.
        BackupFileGrammar small(40);
        for (const std::string& line : Header() + Lines {"", "---", "--- Table structure for table `a`", "---", "",
                                                         "CREATE TABLE `a` ("})
            small.Feed(line);
        QCOMPARE(small.Feed("  `id` int(11) NOT NULL,"), FileLine::Bad);
        QVERIFY(small.ErrorInStructure());
    }

    // A data section read by another reader: the file's grammar passes over
    // it at its first row (and counts its rows), and the section's own
    // grammar takes only rows of its table, as many as it holds.
    void aDataSectionReadApart_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("result");
        QTest::newRow("its rows") << QStringList {"INSERT INTO `b` VALUES (2)", "INSERT INTO `b` (`c`) VALUES (3)"}
                                  << "rows";
        QTest::newRow("another table's row") << QStringList {"INSERT INTO `b` VALUES (2)", "INSERT INTO `a` VALUES (3)"}
                                             << "line %2: a row statement of another table than its data section's";
        QTest::newRow("a heading where a row belongs")
            << QStringList {"", "INSERT INTO `b` VALUES (3)"} << "line %1: only 0 of the 2 rows of table `b` are in the file";
    }
    void aDataSectionReadApart()
    {
        QFETCH(QStringList, rows);
        QFETCH(QString, result);
        const Lines file = Header() + Structure("`a`") + Data("`a`", {"INSERT INTO `a` VALUES (1)"}) + Structure("`b`")
            + Data("`b`", {"-", "-"});
        BackupFileGrammar grammar;
        for (const std::string& line : file) {
            QVERIFY(!grammar.AtRows() || line == "INSERT INTO `a` VALUES (1)" || line == "-");
            if (line == "-")
                break;
            grammar.Feed(line);
        }
        QVERIFY(grammar.AtRows());
        const long long before = grammar.LineNumber();
        QVERIFY(grammar.SkipRows());
        QVERIFY(!grammar.SkipRows());
        QCOMPARE(grammar.Feed(""), FileLine::Blank);
        QCOMPARE(grammar.Feed(ClosingLine(2, 3)), FileLine::Closing);

        BackupFileGrammar section = BackupFileGrammar::RowsOf("b", 2, before);
        QString got = "rows";
        for (const QString& row : rows) {
            if (section.Feed(row.toStdString()) == FileLine::Bad) {
                got = QString::fromStdString("line " + std::to_string(section.ErrorLine()) + ": " + section.Error());
                break;
            }
        }
        // %1 and %2: the section's first and second lines.
        QCOMPARE(got, result.replace("%1", QString::number(before + 1)).replace("%2", QString::number(before + 2)));
    }
};

QTEST_GUILESS_MAIN(TestBackupFileGrammar)
#include "tst_backupfilegrammar.moc"
