// Writes the fuzzer's starting inputs into a folder (tests/fuzz/seeds): small packages,
// archives and texts of each shape the reader handles, each behind its mode byte.
#include "exchange/package/package.h"
#include "tests/exchange/package_samples.h"

#include <fstream>
#include <iostream>

namespace {

void Write(const std::filesystem::path& folder, const std::string& name, char mode,
           const std::string& bytes) {
    std::ofstream(folder / name, std::ios::binary) << mode << bytes;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_seeds FOLDER\n";
        return 1;
    }
    const std::filesystem::path folder = argv[1];
    const IdeaKey key = IdeaKeyFromPassword("quillon2026");
    const std::string text = SampleLine(1) + "\r\n" + SampleLine(2) + "\n" + SampleLine(3) + "\r" +
                             "0,1,2,3,4,5,6,7,8,a,b,c,139\r\n";
    std::string package;
    BuildPackage(text, "note_template_1.txt", key, kSampleTime, package);
    Write(folder, "package", '\0', package);
    Write(folder, "package_empty_text", '\0', IdeaEncryptBytes(SampleArchive(""), key));
    Write(folder, "archive", '\1', SampleArchive(text));
    Write(folder, "archive_two_entries", '\1',
          ArchiveOf({{"a.txt", SampleLine(4) + "\r\n"}, {"b.txt", text}}));
    Write(folder, "archive_stored", '\1', ArchiveOf({{"s.txt", text}}));
    Write(folder, "archive_empty", '\1', ArchiveOf({}));
    Write(folder, "text", '\2', text);
    Write(folder, "text_short_line", '\2', "1,2,3\r\n");
    const char hostile[] = "'); drop table t_address_book; --,\"q\",\0,3,4,5,6,7,8,9,10\r\n";
    Write(folder, "text_hostile", '\2', std::string(hostile, sizeof hostile - 1));
    return 0;
}
