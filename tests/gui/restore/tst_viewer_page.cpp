#include "gui/app/GuiTestSupport.h"
#include "core/dump/DumpFormat.h"
#include "core/store/StoreKeys.h"
#include "gui/restore/ViewerPage.h"
#include "gui/restore/BackupsPage.h"
#include "gui/widgets/LabeledValue.h"
#include "gui/widgets/ReportList.h"
#include "resources/ResourceIds.h"

#include <QAccessible>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include <filesystem>
#include <functional>
#include <utility>
#include <fstream>

namespace {

// A line "<name>: <n> kB" of /proc/self/status.
long StatusKb(const char* name)
{
    std::ifstream in("/proc/self/status");
    std::string key;
    while (in >> key) {
        long value = -1;
        if (key == std::string(name) + ":" && in >> value)
            return value;
        in.ignore(1 << 16, '\n');
    }
    return -1;
}

// A backup file of `rows` row statements of about 100 bytes each.
void WriteDump(const std::string& path, long long rows)
{
    std::ofstream out(path, std::ios::binary);
    out << "-- Vorda Quendal Suite - MySQL Backup File - Manual\r\n";
    for (long long i = 0; i < rows; ++i)
        out << "INSERT INTO `t` VALUES ('" << i << "', 'a row of a table, long enough to look like data', '12.50')\r\n";
}

struct Viewer {
    test::GuiHooks hooks;
    test::TempDataDir dir;
    std::unique_ptr<MainWindow> window;

    explicit Viewer(long long rows)
    {
        test::PrepareEarlierRun(dir, [](AppState& state) { state.nameLists.Add(NameList::Backups, "b"); });
        WriteDump(BackupFilePath(dir.path(), "b"), rows);
        window = test::OpenWindow(dir);
        window->show();
    }
    // Opens the viewer as the Database Backups page does.
    ViewerPage* open()
    {
        window->ForcePage(rid::PAGE_RESTORE);
        auto* backups = qobject_cast<BackupsPage*>(window->CurrentPage());
        backups->List()->setCurrentItem(backups->List()->topLevelItem(0));
        backups->ViewButton()->click();
        return qobject_cast<ViewerPage*>(window->CurrentPage());
    }
    static bool Loaded(ViewerPage* viewer)
    {
        return viewer->StatusText()->text() == QStringLiteral("Load Complete") && !viewer->LoadTimer()->isActive();
    }
};

} // namespace

// The backup viewer page.
class TestViewerPage : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    // Name, size, the loading text while it loads, "Load Complete"; the
    // line-number box is stored at once and reloads; "Close".
    void loadsShowsAndReloadsWithLineNumbers()
    {
        Viewer f(3);
        ViewerPage* viewer = f.open();
        QVERIFY(viewer);
        QVERIFY(!viewer->LineNumbersBox()->isChecked());
        QCOMPARE(viewer->LoadTimer()->interval(), 100);
        QTRY_VERIFY(Viewer::Loaded(viewer));
        QVERIFY(!viewer->LoadingText()->isVisible());
        QVERIFY(!f.window->State().viewerActive);
        const std::string file = test::ReadFile(BackupFilePath(f.dir.path(), "b"));
        QCOMPARE(viewer->SizeText()->text(), QString::number(file.size()));
        QCOMPARE(viewer->findChild<ValueLabel*>(ControlName(rid::IDC_VIEW_NAME))->text(), QStringLiteral("b"));
        QCOMPARE(viewer->TextBox()->toPlainText(), QString::fromStdString(file).replace("\r\n", "\n").chopped(1));

        viewer->LineNumbersBox()->click();
        QCOMPARE(f.window->State().store.GetValue(keys::kConfigurationTable, keys::kLineNumbers), std::string("TRUE"));
        QVERIFY(f.window->State().settings().lineNumbers);
        QTRY_VERIFY(Viewer::Loaded(viewer) && viewer->LoadsStarted() == 2);
        QCOMPARE(viewer->TextBox()->document()->firstBlock().text(),
                 QStringLiteral("000000: -- Vorda Quendal Suite - MySQL Backup File - Manual"));
        QCOMPARE(viewer->TextBox()->document()->blockCount(), 4);

        viewer->findChild<QPushButton*>(ControlName(rid::IDC_VIEW_CLOSE))->click();
        QCOMPARE(f.window->State().currentPageId, rid::PAGE_RESTORE);
        // Opened again, it starts with the stored choice.
        viewer = f.open();
        QVERIFY(viewer->LineNumbersBox()->isChecked());
    }

    // The box acts alike whether it is clicked, pressed with the space bar
    // or toggled through the action screen readers and keyboard tools use:
    // the choice is stored and the file shows again with or without numbers.
    void lineNumbersFollowTheBoxHoweverItIsSwitched()
    {
        Viewer f(3);
        ViewerPage* viewer = f.open();
        QTRY_VERIFY(Viewer::Loaded(viewer));
        const std::pair<const char*, std::function<void(QCheckBox*)>> ways[] = {
            {"click", [](QCheckBox* box) { box->click(); }},
            {"space bar", [](QCheckBox* box) { QTest::keyClick(box, Qt::Key_Space); }},
            {"toggle action", [](QCheckBox* box) {
                 QAccessibleActionInterface* actions = QAccessible::queryAccessibleInterface(box)->actionInterface();
                 QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::toggleAction()));
                 actions->doAction(QAccessibleActionInterface::toggleAction());
             }},
        };
        bool on = false;
        int loads = 1;
        for (const auto& [how, flip] : ways) {
            for (int turn = 0; turn < 2; ++turn) {
                flip(viewer->LineNumbersBox());
                on = !on;
                QCOMPARE(viewer->LineNumbersBox()->isChecked(), on);
                QVERIFY2(f.window->State().store.GetValue(keys::kConfigurationTable, keys::kLineNumbers)
                             == (on ? "TRUE" : "FALSE"),
                         how);
                ++loads;
                QTRY_VERIFY2_WITH_TIMEOUT(Viewer::Loaded(viewer) && viewer->LoadsStarted() == loads,
                                          qPrintable(QStringLiteral("%1: %2 loads").arg(how).arg(viewer->LoadsStarted())),
                                          20000);
                QVERIFY2(viewer->TextBox()->document()->firstBlock().text().startsWith(QStringLiteral("000000: ")) == on,
                         how);
            }
        }
    }

    // Switching line numbers during a load abandons it and shows the file
    // once, in the new form; leaving the page during a load stops it.
    void aLoadStopsForATogglesAndForLeaving()
    {
        Viewer f(200000);
        ViewerPage* viewer = f.open();
        bool toggled = false;
        bool loadingShown = false;
        QTimer toggle;
        QObject::connect(&toggle, &QTimer::timeout, [&] {
            loadingShown |= viewer->LoadingText()->isVisible()
                && viewer->LoadingText()->text() == QStringLiteral("Loading File - Please Wait");
            if (!toggled && viewer->ProgressBar()->value() > 2) {
                toggled = true;
                viewer->LineNumbersBox()->click();
            }
        });
        toggle.start(0);
        QTRY_VERIFY_WITH_TIMEOUT(toggled && Viewer::Loaded(viewer), 20000);
        toggle.stop();
        QCOMPARE(viewer->LoadsStarted(), 2);
        QVERIFY(loadingShown);
        QVERIFY(!viewer->LoadingText()->isVisible());
        QCOMPARE(viewer->TextBox()->document()->blockCount(), 200001);
        QVERIFY(viewer->TextBox()->document()->firstBlock().text().startsWith(QStringLiteral("000000: ")));
        QVERIFY(viewer->TextBox()->document()->lastBlock().text().startsWith(QStringLiteral("200000: INSERT")));

        viewer = f.open();
        QPointer<ViewerPage> leaving = viewer;
        bool left = false;
        QTimer leave;
        QObject::connect(&leave, &QTimer::timeout, [&] {
            if (!left && leaving && leaving->ProgressBar()->value() > 2) {
                left = true;
                f.window->ShowPage(rid::PAGE_STATISTICS);
            }
        });
        leave.start(0);
        QTRY_VERIFY(left);
        QTRY_VERIFY(!leaving);
        QVERIFY(!f.window->State().viewerActive);
    }

    // The file can go between the check and the load.
    void aFileGoneMeanwhileIsNotFound()
    {
        Viewer f(1);
        ViewerPage* viewer = f.open();
        QVERIFY(std::remove(BackupFilePath(f.dir.path(), "b").c_str()) == 0);
        QTRY_VERIFY(viewer->LastResult() == ViewerLoadResult::NotOpened);
        QCOMPARE(test::AskedTexts(), std::vector<std::string> {"Input File Not Found"});
        QCOMPARE(MessageHook::Requests()[0].kind, MessageKind::Error);
    }

    // A 200 MB file: the first 64 MB on screen, then the line that says how
    // much is not; memory stays bounded by the 64 MB, and the page answers
    // scrolling and closing at once.
    void aLargeFileStaysUsable()
    {
        const long long rows = 2 * 1000 * 1000; // 100 bytes each: about 200 MB
        Viewer f(rows);
        const long long size = static_cast<long long>(std::filesystem::file_size(BackupFilePath(f.dir.path(), "b")));
        QVERIFY(size > 190LL * 1000 * 1000);
        const long before = StatusKb("VmRSS");
        ViewerPage* viewer = f.open();
        QElapsedTimer clock;
        clock.start();
        QTRY_VERIFY_WITH_TIMEOUT(Viewer::Loaded(viewer), 60000);
        const qint64 loadMs = clock.elapsed();
        const long grown = StatusKb("VmHWM") - before;
        QTextDocument* document = viewer->TextBox()->document();
        const QString last = document->lastBlock().text();
        QVERIFY2(last.startsWith(QStringLiteral("*** Only the first 64 MB (67108864 bytes) of this file are shown; the "
                                                "remaining ")),
                 qPrintable(last));
        QVERIFY(last.endsWith(QStringLiteral(" bytes are not shown. ***")));
        // Whole lines (CR LF ends in the file) up to the cap; the note counts
        // the bytes after them.
        long long shown = 0;
        for (QTextBlock block = document->firstBlock(); block != document->lastBlock(); block = block.next())
            shown += block.text().size() + 2;
        QVERIFY(shown <= kViewerShownBytes && shown > kViewerShownBytes - 200);
        QVERIFY(last.contains(QStringLiteral("remaining %1 bytes").arg(size - shown)));
        QCOMPARE(viewer->SizeText()->text(), QString::number(size));

        clock.restart();
        QScrollBar* bar = viewer->TextBox()->verticalScrollBar();
        bar->setValue(bar->maximum());
        viewer->TextBox()->viewport()->repaint();
        bar->setValue(bar->maximum() / 3);
        viewer->TextBox()->viewport()->repaint();
        const qint64 scrollMs = clock.restart();
        f.window->ShowPage(rid::PAGE_RESTORE);
        test::DeleteClosedPages();
        const qint64 closeMs = clock.elapsed();
        qInfo("200 MB file: loaded in %lld ms, memory grew by %ld MB, scrolling %lld ms, closing %lld ms",
              static_cast<long long>(loadMs), grown / 1024, static_cast<long long>(scrollMs),
              static_cast<long long>(closeMs));
        // All of it would need more than three times as much.
        QVERIFY2(grown < 600 * 1024, qPrintable(QString::number(grown)));
        QVERIFY2(scrollMs < 500, qPrintable(QString::number(scrollMs)));
        QVERIFY2(closeMs < 1000, qPrintable(QString::number(closeMs)));
    }
};

QTEST_MAIN(TestViewerPage)
#include "tst_viewer_page.moc"
