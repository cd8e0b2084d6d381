#pragma once
// The worker editor: the name and the department shown as the worker's position.
#include "domain/db.h"

#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

namespace mirn {

// A drop-down over a whole table: key field id, shown field s_caption. It keeps
// its chosen key when the table is read again.
class Lookup : public QComboBox {
    Q_OBJECT
public:
    Lookup(Query& source, QWidget* parent = nullptr);
    // Reads the table again and shows the same key as before (if still there).
    void reopen();
    QVariant keyValue() const;
    void setKeyValue(const QVariant& key);
    // Shows the row whose shown field is `caption` (blanks around ignored); false when
    // no row has it.
    bool setCaption(const QString& caption);
    // Shows a text that no row has, as an entry without a key (gone at the next read).
    void showUnlisted(const QString& text);

private:
    void fill();
    Query& source_;
};

class TForm2 : public QDialog {
    Q_OBJECT
public:
    TForm2();

    int Tag = 1;  // 1 adding, 2 changing
    int id_person = 0;

    Query staffpos;
    Query department;
    Query roles;

    QGroupBox* GroupBox1;  // "Данные о работнике"
    QLineEdit* Edit1;      // "ФИО"
    Lookup* LCB_department;
    Lookup* LCB_staffpos;
    Lookup* LCB_roles;
    QPushButton* Button1;  // "Записать"
    QPushButton* Button2;  // "Отмена"

    void FormActivate();
    void Button1Click();
    void FormMouseWheelDown();
    void FormMouseWheelUp();
    // Closes and reopens staffpos, roles and department, in this order.
    void reopenLookups();
    // Opening for a change: shows what is stored for the worker in s_staffpos_hl (a
    // department's name, or a position's name with the position's department), and no
    // role (none is stored). A save that does not change the department keeps it.
    void showStored(const QString& staffposHl);

    // The workers list opens the editor for a new worker, or for the worker `id` named
    // `fio` with what is stored as the position; both show it modally.
    int runNew();
    int runChange(int id, const QString& fio, const QString& staffposHl);

protected:
    void wheelEvent(QWheelEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void stepFocusedLookups(int key);
    QString stored_;              // s_staffpos_hl of the worker being changed
    int departmentAtOpen_ = -1;   // the department entry shown when the change opened
};

}  // namespace mirn
