#pragma once
// The auxiliary work entry: worker, nomenclature group, kind of work and hours of one
// entry of the register, at the current rate of the kind.
#include "domain/db.h"
#include "refbooks/keycombo.h"

#include <QDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

namespace mirn {

class TForm24 : public QDialog {
    Q_OBJECT
public:
    TForm24();

    int Tag = 0;     // 0 adding, 1 changing the register's current entry
    int id_p = 0;    // the chosen worker (accounts_dep.person), 0 none
    int id_nom = 0;  // the chosen nomenclature group, 0 none

    QGroupBox* GroupBox1;          // "Закрыто мастером"
    QLineEdit* Edit1;              // "ФИО"
    QPushButton* Button3;          // "..." worker
    QLineEdit* Edit2;              // "Номенклатура"
    QPushButton* Button4;          // "..." nomenclature group
    refkit::KeyCombo* cb_type_work;
    QLineEdit* Edit6;              // hours
    QLineEdit* DBEdit1;            // the rate of the chosen kind
    QLineEdit* DBEdit2;            // rate × hours
    QPushButton* Button1;          // "Записать"
    QPushButton* Button6;          // "Выход"

    Query type_work;  // the kinds of work with their rates, open while the dialog is shown

    // The register opens the dialog with its date, its shift and its entries
    // `registerList`: for a new entry, or for the current entry of the list; both show
    // it modally. A save reads the register's entries again on the same row.
    int runNew(const QDate& date, int shift, Query& registerList);
    int runChange(const QDate& date, int shift, Query& registerList);

    void Button3Click();
    void Button4Click();
    void Edit6Exit();
    void Button1Click();

private:
    void showRate();
    QDate date_;                 // the register's
    int shift_ = 1;              // the register's
    Query* register_ = nullptr;  // the register's entries
};

}  // namespace mirn
