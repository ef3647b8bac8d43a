// Measures the store's costs: opening a keyed file, start-up with and without the seed, and
// page turns as the list makes them (count, then the page) on a register of a million
// records (a hundred thousand with --quick).
#include "bench_support.h"
#include "paging_support.h"
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

// Page turns as the list makes them: the count (kept while the register does not change),
// then the page, on a register that has been in use for years. Each command is timed from
// the page it is given from, three times.
void BenchPages(int records) {
    const fs::path db = LongUsedRegister(records);
    for (const std::string& area : {Gb18030("全国"), Gb18030("河北省")}) {
        const char* const scope = area == Gb18030("全国") ? "unfiltered" : "one province";
        ContactPager pager(db);
        std::vector<ContactRecord> page;
        int count = 0;
        // The list's first count after it opens: the one full scan of a session.
        const Timing opening = TimeRuns(
            3, [&] { pager.Forget(); }, [&] { count = pager.Count(area).value_or(0); });
        const Timing countAlone = TimeRuns(
            3, [] {},
            [&] {
                const StoreResult<Connection> open = Connection::Open(db);
                open.value().Query(CountContactsStatement(area), [](const auto&) {});
            });
        char what[96];
        std::snprintf(what, sizeof what, "%d, %s: first count", records, scope);
        PrintBeside(what, opening, "count(*) alone", countAlone, 0);

        const int pages = std::max(1, (count + kContactsPerPage - 1) / kContactsPerPage);
        struct Command {
            const char* name;
            int to;
        };
        const Command commands[] = {{"first", 1},
                                    {"next", std::min(2, pages)},
                                    {"previous", std::max(1, pages - 1)},
                                    {"last", pages}};
        const int countsBefore = pager.CountsTaken();
        for (const Command& command : commands) {
            const Timing turn = TimeRuns(
                3, [] {},
                [&] {
                    pager.Count(area);
                    pager.Page(command.to, area, page);
                });
            std::snprintf(what, sizeof what, "%d, %s: %s page (%d of %d)", records, scope,
                          command.name, command.to, pages);
            PrintBeside(what, turn, "its query alone, nearer end",
                        PageQueryFloor(db, command.to, count, area), 40);
        }
        // What the last page cost before: the newest-first query past every other page.
        const StoreResult<Connection> open = Connection::Open(db);
        const Timing skipping = TimeRuns(
            3, [] {},
            [&] {
                open.value().Query(SelectContactPageStatement(pages, area), [](const auto&) {});
            });
        std::snprintf(what, sizeof what, "%d, %s: last page read newest first (before)", records,
                      scope);
        PrintBeside(what, skipping, "its query from the oldest end",
                    PageQueryFloor(db, pages, count, area), 0);
        std::printf("%d, %s: count(*) run during the 12 page turns: %d\n", records, scope,
                    pager.CountsTaken() - countsBefore);
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
    BenchPages(quick ? 100000 : 1000000);
    PrintPeakMemory();
    fs::remove_all(dir);
    return 0;
}
