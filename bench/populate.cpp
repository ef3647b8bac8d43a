#include "populate.h"

#include "crypto/uiid.h"
#include "platform/text.h"
#include "store/database.h"
#include "store/schema.h"

#include <sqlcipher/sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <string>
#include <vector>

namespace {

const char* const kProvinces[] = {
    "北京市",           "天津市", "河北省",         "山西省",        "内蒙古自治区",
    "辽宁省",           "吉林省", "黑龙江省",       "上海市",        "江苏省",
    "浙江省",           "安徽省", "福建省",         "江西省",        "山东省",
    "河南省",           "湖北省", "湖南省",         "广东省",        "广西壮族自治区",
    "海南省",           "重庆市", "四川省",         "贵州省",        "云南省",
    "西藏自治区",       "陕西省", "甘肃省",         "青海省",        "宁夏回族自治区",
    "新疆维吾尔自治区", "台湾省", "香港特别行政区", "澳门特别行政区"};

sqlite3_stmt* PrepareInsert(sqlite3* handle) {
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(handle,
                       "insert into t_address_book values(?,?,?,'男','1980-01-01','大学',"
                       "'某某单位 书记','村',?,'某某市','某某县',?)",
                       -1, &insert, nullptr);
    return insert;
}

// The texts are UTF-8, as stored.
bool InsertContact(sqlite3_stmt* insert, const char* id, const std::string& name,
                   const char* mobile, const char* province, const char* added) {
    sqlite3_bind_text(insert, 1, id, -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 2, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 3, mobile, -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 4, province, -1, SQLITE_STATIC);
    sqlite3_bind_text(insert, 5, added, -1, SQLITE_TRANSIENT);
    const bool done = sqlite3_step(insert) == SQLITE_DONE;
    sqlite3_reset(insert);
    return done;
}

} // namespace

// Fills the contact table directly, in one transaction, with distinct insertion times.
void Populate(const std::filesystem::path& db, int records) {
    CreateSchema(db);
    const StoreResult<Connection> connection = Connection::Open(db);
    if (!connection) {
        std::fprintf(stderr, "cannot open %s: %s\n", db.c_str(),
                     connection.status().detail.c_str());
        return;
    }
    sqlite3* handle = connection.value().Handle();
    Transaction transaction(connection.value());
    sqlite3_stmt* insert = PrepareInsert(handle);
    std::mt19937 random(7);
    for (int i = 0; i < records; ++i) {
        char id[40], mobile[16], added[32];
        std::snprintf(id, sizeof id, "%032X", i);
        std::snprintf(mobile, sizeof mobile, "135%08d", i);
        const int s = i;
        std::snprintf(added, sizeof added, "2025-%02d-%02d %02d:%02d:%02d", 1 + s / 2678400 % 12,
                      1 + s / 86400 % 31, s / 3600 % 24, s / 60 % 60, s % 60);
        InsertContact(insert, id, "姓名" + std::to_string(i), mobile, kProvinces[random() % 34],
                      added);
    }
    sqlite3_finalize(insert);
    if (const StoreStatus committed = transaction.Commit(); !committed) {
        std::fprintf(stderr, "cannot fill %s: %s\n", db.c_str(), committed.detail.c_str());
    }
}

namespace {

// Every record's Add_Time, oldest first: imports of hundreds to tens of thousands of rows at
// some sixty rows a second, and records added one by one a few minutes apart, with days to
// weeks between one session and the next, from 2015 on.
std::vector<std::string> AddTimes(int records, std::mt19937& random) {
    std::vector<std::string> times;
    times.reserve(records);
    std::time_t at = 1420070400; // 2015-01-01 00:00:00 UTC
    const auto push = [&] {
        std::tm utc{};
        gmtime_r(&at, &utc);
        char text[32];
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &utc);
        times.emplace_back(text);
    };
    while (static_cast<int>(times.size()) < records) {
        at += 3600 + random() % (36 * 86400);
        if (random() % 2 == 0) {
            for (int n = 1 + random() % 5; n > 0; --n) {
                at += 60 + random() % 600;
                push();
            }
        } else {
            for (int n = 500 + random() % 20000; n > 0;) {
                ++at;
                for (int inSecond = 40 + random() % 40; inSecond > 0 && n > 0; --inSecond, --n) {
                    push();
                }
            }
        }
    }
    times.resize(records);
    return times;
}

bool BuildLongUsedRegister(const std::filesystem::path& db, int records) {
    CreateSchema(db);
    const StoreResult<Connection> connection = Connection::Open(db);
    if (!connection) {
        return false;
    }
    sqlite3* handle = connection.value().Handle();
    // The digests land all over the identifier index: keep it in memory while it grows.
    connection.value().Execute("PRAGMA cache_size = -400000;");
    Transaction transaction(connection.value());
    sqlite3_stmt* insert = PrepareInsert(handle);
    std::mt19937 random(19);
    const std::vector<std::string> times = AddTimes(records, random);
    bool stored = true;
    for (int i = 0; i < records && stored; ++i) {
        char mobile[16];
        std::snprintf(mobile, sizeof mobile, "1%d%09d", 3 + static_cast<int>(random() % 7),
                      static_cast<int>(random() % 1000000000));
        const std::string name = "姓名" + std::to_string(i);
        const std::string id = MakeUIID(Gb18030(name.c_str()), mobile);
        stored = InsertContact(insert, id.c_str(), name, mobile, kProvinces[random() % 34],
                               times[i].c_str());
    }
    sqlite3_finalize(insert);
    return stored && transaction.Commit().ok();
}

} // namespace

std::filesystem::path LongUsedRegister(int records) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "quillon-bench-registers";
    const fs::path file = dir / ("long-used-v1-" + std::to_string(records));
    if (fs::exists(file)) {
        return file;
    }
    fs::create_directories(dir);
    const fs::path building = dir / (file.filename().string() + ".building");
    fs::remove(building);
    std::printf("building a register of %d records, once, in %s...\n", records, file.c_str());
    std::fflush(stdout);
    if (!BuildLongUsedRegister(building, records)) {
        std::fprintf(stderr, "cannot build %s\n", building.c_str());
        std::exit(1);
    }
    fs::rename(building, file);
    return file;
}
