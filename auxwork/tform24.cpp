#include "auxwork/tform24.h"

#include "domain/auxwork.h"
#include "core/datamodule.h"
#include "gui/dbgrid.h"
#include "gui/forms.h"
#include "gui/ui.h"
#include "refbooks/crosslinks.h"
#include "domain/refcheck.h"
#include "refbooks/tform26.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <stdexcept>

namespace mirn {

TForm24::TForm24() {
    setWindowTitle(QStringLiteral("Хоз. работы/среднесдельная (24)"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    type_work.SQL = auxwork::typeWorkSql();
    type_work.setParam(QStringLiteral("cnt"), 0);

    GroupBox1 = new QGroupBox(QStringLiteral("Закрыто мастером"), this);
    Edit1 = new QLineEdit(GroupBox1);
    Edit2 = new QLineEdit(GroupBox1);
    for (QLineEdit* e : {Edit1, Edit2}) {
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::ClickFocus);
        e->setMinimumWidth(260);
    }
    Button3 = new QPushButton(QStringLiteral("..."), GroupBox1);
    Button4 = new QPushButton(QStringLiteral("..."), GroupBox1);
    for (QPushButton* b : {Button3, Button4}) {
        b->setAutoDefault(false);
        b->setFixedWidth(32);
    }
    cb_type_work = new refkit::KeyCombo(GroupBox1);
    // One item per kind: a kind with several norms takes the rate of its first one.
    cb_type_work->bind(&type_work, QStringLiteral("id"), QStringLiteral("vid"), true);
    Edit6 = new QLineEdit(QStringLiteral("0"), GroupBox1);
    Edit6->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,6}")), Edit6));
    Edit6->setMaximumWidth(60);
    DBEdit1 = new QLineEdit(GroupBox1);
    DBEdit2 = new QLineEdit(GroupBox1);
    for (QLineEdit* e : {DBEdit1, DBEdit2}) {
        e->setEnabled(false);
        e->setMaximumWidth(90);
    }

    auto* grid = new QGridLayout(GroupBox1);
    grid->addWidget(new QLabel(QStringLiteral("ФИО"), GroupBox1), 0, 0);
    grid->addWidget(Edit1, 0, 1);
    grid->addWidget(Button3, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Номенклатура"), GroupBox1), 1, 0);
    grid->addWidget(Edit2, 1, 1);
    grid->addWidget(Button4, 1, 2);
    grid->addWidget(cb_type_work, 2, 1);
    auto* amounts = new QHBoxLayout;
    amounts->addWidget(Edit6);
    amounts->addWidget(new QLabel(QStringLiteral("ч.    Цена"), GroupBox1));
    amounts->addWidget(DBEdit1);
    amounts->addWidget(new QLabel(QStringLiteral("р.    Сумма"), GroupBox1));
    amounts->addWidget(DBEdit2);
    amounts->addStretch();
    grid->addLayout(amounts, 3, 1, 1, 2);

    ui::editorLayout(this, GroupBox1, Button1, QStringLiteral("Записать"), Button6, QStringLiteral("Выход"));
    setFixedSize(sizeHint().expandedTo(QSize(480, 0)));

    connect(&type_work, &Query::currentChanged, this, [this] { showRate(); });
    connect(cb_type_work, &refkit::KeyCombo::keyChanged, this, [this](const QVariant& key) {
        if (type_work.active()) type_work.locate(QStringLiteral("id"), int(refcheck::key(key)));
    });
    connect(Edit6, &QLineEdit::textChanged, this, ui::guard([this] { Edit6Exit(); }));
    connect(Edit6, &QLineEdit::editingFinished, this, ui::guard([this] { Edit6Exit(); }));
    connect(Button3, &QPushButton::clicked, this, ui::guard([this] { Button3Click(); }));
    connect(Button4, &QPushButton::clicked, this, ui::guard([this] { Button4Click(); }));
    connect(Button1, &QPushButton::clicked, this, ui::guard([this] { Button1Click(); }));
    connect(Button6, &QPushButton::clicked, this, [this] { reject(); });
}

void TForm24::showRate() {
    DBEdit1->setText(displayText(type_work.field(QStringLiteral("price"))));
    DBEdit2->setText(displayText(type_work.field(QStringLiteral("summ"))));
}

void TForm24::Button3Click() {
    if (const auto p = pickWorker(24)) {
        Edit1->setText(p->fio);
        id_p = p->id;
    }
}

void TForm24::Button4Click() {
    if (const auto p = forms::form<TForm26>().pick()) {
        id_nom = p->id;
        Edit2->setText(p->caption);
    }
}

int TForm24::runNew(const QDate& date, int shift, Query& registerList) {
    date_ = date;
    shift_ = shift;
    register_ = &registerList;
    type_work.open();
    Tag = 0;
    Edit1->clear();
    Edit2->clear();
    Edit6->setText(QStringLiteral("0"));
    id_nom = 0;
    id_p = 0;
    cb_type_work->setKeyValue(7777);
    const int r = ui::execModal(this);
    type_work.close();
    return r;
}

int TForm24::runChange(const QDate& date, int shift, Query& registerList) {
    date_ = date;
    shift_ = shift;
    register_ = &registerList;
    const Query& row = registerList;
    Tag = 1;
    type_work.open();
    Edit1->setText(row.asString(QStringLiteral("fio")));
    Edit2->setText(row.asString(QStringLiteral("s_caption")));
    Edit6->setText(QString::number(row.asInt(QStringLiteral("cnt"))));
    id_nom = row.asInt(QStringLiteral("id_nom"));
    id_p = row.asInt(QStringLiteral("id_p"));
    cb_type_work->setKeyValue(row.asInt(QStringLiteral("id_o")));
    const int r = ui::execModal(this);
    type_work.close();
    return r;
}

void TForm24::Edit6Exit() {
    const QString text = Edit6->text();
    if (text.isEmpty()) return;
    bool ok = false;
    const qlonglong hours = text.toLongLong(&ok);
    if (!ok) return;
    type_work.setParam(QStringLiteral("cnt"), hours);
    type_work.reopenKeepingRow();
}

void TForm24::Button1Click() {
    if (id_nom == 0 || id_p == 0) {
        ui::error(QStringLiteral("Все поля должны быть заполнены!"));
        return;
    }
    bool ok = false;
    const int hours = Edit6->text().toInt(&ok);
    if (!ok)
        throw std::runtime_error(
            QStringLiteral("\"%1\" не является целым числом").arg(Edit6->text()).toStdString());
    if (hours <= 0) {
        ui::error(QStringLiteral("Нужно завести количество!"));
        return;
    }
    const int kind = int(cb_type_work->keyInt());
    const QString rate = auxwork::rateText(type_work.field(QStringLiteral("price")));
    // Without a kind of work (or a rate for it) there is nothing to book.
    if (kind == 0 || rate.isEmpty() || type_work.asInt(QStringLiteral("id")) != kind) {
        ui::error(QStringLiteral("Все поля должны быть заполнены!"));
        return;
    }
    if (!register_) return;  // opened by nobody
    Query& reg = *register_;
    auxwork::Entry e;
    e.id_nom = id_nom;
    e.kind = kind;
    e.id_p = id_p;
    e.hours = hours;
    e.rate = rate;
    e.date = date_;
    e.shift = shift_;
    const int id = Tag == 0 ? 0 : reg.asInt(QStringLiteral("id"));
    if (Tag != 0 && id == 0) return;
    const Result r = auxwork::AuxWorkStore().save(e, id);
    if (!r.saved()) {
        ui::error(r.message);
        return;
    }
    reg.reopenKeepingRow();
    accept();
}

}  // namespace mirn
