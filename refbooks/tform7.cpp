#include "refbooks/tform7.h"

#include "core/datamodule.h"
#include "gui/ui.h"
#include "domain/products.h"
#include "domain/refcheck.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace mirn {

TForm7::TForm7() {
    setWindowTitle(QStringLiteral("Изделие"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    item.SQL = {QStringLiteral("select * from cmn_classifier.item where id_level=2 order by s_caption")};

    GroupBox1 = new QGroupBox(QStringLiteral("Данные об изделии"), this);
    Edit1 = new QLineEdit(GroupBox1);
    Edit2 = new QLineEdit(GroupBox1);
    cb_item = new refkit::KeyCombo(GroupBox1);
    cb_item->bind(&item, QStringLiteral("id"), QStringLiteral("s_caption"));
    auto* form = new QFormLayout(GroupBox1);
    form->addRow(QStringLiteral("Марка"), Edit1);
    form->addRow(QStringLiteral("Расценка"), Edit2);
    form->addRow(QString(), cb_item);

    ui::editorLayout(this, GroupBox1, Button1, QStringLiteral("Записать"), Button2, QStringLiteral("Отмена"));
    resize(380, sizeHint().height());

    Edit2->installEventFilter(this);
    connect(Button1, &QPushButton::clicked, this, ui::guard([this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, [this] { reject(); });
}

void TForm7::FormActivate() { Edit1->setFocus(); }

int TForm7::runNew() {
    Edit1->clear();
    Edit2->clear();
    setWindowTitle(QStringLiteral("Заведение нового изделия"));
    Tag = 1;
    // The group is not reset: it shows the previous choice, if any.
    item.open();
    FormActivate();
    const int r = ui::execModal(this);
    item.close();
    return r;
}

int TForm7::runChange(const QString& marka, const QString& massa, const QVariant& group) {
    setWindowTitle(QStringLiteral("Изменение данных изделия"));
    Tag = 2;
    Edit1->setText(marka);
    Edit2->setText(massa);
    item.open();
    cb_item->setKeyValue(group);
    FormActivate();
    const int r = ui::execModal(this);
    item.close();
    return r;
}

bool TForm7::Edit2KeyPress(QChar& key) {
    key = products::massKey(key);
    return !key.isNull();
}

bool TForm7::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit2 && event->type() == QEvent::KeyPress) {
        auto* e = static_cast<QKeyEvent*>(event);
        const QString text = e->text();
        // Only typed characters go through the rule; Enter, Esc, Tab and the caret keys act as usual.
        if (text.size() != 1 || (text[0].unicode() < 32 && text[0] != QChar(8)) || text[0] == QChar(127))
            return QDialog::eventFilter(watched, event);
        QChar key = text[0];
        if (!Edit2KeyPress(key)) return true;
        if (key != text[0]) {
            Edit2->insert(QString(key));
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TForm7::Button1Click() {
    const qlonglong changing = Tag == 1 ? 0 : refcheck::key(dm().Izdel.field(QStringLiteral("id")));
    // Changing with no current product is guarded by the list; a 0 here would add.
    if (Tag != 1 && changing == 0) return;
    const products::Product p{Edit1->text(), Edit2->text(), cb_item->keyInt()};
    const Result r = products::ProductStore().save(p, changing);
    if (!r.saved()) {
        ui::error(r.message);
        return;
    }
    dm().Izdel.reopen();
    accept();
}

}  // namespace mirn
