// Shift entries: the entry dialog with its pickers, the save with its day
// posting, the delete with its recount, and the rules behind them.
#include "domain/connection.h"
#include "core/datamodule.h"
#include "gui/dbgrid.h"
#include "gui/forms.h"
#include "core/signin.h"
#include "domain/entry_rules.h"
#include "domain/entry_store.h"
#include "journal/tform1.h"
#include "journal/tform11.h"
#include "refbooks/tform4.h"
#include "refbooks/tform5.h"
#include "support/testdb.h"

#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QtTest>
#include <atomic>
#include <thread>

using namespace mirn;

namespace {
const QDate kDay(2024, 3, 5);  // a Tuesday
const QString kDb = QStringLiteral("t_entries");

// Workers 101..103 are booked by worker number (s_code); operations:
// 1 КР-100 Резка 12.5 (two norms), 2 ХМ-40 Окраска 10 (paint), 3 ПР-1000 Гибка 10.123456, 4 ПР-1000 Резка 7.
void loadFixture() {
    testdb::exec(QStringLiteral(
        "insert into cmn_contractor.person(id, s_caption, s_code) values "
        "(1, 'Иванов И.И.', '101'), (2, 'Петров П.П.', '102'), (3, 'Иваненко А.А.', '103')"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.person(id, fio, s_staffpos_hl) values "
        "(101, 'Иванов И.И.   ', 'Участок штамповки'), (102, 'Петров П.П.', ''), (103, 'Иваненко А.А.', '')"));
    testdb::exec(QStringLiteral("insert into cmn_classifier.item(id, id_level, s_caption) values (500, 2, 'Кронштейны')"));
    testdb::exec(QStringLiteral(
        "insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa, id_class_item) values "
        "(1, 'КР-100', '', 6, 1.5, 500), (2, 'ХМ-40', '', 6, 0.2, 500), (3, 'ПР-1000', '', 6, 0.7, 500)"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.vid_oper(id, vid) values (1, 'Резка'), (2, 'Окраска'), (3, 'Гибка')"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) values "
        "(1, 1, 0, 1, 0), (2, 2, 1, 2, 0), (3, 3, 0, 3, 0), (4, 1, 1, 3, 0)"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.norm(o_id, norma, prize, price) values "
        "(1, 100, 0, 14), (1, 120, 5, 12.5), (2, 50, 0, 10), (3, 10, 0, 10.123456), (4, 10, 0, 7)"));
}

void openDay(TForm1& f1, const QDate& d) {
    f1.DateT->setDate(d);
    f1.DateTChange();
}

// One key event per character (QTest::keyClicks cannot send Cyrillic).
QVariant cell(const QString& sql) { return testdb::scalar(sql); }
// Rows as text, fields joined by "|".
QStringList textRows(const QString& sql) {
    QStringList out;
    for (const QVariantList& r : testdb::rows(sql)) {
        QStringList f;
        for (const QVariant& v : r) f << v.toString();
        out << f.join(QLatin1Char('|'));
    }
    return out;
}
int day(int w, int shift, int d, int month = 3) {
    return testdb::scalarInt(QStringLiteral("select coalesce(d%1, -1) from accounts_dep.h_tabel where w_id=%2 and "
                                            "smena=%3 and month=%4 and year=2024")
                                 .arg(d)
                                 .arg(w)
                                 .arg(shift)
                                 .arg(month));
}
int timesheetRows(int w, int shift, int month = 3) {
    return testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.h_tabel where w_id=%1 and smena=%2 "
                                            "and month=%3 and year=2024")
                                 .arg(w)
                                 .arg(shift)
                                 .arg(month));
}
int entries(const QString& where = QStringLiteral("true")) {
    return testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.smena where ") + where);
}

struct Pick {
    int w_id;
    QString fio;
    int o_id;
    int i_id;
    QString description;
    double cena;
};
const Pick kIvanovCut{101, QStringLiteral("Иванов И.И."), 1, 1, QStringLiteral("КР-100; Резка; Готовая продукция"), 12.5};
const Pick kIvanovPaint{101, QStringLiteral("Иванов И.И."), 2, 2, QStringLiteral("ХМ-40; Окраска; Заготовки"), 10};
const Pick kPetrovCut{102, QStringLiteral("Петров П.П."), 1, 1, QStringLiteral("КР-100; Резка; Готовая продукция"), 12.5};

// Fills the dialog as the pickers and the user would, without the lists.
void fill(TForm11& f, const Pick& p, const QString& qty, const QString& brak, const QString& hours,
          const QString& colour = QString(), const QDate& date = kDay) {
    f.Edit1->setText(p.fio);
    f.w_id = p.w_id;
    f.Edit2->setText(p.description);
    f.o_id = p.o_id;
    f.i_id = p.i_id;
    f.cena = p.cena;
    f.applyPaintRule(p.description);
    f.Edit3->setText(qty);
    f.Edit4->setText(brak);
    f.Edit6->setText(hours);
    f.Edit5->setText(colour);
    f.DTimeP->setDate(date);
}

// Saves a new entry through the dialog in shift `shift`; true when the dialog closed.
bool saveNew(const Pick& p, const QString& qty, const QString& brak, const QString& hours,
             const QString& colour = QString(), const QDate& date = kDay, int shift = 1) {
    TForm1& f1 = forms::form<TForm1>();
    f1.CurrentShift = shift;
    TForm11& f = forms::form<TForm11>();
    f.Tag = 1;
    f.setResult(0);
    fill(f, p, qty, brak, hours, colour, date);
    f.Button1->click();
    return f.result() == QDialog::Accepted;
}

// A second client: its own connection, made and used in its own thread.
struct SecondClient {
    Status outcome = Status::Saved;
    QString error;
    QString refusal;
    std::atomic<bool> done{false};

    void save(const entry::Record& r) {
        const QString name = QStringLiteral("second");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
            const auto p = connection::params(kDb, testdb::host());
            db.setHostName(p.host);
            db.setPort(p.port);
            db.setDatabaseName(p.database);
            db.setUserName(p.user);
            db.setPassword(p.password);
            if (!db.open()) {
                error = db.lastError().text();
            } else {
                QSqlQuery(db).exec(QStringLiteral("set DateStyle to 'ISO, DMY'"));
                try {
                    entry::EntryStore store(name);
                    const Result r2 = store.insert(r);
                    outcome = r2.status;
                    refusal = r2.message;
                } catch (const std::exception& e) {
                    error = QString::fromUtf8(e.what());
                }
                db.close();
            }
        }
        QSqlDatabase::removeDatabase(name);
        done = true;
    }
};

entry::Record record(const Pick& p, int qty, int hours, const QDate& date, int shift = 1) {
    entry::Record r;
    r.w_id = p.w_id;
    r.i_id = p.i_id;
    r.o_id = p.o_id;
    r.cena = p.cena;
    r.kol_vo = qty;
    r.time = hours;
    r.date = date;
    r.shift = shift;
    return r;
}
}  // namespace

class TestEntries : public QObject {
    Q_OBJECT
private slots:
    void init() {
        testdb::startApp(kDb);
        loadFixture();
        signIn();
    }
    void cleanup() { QLocale::setDefault(QLocale::c()); }
    void cleanupTestCase() { testdb::stopApp(); }

    // ------------------------------------------------------------ rules

    void paintRuleInAnyCase_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("paint");
        QTest::newRow("capitals") << "ХМ-40; КРАСКА; Заготовки" << true;
        QTest::newRow("first capital") << "ХМ-40; Краска; Заготовки" << true;
        QTest::newRow("lower case") << "краска" << true;
        QTest::newRow("mixed") << "кРаСкА" << true;
        QTest::newRow("inside a word") << "ХМ-40; Окраска; Заготовки" << true;
        QTest::newRow("other operation") << "КР-100; Резка; Готовая продукция" << false;
        QTest::newRow("close but not") << "Краско-пульт" << false;
        QTest::newRow("latin look-alike") << "KPACKA" << false;
    }
    void paintRuleInAnyCase() {
        QFETCH(QString, text);
        QFETCH(bool, paint);
        QCOMPARE(entry::isPaintOperation(text), paint);
        TForm11& f = forms::form<TForm11>();
        f.Edit5->setText(QStringLiteral("7"));
        f.applyPaintRule(text);
        QCOMPARE(f.Edit5->isEnabled(), paint);
        QCOMPARE(f.Label6->isEnabled(), paint);
        QCOMPARE(f.Edit5->text(), paint ? QStringLiteral("7") : QString());
    }

    void inputFilters_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::newRow("digits") << "0123456789" << "0123456789";
        QTest::newRow("letters") << "1a2b" << "12";
        QTest::newRow("separators and signs") << "1,5.2-3+4 5" << "152345";
        QTest::newRow("cyrillic") << "7я8Ж" << "78";
    }
    void inputFilters() {
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        TForm11& f = forms::form<TForm11>();
        for (QLineEdit* e : {f.Edit3, f.Edit4, f.Edit5, f.Edit6}) {
            e->setEnabled(true);
            e->clear();
            typeText(e, typed);
            QCOMPARE(e->text(), kept);
            QTest::keyClick(e, Qt::Key_Backspace);  // Backspace still edits
            QCOMPARE(e->text(), kept.left(kept.size() - 1));
        }
        for (QChar c : typed) QCOMPARE(f.Edit3KeyPress(c), c.isDigit() && c.unicode() < 128);
        QVERIFY(f.Edit4KeyPress(QLatin1Char('\b')));
    }

    // ------------------------------------------------------------ the typical road

    void typicalRoad() {
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        TForm1& f1 = forms::form<TForm1>();
        f1.show();
        MessageLog log;
        int workersSeen = -1, opersSeen = -1, workerRowAfterDown = -1, operAfterKeys = -1;
        QStringList displays;
        QString pickWorker = QStringLiteral("Иван"), pickOper = QStringLiteral("100");
        int operDowns = 1, operUps = 1;
        QString qty, brak, hours;
        ModalScript modal([&](QDialog* d) -> int {
            if (auto* f5 = qobject_cast<TForm5*>(d)) {
                typeText(f5->Edit1, pickWorker);
                workersSeen = dm().Workers.recordCount();
                QTest::keyClick(f5->Edit1, Qt::Key_Down);
                workerRowAfterDown = dm().Workers.recNo();
                f5->Button2->click();
                return f5->result();
            }
            if (auto* f4 = qobject_cast<TForm4*>(d)) {
                typeText(f4->Edit1, pickOper);
                opersSeen = dm().Oper.recordCount();
                for (int i = 0; i < operDowns; ++i) QTest::keyClick(f4->Edit1, Qt::Key_Down);
                for (int i = 0; i < operUps; ++i) QTest::keyClick(f4->Edit1, Qt::Key_Up);
                operAfterKeys = dm().Oper.asInt(QStringLiteral("id"));
                f4->Button2->click();
                return f4->result();
            }
            if (auto* f11 = qobject_cast<TForm11*>(d)) {
                if (f11->Tag == 1) {
                    f11->Button3->click();
                    f11->Button4->click();
                    typeText(f11->Edit3, qty);
                    f11->Edit4->clear();
                    typeText(f11->Edit4, brak);
                    f11->Edit6->clear();
                    typeText(f11->Edit6, hours);
                    f11->Edit6Exit();
                } else {
                    f11->DTimeP->setDate(kDay.addDays(1));
                }
                displays = QStringList{f11->Edit1->text(), f11->Edit2->text(), f11->Edit7->text(),
                                       f11->Edit8->text(), f11->Edit9->text()};
                f11->Button1->click();
                return f11->result();
            }
            return int(QDialog::Rejected);
        });

        // First entry: Иванов, КР-100 Резка at 12.5, 8 pieces, 1 rejected, 5 hours.
        openDay(f1, kDay);
        qty = QStringLiteral("8");
        brak = QStringLiteral("1");
        hours = QStringLiteral("5");
        f1.Button1->click();
        QCOMPARE(workersSeen, 2);           // Иваненко, Иванов
        QCOMPARE(workerRowAfterDown, 2);    // Down moved the list to Иванов
        QCOMPARE(opersSeen, 3);             // КР-100 and both ПР-1000
        QCOMPARE(operAfterKeys, 1);         // Down then Up: back on КР-100
        QCOMPARE(displays, (QStringList{"Иванов И.И.", "КР-100; Резка; Готовая продукция", "12,5", "12,5", "100,00"}));
        QVERIFY2(log.messages.isEmpty(), qPrintable(log.texts().join('|')));
        QCOMPARE(textRows(QStringLiteral(
                     "select w_id, o_id, i_id, cena::text, kol_vo, brak, time, color, ok, smena, data = '2024-03-05', "
                     "vvod = current_date, prize::text, id_doc::text from accounts_dep.smena")),
                 QStringList{"101|1|1|12.5|8|1|5|0|no|1|true|true|0|0"});
        QCOMPARE(day(101, 1, 5), 5);
        QCOMPARE(timesheetRows(101, 1), 1);
        QCOMPARE(testdb::scalarInt("select count(*) from accounts_dep.h_tabel where d4 is not null or d6 is not null"), 0);
        QCOMPARE(f1.DateT->date(), QDate::currentDate());  // the journal came back to today

        // A second entry the same day: ПР-1000 Гибка at 10.123456, 3 hours.
        openDay(f1, kDay);
        pickOper = QStringLiteral("1000");
        operDowns = 0;
        operUps = 0;
        qty = QStringLiteral("3");
        brak = QStringLiteral("0");
        hours = QStringLiteral("3");
        f1.Button1->click();
        QCOMPARE(displays.mid(2), (QStringList{"10,1235", "10,1235", "30,37"}));
        QCOMPARE(cell("select cena::text from accounts_dep.smena where o_id=3").toString(), QStringLiteral("10.1235"));
        QCOMPARE(day(101, 1, 5), 8);
        QCOMPARE(timesheetRows(101, 1), 1);

        // Change the second entry to the next day: both days come out right.
        openDay(f1, kDay);
        const int second = testdb::scalarInt("select id from accounts_dep.smena where o_id=3");
        QVERIFY(dm().Smena1.locate(QStringLiteral("id"), second));
        f1.Button2->click();
        QCOMPARE(entries("data='2024-03-06'"), 1);
        QCOMPARE(day(101, 1, 5), 5);
        QCOMPARE(day(101, 1, 6), 3);

        // Confirm it by a double click in the journal.
        openDay(f1, kDay.addDays(1));
        QCOMPARE(f1.DBGrid2->queryModel()->rowCount(), 1);
        QVERIFY(QTest::qWaitForWindowExposed(&f1));
        const QRect r = f1.DBGrid2->visualRect(f1.DBGrid2->queryModel()->index(0, 0));
        QVERIFY(r.isValid());
        QTest::mouseClick(f1.DBGrid2->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(f1.DBGrid2->viewport(), Qt::LeftButton, {}, r.center());
        QCOMPARE(cell(QStringLiteral("select ok from accounts_dep.smena where id=%1").arg(second)).toString(),
                 QStringLiteral("ok"));

        // Delete it: the question, then the day recounted.
        f1.Button3->click();
        QCOMPARE(log.texts(), QStringList{"Удалить позицию из списка?"});
        QCOMPARE(log.messages.last().caption, QStringLiteral("Удаление"));
        QCOMPARE(entries(), 1);
        QCOMPARE(day(101, 1, 6), 0);
        QCOMPARE(day(101, 1, 5), 5);
        QVERIFY(dm().Smena1.isEmpty());
    }

    // ------------------------------------------------------------ the dialog

    void newEntryOpensClean() {
        TForm1& f1 = forms::form<TForm1>();
        TForm11& f = forms::form<TForm11>();
        fill(f, kIvanovPaint, "5", "2", "7", "9");
        openDay(f1, kDay);
        QStringList seen;
        QString caption;
        QDate date;
        int tag = 0;
        ModalScript modal([&](QDialog* d) {
            auto* f11 = qobject_cast<TForm11*>(d);
            for (QLineEdit* e : {f11->Edit1, f11->Edit2, f11->Edit3, f11->Edit4, f11->Edit5, f11->Edit6})
                seen << e->text();
            caption = f11->windowTitle();
            date = f11->DTimeP->date();
            tag = f11->Tag;
            return int(QDialog::Rejected);
        });
        f1.Button1->click();
        QCOMPARE(seen, (QStringList{"", "", "", "0", "", "0"}));
        QCOMPARE(caption, QStringLiteral("Заведение новой позиции"));
        QCOMPARE(date, kDay);
        QCOMPARE(tag, 1);
        QCOMPARE(f1.CurrentShiftQuery, &dm().Smena1);
    }

    void changeOpenerFillsEveryField() {
        testdb::exec(QStringLiteral(
            "insert into accounts_dep.smena(id, w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok, "
            "vvod, prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use) values "
            "(50, 101, 2, 2, 1.23456, 3, 1, '2024-03-05', 3, 1013, 6, 'no', '2024-03-05', 5, 77, 78, 1.5, 79, 80)"));
        TForm1& f1 = forms::form<TForm1>();
        MessageLog log;
        openDay(f1, kDay);
        f1.RadioButton3->setChecked(true);
        dm().Oper.open();
        QStringList seen;
        ModalScript modal([&](QDialog* d) {
            auto* f = qobject_cast<TForm11*>(d);
            seen << f->windowTitle() << QString::number(f->Tag) << f->Edit1->text() << f->Edit2->text()
                 << f->Edit3->text() << f->Edit4->text() << f->Edit5->text() << f->Edit6->text()
                 << f->Edit7->text() << f->Edit9->text() << f->DTimeP->date().toString(Qt::ISODate)
                 << QStringLiteral("%1/%2/%3").arg(f->w_id).arg(f->i_id).arg(f->o_id)
                 << (f->Edit5->isEnabled() ? "colour on" : "colour off");
            // Leaving the quantity before an operation is picked: the operation's base price.
            f->Edit6Exit();
            seen << f->Edit8->text();
            f->Button1->click();  // nothing changed: still accepted
            return f->result();
        });
        f1.Button2->click();
        QVERIFY2(log.messages.isEmpty(), qPrintable(log.texts().join('|')));
        QCOMPARE(seen, (QStringList{"Изменение данных о позиции", "2", "Иванов И.И.", "ХМ-40; Окраска; Заготовки", "3",
                                    "1", "1013", "6", "1.2346", "3.70", "2024-03-05", "101/2/2", "colour on", "10"}));
        QVERIFY(!dm().Oper.active());
        // The unchanged entry was accepted; prize and document columns reset, ok kept.
        QCOMPARE(textRows("select prize::text, id_doc::text, id_doc_item::text, f_gds_qty_use::text, id_gds_use::text, "
                          "id_cons_use::text, ok, color, cena::text from accounts_dep.smena where id=50"),
                 QStringList{"0|0|0|0|0|0|no|1013|1.2346"});
        QCOMPARE(day(101, 3, 5), 6);
    }

    void changeOnEmptyJournalShowsNothing() {
        TForm1& f1 = forms::form<TForm1>();
        openDay(f1, kDay);
        ModalScript modal;
        f1.Button2->click();
        QVERIFY(modal.shown.isEmpty());
    }

    void changeKeepsTheJournalOnAValidRow() {
        QVERIFY(saveNew(kIvanovCut, "1", "0", "2"));
        QVERIFY(saveNew(kPetrovCut, "1", "0", "3"));
        TForm1& f1 = forms::form<TForm1>();
        openDay(f1, kDay);
        dm().Smena1.last();
        QCOMPARE(dm().Smena1.recNo(), 2);
        int recAfterSave = -1, rowsAfterSave = -1;
        ModalScript modal([&](QDialog* d) {
            auto* f = qobject_cast<TForm11*>(d);
            f->DTimeP->setDate(kDay.addDays(2));
            f->Button1->click();
            recAfterSave = dm().Smena1.recNo();
            rowsAfterSave = dm().Smena1.recordCount();
            return f->result();
        });
        f1.Button2->click();
        QCOMPARE(rowsAfterSave, 1);
        QCOMPARE(recAfterSave, 1);
        QCOMPARE(day(102, 1, 7), 3);
    }

    void operationPickerAppliesCoefficients_data() {
        QTest::addColumn<int>("shift");
        QTest::addColumn<bool>("dayOff");
        QTest::addColumn<QString>("finalPrice");
        QTest::newRow("shift 1, working day") << 1 << false << "10";
        QTest::newRow("shift 3, day off") << 3 << true << "24";
        QTest::newRow("overtime, day off") << 4 << true << "30";
        QTest::newRow("shift 2, day off") << 2 << true << "20";
    }
    void operationPickerAppliesCoefficients() {
        QFETCH(int, shift);
        QFETCH(bool, dayOff);
        QFETCH(QString, finalPrice);
        TForm1& f1 = forms::form<TForm1>();
        openDay(f1, kDay);
        f1.CurrentShift = shift;
        f1.CBox1->setChecked(dayOff);
        TForm11& f = forms::form<TForm11>();
        f.Tag = 1;
        f.Edit3->setText(QStringLiteral("3"));
        f.Edit4->setText(QStringLiteral("9"));
        f.Edit6->setText(QStringLiteral("1"));
        f.Edit5->setText(QStringLiteral("55"));
        ModalScript modal([](QDialog* d) {
            auto* f4 = qobject_cast<TForm4*>(d);
            dm().Oper.locate(QStringLiteral("id"), 2);  // ХМ-40 Окраска, 10
            f4->Button2->click();
            return f4->result();
        });
        f.Button4->click();
        QCOMPARE(f.Edit2->text(), kIvanovPaint.description);
        QCOMPARE(f.o_id, 2);
        QCOMPARE(f.i_id, 2);
        QCOMPARE(f.Edit7->text(), finalPrice);
        QCOMPARE(f.Edit8->text(), QStringLiteral("10"));
        QCOMPARE(f.Edit9->text(), cellText(3 * finalPrice.toDouble(), ColumnKind::Money));  // rejects not subtracted
        QVERIFY(f.Edit5->isEnabled());
        QCOMPARE(f.Edit5->text(), QStringLiteral("55"));  // a paint pick keeps the colour typed
        // The list is left as the pick needs it: open, unfiltered, on the picked row.
        TForm4& f4 = forms::form<TForm4>();
        QVERIFY(dm().Oper.active());
        QVERIFY(!dm().Oper.filtered());
        QCOMPARE(dm().Oper.asInt(QStringLiteral("id")), 2);
        QVERIFY(f4.Edit1->isHidden());
        QVERIFY(!f4.Button2->isDefault());
    }

    void operationPickerKeepsOrClears() {
        TForm1& f1 = forms::form<TForm1>();
        openDay(f1, kDay);
        TForm11& f = forms::form<TForm11>();
        f.Tag = 1;
        fill(f, kIvanovPaint, "2", "0", "1", "3");
        int rowsSeen = -1;
        // Closed with "Выход": operation and price stay, the colour rule and displays run again.
        ModalScript modal([](QDialog* d) { return qobject_cast<TForm4*>(d)->result(); });
        f.Button4->click();
        QCOMPARE(f.Edit2->text(), kIvanovPaint.description);
        QCOMPARE(f.cena, 10.0);
        QVERIFY(f.Edit5->isEnabled());
        QCOMPARE(f.Edit9->text(), QStringLiteral("20.00"));
        QCOMPARE(f.Edit8->text(), QStringLiteral("10"));  // the dialog's operation's, not the row the list stood on
        // A list emptied by the search: "Выбрать" closes it and writes nothing.
        modal.setHandler([&](QDialog* d) {
            auto* f4 = qobject_cast<TForm4*>(d);
            typeText(f4->Edit1, QStringLiteral("ЯЯЯ"));
            rowsSeen = dm().Oper.recordCount();
            f4->Button2->click();
            return f4->result();
        });
        f.Button4->click();
        QCOMPARE(rowsSeen, 0);
        QCOMPARE(modal.shown.size(), 2);
        QCOMPARE(f.o_id, 2);
        QCOMPARE(f.Edit2->text(), kIvanovPaint.description);
        // Picking an operation that is no paint empties and disables the colour.
        modal.setHandler([](QDialog* d) {
            auto* f4 = qobject_cast<TForm4*>(d);
            dm().Oper.locate(QStringLiteral("id"), 4);
            f4->Button2->click();
            return f4->result();
        });
        f.Button4->click();
        QCOMPARE(f.Edit2->text(), QStringLiteral("ПР-1000; Резка; Заготовки"));
        QVERIFY(!f.Edit5->isEnabled());
        QVERIFY(!f.Label6->isEnabled());
        QCOMPARE(f.Edit5->text(), QString());
    }

    void changePickerOpensOnTheEntrysOperation() {
        QVERIFY(saveNew(kIvanovPaint, "1", "0", "1", "5"));
        TForm1& f1 = forms::form<TForm1>();
        openDay(f1, kDay);
        int listStoodOn = -1;
        ModalScript modal([&](QDialog* d) {
            if (qobject_cast<TForm4*>(d)) {
                listStoodOn = dm().Oper.asInt(QStringLiteral("id"));
                return int(QDialog::Rejected);
            }
            auto* f = qobject_cast<TForm11*>(d);
            f->Button4->click();
            return int(QDialog::Rejected);
        });
        f1.Button2->click();
        QCOMPARE(listStoodOn, 2);
    }

    void workerPickerWritesNameAndId() {
        TForm11& f = forms::form<TForm11>();
        f.Edit1->setText(QStringLiteral("прежний"));
        f.w_id = 7;
        QString caption;
        bool pickLayout = false;
        ModalScript modal([&](QDialog* d) {
            auto* f5 = qobject_cast<TForm5*>(d);
            caption = f5->Button2->text();
            pickLayout = f5->Tag == 1 && f5->Button2->isDefault() && f5->Button1->isHidden() &&
                         f5->Button3->isHidden() && !f5->Edit1->isHidden() && f5->Edit1->text().isEmpty();
            dm().Workers.locate(QStringLiteral("id"), 101);
            f5->Button2->click();
            return f5->result();
        });
        f.Button3->click();
        QCOMPARE(caption, QStringLiteral("Выбрать"));
        QVERIFY(pickLayout);
        QCOMPARE(f.Edit1->text(), QStringLiteral("Иванов И.И."));  // trimmed
        QCOMPARE(f.w_id, 101);
        QVERIFY(!dm().Workers.active());
        // Closing the list without a choice leaves both as they were.
        modal.setHandler([](QDialog*) { return int(QDialog::Rejected); });
        f.w_id = 103;
        f.Button3->click();
        QCOMPARE(f.w_id, 103);
        QCOMPARE(f.Edit1->text(), QStringLiteral("Иванов И.И."));
    }

    void displaysFollowQuantityAndHours() {
        TForm11& f = forms::form<TForm11>();
        MessageLog log;
        f.cena = 12.5;
        dm().Oper.close();
        f.Edit3->setText(QStringLiteral("3"));
        f.Edit4->setText(QStringLiteral("2"));
        f.Edit6->clear();
        QVERIFY(f.Edit6Exit());
        QCOMPARE(f.Edit6->text(), QStringLiteral("0"));
        QCOMPARE(f.Edit9->text(), QStringLiteral("37.50"));
        QCOMPARE(f.Edit8->text(), QStringLiteral("0"));
        f.Edit3->clear();
        QVERIFY(f.Edit6Exit());
        QCOMPARE(f.Edit3->text(), QStringLiteral("0"));
        QCOMPARE(f.Edit9->text(), QStringLiteral("0.00"));
        // Pasted hours that are no whole number: a clear message, the displays stay.
        f.Edit3->setText(QStringLiteral("4"));
        f.Edit6->setText(QStringLiteral("7,5"));
        QVERIFY(!f.Edit6Exit());
        QCOMPARE(log.texts(), QStringList{entry::notANumberMessage("Время", "7,5")});
        QCOMPARE(f.Edit9->text(), QStringLiteral("0.00"));
    }

    // ------------------------------------------------------------ the save

    void saveRefusesEmptyFieldsAndKeepsTheDialog() {
        MessageLog log;
        TForm11& f = forms::form<TForm11>();
        f.Tag = 1;
        f.setResult(0);
        fill(f, kIvanovPaint, "5", "0", "2");  // paint without colour
        f.Button1->click();
        QCOMPARE(log.texts(), QStringList{entry::kFillAllFields});
        QCOMPARE(log.messages[0].caption, QStringLiteral("Ошибка"));
        QCOMPARE(int(log.messages[0].icon), int(ui::Icon::Error));
        QCOMPARE(f.result(), 0);
        QCOMPARE(f.Edit3->text(), QStringLiteral("5"));
        QCOMPARE(entries(), 0);
        // The same entry of an operation that is no paint goes in with colour 0.
        QVERIFY(saveNew(kIvanovCut, "5", "0", "2"));
        QCOMPARE(cell("select color from accounts_dep.smena").toInt(), 0);
        QCOMPARE(f.Edit1->text(), QString());  // a successful save clears the dialog
        QCOMPARE(f.Edit9->text(), QString());
    }

    void duplicateCheck() {
        MessageLog log;
        QVERIFY(saveNew(kIvanovPaint, "5", "0", "2", "3"));
        QVERIFY(saveNew(kIvanovPaint, "5", "0", "2", "4"));  // another colour: accepted
        QVERIFY(log.messages.isEmpty());
        QVERIFY(!saveNew(kIvanovPaint, "6", "1", "1", "3"));  // same worker, operation, date, shift, colour
        QCOMPARE(log.texts(), QStringList{entry::kDuplicateEntry});
        QCOMPARE(log.messages[0].caption, QStringLiteral("Ошибка"));
        QCOMPARE(forms::form<TForm11>().Edit3->text(), QStringLiteral("6"));
        QCOMPARE(entries(), 2);
        // While the refusal is on the screen no lock of the save is held any more.
        int locksDuringMessage = -1;
        ui::testing::setMessageHook([&](const ui::Message&) {
            locksDuringMessage = testdb::advisoryLocks();
            return QMessageBox::Ok;
        });
        QVERIFY(!saveNew(kIvanovPaint, "6", "1", "1", "3"));
        QCOMPARE(locksDuringMessage, 0);
        ui::testing::setMessageHook([&log](const ui::Message& m) {
            log.messages << m;
            return QMessageBox::Ok;
        });
        QCOMPARE(day(101, 1, 5), 4);
        // Another shift, date or worker is no duplicate.
        QVERIFY(saveNew(kIvanovPaint, "5", "0", "2", "3", kDay, 2));
        QVERIFY(saveNew(kIvanovPaint, "5", "0", "2", "3", kDay.addDays(1)));
        QVERIFY(saveNew({102, "Петров П.П.", 2, 2, kIvanovPaint.description, 10}, "5", "0", "2", "3"));
        QCOMPARE(entries(), 5);
        // A change may not turn an entry into a copy of another one.
        TForm1& f1 = forms::form<TForm1>();
        openDay(f1, kDay);
        f1.RadioButton1->setChecked(true);
        QVERIFY(dm().Smena1.locate(QStringLiteral("color"), 4));
        log.clear();
        ModalScript modal([](QDialog* d) {
            auto* f = qobject_cast<TForm11*>(d);
            f->Edit5->setText(QStringLiteral("3"));
            f->Button1->click();
            return f->result();
        });
        f1.Button2->click();
        QCOMPARE(log.texts(), QStringList{entry::kDuplicateEntry});
        QCOMPARE(entries("color=4"), 1);
    }

    void postingBySumPerShiftAndColumn() {
        QVERIFY(saveNew(kIvanovCut, "1", "0", "4", {}, QDate(2024, 3, 31)));
        QVERIFY(saveNew(kIvanovPaint, "1", "0", "3", "1", QDate(2024, 3, 31)));
        QVERIFY(saveNew(kIvanovCut, "1", "0", "2", {}, QDate(2024, 3, 31), 4));
        QVERIFY(saveNew(kIvanovCut, "1", "0", "6", {}, QDate(2024, 4, 1)));
        QCOMPARE(day(101, 1, 31), 7);
        QCOMPARE(day(101, 4, 31), 2);
        QCOMPARE(day(101, 1, 1, 4), 6);
        QCOMPARE(day(101, 1, 1), -1);  // the March row has no 1st
        QCOMPARE(timesheetRows(101, 1), 1);
        QCOMPARE(timesheetRows(101, 1, 4), 1);
        QCOMPARE(testdb::scalarInt("select count(*) from accounts_dep.h_tabel"), 3);
    }

    void rejectsAboveQuantityAreStoredAsTyped() {
        QVERIFY(saveNew(kIvanovCut, "2", "9", "1"));
        QCOMPARE(textRows("select kol_vo, brak from accounts_dep.smena"), QStringList{"2|9"});
    }

    // ------------------------------------------------------------ the delete

    void deleteAsksAndRecountsTheDay() {
        QVERIFY(saveNew(kIvanovCut, "1", "0", "4"));
        QVERIFY(saveNew(kIvanovPaint, "1", "0", "3", "2"));
        QVERIFY(saveNew(kIvanovCut, "1", "0", "8", {}, kDay.addDays(1)));
        TForm1& f1 = forms::form<TForm1>();
        openDay(f1, kDay);
        QCOMPARE(dm().Smena1.recordCount(), 2);
        // Another client adds an hour of ПР-1000 Резка in the meantime.
        testdb::exec("insert into accounts_dep.smena(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok) "
                     "values (101, 3, 4, 7, 1, 0, '2024-03-05', 1, 0, 1, 'no')");
        MessageLog log;
        log.answers << QMessageBox::No;
        dm().Smena1.setRecNo(2);
        f1.Button3->click();
        QCOMPARE(log.texts(), QStringList{"Удалить позицию из списка?"});
        QCOMPARE(log.messages[0].caption, QStringLiteral("Удаление"));
        QCOMPARE(int(log.messages[0].buttons), int(ui::Buttons::YesNo));
        QCOMPARE(int(log.messages[0].icon), int(ui::Icon::Question));
        QCOMPARE(entries(), 4);
        QCOMPARE(day(101, 1, 5), 7);
        QCOMPARE(dm().Smena1.recordCount(), 3);  // re-read all the same
        QCOMPARE(dm().Smena1.recNo(), 1);
        // Yes: the day becomes the sum of what remains, and the list its first row.
        QVERIFY(dm().Smena1.locate(QStringLiteral("time"), 3));
        f1.Button3->click();
        QCOMPARE(entries(), 3);
        QCOMPARE(day(101, 1, 5), 5);
        QCOMPARE(dm().Smena1.recNo(), 1);
        QCOMPARE(dm().Smena1.asInt(QStringLiteral("o_id")), 1);
        f1.Button3->click();
        QCOMPARE(day(101, 1, 5), 1);
        f1.Button3->click();
        QCOMPARE(day(101, 1, 5), 0);
        QCOMPARE(day(101, 1, 6), 8);  // the other day keeps its hours
        QCOMPARE(entries(), 1);
        // An empty shift: nothing asked.
        log.clear();
        f1.Button3->click();
        QVERIFY(log.messages.isEmpty());
    }

    void deleteOvertimeUpdatesItsOwnRow() {
        QVERIFY(saveNew(kIvanovCut, "1", "0", "4"));
        QVERIFY(saveNew(kIvanovCut, "1", "0", "2", {}, kDay, 4));
        TForm1& f1 = forms::form<TForm1>();
        openDay(f1, kDay);
        f1.RadioButton4->setChecked(true);
        MessageLog log;
        f1.Button3->click();
        QCOMPARE(day(101, 4, 5), 0);
        QCOMPARE(day(101, 1, 5), 4);
    }

    // ------------------------------------------------------------ faults mended

    // A failure between the entry and its hours stores neither.
    void saveIsAllOrNothing() {
        MessageLog log;
        TForm11& f = forms::form<TForm11>();
        // The posting fails after the entry itself has been written.
        testdb::exec(QStringLiteral(
            "create function public.posting_refused() returns trigger language plpgsql as "
            "$$ begin raise exception 'posting refused'; end $$"));
        testdb::exec(QStringLiteral(
            "create trigger refused before insert on accounts_dep.h_tabel for each row execute function public.posting_refused()"));
        QVERIFY(!saveNew(kIvanovCut, "1", "0", "4"));
        QCOMPARE(log.messages.size(), 1);
        QVERIFY2(log.lastFailure().contains("posting refused"), qPrintable(log.lastText() + " | " + log.lastDetails()));
        QCOMPARE(entries(), 0);
        QCOMPARE(testdb::scalarInt("select count(*) from accounts_dep.h_tabel"), 0);
        QCOMPARE(f.Edit6->text(), QStringLiteral("4"));  // what was typed is still there
        QCOMPARE(f.Edit1->text(), kIvanovCut.fio);
        // Fixed, the same dialog saves.
        testdb::exec(QStringLiteral("drop trigger refused on accounts_dep.h_tabel"));
        f.Button1->click();
        QCOMPARE(f.result(), int(QDialog::Accepted));
        QCOMPARE(day(101, 1, 5), 4);
    }

    void deleteIsAllOrNothing() {
        QVERIFY(saveNew(kIvanovCut, "1", "0", "4"));
        testdb::exec(QStringLiteral(
            "create function public.timesheet_closed() returns trigger language plpgsql as "
            "$$ begin raise exception 'timesheet closed'; end $$"));
        testdb::exec(QStringLiteral(
            "create trigger closed before update on accounts_dep.h_tabel for each row execute function public.timesheet_closed()"));
        TForm1& f1 = forms::form<TForm1>();
        openDay(f1, kDay);
        MessageLog log;
        f1.Button3->click();
        QCOMPARE(log.texts().size(), 2);
        QVERIFY(log.lastFailure().contains("timesheet closed"));
        QCOMPARE(entries(), 1);
        QCOMPARE(day(101, 1, 5), 4);
    }

    // Moving an entry to another date or worker recounts the day it left.
    void changeRecountsTheDayLeft() {
        QVERIFY(saveNew(kIvanovCut, "1", "0", "5"));
        QVERIFY(saveNew(kIvanovPaint, "1", "0", "2", "1"));
        TForm1& f1 = forms::form<TForm1>();
        openDay(f1, kDay);
        QVERIFY(dm().Smena1.locate(QStringLiteral("o_id"), 1));
        ModalScript modal([](QDialog* d) {
            auto* f = qobject_cast<TForm11*>(d);
            f->Edit1->setText(kPetrovCut.fio);  // as the worker picker writes it
            f->w_id = kPetrovCut.w_id;
            f->Button1->click();
            return f->result();
        });
        f1.Button2->click();
        QCOMPARE(day(101, 1, 5), 2);
        QCOMPARE(day(102, 1, 5), 5);
        // And to another month: the old month's day drops, the new month gets a row.
        openDay(f1, kDay);
        QVERIFY(dm().Smena1.locate(QStringLiteral("o_id"), 2));
        modal.setHandler([](QDialog* d) {
            auto* f = qobject_cast<TForm11*>(d);
            f->DTimeP->setDate(QDate(2024, 4, 2));
            f->Button1->click();
            return f->result();
        });
        f1.Button2->click();
        QCOMPARE(day(101, 1, 5), 0);
        QCOMPARE(day(101, 1, 2, 4), 2);
    }

    // The delete recounts the entry's own day, not the date the picker shows.
    void deleteUsesTheEntrysOwnDate() {
        QVERIFY(saveNew(kIvanovCut, "1", "0", "5"));
        QVERIFY(saveNew(kIvanovCut, "1", "0", "9", {}, kDay.addDays(2)));
        TForm1& f1 = forms::form<TForm1>();
        openDay(f1, kDay);
        // A date typed into the picker, not yet applied (no Enter, the focus still there).
        f1.DateT->setFocus();
        f1.DateT->setCurrentSection(QDateTimeEdit::DaySection);
        f1.DateT->setSelectedSection(QDateTimeEdit::DaySection);
        QTest::keyClicks(f1.DateT, QStringLiteral("07"));
        MessageLog log;
        f1.Button3->click();
        QCOMPARE(entries("data='2024-03-05'"), 0);
        QCOMPARE(day(101, 1, 5), 0);
        QCOMPARE(day(101, 1, 7), 9);
    }

    // Two clients saving at once: the second waits for the first and then sees its work.
    void twoClientsAtOnce_data() {
        QTest::addColumn<QDate>("secondDate");
        QTest::addColumn<int>("expectedEntries");
        QTest::newRow("the same entry") << kDay << 1;
        QTest::newRow("first entries of the month") << kDay.addDays(1) << 2;
    }
    void twoClientsAtOnce() {
        QFETCH(QDate, secondDate);
        QFETCH(int, expectedEntries);
        SecondClient second;
        std::thread other;
        bool secondWaited = false;
        entry::EntryStore first;
        // The first client is between its duplicate check and its insert when the second one starts.
        first.afterCheck = [&] {
            other = std::thread([&] { second.save(record(kIvanovCut, 1, 3, secondDate)); });
            for (int i = 0; i < 500 && !second.done; ++i) {
                if (testdb::advisoryLocks(true) > 0) {
                    secondWaited = true;
                    break;
                }
                QThread::msleep(20);
            }
        };
        MessageLog log;
        QCOMPARE(int(first.insert(record(kIvanovCut, 1, 5, kDay)).status), int(Status::Saved));
        other.join();
        QVERIFY2(second.error.isEmpty(), qPrintable(second.error));
        QVERIFY(secondWaited);
        QCOMPARE(entries(), expectedEntries);
        QCOMPARE(timesheetRows(101, 1), 1);
        QCOMPARE(day(101, 1, 5), 5);
        QVERIFY(log.messages.isEmpty());
        if (expectedEntries == 1) {
            QCOMPARE(int(second.outcome), int(Status::Duplicate));
            QCOMPARE(second.refusal, entry::kDuplicateEntry);
        } else {
            QCOMPARE(int(second.outcome), int(Status::Saved));
            QCOMPARE(day(101, 1, 6), 3);
        }
    }

    // Pasted text that is no number never reaches the database.
    void pastedTextIsRefused_data() {
        QTest::addColumn<int>("field");  // 3 quantity, 4 rejects, 5 colour, 6 hours
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("label");
        QTest::newRow("quantity with a comma") << 3 << "1,5" << "Кол-во";
        QTest::newRow("quantity that ends the statement") << 3 << "1); delete from accounts_dep.smena; --" << "Кол-во";
        QTest::newRow("rejects with a sign") << 4 << "-2" << "Брак";
        QTest::newRow("colour with a letter") << 5 << "12a" << "Цвет";
        QTest::newRow("hours with a point") << 6 << "7.5" << "Время";
        QTest::newRow("hours adding a column") << 6 << "1, 2" << "Время";
    }
    void pastedTextIsRefused() {
        QFETCH(int, field);
        QFETCH(QString, text);
        QFETCH(QString, label);
        testdb::exec(QStringLiteral(
            "insert into accounts_dep.smena(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok) "
            "values (102, 1, 1, 1, 1, 0, '2024-03-04', 1, 0, 1, 'no')"));
        MessageLog log;
        TForm11& f = forms::form<TForm11>();
        f.Tag = 1;
        f.setResult(0);
        fill(f, kIvanovPaint, "5", "0", "2", "3");
        QLineEdit* edits[] = {nullptr, nullptr, nullptr, f.Edit3, f.Edit4, f.Edit5, f.Edit6};
        edits[field]->setText(text);  // as pasted: setText passes no key filter
        f.Button1->click();
        QCOMPARE(log.texts(), QStringList{entry::notANumberMessage(label, text)});
        QCOMPARE(f.result(), 0);
        QCOMPARE(edits[field]->text(), text);
        QCOMPARE(entries(), 1);
        QCOMPARE(testdb::scalarInt("select count(*) from accounts_dep.h_tabel"), 0);
    }

    // Numbers past what the columns and the month's sums carry never reach the database.
    void numbersOutOfRangeAreRefused_data() {
        QTest::addColumn<QString>("qty");
        QTest::addColumn<QString>("hours");
        QTest::addColumn<QString>("colour");
        QTest::addColumn<QString>("field");
        QTest::newRow("quantity that breaks the month") << "99999999" << "2" << "3" << "Кол-во";
        QTest::newRow("hours past a day") << "5" << "25" << "3" << "Время";
        QTest::newRow("colour past four digits") << "5" << "2" << "10000" << "Цвет";
    }
    void numbersOutOfRangeAreRefused() {
        QFETCH(QString, qty);
        QFETCH(QString, hours);
        QFETCH(QString, colour);
        QFETCH(QString, field);
        MessageLog log;
        TForm11& f = forms::form<TForm11>();
        f.Tag = 1;
        f.setResult(0);
        fill(f, kIvanovPaint, qty, "0", hours, colour);
        f.Button1->click();
        QCOMPARE(log.messages.size(), 1);
        QVERIFY2(log.lastText().contains(QLatin1Char('"') + field + QLatin1Char('"')) &&
                     log.lastText().contains(QStringLiteral(" до ")),
                 qPrintable(log.lastText()));
        QCOMPARE(f.result(), 0);
        QCOMPARE(entries(), 0);
        QCOMPARE(testdb::scalarInt("select count(*) from accounts_dep.h_tabel"), 0);
    }

    // The statement texts are the ones the database is known to take.
    void statementTexts() {
        entry::Record r = record(kIvanovCut, 8, 5, kDay);
        r.brak = 1;
        r.color = 3;
        r.cena = 12.5;
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        QCOMPARE(entry::sql::insert(r, QDate(2024, 3, 6)),
                 QStringLiteral("insert into accounts_dep.SMENA(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, "
                                "color, time, vvod,ok, prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, "
                                "id_cons_use) values(101, 1, 1, 12.5,8, 1, to_date('05.03.2024', 'DD.MM.YYYY "
                                "HH24:MI:SS'), 1, 3, 5, '06.03.2024', 'no', 0, 0, 0, 0, 0, 0)"));
        QCOMPARE(entry::sql::update(9, r, QDate(2024, 3, 6)),
                 QStringLiteral("update accounts_dep.SMENA set w_id=101, i_id=1, o_id=1, cena=12.5, kol_vo=8, brak=1, "
                                "data=to_date('05.03.2024', 'DD.MM.YYYY'), smena=1, color=3, time=5, "
                                "vvod='06.03.2024', prize=0, id_doc=0, id_doc_item=0, f_gds_qty_use=0, id_gds_use=0, "
                                "id_cons_use=0 where id=9"));
        QCOMPARE(entry::sql::duplicateCheck(r, 9),
                 QStringLiteral("select count(id) as cnt from accounts_dep.SMENA where w_id=101 and o_id=1 and i_id=1 "
                                "and data=to_date('05.03.2024', 'DD.MM.YYYY') and smena=1 and id<>9 and color=3"));
        QCOMPARE(timesheet::sql::timesheetInsert(r.day(), 7),
                 QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, month, year, d5) values(1, 101, 3, 2024, 7)"));
        QCOMPARE(timesheet::sql::timesheetUpdate(r.day(), 7),
                 QStringLiteral("update accounts_dep.h_tabel set d5=7 where w_id=101 and smena=1 and month=3 and year=2024"));
        // Different months, shifts and workers never share a lock; days of one month do.
        const entry::Day d{101, kDay, 1};
        QCOMPARE(locks::workerKey(d), locks::workerKey({101, kDay.addDays(20), 1}));
        QVERIFY(locks::workerKey(d) != locks::workerKey({101, kDay.addMonths(1), 1}));
        QVERIFY(locks::workerKey(d) != locks::workerKey({101, kDay.addYears(1), 1}));
        QVERIFY(locks::workerKey(d) != locks::workerKey({101, kDay, 4}));
        QVERIFY(locks::workerKey(d) != locks::workerKey({102, kDay, 1}));
    }
};

QTEST_MAIN(TestEntries)
#include "test_entries.moc"
