#include "refbooks/tform8.h"

#include "core/datamodule.h"
#include "domain/optypes.h"
#include "gui/forms.h"
#include "gui/ui.h"
#include "refbooks/tform9.h"

namespace mirn {

TForm8::TForm8()
    : ListWindow(QStringLiteral("Виды операций (8)"),
                 {{QStringLiteral("vid"), QStringLiteral("Операции"), Qt::AlignLeft | Qt::AlignVCenter, 300}},
                 {QStringLiteral("vid")}) {
    Edit1->setVisible(false);
    setList(dm().Vid_oper);
    Button1 = makeButton(QStringLiteral("Добавить"));
    Button2 = makeButton(QStringLiteral("Изменить"));
    Button3 = makeButton(QStringLiteral("Удалить"));
    Button4 = makeButton(QStringLiteral("Выход"));
    setModeButtons(Button1, Button2, Button3);
    layOutAbove({Button1, Button2, Button3}, Button4);
    resize(380, 480);

    connect(Button1, &QPushButton::clicked, this, ui::guard([this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, ui::guard([this] { Button2Click(); }));
    connect(Button3, &QPushButton::clicked, this, ui::guard([this] { Button3Click(); }));
    connect(Button4, &QPushButton::clicked, this, [this] { reject(); });
}

void TForm8::prepareReference() { referenceMode(); }

std::optional<TForm8::Pick> TForm8::pick() {
    Tag = 1;
    picked_.reset();
    dm().Vid_oper.open();
    pickingMode(1);
    FormActivate();
    ui::execModal(this);
    endPick();
    dm().Vid_oper.close();
    return picked_;
}

void TForm8::Button1Click() { forms::form<TForm9>().runNew(); }

void TForm8::Button2Click() {
    Query& vid = dm().Vid_oper;
    if (Tag != 0) {
        picked_ = Pick{vid.asInt(QStringLiteral("id")), vid.asString(QStringLiteral("vid")).trimmed()};
        accept();
        return;
    }
    // There is no operation type to rename in an empty list.
    if (vid.isEmpty()) return;
    forms::form<TForm9>().runRename(vid.asString(QStringLiteral("vid")).trimmed());
}

void TForm8::Button3Click() {
    Query& vid = dm().Vid_oper;
    // Nothing to delete in an empty list.
    if (vid.isEmpty()) return;
    if (!ui::confirmDelete(QStringLiteral("Удалить вид операции?"))) return;
    optypes::OpTypeStore().remove(vid.asInt(QStringLiteral("id")));
    vid.reopen();
}

}  // namespace mirn
