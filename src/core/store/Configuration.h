#pragma once

#include "core/store/SettingsStore.h"

#include <string>

enum class ReportingState { Standard, Verbose };
enum class LogDirection { Ascend, Descend };
enum class RestoreMode { Absolute, Indirect };

// The in-memory mirror of the configuration keys. The member initialisers
// are the values in force before anything is loaded; they differ from the
// defaults that ResetConfiguration writes, and a missing stored row leaves
// them as they are.
struct Settings {
    bool compStart = true;
    bool startMin = false;
    bool minClose = true;
    bool firstEntry = true;
    ReportingState reporting = ReportingState::Standard;
    LogDirection direction = LogDirection::Descend;
    RestoreMode restoreMode = RestoreMode::Absolute;
    bool logAtStart = true;
    bool showImage = true;
    bool showTimestamp = true;
    bool doubleSpace = true;
    bool restoreColor = true;
    bool safeCopy = true;
    bool lineNumbers = false;
    // Run scheduled backups missed while Vorda was not running (at start).
    bool catchUp = true;
    // A failed or skipped scheduled backup notifies the desktop.
    bool notifyFailure = true;
    // How many older backup files of each backup are kept (0 to 30).
    int keepCopies = 2;
    // Backups write the compressed form of their files (.tbk.zst).
    bool compress = false;
};

// The older copies kept of a backup file: kDefaultKeepCopies unless the
// setting is stored as plain decimal digits, and at most kMaxKeepCopies.
inline constexpr int kDefaultKeepCopies = 2;
inline constexpr int kMaxKeepCopies = 30;

// The three in-memory totals of definitions.
struct Totals {
    int connections = 0;
    int backups = 0;
    int schedules = 0;
};

class Configuration {
public:
    Configuration(const SettingsStore& store, Totals& totals);

    Settings settings;

    // Reads every key and the three stored totals into memory.
    void LoadConfiguration();
    // Sets the in-memory settings to the defaults and stores the defaults.
    void ResetConfiguration();

    // Writers: each sets the in-memory value and stores its text.
    void WriteCompStart(bool on);
    void WriteStartMin(bool on);
    void WriteMinClose(bool on);
    void WriteFirstEntry(bool on);
    void WriteReportingState(ReportingState state);
    void WriteDirection(LogDirection direction);
    void WriteRestoreMode(RestoreMode mode);
    void WriteLogAtStart(bool on);
    void WriteShowImage(bool on);
    void WriteShowTimestamp(bool on);
    void WriteDoubleSpace(bool on);
    void WriteRestoreColor(bool on);
    void WriteSafeCopy(bool on);
    void WriteLineNumbers(bool on);
    void WriteCatchUp(bool on);
    void WriteNotifyFailure(bool on);
    void WriteCompress(bool on);
    // Stores `count` limited to 0 .. kMaxKeepCopies.
    void WriteKeepCopies(int count);

private:
    void LoadFlag(const char* key, bool& setting) const;
    void StoreFlag(const char* key, bool on) const;

    const SettingsStore& store_;
    Totals& totals_;
};
