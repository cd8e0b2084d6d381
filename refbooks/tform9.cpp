#include "refbooks/tform9.h"

#include "core/datamodule.h"
#include "gui/ui.h"
#include "domain/optypes.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace mirn {

TForm9::TForm9() {
    setWindowTitle(QStringLiteral("Вид операции"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    GroupBox1 = new QGroupBox(QStringLiteral("Вид операции"), this);
    Edit1 = new QLineEdit(GroupBox1);
    Edit1->setMinimumWidth(260);
    auto* form = new QFormLayout(GroupBox1);
    form->addRow(QStringLiteral("Операция"), Edit1);
    ui::editorLayout(this, GroupBox1, Button1, QStringLiteral("Записать"), Button2, QStringLiteral("Отмена"));

    connect(Button1, &QPushButton::clicked, this, ui::guard([this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, [this] { reject(); });
}

void TForm9::FormActivate() { Edit1->setFocus(); }

int TForm9::runNew() {
    Edit1->clear();
    setWindowTitle(QStringLiteral("Заведение нового вида операций"));
    Tag = 1;
    FormActivate();
    return ui::execModal(this);
}

int TForm9::runRename(const QString& vid) {
    setWindowTitle(QStringLiteral("Изменение данных вида операции"));
    Tag = 2;
    Edit1->setText(vid);
    FormActivate();
    return ui::execModal(this);
}

void TForm9::Button1Click() {
    Query& vid = dm().Vid_oper;
    const int renaming = Tag == 1 ? 0 : vid.asInt(QStringLiteral("id"));
    if (Tag != 1 && renaming == 0) return;
    const Result r = optypes::OpTypeStore().save(Edit1->text(), renaming);
    if (!r.saved()) {
        ui::error(r.message);
        return;
    }
    vid.reopen();
    accept();
}

}  // namespace mirn
