#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

class MysqlConnection;

// The all-or-nothing replacement of a backup's tables, which an Absolute
// restore runs in these steps:
//
//   Begin     takes the database's restore lock and drops the scratch tables
//             an earlier restore left behind;
//   Plan      names a scratch table for every table of the file (dump::
//             RestoreNames) and the name each original takes in the swap;
//   (the restore builds and fills the scratch tables: ScratchStatement)
//   Prepare   checks each scratch table's rows against the file and reads,
//             from the server, the triggers of the tables to be replaced
//             and the foreign keys of other tables that refer to them;
//   Swap      one RENAME TABLE: every original out, every scratch table in.
//             The server does it atomically: the database is either all
//             old or all new;
//   Finish    puts back what the swap moved with the originals: foreign
//             keys of other tables are pointed at the restored tables,
//             foreign keys the swap could not name are given their names,
//             triggers are made again on the restored tables; then the
//             originals are kept as safe copies or dropped.
//
// Until Swap nothing original is touched: a failure or a cancel calls
// DropScratch, and a run that could not (the server or Vorda stopped) leaves
// scratch tables that the next restore's Begin drops.
//
// Scratch tables reference each other's scratch names, so after the swap
// they reference the restored tables. A foreign key named by the server
// (<table>_ibfk_<n>) is named <scratch>_ibfk_<n>, which the server renames
// with the table in the swap; any other foreign key name is held by the
// original until the swap, so the scratch table uses a temporary name that
// Finish replaces. Safe copies keep no foreign keys (they would tie the live
// tables to old rows). Every failure after the swap is reported, and the
// table it concerns keeps its original as a safe copy.
class TableSwap {
public:
    explicit TableSwap(MysqlConnection& conn);

    // Each returns the empty text when it went well, otherwise the reason
    // (a sentence without a line break).
    std::string Begin();
    // `tables` and their row totals in file order. With safe copies each
    // original becomes the first free SAFE_COPY_<table>, SAFE_COPY_2_<table>,
    // ...; without, it is dropped once the swap is done. A table the database
    // holds as a view or a sequence is refused.
    std::string Plan(const std::vector<std::string>& tables, const std::vector<long long>& rows, bool safeCopies);
    // The structure statement of file table `table` made for its scratch
    // table; nothing when it cannot be (a name grown over 64 characters).
    std::optional<std::string> ScratchStatement(const std::string& table, const std::string& statement);
    // The scratch table of file table `table`.
    std::string ScratchName(const std::string& table) const;
    std::string Prepare();
    std::string Swap();
    // After the swap: what did not go as it should, each a sentence.
    std::vector<std::string> Finish();
    // Before the swap: drops the scratch tables.
    void DropScratch();

    bool Swapped() const { return swapped_; }
    // After the swap: the tables that replaced an original, and those that
    // were new to the database.
    std::vector<std::string> ReplacedTables() const;
    std::vector<std::string> NewTables() const;
    // After Finish: the safe copies that hold the originals' rows, as
    // "`table` in `copy`".
    std::vector<std::string> SafeCopies() const;

private:
    struct ForeignKey {
        std::string schema;
        std::string table;
        std::string name;
        std::string referencedSchema;
        std::string referencedTable;
        std::vector<std::string> columns;
        std::vector<std::string> referencedColumns;
        std::string updateRule;
        std::string deleteRule;
        // A plain index of exactly the key's columns, which the server may
        // have made for the key itself (see RepointReferences).
        std::string index;
    };
    struct Trigger {
        std::string name;
        std::string sqlMode;
        std::string statement;
        std::string characterSetClient;
        std::string collationConnection;
    };
    struct Entry {
        std::string table;
        long long rows = 0;
        std::string scratch;
        bool existed = false; // the database held the table before
        std::string old;      // the original's name after the swap
        bool keepOld = false; // the original stays, as a safe copy
        std::vector<std::pair<std::string, std::string>> tempKeys; // temporary name, real name
        std::vector<Trigger> triggers;
    };

    std::optional<std::vector<ForeignKey>> ReadForeignKeys(const std::string& condition);
    std::string AddForeignKeyText(const ForeignKey& key, const std::string& name) const;
    // The plain index of `key`'s table that holds exactly its columns, or
    // the empty text.
    std::string PlainIndexOf(const ForeignKey& key);
    std::string QualifiedTable(const std::string& schema, const std::string& table) const;
    std::optional<std::vector<std::string>> TableNames();
    std::string FreeSafeCopyName(const std::string& table, std::vector<std::string>& taken) const;
    Entry* Find(const std::string& table);
    const Entry* Find(const std::string& table) const;
    std::string TempKeyName();
    void RepointReferences(std::vector<std::string>& problems);
    void RenameKeys(std::vector<std::string>& problems);
    void MakeTriggers(std::vector<std::string>& problems);
    void SettleOriginals(std::vector<std::string>& problems);

    MysqlConnection& conn_;
    std::string database_;
    std::string token_;
    bool safeCopies_ = false;
    bool swapped_ = false;
    int keyCounter_ = 0;
    std::vector<Entry> entries_;
    std::map<std::string, std::size_t> index_; // file table -> entry
    std::vector<ForeignKey> references_;       // keys of other tables that refer to replaced ones
    std::mt19937 random_ {std::random_device {}()};
};
