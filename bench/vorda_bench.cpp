// vorda-bench: runs Vorda's long operations without a window and measures
// them. Every subcommand is one source file that registers itself.
#include "BenchSupport.h"

#include <cstdio>

int main(int argc, char** argv)
{
    const auto& commands = bench::Commands();
    const auto found = argc > 1 ? commands.find(argv[1]) : commands.end();
    if (found == commands.end()) {
        std::fprintf(stderr, "usage:\n");
        for (const auto& [name, info] : commands)
            std::fprintf(stderr, "  vorda-bench %s %s\n", name.c_str(), info.usage);
        return 2;
    }
    return found->second.run(std::vector<std::string>(argv + 2, argv + argc));
}
