#include "TestSupport.h"
#include "core/dump/BackupCopies.h"
#include "core/dump/DumpFormat.h"

#include <QTest>

#include <sys/stat.h>
#include <utime.h>

namespace {

// A backup file whose header carries `timeStamp` (long form).
std::string FileOf(const std::string& timeStamp, const std::string& body = "row\r\n")
{
    return "--\r\n-- Backup Name: shop\r\n-- Backup TimeStamp: " + timeStamp + "\r\n--\r\n" + body;
}

} // namespace

// The older copies of a backup file: their names, their order, and how a
// completed run keeps the file it replaces.
class TestBackupCopies : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        tzset();
    }

    // A copy is named by the start time its header carries (12 AM is hour
    // 0, 12 PM hour 12), or by the file's time when the header has none.
    void copiesAreNamedByTheirRunsStartTime_data()
    {
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("stamp");
        QTest::newRow("morning") << "Monday, December 07, 2026 - 02:14:35 AM" << "20261207-021435";
        QTest::newRow("afternoon") << "Friday, January 01, 2027 - 01:05:09 PM" << "20270101-130509";
        QTest::newRow("midnight") << "Tuesday, December 08, 2026 - 12:00:00 AM" << "20261208-000000";
        QTest::newRow("noon") << "Tuesday, December 08, 2026 - 12:30:00 PM" << "20261208-123000";
        QTest::newRow("no time stamp") << "" << "20261207-031500";
        QTest::newRow("damaged time stamp") << "Monday, Decembre 07, 2026 - 02:14:35 AM" << "20261207-031500";
    }
    void copiesAreNamedByTheirRunsStartTime()
    {
        QFETCH(QString, header);
        QFETCH(QString, stamp);
        test::TempDataDir dir;
        const std::string path = BackupFilePath(dir.path(), "shop");
        test::WriteFile(path, header.isEmpty() ? std::string("no header at all\r\n") : FileOf(header.toStdString()));
        const utimbuf times {1796613300, 1796613300}; // 2026-12-07 03:15:00 UTC
        QCOMPARE(::utime(path.c_str(), &times), 0);
        QCOMPARE(RunStampOf(path), stamp.toStdString());
    }

    // The files of a backup: the current one first, then its copies newest
    // first; another backup's files, near-miss names and folders are not
    // among them, and only its own files count as its files.
    void aBackupsFilesAreListedNewestFirst()
    {
        test::TempDataDir dir;
        const std::string d = dir.path();
        for (const char* name : {"backup_shop.tbk", "backup_shop.20261207-021435.tbk", "backup_shop.20261209-000000.tbk",
                                 "backup_shop.20261208-120000.tbk", "backup_shop_2.20261210-000000.tbk",
                                 "backup_shop.2026120-0214350.tbk", "backup_shop.20261207-021435.tbk.tmpAbCdEf",
                                 "backup_shop.lck"})
            test::WriteFile(d + name, "x");
        QCOMPARE(::mkdir((d + "backup_shop.20261211-000000.tbk").c_str(), 0700), 0);
        std::vector<std::string> listed;
        for (const BackupFileEntry& e : ListBackupFiles(d, "shop"))
            listed.push_back(e.path.substr(d.size()) + (e.IsCurrent() ? " current" : " " + e.stamp));
        QCOMPARE(listed, (std::vector<std::string> {"backup_shop.tbk current",
                                                    "backup_shop.20261209-000000.tbk 20261209-000000",
                                                    "backup_shop.20261208-120000.tbk 20261208-120000",
                                                    "backup_shop.20261207-021435.tbk 20261207-021435"}));
        QVERIFY(IsBackupFileOf(d, "shop", d + "backup_shop.20261208-120000.tbk"));
        QVERIFY(IsBackupFileOf(d, "shop", d + "backup_shop.tbk"));
        for (const char* stranger : {"backup_shop_2.20261210-000000.tbk", "backup_shop.2026120-0214350.tbk",
                                     "backup_shop.20261207-021435.tbk.tmpAbCdEf", "../backup_shop.tbk", "vorda.db"})
            QVERIFY2(!IsBackupFileOf(d, "shop", d + stranger), stranger);
        QCOMPARE(StampText("20261208-120000", "%a, %b %d, %Y - %I:%M:%S %p"), std::string("Tue, Dec 08, 2026 - 12:00:00 PM"));
        QCOMPARE(StampText("20261332-000000", "%Y"), std::string("20261332-000000"));
    }

    // A copy of the same second is replaced by the newer file, and Undo
    // takes back a copy whose new file never came; Prune keeps the newest.
    // (Runs that keep copies: tst_older_copies.)
    void theRotationReplacesAndTakesBack()
    {
        test::TempDataDir dir;
        const std::string d = dir.path();
        const std::string current = BackupFilePath(d, "shop");
        BackupRotation rotation(d, "shop");
        QVERIFY(!rotation.KeepCurrent()); // nothing to keep yet
        test::WriteFile(current, FileOf("Monday, December 07, 2026 - 05:00:00 AM"));
        test::WriteFile(d + "backup_shop.20261207-050000.tbk", "older, same second");
        test::WriteFile(d + "backup_shop.20261207-040000.tbk", "older");
        QVERIFY(rotation.KeepCurrent());
        QCOMPARE(test::ReadFile(d + "backup_shop.20261207-050000.tbk"), test::ReadFile(current));
        rotation.Undo();
        QCOMPARE(test::FilesIn(d), (std::vector<std::string> {"backup_shop.20261207-040000.tbk", "backup_shop.tbk"}));
        QCOMPARE(rotation.Prune(0), 1);
        QCOMPARE(test::FilesIn(d), (std::vector<std::string> {"backup_shop.tbk"}));
    }
};

QTEST_GUILESS_MAIN(TestBackupCopies)
#include "tst_backupcopies.moc"
