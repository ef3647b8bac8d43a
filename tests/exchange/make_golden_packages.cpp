// Writes the golden packages and their records (UTF-8 CSV) into a folder:
//   make_golden_packages tests/data/golden
// Run it only when the package format is meant to change, and say so in the commit.
#include "crypto/uiid.h"
#include "exchange/package/package.h"
#include "golden_packages.h"
#include "platform/text.h"

#include <zlib.h>

#include <fstream>
#include <iostream>
#include <vector>

namespace {

// UTF-8 values without "," or line breaks, so the CSV needs no quoting and shows exactly
// what each package line holds; the mending of such values has tests of its own.
std::vector<ContactRecord> GoldenRecords() {
    const char* names[] = {"张伟", "王芳", "李娜", "刘洋", "陈静", "杨磊", "赵敏", "黄强", "周杰",
                           "吴霞", "徐涛", "孙丽", "马超", "朱琳", "胡斌", "郭婷", "何勇", "高雪",
                           "林峰", "罗兰", "郑浩", "梁倩", "谢军", "宋佳", "唐明"};
    const char* education[] = {"本科", "大专", "硕士", "高中", ""};
    const char* kinds[] = {"客户", "同事", "朋友", "供应商"};
    const char* places[][3] = {{"河北省", "石家庄市", "长安区"},
                               {"北京市", "北京市", "海淀区"},
                               {"广东省", "广州市", "天河区"},
                               {"四川省", "成都市", "武侯区"}};
    std::vector<ContactRecord> records;
    for (int i = 0; i < 25; ++i) {
        ContactRecord r;
        const std::string mobile = "139" + std::to_string(10000000 + i * 7919);
        r[kUser_Name] = names[i];
        r[kUser_Sex] = i % 2 ? "女" : "男";
        r[kUser_Birthday] = i % 6 == 5
                                ? ""
                                : "19" + std::to_string(60 + i) + "-0" + std::to_string(1 + i % 9) +
                                      "-1" + std::to_string(i % 10);
        r[kUser_Education] = education[i % 5];
        r[kRecode_Type] = kinds[i % 4];
        r[kProvince] = places[i % 4][0];
        r[kCity] = places[i % 4][1];
        r[kCounty_Seat] = i % 7 == 3 ? "" : places[i % 4][2];
        r[kOrganization_Detial] =
            i % 5 == 4 ? "" : std::string("第") + std::to_string(i + 1) + "工程公司 销售部";
        r[kMobile_NO] = mobile;
        r[kUI_ID] = Gb18030ToUtf8(MakeUIID(Utf8ToGb18030(r[kUser_Name]), mobile));
        records.push_back(r);
    }
    return records;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_golden_packages FOLDER\n";
        return 1;
    }
    const std::filesystem::path folder = argv[1];
    const std::vector<ContactRecord> records = GoldenRecords();
    std::ofstream csv(folder / kGoldenCsv, std::ios::binary);
    csv << "UI_ID,User_Name,User_Sex,User_Birthday,User_Education,Recode_Type,Province,City,"
           "County_Seat,Organization_Detial,Mobile_NO\n";
    for (const ContactRecord& r : records) {
        for (std::size_t i = 0; i < r.size(); ++i) {
            csv << (i ? "," : "") << r[i];
        }
        csv << "\n";
    }
    std::ofstream(folder / kGoldenZlibFile) << zlibVersion() << "\n";
    const IdeaKey key = ExportKey(kGoldenPassword);
    for (std::size_t first = 0, k = 1; first < records.size(); first += kGoldenPerPackage, ++k) {
        std::vector<ContactRecord> package;
        for (std::size_t i = first; i < records.size() && i < first + kGoldenPerPackage; ++i) {
            ContactRecord gb18030;
            for (std::size_t f = 0; f < gb18030.size(); ++f) {
                gb18030[f] = Utf8ToGb18030(records[i][f]);
            }
            package.push_back(gb18030);
        }
        const PackageResult written =
            WritePackage(folder / kGoldenTarget, static_cast<int>(k), package, key, kGoldenTime);
        if (!written) {
            std::cerr << "package " << k << ": " << written.detail << "\n";
            return 1;
        }
    }
    return 0;
}
