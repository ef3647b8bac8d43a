// Little-endian reading and writing of the binary formats the exchange code handles.
//
// Every offset and length in these formats comes from the file, so every read is
// checked against the end of the buffer. A read past the end does not happen: the
// reader fails instead, remembers why, and gives zeros from then on, so that a parser
// can read a whole fixed header and check once.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

using ByteSpan = std::span<const std::uint8_t>;

class ByteReader {
public:
    explicit ByteReader(ByteSpan data) : data_(data) {}

    // False once any read has failed; the reason says which read and where.
    bool Ok() const { return reason_.empty(); }
    const std::string& Reason() const { return reason_; }

    std::size_t Position() const { return pos_; }
    std::size_t Size() const { return data_.size(); }
    std::size_t Remaining() const { return data_.size() - pos_; }
    bool AtEnd() const { return pos_ == data_.size(); }

    // True when `count` more bytes can be read; fails the reader otherwise.
    bool Need(std::size_t count) {
        if (!Ok()) {
            return false;
        }
        if (count > Remaining()) {
            reason_ = "needed " + std::to_string(count) + " bytes at offset " +
                      std::to_string(pos_) + ", only " + std::to_string(Remaining()) + " left";
            return false;
        }
        return true;
    }

    bool Seek(std::size_t offset) {
        if (!Ok()) {
            return false;
        }
        if (offset > data_.size()) {
            reason_ = "offset " + std::to_string(offset) + " lies past the end (" +
                      std::to_string(data_.size()) + " bytes)";
            return false;
        }
        pos_ = offset;
        return true;
    }

    bool Skip(std::size_t count) {
        if (!Need(count)) {
            return false;
        }
        pos_ += count;
        return true;
    }

    std::uint8_t U8() { return Little<std::uint8_t>(); }
    std::uint16_t U16() { return Little<std::uint16_t>(); }
    std::uint32_t U32() { return Little<std::uint32_t>(); }
    std::uint64_t U64() { return Little<std::uint64_t>(); }
    std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
    double F64() { return std::bit_cast<double>(U64()); }

    // The next `count` bytes, or an empty span when there are fewer.
    ByteSpan Bytes(std::size_t count) {
        if (!Need(count)) {
            return {};
        }
        ByteSpan out = data_.subspan(pos_, count);
        pos_ += count;
        return out;
    }

    ByteSpan Rest() { return Bytes(Remaining()); }

private:
    template <typename T> T Little() {
        if (!Need(sizeof(T))) {
            return 0;
        }
        T value = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i) {
            value |= static_cast<T>(static_cast<T>(data_[pos_ + i]) << (8 * i));
        }
        pos_ += sizeof(T);
        return value;
    }

    ByteSpan data_;
    std::size_t pos_ = 0;
    std::string reason_;
};

// Appends little-endian values to a growing buffer; Patch* rewrites a value written
// earlier (a length or an offset known only later) and refuses one outside the buffer.
class ByteWriter {
public:
    void U8(std::uint8_t v) { bytes_.push_back(v); }
    void U16(std::uint16_t v) { Little(v); }
    void U32(std::uint32_t v) { Little(v); }
    void U64(std::uint64_t v) { Little(v); }
    void F64(double v) { Little(std::bit_cast<std::uint64_t>(v)); }
    void Reserve(std::size_t size) { bytes_.reserve(size); }
    void Bytes(ByteSpan data) { bytes_.insert(bytes_.end(), data.begin(), data.end()); }
    void Zeros(std::size_t count) { bytes_.insert(bytes_.end(), count, 0); }
    // UTF-16 code units as one byte each (all below 0x100) or as two, little-endian.
    void Narrow(std::u16string_view units) {
        const std::size_t at = bytes_.size();
        bytes_.resize(at + units.size());
        for (std::size_t i = 0; i < units.size(); ++i) {
            bytes_[at + i] = static_cast<std::uint8_t>(units[i]);
        }
    }
    void Wide(std::u16string_view units) {
        const std::size_t at = bytes_.size();
        bytes_.resize(at + 2 * units.size());
        for (std::size_t i = 0; i < units.size(); ++i) {
            bytes_[at + 2 * i] = static_cast<std::uint8_t>(units[i]);
            bytes_[at + 2 * i + 1] = static_cast<std::uint8_t>(units[i] >> 8);
        }
    }

    bool PatchU16(std::size_t offset, std::uint16_t v) { return Patch(offset, v); }
    bool PatchU32(std::size_t offset, std::uint32_t v) { return Patch(offset, v); }

    std::size_t Size() const { return bytes_.size(); }
    const std::vector<std::uint8_t>& Data() const { return bytes_; }
    std::vector<std::uint8_t> Take() { return std::move(bytes_); }

private:
    template <typename T> void Little(T v) {
        for (std::size_t i = 0; i < sizeof(T); ++i) {
            bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        }
    }
    template <typename T> bool Patch(std::size_t offset, T v) {
        if (offset > bytes_.size() || bytes_.size() - offset < sizeof(T)) {
            return false;
        }
        for (std::size_t i = 0; i < sizeof(T); ++i) {
            bytes_[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
        }
        return true;
    }

    std::vector<std::uint8_t> bytes_;
};

} // namespace quillon
