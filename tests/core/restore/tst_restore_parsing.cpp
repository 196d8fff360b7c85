#include "TestSupport.h"
#include "core/restore/LineReader.h"
#include "core/restore/RestoreRun.h"
#include "core/restore/ViewerLoader.h"

#include <QElapsedTimer>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

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

        // Cut: the first 1000 bytes are kept.
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

    // A line over the limit is refused without being held: the line comes
    // back empty, its length is known, and the string never grows past the
    // limit. A line of exactly the limit, CR LF or not, is read whole.
    void overlongLinesAreRefusedWithoutBeingHeld()
    {
        test::TempDataDir dir;
        const std::string big(3 * 1000 * 1000 + 7, 'q');
        test::WriteFile(dir.file("f"), std::string(1000, 'x') + "\r\n" + std::string(1000, 'y') + "\n" + big
                                           + "\r\nafter\r\n" + std::string(1001, 'z'));
        LineReader reader(1000, LineReader::LongLines::Refuse);
        QVERIFY(reader.Open(dir.file("f")));
        std::string line;
        QVERIFY(reader.Next(line));
        QCOMPARE(line, std::string(1000, 'x'));
        QVERIFY(!reader.Overlong());
        QVERIFY(reader.Next(line));
        QCOMPARE(line, std::string(1000, 'y'));
        QVERIFY(reader.Next(line));
        QVERIFY(reader.Overlong());
        QVERIFY(line.empty());
        QCOMPARE(reader.LineBytes(), static_cast<unsigned long long>(big.size()));
        QVERIFY2(line.capacity() < 4096, std::to_string(line.capacity()).c_str());
        QVERIFY(reader.Next(line));
        QCOMPARE(line, std::string("after"));
        QVERIFY(reader.Next(line)); // the last line, without an end
        QVERIFY(reader.Overlong());
        QCOMPARE(reader.LineBytes(), 1001ULL);
        QVERIFY(!reader.Next(line));

        // Back to the start of the same open file.
        QVERIFY(reader.Rewind());
        QVERIFY(reader.Next(line));
        QCOMPARE(line, std::string(1000, 'x'));
    }

    // Only a regular file (or a link to one) is read. A FIFO or a device is
    // refused at once, without waiting for a writer or reading endlessly;
    // the viewer's load gives up the same way.
    void onlyRegularFilesAreOpened()
    {
        test::TempDataDir dir;
        test::WriteFile(dir.file("regular"), "a\n");
        QCOMPARE(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
        QCOMPARE(::symlink("/dev/zero", dir.file("zero").c_str()), 0);
        QCOMPARE(::symlink(dir.file("fifo").c_str(), dir.file("to-fifo").c_str()), 0);
        QCOMPARE(::symlink(dir.file("regular").c_str(), dir.file("to-regular").c_str()), 0);

        QElapsedTimer timer;
        timer.start();
        LineReader reader;
        for (const char* name : {"fifo", "zero", "to-fifo"})
            QVERIFY2(!reader.Open(dir.file(name)), name);
        QVERIFY(!reader.Open("/dev/null"));
        QVERIFY(reader.Open(dir.file("to-regular")));
        std::string line;
        QVERIFY(reader.Next(line));
        QCOMPARE(line, std::string("a"));

        AppState state(dir.path());
        ViewerLoader viewer(state, ignoredViewer_);
        for (const char* name : {"fifo", "zero", "to-fifo"})
            QCOMPARE(viewer.Load(dir.file(name), false), ViewerLoadResult::NotOpened);
        QVERIFY(!state.viewerActive);
        QVERIFY2(timer.elapsed() < 2000, std::to_string(timer.elapsed()).c_str());

        // The viewer opens nothing under a name that breaks the name rule.
        test::WriteFile(dir.file("backup_x.tbk"), "");
        state.selectedName = "../backup_x";
        QCOMPARE(viewer.LoadSelected(), ViewerLoadResult::NotOpened);
        state.selectedName = "x";
        QCOMPARE(viewer.LoadSelected(), ViewerLoadResult::Loaded);
    }

private:
    class IgnoredViewerUi : public ViewerUi {
    public:
        void ShowFileSize(const std::string&) override {}
        void SetProgressRange(long long, long long) override {}
        void StepProgress() override {}
        void ShowStatus(const std::string&) override {}
        void ShowLoadingText(const std::string&) override {}
        void SetViewerText(std::string) override {}
        void Pump() override {}
    } ignoredViewer_;
};

QTEST_GUILESS_MAIN(TestRestoreParsing)
#include "tst_restore_parsing.moc"
