#include "cli/CliUi.h"

#include "core/store/Numbers.h"

#include <cstdio>

namespace cli {

namespace {

// How often a terminal line is redrawn.
constexpr auto kRedraw = std::chrono::milliseconds(100);

void Print(std::FILE* file, const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), file);
    std::fflush(file);
}

} // namespace

std::string OneLine(const std::string& text)
{
    std::string line;
    bool breakSeen = false;
    for (char c : text) {
        if (c == '\r' || c == '\n') {
            breakSeen = true;
            continue;
        }
        if (breakSeen && !line.empty() && line.back() != ' ')
            line += ' ';
        breakSeen = false;
        line += c;
    }
    return line;
}

CliUi::CliUi(Io& io)
    : io_(io)
{
}

void CliUi::Answer(const std::string& text, bool yes, const std::string& flag)
{
    answers_[text] = {yes, flag};
}

void CliUi::AnswerStartingWith(const std::string& start, bool yes, const std::string& flag)
{
    starts_[start] = {yes, flag};
}

int CliUi::ShowMessage(MessageKind kind, const std::string& text)
{
    Finish();
    if (kind != MessageKind::YesNo) {
        Print(io_.err, OneLine(text) + "\n");
        return 0;
    }
    const Answer_* answer = nullptr;
    if (const auto own = answers_.find(text); own != answers_.end())
        answer = &own->second;
    for (const auto& [start, a] : starts_) {
        if (!answer && text.starts_with(start))
            answer = &a;
    }
    if (answer && answer->yes)
        return 1;
    // The question, and that it was answered No, and what answers it Yes.
    std::string line = OneLine(text) + " No";
    if (answer && !answer->flag.empty())
        line += " (" + answer->flag + " answers Yes)";
    Print(io_.err, line + "\n");
    return 0;
}

void CliUi::Pump()
{
    if (stop_ && io_.stopRequested && io_.stopRequested()) {
        stop_();
        stop_ = nullptr;
    }
}

std::optional<std::string> CliUi::AskPassword(const std::string& connectionName)
{
    Finish();
    if (!io_.askPassword)
        return std::nullopt;
    return io_.askPassword("Password of connection " + connectionName + ": ");
}

void CliUi::TableStarted(const std::string& table)
{
    if (table == table_)
        return;
    Finish();
    table_ = table;
    total_ = -1;
    current_ = 0;
    // A table the second connection is sending keeps the time it began.
    const auto beside = besideStart_.find(table);
    tableStart_ = beside != besideStart_.end() ? beside->second : std::chrono::steady_clock::now();
    lastDraw_ = {};
    ShowProgress(false);
}

void CliUi::TableGoesBeside(const std::string& table)
{
    besideStart_[table] = table == table_ ? tableStart_ : std::chrono::steady_clock::now();
    if (table != table_)
        return;
    if (io_.terminal)
        Print(io_.out, "\r\033[K");
    table_.clear();
}

void CliUi::TableDoneBeside(const std::string& table, long long rows)
{
    if (table == table_) {
        total_ = rows;
        Finish();
        return;
    }
    const auto start = besideStart_.find(table);
    const double seconds = start == besideStart_.end()
        ? 0.0
        : std::chrono::duration<double>(std::chrono::steady_clock::now() - start->second).count();
    // Above the line of the table in progress, which is drawn again.
    Print(io_.out, (io_.terminal ? "\r\033[K" : "") + DoneLine(table, rows, seconds) + "\n");
    if (!table_.empty()) {
        lastDraw_ = {};
        ShowProgress(false);
    }
}

std::string CliUi::DoneLine(const std::string& table, long long rows, double seconds)
{
    char text[96];
    std::snprintf(text, sizeof text, " rows, %.1f s", seconds);
    std::string line = table + ": " + std::to_string(rows) + text;
    if (seconds > 0.05) {
        std::snprintf(text, sizeof text, ", %.0f rows/s", static_cast<double>(rows) / seconds);
        line += text;
    }
    return line;
}

void CliUi::SetText(RunField field, const std::string& text)
{
    if (table_.empty())
        return;
    // The run has ended: the last table's line ends with its count, before
    // the panel's texts are reset.
    if (field == RunField::TableMembers && text == kAllCopiedText) {
        Finish();
        return;
    }
    if (field == RunField::TableMembers) {
        // "<n> rows", a bare count, or "Waiting" while the count is unknown.
        const bool number = !text.empty() && text[0] >= '0' && text[0] <= '9';
        total_ = number ? LeadingInteger(text) : -1;
    } else if (field == RunField::CurrentMember) {
        current_ = LeadingInteger(text);
        ShowProgress(false);
    }
}

void CliUi::SetBarRange(RunBar bar, int maximum)
{
    if (bar != RunBar::CurrentTable)
        return;
    barMaximum_ = maximum;
    barSteps_ = 0;
}

void CliUi::StepBar(RunBar bar)
{
    if (bar != RunBar::CurrentTable)
        return;
    ++barSteps_;
    ShowProgress(false);
}

void CliUi::Finish()
{
    if (table_.empty())
        return;
    ShowProgress(true);
    table_.clear();
}

void CliUi::ShowProgress(bool final)
{
    const auto now = std::chrono::steady_clock::now();
    if (!final && (!io_.terminal || now - lastDraw_ < kRedraw))
        return;
    lastDraw_ = now;
    const double seconds = std::chrono::duration<double>(now - tableStart_).count();
    const std::string clear = io_.terminal ? "\r\033[K" : "";
    if (final) {
        Print(io_.out, clear + DoneLine(table_, total_ >= 0 ? total_ : current_, seconds) + "\n");
        return;
    }
    std::string line = table_ + ": " + std::to_string(current_);
    line += total_ < 0 ? " rows" : " of " + std::to_string(total_) + " rows";
    if (barMaximum_ > 0)
        line += " (" + std::to_string(std::min<long long>(100, barSteps_ * 100 / barMaximum_)) + "%)";
    char text[64];
    std::snprintf(text, sizeof text, ", %.1f s", seconds);
    line += text;
    if (seconds > 0.05) {
        std::snprintf(text, sizeof text, ", %.0f rows/s", static_cast<double>(current_) / seconds);
        line += text;
    }
    Print(io_.out, clear + line);
}

} // namespace cli
