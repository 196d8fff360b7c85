#pragma once

#include "TestSupport.h"

#include <string>
#include <utility>
#include <vector>

namespace test {

// Tables whose values and structure are hard to carry through a backup file:
// NULLs in every kind of column, empty texts, apostrophes, backslashes,
// backquotes, double quotes, CR and LF, tabs, zero bytes, Ctrl-Z, UTF-8 and
// emoji, a 64 kB text, keywords and blanks in table and column names, a
// composite primary key, a quoted literal default, an expression default on
// a timestamp, unique, prefix and full-text keys. Returns each table with
// the ORDER BY text that lists its rows in a fixed order.
inline std::vector<std::pair<std::string, std::string>> CreateHardTables(ScratchDatabase& db)
{
    db.exec("CREATE TABLE hard (id int NOT NULL AUTO_INCREMENT PRIMARY KEY, i int NULL, d date NULL, "
            "m decimal(10,2) NULL, t mediumtext NULL, s varchar(200) NULL, b blob NULL, "
            "u varchar(20) NULL, UNIQUE KEY (u), KEY (s), KEY tp (t(12)))");
    db.exec("INSERT INTO hard (i, d, m, t, s, b, u) VALUES "
            "(NULL, NULL, NULL, NULL, NULL, NULL, NULL), "
            "(0, '2026-12-07', 0.00, '', '', '', ''), "
            "(-5, '1999-01-31', -12.34, 'It''s C:\\\\ a`b \"q\"', 'line1\\r\\nline2\\nend\\r', "
            " X'00FF000A0D5C27221A', 'tab\\there'), "
            "(7, NULL, 1.50, 'Grüße – 漢字 😀', 'back\\\\slash\\\\', X'00', 'x'), "
            "(8, '2000-02-29', NULL, REPEAT('0123456789abcdef', 4096), NULL, REPEAT(X'00', 300), 'big')");
    db.exec("CREATE TABLE `order` (`select` int NOT NULL PRIMARY KEY, `from` varchar(10))");
    db.exec("INSERT INTO `order` VALUES (1, 'where'), (2, NULL)");
    db.exec("CREATE TABLE `my table` (`my col` int NOT NULL, `other col` varchar(10) NOT NULL DEFAULT 'O''Hara', "
            "PRIMARY KEY (`other col`, `my col`))");
    db.exec("INSERT INTO `my table` VALUES (1, 'a'), (2, 'a'), (1, 'b')");
    db.exec("CREATE TABLE `a-b` (id int NOT NULL PRIMARY KEY, "
            "ts timestamp NOT NULL DEFAULT current_timestamp() ON UPDATE current_timestamp(), "
            "dt datetime NULL DEFAULT '2020-01-01 00:00:00', body text, FULLTEXT KEY (body))");
    db.exec("INSERT INTO `a-b` VALUES (1, '2021-03-04 05:06:07', NULL, 'hello world'), "
            "(2, '2022-01-01 00:00:00', '2023-06-07 08:09:10', NULL)");
    return {{"hard", "id"}, {"order", "`select`"}, {"my table", "`my col`, `other col`"}, {"a-b", "id"}};
}

} // namespace test
