#include "ui/dialog_buissness_card.h"

#include "platform/dates.h"
#include "store/contact_checks.h"
#include "ui/contact_list_manager.h"
#include "ui/fonts.h"
#include "ui/image_button.h"
#include "ui/login_area.h"
#include "ui/message_box.h"
#include "ui/qt_text.h"

#include <QCalendarWidget>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kFontPixels = 14;
constexpr int kFieldWidth = 300;
constexpr int kFieldHeight = 28;
constexpr int kNameLength = 40;
constexpr int kDepartmentLength = 200;
constexpr int kPhoneLength = 11;

const QStringList kSexes = {"男", "女"};
const QStringList kEducations = {"小学", "初中", "高中", "中专", "大专",
                                 "大学", "硕士", "博士", "其它"};
const QStringList kCategories = {"乡镇",
                                 "村",
                                 "社区",
                                 "街道",
                                 "国有集体企业",
                                 "非公企业",
                                 "事业单位",
                                 "社会团体",
                                 "基金会",
                                 "民办非企业单位",
                                 "律师事务所",
                                 "会计师事务所",
                                 "机关",
                                 "大学生村官",
                                 "市县党委书记",
                                 "组织人事部门正职",
                                 "组织人事部门副职",
                                 "组工干部"};

// The earliest date the picker holds stands for no date: it shows as a blank.
const QDate kNoBirthday(100, 1, 1);

// Operators count characters, not bytes: a Chinese character takes two.
QString TooLongText(const char* field, std::size_t maxBytes, const char* action) {
    return QString("%1过长：最多%2个汉字或%3个英文字母、数字，请重新%4！")
        .arg(field)
        .arg(maxBytes / 2)
        .arg(maxBytes)
        .arg(action);
}

QString EditorCheckText(EditorCheck check) {
    switch (check) {
    case EditorCheck::MissingRequired:
        return "请确保必填项不为空（带 * 为必填项）！";
    case EditorCheck::ForbiddenNameCharacter:
        return "姓名中只允许输入中文或者英文字母及数字，请重新输入!";
    case EditorCheck::NameTooLong:
        return TooLongText("姓名", kNameMaxBytes, "输入");
    case EditorCheck::ProvinceTooLong:
        return TooLongText("省的名称", kAreaNameMaxBytes, "选择");
    case EditorCheck::CityTooLong:
        return TooLongText("地市的名称", kAreaNameMaxBytes, "选择");
    case EditorCheck::CountyTooLong:
        return TooLongText("县的名称", kAreaNameMaxBytes, "选择");
    case EditorCheck::OrganizationTooLong:
        return TooLongText("单位及职务", kOrganizationMaxBytes, "输入");
    case EditorCheck::BadMobileNumber:
        return "请输入正确的手机号";
    case EditorCheck::Passed:
        break;
    }
    return {};
}

QComboBox* MakeList(QWidget* parent, const char* name, const QStringList& items = {}) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->setEditable(false);
    box->addItems(items);
    box->setCurrentIndex(-1);
    // Long area names (up to 15 characters) must not widen the window.
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(10);
    return box;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, int maxLength) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setMaxLength(maxLength);
    return edit;
}

bool IsEnterKey(const QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

std::string SelectedText(const QComboBox* box) {
    return box->currentIndex() < 0 ? std::string() : FromQString(box->currentText());
}

// A stored text longer than the box lets the operator type is shown whole, so that the
// save names what is too long instead of the box cutting it without a word.
void ShowWhole(QLineEdit* edit, const std::string& gb18030, int typedLimit) {
    const QString text = ToQString(gb18030);
    edit->setMaxLength(std::max(typedLimit, static_cast<int>(text.size())));
    edit->setText(text);
}

} // namespace

TCDialog_BuissnessCard::TCDialog_BuissnessCard(const Installation& installation,
                                               ContactListManager& manager, QWidget* owner,
                                               QWidget* centreOn)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      installation_(installation), manager_(manager), centreOn_(centreOn ? centreOn : owner) {
    setObjectName("CDialog_BuissnessCard");
    setWindowTitle("Quillon");
    setFont(YaHei(kFontPixels));
    BuildControls();
    // A new record too starts without a birthday: one the operator did not give is never
    // stored, and the required-field check asks for it.
    ClearBirthday();
    FillProvinceList();
    FillCityList();
    cbb_county_->setEnabled(false);
    editMode_ = false;
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
    CentreOnMainWindow();
}

QLabel* TCDialog_BuissnessCard::AddRow(int row, const char* labelName, const QString& label,
                                       QWidget* field, const QString& accessibleName) {
    auto* grid = static_cast<QGridLayout*>(layout()->itemAt(0)->layout());
    auto* caption = new QLabel(label, this);
    caption->setObjectName(labelName);
    caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    caption->setBuddy(field);
    field->setAccessibleName(accessibleName);
    field->setFixedSize(kFieldWidth, kFieldHeight);
    field->installEventFilter(this);
    grid->addWidget(caption, row, 0);
    grid->addWidget(field, row, 1);
    return caption;
}

void TCDialog_BuissnessCard::BuildControls() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(28, 24, 36, 18);
    outer->setSpacing(14);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(10);
    outer->addLayout(grid);

    edt_name_ = MakeEdit(this, "edt_name", kNameLength);
    cbb_sex_ = MakeList(this, "cbb_sex", kSexes);
    dtp_DataBirthday_ = new QDateEdit(this);
    dtp_DataBirthday_->setObjectName("dtp_DataBirthday");
    dtp_DataBirthday_->setCalendarPopup(true);
    dtp_DataBirthday_->setDisplayFormat("yyyy-MM-dd");
    dtp_DataBirthday_->setMinimumDate(kNoBirthday);
    dtp_DataBirthday_->setSpecialValueText(" ");
    dtp_DataBirthday_->calendarWidget()->installEventFilter(this);
    cbb_education_ = MakeList(this, "cbb_education", kEducations);
    cbb_province_ = MakeList(this, "cbb_province");
    cbb_city_ = MakeList(this, "cbb_city");
    cbb_county_ = MakeList(this, "cbb_county");
    cbb_type_ = MakeList(this, "cbb_type", kCategories);
    edt_department_ = MakeEdit(this, "edt_department", kDepartmentLength);
    edt_phone_ = MakeEdit(this, "edt_phone", kPhoneLength);
    // Typed characters other than digits never reach the box, as in a number-only field.
    edt_phone_->setValidator(
        new QRegularExpressionValidator(QRegularExpression("[0-9]*"), edt_phone_));

    AddRow(0, "lbl_name", "* 姓名：", edt_name_, "姓名");
    AddRow(1, "lbl_sex", "* 性别：", cbb_sex_, "性别");
    AddRow(2, "lbl_birthday", "* 出生年月：", dtp_DataBirthday_, "出生年月");
    AddRow(3, "lbl_education", "* 学历：", cbb_education_, "学历");
    AddRow(4, "lbl_province", "* 省：", cbb_province_, "省");
    AddRow(5, "lbl_city", "地市：", cbb_city_, "地市");
    AddRow(6, "lbl_county", "县：", cbb_county_, "县");
    AddRow(7, "lbl_type", "* 类别：", cbb_type_, "类别");
    AddRow(8, "lbl_department", "* 单位及职务：", edt_department_, "单位及职务");
    AddRow(9, "lbl_phone", "* 手机号码：", edt_phone_, "手机号码");

    QWidget* order[] = {edt_name_, cbb_sex_,    dtp_DataBirthday_, cbb_education_,  cbb_province_,
                        cbb_city_, cbb_county_, cbb_type_,         edt_department_, edt_phone_};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }

    auto* note = new QLabel("注： 带 *  项为必填项！", this);
    note->setObjectName("lbl_note");
    note->setStyleSheet("color: #e00000;");
    grid->addWidget(note, 10, 1);

    btn_save_ = new ImageButton("btn_save", "editor_btn_save", "保存", this);
    btn_cance_ = new ImageButton("btn_cance", "editor_btn_cance", "取消", this);
    for (ImageButton* button : {btn_save_, btn_cance_}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btn_save_);
    buttons->addSpacing(40);
    buttons->addWidget(btn_cance_);
    buttons->addStretch();
    outer->addLayout(buttons);

    connect(btn_save_, &QPushButton::clicked, this, &TCDialog_BuissnessCard::btn_saveClick);
    connect(btn_cance_, &QPushButton::clicked, this, &TCDialog_BuissnessCard::btn_canceClick);
    // Only the operator's choices: lists the program fills or selects raise nothing.
    connect(cbb_province_, &QComboBox::activated, this,
            &TCDialog_BuissnessCard::cbb_provinceChange);
    connect(cbb_city_, &QComboBox::activated, this, &TCDialog_BuissnessCard::cbb_citySelect);
}

void TCDialog_BuissnessCard::CentreOnMainWindow() {
    if (!centreOn_) {
        return;
    }
    const QRect frame = frameGeometry();
    const QRect target = centreOn_->frameGeometry();
    move(pos() + target.center() - frame.center());
}

void TCDialog_BuissnessCard::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The frame is known only once the window manager has the window.
    CentreOnMainWindow();
    shown_ = CollectRecord();
}

void TCDialog_BuissnessCard::reject() {
    // Escape and the close box would throw typed values away: ask first. 取消 is a choice
    // made already.
    if (isVisible() && CollectRecord() != shown_ &&
        MessageBoxes::ShowWithDefault(this, MessageKind::Confirmation, "放弃已输入的内容吗？",
                                      MessageButtons::OkCancel,
                                      MessageAnswer::Cancel) != MessageAnswer::Ok) {
        return;
    }
    QDialog::reject();
}

void TCDialog_BuissnessCard::ShowAreas(QComboBox* box, const std::vector<AreaRow>& rows) {
    box->clear();
    for (const AreaRow& row : rows) {
        box->addItem(ToQString(row.Area_Name));
    }
    box->setCurrentIndex(-1);
    box->setEnabled(!rows.empty());
}

void TCDialog_BuissnessCard::FillProvinceList() {
    const LoginArea& login = CurrentLoginArea();
    AreaRows rows = ProvincesForLoginArea(installation_.database, login.code);
    provinceEntries_ = rows ? std::move(rows.value()) : std::vector<AreaRow>{};
    ShowAreas(cbb_province_, provinceEntries_);
    // An operator logged in for one province cannot choose another.
    cbb_province_->setEnabled(login.code == kRootAreaCode);
    if (provinceEntries_.empty()) {
        currentProvinceCode_.clear();
        return;
    }
    cbb_province_->setCurrentIndex(0);
    currentProvinceCode_ = provinceEntries_.front().UI_ID;
}

void TCDialog_BuissnessCard::FillCityList() {
    const LoginArea& login = CurrentLoginArea();
    const std::string& parent = login.code == kRootAreaCode ? currentProvinceCode_ : login.code;
    cityEntries_.clear();
    if (!parent.empty()) {
        AreaRows rows = ChildrenOfArea(installation_.database, parent);
        if (rows) {
            cityEntries_ = std::move(rows.value());
        }
    }
    ShowAreas(cbb_city_, cityEntries_);
    FillCountyList();
}

void TCDialog_BuissnessCard::FillCountyList() {
    const int city = cbb_city_->currentIndex();
    if (city < 0 || city >= static_cast<int>(cityEntries_.size())) {
        cbb_county_->setCurrentIndex(-1);
        cbb_county_->setEnabled(false);
        return;
    }
    AreaRows rows = ChildrenOfArea(installation_.database, cityEntries_[city].UI_ID);
    countyEntries_ = rows ? std::move(rows.value()) : std::vector<AreaRow>{};
    ShowAreas(cbb_county_, countyEntries_);
}

void TCDialog_BuissnessCard::cbb_provinceChange() {
    // The code comes from the chosen item's own row: a search by name could land on another
    // area of the same name. A kept province has no row, and so no cities.
    const int index = cbb_province_->currentIndex();
    currentProvinceCode_ = index >= 0 && index < static_cast<int>(provinceEntries_.size())
                               ? provinceEntries_[index].UI_ID
                               : std::string();
    FillCityList();
    if (ShowsRecordProvince()) {
        KeepRecordArea(cbb_city_, recordCity_);
        cbb_citySelect();
    }
}

void TCDialog_BuissnessCard::cbb_citySelect() {
    FillCountyList();
    if (ShowsRecordProvince() && SelectedText(cbb_city_) == recordCity_) {
        KeepRecordCounty();
    }
}

bool TCDialog_BuissnessCard::ShowsRecordProvince() const {
    return editMode_ && SelectedText(cbb_province_) == recordProvince_;
}

bool TCDialog_BuissnessCard::ShowsListedCity() const {
    const int city = cbb_city_->currentIndex();
    return city >= 0 && city < static_cast<int>(cityEntries_.size());
}

void TCDialog_BuissnessCard::KeepRecordArea(QComboBox* box, const std::string& text) {
    if (text.empty() || SelectComboText(box, ToQString(text))) {
        return;
    }
    box->addItem(ToQString(text));
    box->setCurrentIndex(box->count() - 1);
    // The province box stays as the login area set it: fixed for a one-province login.
    if (box != cbb_province_) {
        box->setEnabled(true);
    }
}

void TCDialog_BuissnessCard::KeepRecordCounty() {
    if (!ShowsListedCity()) {
        // No listed city, no counties to offer: only the record's own, if it has one.
        countyEntries_.clear();
        ShowAreas(cbb_county_, countyEntries_);
    }
    KeepRecordArea(cbb_county_, recordCounty_);
}

bool TCDialog_BuissnessCard::SelectComboText(QComboBox* box, const QString& text) {
    const int index = box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0) {
        return false;
    }
    box->setCurrentIndex(index);
    return true;
}

void TCDialog_BuissnessCard::LoadRecord(const ContactRecord& record) {
    editMode_ = true;
    recordProvince_ = record[kProvince];
    recordCity_ = record[kCity];
    recordCounty_ = record[kCounty_Seat];
    ShowWhole(edt_name_, record[kUser_Name], kNameLength);
    SelectComboText(cbb_sex_, ToQString(record[kUser_Sex]));
    SelectComboText(cbb_education_, ToQString(record[kUser_Education]));
    SelectComboText(cbb_type_, ToQString(record[kRecode_Type]));
    // A record's areas stay as stored, listed or not (renamed since, or brought by another
    // installation's package), until the operator chooses others. A record without a
    // province must not quietly get the first one: the operator has to choose.
    if (recordProvince_.empty()) {
        cbb_province_->setCurrentIndex(-1);
    } else {
        KeepRecordArea(cbb_province_, recordProvince_);
    }
    cbb_provinceChange();
    const auto birthday = ParseShortDate(record[kUser_Birthday]);
    if (birthday) {
        dtp_DataBirthday_->setDate(QDate(birthday->year, birthday->month, birthday->day));
    } else {
        ClearBirthday();
    }
    ShowWhole(edt_department_, record[kOrganization_Detial], kDepartmentLength);
    ShowWhole(edt_phone_, record[kMobile_NO], kPhoneLength);
}

bool TCDialog_BuissnessCard::BirthdayGiven() const {
    return dtp_DataBirthday_->date() > kNoBirthday;
}

void TCDialog_BuissnessCard::ClearBirthday() {
    dtp_DataBirthday_->setDate(kNoBirthday);
}

bool TCDialog_BuissnessCard::TakeBlankBirthdayInput(const QEvent* event) {
    if (BirthdayGiven()) {
        return false;
    }
    // Turning the wheel over an empty picker would step the placeholder date.
    if (event->type() == QEvent::Wheel) {
        return true;
    }
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    const int key = static_cast<const QKeyEvent*>(event)->key();
    const bool step = key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
                      key == Qt::Key_PageDown;
    const bool digit = key >= Qt::Key_0 && key <= Qt::Key_9;
    if (!step && !digit) {
        return false;
    }
    // The operator starts a date: from today's, with the year selected so that typed digits
    // replace it. A step lands on today itself.
    dtp_DataBirthday_->setDate(QDate::currentDate());
    dtp_DataBirthday_->setSelectedSection(QDateTimeEdit::YearSection);
    return step;
}

bool TCDialog_BuissnessCard::IsSeparatorAfterMovingOn(const QEvent* event) const {
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    const QString typed = static_cast<const QKeyEvent*>(event)->text();
    if (typed != "-" && typed != "/" && typed != ".") {
        return false;
    }
    // The picker moves on to the month by itself once four digits of the year are typed, and
    // to the day after two of the month; a separator typed then would move it on once more,
    // and "1971-04-05" would become 1971-12-04. So a separator at the start of a section,
    // nothing typed in it yet, is taken as already done.
    const auto* line = dtp_DataBirthday_->findChild<QLineEdit*>();
    if (line == nullptr) {
        return false;
    }
    const QString text = line->text();
    int sectionStart = 0;
    for (int at = 0, separators = 0;
         at < text.size() && separators < dtp_DataBirthday_->currentSectionIndex(); ++at) {
        if (!text[at].isDigit()) {
            ++separators;
            sectionStart = at + 1;
        }
    }
    const int cursor = line->hasSelectedText() ? line->selectionStart() : line->cursorPosition();
    return cursor == sectionStart;
}

ContactRecord TCDialog_BuissnessCard::CollectRecord() const {
    ContactRecord record;
    record[kUser_Name] = FromQString(edt_name_->text());
    record[kUser_Sex] = SelectedText(cbb_sex_);
    if (BirthdayGiven()) {
        const QDate birthday = dtp_DataBirthday_->date();
        record[kUser_Birthday] =
            FormatShortDate({birthday.year(), birthday.month(), birthday.day()});
    }
    record[kUser_Education] = SelectedText(cbb_education_);
    record[kRecode_Type] = SelectedText(cbb_type_);
    record[kProvince] = SelectedText(cbb_province_);
    record[kCity] = SelectedText(cbb_city_);
    record[kCounty_Seat] = SelectedText(cbb_county_);
    record[kOrganization_Detial] = FromQString(edt_department_->text());
    record[kMobile_NO] = FromQString(edt_phone_->text());
    return record;
}

bool TCDialog_BuissnessCard::SaveRecord() {
    const ContactRecord record = CollectRecord();
    const EditorCheck check = CheckEditorRecord(record);
    if (check != EditorCheck::Passed) {
        MessageBoxes::Show(this, MessageKind::Warning, EditorCheckText(check), MessageButtons::Yes);
        return false;
    }
    return editMode_ ? manager_.EditContact(record) : manager_.AddContact(record);
}

void TCDialog_BuissnessCard::btn_saveClick() {
    if (SaveRecord()) {
        accept();
    }
}

void TCDialog_BuissnessCard::btn_canceClick() {
    QDialog::reject();
}

bool TCDialog_BuissnessCard::eventFilter(QObject* watched, QEvent* event) {
    // A calendar opened on an empty picker shows this month, not the blank's placeholder
    // date; nothing is chosen until the operator picks a day.
    if (event->type() == QEvent::Show && watched == dtp_DataBirthday_->calendarWidget() &&
        !BirthdayGiven()) {
        const QDate today = QDate::currentDate();
        dtp_DataBirthday_->calendarWidget()->setCurrentPage(today.year(), today.month());
    }
    if (watched == dtp_DataBirthday_ &&
        (TakeBlankBirthdayInput(event) || IsSeparatorAfterMovingOn(event))) {
        return true;
    }
    // Enter saves from whichever field has the focus.
    if (IsEnterKey(event)) {
        btn_saveClick();
        return true;
    }
    // Tab leaves the date picker as it leaves every other field; the arrow keys move
    // between its year, month and day.
    if (watched == dtp_DataBirthday_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
            focusNextPrevChild(key == Qt::Key_Tab);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
