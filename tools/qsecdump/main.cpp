// qsecdump PACKAGE [PASSWORD]
//
// Prints the entry name of a .qsec package and then every record the import would read
// from it, one a line, its eleven fields in UTF-8 separated by tabs. Without PASSWORD the
// password is read as one line from standard input, so it need not show in the process
// list. The password is taken exactly as typed, as the import takes it. Nothing is
// written anywhere: the package is read and unpacked in memory.
//
// Exit status: 0 read, 1 usage, 2 cannot read the file, 3 wrong password, 4 damaged.
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
    case PackageError::BadLine:
        return 4;
    }
    return 4;
}

std::string Explanation(PackageError error) {
    switch (error) {
    case PackageError::WrongPassword:
        return "wrong password, or not a package";
    case PackageError::Damaged:
        return "damaged package";
    case PackageError::BadLine:
        return "damaged package: a line with fewer than eleven fields";
    default:
        return "cannot read the package";
    }
}

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

    PackageContents contents;
    const PackageResult result = ReadPackageFile(argv[1], key, contents);
    if (!result) {
        std::cerr << "qsecdump: " << argv[1] << ": " << Explanation(result.error) << " ("
                  << result.detail << ")\n";
        return ExitCode(result.error);
    }
    std::string out = Escaped(Gb18030ToUtf8(contents.entryName)) + "\n";
    for (const ContactRecord& record : contents.records) {
        for (std::size_t i = 0; i < record.size(); ++i) {
            if (i != 0) {
                out += '\t';
            }
            out += Escaped(Gb18030ToUtf8(record[i]));
        }
        out += '\n';
    }
    std::cout << out;
    std::cout.flush();
    return std::cout ? 0 : 2;
}
