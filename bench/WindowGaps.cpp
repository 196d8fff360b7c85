// vorda-window-gaps [--rows N] [--shots DIR]
// Runs the three long operations of the pages in a real (offscreen) window,
// as a user starts them, against the server described in VORDA_TEST_DB_*:
// a backup of a table of N rows (default 1,000,000) from the Execute page,
// the Indirect restore of its file from the Database Backups page, and the
// viewer's load of the file. A 10 ms timer ticks meanwhile; for each
// operation the program prints its time and the longest gap between two
// ticks, which is how long the window could not answer. The message boxes
// are the real ones, answered by a timer. --shots saves pictures of each
// page during and after its run (of the whole screen when it runs on one,
// for example under xvfb-run).
#include "core/dump/DumpFormat.h"
#include "core/engine/MysqlClient.h"
#include "core/state/AppState.h"
#include "core/store/Definitions.h"
#include "gui/app/QuickStartScreen.h"
#include "gui/app/MainWindow.h"
#include "gui/app/Messages.h"
#include "gui/backup/ExecutePage.h"
#include "gui/restore/ViewerPage.h"
#include "gui/restore/BackupsPage.h"
#include "gui/widgets/ReportList.h"
#include "resources/ResourceIds.h"

#include <QAbstractButton>
#include <QApplication>
#include <QAbstractScrollArea>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <unistd.h>

namespace {

std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Ticks every 10 ms and keeps the longest time between two ticks while it
// measures (the start and the end count as ticks).
class GapMeter {
public:
    GapMeter()
    {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
    }
    void Start()
    {
        longest_ = 0;
        ticks_ = 0;
        clock_.start();
        last_ = 0;
        timer_.start();
    }
    void Stop()
    {
        Tick();
        timer_.stop();
    }
    double Seconds() const { return clock_.elapsed() / 1000.0; }
    qint64 Longest() const { return longest_; }
    long Ticks() const { return ticks_; }
    // Called at every tick with the time since Start, in ms.
    std::function<void(qint64)> onTick;

private:
    void Tick()
    {
        const qint64 now = clock_.elapsed();
        longest_ = std::max(longest_, now - last_);
        last_ = now;
        ++ticks_;
        if (onTick)
            onTick(now);
    }
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
    long ticks_ = 0;
};

QString g_shots;

void Shot(QWidget* widget, const QString& name)
{
    if (g_shots.isEmpty())
        return;
    // Layouts settle through posted events.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    const QString file = g_shots + QLatin1Char('/') + name + QStringLiteral(".png");
    // On a real screen (an X server, xvfb-run) the screen as it is, with
    // the window manager's frames and the boxes on top; offscreen the widget.
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        widget->grab().save(file);
        return;
    }
    // The X server draws what it was sent a moment later.
    QEventLoop settle;
    QTimer::singleShot(300, &settle, &QEventLoop::quit);
    settle.exec();
    widget->screen()->grabWindow(0).save(file);
}

// Answers each message box as it comes up: a picture of the window under it
// (and of the box), then Yes to the start questions and No to the final ones.
class BoxAnswerer {
public:
    explicit BoxAnswerer(QWidget* window)
    {
        QObject::connect(&timer_, &QTimer::timeout, [this, window] {
            auto* box = qobject_cast<Messages*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            // For a picture the box must be on the screen first.
            if (!g_shots.isEmpty() && box != seen_) {
                seen_ = box;
                shown_.start();
            }
            if (!g_shots.isEmpty() && shown_.elapsed() < 300)
                return;
            const QString text = box->findChild<QLabel*>(ControlName(rid::IDC_MESSAGE_TEXT))->text();
            const bool start = text.contains(QStringLiteral("Run this"));
            if (!start) {
                ++finals_;
                Shot(window, QStringLiteral("after-run-%1").arg(finals_));
                Shot(box, QStringLiteral("box-%1").arg(finals_));
            }
            std::fprintf(stderr, "box: %s\n", qPrintable(QString(text).replace(QLatin1Char('\n'), QLatin1Char(' '))));
            const int id = box->Kind() == MessageKind::YesNo ? (start ? rid::IDC_MESSAGE_YES : rid::IDC_MESSAGE_NO)
                                                              : rid::IDC_MESSAGE_CONTINUE;
            if (auto* button = box->findChild<QAbstractButton*>(ControlName(id)))
                button->click();
        });
        timer_.start(20);
    }

private:
    QTimer timer_;
    QPointer<Messages> seen_;
    QElapsedTimer shown_;
    int finals_ = 0;
};

void Print(const char* what, const GapMeter& meter)
{
    std::printf("%-8s seconds=%.2f longest_gap_ms=%lld ticks=%ld\n", what, meter.Seconds(),
                static_cast<long long>(meter.Longest()), meter.Ticks());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    long long rows = 1000000;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--rows" && i + 1 < argc)
            rows = std::atoll(argv[++i]);
        else if (arg == "--shots" && i + 1 < argc)
            g_shots = QString::fromLocal8Bit(argv[++i]);
        else {
            std::fprintf(stderr, "usage: vorda-window-gaps [--rows N] [--shots DIR]\n");
            return 2;
        }
    }
    if (!g_shots.isEmpty())
        QDir().mkpath(g_shots);
    if (Env("VORDA_TEST_DB_PORT").empty()) {
        std::fprintf(stderr, "vorda-window-gaps: no server (run it through scripts/with-test-server.sh)\n");
        return 2;
    }
    ConnectionParams server;
    server.host = Env("VORDA_TEST_DB_HOST");
    server.port = static_cast<unsigned>(std::atoi(Env("VORDA_TEST_DB_PORT").c_str()));
    server.user = Env("VORDA_TEST_DB_USER");
    server.password = Env("VORDA_TEST_DB_PASSWORD");
    const std::string database = "vorda_gaps_" + std::to_string(::getpid());

    MysqlConnection admin;
    if (!admin.Connect(server)
        || !admin.Query("CREATE DATABASE `" + database + "`") || !admin.Query("USE `" + database + "`")
        || !admin.Query("CREATE TABLE `" + database
                        + "`.bench (id int NOT NULL PRIMARY KEY, name varchar(40) NOT NULL, amount decimal(8,2) NOT "
                          "NULL, note text NOT NULL)")
        || !admin.Query("INSERT INTO `" + database + "`.bench SELECT seq, CONCAT('customer ', seq), seq % 100000 / "
                        "100, REPEAT('x', 100) FROM seq_1_to_" + std::to_string(rows))) {
        std::fprintf(stderr, "vorda-window-gaps: preparing the table failed: %s\n", admin.ErrorText().c_str());
        return 1;
    }

    QTemporaryDir data;
    QuickStartHook::Enable();
    int status = 0;
    {
        MainWindow window(data.path().toStdString() + "/");
        window.show();
        AppState& state = window.State();
        ConnectionDef connection;
        connection.name = "bench";
        connection.host = server.host;
        connection.port = std::to_string(server.port);
        connection.database = database;
        connection.user = server.user;
        connection.password = server.password;
        connection.savePassword = true;
        StoreStatus stored = connection.Save(state.store);
        stored.Also(state.nameLists.Add(NameList::Connections, "bench"));
        BackupDef backup;
        backup.name = "bench";
        backup.description = std::to_string(rows) + " rows";
        backup.connection = "bench";
        backup.tables = {"bench"};
        stored.Also(backup.Save(state.store));
        stored.Also(BackupDef::StoreNeverProcessed(state.store, "bench"));
        stored.Also(state.nameLists.Add(NameList::Backups, "bench"));
        if (!stored) {
            std::fprintf(stderr, "the settings file could not be written: %s\n", stored.error.c_str());
            return 1;
        }
        state.statisticsOnMenuCreate = false;
        window.ReloadMenu();
        BoxAnswerer answerer(&window);
        GapMeter meter;

        // The backup, from the Execute page.
        window.ShowPage(rid::PAGE_EXECUTE);
        auto* execute = qobject_cast<ExecutePage*>(window.CurrentPage());
        execute->List()->setCurrentItem(execute->List()->topLevelItem(0));
        Shot(&window, QStringLiteral("execute-before"));
        if (!g_shots.isEmpty()) {
            window.ShowPage(rid::PAGE_CONFIGURATION);
            Shot(&window, QStringLiteral("configuration"));
            if (auto* area = window.CurrentPage()->findChild<QAbstractScrollArea*>()) {
                area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
                Shot(&window, QStringLiteral("configuration-end"));
            }
            window.ShowPage(rid::PAGE_EXECUTE);
            execute = qobject_cast<ExecutePage*>(window.CurrentPage());
            execute->List()->setCurrentItem(execute->List()->topLevelItem(0));
        }
        // Runs `run` under the meter; a picture once it has run for 300 ms.
        const auto measure = [&](const char* what, const bool& running, const QString& shotName,
                                 const std::function<void()>& run) {
            bool shot = false;
            meter.onTick = [&](qint64 ms) {
                if (!shot && ms > 300 && running) {
                    shot = true;
                    Shot(&window, shotName);
                }
            };
            meter.Start();
            run();
            meter.Stop();
            Print(what, meter);
        };
        measure("backup", state.backupRunning, QStringLiteral("execute-during"), [execute] { execute->OnExecute(); });
        if (BackupDef::Load(state.store, "bench").lastBackup == BackupDef::kNeverProcessed)
            status = 1;

        // The restore, from the Database Backups page (Indirect, the default).
        window.ShowPage(rid::PAGE_RESTORE);
        auto* restore = qobject_cast<BackupsPage*>(window.CurrentPage());
        restore->List()->setCurrentItem(restore->List()->topLevelItem(0));
        Shot(&window, QStringLiteral("restore-before"));
        measure("restore", state.restoreRunning, QStringLiteral("restore-during"), [restore] { restore->OnRestore(); });
        const std::string copied = [&] {
            admin.Query("SELECT COUNT(*) FROM `" + database + "`.VORDA_bench");
            MysqlResult result = admin.StoreResult();
            MYSQL_ROW row = result.FetchRow();
            return std::string(row && row[0] ? row[0] : "");
        }();
        if (copied != std::to_string(rows)) {
            std::fprintf(stderr, "restore: %s rows in VORDA_bench\n", copied.c_str());
            status = 1;
        }

        // The viewer's load of the file.
        window.ShowPage(rid::PAGE_RESTORE);
        restore = qobject_cast<BackupsPage*>(window.CurrentPage());
        restore->List()->setCurrentItem(restore->List()->topLevelItem(0));
        restore->OnView();
        auto* viewer = qobject_cast<ViewerPage*>(window.CurrentPage());
        measure("viewer", state.viewerActive, QStringLiteral("viewer-during"), [viewer] {
            QEventLoop loaded;
            QTimer done;
            QObject::connect(&done, &QTimer::timeout, [&] {
                if (viewer->StatusText()->text() == QStringLiteral("Load Complete") && !viewer->LoadTimer()->isActive())
                    loaded.quit();
            });
            done.start(10);
            loaded.exec();
        });
        Shot(&window, QStringLiteral("viewer-after"));
        // Scrolling to the end and back, and closing, as the user would.
        QElapsedTimer answer;
        answer.start();
        QScrollBar* bar = viewer->TextBox()->verticalScrollBar();
        bar->setValue(bar->maximum());
        viewer->TextBox()->repaint();
        bar->setValue(bar->maximum() / 2);
        viewer->TextBox()->repaint();
        const qint64 scrolled = answer.restart();
        const int lines = bar->maximum();
        Shot(&window, QStringLiteral("viewer-scrolled"));
        answer.restart();
        window.ShowPage(rid::PAGE_RESTORE);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const qint64 closed = answer.elapsed();
        std::printf("viewer   scroll_ms=%lld close_ms=%lld lines=%d\n", static_cast<long long>(scrolled),
                    static_cast<long long>(closed), lines);
    }
    admin.Query("DROP DATABASE `" + database + "`");
    return status;
}
