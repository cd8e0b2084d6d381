#include "refbooks/tform5.h"

#include "core/datamodule.h"
#include "domain/workers.h"
#include "gui/forms.h"
#include "gui/ui.h"
#include "refbooks/tform2.h"

namespace mirn {

TForm5::TForm5()
    : ListWindow(QStringLiteral("Список рабочих"),
                 {
                     {QStringLiteral("fio"), QStringLiteral("ФИО"), Qt::AlignLeft | Qt::AlignVCenter, 300},
                     {QStringLiteral("s_staffpos_hl"), QStringLiteral("Должность"), Qt::AlignLeft | Qt::AlignVCenter, 260},
                 },
                 {QStringLiteral("fio")}) {
    setList(dm().Workers);
    Button1 = makeButton(QStringLiteral("Добавить"));
    Button2 = makeButton(QStringLiteral("Изменить"));
    Button3 = makeButton(QStringLiteral("Удалить"));
    Button4 = makeButton(QStringLiteral("Выход"));
    setModeButtons(Button1, Button2, Button3);
    layOutBeside({Button1, Button2, Button3, Button4});
    resize(640, 520);

    connect(Button1, &QPushButton::clicked, this, ui::guard([this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, ui::guard([this] { Button2Click(); }));
    connect(Button3, &QPushButton::clicked, this, ui::guard([this] { Button3Click(); }));
    connect(Button4, &QPushButton::clicked, this, [this] { reject(); });
}

void TForm5::prepareReference() { referenceMode(); }

std::optional<WorkerPick> TForm5::pick(int tag, const QString& search) {
    Tag = tag;
    picked_.reset();
    dm().Workers.open();
    pickingMode(tag);
    startSearch(Edit1, search);
    FormActivate();
    ui::execModal(this);
    dm().Workers.close();
    return picked_;
}

void TForm5::Button1Click() {
    forms::form<TForm2>().runNew();
    dm().Workers.reopen();
}

void TForm5::Button2Click() {
    Query& w = dm().Workers;
    if (Tag != 0) {
        if (!w.isEmpty()) {
            picked_ = WorkerPick{w.asInt(QStringLiteral("id")), w.asString(QStringLiteral("fio")).trimmed()};
        }
        accept();
        return;
    }
    if (w.isEmpty()) return;  // nobody to change
    const int rec = w.recNo();
    forms::form<TForm2>().runChange(w.asInt(QStringLiteral("id")), w.asString(QStringLiteral("fio")).trimmed(),
                                    w.asString(QStringLiteral("s_staffpos_hl")));
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
