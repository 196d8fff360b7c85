#include "core/history/LastFailure.h"

#include "core/store/StoreKeys.h"

void StoreLastFailure(const SettingsStore& store, const LastFailure& failure)
{
    store.SetValue(keys::kCountersTable, keys::kLastFailureName, failure.name);
    store.SetValue(keys::kCountersTable, keys::kLastFailureDt, failure.time);
    store.SetValue(keys::kCountersTable, keys::kLastFailureReason, failure.reason);
}

LastFailure LoadLastFailure(const SettingsStore& store)
{
    return {store.GetValue(keys::kCountersTable, keys::kLastFailureName),
            store.GetValue(keys::kCountersTable, keys::kLastFailureDt),
            store.GetValue(keys::kCountersTable, keys::kLastFailureReason)};
}
