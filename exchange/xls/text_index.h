// Finds the shared string a cell text already has. A sheet of tens of thousands of rows
// looks up every cell, so the table is one flat array probed in place (a hash and an
// index a slot), which costs one memory access where a node-based map costs several.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace quillon::xls {

class TextIndex {
public:
    static constexpr std::uint32_t kNone = UINT32_MAX;

    static std::uint64_t Hash(std::string_view text) { return std::hash<std::string_view>{}(text); }

    // The index stored for `text`, or kNone. `textAt` gives the text of a stored index.
    template <typename TextAt> std::uint32_t Find(std::string_view text, TextAt textAt) const {
        return Find(text, Hash(text), textAt);
    }
    // The same with the text's Hash.
    template <typename TextAt>
    std::uint32_t Find(std::string_view text, std::uint64_t hash, TextAt textAt) const {
        if (slots_.empty()) {
            return kNone;
        }
        for (std::size_t at = hash & Mask();; at = (at + 1) & Mask()) {
            const std::uint64_t slot = slots_[at];
            if (slot == 0) {
                return kNone;
            }
            if (Tag(slot) == Tag(hash) && textAt(Index(slot)) == text) {
                return Index(slot);
            }
        }
    }

    // Asks the processor for the slot a Find of `hash` reads first. A row's texts are mostly
    // new and land in slots far apart, so asking for all of them before looking any up
    // waits for memory once per row instead of once per text.
    // A prefetch never faults, so an empty table needs no test (and GCC 12 drops a prefetch
    // that has one).
    void Prefetch(std::uint64_t hash) const { __builtin_prefetch(slots_.data() + (hash & Mask())); }

    // Stores `index` for a text not stored yet.
    void Add(std::string_view text, std::uint32_t index) { Add(Hash(text), index); }
    // The same with the text's Hash.
    void Add(std::uint64_t hash, std::uint32_t index) {
        if (index >= hashes_.size()) {
            hashes_.resize(std::max<std::size_t>(index + 1, 2 * hashes_.size()));
        }
        if (2 * (count_ + 1) > slots_.size()) {
            Grow();
        }
        Place(hash, index);
        ++count_;
    }

private:
    // A slot holds the hash's upper half with its lowest bit set (so never 0, which marks
    // an empty slot) and the index.
    static std::uint32_t Tag(std::uint64_t value) {
        return static_cast<std::uint32_t>(value >> 32) | 1u;
    }
    static std::uint32_t Index(std::uint64_t slot) { return static_cast<std::uint32_t>(slot); }
    std::size_t Mask() const { return slots_.size() - 1; }

    void Place(std::uint64_t hash, std::uint32_t index) {
        std::size_t at = hash & Mask();
        while (slots_[at] != 0) {
            at = (at + 1) & Mask();
        }
        slots_[at] = static_cast<std::uint64_t>(Tag(hash)) << 32 | index;
        hashes_[index] = hash;
    }

    void Grow() {
        std::vector<std::uint64_t> old = std::move(slots_);
        slots_.assign(old.empty() ? 1024 : 2 * old.size(), 0);
        for (std::uint64_t slot : old) {
            if (slot != 0) {
                Place(hashes_[Index(slot)], Index(slot));
            }
        }
    }

    std::vector<std::uint64_t> slots_;
    std::vector<std::uint64_t> hashes_; // by index, to place them again when the table grows
    std::size_t count_ = 0;
};

} // namespace quillon::xls
