#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <string>
#include <string_view>

// IDEA (64-bit blocks, 128-bit key, eight rounds) as published, with this system's two
// conventions: the key is the MD5 digest of the password, and a block's 8 bytes are taken
// in reverse (byte 7 is the high byte of the cipher's first word). Packages made by every
// installation depend on both, so neither may change.

// Key words K1..K8, K1 the most significant, as the published cipher reads a 128-bit key.
using IdeaKey = std::array<std::uint16_t, 8>;
// Z1..Z52 for one direction.
using IdeaSubkeys = std::array<std::uint16_t, 52>;

inline constexpr std::size_t kIdeaBlockSize = 8;

// The MD5 digest of the password's bytes (GB18030, as typed; no terminator), high byte first.
IdeaKey IdeaKeyFromPassword(std::string_view password);

IdeaSubkeys IdeaEncryptionSubkeys(const IdeaKey& key);
// The published inversion: multiplicative and additive inverses in reverse round order.
IdeaSubkeys IdeaDecryptionSubkeys(const IdeaSubkeys& encryption);

// One block with prepared subkeys, in this system's byte order; in and out may be the
// same buffer. The file routines use this so the schedule is made once per file.
void IdeaCipherBlock(const IdeaSubkeys& subkeys, const std::uint8_t* in, std::uint8_t* out);
// Consecutive blocks, each on its own (no chaining); in and out may be the same buffer.
void IdeaCipherBlocks(const IdeaSubkeys& subkeys, const std::uint8_t* in, std::uint8_t* out,
                      std::size_t blocks);

// One block under a key; these derive the subkeys on every call.
void IdeaEncryptBlock(const IdeaKey& key, const std::uint8_t* in, std::uint8_t* out);
void IdeaDecryptBlock(const IdeaKey& key, const std::uint8_t* in, std::uint8_t* out);

// The enciphered file: 1024-byte cipher records, each an unenciphered count field (payload
// bytes + 8, little-endian 64-bit) followed by the payload's blocks, zero-padded.
inline constexpr std::size_t kIdeaRecordSize = 1024;
inline constexpr std::size_t kIdeaRecordHeader = 8;
inline constexpr std::size_t kIdeaRecordPayload = kIdeaRecordSize - kIdeaRecordHeader;

enum class IdeaError {
    None,
    CannotOpenInput,
    CannotCreateOutput,
    ReadFailed,
    WriteFailed, // a short or failed write, or a failed close
    BadRecord,   // a count field outside 9..1024: not something the encipherment writes
};

struct IdeaResult {
    IdeaError error = IdeaError::None;
    std::string detail;

    bool ok() const { return error == IdeaError::None; }
    explicit operator bool() const { return ok(); }
    // The system's integer result: 0 on success, 1 on any failure.
    int Code() const { return ok() ? 0 : 1; }
};

// Streams go record by record through fixed buffers; memory does not grow with the data.
IdeaResult IdeaEncryptStream(std::istream& in, std::ostream& out, const IdeaKey& key);
// A trailing partial record (fewer than 1024 bytes) is ignored. A bad count field ends
// the run with BadRecord; what was deciphered before it has been written.
IdeaResult IdeaDecryptStream(std::istream& in, std::ostream& out, const IdeaKey& key);

std::string IdeaEncryptBytes(std::string_view plain, const IdeaKey& key);
IdeaResult IdeaDecryptBytes(std::string_view enciphered, const IdeaKey& key, std::string& plain);

// On any failure the output is removed, so no partial file is mistaken for a whole one. A
// missing input fails before the output is created.
IdeaResult IdeaEncryptFile(const std::filesystem::path& in, const std::filesystem::path& out,
                           const IdeaKey& key);
IdeaResult IdeaDecryptFile(const std::filesystem::path& in, const std::filesystem::path& out,
                           const IdeaKey& key);
