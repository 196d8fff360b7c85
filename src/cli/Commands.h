#pragma once

#include "cli/CliIo.h"

#include <string>
#include <string_view>
#include <vector>

// `vorda <command> ...`: Vorda's work without a window, on the same data
// folder, settings, history log, locks and rules as the window.
namespace cli {

// The systemd user timer that runs `vorda run-due` every quarter hour.
inline constexpr const char* kTimerUnit = "vorda-run-due.timer";

// Whether `word` names a command (backup, restore, check, list, run-due,
// log, sql, schedule).
bool IsCommand(std::string_view word);

// The words that make `vorda` run a command: a command, possibly after
// "--data-dir DIR". False for anything the window's own command line takes.
bool IsCommandLine(const std::vector<std::string>& words);

// The commands and what each does, for `vorda --help`.
std::string CommandSummary();

// Runs the command line `words` (the program's arguments without its name):
// optionally "--data-dir DIR", then the command and its arguments. Returns
// the exit status: kDone, kFailed or kWrongUse.
int Run(const std::vector<std::string>& words, Io& io);

} // namespace cli
