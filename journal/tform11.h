#pragma once
// The shift entry dialog: one worker, one priced operation, quantity, rejects,
// hours, colour and date; the worker and the operation are picked from their lists.
#include "domain/db.h"
#include "refbooks/tform4.h"

#include <QDateEdit>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace mirn {

namespace entry {
struct Record;
}

class TForm11 : public QDialog {
    Q_OBJECT
public:
    TForm11();

    // Mode: 1 a new entry, 2 a change of the journal's current entry.
    int Tag = 1;
    int w_id = 0;
    int o_id = 0;
    int i_id = 0;
    double cena = 0;  // final price of a piece

    QGroupBox* GroupBox1;  // "Закрыто мастером"
    QLineEdit* Edit1;      // worker
    QPushButton* Button3;  // worker picker
    QLineEdit* Edit2;      // operation description
    QPushButton* Button4;  // operation picker
    QLineEdit* Edit3;      // quantity
    QLineEdit* Edit6;      // hours
    QLabel* Label6;        // "Цвет"
    QLineEdit* Edit5;      // colour
    QDateEdit* DTimeP;     // date
    QLineEdit* Edit4;      // rejects
    QLineEdit* Edit8;      // base price
    QLineEdit* Edit7;      // final price
    QLineEdit* Edit9;      // sum
    QPushButton* Button1;  // "Запись"
    QPushButton* Button2;  // "Отмена"
    QLabel* MonthBanner;   // "Месяц закрыт" while the date is in a closed month

    // The save is off for a date in a closed month.
    void applyMonthState();

    void FormActivate();

    // How the journal opens the dialog (and then shows it): a new entry on `date`; a
    // change of the journal's current entry `row`, dated `date`; a new entry copied from
    // `row` onto `date` with its operation already taken (takeOperation) at `basePrice`,
    // only the quantity left to type.
    void startNew(const QDate& date);
    void startChange(const Query& row, const QDate& date, double basePrice);
    void startCopy(const QDate& date, const Query& row, double basePrice);

    // The pickers; `search` starts the list's search with the text typed on the field.
    void Button3Click(const QString& search = {});  // worker picker
    void Button4Click(const QString& search = {});  // operation picker
    // Takes the operation chosen in the priced operations list, priced for the
    // journal's day and shift; an operation without norms has no price to take.
    void takeOperation(const TForm4::Pick& p);
    // Recomputes the price and sum displays; false (after a message) when the
    // hours or the quantity is not a whole number.
    bool Edit6Exit();
    // The input filters of the number fields: true keeps the typed character.
    bool Edit3KeyPress(QChar key) const;
    bool Edit4KeyPress(QChar key) const;
    void Button1Click();  // save

    // The colour field follows the operation: enabled only for a paint operation,
    // emptied for any other.
    void applyPaintRule(const QString& operationText);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setupKeys();
};

}  // namespace mirn
