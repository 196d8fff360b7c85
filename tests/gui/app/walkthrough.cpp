// vorda-walkthrough: drives the real main window through the try-it
// walkthrough (create and test a connection, define a schedule and a backup,
// run the backup, view it, restore it in Indirect mode) and through every
// other page, with the program's own test hooks answering its questions, and
// saves a picture of each page, of each kind of message box, of the password
// prompt, the quick start screen and the help window. scripts/screenshots.sh
// runs it in a real X window on a virtual screen.
//
//   vorda-walkthrough --out DIR --host H --port P --database D --user U
//   (the password comes from VORDA_WALKTHROUGH_PASSWORD, so that it stays out
//   of the process list)
//
// Each picture's window is also checked as tst_accessibility checks a page
// (names, hidden widgets, Tab order). Exits non-zero when a step does not end
// as a user would see it end, or a check finds a problem.

#include "AccessibilityCheck.h"
#include "GuiTestSupport.h"
#include "WindowUser.h"

#include "gui/app/QuickStartScreen.h"
#include "gui/app/HelpWindow.h"
#include "gui/restore/ViewerPage.h"
#include "gui/widgets/BackupRunPage.h"
#include "gui/widgets/PasswordPrompt.h"
#include "gui/widgets/RunPanel.h"

#include <QApplication>
#include <QCheckBox>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QRadioButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <map>

namespace {

using test::WindowUser;

// Lets the window lay out and paint what the last step changed.
void Settle(int ms = 60)
{
    QApplication::processEvents();
    QTest::qWait(ms);
    QApplication::processEvents();
}

// Saves pictures of widgets as PNG files, as small as they can be without
// losing a pixel: a picture of at most 256 colours is stored with a palette.
class Camera {
public:
    explicit Camera(const QString& folder) : folder_(folder) {}

    void shoot(QWidget* widget, const QString& name)
    {
        Settle();
        save(widget->grab(), name);
        test::DeleteClosedPages();
        const QStringList problems = a11y::CheckPage(widget);
        if (!problems.isEmpty()) {
            std::fprintf(stderr, "%s: keyboard and screen reader problems:\n%s\n", qPrintable(name),
                         qPrintable(problems.join(QLatin1Char('\n'))));
            failed_ = true;
        }
    }
    void save(const QPixmap& picture, const QString& name)
    {
        QImage image = picture.toImage().convertToFormat(QImage::Format_RGB32);
        QVector<QRgb> palette;
        QSet<QRgb> seen;
        for (int y = 0; y < image.height() && seen.size() <= 256; ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < image.width() && seen.size() <= 256; ++x)
                if (!seen.contains(line[x])) {
                    seen.insert(line[x]);
                    palette.append(line[x]);
                }
        }
        if (seen.size() <= 256)
            image = image.convertToFormat(QImage::Format_Indexed8, palette, Qt::ThresholdDither | Qt::AvoidDither);
        const QString path = QDir(folder_).filePath(name + QStringLiteral(".png"));
        if (!image.save(path, "PNG", 0)) {
            std::fprintf(stderr, "could not write %s\n", qPrintable(path));
            failed_ = true;
            return;
        }
        std::printf("%s\n", qPrintable(path));
    }
    bool failed() const { return failed_; }

private:
    QString folder_;
    bool failed_ = false;
};

class Walkthrough {
public:
    Walkthrough(MainWindow& window, Camera& camera, const ConnectionParams& login)
        : window_(window), user_ {window}, camera_(camera), login_(login)
    {
    }

    bool run()
    {
        connection();
        schedule();
        backup();
        lists();
        execute();
        restore();
        view();
        configuration();
        statistics();
        boxes();
        return ok_;
    }

private:
    // Records a step that did not end as it should.
    void expect(bool condition, const char* what)
    {
        if (!condition) {
            std::fprintf(stderr, "walkthrough: %s\n", what);
            ok_ = false;
        }
    }
    std::string lastAsked() const
    {
        return MessageHook::Requests().empty() ? std::string() : MessageHook::Requests().back().text;
    }
    void shoot(const QString& name) { camera_.shoot(&window_, name); }

    void connection()
    {
        shoot(QStringLiteral("first-start"));
        user_.menu(rid::IDC_MENU_CREATE_CONNECTION);
        shoot(QStringLiteral("connection-editor-empty"));
        ConnectionParams wrong = login_;
        wrong.password += "-wrong";
        user_.fillConnection("sample", "The sample shop database", wrong);
        user_.click(rid::IDC_CONN_TEST);
        expect(!MessageHook::Requests().empty() && MessageHook::Requests().back().kind == MessageKind::Error,
               "a wrong password did not fail the connection test");
        user_.type(rid::IDC_CONN_PASSWORD, login_.password);
        user_.click(rid::IDC_CONN_TEST);
        expect(lastAsked() == "Connection Successful.", "the connection test did not succeed");
        shoot(QStringLiteral("connection-editor"));
        WindowUser::answer({0});
        user_.click(rid::IDC_CONN_SAVE);
        expect(window_.State().nameLists.Load(NameList::Connections) == std::vector<std::string> {"sample"},
               "the connection was not saved");
    }

    void schedule()
    {
        user_.menu(rid::IDC_MENU_CREATE_SCHEDULE);
        user_.type(rid::IDC_SCED_NAME, "nightly");
        user_.type(rid::IDC_SCED_DESCRIPTION, "Every night at two");
        user_.control<QRadioButton>(rid::IDC_SCED_DAILY)->click();
        user_.pick(rid::IDC_SCED_DAILY_TIME, QStringLiteral("02:00 AM"));
        user_.click(rid::IDC_SCED_ADD);
        shoot(QStringLiteral("schedule-editor"));
        WindowUser::answer({0});
        user_.click(rid::IDC_SCED_SAVE);
        expect(window_.State().nameLists.Load(NameList::Schedules) == std::vector<std::string> {"nightly"},
               "the schedule was not saved");
    }

    void backup()
    {
        user_.menu(rid::IDC_MENU_CREATE_BACKUP);
        shoot(QStringLiteral("backup-editor-empty"));
        user_.fillBackup("shop", "The whole shop, every night", QStringLiteral("sample"), {}, {"nightly"});
        user_.click(rid::IDC_BKED_TABLES_ALL);
        expect(user_.control<QTreeWidget>(rid::IDC_BKED_TABLES)->topLevelItemCount() > 0,
               "the backup editor found no tables");
        shoot(QStringLiteral("backup-editor"));
        WindowUser::answer({0});
        user_.click(rid::IDC_BKED_SAVE);
        expect(window_.State().nameLists.Load(NameList::Backups) == std::vector<std::string> {"shop"},
               "the backup was not saved");
    }

    // The three list pages, a click on "Edit" with nothing selected, and
    // each editor in its edit mode.
    void lists()
    {
        struct ListPage {
            int menuId;
            const char* listShot;
            const char* name;
            const char* editorShot;
        };
        for (const ListPage& page : {ListPage {rid::IDC_MENU_EDIT_CONNECTIONS, "connection-list", "sample",
                                               "connection-editor-edit"},
                                     ListPage {rid::IDC_MENU_EDIT_BACKUPS, "backup-list", "shop", "backup-editor-edit"},
                                     ListPage {rid::IDC_MENU_EDIT_SCHEDULES, "schedule-list", "nightly",
                                               "schedule-editor-edit"}}) {
            user_.menu(page.menuId);
            if (page.menuId == rid::IDC_MENU_EDIT_CONNECTIONS) {
                user_.click(rid::IDC_DEFLIST_EDIT);
                expect(MessageHook::Requests().back().kind == MessageKind::SelfClosingAlert,
                       "Edit without a selection did not say so");
            }
            user_.select(rid::IDC_DEFLIST_LIST, {QString::fromLatin1(page.name)});
            shoot(QString::fromLatin1(page.listShot));
            QWidget* list = window_.CurrentPage();
            user_.click(rid::IDC_DEFLIST_EDIT);
            test::DeleteClosedPages();
            expect(window_.CurrentPage() != list, "Edit did not open the editor");
            shoot(QString::fromLatin1(page.editorShot));
        }
        // The backup editor in edit mode, connected.
        user_.menu(rid::IDC_MENU_EDIT_BACKUPS);
        user_.select(rid::IDC_DEFLIST_LIST, {QStringLiteral("shop")});
        user_.click(rid::IDC_DEFLIST_EDIT);
        user_.click(rid::IDC_BKED_CONNECT);
        shoot(QStringLiteral("backup-editor-edit-connected"));
    }

    // Takes a picture of the window while the run that `runButton` starts
    // goes on, whenever both bars have moved (at most every 100 ms); the last
    // one taken before the run ends is kept.
    QPixmap shootWhileRunning(int runButton)
    {
        QPixmap latest;
        QElapsedTimer since;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            auto* page = qobject_cast<BackupRunPage*>(window_.CurrentPage());
            if (!page || page->Panel()->Bar(RunBar::Overall)->value() <= 0
                || page->Panel()->Bar(RunBar::CurrentTable)->value() <= 0)
                return;
            if (!latest.isNull() && since.elapsed() < 100)
                return;
            latest = window_.grab();
            since.start();
        });
        timer.start(5);
        user_.click(runButton);
        timer.stop();
        return latest;
    }

    void execute()
    {
        user_.menu(rid::IDC_MENU_EXECUTE);
        user_.select(rid::IDC_EXEC_LIST, {"shop"});
        shoot(QStringLiteral("execute-backup-list"));
        WindowUser::answer({1, 0});
        const QPixmap running = shootWhileRunning(rid::IDC_EXEC_RUN);
        expect(lastAsked() == "Backup Complete\r\n\r\nDo you wish to execute another?", "the backup did not complete");
        expect(!running.isNull(), "no picture of the running backup");
        if (!running.isNull())
            camera_.save(running, QStringLiteral("execute-backup"));
    }

    void restore()
    {
        user_.menu(rid::IDC_MENU_RESTORE);
        user_.select(rid::IDC_REST_LIST, {"shop"});
        shoot(QStringLiteral("database-backups"));
        WindowUser::answer({1, 0});
        const QPixmap running = shootWhileRunning(rid::IDC_REST_RUN);
        expect(lastAsked() == "Restore Complete\r\n\r\nDo you wish to execute another?", "the restore did not complete");
        if (!running.isNull())
            camera_.save(running, QStringLiteral("restore-backup"));
    }

    void view()
    {
        user_.menu(rid::IDC_MENU_RESTORE);
        user_.select(rid::IDC_REST_LIST, {"shop"});
        user_.click(rid::IDC_REST_VIEW);
        auto* viewer = qobject_cast<ViewerPage*>(window_.CurrentPage());
        expect(viewer != nullptr, "View Backup did not open the viewer");
        if (!viewer)
            return;
        // Each load ends with "Load Complete"; ticking "Display Line Numbers"
        // loads the file again.
        auto loaded = [&](int loads) {
            QElapsedTimer waited;
            waited.start();
            auto done = [&] {
                return viewer->LoadsStarted() >= loads && !viewer->LoadTimer()->isActive()
                    && !viewer->LoadingText()->isVisible()
                    && viewer->StatusText()->text() == QStringLiteral("Load Complete");
            };
            while (!done() && waited.elapsed() < 20000)
                QTest::qWait(20);
            return done();
        };
        expect(loaded(1), "the viewer did not load the file");
        auto* lineNumbers = user_.control<QCheckBox>(rid::IDC_VIEW_LINE_NUMBERS);
        if (!lineNumbers->isChecked()) {
            const int loads = viewer->LoadsStarted();
            lineNumbers->click();
            expect(loaded(loads + 1), "the viewer did not load the file again with line numbers");
        }
        shoot(QStringLiteral("backup-viewer"));
        user_.click(rid::IDC_VIEW_CLOSE);
    }

    void configuration()
    {
        user_.menu(rid::IDC_MENU_CONFIGURATION);
        shoot(QStringLiteral("configuration"));
    }

    void statistics()
    {
        user_.menu(rid::IDC_MENU_STATISTICS);
        const QString history = user_.historyView();
        expect(history.contains(QStringLiteral("Backup Successful: shop")), "the history has no backup");
        expect(history.contains(QStringLiteral("Restore Successful: shop")), "the history has no restore");
        shoot(QStringLiteral("main-window"));
    }

    // Each kind of message box with a text the walkthrough was given, the
    // password prompt, the quick start screen and the help window.
    void boxes()
    {
        std::map<MessageKind, std::string> texts;
        for (const auto& request : MessageHook::Requests())
            texts[request.kind] = request.text;
        texts.try_emplace(MessageKind::YesNo, "Backup: shop\n\r\n\rRun this Backup?");
        const std::pair<MessageKind, const char*> kinds[] = {{MessageKind::Error, "message-error"},
                                                             {MessageKind::Alert, "message-alert"},
                                                             {MessageKind::YesNo, "message-question"},
                                                             {MessageKind::SelfClosingAlert, "message-self-closing"}};
        for (const auto& [kind, shot] : kinds) {
            expect(texts.count(kind) != 0, "a kind of message box was never asked for");
            Messages box(kind, Messages::DisplayText(texts[kind]), &window_);
            box.show();
            camera_.shoot(&box, QString::fromLatin1(shot));
        }
        {
            PasswordPrompt prompt(QStringLiteral("sample"), &window_);
            prompt.show();
            camera_.shoot(&prompt, QStringLiteral("password-prompt"));
        }
        {
            QuickStartScreen screen(window_.State(), &window_);
            screen.show();
            camera_.shoot(&screen, QStringLiteral("quick-start"));
        }
        HelpWindow* help = HelpWindow::Get();
        expect(help->Open(QStringLiteral("main-window.html")), "the help window has no page on the main window");
        help->Present();
        camera_.shoot(help, QStringLiteral("help-window"));
        help->close();
    }

    MainWindow& window_;
    WindowUser user_;
    Camera& camera_;
    ConnectionParams login_;
    bool ok_ = true;
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vorda"));
    QApplication::setOrganizationName(QStringLiteral("Tesmo"));
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser options;
    options.addHelpOption();
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("Folder for the pictures."), QStringLiteral("dir"));
    const QCommandLineOption host(QStringLiteral("host"), QStringLiteral("Server address."), QStringLiteral("host"),
                                  QStringLiteral("127.0.0.1"));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Server port."), QStringLiteral("port"));
    const QCommandLineOption database(QStringLiteral("database"), QStringLiteral("Database."), QStringLiteral("name"),
                                      QStringLiteral("vorda_sample"));
    const QCommandLineOption user(QStringLiteral("user"), QStringLiteral("User name."), QStringLiteral("user"),
                                  QStringLiteral("vorda"));
    options.addOptions({out, host, port, database, user});
    options.process(application);
    if (!options.isSet(out) || !options.isSet(port)) {
        std::fprintf(stderr, "vorda-walkthrough: --out and --port are needed\n");
        return 2;
    }
    QDir().mkpath(options.value(out));

    ConnectionParams login;
    login.host = options.value(host).toStdString();
    login.port = options.value(port).toUInt();
    login.database = options.value(database).toStdString();
    login.user = options.value(user).toStdString();
    login.password = qEnvironmentVariable("VORDA_WALKTHROUGH_PASSWORD").toStdString();

    // A first start on a fresh data folder; its quick start screen is shot
    // on its own at the end.
    QTemporaryDir data;
    test::GuiHooks hooks;
    Camera camera(options.value(out));
    bool ok = false;
    {
        MainWindow window(data.path().toStdString());
        window.show();
        if (!QTest::qWaitForWindowExposed(&window)) {
            std::fprintf(stderr, "vorda-walkthrough: the window was never shown\n");
            return 1;
        }
        Walkthrough walkthrough(window, camera, login);
        ok = walkthrough.run();
        window.ExitVorda();
    }
    HelpWindow::Destroy();
    return ok && !camera.failed() ? 0 : 1;
}
