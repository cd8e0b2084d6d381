#include "refbooks/tform26.h"

#include "gui/forms.h"
#include "gui/ui.h"
#include "domain/refcheck.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace mirn {

TForm26::TForm26() {
    setWindowTitle(QStringLiteral("Номенклатура (26)"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    item.SQL = {QStringLiteral("select * from cmn_classifier.item where id_level=2")};

    DBGrid1 = new DBGrid(this);
    DBGrid1->setColumns(
        {{QStringLiteral("s_caption"), QStringLiteral("Наименование"), Qt::AlignLeft | Qt::AlignVCenter, 330}});
    DBGrid1->setQuery(&item);
    Edit1 = new QLineEdit(this);
    Button1 = new QPushButton(QStringLiteral("Выбрать"), this);
    Button4 = new QPushButton(QStringLiteral("Выход"), this);
    Button1->setAutoDefault(false);
    Button4->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button1);
    buttons->addStretch();
    buttons->addWidget(Button4);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(Edit1);
    lay->addWidget(DBGrid1, 1);
    lay->addLayout(buttons);
    resize(380, 460);

    Edit1->installEventFilter(this);
    connect(Edit1, &QLineEdit::textChanged, this, ui::guard([this] { Edit1Change(); }));
    connect(DBGrid1, &DBGrid::dblClick, this, ui::guard([this] { DBGrid1DblClick(); }));
    connect(DBGrid1, &DBGrid::enterPressed, this, ui::guard([this] { DBGrid1DblClick(); }));
    connect(Button1, &QPushButton::clicked, this, ui::guard([this] { DBGrid1DblClick(); }));
    connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
}

void TForm26::Edit1Change() { item.setLikeFilter(QStringLiteral("s_caption"), Edit1->text()); }

bool TForm26::Edit1KeyDown(QKeyEvent* e) { return searchFieldKeyDown(item, e); }

bool TForm26::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit1 && event->type() == QEvent::KeyPress &&
        Edit1KeyDown(static_cast<QKeyEvent*>(event)))
        return true;
    return QDialog::eventFilter(watched, event);
}

void TForm26::DBGrid1DblClick() {
    picked = Pick{int(refcheck::key(item.field(QStringLiteral("id")))), item.asString(QStringLiteral("s_caption"))};
    accept();
}

}  // namespace mirn
