#pragma once

#include "core/engine/RunUi.h"
#include "core/state/AppState.h"

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

// Support shared by the subcommands of vorda-bench. Each subcommand lives in
// its own source file and registers itself with VORDA_BENCH_COMMAND.
namespace bench {

// A run panel without a window: every question gets the same answer (but
// those given their own with Answer), every message goes to standard error,
// and pumping only looks at the stop request of SIGTERM.
class BenchUi : public RunUi {
public:
    explicit BenchUi(int answer = 0) : answer_(answer) {}
    // The answer to the question `text`.
    void Answer(const std::string& text, int answer) { answers_[text] = answer; }
    // The answer to every question that begins with `start`.
    void AnswerStartingWith(const std::string& start, int answer) { starts_[start] = answer; }
    // What a stop request (SIGTERM) does: it cancels the run.
    void OnStop(std::function<void()> stop) { stop_ = std::move(stop); }
    void SetText(RunField, const std::string&) override {}
    void SetBarRange(RunBar, int) override {}
    void StepBar(RunBar) override {}
    int ShowMessage(MessageKind kind, const std::string& text) override;
    void Pump() override;
    void SetWaitCursor(bool) override {}

private:
    int answer_;
    std::map<std::string, int> answers_;
    std::map<std::string, int> starts_;
    std::function<void()> stop_;
};

// Makes SIGTERM and SIGINT a stop request that BenchUi::Pump passes on to
// the run, so a run ends as cancelled and leaves no temporary file behind.
void CatchStopSignals();
bool StopRequested();
// The exit status of a command stopped by a signal.
inline constexpr int kStoppedStatus = 143;
// The exit status of a run that did not start because another run of the
// same backup (in this or another process) holds it.
inline constexpr int kBusyStatus = 75;

// Peak resident memory of this process so far, in kB.
long PeakRssKb();
// "rows=N seconds=S rows_per_s=R peak_rss_kb=K"
std::string ResultLine(unsigned long long rows, double seconds);

// Command-line arguments: "--name value" options, "--flag" flags and
// positional words, in any order.
struct Args {
    std::map<std::string, std::string> options;
    std::set<std::string> flags;
    std::vector<std::string> positional;
    std::string error; // set when an option lacks its value or is unknown

    std::string Get(const std::string& name, const std::string& fallback = {}) const;
};
Args ParseArgs(const std::vector<std::string>& words, const std::set<std::string>& valued,
               const std::set<std::string>& flagNames = {});

// Whether the settings file of `state` can be read. When it cannot (damaged,
// unreadable or locked for more than five seconds) says so on the standard
// error stream, as "vorda-bench <command>: the settings file ... is damaged:
// <reason>", and returns false.
bool StoreReadable(const AppState& state, const char* command);

// Makes sure the data directory exists (private) and ends with '/'.
std::string PrepareDataDir(std::string dir);

using Command = int (*)(const std::vector<std::string>& args);
struct CommandInfo {
    Command run;
    const char* usage;
};
bool RegisterCommand(const char* name, const char* usage, Command run);
const std::map<std::string, CommandInfo>& Commands();

} // namespace bench

#define VORDA_BENCH_COMMAND(name, usage, function) \
    static const bool registered_##function = bench::RegisterCommand(name, usage, function)
