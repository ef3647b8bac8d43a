#include "damage.h"
#include "store/database.h"
#include "store/import_database.h"
#include "store_fixture.h"

#include <sys/wait.h>
#include <unistd.h>

namespace {

const std::string kHostile = "'); drop table t_address_book; --";

TEST_F(StoreTest, RecordsReadBackFieldForFieldNewestFirst) {
    ContactRecord a = Record(Gb18030("张三"), "13588888888");
    ContactRecord b = Record(Gb18030("李四"), "13900000000", Gb18030("天津市"));
    b[kUser_Birthday] = "2015.5.5"; // not a date: stored as NULL, read as ""
    ASSERT_TRUE(Insert(a));
    ASSERT_TRUE(Insert(b));
    const auto page = Page(1);
    ASSERT_EQ(page.size(), 2u);
    b[kUser_Birthday] = "";
    EXPECT_EQ(page[0], b);
    EXPECT_EQ(page[1], a);
}

TEST_F(StoreTest, SameNameIsAddedOnlyOnceAgreed) {
    ASSERT_TRUE(Insert(Record(Gb18030("张三"), "13588888888")));
    EXPECT_EQ(TryInsert(Record(Gb18030("张三"), "13500000001")), ContactInsert::SameName);
    EXPECT_EQ(Count(), 1);
    EXPECT_EQ(TryInsert(Record(Gb18030("张三"), "13500000001"), true), ContactInsert::Done);
    EXPECT_EQ(Count(), 2);
}

TEST_F(StoreTest, SameNameAndMobileIsRefusedWhereverThatRowStands) {
    ASSERT_TRUE(Insert(Record(Gb18030("张三"), "13500000001")));
    ASSERT_TRUE(Insert(Record(Gb18030("张三"), "13588888888"), true));
    ASSERT_TRUE(Insert(Record(Gb18030("张三"), "13500000003"), true));
    EXPECT_EQ(TryInsert(Record(Gb18030("张三"), "13588888888"), true),
              ContactInsert::SameNameAndMobile);
    EXPECT_EQ(Count(), 3);
}

TEST_F(StoreTest, QuotesAndHostileValuesAreStoredAsTypedThroughEveryStatement) {
    ContactRecord r = Record(kHostile, "13588888888", kHostile);
    r[kOrganization_Detial] = "O'Brien's shop";
    r[kCity] = "x' or '1'='1";
    ASSERT_TRUE(Insert(r));
    EXPECT_EQ(Count(kHostile), 1);
    const auto page = Page(1, kHostile);
    ASSERT_EQ(page.size(), 1u);
    EXPECT_EQ(page[0], r);

    // The same-name check sees the hostile name as a name.
    EXPECT_EQ(TryInsert(Record(kHostile, "13500000000")), ContactInsert::SameName);

    ContactRecord edited = r;
    edited[kUser_Name] = "it's me";
    edited[kUI_ID] = MakeUIID(edited[kUser_Name], edited[kMobile_NO]);
    ASSERT_TRUE(store.OpenContactDatabase());
    EXPECT_EQ(store.ReplaceContactRow(r[kUI_ID], edited), ContactInsert::Done);
    EXPECT_TRUE(store.DeleteContactRow(kHostile)); // matches nothing, harms nothing
    store.CloseContactDatabase();
    EXPECT_EQ(Page(1, kHostile).at(0), edited);

    ASSERT_TRUE(store.OpenContactDatabase());
    EXPECT_TRUE(store.DeleteContactRow(edited[kUI_ID]));
    store.CloseContactDatabase();
    EXPECT_EQ(Count(), 0);
}

TEST_F(StoreTest, ReplaceKeepsTheOldRowWhenTheInsertDoesNotHappen) {
    const ContactRecord old = Record(Gb18030("王五"), "13511111111");
    ASSERT_TRUE(Insert(old));
    ASSERT_TRUE(Insert(Record(Gb18030("赵六"), "13522222222")));
    ASSERT_TRUE(Insert(Record(Gb18030("赵六"), "13533333333"), true));
    ASSERT_TRUE(store.OpenContactDatabase());

    // Refused: the new name and number exist already.
    EXPECT_EQ(store.ReplaceContactRow(old[kUI_ID], Record(Gb18030("赵六"), "13522222222"), true),
              ContactInsert::SameNameAndMobile);
    // Not agreed: the new name exists with another number.
    EXPECT_EQ(store.ReplaceContactRow(old[kUI_ID], Record(Gb18030("赵六"), "13544444444")),
              ContactInsert::SameName);
    // Failed: the database refuses the row (its identifier is taken).
    ContactRecord clash = Record(Gb18030("钱七"), "13555555555");
    clash[kUI_ID] = MakeUIID(Gb18030("赵六"), "13522222222");
    EXPECT_EQ(store.ReplaceContactRow(old[kUI_ID], clash), ContactInsert::Failed);
    store.CloseContactDatabase();

    EXPECT_EQ(Count(), 3);
    EXPECT_EQ(Page(1).back(), old);
}

TEST_F(StoreTest, ReplaceWithUnchangedNameAndNumberKeepsTheIdentifier) {
    ContactRecord r = Record(Gb18030("王五"), "13511111111");
    ASSERT_TRUE(Insert(r));
    r[kCity] = Gb18030("西城区");
    ASSERT_TRUE(store.OpenContactDatabase());
    EXPECT_EQ(store.ReplaceContactRow(r[kUI_ID], r), ContactInsert::Done);
    store.CloseContactDatabase();
    EXPECT_EQ(Page(1), std::vector<ContactRecord>{r});
}

TEST_F(StoreTest, PagesHold200RowsNewestFirstAndFilterByProvince) {
    for (int i = 0; i < 450; ++i) {
        ASSERT_TRUE(Insert(Record("P" + std::to_string(i), "135" + std::to_string(10000000 + i),
                                  i % 3 == 0 ? Gb18030("天津市") : Gb18030("北京市"))));
    }
    EXPECT_EQ(Count(), 450);
    EXPECT_EQ(Count(Gb18030("天津市")), 150);
    EXPECT_EQ(Count(Gb18030("天津")), 0); // exact comparison
    const auto first = Page(1), third = Page(3), fourth = Page(4);
    ASSERT_EQ(first.size(), 200u);
    ASSERT_EQ(third.size(), 50u);
    EXPECT_TRUE(fourth.empty());
    EXPECT_EQ(first.front()[kUser_Name], "P449");
    EXPECT_EQ(third.front()[kUser_Name], "P49");
    EXPECT_EQ(third.back()[kUser_Name], "P0");
    const auto tianjin = Page(1, Gb18030("天津市"));
    ASSERT_EQ(tianjin.size(), 150u);
    EXPECT_EQ(tianjin.front()[kUser_Name], "P447");
}

TEST(StoreStatements, PageOneHasNoOffsetAndTheWholeCountryNoFilter) {
    const std::string all = Gb18030("全国");
    EXPECT_EQ(SelectContactPageStatement(1, all),
              "select UI_ID, User_Name, Mobile_NO, User_Sex, User_Birthday, User_Education, "
              "Organization_Detial,Recode_Type, Province, City, County_Seat, Add_Time from "
              "t_address_book order by Add_Time DESC, rowid DESC limit 200;");
    EXPECT_NE(SelectContactPageStatement(3, all).find("limit 200 OFFSET 400;"), std::string::npos);
    // Past the middle, from the oldest end: page 4 of 1,037 holds rows 600 to 799.
    EXPECT_NE(SelectContactPageStatement(4, 1037, all)
                  .find("order by Add_Time ASC, rowid ASC limit 200 OFFSET 237;"),
              std::string::npos);
    EXPECT_NE(SelectContactPageStatement(6, 1037, all).find("ASC limit 37;"), std::string::npos);
    EXPECT_EQ(SelectContactPageStatement(2, 1037, all), SelectContactPageStatement(2, all));
    EXPECT_EQ(CountContactsStatement(all), "select count(*) from t_address_book");
    EXPECT_EQ(CountContactsStatement(Gb18030("河北省")),
              "select count(*) from t_address_book where Province = '" + Gb18030("河北省") + "'");
    EXPECT_NE(SelectContactPageStatement(2, "a'b").find("WHERE Province = 'a''b' order by"),
              std::string::npos);
}

TEST_F(StoreTest, DropAndRecreateEmptiesTheTable) {
    ASSERT_TRUE(Insert(Record("A", "13500000000")));
    ASSERT_TRUE(store.OpenContactDatabase());
    EXPECT_TRUE(store.DropContactTable());
    EXPECT_FALSE(store.CountContacts(Gb18030("全国"))); // no table is not an empty table
    EXPECT_TRUE(store.CreateContactTable());
    store.CloseContactDatabase();
    EXPECT_EQ(Count(), 0);
    EXPECT_TRUE(Insert(Record("A", "13500000000")));
}

TEST(StoreFailures, AnUnopenableDatabaseGivesNothingAndNoMessage) {
    TempDir dir;
    ContactStore store(dir / "no such folder" / "mydb");
    std::vector<ContactRecord> records;
    EXPECT_FALSE(store.OpenContactDatabase());
    EXPECT_FALSE(store.SelectContactPage(1, Gb18030("全国"), records));
    const StoreResult<int> count = store.CountContactsForExport(Gb18030("全国"));
    EXPECT_FALSE(count);
    EXPECT_EQ(count.status().error, StoreError::CannotOpen);
    EXPECT_EQ(store.LastStatus().error, StoreError::CannotOpen);
}

} // namespace

namespace {

TEST_F(StoreTest, ADamagedFileFailsTheCountAndThePageInsteadOfShowingNoRows) {
    const std::string all = Gb18030("全国");
    {
        const StoreResult<Connection> db = Connection::Open(dir / "mydb");
        ASSERT_TRUE(db) << db.status().detail;
        ASSERT_TRUE(db.value().Execute(
            "with recursive n(i) as (select 1 union all select i + 1 from n where i < 3000) "
            "insert into t_address_book (UI_ID, User_Name, Mobile_NO, Province, Add_Time) "
            "select printf('%032X', i), 'N' || i, printf('135%08d', i), " +
            SqlLiteral(Gb18030("北京市")) + ", printf('2025-01-01 %08d', i) from n;"));
    }
    ASSERT_EQ(Count(), 3000);
    ASSERT_EQ(Page(1).size(), 200u);
    ASSERT_GT(ReadFileBytes(dir / "mydb").size(), 4u * kCipherPageSize);

    DamagePagesAfterTheFirst(dir / "mydb");

    const StoreResult<int> count = store.CountContactsForExport(all);
    EXPECT_FALSE(count);
    EXPECT_EQ(count.status().error, StoreError::StatementFailed);
    EXPECT_FALSE(count.status().detail.empty());

    std::vector<ContactRecord> records;
    const StoreStatus page = store.SelectContactPage(1, all, records);
    EXPECT_FALSE(page);
    EXPECT_EQ(page.error, StoreError::StatementFailed);
    EXPECT_TRUE(records.empty());

    // The file still opens; what fails is each read, and a write does not pass for done.
    ASSERT_TRUE(store.OpenContactDatabase());
    EXPECT_FALSE(store.CountContacts(all));
    EXPECT_EQ(store.InsertContactRow(Record("A", "13500000000")), ContactInsert::Failed);
    EXPECT_EQ(store.LastStatus().error, StoreError::StatementFailed);
    store.CloseContactDatabase();
}

TEST_F(StoreTest, ATransactionRollsBackUnlessCommitted) {
    const StoreResult<Connection> db = Connection::Open(dir / "mydb");
    ASSERT_TRUE(db);
    const std::string insert =
        "insert into t_address_book (UI_ID, User_Name, Add_Time) values('1', 'A', 't');";
    {
        Transaction dropped(db.value());
        ASSERT_TRUE(dropped.status());
        ASSERT_TRUE(db.value().Execute(insert));
    }
    EXPECT_EQ(Count(), 0);
    {
        Transaction kept(db.value());
        ASSERT_TRUE(db.value().Execute(insert));
        EXPECT_TRUE(kept.Commit());
        EXPECT_FALSE(kept.Commit()); // already ended
    }
    EXPECT_EQ(Count(), 1);
    // A second transaction cannot begin inside the first.
    Transaction outer(db.value());
    Transaction inner(db.value());
    EXPECT_TRUE(outer.status());
    EXPECT_FALSE(inner.status());
    EXPECT_FALSE(inner.Commit());
}

} // namespace

namespace {

// A register whose records share their Add_Time in runs of 37 (as an import's rows share
// their second), a few without any, in two provinces, stored with one statement.
void FillWithTies(const std::filesystem::path& db, int records) {
    const StoreResult<Connection> open = Connection::Open(db);
    ASSERT_TRUE(open) << open.status().detail;
    ASSERT_TRUE(open.value().Execute(
        "with recursive n(i) as (select 1 union all select i + 1 from n where i < " +
        std::to_string(records) +
        ") insert into t_address_book (UI_ID, User_Name, Mobile_NO, Province, Add_Time) "
        "select printf('%032X', (i * 7919) % 100003), 'N' || i, printf('135%08d', i), "
        "case when i % 3 = 0 then " +
        SqlLiteral(Gb18030("天津市")) + " else " + SqlLiteral(Gb18030("北京市")) +
        " end, case when i % 101 = 0 then null else printf('2025-01-01 00:%02d:%02d', "
        "(i / 37) / 60, (i / 37) % 60) end from n;"));
}

// The page as the list read it before page turns were taken from either end.
std::vector<std::string> NewestFirstNames(const std::filesystem::path& db, int page,
                                          const std::string& area) {
    const StoreResult<Connection> open = Connection::Open(db);
    std::vector<std::string> names;
    const std::string filter =
        area == WholeCountryName() ? "" : "WHERE Province = " + SqlLiteral(area) + " ";
    EXPECT_TRUE(open.value().Query(
        "select User_Name from t_address_book " + filter + "order by Add_Time DESC limit 200" +
            (page == 1 ? "" : " OFFSET " + std::to_string((page - 1) * 200)),
        [&](const std::vector<std::string>& row) { names.push_back(row[0]); }));
    return names;
}

TEST_F(StoreTest, EveryPageHoldsTheSameRowsInTheSameOrderFromEitherEnd) {
    FillWithTies(dir / "mydb", 1037);
    ContactPager pager(dir / "mydb");
    for (const std::string& area : {Gb18030("全国"), Gb18030("天津市")}) {
        const int total = pager.Count(area).value_or(-1);
        ASSERT_EQ(total, area == Gb18030("全国") ? 1037 : 345);
        std::vector<std::string> seen;
        for (int page = 1; page <= (total + 199) / 200 + 1; ++page) {
            std::vector<ContactRecord> records;
            ASSERT_EQ(pager.Page(page, area, records).value_or(-1), total);
            std::vector<std::string> names;
            for (const ContactRecord& record : records) {
                names.push_back(record[kUser_Name]);
            }
            EXPECT_EQ(names, NewestFirstNames(dir / "mydb", page, area)) << "page " << page;
            std::vector<ContactRecord> newestFirst;
            EXPECT_TRUE(store.SelectContactPage(page, area, newestFirst));
            EXPECT_EQ(records, newestFirst) << "page " << page;
            seen.insert(seen.end(), names.begin(), names.end());
        }
        std::sort(seen.begin(), seen.end());
        EXPECT_EQ(std::unique(seen.begin(), seen.end()), seen.end());
        EXPECT_EQ(static_cast<int>(seen.size()), total); // every record on exactly one page
    }
}

// Each way the register can change, made on a connection of its own (as the editor, the
// deletion, the import and another process do), is seen by the next count.
TEST_F(StoreTest, TheCountIsKeptUntilAnyConnectionChangesTheRegister) {
    const std::string all = Gb18030("全国");
    ASSERT_TRUE(Insert(Record("A", "13500000000")));
    ContactPager pager(dir / "mydb");
    std::vector<ContactRecord> records;
    ASSERT_EQ(pager.Count(all).value_or(-1), 1);
    for (int page : {1, 1, 2, 1}) {
        ASSERT_TRUE(pager.Page(page, all, records));
        ASSERT_TRUE(pager.Count(all));
    }
    EXPECT_EQ(pager.CountsTaken(), 1);

    int expected = 1, counts = 1;
    const auto expectChanged = [&](const char* what) {
        EXPECT_EQ(pager.Count(all).value_or(-1), expected) << what;
        EXPECT_EQ(pager.CountsTaken(), ++counts) << what;
        EXPECT_EQ(pager.Page(1, all, records).value_or(-1), expected) << what;
        EXPECT_EQ(pager.CountsTaken(), counts) << what;
    };
    ASSERT_TRUE(Insert(Record("B", "13500000001")));
    ++expected;
    expectChanged("insert");
    ASSERT_TRUE(store.OpenContactDatabase());
    ASSERT_TRUE(store.DeleteContactRow(MakeUIID("A", "13500000000")));
    --expected;
    store.CloseContactDatabase();
    expectChanged("delete");
    ASSERT_TRUE(store.OpenContactDatabase());
    ASSERT_TRUE(store.DropContactTable());
    ASSERT_TRUE(store.CreateContactTable());
    store.CloseContactDatabase();
    expected = 0;
    expectChanged("delete all");
    {
        StoreResult<ImportDatabase> import = ImportDatabase::Open(dir / "mydb");
        ASSERT_TRUE(import);
        ASSERT_TRUE(
            import.value().InsertRecord(Record("C", "13500000002"), "2026-01-01 00:00:00").ok());
    }
    ++expected;
    expectChanged("import");
    const pid_t child = fork();
    if (child == 0) {
        const StoreResult<Connection> other = Connection::Open(dir / "mydb");
        std::_Exit(other && other.value().Execute("delete from t_address_book;") ? 0 : 1);
    }
    int status = 1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_EQ(status, 0);
    expected = 0;
    expectChanged("another process");

    // Another file put in the register's place is counted afresh.
    {
        ContactStore other(dir / "other", [this] { return clock(); });
        ASSERT_TRUE(CreateSchema(dir / "other"));
        ASSERT_TRUE(other.OpenContactDatabase());
        ASSERT_EQ(other.InsertContactRow(Record("D", "13500000003")), ContactInsert::Done);
    }
    std::filesystem::rename(dir / "other", dir / "mydb");
    expected = 1;
    expectChanged("another file");
}

} // namespace
