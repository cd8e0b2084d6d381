#pragma once
// The hours timesheet window: a month's hours per worker and day for shifts 1 to 3,
// coloured by day and value, rebuilt from the shift entries, printed and exported.
#include "domain/db.h"
#include "gui/dbgrid.h"
#include "timesheet/timesheet.h"

#include <QComboBox>
#include <QDialog>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>

#include <array>

namespace mirn {

namespace timesheet {
// A grid title row whose day titles take their colour from the day columns.
class DayHeader : public QHeaderView {
    Q_OBJECT
public:
    DayHeader(const std::array<DayColumn, 31>* days, QWidget* parent);
    // The title colour of a grid column; invalid for columns that are not days.
    QColor titleColour(int section) const;

protected:
    void initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const override;

private:
    const std::array<DayColumn, 31>* days_;
    // One palette per title colour, made once and reused: a palette changed at every
    // paint carries a new cache key each time, and the style's pixmap cache kept a
    // drawn section for every one of them (memory grew with every opening).
    mutable QHash<QRgb, QPalette> palettes_;
    mutable qint64 baseKey_ = 0;
};
}  // namespace timesheet

class TForm19 : public QDialog {
    Q_OBJECT
public:
    TForm19();

    QTabWidget* PageControl1;
    QWidget* TabSheet1;  // "Смена №1"
    QWidget* TabSheet2;  // "Смена №2"
    QWidget* TabSheet3;  // "Смена №3"
    DBGrid* DBGrid1;
    DBGrid* DBGrid2;
    DBGrid* DBGrid3;
    Query* DataSource1 = nullptr;  // the shared month queries of shifts 1 to 3
    Query* DataSource2 = nullptr;
    Query* DataSource3 = nullptr;
    QPushButton* Button1;  // "Перестроить"
    QProgressBar* PB;
    QPushButton* Button2;  // "Excel"
    QComboBox* ComboBox1;  // month
    QComboBox* ComboBox2;  // year
    QPushButton* Button5;  // "Обновить"
    QPushButton* Button6;  // "Печать"
    QPushButton* Button4;  // "Выход"
    QPushButton* CheckMonthButton;   // "Проверка месяца" (the administrator's only)
    // With the closed months extension, the administrator's only:
    QPushButton* CloseMonthButton;   // "Закрыть месяц"
    QPushButton* ReopenMonthButton;  // "Открыть месяц"
    QLabel* MonthBanner;             // "Месяц закрыт" while the chosen month is closed
    QPushButton* PayrollButton;      // "Выгрузка в зарплату", the administrator's

    // How the day columns 1 to 31 (index 0 is day 1) are painted for the chosen month.
    std::array<timesheet::DayColumn, 31> DayColumns;

    // The chosen month (1 to 12) and year (0 when no year is chosen).
    int month() const { return ComboBox1->currentIndex() + 1; }
    int year() const;

    // The journal opens the timesheet on the month of `day`: a year missing from the list
    // selects nothing, and the timesheet then shows no month.
    void showMonthOf(const QDate& day);

    void ComboBox1Change();
    void Button1Click();
    void Button2Click();  // the spreadsheet export (tform19_excel.cpp)
    void Button5Click();
    void Button6Click();
    void Button4Click() { reject(); }
    void FormActivate();
    // The month's check as a list (timesheet/monthcheck_window.h); a line sent to the
    // journal closes the timesheet, so that the journal shows it.
    void CheckMonthClick();
    // Runs the check first: a clean month is closed after the plain question, one with
    // problems only after they were listed and a reason was typed.
    void CloseMonthClick();
    void ReopenMonthClick();
    // Marks the chosen month when closed, switches "Перестроить" off for it and offers
    // the administrator closing or reopening it.
    void applyMonthState();

protected:
    void changeEvent(QEvent* e) override;

private:
    DBGrid* makeGrid(bool withEarnings, QWidget* parent);
    void recolourDays();
    std::array<DBGrid*, 3> grids() const { return {DBGrid1, DBGrid2, DBGrid3}; }
    std::array<Query*, 3> shiftQueries() const { return {DataSource1, DataSource2, DataSource3}; }
};

}  // namespace mirn
