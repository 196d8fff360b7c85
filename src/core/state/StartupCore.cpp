#include "core/state/StartupCore.h"

#include "core/store/StoreKeys.h"

#include <QDir>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

std::string ResolveDataDirectory()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::homePath() + "/.local/share";
    return (base + "/Tesmo/Vorda Quendal System/").toStdString();
}

bool EnsurePrivateDirectory(const std::string& path)
{
    std::string partial;
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t slash = path.find('/', pos);
        if (slash == std::string::npos)
            slash = path.size();
        partial = path.substr(0, slash);
        if (!partial.empty())
            ::mkdir(partial.c_str(), 0700);
        pos = slash + 1;
    }
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsFirstStart(const SettingsStore& store)
{
    return store.GetValue(keys::kInstallTable, keys::kFirstStartDone) != keys::kTrue;
}

void StartUpBeforePages(AppState& state, StoreStart store)
{
    for (const std::string& change : TightenDataModes(state.paths))
        state.log.AppendEntry(true, change);
    state.config.LoadConfiguration();
    state.startedMinimised = state.settings().startMin;
    state.messagesEnabled = true;
    if (store == StoreStart::Unreadable) {
        // Settings that could not be read are not the user's choice: the
        // history log stays as it is.
        state.settings().logAtStart = false;
        return;
    }
    if (IsFirstStart(state.store)) {
        // Failed writes leave the mark unset: the next start tries again.
        StoreStatus stored = state.config.ResetConfiguration();
        stored.Also(state.nameLists.ResetTotals());
        // The very first run begins with an empty history log; a start after
        // a damaged settings file keeps the log, which tells what happened.
        state.settings().logAtStart = store == StoreStart::Readable;
        if (stored)
            (void)state.store.SetValue(keys::kInstallTable, keys::kFirstStartDone, keys::kTrue);
    }
    if (state.settings().logAtStart)
        state.log.Clear();
}

void StartUpAfterPages(AppState& state)
{
    // Totals that cannot be stored are recounted at the next start.
    (void)state.nameLists.RecountTotals();
}

std::string DamagedStorePath(const std::string& dbPath, std::time_t now)
{
    std::tm local {};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string target = dbPath + ".damaged-" + stamp;
    // A second move in the same second keeps the first one's file.
    for (int n = 2; ::access(target.c_str(), F_OK) == 0; ++n)
        target = dbPath + ".damaged-" + stamp + "-" + std::to_string(n);
    return target;
}

bool MoveStoreAside(const std::string& dbPath, const std::string& target, std::string& error)
{
    if (::rename(dbPath.c_str(), target.c_str()) != 0) {
        error = std::strerror(errno);
        return false;
    }
    // SQLite's journal belongs to the moved file.
    for (const char* suffix : {"-journal", "-wal", "-shm"})
        ::rename((dbPath + suffix).c_str(), (target + suffix).c_str());
    return true;
}

std::vector<std::string> TightenDataModes(const AppPaths& paths)
{
    std::vector<std::string> changes;
    auto tighten = [&changes](std::string path, bool directory) {
        while (directory && path.size() > 1 && path.back() == '/')
            path.pop_back();
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || (directory ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode)))
            return;
        const mode_t old = st.st_mode & 07777;
        const mode_t tight = old & (directory ? 0700 : 0600);
        if (old == tight || ::chmod(path.c_str(), tight) != 0)
            return;
        char text[64];
        std::snprintf(text, sizeof text, " from %04o to %04o", static_cast<unsigned>(old),
                      static_cast<unsigned>(tight));
        changes.push_back("File Permissions Tightened: " + path + text);
    };
    tighten(paths.dataDir, true);
    tighten(paths.dbPath, false);
    tighten(paths.logPath, false);
    return changes;
}

void ShutDown(AppState& state)
{
    state.log.AppendEntry(true, "Vorda Software Exited");
}

SingleInstanceLock::~SingleInstanceLock()
{
    if (fd_ >= 0)
        ::close(fd_);
}

SingleInstanceLock::Result SingleInstanceLock::Acquire(const std::string& directory)
{
    std::string path = directory;
    if (!path.empty() && path.back() != '/')
        path += '/';
    path += "VordaMutex";
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd_ < 0)
        return Result::Failed;
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd_);
        fd_ = -1;
        return error == EWOULDBLOCK ? Result::AlreadyRunning : Result::Failed;
    }
    return Result::Acquired;
}
