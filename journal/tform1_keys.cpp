// The journal's keys, menus "Правка" and "Вид", mnemonics, tooltips and the quick search.
#include "journal/journal_keys.h"

#include "core/datamodule.h"
#include "gui/ui.h"
#include "journal/tform1.h"

#include <QAction>
#include <QActionGroup>
#include <QBoxLayout>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>

namespace mirn {

namespace {
// The box layout that holds the widget, searched from the window's layout down.
QBoxLayout* boxOf(QLayout* in, QWidget* w) {
    if (!in) return nullptr;
    if (auto* box = qobject_cast<QBoxLayout*>(in); box && box->indexOf(w) >= 0) return box;
    for (int i = 0; i < in->count(); ++i)
        if (QBoxLayout* found = boxOf(in->itemAt(i)->layout(), w)) return found;
    return nullptr;
}

QAction* action(QMenu* menu, const QString& caption, const QKeySequence& key,
                Qt::ShortcutContext context = Qt::WindowShortcut) {
    QAction* a = menu->addAction(caption);
    a->setShortcut(key);
    a->setShortcutContext(context);
    return a;
}
}  // namespace

void TForm1::setupKeys() { Keys = new JournalKeys(this); }

JournalKeys::JournalKeys(TForm1* f) : QObject(f), f_(f) {
    // Underlined letters only: the captions read as before.
    f->Button1->setText(QStringLiteral("&Добавить"));
    f->Button2->setText(QStringLiteral("&Изменить"));
    f->Button3->setText(QStringLiteral("&Удалить"));
    f->Button8->setText(QStringLiteral("&Обновить"));
    f->Button5->setText(QStringLiteral("&Хоз. работы"));
    f->Button9->setText(QStringLiteral("Ис&тория"));
    f->Button4->setText(QStringLiteral("&Выход"));
    f->Button1->setToolTip(QStringLiteral("Добавить (Insert)"));
    f->Button2->setToolTip(QStringLiteral("Изменить (Enter, F2)"));
    f->Button3->setToolTip(QStringLiteral("Удалить (Delete)"));
    f->Button8->setToolTip(QStringLiteral("Обновить (F5)"));
    f->Button4->setToolTip(QStringLiteral("Выход (Esc)"));
    f->DateT->setToolTip(QStringLiteral("Предыдущий день (Ctrl+←), следующий день (Ctrl+→)"));

    EditMenu = new QMenu(QStringLiteral("Правка"), f->MainMenu1);
    ViewMenu = new QMenu(QStringLiteral("Вид"), f->MainMenu1);
    f->MainMenu1->insertMenu(f->N5, EditMenu);
    f->MainMenu1->insertMenu(f->N5, ViewMenu);

    Add = action(EditMenu, QStringLiteral("Добавить"), Qt::Key_Insert);
    Change = action(EditMenu, QStringLiteral("Изменить"), Qt::Key_F2);
    // Ctrl+D stays with the "Повторить" button; the menu only names it.
    QAction* repeat = EditMenu->addAction(QStringLiteral("Повторить\tCtrl+D"));
    QAction* copy = EditMenu->addAction(QStringLiteral("Копировать смену"));
    UndoCopy = action(EditMenu, QStringLiteral("Отменить копирование смены"), QKeySequence(Qt::CTRL | Qt::Key_Z));
    // The selected entry's keys belong to the grid: elsewhere Space presses the focused
    // button and Delete edits the focused field.
    Remove = action(EditMenu, QStringLiteral("Удалить"), Qt::Key_Delete, Qt::WidgetShortcut);
    Confirm = action(EditMenu, QStringLiteral("Подтверждение"), Qt::Key_Space, Qt::WidgetShortcut);
    f->DBGrid2->addAction(Remove);
    f->DBGrid2->addAction(Confirm);
    EditMenu->addSeparator();
    Find = action(EditMenu, QStringLiteral("Поиск"), QKeySequence(Qt::CTRL | Qt::Key_F));

    Refresh = action(ViewMenu, QStringLiteral("Обновить"), Qt::Key_F5);
    ViewMenu->addSeparator();
    auto* shifts = new QActionGroup(this);
    QRadioButton* radios[] = {f->RadioButton1, f->RadioButton2, f->RadioButton3, f->RadioButton4};
    for (int i = 0; i < 4; ++i) {
        Shift[i] = action(ViewMenu, radios[i]->text(), QKeySequence(Qt::ALT | Qt::Key(Qt::Key_1 + i)));
        Shift[i]->setCheckable(true);
        Shift[i]->setChecked(radios[i]->isChecked());
        shifts->addAction(Shift[i]);
        radios[i]->setToolTip(QStringLiteral("%1 (Alt+%2)").arg(radios[i]->text()).arg(i + 1));
        QRadioButton* r = radios[i];
        connect(Shift[i], &QAction::triggered, r, [r] { r->setChecked(true); });
        QAction* a = Shift[i];
        connect(r, &QRadioButton::toggled, a, [a](bool on) {
            if (on) a->setChecked(true);
        });
        follow(r, Shift[i]);
    }
    ViewMenu->addSeparator();
    PreviousDay = action(ViewMenu, QStringLiteral("Предыдущий день"), QKeySequence(Qt::CTRL | Qt::Key_Left));
    NextDay = action(ViewMenu, QStringLiteral("Следующий день"), QKeySequence(Qt::CTRL | Qt::Key_Right));

    connect(Add, &QAction::triggered, f->Button1, &QPushButton::click);
    connect(Change, &QAction::triggered, f->Button2, &QPushButton::click);
    connect(Remove, &QAction::triggered, f->Button3, &QPushButton::click);
    connect(Refresh, &QAction::triggered, f->Button8, &QPushButton::click);
    connect(repeat, &QAction::triggered, f->Button10, &QPushButton::click);
    connect(copy, &QAction::triggered, f->Button11, &QPushButton::click);
    connect(Confirm, &QAction::triggered, f, ui::guard([f] { f->DBGrid2DblClick(); }));
    connect(UndoCopy, &QAction::triggered, f, ui::guard([f] { f->UndoCopyClick(); }));
    // Enter in the grid changes the selected entry.
    connect(f->DBGrid2, &DBGrid::enterPressed, f->Button2, &QPushButton::click);
    for (QAction* a : {PreviousDay, NextDay}) {
        const int step = a == NextDay ? 1 : -1;
        // The date's change re-reads the journal as a picked date does.
        connect(a, &QAction::triggered, f, [f, step] { f->DateT->setDate(f->DateT->date().addDays(step)); });
    }
    follow(f->Button1, Add);
    follow(f->Button2, Change);
    follow(f->Button3, Remove);
    follow(f->Button8, Refresh);
    follow(f->Button10, repeat);
    follow(f->Button11, copy);
    follow(f->Button11, UndoCopy);
    follow(f->DBGrid2, Confirm);
    follow(f->DBGrid2, Find);
    follow(f->DateT, PreviousDay);
    follow(f->DateT, NextDay);

    FindEdit = new QLineEdit(f);
    FindEdit->setPlaceholderText(QStringLiteral("Рабочий или марка"));
    FindEdit->setToolTip(QStringLiteral("Поиск (Ctrl+F): Enter — следующая, Esc — к списку"));
    FindEdit->setClearButtonEnabled(true);
    FindEdit->hide();
    if (QBoxLayout* row = boxOf(f->layout(), f->CBox1)) row->insertWidget(row->indexOf(f->CBox1) + 1, FindEdit);
    FindEdit->installEventFilter(this);
    connect(Find, &QAction::triggered, this, [this] {
        FindEdit->show();
        FindEdit->setFocus(Qt::ShortcutFocusReason);
        FindEdit->selectAll();
    });
    connect(FindEdit, &QLineEdit::textEdited, this, [this] { search(0, 1); });

    // A mouse click on a button or a shift leaves the focus in the grid, where the
    // entry keys work.
    for (QWidget* w : std::initializer_list<QWidget*>{f->Button1, f->Button2, f->Button3, f->Button8, f->Button5,
                                                      f->Button9, f->Button4, f->RadioButton1, f->RadioButton2,
                                                      f->RadioButton3, f->RadioButton4, f->CBox1})
        w->setFocusPolicy(Qt::TabFocus);
    f->DBGrid2->setFocus();
}

void JournalKeys::follow(QWidget* control, QAction* a) {
    a->setEnabled(usable(control, a));
    if (!followers_.contains(control)) control->installEventFilter(this);
    followers_[control] << a;
}

bool JournalKeys::usable(const QWidget* control, const QAction* a) const {
    // The grid stays on in a closed month, to be read; its confirmation does not.
    return control->isEnabled() && !(a == Confirm && monthClosed_) && !(a == UndoCopy && !copyToUndo_);
}

void JournalKeys::setCopyToUndo(bool any) {
    copyToUndo_ = any;
    UndoCopy->setEnabled(usable(f_->Button11, UndoCopy));
}

void JournalKeys::setMonthClosed(bool closed) {
    monthClosed_ = closed;
    Confirm->setEnabled(usable(f_->DBGrid2, Confirm));
}

bool JournalKeys::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        const auto it = followers_.constFind(watched);
        if (it != followers_.constEnd())
            for (QAction* a : *it) a->setEnabled(usable(static_cast<QWidget*>(watched), a));
    }
    if (watched != FindEdit) return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        const Query* q = f_->DBGrid2->query();
        const int current = q ? q->recNo() - 1 : -1;
        switch (static_cast<QKeyEvent*>(event)->key()) {
        // Esc leaves the search, never the journal.
        case Qt::Key_Escape: closeSearch(); return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Down: search(current + 1, 1); return true;
        case Qt::Key_Up: search(current - 1, -1); return true;
        default: break;
        }
    } else if (event->type() == QEvent::FocusOut) {
        // Gone elsewhere in the journal (not to a window opened from it): the search is done.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
            reason != Qt::MenuBarFocusReason)
            FindEdit->hide();
    }
    return QObject::eventFilter(watched, event);
}

void JournalKeys::closeSearch() {
    f_->DBGrid2->setFocus(Qt::OtherFocusReason);
    FindEdit->hide();
}

void JournalKeys::search(int from, int step) {
    Query* q = f_->DBGrid2->query();
    const int row = q ? findEntry(*q, FindEdit->text(), from, step) : -1;
    if (row >= 0) q->setRecNo(row + 1);
    QPalette pal = FindEdit->palette();
    const bool missed = row < 0 && !FindEdit->text().trimmed().isEmpty();
    pal.setColor(QPalette::Text, missed ? QColor(255, 0, 0) : QPalette().color(QPalette::Text));
    FindEdit->setPalette(pal);
}

int JournalKeys::findEntry(const Query& q, const QString& text, int from, int step) {
    const QString t = text.trimmed();
    const int n = q.recordCount();
    if (t.isEmpty() || n == 0 || q.fieldIndex(QStringLiteral("fio")) < 0) return -1;
    const bool marks = q.fieldIndex(QStringLiteral("marka")) >= 0;
    for (int i = 0; i < n; ++i) {
        const int row = (((from + i * step) % n) + n) % n;
        if (q.value(row, QStringLiteral("fio")).toString().contains(t, Qt::CaseInsensitive) ||
            (marks && q.value(row, QStringLiteral("marka")).toString().contains(t, Qt::CaseInsensitive)))
            return row;
    }
    return -1;
}

}  // namespace mirn
