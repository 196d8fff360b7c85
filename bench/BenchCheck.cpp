// vorda-bench check [--max-line BYTES] FILE
// Runs the first pass of a restore (BackupFileCheck) over a backup file and
// times it, without a server: the part of a restore that reads the whole
// file before anything is touched. --max-line is the longest line accepted
// (a restore takes it from the server's max_allowed_packet; default 64 MiB).
// Prints "lines=... rows=... seconds=... verdict=..."; the exit status is 0
// for a complete or unfinished file, 1 for a damaged one.
#include "BenchSupport.h"

#include "core/restore/BackupFileCheck.h"
#include "core/restore/LineReader.h"
#include "core/store/Numbers.h"

#include <chrono>
#include <cstdio>

namespace {

constexpr const char* kUsage = "[--max-line BYTES] FILE";

int Check(const std::vector<std::string>& words)
{
    const bench::Args args = bench::ParseArgs(words, {"--max-line"});
    const long long maxLine = LeadingInteger(args.Get("--max-line", "67108864"));
    if (!args.error.empty() || args.positional.size() != 1 || maxLine <= 0) {
        std::fprintf(stderr, "usage: vorda-bench check %s\n", kUsage);
        return 2;
    }
    LineReader reader(static_cast<size_t>(maxLine), LineReader::LongLines::Refuse);
    if (!reader.Open(args.positional[0])) {
        std::fprintf(stderr, "vorda-bench check: cannot open %s\n", args.positional[0].c_str());
        return 1;
    }
    const auto began = std::chrono::steady_clock::now();
    long long breaths = 0;
    BackupFileCheck check(static_cast<size_t>(maxLine), [&breaths] {
        ++breaths;
        return true;
    });
    const FileCheckResult result = check.Run(reader);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    const char* verdict = result.verdict == FileCheckResult::Verdict::Complete     ? "complete"
                          : result.verdict == FileCheckResult::Verdict::Unfinished ? "unfinished"
                                                                                   : "damaged";
    std::printf("bytes=%llu rows=%lld tables=%zu seconds=%.3f verdict=%s breaths=%lld peak_rss_kb=%ld\n",
                reader.BytesRead(), result.rows, result.tables.size(), seconds, verdict, breaths, bench::PeakRssKb());
    if (result.verdict == FileCheckResult::Verdict::Damaged) {
        std::fprintf(stderr, "%s\n", BackupFileCheck::DamagedMessage(result).c_str());
        return 1;
    }
    return 0;
}

} // namespace

VORDA_BENCH_COMMAND("check", kUsage, Check);
