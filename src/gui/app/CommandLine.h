#pragma once

#include <optional>

// The window's command line, read before any window or file is touched
// (a command line that starts with a command goes to cli::Main instead).
// The window takes no arguments of its own beyond the usual --help and --version; the options
// of Qt's own (-platform, -display, -style, -session, ...) pass through to
// QApplication.
//
// Returns the exit status when the program is to end at once: 0 after
// printing the help or the version to standard output, 2 after printing an
// error and the usage to standard error for an unknown option or an
// argument. Returns nothing when the program is to start normally.
std::optional<int> HandleCommandLine(int argc, char* argv[]);
