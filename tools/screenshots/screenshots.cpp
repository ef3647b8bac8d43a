// Grabs the program's windows to PNG for the README: the login window and the main window
// showing a page of sample records. Run through scripts/screenshots.
#include "app/application.h"
#include "area_window.h"
#include "crypto/uiid.h"
#include "platform/settings.h"
#include "platform/text.h"
#include "store/contact_store.h"
#include "store/schema.h"
#include "ui/contact_list_manager.h"
#include "ui/dialog_buissness_card.h"
#include "ui/dialog_export.h"
#include "ui/dialog_import.h"
#include "ui/dialog_import_mode.h"
#include "ui/dialog_login.h"
#include "ui/dialog_phonebook.h"
#include "ui/file_dialog.h"
#include "ui/login_area.h"
#include "ui/message_box.h"
#include "ui/ui_resources.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <cstdio>
#include <filesystem>

namespace {

// A page's worth of plausible records.
void AddSampleRecords(const std::filesystem::path& database, int count) {
    const char* surnames[] = {"王", "李", "张", "刘", "陈", "杨", "赵", "黄", "周", "吴"};
    const char* given[] = {"建国", "秀英", "志强", "海燕", "明", "丽华", "伟", "静", "军", "芳"};
    const char* education[] = {"大学", "高中", "大专", "硕士", "中专"};
    const char* kinds[] = {"村", "社区", "乡镇", "街道", "机关"};
    struct Place {
        const char *province, *city, *county;
    } places[] = {{"河北省", "石家庄市", "长安区"},
                  {"河北省", "保定市", "竞秀区"},
                  {"河北省", "唐山市", "路南区"},
                  {"河北省", "邯郸市", "丛台区"}};
    int second = 0;
    ContactStore store(database, [&] {
        char text[32];
        std::snprintf(text, sizeof text, "2026-11-%02d %02d:%02d:%02d", 1 + second / 3600,
                      9 + second / 60 % 8, second % 60, (second * 7) % 60);
        ++second;
        return std::string(text);
    });
    if (!store.OpenContactDatabase()) {
        return;
    }
    Transaction batch(*store.CurrentConnection());
    for (int i = 0; i < count; ++i) {
        const Place& place = places[i % 4];
        ContactRecord r;
        r[kUser_Name] = Gb18030(surnames[i % 10]) + Gb18030(given[(i / 10 + i) % 10]);
        r[kUser_Sex] = Gb18030(i % 3 ? "男" : "女");
        char birthday[16];
        std::snprintf(birthday, sizeof birthday, "19%02d-%02d-%02d", 60 + i % 35, 1 + i % 12,
                      1 + i % 28);
        r[kUser_Birthday] = birthday;
        r[kUser_Education] = Gb18030(education[i % 5]);
        r[kRecode_Type] = Gb18030(kinds[i % 5]);
        r[kProvince] = Gb18030(place.province);
        r[kCity] = Gb18030(place.city);
        r[kCounty_Seat] = Gb18030(place.county);
        r[kOrganization_Detial] = Gb18030(i % 2 ? "城关镇人民政府 副镇长" : "红星村党支部 书记");
        r[kMobile_NO] = std::to_string(13803110000LL + i * 7919LL);
        r[kUI_ID] = MakeUIID(r[kUser_Name], r[kMobile_NO]);
        store.InsertContactRow(r, true);
    }
    batch.Commit();
}

void Save(QWidget& widget, const std::filesystem::path& file) {
    widget.grab().save(QString::fromStdString(file.string()));
    std::printf("wrote %s\n", file.c_str());
}

// The editor as the new button opens it, and as the edit cell opens it for the first row.
void SaveEditors(const Installation& installation, TCDialog_PhoneBook& window,
                 const std::filesystem::path& out) {
    {
        TCDialog_BuissnessCard editor(installation, *window.Manager(), &window);
        editor.show();
        QTest::qWait(50);
        Save(editor, out / "editor-new.png");
    }
    TCDialog_BuissnessCard editor(installation, *window.Manager(), nullptr, &window);
    editor.LoadRecord(window.Manager()->RowRecord(0));
    editor.show();
    QTest::qWait(50);
    Save(editor, out / "editor-edit.png");
}

// The export window on both pages (a real export of the sample register into packages, and
// one into workbooks from its Excel page), the import mode window, and the progress window
// importing those packages back.
void SaveExchangeWindows(const Installation& installation, const std::filesystem::path& scratch,
                         const std::filesystem::path& out) {
    const std::filesystem::path target = scratch / "packages" / "[河北省]note_template";
    {
        TCDialog_Export window(installation);
        window.SetAreaName(Gb18030("河北省"));
        window.show();
        window.findChild<QRadioButton*>("RadioButton2")->click();
        window.findChild<QLineEdit*>("Edit2")->setText("quillon2026");
        window.findChild<QLineEdit*>("Edit1")->setText("100");
        FileDialogs::Script(
            {FileDialogs::Answer::Files({QString::fromStdString(target.string())})});
        window.SpeedButton1Click();
        FileDialogs::StopScripting();
        QTest::qWait(50);
        Save(window, out / "export-settings.png");
        QSignalSpy ended(&window, &TCDialog_Export::exportEnded);
        window.SpeedButton3Click();
        ended.wait(10000);
        QTest::qWait(50);
        Save(window, out / "export-progress.png");
    }
    {
        TCDialog_Export window(installation);
        window.SetAreaName(Gb18030("河北省"));
        window.show();
        window.findChild<QLineEdit*>("Edit1")->setText("100");
        FileDialogs::Script({FileDialogs::Answer::Files(
            {QString::fromStdString((scratch / "workbooks" / "[河北省]note_template").string())})});
        window.SpeedButton1Click();
        FileDialogs::StopScripting();
        QTest::qWait(50);
        Save(window, out / "export-excel.png");
        QSignalSpy ended(&window, &TCDialog_Export::exportEnded);
        window.SpeedButton3Click();
        ended.wait(10000);
    }
    {
        TCDialog_ImportMode mode(installation);
        mode.SetData({}, ImportKind::Package);
        mode.findChild<QLineEdit*>("edt_pwd")->setText("quillon2026");
        mode.show();
        QTest::qWait(50);
        Save(mode, out / "import-mode.png");
    }
    std::vector<std::filesystem::path> packages;
    for (int k = 1; k <= 3; ++k) {
        packages.push_back(NumberedOutputFile(target, k, ".qsec"));
    }
    TCDialog_Import progress(installation,
                             {packages, ImportKind::Package, ImportMode::Overwrite, "quillon2026"});
    progress.show();
    for (int i = 0; i < 500 && !progress.RunEnded(); ++i) {
        QTest::qWait(10);
    }
    QTest::qWait(50);
    Save(progress, out / "import-progress.png");
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const std::filesystem::path out = std::filesystem::absolute(argv[1]);
    QuillonApplication app(argc, argv);
    InitUiResources();
    MessageBoxes::Script({});

    const auto folder = std::filesystem::temp_directory_path() / "quillon-screenshots";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const Installation installation = Installation::InFolder(folder);
    CreateSchema(installation.database);
    EnsureSettingsFile(installation.config);
    AddSampleRecords(installation.database, 236);
    std::filesystem::create_directories(out);

    {
        TCDialog_Login login(installation, {});
        login.show();
        login.findChild<QLineEdit*>("edt_username")->setText("admin");
        login.findChild<QLineEdit*>("edt_password")->setText("quillon");
        login.findChild<QComboBox*>("cbb_area")->setCurrentIndex(3);
        QTest::qWait(50);
        Save(login, out / "login.png");
        login.hide();
    }
    {
        CurrentLoginArea() = {"130000", Gb18030("河北省")};
        TCDialog_PhoneBook window(installation, {});
        window.OnLoginSucceeded();
        QTest::qWait(50);
        Save(window, out / "main.png");
        SaveEditors(installation, window, out);
        // The smallest screens it must stay tidy on.
        for (const QSize size : {QSize(1024, 768 - 40), QSize(600, 400)}) {
            window.resize(size);
            QTest::qWait(50);
            Save(window, out / ("main-" + std::to_string(size.width()) + ".png"));
        }
    }
    GrabAreaWindow(installation, out / "area.png");
    SaveExchangeWindows(installation, folder, out);
    std::filesystem::remove_all(folder);
    return 0;
}
