#pragma once

#include <string>
#include <string_view>
#include <vector>

// Older copies of a backup file. When a run completes, the previous
// backup_<name>.tbk is kept as backup_<name>.<YYYYMMDD-HHMMSS>.tbk (a
// compressed one as backup_<name>.<YYYYMMDD-HHMMSS>.tbk.zst), named by
// the start time of the run that wrote it (its header's "Backup TimeStamp",
// local time as written; the file's modification time when it has none), and
// the copies beyond the setting are removed, oldest first. A backup name
// holds no dot, so one backup's copies never pass for another's files.
struct BackupFileEntry {
    std::string path;
    std::string stamp; // "YYYYMMDD-HHMMSS"; empty for the current file
    bool IsCurrent() const { return stamp.empty(); }
};

// dataDir + "backup_" + name + "." + stamp + ".tbk" (+ ".zst" when compressed)
std::string BackupCopyPath(const std::string& dataDir, const std::string& name, const std::string& stamp,
                           bool compressed = false);
// Eight digits, "-", six digits.
bool IsCopyStamp(std::string_view stamp);
// The older copies of backup `name`, of both forms, newest first.
std::vector<BackupFileEntry> ListBackupCopies(const std::string& dataDir, const std::string& name);
// The current file (when there is one), then the older copies, newest first.
std::vector<BackupFileEntry> ListBackupFiles(const std::string& dataDir, const std::string& name);
// Whether `path` is the current file or an older copy of backup `name`.
bool IsBackupFileOf(const std::string& dataDir, const std::string& name, const std::string& path);

// The stamp of the run that wrote the backup file at `path` (empty when the
// file cannot be read at all).
std::string RunStampOf(const std::string& path);
// A stamp as a time text of `format` (strftime letters, C locale), for
// example "Mon, Dec 07, 2026 - 02:14:35 AM"; the stamp itself when it is
// not a valid date.
std::string StampText(const std::string& stamp, const char* format);

// Keeps the previous backup file of a backup while a completed run's file
// takes its place: KeepCurrent before the new file is moved in, then Prune,
// or Undo when the new file could not be moved in.
class BackupRotation {
public:
    BackupRotation(std::string dataDir, std::string name);

    // Links the current file (when there is one) under its copy name, in its
    // own form; a copy of the same second is replaced. False when nothing
    // was kept.
    bool KeepCurrent();
    // Once the new current file `current` is in place: removes the other
    // form's current file, so that a backup has one current file. Kept as
    // an older copy by KeepCurrent when it was the current one (or by the
    // run that replaced it, when a stop left both behind).
    void RetireOtherForm(const std::string& current);
    // Removes the copy KeepCurrent made.
    void Undo();
    // Removes the copies beyond the `keep` newest; returns how many went.
    int Prune(int keep) const;

private:
    std::string dataDir_;
    std::string name_;
    std::string kept_; // the copy KeepCurrent made
};
