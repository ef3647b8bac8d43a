// Finding records in a register of a million people with names, numbers and units that
// vary as real ones do: the time from a query to its first page as the list asks for it (a
// pager made afresh, so nothing is kept from an earlier search), beside a plain LIKE scan
// of the same register for the same words, in the same run.
#include "bench_support.h"
#include "crypto/uiid.h"
#include "platform/text.h"
#include "store/contact_store.h"
#include "store/schema.h"
#include "store/search_index.h"

#include <sqlcipher/sqlite3.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr int kRecords = 1000000;

const char* const kSurnames[] = {"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周",
                                 "徐", "孙", "马", "朱", "胡", "郭", "何", "高", "林", "罗"};
const char* const kGiven[] = {"伟", "芳", "娜", "敏", "静", "丽", "强", "磊", "军", "洋",
                              "勇", "艳", "杰", "娟", "涛", "明", "超", "秀", "霞", "平",
                              "刚", "桂", "英", "华", "玉", "兰", "国", "建", "文", "辉"};
const char* const kPlaces[] = {"东城", "西山", "南湖", "北关", "新华", "长安", "和平", "红旗"};
const char* const kOffices[] = {"财政局", "教育局", "卫生院", "派出所", "中学",
                                "供电所", "乡政府", "信用社", "邮政局", "农机站"};
const char* const kPosts[] = {"局长", "科员", "主任", "教师", "医生", "所长", "会计", "书记"};
const char* const kProvinces[] = {"北京市", "河北省", "山东省", "河南省", "广东省", "四川省"};

// A register of people built once under the system's temporary folder, its search index
// built with it; later runs reuse it.
fs::path PeopleRegister(double& buildSeconds) {
    const fs::path dir = fs::temp_directory_path() / "quillon-bench-registers";
    const fs::path file = dir / ("people-v1-" + std::to_string(kRecords));
    if (fs::exists(file)) {
        return file;
    }
    fs::create_directories(dir);
    const fs::path building = dir / (file.filename().string() + ".building");
    fs::remove(building);
    std::printf("building a register of %d people, once, in %s...\n", kRecords, file.c_str());
    std::fflush(stdout);
    CreateSchema(building);
    {
        const StoreResult<Connection> db = Connection::Open(building);
        // Made as an earlier version made it: no search index.
        db.value().Execute("DROP TRIGGER t_address_book_search_ai; DROP TRIGGER "
                           "t_address_book_search_ad; DROP TRIGGER t_address_book_search_au; "
                           "DROP TABLE t_address_book_search; DROP TABLE "
                           "t_address_book_search_noted;");
        Transaction filling(db.value());
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db.value().Handle(),
                           "insert into t_address_book values(?,?,?,'男','1980-01-01','大学',"
                           "?,'村',?,'某某市','某某县',?)",
                           -1, &insert, nullptr);
        std::mt19937 random(11);
        const auto pick = [&](const auto& list) { return list[random() % std::size(list)]; };
        for (int i = 0; i < kRecords; ++i) {
            std::string name = std::string(pick(kSurnames)) + pick(kGiven);
            if (random() % 3 != 0) {
                name += pick(kGiven);
            }
            const std::string mobile = "1" + std::to_string(3 + random() % 6) +
                                       std::to_string(100000000 + random() % 900000000);
            const std::string unit =
                std::string(pick(kPlaces)) + pick(kOffices) + " " + pick(kPosts);
            const std::string id = MakeUIID(Utf8ToGb18030(name), mobile);
            char added[32];
            const long long second = 1420070400LL + static_cast<long long>(i) * 300;
            const std::time_t t = static_cast<std::time_t>(second);
            std::tm utc{};
            gmtime_r(&t, &utc);
            std::strftime(added, sizeof added, "%Y-%m-%d %H:%M:%S", &utc);
            sqlite3_bind_text(insert, 1, id.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 2, name.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 3, mobile.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 4, unit.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 5, pick(kProvinces), -1, SQLITE_STATIC);
            sqlite3_bind_text(insert, 6, added, -1, SQLITE_TRANSIENT);
            if (sqlite3_step(insert) != SQLITE_DONE) {
                std::fprintf(stderr, "cannot fill %s\n", building.c_str());
                std::exit(1);
            }
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        filling.Commit();
    }
    {
        const StoreResult<Connection> db = Connection::Open(building);
        const auto start = std::chrono::steady_clock::now();
        const StoreResult<SearchIndexState> built = EnsureSearchIndex(db.value());
        buildSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!built) {
            std::fprintf(stderr, "cannot build the index: %s\n", built.status().detail.c_str());
            std::exit(1);
        }
    }
    fs::rename(building, file);
    return file;
}

// The plain way: every record's three fields against each word, newest first, counted.
int LikeScan(const fs::path& file, const std::vector<std::string>& words,
             std::vector<ContactRecord>& page) {
    const StoreResult<Connection> db = Connection::Open(file);
    std::string where;
    for (const std::string& word : words) {
        const std::string like = SqlLiteral("%" + word + "%");
        where +=
            (where.empty() ? "" : " and ") + ("(User_Name like " + like + " or Mobile_NO like " +
                                              like + " or Organization_Detial like " + like + ")");
    }
    int count = 0;
    db.value().Query("select count(*) from t_address_book where " + where,
                     [&](const std::vector<std::string>& row) { count = std::stoi(row[0]); });
    page.clear();
    db.value().Query(
        "select UI_ID, User_Name from t_address_book where " + where +
            " order by Add_Time desc, rowid desc limit 200",
        [&](const std::vector<std::string>& row) { page.emplace_back()[kUser_Name] = row[1]; });
    return count;
}

} // namespace

int main() {
    double buildSeconds = -1;
    const fs::path file = PeopleRegister(buildSeconds);
    if (buildSeconds >= 0) {
        std::printf("search index built from %d records in %.1f s (once, at the first start)\n",
                    kRecords, buildSeconds);
    }
    std::printf("register file: %.0f MB\n", fs::file_size(file) / 1e6);
    const std::string area = WholeCountryName();
    struct Query {
        const char* label;
        const char* utf8;
    };
    const Query queries[] = {
        {"two characters of a name", "明华"},
        {"four digits of a number", "5678"},
        {"two words (name, unit)", "张 财政"},
    };
    std::printf("first page of a search at %d records (min / median of 5; target at most "
                "50 ms):\n",
                kRecords);
    for (const Query& query : queries) {
        int found = 0;
        const Timing ours = TimeRuns(
            5, [] {},
            [&] {
                ContactPager pager(file);
                pager.SetQuery(Gb18030(query.utf8));
                std::vector<ContactRecord> records;
                found = pager.Page(1, area, records).value_or(-1);
            });
        std::vector<std::string> words;
        std::string word;
        for (char c : std::string(query.utf8) + " ") {
            if (c == ' ') {
                if (!word.empty()) {
                    words.push_back(Gb18030(word.c_str()));
                }
                word.clear();
            } else {
                word += c;
            }
        }
        int scanned = 0;
        std::vector<ContactRecord> page;
        const Timing like = TimeRuns(
            3, [] {}, [&] { scanned = LikeScan(file, words, page); });
        std::printf("  %-26s %7d found  %6.1f / %6.1f ms   LIKE scan %7d found %7.1f / %7.1f ms"
                    "   ratio %.0f\n",
                    query.label, found, ours.min, ours.median, scanned, like.min, like.median,
                    like.median / ours.median);
    }
    PrintPeakMemory();
    return 0;
}
