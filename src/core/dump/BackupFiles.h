#pragma once

#include <ctime>
#include <string>
#include <vector>

// The files a backup keeps in the data directory, for when the backup is
// deleted: its backup file backup_<name>.tbk and any other file named after
// it (backup_<name>.tbk.<something>, the compressed form backup_<name>.tbk.zst
// among them) and the older copies of both forms, but not the temporary
// files a running backup writes. A new backup of the same name must never take them for its
// own, so they are either deleted or set aside under a name no backup reads.

// The file names (without the directory) of the backup's files, sorted.
std::vector<std::string> BackupFileNames(const std::string& dataDir, const std::string& backupName);

// Deletes them, and the temporary files a stopped run of the backup left.
// False when one of them could not be deleted.
bool DeleteBackupFiles(const std::string& dataDir, const std::string& backupName);

// Renames each to "deleted_" + YYYYMMDD_HHMMSS of `now` (local time) + "_" +
// its name (with "_2", "_3", ... before the name when that is taken), so
// that no backup reads it again; removes the stale temporary files. Gives
// the new names; `ok` is false when one could not be renamed.
std::vector<std::string> SetAsideBackupFiles(const std::string& dataDir, const std::string& backupName,
                                             std::time_t now, bool& ok);
