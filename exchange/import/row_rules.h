#pragma once

#include "store/areas.h"
#include "store/contact_store.h"

#include <string>
#include <unordered_map>
#include <vector>

// The area hierarchy held in memory for the rows of one workbook: it cannot change during
// an import, and every row asks it up to three questions.
class AreaIndex {
public:
    explicit AreaIndex(const std::vector<AreaRow>& rows);

    // A province by name (any child of the root, the root itself included: it is its own
    // parent, so "全国" counts as a province of the whole country).
    bool IsProvince(const std::string& name) const;
    // A city by name among that province's children. Names repeat across the country
    // ("省直辖县级行政区划" stands under three provinces), so the search stays inside it.
    bool IsCityOf(const std::string& province, const std::string& city) const;
    // A county by name among the children of that city of that province.
    bool IsCountyOf(const std::string& province, const std::string& city,
                    const std::string& county) const;

private:
    std::vector<const AreaRow*> ChildrenNamed(const std::string& parentCode,
                                              const std::string& name) const;
    std::vector<AreaRow> rows_;
    std::unordered_map<std::string, std::vector<std::size_t>> children_; // by parent code
};

// Checks one workbook row against the import's rules in their order and appends the
// message of every rule it breaks to errors; true when it breaks none. Every "?" in the
// name becomes "-" whatever the outcome. loginAreaName is GBK; "全国" allows every province.
bool ValidateImportRow(ContactRecord& record, std::string& errors, const AreaIndex& areas,
                       const std::string& loginAreaName);
