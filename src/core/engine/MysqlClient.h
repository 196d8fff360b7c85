#pragma once

#include "core/engine/ConnectionParams.h"

#include <mysql.h>

#include <chrono>
#include <functional>
#include <string>

// Called while a client call waits for the server, about every
// MysqlConnection::kWaitHookInterval: a run passes its event pump, so the
// window stays alive during a long connect, count, COMMIT or INSERT.
using WaitHook = std::function<void()>;

// A table name as a SQL identifier: in backquotes, an embedded backquote doubled.
std::string QuoteIdentifier(const std::string& name);

// A result set, freed when it goes out of scope.
class MysqlResult {
public:
    MysqlResult() = default;
    // `waitHook` (may be null) serves the rows of a streamed result.
    explicit MysqlResult(MYSQL_RES* result, const WaitHook* waitHook = nullptr)
        : result_(result)
        , waitHook_(waitHook)
    {
    }
    MysqlResult(MysqlResult&& other) noexcept
        : result_(other.result_)
        , waitHook_(other.waitHook_)
    {
        other.result_ = nullptr;
    }
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
    const WaitHook* waitHook_ = nullptr;
};

// The client library's own text for one of its error numbers (CR_*), as it
// would give it through a connection handle; for use where there is none
// (the library could not allocate one).
std::string ClientErrorText(unsigned int code);

// The line written to standard error when the library cannot even create a
// connection handle: "<number>: <the library's text> \n".
void ReportNoClientHandle();

// One client connection, closed when it goes out of scope. Every statement
// the program sends to a server goes through this class.
class MysqlConnection {
public:
    static constexpr unsigned int kConnectTimeoutSeconds = 10;
    static constexpr std::chrono::milliseconds kWaitHookInterval {10};

    // Creates the client handle; Initialised() tells whether that worked.
    MysqlConnection();
    ~MysqlConnection();
    MysqlConnection(const MysqlConnection&) = delete;
    MysqlConnection& operator=(const MysqlConnection&) = delete;

    bool Initialised() const { return handle_ != nullptr; }
    // With a hook, Connect, Query, StoreResult and the rows of a streamed
    // result wait for the server without blocking the calling thread (the
    // client library's non-blocking calls): `hook` is called whenever a call
    // has waited kWaitHookInterval since it began or since the hook last ran.
    // Set it before Connect; the hook must not use this connection.
    void SetWaitHook(WaitHook hook);
    // With a wait hook: `stop` is asked after every call of the hook; once it
    // says yes, the connection's socket is shut, so the call waiting for the
    // server fails at once and every later one too (StoppedByRequest tells
    // such a failure from the server's own).
    void StopWhen(std::function<bool()> stop);
    bool StoppedByRequest() const { return stopped_; }
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
    bool NonBlocking() const { return waitHook_ && nonBlocking_; }

    MYSQL* handle_ = nullptr;
    bool connected_ = false;
    // The hook the calls wait with: the caller's hook, then the stop check.
    WaitHook waitHook_;
    WaitHook callerHook_;
    std::function<bool()> stopWhen_;
    bool stopped_ = false;
    bool nonBlocking_ = false; // connected with the non-blocking option
    std::string refusal_; // why Connect refused to try, when it did
};
