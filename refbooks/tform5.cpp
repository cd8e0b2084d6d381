#include "refbooks/tform5.h"

#include "core/datamodule.h"
#include "gui/forms.h"
#include "gui/ui.h"
#include "refbooks/crosslinks.h"
#include "domain/workers.h"
#include "refbooks/tform2.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace mirn {

namespace {
QPushButton* button(const QString& caption, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setAutoDefault(false);
    return b;
}
}  // namespace

TForm5::TForm5() {
    setWindowTitle(QStringLiteral("Список рабочих"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    DBGrid1 = new DBGrid(this);
    DBGrid1->setColumns({
        {QStringLiteral("fio"), QStringLiteral("ФИО"), Qt::AlignLeft | Qt::AlignVCenter, 300},
        {QStringLiteral("s_staffpos_hl"), QStringLiteral("Должность"), Qt::AlignLeft | Qt::AlignVCenter, 260},
    });
    DBGrid1->setQuery(&dm().Workers);
    Edit1 = new QLineEdit(this);
    Button1 = button(QStringLiteral("Добавить"), this);
    Button1->setDefault(true);
    Button2 = button(QStringLiteral("Изменить"), this);
    Button3 = button(QStringLiteral("Удалить"), this);
    Button4 = button(QStringLiteral("Выход"), this);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Edit1, 1);
    for (QPushButton* b : {Button1, Button2, Button3, Button4}) buttons->addWidget(b);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(DBGrid1, 1);
    lay->addLayout(buttons);
    resize(640, 520);

    Edit1->installEventFilter(this);
    connect(Edit1, &QLineEdit::textChanged, this, ui::guard([this] { Edit1Change(); }));
    connect(DBGrid1, &DBGrid::dblClick, this, ui::guard([this] { Button2Click(); }));
    // Enter in the grid presses the window's default button.
    connect(DBGrid1, &DBGrid::enterPressed, this, [this] {
        for (QPushButton* b : {Button1, Button2})
            if (b->isDefault() && !b->isHidden()) b->click();
    });
    connect(Button1, &QPushButton::clicked, this, ui::guard([this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, ui::guard([this] { Button2Click(); }));
    connect(Button3, &QPushButton::clicked, this, ui::guard([this] { Button3Click(); }));
    connect(Button4, &QPushButton::clicked, this, [this] { reject(); });
}

void TForm5::prepareReference() {
    Tag = 0;
    Button2->setText(QStringLiteral("Изменить"));
    Button2->setDefault(false);
    Button1->setDefault(true);
    Button1->show();
    Button3->show();
}

void TForm5::preparePick(int tag) {
    Tag = tag;
    Button2->setText(QStringLiteral("Выбрать"));
    Button2->setDefault(true);
    Button2->show();
    Button3->hide();
    Button1->hide();
    Edit1->show();
    Edit1->clear();
}

void TForm5::FormActivate() {
    if (!Edit1->isHidden()) Edit1->setFocus();
}

void TForm5::Edit1Change() {
    Query& w = dm().Workers;
    if (Edit1->text().isEmpty()) {
        w.clearFilter();
        return;
    }
    w.setLikeFilter(QStringLiteral("fio"), Edit1->text());
}

bool TForm5::Edit1KeyDown(QKeyEvent* e) { return searchFieldKeyDown(dm().Workers, e); }

bool TForm5::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit1 && event->type() == QEvent::KeyPress) {
        bool consumed = false;
        ui::guard([&] { consumed = Edit1KeyDown(static_cast<QKeyEvent*>(event)); })();
        return consumed;
    }
    return QDialog::eventFilter(watched, event);
}

void TForm5::Button1Click() {
    TForm2& f2 = forms::form<TForm2>();
    f2.Edit1->clear();
    f2.setWindowTitle(QStringLiteral("Заведение данных нового работника"));
    f2.Tag = 1;
    f2.reopenLookups();
    f2.FormActivate();
    ui::execModal(&f2);
    dm().Workers.reopen();
}

void TForm5::Button2Click() {
    Query& w = dm().Workers;
    if (Tag != 0) {
        if (!w.isEmpty()) {
            picked = WorkerPick{w.asInt(QStringLiteral("id")), w.asString(QStringLiteral("fio")).trimmed()};
        }
        accept();
        return;
    }
    if (w.isEmpty()) return;  // nobody to change
    const int rec = w.recNo();
    TForm2& f2 = forms::form<TForm2>();
    f2.setWindowTitle(QStringLiteral("Изменение данных работника"));
    f2.Tag = 2;
    f2.reopenLookups();
    f2.Edit1->setText(w.asString(QStringLiteral("fio")).trimmed());
    f2.id_person = w.asInt(QStringLiteral("id"));
    f2.showStored(w.asString(QStringLiteral("s_staffpos_hl")));
    f2.FormActivate();
    ui::execModal(&f2);
    w.reopen();
    w.returnTo(rec);
}

void TForm5::Button3Click() {
    Query& w = dm().Workers;
    if (w.isEmpty()) return;  // nobody to delete
    if (!ui::confirmDelete(QStringLiteral("Удалить работника?"))) return;
    workers::WorkerStore().remove(w.asInt(QStringLiteral("id")));
    // Past the end (the last row was deleted) this lands on the new last row.
    w.reopenKeepingRow();
}

}  // namespace mirn
