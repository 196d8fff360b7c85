#pragma once

// The shapes of the statements a backup file may hold, checked before any of
// them reaches a server: a restore runs only what Vorda writes.
//
// The checks read SQL exactly as the server reads it on a restore session:
// backslash escapes on (no NO_BACKSLASH_ESCAPES) and a connection character
// set in which the bytes of apostrophe, backslash and backquote never occur
// inside a multi-byte character (utf8mb4, latin1, binary). Under those
// conditions a text that passes here means the same to the server as to the
// check. Depends on the C++ standard library only.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace dump {

// ---------------------------------------------------------------------------
// Names

// The longest table or constraint name a server takes, in characters.
inline constexpr std::size_t kMaxNameChars = 64;

// `name` with a backquote inside doubled: a`b -> `a``b`.
std::string QuoteName(std::string_view name);
// The inverse: the whole text must be one backquoted, non-empty name whose
// inner backquotes are doubled. Nothing otherwise.
std::optional<std::string> UnquoteName(std::string_view quoted);
// The number of characters of a UTF-8 text (the unit of the 64 limit).
std::size_t NameChars(std::string_view name);

// ---------------------------------------------------------------------------
// Row statements

// A row line as Vorda writes it:
//   INSERT INTO `name` VALUES (v1, v2, ...)
//   INSERT INTO `name` (`c1`, `c2`, ...) VALUES (v1, v2, ...)
// with nothing before or after. The views point into the parsed line.
struct RowStatement {
    // The name as written, backquotes included ("`a``b`"). The quoting is
    // canonical, so two rows are of one table exactly when these are equal.
    std::string_view quotedTable;
    // "(`c1`, `c2`)" as written, or empty when the row names no columns.
    std::string_view columnList;
    // "(v1, v2, ...)" as written: the tuple a multi-row INSERT repeats.
    std::string_view values;
    std::size_t valueCount = 0;
    std::size_t columnCount = 0; // 0 without a column list

    // The table name, backquotes removed and undoubled.
    std::string Table() const;
};

// Parses a row line in one pass, without allocating. A value is a string in
// apostrophes (backslash escapes and a doubled apostrophe, as the server
// reads them; no raw zero byte), NULL (in capitals, as written), or a number
// (optional sign, digits, optional fraction, optional exponent). Values are
// separated by commas with optional blanks. A column list must name as many
// columns as there are values. Anything else gives nothing: another
// statement, a comment, a subquery, ON DUPLICATE KEY, a qualified or
// unquoted name, text after the closing parenthesis, an open string.
std::optional<RowStatement> ParseRowStatement(std::string_view line) noexcept;

// ---------------------------------------------------------------------------
// Structure statements

// Why a structure statement was refused.
enum class ShapeError {
    None,
    NotCreateTable,  // does not begin with CREATE TABLE `name` (
    QualifiedName,   // a "." joining names: `db`.`t`, db.t, REFERENCES `db`.`t`
    SecondStatement, // a ";"
    Comment,         // "--", "#", "/*" or "*/" outside strings
    Select,          // SELECT outside strings
    CopyOfTable,     // CREATE TABLE ... AS, CREATE TABLE ... LIKE, (LIKE ...)
    Directory,       // DATA DIRECTORY or INDEX DIRECTORY
    Engine,          // an engine other than the local ones a backup restores into
    TableOption,     // a table option no server prints for a local table (CONNECTION=, UNION=, ...)
    DoubleQuote,     // double-quoted text outside apostrophes
    Unbalanced,      // parentheses that do not pair up
    Unterminated,    // a string or name without its closing quote
    BadCharacter,    // a character no structure holds outside strings (@ ? \ { } [ ] ...)
    Syntax,          // a token of a shape no server prints (a number glued to letters, ...)
    Definition,      // a column or key line of a shape no server prints
    Trailing,        // text after the table options
    NameTooLong,     // a rewritten name over 64 characters
    Default,         // a column default that is not a value a server prints for a real default
};

// A short English description, for logs and messages.
const char* ShapeErrorText(ShapeError error);

struct StructureCheck {
    ShapeError error = ShapeError::None;
    std::size_t offset = 0; // byte offset in the statement where the refusal was found
    std::string table;      // the table name (undoubled) when accepted

    bool Ok() const { return error == ShapeError::None; }
};

// Checks one structure statement:
//   CREATE TABLE `name` ( definition, ... ) [table options] [PARTITION BY ...]
// A definition is a column (`col` type attributes...) or a key line (PRIMARY
// KEY, UNIQUE, KEY, INDEX, FULLTEXT, SPATIAL, FOREIGN KEY, CHECK, PERIOD FOR,
// CONSTRAINT `c` ...). Table options are the ones a server prints for a local
// table, separated by blanks or commas, "=" optional. Key words in any
// letter case; blanks, tabs and line ends between tokens.
//
// A column's DEFAULT must be what a server prints for a real default: a
// literal (a string, possibly after a character set introducer or b/x, a
// signed number, NULL), current_timestamp with or without its precision,
// curdate(), uuid(), nextval(`sequence`), or arithmetic on those in
// parentheses (+ - * / % DIV MOD, INTERVAL n unit). Any other function call
// is refused: a default is evaluated by the server on every insert.
StructureCheck CheckCreateTable(std::string_view statement);

// ---------------------------------------------------------------------------
// Rewriting for restores beside the originals

struct StructureRewrite {
    ShapeError error = ShapeError::None;
    std::size_t offset = 0; // as in StructureCheck, in the original statement
    std::string statement;  // the rewritten statement when accepted

    bool Ok() const { return error == ShapeError::None; }
};

// Gives the new name of a referenced table (its original name in, undoubled),
// or nothing to keep the reference as it is.
using ReferenceMap = std::function<std::optional<std::string>(const std::string& table)>;

// Returns an accepted structure statement with
//  - the table's name replaced by `newTable`;
//  - every CONSTRAINT `c` renamed constraintPrefix + c (a database holds one
//    constraint of a name). A result over 64 characters keeps the prefix, the
//    start of the name and "_" + 8 hex digits of a hash of the whole name, so
//    it stays within 64 and distinct names stay distinct;
//  - every REFERENCES `t` for which mapReference(t) gives a name pointing at
//    that name (a self-reference is mapped like any other: pass the table's
//    own original name through the map as well).
// Only tokens are touched, never text inside strings. Refuses what
// CheckCreateTable refuses, and a new or mapped table name over 64
// characters (NameTooLong). Everything else is kept byte for byte.
StructureRewrite RewriteCreateTable(std::string_view statement, std::string_view newTable,
                                    std::string_view constraintPrefix, const ReferenceMap& mapReference = {});

// Gives the new name of a constraint (its name in, undoubled; whether it is a
// FOREIGN KEY): the same name keeps it.
using ConstraintMap = std::function<std::string(const std::string& name, bool foreignKey)>;

// As above, with each CONSTRAINT `c` renamed to mapConstraint(c, ...); a
// new name over 64 characters is refused (NameTooLong).
StructureRewrite RewriteCreateTable(std::string_view statement, std::string_view newTable,
                                    const ConstraintMap& mapConstraint, const ReferenceMap& mapReference);

// A table created for loading, with its plain secondary keys added once its
// rows are in: InnoDB builds a key from sorted rows much faster than it
// keeps it up to date row by row.
struct KeyDeferral {
    std::string createStatement; // the statement without the deferred keys
    // "ADD KEY `k` (`c`), ADD KEY ...": the deferred key lines in their
    // order, for one ALTER TABLE; empty when nothing is deferred (and the
    // statement is the one given).
    std::string addKeys;
};

// Splits an accepted structure statement of an InnoDB table: its KEY and
// INDEX lines leave the CREATE TABLE statement (each with its comma) and
// become ADD clauses, byte for byte. The server orders a table's keys by
// kind (primary, unique, plain) and then by when they were defined, so the
// table ends with its keys in the same order and with the same names. Left
// whole: a statement CheckCreateTable refuses, another engine, partitions,
// foreign keys (which need their keys from the start), full-text and
// spatial keys, and a key whose first column is an AUTO_INCREMENT column.
KeyDeferral DeferPlainKeys(std::string_view statement);

// ---------------------------------------------------------------------------
// Structure text as the backup file carries it

// True when the text holds an empty line: a line (ended by LF) with nothing
// in it but a carriage return before its line feed. The restore ends a
// structure statement at its first empty line, so a statement may hold none.
// The end of the text after a final LF is not a line.
bool HasEmptyLine(std::string_view text);

// The statement the restore builds from the lines of a structure section:
// the lines joined with nothing between them (each LF and a CR before it
// removed).
std::string JoinStatementLines(std::string_view text);

// True when both texts read as the same tokens (words, names, strings,
// numbers and punctuation, each with the same bytes) in the same order, and
// both read to their end: they differ at most in the blanks and line ends
// between tokens. A structure text whose lines, once joined, no longer read
// as the text did (a line end inside a name, or between two tokens that the
// join glues together) fails this against its joined form.
bool SameTokens(std::string_view a, std::string_view b);

} // namespace dump
