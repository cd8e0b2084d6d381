#include "refbooks/tform2.h"

#include "gui/ui.h"
#include "domain/workers.h"

#include <QApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace mirn {

// ---------------------------------------------------------------- Lookup

Lookup::Lookup(Query& source, QWidget* parent) : QComboBox(parent), source_(source) {
    setMaxVisibleItems(10);
    setEditable(false);
}

void Lookup::fill() {
    const QVariant key = keyValue();
    clear();
    for (int r = 0; r < source_.recordCount(); ++r)
        addItem(source_.value(r, QStringLiteral("s_caption")).toString(), source_.value(r, QStringLiteral("id")));
    setKeyValue(key);
}

void Lookup::reopen() {
    source_.close();
    source_.open();
    fill();
}

QVariant Lookup::keyValue() const { return currentIndex() < 0 ? QVariant() : currentData(); }

void Lookup::setKeyValue(const QVariant& key) {
    if (!key.isValid()) {
        setCurrentIndex(-1);
        return;
    }
    for (int i = 0; i < count(); ++i)
        if (itemData(i).toString() == key.toString()) {
            setCurrentIndex(i);
            return;
        }
    setCurrentIndex(-1);
}

bool Lookup::setCaption(const QString& caption) {
    const QString wanted = caption.trimmed();
    for (int i = 0; i < count(); ++i)
        if (itemData(i).isValid() && itemText(i).trimmed() == wanted) {
            setCurrentIndex(i);
            return true;
        }
    return false;
}

void Lookup::showUnlisted(const QString& text) {
    addItem(text);
    setCurrentIndex(count() - 1);
}

// ---------------------------------------------------------------- TForm2

TForm2::TForm2() {
    setWindowTitle(QStringLiteral("Работники"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    staffpos.SQL = {QStringLiteral("select * from hrms_staffpos.staffpos order by id")};
    department.SQL = {QStringLiteral("select * from cmn_department.department order by id")};
    roles.SQL = {QStringLiteral("select * from adm_role.roles order by id")};

    GroupBox1 = new QGroupBox(QStringLiteral("Данные о работнике"), this);
    Edit1 = new QLineEdit(GroupBox1);
    Edit1->setMinimumWidth(320);
    LCB_department = new Lookup(department, GroupBox1);
    LCB_staffpos = new Lookup(staffpos, GroupBox1);
    LCB_roles = new Lookup(roles, GroupBox1);
    auto* form = new QFormLayout(GroupBox1);
    form->addRow(QStringLiteral("ФИО"), Edit1);
    form->addRow(QStringLiteral("Подразделение"), LCB_department);
    form->addRow(QStringLiteral("Должность"), LCB_staffpos);
    form->addRow(QStringLiteral("Роль"), LCB_roles);

    ui::editorLayout(this, GroupBox1, Button1, QStringLiteral("Записать"), Button2, QStringLiteral("Отмена"));

    // The wheel steps the focused lookup one entry per notch, wherever the pointer is.
    for (Lookup* l : {LCB_roles, LCB_staffpos, LCB_department}) l->installEventFilter(this);

    connect(Button1, &QPushButton::clicked, this, ui::guard([this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, [this] { reject(); });
}

void TForm2::FormActivate() { Edit1->setFocus(); }

int TForm2::runNew() {
    Edit1->clear();
    setWindowTitle(QStringLiteral("Заведение данных нового работника"));
    Tag = 1;
    reopenLookups();
    FormActivate();
    return ui::execModal(this);
}

int TForm2::runChange(int id, const QString& fio, const QString& staffposHl) {
    setWindowTitle(QStringLiteral("Изменение данных работника"));
    Tag = 2;
    reopenLookups();
    Edit1->setText(fio);
    id_person = id;
    showStored(staffposHl);
    FormActivate();
    return ui::execModal(this);
}

void TForm2::reopenLookups() {
    LCB_staffpos->reopen();
    LCB_roles->reopen();
    LCB_department->reopen();
}

void TForm2::showStored(const QString& staffposHl) {
    stored_ = staffposHl;
    LCB_roles->setCurrentIndex(-1);
    LCB_staffpos->setCurrentIndex(-1);
    LCB_department->setCurrentIndex(-1);
    if (!staffposHl.trimmed().isEmpty() && !LCB_department->setCaption(staffposHl)) {
        int row = -1;
        for (int r = 0; r < staffpos.recordCount() && row < 0; ++r)
            if (staffpos.value(r, QStringLiteral("s_caption")).toString().trimmed() == staffposHl.trimmed()) row = r;
        if (row >= 0) {
            LCB_staffpos->setKeyValue(staffpos.value(row, QStringLiteral("id")));
            LCB_department->setKeyValue(staffpos.value(row, QStringLiteral("id_department")));
        } else {
            LCB_department->showUnlisted(staffposHl);
        }
    }
    departmentAtOpen_ = LCB_department->currentIndex();
}

void TForm2::Button1Click() {
    const QString fio = Edit1->text().trimmed();
    if (fio.isEmpty()) {
        ui::error(QStringLiteral("ФИО нужно заполнить!"));
        return;
    }
    // A change keeps the stored value unless the user chose another department.
    const bool keep = Tag != 1 && LCB_department->currentIndex() == departmentAtOpen_;
    workers::WorkerStore().save(Tag == 1 ? 0 : id_person, fio, keep ? stored_ : LCB_department->currentText());
    accept();
}

void TForm2::stepFocusedLookups(int key) {
    for (Lookup* l : {LCB_roles, LCB_staffpos, LCB_department})
        if (l->hasFocus()) {
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QApplication::sendEvent(l, &press);
        }
}

void TForm2::FormMouseWheelDown() { stepFocusedLookups(Qt::Key_Down); }
void TForm2::FormMouseWheelUp() { stepFocusedLookups(Qt::Key_Up); }

void TForm2::wheelEvent(QWheelEvent* e) {
    const int dy = e->angleDelta().y();
    if (dy < 0) FormMouseWheelDown();
    else if (dy > 0) FormMouseWheelUp();
    e->accept();
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel) {
        wheelEvent(static_cast<QWheelEvent*>(event));
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace mirn
