#include "gui/listwindow.h"

#include "gui/ui.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace mirn {

ListWindow::ListWindow(const QString& caption, const QList<GridColumn>& columns, Search search)
    : search_(std::move(search)) {
    setWindowTitle(caption);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    DBGrid1 = new DBGrid(this);
    DBGrid1->setColumns(columns);
    Edit1 = new QLineEdit(this);

    Edit1->installEventFilter(this);
    connect(Edit1, &QLineEdit::textChanged, this, ui::guard([this] { Edit1Change(); }));
    connect(DBGrid1, &DBGrid::dblClick, this, ui::guard([this] { gridDblClick(); }));
    connect(DBGrid1, &DBGrid::enterPressed, this, ui::guard([this] { enterInGrid(); }));
}

void ListWindow::setList(Query& list) {
    list_ = &list;
    DBGrid1->setQuery(list_);
}

QPushButton* ListWindow::makeButton(const QString& caption) {
    auto* b = new QPushButton(caption, this);
    b->setAutoDefault(false);
    return b;
}

void ListWindow::setModeButtons(QPushButton* add, QPushButton* choose, QPushButton* remove) {
    add_ = add;
    choose_ = choose;
    remove_ = remove;
    if (add_) add_->setDefault(true);
}

void ListWindow::layOutBeside(const QList<QWidget*>& row) {
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Edit1, 1);
    for (QWidget* w : row) buttons->addWidget(w);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(DBGrid1, 1);
    lay->addLayout(buttons);
}

void ListWindow::layOutAbove(const QList<QWidget*>& left, QWidget* right) {
    auto* buttons = new QHBoxLayout;
    for (QWidget* w : left) buttons->addWidget(w);
    buttons->addStretch();
    buttons->addWidget(right);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(Edit1);
    lay->addWidget(DBGrid1, 1);
    lay->addLayout(buttons);
}

void ListWindow::referenceMode() {
    Tag = 0;
    choose_->setText(QStringLiteral("Изменить"));
    choose_->setDefault(false);
    add_->setDefault(true);
    add_->show();
    remove_->show();
}

void ListWindow::pickingMode(int tag) {
    Tag = tag;
    choose_->setText(QStringLiteral("Выбрать"));
    choose_->show();
    add_->hide();
    remove_->hide();
    // One default button per window: this takes it from "Добавить".
    choose_->setDefault(true);
    Edit1->show();
    Edit1->clear();
}

void ListWindow::endPick() {
    choose_->setDefault(false);
    Edit1->hide();
}

void ListWindow::enterInGrid() {
    if (!add_) {
        gridDblClick();
        return;
    }
    for (QPushButton* b : {add_, choose_})
        if (b->isDefault() && !b->isHidden()) {
            b->click();
            return;
        }
}

void ListWindow::FormActivate() {
    if (!Edit1->isHidden()) Edit1->setFocus();
}

void ListWindow::Edit1Change() {
    const QString text = Edit1->text();
    if (search_.blankClears && text.trimmed().isEmpty()) {
        list_->clearFilter();
        return;
    }
    // An empty text switches the filter off.
    list_->setLikeFilter(search_.field, text, search_.anywhere);
}

bool ListWindow::Edit1KeyDown(QKeyEvent* e) {
    if (!search_.onlyArrows) return searchFieldKeyDown(*list_, e);
    if (e->key() == Qt::Key_Up) {
        list_->prior();
        return true;
    }
    if (e->key() == Qt::Key_Down) {
        list_->next();
        return true;
    }
    return false;
}

bool ListWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit1 && event->type() == QEvent::KeyPress) {
        bool consumed = false;
        ui::guard([&] { consumed = Edit1KeyDown(static_cast<QKeyEvent*>(event)); })();
        return consumed;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace mirn
