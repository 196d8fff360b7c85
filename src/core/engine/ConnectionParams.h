#pragma once

#include <string>

// Where and as whom to connect to a MySQL or MariaDB server.
struct ConnectionParams {
    std::string host;
    unsigned int port = 0; // 0: the client library's default port
    std::string database;
    std::string user;
    std::string password;
};
