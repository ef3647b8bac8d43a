#include "damage.h"
#include "store/areas.h"
#include "store/database.h"
#include "store_fixture.h"

#include <sqlcipher/sqlite3.h>

#include <functional>
#include <map>

namespace {

int QueryInt(const std::filesystem::path& db, const std::string& sql) {
    int value = -1;
    const StoreResult<Connection> handle = Connection::Open(db);
    EXPECT_TRUE(handle) << handle.status().detail;
    if (handle) {
        EXPECT_TRUE(handle.value().Query(
            sql, [&](const std::vector<std::string>& row) { value = std::atoi(row[0].c_str()); }));
    }
    return value;
}

bool Execute(const std::filesystem::path& db, const std::string& sql) {
    const StoreResult<Connection> handle = Connection::Open(db);
    return handle && handle.value().Execute(sql);
}

std::map<int, int> RowsPerLevel(const std::filesystem::path& db) {
    std::map<std::string, std::string> parent;
    const StoreResult<Connection> handle = Connection::Open(db);
    EXPECT_TRUE(handle);
    if (handle) {
        handle.value().Query("select UI_ID, Parent_ID from t_area",
                             [&](const std::vector<std::string>& row) { parent[row[0]] = row[1]; });
    }
    std::map<int, int> levels;
    for (const auto& [code, up] : parent) {
        int level = 0;
        for (std::string at = code; at != kRootAreaCode; at = parent.at(at)) {
            ++level;
        }
        ++levels[level];
    }
    return levels;
}

using BootstrapTest = StoreTest;

TEST_F(BootstrapTest, FirstStartSeedsAllAreasAndCreatesAnEncryptedFile) {
    const auto db = dir / "mydb";
    EXPECT_EQ(QueryInt(db, "select count(*) from t_area"), 3434);
    EXPECT_EQ(RowsPerLevel(db), (std::map<int, int>{{0, 1}, {1, 34}, {2, 427}, {3, 2972}}));
    EXPECT_EQ(QueryInt(db, "select count(*) from sqlite_master where type='table' and name in "
                           "('t_area', 't_address_book')"),
              2);
    EXPECT_EQ(QueryInt(db, "select count(*) from sqlite_master where name='book_addTime'"), 1);
    EXPECT_NE(ReadFileBytes(db).substr(0, 15), "SQLite format 3");
}

TEST_F(BootstrapTest, LaterStartsChangeNothingAndRestoreOnlyWholeBatches) {
    const auto db = dir / "mydb";
    ASSERT_TRUE(Insert(Record("A", "13500000000")));
    ASSERT_TRUE(
        Execute(db, "update t_area set Area_Name='" + Gb18030("新名") + "' where UI_ID='110101'"));
    ASSERT_TRUE(Execute(db, "delete from t_area where UI_ID='330100'"));    // a city of batch 3
    ASSERT_TRUE(Execute(db, "delete from t_area where UI_ID >= '650000'")); // all of batch 9
    EXPECT_EQ(QueryInt(db, "select count(*) from t_area"), 3434 - 1 - 138);

    EXPECT_TRUE(CreateSchema(db));
    EXPECT_EQ(QueryInt(db, "select count(*) from t_area"), 3434 - 1);
    EXPECT_EQ(QueryInt(db, "select count(*) from t_area where UI_ID='330100'"), 0);
    EXPECT_EQ(AreasByName(db, Gb18030("新名")).value_or({}).size(), 1u);
    EXPECT_EQ(Count(), 1);
}

TEST(AreaSeed, TenStatementsSplitAtTheFixedBatchRows) {
    const auto statements = AreaSeedStatements();
    ASSERT_EQ(statements.size(), 10u);
    EXPECT_EQ(statements[0], "insert into t_area (UI_ID, Parent_ID, Area_Name) values('000000', "
                             "'000000', '" +
                                 Gb18030("全国") + "')");
    const std::vector<std::pair<std::string, std::string>> bounds = {
        {"('110000', '000000', '" + Gb18030("北京市"), Gb18030("兴安盟") + "')"},
        {"('152201', ", Gb18030("通州区") + "')"},
        {"('320621', ", Gb18030("仙女湖区") + "')"},
        {"('360523', ", Gb18030("泌阳县") + "')"},
        {"('411727', ", Gb18030("阳和新区") + "')"},
        {"('450228', ", Gb18030("丹寨县") + "')"},
        {"('522700', ", Gb18030("积石山保安族东乡族撒拉族自治县") + "')"},
        {"('623000', ", Gb18030("海原县") + "')"},
        {"('650000', ", Gb18030("澳门特别行政区") + "')"}};
    const std::string head = "insert into t_area (UI_ID, Parent_ID, Area_Name) values";
    for (std::size_t i = 0; i < bounds.size(); ++i) {
        const std::string& s = statements[i + 1];
        EXPECT_EQ(s.rfind(head + bounds[i].first, 0), 0u) << "batch " << i + 1;
        EXPECT_TRUE(s.ends_with(bounds[i].second)) << "batch " << i + 1;
        EXPECT_GE(s.size(), 3000u);
        EXPECT_LE(s.size(), 16384u);
    }
}

TEST_F(BootstrapTest, AreaQueriesFollowTheParentChain) {
    const auto db = dir / "mydb";
    const auto roots = ChildrenOfArea(db, kRootAreaCode).value_or({});
    ASSERT_EQ(roots.size(), 35u);
    EXPECT_EQ(roots.front(), (AreaRow{"000000", "000000", Gb18030("全国")}));
    const auto provinces = ProvincesForLoginArea(db, kRootAreaCode).value_or({});
    EXPECT_EQ(provinces.size(), 34u);
    EXPECT_EQ(provinces.front().Area_Name, Gb18030("北京市"));
    EXPECT_EQ(ProvincesForLoginArea(db, "650000").value_or({}),
              (std::vector<AreaRow>{{"650000", "000000", Gb18030("新疆维吾尔自治区")}}));
    EXPECT_EQ(ChildrenOfArea(db, "110000").value_or({}).size(), 16u);
    // No rows is a successful read with an empty list.
    for (const char* leaf : {"110101", "710000"}) {
        const AreaRows children = ChildrenOfArea(db, leaf);
        ASSERT_TRUE(children) << leaf;
        EXPECT_TRUE(children.value().empty()) << leaf;
    }
    EXPECT_EQ(AreasByName(db, Gb18030("开发区")).value_or({}).size(), 23u);
    const AreaRows hostile = ProvincesForLoginArea(db, "' or '1'='1");
    ASSERT_TRUE(hostile);
    EXPECT_TRUE(hostile.value().empty());
    const AreaRows missing = ChildrenOfArea(dir / "missing" / "mydb", kRootAreaCode);
    EXPECT_FALSE(missing);
    EXPECT_EQ(missing.status().error, StoreError::CannotOpen);
}

struct UnreadableCase {
    std::string name;
    StoreError error; // what opening the file reports
};

class UnreadableDatabase : public ::testing::TestWithParam<UnreadableCase> {};

TEST_P(UnreadableDatabase, StartUpRefusesAndLeavesTheFileAlone) {
    TempDir dir;
    const auto db = dir / "mydb";
    const std::string kind = GetParam().name;
    if (kind == "garbage") {
        WriteFileBytes(db, std::string(8192, '\x5A'));
    } else if (kind == "plain") {
        sqlite3* plain = nullptr;
        ASSERT_EQ(sqlite3_open(db.c_str(), &plain), SQLITE_OK);
        sqlite3_exec(plain, "create table t(x); insert into t values(1);", nullptr, nullptr,
                     nullptr);
        sqlite3_close(plain);
    } else {
        std::filesystem::create_directory(db); // cannot be opened at all
    }
    const std::string before = kind == "folder" ? "" : ReadFileBytes(db);
    const StoreResult<Connection> opened = Connection::Open(db);
    EXPECT_FALSE(opened);
    EXPECT_EQ(opened.status().error, GetParam().error);
    EXPECT_FALSE(opened.status().detail.empty());
    EXPECT_FALSE(ChildrenOfArea(db, kRootAreaCode));
    EXPECT_EQ(CreateSchema(db).error, GetParam().error);
    if (kind != "folder") {
        EXPECT_EQ(ReadFileBytes(db), before);
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, UnreadableDatabase,
                         ::testing::Values(UnreadableCase{"garbage", StoreError::NotReadable},
                                           UnreadableCase{"plain", StoreError::NotReadable},
                                           UnreadableCase{"folder", StoreError::CannotOpen}),
                         [](const auto& info) { return info.param.name; });

// Each area read, by name, on a file whose area pages are damaged.
struct AreaReadCase {
    std::string name;
    std::function<AreaRows(const std::filesystem::path&)> read;
};

class DamagedAreas : public StoreTest, public ::testing::WithParamInterface<AreaReadCase> {};

TEST_P(DamagedAreas, ReadFailsInsteadOfReturningNoAreas) {
    const auto db = dir / "mydb";
    const AreaRows before = GetParam().read(db);
    ASSERT_TRUE(before) << before.status().detail;
    ASSERT_FALSE(before.value().empty());

    DamagePagesAfterTheFirst(db);

    const AreaRows after = GetParam().read(db);
    EXPECT_FALSE(after);
    EXPECT_EQ(after.status().error, StoreError::StatementFailed);
    EXPECT_FALSE(after.status().detail.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Reads, DamagedAreas,
    ::testing::Values(
        AreaReadCase{"ProvincesForLoginArea",
                     [](const auto& db) { return ProvincesForLoginArea(db, kRootAreaCode); }},
        AreaReadCase{"ChildrenOfArea", [](const auto& db) { return ChildrenOfArea(db, "110000"); }},
        AreaReadCase{"AreasByName",
                     [](const auto& db) { return AreasByName(db, Gb18030("开发区")); }}),
    [](const auto& info) { return info.param.name; });

} // namespace
