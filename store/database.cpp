#include "store/database.h"

#include "platform/text.h"

#include <sqlcipher/sqlite3.h>

#include <cstring>
#include <memory>

namespace {

// A lock still held elsewhere after the wait is its own reason, whatever the caller was
// doing: the file is sound, and trying again later may well succeed.
StoreStatus FailureOf(sqlite3* db, StoreError error) {
    if (!db) {
        return {error, "no database handle"};
    }
    const bool busy = (sqlite3_errcode(db) & 0xFF) == SQLITE_BUSY;
    return {busy ? StoreError::Busy : error, sqlite3_errmsg(db)};
}

// A column's text as UTF-8 bytes of the length SQLite reports, so a NUL inside the value
// is kept; NULL gives "".
std::string ColumnUtf8(sqlite3_stmt* stmt, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    // The length is asked after the text: asking first could measure another encoding.
    return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt, column)))
                : std::string();
}

using RowWhile = std::function<bool(const std::vector<std::string>&)>;

// Every statement of a GB18030 text, in turn, with the rows handed to onRow when given; a
// callback returning false ends the run there.
StoreStatus Run(sqlite3* db, const std::string& gb18030, const RowWhile* onRow) {
    if (!db) {
        return {StoreError::NotConnected, "no open connection"};
    }
    const std::string utf8 = Gb18030ToUtf8(gb18030);
    const char* next = utf8.c_str();
    while (*next) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, next, -1, &stmt, &next) != SQLITE_OK) {
            StoreStatus failure = FailureOf(db, StoreError::StatementFailed);
            sqlite3_finalize(stmt);
            return failure;
        }
        if (!stmt) { // white space or a comment
            continue;
        }
        const int columns = sqlite3_column_count(stmt);
        std::vector<std::string> row(columns);
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            if (!onRow) {
                continue;
            }
            for (int i = 0; i < columns; ++i) {
                row[i] = Utf8ToGb18030(ColumnUtf8(stmt, i));
            }
            if (!(*onRow)(row)) {
                sqlite3_finalize(stmt);
                return StoreStatus::Ok();
            }
        }
        if (rc != SQLITE_DONE) {
            StoreStatus failure = FailureOf(db, StoreError::StatementFailed);
            sqlite3_finalize(stmt);
            return failure;
        }
        sqlite3_finalize(stmt);
    }
    return StoreStatus::Ok();
}

} // namespace

StoreResult<Connection> Connection::Open(const std::filesystem::path& file) {
    return OpenWith(file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
}

StoreResult<Connection> Connection::OpenForOneThread(const std::filesystem::path& file) {
    return OpenWith(file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX);
}

StoreResult<Connection> Connection::OpenWith(const std::filesystem::path& file, int flags) {
    sqlite3* raw = nullptr;
    const int opened = sqlite3_open_v2(file.c_str(), &raw, flags, nullptr);
    Connection connection(raw); // closes raw on every early return
    if (opened != SQLITE_OK) {
        return FailureOf(raw, StoreError::CannotOpen);
    }
    sqlite3_busy_timeout(raw, kBusyTimeoutMs);
    if (sqlite3_key(raw, kDatabaseKey, static_cast<int>(std::strlen(kDatabaseKey))) != SQLITE_OK) {
        return FailureOf(raw, StoreError::KeyRejected);
    }
    const std::string settings = "PRAGMA kdf_iter = " + std::to_string(kKdfIterations) +
                                 "; PRAGMA cipher_page_size = " + std::to_string(kCipherPageSize) +
                                 ";";
    if (sqlite3_exec(raw, settings.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        return FailureOf(raw, StoreError::KeyRejected);
    }
    // Keying and the settings succeed whatever the file holds; the first read tells.
    const int read =
        sqlite3_exec(raw, "select count(*) from sqlite_master;", nullptr, nullptr, nullptr);
    if (read != SQLITE_OK) {
        const int code = sqlite3_errcode(raw) & 0xFF;
        const bool cannotOpen = code == SQLITE_CANTOPEN || code == SQLITE_PERM ||
                                code == SQLITE_IOERR || code == SQLITE_READONLY;
        return FailureOf(raw, cannotOpen ? StoreError::CannotOpen : StoreError::NotReadable);
    }
    return connection;
}

Connection::Connection(Connection&& other) noexcept : db_(std::exchange(other.db_, nullptr)) {}

Connection& Connection::operator=(Connection&& other) noexcept {
    if (this != &other) {
        sqlite3_close(db_);
        db_ = std::exchange(other.db_, nullptr);
    }
    return *this;
}

Connection::~Connection() {
    // Statements are always finalized before their call returns, so the close succeeds.
    sqlite3_close(db_);
}

StoreStatus Connection::Execute(const std::string& gb18030) const {
    return Run(db_, gb18030, nullptr);
}

StoreStatus Connection::Query(const std::string& gb18030, const RowCallback& onRow) const {
    const RowWhile always = [&](const std::vector<std::string>& row) {
        onRow(row);
        return true;
    };
    return Run(db_, gb18030, &always);
}

StoreStatus Connection::QueryWhile(const std::string& gb18030, const RowWhile& onRow) const {
    return Run(db_, gb18030, &onRow);
}

StoreStatus Connection::QueryUtf8While(const char* utf8, const Utf8RowWhile& onRow) const {
    if (!db_) {
        return {StoreError::NotConnected, "no open connection"};
    }
    sqlite3_stmt* raw = nullptr;
    const int prepared = sqlite3_prepare_v2(db_, utf8, -1, &raw, nullptr);
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> stmt(raw, sqlite3_finalize);
    if (prepared != SQLITE_OK || !stmt) {
        return FailureOf(db_, StoreError::StatementFailed);
    }
    std::vector<std::string_view> row(static_cast<std::size_t>(sqlite3_column_count(raw)));
    int rc;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            const int column = static_cast<int>(i);
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(raw, column));
            // The length is asked after the text: asking first could measure another encoding.
            row[i] = text ? std::string_view(
                                text, static_cast<std::size_t>(sqlite3_column_bytes(raw, column)))
                          : std::string_view();
        }
        if (!onRow(row)) {
            return StoreStatus::Ok();
        }
    }
    return rc == SQLITE_DONE ? StoreStatus::Ok() : FailureOf(db_, StoreError::StatementFailed);
}

StoreStatus Connection::Failure(StoreError error) const {
    return FailureOf(db_, error);
}

Transaction::Transaction(const Connection& connection)
    : connection_(connection), begun_(connection.Execute("begin transaction;")),
      open_(begun_.ok()) {}

Transaction::~Transaction() {
    // A failed statement may already have ended the transaction (SQLite rolls back by
    // itself on some errors); rolling back then would only fail.
    if (open_ && connection_.Handle() && !sqlite3_get_autocommit(connection_.Handle())) {
        connection_.Execute("rollback;");
    }
}

StoreStatus Transaction::Commit() {
    if (!open_) {
        return begun_.ok() ? StoreStatus{StoreError::StatementFailed, "transaction already ended"}
                           : begun_;
    }
    StoreStatus committed = connection_.Execute("commit;");
    if (committed.ok()) {
        open_ = false;
    }
    return committed;
}

std::string SqlLiteral(const std::string& value) {
    std::string literal = "'";
    for (char c : value) {
        literal += c;
        if (c == '\'') {
            literal += '\'';
        }
    }
    return literal + "'";
}
