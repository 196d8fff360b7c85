#include "core/engine/ExampleBackup.h"
#include "core/store/AtomicFile.h"
#include "TestSupport.h"
#include "core/dump/BackupCompression.h"
#include "core/dump/DumpFile.h"
#include "core/dump/DumpFormat.h"
#include "core/dump/TableDefinition.h"
#include "core/dump/TableStructure.h"
#include "core/dump/ValueEscaping.h"
#include "core/history/TimeTexts.h"

#include <QTest>

#include <climits>

#include <sys/stat.h>
#include <unistd.h>

using test::FilesIn;

namespace {

std::string Quoted(const std::string& value)
{
    std::string out;
    AppendValue(out, value.data(), value.size());
    return out;
}

ColumnDescription Column(const std::string& field, const std::string& type, const std::string& null,
                         const std::string& key, std::optional<std::string> def = {}, const std::string& extra = {},
                         bool expression = false)
{
    ColumnDescription c;
    c.field = field;
    c.type = type;
    c.null = null;
    c.key = key;
    c.defaultValue = std::move(def);
    c.extra = extra;
    c.defaultIsExpression = expression;
    return c;
}

KeyColumn Key(const std::string& name, bool unique, int seq, const std::string& column,
              std::optional<unsigned> subPart = {}, const std::string& type = "BTREE")
{
    return KeyColumn {name, unique, seq, column, subPart, type};
}

} // namespace

class TestDumpFormat : public QObject {
    Q_OBJECT

    void forms()
    {
        QTest::addColumn<QString>("suffix");
        QTest::newRow("plain") << QString();
        QTest::newRow("compressed") << QStringLiteral(".zst");
    }

private slots:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        tzset();
    }

    // The example backup, written piece by piece as a run writes it (see
    // ExampleBackup.h for the two row lines that differ from the old format).
    void exampleFileIsReproduced()
    {
        test::TempDataDir dir;
        const std::time_t start = test::kExampleStart;
        const std::string startText = FormatLocalTime(start, kLongTimeFormat);
        QCOMPARE(startText, std::string("Monday, December 07, 2026 - 02:14:35 AM"));

        DumpFile file;
        const std::string path = BackupFilePath(dir.path(), "Nightly_Shop");
        QVERIFY(file.Open(path));
        file.Write(HeaderText({RunKind::Manual, "192.168.1.20", "shop", "Nightly_Shop", startText}));
        long tally = kHeaderLines;
        file.Write(StructureHeading("items"));
        tally += kStructureHeadingLines;
        const std::vector<ColumnDescription> columns = {
            Column("id", "int(11)", "NO", "PRI", {}, "auto_increment"),
            Column("name", "varchar(40)", "YES", "MUL"),
            Column("price", "decimal(8,2)", "NO", "", std::string("0.00")),
        };
        const std::vector<KeyColumn> keys = {Key("PRIMARY", true, 1, "id"), Key("name", false, 1, "name")};
        const SectionText section = BuildColumnText(columns, keys);
        file.Write(section.text);
        tally += section.lines;
        file.Write(DataHeading("items", "2"));
        tally += kDataHeadingLines;
        std::string line;
        const char* row1[] = {"1", "O'Brien`s tea", "3.50"};
        const unsigned long len1[] = {1, 13, 4};
        AppendRowStatement(line, "items", const_cast<char**>(row1), len1, 3);
        file.Write(line);
        line.clear();
        const char* row2[] = {"2", nullptr, "0.00"};
        const unsigned long len2[] = {1, 0, 4};
        AppendRowStatement(line, "items", const_cast<char**>(row2), len2, 3);
        file.Write(line);
        tally += 2;
        file.Write(ClosingText(1, 2));
        tally += kClosingLines;
        QVERIFY(!test::FileExists(path)); // nothing in place before the commit
        QVERIFY(file.Commit());

        const std::string expected = test::ExampleBackup("192.168.1.20", "shop");
        QCOMPARE(test::ReadFile(path), expected);
        QCOMPARE(tally, 37L);
        QCOMPARE(std::count(expected.begin(), expected.end(), '\n'), 36L);

        struct stat st {};
        QCOMPARE(::stat(path.c_str(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0600u);
    }

    void headerFormsDifferOnlyInLineSix()
    {
        const DumpHeader manual {RunKind::Manual, "h", "d", "b", "t"};
        DumpHeader automatic = manual;
        automatic.kind = RunKind::Automatic;
        const std::string a = HeaderText(manual);
        const std::string b = HeaderText(automatic);
        QCOMPARE(std::count(a.begin(), a.end(), '\n'), kHeaderLines);
        const size_t at = a.find("-- Vorda Quendal Suite - MySQL Backup File - Manual\n");
        QVERIFY(at != std::string::npos);
        QCOMPARE(b, std::string(a).replace(at, 51, "-- Vorda Quendal Suite - MySQL Backup File - Automatic"));
    }

    void valuesAreEscapedOverTheirFullLength_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("plain") << QByteArray("abc") << QByteArray("'abc'");
        QTest::newRow("empty") << QByteArray("") << QByteArray("''");
        QTest::newRow("apostrophe") << QByteArray("It's") << QByteArray("'It\\'s'");
        QTest::newRow("backquote kept") << QByteArray("a`b") << QByteArray("'a`b'");
        QTest::newRow("backslash") << QByteArray("C:\\") << QByteArray("'C:\\\\'");
        QTest::newRow("double quote") << QByteArray("say \"hi\"") << QByteArray("'say \\\"hi\\\"'");
        QTest::newRow("line ends") << QByteArray("a\r\nb\nc") << QByteArray("'a\\r\\nb\\nc'");
        QTest::newRow("tab kept") << QByteArray("a\tb") << QByteArray("'a\tb'");
        QTest::newRow("zero bytes") << QByteArray("x\0y\0", 4) << QByteArray("'x\\0y\\0'");
        QTest::newRow("ctrl-z") << QByteArray("\x1a") << QByteArray("'\\Z'");
        QTest::newRow("utf-8") << QByteArray("Gr\xc3\xbc\xc3\x9f \xf0\x9f\x98\x80")
                               << QByteArray("'Gr\xc3\xbc\xc3\x9f \xf0\x9f\x98\x80'");
        QTest::newRow("high bytes") << QByteArray("\xff\x5c\x27") << QByteArray("'\xff\\\\\\''");
    }

    void valuesAreEscapedOverTheirFullLength()
    {
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, written);
        const std::string out = Quoted(value.toStdString());
        QCOMPARE(QByteArray::fromStdString(out), written);
        QVERIFY(out.find('\n') == std::string::npos && out.find('\r') == std::string::npos);
    }

    // Long values are looked at in blocks: a byte to escape is found
    // wherever it lies, alone or beside others, in the first, a middle or the
    // last block.
    void escapesAreFoundAtEveryPosition()
    {
        const std::vector<std::pair<char, std::string>> escapes
            = {{'\0', "\\0"}, {'\n', "\\n"}, {'\r', "\\r"}, {'\\', "\\\\"}, {'\'', "\\'"}, {'"', "\\\""}, {'\x1a', "\\Z"}};
        for (size_t length : {size_t(1), size_t(15), size_t(16), size_t(17), size_t(47)}) {
            for (size_t at = 0; at < length; ++at) {
                for (const auto& [c, written] : escapes) {
                    std::string value(length, 'v');
                    value[at] = c;
                    std::string twice = value;
                    twice[length - 1 - at] = c;
                    for (const std::string& v : {value, twice}) {
                        std::string expected;
                        for (char x : v)
                            expected += x == c ? written : std::string(1, x);
                        std::string out;
                        AppendEscaped(out, v.data(), v.size());
                        QCOMPARE(out, expected);
                    }
                }
            }
        }
    }

    void nullIsWrittenUnquoted()
    {
        std::string out;
        AppendValue(out, nullptr, 0);
        QCOMPARE(out, std::string("NULL"));
        std::string line;
        const char* row[] = {nullptr, "", "0"};
        const unsigned long lengths[] = {0, 0, 1};
        AppendRowStatement(line, "my table", const_cast<char**>(row), lengths, 3);
        QCOMPARE(line, std::string("INSERT INTO `my table` VALUES (NULL, '', '0')\n"));
    }

    // The tally counts one line more than the file holds for each structure
    // section with key lines: the removed trailing comma counts as a line.
    void structureTallyAndKeyLines()
    {
        // No key lines: the last column has no comma.
        SectionText plain = BuildColumnText({Column("a", "int(11)", "YES", ""), Column("b", "text", "YES", "UNI")}, {});
        QCOMPARE(plain.text, std::string("  `a` int(11) NULL,\n  `b` text NULL\n)\n"));
        QCOMPARE(plain.lines, 3L); // 1 more column, 1 after the columns, 1 closing
        QCOMPARE(std::count(plain.text.begin(), plain.text.end(), '\n'), plain.lines);

        // A primary key over two columns is one line, in key order.
        const std::vector<ColumnDescription> composite = {
            Column("x", "int(11)", "NO", "PRI"),
            Column("y", "int(11)", "NO", "PRI"),
            Column("z", "int(11)", "YES", "MUL"),
        };
        const std::vector<KeyColumn> keys = {Key("PRIMARY", true, 1, "y"), Key("PRIMARY", true, 2, "x"),
                                             Key("z", false, 1, "z")};
        const SectionText s = BuildColumnText(composite, keys);
        QCOMPARE(s.text, std::string("  `x` int(11) NOT NULL,\n"
                                     "  `y` int(11) NOT NULL,\n"
                                     "  `z` int(11) NULL,\n"
                                     "  PRIMARY KEY `y` (`y`,`x`),\n"
                                     "  KEY `z` (`z`)\n"
                                     ")\n"));
        QCOMPARE(s.lines, 2L + 2 + 1 + 1 + 1); // columns after the first, key lines, after, comma, closing
        QCOMPARE(std::count(s.text.begin(), s.text.end(), '\n') + 1, s.lines);

        // Without a server primary key, the unique key shown as primary is used.
        const SectionText promoted = BuildColumnText(
            {Column("u", "int(11)", "NO", "PRI"), Column("v", "int(11)", "NO", "PRI")},
            {Key("v", true, 1, "v"), Key("v", true, 2, "u")});
        QVERIFY(promoted.text.find("  PRIMARY KEY `v` (`v`,`u`)\n") != std::string::npos);
        // Without any key list, the primary columns in column order.
        const SectionText bare = BuildColumnText(
            {Column("u", "int(11)", "NO", "PRI"), Column("v", "int(11)", "NO", "PRI")}, {});
        QVERIFY(bare.text.find("  PRIMARY KEY `u` (`u`,`v`)\n") != std::string::npos);
    }

    void keyLinesCarryPrefixesAndIndexKinds()
    {
        const std::vector<ColumnDescription> columns = {
            Column("body", "text", "YES", "MUL"),
            Column("notes", "text", "YES", "MUL"),
            Column("place", "point", "NO", "MUL"),
            Column("odd`name", "int(11)", "YES", "MUL"),
        };
        const std::vector<KeyColumn> keys = {
            Key("ft", false, 1, "body", {}, "FULLTEXT"), Key("body", false, 1, "body", 20u),
            Key("notes", false, 1, "notes", {}, "FULLTEXT"), Key("place", false, 1, "place", {}, "SPATIAL"),
            Key("odd", false, 1, "odd`name")};
        const std::string text = BuildColumnText(columns, keys).text;
        QVERIFY2(text.find("  KEY `body` (`body`(20)),\n") != std::string::npos, text.c_str());
        QVERIFY(text.find("  FULLTEXT KEY `notes` (`notes`),\n") != std::string::npos);
        QVERIFY(text.find("  SPATIAL KEY `place` (`place`),\n") != std::string::npos);
        QVERIFY(text.find("  `odd``name` int(11) NULL,\n") != std::string::npos);
        QVERIFY(text.find("  KEY `odd``name` (`odd``name`)\n") != std::string::npos);
    }

    void defaultsAreWrittenSoTheServerAcceptsThem()
    {
        const std::string text = BuildColumnText(
            {
                Column("a", "varchar(20)", "YES", "", std::string("O'Brien\\")),
                Column("b", "varchar(20)", "YES", "", std::string("")),
                Column("c", "timestamp", "NO", "", std::string("current_timestamp()"),
                       "on update current_timestamp()", true),
                Column("d", "datetime", "NO", "", std::string("CURRENT_TIMESTAMP"), "DEFAULT_GENERATED", true),
            },
            {})
                                     .text;
        QVERIFY2(text.find("  `a` varchar(20) NULL default 'O\\'Brien\\\\',\n") != std::string::npos, text.c_str());
        QVERIFY(text.find("  `b` varchar(20) NULL default '',\n") != std::string::npos);
        QVERIFY(text.find("  `c` timestamp NOT NULL default current_timestamp() on update current_timestamp(),\n")
                != std::string::npos);
        QVERIFY(text.find("  `d` datetime NOT NULL default CURRENT_TIMESTAMP\n") != std::string::npos);
    }

    void defaultsAreResolvedFromWhatTheServerShows()
    {
        using O = std::optional<std::string>;
        // A server that quotes literals in information_schema.
        auto q = [](O describe, O schema, const std::string& type = "varchar(10)") {
            return ResolveDefault(describe, schema, true, type, "");
        };
        QVERIFY(!q({}, O("NULL")).value);
        QVERIFY(!q(O("x"), O("NULL")).value);
        ResolvedDefault r = q(O("'x'"), O("'x'"), "text"); // text columns show the quoted form in describe too
        QCOMPARE(*r.value, std::string("x"));
        QVERIFY(!r.isExpression);
        r = q(O("O'Brien"), O("'O''Brien'"));
        QCOMPARE(*r.value, std::string("O'Brien"));
        r = q(O("C:\\x"), O("'C:\\\\x'"));
        QCOMPARE(*r.value, std::string("C:\\x"));
        r = q(O("0.00"), O("0.00"), "decimal(8,2)");
        QCOMPARE(*r.value, std::string("0.00"));
        QVERIFY(!r.isExpression);
        r = q(O("current_timestamp()"), O("current_timestamp()"), "timestamp");
        QVERIFY(r.isExpression);
        r = q(O("b'1'"), O("b'1'"), "bit(1)");
        QVERIFY(r.isExpression);
        QCOMPARE(*r.value, std::string("b'1'"));
        r = q(O("-1.5e3"), O("-1.5e3"), "double");
        QVERIFY(!r.isExpression);

        // A server that does not quote: only the timestamp functions and
        // what it marks as generated are expressions.
        r = ResolveDefault(O("CURRENT_TIMESTAMP"), O("CURRENT_TIMESTAMP"), false, "timestamp", "");
        QVERIFY(r.isExpression);
        r = ResolveDefault(O("CURRENT_TIMESTAMP"), O("CURRENT_TIMESTAMP"), false, "varchar(20)", "");
        QVERIFY(!r.isExpression);
        r = ResolveDefault(O("(rand())"), O("(rand())"), false, "double", "DEFAULT_GENERATED");
        QVERIFY(r.isExpression);
        r = ResolveDefault(O("abc"), O("abc"), false, "varchar(20)", "");
        QVERIFY(!r.isExpression);

        QCOMPARE(CleanExtra("DEFAULT_GENERATED on update CURRENT_TIMESTAMP"),
                 std::string("on update CURRENT_TIMESTAMP"));
        QCOMPARE(CleanExtra("DEFAULT_GENERATED"), std::string());
        QCOMPARE(CleanExtra("auto_increment"), std::string("auto_increment"));
        QCOMPARE(DecodeSqlLiteral("'a\\nb\\0''c\\%'"), std::string("a\nb\0'c\\%", 8));
    }

    // A run that does not complete leaves the previous backup file as it was
    // and no temporary file behind.
    void onlyACommitReplacesThePreviousFile()
    {
        test::TempDataDir dir;
        const std::string path = BackupFilePath(dir.path(), "b");
        test::WriteFile(path, "previous");
        {
            DumpFile file;
            QVERIFY(file.Open(path));
            file.Write("half\n");
            QVERIFY(test::FileExists(file.TempPath()));
            struct stat st {};
            QCOMPARE(::stat(file.TempPath().c_str(), &st), 0);
            QCOMPARE(st.st_mode & 0777, 0600u);
        }
        QCOMPARE(test::ReadFile(path), std::string("previous"));
        QCOMPARE(FilesIn(dir.path()).size(), size_t(1));

        DumpFile file;
        QVERIFY(file.Open(path));
        std::string big(300 * 1024, 'x');
        big += "\nend\n";
        file.Write(big);
        QVERIFY(file.Commit());
        QCOMPARE(test::ReadFile(path), std::string(300 * 1024, 'x') + "\r\nend\r\n");
        QCOMPARE(FilesIn(dir.path()).size(), size_t(1));

        DumpFile missing;
        QVERIFY(!missing.Open(dir.file("no-such-dir/backup_x.tbk")));
    }

    // A file name may be 255 bytes long: the temporary name of a long backup
    // name is shortened (the final one never is), stays distinct for names
    // that share their start, and a final name that cannot exist is refused.
    void temporaryNamesStayWithinAFileName()
    {
        test::TempDataDir dir;
        const std::string longest(244, 'n'); // backup_ + 244 + .tbk = 255 bytes
        for (const std::string& name : {std::string("b"), std::string(240, 'a'), longest}) {
            const std::string path = BackupFilePath(dir.path(), name);
            DumpFile file;
            QVERIFY2(file.Open(path), name.c_str());
            const std::string temp = file.TempPath().substr(dir.path().size());
            QVERIFY(temp.size() <= 255);
            QVERIFY(file.TempPath().rfind(AtomicFile::TempPrefix(path), 0) == 0);
            file.Write("x\n");
            QVERIFY(file.Commit());
            QCOMPARE(test::ReadFile(path), std::string("x\r\n"));
        }
        QCOMPARE(AtomicFile::TempPrefix(dir.file("backup_b.tbk")), dir.file("backup_b.tbk.tmp"));
        const std::string a = AtomicFile::TempPrefix(BackupFilePath(dir.path(), std::string(240, 'a') + "x"));
        const std::string b = AtomicFile::TempPrefix(BackupFilePath(dir.path(), std::string(240, 'a') + "y"));
        QVERIFY(a != b);
        QVERIFY(a.rfind(b.substr(0, b.size() - 13), 0) == 0); // the same start, another hash

        DumpFile tooLong;
        QVERIFY(!tooLong.Open(BackupFilePath(dir.path(), longest + "n")));
        QCOMPARE(FilesIn(dir.path()).size(), size_t(3));
    }

    // A crash leaves a backup's temporary file behind. The next run of that
    // backup removes its own stale files: never another backup's (names that
    // start alike, long names that share their start), never one that a
    // running writer holds, never anything but a regular file of exactly the
    // temporary name's shape.
    void staleTemporaryFilesAreRemovedOnlyForTheirOwnBackup()
    {
        test::TempDataDir dir;
        const std::string longA = std::string(240, 'l') + "a";
        const std::string longB = std::string(240, 'l') + "b";
        const std::string prefixA = AtomicFile::TempPrefix(BackupFilePath(dir.path(), "a")).substr(dir.path().size());
        const std::string prefixLong
            = AtomicFile::TempPrefix(BackupFilePath(dir.path(), longA)).substr(dir.path().size());
        struct Case {
            std::string name;
            bool removed;
        };
        const std::vector<Case> cases = {
            {prefixA + "Ab12Cd", true},
            {prefixA + "zzzzzz", true},
            {AtomicFile::TempPrefix(BackupFilePath(dir.path(), "a_b")).substr(dir.path().size()) + "Ab12Cd", false},
            {AtomicFile::TempPrefix(BackupFilePath(dir.path(), "A")).substr(dir.path().size()) + "Ab12Cd", false},
            {prefixA + "Ab12C", false},
            {prefixA + "Ab12Cde", false},
            {prefixA + "Ab12C-", false},
            {"backup_a.tbk", false},
            {prefixLong + "Qw12Er", false}, // another backup, same start
            {AtomicFile::TempPrefix(BackupFilePath(dir.path(), longB)).substr(dir.path().size()) + "Qw12Er", false},
        };
        for (const Case& c : cases)
            test::WriteFile(dir.file(c.name), "stale");
        // A temporary file a writer still holds, a link and a FIFO of the shape.
        AtomicFile running;
        QVERIFY(running.Open(BackupFilePath(dir.path(), "a")));
        test::WriteFile(dir.file("target"), "kept");
        QCOMPARE(::symlink(dir.file("target").c_str(), dir.file(prefixA + "LiNk00").c_str()), 0);
        QCOMPARE(::mkfifo(dir.file(prefixA + "FiFo00").c_str(), 0600), 0);

        DumpFile file;
        QVERIFY(file.Open(BackupFilePath(dir.path(), "a")));
        for (const Case& c : cases)
            QVERIFY2(test::FileExists(dir.file(c.name)) != c.removed, c.name.c_str());
        QVERIFY(test::FileExists(running.TempPath()));
        QVERIFY(test::FileExists(dir.file(prefixA + "LiNk00")));
        QVERIFY(test::FileExists(dir.file(prefixA + "FiFo00")));
        file.Write("x\n");
        QVERIFY(file.Commit());
        running.Write("y");
        QVERIFY(running.Commit()); // its temporary file was left alone
        QCOMPARE(test::ReadFile(BackupFilePath(dir.path(), "a")), std::string("y"));

        // The long name's own stale file goes when that backup runs.
        QVERIFY(file.Open(BackupFilePath(dir.path(), longA)));
        QVERIFY(!test::FileExists(dir.file(prefixLong + "Qw12Er")));
        file.Discard();
        QCOMPARE(AtomicFile::RemoveStaleTemps(BackupFilePath(dir.path(), longA)), 0);
    }

    // Both forms of the file: plain, and compressed (read back through the
    // zstd library).
    void heldPiecesLandInOrderAndMarksTakeBack_data() { forms(); }
    void reservedRoomTakesThePieceOfAnyLength_data() { forms(); }

    // A piece written late (the data heading once the count is known) lands
    // before what was held back, and a mark takes back what followed it.
    void heldPiecesLandInOrderAndMarksTakeBack()
    {
        QFETCH(QString, suffix);
        test::TempDataDir dir;
        const std::string path = BackupFilePath(dir.path(), "h") + suffix.toStdString();
        const std::string big(3 << 20, 'r'); // more than one write block
        DumpFile file;
        QVERIFY(file.Open(path));
        file.Write("a\n");
        QVERIFY(file.Hold());
        QVERIFY(file.Holding());
        file.Write("held\n" + big + "\n");
        file.Release("heading\n");
        file.Write("after\n");
        const unsigned long long mark = file.Mark();
        file.Write("dropped\n");
        QVERIFY(file.Hold());
        file.Write("dropped too\n");
        file.RewindTo(mark);
        QVERIFY(!file.Holding());
        file.Write("end\n");
        QVERIFY(file.Commit());
        const std::string text = "a\r\nheading\r\nheld\r\n" + big + "\r\nafter\r\nend\r\n";
        QCOMPARE(test::TextOf(path), text);
        QCOMPARE(zfile::SizesOf(path).textBytes, static_cast<long long>(text.size()));
        QCOMPARE(zfile::SizesOf(path).compressed, !suffix.isEmpty());
        QVERIFY(suffix.isEmpty() || test::ReadFile(path).size() < text.size() / 10);
        QCOMPARE(FilesIn(dir.path()).size(), size_t(1)); // the spool file has no name

        // Given up while holding: nothing is left but the previous file.
        QVERIFY(file.Open(path));
        file.Write("x\n");
        QVERIFY(file.Hold());
        file.Write("y\n");
        file.Discard();
        QCOMPARE(FilesIn(dir.path()).size(), size_t(1));
        QCOMPARE(test::TextOf(path).substr(0, 3), std::string("a\r\n"));
    }

    // Room left for a piece whose length is guessed: a right guess writes it
    // in place; a longer or shorter piece moves what follows (more than one
    // block of it, either way) and an empty one takes the room away. The
    // bytes are those of writing the piece first.
    void reservedRoomTakesThePieceOfAnyLength()
    {
        QFETCH(QString, suffix);
        test::TempDataDir dir;
        const std::string path = BackupFilePath(dir.path(), "r") + suffix.toStdString();
        std::string rows;
        for (int i = 0; rows.size() < (5u << 20) / 2; ++i)
            rows += "row " + std::to_string(i) + "\n"; // about 2.5 MB: several moved blocks
        const std::string guess = "--- Total rows: 1000\n\n";
        const struct {
            const char* name;
            std::string piece;
        } cases[] = {
            {"same length", "--- Total rows: 2718\n\n"},
            {"longer", "--- Total rows: 31415926\n\n"},
            {"shorter", "--- Total rows: 7\n\n"},
            {"empty", ""},
        };
        for (const auto& c : cases) {
            DumpFile file;
            QVERIFY(file.Open(path));
            file.Write("header\n");
            QVERIFY(file.Reserve(guess));
            QVERIFY(file.Reserved());
            QVERIFY(!file.Hold()); // one late piece at a time
            file.Write(rows);
            file.FillReserved(c.piece);
            QVERIFY(!file.Reserved());
            file.Write("end\n");
            QVERIFY2(file.Commit(), c.name);
            std::string expected = "header\n" + c.piece + rows + "end\n";
            std::string crlf;
            for (char ch : expected)
                crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
            QVERIFY2(test::TextOf(path) == crlf, c.name);
            QCOMPARE(zfile::SizesOf(path).textBytes, static_cast<long long>(crlf.size()));
        }

        // A reservation never filled is no complete file: the commit fails
        // and the previous file stays; a mark taken before it takes it back.
        DumpFile file;
        const std::string previous = test::ReadFile(path);
        QVERIFY(file.Open(path));
        QVERIFY(file.Reserve(guess));
        file.Write("x\n");
        QVERIFY(!file.Commit());
        QCOMPARE(test::ReadFile(path), previous);
        QCOMPARE(FilesIn(dir.path()).size(), size_t(1));
        QVERIFY(file.Open(path));
        file.Write("a\n");
        const unsigned long long mark = file.Mark();
        QVERIFY(file.Reserve(guess));
        file.Write("dropped\n");
        file.RewindTo(mark);
        QVERIFY(!file.Reserved());
        file.Write("b\n");
        QVERIFY(file.Commit());
        QCOMPARE(test::TextOf(path), std::string("a\r\nb\r\n"));
        QCOMPARE(zfile::SizesOf(path).textBytes, 6LL);
    }

    // A server's definition goes into the file only when the restore reads
    // back the same statement from it.
    void definitionsARestoreCannotReadBackAreRefused()
    {
        const std::string ok = "CREATE TABLE `t` (\n  `a` int(11) DEFAULT NULL,\n  KEY `a` (`a`)\n"
                               ") ENGINE=InnoDB DEFAULT CHARSET=latin1 COMMENT='x\\ny'\n";
        QCOMPARE(dump::DefinitionRefusal("t", ok, 0), std::string());
        QCOMPARE(dump::DefinitionRefusal("t", ok, ok.size() + 1), std::string());
        const struct {
            const char* table;
            std::string definition;
            unsigned long long limit;
            const char* refusal;
        } cases[] = {
            {"u", ok, 0, "it does not begin with \"CREATE TABLE `u` (\" on a line of its own"},
            {"t", "CREATE TABLE `t` (  `a` int\n)\n", 0, "it does not begin with \"CREATE TABLE `t` (\" on a line of its own"},
            {"t", "CREATE TABLE `t` (\n  `a\r` int\n)\n", 0, "it holds a carriage return"},
            {"t", "CREATE TABLE `t` (\n\n  `a` int\n)\n", 0, "it holds an empty line"},
            {"t", "CREATE TABLE `t` (\n  `a\nb` int\n)\n", 0, "its lines do not join into the same statement"},
            {"t", "CREATE TABLE `t` (\n  `a` int\nNOT NULL\n)\n", 0, "its lines do not join into the same statement"},
            {"t", "CREATE TABLE `t` (\n  `a` int,\n  FOREIGN KEY (`a`) REFERENCES `db`.`p` (`id`)\n)\n", 0,
             "a restore refuses it (a qualified name (another database))"},
            {"t", "CREATE TABLE `t` (\n  `a` int\n) ENGINE=CONNECT\n", 0,
             "a restore refuses it (an engine that does not keep its data in the database)"},
            {"t", ok, ok.size() - 5, "it is 113 bytes long, more than the server's packet limit allows"},
        };
        for (const auto& c : cases)
            QCOMPARE(dump::DefinitionRefusal(c.table, c.definition, c.limit), std::string(c.refusal));
        QVERIFY(dump::IsGeneratedColumn("VIRTUAL GENERATED") && dump::IsGeneratedColumn("STORED GENERATED")
                && dump::IsGeneratedColumn("PERSISTENT") && dump::IsGeneratedColumn("STORED GENERATED, INVISIBLE"));
        QVERIFY(!dump::IsGeneratedColumn("DEFAULT_GENERATED") && !dump::IsGeneratedColumn("auto_increment")
                && !dump::IsGeneratedColumn("INVISIBLE"));
        QVERIFY(dump::IsInvisibleColumn("INVISIBLE") && !dump::IsInvisibleColumn(""));
    }

    // The closing line counts what the file holds; readers know it by its
    // exact form.
    void closingLineCountsTablesAndRows()
    {
        QCOMPARE(ClosingText(3, 12345), std::string("\n-- End of Backup File - Tables: 3 - Rows: 12345\n"));
        long long tables = -1;
        long long rows = -1;
        QVERIFY(ParseClosingLine("-- End of Backup File - Tables: 0 - Rows: 0", tables, rows));
        QCOMPARE(tables, 0LL);
        QCOMPARE(rows, 0LL);
        QVERIFY(ParseClosingLine(ClosingLine(1005, 999999999999LL), tables, rows));
        QCOMPARE(tables, 1005LL);
        QCOMPARE(rows, 999999999999LL);
        for (const char* bad : {"-- End of Backup File - Tables: 3", "-- End of Backup File - Tables: 3 - Rows: ",
                                "-- End of Backup File - Tables: 03 - Rows: 1", "-- End of Backup File - Tables: -3 - Rows: 1",
                                "-- End of Backup File - Tables: 3 - Rows: 1 ", "-- End of Backup File - Tables:  3 - Rows: 1",
                                "-- End of Backup File - Tables: 3 - Rows: 1x", "-- end of backup file - Tables: 3 - Rows: 1"}) {
            QVERIFY2(!ParseClosingLine(bad, tables, rows), bad);
        }
        // A name with a backquote is written doubled, in headings and rows.
        QCOMPARE(StructureHeading("a`.`b"),
                 std::string("\n---\n--- Table structure for table `a``.``b`\n---\n\nCREATE TABLE `a``.``b` (\n"));
        QCOMPARE(DataHeading("a`b", "7"), std::string("\n---\n--- Dumping data for table `a``b` - Total rows: 7\n---\n\n"));
        std::string row;
        const char* values[] = {"1"};
        const unsigned long lengths[] = {1};
        AppendRowStatement(row, "x`y", const_cast<char**>(values), lengths, 1);
        QCOMPARE(row, std::string("INSERT INTO `x``y` VALUES ('1')\n"));
    }

    void linesAreClassifiedByHowTheyBegin()
    {
        QCOMPARE(ClassifyDumpLine("CREATE TABLE `t` ("), DumpLineKind::CreateTable);
        QCOMPARE(ClassifyDumpLine("CREATE TABLE `INSERT INTO` ("), DumpLineKind::CreateTable);
        QCOMPARE(ClassifyDumpLine("INSERT INTO `t` VALUES ('1')"), DumpLineKind::InsertInto);
        // Row values that hold statement words or a heading stay rows.
        QCOMPARE(ClassifyDumpLine("INSERT INTO `sql` VALUES ('CREATE TABLE x (a int)')"), DumpLineKind::InsertInto);
        QCOMPARE(ClassifyDumpLine("INSERT INTO `n` VALUES ('Dumping data for table `x` - Total rows: 9')"),
                 DumpLineKind::InsertInto);
        QCOMPARE(ClassifyDumpLine("--- Dumping data for table `t` - Total rows: 2"), DumpLineKind::DumpingData);
        // The structure heading of a table whose name is a statement word.
        QCOMPARE(ClassifyDumpLine("--- Table structure for table `CREATE TABLE`"), DumpLineKind::Other);
        QCOMPARE(ClassifyDumpLine("-- Backup Name: INSERT INTO"), DumpLineKind::Other);
        QCOMPARE(ClassifyDumpLine(std::string(60, '-')), DumpLineKind::Other);
        QCOMPARE(ClassifyDumpLine("  INSERT INTO `t` VALUES ('1')"), DumpLineKind::InsertInto);
    }

    void statementLinesSplitAtTheQuotedName()
    {
        StatementLine s = SplitStatementLine("INSERT INTO `my table` VALUES ('a`b', 'c``d', NULL)");
        QCOMPARE(s.head, std::string_view("INSERT INTO "));
        QCOMPARE(s.table, std::string("my table"));
        QCOMPARE(s.rest, std::string_view(" VALUES ('a`b', 'c``d', NULL)"));

        s = SplitStatementLine("CREATE TABLE `we``ird` (");
        QCOMPARE(s.table, std::string("we`ird"));
        QCOMPARE(s.rest, std::string_view(" ("));

        s = SplitStatementLine("CREATE TABLE plain (");
        QCOMPARE(s.head, std::string_view("CREATE TABLE plain ("));
        QCOMPARE(s.table, std::string());
        QCOMPARE(s.rest, std::string_view());

        s = SplitStatementLine("INSERT INTO `unterminated");
        QCOMPARE(s.table, std::string("unterminated"));
        QCOMPARE(s.rest, std::string_view());
    }

    void rowTotalIsTheNumberAfterTheName()
    {
        QCOMPARE(RowTotalOf("--- Dumping data for table `items` - Total rows: 2"), 2LL);
        QCOMPARE(RowTotalOf("--- Dumping data for table `a:b` - Total rows: 250"), 250LL);
        QCOMPARE(RowTotalOf("--- Dumping data for table `t` - Total rows:\t 1000000"), 1000000LL);
        QCOMPARE(RowTotalOf("--- Dumping data for table `t` - Total rows: 12x"), 12LL);
        QCOMPARE(RowTotalOf("--- Dumping data for table `t`"), 0LL);
        QCOMPARE(RowTotalOf("--- Dumping data for table `t` - Total rows: 99999999999999999999999"), LLONG_MAX);
    }
};

QTEST_GUILESS_MAIN(TestDumpFormat)
#include "tst_dumpformat.moc"
