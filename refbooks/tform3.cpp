#include "refbooks/tform3.h"

#include "core/datamodule.h"
#include "gui/forms.h"
#include "gui/ui.h"
#include "domain/refcheck.h"
#include "refbooks/tform10.h"
#include "refbooks/tform7.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace mirn {

TForm3::TForm3() {
    setWindowTitle(QStringLiteral("Изделия"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    DBGrid1 = new DBGrid(this);
    DBGrid1->setColumns({
        {QStringLiteral("marka"), QStringLiteral("Марка изделия"), Qt::AlignLeft | Qt::AlignVCenter, 250},
        {QStringLiteral("massa"), QStringLiteral("Коробки"), Qt::AlignRight | Qt::AlignVCenter, 90},
    });
    DBGrid1->setQuery(&dm().Izdel);
    Edit1 = new QLineEdit(this);
    Button1 = new QPushButton(QStringLiteral("Добавить"), this);
    Button2 = new QPushButton(QStringLiteral("Изменить"), this);
    Button3 = new QPushButton(QStringLiteral("Удалить"), this);
    Button4 = new QPushButton(QStringLiteral("Выход"), this);
    Button1->setDefault(true);
    for (QPushButton* b : {Button2, Button3, Button4}) b->setAutoDefault(false);
    Button1->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {Button1, Button2, Button3}) buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(Button4);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(Edit1);
    lay->addWidget(DBGrid1, 1);
    lay->addLayout(buttons);
    resize(420, 520);

    Edit1->installEventFilter(this);
    connect(Edit1, &QLineEdit::textChanged, this, ui::guard([this] { Edit1Change(); }));
    connect(DBGrid1, &DBGrid::dblClick, this, ui::guard([this] { Button2Click(); }));
    connect(DBGrid1, &DBGrid::enterPressed, this, ui::guard([this] {
                if (Button2->isDefault()) Button2Click();
                else if (Button1->isDefault() && Button1->isVisible()) Button1Click();
            }));
    connect(Button1, &QPushButton::clicked, this, ui::guard([this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, ui::guard([this] { Button2Click(); }));
    connect(Button3, &QPushButton::clicked, this, ui::guard([this] { Button3Click(); }));
    connect(Button4, &QPushButton::clicked, this, [this] { reject(); });
}

void TForm3::prepareReference() {
    Tag = 0;
    Button2->setText(QStringLiteral("Изменить"));
    Button2->setDefault(false);
    Button1->setDefault(true);
    Button1->setVisible(true);
    Button3->setVisible(true);
    // The search stays usable in reference mode after a pick has hidden it.
    Edit1->setVisible(true);
}

void TForm3::FormActivate() {
    if (Edit1->isVisibleTo(this)) Edit1->setFocus();
}

void TForm3::Edit1Change() { dm().Izdel.setLikeFilter(QStringLiteral("marka"), Edit1->text()); }

bool TForm3::Edit1KeyDown(int key) {
    if (key == Qt::Key_Up) {
        dm().Izdel.prior();
        return true;
    }
    if (key == Qt::Key_Down) {
        dm().Izdel.next();
        return true;
    }
    return false;
}

bool TForm3::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit1 && event->type() == QEvent::KeyPress &&
        Edit1KeyDown(static_cast<QKeyEvent*>(event)->key()))
        return true;
    return QDialog::eventFilter(watched, event);
}

void TForm3::Button1Click() {
    Query& izdel = dm().Izdel;
    const int rec = izdel.recNo();
    TForm7& ed = forms::form<TForm7>();
    ed.Edit1->clear();
    ed.Edit2->clear();
    ed.setWindowTitle(QStringLiteral("Заведение нового изделия"));
    ed.Tag = 1;
    ed.item.open();
    ed.FormActivate();
    ui::execModal(&ed);
    ed.item.close();
    // An empty list had no current row: the list then stands on its first row.
    izdel.returnTo(rec);
}

void TForm3::Button2Click() {
    Query& izdel = dm().Izdel;
    if (Tag == 1) {
        TForm10& f10 = forms::form<TForm10>();
        f10.Edit1->setText(izdel.asString(QStringLiteral("marka")).trimmed());
        f10.i_id = int(refcheck::key(izdel.field(QStringLiteral("id"))));
        accept();
        return;
    }
    // There is no product to change in an empty list.
    if (izdel.isEmpty()) return;
    const int rec = izdel.recNo();
    TForm7& ed = forms::form<TForm7>();
    ed.setWindowTitle(QStringLiteral("Изменение данных изделия"));
    ed.Tag = 2;
    ed.Edit1->setText(izdel.asString(QStringLiteral("marka")).trimmed());
    ed.Edit2->setText(displayText(izdel.field(QStringLiteral("massa"))).trimmed());
    ed.item.open();
    ed.cb_item->setKeyValue(izdel.field(QStringLiteral("id_class_item")));
    ed.FormActivate();
    ui::execModal(&ed);
    ed.item.close();
    izdel.returnTo(rec);
}

void TForm3::Button3Click() {
    Query& izdel = dm().Izdel;
    // Nothing to delete in an empty list.
    if (izdel.isEmpty()) return;
    const qlonglong id = refcheck::key(izdel.field(QStringLiteral("id")));
    products::ProductStore store;
    const products::Usage used = store.usage(id, QDate::currentDate());
    // The questions in their order; nothing is deleted before the last answer.
    products::DeletePlan plan;
    if (used.opers >= 1)
        plan.opers = ui::confirmDelete(QStringLiteral("По изделию есть расценки они будут удалены!!!"));
    if (used.entries >= 1) {
        if (ui::confirmDelete(QStringLiteral(
                "По изделию есть операции в текущем, предыдущем месяцах и ранее, они будут удалены. Удалить изделие? ")))
            plan.entries = plan.product = true;
    } else {
        plan.product = ui::confirmDelete(QStringLiteral("Удалить изделие? "));
    }
    store.remove(id, plan);
    izdel.reopen();
}

}  // namespace mirn
