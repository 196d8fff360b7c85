#include "TestSupport.h"
#include "core/restore/ViewerLoader.h"

#include <QTest>

#include <chrono>
#include <fstream>
#include <unistd.h>
#include <functional>

namespace {

class RecordingViewerUi : public ViewerUi {
public:
    void ShowFileSize(const std::string& text) override { sizeText = text; }
    void SetProgressRange(long long maximum, long long step) override { ranges.push_back({maximum, step}); }
    void StepProgress() override
    {
        ++steps;
        if (onStep)
            onStep();
    }
    void ShowStatus(const std::string& text) override { statuses.push_back(text); }
    void ShowLoadingText(const std::string& text) override { loadingTexts.push_back(text); }
    void SetViewerText(std::string value) override
    {
        text = std::move(value);
        ++fills;
    }
    void Pump() override { ++pumps; }

    std::string sizeText;
    std::vector<std::pair<long long, long long>> ranges;
    int steps = 0;
    std::vector<std::string> statuses;
    std::vector<std::string> loadingTexts;
    std::string text;
    int fills = 0;
    int pumps = 0;
    std::function<void()> onStep;
};

// A line "<name>: <n> kB" of /proc/self/status.
long StatusKb(const char* name)
{
    std::ifstream in("/proc/self/status");
    std::string key;
    long value = -1;
    while (in >> key) {
        if (key == std::string(name) + ":") {
            in >> value;
            return value;
        }
        in.ignore(1 << 16, '\n');
    }
    return -1;
}

// Starts a new peak of resident memory at the current size.
void ResetPeakRss()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

} // namespace

class TestViewerLoader : public QObject {
    Q_OBJECT

private slots:
    void buildsTheTextWithAndWithoutLineNumbers()
    {
        test::TempDataDir dir;
        AppState state(dir.path());
        state.selectedName = "nightly";
        test::WriteFile(dir.file("backup_nightly.tbk"), "----\r\n--\r\n\r\nINSERT INTO `t` VALUES ('1')\r\n");

        RecordingViewerUi plain;
        QCOMPARE(ViewerLoader(state, plain).LoadSelected(), ViewerLoadResult::Loaded);
        QCOMPARE(plain.text, std::string("----\r\n--\r\n\r\nINSERT INTO `t` VALUES ('1')\r\n"));
        QCOMPARE(plain.sizeText, std::string("42"));
        QVERIFY(!state.viewerActive);

        state.settings().lineNumbers = true;
        RecordingViewerUi numbered;
        QCOMPARE(ViewerLoader(state, numbered).LoadSelected(), ViewerLoadResult::Loaded);
        QCOMPARE(numbered.text, std::string("000000: ----\r\n000001: --\r\n000002: \r\n"
                                            "000003: INSERT INTO `t` VALUES ('1')\r\n"));
        QCOMPARE(numbered.fills, 1);
        QCOMPARE(numbered.statuses.back(), std::string("Load Complete"));

        RecordingViewerUi missing;
        QCOMPARE(ViewerLoader(state, missing).Load(dir.file("none.tbk"), false), ViewerLoadResult::NotOpened);
        QCOMPARE(missing.fills, 0);
        QVERIFY(!state.viewerActive);
    }

    void progressStepsFollowTheBuiltText()
    {
        test::TempDataDir dir;
        AppState state(dir.path());
        // 12345 bytes in lines of 25 (23 characters and CR LF), the last one shorter.
        std::string file;
        while (file.size() + 25 <= 12345)
            file += std::string(23, 'v') + "\r\n";
        file += std::string(12345 - file.size() - 2, 'w') + "\r\n";
        QCOMPARE(file.size(), size_t(12345));
        test::WriteFile(dir.file("f.tbk"), file);

        for (const bool numbers : {false, true}) {
            RecordingViewerUi ui;
            QCOMPARE(ViewerLoader(state, ui).Load(dir.file("f.tbk"), numbers), ViewerLoadResult::Loaded);
            QCOMPARE(ui.sizeText, std::string("12345"));
            QCOMPARE(ui.ranges.front(), std::make_pair(12345LL, 123LL));
            QCOMPARE(ui.ranges.back(), std::make_pair(1LL, 1LL));
            // One step and one text per percent passed, counting from 2.
            const std::vector<std::string> tail = {"Updating Display", "Load Complete"};
            QCOMPARE(std::vector<std::string>(ui.statuses.end() - 2, ui.statuses.end()), tail);
            const int percents = static_cast<int>(ui.statuses.size()) - 2;
            QCOMPARE(ui.steps, percents);
            for (int i = 0; i < percents; ++i)
                QCOMPARE(ui.statuses[i], std::to_string(i + 2) + "% Loaded");
            // The percentage follows the text built, line numbers included,
            // so with numbers it passes 100.
            const long long expected = static_cast<long long>(ui.text.size()) / 123;
            QVERIFY2(percents + 1 >= expected - 1 && percents + 1 <= expected, std::to_string(percents).c_str());
            QCOMPARE(numbers, percents + 1 > 100);
            QCOMPARE(ui.loadingTexts,
                     std::vector<std::string>({"Updating Display - May Take Several Seconds - Please Wait"}));
        }
    }

    void clearingViewerActiveStopsTheLoad()
    {
        test::TempDataDir dir;
        AppState state(dir.path());
        std::string file;
        for (int i = 0; i < 1000; ++i)
            file += "INSERT INTO `t` VALUES ('" + std::to_string(i) + "')\r\n";
        test::WriteFile(dir.file("f.tbk"), file);

        RecordingViewerUi ui;
        int stepsAtStop = -1;
        ui.onStep = [&] {
            if (ui.steps == 10) {
                state.viewerActive = false; // the user toggles line numbers
                stepsAtStop = ui.steps;
            }
        };
        QCOMPARE(ViewerLoader(state, ui).Load(dir.file("f.tbk"), false), ViewerLoadResult::Stopped);
        QCOMPARE(ui.fills, 0);
        QCOMPARE(ui.steps, stepsAtStop);
        QVERIFY(ui.text.empty());
        QVERIFY(ui.loadingTexts.empty());
        QVERIFY(!state.viewerActive);

        // A new load starts afresh and runs to the end.
        RecordingViewerUi again;
        QCOMPARE(ViewerLoader(state, again).Load(dir.file("f.tbk"), true), ViewerLoadResult::Loaded);
        QVERIFY(again.text.starts_with("000000: INSERT INTO `t` VALUES ('0')\r\n"));
        QVERIFY(again.text.ends_with("000999: INSERT INTO `t` VALUES ('999')\r\n"));
    }

    // A line longer than the viewer keeps is cut at 64 MB and marked. With
    // at most 64 MB of a file on screen, it is shown only as the first line;
    // after another line it is where the shown part ends.
    void anOverlongLineIsCutAndMarked()
    {
        test::TempDataDir dir;
        AppState state(dir.path());
        const std::string path = dir.file("long.tbk");
        const std::string longLine = std::string(kMaxViewerLine + 10, 'w') + "\r\n";
        {
            std::ofstream out(path, std::ios::binary);
            out << longLine << "last\r\n";
        }
        RecordingViewerUi ui;
        QCOMPARE(ViewerLoader(state, ui).Load(path, false), ViewerLoadResult::Loaded);
        const std::string expectedEnd = "w [line cut: 10 more bytes of it are not shown]\r\n" + NotShownLine(6) + "\r\n";
        QCOMPARE(ui.text.size(), kMaxViewerLine + expectedEnd.size() - 1);
        QVERIFY(ui.text.ends_with(expectedEnd));

        {
            std::ofstream out(path, std::ios::binary);
            out << "first\r\n" << longLine << "last\r\n";
        }
        RecordingViewerUi after;
        QCOMPARE(ViewerLoader(state, after).Load(path, false), ViewerLoadResult::Loaded);
        QCOMPARE(after.text, "first\r\n" + NotShownLine(static_cast<long long>(longLine.size()) + 6) + "\r\n");
    }

    void aLargeDumpLoadsInLinearTimeAndFlatMemory()
    {
        test::TempDataDir dir;
        AppState state(dir.path());
        const std::string path = dir.file("big.tbk");
        long long size = 0;
        long long lines = 0;
        {
            std::ofstream out(path, std::ios::binary);
            std::string row;
            while (size < 50LL * 1000 * 1000) {
                row = "INSERT INTO `big` VALUES ('" + std::to_string(lines)
                    + "', 'some text of a row, long enough to look like data', '12.50', NULL)\r\n";
                out << row;
                size += static_cast<long long>(row.size());
                ++lines;
            }
        }
        for (const bool numbers : {false, true}) {
            ResetPeakRss();
            const long before = StatusKb("VmRSS");
            RecordingViewerUi ui;
            const auto start = std::chrono::steady_clock::now();
            QCOMPARE(ViewerLoader(state, ui).Load(path, numbers), ViewerLoadResult::Loaded);
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            const long grown = StatusKb("VmHWM") - before;
            QCOMPARE(ui.fills, 1);
            QCOMPARE(static_cast<long long>(ui.text.size()), size + (numbers ? 8 * lines : 0));
            qInfo("50 MB dump, %s line numbers: %.2f s, peak memory grew by %ld kB for a %lld kB text",
                  numbers ? "with" : "without", seconds, grown, static_cast<long long>(ui.text.size() / 1024));
            QVERIFY2(seconds < 20.0, std::to_string(seconds).c_str());
            // The text itself plus what reading needs: no second copy of it.
            const long textKb = static_cast<long>(ui.text.size() / 1024);
            QVERIFY2(grown < textKb + textKb / 4 + 8 * 1024, std::to_string(grown).c_str());
        }
    }

    // At most 64 MB of a file are shown, whole lines only, then the line
    // that says how many bytes are left out; sizes beyond 32 bits are shown
    // as they are.
    void aFileOverTheCapShowsItsFirst64MegabytesAndSaysWhatIsLeft_data()
    {
        QTest::addColumn<long long>("size");
        QTest::addColumn<QString>("end");
        QTest::newRow("just under, CR LF") << kViewerShownBytes / 100 * 100 << QStringLiteral("\r\n");
        QTest::newRow("one line over, LF") << kViewerShownBytes + 100 << QStringLiteral("\n");
        QTest::newRow("70 MB, CR LF") << 70LL * 1024 * 1024 << QStringLiteral("\r\n");
        QTest::newRow("5 GB, sparse") << 5LL * 1024 * 1024 * 1024 << QStringLiteral("\n");
    }

    void aFileOverTheCapShowsItsFirst64MegabytesAndSaysWhatIsLeft()
    {
        QFETCH(long long, size);
        QFETCH(QString, end);
        const std::string lineEnd = end.toStdString();
        test::TempDataDir dir;
        AppState state(dir.path());
        const std::string path = dir.file("cap.tbk");
        // Lines of 100 bytes with their end; a sparse file beyond the first
        // 80 MB (its zero bytes read as one long line, cut by the cap).
        const std::string line = std::string(100 - lineEnd.size(), 'x') + lineEnd;
        {
            std::ofstream out(path, std::ios::binary);
            const long long written = std::min(size, 80LL * 1024 * 1024);
            std::string block;
            for (int i = 0; i < 10000; ++i)
                block += line;
            long long done = 0;
            for (; done + static_cast<long long>(block.size()) <= written; done += static_cast<long long>(block.size()))
                out << block;
            for (; done < written; done += 100)
                out << line;
        }
        if (size > 80LL * 1024 * 1024)
            QVERIFY(::truncate(path.c_str(), size) == 0);
        const long long fileSize = std::max(size, (std::min(size, 80LL * 1024 * 1024) + 99) / 100 * 100);

        RecordingViewerUi ui;
        QCOMPARE(ViewerLoader(state, ui).Load(path, false), ViewerLoadResult::Loaded);
        QCOMPARE(ui.sizeText, std::to_string(fileSize));
        const long long wholeLines = std::min(fileSize, kViewerShownBytes) / 100;
        if (fileSize <= kViewerShownBytes) {
            QCOMPARE(static_cast<long long>(ui.text.size()), wholeLines * (98 + 2));
            QVERIFY(ui.text.find("***") == std::string::npos);
            return;
        }
        const std::string note = NotShownLine(fileSize - wholeLines * 100) + "\r\n";
        QVERIFY(ui.text.ends_with(note));
        QCOMPARE(static_cast<long long>(ui.text.size() - note.size()), wholeLines * (100 - static_cast<long long>(lineEnd.size()) + 2));
        QCOMPARE(ui.ranges.front().first, kViewerShownBytes);
    }
};

QTEST_GUILESS_MAIN(TestViewerLoader)
#include "tst_viewerloader.moc"
