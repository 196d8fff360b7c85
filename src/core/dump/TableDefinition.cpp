#include "core/dump/TableDefinition.h"

#include "core/dump/DumpFormat.h"
#include "core/dump/SqlShape.h"

#include <algorithm>

namespace dump {

namespace {

bool ContainsNoCase(std::string_view text, std::string_view upperWord)
{
    if (text.size() < upperWord.size())
        return false;
    for (size_t i = 0; i + upperWord.size() <= text.size(); ++i) {
        bool same = true;
        for (size_t j = 0; j < upperWord.size() && same; ++j) {
            char c = text[i + j];
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
            same = c == upperWord[j];
        }
        if (same)
            return true;
    }
    return false;
}

// The lines a section adds to the file: its heading and its statement.
long TallyOf(const std::string& structure)
{
    return kStructureTitleLines + static_cast<long>(std::count(structure.begin(), structure.end(), '\n'));
}

} // namespace

std::string DefinitionRefusal(const std::string& table, std::string_view definition, unsigned long long maxStatement)
{
    const std::string firstLine = "CREATE TABLE " + QuoteName(table) + " (\n";
    if (definition.substr(0, firstLine.size()) != firstLine)
        return "it does not begin with \"CREATE TABLE " + QuoteName(table) + " (\" on a line of its own";
    if (definition.find('\r') != std::string_view::npos)
        return "it holds a carriage return";
    if (HasEmptyLine(definition))
        return "it holds an empty line";
    const std::string joined = JoinStatementLines(definition);
    if (maxStatement != 0 && joined.size() >= maxStatement)
        return "it is " + std::to_string(joined.size()) + " bytes long, more than the server's packet limit allows";
    const StructureCheck check = CheckCreateTable(joined);
    if (!check.Ok())
        return std::string("a restore refuses it (") + ShapeErrorText(check.error) + ")";
    if (check.table != table)
        return "it names another table";
    if (!SameTokens(definition, joined))
        return "its lines do not join into the same statement";
    return {};
}

bool IsGeneratedColumn(std::string_view extra)
{
    // "VIRTUAL GENERATED", "STORED GENERATED", "PERSISTENT GENERATED", and
    // the older "VIRTUAL" and "PERSISTENT"; not "DEFAULT_GENERATED", which
    // some servers show for a column with an expression default.
    return ContainsNoCase(extra, "VIRTUAL") || ContainsNoCase(extra, "PERSISTENT")
        || ContainsNoCase(extra, "STORED GENERATED");
}

bool IsInvisibleColumn(std::string_view extra)
{
    return ContainsNoCase(extra, "INVISIBLE");
}

DefinitionRead ReadTableDefinition(MysqlConnection& conn, const std::string& table, unsigned long long maxStatement,
                                   TableDefinition& definition, std::string& refusal)
{
    definition = {};
    refusal.clear();
    if (!conn.Query("SHOW CREATE TABLE " + QuoteName(table)))
        return DefinitionRead::Refused;
    std::string text;
    {
        MysqlResult result = conn.StoreResult();
        if (!result || result.FieldCount() < 2)
            return DefinitionRead::Refused;
        const MYSQL_FIELD* second = mysql_fetch_field_direct(result.get(), 1);
        const bool view = second && second->name && std::string_view(second->name) == "Create View";
        unsigned long* lengths = nullptr;
        MYSQL_ROW row = result.FetchRow(&lengths);
        if (!row || !row[1])
            return DefinitionRead::Refused;
        if (view) {
            refusal = "it is a view, not a table";
            return DefinitionRead::Unrestorable;
        }
        text.assign(row[1], lengths[1]);
    }
    text += '\n';
    refusal = DefinitionRefusal(table, text, maxStatement);
    if (!refusal.empty())
        return DefinitionRead::Unrestorable;
    definition.tallyLines = TallyOf(text);
    definition.structure = std::move(text);
    return DefinitionRead::Ok;
}

std::optional<std::vector<std::string>> ViewsAmong(MysqlConnection& conn, const std::vector<std::string>& tables)
{
    if (!conn.Query("SELECT TABLE_NAME FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() AND "
                    "TABLE_TYPE IN ('VIEW', 'SEQUENCE')"))
        return std::nullopt;
    std::vector<std::string> views;
    {
        MysqlResult result = conn.StoreResult();
        unsigned long* lengths = nullptr;
        while (MYSQL_ROW row = result.FetchRow(&lengths)) {
            if (row[0])
                views.emplace_back(row[0], lengths[0]);
        }
    }
    std::vector<std::string> named;
    for (const std::string& table : tables) {
        if (std::find(views.begin(), views.end(), table) != views.end())
            named.push_back(table);
    }
    return named;
}

void ReadRowColumns(MysqlResult& showColumns, TableDefinition& definition)
{
    definition.rowColumns.clear();
    if (!showColumns || showColumns.FieldCount() < 6)
        return;
    bool named = false;
    std::vector<std::string> columns;
    unsigned long* lengths = nullptr;
    while (MYSQL_ROW row = showColumns.FetchRow(&lengths)) {
        const std::string_view extra = row[5] ? std::string_view(row[5], lengths[5]) : std::string_view();
        if (IsGeneratedColumn(extra)) {
            named = true;
            continue;
        }
        named = named || IsInvisibleColumn(extra);
        columns.emplace_back(row[0] ? std::string(row[0], lengths[0]) : std::string());
    }
    if (named)
        definition.rowColumns = std::move(columns);
}

} // namespace dump
