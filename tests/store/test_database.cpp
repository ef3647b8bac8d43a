#include "platform/text.h"
#include "store/database.h"
#include "support/temp_dir.h"

#include <sqlcipher/sqlite3.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class DatabaseTest : public ::testing::Test {
protected:
    DatabaseTest() {
        StoreResult<Connection> db = Open();
        EXPECT_TRUE(db.value().Execute("create table t(v);"));
    }
    StoreResult<Connection> Open() {
        StoreResult<Connection> db = Connection::Open(dir / "mydb");
        EXPECT_TRUE(db) << db.status().detail;
        return db;
    }
    TempDir dir;
};

TEST_F(DatabaseTest, ValuesComeBackWholeWhateverBytesTheyHold) {
    struct Case {
        const char* name;
        const char* sql;     // the value as SQL
        std::string gb18030; // what a query gives back
    } const cases[] = {
        {"a NUL inside", "'a' || char(0) || 'b'", std::string("a\0b", 3)},
        {"a NUL at the end", "'ab' || char(0)", std::string("ab\0", 3)},
        {"only a NUL", "char(0)", std::string(1, '\0')},
        {"Chinese around a NUL", "'北京' || char(0) || '市'",
         Gb18030("北京") + '\0' + Gb18030("市")},
        {"an empty text", "''", ""},
        {"NULL", "NULL", ""},
        {"a number", "13500000000", "13500000000"},
    };
    StoreResult<Connection> db = Open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(db.value().Execute(
            Gb18030((std::string("delete from t; insert into t values(") + c.sql + ");").c_str())));
        std::vector<std::string> got;
        ASSERT_TRUE(db.value().Query("select v from t",
                                     [&](const std::vector<std::string>& row) { got = row; }));
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0], c.gb18030);
    }
}

// Another connection holds a lock on the file; each case is what that lock keeps out.
struct LockCase {
    const char* name;
    const char* lock;                                              // taken by the other connection
    std::function<StoreStatus(const std::filesystem::path&)> work; // what waits for it
};

StoreStatus OpenFile(const std::filesystem::path& file) {
    StoreResult<Connection> db = Connection::Open(file);
    return db ? StoreStatus::Ok() : db.status();
}

StoreStatus WriteRow(const std::filesystem::path& file) {
    StoreResult<Connection> db = Connection::Open(file);
    return db ? db.value().Execute("insert into t values(1);") : db.status();
}

const LockCase kLockCases[] = {
    {"an open while another writes the file", "begin exclusive;", OpenFile},
    {"a write while another is writing", "begin immediate;", WriteRow},
};

TEST_F(DatabaseTest, ALockReleasedWithinTheWaitOnlyDelays) {
    for (const LockCase& c : kLockCases) {
        SCOPED_TRACE(c.name);
        StoreResult<Connection> holder = Open();
        ASSERT_TRUE(holder.value().Execute(c.lock));
        std::thread release([&] {
            std::this_thread::sleep_for(300ms);
            EXPECT_TRUE(holder.value().Execute("commit;"));
        });
        const StoreStatus done = c.work(dir / "mydb");
        release.join();
        EXPECT_TRUE(done) << done.detail;
    }
}

TEST_F(DatabaseTest, ALockHeldPastTheWaitFailsAsBusyWithSqlitesWords) {
    for (const LockCase& c : kLockCases) {
        SCOPED_TRACE(c.name);
        StoreResult<Connection> holder = Open();
        ASSERT_TRUE(holder.value().Execute(c.lock));
        const auto start = Clock::now();
        const StoreStatus failed = c.work(dir / "mydb");
        const auto waited = Clock::now() - start;
        EXPECT_EQ(failed.error, StoreError::Busy);
        EXPECT_EQ(failed.detail, "database is locked");
        EXPECT_GE(waited, std::chrono::milliseconds(kBusyTimeoutMs));
        EXPECT_TRUE(holder.value().Execute("rollback;"));
    }
}

} // namespace
