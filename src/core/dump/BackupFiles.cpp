#include "core/dump/BackupFiles.h"

#include "core/dump/BackupCopies.h"
#include "core/dump/DumpFormat.h"
#include "core/store/AtomicFile.h"

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <sys/stat.h>

namespace {

bool Exists(const std::string& path)
{
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

} // namespace

std::vector<std::string> BackupFileNames(const std::string& dataDir, const std::string& backupName)
{
    const std::string main = "backup_" + backupName + ".tbk";
    const std::string tempStart = AtomicFile::TempPrefix(dataDir + main).substr(dataDir.size());
    const std::string compressedTempStart
        = AtomicFile::TempPrefix(BackupFilePath(dataDir, backupName, true)).substr(dataDir.size());
    std::vector<std::string> names;
    DIR* dir = opendir(dataDir.c_str());
    if (!dir)
        return names;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        // The current file, files named after it (but not a running backup's
        // temporary file) and the older copies backup_<name>.<stamp>.tbk; never
        // the lock file, which other processes may hold.
        // Both forms of each.
        const bool ours = IsBackupFileOf(dataDir, backupName, dataDir + name)
                          || (name.starts_with(main + ".") && !name.starts_with(tempStart)
                              && !name.starts_with(compressedTempStart));
        struct stat st {};
        if (ours && lstat((dataDir + name).c_str(), &st) == 0 && S_ISREG(st.st_mode))
            names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool DeleteBackupFiles(const std::string& dataDir, const std::string& backupName)
{
    bool ok = true;
    for (const std::string& name : BackupFileNames(dataDir, backupName))
        ok = std::remove((dataDir + name).c_str()) == 0 && ok;
    for (const bool compressed : {false, true})
        AtomicFile::RemoveStaleTemps(BackupFilePath(dataDir, backupName, compressed));
    return ok;
}

std::vector<std::string> SetAsideBackupFiles(const std::string& dataDir, const std::string& backupName,
                                             std::time_t now, bool& ok)
{
    ok = true;
    std::tm local {};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d_%H%M%S", &local);
    std::vector<std::string> moved;
    for (const std::string& name : BackupFileNames(dataDir, backupName)) {
        std::string target = "deleted_" + std::string(stamp) + "_" + name;
        for (int n = 2; Exists(dataDir + target); ++n)
            target = "deleted_" + std::string(stamp) + "_" + std::to_string(n) + "_" + name;
        if (std::rename((dataDir + name).c_str(), (dataDir + target).c_str()) == 0)
            moved.push_back(target);
        else
            ok = false;
    }
    for (const bool compressed : {false, true})
        AtomicFile::RemoveStaleTemps(BackupFilePath(dataDir, backupName, compressed));
    return moved;
}
