#include "crypto/my_md5.h"

#include "crypto/md5_core.h"

#include <algorithm>
#include <cstring>

namespace {

// A second, self-contained MD5 context: the same algorithm as MD5_CTX, kept apart so the
// login check does not share state or code paths with the identifier and key digests.
struct My_md5Context {
    std::uint32_t state[4];
    std::uint32_t count[2];
    unsigned char buffer[64];
};

const unsigned char kPadding[64] = {0x80};

void ContextInit(My_md5Context& ctx) {
    ctx.count[0] = ctx.count[1] = 0;
    std::memcpy(ctx.state, md5_detail::kInitialState, sizeof ctx.state);
}

void ContextUpdate(My_md5Context& ctx, const unsigned char* input, std::size_t length) {
    std::size_t index = (ctx.count[0] >> 3) & 0x3F;
    const std::uint64_t bits =
        ((std::uint64_t(ctx.count[1]) << 32) | ctx.count[0]) + (std::uint64_t(length) << 3);
    ctx.count[0] = static_cast<std::uint32_t>(bits);
    ctx.count[1] = static_cast<std::uint32_t>(bits >> 32);
    while (length > 0) {
        const std::size_t take = std::min<std::size_t>(64 - index, length);
        std::memcpy(ctx.buffer + index, input, take);
        index += take;
        input += take;
        length -= take;
        if (index == 64) {
            md5_detail::Transform(ctx.state, ctx.buffer);
            index = 0;
        }
    }
}

void ContextFinal(My_md5Context& ctx, unsigned char digest[16]) {
    unsigned char bits[8];
    md5_detail::EncodeLittleEndian(bits, ctx.count, 8);
    const std::size_t index = (ctx.count[0] >> 3) & 0x3F;
    ContextUpdate(ctx, kPadding, index < 56 ? 56 - index : 120 - index);
    ContextUpdate(ctx, bits, 8);
    md5_detail::EncodeLittleEndian(digest, ctx.state, 16);
}

} // namespace

std::string ToUpperHex(const unsigned char* bytes, std::size_t length) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(length * 2);
    for (std::size_t i = 0; i < length; ++i) {
        hex += kDigits[bytes[i] >> 4];
        hex += kDigits[bytes[i] & 0x0F];
    }
    return hex;
}

std::string Md5HexString(const char* text) {
    My_md5Context ctx;
    ContextInit(ctx);
    ContextUpdate(ctx, reinterpret_cast<const unsigned char*>(text), std::strlen(text));
    unsigned char digest[16];
    ContextFinal(ctx, digest);
    std::memset(&ctx, 0, sizeof ctx);
    return ToUpperHex(digest, sizeof digest);
}
