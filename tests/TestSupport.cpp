#include "TestSupport.h"

#include "core/store/Numbers.h"

#include <QTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <dirent.h>
#include <sqlite3.h>
#include <unistd.h>
#include <zstd.h>

namespace test {

TempDataDir::TempDataDir()
{
    dir_.setAutoRemove(true);
}

std::string TempDataDir::path() const
{
    return dir_.path().toStdString() + "/";
}

std::string TextOf(const std::string& path)
{
    const std::string bytes = ReadFile(path);
    if (bytes.size() < 4 || bytes.compare(0, 4, "\x28\xb5\x2f\xfd") != 0)
        return bytes;
    ZSTD_DStream* stream = ZSTD_createDStream();
    std::string text;
    std::string out(1 << 17, '\0');
    ZSTD_inBuffer in {bytes.data(), bytes.size(), 0};
    size_t left = 0;
    for (;;) {
        ZSTD_outBuffer o {out.data(), out.size(), 0};
        left = ZSTD_decompressStream(stream, &o, &in);
        if (ZSTD_isError(left)) {
            ZSTD_freeDStream(stream);
            return "<damaged>";
        }
        text.append(out.data(), o.pos);
        if (in.pos == in.size && o.pos < o.size)
            break;
    }
    ZSTD_freeDStream(stream);
    return left == 0 ? text : "<damaged>";
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool FileExists(const std::string& path)
{
    return ::access(path.c_str(), F_OK) == 0;
}

std::vector<std::string> FilesIn(const std::string& dir)
{
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> RowsInOrder(const std::string& dbPath, const std::string& table)
{
    std::vector<std::string> rows;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        const std::string sql = "select name, value from \"" + table + "\" order by rowid";
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK) {
            while (sqlite3_step(stmt) == SQLITE_ROW) {
                auto text = [stmt](int i) {
                    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
                    return std::string(t ? t : "");
                };
                rows.push_back(text(0) + "=" + text(1));
            }
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return rows;
}

bool TestServer::Available()
{
    return std::getenv("VORDA_TEST_DB_PORT") != nullptr;
}

ConnectionParams TestServer::Params(const std::string& database)
{
    auto env = [](const char* name, const char* fallback) {
        const char* value = std::getenv(name);
        return std::string(value ? value : fallback);
    };
    ConnectionParams p;
    p.host = env("VORDA_TEST_DB_HOST", "127.0.0.1");
    p.port = static_cast<unsigned int>(LeadingInt(env("VORDA_TEST_DB_PORT", "0")));
    p.user = env("VORDA_TEST_DB_USER", "");
    p.password = env("VORDA_TEST_DB_PASSWORD", "");
    p.database = database;
    return p;
}

std::string TestServer::UniqueName(const std::string& prefix)
{
    static std::atomic<int> counter {0};
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    return prefix + "_" + std::to_string(::getpid()) + "_" + std::to_string(now % 1000000) + "_"
        + std::to_string(counter++);
}

ScratchDatabase::ScratchDatabase(const std::string& prefix)
    : name_(TestServer::UniqueName(prefix))
{
    if (!admin_.Connect(TestServer::Params()))
        qFatal("cannot connect to the test server: %s", admin_.ErrorText().c_str());
    if (!admin_.Query("CREATE DATABASE " + QuoteIdentifier(name_)))
        qFatal("cannot create database %s: %s", name_.c_str(), admin_.ErrorText().c_str());
    if (!conn_.Connect(params()))
        qFatal("cannot connect to %s: %s", name_.c_str(), conn_.ErrorText().c_str());
}

ScratchDatabase::~ScratchDatabase()
{
    conn_.Close();
    admin_.Query("DROP DATABASE IF EXISTS " + QuoteIdentifier(name_));
}

MysqlConnection& ScratchDatabase::sql()
{
    return conn_;
}

void ScratchDatabase::exec(const std::string& statement)
{
    if (!conn_.Query(statement))
        QFAIL(("statement failed: " + statement.substr(0, 200) + ": " + conn_.ErrorText()).c_str());
    MysqlResult discard = conn_.StoreResult();
}

std::string ScratchDatabase::scalar(const std::string& query)
{
    if (!conn_.Query(query)) {
        QTest::qFail(("query failed: " + query + ": " + conn_.ErrorText()).c_str(), __FILE__, __LINE__);
        return {};
    }
    MysqlResult result = conn_.StoreResult();
    MYSQL_ROW row = result.FetchRow();
    return row && row[0] ? std::string(row[0]) : std::string();
}

std::string ScratchDatabase::showCreate(const std::string& table)
{
    if (!conn_.Query("SHOW CREATE TABLE " + QuoteIdentifier(table))) {
        QTest::qFail(("SHOW CREATE TABLE failed: " + table + ": " + conn_.ErrorText()).c_str(), __FILE__, __LINE__);
        return {};
    }
    MysqlResult result = conn_.StoreResult();
    unsigned long* lengths = nullptr;
    MYSQL_ROW row = result.FetchRow(&lengths);
    return row && row[1] ? std::string(row[1], lengths[1]) : std::string();
}

} // namespace test
