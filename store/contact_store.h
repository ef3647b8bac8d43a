#pragma once

#include "store/database.h"

#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// One contact as eleven GB18030 texts, in the order the list, the editor, the spreadsheets
// and the package lines use (not the table's column order).
enum ContactField {
    kUI_ID,
    kUser_Name,
    kUser_Sex,
    kUser_Birthday,
    kUser_Education,
    kRecode_Type,
    kProvince,
    kCity,
    kCounty_Seat,
    kOrganization_Detial,
    kMobile_NO,
    kContactFieldCount
};
using ContactRecord = std::array<std::string, kContactFieldCount>;

inline constexpr int kContactsPerPage = 200;

// The login area name that means "every province": no filter.
std::string WholeCountryName();

// Local time as "yyyy-mm-dd hh:mm:ss", the text Add_Time is written and sorted by.
std::string LocalTimeText();

// Statements of the store, as GB18030 text; exposed so their exact form can be checked.
std::string ContactTableCreateStatement();
std::string ContactIndexStatements();
std::string CountContactsStatement(const std::string& areaName);
// Newest first, ties in Add_Time in the reverse of their insertion, skipping the pages before.
std::string SelectContactPageStatement(int page, const std::string& areaName);
// The same page of a register of `total` records. A page past the middle is read from the
// oldest end, ascending, and comes in reverse: skipping rows costs as many as are skipped.
// The caller reverses the rows when FromOldestEnd says so.
std::string SelectContactPageStatement(int page, int total, const std::string& areaName);
bool FromOldestEnd(int page, int total);

// How an insert of a contact ended. A record with the same name and number is never
// added; one that only shares its name is added once the operator has agreed.
enum class ContactInsert { Done, SameNameAndMobile, SameName, Failed };

// The contact table. Each operation works on the connection opened by OpenContactDatabase
// and closed by CloseContactDatabase (or by the store's destruction), except the two that
// open and close by themselves. LastStatus() tells why the latest operation failed.
class ContactStore {
public:
    using Clock = std::function<std::string()>;

    explicit ContactStore(std::filesystem::path database, Clock clock = LocalTimeText);
    ~ContactStore();
    ContactStore(const ContactStore&) = delete;
    ContactStore& operator=(const ContactStore&) = delete;

    StoreStatus OpenContactDatabase();
    bool CloseContactDatabase();
    bool ExecuteStatement(const std::string& gb18030);

    // Checks for same-name records first; a failed check inserts nothing. A refusal
    // leaves LastStatus() ok.
    ContactInsert InsertContactRow(const ContactRecord& record, bool sameNameAgreed = false);
    bool DeleteContactRow(const std::string& id);
    // Deletes the old row and inserts the new one, in one transaction: the old row stays
    // when the insert does not happen.
    ContactInsert ReplaceContactRow(const std::string& oldId, const ContactRecord& record,
                                    bool sameNameAgreed = false);
    bool DropContactTable();
    // Creates the contact table and its indexes (the indexes only change speed).
    bool CreateContactTable();
    // The count, or why there is none: a failed read is not an empty register.
    StoreResult<int> CountContacts(const std::string& areaName);

    // Opens and closes by itself. Fails, leaving records empty, when the query fails.
    StoreStatus SelectContactPage(int page, const std::string& areaName,
                                  std::vector<ContactRecord>& records);
    // Opens and closes by itself.
    StoreResult<int> CountContactsForExport(const std::string& areaName);

    const StoreStatus& LastStatus() const { return status_; }
    // The connection OpenContactDatabase opened; nullptr when closed.
    const Connection* CurrentConnection() const { return db_ ? &*db_ : nullptr; }
    sqlite3* Handle() const { return db_ ? db_->Handle() : nullptr; }
    const std::filesystem::path& DatabasePath() const { return database_; }

private:
    enum class NameCheck { Unique, SameName, SameNameAndMobile, Failed };
    NameCheck CheckSameName(const ContactRecord& record);

    // Runs a write with the search index's notes of the rows it touches, in one transaction.
    bool WriteNoted(const std::string& noteBefore, const std::string& write,
                    const std::string& noteAfter);
    // Records the outcome as LastStatus() and passes it on.
    StoreStatus Note(StoreStatus status);

    std::filesystem::path database_;
    Clock clock_;
    std::optional<Connection> db_;
    StoreStatus status_;
};

// The list's reading of the register. Counting a large register takes long, so a count is
// kept until the register changes, whoever changes it: a connection held open for the
// purpose sees every commit made on the file by any other connection, in this process or
// another. The pages themselves are read on a connection of their own every time, so that
// a damaged file says so on the next page turn rather than being served from a cache.
class ContactPager {
public:
    explicit ContactPager(std::filesystem::path database);
    ~ContactPager();
    ContactPager(const ContactPager&) = delete;
    ContactPager& operator=(const ContactPager&) = delete;

    // The area's count: the one kept when nothing changed since it was taken.
    StoreResult<int> Count(const std::string& areaName);
    // Reads the page newest first and gives the count it is a page of, taken in the same
    // reading so that page and count agree. Fails, leaving records empty, when a read fails.
    StoreResult<int> Page(int page, const std::string& areaName,
                          std::vector<ContactRecord>& records);
    // Lets the kept count go; the next call counts again.
    void Forget();

    // From now on Count and Page give only the records matching the query (GB18030; see
    // FindContactRowids), newest first; an empty query gives the whole register again.
    void SetQuery(std::string gb18030Query);
    const std::string& Query() const { return query_; }
    // How many times the register was counted (each a full scan).
    int CountsTaken() const { return countsTaken_; }

private:
    struct Kept {
        std::string area;
        long long version = 0;
        int count = 0;
    };
    // The watching connection's view of the file's version; opens it when it is missing or
    // the file at the path is no longer the one it watches.
    StoreResult<long long> Version();
    // The kept count when it still holds, otherwise a new count on db, kept.
    StoreResult<int> CountOn(const Connection& db, const std::string& areaName);
    // Page and Count while a query is set.
    StoreResult<int> FoundPage(int page, const std::string& areaName,
                               std::vector<ContactRecord>& records);
    StoreResult<int> ReadFoundPage(const Connection& db, int page, const std::string& areaName,
                                   std::vector<ContactRecord>& records);
    // The kept matches when nothing changed since they were found, otherwise new ones.
    StoreResult<int> FindOn(const Connection& db, const std::string& areaName);

    std::filesystem::path database_;
    std::optional<Connection> watch_;
    unsigned long long watchedDevice_ = 0, watchedInode_ = 0;
    std::optional<Kept> kept_;
    int countsTaken_ = 0;
    struct Found {
        std::string query;
        std::string area;
        long long version = 0;
        std::vector<long long> rowids; // newest first
    };
    std::string query_;
    std::optional<Found> found_;
};
