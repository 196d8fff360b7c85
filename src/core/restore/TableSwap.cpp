#include "core/restore/TableSwap.h"

#include "core/dump/RestoreNames.h"
#include "core/dump/SqlShape.h"
#include "core/engine/MysqlClient.h"
#include "core/store/Numbers.h"

#include <algorithm>
#include <cstdio>
#include <set>

namespace {

constexpr const char* kSafeCopyPrefix = "SAFE_COPY_";

std::string Quoted(const std::string& name)
{
    return dump::QuoteName(name);
}

std::string Field(MYSQL_ROW row, const unsigned long* lengths, unsigned int i)
{
    return row[i] ? std::string(row[i], lengths[i]) : std::string();
}

// "<table>_ibfk_<n>": the name the server gives a foreign key it names
// itself, which it renames with the table.
bool IsServerKeyName(const std::string& key, const std::string& table, std::string& number)
{
    const std::string start = table + "_ibfk_";
    if (!key.starts_with(start) || key.size() == start.size())
        return false;
    number = key.substr(start.size());
    return number.find_first_not_of("0123456789") == std::string::npos;
}

std::string ColumnList(const std::vector<std::string>& columns)
{
    std::string list;
    for (const std::string& column : columns)
        list += (list.empty() ? "" : ", ") + Quoted(column);
    return list;
}

} // namespace

TableSwap::TableSwap(MysqlConnection& conn)
    : conn_(conn)
{
}

std::string TableSwap::Begin()
{
    // One restore at a time into a database, whichever program or computer
    // runs it: the scratch tables dropped below are never another run's.
    // The lock goes with the connection, so a stopped run leaves none.
    if (!conn_.Query("SELECT DATABASE(), GET_LOCK(CONCAT('vorda_restore_', MD5(DATABASE())), 0)"))
        return "the server refused the restore lock: " + conn_.ErrorText();
    std::string lock;
    {
        MysqlResult result = conn_.StoreResult();
        unsigned long* lengths = nullptr;
        MYSQL_ROW row = result.FetchRow(&lengths);
        if (!row || !row[0] || !row[1])
            return "the connection names no database the restore can lock";
        database_ = Field(row, lengths, 0);
        lock = Field(row, lengths, 1);
    }
    if (lock != "1")
        return "another restore into database " + Quoted(database_) + " is running";

    const auto names = TableNames();
    if (!names)
        return "the tables of database " + Quoted(database_) + " could not be listed: " + conn_.ErrorText();
    std::string leftovers;
    for (const std::string& name : *names) {
        if (dump::IsScratchTableName(name))
            leftovers += (leftovers.empty() ? "" : ", ") + Quoted(name);
    }
    // A leftover that cannot be dropped stays in the way of nothing: this
    // run's names are new.
    if (!leftovers.empty())
        conn_.Query("DROP TABLE IF EXISTS " + leftovers);
    return {};
}

std::optional<std::vector<std::string>> TableSwap::TableNames()
{
    if (!conn_.Query("SELECT TABLE_NAME FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE()"))
        return std::nullopt;
    std::vector<std::string> names;
    MysqlResult result = conn_.StoreResult();
    unsigned long* lengths = nullptr;
    while (MYSQL_ROW row = result.FetchRow(&lengths))
        names.push_back(Field(row, lengths, 0));
    return names;
}

std::string TableSwap::Plan(const std::vector<std::string>& tables, const std::vector<long long>& rows,
                            bool safeCopies)
{
    safeCopies_ = safeCopies;
    if (!conn_.Query("SELECT TABLE_NAME, TABLE_TYPE FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE()"))
        return "the tables of database " + Quoted(database_) + " could not be listed: " + conn_.ErrorText();
    std::map<std::string, std::string> types;
    {
        MysqlResult result = conn_.StoreResult();
        unsigned long* lengths = nullptr;
        while (MYSQL_ROW row = result.FetchRow(&lengths))
            types[Field(row, lengths, 0)] = Field(row, lengths, 1);
    }
    // A token no table of the database begins with after a prefix.
    for (bool used = true; used;) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(random_()));
        token_ = digits;
        used = false;
        for (const auto& [name, type] : types) {
            used = used || name.starts_with(std::string(dump::kScratchTablePrefix) + token_)
                || name.starts_with(std::string(dump::kOldTablePrefix) + token_);
        }
    }
    std::vector<std::string> taken;
    for (const auto& [name, type] : types)
        taken.push_back(name);

    entries_.clear();
    index_.clear();
    for (size_t i = 0; i < tables.size(); ++i) {
        Entry entry;
        entry.table = tables[i];
        entry.rows = i < rows.size() ? rows[i] : 0;
        entry.scratch = dump::ScratchName(dump::kScratchTablePrefix, token_, i + 1);
        const auto type = types.find(entry.table);
        if (type != types.end()) {
            if (type->second == "VIEW" || type->second == "SEQUENCE")
                return "the table " + Quoted(entry.table) + " of the backup is a "
                    + (type->second == "VIEW" ? "view" : "sequence") + " in database " + Quoted(database_)
                    + ", which a restore does not replace";
            entry.existed = true;
            if (safeCopies) {
                entry.old = FreeSafeCopyName(entry.table, taken);
                if (dump::NameChars(entry.old) > dump::kMaxNameChars)
                    return "the safe copy of table " + Quoted(entry.table) + " would be named " + Quoted(entry.old)
                        + ", longer than " + std::to_string(dump::kMaxNameChars) + " characters";
                entry.keepOld = true;
            } else {
                entry.old = dump::ScratchName(dump::kOldTablePrefix, token_, i + 1);
            }
        }
        index_[entry.table] = entries_.size();
        entries_.push_back(std::move(entry));
    }
    return {};
}

std::string TableSwap::FreeSafeCopyName(const std::string& table, std::vector<std::string>& taken) const
{
    // SAFE_COPY_t, SAFE_COPY_2_t, SAFE_COPY_3_t, ...: a copy that is there
    // already is never touched.
    for (int n = 1;; ++n) {
        std::string name = n == 1 ? kSafeCopyPrefix + table : kSafeCopyPrefix + std::to_string(n) + "_" + table;
        if (std::find(taken.begin(), taken.end(), name) == taken.end()) {
            taken.push_back(name);
            return name;
        }
    }
}

TableSwap::Entry* TableSwap::Find(const std::string& table)
{
    const auto it = index_.find(table);
    return it == index_.end() ? nullptr : &entries_[it->second];
}

const TableSwap::Entry* TableSwap::Find(const std::string& table) const
{
    const auto it = index_.find(table);
    return it == index_.end() ? nullptr : &entries_[it->second];
}

std::string TableSwap::TempKeyName()
{
    return dump::ScratchName(dump::kScratchKeyPrefix, token_, static_cast<size_t>(++keyCounter_));
}

std::optional<std::string> TableSwap::ScratchStatement(const std::string& table, const std::string& statement)
{
    Entry* entry = Find(table);
    if (!entry)
        return std::nullopt;
    entry->tempKeys.clear();
    const dump::StructureRewrite rewrite = dump::RewriteCreateTable(
        statement, entry->scratch,
        [&](const std::string& name, bool foreignKey) -> std::string {
            // CHECK constraint names belong to their table; foreign key
            // names to the database.
            if (!foreignKey)
                return name;
            std::string number;
            if (IsServerKeyName(name, table, number))
                return entry->scratch + "_ibfk_" + number;
            std::string temp = TempKeyName();
            entry->tempKeys.emplace_back(temp, name);
            return temp;
        },
        [this](const std::string& referenced) -> std::optional<std::string> {
            if (const Entry* target = Find(referenced))
                return target->scratch;
            return std::nullopt;
        });
    if (!rewrite.Ok())
        return std::nullopt;
    return rewrite.statement;
}

std::string TableSwap::ScratchName(const std::string& table) const
{
    const Entry* entry = Find(table);
    return entry ? entry->scratch : std::string();
}

std::string TableSwap::Prepare()
{
    // Every scratch table holds what the file counts.
    for (const Entry& entry : entries_) {
        if (!conn_.Query("SELECT COUNT(*) FROM " + Quoted(entry.scratch)))
            return "the rows of the restored table " + Quoted(entry.table) + " could not be counted: "
                + conn_.ErrorText();
        MysqlResult result = conn_.StoreResult();
        MYSQL_ROW row = result.FetchRow();
        const long long held = row && row[0] ? LeadingInteger(row[0]) : -1;
        if (held != entry.rows)
            return "the restored table " + Quoted(entry.table) + " holds " + std::to_string(held)
                + " rows, but the backup file holds " + std::to_string(entry.rows);
    }

    // The triggers of the tables to be replaced, as the server defines them:
    // the swap moves them to the originals.
    if (!conn_.Query("SELECT EVENT_OBJECT_TABLE, TRIGGER_NAME FROM information_schema.TRIGGERS WHERE "
                     "TRIGGER_SCHEMA = DATABASE() AND EVENT_OBJECT_SCHEMA = DATABASE() ORDER BY EVENT_OBJECT_TABLE, "
                     "ACTION_TIMING, EVENT_MANIPULATION, ACTION_ORDER"))
        return "the triggers of database " + Quoted(database_) + " could not be read: " + conn_.ErrorText();
    std::vector<std::pair<std::string, std::string>> triggers;
    {
        MysqlResult result = conn_.StoreResult();
        unsigned long* lengths = nullptr;
        while (MYSQL_ROW row = result.FetchRow(&lengths)) {
            const Entry* entry = Find(Field(row, lengths, 0));
            if (entry && entry->existed)
                triggers.emplace_back(entry->table, Field(row, lengths, 1));
        }
    }
    for (Entry& entry : entries_)
        entry.triggers.clear();
    for (const auto& [table, name] : triggers) {
        if (!conn_.Query("SHOW CREATE TRIGGER " + Quoted(name)))
            return "the trigger " + Quoted(name) + " of table " + Quoted(table) + " could not be read: "
                + conn_.ErrorText();
        MysqlResult result = conn_.StoreResult();
        unsigned long* lengths = nullptr;
        MYSQL_ROW row = result.FetchRow(&lengths);
        if (!row || result.FieldCount() < 5 || !row[2])
            return "the trigger " + Quoted(name) + " of table " + Quoted(table) + " could not be read";
        Find(table)->triggers.push_back({name, Field(row, lengths, 1), Field(row, lengths, 2), Field(row, lengths, 3),
                                         Field(row, lengths, 4)});
    }

    // Foreign keys of other tables (in any database) that refer to a table
    // to be replaced: the swap would leave them referring to the original.
    references_.clear();
    std::optional<std::vector<ForeignKey>> referring = ReadForeignKeys("k.REFERENCED_TABLE_SCHEMA = DATABASE()");
    if (!referring)
        return "the foreign keys that refer to database " + Quoted(database_) + " could not be read: "
            + conn_.ErrorText();
    for (ForeignKey& key : *referring) {
        const Entry* parent = Find(key.referencedTable);
        const bool inFile = key.schema == database_ && Find(key.table);
        if (parent && parent->existed && !inFile)
            references_.push_back(std::move(key));
    }
    for (ForeignKey& key : references_)
        key.index = PlainIndexOf(key);
    return {};
}

std::string TableSwap::PlainIndexOf(const ForeignKey& key)
{
    if (!conn_.Query("SELECT INDEX_NAME, NON_UNIQUE, COLUMN_NAME, SUB_PART, INDEX_TYPE, INDEX_COMMENT FROM "
                     "information_schema.STATISTICS WHERE TABLE_SCHEMA = '"
                     + conn_.Escape(key.schema) + "' AND TABLE_NAME = '" + conn_.Escape(key.table)
                     + "' ORDER BY INDEX_NAME, SEQ_IN_INDEX"))
        return {};
    MysqlResult result = conn_.StoreResult();
    std::string name;
    std::vector<std::string> columns;
    bool plain = true;
    std::string found;
    const auto settle = [&] {
        if (!name.empty() && plain && columns == key.columns && found.empty())
            found = name;
    };
    unsigned long* lengths = nullptr;
    while (MYSQL_ROW row = result.FetchRow(&lengths)) {
        const std::string index = Field(row, lengths, 0);
        if (index != name) {
            settle();
            name = index;
            columns.clear();
            plain = true;
        }
        columns.push_back(Field(row, lengths, 2));
        plain = plain && index != "PRIMARY" && Field(row, lengths, 1) == "1" && !row[3]
            && Field(row, lengths, 4) == "BTREE" && Field(row, lengths, 5).empty();
    }
    settle();
    return found;
}

std::optional<std::vector<TableSwap::ForeignKey>> TableSwap::ReadForeignKeys(const std::string& condition)
{
    std::vector<ForeignKey> keys;
    if (!conn_.Query("SELECT k.TABLE_SCHEMA, k.TABLE_NAME, k.CONSTRAINT_NAME, k.REFERENCED_TABLE_SCHEMA, "
                     "k.REFERENCED_TABLE_NAME, k.COLUMN_NAME, k.REFERENCED_COLUMN_NAME, r.UPDATE_RULE, r.DELETE_RULE "
                     "FROM information_schema.KEY_COLUMN_USAGE k JOIN information_schema.REFERENTIAL_CONSTRAINTS r "
                     "ON r.CONSTRAINT_SCHEMA = k.CONSTRAINT_SCHEMA AND r.TABLE_NAME = k.TABLE_NAME AND "
                     "r.CONSTRAINT_NAME = k.CONSTRAINT_NAME WHERE k.REFERENCED_TABLE_NAME IS NOT NULL AND "
                     + condition + " ORDER BY k.TABLE_SCHEMA, k.TABLE_NAME, k.CONSTRAINT_NAME, k.ORDINAL_POSITION"))
        return std::nullopt;
    MysqlResult result = conn_.StoreResult();
    unsigned long* lengths = nullptr;
    while (MYSQL_ROW row = result.FetchRow(&lengths)) {
        const std::string schema = Field(row, lengths, 0);
        const std::string table = Field(row, lengths, 1);
        const std::string name = Field(row, lengths, 2);
        if (keys.empty() || keys.back().schema != schema || keys.back().table != table || keys.back().name != name)
            keys.push_back({schema, table, name, Field(row, lengths, 3), Field(row, lengths, 4), {}, {},
                            Field(row, lengths, 7), Field(row, lengths, 8), {}});
        keys.back().columns.push_back(Field(row, lengths, 5));
        keys.back().referencedColumns.push_back(Field(row, lengths, 6));
    }
    return keys;
}

std::string TableSwap::QualifiedTable(const std::string& schema, const std::string& table) const
{
    return schema == database_ ? Quoted(table) : Quoted(schema) + "." + Quoted(table);
}

std::string TableSwap::AddForeignKeyText(const ForeignKey& key, const std::string& name) const
{
    // A reference without a database names the child's own.
    const std::string parent = key.referencedSchema == key.schema
        ? Quoted(key.referencedTable)
        : Quoted(key.referencedSchema) + "." + Quoted(key.referencedTable);
    // RESTRICT is what a key without the clause does, and how the server
    // shows it; given in so many words, ALTER TABLE would store NO ACTION.
    std::string text = "ADD CONSTRAINT " + Quoted(name) + " FOREIGN KEY (" + ColumnList(key.columns)
        + ") REFERENCES " + parent + " (" + ColumnList(key.referencedColumns) + ")";
    if (key.deleteRule != "RESTRICT")
        text += " ON DELETE " + key.deleteRule;
    if (key.updateRule != "RESTRICT")
        text += " ON UPDATE " + key.updateRule;
    return text;
}

std::string TableSwap::Swap()
{
    std::string renames;
    for (const Entry& entry : entries_) {
        if (entry.existed)
            renames += (renames.empty() ? "" : ", ") + Quoted(entry.table) + " TO " + Quoted(entry.old);
        renames += (renames.empty() ? "" : ", ") + Quoted(entry.scratch) + " TO " + Quoted(entry.table);
    }
    if (!conn_.Query("RENAME TABLE " + renames))
        return "the server refused to swap the restored tables in: " + conn_.ErrorText();
    swapped_ = true;
    return {};
}

std::vector<std::string> TableSwap::Finish()
{
    std::vector<std::string> problems;
    RepointReferences(problems);
    RenameKeys(problems);
    MakeTriggers(problems);
    SettleOriginals(problems);
    return problems;
}

void TableSwap::RepointReferences(std::vector<std::string>& problems)
{
    // The swap left them on the original (now the old table): each is moved
    // to the restored table under a temporary name and given its own name
    // back, so it is never missing in between (one statement cannot drop and
    // add a key of one name).
    for (ForeignKey key : references_) {
        Entry* parent = Find(key.referencedTable);
        const std::string child = QualifiedTable(key.schema, key.table);
        const std::string temp = TempKeyName();
        // An index the server made for the key would be made again under the
        // key's new name: given as an index of its own, it keeps its name.
        const std::string index = key.index.empty()
            ? std::string()
            : ", DROP KEY " + Quoted(key.index) + ", ADD KEY " + Quoted(key.index) + " (" + ColumnList(key.columns)
                + ")";
        if (!conn_.Query("ALTER TABLE " + child + " DROP FOREIGN KEY " + Quoted(key.name) + index + ", "
                         + AddForeignKeyText(key, temp))) {
            problems.push_back("the foreign key " + Quoted(key.name) + " of table " + child
                               + " could not be pointed at the restored table " + Quoted(parent->table) + " ("
                               + conn_.ErrorText() + "): it still refers to the previous rows");
            parent->keepOld = true;
            continue;
        }
        if (!conn_.Query("ALTER TABLE " + child + " DROP FOREIGN KEY " + Quoted(temp) + ", "
                         + AddForeignKeyText(key, key.name)))
            problems.push_back("the foreign key " + Quoted(key.name) + " of table " + child
                               + " refers to the restored table " + Quoted(parent->table) + " under the name "
                               + Quoted(temp) + " (" + conn_.ErrorText() + ")");
    }
}

void TableSwap::RenameKeys(std::vector<std::string>& problems)
{
    // The originals hold the names the restored tables' keys need; safe
    // copies keep no foreign keys in any case.
    for (const Entry& entry : entries_) {
        if (!entry.existed)
            continue;
        std::string drops;
        for (const ForeignKey& key :
             ReadForeignKeys("k.TABLE_SCHEMA = DATABASE() AND k.TABLE_NAME = '" + conn_.Escape(entry.old) + "'")
                 .value_or(std::vector<ForeignKey>()))
            drops += (drops.empty() ? "" : ", ") + std::string("DROP FOREIGN KEY ") + Quoted(key.name);
        if (!drops.empty() && !conn_.Query("ALTER TABLE " + Quoted(entry.old) + " " + drops))
            problems.push_back("the foreign keys of " + Quoted(entry.old) + ", the previous table "
                               + Quoted(entry.table) + ", could not be removed (" + conn_.ErrorText() + ")");
    }
    for (const Entry& entry : entries_) {
        if (entry.tempKeys.empty())
            continue;
        const std::vector<ForeignKey> keys
            = ReadForeignKeys("k.TABLE_SCHEMA = DATABASE() AND k.TABLE_NAME = '" + conn_.Escape(entry.table) + "'")
                  .value_or(std::vector<ForeignKey>());
        std::string changes;
        for (const auto& [temp, name] : entry.tempKeys) {
            const auto key
                = std::find_if(keys.begin(), keys.end(), [&](const ForeignKey& k) { return k.name == temp; });
            if (key != keys.end())
                changes += (changes.empty() ? "" : ", ") + std::string("DROP FOREIGN KEY ") + Quoted(temp) + ", "
                    + AddForeignKeyText(*key, name);
        }
        if (!changes.empty() && !conn_.Query("ALTER TABLE " + Quoted(entry.table) + " " + changes))
            problems.push_back("the foreign keys of the restored table " + Quoted(entry.table)
                               + " keep temporary names beginning with " + std::string(dump::kScratchKeyPrefix) + " ("
                               + conn_.ErrorText() + ")");
    }
}

void TableSwap::MakeTriggers(std::vector<std::string>& problems)
{
    bool changedSession = false;
    for (Entry& entry : entries_) {
        for (const Trigger& trigger : entry.triggers) {
            if (!changedSession) {
                changedSession = conn_.Query("SET @vorda_sql_mode = @@SESSION.sql_mode, @vorda_client = "
                                             "@@SESSION.character_set_client, @vorda_collation = "
                                             "@@SESSION.collation_connection");
            }
            // A trigger's name belongs to the database: the original's goes first.
            bool made = conn_.Query("DROP TRIGGER " + Quoted(trigger.name));
            if (made) {
                // The statement as the server keeps it, under the modes it was
                // made with. The text comes in the connection's utf8mb4, which
                // a UTF-8 client character set reads alike.
                std::string set = "SET SESSION sql_mode = '" + conn_.Escape(trigger.sqlMode) + "'";
                if (trigger.characterSetClient.starts_with("utf8"))
                    set += ", SESSION character_set_client = '" + conn_.Escape(trigger.characterSetClient) + "'";
                set += ", SESSION collation_connection = '" + conn_.Escape(trigger.collationConnection) + "'";
                made = conn_.Query(set) && conn_.Query(trigger.statement);
            }
            if (!made) {
                problems.push_back("the trigger " + Quoted(trigger.name) + " of table " + Quoted(entry.table)
                                   + " could not be made on the restored table (" + conn_.ErrorText() + ")");
                entry.keepOld = true;
            }
            if (changedSession)
                conn_.Query("SET SESSION sql_mode = @vorda_sql_mode, SESSION character_set_client = @vorda_client, "
                            "SESSION collation_connection = @vorda_collation");
        }
    }
}

void TableSwap::SettleOriginals(std::vector<std::string>& problems)
{
    std::vector<std::string> taken;
    bool listed = false;
    for (Entry& entry : entries_) {
        if (!entry.existed || safeCopies_)
            continue;
        if (!entry.keepOld) {
            if (!conn_.Query("DROP TABLE " + Quoted(entry.old))) {
                problems.push_back("the previous table " + Quoted(entry.table) + " could not be dropped ("
                                   + conn_.ErrorText() + "): it remains as " + Quoted(entry.old));
                entry.keepOld = true;
            }
            continue;
        }
        // Kept after all: it takes a safe copy's name.
        if (!listed) {
            taken = TableNames().value_or(std::vector<std::string>());
            listed = true;
        }
        const std::string copy = FreeSafeCopyName(entry.table, taken);
        if (dump::NameChars(copy) <= dump::kMaxNameChars
            && conn_.Query("RENAME TABLE " + Quoted(entry.old) + " TO " + Quoted(copy)))
            entry.old = copy;
    }
}

void TableSwap::DropScratch()
{
    if (swapped_ || entries_.empty())
        return;
    std::string names;
    for (const Entry& entry : entries_)
        names += (names.empty() ? "" : ", ") + Quoted(entry.scratch);
    conn_.Query("DROP TABLE IF EXISTS " + names);
}

std::vector<std::string> TableSwap::ReplacedTables() const
{
    std::vector<std::string> tables;
    for (const Entry& entry : entries_) {
        if (entry.existed)
            tables.push_back(entry.table);
    }
    return tables;
}

std::vector<std::string> TableSwap::NewTables() const
{
    std::vector<std::string> tables;
    for (const Entry& entry : entries_) {
        if (!entry.existed)
            tables.push_back(entry.table);
    }
    return tables;
}

std::vector<std::string> TableSwap::SafeCopies() const
{
    std::vector<std::string> copies;
    for (const Entry& entry : entries_) {
        if (entry.existed && entry.keepOld)
            copies.push_back(Quoted(entry.table) + " in " + Quoted(entry.old));
    }
    return copies;
}
