#include "refbooks/tform4.h"

#include "gui/busy.h"
#include "core/datamodule.h"
#include "gui/forms.h"
#include "gui/ui.h"
#include "domain/entry_rules.h"
#include "domain/pricedops.h"
#include "refbooks/crosslinks.h"
#include "refbooks/tform22.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace mirn {

namespace {
QPushButton* button(const QString& caption, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setAutoDefault(false);
    return b;
}
}  // namespace

TForm4::TForm4() {
    setWindowTitle(QStringLiteral("Операции"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    const auto left = Qt::AlignLeft | Qt::AlignVCenter;
    const auto right = Qt::AlignRight | Qt::AlignVCenter;
    DBGrid1 = new DBGrid(this);
    DBGrid1->setColumns({
        {QStringLiteral("MARKA"), QStringLiteral("Марка"), left, 220},
        {QStringLiteral("VID"), QStringLiteral("Опреция"), left, 200},
        GridColumn(QStringLiteral("cena"), QStringLiteral("Цена (min)"), right, 90).as(ColumnKind::Price),
        {QStringLiteral("nmn"), QStringLiteral("Вид"), left, 150},
        GridColumn(QStringLiteral("norma"), QStringLiteral("Нормы (шт.)"), right, 90).as(ColumnKind::Count),
        {QStringLiteral("id"), QStringLiteral("id"), right, 0, true},
        {QStringLiteral("i_id"), QStringLiteral("i_id"), right, 0, true},
        {QStringLiteral("oper_vid"), QStringLiteral("oper_vid"), right, 0, true},
    });
    DBGrid1->setQuery(&dm().Oper);
    Edit1 = new QLineEdit(this);
    Button1 = button(QStringLiteral("Добавить"), this);
    Button1->setDefault(true);
    Button2 = button(QStringLiteral("Изменить"), this);
    Button3 = button(QStringLiteral("Удалить"), this);
    Button5 = button(QStringLiteral("Excel"), this);
    CheckBox1 = new QCheckBox(QStringLiteral("Цены"), this);
    Button4 = button(QStringLiteral("Выход"), this);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Edit1, 1);
    for (QWidget* w : std::initializer_list<QWidget*>{Button1, Button2, Button3, Button5, CheckBox1, Button4})
        buttons->addWidget(w);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(DBGrid1, 1);
    lay->addLayout(buttons);
    resize(860, 560);

    Edit1->installEventFilter(this);
    connect(Edit1, &QLineEdit::textChanged, this, ui::guard([this] { Edit1Change(); }));
    connect(DBGrid1, &DBGrid::dblClick, this, ui::guard([this] { DBGrid1DblClick(); }));
    connect(DBGrid1, &DBGrid::enterPressed, this, [this] {
        for (QPushButton* b : {Button1, Button2})
            if (b->isDefault() && !b->isHidden()) b->click();
    });
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
    Tag = 0;
    Button2->setDefault(false);
    Button2->setText(QStringLiteral("Изменить"));
    Button1->setDefault(true);
    Button1->show();
    Button3->show();
    // A pick hides the search; the reference list always has it, and the list agrees
    // with the text it shows.
    Edit1->show();
    Edit1Change();
}

void TForm4::FormActivate() {
    if (!Edit1->isHidden()) Edit1->setFocus();
}

void TForm4::Edit1Change() {
    if (Edit1->text().trimmed().isEmpty()) {
        dm().Oper.clearFilter();
        return;
    }
    dm().Oper.setLikeFilter(QStringLiteral("marka"), Edit1->text(), true);
}

bool TForm4::Edit1KeyDown(QKeyEvent* e) { return searchFieldKeyDown(dm().Oper, e); }

bool TForm4::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit1 && event->type() == QEvent::KeyPress) {
        bool consumed = false;
        ui::guard([&] { consumed = Edit1KeyDown(static_cast<QKeyEvent*>(event)); })();
        return consumed;
    }
    return QDialog::eventFilter(watched, event);
}

void TForm4::Button2Click() {
    if (Tag == 0) {
        pricedOperationChange();
        return;
    }
    Query& oper = dm().Oper;
    if (!oper.isEmpty())
        picked = Pick{oper.asInt(QStringLiteral("id")), oper.asInt(QStringLiteral("i_id")),
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
        TForm22& f22 = forms::form<TForm22>();
        f22.norm.close();
        f22.norm.setOidFilter(oper.asInt(QStringLiteral("id")));
        f22.norm.open();
        ui::execModal(&f22);
        return;
    }
    Button2Click();
}

}  // namespace mirn
