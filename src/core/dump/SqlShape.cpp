#include "core/dump/SqlShape.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace dump {

namespace {

// ---------------------------------------------------------------------------
// Character classes

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsHexDigit(char c)
{
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Bytes that may begin an unquoted word: letters, "_", "$" and every byte of
// a multi-byte character (the server reads those as letters).
bool IsWordStart(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u == '$' || u >= 0x80;
}

bool IsWordChar(char c)
{
    return IsWordStart(c) || IsDigit(c);
}

char Upper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualsNoCase(std::string_view text, std::string_view upperWord)
{
    if (text.size() != upperWord.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (Upper(text[i]) != upperWord[i])
            return false;
    }
    return true;
}

template <typename Words>
bool OneOfNoCase(std::string_view text, const Words& words)
{
    for (std::string_view w : words) {
        if (EqualsNoCase(text, w))
            return true;
    }
    return false;
}

// ---------------------------------------------------------------------------
// Row statements: the fast path

// Bytes that end the plain run inside a quoted value.
constexpr std::array<bool, 256> MakeStringStops()
{
    std::array<bool, 256> stops {};
    stops[static_cast<unsigned char>('\'')] = true;
    stops[static_cast<unsigned char>('\\')] = true;
    stops[0] = true;
    return stops;
}
constexpr std::array<bool, 256> kStringStops = MakeStringStops();

void SkipBlanks(const char*& p, const char* end)
{
    while (p < end && (*p == ' ' || *p == '\t'))
        ++p;
}

// How a quoted name or string ended.
enum class Scan { Ok, Open, Empty, ZeroByte };

// A backquoted, non-empty name with inner backquotes doubled; on Ok `p`
// moves past its closing backquote.
Scan ScanQuotedName(const char*& p, const char* end)
{
    const char* q = p + 1;
    for (;;) {
        const void* found = std::memchr(q, '`', static_cast<size_t>(end - q));
        if (!found)
            return Scan::Open;
        const char* tick = static_cast<const char*>(found);
        if (std::memchr(q, '\0', static_cast<size_t>(tick - q)))
            return Scan::ZeroByte;
        if (tick + 1 < end && tick[1] == '`') {
            q = tick + 2;
            continue;
        }
        if (tick == p + 1)
            return Scan::Empty;
        p = tick + 1;
        return Scan::Ok;
    }
}

bool IsQuotedName(const char*& p, const char* end)
{
    return p < end && *p == '`' && ScanQuotedName(p, end) == Scan::Ok;
}

// A string in apostrophes as the server reads it; `p` is on the opening one
// and, on Ok, moves past the closing one.
Scan ScanString(const char*& p, const char* end)
{
    const char* q = p + 1;
    for (;;) {
        while (q < end && !kStringStops[static_cast<unsigned char>(*q)])
            ++q;
        if (q == end)
            return Scan::Open;
        if (*q == '\0')
            return Scan::ZeroByte;
        if (*q == '\\') {
            // The backslash takes the next byte, whatever it is.
            if (q + 1 == end)
                return Scan::Open;
            if (q[1] == '\0')
                return Scan::ZeroByte;
            q += 2;
            continue;
        }
        // An apostrophe: doubled it stands for one, otherwise it closes.
        ++q;
        if (q < end && *q == '\'') {
            ++q;
            continue;
        }
        p = q;
        return Scan::Ok;
    }
}

bool ScanDigits(const char*& p, const char* end)
{
    const char* start = p;
    while (p < end && IsDigit(*p))
        ++p;
    return p != start;
}

// [+-] digits [. digits] [(e|E) [+-] digits]
bool ScanNumber(const char*& p, const char* end)
{
    if (*p == '-' || *p == '+')
        ++p;
    if (!ScanDigits(p, end))
        return false;
    if (p < end && *p == '.') {
        ++p;
        if (!ScanDigits(p, end))
            return false;
    }
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        if (p < end && (*p == '-' || *p == '+'))
            ++p;
        if (!ScanDigits(p, end))
            return false;
    }
    return true;
}

bool Consume(const char*& p, const char* end, std::string_view text)
{
    if (static_cast<size_t>(end - p) < text.size() || std::memcmp(p, text.data(), text.size()) != 0)
        return false;
    p += text.size();
    return true;
}

// ---------------------------------------------------------------------------
// Structure statements: tokens

enum class Tok { Word, Name, String, Number, Punct, Compressed };

struct Token {
    Tok kind;
    size_t begin;
    size_t end;
};

struct Refusal {
    ShapeError error = ShapeError::None;
    size_t offset = 0;
};

class Lexer {
public:
    explicit Lexer(std::string_view text)
        : s_(text)
    {
    }

    Refusal Run(std::vector<Token>& tokens)
    {
        int depth = 0;
        size_t i = 0;
        const size_t n = s_.size();
        while (i < n) {
            const char c = s_[i];
            const size_t start = i;
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
                ++i;
                continue;
            }
            if (c == '`' || c == '\'') {
                const char* p = s_.data() + i;
                const Scan scan = c == '`' ? ScanQuotedName(p, s_.data() + n) : ScanString(p, s_.data() + n);
                if (scan != Scan::Ok)
                    return {ScanError(scan), i};
                i = static_cast<size_t>(p - s_.data());
                tokens.push_back({c == '`' ? Tok::Name : Tok::String, start, i});
                continue;
            }
            if (IsDigit(c)) {
                const Refusal r = Number(i);
                if (r.error != ShapeError::None)
                    return r;
                tokens.push_back({Tok::Number, start, i});
                continue;
            }
            if (IsWordStart(c)) {
                while (i < n && IsWordChar(s_[i]))
                    ++i;
                tokens.push_back({Tok::Word, start, i});
                continue;
            }
            const char next = i + 1 < n ? s_[i + 1] : '\0';
            switch (c) {
            case '"':
                return {ShapeError::DoubleQuote, i};
            case '#':
                return {ShapeError::Comment, i};
            case ';':
                return {ShapeError::SecondStatement, i};
            case '.':
                return {ShapeError::QualifiedName, i};
            case '/':
                if (next == '*') {
                    const size_t length = CompressedComment(i);
                    if (!length)
                        return {ShapeError::Comment, i};
                    i += length;
                    tokens.push_back({Tok::Compressed, start, i});
                    continue;
                }
                break;
            case '-':
                if (next == '-')
                    return {ShapeError::Comment, i};
                break;
            case '*':
                if (next == '/')
                    return {ShapeError::Comment, i};
                break;
            case '(':
                ++depth;
                break;
            case ')':
                if (--depth < 0)
                    return {ShapeError::Unbalanced, i};
                break;
            case ',':
            case '=':
            case '+':
            case '%':
            case '<':
            case '>':
            case '!':
            case '&':
            case '|':
            case '^':
            case '~':
                break;
            default:
                return {ShapeError::BadCharacter, i};
            }
            ++i;
            tokens.push_back({Tok::Punct, start, i});
        }
        if (depth != 0)
            return {ShapeError::Unbalanced, n};
        return {};
    }

private:
    static ShapeError ScanError(Scan scan)
    {
        switch (scan) {
        case Scan::Open:
            return ShapeError::Unterminated;
        case Scan::Empty:
            return ShapeError::Definition;
        case Scan::ZeroByte:
            return ShapeError::BadCharacter;
        case Scan::Ok:
            break;
        }
        return ShapeError::None;
    }

    // A number, or 0x / 0b digits. A number glued to a letter or a "." is
    // something else to the server (a name, or a qualified name).
    Refusal Number(size_t& i) const
    {
        const size_t n = s_.size();
        const size_t start = i;
        if (s_[i] == '0' && i + 2 < n && (s_[i + 1] == 'x' || s_[i + 1] == 'X') && IsHexDigit(s_[i + 2])) {
            i += 2;
            while (i < n && IsHexDigit(s_[i]))
                ++i;
        } else if (s_[i] == '0' && i + 2 < n && (s_[i + 1] == 'b' || s_[i + 1] == 'B')
                   && (s_[i + 2] == '0' || s_[i + 2] == '1')) {
            i += 2;
            while (i < n && (s_[i] == '0' || s_[i] == '1'))
                ++i;
        } else {
            const char* p = s_.data() + i;
            const char* end = s_.data() + n;
            while (p < end && IsDigit(*p))
                ++p;
            if (p + 1 < end && *p == '.' && IsDigit(p[1])) {
                ++p;
                while (p < end && IsDigit(*p))
                    ++p;
            }
            if (p < end && (*p == 'e' || *p == 'E')) {
                const char* q = p + 1;
                if (q < end && (*q == '-' || *q == '+'))
                    ++q;
                if (q < end && IsDigit(*q)) {
                    p = q;
                    while (p < end && IsDigit(*p))
                        ++p;
                }
            }
            i = static_cast<size_t>(p - s_.data());
        }
        if (i < n && s_[i] == '.')
            return {ShapeError::QualifiedName, i};
        if (i < n && IsWordChar(s_[i]))
            return {ShapeError::Syntax, start};
        return {};
    }

    // The one comment a server prints in a table definition: the version
    // comment around a compressed column's attribute, "/*M!100301 COMPRESSED*/".
    // Its length, or 0 for any other comment.
    size_t CompressedComment(size_t at) const
    {
        std::string_view rest = s_.substr(at);
        if (rest.substr(0, 4) != "/*M!")
            return 0;
        size_t i = 4;
        while (i < rest.size() && IsDigit(rest[i]))
            ++i;
        if (i - 4 < 5 || i - 4 > 6)
            return 0;
        constexpr std::string_view kTail = " COMPRESSED*/";
        if (rest.substr(i, kTail.size()) != kTail)
            return 0;
        return i + kTail.size();
    }

    std::string_view s_;
};

// Engines that keep a table's data in the target database itself. Anything
// else may reach other servers, files or tables (CONNECT, FEDERATED,
// FEDERATEDX, SPIDER, OQGRAPH, S3, ...).
constexpr std::string_view kLocalEngines[]
    = {"INNODB", "MYISAM", "ARIA", "MEMORY", "HEAP", "CSV", "ARCHIVE", "BLACKHOLE", "ROCKSDB", "TOKUDB",
       "COLUMNSTORE", "MROONGA"};

// Table options a server prints for a local table (DEFAULT CHARSET,
// CHARACTER SET and WITH SYSTEM VERSIONING are read on their own).
constexpr std::string_view kTableOptions[]
    = {"ENGINE", "AUTO_INCREMENT", "CHARSET", "COLLATE", "COMMENT", "ROW_FORMAT", "KEY_BLOCK_SIZE",
       "STATS_AUTO_RECALC", "STATS_PERSISTENT", "STATS_SAMPLE_PAGES", "PACK_KEYS", "CHECKSUM", "TABLE_CHECKSUM",
       "PAGE_CHECKSUM", "TRANSACTIONAL", "MAX_ROWS", "MIN_ROWS", "AVG_ROW_LENGTH", "DELAY_KEY_WRITE",
       "PAGE_COMPRESSED", "PAGE_COMPRESSION_LEVEL", "ENCRYPTED", "ENCRYPTION_KEY_ID", "SEQUENCE"};

// The words of a PARTITION BY clause outside its parentheses.
constexpr std::string_view kPartitionWords[]
    = {"PARTITION", "BY", "LINEAR", "HASH", "KEY", "ALGORITHM", "RANGE", "LIST", "COLUMNS", "SYSTEM_TIME",
       "INTERVAL", "STARTS", "TIMESTAMP", "LIMIT", "AUTO", "PARTITIONS", "SUBPARTITION", "SUBPARTITIONS",
       "MICROSECOND", "SECOND", "MINUTE", "HOUR", "DAY", "WEEK", "MONTH", "QUARTER", "YEAR"};

// Functions a server prints in a real column default.
constexpr std::string_view kDefaultFunctions[] = {"CURRENT_TIMESTAMP", "CURDATE", "UUID", "NEXTVAL"};

// Words that join expressions, which no column attribute begins with.
constexpr std::string_view kOperatorWords[]
    = {"AND", "OR", "XOR", "DIV", "MOD", "IS", "LIKE", "BETWEEN", "IN", "REGEXP", "RLIKE", "SOUNDS", "INTERVAL"};

// The units of an INTERVAL in a default expression.
constexpr std::string_view kIntervalUnits[]
    = {"MICROSECOND",        "SECOND",        "MINUTE",        "HOUR",        "DAY",
       "WEEK",               "MONTH",         "QUARTER",       "YEAR",        "SECOND_MICROSECOND",
       "MINUTE_MICROSECOND", "MINUTE_SECOND", "HOUR_MICROSECOND", "HOUR_SECOND", "HOUR_MINUTE",
       "DAY_MICROSECOND",    "DAY_SECOND",    "DAY_MINUTE",    "DAY_HOUR",    "YEAR_MONTH"};

// Words that begin a key line.
constexpr std::string_view kKeyLineWords[]
    = {"CONSTRAINT", "PRIMARY", "UNIQUE", "KEY", "INDEX", "FULLTEXT", "SPATIAL", "FOREIGN", "CHECK", "PERIOD"};

// A checked statement: its tokens and where its definitions lie.
struct Analysis {
    Refusal refusal;
    std::vector<Token> tokens;
    size_t nameToken = 2;
    size_t definitionsEnd = 0; // index of the ")" that closes the definitions
};

class Checker {
public:
    Checker(std::string_view text, const std::vector<Token>& tokens)
        : s_(text)
        , t_(tokens)
    {
    }

    Refusal WordRules() const
    {
        for (size_t i = 0; i < t_.size(); ++i) {
            if (t_[i].kind != Tok::Word)
                continue;
            const std::string_view w = Text(i);
            if (EqualsNoCase(w, "SELECT"))
                return At(ShapeError::Select, i);
            if (EqualsNoCase(w, "DIRECTORY"))
                return At(ShapeError::Directory, i);
            if (EqualsNoCase(w, "CONNECTION") || EqualsNoCase(w, "UNION"))
                return At(ShapeError::TableOption, i);
            if (EqualsNoCase(w, "ENGINE")) {
                size_t v = i + 1;
                if (IsPunct(v, '='))
                    ++v;
                if (!IsKind(v, Tok::Word) || !OneOfNoCase(Text(v), kLocalEngines))
                    return At(ShapeError::Engine, v < t_.size() ? v : i);
            }
        }
        return {};
    }

    Refusal Structure(size_t& definitionsEnd) const
    {
        if (!IsWord(0, "CREATE") || !IsWord(1, "TABLE") || !IsKind(2, Tok::Name))
            return At(ShapeError::NotCreateTable, FirstMismatch());
        if (!IsPunct(3, '(')) {
            if (IsWord(3, "LIKE") || IsWord(3, "AS"))
                return At(ShapeError::CopyOfTable, 3);
            return At(ShapeError::NotCreateTable, 3);
        }
        size_t i = 4;
        for (;;) {
            const Refusal r = Definition(i);
            if (r.error != ShapeError::None)
                return r;
            // Definition stops on the "," or ")" that ends it.
            if (IsPunct(i, ')'))
                break;
            ++i;
        }
        definitionsEnd = i;
        return Options(i + 1);
    }

private:
    std::string_view Text(size_t i) const { return s_.substr(t_[i].begin, t_[i].end - t_[i].begin); }
    bool IsKind(size_t i, Tok kind) const { return i < t_.size() && t_[i].kind == kind; }
    bool IsPunct(size_t i, char c) const { return IsKind(i, Tok::Punct) && s_[t_[i].begin] == c; }
    bool IsWord(size_t i, std::string_view upper) const { return IsKind(i, Tok::Word) && EqualsNoCase(Text(i), upper); }
    Refusal At(ShapeError error, size_t token) const
    {
        return {error, token < t_.size() ? t_[token].begin : s_.size()};
    }
    size_t FirstMismatch() const
    {
        if (!IsWord(0, "CREATE"))
            return 0;
        return IsWord(1, "TABLE") ? 2 : 1;
    }

    // One column or key line from token i to the "," or ")" that ends it at
    // the definitions' own depth; i ends on that token.
    Refusal Definition(size_t& i) const
    {
        if (i >= t_.size() || IsPunct(i, ',') || IsPunct(i, ')'))
            return At(ShapeError::Definition, i);
        bool column = false;
        if (IsKind(i, Tok::Name)) {
            column = true;
            if (!IsKind(i + 1, Tok::Word))
                return At(ShapeError::Definition, i + 1);
        } else if (IsWord(i, "LIKE")) {
            return At(ShapeError::CopyOfTable, i);
        } else if (!IsKind(i, Tok::Word) || !OneOfNoCase(Text(i), kKeyLineWords)) {
            return At(ShapeError::Definition, i);
        }
        int depth = 0;
        for (; i < t_.size(); ++i) {
            if (IsPunct(i, '(')) {
                ++depth;
            } else if (IsPunct(i, ')')) {
                if (depth == 0)
                    return {};
                --depth;
            } else if (depth == 0 && IsPunct(i, ',')) {
                return {};
            } else if (IsKind(i, Tok::Compressed) && !column) {
                return At(ShapeError::Comment, i);
            } else if (depth == 0 && column && IsWord(i, "DEFAULT")) {
                size_t end = i + 1;
                if (!DefaultValue(end) || !EndsDefault(end))
                    return At(ShapeError::Default, i + 1);
                i = end - 1; // the loop goes on with the token after the value

            } else if (IsWord(i, "REFERENCES") && !IsKind(i + 1, Tok::Name)) {
                return At(ShapeError::Definition, i + 1);
            }
        }
        return At(ShapeError::Unbalanced, i); // the lexer pairs every "(", so this is not reached
    }

    // A column default from token i; on success i is the token after it.
    // The server prints a literal or a single call bare, anything more in
    // parentheses.
    bool DefaultValue(size_t& i) const
    {
        if (IsPunct(i, '(')) {
            ++i;
            if (!Expression(i) || !IsPunct(i, ')'))
                return false;
            ++i;
            return true;
        }
        if ((IsPunct(i, '-') || IsPunct(i, '+')) && IsKind(i + 1, Tok::Number)) {
            i += 2;
            return true;
        }
        return Operand(i);
    }

    // What may follow a default: the end of the column, or its next
    // attribute (ON UPDATE, COMMENT, AUTO_INCREMENT, ...), never more of an
    // expression.
    bool EndsDefault(size_t i) const
    {
        if (i >= t_.size() || IsPunct(i, ',') || IsPunct(i, ')'))
            return true;
        return IsKind(i, Tok::Word) && !OneOfNoCase(Text(i), kOperatorWords);
    }

    // Operands joined by arithmetic operators.
    bool Expression(size_t& i) const
    {
        for (;;) {
            while (IsPunct(i, '-') || IsPunct(i, '+'))
                ++i; // signs
            if (IsWord(i, "INTERVAL")) {
                ++i;
                if (!Expression(i) || !IsKind(i, Tok::Word) || !OneOfNoCase(Text(i), kIntervalUnits))
                    return false;
                ++i;
            } else if (IsPunct(i, '(')) {
                ++i;
                if (!Expression(i) || !IsPunct(i, ')'))
                    return false;
                ++i;
            } else if (!Operand(i)) {
                return false;
            }
            const bool op = IsPunct(i, '+') || IsPunct(i, '-') || IsPunct(i, '*') || IsPunct(i, '/')
                || IsPunct(i, '%') || IsWord(i, "DIV") || IsWord(i, "MOD");
            if (!op)
                return true;
            ++i;
        }
    }

    // A literal or one of the default functions.
    bool Operand(size_t& i) const
    {
        if (IsKind(i, Tok::String)) {
            // Strings side by side are one string to the server.
            while (IsKind(i, Tok::String))
                ++i;
            return true;
        }
        if (IsKind(i, Tok::Number) || IsWord(i, "NULL")) {
            ++i;
            return true;
        }
        if (!IsKind(i, Tok::Word))
            return false;
        const std::string_view word = Text(i);
        // An introducer glued to its string: _utf8mb4'a', b'101', x'4142'.
        if (IsKind(i + 1, Tok::String) && t_[i].end == t_[i + 1].begin
            && (word[0] == '_' || EqualsNoCase(word, "B") || EqualsNoCase(word, "X"))) {
            ++i;
            return Operand(i);
        }
        if (!OneOfNoCase(word, kDefaultFunctions))
            return false;
        const bool timestamp = EqualsNoCase(word, "CURRENT_TIMESTAMP");
        if (!IsPunct(i + 1, '(')) {
            // CURRENT_TIMESTAMP without parentheses, as older servers print it.
            ++i;
            return timestamp;
        }
        size_t arg = i + 2;
        if (timestamp && IsKind(arg, Tok::Number))
            ++arg; // the precision
        else if (EqualsNoCase(word, "NEXTVAL") && IsKind(arg, Tok::Name))
            ++arg; // the sequence
        if (!IsPunct(arg, ')') || (EqualsNoCase(word, "NEXTVAL") && arg != i + 3))
            return false;
        i = arg + 1;
        return true;
    }

    // The table options after the definitions, then an optional PARTITION BY
    // clause, then the end.
    Refusal Options(size_t i) const
    {
        while (i < t_.size()) {
            if (IsPunct(i, ',') && i + 1 < t_.size()) {
                ++i;
                continue;
            }
            if (IsWord(i, "PARTITION"))
                return Partitioning(i);
            if (IsWord(i, "AS") || IsWord(i, "LIKE"))
                return At(ShapeError::CopyOfTable, i);
            if (IsWord(i, "WITH")) {
                if (!IsWord(i + 1, "SYSTEM") || !IsWord(i + 2, "VERSIONING"))
                    return At(ShapeError::Trailing, i);
                i += 3;
                continue;
            }
            size_t name = i;
            if (IsWord(i, "DEFAULT"))
                ++i;
            if (IsWord(i, "CHARACTER") && IsWord(i + 1, "SET")) {
                i += 2;
            } else if (IsWord(i, "CHARSET") || IsWord(i, "COLLATE")) {
                ++i;
            } else if (i != name) {
                return At(ShapeError::TableOption, name);
            } else if ((IsKind(i, Tok::Word) && OneOfNoCase(Text(i), kTableOptions))
                       || (IsKind(i, Tok::Name) && OneOfNoCase(Text(i).substr(1, Text(i).size() - 2), kTableOptions))) {
                ++i;
            } else if ((IsKind(i, Tok::Word) || IsKind(i, Tok::Name)) && IsPunct(i + 1, '=')) {
                return At(ShapeError::TableOption, i);
            } else {
                return At(ShapeError::Trailing, i);
            }
            if (IsPunct(i, '='))
                ++i;
            if (!IsKind(i, Tok::Word) && !IsKind(i, Tok::Number) && !IsKind(i, Tok::String))
                return At(ShapeError::TableOption, name);
            ++i;
        }
        return {};
    }

    // PARTITION BY ... up to the end: its own words, numbers, strings, "="
    // and groups in parentheses (the partitioning expression, column lists
    // and the partition definitions, whose engines WordRules has checked).
    Refusal Partitioning(size_t i) const
    {
        if (!IsWord(i + 1, "BY"))
            return At(ShapeError::Trailing, i);
        i += 2;
        int depth = 0;
        for (; i < t_.size(); ++i) {
            if (IsPunct(i, '(')) {
                ++depth;
                continue;
            }
            if (IsPunct(i, ')')) {
                --depth;
                continue;
            }
            if (depth > 0)
                continue;
            if (IsWord(i, "AS") || IsWord(i, "LIKE"))
                return At(ShapeError::CopyOfTable, i);
            const bool allowed = (IsKind(i, Tok::Word) && OneOfNoCase(Text(i), kPartitionWords))
                                 || IsKind(i, Tok::Number) || IsKind(i, Tok::String) || IsPunct(i, '=');
            if (!allowed)
                return At(ShapeError::Trailing, i);
        }
        return {};
    }

    std::string_view s_;
    const std::vector<Token>& t_;
};

Analysis Analyze(std::string_view statement)
{
    Analysis a;
    Lexer lexer(statement);
    a.refusal = lexer.Run(a.tokens);
    if (a.refusal.error != ShapeError::None)
        return a;
    Checker checker(statement, a.tokens);
    a.refusal = checker.WordRules();
    if (a.refusal.error != ShapeError::None)
        return a;
    a.refusal = checker.Structure(a.definitionsEnd);
    return a;
}

std::string HashHex(std::string_view text)
{
    // FNV-1a, 32 bits.
    std::uint32_t h = 2166136261u;
    for (char c : text) {
        h ^= static_cast<unsigned char>(c);
        h *= 16777619u;
    }
    static const char* kHex = "0123456789abcdef";
    std::string hex(8, '0');
    for (int i = 7; i >= 0; --i) {
        hex[static_cast<size_t>(i)] = kHex[h & 0xf];
        h >>= 4;
    }
    return hex;
}

// The first `chars` characters of a UTF-8 text.
std::string_view FirstChars(std::string_view text, size_t chars)
{
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto u = static_cast<unsigned char>(text[i]);
        if ((u & 0xC0) != 0x80) {
            if (count == chars)
                return text.substr(0, i);
            ++count;
        }
    }
    return text;
}

std::optional<std::string> PrefixedConstraintName(std::string_view prefix, const std::string& name)
{
    std::string full = std::string(prefix) + name;
    if (NameChars(full) <= kMaxNameChars)
        return full;
    constexpr size_t kSuffixChars = 9; // "_" + 8 hex digits
    const size_t prefixChars = NameChars(prefix);
    if (prefixChars + kSuffixChars >= kMaxNameChars)
        return std::nullopt;
    const size_t keep = kMaxNameChars - prefixChars - kSuffixChars;
    return std::string(prefix) + std::string(FirstChars(name, keep)) + "_" + HashHex(name);
}

} // namespace

// ---------------------------------------------------------------------------
// Names

std::string QuoteName(std::string_view name)
{
    std::string quoted;
    quoted.reserve(name.size() + 2);
    quoted += '`';
    for (char c : name) {
        if (c == '`')
            quoted += '`';
        quoted += c;
    }
    quoted += '`';
    return quoted;
}

std::optional<std::string> UnquoteName(std::string_view quoted)
{
    const char* p = quoted.data();
    const char* end = p + quoted.size();
    if (!IsQuotedName(p, end) || p != end)
        return std::nullopt;
    std::string name;
    name.reserve(quoted.size() - 2);
    for (size_t i = 1; i + 1 < quoted.size(); ++i) {
        name += quoted[i];
        if (quoted[i] == '`')
            ++i;
    }
    return name;
}

std::size_t NameChars(std::string_view name)
{
    size_t count = 0;
    for (char c : name) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++count;
    }
    return count;
}

// ---------------------------------------------------------------------------
// Row statements

std::string RowStatement::Table() const
{
    return UnquoteName(quotedTable).value_or(std::string());
}

std::optional<RowStatement> ParseRowStatement(std::string_view line) noexcept
{
    const char* p = line.data();
    const char* const end = p + line.size();
    RowStatement row;

    if (!Consume(p, end, "INSERT INTO "))
        return std::nullopt;
    const char* nameStart = p;
    if (!IsQuotedName(p, end))
        return std::nullopt;
    row.quotedTable = std::string_view(nameStart, static_cast<size_t>(p - nameStart));
    if (!Consume(p, end, " "))
        return std::nullopt;

    if (p < end && *p == '(') {
        const char* listStart = p++;
        SkipBlanks(p, end);
        for (;;) {
            if (!IsQuotedName(p, end))
                return std::nullopt;
            ++row.columnCount;
            SkipBlanks(p, end);
            if (p < end && *p == ',') {
                ++p;
                SkipBlanks(p, end);
                continue;
            }
            if (p < end && *p == ')') {
                ++p;
                break;
            }
            return std::nullopt;
        }
        row.columnList = std::string_view(listStart, static_cast<size_t>(p - listStart));
        if (!Consume(p, end, " "))
            return std::nullopt;
    }

    if (!Consume(p, end, "VALUES "))
        return std::nullopt;
    const char* tupleStart = p;
    if (!Consume(p, end, "("))
        return std::nullopt;
    SkipBlanks(p, end);
    for (;;) {
        if (p == end)
            return std::nullopt;
        const char c = *p;
        if (c == '\'') {
            if (ScanString(p, end) != Scan::Ok)
                return std::nullopt;
        } else if (c == 'N') {
            if (!Consume(p, end, "NULL"))
                return std::nullopt;
        } else if (c == '-' || c == '+' || IsDigit(c)) {
            if (!ScanNumber(p, end))
                return std::nullopt;
        } else {
            return std::nullopt;
        }
        ++row.valueCount;
        // After a value only blanks, then "," or ")": this also refuses
        // NULLx, 1e5x, two strings side by side and anything after a value.
        SkipBlanks(p, end);
        if (p == end)
            return std::nullopt;
        if (*p == ',') {
            ++p;
            SkipBlanks(p, end);
            continue;
        }
        if (*p == ')') {
            ++p;
            break;
        }
        return std::nullopt;
    }
    if (p != end)
        return std::nullopt;
    if (row.columnCount != 0 && row.columnCount != row.valueCount)
        return std::nullopt;
    row.values = std::string_view(tupleStart, static_cast<size_t>(p - tupleStart));
    return row;
}

// ---------------------------------------------------------------------------
// Structure statements

const char* ShapeErrorText(ShapeError error)
{
    switch (error) {
    case ShapeError::None:
        return "accepted";
    case ShapeError::NotCreateTable:
        return "not a CREATE TABLE of one backquoted name";
    case ShapeError::QualifiedName:
        return "a qualified name (another database)";
    case ShapeError::SecondStatement:
        return "a second statement";
    case ShapeError::Comment:
        return "a comment inside the statement";
    case ShapeError::Select:
        return "SELECT outside a string";
    case ShapeError::CopyOfTable:
        return "CREATE TABLE ... AS or LIKE";
    case ShapeError::Directory:
        return "DATA DIRECTORY or INDEX DIRECTORY";
    case ShapeError::Engine:
        return "an engine that does not keep its data in the database";
    case ShapeError::TableOption:
        return "a table option that is not accepted";
    case ShapeError::DoubleQuote:
        return "double-quoted text";
    case ShapeError::Unbalanced:
        return "unbalanced parentheses";
    case ShapeError::Unterminated:
        return "a string or name without its closing quote";
    case ShapeError::BadCharacter:
        return "a character that is not accepted outside strings";
    case ShapeError::Syntax:
        return "text of a shape that is not accepted";
    case ShapeError::Definition:
        return "a column or key line of a shape that is not accepted";
    case ShapeError::Trailing:
        return "text after the table options";
    case ShapeError::NameTooLong:
        return "a name longer than 64 characters";
    case ShapeError::Default:
        return "a column default that is not a value";
    }
    return "refused";
}

StructureCheck CheckCreateTable(std::string_view statement)
{
    const Analysis a = Analyze(statement);
    StructureCheck check;
    check.error = a.refusal.error;
    check.offset = a.refusal.offset;
    if (check.Ok()) {
        const Token& name = a.tokens[a.nameToken];
        check.table = *UnquoteName(statement.substr(name.begin, name.end - name.begin));
    }
    return check;
}

StructureRewrite RewriteCreateTable(std::string_view statement, std::string_view newTable,
                                    std::string_view constraintPrefix, const ReferenceMap& mapReference)
{
    return RewriteCreateTable(
        statement, newTable,
        [constraintPrefix](const std::string& name, bool) {
            // Empty when the prefixed name cannot be made short enough.
            return PrefixedConstraintName(constraintPrefix, name).value_or(std::string());
        },
        mapReference);
}

StructureRewrite RewriteCreateTable(std::string_view statement, std::string_view newTable,
                                    const ConstraintMap& mapConstraint, const ReferenceMap& mapReference)
{
    StructureRewrite result;
    const Analysis a = Analyze(statement);
    if (a.refusal.error != ShapeError::None) {
        result.error = a.refusal.error;
        result.offset = a.refusal.offset;
        return result;
    }
    auto refuse = [&](const Token& at) {
        result.error = ShapeError::NameTooLong;
        result.offset = at.begin;
        result.statement.clear();
        return result;
    };
    auto text = [&](const Token& t) { return statement.substr(t.begin, t.end - t.begin); };
    auto isWord = [&](size_t i, std::string_view upper) {
        return i < a.tokens.size() && a.tokens[i].kind == Tok::Word && EqualsNoCase(text(a.tokens[i]), upper);
    };

    const Token& nameToken = a.tokens[a.nameToken];
    if (NameChars(newTable) > kMaxNameChars)
        return refuse(nameToken);

    std::string& out = result.statement;
    out.reserve(statement.size() + 64);
    size_t copied = 0;
    auto replace = [&](const Token& t, const std::string& quoted) {
        out.append(statement.substr(copied, t.begin - copied));
        out += quoted;
        copied = t.end;
    };

    replace(nameToken, QuoteName(newTable));
    for (size_t i = a.nameToken + 1; i + 1 < a.definitionsEnd; ++i) {
        const Token& next = a.tokens[i + 1];
        if (next.kind != Tok::Name)
            continue;
        if (isWord(i, "CONSTRAINT")) {
            const std::string renamed = mapConstraint(*UnquoteName(text(next)), isWord(i + 2, "FOREIGN"));
            if (renamed.empty() || NameChars(renamed) > kMaxNameChars)
                return refuse(next);
            replace(next, QuoteName(renamed));
            ++i;
        } else if (isWord(i, "REFERENCES") && mapReference) {
            const std::optional<std::string> mapped = mapReference(*UnquoteName(text(next)));
            if (mapped) {
                if (NameChars(*mapped) > kMaxNameChars)
                    return refuse(next);
                replace(next, QuoteName(*mapped));
            }
            ++i;
        }
    }
    out.append(statement.substr(copied));
    return result;
}

KeyDeferral DeferPlainKeys(std::string_view statement)
{
    KeyDeferral result;
    result.createStatement.assign(statement);
    const Analysis a = Analyze(statement);
    if (a.refusal.error != ShapeError::None)
        return result;
    const std::vector<Token>& t = a.tokens;
    auto text = [&](size_t i) { return statement.substr(t[i].begin, t[i].end - t[i].begin); };
    auto isWord = [&](size_t i, std::string_view upper) {
        return i < t.size() && t[i].kind == Tok::Word && EqualsNoCase(text(i), upper);
    };
    auto isPunct = [&](size_t i, char c) { return i < t.size() && t[i].kind == Tok::Punct && statement[t[i].begin] == c; };

    // Only InnoDB builds a key from sorted rows; foreign keys need their
    // keys from the start; partitions, full-text and spatial keys are left
    // as they are.
    bool innodb = false;
    for (size_t i = a.definitionsEnd + 1; i < t.size(); ++i) {
        if (isWord(i, "PARTITION"))
            return result;
        if (isWord(i, "ENGINE")) {
            const size_t v = isPunct(i + 1, '=') ? i + 2 : i + 1;
            innodb = isWord(v, "INNODB");
        }
    }
    if (!innodb)
        return result;
    for (size_t i = a.nameToken + 1; i < a.definitionsEnd; ++i) {
        if (isWord(i, "FOREIGN") || isWord(i, "REFERENCES") || isWord(i, "FULLTEXT") || isWord(i, "SPATIAL"))
            return result;
    }

    // The definitions at the top level: [first token, the "," or ")" after it).
    struct Definition {
        size_t first;
        size_t end;
    };
    std::vector<Definition> definitions;
    std::vector<std::string> autoColumns; // quoted names of AUTO_INCREMENT columns
    for (size_t i = a.nameToken + 2, depth = 0, first = i; i <= a.definitionsEnd; ++i) {
        if (isPunct(i, '(')) {
            ++depth;
        } else if (isPunct(i, ')') && depth > 0) {
            --depth;
        } else if (depth == 0 && (isPunct(i, ',') || i == a.definitionsEnd)) {
            definitions.push_back({first, i});
            if (t[first].kind == Tok::Name) {
                for (size_t k = first + 1; k < i; ++k) {
                    if (isWord(k, "AUTO_INCREMENT"))
                        autoColumns.emplace_back(text(first));
                }
            }
            first = i + 1;
        }
    }

    // A plain key whose first column counts up stays: the server wants that
    // column keyed from the start.
    std::vector<bool> deferred(definitions.size(), false);
    bool any = false;
    for (size_t d = 0; d < definitions.size(); ++d) {
        const Definition& def = definitions[d];
        if (!isWord(def.first, "KEY") && !isWord(def.first, "INDEX"))
            continue;
        size_t open = def.first + 1;
        while (open < def.end && !isPunct(open, '('))
            ++open;
        if (open + 1 >= def.end || t[open + 1].kind != Tok::Name)
            continue;
        bool counted = false;
        for (const std::string& c : autoColumns)
            counted = counted || text(open + 1) == c;
        deferred[d] = !counted;
        any = any || deferred[d];
    }
    if (!any)
        return result;

    // Each deferred key leaves with the comma before it (a key line is never
    // the first definition of a table that has columns before it; when it
    // is, the comma after it goes).
    std::string& out = result.createStatement;
    out.clear();
    size_t copied = 0;
    for (size_t d = 0; d < definitions.size(); ++d) {
        if (!deferred[d])
            continue;
        const Definition& def = definitions[d];
        const size_t keyBegin = t[def.first].begin;
        const size_t keyEnd = t[def.end - 1].end;
        size_t cutBegin = keyBegin;
        size_t cutEnd = keyEnd;
        if (def.first > a.nameToken + 2 && t[def.first - 1].begin >= copied)
            cutBegin = t[def.first - 1].begin; // the "," before it
        else if (isPunct(def.end, ','))
            cutEnd = t[def.end].end;
        else
            return KeyDeferral {std::string(statement), {}};
        out.append(statement.substr(copied, cutBegin - copied));
        copied = cutEnd;
        if (!result.addKeys.empty())
            result.addKeys += ", ";
        result.addKeys += "ADD ";
        result.addKeys.append(statement.substr(keyBegin, keyEnd - keyBegin));
    }
    out.append(statement.substr(copied));
    return result;
}

// ---------------------------------------------------------------------------
// Structure text

bool HasEmptyLine(std::string_view text)
{
    size_t begin = 0;
    while (begin < text.size()) {
        const size_t lf = text.find('\n', begin);
        const size_t end = lf == std::string_view::npos ? text.size() : lf;
        const std::string_view line = text.substr(begin, end - begin);
        if (line.empty() ? lf != std::string_view::npos : line == "\r")
            return true;
        if (lf == std::string_view::npos)
            break;
        begin = lf + 1;
    }
    return false;
}

bool SameTokens(std::string_view a, std::string_view b)
{
    std::vector<Token> ta;
    std::vector<Token> tb;
    if (Lexer(a).Run(ta).error != ShapeError::None || Lexer(b).Run(tb).error != ShapeError::None)
        return false;
    if (ta.size() != tb.size())
        return false;
    for (size_t i = 0; i < ta.size(); ++i) {
        if (ta[i].kind != tb[i].kind
            || a.substr(ta[i].begin, ta[i].end - ta[i].begin) != b.substr(tb[i].begin, tb[i].end - tb[i].begin))
            return false;
    }
    return true;
}

std::string JoinStatementLines(std::string_view text)
{
    std::string joined;
    joined.reserve(text.size());
    size_t begin = 0;
    while (begin <= text.size()) {
        const size_t lf = text.find('\n', begin);
        if (lf == std::string_view::npos) {
            joined.append(text.substr(begin));
            break;
        }
        size_t end = lf;
        if (end > begin && text[end - 1] == '\r')
            --end;
        joined.append(text.substr(begin, end - begin));
        begin = lf + 1;
    }
    return joined;
}

} // namespace dump
