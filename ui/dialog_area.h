#pragma once

#include "platform/installation.h"
#include "store/area_edits.h"

#include <QDialog>
#include <string>

class QItemSelection;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// Maintains the area hierarchy: provinces, their cities and the cities' counties, each in
// a column with a list, a code box, a name box and buttons that write every change to the
// database at once. Contacts name their areas, so they never change with it.
class TCDialog_Area : public QDialog {
    Q_OBJECT
public:
    explicit TCDialog_Area(const Installation& installation, QWidget* parent = nullptr);

    // Fill the lists; each selects its first row, which fills the lists to its right.
    void InitProvince();
    void InitCity(const std::string& provinceCode);
    void InitCounty(const std::string& cityCode);

    // Run for a row whose selection changed, whether it became selected or lost it.
    void list_ProvinceSelectItem(int row);
    void list_CitySelectItem(int row);
    void list_CountySelectItem(int row);

    void btn_P_NewClick() { NewAt(province_); }
    void btn_P_EditClick() { EditAt(province_); }
    void btn_P_DelClick() { DeleteAt(province_); }
    void btn_Ci_NewClick() { NewAt(city_); }
    void btn_Ci_EditClick() { EditAt(city_); }
    void btn_Ci_DelClick() { DeleteAt(city_); }
    void btn_Co_NewClick() { NewAt(county_); }
    void btn_Co_EditClick() { EditAt(county_); }
    void btn_Co_DelClick() { DeleteAt(county_); }
    void btn_closeClick();

    // The parents of new cities and new counties: the province and the city whose lists
    // are shown, or "" when there is none.
    const std::string& CurrentProvinceCode() const { return currentProvince_; }
    const std::string& CurrentCityCode() const { return currentCity_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    // One level's controls and words.
    struct Column {
        AreaLevel level;
        QTreeWidget* list = nullptr;
        QLineEdit* code = nullptr;
        QLineEdit* name = nullptr;
        // While the program empties the list or takes a row out, the rows leaving are not
        // handled as deselected.
        bool quiet = false;
    };

    void BuildControls();
    QWidget* BuildColumn(Column& column);
    void OnSelectionChanged(Column& column, const QItemSelection& selected,
                            const QItemSelection& deselected);
    void SelectItem(AreaLevel level, int row);
    void Fill(Column& column, const std::string& parentCode);
    void Clear(Column& column);
    void SelectRow(Column& column, int row);
    void ClearCities();
    void ClearCountyBoxes();

    void NewAt(Column& column);
    void EditAt(Column& column);
    void DeleteAt(Column& column);
    // The parent of a new row at this level; "" when there is none to put it under.
    std::string ParentForNew(AreaLevel level) const;
    // The current code that a row of this level sets; none for a county.
    std::string* CurrentCodeOf(AreaLevel level);
    // Writes the login area's code to config.ini, and says so when it cannot.
    bool StoreLoginAreaCode(const std::string& code);
    void AfterDelete(Column& column, const std::string& code);

    void Warn(const QString& text);
    void Inform(const QString& text);
    // An action failed: its own words for a failed statement, the database's trouble else.
    void ShowFailure(const StoreStatus& status, const QString& text);

    Installation installation_;
    std::string currentProvince_;
    std::string currentCity_;
    StoreStatus provinceRead_;
    bool shownOnce_ = false;

    Column province_{AreaLevel::Province};
    Column city_{AreaLevel::City};
    Column county_{AreaLevel::County};
    QPushButton* btn_close_ = nullptr;
};
