#include "gui/app/GuiTestSupport.h"
#include "core/state/Autostart.h"
#include "core/store/StoreKeys.h"
#include "gui/app/MenuPage.h"
#include "gui/app/Help.h"
#include "gui/app/HelpWindow.h"
#include "gui/settings/ConfigurationPage.h"
#include "resources/ResourceIds.h"

#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct ConfigPage {
    test::GuiHooks hooks;
    test::TempDataDir dir;
    QTemporaryDir config;
    std::unique_ptr<MainWindow> window;

    ConfigPage()
    {
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        test::PrepareEarlierRun(dir);
        window = test::OpenWindow(dir);
        window->show();
        window->ShowPage(rid::PAGE_CONFIGURATION);
    }
    ConfigurationPage* page() { return qobject_cast<ConfigurationPage*>(window->CurrentPage()); }
    QAbstractButton* control(int id) { return page()->Control(id); }
    std::string stored(const char* key) { return window->State().store.GetValue(keys::kConfigurationTable, key); }
    void click(int id) { QTest::mouseClick(control(id), Qt::LeftButton, {}, QPoint(8, control(id)->height() / 2)); }
};

} // namespace

// The configuration page: every control stores its setting the moment it is
// clicked; the reset, the quick start screen, the help and the autostart entry.
class TestConfigurationPage : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void everyControlStoresAtOnce_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("stored");
        const auto row = [](const char* name, int id, const char* key, const char* text, const char* stored) {
            QTest::newRow(name) << id << QString::fromLatin1(key) << QString::fromLatin1(text) << QString::fromLatin1(stored);
        };
        // From the defaults of a first start; a radio button already selected
        // stores its value again.
        row("start minimised", rid::IDC_CONF_START_MIN, keys::kStartMin,
            "Start Vorda Minimized - Vorda will start in it's minimized system tray state", "TRUE");
        row("minimise on close", rid::IDC_CONF_MIN_CLOSE, keys::kMinClose,
            "Vorda Minimizes instead of Exiting on Close - Assures Scheduled Backups Execute", "FALSE");
        row("quick start", rid::IDC_CONF_FIRST_ENTRY, keys::kFirstEntry, "Show Quick Start Screen on Backup System Startup",
            "FALSE");
        row("catch up", rid::IDC_CONF_CATCH_UP, keys::kCatchUp, "Run scheduled backups missed while Vorda was not running",
            "FALSE");
        row("standard", rid::IDC_CONF_STANDARD, keys::kReportingState, "Standard - Displays basic information",
            "CONF_HIST_REP_STANDARD");
        row("verbose", rid::IDC_CONF_VERBOSE, keys::kReportingState, "Verbose - Displays all information",
            "CONF_HIST_REP_VERBOSE");
        row("timestamp", rid::IDC_CONF_TIMESTAMP, keys::kShowTimestamp, "Timestamp - Log displays Date and Time", "FALSE");
        row("ascending", rid::IDC_CONF_ASCENDING, keys::kAscDesc, "Ascending - Displays in forward chronological order",
            "CONF_HIST_REP_ASCEND");
        row("descending", rid::IDC_CONF_DESCENDING, keys::kAscDesc,
            "Descending - Displays in reverse chronological order", "CONF_HIST_REP_DESCEND");
        row("double space", rid::IDC_CONF_DOUBLE_SPACE, keys::kDoubleSpace,
            "Double Space - adds an additional space between lines", "TRUE");
        row("clear log", rid::IDC_CONF_CLEAR_LOG, keys::kLogAtStart,
            "Clear Log on Startup - System will start a new log every time you run the software", "TRUE");
        row("menu image", rid::IDC_CONF_SHOW_IMAGE, keys::kShowImage,
            "Display Menu Image - Unchecking will remove the image in the menu area", "FALSE");
        row("colours", rid::IDC_CONF_COLOURS, keys::kRestoreColor,
            "Backup List and Restore List have different colored text to help tell them apart", "FALSE");
        row("absolute", rid::IDC_CONF_ABSOLUTE, keys::kRestoreMode,
            "Absolute Restore - restore will overwrite existing tables directly - *Note: all current table data will "
            "be lost",
            "CONF_RESTORE_ABSOLUTE");
        row("safe copies", rid::IDC_CONF_SAFE_COPY, keys::kSafeCopy,
            "Create safe copies of your tables  prior to overwrite - copies will not be deleted. Prefix: SAFE_COPY_",
            "FALSE");
        row("indirect", rid::IDC_CONF_INDIRECT, keys::kRestoreMode,
            "Indirect Restore - new tables will be created - old tables will not be altered - Prefix: VORDA_ ",
            "CONF_RESTORE_INDIRECT");
        row("notify", rid::IDC_CONF_NOTIFY_FAILURE, keys::kNotifyFailure, "Notify me when a scheduled backup fails",
            "FALSE");
        row("compress", rid::IDC_CONF_COMPRESS, keys::kCompress, "Compress backup files", "TRUE");
    }

    void everyControlStoresAtOnce()
    {
        QFETCH(int, id);
        QFETCH(QString, key);
        QFETCH(QString, text);
        QFETCH(QString, stored);
        ConfigPage f;
        const std::string k = key.toStdString();
        if (id == rid::IDC_CONF_SAFE_COPY)
            f.click(rid::IDC_CONF_ABSOLUTE); // the box is greyed with Indirect
        // The text as given (screen readers get it on one line).
        QCOMPARE(f.control(id)->accessibleName(), text);
        // On screen a long text may take two lines.
        QCOMPARE(f.control(id)->text().replace(QLatin1Char('\n'), QLatin1Char(' ')), text);
        f.window->State().store.SetValue(keys::kConfigurationTable, k, "");
        f.click(id);
        QCOMPARE(QString::fromStdString(f.stored(k.c_str())), stored);
        // A fresh page, which reads the store, shows the new state.
        f.window->ForcePage(rid::PAGE_CONFIGURATION);
        QCOMPARE(f.control(id)->isChecked(), stored != QStringLiteral("FALSE"));
    }

    // "Indirect Restore" greys the safe-copies box keeping its tick;
    // "Absolute Restore" enables it again; the menu picture goes and comes
    // at once while this page stays.
    void safeCopiesFollowTheModeAndThePictureSwitchesAtOnce()
    {
        ConfigPage f;
        QAbstractButton* safe = f.control(rid::IDC_CONF_SAFE_COPY);
        QVERIFY(!safe->isEnabled() && safe->isChecked());
        f.click(rid::IDC_CONF_ABSOLUTE);
        QVERIFY(safe->isEnabled() && safe->isChecked());
        f.click(rid::IDC_CONF_SAFE_COPY);
        f.click(rid::IDC_CONF_INDIRECT);
        QVERIFY(!safe->isEnabled() && !safe->isChecked());
        QCOMPARE(f.stored(keys::kSafeCopy), std::string("FALSE"));

        QPointer<QWidget> page = f.page();
        auto menu = [&f] { return qobject_cast<MenuPage*>(f.window->MenuPageWidget()); };
        QVERIFY(menu()->Picture());
        f.click(rid::IDC_CONF_SHOW_IMAGE);
        QVERIFY(!menu()->Picture());
        QCOMPARE(f.window->CurrentPage(), page.data());
        QCOMPARE(f.window->State().currentPageId, rid::PAGE_CONFIGURATION);
        f.click(rid::IDC_CONF_SHOW_IMAGE);
        QVERIFY(menu()->Picture());
        QVERIFY(f.window->State().statisticsOnMenuCreate);
    }

    // The page shows what is stored and brings the in-memory settings back
    // to it (a start in the tray switched start-minimised off for the run).
    void openingShowsTheStoredSettings()
    {
        ConfigPage f;
        AppState& state = f.window->State();
        state.config.WriteStartMin(true);
        state.settings().startMin = false;
        f.window->ForcePage(rid::PAGE_CONFIGURATION);
        QVERIFY(f.control(rid::IDC_CONF_START_MIN)->isChecked());
        QVERIFY(state.settings().startMin);
        // The quick start box no longer raises the screen later in this run.
        QVERIFY(state.quickStartPending);
        f.click(rid::IDC_CONF_FIRST_ENTRY);
        f.click(rid::IDC_CONF_FIRST_ENTRY);
        QVERIFY(!state.quickStartPending);
        QCOMPARE(f.stored(keys::kFirstEntry), std::string("TRUE"));
    }

    void restoreDefaultSettings_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("Yes") << 1;
        QTest::newRow("No") << 0;
    }

    void restoreDefaultSettings()
    {
        QFETCH(int, answer);
        ConfigPage f;
        AppState& state = f.window->State();
        for (int id : {rid::IDC_CONF_START_MIN, rid::IDC_CONF_VERBOSE, rid::IDC_CONF_ASCENDING, rid::IDC_CONF_DOUBLE_SPACE,
                       rid::IDC_CONF_COLOURS, rid::IDC_CONF_ABSOLUTE, rid::IDC_CONF_NOTIFY_FAILURE, rid::IDC_CONF_COMPRESS})
            f.click(id);
        // "Keep older backup files", labelled, 0 to 30, stores as it changes.
        QSpinBox* copies = f.page()->KeepCopies();
        QCOMPARE(copies->value(), 2);
        QCOMPARE(copies->maximum(), 30);
        QCOMPARE(copies->minimum(), 0);
        QCOMPARE(qobject_cast<QLabel*>(copies->parentWidget()->findChildren<QLabel*>().first())->buddy(), copies);
        copies->setFocus();
        QTest::keyClick(copies, Qt::Key_Up);
        QCOMPARE(f.stored(keys::kKeepCopies), std::string("3"));
        QCOMPARE(state.settings().keepCopies, 3);
        state.config.WriteLineNumbers(true);
        const size_t logged = state.log.Count();
        QPointer<QWidget> before = f.page();
        MessageHook::SetNextAnswer(answer);
        f.page()->findChild<QPushButton*>(ControlName(rid::IDC_CONF_DEFAULTS))->click();
        QCOMPARE(test::AskedTexts(), std::vector<std::string> {
                                         "Are you sure?\r\rYour configuration will be set back to the default settings."});
        QCOMPARE(MessageHook::Requests()[0].kind, MessageKind::YesNo);
        if (answer == 0) {
            QCOMPARE(f.page(), before.data());
            QCOMPARE(state.log.Count(), logged);
            QCOMPARE(f.stored(keys::kReportingState), std::string("CONF_HIST_REP_VERBOSE"));
            QVERIFY(f.control(rid::IDC_CONF_START_MIN)->isChecked());
            return;
        }
        QVERIFY(f.page() && f.page() != before.data());
        QCOMPARE(state.currentPageId, rid::PAGE_CONFIGURATION);
        QCOMPARE(state.log.Entries().back().message, std::string("Configuration Default Settings Reset"));
        QVERIFY(state.log.Entries().back().verbose);
        const std::vector<std::pair<int, bool>> shown = {
            {rid::IDC_CONF_START_MIN, false}, {rid::IDC_CONF_MIN_CLOSE, true},  {rid::IDC_CONF_FIRST_ENTRY, true},
            {rid::IDC_CONF_STANDARD, true},   {rid::IDC_CONF_DESCENDING, true}, {rid::IDC_CONF_INDIRECT, true},
            {rid::IDC_CONF_SAFE_COPY, true},  {rid::IDC_CONF_CLEAR_LOG, false}, {rid::IDC_CONF_SHOW_IMAGE, true},
            {rid::IDC_CONF_TIMESTAMP, true},  {rid::IDC_CONF_DOUBLE_SPACE, false}, {rid::IDC_CONF_COLOURS, true},
            {rid::IDC_CONF_NOTIFY_FAILURE, true}, {rid::IDC_CONF_COMPRESS, false}};
        for (const auto& [id, on] : shown)
            QVERIFY2(f.control(id)->isChecked() == on, qPrintable(ControlName(id)));
        QCOMPARE(f.page()->KeepCopies()->value(), 2);
        QCOMPARE(f.stored(keys::kKeepCopies), std::string("2"));
        QVERIFY(!f.control(rid::IDC_CONF_SAFE_COPY)->isEnabled());
        QCOMPARE(f.stored(keys::kLineNumbers), std::string("TRUE"));
    }

    // "Show Quick Start Screen Now", and the two help buttons, which open
    // sections of Vorda's own help in its help window, nothing outside it.
    void quickStartAndHelp()
    {
        ConfigPage f;
        std::vector<QUrl> handedOut;
        SetUrlOpener([&handedOut](const QUrl& url) {
            handedOut.push_back(url);
            return true;
        });
        f.page()->findChild<QPushButton*>(ControlName(rid::IDC_CONF_QUICK_START_NOW))->click();
        QCOMPARE(QuickStartHook::Count(), 1);
        QVERIFY(QuickStartHook::LastFromConfigurationPage());
        for (const auto& [id, page] : {std::pair {rid::IDC_CONF_TUTORIALS, help::kTutorials},
                                       std::pair {rid::IDC_CONF_UPDATES, help::kUpdates}}) {
            f.page()->findChild<QPushButton*>(ControlName(id))->click();
            QVERIFY(HelpWindow::Existing() && HelpWindow::Existing()->isVisible());
            const QUrl source = HelpWindow::Existing()->Browser()->source();
            QCOMPARE(source.fileName() + QLatin1Char('#') + source.fragment(), QString::fromLatin1(page));
        }
        CloseHelp();
        SetUrlOpener({});
        QVERIFY(handedOut.empty());
        QVERIFY(test::AskedTexts().empty());
    }

    // "Start Vorda when I log in" writes and removes the autostart entry and
    // is ticked only while the entry exists.
    void startWithTheSession()
    {
        ConfigPage f;
        const QString entry = f.config.path() + QStringLiteral("/autostart/vorda.desktop");
        QAbstractButton* box = f.control(rid::IDC_CONF_AUTOSTART);
        QCOMPARE(box->text(), QStringLiteral("Start Vorda when I log in"));
        QVERIFY(!box->isChecked());
        f.click(rid::IDC_CONF_AUTOSTART);
        QVERIFY(box->isChecked());
        QVERIFY(QFile::exists(entry));
        QVERIFY(test::ReadFile(entry.toStdString()).find("\nExec=vorda\n") != std::string::npos);
        f.click(rid::IDC_CONF_AUTOSTART);
        QVERIFY(!box->isChecked());
        QVERIFY(!QFile::exists(entry));

        // Made or removed elsewhere: the next page shows it.
        QVERIFY(autostart::Enable());
        f.window->ForcePage(rid::PAGE_CONFIGURATION);
        QVERIFY(f.control(rid::IDC_CONF_AUTOSTART)->isChecked());
        QVERIFY(autostart::Disable());

        // An entry that cannot be written: the box stays clear and says so.
        QVERIFY(QDir().mkpath(entry));
        f.window->ForcePage(rid::PAGE_CONFIGURATION);
        f.click(rid::IDC_CONF_AUTOSTART);
        QVERIFY(!f.control(rid::IDC_CONF_AUTOSTART)->isChecked());
        QCOMPARE(test::AskedTexts(), std::vector<std::string> {"Vorda could not change its autostart entry:\r\n\r\n"
                                                               + entry.toStdString()});
    }
};

QTEST_MAIN(TestConfigurationPage)
#include "tst_configuration_page.moc"
