#include "store/search_index.h"

#include "platform/text.h"
#include "store/contact_store.h"

#include <algorithm>
#include <charconv>
#include <memory>
#include <optional>
#include <span>
#include <sqlcipher/sqlite3.h>

namespace {

constexpr char kCreateIndex[] =
    "CREATE VIRTUAL TABLE t_address_book_search USING fts4(User_Name, Mobile_NO, "
    "Organization_Detial, Province, tokenize=simple);"
    "CREATE TABLE t_address_book_search_noted(id INTEGER, Add_Time TEXT);";

constexpr const char* kIndexObjects[] = {"t_address_book_search", "t_address_book_search_noted"};

constexpr char kInsertWords[] = "INSERT INTO t_address_book_search(docid, User_Name, Mobile_NO, "
                                "Organization_Detial, Province) VALUES (?1, ?2, ?3, ?4, ?5);";

// An entry's docid orders entries as the list does (Add_Time, then rowid), so that a search
// reads nothing but the index: the seconds of Add_Time above, the rowid in the low bits.
constexpr int kRowidBits = 28;
constexpr long long kSecondsLimit = 1LL << 34; // about 540 years either side of 1970

// The seconds of a "yyyy-mm-dd hh:mm:ss" text, counted as if the time were UTC: only the
// order matters. A text of another form counts as 0.
long long AddTimeSeconds(std::string_view text) {
    const auto digits = [&](std::size_t at, std::size_t count, long long& value) {
        value = 0;
        for (std::size_t i = at; i < at + count; ++i) {
            if (i >= text.size() || text[i] < '0' || text[i] > '9') {
                return false;
            }
            value = value * 10 + (text[i] - '0');
        }
        return true;
    };
    long long year, month, day, hour, minute, second;
    if (text.size() != 19 || !digits(0, 4, year) || !digits(5, 2, month) || !digits(8, 2, day) ||
        !digits(11, 2, hour) || !digits(14, 2, minute) || !digits(17, 2, second) || month < 1 ||
        month > 12) {
        return 0;
    }
    // Days from 1970-01-01 of a date in the proleptic Gregorian calendar.
    const long long y = year - (month <= 2);
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yearOfEra = y - era * 400;
    const long long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const long long days = era * 146097 + dayOfEra - 719468;
    const long long seconds = days * 86400 + hour * 3600 + minute * 60 + second;
    return std::clamp(seconds, -kSecondsLimit, kSecondsLimit - 1);
}

// Nothing when the rowid is past what a docid holds (hundreds of millions of inserts).
std::optional<long long> EntryDocid(std::string_view addTime, long long rowid) {
    if (rowid < 0 || rowid >= (1LL << kRowidBits)) {
        return std::nullopt;
    }
    return (AddTimeSeconds(addTime) << kRowidBits) | rowid;
}

long long RowidOf(long long docid) {
    return docid & ((1LL << kRowidBits) - 1);
}

// The province as one word of the index's Province column. It begins with 0xFE, which no
// word of the other columns does, so a one-character search never matches a province.
std::string ProvinceWord(std::string_view utf8);

constexpr long long kProgressEvery = 10000;

using Statement = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)>;

Statement Prepare(const Connection& db, const char* utf8) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db.Handle(), utf8, -1, &raw, nullptr) != SQLITE_OK) {
        sqlite3_finalize(raw);
        raw = nullptr;
    }
    return Statement(raw, sqlite3_finalize);
}

void BindUtf8(sqlite3_stmt* stmt, int index, std::string_view utf8) {
    sqlite3_bind_text(stmt, index, utf8.data(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
}

std::string_view ColumnUtf8(sqlite3_stmt* stmt, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    return text ? std::string_view(text,
                                   static_cast<std::size_t>(sqlite3_column_bytes(stmt, column)))
                : std::string_view();
}

// One character of a text (UTF-8, as the database keeps it), from `at`; moves `at` past it.
// A byte that begins no whole character is a character of its own.
char32_t NextCharacter(std::string_view text, std::size_t& at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    const std::size_t length = lead < 0x80                   ? 1
                               : lead >= 0xF0 && lead < 0xF5 ? 4
                               : lead >= 0xE0                ? 3
                               : lead >= 0xC2 && lead < 0xE0 ? 2
                                                             : 0;
    if (length == 0 || at + length > text.size()) {
        ++at;
        return 0xDC00 + lead; // a lone surrogate: no text has one, so it matches nothing else
    }
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            ++at;
            return 0xDC00 + lead;
        }
        code = code << 6 | (byte(at + i) & 0x3F);
    }
    at += length;
    return code;
}

// Small letters for the Latin capitals (ASCII, Latin-1, Latin Extended-A, full width).
char32_t FoldCase(char32_t c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ||
        (c >= 0xFF21 && c <= 0xFF3A)) {
        return c + 0x20;
    }
    const bool evenCapital =
        (c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177);
    const bool oddCapital = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if ((evenCapital && c % 2 == 0) || (oddCapital && c % 2 == 1)) {
        return c + 1;
    }
    return c == 0x178 ? 0xFF : c;
}

// The bytes a character takes in a word. The tokenizer ends a word at any ASCII byte but a
// letter or digit; such a character becomes 0xFF and its byte with the top bit set, which
// no UTF-8 text holds, so it stays inside the word and matches only itself.
void AppendCharacter(char32_t c, std::string& out) {
    const bool ascii = c < 0x80;
    const bool alphanumeric = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z');
    if (ascii && !alphanumeric) {
        out += '\xFF';
        out += static_cast<char>(0x80 | c);
    } else if (ascii) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::vector<std::string> Characters(std::string_view utf8) {
    std::vector<std::string> characters;
    for (std::size_t at = 0; at < utf8.size();) {
        AppendCharacter(FoldCase(NextCharacter(utf8, at)), characters.emplace_back());
    }
    return characters;
}

std::string ProvinceWord(std::string_view utf8) {
    std::string word = "\xFE";
    for (std::size_t at = 0; at < utf8.size();) {
        AppendCharacter(FoldCase(NextCharacter(utf8, at)), word);
    }
    return word;
}

bool IsBlank(char32_t c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == 0x3000 || c == 0xA0;
}

StoreResult<long long> Number(const Connection& db, const char* utf8) {
    const Statement stmt = Prepare(db, utf8);
    if (!stmt || sqlite3_step(stmt.get()) != SQLITE_ROW) {
        return db.Failure(StoreError::StatementFailed);
    }
    return static_cast<long long>(sqlite3_column_int64(stmt.get(), 0));
}

StoreResult<bool> TableExists(const Connection& db, const char* name) {
    const Statement stmt =
        Prepare(db, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?1;");
    if (!stmt) {
        return db.Failure(StoreError::StatementFailed);
    }
    BindUtf8(stmt.get(), 1, name);
    if (sqlite3_step(stmt.get()) != SQLITE_ROW) {
        return db.Failure(StoreError::StatementFailed);
    }
    return sqlite3_column_int(stmt.get(), 0) != 0;
}

// The columns a record's index entry is made of, in this order.
constexpr char kIndexedColumns[] = "Add_Time, User_Name, Mobile_NO, Organization_Detial, Province";

// Indexes one record: its Add_Time and fields as kIndexedColumns reads them.
StoreStatus InsertEntry(const Connection& db, sqlite3_stmt* insert, long long rowid,
                        std::span<const std::string_view> columns) {
    const std::optional<long long> docid = EntryDocid(columns[0], rowid);
    if (!docid) {
        return {StoreError::StatementFailed, "a rowid too large for the search index"};
    }
    sqlite3_reset(insert);
    sqlite3_bind_int64(insert, 1, *docid);
    BindUtf8(insert, 2, SearchWords(columns[1]));
    BindUtf8(insert, 3, SearchWords(columns[2]));
    BindUtf8(insert, 4, SearchWords(columns[3]));
    BindUtf8(insert, 5, ProvinceWord(columns[4]));
    if (sqlite3_step(insert) != SQLITE_DONE) {
        return db.Failure(StoreError::StatementFailed);
    }
    return {};
}

long long ParseRowid(std::string_view text) {
    long long rowid = 0;
    std::from_chars(text.data(), text.data() + text.size(), rowid);
    return rowid;
}

// The whole index again from the records, in one transaction: until it commits, the old
// index (or none) stands.
StoreStatus BuildSearchIndex(const Connection& db, const SearchBuildProgress& progress) {
    Transaction building(db);
    if (!building.status()) {
        return building.status();
    }
    if (StoreStatus reset = db.Execute(SearchIndexResetStatements()); !reset) {
        return reset;
    }
    const StoreResult<long long> total = Number(db, "SELECT count(*) FROM t_address_book;");
    if (!total) {
        return total.status();
    }
    const Statement insert = Prepare(db, kInsertWords);
    if (!insert) {
        return db.Failure(StoreError::StatementFailed);
    }
    long long done = 0;
    StoreStatus inserted;
    const std::string select =
        std::string("SELECT rowid, ") + kIndexedColumns + " FROM t_address_book;";
    const StoreStatus read =
        db.QueryUtf8While(select.c_str(), [&](std::span<const std::string_view> row) {
            inserted = InsertEntry(db, insert.get(), ParseRowid(row[0]), row.subspan(1));
            if (++done % kProgressEvery == 0 && progress) {
                progress(done, total.value());
            }
            return inserted.ok();
        });
    if (!read) {
        return read;
    }
    if (!inserted) {
        return inserted;
    }
    // One segment, not the hundreds the build leaves: every search reads them all.
    if (StoreStatus merged = db.Execute("INSERT INTO t_address_book_search(t_address_book_search) "
                                        "VALUES ('optimize');");
        !merged) {
        return merged;
    }
    return building.Commit();
}

// The same number of records and entries, and the newest record indexed: a write that left
// no note (an older version's, or one cut off before its note) shows in one or the other.
StoreResult<bool> IndexAgreesWithRecords(const Connection& db) {
    const char* const pairs[][2] = {
        {"SELECT count(*) FROM t_address_book;",
         "SELECT count(*) FROM t_address_book_search_docsize;"},
        {"SELECT ifnull(max(rowid), 0) FROM t_address_book;",
         "SELECT ifnull(max(docid & 268435455), 0) FROM t_address_book_search_docsize;"},
    };
    static_assert(268435455 == (1LL << kRowidBits) - 1);
    for (const auto& [records, entries] : pairs) {
        const StoreResult<long long> a = Number(db, records);
        if (!a) {
            return a.status();
        }
        const StoreResult<long long> b = Number(db, entries);
        if (!b) {
            return b.status();
        }
        if (a.value() != b.value()) {
            return false;
        }
    }
    return true;
}

} // namespace

std::string SearchWords(std::string_view utf8) {
    const std::vector<std::string> characters = Characters(utf8);
    std::string words;
    for (std::size_t i = 0; i < characters.size(); ++i) {
        if (i != 0) {
            words += ' ';
        }
        for (std::size_t j = i; j < std::min(i + 3, characters.size()); ++j) {
            words += characters[j];
        }
    }
    return words;
}

namespace {

// The blank-separated words of a query, each as its characters written as the index
// writes them.
std::vector<std::vector<std::string>> QueryWords(std::string_view utf8Query) {
    std::vector<std::vector<std::string>> words(1);
    for (std::size_t at = 0; at < utf8Query.size();) {
        const char32_t c = NextCharacter(utf8Query, at);
        if (!IsBlank(c)) {
            AppendCharacter(FoldCase(c), words.back().emplace_back());
        } else if (!words.back().empty()) {
            words.emplace_back();
        }
    }
    if (words.back().empty()) {
        words.pop_back();
    }
    return words;
}

} // namespace

std::string SearchMatchExpression(std::string_view utf8Query) {
    // Three characters or more: the phrase of the word's runs of three. Fewer: the prefix
    // of the runs that begin with them (the last two and the last one of a field are runs
    // of their own, so a word at a field's end is found too).
    std::string expression;
    for (const std::vector<std::string>& word : QueryWords(utf8Query)) {
        expression += expression.empty() ? "\"" : " \"";
        if (word.size() < 3) {
            for (const std::string& c : word) {
                expression += c;
            }
            expression += '*';
        } else {
            for (std::size_t i = 0; i + 3 <= word.size(); ++i) {
                expression += (i == 0 ? "" : " ") + word[i] + word[i + 1] + word[i + 2];
            }
        }
        expression += '"';
    }
    return expression;
}

bool MatchesSearch(std::string_view utf8Query, std::span<const std::string_view> utf8Fields) {
    // The characters as the index writes them are self-delimiting, so a word found in the
    // written field is found at a character's start.
    std::vector<std::string> fields;
    for (const std::string_view field : utf8Fields) {
        std::string written;
        for (const std::string& c : Characters(field)) {
            written += c;
        }
        fields.push_back(std::move(written));
    }
    const auto found = [&](const std::vector<std::string>& characters) {
        std::string word;
        for (const std::string& c : characters) {
            word += c;
        }
        return std::any_of(fields.begin(), fields.end(),
                           [&](const std::string& f) { return f.find(word) != std::string::npos; });
    };
    const std::vector<std::vector<std::string>> words = QueryWords(utf8Query);
    return std::all_of(words.begin(), words.end(), found);
}

std::string SearchIndexResetStatements() {
    // The full-text table's own tables are made whole first: SQLite cannot drop a full-text
    // table one of whose tables went missing, and an index in doubt is dropped to be built
    // again. Then whichever of them is left over goes too.
    std::string statements =
        "CREATE TABLE IF NOT EXISTS t_address_book_search_content(docid INTEGER PRIMARY KEY, "
        "c0, c1, c2, c3);"
        "CREATE TABLE IF NOT EXISTS t_address_book_search_segments(blockid INTEGER PRIMARY "
        "KEY, block BLOB);"
        "CREATE TABLE IF NOT EXISTS t_address_book_search_segdir(level INTEGER, idx INTEGER, "
        "start_block INTEGER, leaves_end_block INTEGER, end_block INTEGER, root BLOB, PRIMARY "
        "KEY(level, idx));"
        "CREATE TABLE IF NOT EXISTS t_address_book_search_docsize(docid INTEGER PRIMARY KEY, "
        "size BLOB);"
        "CREATE TABLE IF NOT EXISTS t_address_book_search_stat(id INTEGER PRIMARY KEY, value "
        "BLOB);"
        "DROP TABLE IF EXISTS t_address_book_search;";
    for (const char* shadow : {"content", "segments", "segdir", "docsize", "stat"}) {
        statements += std::string("DROP TABLE IF EXISTS t_address_book_search_") + shadow + ";";
    }
    return statements + "DROP TABLE IF EXISTS t_address_book_search_noted;" + kCreateIndex;
}

StoreResult<bool> SearchIndexNeedsBuild(const Connection& db) {
    const Statement stmt = Prepare(db, "SELECT count(*) FROM sqlite_master WHERE name IN "
                                       "(?1, ?2);");
    if (!stmt) {
        return db.Failure(StoreError::StatementFailed);
    }
    for (std::size_t i = 0; i < std::size(kIndexObjects); ++i) {
        BindUtf8(stmt.get(), static_cast<int>(i + 1), kIndexObjects[i]);
    }
    if (sqlite3_step(stmt.get()) != SQLITE_ROW) {
        return db.Failure(StoreError::StatementFailed);
    }
    return sqlite3_column_int(stmt.get(), 0) != static_cast<int>(std::size(kIndexObjects));
}

StoreStatus IndexNotedRows(const Connection& db) {
    const StoreResult<long long> noted =
        Number(db, "SELECT EXISTS (SELECT 1 FROM t_address_book_search_noted);");
    if (!noted) {
        return noted.status();
    }
    if (noted.value() == 0) {
        return {};
    }
    Transaction indexing(db);
    if (!indexing.status()) {
        return indexing.status();
    }
    const Statement remove = Prepare(db, "DELETE FROM t_address_book_search WHERE docid = ?1;");
    const auto removeEntry = [&](std::optional<long long> docid) {
        if (!docid) {
            return true; // never indexed
        }
        sqlite3_reset(remove.get());
        sqlite3_bind_int64(remove.get(), 1, *docid);
        return sqlite3_step(remove.get()) == SQLITE_DONE;
    };
    // First the entries of the rows as they were, then those of the rows as they are.
    std::vector<long long> rowids;
    const StoreStatus gone = db.QueryUtf8While(
        "SELECT DISTINCT id, Add_Time FROM t_address_book_search_noted ORDER BY id;",
        [&](std::span<const std::string_view> row) {
            const long long rowid = ParseRowid(row[0]);
            if (rowids.empty() || rowids.back() != rowid) {
                rowids.push_back(rowid);
            }
            return remove && (row[1].empty() || removeEntry(EntryDocid(row[1], rowid)));
        });
    if (!gone || !remove) {
        return gone ? db.Failure(StoreError::StatementFailed) : gone;
    }
    const std::string select =
        std::string("SELECT ") + kIndexedColumns + " FROM t_address_book WHERE rowid = ?1;";
    const Statement record = Prepare(db, select.c_str());
    const Statement insert = Prepare(db, kInsertWords);
    if (!record || !insert) {
        return db.Failure(StoreError::StatementFailed);
    }
    for (const long long rowid : rowids) {
        sqlite3_reset(record.get());
        sqlite3_bind_int64(record.get(), 1, rowid);
        const int found = sqlite3_step(record.get());
        if (found == SQLITE_DONE) {
            continue; // deleted
        }
        if (found != SQLITE_ROW) {
            return db.Failure(StoreError::StatementFailed);
        }
        std::string_view columns[5];
        for (int i = 0; i < 5; ++i) {
            columns[i] = ColumnUtf8(record.get(), i);
        }
        // Noted twice (an insert after a failed one, say), it is indexed once.
        if (!removeEntry(EntryDocid(columns[0], rowid))) {
            return db.Failure(StoreError::StatementFailed);
        }
        if (StoreStatus added = InsertEntry(db, insert.get(), rowid, columns); !added) {
            return added;
        }
    }
    if (StoreStatus cleared = db.Execute("DELETE FROM t_address_book_search_noted;"); !cleared) {
        return cleared;
    }
    return indexing.Commit();
}

StoreResult<SearchIndexState> EnsureSearchIndex(const Connection& db,
                                                const SearchBuildProgress& progress) {
    const StoreResult<bool> hasRecords = TableExists(db, "t_address_book");
    if (!hasRecords) {
        return hasRecords.status();
    }
    if (!hasRecords.value()) {
        return SearchIndexState::Ready; // nothing to index until the register is made
    }
    const StoreResult<bool> needsBuild = SearchIndexNeedsBuild(db);
    if (!needsBuild) {
        return needsBuild.status();
    }
    // An index that cannot be brought up to date, or that then disagrees with the records,
    // is not trusted: it is built again.
    bool trusted = !needsBuild.value() && IndexNotedRows(db).ok();
    if (trusted) {
        const StoreResult<bool> agrees = IndexAgreesWithRecords(db);
        trusted = agrees && agrees.value();
    }
    if (trusted) {
        // Its tables read, too: an index missing one of them answers no search.
        trusted = Number(db, "SELECT count(*) FROM t_address_book_search_segdir;").ok() &&
                  Number(db, "SELECT count(*) FROM t_address_book_search_segments;").ok();
    }
    if (trusted) {
        return SearchIndexState::Ready;
    }
    if (StoreStatus built = BuildSearchIndex(db, progress); !built) {
        return built;
    }
    return SearchIndexState::Built;
}

StoreStatus RebuildSearchIndex(const Connection& db, const SearchBuildProgress& progress) {
    return BuildSearchIndex(db, progress);
}

StoreResult<std::vector<long long>> FindContactRowids(const Connection& db,
                                                      const std::string& gb18030Query,
                                                      const std::string& areaName) {
    std::string expression = SearchMatchExpression(Gb18030ToUtf8(gb18030Query));
    std::vector<long long> rowids;
    if (expression.empty()) {
        return rowids;
    }
    if (areaName != WholeCountryName()) {
        expression += " Province:" + ProvinceWord(Gb18030ToUtf8(areaName));
    }
    const Statement stmt = Prepare(db, "SELECT docid FROM t_address_book_search WHERE "
                                       "t_address_book_search MATCH ?1 ORDER BY docid DESC;");
    if (!stmt) {
        return db.Failure(StoreError::StatementFailed);
    }
    BindUtf8(stmt.get(), 1, expression);
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        rowids.push_back(RowidOf(sqlite3_column_int64(stmt.get(), 0)));
    }
    if (rc != SQLITE_DONE) {
        return db.Failure(StoreError::StatementFailed);
    }
    return rowids;
}
