#include "crypto/idea.h"
#include "platform/text.h"
#include "tests/support/temp_dir.h"

#include <gcrypt.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <random>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

using Block = std::array<std::uint8_t, 8>;

Block FromHex(const std::string& hex) {
    Block b{};
    for (std::size_t i = 0; i < b.size(); ++i) {
        b[i] = static_cast<std::uint8_t>(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
    }
    return b;
}

IdeaKey KeyFromHex(const std::string& hex) {
    IdeaKey key{};
    for (std::size_t i = 0; i < key.size(); ++i) {
        key[i] = static_cast<std::uint16_t>(std::stoul(hex.substr(4 * i, 4), nullptr, 16));
    }
    return key;
}

Block Reversed(Block b) {
    std::reverse(b.begin(), b.end());
    return b;
}

// The published cipher on a block written in the published byte order, through this
// system's rule: reverse, encipher, reverse back.
Block PublishedEncrypt(const IdeaKey& key, const Block& plain) {
    const Block in = Reversed(plain);
    Block out{};
    IdeaEncryptBlock(key, in.data(), out.data());
    return Reversed(out);
}

Block PublishedDecrypt(const IdeaKey& key, const Block& cipher) {
    const Block in = Reversed(cipher);
    Block out{};
    IdeaDecryptBlock(key, in.data(), out.data());
    return Reversed(out);
}

struct PublishedVector {
    const char* name;
    const char* key;
    const char* plain;
    const char* cipher;
};

const PublishedVector kPublished[] = {
    {"LaiMassey", "00010002000300040005000600070008", "0000000100020003", "11FBED2B01986DE5"},
    {"AscendingKeyFirst", "00112233445566778899AABBCCDDEEFF", "0001020304050607",
     "ED732271A7B39F47"},
    {"AscendingKeySecond", "00112233445566778899AABBCCDDEEFF", "08090A0B0C0D0E0F",
     "5B4B2B6719F194BF"},
    {"AscendingKeyHigh", "00112233445566778899AABBCCDDEEFF", "F0F1F2F3F4F5F6F7",
     "B8BC6ED5C899265D"},
};

TEST(IdeaBlock, PublishedVectorsThroughTheByteOrderRule) {
    for (const PublishedVector& v : kPublished) {
        SCOPED_TRACE(v.name);
        const IdeaKey key = KeyFromHex(v.key);
        EXPECT_EQ(PublishedEncrypt(key, FromHex(v.plain)), FromHex(v.cipher));
        EXPECT_EQ(PublishedDecrypt(key, FromHex(v.cipher)), FromHex(v.plain));
    }
}

TEST(IdeaBlock, ByteSevenIsTheHighByteOfTheFirstWord) {
    // Without the reversal the published vector does not come out: the rule is real.
    const IdeaKey key = KeyFromHex(kPublished[0].key);
    const Block plain = FromHex(kPublished[0].plain);
    Block out{};
    IdeaEncryptBlock(key, plain.data(), out.data());
    EXPECT_NE(out, FromHex(kPublished[0].cipher));
    EXPECT_EQ(Reversed(out), PublishedEncrypt(key, Reversed(plain)));
}

class Gcrypt {
public:
    explicit Gcrypt(int mode = GCRY_CIPHER_MODE_ECB) {
        gcry_check_version(nullptr);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        EXPECT_EQ(gcry_cipher_open(&h_, GCRY_CIPHER_IDEA, mode, 0), 0u);
    }
    ~Gcrypt() { gcry_cipher_close(h_); }
    void SetKey(const IdeaKey& key) {
        std::uint8_t bytes[16];
        for (int i = 0; i < 8; ++i) {
            bytes[2 * i] = static_cast<std::uint8_t>(key[i] >> 8);
            bytes[2 * i + 1] = static_cast<std::uint8_t>(key[i]);
        }
        ASSERT_EQ(gcry_cipher_setkey(h_, bytes, sizeof bytes), 0u);
    }
    Block Encrypt(const Block& in) {
        Block out{};
        EXPECT_EQ(gcry_cipher_encrypt(h_, out.data(), out.size(), in.data(), in.size()), 0u);
        return out;
    }
    Block Decrypt(const Block& in) {
        Block out{};
        EXPECT_EQ(gcry_cipher_decrypt(h_, out.data(), out.size(), in.data(), in.size()), 0u);
        return out;
    }

    gcry_cipher_hd_t Handle() const { return h_; }

private:
    gcry_cipher_hd_t h_ = nullptr;
};

TEST(IdeaBlock, AgreesWithLibgcryptOnRandomKeysAndBlocks) {
    std::mt19937_64 random(20261208);
    Gcrypt peer;
    for (int keys = 0; keys < 200; ++keys) {
        IdeaKey key{};
        for (auto& w : key) {
            // Zero words exercise the 0-means-65536 rule in the schedule and its inverses.
            w = random() % 8 == 0 ? 0 : static_cast<std::uint16_t>(random());
        }
        peer.SetKey(key);
        for (int blocks = 0; blocks < 20; ++blocks) {
            Block plain{};
            for (auto& b : plain) {
                b = random() % 5 == 0 ? 0 : static_cast<std::uint8_t>(random());
            }
            const Block cipher = peer.Encrypt(plain);
            ASSERT_EQ(PublishedEncrypt(key, plain), cipher);
            ASSERT_EQ(PublishedDecrypt(key, cipher), plain);
            ASSERT_EQ(peer.Decrypt(plain), PublishedDecrypt(key, plain));
        }
    }
}

TEST(IdeaBlock, ManyBlocksAtOnceAgreeWithLibgcryptEcb) {
    // The file routines encipher several blocks side by side; every count up to a record
    // and a few more goes through each of those paths.
    std::mt19937_64 random(42);
    Gcrypt peer;
    IdeaKey key{};
    for (auto& w : key) {
        w = static_cast<std::uint16_t>(random());
    }
    peer.SetKey(key);
    const IdeaSubkeys subkeys = IdeaEncryptionSubkeys(key);
    for (std::size_t blocks = 1; blocks <= 130; ++blocks) {
        std::vector<std::uint8_t> plain(8 * blocks), ours(8 * blocks), reversed(8 * blocks);
        for (auto& b : plain) {
            b = static_cast<std::uint8_t>(random());
        }
        IdeaCipherBlocks(subkeys, plain.data(), ours.data(), blocks);
        for (std::size_t i = 0; i < plain.size(); ++i) {
            reversed[i] = plain[i / 8 * 8 + 7 - i % 8];
        }
        ASSERT_EQ(gcry_cipher_encrypt(peer.Handle(), reversed.data(), reversed.size(), nullptr, 0),
                  0u);
        for (std::size_t i = 0; i < plain.size(); ++i) {
            ASSERT_EQ(ours[i], reversed[i / 8 * 8 + 7 - i % 8]) << blocks << " blocks, byte " << i;
        }
    }
}

TEST(IdeaKey, IsTheMd5DigestOfThePasswordBytesHighByteFirst) {
    // MD5("") = D41D8CD98F00B204E9800998ECF8427E
    EXPECT_EQ(IdeaKeyFromPassword(""), KeyFromHex("D41D8CD98F00B204E9800998ECF8427E"));
    // MD5("abc") = 900150983CD24FB0D6963F7D28E17F72
    EXPECT_EQ(IdeaKeyFromPassword("abc"), KeyFromHex("900150983CD24FB0D6963F7D28E17F72"));
    // The same characters in UTF-8 are other bytes, so another key.
    EXPECT_NE(IdeaKeyFromPassword(Gb18030("密码口令")), IdeaKeyFromPassword("密码口令"));
    EXPECT_EQ(Gb18030("密码").size(), 4u);
}

std::string Pattern(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) {
        s[i] = static_cast<char>(i * 131 + 7);
    }
    return s;
}

std::uint64_t CountField(const std::string& enciphered, std::size_t record) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) {
        v = v << 8 | static_cast<std::uint8_t>(enciphered[record * kIdeaRecordSize + i]);
    }
    return v;
}

const IdeaKey kKey = IdeaKeyFromPassword("quillon2026");

TEST(IdeaRecords, LayoutOfOneByteAndOfTheRecordBoundary) {
    struct Case {
        const char* name;
        std::size_t length;
        std::vector<std::uint64_t> counts;
    };
    const Case cases[] = {
        {"Empty", 0, {}},
        {"OneByte", 1, {9}},
        {"OneBlock", 8, {16}},
        {"OneFullRecord", 1016, {1024}},
        {"OneMoreThanARecord", 1017, {1024, 9}},
        {"TwoFullRecords", 2032, {1024, 1024}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string e = IdeaEncryptBytes(Pattern(c.length), kKey);
        ASSERT_EQ(e.size(), c.counts.size() * kIdeaRecordSize);
        for (std::size_t r = 0; r < c.counts.size(); ++r) {
            EXPECT_EQ(CountField(e, r), c.counts[r]);
        }
    }
    // One byte: its block is the byte and seven zeros, and nothing else is enciphered.
    const std::string e = IdeaEncryptBytes(std::string(1, '\x5A'), kKey);
    const std::uint8_t block[8] = {0x5A, 0, 0, 0, 0, 0, 0, 0};
    std::uint8_t expected[8];
    IdeaEncryptBlock(kKey, block, expected);
    EXPECT_EQ(e.substr(8, 8), std::string(reinterpret_cast<char*>(expected), 8));
    EXPECT_EQ(e.substr(16), std::string(kIdeaRecordSize - 16, '\0'));
}

TEST(IdeaRecords, EveryLengthUpToThreeRecordsComesBackByteForByte) {
    for (std::size_t n = 0; n <= 3 * kIdeaRecordPayload + 9; ++n) {
        const std::string plain = Pattern(n);
        std::string back;
        ASSERT_TRUE(IdeaDecryptBytes(IdeaEncryptBytes(plain, kKey), kKey, back)) << n;
        ASSERT_EQ(back, plain) << n;
    }
}

TEST(IdeaRecords, StreamsGiveTheSameBytesAsMemory) {
    for (std::size_t n : {0u, 1u, 1016u, 1017u, 5000u}) {
        const std::string plain = Pattern(n);
        std::istringstream in(plain);
        std::ostringstream out;
        ASSERT_TRUE(IdeaEncryptStream(in, out, kKey));
        EXPECT_EQ(out.str(), IdeaEncryptBytes(plain, kKey)) << n;
        std::istringstream back(out.str());
        std::ostringstream plainOut;
        ASSERT_TRUE(IdeaDecryptStream(back, plainOut, kKey));
        EXPECT_EQ(plainOut.str(), plain) << n;
    }
}

TEST(IdeaRecords, DeciphermentEdgeCases) {
    const std::string plain = Pattern(2500);
    const std::string e = IdeaEncryptBytes(plain, kKey);
    std::string out;

    // Bytes after the last whole record are not a record and are ignored.
    ASSERT_TRUE(IdeaDecryptBytes(e + std::string(1023, '\x7F'), kKey, out));
    EXPECT_EQ(out, plain);

    // Another key is not detected: right length, other bytes.
    ASSERT_TRUE(IdeaDecryptBytes(e, IdeaKeyFromPassword("quillon2027"), out));
    EXPECT_EQ(out.size(), plain.size());
    EXPECT_NE(out, plain);

    // A count field the encipherment never writes ends the run after the good records.
    struct BadCount {
        const char* name;
        std::uint64_t count;
    };
    for (const BadCount c : {BadCount{"Zero", 0}, BadCount{"EightIsEmpty", 8},
                             BadCount{"OneOver", 1025}, BadCount{"Huge", ~0ull}}) {
        SCOPED_TRACE(c.name);
        std::string damaged = e;
        for (int i = 0; i < 8; ++i) {
            damaged[kIdeaRecordSize + i] = static_cast<char>(c.count >> (8 * i));
        }
        const IdeaResult r = IdeaDecryptBytes(damaged, kKey, out);
        EXPECT_EQ(r.error, IdeaError::BadRecord);
        EXPECT_EQ(r.Code(), 1);
        EXPECT_EQ(out, plain.substr(0, kIdeaRecordPayload));
    }
}

TEST(IdeaFiles, RoundTripsAndTheEmptyFile) {
    TempDir dir;
    for (std::size_t n : {0u, 1u, 1016u, 1017u, 3100u}) {
        SCOPED_TRACE(n);
        WriteFileBytes(dir / "plain", Pattern(n));
        ASSERT_EQ(IdeaEncryptFile(dir / "plain", dir / "enc", kKey).Code(), 0);
        EXPECT_EQ(ReadFileBytes(dir / "enc"), IdeaEncryptBytes(Pattern(n), kKey));
        ASSERT_EQ(IdeaDecryptFile(dir / "enc", dir / "back", kKey).Code(), 0);
        EXPECT_EQ(ReadFileBytes(dir / "back"), Pattern(n));
    }
}

TEST(IdeaFiles, FailuresLeaveNoOutput) {
    TempDir dir;
    struct Case {
        const char* name;
        std::string input; // empty name: no input file at all
        bool decrypt;
        IdeaError error;
    };
    std::string badRecord = IdeaEncryptBytes(Pattern(2000), kKey);
    // The second record's count field says "empty", which the encipherment never writes.
    badRecord.replace(kIdeaRecordSize, 8, std::string("\x08\0\0\0\0\0\0\0", 8));
    const Case cases[] = {
        {"MissingInputEncrypt", "", false, IdeaError::CannotOpenInput},
        {"MissingInputDecrypt", "", true, IdeaError::CannotOpenInput},
        {"BadCountField", badRecord, true, IdeaError::BadRecord},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::filesystem::path in = dir / "in", out = dir / "out";
        std::filesystem::remove(in);
        if (!c.input.empty()) {
            WriteFileBytes(in, c.input);
        }
        const IdeaResult r =
            c.decrypt ? IdeaDecryptFile(in, out, kKey) : IdeaEncryptFile(in, out, kKey);
        EXPECT_EQ(r.error, c.error);
        EXPECT_EQ(r.Code(), 1);
        EXPECT_FALSE(std::filesystem::exists(out));
    }
    // An output that cannot be created is reported as such.
    WriteFileBytes(dir / "in", "x");
    EXPECT_EQ(IdeaEncryptFile(dir / "in", dir / "no-such-folder" / "out", kKey).error,
              IdeaError::CannotCreateOutput);
}

// A file size limit makes the write stop part way, as a full disk does.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

TEST(IdeaFiles, ShortWriteFailsAndRemovesTheOutput) {
    TempDir dir;
    WriteFileBytes(dir / "plain", Pattern(100000));
    const std::string enciphered = IdeaEncryptBytes(Pattern(100000), kKey);
    WriteFileBytes(dir / "enc", enciphered);
    {
        FileSizeLimit limit(10000);
        EXPECT_EQ(IdeaEncryptFile(dir / "plain", dir / "out", kKey).error, IdeaError::WriteFailed);
        EXPECT_FALSE(std::filesystem::exists(dir / "out"));
        EXPECT_EQ(IdeaDecryptFile(dir / "enc", dir / "out", kKey).error, IdeaError::WriteFailed);
        EXPECT_FALSE(std::filesystem::exists(dir / "out"));
    }
}

} // namespace
