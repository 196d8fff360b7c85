#include "core/history/LastFailure.h"

#include "core/store/StoreKeys.h"

StoreStatus StoreLastFailure(const SettingsStore& store, const LastFailure& failure)
{
    return store.SetValues(keys::kCountersTable, {{keys::kLastFailureName, failure.name},
                                                  {keys::kLastFailureDt, failure.time},
                                                  {keys::kLastFailureReason, failure.reason}});
}

LastFailure LoadLastFailure(const SettingsStore& store)
{
    return {store.GetValue(keys::kCountersTable, keys::kLastFailureName),
            store.GetValue(keys::kCountersTable, keys::kLastFailureDt),
            store.GetValue(keys::kCountersTable, keys::kLastFailureReason)};
}
