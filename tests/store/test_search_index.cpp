#include "store/import_database.h"
#include "store/search_index.h"
#include "store_fixture.h"

#include <algorithm>
#include <set>

namespace {

class SearchTest : public StoreTest {
protected:
    // Names in the program's text of the records the pager finds for the query.
    std::vector<std::string> Found(const std::string& utf8Query,
                                   const std::string& area = Gb18030("全国")) {
        ContactPager pager(dir / "mydb");
        pager.SetQuery(Gb18030(utf8Query.c_str()));
        std::vector<std::string> names;
        for (int page = 1;; ++page) {
            std::vector<ContactRecord> records;
            const StoreResult<int> total = pager.Page(page, area, records);
            EXPECT_TRUE(total) << total.status().detail;
            for (const ContactRecord& r : records) {
                names.push_back(Gb18030ToUtf8(r[kUser_Name]));
            }
            if (!total || records.empty() ||
                names.size() >= static_cast<std::size_t>(total.value())) {
                EXPECT_EQ(names.size(), static_cast<std::size_t>(total.value_or(-1)));
                return names;
            }
        }
    }

    // What a plain scan of the register finds: every word in the name, mobile or unit,
    // Latin letters of any case.
    std::vector<std::string> Scanned(const std::string& utf8Query) {
        const auto lower = [](std::string text) {
            for (char& c : text) {
                c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
            }
            // The one Latin-1 capital the queries use.
            for (std::size_t at; (at = text.find("Ë")) != std::string::npos;) {
                text.replace(at, 2, "ë");
            }
            return text;
        };
        std::vector<std::string> words;
        std::string word;
        for (char c : utf8Query + " ") {
            if (c == ' ') {
                if (!word.empty()) {
                    words.push_back(lower(word));
                }
                word.clear();
            } else {
                word += c;
            }
        }
        std::vector<std::string> names;
        for (int page = 1; page <= 50; ++page) {
            for (const ContactRecord& r : Page(page)) {
                const std::string fields =
                    lower(Gb18030ToUtf8(r[kUser_Name]) + "\n" + r[kMobile_NO] + "\n" +
                          Gb18030ToUtf8(r[kOrganization_Detial]));
                if (std::all_of(words.begin(), words.end(), [&](const std::string& w) {
                        std::size_t at = 0;
                        while ((at = fields.find(w, at)) != std::string::npos) {
                            if (fields.substr(at, w.size()).find('\n') == std::string::npos) {
                                return true;
                            }
                            ++at;
                        }
                        return false;
                    })) {
                    names.push_back(Gb18030ToUtf8(r[kUser_Name]));
                }
            }
        }
        return names;
    }

    // The index answers as a scan does, in the list's order, for a spread of queries.
    void ExpectSearchAgreesWithScan() {
        for (const char* query :
             {"张", "明华", "张明华", "1391", "5678", "139123", "单位", "书记 张", "ZOË", "zoë-b",
              "7", "李𠀾", "无此人", "华 5678", "e-B"}) {
            EXPECT_EQ(Found(query), Scanned(query)) << "query " << query;
        }
    }

    ContactRecord Person(const char* utf8Name, const std::string& mobile, const char* utf8Unit,
                         const char* province = "北京市") {
        ContactRecord r = Record(Gb18030(utf8Name), mobile, Gb18030(province));
        r[kOrganization_Detial] = Gb18030(utf8Unit);
        return r;
    }

    void AddPeople() {
        ASSERT_TRUE(Insert(Person("张明华", "13912345678", "某县财政局 局长")));
        ASSERT_TRUE(Insert(Person("王明", "13800005678", "某单位 书记")));
        ASSERT_TRUE(Insert(Person("Zoë-Brontë", "15000000007", "ACME Ltd.")));
        ASSERT_TRUE(Insert(Person("李𠀾华", "13391234567", "小学 教师")));
        ASSERT_TRUE(Insert(Person("张三", "18612341234", "书记", "河北省")));
    }

    std::optional<Connection> Open() {
        StoreResult<Connection> db = Connection::Open(dir / "mydb");
        EXPECT_TRUE(db);
        return db ? std::optional<Connection>(std::move(db.value())) : std::nullopt;
    }
};

TEST_F(SearchTest, WordsMatchNamesNumbersAndUnitsInAnyCaseWithinTheArea) {
    AddPeople();
    EXPECT_EQ(Found("明华"), (std::vector<std::string>{"张明华"}));
    EXPECT_EQ(Found("张"), (std::vector<std::string>{"张三", "张明华"})); // newest first
    EXPECT_EQ(Found("5678"), (std::vector<std::string>{"王明", "张明华"}));
    EXPECT_EQ(Found("139"), (std::vector<std::string>{"张明华"}));
    EXPECT_EQ(Found("书记 张"), (std::vector<std::string>{"张三"}));
    EXPECT_EQ(Found("zoë-b"), (std::vector<std::string>{"Zoë-Brontë"}));
    EXPECT_EQ(Found("acme LTD."), (std::vector<std::string>{"Zoë-Brontë"}));
    EXPECT_EQ(Found("𠀾"), (std::vector<std::string>{"李𠀾华"}));
    EXPECT_TRUE(Found("无此人").empty());
    EXPECT_TRUE(Found("明华 河北").empty());
    // Only the login area's records; a single character never matches the province.
    EXPECT_EQ(Found("张", Gb18030("北京市")), (std::vector<std::string>{"张明华"}));
    EXPECT_TRUE(Found("北", Gb18030("北京市")).empty());
    ExpectSearchAgreesWithScan();
}

TEST_F(SearchTest, TheIndexFollowsEveryWayTheRegisterIsWritten) {
    AddPeople();
    ExpectSearchAgreesWithScan();

    // The editor's change, a deletion.
    ASSERT_TRUE(store.OpenContactDatabase());
    ContactRecord changed = Person("张明", "13912345678", "某县税务局");
    ASSERT_EQ(store.ReplaceContactRow(MakeUIID(Gb18030("张明华"), "13912345678"), changed),
              ContactInsert::Done);
    ASSERT_TRUE(store.DeleteContactRow(MakeUIID(Gb18030("王明"), "13800005678")));
    store.CloseContactDatabase();
    EXPECT_TRUE(Found("明华").empty());
    EXPECT_EQ(Found("税务"), (std::vector<std::string>{"张明"}));
    ExpectSearchAgreesWithScan();

    // Another window's store, on a connection of its own, within a transaction.
    {
        ContactStore other(dir / "mydb", [this] { return clock(); });
        ASSERT_TRUE(other.OpenContactDatabase());
        ASSERT_EQ(other.ReplaceContactRow(MakeUIID(Gb18030("张明"), "13912345678"),
                                          Person("赵明华", "13912345678", "某县税务局")),
                  ContactInsert::Done);
    }
    EXPECT_EQ(Found("明华"), (std::vector<std::string>{"赵明华"}));
    ExpectSearchAgreesWithScan();

    // An import appending, then one replacing the register, the second rolled back.
    {
        StoreResult<ImportDatabase> import = ImportDatabase::Open(dir / "mydb");
        ASSERT_TRUE(import);
        ASSERT_EQ(import.value().PrepareContactTable(false), TablePreparation::Ready);
        ASSERT_EQ(import.value()
                      .InsertRecord(Person("钱明华", "13700001111", "导入"), "2030-01-01 00:00:00")
                      .outcome,
                  InsertOutcome::Inserted);
    }
    EXPECT_EQ(Found("明华"), (std::vector<std::string>{"钱明华", "赵明华"}));
    {
        StoreResult<ImportDatabase> import = ImportDatabase::Open(dir / "mydb");
        ASSERT_TRUE(import);
        Transaction replacing(import.value().connection());
        ASSERT_EQ(import.value().PrepareContactTable(true), TablePreparation::Ready);
        ASSERT_EQ(import.value()
                      .InsertRecord(Person("孙明华", "13700002222", "覆盖"), "2030-01-01 00:00:00")
                      .outcome,
                  InsertOutcome::Inserted);
        // Destroyed without a commit: the old register and its index stand.
    }
    EXPECT_EQ(Found("明华"), (std::vector<std::string>{"钱明华", "赵明华"}));
    ExpectSearchAgreesWithScan();
    {
        StoreResult<ImportDatabase> import = ImportDatabase::Open(dir / "mydb");
        ASSERT_TRUE(import);
        Transaction replacing(import.value().connection());
        ASSERT_EQ(import.value().PrepareContactTable(true), TablePreparation::Ready);
        ASSERT_EQ(import.value()
                      .InsertRecord(Person("孙明华", "13700002222", "覆盖"), "2030-01-01 00:00:00")
                      .outcome,
                  InsertOutcome::Inserted);
        ASSERT_TRUE(replacing.Commit());
    }
    EXPECT_EQ(Found("明华"), (std::vector<std::string>{"孙明华"}));
    ExpectSearchAgreesWithScan();

    // Deleting the whole register.
    ASSERT_TRUE(store.OpenContactDatabase());
    ASSERT_TRUE(store.DropContactTable());
    ASSERT_TRUE(store.CreateContactTable());
    store.CloseContactDatabase();
    EXPECT_TRUE(Found("明华").empty());
    ASSERT_TRUE(Insert(Person("周明华", "13500003333", "新")));
    EXPECT_EQ(Found("明华"), (std::vector<std::string>{"周明华"}));
}

TEST_F(SearchTest, AMissingOrDamagedIndexIsBuiltAgainNeverTrusted) {
    AddPeople();
    std::optional<Connection> db = Open();
    ASSERT_TRUE(db);
    EXPECT_EQ(EnsureSearchIndex(*db).value_or(SearchIndexState::Built), SearchIndexState::Ready);

    // A register from before the index: no tables.
    ASSERT_TRUE(db->Execute("DROP TABLE t_address_book_search;"));
    EXPECT_TRUE(SearchIndexNeedsBuild(*db).value_or(false));
    long long reported = 0;
    EXPECT_EQ(EnsureSearchIndex(*db, [&](long long, long long) { ++reported; })
                  .value_or(SearchIndexState::Ready),
              SearchIndexState::Built);
    ExpectSearchAgreesWithScan();

    // Writes that left no note, as an older version's: a record added, then one changed (a
    // delete and an insert, so the newest rowid is not indexed). Only a change of the newest
    // record itself, whose rowid the insert takes again, goes unseen.
    ASSERT_TRUE(db->Execute(Gb18030("insert into t_address_book (UI_ID, User_Name, Province) "
                                    "values ('x1', '吴明华', '北京市');")));
    EXPECT_EQ(EnsureSearchIndex(*db).value_or(SearchIndexState::Ready), SearchIndexState::Built);
    ExpectSearchAgreesWithScan();
    ASSERT_TRUE(db->Execute(Gb18030("delete from t_address_book where rowid = 1; insert into "
                                    "t_address_book (UI_ID, User_Name, Province) values ('x2', "
                                    "'郑明华', '北京市');")));
    EXPECT_EQ(EnsureSearchIndex(*db).value_or(SearchIndexState::Ready), SearchIndexState::Built);
    ExpectSearchAgreesWithScan();

    // Entries lost from the index: the counts disagree.
    ASSERT_TRUE(db->Execute("DELETE FROM t_address_book_search WHERE docid IN (SELECT docid FROM "
                            "t_address_book_search LIMIT 2);"));
    EXPECT_EQ(EnsureSearchIndex(*db).value_or(SearchIndexState::Ready), SearchIndexState::Built);
    ExpectSearchAgreesWithScan();

    // An index whose tables cannot be read is built again on the next search.
    ASSERT_TRUE(db->Execute("DROP TABLE t_address_book_search_segdir;"));
    ASSERT_TRUE(db->Execute("INSERT INTO t_address_book_search_noted VALUES (1, NULL);"));
    db.reset();
    ExpectSearchAgreesWithScan();
}

TEST(SearchWords, ARecordJustChangedMatchesAsTheIndexWouldFindIt) {
    const std::string_view fields[] = {"Zoë-Brontë", "13912345678", "某县财政局 局长"};
    EXPECT_TRUE(MatchesSearch("ZOË-b 5678", fields));
    EXPECT_TRUE(MatchesSearch("财政 局长", fields));
    EXPECT_FALSE(MatchesSearch("财政 教师", fields));
    EXPECT_FALSE(MatchesSearch("8 张", fields));
}

TEST(SearchWords, RunsOfThreeThenTheLastTwoAndTheLastOneWithPunctuationKeptInsideWords) {
    EXPECT_EQ(SearchWords(""), "");
    EXPECT_EQ(SearchWords("张"), "张");
    EXPECT_EQ(SearchWords("张明华"), "张明华 明华 华");
    EXPECT_EQ(SearchWords("AbCd"), "abc bcd cd d");
    EXPECT_EQ(SearchWords("a-b"), "a\xFF\xAD"
                                  "b \xFF\xAD"
                                  "b b");
    // Each word: the phrase of its runs of three, or a prefix when it is shorter.
    EXPECT_EQ(SearchMatchExpression("  张  Ab-c 13912 "), "\"张*\" \"ab\xFF\xAD b\xFF\xAD"
                                                          "c\" \"139 391 912\"");
    EXPECT_EQ(SearchMatchExpression(" \t　"), "");
    // Query syntax typed by the operator stays text.
    EXPECT_EQ(SearchMatchExpression("a\"b OR"), "\"a\xFF\xA2"
                                                "b\" \"or*\"");
}

} // namespace
