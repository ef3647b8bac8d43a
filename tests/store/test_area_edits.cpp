#include "store/area_edits.h"
#include "store/areas.h"
#include "store_fixture.h"

#include <map>

namespace {

// Edits on a freshly seeded database, with a contact naming 江苏省.
class AreaEditTest : public StoreTest {
protected:
    AreaEditTest() { EXPECT_TRUE(Insert(Record("A", "13500000000", Gb18030("江苏省")))); }

    std::filesystem::path db() const { return dir / "mydb"; }

    std::vector<AreaRow> Children(const std::string& code) {
        const AreaRows rows = ChildrenOfArea(db(), code);
        EXPECT_TRUE(rows) << rows.status().detail;
        return rows.value_or({});
    }

    // Every row by code, to tell exactly what an action changed.
    std::map<std::string, AreaRow> Table() {
        std::map<std::string, AreaRow> table;
        const StoreResult<Connection> handle = Connection::Open(db());
        EXPECT_TRUE(handle);
        if (handle) {
            handle.value().Query("select * from t_area", [&](const std::vector<std::string>& r) {
                table[r[0]] = {r[0], r[1], r[2]};
            });
        }
        return table;
    }

    void Execute(const std::string& sql) {
        const StoreResult<Connection> handle = Connection::Open(db());
        ASSERT_TRUE(handle);
        ASSERT_TRUE(handle.value().Execute(sql)) << sql;
    }

    // Makes the statement that touches `code` the way `what` says fail, so that an action
    // fails part way through.
    void RefuseAt(const std::string& what, const std::string& when) {
        Execute("create trigger refuse before " + what + " on t_area when " + when +
                " begin select raise(abort, 'refused'); end");
    }
};

TEST_F(AreaEditTest, NewRowsAreStoredAsTypedAndTakenCodesRefused) {
    ASSERT_TRUE(InsertArea(db(), "320199", "320100", Gb18030("新区'一") + "\"; --"));
    EXPECT_EQ(Children("320100").back(),
              (AreaRow{"320199", "320100", Gb18030("新区'一") + "\"; --"}));

    const auto before = Table();
    for (const char* taken : {"320000", "320199", "000000"}) {
        const StoreStatus refused = InsertArea(db(), taken, "000000", Gb18030("重复"));
        EXPECT_EQ(refused.error, StoreError::StatementFailed) << taken;
        EXPECT_FALSE(refused.detail.empty()) << taken;
    }
    EXPECT_EQ(Table(), before);
}

TEST_F(AreaEditTest, ChangedCodeTakesTheChildrenAlongAndANameChangeKeepsThem) {
    const auto counties = Children("320100");
    ASSERT_EQ(counties.size(), 12u);

    ASSERT_TRUE(EditArea(db(), AreaLevel::City, "320100", "320100", Gb18030("宁")));
    EXPECT_EQ(Children("320100").size(), counties.size());
    EXPECT_EQ(Children("320000").front(), (AreaRow{"320100", "320000", Gb18030("宁")}));

    ASSERT_TRUE(EditArea(db(), AreaLevel::City, "320100", "329900", Gb18030("南京市")));
    EXPECT_TRUE(Children("320100").empty());
    const auto moved = Children("329900");
    ASSERT_EQ(moved.size(), counties.size());
    for (std::size_t i = 0; i < moved.size(); ++i) {
        EXPECT_EQ(moved[i].UI_ID, counties[i].UI_ID);
    }
    // The row keeps its parent and its place.
    EXPECT_EQ(Children("320000").front(), (AreaRow{"329900", "320000", Gb18030("南京市")}));

    ASSERT_TRUE(EditArea(db(), AreaLevel::Province, "320000", "329000", Gb18030("江苏省")));
    EXPECT_EQ(Children("329000").size(), 13u);
    EXPECT_EQ(Children("329900").size(), counties.size()); // grandchildren need not move
}

TEST_F(AreaEditTest, EditsThatCannotHappenChangeNothing) {
    // A county whose code is another row's parent keeps those rows where they are.
    ASSERT_TRUE(InsertArea(db(), "999999", "320102", "X"));
    const auto before = Table();
    struct Case {
        const char* name;
        std::function<void()> arrange;
        AreaLevel level;
        const char* oldCode;
        const char* newCode;
    };
    const Case cases[] = {
        {"new code taken", [] {}, AreaLevel::City, "320100", "320200"},
        {"children cannot follow",
         [&] { RefuseAt("update of Parent_ID", "new.Parent_ID = '329900'"); }, AreaLevel::City,
         "320100", "329900"},
    };
    for (const Case& c : cases) {
        c.arrange();
        const StoreStatus failed = EditArea(db(), c.level, c.oldCode, c.newCode, Gb18030("新"));
        EXPECT_EQ(failed.error, StoreError::StatementFailed) << c.name;
        EXPECT_EQ(Table(), before) << c.name;
    }

    Execute("drop trigger refuse");
    ASSERT_TRUE(EditArea(db(), AreaLevel::County, "320102", "320198", Gb18030("玄武区")));
    EXPECT_EQ(Children("320102").size(), 1u);
}

struct DeleteCase {
    const char* name;
    AreaLevel level;
    std::string code;
    std::vector<std::string> gone;   // rows that must be deleted with it
    std::vector<std::string> stayed; // neighbours that must survive
    std::size_t deletedRows;
};

class AreaDeletion : public AreaEditTest, public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(AreaDeletion, TakesWhatBelongsToTheRowAndNothingElse) {
    const DeleteCase& c = GetParam();
    const auto before = Table();
    ASSERT_TRUE(DeleteArea(db(), c.level, c.code));
    const auto after = Table();
    EXPECT_EQ(before.size() - after.size(), c.deletedRows);
    EXPECT_FALSE(after.contains(c.code));
    for (const auto& code : c.gone) {
        EXPECT_FALSE(after.contains(code)) << code;
    }
    for (const auto& code : c.stayed) {
        EXPECT_TRUE(after.contains(code)) << code;
    }
    EXPECT_EQ(Count(Gb18030("江苏省")), 1); // contacts name areas; they stay
}

TEST_P(AreaDeletion, HappensWholeOrNotAtAll) {
    const DeleteCase& c = GetParam();
    RefuseAt("delete", "old.UI_ID = '" + c.code + "'"); // the last statement of the action
    const auto before = Table();
    EXPECT_EQ(DeleteArea(db(), c.level, c.code).error, StoreError::StatementFailed);
    EXPECT_EQ(Table(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Levels, AreaDeletion,
    ::testing::Values(
        DeleteCase{"province",
                   AreaLevel::Province,
                   "320000",
                   {"320100", "320102", "320586"},
                   {"330000", "330100", "330102", "000000"},
                   1 + 13 + 117},
        DeleteCase{"municipality", AreaLevel::Province, "110000", {"110101"}, {"120101"}, 17},
        DeleteCase{
            "city", AreaLevel::City, "320100", {"320102"}, {"320000", "320200", "320205"}, 1 + 12},
        DeleteCase{"county", AreaLevel::County, "320102", {}, {"320100", "320104"}, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AreaEditsWithoutDatabase, SayWhyTheFileCouldNotBeOpened) {
    TempDir dir;
    const auto missing = dir / "missing" / "mydb";
    EXPECT_EQ(InsertArea(missing, "1", "000000", "x").error, StoreError::CannotOpen);
    EXPECT_EQ(EditArea(missing, AreaLevel::City, "1", "2", "x").error, StoreError::CannotOpen);
    EXPECT_EQ(DeleteArea(missing, AreaLevel::Province, "1").error, StoreError::CannotOpen);
    EXPECT_FALSE(std::filesystem::exists(missing));
}

} // namespace
