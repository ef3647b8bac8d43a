// IDEA file encipherment and decipherment against libgcrypt's IDEA (ECB, in memory, so the
// peer pays no file costs), and package writing and reading at the export's largest size.
#include "bench_support.h"
#include "crypto/idea.h"
#include "exchange/package/package.h"
#include "platform/text.h"

#include <gcrypt.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kDataBytes = std::size_t{64} << 20;

std::string RandomBytes(std::size_t n, std::uint64_t seed) {
    std::mt19937_64 random(seed);
    std::string s(n, '\0');
    for (std::size_t i = 0; i + 8 <= n; i += 8) {
        const std::uint64_t v = random();
        std::memcpy(s.data() + i, &v, 8);
    }
    return s;
}

double MBps(std::size_t bytes, double ms) {
    return bytes / (1024.0 * 1024.0) / (ms / 1000.0);
}

void PrintRate(const char* what, double ms, double peerMs, std::size_t bytes) {
    std::printf("%-34s %8.1f MB/s   libgcrypt IDEA ECB %8.1f MB/s   ratio %.3f (target >= 0.7)\n",
                what, MBps(bytes, ms), MBps(bytes, peerMs), peerMs / ms);
}

ContactRecord BenchRecord(int i) {
    ContactRecord r;
    r[kUI_ID] = "8F14E45FCEEA167A5A36DEDD4BEA25" + std::to_string(10 + i % 90);
    r[kUser_Name] = Gb18030("王小明");
    r[kUser_Sex] = Gb18030("男");
    r[kUser_Birthday] = "1985-06-15";
    r[kUser_Education] = Gb18030("本科");
    r[kRecode_Type] = Gb18030("客户");
    r[kProvince] = Gb18030("河北省");
    r[kCity] = Gb18030("石家庄市");
    r[kCounty_Seat] = Gb18030("长安区");
    r[kOrganization_Detial] = Gb18030("河北某某科技有限公司 销售部") + std::to_string(i);
    r[kMobile_NO] = std::to_string(13900000000LL + i);
    return r;
}

void BenchPackages(const fs::path& dir) {
    constexpr int kRecords = 100000, kPerPackage = 60000;
    std::vector<ContactRecord> records;
    for (int i = 0; i < kRecords; ++i) {
        records.push_back(BenchRecord(i));
    }
    const IdeaKey key = ExportKey("quillon2026");
    const ZipTime time{2026, 1, 1, 0, 0, 0};
    const double writeMs = MedianMs(3, [&] {
        for (int k = 1; (k - 1) * kPerPackage < kRecords; ++k) {
            PackageWriter writer(dir / "bench", k, key, time);
            for (int i = (k - 1) * kPerPackage; i < std::min(kRecords, k * kPerPackage); ++i) {
                writer.Add(records[i]);
            }
            writer.Finish();
        }
    });
    std::size_t read = 0;
    const double readMs = MedianMs(3, [&] {
        read = 0;
        for (int k = 1; k <= 2; ++k) {
            std::string entry;
            ReadPackageFile(dir / ("bench_" + std::to_string(k) + ".qsec"), key, entry,
                            [&](ContactRecord&&) { ++read; });
        }
    });
    std::printf("packages: %d records in packages of %d written in %.1f ms, read back (%zu "
                "records) in %.1f ms; %.1f MB of packages\n",
                kRecords, kPerPackage, writeMs, read, readMs,
                (fs::file_size(dir / "bench_1.qsec") + fs::file_size(dir / "bench_2.qsec")) /
                    1048576.0);
}

// Written a piece at a time, so the file routines' own memory shows in the peak below.
void WriteRandomFile(const fs::path& file, std::size_t bytes) {
    std::ofstream out(file, std::ios::binary);
    for (std::size_t done = 0; done < bytes; done += 1 << 20) {
        out << RandomBytes(1 << 20, done);
    }
}

std::string ReadWhole(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool SameFiles(const fs::path& a, const fs::path& b) {
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    std::vector<char> bx(1 << 16), by(1 << 16);
    for (;;) {
        x.read(bx.data(), bx.size());
        y.read(by.data(), by.size());
        if (x.gcount() != y.gcount() ||
            !std::equal(bx.begin(), bx.begin() + x.gcount(), by.begin())) {
            return false;
        }
        if (x.gcount() == 0) {
            return true;
        }
    }
}

void BenchCipher(const fs::path& dir) {
    const fs::path plain = dir / "plain", enc = dir / "enc", back = dir / "back";
    WriteRandomFile(plain, kDataBytes);
    const IdeaKey key = IdeaKeyFromPassword("quillon2026");
    const double encMs = MedianMs(5, [&] { IdeaEncryptFile(plain, enc, key); });
    const double decMs = MedianMs(5, [&] { IdeaDecryptFile(enc, back, key); });
    const bool same = SameFiles(plain, back);
    std::printf("IDEA on %zu MB of payload; after the file routines, ", kDataBytes >> 20);
    PrintPeakMemory();
    BenchPackages(dir);
    std::printf("after writing and reading the packages, ");
    PrintPeakMemory();

    gcry_check_version(nullptr);
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    gcry_cipher_hd_t h = nullptr;
    gcry_cipher_open(&h, GCRY_CIPHER_IDEA, GCRY_CIPHER_MODE_ECB, 0);
    std::uint8_t keyBytes[16];
    for (int i = 0; i < 8; ++i) {
        keyBytes[2 * i] = static_cast<std::uint8_t>(key[i] >> 8);
        keyBytes[2 * i + 1] = static_cast<std::uint8_t>(key[i]);
    }
    gcry_cipher_setkey(h, keyBytes, sizeof keyBytes);
    const std::string data = ReadWhole(plain);
    std::string out(data.size(), '\0');
    const double peerEncMs = MedianMs(
        5, [&] { gcry_cipher_encrypt(h, out.data(), out.size(), data.data(), data.size()); });
    const double peerDecMs = MedianMs(
        5, [&] { gcry_cipher_decrypt(h, out.data(), out.size(), data.data(), data.size()); });
    gcry_cipher_close(h);
    std::string inMemory;
    const double memMs = MedianMs(5, [&] { inMemory = IdeaEncryptBytes(data, key); });

    PrintRate("IdeaEncryptFile (file to file)", encMs, peerEncMs, kDataBytes);
    PrintRate("IdeaDecryptFile (file to file)", decMs, peerDecMs, kDataBytes);
    PrintRate("IdeaEncryptBytes (in memory)", memMs, peerEncMs, kDataBytes);
    std::printf("round trip %s\n", same ? "ok" : "WRONG: deciphered bytes differ");
    fs::remove(plain);
    fs::remove(enc);
    fs::remove(back);
}

} // namespace

int main() {
    const fs::path dir =
        fs::temp_directory_path() / ("quillon-idea-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    BenchCipher(dir);
    std::printf("at the end (the benchmark's own copies of the data), ");
    PrintPeakMemory();
    fs::remove_all(dir);
    return 0;
}
