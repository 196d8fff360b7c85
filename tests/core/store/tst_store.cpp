#include "TestSupport.h"
#include "core/store/SettingsStore.h"

#include <QTest>

#include <chrono>

#include <sqlite3.h>
#include <sys/stat.h>

class TestStore : public QObject {
    Q_OBJECT

private slots:
    void freshDirectoryReadsEmptyAndCreatesNothing()
    {
        test::TempDataDir dir;
        SettingsStore store(dir.file("vorda.db"));
        QCOMPARE(store.GetValue("Tesmo_CONFIGURATION", "IDC_CONF_BACKUPS_START_MIN"), std::string());
        QVERIFY(!store.HasTable("Tesmo_CONFIGURATION"));
        QVERIFY(!test::FileExists(dir.file("vorda.db")));
    }

    void secondSetUpdatesTheSingleRow()
    {
        test::TempDataDir dir;
        SettingsStore store(dir.file("vorda.db"));
        store.SetValue("Tesmo_CONFIGURATION", "IDC_CONF_BACKUPS_START_MIN", "TRUE");
        store.SetValue("Tesmo_CONFIGURATION", "IDC_CONF_BACKUPS_START_MIN", "TRUE");
        store.SetValue("Tesmo_CONFIGURATION", "IDC_CONF_BACKUPS_START_MIN", "FALSE");
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(dir.file("vorda.db").c_str(), &db), SQLITE_OK);
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, "select count(*) from Tesmo_CONFIGURATION", -1, &stmt, nullptr);
        QCOMPARE(sqlite3_step(stmt), SQLITE_ROW);
        QCOMPARE(sqlite3_column_int(stmt, 0), 1);
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        QCOMPARE(store.GetValue("Tesmo_CONFIGURATION", "IDC_CONF_BACKUPS_START_MIN"), std::string("FALSE"));
    }

    void anyTextRoundTripsByteForByte_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("apostrophe") << QByteArray("Joe's site");
        QTest::newRow("quotes and injection") << QByteArray("x'); drop table Tesmo_CONFIGURATION; --\"");
        QTest::newRow("bars") << QByteArray("|a||b|");
        QTest::newRow("utf8") << QByteArray("Zürich – 東京 🙂");
        QTest::newRow("latin1 bytes") << QByteArray("caf\xe9 \xff\xfe");
        QTest::newRow("zero byte") << QByteArray("a\0b", 3);
        QTest::newRow("line breaks") << QByteArray("one\r\ntwo\n");
        QTest::newRow("long") << QByteArray(70000, 'x');
    }

    void anyTextRoundTripsByteForByte()
    {
        QFETCH(QByteArray, text);
        test::TempDataDir dir;
        SettingsStore store(dir.file("vorda.db"));
        const std::string bytes(text.constData(), static_cast<size_t>(text.size()));
        store.SetValue("Tesmo_shop", "IDC_DBC_DESCRIPTION", bytes);
        store.SetValue("Tesmo_shop", bytes, "as a name");
        QCOMPARE(store.GetValue("Tesmo_shop", "IDC_DBC_DESCRIPTION"), bytes);
        QCOMPARE(store.GetValue("Tesmo_shop", bytes), std::string("as a name"));
    }

    void emptyValueKeepsTheRow()
    {
        test::TempDataDir dir;
        SettingsStore store(dir.file("vorda.db"));
        store.SetValue("T", "k", "v");
        store.SetValue("T", "k", "");
        QCOMPARE(store.GetValue("T", "k"), std::string());
        sqlite3* db = nullptr;
        sqlite3_open(dir.file("vorda.db").c_str(), &db);
        QCOMPARE(SettingsStore::ReadRow(db, "T", "k", "Name"), std::string("k"));
        QCOMPARE(SettingsStore::ReadRow(db, "T", "k", "name"), std::string());
        QCOMPARE(SettingsStore::ReadRow(db, "T", "missing", "Name"), std::string());
        QCOMPARE(SettingsStore::ReadRow(db, "Missing_Table", "k", "Value"), std::string());
        sqlite3_close(db);
        store.SetValue("T", "k", "again");
        QCOMPARE(store.GetValue("T", "k"), std::string("again"));
    }

    void dropTableForgetsEverything()
    {
        test::TempDataDir dir;
        SettingsStore store(dir.file("vorda.db"));
        store.SetValue("Tesmo_BACKUP_NAME_nightly", "IDC_CNSB_NAME", "nightly");
        store.SetValue("Tesmo_BACKUP_NAME_nightly", "IDC_CNSB_DESC", "d");
        store.SetValue("Tesmo_other", "x", "kept");
        store.DropTable("Tesmo_BACKUP_NAME_nightly");
        QVERIFY(!store.HasTable("Tesmo_BACKUP_NAME_nightly"));
        QCOMPARE(store.GetValue("Tesmo_BACKUP_NAME_nightly", "IDC_CNSB_NAME"), std::string());
        QCOMPARE(store.GetValue("Tesmo_other", "x"), std::string("kept"));
        store.DropTable("Tesmo_BACKUP_NAME_nightly"); // a missing table is no error
        store.SetValue("Tesmo_BACKUP_NAME_nightly", "IDC_CNSB_DESC", "new");
        QCOMPARE(store.GetValue("Tesmo_BACKUP_NAME_nightly", "IDC_CNSB_DESC"), std::string("new"));
        QCOMPARE(store.GetValue("Tesmo_BACKUP_NAME_nightly", "IDC_CNSB_NAME"), std::string());
    }

    void databaseFileIsPrivate()
    {
        test::TempDataDir dir;
        SettingsStore store(dir.file("vorda.db"));
        store.SetValue("T", "password", "secret");
        struct stat st {};
        QCOMPARE(::stat(dir.file("vorda.db").c_str(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0600u);
    }

    void failuresAreSilent()
    {
        test::TempDataDir dir;
        // A file that is not a database.
        test::WriteFile(dir.file("vorda.db"), std::string(5000, 'j') + "not sqlite");
        SettingsStore junk(dir.file("vorda.db"));
        QVERIFY(!junk.SetValue("T", "k", "v"));
        QCOMPARE(junk.GetValue("T", "k"), std::string());
        QVERIFY(!junk.DropTable("T"));
        // A directory that does not exist.
        SettingsStore missing(dir.file("no/such/dir/vorda.db"));
        QVERIFY(!missing.SetValue("T", "k", "v"));
        QCOMPARE(missing.GetValue("T", "k"), std::string());
        QVERIFY(!test::FileExists(dir.file("no")));
    }

    // Every write that does not reach the file says so, with the reason;
    // the rows stored before stay as they were, and the start-up check
    // tells a damaged or locked file from a sound one.
    void failedWritesSayWhy_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("dropFails"); // 1 fails, 0 succeeds, -1 not looked at
        QTest::addColumn<int>("health");
        QTest::newRow("not a database") << "junk" << "file is not a database" << 1 << int(StoreHealth::Damaged);
        QTest::newRow("folder missing") << "nofolder" << "No such file or directory" << 0 << int(StoreHealth::Sound);
        QTest::newRow("a folder in its place") << "folder" << "Is a directory" << 1 << int(StoreHealth::Unreadable);
        QTest::newRow("locked by another program") << "locked" << "database is locked" << 1 << int(StoreHealth::Locked);
        QTest::newRow("disk full") << "full" << "No space left on device" << -1 << int(StoreHealth::Sound);
        QTest::newRow("read-only folder") << "readonly" << "Read-only file system" << 1 << int(StoreHealth::Sound);
    }

    void failedWritesSayWhy()
    {
        QFETCH(QString, situation);
        QFETCH(QString, reason);
        QFETCH(int, dropFails);
        QFETCH(int, health);
        test::TempDataDir dir;
        test::TinyMount mount(96);
        const bool mounted = situation == "full" || situation == "readonly";
        if (mounted)
            REQUIRE_TINY_MOUNT(mount);
        const std::string path = situation == "nofolder" ? dir.file("no/such/vorda.db")
            : mounted                                     ? mount.file("vorda.db")
                                                          : dir.file("vorda.db");
        SettingsStore store(path);
        if (situation != "nofolder" && situation != "folder")
            QVERIFY(store.SetValues("T", {{"k", "before"}, {"other", "x"}}));
        if (situation == "junk")
            test::WriteFile(path, std::string(5000, 'j') + "not sqlite");
        if (situation == "folder")
            QCOMPARE(::mkdir(path.c_str(), 0700), 0);
        sqlite3* holder = nullptr;
        if (situation == "locked") {
            QCOMPARE(sqlite3_open(path.c_str(), &holder), SQLITE_OK);
            QCOMPARE(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
            store.SetBusyTimeout(0);
        }
        if (situation == "full")
            mount.Fill();
        if (situation == "readonly")
            QVERIFY(mount.SetReadOnly(true));

        const std::string big(200000, 'v');
        const StoreStatus one = store.SetValue("T", "k", big);
        QVERIFY(!one);
        QVERIFY2(QString::fromStdString(one.error).contains(reason), one.error.c_str());
        const StoreStatus many = store.SetValues("T", {{"k", "after"}, {"other", big}});
        QVERIFY(!many);
        QVERIFY2(QString::fromStdString(many.error).contains(reason), many.error.c_str());
        if (dropFails >= 0)
            QCOMPARE(!store.DropTable("T"), dropFails == 1);

        const auto started = std::chrono::steady_clock::now();
        const StoreCheck check = store.Check(300);
        QCOMPARE(int(check.health), health);
        QCOMPARE(check.reason.empty(), health == int(StoreHealth::Sound));
        if (holder) {
            // The check waited for the lock, and no longer than it was told.
            const auto waited = std::chrono::steady_clock::now() - started;
            QVERIFY(waited >= std::chrono::milliseconds(250) && waited < std::chrono::seconds(3));
            sqlite3_close(holder);
        }
        if (situation == "readonly")
            QVERIFY(mount.SetReadOnly(false));
        if (situation == "junk" || situation == "folder" || situation == "nofolder")
            return;
        // What was stored before is whole: neither failed write touched it.
        QCOMPARE(store.GetValue("T", "k"), std::string("before"));
        QCOMPARE(store.GetValue("T", "other"), std::string("x"));
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
