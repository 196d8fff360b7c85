#include "core/dump/BackupCopies.h"

#include "core/dump/BackupCompression.h"
#include "core/dump/DumpFormat.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr size_t kStampLength = 15; // YYYYMMDD-HHMMSS
constexpr const char* kTimeStampLine = "-- Backup TimeStamp: ";
constexpr const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                         "July",    "August",   "September", "October", "November", "December"};

std::string CopyPrefix(const std::string& name)
{
    return "backup_" + name + ".";
}

std::string FormatStamp(const std::tm& t)
{
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                  t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

// "Monday, December 07, 2026 - 02:14:35 AM" (the long time form the header
// carries) into its date and time fields.
bool ParseLongTime(const std::string& text, std::tm& t)
{
    char month[16] = {};
    char half[3] = {};
    int day = 0, year = 0, hour = 0, minute = 0, second = 0;
    if (std::sscanf(text.c_str(), "%*[A-Za-z], %15[A-Za-z] %d, %d - %d:%d:%d %2[AMP]", month, &day, &year, &hour,
                    &minute, &second, half)
        != 7)
        return false;
    int m = 0;
    while (m < 12 && std::strcmp(kMonths[m], month) != 0)
        ++m;
    const bool pm = std::strcmp(half, "PM") == 0;
    if (m == 12 || (!pm && std::strcmp(half, "AM") != 0) || day < 1 || day > 31 || year < 1900 || year > 9999
        || hour < 1 || hour > 12 || minute < 0 || minute > 59 || second < 0 || second > 60)
        return false;
    t = {};
    t.tm_year = year - 1900;
    t.tm_mon = m;
    t.tm_mday = day;
    t.tm_hour = hour % 12 + (pm ? 12 : 0);
    t.tm_min = minute;
    t.tm_sec = second;
    return true;
}

// The stamp of an older copy's file name (prefix + stamp + ".tbk" or
// ".tbk.zst"), or empty when the name is not one.
std::string_view CopyStampOf(std::string_view file, std::string_view prefix)
{
    if (file.size() < prefix.size() || file.substr(0, prefix.size()) != prefix)
        return {};
    const std::string_view rest = file.substr(prefix.size());
    if (rest.size() != kStampLength + 4 && rest.size() != kStampLength + 8)
        return {};
    const std::string_view stamp = rest.substr(0, kStampLength);
    const std::string_view ending = rest.substr(kStampLength);
    return IsCopyStamp(stamp) && (ending == ".tbk" || ending == ".tbk.zst") ? stamp : std::string_view();
}

} // namespace

std::string BackupCopyPath(const std::string& dataDir, const std::string& name, const std::string& stamp,
                           bool compressed)
{
    return dataDir + CopyPrefix(name) + stamp + (compressed ? ".tbk.zst" : ".tbk");
}

bool IsCopyStamp(std::string_view stamp)
{
    if (stamp.size() != kStampLength)
        return false;
    for (size_t i = 0; i < stamp.size(); ++i) {
        if (i == 8 ? stamp[i] != '-' : !std::isdigit(static_cast<unsigned char>(stamp[i])))
            return false;
    }
    return true;
}

std::vector<BackupFileEntry> ListBackupCopies(const std::string& dataDir, const std::string& name)
{
    std::vector<BackupFileEntry> copies;
    const std::string prefix = CopyPrefix(name);
    DIR* dir = ::opendir(dataDir.c_str());
    if (!dir)
        return copies;
    while (const dirent* e = ::readdir(dir)) {
        const std::string_view file = e->d_name;
        const std::string_view stamp = CopyStampOf(file, prefix);
        struct stat st {};
        const std::string path = dataDir + std::string(file);
        if (!stamp.empty() && ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            copies.push_back({path, std::string(stamp)});
    }
    ::closedir(dir);
    std::sort(copies.begin(), copies.end(),
              [](const BackupFileEntry& a, const BackupFileEntry& b) { return a.stamp > b.stamp; });
    return copies;
}

std::vector<BackupFileEntry> ListBackupFiles(const std::string& dataDir, const std::string& name)
{
    std::vector<BackupFileEntry> files;
    const std::string current = BackupFilePath(dataDir, name);
    struct stat st {};
    if (::lstat(current.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        files.push_back({current, {}});
    for (BackupFileEntry& copy : ListBackupCopies(dataDir, name))
        files.push_back(std::move(copy));
    return files;
}

bool IsBackupFileOf(const std::string& dataDir, const std::string& name, const std::string& path)
{
    if (path == BackupFilePath(dataDir, name))
        return true;
    if (path == BackupFilePath(dataDir, name, false) || path == BackupFilePath(dataDir, name, true))
        return true;
    return !CopyStampOf(path, dataDir + CopyPrefix(name)).empty();
}

std::string RunStampOf(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return {};
    // The header is the text's first 14 lines.
    const std::string text = zfile::ReadTextStart(path, 4096);
    const size_t at = text.find(std::string("\n") + kTimeStampLine);
    if (at != std::string::npos) {
        const size_t start = at + 1 + std::strlen(kTimeStampLine);
        const size_t end = text.find_first_of("\r\n", start);
        std::tm t {};
        if (end != std::string::npos && ParseLongTime(text.substr(start, end - start), t))
            return FormatStamp(t);
    }
    std::tm local {};
    if (!localtime_r(&st.st_mtime, &local))
        return {};
    return FormatStamp(local);
}

std::string StampText(const std::string& stamp, const char* format)
{
    std::tm t {};
    if (!IsCopyStamp(stamp)
        || std::sscanf(stamp.c_str(), "%4d%2d%2d-%2d%2d%2d", &t.tm_year, &t.tm_mon, &t.tm_mday, &t.tm_hour, &t.tm_min,
                       &t.tm_sec)
            != 6)
        return stamp;
    t.tm_year -= 1900;
    t.tm_mon -= 1;
    // The weekday of the date (whatever the zone): timegm fills it in.
    std::tm day = t;
    const std::time_t noon = timegm(&day);
    if (noon == static_cast<std::time_t>(-1) || day.tm_mon != t.tm_mon || day.tm_mday != t.tm_mday)
        return stamp;
    t.tm_wday = day.tm_wday;
    t.tm_yday = day.tm_yday;
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    char text[128];
    const size_t length = strftime_l(text, sizeof text, format, &t, c);
    return length == 0 ? stamp : std::string(text, length);
}

BackupRotation::BackupRotation(std::string dataDir, std::string name)
    : dataDir_(std::move(dataDir))
    , name_(std::move(name))
{
}

bool BackupRotation::KeepCurrent()
{
    kept_.clear();
    const std::string current = BackupFilePath(dataDir_, name_);
    struct stat st {};
    if (::lstat(current.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    const std::string stamp = RunStampOf(current);
    if (stamp.empty())
        return false;
    const bool compressed = zfile::IsCompressedName(current);
    const std::string copy = BackupCopyPath(dataDir_, name_, stamp, compressed);
    // One copy per run: the other form's copy of the same second goes.
    ::unlink(BackupCopyPath(dataDir_, name_, stamp, !compressed).c_str());
    // A second name for the same file: the current file stays in place
    // until the new one replaces it in one step.
    if (::link(current.c_str(), copy.c_str()) != 0) {
        if (errno != EEXIST || ::unlink(copy.c_str()) != 0 || ::link(current.c_str(), copy.c_str()) != 0)
            return false;
    }
    kept_ = copy;
    return true;
}

void BackupRotation::RetireOtherForm(const std::string& current)
{
    const std::string other = BackupFilePath(dataDir_, name_, !zfile::IsCompressedName(current));
    struct stat st {};
    if (other != current && ::lstat(other.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        ::unlink(other.c_str());
}

void BackupRotation::Undo()
{
    if (!kept_.empty())
        ::unlink(kept_.c_str());
    kept_.clear();
}

int BackupRotation::Prune(int keep) const
{
    const std::vector<BackupFileEntry> copies = ListBackupCopies(dataDir_, name_);
    int removed = 0;
    for (size_t i = static_cast<size_t>(std::max(keep, 0)); i < copies.size(); ++i) {
        if (::unlink(copies[i].path.c_str()) == 0)
            ++removed;
    }
    return removed;
}
