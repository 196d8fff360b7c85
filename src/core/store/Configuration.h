#pragma once

#include "core/store/SettingsStore.h"

#include <optional>
#include <string>
#include <utility>

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
    StoreStatus ResetConfiguration();

    // Writers: each sets the in-memory value and stores its text; a failed
    // write leaves the value changed for this run only.
    StoreStatus WriteCompStart(bool on);
    StoreStatus WriteStartMin(bool on);
    StoreStatus WriteMinClose(bool on);
    StoreStatus WriteFirstEntry(bool on);
    StoreStatus WriteReportingState(ReportingState state);
    StoreStatus WriteDirection(LogDirection direction);
    StoreStatus WriteRestoreMode(RestoreMode mode);
    StoreStatus WriteLogAtStart(bool on);
    StoreStatus WriteShowImage(bool on);
    StoreStatus WriteShowTimestamp(bool on);
    StoreStatus WriteDoubleSpace(bool on);
    StoreStatus WriteRestoreColor(bool on);
    StoreStatus WriteSafeCopy(bool on);
    StoreStatus WriteLineNumbers(bool on);
    StoreStatus WriteCatchUp(bool on);
    StoreStatus WriteNotifyFailure(bool on);
    StoreStatus WriteCompress(bool on);
    // Stores `count` limited to 0 .. kMaxKeepCopies.
    StoreStatus WriteKeepCopies(int count);

    // The main window's size as it was last left ("<width>x<height>");
    // nothing when none is stored or the text is not two numbers of 1 to
    // 100000. Not a setting of its own: a reset keeps it.
    std::optional<std::pair<int, int>> ReadWindowSize() const;
    StoreStatus WriteWindowSize(int width, int height);

private:
    void LoadFlag(const char* key, bool& setting) const;
    StoreStatus StoreFlag(const char* key, bool on) const;

    const SettingsStore& store_;
    Totals& totals_;
};
