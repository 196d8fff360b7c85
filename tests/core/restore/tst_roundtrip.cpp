#include "HardData.h"
#include "RestoreTestSupport.h"
#include "core/engine/BackupRun.h"
#include "core/restore/RestoreRun.h"
#include "core/store/Definitions.h"

#include <QFile>
#include <QTest>

#include <regex>

#include <unistd.h>

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

// Whether the restores below send tables on a second connection: every
// table with rows but the last, however small, when on; none when off.
enum class Connections { One, Two };
Connections gConnections = Connections::One;
// Rows the last restore sent on the second connection.
long long gSecondRows = 0;

RestoreOutcome Restore(RestoreFixture& f, RestoreMode mode, bool safeCopy, RecordingRunUi& ui)
{
    f.SetMode(mode, safeCopy);
    RestoreRun run(f.state, ui);
    run.SetSecondConnectionRows(gConnections == Connections::Two ? 1 : 0);
    const RestoreReport report = run.Run(f.name);
    gSecondRows = report.rowsOnSecondConnection;
    return report.outcome;
}

// After a restore: rows went on the second connection exactly when it was on.
bool UsedConnectionsAsAsked()
{
    return (gSecondRows > 0) == (gConnections == Connections::Two);
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

// Schemas a restore used to weaken, each with rows; `outside` is referenced
// by a foreign key but left out of the backup, `v_parent` is a view (which
// no backup takes).
const std::vector<std::string> kHardSchemas = {
    "CREATE TABLE outside (id int PRIMARY KEY)",
    "CREATE TABLE parent (id int NOT NULL AUTO_INCREMENT PRIMARY KEY, name varchar(40)) ENGINE=InnoDB",
    "CREATE TABLE uniq2 (a int NOT NULL, b varchar(20) NOT NULL, c int, UNIQUE KEY u_ab (a, b))",
    "CREATE TABLE key3 (id int PRIMARY KEY, a varchar(200), b int, c text, KEY k_abc (a(10), b, c(20)))",
    "CREATE TABLE named_idx (id int PRIMARY KEY, k int, INDEX k_1 (k))",
    "CREATE TABLE child (id int PRIMARY KEY, parent_id int, outside_id int, "
    "CONSTRAINT fk_parent FOREIGN KEY (parent_id) REFERENCES parent (id) ON DELETE CASCADE, "
    "CONSTRAINT fk_outside FOREIGN KEY (outside_id) REFERENCES outside (id))",
    "CREATE TABLE checked (id int PRIMARY KEY, qty int CHECK (qty >= 0), price decimal(8,2), "
    "CONSTRAINT price_positive CHECK (price > 0 AND price < 1000.5))",
    "CREATE TABLE generated (id int PRIMARY KEY, a int, b int, s int AS (a + b) STORED, "
    "v varchar(30) AS (concat(a, '-', 'x''y')) VIRTUAL)",
    "CREATE TABLE invisible (id int PRIMARY KEY, secret varchar(10) INVISIBLE DEFAULT 'hid')",
    "CREATE TABLE mixed_cs (id int PRIMARY KEY, l varchar(20), "
    "u varchar(20) CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_ci) DEFAULT CHARSET=latin1",
    "CREATE TABLE commented (id int PRIMARY KEY COMMENT 'the row''s id', "
    "note varchar(20) COMMENT 'a \"note\" -- /* */') COMMENT='Bob''s table'",
    "CREATE TABLE myisam_t (id int NOT NULL AUTO_INCREMENT, body text, PRIMARY KEY (id), "
    "FULLTEXT KEY ft_body (body)) ENGINE=MyISAM",
    "CREATE TABLE `we``ird` (`a``b` int PRIMARY KEY, `v` varchar(10))",
    "INSERT INTO outside VALUES (1), (2)",
    "INSERT INTO parent (name) VALUES ('p1'), ('p2'), (NULL)",
    "INSERT INTO uniq2 VALUES (1, 'a', NULL), (1, 'b', 2), (2, 'a', 3)",
    "INSERT INTO key3 VALUES (1, REPEAT('k', 50), 3, 'text'), (2, NULL, NULL, NULL)",
    "INSERT INTO named_idx VALUES (1, 10), (2, 10), (3, NULL)",
    "INSERT INTO child VALUES (1, 1, 1), (2, 3, NULL), (3, NULL, 2)",
    "INSERT INTO checked VALUES (1, 0, 1.50), (2, NULL, 999.99)",
    "INSERT INTO generated (id, a, b) VALUES (1, 1, 2), (2, NULL, 5)",
    "INSERT INTO invisible (id, secret) VALUES (1, 's1'), (2, NULL), (3, DEFAULT)",
    "INSERT INTO mixed_cs VALUES (1, 'Grüße', '😀 漢字'), (2, NULL, '')",
    "INSERT INTO commented VALUES (1, 'it''s')",
    "INSERT INTO myisam_t (body) VALUES ('hello world'), ('again')",
    "INSERT INTO `we``ird` VALUES (1, 'q`q')",
    "CREATE VIEW v_parent AS SELECT id, name FROM parent",
};
const char* kHardList = "parent|uniq2|key3|named_idx|child|checked|generated|invisible|mixed_cs|commented|myisam_t|"
                        "we`ird";

std::vector<std::string> HardTables()
{
    return {"parent",   "uniq2",     "key3",      "named_idx", "child",    "checked",
            "generated", "invisible", "mixed_cs", "commented", "myisam_t", "we`ird"};
}

// Every row, invisible columns included, in key order.
Rows AllRows(test::ScratchDatabase& db, const std::string& table, const std::string& like)
{
    const std::string columns = db.scalar(
        "SELECT GROUP_CONCAT(CONCAT('`', REPLACE(COLUMN_NAME, '`', '``'), '`') ORDER BY ORDINAL_POSITION) FROM "
        "information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = '"
        + db.sql().Escape(like) + "'");
    return test::QueryRows(db, "SELECT " + columns + " FROM " + QuoteIdentifier(table) + " ORDER BY 1");
}

// A definition as the server prints it, without its AUTO_INCREMENT counter
// and with the VORDA_ prefix taken off every name.
std::string Normalised(std::string definition)
{
    static const std::regex counter(" AUTO_INCREMENT=[0-9]+");
    definition = std::regex_replace(definition, counter, "");
    for (size_t at = definition.find("`VORDA_"); at != std::string::npos; at = definition.find("`VORDA_", at + 1))
        definition.erase(at + 1, 6);
    return definition;
}

} // namespace

Q_DECLARE_METATYPE(Connections)
Q_DECLARE_METATYPE(RestoreMode)

class TestRoundTrip : public QObject {
    Q_OBJECT

    // Both forms of the backup file, each restored on one connection and
    // on two.
    void forms()
    {
        QTest::addColumn<bool>("compress");
        QTest::addColumn<Connections>("connections");
        QTest::newRow("plain") << false << Connections::One;
        QTest::newRow("compressed") << true << Connections::One;
        QTest::newRow("plain, two connections") << false << Connections::Two;
        QTest::newRow("compressed, two connections") << true << Connections::Two;
    }
    void connections()
    {
        QTest::addColumn<Connections>("connections");
        QTest::newRow("one connection") << Connections::One;
        QTest::newRow("two connections") << Connections::Two;
    }

private slots:
    void initTestCase() { REQUIRE_TEST_SERVER(); }
    void init() { gConnections = Connections::One; }

    // Both forms of the backup file: plain and compressed.
    void hardDataComesBackBesideTheOriginals_data() { forms(); }
    void absoluteModeBringsTheBackupBackAndKeepsTheOldRows_data() { forms(); }

    void hardDataComesBackBesideTheOriginals()
    {
        QFETCH(bool, compress);
        QFETCH(Connections, connections);
        gConnections = connections;
        RestoreFixture f("vorda_rt_indirect");
        const Tables tables = test::CreateHardTables(f.db);
        f.state.config.WriteCompress(compress);
        QVERIFY(Backup(f, "hard|order|my table|a-b"));
        QCOMPARE(BackupFilePath(f.state.paths.dataDir, f.name).ends_with(".zst"), compress);
        const auto original = Snapshot(f.db, tables);

        RecordingRunUi ui;
        QCOMPARE(Restore(f, RestoreMode::Indirect, false, ui), RestoreOutcome::Complete);
        QVERIFY(ui.messages.empty());
        QVERIFY(UsedConnectionsAsAsked());
        for (const auto& [table, order] : tables) {
            QVERIFY2(!original.at(table).empty(), table.c_str());
            QCOMPARE(test::TableRows(f.db, "VORDA_" + table, order), original.at(table));
            QCOMPARE(Columns(f.db, "VORDA_" + table), Columns(f.db, table));
        }
        QCOMPARE(Snapshot(f.db, tables), original);
        auto checksum = [&f](const std::string& table) {
            const Rows r = test::QueryRows(f.db, "CHECKSUM TABLE `" + table + "`");
            return r.size() == 1 ? r[0].substr(r[0].find('|')) : std::string("none");
        };
        for (const auto& [table, order] : tables)
            QCOMPARE(checksum("VORDA_" + table), checksum(table));
    }

    void absoluteModeBringsTheBackupBackAndKeepsTheOldRows()
    {
        QFETCH(bool, compress);
        QFETCH(Connections, connections);
        gConnections = connections;
        RestoreFixture f("vorda_rt_absolute");
        const Tables tables = test::CreateHardTables(f.db);
        f.state.config.WriteCompress(compress);
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
        QVERIFY(UsedConnectionsAsAsked());
        QCOMPARE(Snapshot(f.db, tables), backedUp);
        QCOMPARE(Snapshot(f.db, tables, "SAFE_COPY_"), changed);

        // Once more without safe copies: the same data, and the copies of the
        // first restore are left alone.
        RecordingRunUi again;
        QCOMPARE(Restore(f, RestoreMode::Absolute, false, again), RestoreOutcome::Complete);
        QCOMPARE(Snapshot(f.db, tables), backedUp);
        QCOMPARE(Snapshot(f.db, tables, "SAFE_COPY_"), changed);
    }

    // Hard schemas backed up by the run come back with the server's own
    // definition, in both modes: SHOW CREATE TABLE of the restored table is
    // the original's but for the VORDA_ prefix (table, constraints and
    // references within the backup) and the AUTO_INCREMENT counter, and the
    // rows are the same, invisible columns included.
    void hardSchemasComeBackWhole_data() { connections(); }
    void hardSchemasComeBackWhole()
    {
        QFETCH(Connections, connections);
        gConnections = connections;
        RestoreFixture f("vorda_rt_schemas");
        for (const std::string& sql : kHardSchemas)
            f.db.exec(sql);
        // A view is not a table: a backup that names it fails before it
        // writes anything.
        QVERIFY(!Backup(f, std::string(kHardList) + "|v_parent"));
        QVERIFY(!QFile::exists(QString::fromStdString(f.DumpPath())));
        QVERIFY(Backup(f, kHardList));
        // The tally stored for the restore's progress counts the file's lines.
        const std::string file = test::ReadFile(f.DumpPath());
        QCOMPARE(BackupDef::Load(f.state.store, f.name).lineCount,
                 std::to_string(std::count(file.begin(), file.end(), '\n')));
        std::map<std::string, std::string> definitions;
        std::map<std::string, Rows> rows;
        for (const std::string& table : HardTables()) {
            definitions[table] = f.db.showCreate(table);
            rows[table] = AllRows(f.db, table, table);
            QVERIFY2(!rows[table].empty(), table.c_str());
        }

        RecordingRunUi indirect;
        QCOMPARE(Restore(f, RestoreMode::Indirect, false, indirect), RestoreOutcome::Complete);
        QVERIFY(indirect.messages.empty());
        QVERIFY(UsedConnectionsAsAsked());
        for (const std::string& table : HardTables()) {
            QCOMPARE(Normalised(f.db.showCreate("VORDA_" + table)), Normalised(definitions[table]));
            QCOMPARE(AllRows(f.db, "VORDA_" + table, table), rows[table]);
            QCOMPARE(f.db.showCreate(table), definitions[table]); // the original is left alone
        }
        // Within the backup the copy refers to the copy, outside it to the original.
        QVERIFY(f.db.showCreate("VORDA_child").find("REFERENCES `VORDA_parent` (`id`)") != std::string::npos);
        QVERIFY(f.db.showCreate("VORDA_child").find("REFERENCES `outside` (`id`)") != std::string::npos);
        QVERIFY(f.db.showCreate("VORDA_child").find("CONSTRAINT `VORDA_fk_parent`") != std::string::npos);
        QVERIFY(!test::TableExists(f.db, "VORDA_v_parent"));

        // Over the originals, after they changed.
        f.db.exec("UPDATE invisible SET secret = 'changed'");
        f.db.exec("DELETE FROM uniq2 WHERE a = 2");
        f.db.exec("INSERT INTO myisam_t (body) VALUES ('later')");
        QVERIFY(Backup(f, kHardList));
        f.db.exec("UPDATE invisible SET secret = 'later'");
        RecordingRunUi absolute;
        QCOMPARE(Restore(f, RestoreMode::Absolute, false, absolute), RestoreOutcome::Complete);
        QVERIFY(absolute.messages.empty());
        QVERIFY(UsedConnectionsAsAsked());
        for (const std::string& table : HardTables())
            QCOMPARE(Normalised(f.db.showCreate(table)), Normalised(definitions[table]));
        QCOMPARE(AllRows(f.db, "invisible", "invisible").front(), std::string("X'31'|X'6368616E676564'"));
        QCOMPARE(AllRows(f.db, "uniq2", "uniq2").size(), size_t(2));
        QCOMPARE(AllRows(f.db, "myisam_t", "myisam_t").size(), size_t(3));
        QCOMPARE(AllRows(f.db, "parent", "parent"), rows["parent"]);
        // The keys hold again: a duplicate of the two-column unique key is refused.
        QVERIFY(!f.db.sql().Query("INSERT INTO uniq2 VALUES (1, 'a', 9)"));
    }

    // Tables created without their plain keys, which come after the rows,
    // end as they were: the same definition (key names, kinds and order
    // included) and the same rows, in both modes.
    void keysAddedAfterTheRowsComeBackAsTheyWere_data() { connections(); }
    void keysAddedAfterTheRowsComeBackAsTheyWere()
    {
        QFETCH(Connections, connections);
        gConnections = connections;
        RestoreFixture f("vorda_rt_late_keys");
        const std::vector<std::pair<std::string, std::string>> schemas = {
            {"sb", "CREATE TABLE sb (id int NOT NULL AUTO_INCREMENT, k int NOT NULL DEFAULT 0, c char(120) NOT NULL, "
                   "PRIMARY KEY (id), KEY k_1 (k)) ENGINE=InnoDB"},
            {"many", "CREATE TABLE many (id int PRIMARY KEY, a int, b varchar(50), c text, d int NOT NULL, "
                     "KEY k_c (c(20)) COMMENT 'prefix, of c', UNIQUE KEY u_b (b), KEY k_ad (a, d DESC), "
                     "UNIQUE KEY u_ad (d, a), KEY k_ign (d) IGNORED, INDEX `k``q` (b, a)) ENGINE=InnoDB"},
            {"nopk", "CREATE TABLE nopk (a int, b int NOT NULL, KEY k_b (b), KEY k_a (a)) ENGINE=InnoDB"},
            {"counted", "CREATE TABLE counted (id int NOT NULL AUTO_INCREMENT, v int, KEY k_id (id), KEY k_v (v)) "
                        "ENGINE=InnoDB"},
        };
        for (const auto& [table, sql] : schemas)
            f.db.exec(sql);
        f.db.exec("INSERT INTO sb (k, c) SELECT seq % 97, MD5(seq) FROM seq_1_to_700");
        f.db.exec("INSERT INTO many (id, a, b, c, d) SELECT seq, IF(seq % 5 = 0, NULL, seq % 13), CONCAT('b', seq), "
                  "REPEAT(seq, 9), seq FROM seq_1_to_700");
        f.db.exec("INSERT INTO nopk SELECT IF(seq % 3 = 0, NULL, seq), seq % 11 FROM seq_1_to_700");
        f.db.exec("INSERT INTO counted (v) SELECT seq % 7 FROM seq_1_to_700");
        QVERIFY(Backup(f, "sb|many|nopk|counted"));
        std::map<std::string, std::string> definitions;
        std::map<std::string, Rows> rows;
        for (const auto& [table, sql] : schemas) {
            definitions[table] = f.db.showCreate(table);
            rows[table] = AllRows(f.db, table, table);
            QCOMPARE(rows[table].size(), size_t(700));
        }
        for (const RestoreMode mode : {RestoreMode::Indirect, RestoreMode::Absolute}) {
            const std::string prefix = mode == RestoreMode::Indirect ? "VORDA_" : "";
            f.SetMode(mode, false);
            RecordingRunUi ui;
            RestoreRun run(f.state, ui);
            run.SetKeyDeferralRows(1);
            run.SetSecondConnectionRows(gConnections == Connections::Two ? 1 : 0);
            const RestoreReport report = run.Run(f.name);
            QCOMPARE(report.outcome, RestoreOutcome::Complete);
            QCOMPARE(report.rowsOnSecondConnection > 0, gConnections == Connections::Two);
            QVERIFY(ui.messages.empty());
            for (const auto& [table, sql] : schemas) {
                QCOMPARE(Normalised(f.db.showCreate(prefix + table)), Normalised(definitions[table]));
                QCOMPARE(AllRows(f.db, prefix + table, table), rows[table]);
            }
        }

        // A row refused part-way: the rows before it stay in the Indirect
        // copy, and so do its keys.
        std::string file = test::ReadFile(f.DumpPath());
        const std::string fifth = "INSERT INTO `many` VALUES ('5', ";
        QVERIFY(file.find(fifth) != std::string::npos);
        file.replace(file.find(fifth), fifth.size(), "INSERT INTO `many` VALUES ('4', ");
        f.WriteDump(file);
        f.SetMode(RestoreMode::Indirect, false);
        RecordingRunUi ui;
        RestoreRun run(f.state, ui);
        run.SetKeyDeferralRows(1);
        run.SetSecondConnectionRows(gConnections == Connections::Two ? 1 : 0);
        QCOMPARE(run.Run(f.name).outcome, RestoreOutcome::Failed);
        QCOMPARE(AllRows(f.db, "VORDA_many", "many").size(), size_t(4));
        QCOMPARE(Normalised(f.db.showCreate("VORDA_many")), Normalised(definitions["many"]));
    }

    // A table whose rows go on the second connection ends the run as one on
    // the run's own connection would: a refused row fails it (Indirect keeps
    // the rows before it, with the table's keys; Absolute changes nothing),
    // and a stop cancels it (Absolute changes nothing).
    void aTableOnTheSecondConnectionFailsOrStopsTheRun_data()
    {
        QTest::addColumn<RestoreMode>("mode");
        QTest::addColumn<bool>("stop");
        QTest::newRow("refused row, Indirect") << RestoreMode::Indirect << false;
        QTest::newRow("refused row, Absolute") << RestoreMode::Absolute << false;
        QTest::newRow("stop, Indirect") << RestoreMode::Indirect << true;
        QTest::newRow("stop, Absolute") << RestoreMode::Absolute << true;
    }
    void aTableOnTheSecondConnectionFailsOrStopsTheRun()
    {
        QFETCH(RestoreMode, mode);
        QFETCH(bool, stop);
        RestoreFixture f("vorda_rt_second");
        for (const char* table : {"first", "second", "third"}) {
            f.db.exec(std::string("CREATE TABLE ") + table
                      + " (id int PRIMARY KEY, k int, v varchar(40), KEY k_k (k)) ENGINE=InnoDB");
            f.db.exec(std::string("INSERT INTO ") + table + " SELECT seq, seq % 17, MD5(seq) FROM seq_1_to_3000");
        }
        QVERIFY(Backup(f, "first|second|third"));
        const std::string definition = f.db.showCreate("first");
        if (!stop) {
            // The 100th row of the first table repeats the 99th's key.
            std::string file = test::ReadFile(f.DumpPath());
            const std::string hundredth = "INSERT INTO `first` VALUES ('100', ";
            QVERIFY(file.find(hundredth) != std::string::npos);
            file.replace(file.find(hundredth), hundredth.size(), "INSERT INTO `first` VALUES ('99', ");
            f.WriteDump(file);
        }
        f.db.exec("UPDATE second SET v = 'changed' WHERE id < 10");
        const std::vector<std::string> before = test::DatabaseSnapshot(f.db);

        f.SetMode(mode, false);
        RecordingRunUi ui;
        int tablesStarted = 0;
        ui.onText = [&](RunField field, const std::string&) {
            if (stop && field == RunField::TableMembers && ++tablesStarted == 2)
                f.state.restoreCancelRequested = true;
        };
        RestoreRun run(f.state, ui);
        run.SetKeyDeferralRows(1);
        run.SetSecondConnectionRows(1);
        const RestoreReport report = run.Run(f.name);
        QCOMPARE(report.outcome, stop ? RestoreOutcome::Cancelled : RestoreOutcome::Failed);
        QCOMPARE(ui.messages.size(), size_t(stop ? 0 : 1));
        if (!stop)
            QVERIFY(ui.messages[0].text.find("Insertion error.") != std::string::npos);
        if (mode == RestoreMode::Absolute) {
            QCOMPARE(test::DatabaseSnapshot(f.db), before);
        } else if (!stop) {
            QCOMPARE(report.rowsOnSecondConnection, 99);
            QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM VORDA_first"), std::string("99"));
            QCOMPARE(Normalised(f.db.showCreate("VORDA_first")), Normalised(definition));
        } else {
            // What the second connection sent before the stop is kept, keys included.
            QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM VORDA_first"), std::to_string(report.rowsOnSecondConnection));
            QCOMPARE(Normalised(f.db.showCreate("VORDA_first")), Normalised(definition));
        }
    }

    // A user the server lets have one connection only: the second
    // connection is refused, and every table goes on the first.
    void oneConnectionAllowedRestoresAllOnIt()
    {
        RestoreFixture f("vorda_rt_oneconn");
        for (const char* table : {"first", "second"}) {
            f.db.exec(std::string("CREATE TABLE ") + table + " (id int PRIMARY KEY, v varchar(40)) ENGINE=InnoDB");
            f.db.exec(std::string("INSERT INTO ") + table + " SELECT seq, MD5(seq) FROM seq_1_to_500");
        }
        QVERIFY(Backup(f, "first|second"));
        const ConnectionParams p = f.db.params();
        const std::string user = "vorda_one_" + std::to_string(::getpid());
        const std::string account = "'" + user + "'@'" + p.host + "'";
        f.db.exec("DROP USER IF EXISTS " + account);
        f.db.exec("CREATE USER " + account + " IDENTIFIED BY 'one-pw' WITH MAX_USER_CONNECTIONS 1");
        f.db.exec("GRANT ALL ON `" + p.database + "`.* TO " + account);
        ConnectionDef site = ConnectionDef::Load(f.state.store, "site");
        site.user = user;
        site.password = "one-pw";
        QVERIFY(site.Save(f.state.store).ok());

        f.SetMode(RestoreMode::Indirect, false);
        RecordingRunUi ui;
        RestoreRun run(f.state, ui);
        run.SetSecondConnectionRows(1);
        const RestoreReport report = run.Run(f.name);
        f.db.exec("DROP USER " + account);
        QCOMPARE(report.outcome, RestoreOutcome::Complete);
        QVERIFY(ui.messages.empty());
        QCOMPARE(report.rowsOnSecondConnection, 0LL);
        for (const char* table : {"first", "second"})
            QCOMPARE(AllRows(f.db, std::string("VORDA_") + table, table), AllRows(f.db, table, table));
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
