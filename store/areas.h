#pragma once

#include "store/database.h"

#include <filesystem>
#include <string>
#include <vector>

// One row of the area hierarchy, texts in GB18030.
struct AreaRow {
    std::string UI_ID;
    std::string Parent_ID;
    std::string Area_Name;
    bool operator==(const AreaRow&) const = default;
};

inline constexpr char kRootAreaCode[] = "000000";

using AreaRows = StoreResult<std::vector<AreaRow>>;

// Each read opens and closes the file by itself and fails, rather than returning an empty
// list, when the file cannot be opened or read.

// Provinces the login area may work with: all of them for the root, else the area itself.
// The root row (named "全国") is never among them.
AreaRows ProvincesForLoginArea(const std::filesystem::path& db, const std::string& loginCode);
// Direct children of an area; the children of the root include the root itself.
AreaRows ChildrenOfArea(const std::filesystem::path& db, const std::string& code);
// The whole hierarchy, in storage order.
AreaRows AllAreas(const std::filesystem::path& db);
// Every area of that name, at any level.
AreaRows AreasByName(const std::filesystem::path& db, const std::string& name);

// The ten seed statements as GB18030 text: the root row, then the nine batches, each batch one
// multi-row insert so that it goes in whole or not at all.
std::vector<std::string> AreaSeedStatements();
