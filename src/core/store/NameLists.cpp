#include "core/store/NameLists.h"

#include "core/store/StoreKeys.h"

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

NameLists::NameLists(const SettingsStore& store, Totals& totals)
    : store_(store)
    , totals_(totals)
{
}

const char* NameLists::ListRowName(NameList list)
{
    switch (list) {
    case NameList::Connections: return keys::kConnectNames;
    case NameList::Backups: return keys::kBackupNames;
    case NameList::Schedules: return keys::kScheduleNames;
    }
    return "";
}

const char* NameLists::TotalKey(NameList list)
{
    switch (list) {
    case NameList::Connections: return keys::kConnectionsCount;
    case NameList::Backups: return keys::kBackupsCount;
    case NameList::Schedules: return keys::kSchedulesCount;
    }
    return "";
}

int& NameLists::Total(NameList list)
{
    switch (list) {
    case NameList::Connections: return totals_.connections;
    case NameList::Backups: return totals_.backups;
    case NameList::Schedules: break;
    }
    return totals_.schedules;
}

std::vector<std::string> NameLists::Load(NameList list) const
{
    return SplitBarList(store_.GetValue(keys::kCustomerData, ListRowName(list)));
}

bool NameLists::Contains(NameList list, const std::string& name) const
{
    for (const auto& item : Load(list)) {
        if (item == name)
            return true;
    }
    return false;
}

StoreStatus NameLists::Add(NameList list, const std::string& name)
{
    std::string text = store_.GetValue(keys::kCustomerData, ListRowName(list));
    if (!text.empty())
        text += '|';
    text += name;
    StoreStatus status = store_.SetValue(keys::kCustomerData, ListRowName(list), text);
    if (status && list != NameList::Schedules)
        status = RaiseTotal(list);
    return status;
}

StoreStatus NameLists::Remove(NameList list, const std::string& name)
{
    if (name.empty())
        return {};
    std::vector<std::string> staying;
    for (auto& item : Load(list)) {
        if (item != name)
            staying.push_back(std::move(item));
    }
    StoreStatus status = store_.SetValue(keys::kCustomerData, ListRowName(list), JoinBarList(staying));
    if (status)
        status = LowerTotal(list);
    return status;
}

StoreStatus NameLists::RaiseTotal(NameList list)
{
    int& total = Total(list);
    ++total;
    return store_.SetValue(keys::kCountersTable, TotalKey(list), std::to_string(total));
}

StoreStatus NameLists::LowerTotal(NameList list)
{
    int& total = Total(list);
    --total;
    return store_.SetValue(keys::kCountersTable, TotalKey(list), std::to_string(total));
}

StoreStatus NameLists::ResetTotals() const
{
    return store_.SetValues(keys::kCountersTable,
                            {{keys::kConnectionsCount, "0"}, {keys::kBackupsCount, "0"}, {keys::kSchedulesCount, "0"}});
}

StoreStatus NameLists::RecountTotals() const
{
    StoreStatus status;
    for (NameList list : {NameList::Connections, NameList::Backups, NameList::Schedules})
        status.Also(store_.SetValue(keys::kCountersTable, TotalKey(list), std::to_string(Load(list).size())));
    return status;
}

StoreStatus NameLists::StoreLastRun(const LastRunFacts& facts) const
{
    return store_.SetValues(keys::kCountersTable, {{keys::kLastBackupName, facts.name},
                                                   {keys::kLastBackupDt, facts.startTime},
                                                   {keys::kLastBackupType, facts.kind}});
}

LastRunFacts NameLists::LastRun() const
{
    return {store_.GetValue(keys::kCountersTable, keys::kLastBackupName),
            store_.GetValue(keys::kCountersTable, keys::kLastBackupDt),
            store_.GetValue(keys::kCountersTable, keys::kLastBackupType)};
}
