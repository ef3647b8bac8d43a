// Measures the store's costs: opening a keyed file, a page turn as the list does it
// (count, then the page) on large registers, and start-up with and without the seed.
#include "bench_support.h"
#include "platform/text.h"
#include "populate.h"
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

// A file keyed with SQLCipher's own defaults (64,000 derivation rounds, 1 kB pages).
sqlite3* OpenWithDefaultDerivation(const fs::path& db) {
    sqlite3* handle = nullptr;
    sqlite3_open(db.c_str(), &handle);
    sqlite3_key(handle, kDatabaseKey, static_cast<int>(std::strlen(kDatabaseKey)));
    return handle;
}

void BenchOpen(const fs::path& dir) {
    const fs::path ours = dir / "open-ours", peer = dir / "open-default";
    CreateSchema(ours);
    sqlite3* h = OpenWithDefaultDerivation(peer);
    sqlite3_exec(h, "create table t(x);", nullptr, nullptr, nullptr);
    sqlite3_close(h);
    const char* sql = "select count(*) from sqlite_master;";
    const double oursMs = MedianMs(31, [&] {
        const StoreResult<Connection> d = Connection::Open(ours);
        if (d) {
            d.value().Execute(sql);
        }
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
    ContactStore store(db);
    for (const std::string& area : {Gb18030("全国"), Gb18030("河北省")}) {
        int count = 0;
        const auto turn = [&](bool last) {
            store.OpenContactDatabase();
            count = store.CountContacts(area).value_or(0);
            store.CloseContactDatabase();
            std::vector<ContactRecord> page;
            const int pages = std::max(1, (count + kContactsPerPage - 1) / kContactsPerPage);
            store.SelectContactPage(last ? pages : 1, area, page);
        };
        for (bool last : {false, true}) {
            const double ms = MedianMs(7, [&] { turn(last); });
            char what[128];
            std::snprintf(what, sizeof what, "page turn %d records, %s, %s page", records,
                          area == Gb18030("全国") ? "unfiltered" : "one province",
                          last ? "last" : "first");
            PrintFigure(what, ms, targetMs, "target");
        }
    }
}

void BenchStartUp(const fs::path& dir) {
    int n = 0;
    const double first = MedianMs(7, [&] { CreateSchema(dir / ("first-" + std::to_string(n++))); });
    const double later = MedianMs(7, [&] { CreateSchema(dir / "first-0"); });
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
