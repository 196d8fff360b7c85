// vorda-atspi-subject: the real main window for check-atspi.py, which reads
// it from outside through the desktop's accessibility bus as a screen reader
// does. Runs on a data folder of its own with one connection ("shop") and
// one backup ("nightly") whose file has about `--kb` kilobytes, and takes one
// command a line on its standard input; it answers each with one line on its
// standard output once the window shows the result:
//
//   statistics       the statistics page          -> "ok statistics"
//   panel            the Execute page with its run panel's values set
//                                                 -> "ok panel"
//   status TEXT      the run panel's "Run Status:" shows TEXT
//                                                 -> "ok status"
//   help             the help window on its contents page
//                                                 -> "ok help"
//   viewer           the viewer with nightly's file loaded
//                                                 -> "ok viewer <milliseconds the load took>"
//   state            once the viewer has loaded again after a switch of its
//                    box: "ok state <stored line-number setting> <first line shown>"
//   quit             ends                         -> "ok quit"
//
// Message boxes are answered by the test hooks, so nothing waits for a click.

#include "GuiTestSupport.h"

#include "core/dump/DumpFormat.h"
#include "core/engine/EngineTestSupport.h"
#include "core/store/StoreKeys.h"
#include "gui/app/Help.h"
#include "gui/app/HelpWindow.h"
#include "gui/restore/ViewerPage.h"
#include "gui/statistics/StatisticsPage.h"
#include "gui/widgets/BackupRunPage.h"
#include "gui/widgets/LabeledValue.h"
#include "gui/widgets/RunPanel.h"
#include "resources/ResourceIds.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QSocketNotifier>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>

namespace {

void Answer(const QString& line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// Calls `then` once `done` holds (looked at every 10 ms), or with false
// after 60 s.
void WhenTrue(std::function<bool()> done, std::function<void(bool)> then)
{
    auto* poll = new QTimer;
    auto* waited = new QElapsedTimer;
    waited->start();
    QObject::connect(poll, &QTimer::timeout, [=] {
        const bool ok = done();
        if (!ok && waited->elapsed() < 60000)
            return;
        poll->stop();
        poll->deleteLater();
        delete waited;
        then(ok);
    });
    poll->start(10);
}

bool Loaded(MainWindow& window)
{
    auto* viewer = qobject_cast<ViewerPage*>(window.CurrentPage());
    return viewer && viewer->StatusText()->text() == QStringLiteral("Load Complete") && !viewer->LoadTimer()->isActive()
        && !window.State().viewerActive;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vorda-atspi-subject"));
    QApplication::setQuitOnLastWindowClosed(false);
    QCommandLineParser options;
    const QCommandLineOption kb(QStringLiteral("kb"), QStringLiteral("Size of the backup file."), QStringLiteral("kb"),
                                QStringLiteral("459"));
    options.addOption(kb);
    options.process(application);

    test::GuiHooks hooks;
    test::TempDataDir dir;
    test::PrepareEarlierRun(dir, [](AppState& state) {
        ConnectionParams nowhere;
        nowhere.host = "127.0.0.1";
        nowhere.database = "shop";
        nowhere.user = "clerk";
        test::DefineConnection(state, "shop", nowhere, "3306");
        test::DefineBackup(state, "nightly", "shop", "orders");
    });
    {
        std::ofstream out(BackupFilePath(dir.path(), "nightly"), std::ios::binary);
        out << "-- Vorda Quendal Suite - MySQL Backup File - Manual\r\n";
        const long long bytes = options.value(kb).toLongLong() * 1024;
        for (long long i = 0, written = 0; written < bytes; ++i) {
            const std::string line
                = "INSERT INTO `orders` VALUES ('" + std::to_string(i) + "', 'an order line of the shop', '12.50')\r\n";
            out << line;
            written += static_cast<long long>(line.size());
        }
    }

    MainWindow window(dir.path());
    window.show();
    int loadsSeen = 0;

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    std::string pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            QApplication::quit();
            return;
        }
        pending.append(buffer, static_cast<size_t>(got));
        for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
            const QString command = QString::fromStdString(pending.substr(0, end)).trimmed();
            pending.erase(0, end + 1);
            if (command == QLatin1String("statistics")) {
                window.ForcePage(rid::PAGE_STATISTICS);
                qobject_cast<StatisticsPage*>(window.CurrentPage())->ClockTick();
                Answer(QStringLiteral("ok statistics"));
            } else if (command == QLatin1String("panel")) {
                window.ForcePage(rid::PAGE_EXECUTE);
                RunPanel* panel = qobject_cast<BackupRunPage*>(window.CurrentPage())->Panel();
                panel->RunStarted();
                panel->SetText(RunField::SiteBackup, "nightly");
                panel->SetText(RunField::RunStatus, "Backing up orders");
                panel->SetText(RunField::TableMembers, "1");
                Answer(QStringLiteral("ok panel"));
            } else if (command.startsWith(QLatin1String("status "))) {
                if (auto* page = qobject_cast<BackupRunPage*>(window.CurrentPage()))
                    page->Panel()->SetText(RunField::RunStatus, command.mid(7).toStdString());
                Answer(QStringLiteral("ok status"));
            } else if (command == QLatin1String("help")) {
                HelpWindow* help = HelpWindow::Get();
                help->Open(QString::fromLatin1(help::kContents));
                help->Present();
                Answer(QStringLiteral("ok help"));
            } else if (command == QLatin1String("viewer")) {
                window.State().selectedName = "nightly";
                window.State().selectedFile.clear();
                auto* clock = new QElapsedTimer;
                clock->start();
                window.ForcePage(rid::PAGE_VIEWER);
                loadsSeen = 1;
                WhenTrue([&window] { return Loaded(window); }, [clock](bool ok) {
                    Answer(ok ? QStringLiteral("ok viewer %1").arg(clock->elapsed()) : QStringLiteral("failed viewer"));
                    delete clock;
                });
            } else if (command == QLatin1String("state")) {
                WhenTrue(
                    [&window, &loadsSeen] {
                        auto* viewer = qobject_cast<ViewerPage*>(window.CurrentPage());
                        return viewer && viewer->LoadsStarted() > loadsSeen && Loaded(window);
                    },
                    [&window, &loadsSeen](bool ok) {
                        auto* viewer = qobject_cast<ViewerPage*>(window.CurrentPage());
                        if (!ok || !viewer) {
                            Answer(QStringLiteral("failed state"));
                            return;
                        }
                        loadsSeen = viewer->LoadsStarted();
                        const std::string stored
                            = window.State().store.GetValue(keys::kConfigurationTable, keys::kLineNumbers);
                        Answer(QStringLiteral("ok state %1 %2")
                                   .arg(QString::fromStdString(stored),
                                        viewer->TextBox()->document()->firstBlock().text()));
                    });
            } else if (command == QLatin1String("quit")) {
                Answer(QStringLiteral("ok quit"));
                QApplication::quit();
            } else {
                Answer(QStringLiteral("unknown ") + command);
            }
        }
    });
    Answer(QStringLiteral("ok started"));
    return application.exec();
}
