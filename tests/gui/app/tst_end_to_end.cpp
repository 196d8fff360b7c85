#include "RunPagesSupport.h"
#include "WindowUser.h"

#include "gui/app/MenuPage.h"
#include "gui/backup/ExecutePage.h"
#include "gui/statistics/StatisticsPage.h"
#include "gui/restore/ViewerPage.h"
#include "gui/restore/BackupsPage.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTest>

namespace {

using User = test::WindowUser;

// A small shop with hard data: apostrophes, backslashes, NULLs, dates,
// text beyond Latin-1, a foreign key; and a table the backup leaves out.
void FillShop(test::ScratchDatabase& db)
{
    db.exec("CREATE TABLE customers (id int NOT NULL PRIMARY KEY, name varchar(60) NOT NULL, joined date, "
            "note text) DEFAULT CHARSET=utf8mb4");
    db.exec("CREATE TABLE orders (id int NOT NULL PRIMARY KEY, customer_id int NOT NULL, amount decimal(10,2), "
            "placed datetime, CONSTRAINT fk_customer FOREIGN KEY (customer_id) REFERENCES customers (id))");
    db.exec("CREATE TABLE audit (id int NOT NULL PRIMARY KEY)");
    db.exec("INSERT INTO customers VALUES (1, 'O''Brien', '2024-02-29', NULL), (2, 'Back\\\\slash', NULL, "
            "'line one\\nline two'), (3, 'Zoë Šťastná', '1999-12-31', '')");
    db.exec("INSERT INTO customers SELECT seq, CONCAT('customer ', seq), '2020-01-01' + INTERVAL seq DAY, NULL "
            "FROM seq_4_to_400");
    db.exec("INSERT INTO orders SELECT seq, 1 + seq % 400, seq * 1.25, '2026-01-01 10:00:00' + INTERVAL seq HOUR "
            "FROM seq_1_to_1200");
    db.exec("INSERT INTO audit VALUES (1)");
}

} // namespace

// As a user would: definitions made in the editors, a backup run from the
// Execute page, restored from the Database Backups page, viewed, and the
// history on the statistics page; and a scheduled tick at a chosen time.
class TestEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        tzset();
        QApplication::setQuitOnLastWindowClosed(false);
    }

    void backUpRestoreViewAndReadTheHistory()
    {
        REQUIRE_TEST_SERVER();
        test::GuiHooks hooks;
        test::ScratchDatabase db("vorda_e2e");
        FillShop(db);
        test::TempDataDir dir;
        MainWindow window(dir.path());
        window.show();
        User user {window};

        user.createConnection(db);
        QCOMPARE(test::AskedTexts(), (std::vector<std::string> {"Connection Successful.",
                                                                "Connection Saved\r\n\r\n    Do you wish to create another?"}));
        user.createBackup({"customers", "orders"});
        QCOMPARE(test::AskedTexts().back(), std::string("Backup Saved\r\n\r\nDo you wish to create another?"));
        QCOMPARE(BackupDef::Load(window.State().store, "nightly").tables, (std::vector<std::string> {"customers", "orders"}));

        // Run it from the Execute page.
        MessageHook::Reset();
        user.menu(rid::IDC_MENU_EXECUTE);
        user.select(rid::IDC_EXEC_LIST, {"nightly"});
        User::answer({1, 0});
        user.click(rid::IDC_EXEC_RUN);
        QCOMPARE(test::AskedTexts(), (std::vector<std::string> {"Backup: nightly\n\r\n\rRun this Backup?",
                                                                "Backup Complete\r\n\r\nDo you wish to execute another?"}));
        QVERIFY(qobject_cast<StatisticsPage*>(window.CurrentPage()));

        // Restore it in Indirect mode from the Database Backups page.
        MessageHook::Reset();
        user.menu(rid::IDC_MENU_RESTORE);
        user.select(rid::IDC_REST_LIST, {"nightly"});
        User::answer({1, 0});
        user.click(rid::IDC_REST_RUN);
        QCOMPARE(test::AskedTexts(), (std::vector<std::string> {"Restore: nightly\n\r\n\rRun this Restore?",
                                                                "Restore Complete\r\n\r\nDo you wish to execute another?"}));
        for (const char* table : {"customers", "orders"}) {
            const std::string original = std::string("SELECT * FROM ") + table + " ORDER BY id";
            const std::string copy = std::string("SELECT * FROM VORDA_") + table + " ORDER BY id";
            QCOMPARE(test::AllRows(db.sql(), copy), test::AllRows(db.sql(), original));
            QVERIFY(!test::AllRows(db.sql(), original).empty());
        }
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() AND "
                           "TABLE_NAME = 'VORDA_audit'"),
                 std::string("0"));

        // View it.
        user.menu(rid::IDC_MENU_RESTORE);
        user.select(rid::IDC_REST_LIST, {"nightly"});
        user.click(rid::IDC_REST_VIEW);
        auto* viewer = qobject_cast<ViewerPage*>(window.CurrentPage());
        QVERIFY(viewer);
        QTRY_COMPARE(viewer->StatusText()->text(), QStringLiteral("Load Complete"));
        const QString shown = viewer->TextBox()->toPlainText();
        QVERIFY(shown.contains(QStringLiteral("INSERT INTO `customers` VALUES ('1', 'O\\'Brien', '2024-02-29', NULL)")));
        QVERIFY(shown.contains(QStringLiteral("Zoë Šťastná")));
        QVERIFY(shown.contains(QStringLiteral("-- Backup Name: nightly")));
        user.click(rid::IDC_VIEW_CLOSE);
        QVERIFY(qobject_cast<BackupsPage*>(window.CurrentPage()));

        // The statistics page has the history and the last backup.
        user.menu(rid::IDC_MENU_STATISTICS);
        const QString history = user.historyView();
        for (const char* entry : {"New Connection Saved: shop", "New Backup Saved: nightly", "Manual Backup Started: nightly",
                                  "Backup Successful: nightly", "Restore Started: nightly", "Restore Successful: nightly"})
            QVERIFY2(history.contains(QString::fromUtf8(entry)), entry);
        QCOMPARE(test::ValueText(window.CurrentPage(), rid::IDC_STAT_LAST_NAME), QStringLiteral("nightly"));
        QCOMPARE(test::ValueText(window.CurrentPage(), rid::IDC_STAT_LAST_TYPE), QStringLiteral("Manual"));
        QCOMPARE(test::ValueText(window.CurrentPage(), rid::IDC_STAT_BACKUPS), QStringLiteral("1"));
    }

    // A daily schedule made in the schedule editor, a backup on it, and the
    // window's quarter-hour tick at that time: the file and the entries.
    void aScheduledTickAtItsTime()
    {
        REQUIRE_TEST_SERVER();
        test::GuiHooks hooks;
        test::ScratchDatabase db("vorda_e2e_tick");
        FillShop(db);
        test::TempDataDir dir;
        std::time_t now = test::Utc(2026, 12, 7, 8, 3);
        MainWindow window(dir.path(), nullptr, [&now] { return now; });
        window.show();
        User user {window};
        user.createConnection(db);

        user.menu(rid::IDC_MENU_CREATE_SCHEDULE);
        user.type(rid::IDC_SCED_NAME, "mornings");
        user.type(rid::IDC_SCED_DESCRIPTION, "Every morning");
        user.control<QRadioButton>(rid::IDC_SCED_DAILY)->click();
        user.pick(rid::IDC_SCED_DAILY_TIME, QStringLiteral("08:15 AM"));
        user.click(rid::IDC_SCED_ADD);
        User::answer({0});
        user.click(rid::IDC_SCED_SAVE);
        user.createBackup({"customers", "orders"}, {"mornings"});
        QCOMPARE(BackupDef::Load(window.State().store, "nightly").schedules, std::vector<std::string> {"mornings"});
        QVERIFY(!test::FileExists(BackupFilePath(dir.path(), "nightly")));
        // Armed for 08:15, twelve minutes on.
        QVERIFY(std::abs(window.ScheduleTimer()->remainingTime() - 12 * 60000) < 60000);

        // A tick at 08:00 would find nothing; the one at 08:15 runs it.
        bool ticked = false;
        QObject::connect(&window, &MainWindow::scheduleTick, [&] { ticked = true; });
        now = test::Utc(2026, 12, 7, 8, 15);
        window.ScheduleTimer()->start(0);
        QTRY_VERIFY(ticked);
        const std::string file = test::ReadFile(BackupFilePath(dir.path(), "nightly"));
        QVERIFY(file.find("-- Vorda Quendal Suite - MySQL Backup File - Automatic\r\n") != std::string::npos);
        QVERIFY(file.find("INSERT INTO `orders` VALUES ('1200', ") != std::string::npos);
        AppState& state = window.State();
        QCOMPARE(BackupDef::Load(state.store, "nightly").lastBackup, FormatLocalTime(now, kLongTimeFormat));
        std::vector<std::string> log;
        for (const auto& entry : state.log.Entries())
            log.push_back(entry.message);
        QCOMPARE(std::vector<std::string>(log.end() - 2, log.end()),
                 (std::vector<std::string> {"Auto Backup Executed: nightly", "Auto Backup Ended: nightly - Elapsed Time: 00:00:00"}));
        QVERIFY(window.ScheduleTimer()->isActive());

        // The statistics page, when next shown, has the automatic run.
        user.menu(rid::IDC_MENU_STATISTICS);
        QVERIFY(user.historyView().contains(QStringLiteral("Auto Backup Executed: nightly")));
        QCOMPARE(test::ValueText(window.CurrentPage(), rid::IDC_STAT_LAST_TYPE), QStringLiteral("Automatic"));
        QCOMPARE(test::ValueText(window.CurrentPage(), rid::IDC_STAT_LAST_DT),
                 QString::fromStdString(FormatLocalTime(now, kLongTimeFormat)));
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_end_to_end.moc"
