// Drives the main window offscreen and times each paging command from the click to a
// filled list, on large registers, and the hidden test-data command (401 inserts, every
// duplicate message answered).
#include "app/application.h"
#include "bench_support.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "populate.h"
#include "ui/contact_list_manager.h"
#include "ui/dialog_phonebook.h"
#include "ui/login_area.h"
#include "ui/message_box.h"
#include "ui/ui_resources.h"

#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

void Click(TCDialog_PhoneBook& window, const char* name) {
    QTest::mouseClick(window.findChild<QWidget*>(name), Qt::LeftButton);
}

void BenchPaging(const fs::path& dir, int records, double targetMs) {
    const fs::path folder = dir / std::to_string(records);
    fs::create_directories(folder);
    const Installation installation = Installation::InFolder(folder);
    std::printf("building %d records...\n", records);
    std::fflush(stdout);
    Populate(installation.database, records);
    EnsureSettingsFile(installation.config);
    CurrentLoginArea() = {"000000", Gb18030("全国")};
    TCDialog_PhoneBook window(installation, {});
    window.OnLoginSucceeded();
    auto* edit = window.findChild<QLineEdit*>("edt_specailPage");
    const auto report = [&](const char* what, double ms) {
        char line[128];
        std::snprintf(line, sizeof line, "%s, %d records", what, records);
        PrintFigure(line, ms, targetMs, "target");
    };
    // Each command starts from page 1, as if the operator had just opened the list.
    const auto fromPageOne = [&] { window.Manager()->SetCurrentPage(1); };
    const int middle = window.Manager()->TotalPages() / 2;
    report("first page", MedianMs(7, fromPageOne, [&] { Click(window, "btn_first"); }));
    report("next page", MedianMs(7, fromPageOne, [&] { Click(window, "btn_next"); }));
    report("last page", MedianMs(7, fromPageOne, [&] { Click(window, "btn_last"); }));
    report("go to a middle page", MedianMs(7, fromPageOne, [&] {
               edit->setText(QString::number(middle));
               Click(window, "btn_GoSpecialPage");
           }));
}

void BenchTestData(const fs::path& dir) {
    const fs::path folder = dir / "testdata";
    fs::create_directories(folder);
    const Installation installation = Installation::InFolder(folder);
    Populate(installation.database, 0);
    EnsureSettingsFile(installation.config);
    TCDialog_PhoneBook window(installation, {});
    window.OnLoginSucceeded();
    const double ms = MedianMs(1, [&] { window.btn_TestDataClick(); });
    PrintFigure("test data: 401 inserts with their messages", ms, 2000, "target");
    std::printf("messages answered: %zu\n", MessageBoxes::History().size());
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QuillonApplication app(argc, argv);
    InitUiResources();
    MessageBoxes::Script({});
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const fs::path dir = fs::temp_directory_path() / "quillon-window-bench";
    fs::remove_all(dir);
    BenchTestData(dir);
    BenchPaging(dir, 100000, 50);
    if (!quick) {
        BenchPaging(dir, 1000000, 200);
    }
    PrintPeakMemory();
    fs::remove_all(dir);
    return 0;
}
