#include "core/store/Records.h"

#include "core/store/StoreKeys.h"

#include <cstdint>
#include <string_view>

std::string ConnectionTable(const std::string& name)
{
    return std::string(keys::kPrefix) + "_" + name;
}

std::string BackupTable(const std::string& name)
{
    return std::string(keys::kPrefix) + "_" + "BACKUP_NAME" + "_" + name;
}

std::string ScheduleTable(const std::string& name)
{
    return std::string(keys::kPrefix) + "_" + "SCHEDULE_NAME" + "_" + name;
}

std::string DefinitionTable(NameList list, const std::string& name)
{
    switch (list) {
    case NameList::Connections:
        return ConnectionTable(name);
    case NameList::Backups:
        return BackupTable(name);
    case NameList::Schedules:
        return ScheduleTable(name);
    }
    return {};
}

std::vector<std::string> SplitBarList(const std::string& text, size_t limit)
{
    std::vector<std::string> items;
    size_t start = 0;
    while (start <= text.size() && items.size() < limit) {
        size_t bar = text.find('|', start);
        if (bar == std::string::npos)
            bar = text.size();
        if (bar > start)
            items.emplace_back(text, start, bar - start);
        start = bar + 1;
    }
    return items;
}

std::string JoinBarList(const std::vector<std::string>& items)
{
    std::string text;
    for (const auto& item : items) {
        if (!text.empty())
            text += '|';
        text += item;
    }
    return text;
}

bool IsValidName(const std::string& text)
{
    for (unsigned char c : text) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        if (!ok)
            return false;
    }
    return true;
}

bool IsReservedConnectionName(const std::string& name)
{
    // SQLite compares table names without regard to letter case, so the
    // reserved names are refused in any case too.
    auto upper = [](std::string text) {
        for (char& c : text) {
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
        }
        return text;
    };
    const std::string n = upper(name);
    const std::string_view v(n);
    return v == "CONFIGURATION" || v == "COUNTERS" || v.starts_with("BACKUP_NAME_")
        || v.starts_with("SCHEDULE_NAME_");
}

Records::Records(const CInputOutput& store, Totals& totals)
    : store_(store)
    , totals_(totals)
{
}

const char* Records::ListRowName(NameList list)
{
    switch (list) {
    case NameList::Connections:
        return keys::kConnectNames;
    case NameList::Backups:
        return keys::kBackupNames;
    case NameList::Schedules:
        return keys::kScheduleNames;
    }
    return "";
}

const char* Records::TotalKey(NameList list)
{
    switch (list) {
    case NameList::Connections:
        return keys::kConnectionsCount;
    case NameList::Backups:
        return keys::kBackupsCount;
    case NameList::Schedules:
        return keys::kSchedulesCount;
    }
    return "";
}

int& Records::Total(NameList list)
{
    switch (list) {
    case NameList::Connections:
        return totals_.connections;
    case NameList::Backups:
        return totals_.backups;
    case NameList::Schedules:
        break;
    }
    return totals_.schedules;
}

std::vector<std::string> Records::LoadNameList(NameList list) const
{
    return SplitBarList(store_.GetValue(keys::kCustomerData, ListRowName(list)));
}

bool Records::IsNameInList(NameList list, const std::string& name) const
{
    for (const auto& item : LoadNameList(list)) {
        if (item == name)
            return true;
    }
    return false;
}

void Records::AddToNameList(NameList list, const std::string& name)
{
    std::string text = store_.GetValue(keys::kCustomerData, ListRowName(list));
    if (!text.empty())
        text += '|';
    text += name;
    store_.SetValue(keys::kCustomerData, ListRowName(list), text);
    if (list != NameList::Schedules)
        RaiseTotal(list);
}

void Records::RemoveFromNameList(NameList list, const std::string& name)
{
    if (name.empty())
        return;
    // The whole stored list is rewritten, not only the first 1000 names that
    // a reader sees, so a removal never loses the names beyond them.
    const auto names = SplitBarList(store_.GetValue(keys::kCustomerData, ListRowName(list)), SIZE_MAX);
    std::vector<std::string> staying;
    for (const auto& item : names) {
        if (item != name)
            staying.push_back(item);
    }
    store_.SetValue(keys::kCustomerData, ListRowName(list), JoinBarList(staying));
    LowerTotal(list);
}

void Records::RaiseTotal(NameList list)
{
    int& total = Total(list);
    ++total;
    store_.SetValue(keys::kCountersTable, TotalKey(list), std::to_string(total));
}

void Records::LowerTotal(NameList list)
{
    int& total = Total(list);
    --total;
    store_.SetValue(keys::kCountersTable, TotalKey(list), std::to_string(total));
}

void Records::ResetTotals() const
{
    store_.SetValue(keys::kCountersTable, keys::kConnectionsCount, "0");
    store_.SetValue(keys::kCountersTable, keys::kBackupsCount, "0");
    store_.SetValue(keys::kCountersTable, keys::kSchedulesCount, "0");
}

void Records::RecountTotals() const
{
    for (NameList list : {NameList::Connections, NameList::Backups, NameList::Schedules})
        store_.SetValue(keys::kCountersTable, TotalKey(list), std::to_string(LoadNameList(list).size()));
}

void Records::DeleteDefinition(NameList list, const std::string& name)
{
    store_.DropTable(DefinitionTable(list, name));
    RemoveFromNameList(list, name);
}
