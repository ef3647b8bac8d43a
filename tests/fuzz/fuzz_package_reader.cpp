// Feeds the package reader bytes. The first byte chooses how far in the rest goes:
//   0: the rest is a package file, deciphered with a fixed password;
//   1: the rest is an archive, enciphered here under that password, so that mutations reach
//      the archive and text layers instead of dying in the cipher;
//   2: the rest is package text, handed to the line parser in pieces of varying size.
#include "exchange/package/package.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

const IdeaKey& FuzzKey() {
    static const IdeaKey key = IdeaKeyFromPassword("quillon2026");
    return key;
}

void ReadAsPackage(std::string_view package) {
    std::string entry;
    std::size_t records = 0;
    ReadPackage(package, FuzzKey(), entry,
                [&](ContactRecord&& r) { records += r[kMobile_NO].size() + 1; });
}

void ParseInPieces(std::string_view text) {
    PackageTextParser parser([](ContactRecord&&) {});
    std::size_t piece = 1;
    while (!text.empty()) {
        const std::size_t n = std::min(piece, text.size());
        if (!parser.Feed(text.substr(0, n))) {
            return;
        }
        text.remove_prefix(n);
        piece = piece * 3 % 17 + 1;
    }
    parser.Finish();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    switch (data[0] % 3) {
    case 0:
        ReadAsPackage(rest);
        break;
    case 1:
        ReadAsPackage(IdeaEncryptBytes(rest, FuzzKey()));
        break;
    default:
        ParseInPieces(rest);
        break;
    }
    return 0;
}
