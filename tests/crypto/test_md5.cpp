#include "crypto/md5.h"
#include "crypto/my_md5.h"
#include "crypto/uiid.h"
#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string DigestWithContext(MD5_CTX& ctx, const std::string& text) {
    ctx.Update(reinterpret_cast<const unsigned char*>(text.data()),
               static_cast<unsigned>(text.size()));
    unsigned char digest[16];
    ctx.Final(digest);
    return ToUpperHex(digest, 16);
}

std::string ContextDigest(const std::string& text) {
    MD5_CTX ctx;
    return DigestWithContext(ctx, text);
}

struct Vector {
    const char* name;
    std::string input;
    std::string digest;
};

const std::vector<Vector> kVectors = {
    // RFC 1321 test suite
    {"Empty", "", "D41D8CD98F00B204E9800998ECF8427E"},
    {"A", "a", "0CC175B9C0F1B6A831C399E269772661"},
    {"Abc", "abc", "900150983CD24FB0D6963F7D28E17F72"},
    {"MessageDigest", "message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
    {"Alphabet", "abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
    {"Alphanumeric", "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "D174AB98D277D9F5A5611C2C9F419D9F"},
    {"EightyDigits",
     [] {
         std::string s;
         for (int i = 0; i < 8; ++i) {
             s += "1234567890";
         }
         return s;
     }(),
     "57EDF4A22BE3C955AC49DA2E2107B67A"},
    // Lengths around the padding boundary: from 56 bytes the length field needs a second block.
    {"Bytes55", std::string(55, 'a'), "EF1772B6DFF9A122358552954AD0DF65"},
    {"Bytes56", std::string(56, 'a'), "3B0C8AC703F828B04C6C197006D17218"},
    {"Bytes63", std::string(63, 'a'), "B06521F39153D618550606BE297466D5"},
    {"Bytes64", std::string(64, 'a'), "014842D480B571495A4A0363793F7367"},
    {"Bytes65", std::string(65, 'a'), "C743A45E0D2E6A95CB859ADAE0248435"},
};

class Md5Vector : public ::testing::TestWithParam<Vector> {};

TEST_P(Md5Vector, BothImplementationsGiveTheStandardDigest) {
    EXPECT_EQ(ContextDigest(GetParam().input), GetParam().digest);
    EXPECT_EQ(Md5HexString(GetParam().input.c_str()), GetParam().digest);
}

INSTANTIATE_TEST_SUITE_P(Standard, Md5Vector, ::testing::ValuesIn(kVectors),
                         [](const auto& info) { return std::string(info.param.name); });

class Md5Chunks : public ::testing::TestWithParam<std::size_t> {};

TEST_P(Md5Chunks, ContextGivesTheSameDigestWhateverTheUpdateSizes) {
    std::string data;
    for (int i = 0; i < 5; ++i) {
        for (int b = 0; b < 256; ++b) {
            data += static_cast<char>(b);
        }
    }
    {
        const std::size_t chunk = GetParam();
        MD5_CTX ctx;
        for (std::size_t at = 0; at < data.size(); at += chunk) {
            const std::size_t n = std::min(chunk, data.size() - at);
            ctx.Update(reinterpret_cast<const unsigned char*>(data.data() + at),
                       static_cast<unsigned>(n));
        }
        unsigned char digest[16];
        ctx.Final(digest);
        EXPECT_EQ(ToUpperHex(digest, 16), "82829F1F3F2BB0F18B25F278E5BBA8BD");
    }
}

INSTANTIATE_TEST_SUITE_P(UpdateSizes, Md5Chunks, ::testing::Values(1u, 3u, 63u, 64u, 65u, 200u),
                         [](const auto& info) { return "Bytes" + std::to_string(info.param); });

TEST(Md5, ContextCanDigestAgainAfterFinal) {
    MD5_CTX ctx;
    EXPECT_EQ(DigestWithContext(ctx, "message digest"), "F96B697D7CB7938D525A2F31AAF161D0");
    EXPECT_EQ(DigestWithContext(ctx, "abc"), "900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(DigestWithContext(ctx, ""), "D41D8CD98F00B204E9800998ECF8427E");
}

TEST(Md5, ChineseTextIsDigestedAsGb18030) {
    EXPECT_EQ(ContextDigest(Gb18030("张三")), "894152FFF4F97E8FB2B8F304C5C56EBB");
    EXPECT_EQ(Md5HexString(Gb18030("张三").c_str()), "894152FFF4F97E8FB2B8F304C5C56EBB");
}

TEST(MakeUIID, IsTheDigestOfNameFollowedByNumber) {
    const std::string id = MakeUIID(Gb18030("张三"), "13588888888");
    EXPECT_EQ(id, "E06C23EE6B411F5F02538E4895AD09A6");
    EXPECT_EQ(id.size(), 32u);
    EXPECT_EQ(id.find_first_not_of("0123456789ABCDEF"), std::string::npos);
}

// Identifiers stored by installations that kept GBK text stay valid: a GBK name has the same
// bytes, so the same digest. A name with characters GBK lacked gets a digest of its own
// instead of that of the name with "?" in their places.
TEST(MakeUIID, GbkNamesKeepTheirIdentifierAndExtensionCharactersCount) {
    const struct {
        const char* what;
        const char* name;
        const char* id;
    } cases[] = {
        {"a GBK name, as identified before", "张三", "880108EF8391E41D630A00269C7F2B2E"},
        {"Extension A and B", "王䶮李𠀾", "DD2CBB005E17DD83BFF08FA1FBDD5D48"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(MakeUIID(Gb18030(c.name), "13500000000"), c.id);
    }
    EXPECT_NE(MakeUIID(Gb18030("王䶮"), "13500000000"), MakeUIID(Gb18030("王?"), "13500000000"));
    EXPECT_NE(MakeUIID(Gb18030("李𠀾"), "13500000000"), MakeUIID(Gb18030("李?"), "13500000000"));
}

TEST(MakeUIID, ChangesWithNameOrNumberAndRespectsCase) {
    const std::string base = MakeUIID("Li Lei", "13588888888");
    EXPECT_EQ(MakeUIID("Li Lei", "13588888888"), base);
    EXPECT_NE(MakeUIID("Li Lei", "13588888889"), base);
    EXPECT_NE(MakeUIID("Li Le", "13588888888"), base);
    EXPECT_NE(MakeUIID("li lei", "13588888888"), base);
    EXPECT_NE(MakeUIID(" Li Lei", "13588888888"), base);
}

} // namespace
