#include "TestSupport.h"
#include "core/store/Configuration.h"
#include "core/store/Numbers.h"
#include "core/store/StoreKeys.h"

#include <QTest>

#include <climits>

class TestConfiguration : public QObject {
    Q_OBJECT

    struct Fixture {
        test::TempDataDir dir;
        SettingsStore store {dir.file("vorda.db")};
        Totals totals;
        Configuration config {store, totals};
        void set(const char* key, const std::string& value) { store.SetValue(keys::kConfigurationTable, key, value); }
        std::string get(const char* key) const { return store.GetValue(keys::kConfigurationTable, key); }
    };

private slots:
    void resetStoresTheDefaults()
    {
        Fixture f;
        f.config.ResetConfiguration();
        QCOMPARE(f.get(keys::kCompStart), std::string("TRUE"));
        QCOMPARE(f.get(keys::kStartMin), std::string("FALSE"));
        QCOMPARE(f.get(keys::kMinClose), std::string("TRUE"));
        QCOMPARE(f.get(keys::kFirstEntry), std::string("TRUE"));
        QCOMPARE(f.get(keys::kReportingState), std::string("CONF_HIST_REP_STANDARD"));
        QCOMPARE(f.get(keys::kAscDesc), std::string("CONF_HIST_REP_DESCEND"));
        QCOMPARE(f.get(keys::kRestoreMode), std::string("CONF_RESTORE_INDIRECT"));
        QCOMPARE(f.get(keys::kLogAtStart), std::string("FALSE"));
        QCOMPARE(f.get(keys::kShowImage), std::string("TRUE"));
        QCOMPARE(f.get(keys::kShowTimestamp), std::string("TRUE"));
        QCOMPARE(f.get(keys::kDoubleSpace), std::string("FALSE"));
        QCOMPARE(f.get(keys::kRestoreColor), std::string("TRUE"));
        QCOMPARE(f.get(keys::kSafeCopy), std::string("TRUE"));
        QCOMPARE(f.get(keys::kCatchUp), std::string("TRUE"));
        QCOMPARE(f.get(keys::kLineNumbers), std::string());
        QCOMPARE(f.get(keys::kNotifyFailure), std::string("TRUE"));
        QCOMPARE(f.get(keys::kKeepCopies), std::string("2"));
        QCOMPARE(f.get(keys::kCompress), std::string("FALSE"));

        // A later load of the defaults gives the same in-memory settings.
        Fixture g;
        g.config.ResetConfiguration();
        const Settings reset = g.config.settings;
        g.config.settings = Settings {};
        g.config.LoadConfiguration();
        QCOMPARE(g.config.settings.restoreMode, reset.restoreMode);
        QCOMPARE(g.config.settings.doubleSpace, reset.doubleSpace);
        QCOMPARE(g.config.settings.logAtStart, reset.logAtStart);
        QCOMPARE(g.config.settings.direction, LogDirection::Descend);
    }

    void missingRowsKeepTheInitialValues()
    {
        Fixture f;
        f.config.ResetConfiguration();
        f.store.DropTable(keys::kConfigurationTable);
        f.set(keys::kStartMin, "TRUE");
        f.config.settings = Settings {};
        f.config.LoadConfiguration();
        // Initial values, not the defaults, fill the missing rows.
        QCOMPARE(f.config.settings.restoreMode, RestoreMode::Absolute);
        QVERIFY(f.config.settings.doubleSpace);
        QVERIFY(f.config.settings.logAtStart);
        QVERIFY(f.config.settings.startMin);
        QVERIFY(f.config.settings.firstEntry);
        // A store from before the catch-up setting catches up, as the
        // default does; a stored "FALSE" does not.
        QVERIFY(f.config.settings.catchUp);
        f.config.WriteCatchUp(false);
        f.config.settings = Settings {};
        f.config.LoadConfiguration();
        QVERIFY(!f.config.settings.catchUp);
    }

    // The failure notices and the older copies kept: a store without the
    // keys (every store of an earlier version) gets the defaults; anything
    // but plain digits keeps two copies, never fewer; more than 30 is 30.
    void noticesAndCopiesReadTheirKeys_data()
    {
        QTest::addColumn<QString>("notify");
        QTest::addColumn<QString>("copies");
        QTest::addColumn<bool>("notifies");
        QTest::addColumn<int>("kept");
        QTest::newRow("missing") << "" << "" << true << 2;
        QTest::newRow("stored") << "FALSE" << "7" << false << 7;
        QTest::newRow("none kept") << "TRUE" << "0" << true << 0;
        QTest::newRow("too many") << "TRUE" << "31" << true << 30;
        QTest::newRow("far too many") << "TRUE" << "99999999999" << true << 2;
        QTest::newRow("negative") << "TRUE" << "-1" << true << 2;
        QTest::newRow("words") << "true" << "two" << false << 2;
    }
    void noticesAndCopiesReadTheirKeys()
    {
        QFETCH(QString, notify);
        QFETCH(QString, copies);
        QFETCH(bool, notifies);
        QFETCH(int, kept);
        Fixture f;
        if (!notify.isEmpty())
            f.set(keys::kNotifyFailure, notify.toStdString());
        if (!copies.isEmpty())
            f.set(keys::kKeepCopies, copies.toStdString());
        f.config.settings.keepCopies = 5; // whatever was in memory before
        f.config.LoadConfiguration();
        QCOMPARE(f.config.settings.notifyFailure, notifies);
        QCOMPARE(f.config.settings.keepCopies, kept);
        f.config.WriteKeepCopies(45);
        QCOMPARE(f.get(keys::kKeepCopies), std::string("30"));
    }

    void flagsAreExactUpperCaseTexts()
    {
        Fixture f;
        f.set(keys::kShowImage, "true");
        f.set(keys::kMinClose, "TRUE ");
        f.set(keys::kSafeCopy, "yes");
        f.config.LoadConfiguration();
        QVERIFY(!f.config.settings.showImage);
        QVERIFY(!f.config.settings.minClose);
        QVERIFY(!f.config.settings.safeCopy);
    }

    void quickStartReadsTrueWhenEmpty()
    {
        Fixture f;
        f.config.settings.firstEntry = false;
        f.set(keys::kFirstEntry, "");
        f.config.LoadConfiguration();
        QVERIFY(f.config.settings.firstEntry);
        f.set(keys::kFirstEntry, "FALSE");
        f.config.LoadConfiguration();
        QVERIFY(!f.config.settings.firstEntry);
    }

    void twoValuedKeysChangeOnlyOnTheirTexts()
    {
        Fixture f;
        f.config.settings.reporting = ReportingState::Verbose;
        f.config.settings.direction = LogDirection::Ascend;
        f.config.settings.restoreMode = RestoreMode::Indirect;
        f.set(keys::kReportingState, "conf_hist_rep_standard");
        f.set(keys::kAscDesc, "DESCEND");
        f.set(keys::kRestoreMode, "TRUE");
        f.config.LoadConfiguration();
        QCOMPARE(f.config.settings.reporting, ReportingState::Verbose);
        QCOMPARE(f.config.settings.direction, LogDirection::Ascend);
        QCOMPARE(f.config.settings.restoreMode, RestoreMode::Indirect);
        f.set(keys::kRestoreMode, "CONF_RESTORE_ABSOLUTE");
        f.set(keys::kAscDesc, "CONF_HIST_REP_DESCEND");
        f.config.LoadConfiguration();
        QCOMPARE(f.config.settings.restoreMode, RestoreMode::Absolute);
        QCOMPARE(f.config.settings.direction, LogDirection::Descend);
    }

    void totalsReadTheirLeadingInteger()
    {
        Fixture f;
        f.totals = {5, 5, 5};
        f.store.SetValue(keys::kCountersTable, keys::kBackupsCount, "12abc");
        f.store.SetValue(keys::kCountersTable, keys::kConnectionsCount, "abc");
        f.config.LoadConfiguration();
        QCOMPARE(f.totals.backups, 12);
        QCOMPARE(f.totals.connections, 0);
        QCOMPARE(f.totals.schedules, 5); // missing: unchanged
        QCOMPARE(LeadingInteger("  -7x"), -7LL);
        QCOMPARE(LeadingInteger("+3"), 3LL);
        QCOMPARE(LeadingInteger(""), 0LL);
        QCOMPARE(LeadingInteger("\t 9223372036854775807"), LLONG_MAX);
        QCOMPARE(LeadingInteger("99999999999999999999 rows"), LLONG_MAX);
        QCOMPARE(LeadingInteger("-99999999999999999999"), LLONG_MIN);
        QCOMPARE(LeadingInt("-99999999999"), INT_MIN);
        f.store.SetValue(keys::kCountersTable, keys::kSchedulesCount, "99999999999999999999");
        f.config.LoadConfiguration();
        QVERIFY(f.totals.schedules > 0);
    }

    void resetKeepsLineNumbersAndTotals()
    {
        Fixture f;
        f.config.WriteLineNumbers(true);
        f.totals = {3, 2, 1};
        f.config.ResetConfiguration();
        QVERIFY(f.config.settings.lineNumbers);
        QCOMPARE(f.get(keys::kLineNumbers), std::string("TRUE"));
        QCOMPARE(f.totals.connections, 3);
    }

    void writersSetMemoryAndStore()
    {
        Fixture f;
        f.config.WriteStartMin(true);
        f.config.WriteReportingState(ReportingState::Verbose);
        f.config.WriteDirection(LogDirection::Ascend);
        f.config.WriteRestoreMode(RestoreMode::Absolute);
        f.config.WriteDoubleSpace(false);
        QVERIFY(f.config.settings.startMin);
        QCOMPARE(f.get(keys::kStartMin), std::string("TRUE"));
        QCOMPARE(f.get(keys::kReportingState), std::string("CONF_HIST_REP_VERBOSE"));
        QCOMPARE(f.get(keys::kAscDesc), std::string("CONF_HIST_REP_ASCEND"));
        QCOMPARE(f.get(keys::kRestoreMode), std::string("CONF_RESTORE_ABSOLUTE"));
        QCOMPARE(f.get(keys::kDoubleSpace), std::string("FALSE"));
    }
};

QTEST_GUILESS_MAIN(TestConfiguration)
#include "tst_configuration.moc"
