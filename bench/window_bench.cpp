// Drives the main window offscreen and times each paging command from the click to a
// filled list on a register of a million records (a hundred thousand with --quick), and
// the hidden test-data command (401 inserts, every duplicate message answered).
#include "app/application.h"
#include "bench_support.h"
#include "paging_support.h"
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
#include <memory>

namespace fs = std::filesystem;

namespace {

void Click(TCDialog_PhoneBook& window, const char* name) {
    QTest::mouseClick(window.findChild<QWidget*>(name), Qt::LeftButton);
}

// Each paging command from the click to the filled list, three times, the list open on a
// copy of a register in use for years.
void BenchPaging(const fs::path& dir, int records) {
    const fs::path folder = dir / std::to_string(records);
    fs::create_directories(folder);
    const Installation installation = Installation::InFolder(folder);
    fs::copy_file(LongUsedRegister(records), installation.database,
                  fs::copy_options::overwrite_existing);
    EnsureSettingsFile(installation.config);
    CurrentLoginArea() = {"000000", Gb18030("全国")};
    TCDialog_PhoneBook window(installation, {});
    window.OnLoginSucceeded();
    ContactListManager& list = *window.Manager();
    auto* edit = window.findChild<QLineEdit*>("edt_specailPage");
    const int pages = list.TotalPages();
    const int total = ContactStore(installation.database)
                          .CountContactsForExport(CurrentLoginArea().name)
                          .value_or(0);
    struct Command {
        const char* name;
        const char* button;
        int from, to;
    };
    const Command commands[] = {{"first", "btn_first", 2, 1},
                                {"next", "btn_next", 1, 2},
                                {"previous", "btn_front", pages, pages - 1},
                                {"last", "btn_last", 1, pages},
                                {"go to the middle", "btn_GoSpecialPage", 1, pages / 2}};
    const int countsBefore = list.CountsTaken();
    for (const Command& command : commands) {
        edit->setText(QString::number(command.to));
        const Timing click = TimeRuns(
            3, [&] { list.SetCurrentPage(command.from); }, [&] { Click(window, command.button); });
        if (list.CurrentPage() != command.to) {
            std::printf("%s went to page %d, not %d\n", command.name, list.CurrentPage(),
                        command.to);
        }
        char what[96];
        std::snprintf(what, sizeof what, "%d, window: %s (page %d of %d)", records, command.name,
                      command.to, pages);
        PrintBeside(
            what, click, "its query alone, nearer end",
            PageQueryFloor(installation.database, command.to, total, CurrentLoginArea().name), 80);
    }
    std::printf("%d, window: count(*) run during the 15 clicks: %d\n", records,
                list.CountsTaken() - countsBefore);
}

// A search from Enter in the box to the filled list, on the register of people the search
// benchmark builds (names, numbers and units that vary as real ones do), beside the same
// search as a plain LIKE scan of the store.
void BenchSearch(const fs::path& dir) {
    const fs::path people =
        fs::temp_directory_path() / "quillon-bench-registers" / "people-v1-1000000";
    if (!fs::exists(people)) {
        std::printf("search in the window: not run (run build/bench/search_bench once first)\n");
        return;
    }
    const fs::path folder = dir / "people";
    fs::create_directories(folder);
    const Installation installation = Installation::InFolder(folder);
    fs::copy_file(people, installation.database, fs::copy_options::overwrite_existing);
    EnsureSettingsFile(installation.config);
    CurrentLoginArea() = {"000000", Gb18030("全国")};
    // A window of its own for each run: a search asked again of the same window is served
    // from what it kept, as long as the register did not change.
    std::unique_ptr<TCDialog_PhoneBook> window;
    QLineEdit* box = nullptr;
    for (const char* query : {"明华", "5678", "张 财政"}) {
        const Timing enter = TimeRuns(
            3,
            [&] {
                window.reset();
                window = std::make_unique<TCDialog_PhoneBook>(installation, LoginDigests{});
                window->OnLoginSucceeded();
                box = window->findChild<QLineEdit*>("edt_search");
                box->setText(QString::fromUtf8(query));
            },
            [&] { QTest::keyClick(box, Qt::Key_Return); });
        const Timing like = TimeRuns(
            1, [] {},
            [&] {
                const StoreResult<Connection> db = Connection::Open(installation.database);
                std::string where;
                for (const QString& word : QString::fromUtf8(query).split(' ')) {
                    const std::string like =
                        SqlLiteral("%" + Utf8ToGb18030(word.toStdString()) + "%");
                    where += (where.empty() ? "" : " and ") +
                             ("(User_Name like " + like + " or Mobile_NO like " + like +
                              " or Organization_Detial like " + like + ")");
                }
                db.value().Query("select count(*) from t_address_book where " + where,
                                 [](const std::vector<std::string>&) {});
                db.value().Query("select * from t_address_book where " + where +
                                     " order by Add_Time desc, rowid desc limit 200",
                                 [](const std::vector<std::string>&) {});
            });
        char what[96];
        std::snprintf(what, sizeof what, "1000000, window: search %s, Enter to filled list", query);
        PrintBeside(what, enter, "LIKE scan, count and page", like, 50);
    }
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
    BenchPaging(dir, quick ? 100000 : 1000000);
    BenchSearch(dir);
    PrintPeakMemory();
    fs::remove_all(dir);
    return 0;
}
