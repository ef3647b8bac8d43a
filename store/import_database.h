#pragma once

#include "store/contact_store.h"
#include "store/database.h"

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

struct sqlite3_stmt;

// How a record's insert ended.
enum class InsertOutcome {
    Inserted,
    Duplicate,   // its identifier is already in the table
    BadBirthday, // a birthday that is no calendar date
    Failed,      // anything else; detail holds SQLite's message
};

struct InsertResult {
    InsertOutcome outcome = InsertOutcome::Inserted;
    std::string detail;
    bool ok() const { return outcome == InsertOutcome::Inserted; }
};

// Which step of a table preparation failed.
enum class TablePreparation { Ready, CreateFailed, DropFailed, CreateAfterDropFailed };

// The one connection an import run works on, and the operations the importers need.
class ImportDatabase {
public:
    static StoreResult<ImportDatabase> Open(const std::filesystem::path& file);

    ImportDatabase(ImportDatabase&& other) noexcept;
    ImportDatabase& operator=(ImportDatabase&&) = delete;
    ~ImportDatabase();

    const Connection& connection() const { return connection_; }

    // Failed reads answer "exists", so that a table in doubt is never created over.
    bool TableExists(const std::string& name) const;
    // Creates the contact table when it is missing, or (replace) drops whatever is there
    // and creates it empty. Part of the caller's transaction when one is open.
    TablePreparation PrepareContactTable(bool replace);

    // Inserts one record with its own identifier, the birthday written as "yyyy-mm-dd" (an
    // empty birthday as NULL) and addTime as Add_Time.
    InsertResult InsertRecord(const ContactRecord& record, const std::string& addTime);

    // Whether a transaction is open: SQLite ends one by itself on some errors (a full disk,
    // an I/O error), taking back every row it held.
    bool InTransaction() const;

    // Removes the rows of these identifiers in one transaction: all of them or none.
    enum class DeleteOutcome { Done, NothingToDo, Failed };
    DeleteOutcome DeleteImportedRecords(const std::vector<std::string>& ids);

private:
    explicit ImportDatabase(Connection connection) : connection_(std::move(connection)) {}
    void ForgetInsertStatement();
    void NoteInsertedRow();
    // The text as it is bound to the insert's parameter. A workbook's columns repeat a few
    // texts (the sex, the education, the areas) on every row, so each is converted once
    // and kept; ASCII is bound as it is; a text beyond what a column keeps is converted
    // into `converted`.
    const std::string& Utf8Of(int parameter, const std::string& gb18030, std::string& converted);

    static constexpr int kInsertParameterCount = 12;

    Connection connection_;
    sqlite3_stmt* insert_ = nullptr;
    sqlite3_stmt* note_ = nullptr; // the search index's note of each row inserted
    // By parameter: GB18030 texts bound before, with their UTF-8.
    using KeptTexts = std::unordered_map<std::string, std::string>;
    std::array<KeptTexts, kInsertParameterCount + 1> utf8Texts_;
    // By parameter: the kept text found last (the maps' nodes stay where they are).
    std::array<const KeptTexts::value_type*, kInsertParameterCount + 1> lastKept_{};
};
