#include "HardData.h"
#include "RestoreTestSupport.h"
#include "core/engine/BackupRun.h"
#include "core/restore/RestoreRun.h"
#include "core/store/Definitions.h"

#include <QTest>

using test::RecordingRunUi;
using test::RestoreFixture;
using Tables = std::vector<std::pair<std::string, std::string>>;
using Rows = std::vector<std::string>;

namespace {

// Backs up `tables` of the fixture's database with the backup run, as the
// Execute page runs it.
bool Backup(RestoreFixture& f, const std::string& tables)
{
    BackupDef backup = BackupDef::Load(f.state.store, f.name);
    backup.tables = SplitBarList(tables);
    backup.Save(f.state.store);
    SilentRunUi ui;
    const BackupOutcome out = BackupRun(f.state, ui).Run(f.name, RunKind::Manual, f.state.clock());
    return out.status == RunStatus::Completed;
}

RestoreOutcome Restore(RestoreFixture& f, RestoreMode mode, bool safeCopy, RecordingRunUi& ui)
{
    f.SetMode(mode, safeCopy);
    return RestoreRun(f.state, ui).Run(f.name).outcome;
}

std::map<std::string, Rows> Snapshot(test::ScratchDatabase& db, const Tables& tables, const std::string& prefix = {})
{
    std::map<std::string, Rows> rows;
    for (const auto& [table, order] : tables)
        rows[table] = test::TableRows(db, prefix + table, order);
    return rows;
}

// How the server describes the columns: name, type, nullability, default
// (quoted literal or expression) and extra, in column order.
Rows Columns(test::ScratchDatabase& db, const std::string& table)
{
    Rows columns;
    MysqlConnection& conn = db.sql();
    if (!conn.Query("SELECT CONCAT_WS('|', COLUMN_NAME, COLUMN_TYPE, IS_NULLABLE, IFNULL(COLUMN_DEFAULT, '(none)'), "
                    "EXTRA) FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = '"
                    + conn.Escape(table) + "' ORDER BY ORDINAL_POSITION"))
        return {"query failed: " + conn.ErrorText()};
    MysqlResult result = conn.StoreResult();
    while (MYSQL_ROW row = result.FetchRow())
        columns.push_back(row[0]);
    return columns;
}

} // namespace

class TestRoundTrip : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { REQUIRE_TEST_SERVER(); }

    void hardDataComesBackBesideTheOriginals()
    {
        RestoreFixture f("vorda_rt_indirect");
        const Tables tables = test::CreateHardTables(f.db);
        QVERIFY(Backup(f, "hard|order|my table|a-b"));
        const auto original = Snapshot(f.db, tables);

        RecordingRunUi ui;
        QCOMPARE(Restore(f, RestoreMode::Indirect, false, ui), RestoreOutcome::Complete);
        QVERIFY(ui.messages.empty());
        for (const auto& [table, order] : tables) {
            QVERIFY2(!original.at(table).empty(), table.c_str());
            QCOMPARE(test::TableRows(f.db, "VORDA_" + table, order), original.at(table));
            QCOMPARE(Columns(f.db, "VORDA_" + table), Columns(f.db, table));
        }
        QCOMPARE(Snapshot(f.db, tables), original);
    }

    void absoluteModeBringsTheBackupBackAndKeepsTheOldRows()
    {
        RestoreFixture f("vorda_rt_absolute");
        const Tables tables = test::CreateHardTables(f.db);
        QVERIFY(Backup(f, "hard|order|my table|a-b"));
        const auto backedUp = Snapshot(f.db, tables);

        // The tables change after the backup.
        f.db.exec("UPDATE hard SET s = 'changed', b = X'0102' WHERE id = 3");
        f.db.exec("DELETE FROM `order` WHERE `select` = 2");
        f.db.exec("INSERT INTO `my table` VALUES (9, 'z')");
        f.db.exec("UPDATE `a-b` SET body = 'changed', ts = '2030-01-01 00:00:00' WHERE id = 1");
        const auto changed = Snapshot(f.db, tables);
        QVERIFY(changed != backedUp);

        RecordingRunUi ui;
        QCOMPARE(Restore(f, RestoreMode::Absolute, true, ui), RestoreOutcome::Complete);
        QVERIFY(ui.messages.empty());
        QCOMPARE(Snapshot(f.db, tables), backedUp);
        QCOMPARE(Snapshot(f.db, tables, "SAFE_COPY_"), changed);

        // Once more without safe copies: the same data, and the copies of the
        // first restore are left alone.
        RecordingRunUi again;
        QCOMPARE(Restore(f, RestoreMode::Absolute, false, again), RestoreOutcome::Complete);
        QCOMPARE(Snapshot(f.db, tables), backedUp);
        QCOMPARE(Snapshot(f.db, tables, "SAFE_COPY_"), changed);
    }

    void aReferencedTableOfManyRowsIsReplacedWhole()
    {
        RestoreFixture f("vorda_rt_fk");
        // More rows than one commit batch holds, so the table is written in several.
        const int rows = 2 * RestoreRun::kRowsPerCommit + 345;
        f.db.exec("CREATE TABLE parent (id int NOT NULL PRIMARY KEY, v varchar(20) NULL) ENGINE=InnoDB");
        f.db.exec("INSERT INTO parent SELECT seq, IF(seq % 7 = 0, NULL, CONCAT('p', seq)) FROM seq_1_to_"
                  + std::to_string(rows));
        f.db.exec("CREATE TABLE child (id int NOT NULL PRIMARY KEY, parent_id int NOT NULL, "
                  "FOREIGN KEY (parent_id) REFERENCES parent (id)) ENGINE=InnoDB");
        f.db.exec("INSERT INTO child SELECT seq, seq * 3 FROM seq_1_to_100");
        QVERIFY(Backup(f, "parent"));
        const Rows original = test::TableRows(f.db, "parent", "id");
        f.db.exec("UPDATE parent SET v = 'later' WHERE id <= 10");

        RecordingRunUi ui;
        QCOMPARE(Restore(f, RestoreMode::Absolute, false, ui), RestoreOutcome::Complete);
        QVERIFY(ui.messages.empty());
        QCOMPARE(test::TableRows(f.db, "parent", "id"), original);
        QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM child JOIN parent ON parent.id = child.parent_id"),
                 std::string("100"));
        QCOMPARE(ui.bars[RunBar::CurrentTable].front().maximum, rows);
        QCOMPARE(ui.Texts(RunField::TableMembers)[1], std::to_string(rows));
    }
};

QTEST_GUILESS_MAIN(TestRoundTrip)
#include "tst_roundtrip.moc"
