#pragma once

#include "core/engine/MysqlClient.h"
#include "core/store/CInputOutput.h"

#include <string>

// Where a run connects for the connection named `connectionName`, as the
// connection's record stores it: host, port (the leading digits of its
// text), database, user and the saved password.
ConnectionParams ReadConnectionParams(const CInputOutput& store, const std::string& connectionName);
