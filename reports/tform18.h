#pragma once
// The summary reports window: a period and a product kind, and the four printed
// production reports (and the spreadsheet report) for them.
#include "domain/db.h"
#include "engine/engine.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace mirn {

namespace papers {
class ReportLayout;
}

namespace reports {

// A framed group of options of which one is chosen, addressed by its index.
class RadioGroup : public QGroupBox {
    Q_OBJECT
public:
    RadioGroup(const QString& caption, const QStringList& items, QWidget* parent = nullptr);
    int itemIndex() const;
    void setItemIndex(int index);
    QRadioButton* item(int index) const { return buttons_.at(index); }

private:
    QButtonGroup* group_;
    QList<QRadioButton*> buttons_;
};

// The period proposed when the window is opened: the calendar month before today's.
struct ReportPeriod {
    QDate start;  // included
    QDate end;    // excluded
};
ReportPeriod previousMonth(const QDate& today);

// The product kind chosen in the window as a filter on the fetched rows: 0 all,
// 1 finished products ("naimen=0"), 2 blanks ("naimen=1").
void applyKindFilter(Query& q, int kindIndex);
}  // namespace reports

class TForm18 : public QDialog {
    Q_OBJECT
public:
    TForm18();

    reports::RadioGroup* RadioGroup1;  // "Вид продукции"
    QGroupBox* GroupBox1;              // "Период отбора"
    QLabel* Label1;                    // "с"
    QDateEdit* DTPicker1;              // first day of the period
    QLabel* Label2;                    // "по"
    QDateEdit* DTPicker2;              // end of the period, not included
    QPushButton* Button4;              // "Отчет по рабочим"
    QPushButton* Button2;              // "Отчет по продукции"
    QPushButton* Button1;              // "Детальный отчет по рабочим"
    QPushButton* Button3;              // "Детальный отчет по продукции"
    QPushButton* Button6;              // "Excel (0 из 0)"
    QPushButton* Button5;              // "Выход"
    QPushButton* ChangesButton;        // "Журнал изменений" (with the closed months extension only)
    Query XLS_Rep;                     // data of the spreadsheet report
    QComboBox* CBWorker;               // the earnings statement's worker: "Все" (data 0) or one
    QPushButton* Button7;              // "Расчётный листок"

    void Button4Click();
    void Button2Click();
    void Button1Click();
    void Button3Click();
    void Button6Click();  // the spreadsheet report (tform18_excel.cpp)
    void Button5Click() { reject(); }
    void Button7Click();  // the earnings statement of the period for the chosen worker or all

    // Reads the department's workers into CBWorker, keeping the chosen one if still there.
    void FillWorkers();
    void ChangesButtonClick();  // the change report of the period

    // Switches off what the signed-in role may not use here; the restrictions stay
    // until the application ends.
    void ApplyRoleRestrictions();

    // The journal opens the reports on a period: its first day and the day after its end.
    void setPeriod(const QDate& first, const QDate& end);

protected:
    void showEvent(QShowEvent* e) override;

private:
    void runReport(papers::ReportLayout& layout, bool closeFirst, const QString& titlePrefix);
};

}  // namespace mirn
