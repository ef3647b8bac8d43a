#include "crypto/idea.h"

#include "crypto/md5.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <istream>
#include <ostream>
#include <system_error>

namespace {

// Multiplication modulo 65537 where the word 0 stands for 65536. A zero product means one
// factor was 0 (65536), and then the result is 1 - a - b; otherwise lo - hi reduces the
// product without a division, adding 1 back (65537 = 65536 + 1) when it went below zero.
// Written without branches: which case applies depends on the data, and the block
// function spends most of its time here.
inline std::uint32_t Mul(std::uint32_t a, std::uint32_t b) {
    const std::uint32_t p = a * b;
    const std::uint32_t r = (p & 0xFFFF) - (p >> 16);
    const std::uint32_t reduced = r + (r >> 31);
    return (p != 0 ? reduced : 1 - a - b) & 0xFFFF;
}

// Fermat: x^(p-2) mod p with p = 65537; 0 (65536) is its own inverse.
std::uint16_t MulInverse(std::uint16_t x) {
    if (x <= 1) {
        return x;
    }
    std::uint64_t result = 1, base = x;
    for (std::uint32_t e = 65535; e != 0; e >>= 1) {
        if (e & 1) {
            result = result * base % 65537;
        }
        base = base * base % 65537;
    }
    return static_cast<std::uint16_t>(result);
}

std::uint16_t AddInverse(std::uint16_t x) {
    return static_cast<std::uint16_t>(0x10000 - x);
}

std::uint64_t LoadLittleEndian64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big) {
        v = __builtin_bswap64(v);
    }
    return v;
}

void StoreLittleEndian64(std::uint64_t v, std::uint8_t* p) {
    if constexpr (std::endian::native == std::endian::big) {
        v = __builtin_bswap64(v);
    }
    std::memcpy(p, &v, sizeof v);
}

// Enciphers up to 1016 plain bytes into one whole cipher record. Only the last block can
// be partial; it is padded with zero bytes.
void EncipherRecord(const IdeaSubkeys& subkeys, const std::uint8_t* plain, std::size_t n,
                    std::uint8_t* record) {
    StoreLittleEndian64(n + kIdeaRecordHeader, record);
    const std::size_t whole = n / kIdeaBlockSize * kIdeaBlockSize;
    std::uint8_t* out = record + kIdeaRecordHeader;
    IdeaCipherBlocks(subkeys, plain, out, whole / kIdeaBlockSize);
    std::size_t end = whole;
    if (whole < n) {
        std::uint8_t block[kIdeaBlockSize] = {};
        std::memcpy(block, plain + whole, n - whole);
        IdeaCipherBlock(subkeys, block, out + whole);
        end += kIdeaBlockSize;
    }
    std::memset(out + end, 0, kIdeaRecordPayload - end);
}

// Deciphers one whole record into at most 1016 bytes. Only blocks the count field covers
// are read, and a count the encipherment cannot write refuses the record.
IdeaResult DecipherRecord(const IdeaSubkeys& subkeys, const std::uint8_t* record,
                          std::uint8_t* plain, std::size_t& n) {
    const std::uint64_t count = LoadLittleEndian64(record);
    if (count < kIdeaRecordHeader + 1 || count > kIdeaRecordSize) {
        return {IdeaError::BadRecord, "count field " + std::to_string(count)};
    }
    n = static_cast<std::size_t>(count - kIdeaRecordHeader);
    IdeaCipherBlocks(subkeys, record + kIdeaRecordHeader, plain,
                     (n + kIdeaBlockSize - 1) / kIdeaBlockSize);
    return {};
}

// Reads as many bytes as the stream gives, up to size.
IdeaResult ReadUpTo(std::istream& in, std::uint8_t* buffer, std::size_t size, std::size_t& n) {
    in.read(reinterpret_cast<char*>(buffer), static_cast<std::streamsize>(size));
    n = static_cast<std::size_t>(in.gcount());
    if (in.bad()) {
        return {IdeaError::ReadFailed, "read failed"};
    }
    return {};
}

IdeaResult WriteAll(std::ostream& out, const std::uint8_t* data, std::size_t size) {
    if (!out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size))) {
        return {IdeaError::WriteFailed, std::strerror(errno ? errno : EIO)};
    }
    return {};
}

using StreamRoutine = IdeaResult (*)(std::istream&, std::ostream&, const IdeaKey&);

// Opens both files, runs the routine, and removes the output unless everything reached it.
IdeaResult RunOnFiles(const std::filesystem::path& inPath, const std::filesystem::path& outPath,
                      const IdeaKey& key, StreamRoutine routine) {
    std::ifstream in(inPath, std::ios::binary);
    if (!in) {
        return {IdeaError::CannotOpenInput, std::strerror(errno ? errno : ENOENT)};
    }
    errno = 0;
    std::ofstream out(outPath, std::ios::binary | std::ios::trunc);
    if (!out) {
        return {IdeaError::CannotCreateOutput, std::strerror(errno ? errno : EACCES)};
    }
    IdeaResult result = routine(in, out, key);
    errno = 0;
    out.close();
    if (result && out.fail()) {
        result = {IdeaError::WriteFailed, std::strerror(errno ? errno : EIO)};
    }
    if (!result) {
        // Only a file we made is removed; a device or FIFO named as output stays.
        std::error_code ignored;
        if (std::filesystem::is_regular_file(std::filesystem::symlink_status(outPath, ignored))) {
            std::filesystem::remove(outPath, ignored);
        }
    }
    return result;
}

} // namespace

IdeaKey IdeaKeyFromPassword(std::string_view password) {
    MD5_CTX md5;
    md5.Update(reinterpret_cast<const unsigned char*>(password.data()),
               static_cast<unsigned>(password.size()));
    unsigned char digest[16];
    md5.Final(digest);
    IdeaKey key{};
    for (std::size_t i = 0; i < key.size(); ++i) {
        key[i] = static_cast<std::uint16_t>(digest[2 * i] << 8 | digest[2 * i + 1]);
    }
    return key;
}

IdeaSubkeys IdeaEncryptionSubkeys(const IdeaKey& key) {
    IdeaSubkeys z{};
    // The 128-bit key as two halves, rotated left by 25 bits after every eight words.
    std::uint64_t hi = 0, lo = 0;
    for (int i = 0; i < 4; ++i) {
        hi = hi << 16 | key[i];
        lo = lo << 16 | key[i + 4];
    }
    for (std::size_t i = 0; i < z.size(); ++i) {
        const std::size_t word = i % 8;
        const std::uint64_t half = word < 4 ? hi : lo;
        z[i] = static_cast<std::uint16_t>(half >> (48 - 16 * (word % 4)));
        if (word == 7) {
            const std::uint64_t newHi = hi << 25 | lo >> 39;
            lo = lo << 25 | hi >> 39;
            hi = newHi;
        }
    }
    return z;
}

IdeaSubkeys IdeaDecryptionSubkeys(const IdeaSubkeys& z) {
    IdeaSubkeys d{};
    // Round r of decryption undoes round 9 - r of encryption; the first and last use the
    // output transformation's subkeys unswapped, the seven middle ones swap the additions.
    for (int r = 0; r <= 8; ++r) {
        const int from = 48 - 6 * r;
        const bool swap = r != 0 && r != 8;
        d[6 * r] = MulInverse(z[from]);
        d[6 * r + 1] = AddInverse(z[from + (swap ? 2 : 1)]);
        d[6 * r + 2] = AddInverse(z[from + (swap ? 1 : 2)]);
        d[6 * r + 3] = MulInverse(z[from + 3]);
        if (r < 8) {
            d[6 * r + 4] = z[from - 2];
            d[6 * r + 5] = z[from - 1];
        }
    }
    return d;
}

namespace {

// N blocks side by side. One block is a chain of dependent multiplications; independent
// blocks in the same loop keep the processor's multipliers busy and let the compiler use
// vector instructions, which is what brings the file routines to libgcrypt's speed.
template <std::size_t N>
void CipherLanes(const IdeaSubkeys& k, const std::uint8_t* in, std::uint8_t* out) {
    std::uint32_t x1[N], x2[N], x3[N], x4[N];
    for (std::size_t i = 0; i < N; ++i) {
        const std::uint64_t v = LoadLittleEndian64(in + 8 * i);
        x1[i] = static_cast<std::uint16_t>(v >> 48);
        x2[i] = static_cast<std::uint16_t>(v >> 32);
        x3[i] = static_cast<std::uint16_t>(v >> 16);
        x4[i] = static_cast<std::uint16_t>(v);
    }
    const std::uint16_t* z = k.data();
    for (int round = 0; round < 8; ++round, z += 6) {
        for (std::size_t i = 0; i < N; ++i) {
            const std::uint32_t a = Mul(x1[i], z[0]);
            const std::uint32_t b = (x2[i] + z[1]) & 0xFFFF;
            const std::uint32_t c = (x3[i] + z[2]) & 0xFFFF;
            const std::uint32_t d = Mul(x4[i], z[3]);
            const std::uint32_t s = Mul(a ^ c, z[4]);
            const std::uint32_t t = Mul(((b ^ d) + s) & 0xFFFF, z[5]);
            const std::uint32_t u = (s + t) & 0xFFFF;
            x1[i] = a ^ t;
            x4[i] = d ^ u;
            // The two middle words trade places.
            x2[i] = c ^ t;
            x3[i] = b ^ u;
        }
    }
    for (std::size_t i = 0; i < N; ++i) {
        // The last round's exchange is undone: x3 and x2 trade places again.
        const std::uint64_t y1 = Mul(x1[i], z[0]);
        const std::uint64_t y2 = (x3[i] + z[1]) & 0xFFFF;
        const std::uint64_t y3 = (x2[i] + z[2]) & 0xFFFF;
        const std::uint64_t y4 = Mul(x4[i], z[3]);
        StoreLittleEndian64(y1 << 48 | y2 << 32 | y3 << 16 | y4, out + 8 * i);
    }
}

constexpr std::size_t kLanes = 8;

} // namespace

void IdeaCipherBlock(const IdeaSubkeys& k, const std::uint8_t* in, std::uint8_t* out) {
    CipherLanes<1>(k, in, out);
}

void IdeaCipherBlocks(const IdeaSubkeys& k, const std::uint8_t* in, std::uint8_t* out,
                      std::size_t blocks) {
    std::size_t i = 0;
    for (; i + kLanes <= blocks; i += kLanes) {
        CipherLanes<kLanes>(k, in + 8 * i, out + 8 * i);
    }
    for (; i < blocks; ++i) {
        CipherLanes<1>(k, in + 8 * i, out + 8 * i);
    }
}

void IdeaEncryptBlock(const IdeaKey& key, const std::uint8_t* in, std::uint8_t* out) {
    IdeaCipherBlock(IdeaEncryptionSubkeys(key), in, out);
}

void IdeaDecryptBlock(const IdeaKey& key, const std::uint8_t* in, std::uint8_t* out) {
    IdeaCipherBlock(IdeaDecryptionSubkeys(IdeaEncryptionSubkeys(key)), in, out);
}

IdeaResult IdeaEncryptStream(std::istream& in, std::ostream& out, const IdeaKey& key) {
    const IdeaSubkeys subkeys = IdeaEncryptionSubkeys(key);
    std::uint8_t plain[kIdeaRecordPayload];
    std::uint8_t record[kIdeaRecordSize];
    for (;;) {
        std::size_t n = 0;
        if (IdeaResult read = ReadUpTo(in, plain, sizeof plain, n); !read) {
            return read;
        }
        if (n == 0) {
            return {};
        }
        EncipherRecord(subkeys, plain, n, record);
        if (IdeaResult written = WriteAll(out, record, sizeof record); !written) {
            return written;
        }
    }
}

IdeaResult IdeaDecryptStream(std::istream& in, std::ostream& out, const IdeaKey& key) {
    const IdeaSubkeys subkeys = IdeaDecryptionSubkeys(IdeaEncryptionSubkeys(key));
    std::uint8_t record[kIdeaRecordSize];
    std::uint8_t plain[kIdeaRecordPayload];
    for (;;) {
        std::size_t got = 0;
        if (IdeaResult read = ReadUpTo(in, record, sizeof record, got); !read) {
            return read;
        }
        if (got < sizeof record) {
            return {};
        }
        std::size_t n = 0;
        if (IdeaResult deciphered = DecipherRecord(subkeys, record, plain, n); !deciphered) {
            return deciphered;
        }
        if (IdeaResult written = WriteAll(out, plain, n); !written) {
            return written;
        }
    }
}

std::string IdeaEncryptBytes(std::string_view plain, const IdeaKey& key) {
    const IdeaSubkeys subkeys = IdeaEncryptionSubkeys(key);
    const std::size_t records = (plain.size() + kIdeaRecordPayload - 1) / kIdeaRecordPayload;
    std::string enciphered(records * kIdeaRecordSize, '\0');
    auto* in = reinterpret_cast<const std::uint8_t*>(plain.data());
    auto* out = reinterpret_cast<std::uint8_t*>(enciphered.data());
    for (std::size_t i = 0; i < records; ++i) {
        const std::size_t offset = i * kIdeaRecordPayload;
        const std::size_t n = std::min(kIdeaRecordPayload, plain.size() - offset);
        EncipherRecord(subkeys, in + offset, n, out + i * kIdeaRecordSize);
    }
    return enciphered;
}

IdeaResult IdeaDecryptBytes(std::string_view enciphered, const IdeaKey& key, std::string& plain) {
    const IdeaSubkeys subkeys = IdeaDecryptionSubkeys(IdeaEncryptionSubkeys(key));
    const std::size_t records = enciphered.size() / kIdeaRecordSize;
    plain.assign(records * kIdeaRecordPayload, '\0');
    auto* in = reinterpret_cast<const std::uint8_t*>(enciphered.data());
    auto* out = reinterpret_cast<std::uint8_t*>(plain.data());
    std::size_t used = 0;
    for (std::size_t i = 0; i < records; ++i) {
        std::size_t n = 0;
        IdeaResult result = DecipherRecord(subkeys, in + i * kIdeaRecordSize, out + used, n);
        if (!result) {
            plain.resize(used);
            return result;
        }
        used += n;
    }
    plain.resize(used);
    return {};
}

IdeaResult IdeaEncryptFile(const std::filesystem::path& in, const std::filesystem::path& out,
                           const IdeaKey& key) {
    return RunOnFiles(in, out, key, IdeaEncryptStream);
}

IdeaResult IdeaDecryptFile(const std::filesystem::path& in, const std::filesystem::path& out,
                           const IdeaKey& key) {
    return RunOnFiles(in, out, key, IdeaDecryptStream);
}
