#include "crypto/idea.h"

#include "crypto/md5.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <istream>
#include <ostream>
#include <system_error>

namespace {

// Multiplication modulo 65537 where the word 0 stands for 65536. A zero product means one
// factor was 0 (65536), and then the result is 1 - a - b; otherwise the low-high
// subtraction reduces the product without a division.
inline std::uint16_t Mul(std::uint32_t a, std::uint32_t b) {
    const std::uint32_t p = a * b;
    if (p == 0) {
        return static_cast<std::uint16_t>(1 - a - b);
    }
    const std::uint32_t lo = p & 0xFFFF;
    const std::uint32_t hi = p >> 16;
    return static_cast<std::uint16_t>(lo - hi + (lo < hi));
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
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) {
        v = v << 8 | p[i];
    }
    return v;
}

void StoreLittleEndian64(std::uint64_t v, std::uint8_t* p) {
    for (int i = 0; i < 8; ++i) {
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

// Enciphers up to 1016 plain bytes into one whole cipher record.
void EncipherRecord(const IdeaSubkeys& subkeys, const std::uint8_t* plain, std::size_t n,
                    std::uint8_t* record) {
    std::memset(record, 0, kIdeaRecordSize);
    StoreLittleEndian64(n + kIdeaRecordHeader, record);
    std::uint8_t block[kIdeaBlockSize];
    for (std::size_t offset = 0; offset < n; offset += kIdeaBlockSize) {
        const std::size_t take = n - offset < kIdeaBlockSize ? n - offset : kIdeaBlockSize;
        std::memset(block, 0, sizeof block);
        std::memcpy(block, plain + offset, take);
        IdeaCipherBlock(subkeys, block, record + kIdeaRecordHeader + offset);
    }
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
    for (std::size_t offset = 0; offset < n; offset += kIdeaBlockSize) {
        IdeaCipherBlock(subkeys, record + kIdeaRecordHeader + offset, plain + offset);
    }
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

void IdeaCipherBlock(const IdeaSubkeys& k, const std::uint8_t* in, std::uint8_t* out) {
    const std::uint64_t v = LoadLittleEndian64(in);
    std::uint32_t x1 = static_cast<std::uint16_t>(v >> 48);
    std::uint32_t x2 = static_cast<std::uint16_t>(v >> 32);
    std::uint32_t x3 = static_cast<std::uint16_t>(v >> 16);
    std::uint32_t x4 = static_cast<std::uint16_t>(v);
    const std::uint16_t* z = k.data();
    for (int round = 0; round < 8; ++round, z += 6) {
        x1 = Mul(x1, z[0]);
        x2 = (x2 + z[1]) & 0xFFFF;
        x3 = (x3 + z[2]) & 0xFFFF;
        x4 = Mul(x4, z[3]);
        const std::uint32_t s = Mul(x1 ^ x3, z[4]);
        const std::uint32_t t = Mul(((x2 ^ x4) + s) & 0xFFFF, z[5]);
        const std::uint32_t u = (s + t) & 0xFFFF;
        x1 ^= t;
        x4 ^= u;
        const std::uint32_t middle = x2 ^ u;
        x2 = x3 ^ t;
        x3 = middle;
    }
    // The last round's exchange is undone here: x3 and x2 trade places again.
    const std::uint64_t y1 = Mul(x1, z[0]);
    const std::uint64_t y2 = (x3 + z[1]) & 0xFFFF;
    const std::uint64_t y3 = (x2 + z[2]) & 0xFFFF;
    const std::uint64_t y4 = Mul(x4, z[3]);
    StoreLittleEndian64(y1 << 48 | y2 << 32 | y3 << 16 | y4, out);
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
