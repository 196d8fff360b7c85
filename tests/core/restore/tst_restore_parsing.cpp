#include "TestSupport.h"
#include "core/restore/LineReader.h"
#include "core/restore/RestoreRun.h"

#include <QTest>

namespace {

std::vector<std::string> ReadAll(LineReader& reader)
{
    std::vector<std::string> lines;
    std::string line;
    while (reader.Next(line))
        lines.push_back(line);
    return lines;
}

} // namespace

class TestRestoreParsing : public QObject {
    Q_OBJECT

private slots:
    void sessionModeKeepsValuesAsWritten()
    {
        QCOMPARE(RestoreSessionSqlMode("STRICT_TRANS_TABLES,ERROR_FOR_DIVISION_BY_ZERO,NO_AUTO_CREATE_USER,"
                                       "NO_ENGINE_SUBSTITUTION"),
                 std::string("STRICT_TRANS_TABLES,ERROR_FOR_DIVISION_BY_ZERO,NO_AUTO_CREATE_USER,"
                             "NO_ENGINE_SUBSTITUTION,NO_AUTO_VALUE_ON_ZERO"));
        QCOMPARE(RestoreSessionSqlMode("STRICT_TRANS_TABLES,STRICT_ALL_TABLES,NO_ZERO_IN_DATE,NO_ZERO_DATE,"
                                       "ERROR_FOR_DIVISION_BY_ZERO,TRADITIONAL,NO_AUTO_CREATE_USER,"
                                       "NO_ENGINE_SUBSTITUTION,NO_BACKSLASH_ESCAPES,EMPTY_STRING_IS_NULL"),
                 std::string("STRICT_TRANS_TABLES,STRICT_ALL_TABLES,ERROR_FOR_DIVISION_BY_ZERO,"
                             "NO_AUTO_CREATE_USER,NO_ENGINE_SUBSTITUTION,NO_AUTO_VALUE_ON_ZERO"));
        QCOMPARE(RestoreSessionSqlMode(""), std::string("NO_AUTO_VALUE_ON_ZERO"));
        QCOMPARE(RestoreSessionSqlMode("NO_AUTO_VALUE_ON_ZERO,ANSI_QUOTES"), std::string("NO_AUTO_VALUE_ON_ZERO,ANSI_QUOTES"));
    }

    void resultWordsAndFinalQuestion()
    {
        QCOMPARE(RestoreResultWord(RestoreOutcome::Complete), std::string("Complete"));
        QCOMPARE(RestoreResultWord(RestoreOutcome::Failed), std::string("Failed"));
        QCOMPARE(RestoreFinalQuestion(RestoreOutcome::Complete),
                 std::string("Restore Complete\r\n\r\nDo you wish to execute another?"));
        QCOMPARE(RestoreFinalQuestion(RestoreOutcome::Failed),
                 std::string("Restore Failed\r\n\r\nDo you wish to execute another?"));
    }

    void readerStripsLineEndsAndKeepsEveryByte()
    {
        test::TempDataDir dir;
        using namespace std::string_literals;
        test::WriteFile(dir.file("f"), "crlf\r\nlf\n\r\nin\rside\r\nzero\0byte\xff\r\n\r\r\nlast"s);
        LineReader reader;
        QVERIFY(reader.Open(dir.file("f")));
        QCOMPARE(reader.Size(), 39LL);
        QCOMPARE(ReadAll(reader),
                 std::vector<std::string>({"crlf", "lf", "", "in\rside", "zero\0byte\xff"s, "\r", "last"}));
        QVERIFY(!reader.Failed());

        test::WriteFile(dir.file("empty"), "");
        QVERIFY(reader.Open(dir.file("empty")));
        QVERIFY(ReadAll(reader).empty());

        QVERIFY(!reader.Open(dir.file("missing")));
        QVERIFY(!reader.Open(dir.path())); // a directory
    }

    void longLinesAreReadWholeOrCutAtTheLimit()
    {
        test::TempDataDir dir;
        const std::string big(3 * 1000 * 1000 + 7, 'q'); // longer than the read buffer, several times
        test::WriteFile(dir.file("f"), "a\r\n" + big + "\r\nb");
        LineReader reader;
        QVERIFY(reader.Open(dir.file("f")));
        std::string line;
        QVERIFY(reader.Next(line));
        QVERIFY(reader.Next(line));
        QCOMPARE(line.size(), big.size());
        QVERIFY(line == big);
        QVERIFY(!reader.Overlong());
        QVERIFY(reader.Next(line));
        QCOMPARE(line, std::string("b"));

        LineReader capped(1000);
        QVERIFY(capped.Open(dir.file("f")));
        QVERIFY(capped.Next(line));
        QVERIFY(!capped.Overlong());
        QVERIFY(capped.Next(line));
        QVERIFY(capped.Overlong());
        QCOMPARE(line, std::string(1000, 'q'));
        QVERIFY(capped.Next(line)); // the next line is intact
        QVERIFY(!capped.Overlong());
        QCOMPARE(line, std::string("b"));
        QVERIFY(!capped.Next(line));
    }
};

QTEST_GUILESS_MAIN(TestRestoreParsing)
#include "tst_restore_parsing.moc"
