#pragma once

#include <string>

// Where and as whom to connect to a MySQL or MariaDB server.
struct ConnectionParams {
    // A port that is none: a connection with it is refused before it is tried.
    static constexpr unsigned int kNoPort = 0xFFFFFFFFu;
    static constexpr unsigned int kMaxPort = 65535;

    std::string host;
    unsigned int port = 0; // 0: the client library's default port
    std::string database;
    std::string user;
    std::string password;
};
