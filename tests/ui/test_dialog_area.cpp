#include "platform/settings.h"
#include "platform/text.h"
#include "store/areas.h"
#include "store/contact_store.h"
#include "support/seeded_database.h"
#include "support/temp_dir.h"
#include "ui/dialog_area.h"
#include "ui/login_area.h"
#include "ui/message_box.h"
#include "ui/qt_text.h"

#include "crypto/uiid.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace {

struct Message {
    MessageKind kind;
    QString title;
    QString text;
    MessageButtons buttons = MessageButtons::Ok;
    bool operator==(const Message&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Message& m) {
    return out << m.title.toStdString() << " " << m.text.toStdString() << " "
               << static_cast<int>(m.buttons);
}

Message Warning(const QString& text) {
    return {MessageKind::Warning, "警告", text};
}
Message Info(const QString& text) {
    return {MessageKind::Information, "信息", text};
}
Message Question(const QString& text) {
    return {MessageKind::Information, "信息", text, MessageButtons::OkCancel};
}

const QString kSaved = "新建保存成功!";
const QString kEdited = "编辑保存成功!";
const QString kDeleted = "删除成功!";
const QString kAskProvince = "删除选中省后，从属与它的地市和县也将相应被删除,确认删除选中项吗？";
const QString kAskCity = "删除选中地市后，从属与它的县也将相应被删除,确认删除选中项吗？";
const QString kAskCounty = "确认删除选中项吗？!";

// A window on a copy of one seeded database, for the login area each test chooses, every
// box answered from a script.
class AreaWindow : public ::testing::Test {
protected:
    void SetUp() override {
        installation = Installation::InFolder(dir.path());
        CopySeededDatabase(installation.database);
        EnsureSettingsFile(installation.config);
        MessageBoxes::Script({});
        MessageBoxes::ClearHistory();
    }

    TCDialog_Area& Open(const std::string& loginCode = "000000", const char* loginName = "全国") {
        CurrentLoginArea() = {loginCode, Gb18030(loginName)};
        EXPECT_TRUE(WriteLoginAreaCode(installation.config, loginCode));
        window = std::make_unique<TCDialog_Area>(installation);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return *window;
    }

    template <typename T> T* Find(const QString& name) {
        T* widget = window->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }
    QTreeWidget* List(const char* name) { return Find<QTreeWidget>(name); }
    QTreeWidget* Provinces() { return List("list_Province"); }
    QTreeWidget* Cities() { return List("list_City"); }
    QTreeWidget* Counties() { return List("list_County"); }

    static QStringList Codes(const QTreeWidget* list) {
        QStringList codes;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            codes << list->topLevelItem(i)->text(0);
        }
        return codes;
    }
    // "code name" of the selected row, "" when none is selected.
    static QString Selected(const QTreeWidget* list) {
        const auto items = list->selectedItems();
        return items.isEmpty() ? QString() : items[0]->text(0) + " " + items[0]->text(1);
    }
    // "code name" as the level's two boxes show them.
    QString Boxes(const char* code, const char* name) {
        return Find<QLineEdit>(code)->text() + " " + Find<QLineEdit>(name)->text();
    }
    void Type(const char* box, const QString& text) { Find<QLineEdit>(box)->setText(text); }

    void Click(const char* button) { QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton); }
    void ClickRow(QTreeWidget* list, const QString& code) {
        const auto found = list->findItems(code, Qt::MatchExactly, 0);
        ASSERT_EQ(found.size(), 1) << code.toStdString();
        list->scrollToItem(found[0]);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(found[0]).center());
    }
    void ClickEmptySpace(QTreeWidget* list) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          QPoint(10, list->viewport()->height() - 3));
    }

    // The boxes shown since the last call, in order.
    std::vector<Message> Messages() {
        std::vector<Message> shown;
        for (const auto& m : MessageBoxes::History()) {
            shown.push_back({m.kind, m.title, m.text, m.buttons});
        }
        MessageBoxes::ClearHistory();
        return shown;
    }

    std::vector<AreaRow> Children(const std::string& code) {
        const AreaRows rows = ChildrenOfArea(installation.database, code);
        EXPECT_TRUE(rows) << rows.status().detail;
        return rows.value_or({});
    }
    std::size_t AreaCount() {
        std::size_t count = 0;
        const StoreResult<Connection> db = Connection::Open(installation.database);
        EXPECT_TRUE(db);
        if (db) {
            db.value().Query("select count(*) from t_area",
                             [&](const auto& row) { count = std::stoul(row[0]); });
        }
        return count;
    }

    TempDir dir;
    Installation installation;
    std::unique_ptr<TCDialog_Area> window;
};

TEST_F(AreaWindow, ControlsCarryTheirNamesCaptionsAndLabels) {
    Open();
    EXPECT_EQ(window->windowTitle(), "省市县组织结构维护表");
    struct ColumnNames {
        const char* list;
        QStringList headers;
        std::vector<std::pair<const char*, QString>> labels; // label, text; buddy follows
        std::vector<const char*> boxes;
        std::vector<const char*> buttons;
    };
    const ColumnNames columns[] = {
        {"list_Province",
         {"省(直辖市)ID", "省(直辖市)"},
         {{"lbl_P_ID", "省ID："}, {"lbl_P_Name", "省："}},
         {"edt_P_ID", "edt_P_Name"},
         {"btn_P_New", "btn_P_Edit", "btn_P_Del"}},
        {"list_City",
         {"地市ID", "地市"},
         {{"lbl_Ci_ID", "地市ID："}, {"lbl_Ci_Name", "地市："}},
         {"edt_Ci_ID", "edt_Ci_Name"},
         {"btn_Ci_New", "btn_Ci_Edit", "btn_Ci_Del"}},
        {"list_County",
         {"县(区)ID", "县(区)"},
         {{"lbl_Co_ID", "县ID："}, {"lbl_Co_Name", "县："}},
         {"edt_Co_ID", "edt_Co_Name"},
         {"btn_Co_New", "btn_Co_Edit", "btn_Co_Del"}},
    };
    for (const ColumnNames& c : columns) {
        QTreeWidget* list = List(c.list);
        ASSERT_TRUE(list);
        EXPECT_EQ(list->headerItem()->text(0), c.headers[0]);
        EXPECT_EQ(list->headerItem()->text(1), c.headers[1]);
        EXPECT_EQ(list->accessibleName(), c.headers[1]);
        EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
        EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
        EXPECT_EQ(list->palette().color(QPalette::Inactive, QPalette::Highlight),
                  list->palette().color(QPalette::Active, QPalette::Highlight));
        for (std::size_t i = 0; i < 2; ++i) {
            const auto* label = Find<QLabel>(c.labels[i].first);
            ASSERT_TRUE(label);
            EXPECT_EQ(label->text(), c.labels[i].second);
            EXPECT_EQ(label->buddy(), Find<QLineEdit>(c.boxes[i]));
            EXPECT_EQ(Find<QLineEdit>(c.boxes[i])->accessibleName(),
                      QString(c.labels[i].second).remove("："));
        }
        const QStringList captions = {"新建保存", "编辑保存", "删除"};
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(Find<QPushButton>(c.buttons[i])->text(), captions[i]);
        }
    }
    EXPECT_EQ(Find<QPushButton>("btn_close")->text(), "关闭");
    // It fits a 1024x768 screen with room for the frame.
    EXPECT_LE(window->width(), 1000);
    EXPECT_LE(window->height(), 700);
    Click("btn_close");
    EXPECT_FALSE(window->isVisible());
}

struct OpeningCase {
    const char* name;
    std::string login;
    const char* loginName;
    int provinces;
    QString province; // selected, and in its boxes
    int cities;
    QString city;
    int counties;
    QString county; // "" for none: empty list and empty boxes
};

class AreaWindowOpening : public AreaWindow, public ::testing::WithParamInterface<OpeningCase> {};

TEST_P(AreaWindowOpening, SelectsTheFirstRowOfEachListFilled) {
    const OpeningCase& c = GetParam();
    Open(c.login, c.loginName);
    EXPECT_EQ(Provinces()->topLevelItemCount(), c.provinces);
    EXPECT_EQ(Selected(Provinces()), c.province);
    EXPECT_EQ(Cities()->topLevelItemCount(), c.cities);
    EXPECT_EQ(Selected(Cities()), c.city);
    EXPECT_EQ(Counties()->topLevelItemCount(), c.counties);
    EXPECT_EQ(Selected(Counties()), c.county);
    EXPECT_EQ(Boxes("edt_P_ID", "edt_P_Name").trimmed(), c.province);
    EXPECT_EQ(Boxes("edt_Ci_ID", "edt_Ci_Name").trimmed(), c.city);
    EXPECT_EQ(Boxes("edt_Co_ID", "edt_Co_Name").trimmed(), c.county);
    EXPECT_EQ(ToQString(window->CurrentProvinceCode()), c.province.section(' ', 0, 0));
    EXPECT_EQ(ToQString(window->CurrentCityCode()), c.city.section(' ', 0, 0));
    EXPECT_TRUE(Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(
    LoginAreas, AreaWindowOpening,
    ::testing::Values(
        OpeningCase{"WholeCountry", "000000", "全国", 34, "110000 北京市", 16, "110101 东城区", 0,
                    ""},
        OpeningCase{"OneProvince", "320000", "江苏省", 1, "320000 江苏省", 13, "320100 南京市", 12,
                    "320102 玄武区"},
        // Its own province is gone: nothing to show and nothing to file new rows under.
        OpeningCase{"ProvinceGone", "329000", "江苏省", 0, "", 0, "", 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AreaWindow, AnUnreadableDatabaseIsReportedWhenTheWindowOpens) {
    std::filesystem::remove(installation.database);
    std::filesystem::create_directory(installation.database);
    Open();
    EXPECT_EQ(Provinces()->topLevelItemCount(), 0);
    const auto shown = Messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, "错误");
    EXPECT_TRUE(shown[0].text.startsWith("无法读取数据库")) << shown[0].text.toStdString();
}

TEST_F(AreaWindow, ClickingARowFillsTheListsToItsRightAndItsBoxes) {
    Open();
    ClickRow(Provinces(), "320000");
    EXPECT_EQ(Selected(Provinces()), "320000 江苏省");
    EXPECT_EQ(Boxes("edt_P_ID", "edt_P_Name"), "320000 江苏省");
    EXPECT_EQ(Cities()->topLevelItemCount(), 13);
    EXPECT_EQ(Selected(Cities()), "320100 南京市");
    EXPECT_EQ(Selected(Counties()), "320102 玄武区");
    EXPECT_EQ(window->CurrentProvinceCode(), "320000"); // the deselected row was handled first

    ClickRow(Cities(), "320500");
    EXPECT_EQ(Boxes("edt_Ci_ID", "edt_Ci_Name"), "320500 苏州市");
    EXPECT_TRUE(Codes(Counties()).contains("320586"));
    ClickRow(Counties(), "320586");
    EXPECT_EQ(Boxes("edt_Co_ID", "edt_Co_Name"), "320586 工业园区");
    EXPECT_EQ(window->CurrentCityCode(), "320500");
}

TEST_F(AreaWindow, EmptySpaceTakesTheSelectionAwayAndEditAndDeleteThenAskForOne) {
    Open("320000", "江苏省");
    ClickRow(Cities(), "320500");
    struct Case {
        const char* list;
        const char* edit;
        const char* del;
        QString boxes;
        QString askEdit;
        QString askDelete;
    };
    // Right to left, so that each list is still filled for the row its left neighbour had.
    const Case cases[] = {
        {"list_County", "btn_Co_Edit", "btn_Co_Del", "320505 虎丘区", "请选择您要修改的县（区）!",
         "请选择您要删除的县（区）!"},
        {"list_City", "btn_Ci_Edit", "btn_Ci_Del", "320500 苏州市", "请选择您要修改的地市!",
         "请选择您要删除的地市!"},
        {"list_Province", "btn_P_Edit", "btn_P_Del", "320000 江苏省", "请选择您要修改的省!",
         "请选择您要删除的省!"},
    };
    const std::map<std::string, std::pair<const char*, const char*>> boxesOf = {
        {"list_County", {"edt_Co_ID", "edt_Co_Name"}},
        {"list_City", {"edt_Ci_ID", "edt_Ci_Name"}},
        {"list_Province", {"edt_P_ID", "edt_P_Name"}}};
    for (const Case& c : cases) {
        ClickEmptySpace(List(c.list));
        EXPECT_EQ(Selected(List(c.list)), "") << c.list;
        const auto [code, name] = boxesOf.at(c.list);
        EXPECT_EQ(Boxes(code, name), c.boxes) << c.list;
        Click(c.edit);
        Click(c.del);
        EXPECT_EQ(Messages(), (std::vector{Warning(c.askEdit), Warning(c.askDelete)})) << c.list;
    }
    // The lists to the right were filled again for the rows that lost the selection.
    EXPECT_EQ(Selected(Cities()), "320100 南京市");
    EXPECT_EQ(window->CurrentProvinceCode(), "320000");
    EXPECT_EQ(AreaCount(), 3434u);
}

struct RequiredCase {
    const char* name;
    const char* code;
    const char* box;
    const char* button;
    QString message;
};

class AreaWindowRequired : public AreaWindow, public ::testing::WithParamInterface<RequiredCase> {};

TEST_P(AreaWindowRequired, NewAndEditNeedCodeAndName) {
    const RequiredCase& c = GetParam();
    Open();
    ClickRow(Provinces(), "320000");
    for (const char* box : {c.code, c.box}) {
        const QString kept = Find<QLineEdit>(box)->text();
        Type(box, "");
        Click(c.button);
        EXPECT_EQ(Messages(), std::vector{Warning(c.message)}) << box;
        Type(box, kept);
    }
    EXPECT_EQ(AreaCount(), 3434u);
    EXPECT_EQ(Children("320000").front(), (AreaRow{"320100", "320000", Gb18030("南京市")}));
}

INSTANTIATE_TEST_SUITE_P(
    Levels, AreaWindowRequired,
    ::testing::Values(RequiredCase{"NewProvince", "edt_P_ID", "edt_P_Name", "btn_P_New",
                                   "【省ID】和【省】均为必填项!"},
                      RequiredCase{"EditProvince", "edt_P_ID", "edt_P_Name", "btn_P_Edit",
                                   "【省ID】和【省】均为必填项!"},
                      RequiredCase{"NewCity", "edt_Ci_ID", "edt_Ci_Name", "btn_Ci_New",
                                   "【地市ID】和【地市】均为必填项!"},
                      RequiredCase{"EditCity", "edt_Ci_ID", "edt_Ci_Name", "btn_Ci_Edit",
                                   "【地市ID】和【地市】均为必填项!"},
                      RequiredCase{"NewCounty", "edt_Co_ID", "edt_Co_Name", "btn_Co_New",
                                   "【县ID】和【县】均为必填项!"},
                      RequiredCase{"EditCounty", "edt_Co_ID", "edt_Co_Name", "btn_Co_Edit",
                                   "【县ID】和【县】均为必填项!"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AreaWindow, ATakenCodeIsRefusedAtEveryLevelAndChangesNothing) {
    Open("320000", "江苏省");
    const struct {
        const char *code, *name, *button;
        QString taken, message;
    } cases[] = {
        {"edt_P_ID", "edt_P_Name", "btn_P_New", "110000", "新建保存失败，省ID已存在!"},
        {"edt_Ci_ID", "edt_Ci_Name", "btn_Ci_New", "320200", "新建保存失败，地市ID已存在!"},
        {"edt_Co_ID", "edt_Co_Name", "btn_Co_New", "110101", "新建保存失败，县ID已存在!"},
        {"edt_Ci_ID", "edt_Ci_Name", "btn_Ci_Edit", "320200", "编辑保存失败!"},
        {"edt_P_ID", "edt_P_Name", "btn_P_Edit", "110000", "编辑保存失败!"},
    };
    for (const auto& c : cases) {
        Type(c.code, c.taken);
        Type(c.name, "新名");
        Click(c.button);
        EXPECT_EQ(Messages(), std::vector{Info(c.message)}) << c.button;
    }
    EXPECT_EQ(AreaCount(), 3434u);
    EXPECT_EQ(Codes(Provinces()), QStringList{"320000"});
    EXPECT_EQ(Selected(Cities()), "320100 南京市");
    EXPECT_EQ(Children("320100").size(), 12u);
    EXPECT_EQ(ReadLoginAreaCode(installation.config), "320000");
}

TEST_F(AreaWindow, NewRowsAreStoredAsTypedAppendedAndSelected) {
    Open();
    const QString name = "新'省\"; drop table t_area; --";
    Type("edt_P_ID", "990000");
    Type("edt_P_Name", name);
    Click("btn_P_New");
    EXPECT_EQ(Messages(), std::vector{Info(kSaved)});
    EXPECT_EQ(Codes(Provinces()).last(), "990000");
    EXPECT_EQ(Selected(Provinces()), "990000 " + name);
    EXPECT_EQ(Cities()->topLevelItemCount(), 0);
    EXPECT_EQ(Children("000000").back(), (AreaRow{"990000", "000000", FromQString(name)}));

    Type("edt_Ci_ID", "990100");
    Type("edt_Ci_Name", "新市");
    Click("btn_Ci_New");
    Type("edt_Co_ID", "990101");
    Type("edt_Co_Name", "新县");
    Click("btn_Co_New");
    EXPECT_EQ(Messages(), (std::vector{Info(kSaved), Info(kSaved)}));
    EXPECT_EQ(Selected(Cities()), "990100 新市");
    EXPECT_EQ(Selected(Counties()), "990101 新县");
    EXPECT_EQ(Children("990000"), (std::vector<AreaRow>{{"990100", "990000", Gb18030("新市")}}));
    EXPECT_EQ(Children("990100"), (std::vector<AreaRow>{{"990101", "990100", Gb18030("新县")}}));
    EXPECT_EQ(AreaCount(), 3437u);
}

TEST_F(AreaWindow, ACityCodeChangeTakesItsCountiesAlongAndANameChangeKeepsThem) {
    Open("320000", "江苏省");
    const auto counties = Children("320100");
    ASSERT_EQ(counties.size(), 12u);

    Type("edt_Ci_Name", "宁");
    Click("btn_Ci_Edit");
    EXPECT_EQ(Messages(), std::vector{Info(kEdited)});
    EXPECT_EQ(Selected(Cities()), "320100 宁");
    EXPECT_EQ(Children("320100").size(), 12u);

    Type("edt_Ci_ID", "329900");
    Click("btn_Ci_Edit");
    EXPECT_EQ(Messages(), std::vector{Info(kEdited)});
    EXPECT_EQ(Selected(Cities()), "329900 宁");
    EXPECT_EQ(Codes(Cities()).first(), "329900"); // the row keeps its place
    EXPECT_TRUE(Children("320100").empty());
    EXPECT_EQ(Children("329900").size(), 12u);
    EXPECT_EQ(Children("320000").front(), (AreaRow{"329900", "320000", Gb18030("宁")}));

    // New counties go under the code the city has now, not the one it had.
    EXPECT_EQ(window->CurrentCityCode(), "329900");
    Type("edt_Co_ID", "329999");
    Type("edt_Co_Name", "新县");
    Click("btn_Co_New");
    EXPECT_EQ(Messages(), std::vector{Info(kSaved)});
    EXPECT_EQ(Children("329900").back(), (AreaRow{"329999", "329900", Gb18030("新县")}));

    Type("edt_Co_ID", "329998");
    Click("btn_Co_Edit");
    EXPECT_EQ(Messages(), std::vector{Info(kEdited)});
    EXPECT_EQ(Children("329900").back(), (AreaRow{"329998", "329900", Gb18030("新县")}));
}

TEST_F(AreaWindow, AProvinceCodeChangeMovesItsCitiesAndNewCitiesFollowIt) {
    Open();
    ClickRow(Provinces(), "330000");
    Type("edt_P_ID", "339000");
    Click("btn_P_Edit");
    EXPECT_EQ(Messages(), std::vector{Info(kEdited)});
    EXPECT_EQ(Children("339000").size(), 11u);
    EXPECT_EQ(window->CurrentProvinceCode(), "339000");
    Type("edt_Ci_ID", "339900");
    Type("edt_Ci_Name", "新市");
    Click("btn_Ci_New");
    EXPECT_EQ(Children("339000").back(), (AreaRow{"339900", "339000", Gb18030("新市")}));
    // Someone else's province: the login area stays.
    EXPECT_EQ(CurrentLoginArea().code, "000000");
    EXPECT_EQ(ReadLoginAreaCode(installation.config), "000000");
}

TEST_F(AreaWindow, TheLoginAreaFollowsItsProvincesNewCodeAndTheNextOpeningFindsIt) {
    Open("320000", "江苏省");
    Type("edt_P_ID", "329000");
    Click("btn_P_Edit");
    EXPECT_EQ(Messages(), std::vector{Info(kEdited)});
    EXPECT_EQ(CurrentLoginArea().code, "329000");
    EXPECT_EQ(ReadLoginAreaCode(installation.config), "329000");

    window.reset();
    window = std::make_unique<TCDialog_Area>(installation);
    EXPECT_EQ(Codes(Provinces()), QStringList{"329000"});
    EXPECT_EQ(Cities()->topLevelItemCount(), 13);
}

TEST_F(AreaWindow, ASettingThatCannotBeWrittenLeavesTheProvinceCodeAsItWas) {
    Open("320000", "江苏省");
    std::filesystem::remove(installation.config);
    std::filesystem::create_directory(installation.config);
    Type("edt_P_ID", "329000");
    Click("btn_P_Edit");
    const auto shown = Messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, "错误");
    EXPECT_TRUE(shown[0].text.startsWith("无法写入 ")) << shown[0].text.toStdString();
    EXPECT_EQ(CurrentLoginArea().code, "320000");
    EXPECT_EQ(Children("320000").size(), 13u);
    EXPECT_EQ(Selected(Provinces()), "320000 江苏省");
}

TEST_F(AreaWindow, ALoginProvinceCodeThatIsTakenKeepsTheSetting) {
    Open("320000", "江苏省");
    Type("edt_P_ID", "110000");
    Click("btn_P_Edit");
    EXPECT_EQ(Messages(), std::vector{Info("编辑保存失败!")});
    EXPECT_EQ(CurrentLoginArea().code, "320000");
    EXPECT_EQ(ReadLoginAreaCode(installation.config), "320000");
}

TEST_F(AreaWindow, TheLoginAreasOwnProvinceCannotBeDeleted) {
    Open("320000", "江苏省");
    Click("btn_P_Del");
    EXPECT_EQ(Messages(), std::vector{Warning("选中的省是本机的登录地区，不能删除!")});
    EXPECT_EQ(AreaCount(), 3434u);
    EXPECT_EQ(Codes(Provinces()), QStringList{"320000"});
}

TEST_F(AreaWindow, DeletingAProvinceTakesEveryCityAndCountyButNoContact) {
    {
        ContactStore store(installation.database);
        ASSERT_TRUE(store.OpenContactDatabase());
        ContactRecord r;
        r[kUser_Name] = Gb18030("张三");
        r[kMobile_NO] = "13500000000";
        r[kProvince] = Gb18030("江苏省");
        r[kCity] = Gb18030("苏州市");
        r[kUI_ID] = MakeUIID(r[kUser_Name], r[kMobile_NO]);
        ASSERT_EQ(store.InsertContactRow(r), ContactInsert::Done);
    }
    Open();
    ClickRow(Provinces(), "320000");
    ClickRow(Cities(), "320500"); // not the first city

    MessageBoxes::Script({MessageAnswer::Cancel, MessageAnswer::Closed});
    Click("btn_P_Del");
    Click("btn_P_Del");
    EXPECT_EQ(Messages(), (std::vector{Question(kAskProvince), Question(kAskProvince)}));
    EXPECT_EQ(AreaCount(), 3434u);

    MessageBoxes::Script({MessageAnswer::Ok});
    Click("btn_P_Del");
    EXPECT_EQ(Messages(), (std::vector{Question(kAskProvince), Info(kDeleted)}));
    EXPECT_EQ(AreaCount(), 3434u - 1 - 13 - 117);
    EXPECT_TRUE(Children("320000").empty());
    EXPECT_TRUE(Children("320500").empty());
    EXPECT_FALSE(Codes(Provinces()).contains("320000"));
    // The row before it is selected, with its own cities.
    EXPECT_EQ(Selected(Provinces()), "310000 上海市");
    EXPECT_EQ(Cities()->topLevelItemCount(), 17);
    EXPECT_EQ(window->CurrentProvinceCode(), "310000");
    ContactStore store(installation.database);
    EXPECT_EQ(store.CountContactsForExport(Gb18030("江苏省")).value_or(0), 1);
}

TEST_F(AreaWindow, DeletingACityTakesItsOwnCountiesAndSelectsTheNewFirstRow) {
    Open("320000", "江苏省");
    MessageBoxes::Script({MessageAnswer::Ok});
    Click("btn_Ci_Del");
    EXPECT_EQ(Messages(), (std::vector{Question(kAskCity), Info(kDeleted)}));
    EXPECT_TRUE(Children("320100").empty());
    EXPECT_EQ(Children("320200").size(), 9u);
    EXPECT_EQ(AreaCount(), 3434u - 1 - 12);
    EXPECT_EQ(Selected(Cities()), "320200 无锡市");
    EXPECT_EQ(Counties()->topLevelItemCount(), 9);
    EXPECT_EQ(window->CurrentCityCode(), "320200");

    MessageBoxes::Script({MessageAnswer::Ok});
    Click("btn_Co_Del");
    EXPECT_EQ(Messages(), (std::vector{Question(kAskCounty), Info(kDeleted)}));
    EXPECT_EQ(Children("320200").size(), 8u);
    EXPECT_EQ(Selected(Counties()), "320203 南长区");
}

TEST_F(AreaWindow, DeletingTheOnlyRowLeavesAnEmptyListAndNoParentForNewRows) {
    Open();
    ClickRow(Provinces(), "710000"); // no cities
    Type("edt_Ci_ID", "710100");
    Type("edt_Ci_Name", "台北市");
    Click("btn_Ci_New");
    Type("edt_Co_ID", "710101");
    Type("edt_Co_Name", "中正区");
    Click("btn_Co_New");
    EXPECT_EQ(Messages(), (std::vector{Info(kSaved), Info(kSaved)}));

    MessageBoxes::Script(
        {MessageAnswer::Ok, MessageAnswer::Ok, MessageAnswer::Ok, MessageAnswer::Ok});
    Click("btn_Co_Del");
    EXPECT_EQ(Counties()->topLevelItemCount(), 0);
    Click("btn_Ci_Del");
    EXPECT_EQ(Messages(), (std::vector{Question(kAskCounty), Info(kDeleted), Question(kAskCity),
                                       Info(kDeleted)}));
    EXPECT_EQ(Cities()->topLevelItemCount(), 0);
    EXPECT_EQ(window->CurrentCityCode(), "");

    // The boxes still hold what was typed, but no city is shown to file a county under.
    Type("edt_Co_ID", "710102");
    Type("edt_Co_Name", "大同区");
    Click("btn_Co_New");
    EXPECT_EQ(Messages(), std::vector{Warning("请先选择新建县（区）所属的地市!")});
    EXPECT_EQ(AreaCount(), 3434u);
}

TEST_F(AreaWindow, AProvinceWithoutCitiesLeavesNoCityToFileCountiesUnder) {
    Open();
    EXPECT_EQ(window->CurrentCityCode(), "110101");
    ClickRow(Provinces(), "810000");
    EXPECT_EQ(Cities()->topLevelItemCount(), 0);
    EXPECT_EQ(window->CurrentCityCode(), "");
    Type("edt_Co_ID", "810101");
    Type("edt_Co_Name", "中西区");
    Click("btn_Co_New");
    EXPECT_EQ(Messages(), std::vector{Warning("请先选择新建县（区）所属的地市!")});
    EXPECT_TRUE(Children("110101").empty());
}

TEST_F(AreaWindow, WithoutAProvinceShownNoCityCanBeFiledAndAnEmptiedListShowsNone) {
    Open("329000", "江苏省"); // the login area's province is gone
    const Message noProvince = Warning("请先选择新建地市所属的省!");
    Type("edt_Ci_ID", "990100");
    Type("edt_Ci_Name", "新市");
    Click("btn_Ci_New");
    EXPECT_EQ(Messages(), std::vector{noProvince});

    Type("edt_P_ID", "990000");
    Type("edt_P_Name", "新省");
    Click("btn_P_New");
    Click("btn_Ci_New");
    EXPECT_EQ(Messages(), (std::vector{Info(kSaved), Info(kSaved)}));
    EXPECT_EQ(Selected(Cities()), "990100 新市");

    MessageBoxes::Script({MessageAnswer::Ok});
    Click("btn_P_Del");
    EXPECT_EQ(Messages(), (std::vector{Question(kAskProvince), Info(kDeleted)}));
    EXPECT_EQ(Provinces()->topLevelItemCount(), 0);
    EXPECT_EQ(Cities()->topLevelItemCount(), 0);
    EXPECT_EQ(window->CurrentProvinceCode(), "");
    EXPECT_EQ(window->CurrentCityCode(), "");
    Click("btn_Ci_New");
    EXPECT_EQ(Messages(), std::vector{noProvince});
    EXPECT_EQ(AreaCount(), 3434u);
}

} // namespace
