// The compound file (OLE2 structured storage) that holds a .xls workbook's streams.
//
// This is the one place that knows the container. Everything works on bytes in memory:
// the readers and the writer hand it a whole file and get streams back, or hand it
// streams and get a whole file back.
#pragma once

#include "exchange/bytes.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::xls {

enum class ContainerError {
    None,
    NotCompound,  // the bytes are no compound file
    Damaged,      // a compound file whose directory or sectors cannot be followed
    NoSuchStream, // no stream of that name in the root storage
    WriteFailed,
};

// A stream, or a storage with children, as found in or written to a compound file.
struct CompoundEntry {
    std::string name;
    bool storage = false;
    std::vector<std::uint8_t> bytes;     // a stream's contents
    std::vector<CompoundEntry> children; // a storage's entries, in the order found
    std::array<std::uint8_t, 16> classId{};
};

struct CompoundResult {
    ContainerError error = ContainerError::None;
    std::string detail;
    CompoundEntry root;
    explicit operator bool() const { return error == ContainerError::None; }
};

struct BytesResult {
    ContainerError error = ContainerError::None;
    std::string detail;
    std::vector<std::uint8_t> bytes;
    explicit operator bool() const { return error == ContainerError::None; }
};

// True when the bytes begin with the compound file signature.
bool LooksLikeCompoundFile(ByteSpan file);

// A compound file's directory, read once; a stream is read only when asked for. Names match
// without regard to case, as the format has it. The file's bytes must outlive it.
class CompoundDirectory {
public:
    explicit CompoundDirectory(ByteSpan file);
    ~CompoundDirectory();
    CompoundDirectory(const CompoundDirectory&) = delete;
    CompoundDirectory& operator=(const CompoundDirectory&) = delete;

    explicit operator bool() const { return opened_ != nullptr; }
    ContainerError Error() const { return error_; }
    const std::string& Detail() const { return detail_; }

    // True when the root storage has an entry (stream or storage) of that name.
    bool Has(std::string_view name) const;
    // One stream of the root storage, the other entries left unread.
    BytesResult Stream(std::string_view name) const;
    // Every stream and storage, read whole. Streams that add up to more than the file can
    // hold (entries sharing sectors) make the file Damaged rather than be read again.
    CompoundResult ReadAll() const;

private:
    struct Opened;
    ByteSpan file_;
    std::unique_ptr<Opened> opened_;
    ContainerError error_ = ContainerError::None;
    std::string detail_;
};

// Every stream and storage of the file, read whole, as CompoundDirectory::ReadAll.
CompoundResult ReadCompoundFile(ByteSpan file);
// One stream of the root storage, read alone.
BytesResult ReadCompoundStream(ByteSpan file, std::string_view name);
// The entry of that name among a storage's children, or null.
const CompoundEntry* FindEntry(const CompoundEntry& storage, std::string_view name);

// A compound file holding the entries under root (its name is ignored).
BytesResult WriteCompoundFile(const CompoundEntry& root);

// Streams below this size go into the container's mini stream, which some readers of
// workbooks do not look in for the Workbook stream; a workbook is padded up to it.
inline constexpr std::size_t kMiniStreamCutoff = 4096;

// The file again with one root stream's contents replaced and every other stream and
// storage kept. The new contents are padded with zeros up to `minimumSize`.
BytesResult ReplaceCompoundStream(ByteSpan file, std::string_view name, ByteSpan contents,
                                  std::size_t minimumSize = 0);
// The entries of the file with that stream's contents replaced (taken over, not copied),
// ready for WriteCompoundFile or WriteCompoundFileTo.
CompoundResult ReplaceStreamIn(ByteSpan file, std::string_view name,
                               std::vector<std::uint8_t>&& contents, std::size_t minimumSize = 0);
// Writes the compound file straight into an open file; the descriptor stays open.
bool WriteCompoundFileTo(const CompoundEntry& root, int fd, std::string& why);

} // namespace quillon::xls
