#pragma once

#include "cli/CliIo.h"
#include "core/engine/RunUi.h"

#include <chrono>
#include <functional>
#include <map>
#include <string>

namespace cli {

// A message of the window as one line: every run of line ends becomes one
// blank.
std::string OneLine(const std::string& text);

// The run panel of a command: messages go to standard error, one line each,
// with the window's texts; every question is answered No unless a flag of
// the command answers it Yes; each table's rows are shown as a line, redrawn
// in place with its rows, percent and rate on a terminal, written once the
// table is done otherwise.
class CliUi : public RunUi {
public:
    explicit CliUi(Io& io);

    // The question `text`, or every question that begins with it, is
    // answered Yes when `yes` is set; otherwise No, and the line that shows
    // the question names `flag`, which answers it.
    void Answer(const std::string& text, bool yes, const std::string& flag);
    void AnswerStartingWith(const std::string& start, bool yes, const std::string& flag);
    // What a stop request (SIGTERM, Ctrl-C) does to the run.
    void OnStop(std::function<void()> stop) { stop_ = std::move(stop); }
    // Ends the line of the table being shown.
    void Finish();

    void SetText(RunField field, const std::string& text) override;
    void SetBarRange(RunBar bar, int maximum) override;
    void StepBar(RunBar bar) override;
    int ShowMessage(MessageKind kind, const std::string& text) override;
    void Pump() override;
    void SetWaitCursor(bool) override {}
    void TableStarted(const std::string& table) override;
    void TableGoesBeside(const std::string& table) override;
    void TableDoneBeside(const std::string& table, long long rows) override;
    std::optional<std::string> AskPassword(const std::string& connectionName) override;

private:
    struct Answer_ {
        bool yes = false;
        std::string flag;
    };
    void ShowProgress(bool final);
    // "<table>: <rows> rows, <s> s, <rate> rows/s" of a finished table.
    static std::string DoneLine(const std::string& table, long long rows, double seconds);

    Io& io_;
    std::map<std::string, Answer_> answers_;
    std::map<std::string, Answer_> starts_;
    std::function<void()> stop_;
    std::string table_;
    long long total_ = -1;
    long long current_ = 0;
    // The table's bar: its percent, also while the row count is only an
    // estimate.
    long long barMaximum_ = 0;
    long long barSteps_ = 0;
    std::chrono::steady_clock::time_point tableStart_;
    std::chrono::steady_clock::time_point lastDraw_;
    // When each table on the second connection began there.
    std::map<std::string, std::chrono::steady_clock::time_point> besideStart_;
};

} // namespace cli
