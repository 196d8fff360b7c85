#pragma once

// `vorda <command> ...`: runs the command without a window or a display
// (QCoreApplication) and returns its exit status. The program calls it when
// cli::IsCommandLine says its arguments are a command line.
namespace cli {
int Main(int argc, char* argv[]);
}
