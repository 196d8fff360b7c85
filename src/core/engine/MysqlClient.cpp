#include "core/engine/MysqlClient.h"

std::string QuoteIdentifier(const std::string& name)
{
    std::string quoted = "`";
    for (char c : name) {
        if (c == '`')
            quoted += '`';
        quoted += c;
    }
    quoted += '`';
    return quoted;
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
    MYSQL_ROW row = mysql_fetch_row(result_);
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

void MysqlConnection::Close()
{
    if (handle_) {
        mysql_close(handle_);
        handle_ = nullptr;
    }
    connected_ = false;
}

bool MysqlConnection::Connect(const ConnectionParams& p)
{
    if (!handle_)
        return false;
    refusal_.clear();
    if (p.port > ConnectionParams::kMaxPort) {
        refusal_ = "Port " + std::to_string(p.port) + " is not a port number (1 to 65535).";
        connected_ = false;
        return false;
    }
    mysql_options(handle_, MYSQL_SET_CHARSET_NAME, "utf8mb4");
    const unsigned int timeout = kConnectTimeoutSeconds;
    mysql_options(handle_, MYSQL_OPT_CONNECT_TIMEOUT, &timeout);
    connected_ = mysql_real_connect(handle_, p.host.c_str(), p.user.c_str(), p.password.c_str(),
                                    p.database.c_str(), p.port, nullptr, 0)
        != nullptr;
    return connected_;
}

bool MysqlConnection::Query(const std::string& sql)
{
    if (!handle_)
        return false;
    return mysql_real_query(handle_, sql.data(), static_cast<unsigned long>(sql.size())) == 0;
}

MysqlResult MysqlConnection::StoreResult()
{
    return MysqlResult(handle_ ? mysql_store_result(handle_) : nullptr);
}

MysqlResult MysqlConnection::UseResult()
{
    return MysqlResult(handle_ ? mysql_use_result(handle_) : nullptr);
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
