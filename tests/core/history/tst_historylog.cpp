#include "TestSupport.h"
#include "core/history/HistoryLog.h"

#include <QDir>
#include <QTest>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Monday 7 December 2026, 02:14:39 UTC.
constexpr std::time_t kMonday = 1796609679;

Clock Stepping(std::time_t start)
{
    auto t = std::make_shared<std::time_t>(start);
    return [t] { return (*t)++; };
}

Settings View(ReportingState reporting, LogDirection direction, bool timestamps, bool doubleSpace)
{
    Settings s;
    s.reporting = reporting;
    s.direction = direction;
    s.showTimestamp = timestamps;
    s.doubleSpace = doubleSpace;
    return s;
}

} // namespace

class TestHistoryLog : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        tzset();
    }

    void timeTextsAreEnglishAndFixedWidth()
    {
        QCOMPARE(FormatLocalTime(kMonday, kShortTimeFormat), std::string("Mon, Dec 07, 2026 - 02:14:39 AM"));
        QCOMPARE(FormatLocalTime(kMonday, kLongTimeFormat), std::string("Monday, December 07, 2026 - 02:14:39 AM"));
        QCOMPARE(FormatElapsed(3 * 3600 + 2 * 60 + 1), std::string("03:02:01"));
        QCOMPARE(FormatElapsed(0), std::string("00:00:00"));
    }

    void appendWritesOneLinePerEntry()
    {
        test::TempDataDir dir;
        HistoryLog log(dir.file("vorda_history.log"), [] { return kMonday; });
        log.AppendEntry(false, "Backup Successful: nightly");
        log.AppendEntry(true, "Vorda Software Exited");
        QVERIFY(log.logChanged);
        QCOMPARE(test::ReadFile(dir.file("vorda_history.log")),
                 std::string("0|Mon, Dec 07, 2026 - 02:14:39 AM|Backup Successful: nightly\r\n"
                             "1|Mon, Dec 07, 2026 - 02:14:39 AM|Vorda Software Exited\r\n"));
        struct stat st {};
        QCOMPARE(::stat(dir.file("vorda_history.log").c_str(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0600u);
        // No temporary file is left beside the log (its lock file stays).
        QCOMPARE(QDir(QString::fromStdString(dir.path())).entryList(QDir::Files | QDir::Hidden),
                 (QStringList {"vorda_history.log", "vorda_history.log.lock"}));

        HistoryLog reread(dir.file("vorda_history.log"));
        QVERIFY(reread.Load());
        QCOMPARE(reread.Count(), size_t(2));
        QCOMPARE(reread.Entries()[1].verbose, static_cast<unsigned char>(1));
        QCOMPARE(reread.Entries()[0].message, std::string("Backup Successful: nightly"));
    }

    void the1001stEntryDropsTheOldest()
    {
        test::TempDataDir dir;
        HistoryLog log(dir.file("vorda_history.log"), Stepping(kMonday));
        for (int i = 0; i < 1001; ++i)
            log.AppendEntry(false, "entry " + std::to_string(i));
        QCOMPARE(log.Count(), size_t(1000));
        const std::string file = test::ReadFile(dir.file("vorda_history.log"));
        QCOMPARE(std::count(file.begin(), file.end(), '\n'), 1000L);
        QVERIFY(file.starts_with("0|Mon, Dec 07, 2026 - 02:14:40 AM|entry 1\r\n"));
        QVERIFY(file.ends_with("|entry 1000\r\n"));
    }

    void loadReadsTheRulesFromHandEditedFiles()
    {
        test::TempDataDir dir;
        const std::string path = dir.file("vorda_history.log");
        test::WriteFile(path,
                        "1|Mon, Dec 07, 2026 - 02:14:39 AM|Vorda System Started\r\n"
                        "7|ts|odd flag\r\n"
                        "0||only two fields\n"
                        "no bars at all\r\n"
                        "0|ts|" + std::string(100 * 1024, 'x') + "\r\n"
                        "\r\n"
                        "0|ts|after the blank line\r\n");
        HistoryLog log(path, [] { return kMonday; });
        QVERIFY(log.Load());
        // "0||only two fields" (empty fields are skipped, so the text lands in
        // the timestamp) and "no bars at all" have no message: skipped.
        QCOMPARE(log.Count(), size_t(3));
        QCOMPARE(log.Entries()[0].verbose, static_cast<unsigned char>(1));
        QCOMPARE(log.Entries()[0].message, std::string("Vorda System Started"));
        QCOMPARE(log.Entries()[1].verbose, static_cast<unsigned char>(1));
        QCOMPARE(log.Entries()[1].message, std::string("odd flag"));
        QCOMPARE(log.Entries()[2].message.size(), size_t(100 * 1024));

        // Standard reporting hides the verbose entries.
        const Settings standard = View(ReportingState::Standard, LogDirection::Ascend, false, false);
        QCOMPARE(log.RenderText(standard), std::string(100 * 1024, 'x') + "\r\n");
        const Settings verbose = View(ReportingState::Verbose, LogDirection::Ascend, false, false);
        QCOMPARE(log.RenderText(verbose),
                 "Vorda System Started\r\nodd flag\r\n" + std::string(100 * 1024, 'x') + "\r\n");
        const Settings descending = View(ReportingState::Verbose, LogDirection::Descend, false, false);
        QCOMPARE(log.RenderText(descending).size(), 100 * 1024 + 2u + 10u + 22u);

        // Entries after a skipped line are saved: the next append keeps them all.
        log.AppendEntry(false, "after the skipped lines");
        HistoryLog again(path);
        QVERIFY(again.Load());
        QCOMPARE(again.Count(), size_t(4));
        QCOMPARE(again.Entries().back().message, std::string("after the skipped lines"));
    }

    // A log that cannot be written keeps its entries in memory and reports
    // the loss once, with its reason; once the file can be written again, it
    // holds every entry, and a new loss is reported again.
    void writeFailureIsReportedOnce_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("reason");
        QTest::newRow("disk full") << "full" << "No space left on device";
        QTest::newRow("read-only folder") << "readonly" << "Read-only file system";
        QTest::newRow("a folder in its place") << "folder" << "Is a directory";
    }

    void writeFailureIsReportedOnce()
    {
        QFETCH(QString, situation);
        QFETCH(QString, reason);
        test::TempDataDir dir;
        test::TinyMount mount(64);
        if (situation != "folder")
            REQUIRE_TINY_MOUNT(mount);
        const std::string path = situation == "folder" ? dir.file("vorda_history.log") : mount.file("vorda_history.log");
        HistoryLog log(path, Stepping(kMonday));
        std::vector<std::string> reported;
        log.OnWriteFailure = [&reported](const std::string& why) { reported.push_back(why); };
        log.AppendEntry(false, "written");
        QVERIFY(reported.empty());

        const auto breakIt = [&] {
            if (situation == "full")
                mount.Fill();
            else if (situation == "readonly")
                QVERIFY(mount.SetReadOnly(true));
            else
                QVERIFY(::unlink(path.c_str()) == 0 && ::mkdir(path.c_str(), 0700) == 0);
        };
        const auto mendIt = [&] {
            if (situation == "full")
                QCOMPARE(::unlink(mount.file("filler").c_str()), 0);
            else if (situation == "readonly")
                QVERIFY(mount.SetReadOnly(false));
            else
                QCOMPARE(::rmdir(path.c_str()), 0);
        };
        breakIt();
        for (const std::string& entry : {std::string("lost one"), std::string("lost two"), std::string(30000, 'z')})
            log.AppendEntry(false, entry);
        QCOMPARE(reported.size(), size_t(1));
        QVERIFY2(QString::fromStdString(reported[0]).contains(reason), reported[0].c_str());
        QCOMPARE(log.WriteError(), reported[0]);
        QCOMPARE(log.Count(), size_t(4));

        mendIt();
        log.AppendEntry(false, "mended");
        QCOMPARE(reported.size(), size_t(1));
        QCOMPARE(log.WriteError(), std::string());
        HistoryLog reread(path);
        QVERIFY(reread.Load());
        QCOMPARE(reread.Count(), size_t(5));
        QCOMPARE(reread.Entries()[1].message, std::string("lost one"));

        breakIt();
        log.AppendEntry(false, "lost again");
        QCOMPARE(reported.size(), size_t(2));
        if (situation == "readonly")
            QVERIFY(mount.SetReadOnly(false));
    }

    void loadOfAnUnreadableFileKeepsMemory()
    {
        test::TempDataDir dir;
        HistoryLog log(dir.file("missing-dir/vorda_history.log"), [] { return kMonday; });
        log.AppendEntry(false, "kept in memory");
        QVERIFY(!log.Load());
        QCOMPARE(log.Count(), size_t(1));

        // A log that cannot be written (a folder sits in its place) keeps
        // every entry in memory, however often it is appended to.
        QVERIFY(QDir().mkpath(QString::fromStdString(dir.file("blocked/vorda_history.log"))));
        HistoryLog blocked(dir.file("blocked/vorda_history.log"), [] { return kMonday; });
        for (const char* entry : {"one", "two", "three"})
            blocked.AppendEntry(false, entry);
        QCOMPARE(blocked.Count(), size_t(3));

        // A missing file is created empty by Load.
        HistoryLog fresh(dir.file("vorda_history.log"));
        QVERIFY(fresh.Load());
        QCOMPARE(fresh.Count(), size_t(0));
        QVERIFY(test::FileExists(dir.file("vorda_history.log")));
    }

    void renderFollowsTheViewSettings()
    {
        test::TempDataDir dir;
        HistoryLog log(dir.file("vorda_history.log"), Stepping(kMonday));
        log.AppendEntry(false, "A");
        log.AppendEntry(true, "V");
        log.AppendEntry(false, "B");
        QCOMPARE(log.RenderText(View(ReportingState::Standard, LogDirection::Descend, true, false)),
                 std::string("Mon, Dec 07, 2026 - 02:14:41 AM: B\r\nMon, Dec 07, 2026 - 02:14:39 AM: A\r\n"));
        QCOMPARE(log.RenderText(View(ReportingState::Verbose, LogDirection::Ascend, false, true)),
                 std::string("A\r\n\r\nV\r\n\r\nB\r\n\r\n"));
        QCOMPARE(log.RenderText(View(ReportingState::Standard, LogDirection::Ascend, false, false)),
                 std::string("A\r\nB\r\n"));
    }

    void clearLeavesAnEmptyFile()
    {
        test::TempDataDir dir;
        HistoryLog log(dir.file("vorda_history.log"), [] { return kMonday; });
        log.AppendEntry(false, "A");
        log.Clear();
        QCOMPARE(log.Count(), size_t(0));
        QVERIFY(test::FileExists(dir.file("vorda_history.log")));
        QCOMPARE(test::ReadFile(dir.file("vorda_history.log")), std::string());
        QCOMPARE(log.RenderText(Settings {}), std::string());
    }

    // Two processes (the window and vorda-bench, say) append at the same
    // time, each with the log it loaded earlier: every entry of both is kept,
    // each process's in its own order, and what the other wrote before is
    // kept as well.
    void appendsFromTwoProcessesAreAllKept()
    {
        test::TempDataDir dir;
        const std::string path = dir.file("vorda_history.log");
        HistoryLog(path, [] { return kMonday; }).AppendEntry(false, "before");
        constexpr int kEach = 150;
        pid_t children[2];
        for (int c = 0; c < 2; ++c) {
            children[c] = ::fork();
            if (children[c] == 0) {
                HistoryLog log(path, [] { return kMonday; });
                log.Load();
                for (int i = 0; i < kEach; ++i)
                    log.AppendEntry(false, "process " + std::to_string(c) + " entry " + std::to_string(i));
                ::_exit(0);
            }
        }
        for (const pid_t child : children) {
            int status = 0;
            QCOMPARE(::waitpid(child, &status, 0), child);
            QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        HistoryLog merged(path);
        QVERIFY(merged.Load());
        QCOMPARE(merged.Count(), size_t(1 + 2 * kEach));
        QCOMPARE(merged.Entries()[0].message, std::string("before"));
        int next[2] = {0, 0};
        for (size_t i = 1; i < merged.Count(); ++i) {
            const std::string& message = merged.Entries()[i].message;
            const int c = message[8] - '0';
            QCOMPARE(message, "process " + std::to_string(c) + " entry " + std::to_string(next[c]++));
        }
    }

    void messagesStayOnOneLine()
    {
        test::TempDataDir dir;
        HistoryLog log(dir.file("vorda_history.log"), [] { return kMonday; });
        log.AppendEntry(false, "two\r\nlines|bar");
        HistoryLog reread(dir.file("vorda_history.log"));
        QVERIFY(reread.Load());
        QCOMPARE(reread.Count(), size_t(1));
        QCOMPARE(reread.Entries()[0].message, std::string("two  lines/bar"));
    }
};

QTEST_GUILESS_MAIN(TestHistoryLog)
#include "tst_historylog.moc"
