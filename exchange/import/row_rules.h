#pragma once

#include "store/areas.h"
#include "store/contact_store.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The area hierarchy held in memory for the rows of one workbook: it cannot change during
// an import, and every row asks it up to three questions. Nothing is allocated per question.
class AreaIndex {
public:
    explicit AreaIndex(const std::vector<AreaRow>& rows);
    // The index looks names up through views of its own rows.
    AreaIndex(const AreaIndex&) = delete;
    AreaIndex& operator=(const AreaIndex&) = delete;

    // A province by name (any child of the root, the root itself included: it is its own
    // parent, so "全国" counts as a province of the whole country).
    bool IsProvince(std::string_view name) const;
    // A city by name among that province's children. Names repeat across the country
    // ("省直辖县级行政区划" stands under three provinces), so the search stays inside it.
    bool IsCityOf(std::string_view province, std::string_view city) const;
    // A county by name among the children of that city of that province.
    bool IsCountyOf(std::string_view province, std::string_view city,
                    std::string_view county) const;

    // The lookups below take a name as people write it: the area's full name, or, when no
    // candidate has that full name, its name without the level word ("河北" for 河北省,
    // "广西" for 广西壮族自治区, "延边" for 延边朝鲜族自治州). Each gives the one area that
    // fits, or nothing when none fits or more than one does.

    // The province (or the root) a row names.
    const AreaRow* FindProvince(std::string_view written) const;
    // The child of parent a row names.
    const AreaRow* FindChild(const AreaRow& parent, std::string_view written) const;
    // The area one or two levels below the province that a lone place name stands for: a
    // child, or a grandchild under exactly one child (then *city is that child, else it is
    // nullptr).
    const AreaRow* FindBelow(const AreaRow& province, std::string_view written,
                             const AreaRow*& city) const;
    // Whether written is the area's name without its level word.
    bool IsShortNameOf(const AreaRow& area, std::string_view written) const;

private:
    class Pick;
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    // Whether visit(index) is true for any row under that parent code, in storage order.
    template <typename Visit> bool AnyChild(std::string_view parentCode, Visit visit) const;
    template <typename Visit>
    bool AnyChildNamed(std::string_view parentCode, std::string_view name, Visit visit) const;
    bool IsShortName(std::size_t area, std::string_view written) const;
    // Offers the children of rows_[parent] to pick as lying under `under`, leaving out the
    // row itself when it is its own parent (the root).
    void OfferChildren(std::size_t parent, std::size_t under, Pick& pick) const;
    // The index of a row this index handed out, or npos for any other row.
    std::size_t IndexOf(const AreaRow& row) const;
    const AreaRow* Found(std::size_t index) const;

    std::vector<AreaRow> rows_;
    // For each row, the byte lengths of the beginnings of its name that people write for
    // it: the name without its level word, then also without the peoples named before
    // "自治..." ("延边朝鲜族", "延边").
    std::vector<std::vector<std::size_t>> shortLengths_;
    // Row indices by parent code; the keys view the rows' own codes.
    std::unordered_map<std::string_view, std::vector<std::size_t>> children_;
};

// Blanks around a cell's value (spaces, full-width spaces, tabs) are not part of it. The
// text is GB18030; only whole characters are taken off.
void TrimCellBlanks(std::string& gb18030);

// What ValidateImportRow found. Converts to true when the row passes.
struct ImportRowCheck {
    bool passed = false;
    // The row passes filed under other levels than its columns name: a municipality's
    // district written as its county, a city column that repeats the province or says
    // "市辖区", a county-level city written as a city. Full names put in place of short ones
    // alone do not count.
    bool refiled = false;
    explicit operator bool() const { return passed; }
};

// Checks one workbook row against the import's rules in their order and appends the
// message of every rule it breaks to errors. Before the area rules the areas are read the
// way people write them (short names, the districts of a municipality, county-level
// cities) and the record takes the full names of the areas it is filed under; a row whose
// areas are found as written is left as it is. Every "?" in the name becomes "-" whatever
// the outcome, and the identifier is made from the name as it is stored. loginAreaName is
// GB18030; "全国" allows every province.
ImportRowCheck ValidateImportRow(ContactRecord& record, std::string& errors, const AreaIndex& areas,
                                 const std::string& loginAreaName);
