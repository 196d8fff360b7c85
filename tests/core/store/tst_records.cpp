#include "TestSupport.h"
#include "core/store/Records.h"
#include "core/store/StoreKeys.h"

#include <QTest>

class TestRecords : public QObject {
    Q_OBJECT

    struct Fixture {
        test::TempDataDir dir;
        CInputOutput store {dir.file("vorda.db")};
        Totals totals;
        Records records {store, totals};
        std::string list(NameList l) const { return store.GetValue(keys::kCustomerData, Records::ListRowName(l)); }
        std::string total(const char* key) const { return store.GetValue(keys::kCountersTable, key); }
    };

private slots:
    void addAndRemoveKeepTidyBarLists()
    {
        Fixture f;
        f.records.AddToNameList(NameList::Connections, "shop");
        QCOMPARE(f.list(NameList::Connections), std::string("shop"));
        f.records.AddToNameList(NameList::Connections, "web");
        QCOMPARE(f.list(NameList::Connections), std::string("shop|web"));
        QCOMPARE(f.totals.connections, 2);
        QCOMPARE(f.total(keys::kConnectionsCount), std::string("2"));

        f.records.RemoveFromNameList(NameList::Connections, "shop");
        QCOMPARE(f.list(NameList::Connections), std::string("web"));
        f.records.AddToNameList(NameList::Connections, "shop");
        f.records.RemoveFromNameList(NameList::Connections, "shop");
        QCOMPARE(f.list(NameList::Connections), std::string("web"));
        f.records.RemoveFromNameList(NameList::Connections, "web");
        QCOMPARE(f.list(NameList::Connections), std::string());
        QCOMPARE(f.totals.connections, 0);

        f.store.SetValue(keys::kCustomerData, "backup_names", "a|b|a|c");
        f.totals.backups = 4;
        f.records.RemoveFromNameList(NameList::Backups, "a");
        QCOMPARE(f.list(NameList::Backups), std::string("b|c"));
        QCOMPARE(f.totals.backups, 3);
        f.records.RemoveFromNameList(NameList::Backups, "");
        QCOMPARE(f.totals.backups, 3);
    }

    void schedulesRaiseTheirTotalSeparately()
    {
        Fixture f;
        f.records.AddToNameList(NameList::Schedules, "hourly");
        QCOMPARE(f.totals.schedules, 0);
        QCOMPARE(f.list(NameList::Schedules), std::string("hourly"));
        QCOMPARE(f.store.GetValue(keys::kCustomerData, "schedule_name"), std::string("hourly"));
        f.records.RaiseTotal(NameList::Schedules);
        QCOMPARE(f.total(keys::kSchedulesCount), std::string("1"));
    }

    void loadingSkipsEmptyPiecesAndStopsAt1000()
    {
        Fixture f;
        f.store.SetValue(keys::kCustomerData, "connect_names", "|a||b|");
        QCOMPARE(f.records.LoadNameList(NameList::Connections), (std::vector<std::string> {"a", "b"}));
        QVERIFY(f.records.IsNameInList(NameList::Connections, "b"));
        QVERIFY(!f.records.IsNameInList(NameList::Connections, "B"));

        std::vector<std::string> many;
        for (int i = 0; i < 1005; ++i)
            many.push_back("n" + std::to_string(i));
        f.store.SetValue(keys::kCustomerData, "backup_names", JoinBarList(many));
        const auto loaded = f.records.LoadNameList(NameList::Backups);
        QCOMPARE(loaded.size(), size_t(1000));
        QCOMPARE(loaded.back(), std::string("n999"));
        QVERIFY(!f.records.IsNameInList(NameList::Backups, "n1000"));
        // Removing one name keeps those beyond the first 1000 in the store.
        f.records.RemoveFromNameList(NameList::Backups, "n0");
        const auto stored = SplitBarList(f.list(NameList::Backups), SIZE_MAX);
        QCOMPARE(stored.size(), size_t(1004));
        QCOMPARE(stored.back(), std::string("n1004"));
    }

    void deletingADefinitionDropsItsTable()
    {
        Fixture f;
        f.records.AddToNameList(NameList::Backups, "nightly");
        f.records.AddToNameList(NameList::Backups, "weekly");
        f.store.SetValue(BackupTable("nightly"), keys::kCnsbName, "nightly");
        f.store.SetValue(BackupTable("weekly"), keys::kCnsbName, "weekly");
        QCOMPARE(BackupTable("nightly"), std::string("Tesmo_BACKUP_NAME_nightly"));
        f.records.DeleteDefinition(NameList::Backups, "nightly");
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
        f.records.ResetTotals();
        QCOMPARE(f.total(keys::kConnectionsCount), std::string("0"));
        QCOMPARE(f.total(keys::kBackupsCount), std::string("0"));
        QCOMPARE(f.total(keys::kSchedulesCount), std::string("0"));
        f.store.SetValue(keys::kCustomerData, "connect_names", "a|b|c");
        f.store.SetValue(keys::kCustomerData, "schedule_name", "|x|");
        f.totals = {9, 9, 9};
        f.records.RecountTotals();
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

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
