#include "refbooks/tform3.h"

#include "core/datamodule.h"
#include "domain/products.h"
#include "domain/refcheck.h"
#include "gui/forms.h"
#include "gui/ui.h"
#include "refbooks/tform7.h"

namespace mirn {

TForm3::TForm3()
    : ListWindow(QStringLiteral("Изделия"),
                 {
                     {QStringLiteral("marka"), QStringLiteral("Марка изделия"), Qt::AlignLeft | Qt::AlignVCenter, 250},
                     {QStringLiteral("massa"), QStringLiteral("Коробки"), Qt::AlignRight | Qt::AlignVCenter, 90},
                 },
                 {QStringLiteral("marka"), false, false, true}) {
    setList(dm().Izdel);
    Button1 = makeButton(QStringLiteral("Добавить"));
    Button2 = makeButton(QStringLiteral("Изменить"));
    Button3 = makeButton(QStringLiteral("Удалить"));
    Button4 = makeButton(QStringLiteral("Выход"));
    setModeButtons(Button1, Button2, Button3);
    layOutAbove({Button1, Button2, Button3}, Button4);
    resize(420, 520);

    connect(Button1, &QPushButton::clicked, this, ui::guard([this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, ui::guard([this] { Button2Click(); }));
    connect(Button3, &QPushButton::clicked, this, ui::guard([this] { Button3Click(); }));
    connect(Button4, &QPushButton::clicked, this, [this] { reject(); });
}

void TForm3::prepareReference() {
    referenceMode();
    // The search stays usable in reference mode after a pick has hidden it.
    Edit1->setVisible(true);
}

std::optional<TForm3::Pick> TForm3::pick() {
    Tag = 1;
    picked_.reset();
    dm().Izdel.open();
    pickingMode(1);
    FormActivate();
    ui::execModal(this);
    endPick();
    dm().Izdel.close();
    return picked_;
}

void TForm3::Button1Click() {
    Query& izdel = dm().Izdel;
    const int rec = izdel.recNo();
    forms::form<TForm7>().runNew();
    // An empty list had no current row: the list then stands on its first row.
    izdel.returnTo(rec);
}

void TForm3::Button2Click() {
    Query& izdel = dm().Izdel;
    if (Tag == 1) {
        picked_ = Pick{int(refcheck::key(izdel.field(QStringLiteral("id")))),
                       izdel.asString(QStringLiteral("marka")).trimmed()};
        accept();
        return;
    }
    // There is no product to change in an empty list.
    if (izdel.isEmpty()) return;
    const int rec = izdel.recNo();
    forms::form<TForm7>().runChange(izdel.asString(QStringLiteral("marka")).trimmed(),
                                    displayText(izdel.field(QStringLiteral("massa"))).trimmed(),
                                    izdel.field(QStringLiteral("id_class_item")));
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
