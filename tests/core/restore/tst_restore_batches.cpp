// Rows sent in batches restore exactly what one line at a time restores: a
// crafted file with a refused row in its middle is restored both ways, and
// the rows, the texts, the bars and the outcome must be the same.
#include "RestoreTestSupport.h"
#include "core/restore/RestoreRun.h"

#include <QTest>

using test::RecordingRunUi;
using test::RestoreFixture;

namespace {

// Also notes what the panel showed when the error message came up.
class PanelAtMessage : public RecordingRunUi {
public:
    int ShowMessage(MessageKind kind, const std::string& text) override
    {
        memberAtMessage = Last(RunField::CurrentMember);
        barsAtMessage = bars;
        return RecordingRunUi::ShowMessage(kind, text);
    }
    std::string memberAtMessage;
    std::map<RunBar, std::vector<BarRange>> barsAtMessage;
};

struct Result {
    RestoreOutcome outcome;
    long long inserted;
    std::vector<std::string> rows;
    PanelAtMessage ui;
};

struct Case {
    const char* name;
    const char* engine;
    const char* serverMode;
    int rows;
    int badRow;       // 1-based; 0 for none
    const char* bad;  // the values of the bad row
    bool completes;   // what one line at a time gives
    size_t batchBytes;
};

// A file of one table (id key, n NOT NULL int, v text) with `rows` rows;
// row `badRow` carries `bad` instead of its own values.
std::vector<std::string> CraftedFile(RestoreFixture& f, const Case& c)
{
    std::vector<std::string> lines = test::DumpHeaderLines(f.name, f.db.name());
    for (const char* line : {"", "---", "--- Table structure for table `t`", "---", "", "CREATE TABLE `t` (",
                             "  `id` int(11) NOT NULL,", "  `n` int(11) NOT NULL,", "  `v` varchar(40) DEFAULT NULL,",
                             "  PRIMARY KEY (`id`)"})
        lines.push_back(line);
    lines.push_back(std::string(") ENGINE=") + c.engine);
    for (const std::string& line :
         {std::string(), std::string("---"), "--- Dumping data for table `t` - Total rows: " + std::to_string(c.rows),
          std::string("---"), std::string()})
        lines.push_back(line);
    for (int i = 1; i <= c.rows; ++i) {
        const std::string values = i == c.badRow ? std::string(c.bad)
                                                 : std::to_string(i) + ", '" + std::to_string(i * 7) + "', 'row "
                + std::to_string(i) + (i % 3 ? "'" : " it\\'s'");
        lines.push_back("INSERT INTO `t` VALUES (" + values + ")");
    }
    return lines;
}

void RestoreOnce(const Case& c, size_t batchBytes, Result& r)
{
    RestoreFixture f("vorda_batches");
    f.WriteDump(CraftedFile(f, c));
    const std::string saved = f.db.scalar("SELECT @@GLOBAL.sql_mode");
    f.db.exec(std::string("SET GLOBAL sql_mode = '") + c.serverMode + "'");
    RestoreRun run(f.state, r.ui);
    run.SetRowBatchBytes(batchBytes);
    const RestoreReport report = run.Run(f.name);
    f.db.exec("SET GLOBAL sql_mode = '" + saved + "'");
    r.outcome = report.outcome;
    r.inserted = report.rowsInserted;
    r.rows = test::TableRows(f.db, "VORDA_t", "id");
}

} // namespace

class TestRestoreBatches : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { REQUIRE_TEST_SERVER(); }

    void batchesRestoreWhatOneLineAtATimeRestores_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < static_cast<int>(Cases().size()); ++i)
            QTest::newRow(Cases()[i].name) << i;
    }

    void batchesRestoreWhatOneLineAtATimeRestores()
    {
        QFETCH(int, index);
        const Case& c = Cases()[index];
        Result single;
        RestoreOnce(c, 0, single);
        Result batched;
        RestoreOnce(c, c.batchBytes, batched);

        QCOMPARE(single.outcome, c.completes ? RestoreOutcome::Complete : RestoreOutcome::Failed);
        const long long expected = c.completes ? c.rows : c.badRow - 1;
        QCOMPARE(single.inserted, expected);
        QCOMPARE(static_cast<long long>(single.rows.size()), expected);

        QCOMPARE(batched.outcome, single.outcome);
        QCOMPARE(batched.inserted, single.inserted);
        QCOMPARE(batched.rows, single.rows);
        QCOMPARE(batched.ui.messages.size(), single.ui.messages.size());
        for (size_t i = 0; i < single.ui.messages.size(); ++i)
            QCOMPARE(batched.ui.messages[i].text, single.ui.messages[i].text);
        for (RunField field : {RunField::RunStatus, RunField::RunMode, RunField::TableMembers})
            QCOMPARE(batched.ui.Texts(field), single.ui.Texts(field));
        QCOMPARE(batched.ui.memberAtMessage, single.ui.memberAtMessage);
        QCOMPARE(batched.ui.barsAtMessage, single.ui.barsAtMessage);
        QCOMPARE(batched.ui.bars, single.ui.bars);
        QCOMPARE(batched.ui.Last(RunField::CurrentMember), single.ui.Last(RunField::CurrentMember));
    }

private:
    static const std::vector<Case>& Cases()
    {
        static const std::vector<Case> cases = {
            // Line 5,000 of 10,000 repeats a key: in the middle of a batch of
            // the default size, and in a later batch of small ones.
            {"duplicate key, InnoDB", "InnoDB", "STRICT_TRANS_TABLES", 10000, 5000, "17, '1', 'again'", false,
             RestoreRun::kBatchBytes},
            {"duplicate key, InnoDB, small batches", "InnoDB", "STRICT_TRANS_TABLES", 10000, 5000,
             "17, '1', 'again'", false, 16 * 1024},
            // A table that keeps the rows before the refused one.
            {"duplicate key, MyISAM", "MyISAM", "STRICT_TRANS_TABLES", 10000, 5000, "17, '1', 'again'", false,
             16 * 1024},
            // Without strictness one row alone refuses a NULL in a NOT NULL
            // column, where a multi-row INSERT would store 0.
            {"NULL in NOT NULL, no strict mode", "InnoDB", "", 300, 150, "150, NULL, 'x'", false, 2048},
            {"NULL in NOT NULL, MyISAM, no strict mode", "MyISAM", "", 300, 150, "150, NULL, 'x'", false, 2048},
            // A text where a number belongs: one row alone stores 0 with a
            // warning, and so must a batch.
            {"text in a number, no strict mode", "InnoDB", "", 300, 150, "150, 'abc', 'x'", true, 2048},
            {"text in a number, MyISAM, no strict mode", "MyISAM", "", 300, 150, "150, 'abc', 'x'", true, 2048},
            // Strict for transactional tables only: MyISAM refuses it as the
            // first row of a statement, as one row alone always is.
            {"text in a number, MyISAM, strict for transactional tables", "MyISAM", "STRICT_TRANS_TABLES", 300,
             150, "150, 'abc', 'x'", false, 2048},
            {"every row good", "InnoDB", "STRICT_TRANS_TABLES", 3000, 0, "", true, 4096},
        };
        return cases;
    }
};

QTEST_GUILESS_MAIN(TestRestoreBatches)
#include "tst_restore_batches.moc"
