#pragma once

#include "TestSupport.h"
#include "core/state/AppState.h"
#include "core/engine/RunUi.h"

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace test {

// A RunUi that remembers everything a run showed and answers questions from
// a queue (No when it is empty). `onText` lets a test act like the user at
// the moment a given text is shown (for example press Cancel).
class RecordingRunUi : public RunUi {
public:
    struct Message {
        MessageKind kind;
        std::string text;
    };

    void SetText(RunField field, const std::string& text) override;
    void SetBarRange(RunBar bar, int maximum) override;
    void StepBar(RunBar bar) override;
    int ShowMessage(MessageKind kind, const std::string& text) override;
    void Pump() override { ++pumps; }
    void SetWaitCursor(bool on) override { waitCursor = on; }
    void RunStarted() override { ++started; }

    // Every text shown in a field, in order.
    const std::vector<std::string>& Texts(RunField field) { return texts[field]; }
    std::string Last(RunField field);
    bool Showed(RunField field, const std::string& text);

    std::map<RunField, std::vector<std::string>> texts;
    // Every range a bar was given, in order, with the steps made in it.
    struct BarRange {
        int maximum;
        int steps;
        bool operator==(const BarRange&) const = default;
    };
    std::map<RunBar, std::vector<BarRange>> bars;
    std::vector<Message> messages;
    std::deque<int> answers;
    std::function<void(RunField, const std::string&)> onText;
    int pumps = 0;
    int started = 0;
    bool waitCursor = false;
};

// Lines joined with CR LF ends, as the backup runs write them.
std::string CrLf(const std::vector<std::string>& lines);

// The lines followed by the empty line and the closing line that end a
// complete backup file, counting the structure headings and row statements
// among them.
std::vector<std::string> WithClosingLine(std::vector<std::string> lines);

// The time of the backup run the header lines below name.
inline constexpr const char* kDumpTimeStamp = "Monday, December 07, 2026 - 02:14:35 AM";

// The 14 header lines of a manual backup file.
std::vector<std::string> DumpHeaderLines(const std::string& backupName, const std::string& database);

// A value as a row statement carries it: NULL bare, everything else in
// apostrophes with backslash, apostrophe, double quote, zero byte, line
// feed, carriage return and Ctrl-Z escaped; a backquote stays as it is.
std::string DumpValue(const std::optional<std::string>& value);
// "INSERT INTO `table` VALUES (...)" with DumpValue values.
std::string DumpRow(const std::string& table, const std::vector<std::optional<std::string>>& values);

// A hex literal (X'..') of the bytes, or NULL: a way to put values into a
// table that does not depend on any escaping.
std::string HexLiteral(const std::optional<std::string>& value);

// Every row of a table in `order`, each value as hex (or "NULL"), so two
// tables can be compared value by value, bytes included.
std::vector<std::string> TableRows(ScratchDatabase& db, const std::string& table, const std::string& order);
// The rows of a query, each value as hex (or "NULL").
std::vector<std::string> QueryRows(ScratchDatabase& db, const std::string& query);
bool TableExists(ScratchDatabase& db, const std::string& table);
// Everything a restore could change in a database, byte for byte: the
// list of its tables and views, and for each its SHOW CREATE TABLE text and
// its CHECKSUM TABLE value.
std::vector<std::string> DatabaseSnapshot(ScratchDatabase& db);

// A data directory, the program state on it, and a backup `name` whose
// connection points at a scratch database of the test server.
class RestoreFixture {
public:
    explicit RestoreFixture(const std::string& prefix, Clock clock = SystemClock());

    // Writes backup_<name>.tbk and stores its line count in the backup record,
    // and the time its header names as the backup's last run.
    void WriteDump(const std::string& bytes, long long lineCount = -1);
    // Writes a complete file: the lines, then the empty line and the closing
    // line a backup run ends it with.
    void WriteDump(const std::vector<std::string>& lines);
    std::string DumpPath() const { return dir.file("backup_" + name + ".tbk"); }
    void SetMode(RestoreMode mode, bool safeCopy);
    // The log's last entry text.
    std::string LastLog() const;

    TempDataDir dir;
    AppState state;
    ScratchDatabase db;
    std::string name;
};

} // namespace test
