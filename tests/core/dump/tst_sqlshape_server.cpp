#include "TestSupport.h"
#include "core/dump/SqlShape.h"

#include <QTest>

#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

// Tables that are hard to carry over: every kind of key, constraint, column
// and table option a backup meets. Created in this order (references point
// back), each one's SHOW CREATE TABLE must pass the structure check.
const std::vector<std::string> kCorpus = {
    "CREATE TABLE parent (id int NOT NULL AUTO_INCREMENT PRIMARY KEY, name varchar(40)) ENGINE=InnoDB",
    "CREATE TABLE uniq2 (a int NOT NULL, b varchar(20) NOT NULL, c int, UNIQUE KEY u_ab (a, b))",
    "CREATE TABLE key3 (a varchar(200), b int, c text, KEY k_abc (a(10), b, c(20)))",
    "CREATE TABLE named_idx (id int PRIMARY KEY, k int, INDEX k_1 (k))",
    "CREATE TABLE child (id int PRIMARY KEY, parent_id int, CONSTRAINT fk_parent FOREIGN KEY (parent_id) "
    "REFERENCES parent (id) ON DELETE CASCADE ON UPDATE SET NULL)",
    "CREATE TABLE checked (id int PRIMARY KEY, qty int CHECK (qty >= 0), price decimal(8,2), "
    "CONSTRAINT price_positive CHECK (price > 0 AND price < 1000.5))",
    "CREATE TABLE generated (id int PRIMARY KEY, a int, b int, s int AS (a + b) STORED, "
    "v varchar(30) AS (concat(a, '-', 'x''y')) VIRTUAL, p int GENERATED ALWAYS AS (a * 2) PERSISTENT)",
    "CREATE TABLE invisible (id int PRIMARY KEY, secret varchar(10) INVISIBLE DEFAULT 'hid')",
    "CREATE TABLE mixed_cs (id int PRIMARY KEY, l varchar(20), "
    "u varchar(20) CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_ci) DEFAULT CHARSET=latin1",
    "CREATE TABLE commented (id int PRIMARY KEY COMMENT 'the row''s id', "
    "note varchar(20) COMMENT 'it\\'s a \"note\"; -- not a comment /* nor this */') "
    "COMMENT='Bob''s table; SELECT nothing'",
    "CREATE TABLE myisam_t (id int NOT NULL AUTO_INCREMENT, body text, PRIMARY KEY (id), "
    "FULLTEXT KEY ft_body (body)) ENGINE=MyISAM AUTO_INCREMENT=42",
    "CREATE TABLE autoinc (id bigint unsigned NOT NULL AUTO_INCREMENT PRIMARY KEY, "
    "t timestamp NOT NULL DEFAULT current_timestamp() ON UPDATE current_timestamp(), d datetime(3) DEFAULT NULL, "
    "f float DEFAULT 1.5, e enum('a','b''c') DEFAULT 'a', bits bit(3) DEFAULT b'101') AUTO_INCREMENT=1000",
    "CREATE TABLE versioned (id int PRIMARY KEY, v int) WITH SYSTEM VERSIONING",
    "CREATE TABLE versioned2 (id int, v int, rs timestamp(6) AS ROW START INVISIBLE, "
    "re timestamp(6) AS ROW END INVISIBLE, PERIOD FOR SYSTEM_TIME(rs, re)) WITH SYSTEM VERSIONING",
    "CREATE TABLE spatial_t (id int PRIMARY KEY, g geometry NOT NULL, SPATIAL KEY sp_g (g)) ENGINE=Aria",
    "CREATE TABLE options_t (id int PRIMARY KEY) ENGINE=InnoDB ROW_FORMAT=COMPRESSED KEY_BLOCK_SIZE=8 "
    "STATS_PERSISTENT=1 STATS_AUTO_RECALC=0 STATS_SAMPLE_PAGES=20 PACK_KEYS=1 CHECKSUM=1 MAX_ROWS=1000 "
    "MIN_ROWS=1 AVG_ROW_LENGTH=100 DELAY_KEY_WRITE=1",
    "CREATE TABLE aria_t (id int PRIMARY KEY) ENGINE=Aria PAGE_CHECKSUM=1 TRANSACTIONAL=1",
    "CREATE TABLE pagecomp (id int PRIMARY KEY) ENGINE=InnoDB PAGE_COMPRESSED=1 PAGE_COMPRESSION_LEVEL=6",
    "CREATE TABLE parted (id int NOT NULL, v int, PRIMARY KEY (id)) PARTITION BY RANGE (id) "
    "(PARTITION p0 VALUES LESS THAN (10), PARTITION p1 VALUES LESS THAN MAXVALUE)",
    "CREATE TABLE sub (id int NOT NULL, d date NOT NULL) PARTITION BY RANGE (year(d)) SUBPARTITION BY HASH (id) "
    "SUBPARTITIONS 2 (PARTITION p0 VALUES LESS THAN (2000), PARTITION p1 VALUES LESS THAN MAXVALUE)",
    "CREATE TABLE lst (id int NOT NULL) PARTITION BY LIST (id) "
    "(PARTITION a VALUES IN (1,2) COMMENT = 'x', PARTITION b DEFAULT)",
    "CREATE TABLE hist (id int, v int) WITH SYSTEM VERSIONING "
    "PARTITION BY SYSTEM_TIME INTERVAL 1 MONTH (PARTITION p0 HISTORY, PARTITION pn CURRENT)",
    "CREATE TABLE `we``ird` (`col``q` int, `sp ace` int, `sel` int DEFAULT -1, j json CHECK (json_valid(j)), "
    "UNIQUE KEY `uk``x` (`col``q`))",
    "CREATE TABLE `Ünï` (`ä` varchar(10) COMMENT 'ü\\\\x', c varchar(10) COMPRESSED DEFAULT 'a', "
    "d varchar(5) DEFAULT 'x\\ny')",
    "CREATE TABLE hashed (id int PRIMARY KEY, t text, UNIQUE KEY long_u (t) USING HASH, "
    "KEY h (id) USING BTREE COMMENT 'idx comment')",
    "CREATE TABLE selfref (id int PRIMARY KEY, up int, FOREIGN KEY (up) REFERENCES selfref (id))",
    "CREATE TABLE defaults_t (a int DEFAULT (1 + 2), b varchar(10) DEFAULT '', c double DEFAULT -1.5e10, "
    "d date DEFAULT '2020-01-01', e char(3) DEFAULT NULL, u varchar(36) DEFAULT uuid(), bl blob DEFAULT 'x', "
    "n decimal(5,2) DEFAULT 0.00, hx varbinary(4) DEFAULT 0x00ff)",
    "CREATE TABLE uniq_target (a int NOT NULL, b varchar(20) NOT NULL, UNIQUE KEY (a,b))",
    "CREATE TABLE fkmulti (a int, b varchar(20), KEY (a,b), CONSTRAINT `fk2` FOREIGN KEY (a, b) "
    "REFERENCES uniq_target (a, b) ON DELETE RESTRICT ON UPDATE NO ACTION)",
    "CREATE TABLE memory_t (id int PRIMARY KEY, k int, KEY USING HASH (k)) ENGINE=MEMORY",
    "CREATE TABLE csv_t (id int NOT NULL) ENGINE=CSV",
};

std::string ShowCreate(test::ScratchDatabase& db, const std::string& table)
{
    MysqlConnection& conn = db.sql();
    if (!conn.Query("SHOW CREATE TABLE " + dump::QuoteName(table)))
        return {};
    MysqlResult result = conn.StoreResult();
    unsigned long* lengths = nullptr;
    MYSQL_ROW row = result.FetchRow(&lengths);
    return row && row[1] ? std::string(row[1], lengths[1]) : std::string();
}

std::string WithoutAutoIncrement(const std::string& text)
{
    static const std::regex counter(" AUTO_INCREMENT=[0-9]+");
    return std::regex_replace(text, counter, "");
}

} // namespace

class TestSqlShapeServer : public QObject {
    Q_OBJECT

private slots:
    void everyStructureTheServerPrintsIsAccepted()
    {
        REQUIRE_TEST_SERVER();
        test::ScratchDatabase db("vorda_shape");
        for (const std::string& ddl : kCorpus)
            db.exec(ddl);

        std::vector<std::string> tables;
        for (const std::string& ddl : kCorpus) {
            // The name as created: the third word, or the backquoted name.
            const std::string rest = ddl.substr(13);
            std::string name;
            if (rest[0] == '`')
                name = *dump::UnquoteName(rest.substr(0, rest.find("` ") + 1));
            else
                name = rest.substr(0, rest.find(' '));
            tables.push_back(name);
        }
        QCOMPARE(tables.size(), kCorpus.size());

        const std::set<std::string> inBackup(tables.begin(), tables.end());
        const dump::ReferenceMap toCopies = [&](const std::string& t) -> std::optional<std::string> {
            if (!inBackup.count(t))
                return std::nullopt;
            return "VORDA_" + t;
        };

        for (const std::string& table : tables) {
            const std::string printed = ShowCreate(db, table);
            QVERIFY2(!printed.empty(), table.c_str());
            QVERIFY2(!dump::HasEmptyLine(printed), printed.c_str());

            // Accepted as printed and as the restore joins its lines.
            const std::string joined = dump::JoinStatementLines(printed);
            for (const std::string& text : {printed, joined}) {
                const dump::StructureCheck check = dump::CheckCreateTable(text);
                QVERIFY2(check.Ok(), (std::string(dump::ShapeErrorText(check.error)) + " at: "
                                      + text.substr(std::min(check.offset, text.size())))
                                         .c_str());
                QCOMPARE(check.table, table);
            }

            // The joined, rewritten statement builds a copy beside the
            // original whose definition is the original's, apart from the
            // names: constraints and references within the corpus carry the
            // prefix, so nothing clashes and nothing points at the originals.
            const dump::StructureRewrite copy = dump::RewriteCreateTable(joined, "VORDA_" + table, "VORDA_", toCopies);
            QVERIFY(copy.Ok());
            db.exec(copy.statement);
            std::string copied = ShowCreate(db, "VORDA_" + table);
            for (size_t at = copied.find("`VORDA_"); at != std::string::npos; at = copied.find("`VORDA_", at + 1))
                copied.erase(at + 1, 6);
            QCOMPARE(WithoutAutoIncrement(copied), WithoutAutoIncrement(printed));
        }
        // Foreign keys of the copies point at copies.
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM information_schema.REFERENTIAL_CONSTRAINTS WHERE "
                           "CONSTRAINT_SCHEMA = DATABASE() AND TABLE_NAME LIKE 'VORDA\\_%' AND "
                           "REFERENCED_TABLE_NAME NOT LIKE 'VORDA\\_%'"),
                 std::string("0"));
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM information_schema.REFERENTIAL_CONSTRAINTS WHERE "
                           "CONSTRAINT_SCHEMA = DATABASE() AND TABLE_NAME LIKE 'VORDA\\_%'"),
                 std::string("3"));
    }

    // Column defaults as the server prints them: values and the functions
    // of real defaults pass; a default that calls any other function is
    // refused, whatever the server took.
    void onlyTheDefaultsOfRealColumnsPass()
    {
        REQUIRE_TEST_SERVER();
        test::ScratchDatabase db("vorda_shape_defaults");
        db.exec("CREATE SEQUENCE s1");
        const std::vector<std::pair<std::string, bool>> columns = {
            {"datetime(6) DEFAULT current_timestamp(6)", true},
            {"timestamp NOT NULL DEFAULT now() ON UPDATE now()", true},
            {"date DEFAULT curdate()", true},
            {"date DEFAULT (curdate() + interval 1 day)", true},
            {"varchar(40) DEFAULT uuid()", true},
            {"int DEFAULT (-2 * 3 DIV 2)", true},
            {"bit(3) DEFAULT b'101'", true},
            {"varchar(9) DEFAULT _latin1'x' COMMENT 'c'", true},
            {"varchar(20) DEFAULT user()", false},
            {"varchar(20) DEFAULT concat('a', 'b')", false},
            {"int DEFAULT (rand() * 10)", false},
            {"time DEFAULT curtime()", false},
            {"varchar(20) DEFAULT (repeat('x', 2))", false},
            {"bigint DEFAULT uuid_short()", false},
        };
        int n = 0;
        for (const auto& [column, accepted] : columns) {
            const std::string table = "d" + std::to_string(++n);
            db.exec("CREATE TABLE " + table + " (id int, c " + column + ")");
            const std::string printed = ShowCreate(db, table);
            const dump::StructureCheck check = dump::CheckCreateTable(printed);
            QVERIFY2(check.Ok() == accepted, printed.c_str());
            if (!accepted) {
                QCOMPARE(check.error, dump::ShapeError::Default);
                // The refusal points at the default itself.
                QCOMPARE(printed.substr(check.offset - 8, 8), std::string("DEFAULT "));
            }
        }
        // A sequence's value is printed with its database: refused as a
        // reference into a database, whichever it is.
        db.exec("CREATE TABLE seq_default (id int DEFAULT nextval(s1))");
        QCOMPARE(dump::CheckCreateTable(ShowCreate(db, "seq_default")).error, dump::ShapeError::QualifiedName);
    }

    // The row parser splits values where the server does: lines it accepts
    // store exactly the values it counted.
    void acceptedRowsMeanToTheServerWhatTheParserRead()
    {
        REQUIRE_TEST_SERVER();
        test::ScratchDatabase db("vorda_shape_rows");
        db.exec("CREATE TABLE r (a text, b text, c text)");
        db.exec("SET SESSION sql_mode = ''");
        const std::vector<std::pair<std::string, std::string>> lines = {
            {"INSERT INTO `r` VALUES ('x\\') ON DUPLICATE KEY UPDATE a=1; -- ', 'SELECT 1 /* */ #', NULL)",
             "x') ON DUPLICATE KEY UPDATE a=1; -- |SELECT 1 /* */ #|NULL"},
            {"INSERT INTO `r` VALUES ('a\\\\', 'b''c', '\\\\\\'')", "a\\|b'c|\\'"},
            {"INSERT INTO `r` (`c`, `a`) VALUES (-1.5e3, '`q`')", "`q`|NULL|-1500"},
        };
        int n = 0;
        for (const auto& [line, stored] : lines) {
            const auto row = dump::ParseRowStatement(line);
            QVERIFY2(row, line.c_str());
            db.exec("DELETE FROM r");
            db.exec(line);
            QCOMPARE(db.scalar("SELECT CONCAT_WS('|', IFNULL(a, 'NULL'), IFNULL(b, 'NULL'), IFNULL(c, 'NULL')) "
                               "FROM r"),
                     stored);
            ++n;
        }
        QCOMPARE(n, 3);
    }
};

QTEST_GUILESS_MAIN(TestSqlShapeServer)
#include "tst_sqlshape_server.moc"
