#pragma once

#include <ctime>
#include <string>

namespace test {

// The backup file of the example table `items` (id int primary key
// auto_increment, name varchar(40) indexed, price decimal(8,2) default 0.00)
// holding (1, O'Brien`s tea, 3.50) and (2, NULL, 0.00), written by a manual
// run started on Monday, December 07, 2026 at 02:14:35 AM. Two row lines
// differ from the old format on purpose: the backquote of O'Brien`s tea is
// kept (it used to become an apostrophe, changing the data) and the NULL name
// is written as NULL (it used to be '', an empty string, which a strict
// server refuses for numeric and date columns). The header says that
// TIMESTAMP values are written as UTC. The file ends with an empty line and
// the closing line, which the tally counts too: 37.
inline std::string ExampleBackup(const std::string& host, const std::string& database)
{
    const std::string lf =
        "------------------------------------------------------------\n"
        "--\n"
        "--       WARNING - DO NOT MANUALLY EDIT THIS FILE\n"
        "--          DOING SO WILL CORRUPT THIS BACKUP\n"
        "--\n"
        "-- Vorda Quendal Suite - MySQL Backup File - Manual\n"
        "-- Software Version: 2.1.2.4\n"
        "--\n"
        "-- Host Name / IP Address: " + host + "\n"
        "-- Database Name: " + database + "\n"
        "-- Backup Name: Nightly_Shop\n"
        "-- Backup TimeStamp: Monday, December 07, 2026 - 02:14:35 AM\n"
        "-- Session Time Zone: +00:00\n"
        "--\n"
        "------------------------------------------------------------\n"
        "\n"
        "---\n"
        "--- Table structure for table `items`\n"
        "---\n"
        "\n"
        "CREATE TABLE `items` (\n"
        "  `id` int(11) NOT NULL auto_increment,\n"
        "  `name` varchar(40) NULL,\n"
        "  `price` decimal(8,2) NOT NULL default '0.00',\n"
        "  PRIMARY KEY `id` (`id`),\n"
        "  KEY `name` (`name`)\n"
        ")\n"
        "\n"
        "---\n"
        "--- Dumping data for table `items` - Total rows: 2\n"
        "---\n"
        "\n"
        "INSERT INTO `items` VALUES ('1', 'O\\'Brien`s tea', '3.50')\n" // backquote kept
        "INSERT INTO `items` VALUES ('2', NULL, '0.00')\n"            // NULL, not ''
        "\n"
        "-- End of Backup File - Tables: 1 - Rows: 2\n";
    std::string crlf;
    for (char c : lf) {
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }
    return crlf;
}

// The example file as a backup run writes it now: its structure section
// carries the server's own definition of `items` (`definition`, as SHOW CREATE
// TABLE prints it) in place of the column lines; the rest is as above.
inline std::string ExampleBackupWritten(const std::string& host, const std::string& database,
                                        const std::string& definition)
{
    std::string file = ExampleBackup(host, database);
    const size_t begin = file.find("CREATE TABLE `items` (\r\n");
    const size_t end = file.find("\r\n)\r\n", begin) + 5;
    std::string crlf;
    for (char c : definition + "\n") {
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }
    return file.replace(begin, end - begin, crlf);
}

inline constexpr std::time_t kExampleStart = 1796609675; // Monday, December 07, 2026 02:14:35 UTC

} // namespace test
