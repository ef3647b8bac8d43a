// qsecdump PACKAGE [PASSWORD]
//
// Prints the entry name of a .qsec package and then every record the import would read
// from it, one a line, its eleven fields in UTF-8 separated by tabs. Without PASSWORD the
// password is read as one line from standard input, so it need not show in the process
// list. The password is taken exactly as typed, as the import takes it. Nothing is
// written anywhere: the package is read and unpacked in memory.
//
// Records are printed as they are read, so a package of millions of records needs no more
// memory than a small one. A damaged package therefore prints the records before the damage
// (the entry name first, once any record came), then says why on standard error and exits 4;
// the records of an exit other than 0 are not the package's.
//
// Exit status: 0 read, 1 usage, 2 cannot read the file or write the output, 3 wrong password,
// 4 damaged.
#include "exchange/package/package.h"
#include "platform/text.h"

#include <cstdio>
#include <iostream>
#include <string>

namespace {

// Tabs, line breaks and NUL bytes inside a value would break the one-record-a-line,
// tab-separated output, so control bytes are shown escaped. Done on the UTF-8 text,
// where every byte below 0x80 is a character of its own.
std::string Escaped(const std::string& utf8) {
    std::string out;
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\0') {
            out += "\\0";
        } else if (u < 0x20 || u == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

int ExitCode(PackageError error) {
    switch (error) {
    case PackageError::None:
        return 0;
    case PackageError::CannotRead:
    case PackageError::CannotWrite:
        return 2;
    case PackageError::WrongPassword:
        return 3;
    case PackageError::Damaged:
        return 4;
    }
    return 4;
}

std::string Explanation(const PackageResult& result) {
    switch (result.error) {
    case PackageError::WrongPassword:
        return "wrong password, or not a package";
    case PackageError::Damaged:
        switch (result.damage) {
        case PackageDamage::Incomplete:
            return "damaged package: incomplete";
        case PackageDamage::Checksum:
            return "damaged package: checksum mismatch";
        case PackageDamage::BadLine:
            return "damaged package: a line with fewer than eleven fields";
        case PackageDamage::LongLine:
            return "damaged package: a line longer than any record";
        case PackageDamage::TooLarge:
            return "damaged package: its text inflates too far";
        case PackageDamage::FileTooLarge:
            return "damaged package: larger than any package";
        default:
            return "damaged package";
        }
    default:
        return "cannot read the package";
    }
}

// Standard output in pieces of bounded size: fewer writes than a line at a time, and no
// more memory than one piece.
class Output {
public:
    void Add(const std::string& text) {
        buffer_ += text;
        if (buffer_.size() >= kPiece) {
            Flush();
        }
    }
    bool Flush() {
        std::cout << buffer_;
        buffer_.clear();
        std::cout.flush();
        return static_cast<bool>(std::cout);
    }

private:
    static constexpr std::size_t kPiece = 1 << 16;
    std::string buffer_;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::cerr << "usage: qsecdump PACKAGE [PASSWORD]\n"
                     "  Without PASSWORD, the password is read from standard input.\n";
        return 1;
    }
    std::string password;
    if (argc == 3) {
        password = argv[2];
    } else if (!std::getline(std::cin, password)) {
        std::cerr << "qsecdump: no password given\n";
        return 1;
    }
    // The program keeps passwords as GB18030 bytes, and the key is made from those bytes.
    const IdeaKey key = IdeaKeyFromPassword(Utf8ToGb18030(password));

    Output out;
    std::string entryName;
    bool named = false;
    const auto name = [&] {
        if (!named) {
            out.Add(Escaped(Gb18030ToUtf8(entryName)) + "\n");
            named = true;
        }
    };
    const PackageResult result =
        ReadPackageFile(argv[1], key, entryName, [&](ContactRecord&& record) {
            name();
            std::string line;
            for (std::size_t i = 0; i < record.size(); ++i) {
                if (i != 0) {
                    line += '\t';
                }
                line += Escaped(Gb18030ToUtf8(record[i]));
            }
            out.Add(line + "\n");
        });
    if (result) {
        name();
    }
    const bool written = out.Flush();
    if (!result) {
        std::cerr << "qsecdump: " << argv[1] << ": " << Explanation(result) << " (" << result.detail
                  << ")\n";
        return ExitCode(result.error);
    }
    return written ? 0 : 2;
}
