#include "EngineTestSupport.h"
#include "core/dump/BackupCopies.h"
#include "core/restore/RestoreRun.h"

#include <QTest>

using test::Utc;

// Completed runs keep the file they replace as an older copy; the newest
// copies up to the setting stay; failed and cancelled runs change no file;
// a copy can be restored.
class TestOlderCopies : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        tzset();
    }

    void completedRunsKeepTheFilesTheyReplace()
    {
        REQUIRE_TEST_SERVER();
        test::ScratchDatabase db("vorda_copies");
        db.exec("CREATE TABLE t (id int NOT NULL PRIMARY KEY, v varchar(20))");
        test::RunFixture f;
        f.connection("c", db.params());
        f.backup("b", "c", "t");
        // Each run writes one more row, so every file is told by its rows.
        std::vector<std::string> written;
        for (int hour = 1; hour <= 4; ++hour) {
            db.exec("INSERT INTO t VALUES (" + std::to_string(hour) + ", 'v')");
            f.now = Utc(2026, 12, 7, hour, 0);
            QCOMPARE(f.run("b").status, RunStatus::Completed);
            written.push_back(f.file("b"));
        }
        std::vector<std::string> copies;
        for (const BackupFileEntry& e : ListBackupCopies(f.dir.path(), "b"))
            copies.push_back(e.stamp);
        // The default keeps two: those of 03:00 and 02:00, each as written.
        QCOMPARE(copies, (std::vector<std::string> {"20261207-030000", "20261207-020000"}));
        QCOMPARE(test::ReadFile(BackupCopyPath(f.dir.path(), "b", "20261207-030000")), written[2]);
        QCOMPARE(test::ReadFile(BackupCopyPath(f.dir.path(), "b", "20261207-020000")), written[1]);

        // A failed run and a cancelled one change no file.
        const auto filesNow = test::FilesIn(f.dir.path());
        db.exec("RENAME TABLE t TO t_away");
        f.now = Utc(2026, 12, 7, 5, 0);
        QCOMPARE(f.run("b").status, RunStatus::Failed);
        db.exec("RENAME TABLE t_away TO t");
        f.ui.onPump = [&f] { f.state.backupCancelRequested = true; };
        QCOMPARE(f.run("b").status, RunStatus::Cancelled);
        f.ui.onPump = nullptr;
        QCOMPARE(test::FilesIn(f.dir.path()), filesNow);
        QCOMPARE(f.file("b"), written[3]);

        // Kept copies follow the setting at the next completed run: none.
        f.state.config.WriteKeepCopies(0);
        f.now = Utc(2026, 12, 7, 6, 0);
        QCOMPARE(f.run("b").status, RunStatus::Completed);
        QVERIFY(ListBackupCopies(f.dir.path(), "b").empty());

        // An older copy restores its own rows, and the entries name it.
        f.state.config.WriteKeepCopies(3);
        db.exec("INSERT INTO t VALUES (9, 'v')");
        f.now = Utc(2026, 12, 7, 7, 0);
        QCOMPARE(f.run("b").status, RunStatus::Completed);
        f.state.config.WriteRestoreMode(RestoreMode::Indirect);
        f.state.log.Clear();
        RestoreRun restore(f.state, f.ui);
        const std::string copy = BackupCopyPath(f.dir.path(), "b", "20261207-060000");
        restore.SetFile(copy);
        QCOMPARE(restore.Run("b").outcome, RestoreOutcome::Complete);
        QCOMPARE(db.scalar("SELECT GROUP_CONCAT(id ORDER BY id) FROM VORDA_t"), std::string("1,2,3,4"));
        const std::string named = "b - Copy: backup_b.20261207-060000.tbk";
        QCOMPARE(f.log(), (std::vector<std::string> {"S Restore Started: " + named, "S Restore Successful: " + named}));

        // A file that is not one of the backup's own is not restored.
        test::WriteFile(f.dir.file("elsewhere.tbk"), test::ReadFile(copy));
        RestoreRun stranger(f.state, f.ui);
        stranger.SetFile(f.dir.file("elsewhere.tbk"));
        QCOMPARE(stranger.Run("b").outcome, RestoreOutcome::Failed);
        QCOMPARE(f.log().back(), std::string("S Restore Failed: b - Copy: elsewhere.tbk - File Error"));
    }

    // Switching the compression setting: a completed run writes the form
    // asked for, the previous current file of either form becomes an older
    // copy in its own form, a backup keeps one current file, and each copy
    // restores its own rows.
    void switchingTheFormKeepsOlderCopiesReadable()
    {
        REQUIRE_TEST_SERVER();
        test::ScratchDatabase db("vorda_forms");
        db.exec("CREATE TABLE t (id int NOT NULL PRIMARY KEY, v varchar(20))");
        test::RunFixture f;
        f.connection("c", db.params());
        f.backup("b", "c", "t");
        f.state.config.WriteRestoreMode(RestoreMode::Indirect);
        const std::string plain = BackupFilePath(f.dir.path(), "b", false);
        const std::string compressed = BackupFilePath(f.dir.path(), "b", true);
        const struct {
            int hour;
            bool compress;
            int keep;
            std::vector<std::string> copies; // newest first
        } steps[] = {
            {1, false, 2, {}},
            {2, true, 2, {"backup_b.20261207-010000.tbk"}},
            {3, true, 2, {"backup_b.20261207-020000.tbk.zst", "backup_b.20261207-010000.tbk"}},
            {4, false, 2, {"backup_b.20261207-030000.tbk.zst", "backup_b.20261207-020000.tbk.zst"}},
            {5, true, 0, {}},
        };
        for (const auto& step : steps) {
            db.exec("INSERT INTO t VALUES (" + std::to_string(step.hour) + ", 'v')");
            f.state.config.WriteCompress(step.compress);
            f.state.config.WriteKeepCopies(step.keep);
            f.now = Utc(2026, 12, 7, step.hour, 0);
            QCOMPARE(f.run("b").status, RunStatus::Completed);
            QCOMPARE(test::FileExists(compressed), step.compress);
            QCOMPARE(test::FileExists(plain), !step.compress);
            QCOMPARE(f.path("b"), step.compress ? compressed : plain);
            std::vector<std::string> copies;
            for (const BackupFileEntry& e : ListBackupCopies(f.dir.path(), "b"))
                copies.push_back(e.path.substr(f.dir.path().size()));
            QCOMPARE(copies, step.copies);
            // The current file and every copy restore the rows of their run.
            for (const BackupFileEntry& e : ListBackupFiles(f.dir.path(), "b")) {
                RestoreRun restore(f.state, f.ui);
                restore.SetFile(e.IsCurrent() ? std::string() : e.path);
                QCOMPARE(restore.Run("b").outcome, RestoreOutcome::Complete);
                const int rows = e.IsCurrent() ? step.hour : std::stoi(e.stamp.substr(9, 2));
                QCOMPARE(db.scalar("SELECT COUNT(*) FROM VORDA_t"), std::to_string(rows));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestOlderCopies)
#include "tst_older_copies.moc"
