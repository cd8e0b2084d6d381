// The journal and the entry dialog worked from the keyboard alone: every key goes to
// the widget that has the focus, as the user's keyboard would send it, and the windows
// the keys open are run by a stand-in for their modal loop that goes on typing into them.
#include "core/datamodule.h"
#include "gui/forms.h"
#include "journal/journal_keys.h"
#include "journal/tform1.h"
#include "journal/tform11.h"
#include "refbooks/tform4.h"
#include "refbooks/tform5.h"
#include "support/testdb.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QtTest>
#include <algorithm>
#include <functional>

using namespace mirn;

namespace {
const QString kDb = QStringLiteral("t_keyboard");

// Six workers and four priced operations (ХМ-40 a paint operation); on today's date in
// shift 1 three entries, listed by name: Иваненко, Иванов, Петров (the last two unconfirmed).
void loadFixture() {
    testdb::exec(QStringLiteral(
        "insert into cmn_contractor.person(id, s_caption, s_code) values "
        "(1, 'Иванов И.И.', '101'), (2, 'Петров П.П.', '102'), (3, 'Сидоров С.С.', '103'), "
        "(4, 'Кузнецов К.К.', '104'), (5, 'Орлов О.О.', '105'), (6, 'Иваненко А.А.', '106')"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.person(id, fio, s_staffpos_hl) values (101, 'Иванов И.И.', ''), "
        "(102, 'Петров П.П.', ''), (103, 'Сидоров С.С.', ''), (104, 'Кузнецов К.К.', ''), (105, 'Орлов О.О.', ''), "
        "(106, 'Иваненко А.А.', '')"));
    testdb::exec(
        QStringLiteral("insert into cmn_classifier.item(id, id_level, s_caption) values (500, 2, 'Кронштейны')"));
    testdb::exec(QStringLiteral(
        "insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa, id_class_item) values "
        "(1, 'КР-100', '', 6, 1.5, 500), (2, 'ХМ-40', '', 6, 0.2, 500), (3, 'ПР-20', '', 6, 0.3, 500), "
        "(4, 'ШТ-7', '', 6, 0.1, 500)"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.vid_oper(id, vid) values (1, 'Резка'), (2, 'Окраска'), (3, 'Гибка')"));
    testdb::exec(QStringLiteral("insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) values "
                                "(1, 1, 0, 1, 0), (2, 2, 1, 2, 0), (3, 3, 0, 3, 0), (4, 3, 0, 4, 0)"));
    testdb::exec(QStringLiteral("insert into accounts_dep.norm(o_id, norma, prize, price) values "
                                "(1, 100, 0, 12.5), (2, 50, 0, 10), (3, 40, 0, 4), (4, 40, 0, 3)"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.smena(id, w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok, vvod, "
        "prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use) values "
        "(901, 101, 1, 1, 12.5, 10, 0, current_date, 1, 0, 2, 'no', current_date, 0,0,0,0,0,0), "
        "(902, 102, 2, 2, 10, 5, 0, current_date, 1, 0, 2, 'no', current_date, 0,0,0,0,0,0), "
        "(903, 106, 1, 1, 12.5, 3, 0, current_date, 1, 0, 2, 'ok', current_date, 0,0,0,0,0,0)"));
}

QString okOf(int id) {
    return testdb::scalar(QStringLiteral("select ok from accounts_dep.smena where id=%1").arg(id)).toString();
}

// Counts the re-reads of a shift query.
class ReadCounter {
public:
    explicit ReadCounter(Query& q) {
        c_ = QObject::connect(&q, &Query::reset, [this, &q] {
            if (q.active()) ++reads;
        });
    }
    ~ReadCounter() { QObject::disconnect(c_); }
    int reads = 0;

private:
    QMetaObject::Connection c_;
};

// Counts the mouse buttons pressed anywhere in the application.
class MouseWatch : public QObject {
public:
    MouseWatch() { qApp->installEventFilter(this); }
    ~MouseWatch() override { qApp->removeEventFilter(this); }
    int events = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        switch (e->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick: ++events; break;
        default: break;
        }
        return false;
    }
};

// The user at the keyboard: a queue of key presses, typed characters and checks, each
// key sent to the widget that has the focus at that moment. A window opened modally
// is shown, activated and typed into until it closes; then the window under it is
// active again, as the window manager would make it.
class Keyboard {
public:
    Keyboard() : modal_([this](QDialog* d) { return runModal(d); }) {}
    Keyboard(const Keyboard&) = delete;
    Keyboard& operator=(const Keyboard&) = delete;

    void key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        steps_.append({k, mods, {}, {}});
    }
    void type(const QString& text) {
        for (QChar c : text) steps_.append({0, Qt::NoModifier, QString(c), {}});
    }
    void check(std::function<void()> f) { steps_.append({0, Qt::NoModifier, {}, std::move(f)}); }

    // Runs every step; false (with the reason in `problems`) when one found no focus or a
    // window was left open.
    bool run() {
        while (!steps_.isEmpty()) step();
        return problems.isEmpty();
    }

    int keys = 0;       // keys pressed other than typed characters
    QStringList problems;
    MessageLog log;     // the message boxes shown on the way, answered Yes/OK
    QList<QDialog*> shown;

private:
    struct Step {
        int key;
        Qt::KeyboardModifiers mods;
        QString text;
        std::function<void()> check;
    };

    void step() {
        const Step s = steps_.takeFirst();
        if (s.check) {
            s.check();
            return;
        }
        QWidget* w = QApplication::focusWidget();
        if (!w) w = QApplication::activeWindow();
        if (!w) {
            problems << QStringLiteral("nowhere to send a key");
            steps_.clear();
            return;
        }
        if (s.text.isEmpty()) {
            ++keys;
            QTest::keyClick(w, Qt::Key(s.key), s.mods);
        } else {
            const QChar c = s.text.at(0);
            QTest::sendKeyEvent(QTest::Click, w, Qt::Key(c.toUpper().unicode()), s.text, Qt::NoModifier);
        }
    }

    int runModal(QDialog* d) {
        shown << d;
        QWidget* under = QApplication::activeWindow();
        d->setResult(QDialog::Rejected);
        d->show();
        d->activateWindow();
        if (!QTest::qWaitForWindowActive(d)) problems << QStringLiteral("not active: ") + d->windowTitle();
        while (d->isVisible() && !steps_.isEmpty()) step();
        if (d->isVisible()) {
            problems << QStringLiteral("left open: ") + d->windowTitle();
            d->reject();
        }
        if (under && under->isVisible()) {
            under->activateWindow();
            if (!QTest::qWaitForWindowActive(under))
                problems << QStringLiteral("not active again: ") + under->windowTitle();
        }
        return d->result();
    }

    QList<Step> steps_;
    ModalScript modal_;
};

// Which of the dialog's fields a widget is.
QString fieldName(const TForm11& f, const QWidget* w) {
    const std::pair<const QWidget*, const char*> fields[] = {
        {f.Button3, "worker"}, {f.Button4, "operation"}, {f.Edit3, "quantity"}, {f.Edit4, "rejects"},
        {f.Edit6, "hours"},    {f.Edit5, "colour"},      {f.DTimeP, "date"},    {f.Button1, "save"},
        {f.Button2, "cancel"}};
    for (const auto& [field, name] : fields)
        if (w == field || (w && field->isAncestorOf(w))) return QString::fromLatin1(name);
    return w ? w->metaObject()->className() : QStringLiteral("none");
}

QString focusedField() { return fieldName(forms::form<TForm11>(), QApplication::focusWidget()); }

// The shown journal, signed in with the code, on today's shift 1 with the focus on
// the grid, as it opens.
TForm1& openJournal(const QString& code) {
    TForm1& f1 = signIn(code);
    f1.RadioButton1->setChecked(true);
    f1.show();
    f1.activateWindow();
    if (!QTest::qWaitForWindowActive(&f1)) qWarning("journal not active");
    return f1;
}
}  // namespace

class TestKeyboard : public QObject {
    Q_OBJECT
private slots:
    void init() {
        testdb::startApp(kDb);
        loadFixture();
    }
    void cleanup() {
        if (forms::exists<TForm1>()) forms::form<TForm1>().hide();
    }
    void cleanupTestCase() { testdb::stopApp(); }

    // ------------------------------------------------------------ the journal

    // What each key does on the journal, with the rules of the role: the buttons a role
    // cannot use take their keys along, and Space follows the double click.
    void journalKeys_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("where");  // the focus: "grid", "date" or "button" (Обновить, by Tab)
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("mods");
        QTest::addColumn<QString>("effect");
        const int none = Qt::NoModifier, alt = Qt::AltModifier, ctrl = Qt::ControlModifier;
        const QString admin = QStringLiteral("9471"), foremen = QStringLiteral("brolkin"),
                      goods = QStringLiteral("tuvem"), viewer = QStringLiteral("pivrat");
        const QString add = QStringLiteral("dialog Заведение новой позиции; reread");
        const QString change = QStringLiteral("dialog Изменение данных о позиции; reread");
        QTest::newRow("Insert adds") << admin << "grid" << int(Qt::Key_Insert) << none << add;
        QTest::newRow("F2 changes") << admin << "grid" << int(Qt::Key_F2) << none << change;
        QTest::newRow("Enter changes") << admin << "grid" << int(Qt::Key_Return) << none << change;
        QTest::newRow("keypad Enter changes") << admin << "grid" << int(Qt::Key_Enter) << int(Qt::KeypadModifier)
                                              << change;
        QTest::newRow("Delete asks") << admin << "grid" << int(Qt::Key_Delete) << none
                                     << QStringLiteral("ask Удалить позицию из списка?");
        QTest::newRow("Space confirms") << admin << "grid" << int(Qt::Key_Space) << none << QStringLiteral("ok no->ok");
        QTest::newRow("F5 re-reads") << admin << "grid" << int(Qt::Key_F5) << none << QStringLiteral("reread");
        QTest::newRow("Alt+2") << admin << "grid" << int(Qt::Key_2) << alt << QStringLiteral("shift 1->2");
        QTest::newRow("Alt+3") << admin << "grid" << int(Qt::Key_3) << alt << QStringLiteral("shift 1->3");
        QTest::newRow("Alt+4") << admin << "grid" << int(Qt::Key_4) << alt << QStringLiteral("shift 1->4");
        QTest::newRow("Alt+1 on shift 1") << admin << "grid" << int(Qt::Key_1) << alt << QString();
        QTest::newRow("Ctrl+Right") << admin << "grid" << int(Qt::Key_Right) << ctrl
                                    << QStringLiteral("date +1; reread");
        QTest::newRow("Ctrl+Left") << admin << "grid" << int(Qt::Key_Left) << ctrl << QStringLiteral("date -1; reread");
        // Enter completes a date typed into the picker; it changes nothing else.
        QTest::newRow("Enter in the date") << admin << "date" << int(Qt::Key_Return) << none << QString();
        QTest::newRow("Insert in the date") << admin << "date" << int(Qt::Key_Insert) << none << add;
        // A focused button keeps Space; Delete is the grid's.
        QTest::newRow("Space on a button") << admin << "button" << int(Qt::Key_Space) << none
                                           << QStringLiteral("reread");
        QTest::newRow("Delete on a button") << admin << "button" << int(Qt::Key_Delete) << none << QString();

        QTest::newRow("foremen Insert") << foremen << "grid" << int(Qt::Key_Insert) << none << add;
        QTest::newRow("foremen F2") << foremen << "grid" << int(Qt::Key_F2) << none << QString();
        QTest::newRow("foremen Enter") << foremen << "grid" << int(Qt::Key_Return) << none << QString();
        QTest::newRow("foremen Delete") << foremen << "grid" << int(Qt::Key_Delete) << none << QString();
        QTest::newRow("foremen Space") << foremen << "grid" << int(Qt::Key_Space) << none << QString();
        QTest::newRow("foremen Alt+3") << foremen << "grid" << int(Qt::Key_3) << alt << QStringLiteral("shift 1->3");

        QTest::newRow("finished goods Insert") << goods << "grid" << int(Qt::Key_Insert) << none << QString();
        QTest::newRow("finished goods Delete") << goods << "grid" << int(Qt::Key_Delete) << none << QString();
        QTest::newRow("finished goods Space") << goods << "grid" << int(Qt::Key_Space) << none
                                              << QStringLiteral("ok no->ok");

        QTest::newRow("viewer Insert") << viewer << "grid" << int(Qt::Key_Insert) << none << QString();
        QTest::newRow("viewer F5") << viewer << "grid" << int(Qt::Key_F5) << none << QString();
        QTest::newRow("viewer Alt+2") << viewer << "grid" << int(Qt::Key_2) << alt << QString();
        QTest::newRow("viewer Ctrl+Right") << viewer << "grid" << int(Qt::Key_Right) << ctrl << QString();
        QTest::newRow("viewer Ctrl+F") << viewer << "grid" << int(Qt::Key_F) << ctrl << QString();
    }
    void journalKeys() {
        QFETCH(QString, code);
        QFETCH(QString, where);
        QFETCH(int, key);
        QFETCH(int, mods);
        QFETCH(QString, effect);
        TForm1& f1 = openJournal(code);
        if (f1.DBGrid2->isEnabled()) {
            QCOMPARE(QApplication::focusWidget(), f1.DBGrid2);
            dm().Smena1.setRecNo(2);  // Иванов, not confirmed
            QCOMPARE(dm().Smena1.asInt(QStringLiteral("id")), 901);
        }
        if (where == QLatin1String("date")) f1.DateT->setFocus();
        if (where == QLatin1String("button")) f1.Button8->setFocus(Qt::TabFocusReason);
        MessageLog log;
        log.answers << QMessageBox::No;
        ModalScript modal;
        ReadCounter reads(dm().Smena4);
        const QDate day = f1.DateT->date();
        const int shift = f1.CurrentShift;
        const QString ok = okOf(901);

        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &f1;
        QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(mods));

        QStringList seen;
        for (QDialog* d : modal.shown) seen << QStringLiteral("dialog ") + d->windowTitle();
        for (const ui::Message& m : log.messages)
            seen << (m.buttons == ui::Buttons::YesNo ? QStringLiteral("ask ") : QStringLiteral("message ")) + m.text;
        if (okOf(901) != ok) seen << QStringLiteral("ok %1->%2").arg(ok, okOf(901));
        if (f1.CurrentShift != shift) seen << QStringLiteral("shift %1->%2").arg(shift).arg(f1.CurrentShift);
        if (const qint64 days = day.daysTo(f1.DateT->date()))
            seen << QStringLiteral("date %1%2").arg(days > 0 ? "+" : "").arg(days);
        if (reads.reads > 0) seen << QStringLiteral("reread");
        QCOMPARE(seen.join(QStringLiteral("; ")), effect);
        // The grid shows the shift chosen, and the journal is still open.
        QCOMPARE(f1.DBGrid2->query(), &dm().shiftQuery(f1.CurrentShift));
        const QRadioButton* radios[] = {f1.RadioButton1, f1.RadioButton2, f1.RadioButton3, f1.RadioButton4};
        QVERIFY(radios[f1.CurrentShift - 1]->isChecked());
        QVERIFY(f1.isVisible());
    }

    // Every key the menus name fires its action once from the grid: a key taken twice in
    // the window (by a button's letter or another action) would fire neither.
    void menuKeysFireOnce() {
        TForm1& f1 = openJournal(QStringLiteral("9471"));
        MessageLog log;
        ModalScript modal;
        f1.Keys->setCopyToUndo(true);  // Ctrl+Z is on only while a copy stands to be taken back
        QList<QAction*> named;
        for (QAction* top : f1.MainMenu1->actions()) {
            if (!top->menu()) continue;
            for (QAction* a : top->menu()->actions())
                if (!a->shortcut().isEmpty()) named << a;
        }
        QStringList keys;
        for (QAction* a : named) keys << a->shortcut().toString();
        keys.sort();
        QCOMPARE(keys, (QStringList{"Alt+1", "Alt+2", "Alt+3", "Alt+4", "Ctrl+F", "Ctrl+Left", "Ctrl+Right", "Ctrl+Z",
                                    "Del", "F2", "F5", "Ins", "Space"}));
        for (QAction* a : named) {
            log.answers = {QMessageBox::No};
            f1.DBGrid2->setFocus();
            QSignalSpy fired(a, &QAction::triggered);
            const QKeyCombination k = a->shortcut()[0];
            QTest::keyClick(QApplication::focusWidget(), k.key(), k.keyboardModifiers());
            QVERIFY2(fired.size() == 1, qPrintable(a->text() + QStringLiteral(" fired %1 times").arg(fired.size())));
            if (f1.Keys->FindEdit->isVisible()) QTest::keyClick(f1.Keys->FindEdit, Qt::Key_Escape);
        }
    }

    // The buttons' underlined letters press them from anywhere in the journal, and the
    // captions read as they always did.
    void buttonLetters_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("letter");
        QTest::newRow("add") << "Button1" << "Добавить" << "Д";
        QTest::newRow("change") << "Button2" << "Изменить" << "И";
        QTest::newRow("delete") << "Button3" << "Удалить" << "У";
        QTest::newRow("refresh") << "Button8" << "Обновить" << "О";
        QTest::newRow("auxiliary work") << "Button5" << "Хоз. работы" << "Х";
        QTest::newRow("exit") << "Button4" << "Выход" << "В";
    }
    void buttonLetters() {
        QFETCH(QString, button);
        QFETCH(QString, caption);
        QFETCH(QString, letter);
        TForm1& f1 = openJournal(QStringLiteral("9471"));
        const QMap<QString, QPushButton*> buttons{{"Button1", f1.Button1}, {"Button2", f1.Button2},
                                                  {"Button3", f1.Button3}, {"Button8", f1.Button8},
                                                  {"Button5", f1.Button5}, {"Button4", f1.Button4}};
        QPushButton* b = buttons.value(button);
        QString shown = b->text();
        QCOMPARE(shown.count(QLatin1Char('&')), 1);
        QCOMPARE(shown.remove(QLatin1Char('&')), caption);
        MessageLog log;
        log.answers << QMessageBox::No;
        ModalScript modal;
        QSignalSpy pressed(b, &QPushButton::clicked);
        QList<QSignalSpy*> others;
        for (QPushButton* o : buttons)
            if (o != b) others << new QSignalSpy(o, &QPushButton::clicked);
        const auto cleanup = qScopeGuard([&] { qDeleteAll(others); });
        QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key(letter.at(0).unicode()), QString(),
                            Qt::AltModifier);
        QTRY_COMPARE(pressed.size(), 1);
        for (QSignalSpy* s : others) QCOMPARE(s->size(), 0);
    }

    // A click on a shift, the day-off box or a button leaves the focus in the grid, where
    // the keys of the selected entry work.
    void clicksLeaveTheFocusInTheGrid_data() {
        QTest::addColumn<QString>("control");
        QTest::newRow("shift") << "RadioButton2";
        QTest::newRow("day off") << "CBox1";
        QTest::newRow("refresh") << "Button8";
    }
    void clicksLeaveTheFocusInTheGrid() {
        QFETCH(QString, control);
        TForm1& f1 = openJournal(QStringLiteral("9471"));
        const QMap<QString, QAbstractButton*> controls{
            {"RadioButton2", f1.RadioButton2}, {"CBox1", f1.CBox1}, {"Button8", f1.Button8}};
        QAbstractButton* b = controls.value(control);
        QSignalSpy clicked(b, &QAbstractButton::clicked);
        QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(clicked.size(), 1);
        QCOMPARE(QApplication::focusWidget(), f1.DBGrid2);
    }

    // Ctrl+F searches the shown shift by worker or mark in any letter case; Enter and
    // Down go to the next match, Up to the previous, round the list; Esc goes back to
    // the grid and leaves the journal open.
    void quickSearch_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QString>("entry");  // the worker of the entry selected at the end
        QTest::addColumn<bool>("missed");
        const QString ivanenko = QStringLiteral("Иваненко А.А."), ivanov = QStringLiteral("Иванов И.И."),
                      petrov = QStringLiteral("Петров П.П.");
        QTest::newRow("worker") << "петров" << QList<int>{} << petrov << false;
        QTest::newRow("first of two") << "иван" << QList<int>{} << ivanenko << false;
        QTest::newRow("Enter: the next") << "иван" << QList<int>{Qt::Key_Return} << ivanov << false;
        QTest::newRow("round to the first") << "иван" << QList<int>{Qt::Key_Return, Qt::Key_Return} << ivanenko
                                            << false;
        QTest::newRow("Down: the next") << "иван" << QList<int>{Qt::Key_Down} << ivanov << false;
        QTest::newRow("Up: round to the last") << "иван" << QList<int>{Qt::Key_Up} << ivanov << false;
        QTest::newRow("mark") << "хм-4" << QList<int>{} << petrov << false;
        QTest::newRow("mark of two") << "кр-100" << QList<int>{Qt::Key_Return} << ivanov << false;
        QTest::newRow("nothing: stays") << "сидоров" << QList<int>{Qt::Key_Return} << petrov << true;
    }
    void quickSearch() {
        QFETCH(QString, text);
        QFETCH(QList<int>, keys);
        QFETCH(QString, entry);
        QFETCH(bool, missed);
        TForm1& f1 = openJournal(QStringLiteral("9471"));
        dm().Smena1.setRecNo(3);  // Петров
        Keyboard kb;
        kb.key(Qt::Key_F, Qt::ControlModifier);
        kb.check([&] { QCOMPARE(QApplication::focusWidget(), f1.Keys->FindEdit); });
        kb.type(text);
        for (int k : keys) kb.key(k);
        QVERIFY2(kb.run(), qPrintable(kb.problems.join('\n')));
        QCOMPARE(dm().Smena1.asString(QStringLiteral("fio")), entry);
        QCOMPARE(f1.DBGrid2->currentIndex().row() + 1, dm().Smena1.recNo());
        QCOMPARE(f1.Keys->FindEdit->palette().color(QPalette::Text) == QColor(255, 0, 0), missed);
        kb.key(Qt::Key_Escape);
        QVERIFY(kb.run());
        QVERIFY(f1.isVisible());
        QVERIFY(!f1.Keys->FindEdit->isVisible());
        QCOMPARE(QApplication::focusWidget(), f1.DBGrid2);
        QCOMPARE(dm().Smena1.asString(QStringLiteral("fio")), entry);
        QVERIFY(kb.shown.isEmpty());
    }

    // ------------------------------------------------------------ the entry dialog

    // Tab goes through the fields in the order an entry is typed; the colour only for a
    // paint operation.
    void tabOrder_data() {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QStringList>("order");
        QTest::newRow("cutting") << "100"
                                 << QStringList{"quantity", "rejects", "hours", "date", "save", "cancel", "worker",
                                                "operation", "quantity"};
        QTest::newRow("paint") << "40"
                               << QStringList{"quantity", "rejects", "hours", "colour", "date", "save", "cancel",
                                              "worker", "operation", "quantity"};
    }
    void tabOrder() {
        QFETCH(QString, operation);
        QFETCH(QStringList, order);
        openJournal(QStringLiteral("9471"));
        Keyboard kb;
        QStringList seen;
        kb.key(Qt::Key_Insert);
        kb.check([&] { seen << focusedField(); });
        kb.key(Qt::Key_Tab);
        kb.key(Qt::Key_F4);
        kb.type(operation);
        kb.key(Qt::Key_Return);
        kb.check([&] { seen << focusedField(); });
        for (int i = 0; i < 14; ++i) {
            kb.key(Qt::Key_Tab);
            kb.check([&] {
                // The date takes Tab for its day, month and year first.
                if (seen.last() != focusedField()) seen << focusedField();
            });
        }
        kb.key(Qt::Key_Escape);
        QVERIFY2(kb.run(), qPrintable(kb.problems.join('\n')));
        QCOMPARE(seen.first(), QStringLiteral("worker"));
        seen.removeFirst();
        QCOMPARE(seen.mid(0, order.size()), order);
    }

    // A picker opens from its field on F4, Alt+Down or the first letter of the search,
    // and a choice made with Enter leaves the focus in the next field, its value selected
    // so that typing replaces it. Leaving the picker with Esc goes back to the worker.
    void pickerKeys_data() {
        QTest::addColumn<QList<int>>("open");      // keys on the field; empty: type the search there
        QTest::addColumn<bool>("operation");       // the operation's field, else the worker's
        QTest::addColumn<QString>("search");
        QTest::addColumn<int>("close");
        QTest::addColumn<QString>("openedWith");   // the picker's search as it opened
        QTest::addColumn<QString>("value");        // the dialog's worker or operation afterwards
        QTest::addColumn<QString>("focus");
        const QList<int> f4{Qt::Key_F4}, altDown{Qt::Key_Down | int(Qt::AltModifier)}, typed{};
        const QString petrov = QStringLiteral("Петров П.П."), paint = QStringLiteral("ХМ-40; Окраска; Заготовки");
        QTest::newRow("worker F4") << f4 << false << "Пе" << int(Qt::Key_Return) << "" << petrov << "operation";
        QTest::newRow("worker Alt+Down") << altDown << false << "Пе" << int(Qt::Key_Return) << "" << petrov
                                         << "operation";
        QTest::newRow("worker typed") << typed << false << "Пе" << int(Qt::Key_Return) << "П" << petrov << "operation";
        QTest::newRow("worker Esc") << f4 << false << "Пе" << int(Qt::Key_Escape) << "" << "" << "worker";
        QTest::newRow("operation F4") << f4 << true << "40" << int(Qt::Key_Return) << "" << paint << "quantity";
        QTest::newRow("operation Alt+Down") << altDown << true << "40" << int(Qt::Key_Return) << "" << paint
                                            << "quantity";
        QTest::newRow("operation typed") << typed << true << "40" << int(Qt::Key_Return) << "4" << paint << "quantity";
        QTest::newRow("operation Esc") << f4 << true << "40" << int(Qt::Key_Escape) << "" << "" << "worker";
    }
    void pickerKeys() {
        QFETCH(QList<int>, open);
        QFETCH(bool, operation);
        QFETCH(QString, search);
        QFETCH(int, close);
        QFETCH(QString, openedWith);
        QFETCH(QString, value);
        QFETCH(QString, focus);
        openJournal(QStringLiteral("9471"));
        TForm11& f11 = forms::form<TForm11>();
        Keyboard kb;
        QString searchAtOpen = QStringLiteral("-"), valueAfter, focusAfter, quantity;
        kb.key(Qt::Key_Insert);
        if (operation) kb.key(Qt::Key_Tab);
        const int mask = int(Qt::KeyboardModifierMask);
        for (int k : open) kb.key(k & ~mask, Qt::KeyboardModifiers(k & mask));
        QString rest = search;
        if (open.isEmpty()) {
            kb.type(search.left(1));
            rest = search.mid(1);
        }
        kb.check([&] {
            QLineEdit* s = operation ? forms::form<TForm4>().Edit1 : forms::form<TForm5>().Edit1;
            searchAtOpen = s->text();
        });
        kb.type(rest);
        kb.key(close);
        kb.check([&] {
            valueAfter = operation ? f11.Edit2->text() : f11.Edit1->text();
            focusAfter = focusedField();
        });
        if (focus == QLatin1String("quantity")) {
            kb.type(QStringLiteral("12"));
            kb.check([&] { quantity = f11.Edit3->text(); });
        }
        kb.key(Qt::Key_Escape);
        QVERIFY2(kb.run(), qPrintable(kb.problems.join('\n')));
        QCOMPARE(kb.shown.size(), 2);
        QCOMPARE(kb.shown[1]->metaObject()->className(),
                 operation ? TForm4::staticMetaObject.className() : TForm5::staticMetaObject.className());
        QCOMPARE(searchAtOpen, openedWith);
        QCOMPARE(valueAfter, value);
        QCOMPARE(focusAfter, focus);
        if (focus == QLatin1String("quantity")) QCOMPARE(quantity, QStringLiteral("12"));
    }

    // "Изменить" by F2 or Enter opens on the quantity with its text selected: the corrected
    // figure is typed over it and Enter saves it, no picker on the way. The sum reads as
    // money, the base price is the operation's norm (КР-100: 12.5).
    void changeOpensOnTheQuantity_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("F2") << int(Qt::Key_F2);
        QTest::newRow("Enter") << int(Qt::Key_Return);
    }
    void changeOpensOnTheQuantity() {
        QFETCH(int, key);
        TForm1& f1 = openJournal(QStringLiteral("9471"));
        dm().Smena1.setRecNo(2);  // Иванов: 10 pieces of КР-100 at 12.5
        QCOMPARE(dm().Smena1.asInt(QStringLiteral("id")), 901);
        TForm11& f11 = forms::form<TForm11>();
        Keyboard kb;
        QString where, selected;
        QStringList displays;  // base, final, sum: on opening, then after the new quantity
        kb.key(key);
        kb.check([&] {
            where = focusedField();
            selected = f11.Edit3->selectedText();
            displays << f11.Edit8->text() << f11.Edit7->text() << f11.Edit9->text();
        });
        kb.type(QStringLiteral("7"));
        kb.key(Qt::Key_Tab);
        kb.check([&] { displays << f11.Edit8->text() << f11.Edit7->text() << f11.Edit9->text(); });
        kb.key(Qt::Key_Return);
        QVERIFY2(kb.run(), qPrintable(kb.problems.join('\n')));
        QVERIFY2(kb.log.messages.isEmpty(), qPrintable(kb.log.texts().join('|')));
        QCOMPARE(where, QStringLiteral("quantity"));
        QCOMPARE(selected, QStringLiteral("10"));
        QCOMPARE(displays, (QStringList{"12.5", "12.5", "125.00", "12.5", "12.5", "87.50"}));
        QCOMPARE(kb.shown.size(), 1);  // the dialog alone
        QCOMPARE(testdb::rows(QStringLiteral("select kol_vo::int, cena::text, time from accounts_dep.smena where id=901")),
                 (QList<QVariantList>{{7, QStringLiteral("12.5"), 2}}));
        QCOMPARE(f1.DBGrid2->query()->recordCount(), 3);
    }

    // Back on today after a window the journal opened: when that changes the shown date,
    // "Выходной" follows today as a date change sets it; when the journal showed today
    // already, the user's tick stands. The next entry is priced by it (КР-100 at 12.5,
    // doubled on a day off).
    void dayOffAfterComingBackToToday_data() {
        QTest::addColumn<bool>("fromOtherDay");  // else: today, the box clicked by hand
        QTest::newRow("from a day of the other kind") << true;
        QTest::newRow("today, the box clicked") << false;
    }
    void dayOffAfterComingBackToToday() {
        QFETCH(bool, fromOtherDay);
        const QDate today = QDate::currentDate();
        const auto weekend = [](const QDate& d) { return d.dayOfWeek() == Qt::Saturday || d.dayOfWeek() == Qt::Sunday; };
        TForm1& f1 = openJournal(QStringLiteral("9471"));
        QCOMPARE(f1.CBox1->isChecked(), weekend(today));
        Keyboard kb;
        bool before = false, after = false;
        QDate back;
        if (fromOtherDay) {
            // Ctrl+Left to the nearest day that is a weekday when today is a weekend day, or
            // the other way round.
            int days = 1;
            while (weekend(today.addDays(-days)) == weekend(today)) ++days;
            for (int i = 0; i < days; ++i) kb.key(Qt::Key_Left, Qt::ControlModifier);
        } else {
            kb.check([&] { QTest::mouseClick(f1.CBox1, Qt::LeftButton); });
        }
        kb.check([&] { before = f1.CBox1->isChecked(); });
        kb.key(Qt::Key_Insert);
        kb.key(Qt::Key_Escape);  // the dialog cancelled: the journal is back on today
        kb.check([&] {
            after = f1.CBox1->isChecked();
            back = f1.DateT->date();
        });
        kb.key(Qt::Key_Insert);
        kb.type(QStringLiteral("Сид"));
        kb.key(Qt::Key_Return);
        kb.type(QStringLiteral("100"));
        kb.key(Qt::Key_Return);
        kb.type(QStringLiteral("5"));
        kb.key(Qt::Key_Return);
        QVERIFY2(kb.run(), qPrintable(kb.problems.join('\n')));
        QVERIFY2(kb.log.messages.isEmpty(), qPrintable(kb.log.texts().join('|')));
        QCOMPARE(before, !weekend(today));
        QCOMPARE(back, today);
        const bool dayOff = fromOtherDay ? weekend(today) : before;
        QCOMPARE(after, dayOff);
        QCOMPARE(testdb::rows(QStringLiteral("select w_id, o_id, kol_vo::int, cena::text, data = current_date from "
                                             "accounts_dep.smena where id < 900")),
                 (QList<QVariantList>{{103, 1, 5, dayOff ? QStringLiteral("25") : QStringLiteral("12.5"), true}}));
    }

    // Typing into a number field the keys moved to replaces what it held.
    void typingReplacesTheValue_data() {
        QTest::addColumn<QString>("opener");  // "add" or "change"
        QTest::addColumn<QList<int>>("keys");  // after the operation is picked
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::newRow("quantity of a new entry") << "add" << QList<int>{} << "quantity" << "7";
        QTest::newRow("quantity of a change") << "change" << QList<int>{} << "quantity" << "7";
        QTest::newRow("rejects") << "add" << QList<int>{Qt::Key_Tab} << "rejects" << "7";
        QTest::newRow("hours") << "change" << QList<int>{Qt::Key_Tab, Qt::Key_Tab} << "hours" << "7";
        QTest::newRow("back to the quantity") << "change" << QList<int>{Qt::Key_Tab, Qt::Key_Backtab} << "quantity"
                                              << "7";
    }
    void typingReplacesTheValue() {
        QFETCH(QString, opener);
        QFETCH(QList<int>, keys);
        QFETCH(QString, field);
        QFETCH(QString, text);
        TForm1& f1 = openJournal(QStringLiteral("9471"));
        dm().Smena1.setRecNo(2);  // Иванов: 10 pieces, 2 hours
        TForm11& f11 = forms::form<TForm11>();
        Keyboard kb;
        QString where, result;
        // A new entry opens on the worker, a change on the quantity: the operation's field
        // is the next one, or the one before.
        const bool add = opener == QLatin1String("add");
        kb.key(add ? Qt::Key_Insert : Qt::Key_F2);
        kb.key(add ? Qt::Key_Tab : Qt::Key_Backtab, add ? Qt::NoModifier : Qt::ShiftModifier);
        kb.key(Qt::Key_F4);
        kb.type(QStringLiteral("100"));
        kb.key(Qt::Key_Return);
        for (int k : keys) kb.key(k);
        kb.type(text);
        kb.check([&] {
            where = focusedField();
            const QMap<QString, QLineEdit*> edits{
                {"quantity", f11.Edit3}, {"rejects", f11.Edit4}, {"hours", f11.Edit6}};
            result = edits.value(where) ? edits.value(where)->text() : QString();
        });
        kb.key(Qt::Key_Escape);
        QVERIFY2(kb.run(), qPrintable(kb.problems.join('\n')));
        QCOMPARE(where, field);
        QCOMPARE(result, text);
        QCOMPARE(f1.DBGrid2->query()->recordCount(), 3);
    }

    // Enter in any of the last fields saves the entry.
    void enterSaves_data() {
        QTest::addColumn<int>("tabs");  // from the quantity
        QTest::addColumn<QString>("field");
        QTest::newRow("quantity") << 0 << "quantity";
        QTest::newRow("rejects") << 1 << "rejects";
        QTest::newRow("hours") << 2 << "hours";
        QTest::newRow("date") << 3 << "date";
    }
    void enterSaves() {
        QFETCH(int, tabs);
        QFETCH(QString, field);
        openJournal(QStringLiteral("9471"));
        Keyboard kb;
        QString where;
        kb.key(Qt::Key_Insert);
        kb.type(QStringLiteral("Сид"));
        kb.key(Qt::Key_Return);
        kb.type(QStringLiteral("100"));
        kb.key(Qt::Key_Return);
        kb.type(QStringLiteral("5"));
        for (int i = 0; i < tabs; ++i) kb.key(Qt::Key_Tab);
        kb.check([&] { where = focusedField(); });
        kb.key(Qt::Key_Return);
        QVERIFY2(kb.run(), qPrintable(kb.problems.join('\n')));
        QVERIFY2(kb.log.messages.isEmpty(), qPrintable(kb.log.texts().join('|')));
        QCOMPARE(where, field);
        QCOMPARE(kb.shown.size(), 3);
        QVERIFY(!kb.shown[0]->isVisible());
        QCOMPARE(testdb::rows(QStringLiteral("select w_id, o_id, kol_vo::int from accounts_dep.smena where id < 900")),
                 (QList<QVariantList>{{103, 1, 5}}));
        QCOMPARE(QApplication::focusWidget(), forms::form<TForm1>().DBGrid2);
    }

    // ------------------------------------------------------------ the count

    // Ten typical entries in a row from the grid, by keys alone: the worker and the
    // operation found by a few letters, the quantity and the hours typed.
    void tenEntriesByKeyboard() {
        TForm1& f1 = openJournal(QStringLiteral("9471"));
        QCOMPARE(QApplication::focusWidget(), f1.DBGrid2);
        const QStringList workers{"Ивано", "Пе", "Си", "Ку", "Ор"};
        const QList<int> workerIds{101, 102, 103, 104, 105};
        const QStringList operations{"пр", "шт"};
        MouseWatch mouse;
        Keyboard kb;
        QList<int> perEntry;
        QList<QVariantList> expected;
        for (int i = 0; i < 10; ++i) {
            kb.check([&kb, &perEntry] { perEntry << kb.keys; });
            kb.key(Qt::Key_Insert);
            kb.type(workers[i % 5]);
            kb.key(Qt::Key_Return);
            kb.type(operations[i / 5]);
            kb.key(Qt::Key_Return);
            kb.type(QString::number(20 + i));
            kb.key(Qt::Key_Tab);  // rejects stay 0
            kb.key(Qt::Key_Tab);
            kb.type(QString::number(1 + i % 3));
            kb.key(Qt::Key_Return);
            expected << QVariantList{workerIds[i % 5], i / 5 + 3, 20 + i, 0, 1 + i % 3};
        }
        kb.check([&kb, &perEntry] { perEntry << kb.keys; });
        QVERIFY2(kb.run(), qPrintable(kb.problems.join('\n')));
        QVERIFY2(kb.log.messages.isEmpty(), qPrintable(kb.log.texts().join('|')));
        QCOMPARE(mouse.events, 0);
        int most = 0;
        for (int i = 1; i < perEntry.size(); ++i) most = std::max(most, perEntry[i] - perEntry[i - 1]);
        qInfo().noquote() << QStringLiteral("keys per entry beyond the typed characters: %1 (10 entries, %2 keys)")
                                 .arg(most)
                                 .arg(kb.keys);
        QVERIFY2(most <= 14, qPrintable(QString::number(most)));
        QCOMPARE(testdb::rows(QStringLiteral("select w_id, o_id, kol_vo::int, brak::int, time from accounts_dep.smena "
                                             "where id < 900 and data = current_date and smena = 1 order by kol_vo")),
                 expected);
        QCOMPARE(f1.DBGrid2->query()->recordCount(), 13);
        QCOMPARE(QApplication::focusWidget(), f1.DBGrid2);
    }
};

QTEST_MAIN(TestKeyboard)
#include "test_keyboard.moc"
