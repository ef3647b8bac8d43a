#include "store/import_database.h"
#include "store_fixture.h"

namespace {

class ImportDatabaseTest : public StoreTest {
protected:
    ImportDatabase Open() {
        StoreResult<ImportDatabase> db = ImportDatabase::Open(dir / "mydb");
        EXPECT_TRUE(db) << db.status().detail;
        return std::move(db.value());
    }
    std::vector<std::string> Column(const ImportDatabase& db, const std::string& sql) {
        std::vector<std::string> values;
        db.connection().Query(
            sql, [&](const std::vector<std::string>& row) { values.push_back(row.at(0)); });
        return values;
    }
};

TEST_F(ImportDatabaseTest, BirthdaysAreWrittenInFullOrAsNullAndANonDateIsRefused) {
    ImportDatabase db = Open();
    ContactRecord r = Record("a", "13500000001");
    r[kUser_Birthday] = "1980-1-2";
    EXPECT_TRUE(db.InsertRecord(r, "2026-12-08 10:00:00").ok());
    r = Record("b", "13500000002");
    r[kUser_Birthday] = "";
    EXPECT_TRUE(db.InsertRecord(r, "2026-12-08 10:00:01").ok());
    r = Record("c", "13500000003");
    r[kUser_Birthday] = "2001-02-30";
    EXPECT_EQ(db.InsertRecord(r, "x").outcome, InsertOutcome::BadBirthday);
    EXPECT_EQ(Column(db, "select ifnull(User_Birthday, 'NULL') from t_address_book order by "
                         "User_Name"),
              (std::vector<std::string>{"1980-01-02", "NULL"}));
    EXPECT_EQ(Column(db, "select Add_Time from t_address_book where User_Name = 'a'"),
              std::vector<std::string>{"2026-12-08 10:00:00"});
}

TEST_F(ImportDatabaseTest, HostileValuesAreStoredAsTheyStand) {
    ImportDatabase db = Open();
    ContactRecord r = Record("x'); drop table t_address_book; --", "13500000001");
    r[kOrganization_Detial] = std::string("O'Brien \"and\" sons\0tail", 23);
    ASSERT_TRUE(db.InsertRecord(r, "t").ok());
    EXPECT_EQ(Column(db, "select User_Name from t_address_book"),
              std::vector<std::string>{"x'); drop table t_address_book; --"});
    EXPECT_EQ(db.InsertRecord(r, "t").outcome, InsertOutcome::Duplicate);
    EXPECT_EQ(db.DeleteImportedRecords({"' or '1'='1"}), ImportDatabase::DeleteOutcome::Done);
    EXPECT_EQ(Column(db, "select count(*) from t_address_book"), std::vector<std::string>{"1"});
    EXPECT_EQ(db.DeleteImportedRecords({r[kUI_ID]}), ImportDatabase::DeleteOutcome::Done);
    EXPECT_EQ(Column(db, "select count(*) from t_address_book"), std::vector<std::string>{"0"});
    EXPECT_EQ(db.DeleteImportedRecords({}), ImportDatabase::DeleteOutcome::NothingToDo);
}

TEST_F(ImportDatabaseTest, AReplacementInsideAnAbandonedTransactionLeavesTheRegister) {
    ASSERT_TRUE(Insert(Record("old", "13500000009")));
    ImportDatabase db = Open();
    {
        Transaction transaction(db.connection());
        ASSERT_EQ(db.PrepareContactTable(true), TablePreparation::Ready);
        EXPECT_TRUE(db.InsertRecord(Record("new", "13500000001"), "t").ok());
        EXPECT_EQ(Column(db, "select User_Name from t_address_book"),
                  std::vector<std::string>{"new"});
    } // no commit
    EXPECT_EQ(Column(db, "select User_Name from t_address_book"), std::vector<std::string>{"old"});

    EXPECT_EQ(db.PrepareContactTable(false), TablePreparation::Ready);
    EXPECT_TRUE(db.connection().Execute("drop table t_address_book;"));
    EXPECT_FALSE(db.TableExists("t_address_book"));
    EXPECT_EQ(db.PrepareContactTable(false), TablePreparation::Ready);
    EXPECT_TRUE(db.TableExists("t_address_book"));
}

TEST_F(ImportDatabaseTest, AFailedDeletionTakesNothingBack) {
    ImportDatabase db = Open();
    ASSERT_TRUE(db.InsertRecord(Record("a", "13500000001"), "t").ok());
    ASSERT_TRUE(db.InsertRecord(Record("b", "13500000002"), "t").ok());
    // A trigger makes the second delete fail after the first has run.
    ASSERT_TRUE(db.connection().Execute(
        "create trigger refuse before delete on t_address_book when old.User_Name = 'b' "
        "begin select raise(abort, 'refused'); end;"));
    EXPECT_EQ(
        db.DeleteImportedRecords({MakeUIID("a", "13500000001"), MakeUIID("b", "13500000002")}),
        ImportDatabase::DeleteOutcome::Failed);
    EXPECT_EQ(Column(db, "select count(*) from t_address_book"), std::vector<std::string>{"2"});
}

} // namespace
