#include "core/store/Definitions.h"

#include "core/store/Numbers.h"
#include "core/store/StoreKeys.h"

#include <string_view>

namespace {

// Connection keys, in the order the connection editor stores them.
constexpr const char* kDbcName = "IDC_DBC_NAME";
constexpr const char* kDbcDescription = "IDC_DBC_DESCRIPTION";
constexpr const char* kDbcHost = "IDC_DBC_HOST";
constexpr const char* kDbcPort = "IDC_DBC_PORT_NUMBER";
constexpr const char* kDbcBaseName = "IDC_DBC_BASENAME";
constexpr const char* kDbcUserName = "IDC_DBC_USERNAME";
constexpr const char* kDbcPassword = "IDC_DBC_PASSWORD";
constexpr const char* kDbcSavePass = "IDC_DBC_SAVEPASS";

// Backup keys, in the order the backup editor stores them, then the run facts.
constexpr const char* kCnsbName = "IDC_CNSB_NAME";
constexpr const char* kCnsbDesc = "IDC_CNSB_DESC";
constexpr const char* kCnsbConnection = "IDC_CNSB_COMBO_1";
constexpr const char* kCnsbTables = "IDC_LIST1";
constexpr const char* kCnsbSchedules = "IDC_SCHD_LIST";
constexpr const char* kLastBackup = "LAST_BACKUP";
constexpr const char* kLineCount = "LINE_COUNT";
constexpr const char* kSlotsRun = "SCHEDULED_SLOTS_RUN";

// Schedule keys, in the order the schedule editor stores them.
constexpr const char* kSchdName = "IDC_SCHD_NAME";
constexpr const char* kSchdDesc = "IDC_SCHD_DESC";
constexpr const char* kSchdCategory = "IDC_SCHEDULE_CATEGORY_SELECTED";
constexpr const char* kSchdEntries = "IDC_SCHEDULE";

// Drops a definition's table, then takes its name off its list.
// A table that could not be dropped keeps its name in the list, so the
// definition stays whole and visible.
StoreStatus DeleteDefinition(const SettingsStore& store, NameLists& lists, NameList list, const std::string& table,
                             const std::string& name)
{
    if (StoreStatus dropped = store.DropTable(table); !dropped)
        return dropped;
    return lists.Remove(list, name);
}

} // namespace

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
    std::string upper = name;
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    const std::string_view v(upper);
    return v == "CONFIGURATION" || v == "COUNTERS" || v.starts_with("BACKUP_NAME_")
        || v.starts_with("SCHEDULE_NAME_");
}

std::string ConnectionDef::Description(const SettingsStore& store, const std::string& name)
{
    return store.GetValue(ConnectionTable(name), kDbcDescription);
}

ConnectionDef ConnectionDef::Load(const SettingsStore& store, const std::string& name)
{
    const std::string table = ConnectionTable(name);
    ConnectionDef def;
    def.name = store.GetValue(table, kDbcName);
    def.description = store.GetValue(table, kDbcDescription);
    def.host = store.GetValue(table, kDbcHost);
    def.port = store.GetValue(table, kDbcPort);
    def.database = store.GetValue(table, kDbcBaseName);
    def.user = store.GetValue(table, kDbcUserName);
    def.password = store.GetValue(table, kDbcPassword);
    def.savePassword = store.GetValue(table, kDbcSavePass) == keys::kTrue;
    return def;
}

StoreStatus ConnectionDef::Save(const SettingsStore& store) const
{
    // The whole record or nothing: a half-saved definition would show
    // fields of two versions.
    return store.SetValues(ConnectionTable(name), {
        {kDbcName, name},
        {kDbcDescription, description},
        {kDbcHost, host},
        {kDbcPort, port},
        {kDbcBaseName, database},
        {kDbcUserName, user},
        {kDbcPassword, savePassword ? password : std::string()},
        {kDbcSavePass, std::string(savePassword ? keys::kTrue : keys::kFalse)},
    });
}

StoreStatus ConnectionDef::Delete(const SettingsStore& store, NameLists& lists, const std::string& name)
{
    return DeleteDefinition(store, lists, NameList::Connections, ConnectionTable(name), name);
}

std::optional<unsigned int> ConnectionDef::PortNumber() const
{
    // A text without a number (after blanks and a sign) leaves the port to
    // the client library.
    size_t i = 0;
    while (i < port.size() && (port[i] == ' ' || port[i] == '\t' || port[i] == '\n' || port[i] == '\v'
                               || port[i] == '\f' || port[i] == '\r'))
        ++i;
    if (i < port.size() && (port[i] == '+' || port[i] == '-'))
        ++i;
    if (i == port.size() || port[i] < '0' || port[i] > '9')
        return 0u;
    const long long value = LeadingInteger(port);
    if (value < 1 || value > 65535)
        return std::nullopt;
    return static_cast<unsigned int>(value);
}

std::string ConnectionDef::PortRefusal() const
{
    if (PortNumber())
        return {};
    return "The port number \"" + port + "\" of connection \"" + name
        + "\" is not valid.\r\n\r\nA port number is a whole number from 1 to 65535.";
}

ConnectionParams ConnectionDef::Params() const
{
    return {host, PortNumber().value_or(ConnectionParams::kNoPort), database, user, password};
}

std::string BackupDef::Description(const SettingsStore& store, const std::string& name)
{
    return store.GetValue(BackupTable(name), kCnsbDesc);
}

BackupDef BackupDef::Load(const SettingsStore& store, const std::string& name)
{
    const std::string table = BackupTable(name);
    BackupDef def;
    def.name = store.GetValue(table, kCnsbName);
    def.description = store.GetValue(table, kCnsbDesc);
    def.connection = store.GetValue(table, kCnsbConnection);
    def.tables = SplitBarList(store.GetValue(table, kCnsbTables));
    def.schedules = SplitBarList(store.GetValue(table, kCnsbSchedules));
    def.lastBackup = store.GetValue(table, kLastBackup);
    def.lineCount = store.GetValue(table, kLineCount);
    return def;
}

bool BackupDef::HasSoundName(const std::string& listName) const
{
    return !name.empty() && name == listName && IsValidName(name);
}

std::string DamagedBackupNameText(const std::string& listName)
{
    return "The backup definition \"" + listName
        + "\" is damaged: its stored name is not a valid backup name or differs from its name in the list.";
}

StoreStatus BackupDef::Save(const SettingsStore& store) const
{
    // The whole record or nothing: a half-saved definition would show
    // fields of two versions.
    return store.SetValues(BackupTable(name), {
        {kCnsbName, name},
        {kCnsbDesc, description},
        {kCnsbConnection, connection},
        {kCnsbTables, JoinBarList(tables)},
        {kCnsbSchedules, JoinBarList(schedules)},
    });
}

StoreStatus BackupDef::StoreNeverProcessed(const SettingsStore& store, const std::string& name)
{
    return StoreLastBackup(store, name, kNeverProcessed);
}

StoreStatus BackupDef::StoreLastBackup(const SettingsStore& store, const std::string& name, const std::string& text)
{
    return store.SetValue(BackupTable(name), kLastBackup, text);
}

StoreStatus BackupDef::StoreLineCount(const SettingsStore& store, const std::string& name, long long lines)
{
    return store.SetValue(BackupTable(name), kLineCount, std::to_string(lines));
}

std::vector<std::string> BackupDef::LoadSlotsRun(const SettingsStore& store, const std::string& name)
{
    return SplitBarList(store.GetValue(BackupTable(name), kSlotsRun));
}

StoreStatus BackupDef::StoreSlotsRun(const SettingsStore& store, const std::string& name,
                                     const std::vector<std::string>& items)
{
    return store.SetValue(BackupTable(name), kSlotsRun, JoinBarList(items));
}

StoreStatus BackupDef::Delete(const SettingsStore& store, NameLists& lists, const std::string& name)
{
    return DeleteDefinition(store, lists, NameList::Backups, BackupTable(name), name);
}

std::string ScheduleDef::Description(const SettingsStore& store, const std::string& name)
{
    return store.GetValue(ScheduleTable(name), kSchdDesc);
}

ScheduleDef ScheduleDef::Load(const SettingsStore& store, const std::string& name)
{
    const std::string table = ScheduleTable(name);
    ScheduleDef def;
    def.name = store.GetValue(table, kSchdName);
    def.description = store.GetValue(table, kSchdDesc);
    def.category = store.GetValue(table, kSchdCategory);
    def.entries = SplitBarList(store.GetValue(table, kSchdEntries));
    return def;
}

StoreStatus ScheduleDef::Save(const SettingsStore& store) const
{
    // The whole record or nothing: a half-saved definition would show
    // fields of two versions.
    return store.SetValues(ScheduleTable(name), {
        {kSchdName, name},
        {kSchdDesc, description},
        {kSchdCategory, category},
        {kSchdEntries, JoinBarList(entries)},
    });
}

StoreStatus ScheduleDef::Delete(const SettingsStore& store, NameLists& lists, const std::string& name)
{
    return DeleteDefinition(store, lists, NameList::Schedules, ScheduleTable(name), name);
}
