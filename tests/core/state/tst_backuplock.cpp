#include "TestSupport.h"
#include "core/state/BackupLock.h"

#include <QTest>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

// The per-backup lock that keeps runs of one backup apart across processes.
class TestBackupLock : public QObject {
    Q_OBJECT

private slots:
    // A run in another process (a child here) holds the lock: a second run
    // of the same backup is refused and learns what holds it and which
    // process; another backup is free; the lock dies with its process.
    void aHeldLockRefusesAndSaysWhoHoldsIt_data()
    {
        QTest::addColumn<int>("use");
        QTest::addColumn<int>("refusal");
        QTest::newRow("backup") << int(BackupLock::Use::Backup) << int(BackupLock::Result::HeldByBackup);
        QTest::newRow("restore") << int(BackupLock::Use::Restore) << int(BackupLock::Result::HeldByRestore);
    }
    void aHeldLockRefusesAndSaysWhoHoldsIt()
    {
        QFETCH(int, use);
        QFETCH(int, refusal);
        test::TempDataDir dir;
        int ready[2];
        QCOMPARE(::pipe(ready), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            BackupLock lock;
            const char ok = lock.Acquire(dir.path(), "shop", BackupLock::Use(use)) == BackupLock::Result::Acquired ? 'y' : 'n';
            [[maybe_unused]] ssize_t n = ::write(ready[1], &ok, 1);
            ::pause();
            ::_exit(0);
        }
        char ok = 0;
        QCOMPARE(::read(ready[0], &ok, 1), ssize_t(1));
        QCOMPARE(ok, 'y');
        for (const BackupLock::Use mine : {BackupLock::Use::Backup, BackupLock::Use::Restore}) {
            BackupLock second;
            QCOMPARE(int(second.Acquire(dir.path(), "shop", mine)), refusal);
            QVERIFY(!second.Held());
            QCOMPARE(second.HolderPid(), long(child));
        }
        BackupLock other;
        QCOMPARE(other.Acquire(dir.path(), "shop2", BackupLock::Use::Backup), BackupLock::Result::Acquired);

        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        BackupLock after;
        QCOMPARE(after.Acquire(dir.path(), "shop", BackupLock::Use::Backup), BackupLock::Result::Acquired);
        QCOMPARE(test::ReadFile(BackupLock::LockPath(dir.path(), "shop")), "backup " + std::to_string(::getpid()) + "\n");
        // Released, the lock is free again and says nothing of a holder.
        after.Release();
        QCOMPARE(test::ReadFile(BackupLock::LockPath(dir.path(), "shop")), std::string());
        BackupLock again;
        QCOMPARE(again.Acquire(dir.path(), "shop", BackupLock::Use::Restore), BackupLock::Result::Acquired);
        ::close(ready[0]);
        ::close(ready[1]);
    }

    // Only names that pass the name rule make a lock file.
    void onlySoundNamesAreLocked()
    {
        test::TempDataDir dir;
        for (const char* name : {"", "../shop", "a b", "x.y"}) {
            BackupLock lock;
            QCOMPARE(lock.Acquire(dir.path(), name, BackupLock::Use::Backup), BackupLock::Result::Failed);
        }
        QVERIFY(test::FilesIn(dir.path()).empty());
    }
};

QTEST_GUILESS_MAIN(TestBackupLock)
#include "tst_backuplock.moc"
