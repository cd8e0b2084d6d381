#include "journal/shift_copy_dialog.h"

#include "gui/ui.h"
#include "domain/entry_rules.h"

#include <QBoxLayout>
#include <QFormLayout>
#include <QGroupBox>

namespace mirn {

QString shiftCaption(int shift) {
    return shift == 4 ? QStringLiteral("Переработка") : QStringLiteral("Смена №%1").arg(shift);
}

ShiftCopyDialog::ShiftCopyDialog() {
    setWindowTitle(QStringLiteral("Копировать смену"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto* box = new QGroupBox(QStringLiteral("Откуда"), this);
    Target = new QLabel(this);
    DateFrom = new QDateEdit(QDate::currentDate(), box);
    DateFrom->setCalendarPopup(true);
    DateFrom->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    ShiftFrom = new QComboBox(box);
    for (int s = 1; s <= 4; ++s) ShiftFrom->addItem(shiftCaption(s), s);
    auto* form = new QFormLayout(box);
    form->addRow(QStringLiteral("Дата"), DateFrom);
    form->addRow(QStringLiteral("Смена"), ShiftFrom);
    ui::editorLayout(this, box, Button1, QStringLiteral("Копировать"), Button2, QStringLiteral("Отмена"));
    static_cast<QBoxLayout*>(layout())->insertWidget(0, Target);
    connect(Button1, &QPushButton::clicked, this, ui::guard([this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, [this] { reject(); });
}

void ShiftCopyDialog::prepare(const entry::ShiftRef& target) {
    target_ = target;
    Target->setText(QStringLiteral("Куда: %1, %2; цены по сегодняшним нормам.")
                        .arg(entry::dateText(target.date), shiftCaption(target.shift)));
    DateFrom->setMaximumDate(target.date);
    DateFrom->setDate(entry::previousWorkingDay(target.date));
    ShiftFrom->setCurrentIndex(ShiftFrom->findData(target.shift));
    DateFrom->setFocus();
}

entry::ShiftRef ShiftCopyDialog::source() const {
    return {DateFrom->date(), ShiftFrom->currentData().toInt()};
}

void ShiftCopyDialog::Button1Click() {
    if (source() == target_) {
        ui::error(QStringLiteral("Смена не копируется сама в себя: выберите другую дату или смену."));
        return;
    }
    accept();
}

}  // namespace mirn
