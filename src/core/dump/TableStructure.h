#pragma once

#include "core/engine/MysqlClient.h"

#include <optional>
#include <string>
#include <vector>

// A table's structure as the structure section writes it: what is read from
// the server, and the column and key lines built from it.

// One column as the structure section writes it.
struct ColumnDescription {
    std::string field;
    std::string type;
    std::string null;  // "NO" or "YES"
    std::string key;   // "PRI", "UNI", "MUL" or ""
    std::string extra; // "auto_increment", "on update current_timestamp()", ...
    // The default as it goes into the column line; none gives no clause.
    std::optional<std::string> defaultValue;
    // An expression default (current_timestamp(), b'1', (1 + 2), ...) is
    // written as it is; a literal default in apostrophes, escaped.
    bool defaultIsExpression = false;
};

// One row of the server's key list (SHOW KEYS), in the server's order.
struct KeyColumn {
    std::string keyName;
    bool unique = false;
    int seqInIndex = 1;
    std::string column;
    std::optional<unsigned> subPart; // prefix length of an indexed text column
    std::string indexType;           // "BTREE", "HASH", "FULLTEXT", "SPATIAL"
};

// How a column's default is written, from what the server shows: the
// `describe` default (none when the column has no default), the default of
// information_schema.COLUMNS (none when unknown), whether that one quotes
// literals, and the column's type and Extra text.
struct ResolvedDefault {
    std::optional<std::string> value;
    bool isExpression = false;
};
ResolvedDefault ResolveDefault(const std::optional<std::string>& describeDefault,
                               const std::optional<std::string>& schemaDefault, bool schemaQuotesLiterals,
                               const std::string& type, const std::string& extra);
// The Extra text as CREATE TABLE accepts it: without "DEFAULT_GENERATED",
// which some servers show for expression defaults but do not accept back.
std::string CleanExtra(const std::string& extra);

struct SectionText {
    std::string text;
    long lines = 0; // what the line tally adds for it
};
// The column lines, key lines and the closing ")". A primary key gets one
// line naming all its columns in key order; a plain key's line carries the
// prefix length or the FULLTEXT/SPATIAL kind of its index.
SectionText BuildColumnText(const std::vector<ColumnDescription>& columns, const std::vector<KeyColumn>& keys);

// Reads what the structure section of `table` needs from the server: the
// `describe` rows, the key list and the defaults of information_schema.
// False when the server refuses `describe` (or the key list).
bool ReadTableStructure(MysqlConnection& conn, const std::string& table, std::vector<ColumnDescription>& columns,
                        std::vector<KeyColumn>& keys);
