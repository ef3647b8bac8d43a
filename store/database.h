#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct sqlite3;

// The passphrase of every database file: a constant of the program.
inline constexpr char kDatabaseKey[] = "lanternz73916";

// Key derivation rounds applied with the passphrase. The passphrase is a constant of the
// program, so slow derivation protects nothing, yet the default of 64,000 rounds costs
// ~33 ms on every open and every operation opens the file afresh. This is part of the file
// format: a file made with one count opens only with the same count. Never change it.
inline constexpr int kKdfIterations = 256;

// Cipher page size in bytes; part of the file format like the derivation count. Larger
// pages mean fewer page MACs to check when the list counts a large register.
inline constexpr int kCipherPageSize = 65536;

// How long a connection waits for another connection's lock on the file before giving up
// with StoreError::Busy. Long enough to outlast one transaction of an import or a deletion
// in another program window, short enough that nobody takes the wait for a hang.
inline constexpr int kBusyTimeoutMs = 5000;

// Why a store operation did not succeed. The windows turn these into the operator's texts.
enum class StoreError {
    None,
    CannotOpen,      // the file cannot be opened or created
    KeyRejected,     // the key or the cipher settings could not be applied
    NotReadable,     // the file opens but cannot be read: damaged, or made with another key
    NotConnected,    // an operation needing an open connection ran without one
    StatementFailed, // a statement could not be prepared or failed while running
    Busy,            // another connection kept the file locked past kBusyTimeoutMs
};

// Outcome of an operation: success, or the reason with SQLite's message as detail.
struct StoreStatus {
    StoreError error = StoreError::None;
    std::string detail;

    static StoreStatus Ok() { return {}; }
    bool ok() const { return error == StoreError::None; }
    explicit operator bool() const { return ok(); }
};

// A value, or the reason there is none.
template <class T> class StoreResult {
public:
    StoreResult(T value) : value_(std::move(value)) {}
    StoreResult(StoreStatus failure) : status_(std::move(failure)) {
        if (status_.ok()) {
            // A failure without a reason would read as success with no value.
            status_.error = StoreError::StatementFailed;
        }
    }

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    const StoreStatus& status() const { return status_; }
    // Only when ok().
    T& value() { return *value_; }
    const T& value() const { return *value_; }
    T value_or(T fallback) const { return value_ ? *value_ : std::move(fallback); }

private:
    std::optional<T> value_;
    StoreStatus status_;
};

// Rows as column texts converted to GB18030 (NULL as ""), each whole: a NUL byte inside a
// value does not end it.
using RowCallback = std::function<void(const std::vector<std::string>& row)>;

// A row's column texts as UTF-8 bytes of the length SQLite reports (NULL as ""), pointing
// into SQLite's own buffers: valid until the callback returns.
using Utf8RowWhile = std::function<bool(std::span<const std::string_view> row)>;

// One open, keyed database handle; closes itself.
class Connection {
public:
    // Opens (creating when missing) and keys the file, applies the cipher settings and
    // checks that the file can be read with them. Every statement on the connection waits
    // up to kBusyTimeoutMs for a lock held elsewhere.
    static StoreResult<Connection> Open(const std::filesystem::path& file);
    // The same for a connection that one thread alone uses from its opening to its close
    // (an export's reading): SQLite then takes no lock of its own around each call, which
    // is a lock for every column of every row read.
    static StoreResult<Connection> OpenForOneThread(const std::filesystem::path& file);

    Connection(Connection&& other) noexcept;
    Connection& operator=(Connection&& other) noexcept;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection();

    sqlite3* Handle() const { return db_; }

    // Runs a GB18030 statement (converted to UTF-8) without reading results.
    StoreStatus Execute(const std::string& gb18030) const;
    // Runs a GB18030 query and hands each row to the callback.
    StoreStatus Query(const std::string& gb18030, const RowCallback& onRow) const;
    // Like Query, but stops early, successfully, when the callback returns false.
    StoreStatus QueryWhile(const std::string& gb18030,
                           const std::function<bool(const std::vector<std::string>&)>& onRow) const;
    // Runs one UTF-8 statement and hands each row over as it is stored, neither converted
    // nor copied, for a reader that writes the texts straight out in another encoding (the
    // export); stops early, successfully, when the callback returns false.
    StoreStatus QueryUtf8While(const char* utf8, const Utf8RowWhile& onRow) const;
    // The failure of the last call on this handle, with SQLite's message.
    StoreStatus Failure(StoreError error) const;

private:
    explicit Connection(sqlite3* db) : db_(db) {}
    static StoreResult<Connection> OpenWith(const std::filesystem::path& file, int flags);
    sqlite3* db_ = nullptr;
};

// A transaction on a connection; rolls back when destroyed before Commit().
class Transaction {
public:
    explicit Transaction(const Connection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Whether the transaction began.
    const StoreStatus& status() const { return begun_; }
    StoreStatus Commit();

private:
    const Connection& connection_;
    StoreStatus begun_;
    bool open_ = false;
};

// A value as one SQL string literal: quoted, with every single quote doubled.
std::string SqlLiteral(const std::string& value);
