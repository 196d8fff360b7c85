#include "BenchSupport.h"

#include "core/state/StartupCore.h"

#include <csignal>
#include <cstdio>
#include <sys/resource.h>

namespace bench {

namespace {

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void OnStopSignal(int)
{
    stopRequested = 1;
}

} // namespace

int BenchUi::ShowMessage(MessageKind kind, const std::string& text)
{
    std::fprintf(stderr, "[message %d] %s\n", static_cast<int>(kind), text.c_str());
    const auto own = answers_.find(text);
    if (own != answers_.end())
        return own->second;
    for (const auto& [start, answer] : starts_) {
        if (text.starts_with(start))
            return answer;
    }
    return answer_;
}

void BenchUi::Pump()
{
    if (stopRequested && stop_) {
        stop_();
        stop_ = nullptr;
    }
}

void CatchStopSignals()
{
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

bool StopRequested()
{
    return stopRequested != 0;
}

long PeakRssKb()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::string ResultLine(unsigned long long rows, double seconds)
{
    char line[256];
    std::snprintf(line, sizeof line, "rows=%llu seconds=%.3f rows_per_s=%.0f peak_rss_kb=%ld", rows, seconds,
                  seconds > 0 ? static_cast<double>(rows) / seconds : 0.0, PeakRssKb());
    return line;
}

std::string Args::Get(const std::string& name, const std::string& fallback) const
{
    const auto found = options.find(name);
    return found != options.end() ? found->second : fallback;
}

Args ParseArgs(const std::vector<std::string>& words, const std::set<std::string>& valued,
               const std::set<std::string>& flagNames)
{
    Args args;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word.rfind("--", 0) != 0) {
            args.positional.push_back(word);
        } else if (flagNames.count(word)) {
            args.flags.insert(word);
        } else if (valued.count(word)) {
            if (i + 1 >= words.size()) {
                args.error = word + " needs a value";
                break;
            }
            args.options[word] = words[++i];
        } else {
            args.error = "unknown option " + word;
            break;
        }
    }
    return args;
}

std::string PrepareDataDir(std::string dir)
{
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    EnsurePrivateDirectory(dir);
    return dir;
}

bool StoreReadable(const AppState& state, const char* command)
{
    const StoreCheck check = state.store.Check(5000);
    const char* what = check.health == StoreHealth::Damaged ? "is damaged"
        : check.health == StoreHealth::Locked              ? "is locked by another program"
                                                           : "cannot be read";
    if (check.health == StoreHealth::Sound)
        return true;
    std::fprintf(stderr, "vorda-bench %s: the settings file %s %s: %s\n", command, state.paths.dbPath.c_str(), what,
                 check.reason.c_str());
    return false;
}

namespace {
std::map<std::string, CommandInfo>& Registry()
{
    static std::map<std::string, CommandInfo> commands;
    return commands;
}
} // namespace

bool RegisterCommand(const char* name, const char* usage, Command run)
{
    Registry()[name] = CommandInfo {run, usage};
    return true;
}

const std::map<std::string, CommandInfo>& Commands()
{
    return Registry();
}

} // namespace bench
