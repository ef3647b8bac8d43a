#include "store/areas.h"

#include "platform/strings.h"
#include "platform/text.h"
#include "store/contact_store.h"
#include "store/database.h"

#include <array>
#include <string_view>

extern const unsigned char quillon_areas_tsv[];
extern const std::size_t quillon_areas_tsv_size;

namespace {

// Rows per seed batch, in seed order. A batch goes in whole or not at all, so a deleted
// seed row returns at start-up only when its whole batch is gone; the split is fixed.
constexpr std::array<std::size_t, 9> kBatchSizes = {465, 451, 450, 456, 454, 467, 459, 93, 138};

AreaRows ReadAreas(const std::filesystem::path& file, const std::string& sql) {
    StoreResult<Connection> db = Connection::Open(file);
    if (!db) {
        return db.status();
    }
    std::vector<AreaRow> rows;
    const StoreStatus read = db.value().Query(sql, [&](const std::vector<std::string>& row) {
        if (row.size() >= 3) {
            rows.push_back({row[0], row[1], row[2]});
        }
    });
    if (!read) {
        return read;
    }
    return rows;
}

// The seed list as shipped: tab-separated UTF-8, a header line, root first.
std::vector<AreaRow> SeedRows() {
    const std::string_view text(reinterpret_cast<const char*>(quillon_areas_tsv),
                                quillon_areas_tsv_size);
    std::vector<AreaRow> rows;
    const std::vector<TextLine> lines = SplitLines(text);
    for (std::size_t i = 1; i < lines.size(); ++i) { // line 0 is the header
        const std::string_view line = lines[i].text;
        const std::size_t tab1 = line.find('\t');
        const std::size_t tab2 = line.find('\t', tab1 + 1);
        if (tab1 != std::string_view::npos && tab2 != std::string_view::npos) {
            rows.push_back({std::string(line.substr(0, tab1)),
                            std::string(line.substr(tab1 + 1, tab2 - tab1 - 1)),
                            Utf8ToGb18030(std::string(line.substr(tab2 + 1)))});
        }
    }
    return rows;
}

std::string Triple(const AreaRow& row) {
    return "(" + SqlLiteral(row.UI_ID) + ", " + SqlLiteral(row.Parent_ID) + ", " +
           SqlLiteral(row.Area_Name) + ")";
}

} // namespace

AreaRows ProvincesForLoginArea(const std::filesystem::path& db, const std::string& loginCode) {
    const std::string sql = loginCode == kRootAreaCode
                                ? "select * from t_area where Parent_ID='000000'"
                                : "select * from t_area where UI_ID=" + SqlLiteral(loginCode);
    AreaRows rows = ReadAreas(db, sql);
    if (rows) {
        std::erase_if(rows.value(),
                      [](const AreaRow& row) { return row.Area_Name == WholeCountryName(); });
    }
    return rows;
}

AreaRows ChildrenOfArea(const std::filesystem::path& db, const std::string& code) {
    return ReadAreas(db, "select * from t_area where Parent_ID=" + SqlLiteral(code));
}

AreaRows AllAreas(const std::filesystem::path& db) {
    return ReadAreas(db, "select UI_ID, Parent_ID, Area_Name from t_area");
}

AreaRows AreasByName(const std::filesystem::path& db, const std::string& name) {
    return ReadAreas(db, "select * from t_area where Area_Name=" + SqlLiteral(name));
}

std::vector<std::string> AreaSeedStatements() {
    const std::string insert = "insert into t_area (UI_ID, Parent_ID, Area_Name) values";
    const std::vector<AreaRow> rows = SeedRows();
    std::vector<std::string> statements;
    statements.push_back(insert + Triple(rows.at(0)));
    std::size_t next = 1;
    for (std::size_t size : kBatchSizes) {
        std::string batch = insert;
        for (std::size_t i = 0; i < size && next < rows.size(); ++i, ++next) {
            batch += (i ? ", " : "") + Triple(rows[next]);
        }
        statements.push_back(std::move(batch));
    }
    return statements;
}
