#include "damage.h"
#include "store/database.h"
#include "store_fixture.h"

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
              "t_address_book order by Add_Time DESC limit 200;");
    EXPECT_NE(SelectContactPageStatement(3, all).find("limit 200 OFFSET 400;"), std::string::npos);
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
