#pragma once

#include "core/engine/MysqlClient.h"

#include <QTemporaryDir>

#include <string>
#include <vector>

namespace test {

// A fresh, empty data directory that disappears with the object.
class TempDataDir {
public:
    TempDataDir();
    // The directory with a trailing '/'.
    std::string path() const;
    std::string file(const std::string& name) const { return path() + name; }

private:
    QTemporaryDir dir_;
};

// Reads a whole file as bytes; empty when it cannot be read.
std::string ReadFile(const std::string& path);
// The text a backup file holds: its bytes, or, in the compressed form, its
// bytes decoded by the zstd library (every frame; a checksum or frame error
// gives "<damaged>").
std::string TextOf(const std::string& path);
// Writes bytes to a file, replacing it.
void WriteFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// The names of the entries of a folder (without "." and ".."), sorted.
std::vector<std::string> FilesIn(const std::string& dir);
// The rows of a settings-store table as "name=value", in the order they
// were first written.
std::vector<std::string> RowsInOrder(const std::string& dbPath, const std::string& table);

// The private test server that scripts/test.sh starts on 127.0.0.1 and
// describes in VORDA_TEST_DB_HOST, _PORT, _USER and _PASSWORD.
struct TestServer {
    static bool Available();
    // Connection parameters of the test user, on `database` (may be empty).
    static ConnectionParams Params(const std::string& database = {});
    // A database name no other test run uses.
    static std::string UniqueName(const std::string& prefix);
};

// A database created for one test and dropped when the object goes away.
class ScratchDatabase {
public:
    explicit ScratchDatabase(const std::string& prefix);
    ~ScratchDatabase();
    ScratchDatabase(const ScratchDatabase&) = delete;
    ScratchDatabase& operator=(const ScratchDatabase&) = delete;

    const std::string& name() const { return name_; }
    ConnectionParams params() const { return TestServer::Params(name_); }
    // A connection to the database, for preparing and checking data.
    MysqlConnection& sql();
    // Runs statements and fails the test on an error.
    void exec(const std::string& statement);
    // The first field of the first row of a query ("" when none).
    std::string scalar(const std::string& query);
    // The table's definition as SHOW CREATE TABLE prints it.
    std::string showCreate(const std::string& table);

private:
    std::string name_;
    MysqlConnection admin_;
    MysqlConnection conn_;
};

} // namespace test

// Fails the test (and returns) when the private server is not available.
#define REQUIRE_TEST_SERVER()                                                                          \
    do {                                                                                               \
        if (!test::TestServer::Available())                                                            \
            QFAIL("no test server: run the tests through scripts/test.sh (VORDA_TEST_DB_* unset)");    \
    } while (0)
