#include "store/contact_store.h"

#include "platform/text.h"
#include "store/database.h"
#include "store/search_index.h"

#include <sqlcipher/sqlite3.h>

#include <algorithm>
#include <charconv>
#include <ctime>
#include <sys/stat.h>

namespace {

// Restricts a statement to the login area's province, unless the area is the whole country.
std::string ProvinceFilter(const std::string& keyword, const std::string& areaName) {
    if (areaName == WholeCountryName()) {
        return {};
    }
    return keyword + " Province = " + SqlLiteral(areaName);
}

std::string InsertStatement(const ContactRecord& r, const std::string& addTime) {
    return "insert into t_address_book (UI_ID, User_Name, Mobile_NO, User_Sex, User_Birthday, "
           "User_Education, Organization_Detial, Recode_Type, Province, City, "
           "County_Seat,Add_Time) values(" +
           SqlLiteral(r[kUI_ID]) + ", " + SqlLiteral(r[kUser_Name]) + ", " +
           SqlLiteral(r[kMobile_NO]) + ", " + SqlLiteral(r[kUser_Sex]) + ", date(" +
           SqlLiteral(r[kUser_Birthday]) + "), " + SqlLiteral(r[kUser_Education]) + ", " +
           SqlLiteral(r[kOrganization_Detial]) + ", " + SqlLiteral(r[kRecode_Type]) + ", " +
           SqlLiteral(r[kProvince]) + ", " + SqlLiteral(r[kCity]) + ", " +
           SqlLiteral(r[kCounty_Seat]) + ", " + SqlLiteral(addTime) + ");";
}

// Page columns in select order, mapped to the record's fields (Add_Time is not read).
constexpr ContactField kPageColumns[] = {
    kUI_ID,         kUser_Name,      kMobile_NO,           kUser_Sex,
    kUser_Birthday, kUser_Education, kOrganization_Detial, kRecode_Type,
    kProvince,      kCity,           kCounty_Seat};

// The rows of a page, newest first or oldest first. Ties in Add_Time (a whole import shares
// a handful of seconds) are broken by the rowid, which the Add_Time indexes hold after the
// time, so that either direction is one walk of an index and one the reverse of the other.
std::string PageStatement(const std::string& areaName, bool oldestFirst, long long limit,
                          long long offset) {
    std::string sql = "select UI_ID, User_Name, Mobile_NO, User_Sex, User_Birthday, "
                      "User_Education, Organization_Detial,Recode_Type, Province, City, "
                      "County_Seat, Add_Time from t_address_book ";
    if (areaName != WholeCountryName()) {
        sql += "WHERE Province = " + SqlLiteral(areaName) + " ";
    }
    sql += oldestFirst ? "order by Add_Time ASC, rowid ASC" : "order by Add_Time DESC, rowid DESC";
    sql += " limit " + std::to_string(limit);
    if (offset != 0) {
        sql += " OFFSET " + std::to_string(offset);
    }
    return sql + ";";
}

long long PageStart(int page) {
    return static_cast<long long>(page) * kContactsPerPage - kContactsPerPage;
}

// The number a statement of one row and one column gives, or `none` as the failure when it
// gives no row or no number.
template <typename Number>
StoreResult<Number> QueryNumber(const Connection& db, const std::string& sql, const char* none) {
    std::optional<Number> number;
    const StoreStatus read = db.Query(sql, [&](const std::vector<std::string>& row) {
        Number value = 0;
        const char* end = row[0].data() + row[0].size();
        if (std::from_chars(row[0].data(), end, value).ptr == end) {
            number = value;
        }
    });
    if (!read) {
        return read;
    }
    if (!number) {
        return StoreStatus{StoreError::StatementFailed, none};
    }
    return *number;
}

StoreResult<int> CountWith(const Connection& db, const std::string& areaName) {
    return QueryNumber<int>(db, CountContactsStatement(areaName), "the count returned no row");
}

void AddPageRow(const std::vector<std::string>& row, std::vector<ContactRecord>& records) {
    ContactRecord& record = records.emplace_back();
    for (std::size_t i = 0; i < std::size(kPageColumns); ++i) {
        record[kPageColumns[i]] = row[i];
    }
}

} // namespace

std::string WholeCountryName() {
    return Gb18030("全国");
}

std::string LocalTimeText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::string ContactTableCreateStatement() {
    return "create table t_address_book( UI_ID varchar(64) primary key, User_Name varchar(64), "
           "Mobile_NO varchar(20), User_Sex varchar(32), User_Birthday date, User_Education "
           "varhcar(64), Organization_Detial varchar(256), Recode_Type varchar(128), Province "
           "varchar(128), City varchar(128), County_Seat varchar(128), Add_Time varchar(128) );";
}

std::string ContactIndexStatements() {
    // book_province serves the province filter of the count and of the page.
    return "CREATE INDEX IF NOT EXISTS book_addTime ON t_address_book(Add_Time);"
           "CREATE INDEX IF NOT EXISTS book_province ON t_address_book(Province, Add_Time);";
}

std::string CountContactsStatement(const std::string& areaName) {
    return "select count(*) from t_address_book" + ProvinceFilter(" where", areaName);
}

std::string SelectContactPageStatement(int page, const std::string& areaName) {
    return PageStatement(areaName, false, kContactsPerPage, page == 1 ? 0 : PageStart(page));
}

bool FromOldestEnd(int page, int total) {
    const long long start = PageStart(page);
    return start < total && total - std::min<long long>(start + kContactsPerPage, total) < start;
}

std::string SelectContactPageStatement(int page, int total, const std::string& areaName) {
    if (!FromOldestEnd(page, total)) {
        return SelectContactPageStatement(page, areaName);
    }
    const long long start = PageStart(page);
    const long long end = std::min<long long>(start + kContactsPerPage, total);
    return PageStatement(areaName, true, end - start, total - end);
}

ContactStore::ContactStore(std::filesystem::path database, Clock clock)
    : database_(std::move(database)), clock_(std::move(clock)) {}

ContactStore::~ContactStore() = default;

StoreStatus ContactStore::Note(StoreStatus status) {
    status_ = status;
    return status;
}

StoreStatus ContactStore::OpenContactDatabase() {
    CloseContactDatabase();
    StoreResult<Connection> opened = Connection::Open(database_);
    if (!opened) {
        return Note(opened.status());
    }
    db_.emplace(std::move(opened.value()));
    return Note(StoreStatus::Ok());
}

bool ContactStore::CloseContactDatabase() {
    db_.reset();
    return true;
}

bool ContactStore::ExecuteStatement(const std::string& gb18030) {
    if (!db_) {
        return Note({StoreError::NotConnected, "no open connection"}).ok();
    }
    return Note(db_->Execute(gb18030)).ok();
}

ContactStore::NameCheck ContactStore::CheckSameName(const ContactRecord& record) {
    if (!db_) {
        Note({StoreError::NotConnected, "no open connection"});
        return NameCheck::Failed;
    }
    bool sameName = false, sameMobile = false;
    const StoreStatus read =
        db_->Query("select Mobile_NO , User_Name from t_address_book where User_Name = " +
                       SqlLiteral(record[kUser_Name]),
                   [&](const std::vector<std::string>& row) {
                       sameName = true;
                       sameMobile = sameMobile || row[0] == record[kMobile_NO];
                   });
    if (!Note(read)) {
        return NameCheck::Failed;
    }
    return sameMobile ? NameCheck::SameNameAndMobile
                      : (sameName ? NameCheck::SameName : NameCheck::Unique);
}

ContactInsert ContactStore::InsertContactRow(const ContactRecord& record, bool sameNameAgreed) {
    switch (CheckSameName(record)) {
    case NameCheck::SameNameAndMobile:
        return ContactInsert::SameNameAndMobile;
    case NameCheck::SameName:
        if (!sameNameAgreed) {
            return ContactInsert::SameName;
        }
        break;
    case NameCheck::Failed:
        // The duplicate check could not run; inserting anyway could add a duplicate.
        return ContactInsert::Failed;
    case NameCheck::Unique:
        break;
    }
    return WriteNoted({}, InsertStatement(record, clock_()),
                      "INSERT INTO t_address_book_search_noted VALUES (last_insert_rowid(), NULL);")
               ? ContactInsert::Done
               : ContactInsert::Failed;
}

bool ContactStore::DeleteContactRow(const std::string& id) {
    return WriteNoted("INSERT INTO t_address_book_search_noted SELECT rowid, Add_Time FROM "
                      "t_address_book WHERE UI_ID=" +
                          SqlLiteral(id) + ";",
                      "delete from t_address_book where UI_ID=" + SqlLiteral(id) + ";", {});
}

bool ContactStore::WriteNoted(const std::string& noteBefore, const std::string& write,
                              const std::string& noteAfter) {
    if (!db_) {
        return Note({StoreError::NotConnected, "no open connection"}).ok();
    }
    // The write and its note for the search index commit together; within the caller's
    // transaction they are part of it.
    std::optional<Transaction> own;
    if (sqlite3_get_autocommit(db_->Handle()) != 0) {
        own.emplace(*db_);
        if (!own->status()) {
            return Note(own->status()).ok();
        }
    }
    // A note that cannot be written (a register without the index's tables) is no reason
    // to refuse the write: the index then disagrees with the records and is built again.
    if (!noteBefore.empty()) {
        db_->Execute(noteBefore);
    }
    if (!ExecuteStatement(write)) {
        return false;
    }
    if (!noteAfter.empty()) {
        db_->Execute(noteAfter);
    }
    return own ? Note(own->Commit()).ok() : true;
}

ContactInsert ContactStore::ReplaceContactRow(const std::string& oldId, const ContactRecord& record,
                                              bool sameNameAgreed) {
    if (!db_) {
        Note({StoreError::NotConnected, "no open connection"});
        return ContactInsert::Failed;
    }
    // One transaction, so a refused or failed insert brings the old row back. The same-name
    // check runs after the delete, so that a record does not match itself.
    Transaction transaction(*db_);
    if (!Note(transaction.status()) || !DeleteContactRow(oldId)) {
        return ContactInsert::Failed;
    }
    const ContactInsert inserted = InsertContactRow(record, sameNameAgreed);
    if (inserted != ContactInsert::Done) {
        return inserted;
    }
    return Note(transaction.Commit()) ? ContactInsert::Done : ContactInsert::Failed;
}

bool ContactStore::DropContactTable() {
    return ExecuteStatement("drop table IF EXISTS t_address_book");
}

bool ContactStore::CreateContactTable() {
    const bool created = ExecuteStatement(ContactTableCreateStatement());
    if (db_) {
        db_->Execute(ContactIndexStatements()); // the indexes only change speed
        if (created) {
            // A search index left without triggers is rebuilt at the next start anyway.
            db_->Execute(SearchIndexResetStatements());
        }
    }
    return created;
}

StoreResult<int> ContactStore::CountContacts(const std::string& areaName) {
    if (!db_) {
        return Note({StoreError::NotConnected, "no open connection"});
    }
    StoreResult<int> count = CountWith(*db_, areaName);
    Note(count ? StoreStatus::Ok() : count.status());
    return count;
}

StoreStatus ContactStore::SelectContactPage(int page, const std::string& areaName,
                                            std::vector<ContactRecord>& records) {
    records.clear();
    if (StoreStatus opened = OpenContactDatabase(); !opened) {
        return opened;
    }
    const StoreStatus read =
        db_->Query(SelectContactPageStatement(page, areaName),
                   [&](const std::vector<std::string>& row) { AddPageRow(row, records); });
    CloseContactDatabase();
    if (!read) {
        records.clear(); // rows read before the failure are not the page
    }
    return Note(read);
}

StoreResult<int> ContactStore::CountContactsForExport(const std::string& areaName) {
    if (StoreStatus opened = OpenContactDatabase(); !opened) {
        return opened;
    }
    StoreResult<int> count = CountContacts(areaName);
    CloseContactDatabase();
    return count;
}

ContactPager::ContactPager(std::filesystem::path database) : database_(std::move(database)) {}

ContactPager::~ContactPager() = default;

void ContactPager::Forget() {
    watch_.reset();
    kept_.reset();
    found_.reset();
}

StoreResult<long long> ContactPager::Version() {
    struct stat file {};
    const bool found = ::stat(database_.c_str(), &file) == 0;
    if (watch_ && (!found || file.st_dev != watchedDevice_ || file.st_ino != watchedInode_)) {
        Forget(); // another file has the name now: nothing seen of the old one applies
    }
    if (!watch_) {
        StoreResult<Connection> opened = Connection::Open(database_);
        if (!opened) {
            return opened.status();
        }
        if (::stat(database_.c_str(), &file) != 0) {
            return StoreStatus{StoreError::CannotOpen, "the register file went while opened"};
        }
        watch_.emplace(std::move(opened.value()));
        watchedDevice_ = file.st_dev;
        watchedInode_ = file.st_ino;
    }
    // Changes when any other connection has committed to the file since the last asking;
    // this connection never writes, so that is every change.
    StoreResult<long long> version =
        QueryNumber<long long>(*watch_, "PRAGMA data_version;", "no data version");
    if (!version) {
        Forget();
    }
    return version;
}

StoreResult<int> ContactPager::CountOn(const Connection& db, const std::string& areaName) {
    const StoreResult<long long> version = Version();
    if (!version) {
        return version.status();
    }
    if (kept_ && kept_->area == areaName && kept_->version == version.value()) {
        return kept_->count;
    }
    StoreResult<int> count = CountWith(db, areaName);
    ++countsTaken_;
    if (count) {
        kept_ = Kept{areaName, version.value(), count.value()};
    } else {
        kept_.reset();
    }
    return count;
}

void ContactPager::SetQuery(std::string gb18030Query) {
    query_ = std::move(gb18030Query);
}

StoreResult<int> ContactPager::FindOn(const Connection& db, const std::string& areaName) {
    const StoreResult<long long> version = Version();
    if (!version) {
        return version.status();
    }
    if (found_ && found_->query == query_ && found_->area == areaName &&
        found_->version == version.value()) {
        return static_cast<int>(found_->rowids.size());
    }
    found_.reset();
    StoreResult<std::vector<long long>> rowids = FindContactRowids(db, query_, areaName);
    if (!rowids) {
        return rowids.status();
    }
    found_ = Found{query_, areaName, version.value(), std::move(rowids.value())};
    return static_cast<int>(found_->rowids.size());
}

StoreResult<int> ContactPager::FoundPage(int page, const std::string& areaName,
                                         std::vector<ContactRecord>& records) {
    const StoreResult<Connection> opened = Connection::Open(database_);
    if (!opened) {
        return opened.status();
    }
    const Connection& db = opened.value();
    // The rows written since the last search are indexed first; an index that cannot be
    // brought up to date is not trusted, but built again.
    if (!IndexNotedRows(db)) {
        if (const StoreResult<SearchIndexState> ensured = EnsureSearchIndex(db); !ensured) {
            return ensured.status();
        }
    }
    StoreResult<int> total = ReadFoundPage(db, page, areaName, records);
    if (!total && total.status().error == StoreError::StatementFailed) {
        // An index that fails a search is damaged: built again, it is asked once more.
        records.clear();
        found_.reset();
        if (StoreStatus rebuilt = RebuildSearchIndex(db); !rebuilt) {
            return rebuilt;
        }
        total = ReadFoundPage(db, page, areaName, records);
    }
    return total;
}

StoreResult<int> ContactPager::ReadFoundPage(const Connection& db, int page,
                                             const std::string& areaName,
                                             std::vector<ContactRecord>& records) {
    Transaction reading(db);
    if (!reading.status()) {
        return reading.status();
    }
    if (const StoreStatus locked = db.Execute("PRAGMA schema_version;"); !locked) {
        return locked;
    }
    const StoreResult<int> total = FindOn(db, areaName);
    if (!total || page < 1) {
        return total;
    }
    const auto first = std::min(found_->rowids.size(), static_cast<std::size_t>(PageStart(page)));
    const auto last = std::min(found_->rowids.size(), first + kContactsPerPage);
    if (first == last) {
        return total;
    }
    std::string list;
    for (std::size_t i = first; i < last; ++i) {
        list += (i == first ? "" : ",") + std::to_string(found_->rowids[i]);
    }
    // The rows come in the table's order; the page shows them in the matches' order.
    std::vector<std::pair<long long, ContactRecord>> rows;
    const StoreStatus read =
        db.Query("select UI_ID, User_Name, Mobile_NO, User_Sex, User_Birthday, User_Education, "
                 "Organization_Detial, Recode_Type, Province, City, County_Seat, rowid from "
                 "t_address_book where rowid in (" +
                     list + ");",
                 [&](const std::vector<std::string>& row) {
                     std::vector<ContactRecord> one;
                     AddPageRow(row, one);
                     rows.emplace_back(std::stoll(row.back()), std::move(one.front()));
                 });
    if (!read) {
        return read;
    }
    std::sort(rows.begin(), rows.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = first; i < last; ++i) {
        const long long rowid = found_->rowids[i];
        const auto at =
            std::lower_bound(rows.begin(), rows.end(), rowid,
                             [](const auto& row, long long id) { return row.first < id; });
        if (at != rows.end() && at->first == rowid) {
            records.push_back(std::move(at->second));
        }
    }
    return total;
}

StoreResult<int> ContactPager::Count(const std::string& areaName) {
    if (!query_.empty()) {
        std::vector<ContactRecord> none;
        return FoundPage(0, areaName, none);
    }
    // Nothing committed since the count was kept: no other connection is needed.
    if (kept_ && kept_->area == areaName) {
        const StoreResult<long long> version = Version();
        if (version && kept_ && version.value() == kept_->version) {
            return kept_->count;
        }
    }
    std::vector<ContactRecord> none;
    return Page(0, areaName, none);
}

StoreResult<int> ContactPager::Page(int page, const std::string& areaName,
                                    std::vector<ContactRecord>& records) {
    records.clear();
    if (!query_.empty()) {
        return FoundPage(page, areaName, records);
    }
    const StoreResult<Connection> opened = Connection::Open(database_);
    if (!opened) {
        return opened.status();
    }
    const Connection& db = opened.value();
    // The reading holds the file's shared lock from its first statement to its end, so no
    // commit comes between the version asked, the count and the page.
    Transaction reading(db);
    if (!reading.status()) {
        return reading.status();
    }
    if (const StoreStatus locked = db.Execute("PRAGMA schema_version;"); !locked) {
        return locked;
    }
    const StoreResult<int> total = CountOn(db, areaName);
    if (!total || page < 1) {
        return total;
    }
    const StoreStatus read =
        db.Query(SelectContactPageStatement(page, total.value(), areaName),
                 [&](const std::vector<std::string>& row) { AddPageRow(row, records); });
    if (!read) {
        records.clear(); // rows read before the failure are not the page
        return read;
    }
    if (FromOldestEnd(page, total.value())) {
        std::reverse(records.begin(), records.end());
    }
    return total;
}
