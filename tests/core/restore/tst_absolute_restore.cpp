// The Absolute restore is all or nothing: the file's tables are built under
// scratch names and swapped in with one RENAME TABLE. Before the swap
// nothing original changes, whatever goes wrong; after it, references and
// triggers are as they were and the originals are safe copies or gone.
#include "RestoreTestSupport.h"
#include "core/engine/BackupRun.h"
#include "core/restore/RestoreRun.h"
#include "core/store/Definitions.h"

#include <QTest>

using test::DumpHeaderLines;
using test::RecordingRunUi;
using test::RestoreFixture;
using Lines = std::vector<std::string>;

namespace {

Lines operator+(Lines a, const Lines& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A table's sections: its CREATE TABLE lines, then its rows (ids `from` on,
// one of them `repeat` times when given, as a duplicate key).
Lines Section(const std::string& table, const Lines& create, int rows, int from = 1, int repeat = 0)
{
    Lines lines = {"", "---", "--- Table structure for table `" + table + "`", "---", ""};
    lines = lines + create;
    if (rows > 0) {
        lines = lines
            + Lines {"", "---", "--- Dumping data for table `" + table + "` - Total rows: " + std::to_string(rows),
                     "---", ""};
        for (int i = 0; i < rows; ++i) {
            const int id = repeat && i == repeat ? from + i - 1 : from + i;
            lines.push_back("INSERT INTO `" + table + "` VALUES (" + std::to_string(id) + ", 'new " + std::to_string(id)
                            + "')");
        }
    }
    return lines;
}

Lines Create(const std::string& table, const std::string& options = ") ENGINE=InnoDB",
             const std::string& type = "varchar(40)")
{
    return {"CREATE TABLE `" + table + "` (", "  `id` int(11) NOT NULL,", "  `name` " + type + " DEFAULT NULL,",
            "  PRIMARY KEY (`id`)", options};
}

// The scratch tables a restore has left in the database.
std::string Leftovers(test::ScratchDatabase& db)
{
    return db.scalar("SELECT GROUP_CONCAT(TABLE_NAME) FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() "
                     "AND (TABLE_NAME LIKE 'vorda\\_new\\_%' OR TABLE_NAME LIKE 'vorda\\_old\\_%')");
}

std::vector<std::string> Without(std::vector<std::string> snapshot, const std::string& prefix)
{
    std::erase_if(snapshot, [&](const std::string& entry) { return entry.starts_with("table " + prefix); });
    return snapshot;
}

// Backs up `tables` of the fixture's database with the backup run.
bool Backup(RestoreFixture& f, const std::string& tables)
{
    BackupDef backup = BackupDef::Load(f.state.store, f.name);
    backup.tables = SplitBarList(tables);
    backup.Save(f.state.store);
    SilentRunUi ui;
    return BackupRun(f.state, ui).Run(f.name, RunKind::Manual, f.state.clock()).status == RunStatus::Completed;
}

std::vector<std::string> LogTail(const RestoreFixture& f, size_t n)
{
    std::vector<std::string> tail;
    const auto& entries = f.state.log.Entries();
    for (size_t i = entries.size() > n ? entries.size() - n : 0; i < entries.size(); ++i)
        tail.push_back(entries[i].message);
    return tail;
}

// What a trigger looks like to the server, its time of creation left out.
std::string TriggerOf(test::ScratchDatabase& db, const std::string& name)
{
    return db.scalar("SELECT CONCAT_WS('|', EVENT_OBJECT_TABLE, ACTION_TIMING, EVENT_MANIPULATION, ACTION_ORDER, "
                     "ACTION_STATEMENT, SQL_MODE, DEFINER) FROM information_schema.TRIGGERS WHERE TRIGGER_SCHEMA = "
                     "DATABASE() AND TRIGGER_NAME = '"
                     + name + "'");
}

struct Failure {
    const char* name;
    Lines file;
    bool safeCopy;
    // Run before the restore, and while it runs.
    std::function<void(RestoreFixture&)> prepare;
    std::function<void(RestoreFixture&, RecordingRunUi&)> during;
    RestoreOutcome outcome;
    std::string message; // the Error message, "" for none
};

} // namespace

class TestAbsoluteRestore : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { REQUIRE_TEST_SERVER(); }

    // The database holds `products` (40 rows) and `stock` (5 rows), each with
    // a trigger; whatever stops a restore of both before its swap, every
    // table, row and trigger is as it was, the message says so and the
    // history too. A run that could not clean up (its connection was cut,
    // as when the server or Vorda stops) leaves scratch tables, which the
    // next restore removes.
    void aFailureOrStopBeforeTheSwapChangesNothing()
    {
        const Lines products = Section("products", Create("products"), 40);
        const Lines stock = Section("stock", Create("stock"), 5, 100);
        const std::string nothing = "\r\n\r\nNothing was changed.";
        std::vector<Failure> cases = {
            {"a row the server refuses halfway through a table",
             Section("products", Create("products"), 40, 1, 19) + stock, false, {}, {}, RestoreOutcome::Failed,
             "Backup restore has errored.\r\n\r\nInsertion error." + nothing},
            {"a row refused in the second table, with safe copies", products + Section("stock", Create("stock"), 5, 100, 3),
             true, {}, {}, RestoreOutcome::Failed, "Backup restore has errored.\r\n\r\nInsertion error." + nothing},
            {"a structure the server refuses in the second table",
             products + Section("stock", Create("stock", ") ENGINE=InnoDB", "no_such_type"), 5, 100), false, {}, {},
             RestoreOutcome::Failed, "Backup restore has errored.\r\n\r\nCan not create restore table." + nothing},
            {"a table that keeps no rows", products + Section("stock", Create("stock", ") ENGINE=BLACKHOLE"), 5, 100),
             true, {}, {}, RestoreOutcome::Failed,
             "Backup restore has errored.\r\n\r\nThe restored table `stock` holds 0 rows, but the backup file holds 5."
                 + nothing},
            {"stopped in the second table", products + stock, true, {},
             [](RestoreFixture& f, RecordingRunUi& ui) {
                 ui.onText = [&f](RunField field, const std::string& text) {
                     if (field == RunField::TableMembers && text == "5")
                         f.state.restoreCancelRequested = true;
                 };
             },
             RestoreOutcome::Cancelled, ""},
            {"a view under a table's name", products + stock, false,
             [](RestoreFixture& f) {
                 f.db.exec("DROP TABLE stock");
                 f.db.exec("CREATE VIEW stock AS SELECT id, name FROM products");
             },
             {}, RestoreOutcome::Failed, ""},
            {"the connection cut halfway through a table", products + stock, true, {},
             [](RestoreFixture& f, RecordingRunUi& ui) {
                 ui.onText = [&f](RunField field, const std::string& text) {
                     if (field == RunField::CurrentMember && text == "20")
                         f.db.exec("KILL CONNECTION "
                                   + f.db.scalar("SELECT ID FROM information_schema.PROCESSLIST WHERE DB = '"
                                                 + f.db.name() + "' AND ID <> CONNECTION_ID()"));
                 };
             },
             RestoreOutcome::Failed, ""},
        };
        for (const Failure& c : cases) {
            RestoreFixture f("vorda_abs_fail");
            // An engine that keeps no rows: the server has it, but may not
            // have loaded it.
            if (f.db.scalar("SELECT COUNT(*) FROM information_schema.ENGINES WHERE ENGINE = 'BLACKHOLE'") == "0")
                f.db.exec("INSTALL SONAME 'ha_blackhole'");
            f.SetMode(RestoreMode::Absolute, c.safeCopy);
            f.db.exec("CREATE TABLE products (id int NOT NULL PRIMARY KEY, name varchar(40), extra int) ENGINE=InnoDB");
            f.db.exec("INSERT INTO products SELECT seq, CONCAT('old ', seq), seq FROM seq_1_to_40");
            f.db.exec("CREATE TABLE stock (id int NOT NULL PRIMARY KEY, name varchar(40)) ENGINE=MyISAM");
            f.db.exec("INSERT INTO stock SELECT seq, 'old' FROM seq_100_to_104");
            f.db.exec("CREATE TRIGGER products_extra BEFORE INSERT ON products FOR EACH ROW SET NEW.extra = 7");
            f.db.exec("CREATE TRIGGER stock_name BEFORE UPDATE ON stock FOR EACH ROW SET NEW.name = 'x'");
            f.WriteDump(DumpHeaderLines(f.name, f.db.name()) + c.file);
            if (c.prepare)
                c.prepare(f);
            const std::vector<std::string> before = test::DatabaseSnapshot(f.db);
            const std::string triggers = TriggerOf(f.db, "products_extra") + TriggerOf(f.db, "stock_name");

            RecordingRunUi ui;
            if (c.during)
                c.during(f, ui);
            const RestoreReport report = RestoreRun(f.state, ui).Run(f.name);
            ui.onText = nullptr;
            QVERIFY2(report.outcome == c.outcome, c.name);
            QCOMPARE(Without(test::DatabaseSnapshot(f.db), "vorda_new_"), before);
            QCOMPARE(TriggerOf(f.db, "products_extra") + TriggerOf(f.db, "stock_name"), triggers);
            QVERIFY2(!test::TableExists(f.db, "SAFE_COPY_products"), c.name);
            // A failure's entry goes on with its reason.
            const std::vector<std::string> tail = LogTail(f, 2);
            QCOMPARE(tail.front(), std::string("Restore Result: nightly - nothing was changed"));
            QVERIFY2(c.outcome == RestoreOutcome::Failed ? tail.back().starts_with("Restore Failed: nightly - ")
                                                         : tail.back() == "Restore Cancelled: nightly",
                     tail.back().c_str());
            if (!c.message.empty()) {
                QCOMPARE(ui.messages.size(), size_t(1));
                QCOMPARE(QString::fromStdString(ui.messages[0].text), QString::fromStdString(c.message));
            }
            if (std::string(c.name).starts_with("a view")) {
                QCOMPARE(QString::fromStdString(ui.messages.at(0).text),
                         QString::fromStdString("Backup restore has errored.\r\n\r\nThe table `stock` of the backup "
                                                "is a view in database `" + f.db.name()
                                                + "`, which a restore does not replace." + nothing));
            }
            if (std::string(c.name).starts_with("the connection cut")) {
                // Its scratch tables stay behind; the next restore removes them
                // and goes through.
                QVERIFY(!Leftovers(f.db).empty());
                RecordingRunUi next;
                QCOMPARE(RestoreRun(f.state, next).Run(f.name).outcome, RestoreOutcome::Complete);
                QCOMPARE(f.db.scalar("SELECT CONCAT(COUNT(*), MIN(name)) FROM products"), std::string("40new 1"));
                QCOMPARE(f.db.scalar("SELECT GROUP_CONCAT(name) FROM SAFE_COPY_stock"),
                         std::string("old,old,old,old,old"));
            }
            QCOMPARE(Leftovers(f.db), std::string());
        }
    }

    // Both tables of a parent and child pair come back from a backup made by
    // the backup run, beside a table the backup does not hold that refers
    // to the parent, and a table new to the database: after the swap every
    // reference points at the restored tables (within the backup, and from
    // outside it), every definition is the backed-up one, the triggers are
    // the server's own, and the originals are safe copies without
    // references, or gone.
    void theSwapPutsEverythingBackOnTheRestoredTables()
    {
        for (const bool safeCopy : {true, false}) {
            RestoreFixture f("vorda_abs_swap");
            f.SetMode(RestoreMode::Absolute, safeCopy);
            f.db.exec("CREATE TABLE audit (id int AUTO_INCREMENT PRIMARY KEY, note varchar(40)) ENGINE=InnoDB");
            f.db.exec("CREATE TABLE p (id int NOT NULL PRIMARY KEY, name varchar(40)) ENGINE=InnoDB");
            f.db.exec("CREATE TABLE c (id int NOT NULL PRIMARY KEY, p_id int, up int, KEY k_p (p_id), "
                      "CONSTRAINT fk_c_p FOREIGN KEY (p_id) REFERENCES p (id) ON DELETE CASCADE, "
                      "FOREIGN KEY (up) REFERENCES c (id)) ENGINE=InnoDB");
            f.db.exec("CREATE TABLE fresh (id int NOT NULL PRIMARY KEY, p_id int, FOREIGN KEY (p_id) REFERENCES p (id)) "
                      "ENGINE=InnoDB");
            f.db.exec("INSERT INTO p SELECT seq, CONCAT('backed up ', seq) FROM seq_1_to_30");
            f.db.exec("INSERT INTO c SELECT seq, seq, NULL FROM seq_1_to_30");
            f.db.exec("INSERT INTO fresh VALUES (1, 1)");
            f.db.exec("CREATE TRIGGER p_audit AFTER INSERT ON p FOR EACH ROW INSERT INTO audit (note) VALUES "
                      "(CONCAT('p ', NEW.id))");
            f.db.exec("CREATE TRIGGER p_audit2 AFTER INSERT ON p FOR EACH ROW FOLLOWS p_audit SET @x = NEW.id");
            f.db.exec("SET SESSION sql_mode = 'ANSI_QUOTES'");
            f.db.exec("CREATE TRIGGER c_check BEFORE UPDATE ON c FOR EACH ROW SET NEW.up = NULL");
            f.db.exec("SET SESSION sql_mode = DEFAULT");
            QVERIFY(Backup(f, "p|c|fresh"));
            const std::string pDefinition = f.db.showCreate("p");
            const std::string cDefinition = f.db.showCreate("c");
            const std::vector<std::string> backedUp = test::QueryRows(f.db, "SELECT * FROM c ORDER BY id");

            // Afterwards: other rows, a table gone, and tables outside the
            // backup that refer to the parent, by a name the server gave and
            // by one of their own.
            f.db.exec("DELETE FROM c WHERE id > 10");
            f.db.exec("UPDATE p SET name = 'later'");
            f.db.exec("DROP TABLE fresh");
            f.db.exec("CREATE TABLE ext_auto (id int PRIMARY KEY, p_id int, FOREIGN KEY (p_id) REFERENCES p (id)) "
                      "ENGINE=InnoDB");
            f.db.exec("CREATE TABLE ext_named (id int PRIMARY KEY, p_id int, CONSTRAINT ext_fk FOREIGN KEY (p_id) "
                      "REFERENCES p (id) ON DELETE CASCADE ON UPDATE SET NULL) ENGINE=InnoDB");
            f.db.exec("INSERT INTO ext_auto VALUES (1, 5)");
            f.db.exec("INSERT INTO ext_named VALUES (1, 6), (2, 7)");
            const std::string extAuto = f.db.showCreate("ext_auto");
            const std::string extNamed = f.db.showCreate("ext_named");
            const std::string triggers
                = TriggerOf(f.db, "p_audit") + TriggerOf(f.db, "p_audit2") + TriggerOf(f.db, "c_check");
            const std::vector<std::string> changed = test::QueryRows(f.db, "SELECT * FROM c ORDER BY id");

            RecordingRunUi ui;
            // With safe copies, the user agrees to go on without one of the
            // table that is not there.
            ui.answers.push_back(1);
            QCOMPARE(RestoreRun(f.state, ui).Run(f.name).outcome, RestoreOutcome::Complete);
            QCOMPARE(ui.messages.size(), size_t(safeCopy ? 1 : 0));
            if (safeCopy)
                QVERIFY(ui.messages[0].text.starts_with("Safe copy not created"));
            QCOMPARE(f.db.showCreate("p"), pDefinition);
            QCOMPARE(f.db.showCreate("c"), cDefinition);
            QCOMPARE(f.db.showCreate("ext_auto"), extAuto);
            QCOMPARE(f.db.showCreate("ext_named"), extNamed);
            QCOMPARE(test::QueryRows(f.db, "SELECT * FROM c ORDER BY id"), backedUp);
            QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM p WHERE name LIKE 'backed up %'"), std::string("30"));
            QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM fresh"), std::string("1"));
            QCOMPARE(TriggerOf(f.db, "p_audit") + TriggerOf(f.db, "p_audit2") + TriggerOf(f.db, "c_check"), triggers);
            QCOMPARE(Leftovers(f.db), std::string());

            // The references hold on the restored tables: refused rows,
            // cascades, and the triggers fire there.
            MysqlConnection& sql = f.db.sql();
            QVERIFY(!sql.Query("INSERT INTO ext_auto VALUES (2, 999)"));
            QVERIFY(!sql.Query("INSERT INTO c VALUES (99, 999, NULL)"));
            QVERIFY(!sql.Query("INSERT INTO fresh VALUES (2, 999)"));
            f.db.exec("DELETE FROM p WHERE id = 6");
            QCOMPARE(f.db.scalar("SELECT GROUP_CONCAT(id) FROM ext_named"), std::string("2"));
            QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM c WHERE p_id = 6"), std::string("0"));
            f.db.exec("INSERT INTO p VALUES (31, 'after')");
            QCOMPARE(f.db.scalar("SELECT GROUP_CONCAT(note) FROM audit"), std::string("p 31"));

            QCOMPARE(test::TableExists(f.db, "SAFE_COPY_p"), safeCopy);
            if (safeCopy) {
                QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM SAFE_COPY_p WHERE name = 'later'"), std::string("30"));
                QCOMPARE(test::QueryRows(f.db, "SELECT * FROM SAFE_COPY_c ORDER BY id"), changed);
                QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM information_schema.REFERENTIAL_CONSTRAINTS WHERE "
                                     "CONSTRAINT_SCHEMA = DATABASE() AND (TABLE_NAME LIKE 'SAFE\\_COPY\\_%' OR "
                                     "REFERENCED_TABLE_NAME LIKE 'SAFE\\_COPY\\_%')"),
                         std::string("0"));
                QCOMPARE(f.db.scalar("SELECT COUNT(*) FROM information_schema.TRIGGERS WHERE TRIGGER_SCHEMA = "
                                     "DATABASE() AND EVENT_OBJECT_TABLE LIKE 'SAFE\\_COPY\\_%'"),
                         std::string("0"));
            }
            QCOMPARE(LogTail(f, 2),
                     (std::vector<std::string> {
                         "Restore Result: nightly - tables replaced: `p`, `c`; tables created: `fresh`"
                             + std::string(safeCopy ? "; previous rows kept: `p` in `SAFE_COPY_p`, `c` in `SAFE_COPY_c`"
                                                    : ""),
                         "Restore Successful: nightly"}));
        }
    }

    // A trigger that cannot be made on the restored table (it sets a column
    // the backed-up table does not have) is reported, and the original table
    // stays as a safe copy, even without safe copies.
    void aTriggerTheServerRefusesKeepsTheOriginal()
    {
        RestoreFixture f("vorda_abs_trigger");
        f.SetMode(RestoreMode::Absolute, false);
        f.db.exec("CREATE TABLE t (id int NOT NULL PRIMARY KEY, name varchar(40)) ENGINE=InnoDB");
        f.db.exec("INSERT INTO t VALUES (1, 'backed up')");
        f.db.exec("CREATE TABLE u (id int NOT NULL PRIMARY KEY) ENGINE=InnoDB");
        QVERIFY(Backup(f, "t|u"));
        f.db.exec("ALTER TABLE t ADD COLUMN stamp int");
        f.db.exec("UPDATE t SET name = 'later'");
        f.db.exec("CREATE TRIGGER t_stamp BEFORE INSERT ON t FOR EACH ROW SET NEW.stamp = 1");
        f.db.exec("CREATE TRIGGER t_other AFTER DELETE ON t FOR EACH ROW SET @gone = OLD.id");

        RecordingRunUi ui;
        QCOMPARE(RestoreRun(f.state, ui).Run(f.name).outcome, RestoreOutcome::Complete);
        QCOMPARE(f.db.scalar("SELECT name FROM t"), std::string("backed up"));
        QCOMPARE(f.db.scalar("SELECT name FROM SAFE_COPY_t"), std::string("later"));
        QVERIFY(!test::TableExists(f.db, "SAFE_COPY_u"));
        // The other trigger is on the restored table.
        QCOMPARE(f.db.scalar("SELECT GROUP_CONCAT(TRIGGER_NAME) FROM information_schema.TRIGGERS WHERE "
                             "TRIGGER_SCHEMA = DATABASE() AND EVENT_OBJECT_TABLE = 't'"),
                 std::string("t_other"));
        QCOMPARE(ui.messages.size(), size_t(1));
        QCOMPARE(ui.messages[0].kind, MessageKind::Alert);
        const std::string problem
            = "the trigger `t_stamp` of table `t` could not be made on the restored table (Unknown column 'stamp' in "
              "'NEW')";
        QCOMPARE(QString::fromStdString(ui.messages[0].text),
                 QString::fromStdString("The restored tables are in place, but:\r\n\r\nT" + problem.substr(1)
                                        + ".\r\n\r\nThe previous rows are kept: `t` in `SAFE_COPY_t`."));
        QCOMPARE(LogTail(f, 3), (std::vector<std::string> {"Restore Result: nightly - tables replaced: `t`, `u`; previous "
                                                           "rows kept: `t` in `SAFE_COPY_t`",
                                                           "Restore Problem: nightly - " + problem,
                                                           "Restore Successful: nightly"}));
        QCOMPARE(Leftovers(f.db), std::string());
    }
};

QTEST_GUILESS_MAIN(TestAbsoluteRestore)
#include "tst_absolute_restore.moc"
