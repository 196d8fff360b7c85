#include "core/dump/TableStructure.h"

#include "core/dump/ValueEscaping.h"
#include "core/store/Numbers.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace {

std::string RowText(MYSQL_ROW row, const unsigned long* lengths, unsigned int i)
{
    return row[i] ? std::string(row[i], lengths[i]) : std::string();
}

std::optional<std::string> OptionalRowText(MYSQL_ROW row, const unsigned long* lengths, unsigned int i)
{
    if (!row[i])
        return std::nullopt;
    return std::string(row[i], lengths[i]);
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

// A plain decimal number, as a server shows a numeric literal default.
bool IsNumber(const std::string& text)
{
    size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        ++i;
    bool digits = false;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9')
            digits = true;
        else if (c == '.' && !point)
            point = true;
        else if ((c == 'e' || c == 'E') && digits) {
            size_t j = i + 1;
            if (j < text.size() && (text[j] == '-' || text[j] == '+'))
                ++j;
            if (j == text.size())
                return false;
            for (; j < text.size(); ++j) {
                if (text[j] < '0' || text[j] > '9')
                    return false;
            }
            return true;
        } else
            return false;
    }
    return digits;
}

std::string KeyPart(const std::string& column, const std::optional<unsigned>& subPart)
{
    std::string part = QuoteIdentifier(column);
    if (subPart)
        part += "(" + std::to_string(*subPart) + ")";
    return part;
}

// The primary key line: the server's primary key (or, where a server shows
// the first unique key over NOT NULL columns as primary, that key) with all
// its columns in key order.
std::string PrimaryKeyLine(const std::vector<ColumnDescription>& columns, const std::vector<KeyColumn>& keys)
{
    std::vector<const KeyColumn*> parts;
    for (const auto& k : keys) {
        if (k.keyName == "PRIMARY")
            parts.push_back(&k);
    }
    std::vector<std::string> primary;
    for (const auto& c : columns) {
        if (c.key == "PRI")
            primary.push_back(c.field);
    }
    if (parts.empty()) {
        std::vector<std::string> sortedPrimary = primary;
        std::sort(sortedPrimary.begin(), sortedPrimary.end());
        std::map<std::string, std::vector<const KeyColumn*>> uniqueKeys;
        std::vector<std::string> order;
        for (const auto& k : keys) {
            if (!k.unique)
                continue;
            if (!uniqueKeys.count(k.keyName))
                order.push_back(k.keyName);
            uniqueKeys[k.keyName].push_back(&k);
        }
        for (const auto& name : order) {
            std::vector<std::string> names;
            for (const KeyColumn* k : uniqueKeys[name])
                names.push_back(k->column);
            std::sort(names.begin(), names.end());
            if (names == sortedPrimary) {
                parts = uniqueKeys[name];
                break;
            }
        }
    }
    std::stable_sort(parts.begin(), parts.end(),
                     [](const KeyColumn* a, const KeyColumn* b) { return a->seqInIndex < b->seqInIndex; });

    std::string list;
    std::string first;
    if (!parts.empty()) {
        first = parts.front()->column;
        for (const KeyColumn* k : parts) {
            if (!list.empty())
                list += ',';
            list += KeyPart(k->column, k->subPart);
        }
    } else {
        first = primary.empty() ? std::string() : primary.front();
        for (const auto& name : primary) {
            if (!list.empty())
                list += ',';
            list += QuoteIdentifier(name);
        }
    }
    return "  PRIMARY KEY " + QuoteIdentifier(first) + " (" + list + "),";
}

// The key line of a column shown as the first column of a non-unique key.
std::string PlainKeyLine(const std::string& field, const std::vector<KeyColumn>& keys)
{
    auto fullTextOrSpatial = [](const KeyColumn& k) { return k.indexType == "FULLTEXT" || k.indexType == "SPATIAL"; };
    const KeyColumn* chosen = nullptr;
    for (int pass = 0; pass < 3 && !chosen; ++pass) {
        for (const auto& k : keys) {
            if (k.seqInIndex != 1 || k.column != field)
                continue;
            if ((pass == 0 && !k.unique && !fullTextOrSpatial(k)) || (pass == 1 && !k.unique) || pass == 2) {
                chosen = &k;
                break;
            }
        }
    }
    std::string kind = "KEY ";
    std::optional<unsigned> subPart;
    if (chosen) {
        if (fullTextOrSpatial(*chosen))
            kind = chosen->indexType + " KEY ";
        else
            subPart = chosen->subPart;
    }
    return "  " + kind + QuoteIdentifier(field) + " (" + KeyPart(field, subPart) + "),";
}

} // namespace

ResolvedDefault ResolveDefault(const std::optional<std::string>& describeDefault,
                               const std::optional<std::string>& schemaDefault, bool schemaQuotesLiterals,
                               const std::string& type, const std::string& extra)
{
    if (!describeDefault)
        return {};
    if (schemaQuotesLiterals && schemaDefault) {
        const std::string& shown = *schemaDefault;
        if (shown == "NULL")
            return {};
        if (!shown.empty() && shown.front() == '\'')
            return {DecodeSqlLiteral(shown), false};
        if (IsNumber(shown))
            return {shown, false};
        return {shown, true};
    }
    if (extra.find("DEFAULT_GENERATED") != std::string::npos)
        return {*describeDefault, true};
    if ((StartsWithNoCase(type, "timestamp") || StartsWithNoCase(type, "datetime"))
        && StartsWithNoCase(*describeDefault, "current_timestamp"))
        return {*describeDefault, true};
    return {*describeDefault, false};
}

std::string CleanExtra(const std::string& extra)
{
    static const std::string kGenerated = "DEFAULT_GENERATED";
    std::string text = extra;
    for (size_t at = text.find(kGenerated); at != std::string::npos; at = text.find(kGenerated))
        text.erase(at, kGenerated.size());
    std::string tidy;
    for (char c : text) {
        if (c == ' ' && (tidy.empty() || tidy.back() == ' '))
            continue;
        tidy += c;
    }
    while (!tidy.empty() && tidy.back() == ' ')
        tidy.pop_back();
    // Nothing to tidy: keep the server's text exactly as it is.
    return text == extra ? extra : tidy;
}

SectionText BuildColumnText(const std::vector<ColumnDescription>& columns, const std::vector<KeyColumn>& keys)
{
    SectionText s;
    std::string keyText;
    bool primaryWritten = false;
    for (size_t i = 0; i < columns.size(); ++i) {
        const ColumnDescription& c = columns[i];
        if (i > 0) {
            s.text += ",\n";
            ++s.lines;
        }
        s.text += "  " + QuoteIdentifier(c.field) + " " + c.type + " ";
        s.text += c.null == "NO" ? "NOT NULL" : "NULL";
        if (c.defaultValue) {
            if (c.defaultIsExpression) {
                s.text += " default " + *c.defaultValue;
            } else {
                s.text += " default '";
                AppendEscaped(s.text, c.defaultValue->data(), c.defaultValue->size());
                s.text += "'";
            }
        }
        const std::string extra = CleanExtra(c.extra);
        if (!extra.empty())
            s.text += " " + extra;
        if (c.key == "PRI") {
            if (!primaryWritten) {
                keyText += PrimaryKeyLine(columns, keys) + "\n";
                ++s.lines;
                primaryWritten = true;
            }
        } else if (c.key == "MUL") {
            keyText += PlainKeyLine(c.field, keys) + "\n";
            ++s.lines;
        }
    }
    s.text += keyText.empty() ? std::string("\n") : ",\n" + keyText;
    ++s.lines;
    if (s.text.size() >= 2 && s.text[s.text.size() - 2] == ',') {
        s.text.resize(s.text.size() - 2);
        s.text += "\n";
        ++s.lines;
    }
    s.text += ")\n";
    ++s.lines;
    return s;
}

bool ReadTableStructure(MysqlConnection& conn, const std::string& table, std::vector<ColumnDescription>& columns,
                        std::vector<KeyColumn>& keys)
{
    columns.clear();
    keys.clear();
    if (!conn.Query("describe " + QuoteIdentifier(table)))
        return false;
    std::vector<std::optional<std::string>> describeDefaults;
    {
        MysqlResult result = conn.StoreResult();
        if (!result || result.FieldCount() < 6)
            return false;
        unsigned long* lengths = nullptr;
        while (MYSQL_ROW row = result.FetchRow(&lengths)) {
            ColumnDescription c;
            c.field = RowText(row, lengths, 0);
            c.type = RowText(row, lengths, 1);
            c.null = RowText(row, lengths, 2);
            c.key = RowText(row, lengths, 3);
            describeDefaults.push_back(OptionalRowText(row, lengths, 4));
            c.extra = RowText(row, lengths, 5);
            columns.push_back(std::move(c));
        }
    }

    if (!conn.Query("SHOW KEYS FROM " + QuoteIdentifier(table)))
        return false;
    {
        MysqlResult result = conn.StoreResult();
        if (!result || result.FieldCount() < 11)
            return false;
        unsigned long* lengths = nullptr;
        while (MYSQL_ROW row = result.FetchRow(&lengths)) {
            if (!row[4])
                continue; // an index over an expression names no column
            KeyColumn k;
            k.unique = RowText(row, lengths, 1) == "0";
            k.keyName = RowText(row, lengths, 2);
            k.seqInIndex = LeadingInt(RowText(row, lengths, 3));
            k.column = RowText(row, lengths, 4);
            if (row[7])
                k.subPart = static_cast<unsigned>(LeadingInt(row[7]));
            k.indexType = RowText(row, lengths, 10);
            keys.push_back(std::move(k));
        }
    }

    // The defaults as information_schema shows them, which tells an
    // expression from a literal. Without them, the `describe` text is used.
    std::map<std::string, std::optional<std::string>> schemaDefaults;
    if (conn.Query("SELECT COLUMN_NAME, COLUMN_DEFAULT FROM information_schema.COLUMNS"
                   " WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = '"
                   + conn.Escape(table) + "'")) {
        MysqlResult result = conn.StoreResult();
        unsigned long* lengths = nullptr;
        while (MYSQL_ROW row = result.FetchRow(&lengths))
            schemaDefaults[RowText(row, lengths, 0)] = OptionalRowText(row, lengths, 1);
    }
    const bool quotes = conn.QuotesLiteralDefaults();
    for (size_t i = 0; i < columns.size(); ++i) {
        ColumnDescription& c = columns[i];
        const auto found = schemaDefaults.find(c.field);
        const std::optional<std::string> schemaDefault
            = found != schemaDefaults.end() ? found->second : std::optional<std::string>();
        const ResolvedDefault d
            = ResolveDefault(describeDefaults[i], schemaDefault, quotes && found != schemaDefaults.end(), c.type, c.extra);
        c.defaultValue = d.value;
        c.defaultIsExpression = d.isExpression;
    }
    return true;
}
