// Measures the store's costs: opening a keyed file, a page turn as the list does it
// (count, then the page) on large registers, and start-up with and without the seed.
#include "bench_support.h"
#include "platform/text.h"
#include "store/contact_store.h"
#include "store/database.h"
#include "store/schema.h"

#include <sqlcipher/sqlite3.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <string>

namespace fs = std::filesystem;

namespace {

class SilentPrompter : public Prompter {
public:
    MessageAnswer Show(MessageKind, const std::string&, MessageButtons,
                       const std::string&) override {
        return MessageAnswer::Ok;
    }
};

const char* const kProvinces[] = {
    "北京市",           "天津市", "河北省",         "山西省",        "内蒙古自治区",
    "辽宁省",           "吉林省", "黑龙江省",       "上海市",        "江苏省",
    "浙江省",           "安徽省", "福建省",         "江西省",        "山东省",
    "河南省",           "湖北省", "湖南省",         "广东省",        "广西壮族自治区",
    "海南省",           "重庆市", "四川省",         "贵州省",        "云南省",
    "西藏自治区",       "陕西省", "甘肃省",         "青海省",        "宁夏回族自治区",
    "新疆维吾尔自治区", "台湾省", "香港特别行政区", "澳门特别行政区"};

// Fills the contact table directly, in one transaction, with distinct insertion times.
void Populate(const fs::path& db, int records) {
    SilentPrompter prompter;
    CreateSchema(db, prompter);
    sqlite3* handle = OpenKeyedDatabase(db);
    sqlite3_exec(handle, "begin;", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(handle,
                       "insert into t_address_book values(?,?,?,'男','1980-01-01','大学',"
                       "'某某单位 书记','村',?,'某某市','某某县',?)",
                       -1, &insert, nullptr);
    std::mt19937 random(7);
    for (int i = 0; i < records; ++i) {
        char id[40], mobile[16], added[32];
        std::snprintf(id, sizeof id, "%032X", i);
        std::snprintf(mobile, sizeof mobile, "135%08d", i);
        const int s = i;
        std::snprintf(added, sizeof added, "2025-%02d-%02d %02d:%02d:%02d", 1 + s / 2678400 % 12,
                      1 + s / 86400 % 31, s / 3600 % 24, s / 60 % 60, s % 60);
        const std::string name = "姓名" + std::to_string(i);
        sqlite3_bind_text(insert, 1, id, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, mobile, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 4, kProvinces[random() % 34], -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 5, added, -1, SQLITE_TRANSIENT);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(handle, "commit;", nullptr, nullptr, nullptr);
    CloseDatabase(handle);
}

// A file keyed with SQLCipher's own defaults (64,000 derivation rounds, 1 kB pages).
sqlite3* OpenWithDefaultDerivation(const fs::path& db) {
    sqlite3* handle = nullptr;
    sqlite3_open(db.c_str(), &handle);
    sqlite3_key(handle, kDatabaseKey, static_cast<int>(std::strlen(kDatabaseKey)));
    return handle;
}

void BenchOpen(const fs::path& dir) {
    const fs::path ours = dir / "open-ours", peer = dir / "open-default";
    SilentPrompter prompter;
    CreateSchema(ours, prompter);
    sqlite3* h = OpenWithDefaultDerivation(peer);
    sqlite3_exec(h, "create table t(x);", nullptr, nullptr, nullptr);
    sqlite3_close(h);
    const char* sql = "select count(*) from sqlite_master;";
    const double oursMs = MedianMs(31, [&] {
        sqlite3* d = OpenKeyedDatabase(ours);
        sqlite3_exec(d, sql, nullptr, nullptr, nullptr);
        CloseDatabase(d);
    });
    const double peerMs = MedianMs(11, [&] {
        sqlite3* d = OpenWithDefaultDerivation(peer);
        sqlite3_exec(d, sql, nullptr, nullptr, nullptr);
        sqlite3_close(d);
    });
    PrintFigure("open + key + one statement + close (target <= 3 ms)", oursMs, peerMs,
                "default derivation");
}

void BenchPages(const fs::path& dir, int records, double targetMs) {
    const fs::path db = dir / ("pages-" + std::to_string(records));
    std::printf("building %d records...\n", records);
    std::fflush(stdout);
    Populate(db, records);
    SilentPrompter prompter;
    ContactStore store(db, prompter);
    for (const std::string& area : {Gbk("全国"), Gbk("河北省")}) {
        int count = 0;
        const auto turn = [&](bool last) {
            store.OpenContactDatabase();
            count = store.CountContacts(area);
            store.CloseContactDatabase();
            std::vector<ContactRecord> page;
            const int pages = std::max(1, (count + kContactsPerPage - 1) / kContactsPerPage);
            store.SelectContactPage(last ? pages : 1, area, page);
        };
        for (bool last : {false, true}) {
            const double ms = MedianMs(7, [&] { turn(last); });
            char what[128];
            std::snprintf(what, sizeof what, "page turn %d records, %s, %s page", records,
                          area == Gbk("全国") ? "unfiltered" : "one province",
                          last ? "last" : "first");
            PrintFigure(what, ms, targetMs, "target");
        }
    }
}

void BenchStartUp(const fs::path& dir) {
    SilentPrompter prompter;
    int n = 0;
    const double first =
        MedianMs(7, [&] { CreateSchema(dir / ("first-" + std::to_string(n++)), prompter); });
    const double later = MedianMs(7, [&] { CreateSchema(dir / "first-0", prompter); });
    PrintFigure("start-up on a new database (schema + seed)", first, later, "later start-up");
}

} // namespace

int main(int argc, char** argv) {
    const fs::path dir = fs::temp_directory_path() / "quillon-store-bench";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    BenchOpen(dir);
    BenchStartUp(dir);
    BenchPages(dir, 100000, 30);
    if (!quick) {
        BenchPages(dir, 1000000, 150);
    }
    PrintPeakMemory();
    fs::remove_all(dir);
    return 0;
}
