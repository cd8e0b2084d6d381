#include "refbooks/tform10.h"

#include "core/datamodule.h"
#include "gui/forms.h"
#include "gui/ui.h"
#include "domain/pricedops.h"
#include "domain/refcheck.h"
#include "refbooks/tform3.h"
#include "refbooks/tform8.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace mirn {

TForm10::TForm10() {
    setWindowTitle(QStringLiteral("Цена за операцию"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    GroupBox1 = new QGroupBox(QStringLiteral("Цена операции"), this);
    Edit1 = new QLineEdit(GroupBox1);
    Edit2 = new QLineEdit(GroupBox1);
    for (QLineEdit* e : {Edit1, Edit2}) {
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::ClickFocus);
        e->setMinimumWidth(240);
    }
    Button3 = new QPushButton(QStringLiteral("..."), GroupBox1);
    Button4 = new QPushButton(QStringLiteral("..."), GroupBox1);
    for (QPushButton* b : {Button3, Button4}) {
        b->setAutoDefault(false);
        b->setFixedWidth(32);
    }
    ComboBox1 = new QComboBox(GroupBox1);
    ComboBox1->addItems({QStringLiteral("Готовая продукция"), QStringLiteral("Заготовки")});
    auto* grid = new QGridLayout(GroupBox1);
    grid->addWidget(new QLabel(QStringLiteral("Марка изделия"), GroupBox1), 0, 0);
    grid->addWidget(Edit1, 0, 1);
    grid->addWidget(Button3, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Операция"), GroupBox1), 1, 0);
    grid->addWidget(Edit2, 1, 1);
    grid->addWidget(Button4, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Вид"), GroupBox1), 2, 0);
    grid->addWidget(ComboBox1, 2, 1);

    ui::editorLayout(this, GroupBox1, Button1, QStringLiteral("Записать"), Button2, QStringLiteral("Отмена"));

    connect(Button3, &QPushButton::clicked, this, ui::guard([this] { Button3Click(); }));
    connect(Button4, &QPushButton::clicked, this, ui::guard([this] { Button4Click(); }));
    connect(Button1, &QPushButton::clicked, this, ui::guard([this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, [this] { reject(); });
}

void TForm10::FormActivate() { Button3->setFocus(); }

void TForm10::Button3Click() {
    if (const auto p = forms::form<TForm3>().pick()) {
        Edit1->setText(p->marka);
        i_id = p->id;
    }
}

void TForm10::Button4Click() {
    if (const auto p = forms::form<TForm8>().pick()) {
        Edit2->setText(p->vid);
        oper_vid = p->id;
    }
}

int TForm10::runNew() {
    Edit1->clear();
    Edit2->clear();
    ComboBox1->setCurrentIndex(0);
    setWindowTitle(QStringLiteral("Заведение новой цены за операцию"));
    Tag = 1;
    FormActivate();
    return ui::execModal(this);
}

int TForm10::runChange(const QString& marka, const QString& vid, int naimen, int productId, int typeId) {
    setWindowTitle(QStringLiteral("Изменение данных о цене за операцию"));
    Tag = 2;
    Edit1->setText(marka);
    Edit2->setText(vid);
    // Any kind other than 0 is a blank.
    ComboBox1->setCurrentIndex(naimen == 0 ? 0 : 1);
    i_id = productId;
    oper_vid = typeId;
    FormActivate();
    return ui::execModal(this);
}

void TForm10::Button1Click() {
    Query& oper = dm().Oper;
    const int changing = Tag == 1 ? 0 : oper.asInt(QStringLiteral("id"));
    if (Tag != 1 && changing == 0) return;
    const pricedops::Choice c{Edit1->text(), Edit2->text(), i_id, oper_vid, ComboBox1->currentIndex()};
    const Result r = pricedops::PricedOpStore().save(c, changing);
    if (!r.saved()) {
        ui::error(r.message);
        return;
    }
    oper.reopen();
    accept();
}

}  // namespace mirn
