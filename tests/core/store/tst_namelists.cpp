#include "TestSupport.h"
#include "core/store/Definitions.h"
#include "core/store/NameLists.h"
#include "core/store/StoreKeys.h"

#include <QTest>

class TestNameLists : public QObject {
    Q_OBJECT

    struct Fixture {
        test::TempDataDir dir;
        SettingsStore store {dir.file("vorda.db")};
        Totals totals;
        NameLists nameLists {store, totals};
        std::string list(NameList l) const { return store.GetValue(keys::kCustomerData, NameLists::ListRowName(l)); }
        std::string total(const char* key) const { return store.GetValue(keys::kCountersTable, key); }
    };

private slots:
    void addAndRemoveKeepTidyBarLists()
    {
        Fixture f;
        f.nameLists.Add(NameList::Connections, "shop");
        QCOMPARE(f.list(NameList::Connections), std::string("shop"));
        f.nameLists.Add(NameList::Connections, "web");
        QCOMPARE(f.list(NameList::Connections), std::string("shop|web"));
        QCOMPARE(f.totals.connections, 2);
        QCOMPARE(f.total(keys::kConnectionsCount), std::string("2"));

        f.nameLists.Remove(NameList::Connections, "shop");
        QCOMPARE(f.list(NameList::Connections), std::string("web"));
        f.nameLists.Add(NameList::Connections, "shop");
        f.nameLists.Remove(NameList::Connections, "shop");
        QCOMPARE(f.list(NameList::Connections), std::string("web"));
        f.nameLists.Remove(NameList::Connections, "web");
        QCOMPARE(f.list(NameList::Connections), std::string());
        QCOMPARE(f.totals.connections, 0);

        f.store.SetValue(keys::kCustomerData, "backup_names", "a|b|a|c");
        f.totals.backups = 4;
        f.nameLists.Remove(NameList::Backups, "a");
        QCOMPARE(f.list(NameList::Backups), std::string("b|c"));
        QCOMPARE(f.totals.backups, 3);
        f.nameLists.Remove(NameList::Backups, "");
        QCOMPARE(f.totals.backups, 3);
    }

    void schedulesRaiseTheirTotalSeparately()
    {
        Fixture f;
        f.nameLists.Add(NameList::Schedules, "hourly");
        QCOMPARE(f.totals.schedules, 0);
        QCOMPARE(f.list(NameList::Schedules), std::string("hourly"));
        QCOMPARE(f.store.GetValue(keys::kCustomerData, "schedule_name"), std::string("hourly"));
        f.nameLists.RaiseTotal(NameList::Schedules);
        QCOMPARE(f.total(keys::kSchedulesCount), std::string("1"));
    }

    void loadingSkipsEmptyPiecesAndKeepsEveryName()
    {
        Fixture f;
        f.store.SetValue(keys::kCustomerData, "connect_names", "|a||b|");
        QCOMPARE(f.nameLists.Load(NameList::Connections), (std::vector<std::string> {"a", "b"}));
        QVERIFY(f.nameLists.Contains(NameList::Connections, "b"));
        QVERIFY(!f.nameLists.Contains(NameList::Connections, "B"));

        // No list is cut at 1000 names: 1001 names load as 1001.
        std::vector<std::string> many;
        for (int i = 0; i < 1001; ++i)
            many.push_back("n" + std::to_string(i));
        f.store.SetValue(keys::kCustomerData, "backup_names", JoinBarList(many));
        QCOMPARE(f.nameLists.Load(NameList::Backups), many);
        QVERIFY(f.nameLists.Contains(NameList::Backups, "n1000"));
        // Removing one name keeps all the others in the store.
        f.nameLists.Remove(NameList::Backups, "n0");
        const auto stored = SplitBarList(f.list(NameList::Backups));
        QCOMPARE(stored.size(), size_t(1000));
        QCOMPARE(stored.front(), std::string("n1"));
        QCOMPARE(stored.back(), std::string("n1000"));
    }

    void deletingADefinitionDropsItsTable()
    {
        Fixture f;
        f.nameLists.Add(NameList::Backups, "nightly");
        f.nameLists.Add(NameList::Backups, "weekly");
        for (const char* name : {"nightly", "weekly"}) {
            BackupDef backup;
            backup.name = name;
            backup.Save(f.store);
        }
        QCOMPARE(BackupTable("nightly"), std::string("Tesmo_BACKUP_NAME_nightly"));
        BackupDef::Delete(f.store, f.nameLists, "nightly");
        QVERIFY(!f.store.HasTable("Tesmo_BACKUP_NAME_nightly"));
        QVERIFY(f.store.HasTable("Tesmo_BACKUP_NAME_weekly"));
        QCOMPARE(f.list(NameList::Backups), std::string("weekly"));
        QCOMPARE(f.total(keys::kBackupsCount), std::string("1"));
        QCOMPARE(ConnectionTable("shop"), std::string("Tesmo_shop"));
        QCOMPARE(ScheduleTable("daily"), std::string("Tesmo_SCHEDULE_NAME_daily"));
    }

    void totalsResetAndRecount()
    {
        Fixture f;
        f.nameLists.ResetTotals();
        QCOMPARE(f.total(keys::kConnectionsCount), std::string("0"));
        QCOMPARE(f.total(keys::kBackupsCount), std::string("0"));
        QCOMPARE(f.total(keys::kSchedulesCount), std::string("0"));
        f.store.SetValue(keys::kCustomerData, "connect_names", "a|b|c");
        f.store.SetValue(keys::kCustomerData, "schedule_name", "|x|");
        f.totals = {9, 9, 9};
        f.nameLists.RecountTotals();
        QCOMPARE(f.total(keys::kConnectionsCount), std::string("3"));
        QCOMPARE(f.total(keys::kBackupsCount), std::string("0"));
        QCOMPARE(f.total(keys::kSchedulesCount), std::string("1"));
        QCOMPARE(f.totals.connections, 9); // the in-memory totals stay
    }

    void namesFollowTheRule()
    {
        QVERIFY(IsValidName("My_Site_01"));
        QVERIFY(IsValidName(""));
        QVERIFY(!IsValidName("my-site"));
        QVERIFY(!IsValidName("my site"));
        QVERIFY(!IsValidName("site.com"));
        QVERIFY(!IsValidName("Zürich"));
        QVERIFY(!IsValidName("a|b"));
    }

    void reservedConnectionNames()
    {
        QVERIFY(IsReservedConnectionName("CONFIGURATION"));
        QVERIFY(IsReservedConnectionName("counters"));
        QVERIFY(IsReservedConnectionName("BACKUP_NAME_x"));
        QVERIFY(IsReservedConnectionName("SCHEDULE_NAME_daily"));
        QVERIFY(!IsReservedConnectionName("BACKUP_NAMES"));
        QVERIFY(!IsReservedConnectionName("shop"));
        QVERIFY(!IsReservedConnectionName("CONFIGURATION2"));
    }
};

QTEST_GUILESS_MAIN(TestNameLists)
#include "tst_namelists.moc"
