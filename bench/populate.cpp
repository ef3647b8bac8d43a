#include "populate.h"

#include "store/database.h"
#include "store/schema.h"

#include <sqlcipher/sqlite3.h>

#include <cstdio>
#include <random>
#include <string>

namespace {

const char* const kProvinces[] = {
    "北京市",           "天津市", "河北省",         "山西省",        "内蒙古自治区",
    "辽宁省",           "吉林省", "黑龙江省",       "上海市",        "江苏省",
    "浙江省",           "安徽省", "福建省",         "江西省",        "山东省",
    "河南省",           "湖北省", "湖南省",         "广东省",        "广西壮族自治区",
    "海南省",           "重庆市", "四川省",         "贵州省",        "云南省",
    "西藏自治区",       "陕西省", "甘肃省",         "青海省",        "宁夏回族自治区",
    "新疆维吾尔自治区", "台湾省", "香港特别行政区", "澳门特别行政区"};

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
    if (const StoreStatus committed = transaction.Commit(); !committed) {
        std::fprintf(stderr, "cannot fill %s: %s\n", db.c_str(), committed.detail.c_str());
    }
}
