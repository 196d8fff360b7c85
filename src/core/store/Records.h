#pragma once

#include "core/store/CInputOutput.h"
#include "core/store/Configuration.h"

#include <cstddef>
#include <string>
#include <vector>

// The three lists of definition names.
enum class NameList { Connections, Backups, Schedules };

inline constexpr size_t kMaxListItems = 1000;

// Table names of definitions: "Tesmo_" + name, "Tesmo_BACKUP_NAME_" + name,
// "Tesmo_SCHEDULE_NAME_" + name.
std::string ConnectionTable(const std::string& name);
std::string BackupTable(const std::string& name);
std::string ScheduleTable(const std::string& name);
std::string DefinitionTable(NameList list, const std::string& name);

// Splits a bar list at "|", skipping empty pieces, keeping at most `limit` items.
std::vector<std::string> SplitBarList(const std::string& text, size_t limit = kMaxListItems);
// Joins items with "|", no bar at either end.
std::string JoinBarList(const std::vector<std::string>& items);

// True when every character is an ASCII letter, digit or underscore (the
// empty text passes; callers refuse an empty name first).
bool IsValidName(const std::string& text);

// A connection's table is "Tesmo_" + its name, which shares a name space with
// the configuration, the totals and the backup and schedule records. These
// names would make a connection overwrite (and, when deleted, drop) one of
// them, so the connection editor refuses them.
bool IsReservedConnectionName(const std::string& name);

// Name lists and totals of definitions in the settings store.
class Records {
public:
    Records(const CInputOutput& store, Totals& totals);

    // The names of a list, in the order they were added; at most 1000.
    std::vector<std::string> LoadNameList(NameList list) const;
    bool IsNameInList(NameList list, const std::string& name) const;
    // Appends a name; for connections and backups also raises the total.
    void AddToNameList(NameList list, const std::string& name);
    // Removes every occurrence of a name and lowers the total.
    void RemoveFromNameList(NameList list, const std::string& name);
    void RaiseTotal(NameList list);
    void LowerTotal(NameList list);
    // Stores "0" for the three totals (first start).
    void ResetTotals() const;
    // Stores the three totals as counted from the lists (every start).
    void RecountTotals() const;
    // Drops a definition's table and removes its name from its list.
    void DeleteDefinition(NameList list, const std::string& name);

    static const char* ListRowName(NameList list);
    static const char* TotalKey(NameList list);

private:
    int& Total(NameList list);

    const CInputOutput& store_;
    Totals& totals_;
};
