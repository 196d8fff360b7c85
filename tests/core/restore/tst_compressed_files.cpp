#include "TestSupport.h"
#include "core/dump/BackupCompression.h"
#include "core/dump/BackupCopies.h"
#include "core/dump/BackupFiles.h"
#include "core/dump/DumpFile.h"
#include "core/dump/DumpFormat.h"
#include "core/engine/ExampleBackup.h"
#include "core/restore/BackupFileCheck.h"
#include "core/restore/LineReader.h"
#include "core/restore/ViewerLoader.h"

#include <QTest>

#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The example backup with `rows` rows in LF form, and the length of its
// header (where a table's section begins).
std::string ExampleText(int rows, size_t& headerBytes)
{
    std::string text;
    for (char c : test::ExampleBackup("127.0.0.1", "shop"))
        if (c != '\r')
            text += c;
    const size_t first = text.find("INSERT INTO");
    const size_t end = text.find("\n\n-- End", first);
    std::string lines;
    for (int i = 1; i <= rows; ++i)
        lines += "INSERT INTO `items` VALUES ('" + std::to_string(i) + "', 'tea " + std::to_string(i * 7919 % 10007)
            + "', '3.50')\n";
    text.replace(first, end + 1 - first, lines);
    const std::string n = std::to_string(rows);
    text.replace(text.find("Total rows: 2"), 13, "Total rows: " + n);
    text.replace(text.find("Rows: 2\n"), 7, "Rows: " + n);
    headerBytes = text.find("\n\n---\n--- Table structure") + 1;
    return text;
}

std::string Crlf(const std::string& lf)
{
    std::string out;
    for (char c : lf)
        out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

FileCheckResult Check(const std::string& path)
{
    LineReader reader(LineReader::kDefaultMaxLine, LineReader::LongLines::Refuse);
    if (!reader.Open(path))
        return {};
    return BackupFileCheck(1 << 20, {}).Run(reader);
}

class TextViewerUi : public ViewerUi {
public:
    void ShowFileSize(const std::string& t) override { sizeText = t; }
    void SetProgressRange(long long maximum, long long) override { ranges.push_back(maximum); }
    void StepProgress() override {}
    void ShowStatus(const std::string&) override {}
    void ShowLoadingText(const std::string&) override {}
    void SetViewerText(std::string value) override { text = std::move(value); }
    void Pump() override {}
    std::string sizeText;
    std::string text;
    std::vector<long long> ranges;
};

} // namespace

class TestCompressedFiles : public QObject {
    Q_OBJECT

private slots:
    // The whole-file check refuses a damaged or cut compressed file as it
    // refuses a damaged plain one, and a file cut where a section begins is
    // unfinished in both forms.
    void damagedAndCutFilesAreRefused_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<int>("damage");
        QTest::addColumn<int>("verdict");
        QTest::addColumn<QString>("reason");
        const int complete = int(FileCheckResult::Verdict::Complete);
        const int unfinished = int(FileCheckResult::Verdict::Unfinished);
        const int damaged = int(FileCheckResult::Verdict::Damaged);
        QTest::newRow("compressed, intact") << ".zst" << 0 << complete << "";
        QTest::newRow("compressed, a byte changed") << ".zst" << 1 << damaged << "the compressed data is damaged (";
        QTest::newRow("compressed, cut inside the rows") << ".zst" << 2 << damaged
                                                         << "the compressed file ends inside a frame (it was cut short)";
        QTest::newRow("compressed, cut where the table begins") << ".zst" << 3 << unfinished << "";
        QTest::newRow("compressed, its size frame lost") << ".zst" << 4 << complete << "";
        QTest::newRow("compressed, bytes added") << ".zst" << 5 << damaged << "the compressed data is damaged (";
        QTest::newRow("plain text named .zst") << ".zst" << 6 << damaged << "the compressed data is damaged (";
        QTest::newRow("plain, intact") << "" << 0 << complete << "";
        QTest::newRow("plain, cut inside the rows") << "" << 2 << damaged << "";
        QTest::newRow("plain, cut where the table begins") << "" << 3 << unfinished << "";
    }

    void damagedAndCutFilesAreRefused()
    {
        QFETCH(QString, suffix);
        QFETCH(int, damage);
        QFETCH(int, verdict);
        QFETCH(QString, reason);
        test::TempDataDir dir;
        const std::string path = BackupFilePath(dir.path(), "b") + suffix.toStdString();
        size_t headerBytes = 0;
        const std::string text = ExampleText(20000, headerBytes);
        unsigned long long headerEnd = 0;
        {
            DumpFile file;
            QVERIFY(file.Open(path));
            file.Write(text.substr(0, headerBytes));
            headerEnd = file.Mark();
            file.Write(text.substr(headerBytes));
            QVERIFY(file.Commit());
        }
        std::string bytes = test::ReadFile(path);
        QVERIFY(bytes.size() > 4096);
        if (damage == 1)
            bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 0x10);
        else if (damage == 2)
            bytes.resize(bytes.size() / 2);
        else if (damage == 3)
            bytes.resize(headerEnd);
        else if (damage == 4)
            bytes.resize(bytes.size() - 20);
        else if (damage == 5)
            bytes += "more text\r\n";
        else if (damage == 6)
            bytes = Crlf(text);
        test::WriteFile(path, bytes);

        const FileCheckResult result = Check(path);
        QCOMPARE(int(result.verdict), verdict);
        QVERIFY2(result.reason.starts_with(reason.toStdString()), result.reason.c_str());
        if (verdict == int(FileCheckResult::Verdict::Complete))
            QCOMPARE(result.rows, 20000LL);
    }

    // The viewer shows the text of either form (the file's own size as its
    // size); of a compressed file over the cap it shows the first 64 MB and
    // what is left, whether or not the file records its text's length (a
    // file compressed by the zstd tool does not).
    void theViewerShowsTheText_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<int>("lines");
        QTest::addColumn<bool>("dropSize");
        QTest::newRow("plain, small") << "" << 1000 << false;
        QTest::newRow("compressed, small") << ".zst" << 1000 << false;
        QTest::newRow("compressed, over the cap") << ".zst" << 700000 << false;
        QTest::newRow("compressed, over the cap, no size") << ".zst" << 700000 << true;
    }

    void theViewerShowsTheText()
    {
        QFETCH(QString, suffix);
        QFETCH(int, lines);
        QFETCH(bool, dropSize);
        test::TempDataDir dir;
        const std::string path = BackupFilePath(dir.path(), "v") + suffix.toStdString();
        std::string text;
        {
            DumpFile file;
            QVERIFY(file.Open(path));
            const std::string line = std::string(98, 'x'); // 100 bytes with CR LF
            for (int i = 0; i < lines; ++i) {
                file.StartLine() += line;
                file.EndLine();
            }
            QVERIFY(file.Commit());
        }
        if (dropSize)
            QCOMPARE(::truncate(path.c_str(), static_cast<off_t>(test::ReadFile(path).size() - 20)), 0);
        const long long textBytes = 100LL * lines;
        AppState state(dir.path());
        TextViewerUi ui;
        QCOMPARE(ViewerLoader(state, ui).Load(path, false), ViewerLoadResult::Loaded);
        struct stat st {};
        QCOMPARE(::stat(path.c_str(), &st), 0);
        QCOMPARE(ui.sizeText, std::to_string(st.st_size));
        QCOMPARE(ui.ranges.front(), dropSize ? kViewerShownBytes : std::min(textBytes, kViewerShownBytes));
        const long long shownLines = std::min(textBytes, kViewerShownBytes) / 100;
        std::string expected;
        for (long long i = 0; i < shownLines; ++i)
            expected += std::string(98, 'x') + "\r\n";
        if (textBytes > kViewerShownBytes)
            expected += NotShownLine(textBytes - shownLines * 100) + "\r\n";
        QVERIFY(ui.text == expected);
        QCOMPARE(zfile::SizesOf(path).textBytes, dropSize ? -1LL : textBytes);
    }

    // A backup's files in both forms: the current file is the one form
    // that exists, or the later one; older copies of both forms are listed
    // newest first, carry their run's stamp, and are the backup's own; its
    // files include both forms but never a running backup's temporary file.
    void bothFormsAreTheBackupsFiles()
    {
        test::TempDataDir dir;
        const std::string plain = BackupFilePath(dir.path(), "b", false);
        const std::string compressed = BackupFilePath(dir.path(), "b", true);
        QCOMPARE(BackupFilePath(dir.path(), "b"), plain); // neither: the plain name
        auto write = [](const std::string& path, const std::string& text) {
            DumpFile file;
            QVERIFY(file.Open(path));
            file.Write(text);
            QVERIFY(file.Commit());
        };
        const std::string header = "-- Backup TimeStamp: Monday, December 07, 2026 - 02:14:35 AM\n";
        write(compressed, "--\n" + header);
        QCOMPARE(BackupFilePath(dir.path(), "b"), compressed);
        QCOMPARE(RunStampOf(compressed), std::string("20261207-021435"));
        write(plain, "--\n");
        QCOMPARE(BackupFilePath(dir.path(), "b"), plain); // written later
        const struct timespec older[2] = {{0, UTIME_OMIT}, {1000, 0}};
        QCOMPARE(::utimensat(AT_FDCWD, plain.c_str(), older, 0), 0);
        QCOMPARE(BackupFilePath(dir.path(), "b"), compressed);

        write(BackupCopyPath(dir.path(), "b", "20261201-010101", true), "x\n");
        write(BackupCopyPath(dir.path(), "b", "20261202-010101", false), "x\n");
        write(dir.file("backup_b.20261203-010101.tbk.gz"), "x\n"); // no copy of either form
        DumpFile running;
        QVERIFY(running.Open(compressed));
        const std::vector<BackupFileEntry> files = ListBackupFiles(dir.path(), "b");
        QCOMPARE(files.size(), size_t(3));
        QCOMPARE(files[0].path, compressed);
        QCOMPARE(files[1].stamp, std::string("20261202-010101"));
        QCOMPARE(files[2].path, BackupCopyPath(dir.path(), "b", "20261201-010101", true));
        for (const BackupFileEntry& file : files)
            QVERIFY(IsBackupFileOf(dir.path(), "b", file.path));
        QVERIFY(IsBackupFileOf(dir.path(), "b", plain));
        QVERIFY(!IsBackupFileOf(dir.path(), "b", dir.file("backup_b.20261203-010101.tbk.gz")));
        QVERIFY(!IsBackupFileOf(dir.path(), "b", running.TempPath()));
        const std::vector<std::string> names = BackupFileNames(dir.path(), "b");
        QCOMPARE(names, std::vector<std::string>({"backup_b.20261201-010101.tbk.zst", "backup_b.20261202-010101.tbk",
                                                  "backup_b.tbk", "backup_b.tbk.zst"}));
    }
};

QTEST_GUILESS_MAIN(TestCompressedFiles)
#include "tst_compressed_files.moc"
