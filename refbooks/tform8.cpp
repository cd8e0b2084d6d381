#include "refbooks/tform8.h"

#include "core/datamodule.h"
#include "gui/forms.h"
#include "gui/ui.h"
#include "domain/optypes.h"
#include "refbooks/tform10.h"
#include "refbooks/tform9.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace mirn {

TForm8::TForm8() {
    setWindowTitle(QStringLiteral("Виды операций (8)"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    DBGrid1 = new DBGrid(this);
    DBGrid1->setColumns({{QStringLiteral("vid"), QStringLiteral("Операции"), Qt::AlignLeft | Qt::AlignVCenter, 300}});
    DBGrid1->setQuery(&dm().Vid_oper);
    Edit1 = new QLineEdit(this);
    Edit1->setVisible(false);
    Button1 = new QPushButton(QStringLiteral("Добавить"), this);
    Button2 = new QPushButton(QStringLiteral("Изменить"), this);
    Button3 = new QPushButton(QStringLiteral("Удалить"), this);
    Button4 = new QPushButton(QStringLiteral("Выход"), this);
    for (QPushButton* b : {Button1, Button2, Button3, Button4}) b->setAutoDefault(false);
    Button1->setDefault(true);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {Button1, Button2, Button3}) buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(Button4);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(Edit1);
    lay->addWidget(DBGrid1, 1);
    lay->addLayout(buttons);
    resize(380, 480);

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

void TForm8::prepareReference() {
    Tag = 0;
    Button2->setText(QStringLiteral("Изменить"));
    Button2->setDefault(false);
    Button1->setDefault(true);
    Button1->setVisible(true);
    Button3->setVisible(true);
}

void TForm8::FormActivate() {
    if (Edit1->isVisibleTo(this)) Edit1->setFocus();
}

void TForm8::Edit1Change() { dm().Vid_oper.setLikeFilter(QStringLiteral("vid"), Edit1->text()); }

bool TForm8::Edit1KeyDown(QKeyEvent* e) { return searchFieldKeyDown(dm().Vid_oper, e); }

bool TForm8::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit1 && event->type() == QEvent::KeyPress &&
        Edit1KeyDown(static_cast<QKeyEvent*>(event)))
        return true;
    return QDialog::eventFilter(watched, event);
}

void TForm8::Button1Click() {
    TForm9& ed = forms::form<TForm9>();
    ed.Edit1->clear();
    ed.setWindowTitle(QStringLiteral("Заведение нового вида операций"));
    ed.Tag = 1;
    ed.FormActivate();
    ui::execModal(&ed);
}

void TForm8::Button2Click() {
    Query& vid = dm().Vid_oper;
    if (Tag != 0) {
        TForm10& f10 = forms::form<TForm10>();
        f10.Edit2->setText(vid.asString(QStringLiteral("vid")).trimmed());
        f10.oper_vid = vid.asInt(QStringLiteral("id"));
        accept();
        return;
    }
    // There is no operation type to rename in an empty list.
    if (vid.isEmpty()) return;
    TForm9& ed = forms::form<TForm9>();
    ed.setWindowTitle(QStringLiteral("Изменение данных вида операции"));
    ed.Tag = 2;
    ed.Edit1->setText(vid.asString(QStringLiteral("vid")).trimmed());
    ed.FormActivate();
    ui::execModal(&ed);
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
