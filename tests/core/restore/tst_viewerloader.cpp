#include "TestSupport.h"
#include "core/restore/ViewerLoader.h"

#include <QTest>

#include <chrono>
#include <fstream>
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

    // A line longer than the viewer keeps is cut at 64 MB and marked; the
    // lines after it are shown whole.
    void anOverlongLineIsCutAndMarked()
    {
        test::TempDataDir dir;
        AppState state(dir.path());
        const std::string path = dir.file("long.tbk");
        {
            std::ofstream out(path, std::ios::binary);
            out << "first\r\n" << std::string(kMaxViewerLine + 10, 'w') << "\r\nlast\r\n";
        }
        RecordingViewerUi ui;
        QCOMPARE(ViewerLoader(state, ui).Load(path, false), ViewerLoadResult::Loaded);
        const std::string expectedEnd = "w [line cut: 10 more bytes of it are not shown]\r\nlast\r\n";
        QCOMPARE(ui.text.size(), 7 + kMaxViewerLine + expectedEnd.size() - 1);
        QVERIFY(ui.text.rfind("first\r\nwww", 0) == 0);
        QVERIFY(ui.text.ends_with(expectedEnd));
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
};

QTEST_GUILESS_MAIN(TestViewerLoader)
#include "tst_viewerloader.moc"
