#pragma once

#include "core/engine/MysqlClient.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What a backup writes for one table before its rows: the structure section
// and the shape of the row statements.
//
// A table's structure section carries the server's own definition, as
// SHOW CREATE TABLE prints it (every index with its name, kind and columns,
// foreign keys, CHECK constraints, generated and invisible columns,
// character sets, collations, comments, the engine and the AUTO_INCREMENT
// counter). A view is not backed up: its definition is a CREATE VIEW, which
// a restore does not run, and its rows would come back as a table.

namespace dump {

struct TableDefinition {
    // The section after its five heading lines: the CREATE TABLE statement,
    // its first line "CREATE TABLE `T` (", each line ended by "\n".
    std::string structure;
    // What the section adds to the line tally: the lines written, heading
    // included.
    long tallyLines = 0;
    // The columns the row statements name, in table order. Empty when every
    // column takes a value, in order, as "INSERT INTO `T` VALUES (...)" gives
    // them; otherwise the generated columns are left out (the server computes
    // them) and invisible ones named (a statement without a list skips them).
    std::vector<std::string> rowColumns;
};

// Why a server's definition of `table` cannot be written as its structure
// section, or empty when it can. The restore ends the statement at its first
// empty line, joins its lines with nothing between them and checks the result
// (CheckCreateTable); what it would refuse, or read differently, is refused
// here: a first line other than "CREATE TABLE `T` (", a carriage return, an
// empty line, a shape the check refuses, a line end whose removal changes the
// statement, and a statement that does not fit in `maxStatement` bytes
// (0: no limit).
std::string DefinitionRefusal(const std::string& table, std::string_view definition, unsigned long long maxStatement);

// Whether a column's `show columns` Extra text marks a column whose value the
// server computes (virtual, stored or persistent, or a row start or end
// column of a versioned table), or an invisible one.
bool IsGeneratedColumn(std::string_view extra);
bool IsInvisibleColumn(std::string_view extra);

enum class DefinitionRead {
    Ok,
    Refused,      // the server refused SHOW CREATE TABLE
    Unrestorable, // `refusal` says why (a view among them)
};

// Reads the structure section of `table` (SHOW CREATE TABLE). `maxStatement`
// as for DefinitionRefusal.
DefinitionRead ReadTableDefinition(MysqlConnection& conn, const std::string& table, unsigned long long maxStatement,
                                   TableDefinition& definition, std::string& refusal);

// The names among `tables` that the connection's database holds as views
// (or sequences), in the order given; nothing when the server cannot tell.
std::optional<std::vector<std::string>> ViewsAmong(MysqlConnection& conn, const std::vector<std::string>& tables);

// Fills definition.rowColumns from the rows of "show columns from" (Field
// first, Extra sixth).
void ReadRowColumns(MysqlResult& showColumns, TableDefinition& definition);

} // namespace dump
