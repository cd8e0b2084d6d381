#include "refbooks/tform9.h"

#include "core/datamodule.h"
#include "core/ui.h"
#include "refbooks/optypes.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

TForm9::TForm9() {
    setWindowTitle(QStringLiteral("Вид операции"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    GroupBox1 = new QGroupBox(QStringLiteral("Вид операции"), this);
    Edit1 = new QLineEdit(GroupBox1);
    Edit1->setMinimumWidth(260);
    auto* form = new QFormLayout(GroupBox1);
    form->addRow(QStringLiteral("Операция"), Edit1);
    Button1 = new QPushButton(QStringLiteral("Записать"), this);
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Отмена"), this);
    Button2->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(GroupBox1);
    lay->addLayout(buttons);

    connect(Button1, &QPushButton::clicked, this, ui::guard([this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, [this] { reject(); });
}

void TForm9::FormActivate() { Edit1->setFocus(); }

void TForm9::Button1Click() {
    Query& vid = dm().Vid_oper;
    const int renaming = Tag == 1 ? 0 : vid.asInt(QStringLiteral("id"));
    if (Tag != 1 && renaming == 0) return;
    if (optypes::save(Edit1->text(), renaming) != optypes::SaveResult::Saved) return;
    vid.reopen();
    accept();
}
