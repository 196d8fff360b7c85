#include "core/engine/MysqlClient.h"

#include "core/dump/SqlShape.h"

#include <errmsg.h>

#include <algorithm>
#include <cstdio>
#include <cerrno>
#include <utility>

#include <poll.h>
#include <sys/socket.h>

namespace {

using WaitClock = std::chrono::steady_clock;

// Waits until the socket is ready for what a non-blocking call asked for
// (`status`, MYSQL_WAIT_* bits) or its timeout has passed, calling `hook`
// whenever kWaitHookInterval has gone by since `lastHook`. Returns the
// events that happened, for the call's _cont function.
int WaitForServer(MYSQL* mysql, int status, const WaitHook& hook, WaitClock::time_point& lastHook)
{
    const auto interval = MysqlConnection::kWaitHookInterval;
    const auto now = WaitClock::now();
    const auto deadline = (status & MYSQL_WAIT_TIMEOUT)
        ? now + std::chrono::milliseconds(mysql_get_timeout_value_ms(mysql))
        : WaitClock::time_point::max();
    pollfd pfd {};
    pfd.fd = (status & (MYSQL_WAIT_READ | MYSQL_WAIT_WRITE | MYSQL_WAIT_EXCEPT)) ? mysql_get_socket(mysql) : -1;
    pfd.events = static_cast<short>(((status & MYSQL_WAIT_READ) ? POLLIN : 0)
                                    | ((status & MYSQL_WAIT_WRITE) ? POLLOUT : 0)
                                    | ((status & MYSQL_WAIT_EXCEPT) ? POLLPRI : 0));
    for (;;) {
        auto current = WaitClock::now();
        if (current - lastHook >= interval) {
            hook();
            lastHook = current = WaitClock::now();
        }
        if (current >= deadline)
            return MYSQL_WAIT_TIMEOUT;
        const auto untilHook = lastHook + interval - current;
        const auto wait = std::min<WaitClock::duration>(untilHook, deadline - current);
        const int ms = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wait).count());
        pfd.revents = 0;
        const int n = ::poll(&pfd, 1, ms > 0 ? ms : 0);
        if (n > 0) {
            int ready = 0;
            if (pfd.revents & (POLLIN | POLLERR | POLLHUP))
                ready |= MYSQL_WAIT_READ;
            if (pfd.revents & (POLLOUT | POLLERR | POLLHUP))
                ready |= MYSQL_WAIT_WRITE;
            if (pfd.revents & POLLPRI)
                ready |= MYSQL_WAIT_EXCEPT;
            // Only what was asked for; an error shows as readiness, and the
            // library then finds it.
            ready &= status;
            if (ready == 0)
                ready = status & (MYSQL_WAIT_READ | MYSQL_WAIT_WRITE | MYSQL_WAIT_EXCEPT);
            return ready;
        }
        if (n < 0 && errno != EINTR)
            return status & ~MYSQL_WAIT_TIMEOUT;
    }
}

// Runs a non-blocking call to its end: `start()` and `cont(ready)` return
// the library's wait status, 0 when the call is done.
template <class Start, class Cont>
void Await(MYSQL* mysql, const WaitHook& hook, Start start, Cont cont)
{
    // Most calls are done at once (a row already received): the clock is
    // read only for one that waits.
    int status = start();
    if (status == 0)
        return;
    auto lastHook = WaitClock::now();
    while (status != 0)
        status = cont(WaitForServer(mysql, status, hook, lastHook));
}

} // namespace

std::string QuoteIdentifier(const std::string& name)
{
    return dump::QuoteName(name);
}

MysqlResult& MysqlResult::operator=(MysqlResult&& other) noexcept
{
    if (this != &other) {
        if (result_)
            mysql_free_result(result_);
        result_ = other.result_;
        other.result_ = nullptr;
    }
    return *this;
}

MysqlResult::~MysqlResult()
{
    if (result_)
        mysql_free_result(result_);
}

unsigned long long MysqlResult::RowCount() const
{
    return result_ ? mysql_num_rows(result_) : 0;
}

unsigned int MysqlResult::FieldCount() const
{
    return result_ ? mysql_num_fields(result_) : 0;
}

MYSQL_ROW MysqlResult::FetchRow(unsigned long** lengths)
{
    if (!result_)
        return nullptr;
    MYSQL_ROW row = nullptr;
    if (waitHook_ && *waitHook_ && result_->handle)
        Await(
            result_->handle, *waitHook_, [&] { return mysql_fetch_row_start(&row, result_); },
            [&](int ready) { return mysql_fetch_row_cont(&row, result_, ready); });
    else
        row = mysql_fetch_row(result_);
    if (lengths)
        *lengths = row ? mysql_fetch_lengths(result_) : nullptr;
    return row;
}

MysqlConnection::MysqlConnection()
    : handle_(mysql_init(nullptr))
{
}

MysqlConnection::~MysqlConnection()
{
    Close();
}

void MysqlConnection::SetWaitHook(WaitHook hook)
{
    callerHook_ = std::move(hook);
    waitHook_ = nullptr;
    if (!callerHook_)
        return;
    waitHook_ = [this] {
        callerHook_();
        if (stopped_ || !stopWhen_ || !handle_ || !stopWhen_())
            return;
        const my_socket fd = mysql_get_socket(handle_);
        if (fd == MARIADB_INVALID_SOCKET)
            return; // asked again at the next call, once the socket exists
        stopped_ = true;
        ::shutdown(fd, SHUT_RDWR);
    };
}

void MysqlConnection::StopWhen(std::function<bool()> stop)
{
    stopWhen_ = std::move(stop);
}

void MysqlConnection::Close()
{
    if (handle_) {
        mysql_close(handle_);
        handle_ = nullptr;
    }
    connected_ = false;
    nonBlocking_ = false;
}

bool MysqlConnection::Connect(const ConnectionParams& p)
{
    if (!handle_)
        return false;
    refusal_.clear();
    stopped_ = false;
    if (p.port > ConnectionParams::kMaxPort) {
        refusal_ = "Port " + std::to_string(p.port) + " is not a port number (1 to 65535).";
        connected_ = false;
        return false;
    }
    mysql_options(handle_, MYSQL_SET_CHARSET_NAME, "utf8mb4");
    const unsigned int timeout = kConnectTimeoutSeconds;
    mysql_options(handle_, MYSQL_OPT_CONNECT_TIMEOUT, &timeout);
    nonBlocking_ = waitHook_ && mysql_options(handle_, MYSQL_OPT_NONBLOCK, nullptr) == 0;
    MYSQL* connected = nullptr;
    if (NonBlocking())
        Await(
            handle_, waitHook_,
            [&] {
                return mysql_real_connect_start(&connected, handle_, p.host.c_str(), p.user.c_str(),
                                                p.password.c_str(), p.database.c_str(), p.port, nullptr, 0);
            },
            [&](int ready) { return mysql_real_connect_cont(&connected, handle_, ready); });
    else
        connected = mysql_real_connect(handle_, p.host.c_str(), p.user.c_str(), p.password.c_str(),
                                       p.database.c_str(), p.port, nullptr, 0);
    connected_ = connected != nullptr;
    return connected_;
}

bool MysqlConnection::Query(const std::string& sql)
{
    if (!handle_)
        return false;
    const unsigned long length = static_cast<unsigned long>(sql.size());
    if (!NonBlocking())
        return mysql_real_query(handle_, sql.data(), length) == 0;
    int result = 1;
    Await(
        handle_, waitHook_, [&] { return mysql_real_query_start(&result, handle_, sql.data(), length); },
        [&](int ready) { return mysql_real_query_cont(&result, handle_, ready); });
    return result == 0;
}

MysqlResult MysqlConnection::StoreResult()
{
    if (!handle_)
        return MysqlResult();
    if (!NonBlocking())
        return MysqlResult(mysql_store_result(handle_));
    MYSQL_RES* result = nullptr;
    Await(
        handle_, waitHook_, [&] { return mysql_store_result_start(&result, handle_); },
        [&](int ready) { return mysql_store_result_cont(&result, handle_, ready); });
    return MysqlResult(result);
}

MysqlResult MysqlConnection::UseResult()
{
    if (!handle_)
        return MysqlResult();
    return MysqlResult(mysql_use_result(handle_), NonBlocking() ? &waitHook_ : nullptr);
}

std::string MysqlConnection::Escape(const std::string& value) const
{
    std::string out(value.size() * 2 + 1, '\0');
    const unsigned long n = mysql_real_escape_string(handle_, out.data(), value.data(),
                                                     static_cast<unsigned long>(value.size()));
    out.resize(n);
    return out;
}

std::string MysqlConnection::ServerInfo() const
{
    const char* info = connected_ ? mysql_get_server_info(handle_) : nullptr;
    return info ? info : "";
}

unsigned long MysqlConnection::ServerVersion() const
{
    return connected_ ? mysql_get_server_version(handle_) : 0;
}

bool MysqlConnection::QuotesLiteralDefaults() const
{
    return ServerInfo().find("MariaDB") != std::string::npos && ServerVersion() >= 100207;
}

void MysqlConnection::Abort()
{
    if (handle_ && connected_)
        mariadb_cancel(handle_);
}

unsigned int MysqlConnection::ErrorNumber() const
{
    return handle_ ? mysql_errno(handle_) : 0;
}

std::string MysqlConnection::ErrorText() const
{
    if (!refusal_.empty())
        return refusal_;
    return handle_ ? mysql_error(handle_) : "";
}

std::string ClientErrorText(unsigned int code)
{
    const char** texts = nullptr;
    if (code > CR_MIN_ERROR && code <= CR_MYSQL_LAST_ERROR
        && mariadb_get_infov(nullptr, MARIADB_CLIENT_ERRORS, &texts) == 0 && texts && texts[code - CR_MIN_ERROR])
        return texts[code - CR_MIN_ERROR];
    return "Unknown client error " + std::to_string(code);
}

void ReportNoClientHandle()
{
    std::fprintf(stderr, "%d: %s \n", CR_OUT_OF_MEMORY, ClientErrorText(CR_OUT_OF_MEMORY).c_str());
}
