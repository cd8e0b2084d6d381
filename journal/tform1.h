#pragma once
// The journal window: the shift entries of one date and one shift.
#include "core/navigator.h"
#include "core/signin.h"
#include "domain/db.h"
#include "domain/journal_day.h"
#include "gui/dbgrid.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <memory>

namespace mirn {

class TDataModule6;
class JournalKeys;
struct CopyToUndo;  // journal/shift_copy_dialog.h

class TForm1 : public QDialog, public SignInTarget, public JournalNavigator {
    Q_OBJECT
public:
    TForm1();
    ~TForm1() override;

    // Start-up: creates the data module, opens the connection and the sign-in
    // window. False when the connection failed (the message has been shown and
    // the application is ending).
    bool FormCreate(const QString& arg1, const QString& arg2);

    // State other windows read.
    int CurrentShift = 1;
    Query* CurrentShiftQuery = nullptr;
    QString SignInCode;
    int BuildDate = 0;
    int BuildTime = 0;

    Query* DataSource1 = nullptr;
    Query* DataSource2 = nullptr;
    Query* DataSource3 = nullptr;
    Query* DataSource4 = nullptr;

    // Controls.
    QMenuBar* MainMenu1;
    QMenu* N2;     // "Справочники"
    QAction* N1;   // "Рабочие"
    QAction* N3;   // "Изделия"
    QAction* N4;   // "Цены"
    QAction* N6;   // "Операции"
    QAction* N8;   // "Внеурочное"
    QAction* N11;  // "Табель по времени"
    QMenu* N7;     // "Отчеты"
    QAction* N10;  // "Сводные отчеты"
    QAction* N5;   // "Выход"
    QRadioButton* RadioButton1;
    QRadioButton* RadioButton2;
    QRadioButton* RadioButton3;
    QRadioButton* RadioButton4;
    QDateEdit* DateT;
    QCheckBox* CBox1;
    DBGrid* DBGrid2;
    QPushButton* Button1;  // "Добавить"
    QPushButton* Button2;  // "Изменить"
    QPushButton* Button3;  // "Удалить"
    QPushButton* Button8;  // "Обновить"
    QPushButton* Button5;  // "Хоз. работы"
    QPushButton* Button4;  // "Выход"
    QPushButton* Button9;  // "История" (with the closed months extension only)
    QPushButton* Button10;  // "Повторить" (Ctrl+D)
    QPushButton* Button11;  // "Копировать смену"
    QLabel* MonthBanner;   // "Месяц закрыт" while the date is in a closed month
    QTimer* Timer1;
    JournalKeys* Keys = nullptr;  // the keys and the menus that name them (journal/journal_keys.h)

    // Handlers.
    void FormActivate();
    void DateTChange();
    void RadioButtonClick(int shift);  // RadioButton1Click … RadioButton4Click
    void CBox1Click();
    void Button8Click();
    void DBGrid2DblClick();
    void Button4Click() { close(); }
    void N5Click() { close(); }
    void Timer1Timer() { CheckBuildStamp(); }
    void CheckBuildStamp();

    // Opened windows; each lives in the file of the window it opens.
    void Button1Click();  // new entry
    void Button2Click();  // change entry
    void Button3Click();  // delete entry
    void N1Click();       // workers
    void N3Click();       // products
    void N4Click();       // priced operations
    void N6Click();       // operation types
    void N11Click();      // hours timesheet
    void N10Click();      // summary reports
    void Button5Click();  // auxiliary work
    void Button9Click();  // the selected entry's history
    void Button10Click(); // a new entry like the selected one
    void Button11Click(); // copy an earlier shift into the shown one
    void UndoCopyClick(); // takes the last copy back (Ctrl+Z)

    // The sign-in: every attempt takes the shift chosen last and the code; a right code
    // switches off what its role may not use, then the journal opens.
    void signInAttempt(const QString& code) override;
    void applyRole(Role role) override;
    void openAfterSignIn() override;

    // Marks the date's month when it is closed and switches off what would change it
    // (the month as read with the shifts).
    void applyMonthState(const journalday::MonthState& month);

    // Shows a window opened from the journal; the journal then becomes active
    // again, which returns it to today's date and re-reads the shifts.
    int showChild(QDialog* child);

    // Opens the four shift queries on a date (closing them first).
    void openShifts(const QDate& date);

    // The windows above the journal send the user here (journal/tform1_navigate.cpp).
    // The journal stands on the date, shift and row at once; the window that asked
    // then closes, and the journal stays there instead of going back to today.
    bool showEntry(const QDate& date, int shift, int entryId, int workerId = 0) override;
    void showAuxWork(const QDate& date, int shift, int id) override;

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    // Set by showEntry: the next return from a child window keeps the date shown.
    bool keepPosition_ = false;
    // The entries the last "Копировать смену" stored, until it is taken back.
    std::unique_ptr<CopyToUndo> lastCopy_;
    void styleShiftButtons();
    // "Повторить" and "Копировать смену" next to "Добавить", usable whenever it is.
    void setupRepeatAndCopy();
    void setupKeys();
};

// How the summary of a copy offers to take it back.
inline const QString kUndoCopyHint =
    QStringLiteral("Отменить это копирование: «Правка» → «Отменить копирование смены» (Ctrl+Z).");

// The mark a double click puts on an entry: anything but "да"/"ok" becomes "ok".
QString toggledOk(const QString& ok);
// Confirmed entries read "ok" or "да".
bool isConfirmed(const QString& ok);

}  // namespace mirn
