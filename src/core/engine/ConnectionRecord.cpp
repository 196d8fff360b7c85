#include "core/engine/ConnectionRecord.h"

#include "core/store/Records.h"
#include "core/store/StoreKeys.h"

ConnectionParams ReadConnectionParams(const CInputOutput& store, const std::string& connectionName)
{
    const std::string table = ConnectionTable(connectionName);
    ConnectionParams params;
    params.host = store.GetValue(table, keys::kDbcHost);
    params.port = PortFromText(store.GetValue(table, keys::kDbcPort));
    params.database = store.GetValue(table, keys::kDbcBaseName);
    params.user = store.GetValue(table, keys::kDbcUserName);
    params.password = store.GetValue(table, keys::kDbcPassword);
    return params;
}
