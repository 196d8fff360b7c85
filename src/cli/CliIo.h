#pragma once

#include "core/history/TimeTexts.h"

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace cli {

// Exit statuses of every command.
inline constexpr int kDone = 0;
inline constexpr int kFailed = 1;
inline constexpr int kWrongUse = 2;

// What a command reaches outside itself. The program hands in the real
// streams, terminal, clock, desktop and systemctl; tests hand in files, the
// test's clock and what the machine has.
struct Io {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    // Standard output is a terminal: progress is redrawn in place.
    bool terminal = false;
    // The data folder when --data-dir is not given (ends with '/').
    std::string dataDir;
    Clock clock = SystemClock();
    // Asks for a password on the terminal without echo; nullopt when there
    // is no terminal or the user gave none. Unset: nobody can be asked.
    std::function<std::optional<std::string>(const std::string& prompt)> askPassword;
    // Sends a desktop notification; unset or false when there is no session
    // bus or nothing answers.
    std::function<bool(const std::string& summary, const std::string& body)> notify;
    // Runs `systemctl --user` with `args`, giving its exit status and what it
    // printed on standard output; its errors go to `err`.
    std::function<int(const std::vector<std::string>& args, std::string& output)> systemctl;
    // Set by SIGTERM and SIGINT: the run in progress stops at its next check.
    std::function<bool()> stopRequested;
};

} // namespace cli
