#pragma once

#include "platform/installation.h"
#include "store/areas.h"
#include "store/contact_store.h"

#include <QDialog>
#include <string>
#include <vector>

class ContactListManager;
class ImageButton;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;

// The contact editor: a new contact, or a change to one loaded from a list row. It checks
// the fields and hands the record to the list's manager, which stores it; the editor itself
// never writes to the database.
class TCDialog_BuissnessCard : public QDialog {
    Q_OBJECT
public:
    // centreOn is the main window: the editor opens centred on it whether or not it is the
    // editor's owner (the list's edit cell opens the editor without one).
    TCDialog_BuissnessCard(const Installation& installation, ContactListManager& manager,
                           QWidget* owner, QWidget* centreOn = nullptr);

    void FillProvinceList();
    void FillCityList();
    void FillCountyList();
    void cbb_provinceChange();
    void cbb_citySelect();

    // Fills the controls from a list row (fields 1 to 10) and switches to edit mode.
    void LoadRecord(const ContactRecord& record);
    // Checks the fields in order, says what is wrong, and stores the record when all pass.
    bool SaveRecord();

    void btn_saveClick();
    void btn_canceClick();
    // Escape and the close box: asks before typed values are thrown away.
    void reject() override;

    bool EditMode() const { return editMode_; }
    // The province whose cities are listed; empty when no province is chosen.
    const std::string& CurrentProvinceCode() const { return currentProvinceCode_; }
    // The record the controls hold now, identifier empty.
    ContactRecord CollectRecord() const;

    // Selects the first item whose text is exactly text; false (selection unchanged) when
    // there is none.
    static bool SelectComboText(QComboBox* box, const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    QLabel* AddRow(int row, const char* labelName, const QString& label, QWidget* field,
                   const QString& accessibleName);
    void CentreOnMainWindow();
    // Fills a box from area rows, nothing selected.
    static void ShowAreas(QComboBox* box, const std::vector<AreaRow>& rows);
    // Selects the loaded record's area text in the box, adding it after the listed areas
    // when the box does not list it (an area renamed since, or another installation's).
    void KeepRecordArea(QComboBox* box, const std::string& text);
    // The record's county, once the record's province and city are shown again.
    void KeepRecordCounty();
    bool ShowsRecordProvince() const;
    bool ShowsListedCity() const;
    bool BirthdayGiven() const;
    void ClearBirthday();
    // Keys and the wheel on an empty picker; true when the event is used up.
    bool TakeBlankBirthdayInput(const QEvent* event);
    // A separator typed where the picker has already moved on to the next section.
    bool IsSeparatorAfterMovingOn(const QEvent* event) const;

    Installation installation_;
    ContactListManager& manager_;
    QWidget* centreOn_;
    std::string currentProvinceCode_;
    std::vector<AreaRow> provinceEntries_;
    std::vector<AreaRow> cityEntries_;
    std::vector<AreaRow> countyEntries_;
    bool editMode_ = false;
    // The areas of the loaded record (GB18030), kept until the operator chooses others.
    std::string recordProvince_;
    std::string recordCity_;
    std::string recordCounty_;

    QLineEdit* edt_name_ = nullptr;
    QComboBox* cbb_sex_ = nullptr;
    QDateEdit* dtp_DataBirthday_ = nullptr;
    QComboBox* cbb_education_ = nullptr;
    QComboBox* cbb_province_ = nullptr;
    QComboBox* cbb_city_ = nullptr;
    QComboBox* cbb_county_ = nullptr;
    QComboBox* cbb_type_ = nullptr;
    QLineEdit* edt_department_ = nullptr;
    QLineEdit* edt_phone_ = nullptr;
    ImageButton* btn_save_ = nullptr;
    ImageButton* btn_cance_ = nullptr;
    ContactRecord shown_; // the values as the window opened with them
};
