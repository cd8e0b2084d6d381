#include "journal/shift_copy_dialog.h"

#include "gui/ui.h"
#include "domain/entry_rules.h"

#include <QBoxLayout>
#include <QFormLayout>
#include <QGroupBox>
#include <QHeaderView>

namespace mirn {

QString shiftCaption(int shift) {
    return shift == 4 ? QStringLiteral("Переработка") : QStringLiteral("Смена №%1").arg(shift);
}

namespace {
enum ListColumn { Worker, Operation, Colour, Quantity, Hours, Price, Note, ColumnCount };

QString colourText(int colour) {
    if (colour == 1) return QStringLiteral("грунт");
    return colour > 1 ? QString::number(colour) : QString();
}
}  // namespace

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
    List = new QTreeWidget(box);
    List->setRootIsDecorated(false);
    List->setColumnCount(ColumnCount);
    List->setHeaderLabels({QStringLiteral("Рабочий"), QStringLiteral("Операция"), QStringLiteral("Цвет"),
                           QStringLiteral("Кол-во"), QStringLiteral("Часы"), QStringLiteral("Цена"),
                           QStringLiteral("Примечание")});
    List->setMinimumSize(720, 220);
    List->header()->setStretchLastSection(true);
    Chosen = new QLabel(box);
    auto* form = new QFormLayout(box);
    form->addRow(QStringLiteral("Дата"), DateFrom);
    form->addRow(QStringLiteral("Смена"), ShiftFrom);
    form->addRow(List);
    form->addRow(Chosen);
    ui::editorLayout(this, box, Button1, QStringLiteral("Копировать"), Button2, QStringLiteral("Отмена"));
    static_cast<QBoxLayout*>(layout())->insertWidget(0, Target);
    connect(Button1, &QPushButton::clicked, this, ui::guard([this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, [this] { reject(); });
    connect(DateFrom, &QDateEdit::dateChanged, this, ui::guard([this] { refreshList(); }));
    connect(ShiftFrom, &QComboBox::currentIndexChanged, this, ui::guard([this] { refreshList(); }));
    connect(List, &QTreeWidget::itemChanged, this, [this] { countChosen(); });
}

void ShiftCopyDialog::prepare(const entry::ShiftRef& target, bool dayOff) {
    target_ = target;
    dayOff_ = dayOff;
    Target->setText(QStringLiteral("Куда: %1, %2; цены по сегодняшним нормам.")
                        .arg(entry::dateText(target.date), shiftCaption(target.shift)));
    {
        // One read of the list below, not one per control set.
        const QSignalBlocker quietDate(DateFrom), quietShift(ShiftFrom);
        DateFrom->setMaximumDate(target.date);
        DateFrom->setDate(entry::previousWorkingDay(target.date));
        ShiftFrom->setCurrentIndex(ShiftFrom->findData(target.shift));
    }
    refreshList();
    DateFrom->setFocus();
}

entry::ShiftRef ShiftCopyDialog::source() const {
    return {DateFrom->date(), ShiftFrom->currentData().toInt()};
}

void ShiftCopyDialog::refreshList() {
    const QSignalBlocker quiet(List);
    List->clear();
    entries_.clear();
    if (source() == target_) {
        countChosen();
        return;
    }
    const entry::CopyResult preview = entry::previewCopy(source(), target_, dayOff_);
    // What can be copied first, ticked; then what cannot, with the reason and no tick.
    entries_ = preview.copied + preview.skipped;
    for (const entry::CopiedEntry& e : entries_) {
        auto* item = new QTreeWidgetItem(List);
        const entry::Record& r = e.record;
        item->setText(Worker, e.worker);
        item->setText(Operation, e.operation);
        item->setText(Colour, colourText(r.color));
        item->setText(Quantity, QString::number(r.kol_vo));
        item->setText(Hours, QString::number(r.time));
        for (int c : {Quantity, Hours, Price}) item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        if (e.reason.isEmpty()) {
            item->setText(Price, entry::displayNumber(r.cena));
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
            item->setCheckState(Worker, Qt::Checked);
        } else {
            item->setText(Note, e.reason);
            item->setToolTip(Note, e.reason);
            item->setFlags(Qt::ItemIsSelectable);  // shown, not copied
        }
    }
    for (int c = 0; c < Note; ++c) List->resizeColumnToContents(c);
    if (List->topLevelItemCount() > 0) List->setCurrentItem(List->topLevelItem(0));
    countChosen();
}

QList<entry::CopiedEntry> ShiftCopyDialog::chosen() const {
    QList<entry::CopiedEntry> out;
    for (int i = 0; i < List->topLevelItemCount() && i < entries_.size(); ++i) {
        const QTreeWidgetItem* item = List->topLevelItem(i);
        if ((item->flags() & Qt::ItemIsUserCheckable) && item->checkState(Worker) == Qt::Checked) out << entries_[i];
    }
    return out;
}

void ShiftCopyDialog::countChosen() {
    int copyable = 0;
    for (const entry::CopiedEntry& e : entries_)
        if (e.reason.isEmpty()) ++copyable;
    Chosen->setText(entries_.isEmpty() ? QStringLiteral("В этой смене нет позиций.")
                                       : QStringLiteral("Отмечено позиций: %1 из %2")
                                             .arg(chosen().size())
                                             .arg(copyable));
}

void ShiftCopyDialog::Button1Click() {
    if (source() == target_) {
        ui::error(QStringLiteral("Смена не копируется сама в себя: выберите другую дату или смену."));
        return;
    }
    if (chosen().isEmpty()) {
        ui::error(entries_.isEmpty() ? QStringLiteral("В выбранной смене нет позиций: выберите другую дату или смену.")
                                     : QStringLiteral("Не отмечено ни одной позиции."));
        return;
    }
    accept();
}

}  // namespace mirn
