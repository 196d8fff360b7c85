#pragma once

#include "core/engine/ConnectionParams.h"
#include "core/store/SettingsStore.h"
#include "core/store/NameLists.h"

#include <optional>
#include <string>
#include <vector>

// The user's definitions as the settings store keeps them: one table per
// connection, backup and schedule, one row per key. This is the only code
// that knows their keys; editors, list pages, runs and the scheduler fill,
// save and read these types.

// Table names: "Tesmo_" + name, "Tesmo_BACKUP_NAME_" + name,
// "Tesmo_SCHEDULE_NAME_" + name.
std::string ConnectionTable(const std::string& name);
std::string BackupTable(const std::string& name);
std::string ScheduleTable(const std::string& name);

// The name rule: true when every character is an ASCII letter, digit or
// underscore (the empty text passes; callers refuse an empty name first).
bool IsValidName(const std::string& text);

// A connection's table is "Tesmo_" + its name, which shares a name space with
// the configuration, the totals and the backup and schedule tables. These
// names would make a connection overwrite (and, when deleted, drop) one of
// them, so the connection editor refuses them.
bool IsReservedConnectionName(const std::string& name);

struct ConnectionDef {
    std::string name;
    std::string description;
    std::string host;
    std::string port; // as typed: decimal digits, possibly empty
    std::string database;
    std::string user;
    std::string password;
    bool savePassword = false;

    // The stored connection `name`; empty fields for what is not stored.
    static ConnectionDef Load(const SettingsStore& store, const std::string& name);
    // Only its description (one read, for the list pages).
    static std::string Description(const SettingsStore& store, const std::string& name);
    // Stores the eight keys in the editor's order; the password only when
    // savePassword is set (the empty text otherwise).
    StoreStatus Save(const SettingsStore& store) const;
    // Drops the connection's table, then removes its name from its list.
    static StoreStatus Delete(const SettingsStore& store, NameLists& lists, const std::string& name);

    // The port text's leading integer (after blanks) when it is a port, 1 to
    // 65535; 0, the client library's default port, when the text holds no
    // number (an empty text); nothing when it holds a number that is no port
    // (0, a negative number, or one over 65535, which would otherwise wrap).
    std::optional<unsigned int> PortNumber() const;
    // Empty when the port text can be used; otherwise the message that
    // refuses it, to be shown before anything connects.
    std::string PortRefusal() const;
    // Where a run connects: host, port, database, user and the stored
    // password. A port text that is no port gives ConnectionParams::kNoPort,
    // which MysqlConnection::Connect refuses without connecting.
    ConnectionParams Params() const;

    bool operator==(const ConnectionDef&) const = default;
};

struct BackupDef {
    // LAST_BACKUP of a backup that has never run.
    static constexpr const char* kNeverProcessed = "Never been processed";

    std::string name;
    std::string description;
    std::string connection;              // the connection's name
    std::vector<std::string> tables;     // every table listed, however many
    std::vector<std::string> schedules;  // the schedules' names; empty for none
    std::string lastBackup;              // LAST_BACKUP as stored (read only)
    std::string lineCount;               // LINE_COUNT as stored (read only)

    static BackupDef Load(const SettingsStore& store, const std::string& name);
    // Only its description (one read, for the list pages).
    static std::string Description(const SettingsStore& store, const std::string& name);
    // Whether the stored name may name the backup's file: it is the name the
    // backup has in its list (`listName`) and passes the name rule. A record
    // that fails this was not written by the editors and is not run.
    bool HasSoundName(const std::string& listName) const;
    // Stores name, description, connection, tables and schedules, in this
    // order. The run facts are stored by their own writers below.
    StoreStatus Save(const SettingsStore& store) const;
    // LAST_BACKUP of a new backup: "Never been processed".
    static StoreStatus StoreNeverProcessed(const SettingsStore& store, const std::string& name);
    // The facts a run leaves: its start time (long form) and its line tally.
    static StoreStatus StoreLastBackup(const SettingsStore& store, const std::string& name, const std::string& text);
    static StoreStatus StoreLineCount(const SettingsStore& store, const std::string& name, long long lines);
    // SCHEDULED_SLOTS_RUN: the schedule slots the scheduler ran the backup
    // for lately, each "YYYY-MM-DD HH:MM=<instant>".
    static std::vector<std::string> LoadSlotsRun(const SettingsStore& store, const std::string& name);
    static StoreStatus StoreSlotsRun(const SettingsStore& store, const std::string& name,
                              const std::vector<std::string>& items);
    // Drops the backup's table, then removes its name from its list.
    static StoreStatus Delete(const SettingsStore& store, NameLists& lists, const std::string& name);

    bool operator==(const BackupDef&) const = default;
};

// What the runs say of a backup record that fails HasSoundName.
std::string DamagedBackupNameText(const std::string& listName);

struct ScheduleDef {
    // The categories.
    static constexpr const char* kHourly = "SCHD_HOURLY";
    static constexpr const char* kDaily = "SCHD_DAILY";
    static constexpr const char* kWeekly = "SCHD_WEEKLY";
    static constexpr const char* kMonthly = "SCHD_MONTHLY";

    std::string name;
    std::string description;
    std::string category; // one of the SCHD_* texts
    std::vector<std::string> entries;

    static ScheduleDef Load(const SettingsStore& store, const std::string& name);
    // Only its description (one read, for the list pages).
    static std::string Description(const SettingsStore& store, const std::string& name);
    // Stores name, description, category and entries, in this order.
    StoreStatus Save(const SettingsStore& store) const;
    // Drops the schedule's table, then removes its name from its list.
    static StoreStatus Delete(const SettingsStore& store, NameLists& lists, const std::string& name);

    bool operator==(const ScheduleDef&) const = default;
};
