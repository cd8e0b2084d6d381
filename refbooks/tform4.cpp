#include "refbooks/tform4.h"

#include "core/datamodule.h"
#include "domain/pricedops.h"
#include "gui/busy.h"
#include "gui/forms.h"
#include "gui/ui.h"
#include "refbooks/crosslinks.h"
#include "refbooks/tform22.h"

namespace mirn {

namespace {
const auto left = Qt::AlignLeft | Qt::AlignVCenter;
const auto right = Qt::AlignRight | Qt::AlignVCenter;
}  // namespace

TForm4::TForm4()
    : ListWindow(QStringLiteral("Операции"),
                 {
                     {QStringLiteral("MARKA"), QStringLiteral("Марка"), left, 220},
                     {QStringLiteral("VID"), QStringLiteral("Опреция"), left, 200},
                     GridColumn(QStringLiteral("cena"), QStringLiteral("Цена (min)"), right, 90).as(ColumnKind::Price),
                     {QStringLiteral("nmn"), QStringLiteral("Вид"), left, 150},
                     GridColumn(QStringLiteral("norma"), QStringLiteral("Нормы (шт.)"), right, 90).as(ColumnKind::Count),
                     {QStringLiteral("id"), QStringLiteral("id"), right, 0, true},
                     {QStringLiteral("i_id"), QStringLiteral("i_id"), right, 0, true},
                     {QStringLiteral("oper_vid"), QStringLiteral("oper_vid"), right, 0, true},
                 },
                 {QStringLiteral("marka"), true, true}) {
    setList(dm().Oper);
    Button1 = makeButton(QStringLiteral("Добавить"));
    Button2 = makeButton(QStringLiteral("Изменить"));
    Button3 = makeButton(QStringLiteral("Удалить"));
    Button5 = makeButton(QStringLiteral("Excel"));
    CheckBox1 = new QCheckBox(QStringLiteral("Цены"), this);
    Button4 = makeButton(QStringLiteral("Выход"));
    setModeButtons(Button1, Button2, Button3);
    layOutBeside({Button1, Button2, Button3, Button5, CheckBox1, Button4});
    resize(860, 560);

    // The editor and the price list come with their own windows.
    connect(Button1, &QPushButton::clicked, this, ui::guard([] { pricedOperationAdd(); }));
    connect(Button2, &QPushButton::clicked, this, ui::guard([this] { Button2Click(); }));
    connect(Button3, &QPushButton::clicked, this, ui::guard([this] { Button3Click(); }));
    connect(Button5, &QPushButton::clicked, this, ui::guard([this] {
                // Nothing in the list starts a second export or closes the list under it.
                ui::WindowBusy busy(this);
                exportPriceList();
            }));
    connect(Button4, &QPushButton::clicked, this, [this] { reject(); });
}

void TForm4::prepareReference() {
    referenceMode();
    // A pick hides the search; the reference list always has it, and the list agrees
    // with the text it shows.
    Edit1->show();
    Edit1Change();
}

std::optional<TForm4::Pick> TForm4::pick(int tag, StartAt at, int o_id, const QString& search) {
    Query& oper = dm().Oper;
    Tag = tag;
    picked_.reset();
    oper.open();
    if (at == StartAt::FirstRow) oper.first();
    else if (at == StartAt::Operation) oper.locate(QStringLiteral("id"), o_id);
    pickingMode(tag);
    startSearch(Edit1, search);
    FormActivate();
    ui::execModal(this);
    endPick();
    // The pick's search goes with its filter: the list opened next (from the menu) shows
    // an empty search over the whole list, never the old text over an unfiltered list.
    Edit1->clear();
    oper.clearFilter();
    return picked_;
}

void TForm4::Button2Click() {
    if (Tag == 0) {
        pricedOperationChange();
        return;
    }
    Query& oper = dm().Oper;
    if (!oper.isEmpty())
        picked_ = Pick{oper.asInt(QStringLiteral("id")), oper.asInt(QStringLiteral("i_id")),
                       oper.field(QStringLiteral("cena")), oper.asString(QStringLiteral("MARKA")),
                       oper.asString(QStringLiteral("VID")), oper.asInt(QStringLiteral("NAIMEN"))};
    accept();
}

void TForm4::Button3Click() {
    Query& oper = dm().Oper;
    if (oper.isEmpty()) return;  // nothing to delete
    if (!ui::confirmDelete(QStringLiteral("Удалить операцию?"))) return;
    pricedops::PricedOpStore().remove(oper.asInt(QStringLiteral("id")));
    oper.reopen();
}

void TForm4::DBGrid1DblClick() {
    Query& oper = dm().Oper;
    if (CheckBox1->isChecked() && Tag == 0) {
        if (oper.isEmpty()) return;
        forms::form<TForm22>().showNormsOf(oper.asInt(QStringLiteral("id")));
        return;
    }
    Button2Click();
}

}  // namespace mirn
