#include "ui/dialog_area.h"

#include "platform/settings.h"
#include "store/areas.h"
#include "ui/login_area.h"
#include "ui/message_box.h"
#include "ui/qt_text.h"
#include "ui/store_messages.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

namespace {

const QSize kDesignedSize(900, 600);
constexpr int kFontPixels = 14;
constexpr int kCodeColumnWidth = 110;

// Names and words of one level's column.
struct LevelTexts {
    const char* list;
    const char* code;
    const char* name;
    const char* newButton;
    const char* editButton;
    const char* deleteButton;
    const char* codeLabelName;
    const char* nameLabelName;
    const char* codeHeader;
    const char* nameHeader;
    const char* codeLabel;
    const char* nameLabel;
    const char* required;
    const char* chooseToEdit;
    const char* chooseToDelete;
    const char* newFailed;
    const char* deleteQuestion;
    const char* noParent; // New with nothing to put the row under
};

const LevelTexts kProvince = {
    "list_Province",
    "edt_P_ID",
    "edt_P_Name",
    "btn_P_New",
    "btn_P_Edit",
    "btn_P_Del",
    "lbl_P_ID",
    "lbl_P_Name",
    "省(直辖市)ID",
    "省(直辖市)",
    "省ID：",
    "省：",
    "【省ID】和【省】均为必填项!",
    "请选择您要修改的省!",
    "请选择您要删除的省!",
    "新建保存失败，省ID已存在!",
    "删除选中省后，从属与它的地市和县也将相应被删除,确认删除选中项吗？",
    "",
};

const LevelTexts kCity = {
    "list_City",
    "edt_Ci_ID",
    "edt_Ci_Name",
    "btn_Ci_New",
    "btn_Ci_Edit",
    "btn_Ci_Del",
    "lbl_Ci_ID",
    "lbl_Ci_Name",
    "地市ID",
    "地市",
    "地市ID：",
    "地市：",
    "【地市ID】和【地市】均为必填项!",
    "请选择您要修改的地市!",
    "请选择您要删除的地市!",
    "新建保存失败，地市ID已存在!",
    "删除选中地市后，从属与它的县也将相应被删除,确认删除选中项吗？",
    "请先选择新建地市所属的省!",
};

const LevelTexts kCounty = {
    "list_County",
    "edt_Co_ID",
    "edt_Co_Name",
    "btn_Co_New",
    "btn_Co_Edit",
    "btn_Co_Del",
    "lbl_Co_ID",
    "lbl_Co_Name",
    "县(区)ID",
    "县(区)",
    "县ID：",
    "县：",
    "【县ID】和【县】均为必填项!",
    "请选择您要修改的县（区）!",
    "请选择您要删除的县（区）!",
    "新建保存失败，县ID已存在!",
    "确认删除选中项吗？!",
    "请先选择新建县（区）所属的地市!",
};

const LevelTexts& TextsOf(AreaLevel level) {
    switch (level) {
    case AreaLevel::Province:
        return kProvince;
    case AreaLevel::City:
        return kCity;
    case AreaLevel::County:
        break;
    }
    return kCounty;
}

constexpr char kLoginProvinceKept[] = "选中的省是本机的登录地区，不能删除!";

// The exact GB18030 texts of a row, kept beside what the list shows.
constexpr int kCodeRole = Qt::UserRole;
constexpr int kNameRole = Qt::UserRole + 1;

std::string CodeOf(const QTreeWidgetItem* item) {
    return item->data(0, kCodeRole).toByteArray().toStdString();
}

std::string NameOf(const QTreeWidgetItem* item) {
    return item->data(0, kNameRole).toByteArray().toStdString();
}

void ShowRow(QTreeWidgetItem* item, const std::string& code, const std::string& name) {
    item->setText(0, ToQString(code));
    item->setText(1, ToQString(name));
    item->setData(0, kCodeRole, QByteArray::fromStdString(code));
    item->setData(0, kNameRole, QByteArray::fromStdString(name));
}

void AppendRow(QTreeWidget* list, const std::string& code, const std::string& name) {
    ShowRow(new QTreeWidgetItem(list), code, name);
}

// The label's words without the colon, as assistive technology reads the box.
QString AccessibleNameOf(const QString& label) {
    QString name = label;
    name.remove("：");
    return name;
}

QTreeWidget* MakeList(QWidget* parent, const LevelTexts& texts) {
    auto* list = new QTreeWidget(parent);
    list->setObjectName(texts.list);
    list->setAccessibleName(texts.nameHeader);
    list->setColumnCount(2);
    list->setHeaderLabels({texts.codeHeader, texts.nameHeader});
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSortingEnabled(false);
    list->header()->setSectionsMovable(false);
    list->header()->setSectionsClickable(false);
    list->header()->setStretchLastSection(true);
    list->setColumnWidth(0, kCodeColumnWidth);
    // The selected rows stay marked while the operator types in the boxes below.
    QPalette palette = list->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    }
    list->setPalette(palette);
    return list;
}

QLineEdit* MakeBox(QWidget* parent, const char* name, QLabel* label) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setAccessibleName(AccessibleNameOf(label->text()));
    label->setBuddy(box);
    return box;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

// Enter in a box must not press a button that writes to the database.
QPushButton* MakeButton(QWidget* parent, const char* name, const char* text) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

} // namespace

TCDialog_Area::TCDialog_Area(const Installation& installation, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      installation_(installation) {
    setObjectName("CDialog_Area");
    setWindowTitle("省市县组织结构维护表");
    QFont windowFont = font();
    windowFont.setPixelSize(kFontPixels);
    setFont(windowFont);
    BuildControls();
    resize(kDesignedSize);
    InitProvince();
}

void TCDialog_Area::BuildControls() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 10);
    layout->setSpacing(10);
    auto* columns = new QHBoxLayout;
    columns->setSpacing(12);
    for (Column* column : {&province_, &city_, &county_}) {
        columns->addWidget(BuildColumn(*column), 1);
    }
    layout->addLayout(columns, 1);

    auto* bar = new QHBoxLayout;
    bar->addStretch();
    btn_close_ = MakeButton(this, "btn_close", "关闭");
    btn_close_->setMinimumWidth(90);
    connect(btn_close_, &QPushButton::clicked, this, &TCDialog_Area::btn_closeClick);
    bar->addWidget(btn_close_);
    layout->addLayout(bar);
}

QWidget* TCDialog_Area::BuildColumn(Column& column) {
    const LevelTexts& texts = TextsOf(column.level);
    auto* panel = new QWidget(this);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);

    column.list = MakeList(panel, texts);
    connect(column.list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this, &column](const QItemSelection& selected, const QItemSelection& deselected) {
                OnSelectionChanged(column, selected, deselected);
            });
    layout->addWidget(column.list, 1);

    auto* boxes = new QGridLayout;
    boxes->setHorizontalSpacing(6);
    boxes->setVerticalSpacing(6);
    QLabel* codeLabel = MakeLabel(panel, texts.codeLabelName, texts.codeLabel);
    QLabel* nameLabel = MakeLabel(panel, texts.nameLabelName, texts.nameLabel);
    column.code = MakeBox(panel, texts.code, codeLabel);
    column.name = MakeBox(panel, texts.name, nameLabel);
    boxes->addWidget(codeLabel, 0, 0);
    boxes->addWidget(column.code, 0, 1);
    boxes->addWidget(nameLabel, 1, 0);
    boxes->addWidget(column.name, 1, 1);
    // The same label width in every column keeps the boxes of the three columns in line.
    boxes->setColumnMinimumWidth(0, fontMetrics().horizontalAdvance("地市ID：") + 4);
    boxes->setColumnStretch(1, 1);
    layout->addLayout(boxes);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    const struct {
        const char* name;
        const char* caption;
        void (TCDialog_Area::*action)(Column&);
    } actions[] = {{texts.newButton, "新建保存", &TCDialog_Area::NewAt},
                   {texts.editButton, "编辑保存", &TCDialog_Area::EditAt},
                   {texts.deleteButton, "删除", &TCDialog_Area::DeleteAt}};
    for (const auto& [name, caption, action] : actions) {
        QPushButton* button = MakeButton(panel, name, caption);
        connect(button, &QPushButton::clicked, this,
                [this, &column, action = action] { (this->*action)(column); });
        buttons->addWidget(button, 1);
    }
    layout->addLayout(buttons);
    return panel;
}

void TCDialog_Area::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!shownOnce_ && !event->spontaneous()) {
        shownOnce_ = true;
        // Empty lists alone would look like an empty hierarchy.
        if (!provinceRead_) {
            MessageBoxes::Show(this, MessageKind::Error, DatabaseFailureText(provinceRead_),
                               MessageButtons::Ok);
        }
    }
}

// Lists

void TCDialog_Area::InitProvince() {
    AreaRows rows = ProvincesForLoginArea(installation_.database, CurrentLoginArea().code);
    provinceRead_ = rows.status();
    Clear(province_);
    currentProvince_.clear();
    for (const AreaRow& row : rows.value_or({})) {
        AppendRow(province_.list, row.UI_ID, row.Area_Name);
    }
    if (province_.list->topLevelItemCount() > 0) {
        SelectRow(province_, 0);
    } else {
        ClearCities();
    }
}

void TCDialog_Area::InitCity(const std::string& provinceCode) {
    Fill(city_, provinceCode);
    currentCity_.clear();
    if (city_.list->topLevelItemCount() > 0) {
        SelectRow(city_, 0);
    } else {
        Clear(county_);
        ClearCountyBoxes();
    }
}

void TCDialog_Area::InitCounty(const std::string& cityCode) {
    Fill(county_, cityCode);
    if (county_.list->topLevelItemCount() > 0) {
        SelectRow(county_, 0);
    } else {
        ClearCountyBoxes();
    }
}

void TCDialog_Area::Fill(Column& column, const std::string& parentCode) {
    Clear(column);
    // A failed read shows as an empty list; the window said so when it opened.
    for (const AreaRow& row : ChildrenOfArea(installation_.database, parentCode).value_or({})) {
        AppendRow(column.list, row.UI_ID, row.Area_Name);
    }
}

void TCDialog_Area::Clear(Column& column) {
    column.quiet = true;
    column.list->clear();
    column.quiet = false;
}

void TCDialog_Area::SelectRow(Column& column, int row) {
    column.list->setCurrentItem(column.list->topLevelItem(row));
}

void TCDialog_Area::ClearCities() {
    Clear(city_);
    currentCity_.clear();
    Clear(county_);
    ClearCountyBoxes();
}

void TCDialog_Area::ClearCountyBoxes() {
    county_.code->clear();
    county_.name->clear();
}

// Selection

void TCDialog_Area::OnSelectionChanged(Column& column, const QItemSelection& selected,
                                       const QItemSelection& deselected) {
    if (column.quiet) {
        return;
    }
    // The row losing the selection first, so that the one gaining it has the last word.
    for (const QItemSelection* change : {&deselected, &selected}) {
        std::set<int> rows;
        for (const QModelIndex& index : change->indexes()) {
            rows.insert(index.row());
        }
        for (int row : rows) {
            SelectItem(column.level, row);
        }
    }
}

void TCDialog_Area::SelectItem(AreaLevel level, int row) {
    switch (level) {
    case AreaLevel::Province:
        list_ProvinceSelectItem(row);
        break;
    case AreaLevel::City:
        list_CitySelectItem(row);
        break;
    case AreaLevel::County:
        list_CountySelectItem(row);
        break;
    }
}

void TCDialog_Area::list_ProvinceSelectItem(int row) {
    const QTreeWidgetItem* item = province_.list->topLevelItem(row);
    if (!item) {
        return;
    }
    const std::string code = CodeOf(item);
    const std::string name = NameOf(item);
    currentProvince_ = code;
    InitCity(code);
    province_.code->setText(ToQString(code));
    province_.name->setText(ToQString(name));
}

void TCDialog_Area::list_CitySelectItem(int row) {
    const QTreeWidgetItem* item = city_.list->topLevelItem(row);
    if (!item) {
        return;
    }
    const std::string code = CodeOf(item);
    const std::string name = NameOf(item);
    currentCity_ = code;
    InitCounty(code);
    city_.code->setText(ToQString(code));
    city_.name->setText(ToQString(name));
}

void TCDialog_Area::list_CountySelectItem(int row) {
    const QTreeWidgetItem* item = county_.list->topLevelItem(row);
    if (!item) {
        return;
    }
    county_.code->setText(ToQString(CodeOf(item)));
    county_.name->setText(ToQString(NameOf(item)));
}

void TCDialog_Area::btn_closeClick() {
    close();
}

std::string TCDialog_Area::ParentForNew(AreaLevel level) const {
    switch (level) {
    case AreaLevel::Province:
        return kRootAreaCode;
    case AreaLevel::City:
        return currentProvince_;
    case AreaLevel::County:
        break;
    }
    return currentCity_;
}

void TCDialog_Area::NewAt(Column& column) {
    const LevelTexts& texts = TextsOf(column.level);
    const std::string code = FromQString(column.code->text());
    const std::string name = FromQString(column.name->text());
    if (code.empty() || name.empty()) {
        Warn(texts.required);
        return;
    }
    // With no province or city shown there is nothing to file the new row under; a row
    // under a parent the operator no longer sees would be lost from view.
    const std::string parent = ParentForNew(column.level);
    if (parent.empty()) {
        Warn(texts.noParent);
        return;
    }
    if (const StoreStatus added = InsertArea(installation_.database, code, parent, name); !added) {
        ShowFailure(added, texts.newFailed);
        return;
    }
    Inform("新建保存成功!");
    AppendRow(column.list, code, name);
    SelectRow(column, column.list->topLevelItemCount() - 1);
}

void TCDialog_Area::EditAt(Column& column) {
    const LevelTexts& texts = TextsOf(column.level);
    const QList<QTreeWidgetItem*> chosen = column.list->selectedItems();
    if (chosen.isEmpty()) {
        Warn(texts.chooseToEdit);
        return;
    }
    const std::string newCode = FromQString(column.code->text());
    const std::string newName = FromQString(column.name->text());
    if (newCode.empty() || newName.empty()) {
        Warn(texts.required);
        return;
    }
    QTreeWidgetItem* item = chosen.front();
    const std::string oldCode = CodeOf(item);
    // The next login looks its area up by the stored code: left on the old code, nobody
    // could log in again. config.ini goes first, so that a setting that cannot be written
    // leaves the hierarchy as it was, and goes back when the edit fails.
    const bool loginFollows = column.level == AreaLevel::Province &&
                              oldCode == CurrentLoginArea().code && newCode != oldCode;
    if (loginFollows && !StoreLoginAreaCode(newCode)) {
        return;
    }
    if (const StoreStatus edited =
            EditArea(installation_.database, column.level, oldCode, newCode, newName);
        !edited) {
        if (loginFollows) {
            StoreLoginAreaCode(oldCode);
        }
        ShowFailure(edited, "编辑保存失败!");
        return;
    }
    if (loginFollows) {
        CurrentLoginArea().code = newCode;
    }
    Inform("编辑保存成功!");
    ShowRow(item, newCode, newName);
    // New cities and counties go under the code the row has now.
    if (std::string* current = CurrentCodeOf(column.level); current && *current == oldCode) {
        *current = newCode;
    }
}

std::string* TCDialog_Area::CurrentCodeOf(AreaLevel level) {
    switch (level) {
    case AreaLevel::Province:
        return &currentProvince_;
    case AreaLevel::City:
        return &currentCity_;
    case AreaLevel::County:
        break;
    }
    return nullptr;
}

bool TCDialog_Area::StoreLoginAreaCode(const std::string& code) {
    if (WriteLoginAreaCode(installation_.config, code)) {
        return true;
    }
    MessageBoxes::Show(this, MessageKind::Error, SettingsWriteFailureText(installation_.config),
                       MessageButtons::Ok);
    return false;
}

void TCDialog_Area::DeleteAt(Column& column) {
    const LevelTexts& texts = TextsOf(column.level);
    const QList<QTreeWidgetItem*> chosen = column.list->selectedItems();
    if (chosen.isEmpty()) {
        Warn(texts.chooseToDelete);
        return;
    }
    QTreeWidgetItem* item = chosen.front();
    const std::string code = CodeOf(item);
    // Without its own province the login area would be gone, and the next login with it.
    if (column.level == AreaLevel::Province && code == CurrentLoginArea().code) {
        Warn(kLoginProvinceKept);
        return;
    }
    if (MessageBoxes::ShowWithDefault(this, MessageKind::Information, texts.deleteQuestion,
                                      MessageButtons::OkCancel,
                                      MessageAnswer::Cancel) != MessageAnswer::Ok) {
        return;
    }
    if (const StoreStatus deleted = DeleteArea(installation_.database, column.level, code);
        !deleted) {
        ShowFailure(deleted, "删除失败!");
        return;
    }
    AfterDelete(column, code);

    const int row = column.list->indexOfTopLevelItem(item);
    // The view moves the selection to a neighbour of the row it loses; the row chosen
    // below is the one selected, and handled.
    column.quiet = true;
    delete item;
    column.list->clearSelection();
    column.quiet = false;
    if (column.list->topLevelItemCount() > 0) {
        SelectRow(column, std::max(row - 1, 0));
    } else if (column.level == AreaLevel::Province) {
        currentProvince_.clear();
        ClearCities();
    } else if (column.level == AreaLevel::City) {
        currentCity_.clear();
    }
    Inform("删除成功!");
}

void TCDialog_Area::AfterDelete(Column& column, const std::string& code) {
    switch (column.level) {
    case AreaLevel::Province:
        Clear(county_);
        break;
    case AreaLevel::City:
        // The counties of the row just deleted, whichever city was handled last.
        InitCounty(code);
        break;
    case AreaLevel::County:
        break;
    }
}

// Messages

void TCDialog_Area::Warn(const QString& text) {
    MessageBoxes::Show(this, MessageKind::Warning, text, MessageButtons::Ok);
}

void TCDialog_Area::Inform(const QString& text) {
    MessageBoxes::Show(this, MessageKind::Information, text, MessageButtons::Ok);
}

void TCDialog_Area::ShowFailure(const StoreStatus& status, const QString& text) {
    if (status.error == StoreError::StatementFailed) {
        Inform(text);
    } else {
        MessageBoxes::Show(this, MessageKind::Error, DatabaseFailureText(status),
                           MessageButtons::Ok);
    }
}
