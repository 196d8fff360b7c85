#pragma once

#include "core/engine/ConnectionParams.h"

#include <mysql.h>

#include <string>

// A table name as a SQL identifier: in backquotes, an embedded backquote doubled.
std::string QuoteIdentifier(const std::string& name);

// A result set, freed when it goes out of scope.
class MysqlResult {
public:
    MysqlResult() = default;
    explicit MysqlResult(MYSQL_RES* result) : result_(result) {}
    MysqlResult(MysqlResult&& other) noexcept : result_(other.result_) { other.result_ = nullptr; }
    MysqlResult& operator=(MysqlResult&& other) noexcept;
    MysqlResult(const MysqlResult&) = delete;
    MysqlResult& operator=(const MysqlResult&) = delete;
    ~MysqlResult();

    explicit operator bool() const { return result_ != nullptr; }
    MYSQL_RES* get() const { return result_; }
    unsigned long long RowCount() const;
    unsigned int FieldCount() const;
    // The next row, or null at the end; `lengths` then holds the byte length
    // of each field (values may contain zero bytes).
    MYSQL_ROW FetchRow(unsigned long** lengths = nullptr);

private:
    MYSQL_RES* result_ = nullptr;
};

// One client connection, closed when it goes out of scope. Every statement
// the program sends to a server goes through this class.
class MysqlConnection {
public:
    static constexpr unsigned int kConnectTimeoutSeconds = 10;

    // Creates the client handle; Initialised() tells whether that worked.
    MysqlConnection();
    ~MysqlConnection();
    MysqlConnection(const MysqlConnection&) = delete;
    MysqlConnection& operator=(const MysqlConnection&) = delete;

    bool Initialised() const { return handle_ != nullptr; }
    // Connects with host, user, password, database and port, no socket name
    // and no client flags, giving up after kConnectTimeoutSeconds so an
    // unreachable host never freezes the window for minutes. The connection
    // talks utf8mb4, so text of any column travels without loss. A port over
    // 65535 is refused without connecting (the library would cut it to 16
    // bits and reach another port).
    bool Connect(const ConnectionParams& params);
    bool Connected() const { return connected_; }
    // Sends one statement; false when the server refuses it.
    bool Query(const std::string& sql);
    // The whole result of the last statement, fetched to the client.
    MysqlResult StoreResult();
    // The result of the last statement, streamed row by row from the server.
    MysqlResult UseResult();
    // Escapes a value for use inside apostrophes in a statement.
    std::string Escape(const std::string& value) const;

    // The server's version text and number (for example 101106 for 10.11.6).
    std::string ServerInfo() const;
    unsigned long ServerVersion() const;
    // Whether the server shows literal column defaults in
    // information_schema.COLUMNS quoted (MariaDB from 10.2.7 on), which is how
    // a literal default is told from an expression default.
    bool QuotesLiteralDefaults() const;
    // Makes every later read and write on the connection fail at once. Used
    // to abandon a streamed result without reading the rest of it from the
    // server; the connection is useless afterwards and should be closed.
    void Abort();

    unsigned int ErrorNumber() const;
    std::string ErrorText() const;
    MYSQL* Handle() const { return handle_; }
    void Close();

private:
    MYSQL* handle_ = nullptr;
    bool connected_ = false;
    std::string refusal_; // why Connect refused to try, when it did
};
