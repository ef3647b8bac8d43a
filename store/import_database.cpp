#include "store/import_database.h"

#include "platform/dates.h"
#include "platform/text.h"
#include "store/search_index.h"

#include <sqlcipher/sqlite3.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr int kImportCacheKiB = 48 * 1024;

// Texts of one column whose UTF-8 the connection keeps. A column of texts that never
// repeat (the names) fills its share at its first rows and is converted row by row after
// that, as it would be anyway.
constexpr std::size_t kMaxKeptTexts = 512;

constexpr char kInsertStatement[] =
    "insert into t_address_book (UI_ID, User_Name, Mobile_NO, User_Sex, User_Birthday, "
    "User_Education, Organization_Detial, Recode_Type, Province, City, County_Seat, Add_Time) "
    "values (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12);";

// Insert parameters in statement order, mapped to the record's fields; the birthday (5)
// and Add_Time (12) are bound apart.
constexpr std::pair<int, ContactField> kInsertParameters[] = {
    {1, kUI_ID},          {2, kUser_Name},           {3, kMobile_NO},   {4, kUser_Sex},
    {6, kUser_Education}, {7, kOrganization_Detial}, {8, kRecode_Type}, {9, kProvince},
    {10, kCity},          {11, kCounty_Seat}};

void BindText(sqlite3_stmt* stmt, int index, const std::string& gb18030) {
    const std::string utf8 = Gb18030ToUtf8(gb18030);
    sqlite3_bind_text(stmt, index, utf8.data(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
}

// Whether a date is written "yyyy-mm-dd", as it is stored.
bool IsStoredDateForm(const std::string& text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return false;
    }
    for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
    }
    return true;
}

// A statement prepared for one use; finalized however the use ends.
class OneStatement {
public:
    OneStatement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
    ~OneStatement() { sqlite3_finalize(stmt_); }
    OneStatement(const OneStatement&) = delete;
    OneStatement& operator=(const OneStatement&) = delete;
    sqlite3_stmt* get() const { return stmt_; }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

} // namespace

StoreResult<ImportDatabase> ImportDatabase::Open(const std::filesystem::path& file) {
    StoreResult<Connection> opened = Connection::Open(file);
    if (!opened) {
        return opened.status();
    }
    // A package goes in as one transaction of up to 60,000 rows whose keys (digests) land
    // all over the table. With the default cache of a few pages, every page would be
    // enciphered and written out, and read and deciphered back, many times over.
    opened.value().Execute("PRAGMA cache_size = -" + std::to_string(kImportCacheKiB) + ";");
    return ImportDatabase(std::move(opened.value()));
}

ImportDatabase::ImportDatabase(ImportDatabase&& other) noexcept
    : connection_(std::move(other.connection_)), insert_(std::exchange(other.insert_, nullptr)),
      note_(std::exchange(other.note_, nullptr)), utf8Texts_(std::move(other.utf8Texts_)),
      lastKept_(other.lastKept_) {}

ImportDatabase::~ImportDatabase() {
    ForgetInsertStatement();
}

void ImportDatabase::ForgetInsertStatement() {
    sqlite3_finalize(insert_);
    insert_ = nullptr;
    sqlite3_finalize(note_);
    note_ = nullptr;
}

void ImportDatabase::NoteInsertedRow() {
    sqlite3* db = connection_.Handle();
    // A register without the search index's tables takes the row all the same: the index
    // then disagrees with the records and is built again.
    if (!note_ && sqlite3_prepare_v2(db, kNoteInsertedRow, -1, &note_, nullptr) != SQLITE_OK) {
        sqlite3_finalize(note_);
        note_ = nullptr;
        return;
    }
    sqlite3_bind_int64(note_, 1, sqlite3_last_insert_rowid(db));
    sqlite3_step(note_);
    sqlite3_reset(note_);
}

bool ImportDatabase::TableExists(const std::string& name) const {
    OneStatement count(connection_.Handle(),
                       "select count(*) from sqlite_master where type = 'table' and name = ?1;");
    if (!count.get()) {
        return true;
    }
    BindText(count.get(), 1, name);
    if (sqlite3_step(count.get()) != SQLITE_ROW) {
        return true;
    }
    return sqlite3_column_int(count.get(), 0) != 0;
}

TablePreparation ImportDatabase::PrepareContactTable(bool replace) {
    // A statement still prepared on the table would keep it from being dropped.
    ForgetInsertStatement();
    const bool exists = TableExists("t_address_book");
    if (replace && exists) {
        if (!connection_.Execute("drop table t_address_book;")) {
            return TablePreparation::DropFailed;
        }
        if (!connection_.Execute(ContactTableCreateStatement() + ContactIndexStatements() +
                                 SearchIndexResetStatements())) {
            return TablePreparation::CreateAfterDropFailed;
        }
        return TablePreparation::Ready;
    }
    if (!exists && !connection_.Execute(ContactTableCreateStatement() + ContactIndexStatements() +
                                        SearchIndexResetStatements())) {
        return TablePreparation::CreateFailed;
    }
    return TablePreparation::Ready;
}

bool ImportDatabase::InTransaction() const {
    return sqlite3_get_autocommit(connection_.Handle()) == 0;
}

InsertResult ImportDatabase::InsertRecord(const ContactRecord& record, const std::string& addTime) {
    std::optional<CivilDate> birthday;
    if (!record[kUser_Birthday].empty()) {
        birthday = ParseShortDate(record[kUser_Birthday]);
        if (!birthday) {
            return {InsertOutcome::BadBirthday, record[kUser_Birthday]};
        }
    }
    sqlite3* db = connection_.Handle();
    if (!insert_ && sqlite3_prepare_v2(db, kInsertStatement, -1, &insert_, nullptr) != SQLITE_OK) {
        ForgetInsertStatement();
        return {InsertOutcome::Failed, sqlite3_errmsg(db)};
    }
    sqlite3_reset(insert_);
    sqlite3_clear_bindings(insert_);
    // Each text bound stays where it is until the step is done: the record's own ASCII, a
    // kept UTF-8 (never dropped), or the one converted text of each parameter.
    std::array<std::string, kInsertParameterCount + 1> converted;
    const auto bind = [&](int index, const std::string& gb18030) {
        const std::string& utf8 = Utf8Of(index, gb18030, converted[index]);
        sqlite3_bind_text(insert_, index, utf8.data(), static_cast<int>(utf8.size()),
                          SQLITE_STATIC);
    };
    for (const auto& [index, field] : kInsertParameters) {
        bind(index, record[field]);
    }
    // Most workbooks write their dates as they are stored; only others are written anew.
    const std::string& written = record[kUser_Birthday];
    const std::string birthdayText =
        birthday && !IsStoredDateForm(written) ? FormatShortDate(*birthday) : std::string();
    if (birthday) {
        bind(5, birthdayText.empty() ? written : birthdayText);
    }
    bind(12, addTime);
    const int stepped = sqlite3_step(insert_);
    sqlite3_reset(insert_);
    sqlite3_clear_bindings(insert_);
    if (stepped == SQLITE_DONE) {
        NoteInsertedRow();
        return {};
    }
    const std::string message = sqlite3_errmsg(db);
    const bool duplicate = sqlite3_extended_errcode(db) == SQLITE_CONSTRAINT_PRIMARYKEY ||
                           message.find("UNIQUE constraint") != std::string::npos;
    return {duplicate ? InsertOutcome::Duplicate : InsertOutcome::Failed, message};
}

const std::string& ImportDatabase::Utf8Of(int parameter, const std::string& gb18030,
                                          std::string& converted) {
    if (std::all_of(gb18030.begin(), gb18030.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        return gb18030; // ASCII is the same in both
    }
    const auto p = static_cast<std::size_t>(parameter);
    // Rows in a run often repeat the text of the row before.
    if (lastKept_[p] != nullptr && lastKept_[p]->first == gb18030) {
        return lastKept_[p]->second;
    }
    auto& kept = utf8Texts_[p];
    if (const auto found = kept.find(gb18030); found != kept.end()) {
        lastKept_[p] = &*found;
        return found->second;
    }
    if (kept.size() < kMaxKeptTexts) {
        lastKept_[p] = &*kept.emplace(gb18030, Gb18030ToUtf8(gb18030)).first;
        return lastKept_[p]->second;
    }
    converted = Gb18030ToUtf8(gb18030);
    return converted;
}

ImportDatabase::DeleteOutcome
ImportDatabase::DeleteImportedRecords(const std::vector<std::string>& ids) {
    if (ids.empty()) {
        return DeleteOutcome::NothingToDo;
    }
    Transaction transaction(connection_);
    if (!transaction.status()) {
        return DeleteOutcome::Failed;
    }
    OneStatement remove(connection_.Handle(), "delete from t_address_book where UI_ID = ?1;");
    if (!remove.get()) {
        return DeleteOutcome::Failed;
    }
    OneStatement note(connection_.Handle(), kNoteRowsOfId);
    for (const std::string& id : ids) {
        if (note.get()) {
            sqlite3_reset(note.get());
            BindText(note.get(), 1, id);
            sqlite3_step(note.get());
        }
        sqlite3_reset(remove.get());
        BindText(remove.get(), 1, id);
        if (sqlite3_step(remove.get()) != SQLITE_DONE) {
            return DeleteOutcome::Failed; // the transaction rolls back
        }
    }
    sqlite3_reset(remove.get());
    return transaction.Commit() ? DeleteOutcome::Done : DeleteOutcome::Failed;
}
