// The files a deleted backup leaves: which are its own, and the names they
// are set aside under.
#include "TestSupport.h"
#include "core/dump/BackupFiles.h"
#include "core/store/AtomicFile.h"

#include <QTest>

#include <algorithm>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using Names = std::vector<std::string>;

class TestBackupFiles : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        tzset();
    }

    // Its file, the files named after it and its older copies are the
    // backup's; another backup's, its lock file, a running backup's temporary
    // file and a folder are not. A
    // stale temporary file goes with either answer; a set-aside name that is
    // taken gets a number.
    void aBackupsFilesAreDeletedOrSetAside_data()
    {
        QTest::addColumn<bool>("setAside");
        QTest::newRow("deleted") << false;
        QTest::newRow("set aside") << true;
    }

    void aBackupsFilesAreDeletedOrSetAside()
    {
        QFETCH(bool, setAside);
        test::TempDataDir dir;
        const std::string d = dir.path();
        for (const char* name : {"backup_shop.tbk", "backup_shop.tbk.1", "backup_shop.20261201-020000.tbk",
                                 "backup_shop.2026.tbk", "backup_shop.lck", "backup_shop2.tbk", "backup_sho.tbk",
                                 "xbackup_shop.tbk", "deleted_20261208_101500_backup_shop.tbk"})
            test::WriteFile(d + name, name);
        QVERIFY(mkdir((d + "backup_shop.tbk.d").c_str(), 0700) == 0);
        const std::string stale = AtomicFile::TempPrefix(d + "backup_shop.tbk") + "stale1";
        const std::string running = AtomicFile::TempPrefix(d + "backup_shop.tbk") + "write1";
        test::WriteFile(stale, "stale");
        test::WriteFile(running, "running");
        const int held = open(running.c_str(), O_RDONLY);
        QVERIFY(held >= 0 && flock(held, LOCK_EX) == 0);

        QCOMPARE(BackupFileNames(d, "shop"),
                 Names({"backup_shop.20261201-020000.tbk", "backup_shop.tbk", "backup_shop.tbk.1"}));
        QCOMPARE(BackupFileNames(d, "none"), Names {});
        if (setAside) {
            bool ok = false;
            const Names moved = SetAsideBackupFiles(d, "shop", 1796724900, ok); // 2026-12-08 10:15:00 UTC
            QVERIFY(ok);
            QCOMPARE(moved, Names({"deleted_20261208_101500_backup_shop.20261201-020000.tbk",
                                   "deleted_20261208_101500_2_backup_shop.tbk",
                                   "deleted_20261208_101500_backup_shop.tbk.1"}));
            QCOMPARE(test::ReadFile(d + moved[1]), std::string("backup_shop.tbk"));
            QCOMPARE(test::ReadFile(d + moved[2]), std::string("backup_shop.tbk.1"));
        } else {
            QVERIFY(DeleteBackupFiles(d, "shop"));
        }
        const std::string runningName = running.substr(d.size());
        Names left = {"backup_sho.tbk", "backup_shop.2026.tbk", "backup_shop.lck", "backup_shop.tbk.d",
                      "backup_shop2.tbk", runningName,
                      "deleted_20261208_101500_backup_shop.tbk", "xbackup_shop.tbk"};
        if (setAside)
            left.insert(left.end(), {"deleted_20261208_101500_backup_shop.20261201-020000.tbk",
                                     "deleted_20261208_101500_2_backup_shop.tbk",
                                     "deleted_20261208_101500_backup_shop.tbk.1"});
        std::sort(left.begin(), left.end());
        QCOMPARE(test::FilesIn(d), left);
        close(held);
    }
};

QTEST_GUILESS_MAIN(TestBackupFiles)
#include "tst_backup_files.moc"
