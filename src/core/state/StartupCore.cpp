#include "core/state/StartupCore.h"

#include "core/store/StoreKeys.h"

#include <QDir>
#include <QStandardPaths>

#include <cerrno>
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

void StartUpBeforePages(AppState& state)
{
    state.config.LoadConfiguration();
    state.startedMinimised = state.settings().startMin;
    state.messagesEnabled = true;
    if (IsFirstStart(state.store)) {
        state.config.ResetConfiguration();
        state.nameLists.ResetTotals();
        // The very first run begins with an empty history log.
        state.settings().logAtStart = true;
        state.store.SetValue(keys::kInstallTable, keys::kFirstStartDone, keys::kTrue);
    }
    if (state.settings().logAtStart)
        state.log.Clear();
}

void StartUpAfterPages(AppState& state)
{
    state.nameLists.RecountTotals();
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
