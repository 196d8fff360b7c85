#pragma once

#include "core/store/SettingsStore.h"
#include "core/store/Configuration.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The three lists of definition names.
enum class NameList { Connections, Backups, Schedules };

// Bar lists: several values in one stored text, joined by "|" with no bar at
// either end. Splitting skips empty pieces and keeps every item unless a
// limit is given.
std::vector<std::string> SplitBarList(const std::string& text, size_t limit = SIZE_MAX);
std::string JoinBarList(const std::vector<std::string>& items);

// The facts of the last completed or cancelled backup run, kept with the
// totals.
struct LastRunFacts {
    std::string name;      // the backup's name
    std::string startTime; // long time form
    std::string kind;      // "Manual" or "Automatic"
};

// The name lists and the totals of definitions in the settings store, and
// the last-run facts beside the totals.
class NameLists {
public:
    NameLists(const SettingsStore& store, Totals& totals);

    // Every name of a list, in the order they were added.
    std::vector<std::string> Load(NameList list) const;
    // Whether the list holds `name`, compared exactly.
    bool Contains(NameList list, const std::string& name) const;
    // Appends a name; for connections and backups also raises the total
    // (a schedule's caller raises it with RaiseTotal). When the list cannot
    // be stored the total stays as it was.
    StoreStatus Add(NameList list, const std::string& name);
    // Removes every occurrence of a name and lowers the total; an empty
    // name changes nothing.
    StoreStatus Remove(NameList list, const std::string& name);
    StoreStatus RaiseTotal(NameList list);
    StoreStatus LowerTotal(NameList list);
    // Stores "0" for the three totals (first start).
    StoreStatus ResetTotals() const;
    // Stores the three totals as counted from the lists (every start); the
    // in-memory totals stay as they are.
    StoreStatus RecountTotals() const;

    StoreStatus StoreLastRun(const LastRunFacts& facts) const;
    LastRunFacts LastRun() const;

    static const char* ListRowName(NameList list);
    static const char* TotalKey(NameList list);

private:
    int& Total(NameList list);

    const SettingsStore& store_;
    Totals& totals_;
};
