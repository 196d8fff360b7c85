#include "TestSupport.h"
#include "core/engine/MysqlClient.h"
#include "core/store/Definitions.h"
#include "core/store/StoreKeys.h"

#include <QTest>

namespace {

using Rows = std::vector<std::string>;

} // namespace

class TestDefinitions : public QObject {
    Q_OBJECT

    struct Fixture {
        test::TempDataDir dir;
        SettingsStore store {dir.file("vorda.db")};
        Totals totals;
        NameLists lists {store, totals};
        Rows rows(const std::string& table) const { return test::RowsInOrder(store.DatabasePath(), table); }
    };

private slots:
    void aConnectionSavesItsEightKeysInOrderAndLoadsBack()
    {
        Fixture f;
        ConnectionDef c;
        c.name = "shop";
        c.description = "The shop's database";
        c.host = "db.example.test";
        c.port = "3307";
        c.database = "shop";
        c.user = "backup";
        c.password = "s3cr|t'\"";
        c.savePassword = true;
        c.Save(f.store);
        QCOMPARE(f.rows("Tesmo_shop"),
                 (Rows {"IDC_DBC_NAME=shop", "IDC_DBC_DESCRIPTION=The shop's database", "IDC_DBC_HOST=db.example.test",
                        "IDC_DBC_PORT_NUMBER=3307", "IDC_DBC_BASENAME=shop", "IDC_DBC_USERNAME=backup",
                        "IDC_DBC_PASSWORD=s3cr|t'\"", "IDC_DBC_SAVEPASS=TRUE"}));
        QVERIFY(ConnectionDef::Load(f.store, "shop") == c);
        const ConnectionParams p = c.Params();
        QCOMPARE(p.host, c.host);
        QCOMPARE(p.port, 3307u);
        QCOMPARE(p.database, c.database);
        QCOMPARE(p.user, c.user);
        QCOMPARE(p.password, c.password);

        // A password that is not to be saved is stored as the empty text.
        c.savePassword = false;
        c.Save(f.store);
        const ConnectionDef reloaded = ConnectionDef::Load(f.store, "shop");
        QCOMPARE(reloaded.password, std::string());
        QVERIFY(!reloaded.savePassword);
        QCOMPARE(f.store.GetValue("Tesmo_shop", "IDC_DBC_SAVEPASS"), std::string("FALSE"));
    }

    // -1 stands for a port text that is refused before anything connects.
    void thePortIsTheTextsLeadingInteger_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("port");
        QTest::newRow("plain") << "3306" << 3306;
        QTest::newRow("blanks and trailing text") << "  3307xyz" << 3307;
        QTest::newRow("empty: the library's default") << "" << 0;
        QTest::newRow("no number: the library's default") << "abc" << 0;
        QTest::newRow("highest port") << "65535" << 65535;
        QTest::newRow("one over the highest port") << "65536" << -1;
        QTest::newRow("wraps to 27564 in 16 bits") << "93100" << -1;
        QTest::newRow("zero") << "0" << -1;
        QTest::newRow("negative") << "-1" << -1;
        QTest::newRow("beyond any number") << "99999999999" << -1;
    }
    void thePortIsTheTextsLeadingInteger()
    {
        QFETCH(QString, text);
        QFETCH(int, port);
        ConnectionDef c;
        c.name = "site";
        c.port = text.toStdString();
        if (port >= 0) {
            QCOMPARE(c.PortNumber(), std::optional<unsigned>(static_cast<unsigned>(port)));
            QCOMPARE(c.Params().port, static_cast<unsigned>(port));
            QCOMPARE(c.PortRefusal(), std::string());
        } else {
            QVERIFY(!c.PortNumber());
            QCOMPARE(c.Params().port, ConnectionParams::kNoPort);
            QCOMPARE(c.PortRefusal(), "The port number \"" + c.port
                                          + "\" of connection \"site\" is not valid.\r\n\r\nA port number is a "
                                            "whole number from 1 to 65535.");
            // Whoever forgets to ask is still refused before connecting.
            MysqlConnection conn;
            QVERIFY(!conn.Connect(c.Params()));
            QVERIFY(!conn.Connected());
            QVERIFY(conn.ErrorText().find("not a port number") != std::string::npos);
        }
    }

    void aBackupSavesItsKeysInOrderAndKeepsEveryTable()
    {
        Fixture f;
        BackupDef b;
        b.name = "Nightly_Shop";
        b.description = "Every night";
        b.connection = "shop";
        for (int i = 0; i < 1001; ++i)
            b.tables.push_back("t" + std::to_string(i));
        b.schedules = {"nightly", "hourly"};
        b.Save(f.store);
        BackupDef::StoreNeverProcessed(f.store, b.name);
        const Rows rows = f.rows("Tesmo_BACKUP_NAME_Nightly_Shop");
        QCOMPARE(rows.size(), size_t(6));
        QCOMPARE(rows[0], std::string("IDC_CNSB_NAME=Nightly_Shop"));
        QCOMPARE(rows[1], std::string("IDC_CNSB_DESC=Every night"));
        QCOMPARE(rows[2], std::string("IDC_CNSB_COMBO_1=shop"));
        QCOMPARE(rows[3], "IDC_LIST1=" + JoinBarList(b.tables));
        QCOMPARE(rows[4], std::string("IDC_SCHD_LIST=nightly|hourly"));
        QCOMPARE(rows[5], std::string("LAST_BACKUP=Never been processed"));

        BackupDef loaded = BackupDef::Load(f.store, b.name);
        QCOMPARE(loaded.tables.size(), size_t(1001));
        QCOMPARE(loaded.lastBackup, std::string("Never been processed"));
        QCOMPARE(loaded.lineCount, std::string());
        b.lastBackup = BackupDef::kNeverProcessed;
        QVERIFY(loaded == b);

        // A run's facts, then an edit: the facts stay, the edit is stored.
        BackupDef::StoreLastBackup(f.store, b.name, "Monday, December 07, 2026 - 02:14:35 AM");
        BackupDef::StoreLineCount(f.store, b.name, 34);
        b.tables = {"orders"};
        b.schedules.clear();
        b.Save(f.store);
        loaded = BackupDef::Load(f.store, b.name);
        QCOMPARE(loaded.tables, std::vector<std::string> {"orders"});
        QVERIFY(loaded.schedules.empty());
        QCOMPARE(f.store.GetValue("Tesmo_BACKUP_NAME_Nightly_Shop", "IDC_SCHD_LIST"), std::string());
        QCOMPARE(loaded.lastBackup, std::string("Monday, December 07, 2026 - 02:14:35 AM"));
        QCOMPARE(loaded.lineCount, std::string("34"));
    }

    void aScheduleSavesItsKeysInOrderAndLoadsBack()
    {
        Fixture f;
        ScheduleDef s;
        s.name = "Weekdays";
        s.description = "";
        s.category = ScheduleDef::kWeekly;
        s.entries = {"Day: Monday - Time: 02:00 AM", "Day: Friday - Time: 11:30 PM"};
        s.Save(f.store);
        QCOMPARE(f.rows("Tesmo_SCHEDULE_NAME_Weekdays"),
                 (Rows {"IDC_SCHD_NAME=Weekdays", "IDC_SCHD_DESC=", "IDC_SCHEDULE_CATEGORY_SELECTED=SCHD_WEEKLY",
                        "IDC_SCHEDULE=Day: Monday - Time: 02:00 AM|Day: Friday - Time: 11:30 PM"}));
        QVERIFY(ScheduleDef::Load(f.store, "Weekdays") == s);
        QVERIFY(ScheduleDef::Load(f.store, "Missing") == ScheduleDef {});
    }

    void deleteDropsTheTableAndTheName()
    {
        Fixture f;
        for (const char* name : {"shop", "blog"}) {
            ConnectionDef connection;
            connection.name = name;
            connection.Save(f.store);
            f.lists.Add(NameList::Connections, name);
            BackupDef backup;
            backup.name = name;
            backup.connection = name;
            backup.Save(f.store);
            f.lists.Add(NameList::Backups, name);
            ScheduleDef schedule;
            schedule.name = name;
            schedule.category = ScheduleDef::kHourly;
            schedule.Save(f.store);
            f.lists.Add(NameList::Schedules, name);
        }
        ConnectionDef::Delete(f.store, f.lists, "shop");
        BackupDef::Delete(f.store, f.lists, "blog");
        ScheduleDef::Delete(f.store, f.lists, "shop");
        QVERIFY(!f.store.HasTable("Tesmo_shop"));
        QVERIFY(f.store.HasTable("Tesmo_blog"));
        QVERIFY(!f.store.HasTable("Tesmo_BACKUP_NAME_blog"));
        QVERIFY(f.store.HasTable("Tesmo_BACKUP_NAME_shop"));
        QVERIFY(!f.store.HasTable("Tesmo_SCHEDULE_NAME_shop"));
        QVERIFY(f.store.HasTable("Tesmo_SCHEDULE_NAME_blog"));
        QCOMPARE(f.lists.Load(NameList::Connections), std::vector<std::string> {"blog"});
        QCOMPARE(f.lists.Load(NameList::Backups), std::vector<std::string> {"shop"});
        QCOMPARE(f.lists.Load(NameList::Schedules), std::vector<std::string> {"blog"});
        QCOMPARE(f.totals.connections, 1);
        QCOMPARE(f.store.GetValue(keys::kCountersTable, keys::kBackupsCount), std::string("1"));
    }
};

QTEST_GUILESS_MAIN(TestDefinitions)
#include "tst_definitions.moc"
