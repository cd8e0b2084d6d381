// Copying a shift and repeating an entry: the new entries priced by the norms as they
// stand now and the coefficients of the target day and shift, duplicates and refused
// entries skipped and listed, one transaction with the day postings; and the journal's
// "Повторить" (Ctrl+D) and "Копировать смену" driven by keys and clicks.
#include "core/datamodule.h"
#include "gui/forms.h"
#include "domain/entry_rules.h"
#include "domain/entry_store.h"
#include "domain/shift_copy.h"
#include "journal/journal_keys.h"
#include "journal/shift_copy_dialog.h"
#include "core/signin.h"
#include "journal/tform1.h"
#include "journal/tform11.h"
#include "support/testdb.h"

#include <QProcess>
#include <QtTest>

using namespace mirn;

namespace {
const QString kDb = QStringLiteral("t_copy");
const QDate kSource(2024, 3, 5);  // a Tuesday
const QDate kTarget(2024, 3, 6);  // the Wednesday after

// Workers 101..103 by worker number; operations 1 КР-100 Резка (norms 14 and 12.5),
// 2 ХМ-40 Покраска (paint, 10), 3 ПР-1000 Гибка (8 now; 7 when the source shift was
// entered). The source shift 1 of the 5th holds three entries at the prices of that day,
// shift 3 two; every one has rejects and a confirmation that a copy does not take over.
void loadFixture() {
    testdb::exec(QStringLiteral(
        "insert into cmn_contractor.person(id, s_caption, s_code) values "
        "(1, 'Иванов И.И.', '101'), (2, 'Петров П.П.', '102'), (3, 'Сидоров С.С.', '103')"));
    testdb::exec(QStringLiteral("insert into cmn_classifier.item(id, id_level, s_caption) values (500, 2, 'Кронштейны')"));
    testdb::exec(QStringLiteral(
        "insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa, id_class_item) values "
        "(1, 'КР-100', '', 6, 1.5, 500), (2, 'ХМ-40', '', 6, 0.2, 500), (3, 'ПР-1000', '', 6, 0.7, 500)"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.vid_oper(id, vid) values (1, 'Резка'), (2, 'Покраска'), (3, 'Гибка')"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) values (1, 1, 0, 1, 0), (2, 2, 1, 2, 0), "
        "(3, 3, 0, 3, 0)"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.norm(o_id, norma, prize, price) values (1, 100, 0, 14), (1, 120, 5, 12.5), "
        "(2, 50, 0, 10), (3, 10, 0, 7)"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.smena(id, w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok, vvod, "
        "prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use) values "
        "(1, 101, 1, 1, 11, 10, 2, '2024-03-05', 1, 0, 8, 'ok', '2024-03-05', 5, 7, 7, 0, 0, 0), "
        "(2, 102, 2, 2, 20, 7, 0, '2024-03-05', 1, 1013, 4, 'да', '2024-03-05', 0, 0, 0, 0, 0, 0), "
        "(3, 101, 3, 3, 7, 3, 1, '2024-03-05', 1, 0, 2, 'no', '2024-03-05', 0, 0, 0, 0, 0, 0), "
        "(4, 103, 1, 1, 15, 5, 1, '2024-03-05', 3, 0, 6, 'no', '2024-03-05', 0, 0, 0, 0, 0, 0), "
        "(5, 103, 2, 2, 30, 2, 0, '2024-03-05', 3, 7, 1, 'ok', '2024-03-05', 0, 0, 0, 0, 0, 0)"));
    testdb::exec(QStringLiteral("select setval(pg_get_serial_sequence('accounts_dep.smena', 'id'), 100)"));
    // The norm of Гибка went up after the 5th.
    testdb::exec(QStringLiteral("update accounts_dep.norm set price=8 where o_id=3"));
}

QStringList textRows(const QString& sql) {
    QStringList out;
    for (const QVariantList& r : testdb::rows(sql)) {
        QStringList f;
        for (const QVariant& v : r) f << v.toString();
        out << f.join(QLatin1Char('|'));
    }
    return out;
}

// The entries of a date and shift as "worker|operation|product|price|quantity|rejects|hours|colour|ok".
QStringList shiftRows(const QDate& d, int shift) {
    return textRows(QStringLiteral("select w_id, o_id, i_id, cena::text, kol_vo, brak, time, color, ok from "
                                   "accounts_dep.smena where data='%1' and smena=%2 order by w_id, o_id, color, id")
                        .arg(d.toString(Qt::ISODate))
                        .arg(shift));
}

int count(const QString& sql) { return testdb::scalarInt(sql); }

QStringList lines(const QList<entry::CopiedEntry>& entries) {
    QStringList out;
    for (const auto& e : entries) out << entry::skippedLine(e);
    return out;
}

const QString kSourceSnapshot = QStringLiteral(
    "select id, w_id, o_id, i_id, cena::text, kol_vo, brak, time, color, ok, data, smena, vvod, prize "
    "from accounts_dep.smena where id<=5 order by id");

// psql outside the client, as an administrator runs it.
int psql(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("psql"), QStringList{QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
                                                QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-d"), kDb} +
                                        args);
    if (!p.waitForStarted()) return -1;
    p.closeWriteChannel();
    p.waitForFinished(120000);
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

void closeMonth(const QDate& d) {
    QCOMPARE(psql({QStringLiteral("-f"), QStringLiteral(MIRN_SOURCE_DIR "/db/extension.sql")}), 0);
    testdb::exec(QStringLiteral("insert into accounts_dep.period_lock(year, month, closed_by) values (%1, %2, 'Бухгалтерия')")
                     .arg(d.year())
                     .arg(d.month()));
}

void openDay(TForm1& f1, const QDate& d) {
    f1.DateT->setDate(d);
    f1.DateTChange();
}

// Shows the journal as the active window, so that its shortcuts work.
bool showJournal(TForm1& f1) {
    f1.show();
    f1.activateWindow();
    return QTest::qWaitForWindowActive(&f1);
}

// Selects the journal's row of an operation with a click, as the user does.
bool clickRow(TForm1& f1, int o_id) {
    const Query& q = *f1.DBGrid2->query();
    for (int r = 0; r < q.recordCount(); ++r) {
        if (toInt(q.value(r, QStringLiteral("o_id"))) != o_id) continue;
        const QRect rect = f1.DBGrid2->visualRect(f1.DBGrid2->queryModel()->index(r, 0));
        QTest::mouseClick(f1.DBGrid2->viewport(), Qt::LeftButton, {}, rect.center());
        return q.recNo() == r + 1;
    }
    return false;
}

// Erases a number field's text with the keys (End, then Backspace) and types a new one.
void retype(QLineEdit* e, const QString& text) {
    QTest::mouseClick(e, Qt::LeftButton);
    QTest::keyClick(e, Qt::Key_End);
    for (int i = e->text().size(); i > 0; --i) QTest::keyClick(e, Qt::Key_Backspace);
    QTest::keyClicks(e, text);
}
}  // namespace

class TestCopy : public QObject {
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

    // ------------------------------------------------------------ the copy

    void copiesPricedAnew_data() {
        QTest::addColumn<int>("fromShift");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<int>("toShift");
        QTest::addColumn<bool>("dayOff");
        QTest::addColumn<QStringList>("expected");
        // Quantity, hours and colour as in the source; rejects 0, "no"; the lowest norm
        // as it is now (12.5 for Резка, 8 for Гибка since its norm went up).
        QTest::newRow("next working day, same shift")
            << 1 << kTarget << 1 << false
            << QStringList{"101|1|1|12.5|10|0|8|0|no", "101|3|3|8|3|0|2|0|no", "102|2|2|10|7|0|4|1013|no"};
        QTest::newRow("into shift 3") << 1 << kTarget << 3 << false
                                      << QStringList{"101|1|1|15|10|0|8|0|no", "101|3|3|9.6|3|0|2|0|no",
                                                     "102|2|2|12|7|0|4|1013|no"};
        QTest::newRow("into overtime on a Saturday off")
            << 1 << QDate(2024, 3, 9) << 4 << true
            << QStringList{"101|1|1|37.5|10|0|8|0|no", "101|3|3|24|3|0|2|0|no", "102|2|2|30|7|0|4|1013|no"};
        QTest::newRow("a holiday on a Friday") << 1 << QDate(2024, 3, 8) << 1 << true
                                               << QStringList{"101|1|1|25|10|0|8|0|no", "101|3|3|16|3|0|2|0|no",
                                                              "102|2|2|20|7|0|4|1013|no"};
        QTest::newRow("shift 3 of the day off into shift 1 of a working day")
            << 3 << kTarget << 1 << false << QStringList{"103|1|1|12.5|5|0|6|0|no", "103|2|2|10|2|0|1|7|no"};
        QTest::newRow("an empty shift copies nothing") << 2 << kTarget << 2 << false << QStringList{};
    }
    void copiesPricedAnew() {
        QFETCH(int, fromShift);
        QFETCH(QDate, to);
        QFETCH(int, toShift);
        QFETCH(bool, dayOff);
        QFETCH(QStringList, expected);
        const QStringList sourceBefore = textRows(kSourceSnapshot);
        const entry::CopyResult r = entry::copyShift({kSource, fromShift}, {to, toShift}, dayOff);
        QCOMPARE(shiftRows(to, toShift), expected);
        QCOMPARE(r.copied.size(), expected.size());
        QVERIFY(r.skipped.isEmpty());
        // New rows: entered today, bonus and document columns 0; the source untouched.
        QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.smena where data='%1' and smena=%2 and "
                                      "vvod=current_date and prize=0 and id_doc=0 and id_doc_item=0")
                           .arg(to.toString(Qt::ISODate))
                           .arg(toShift)),
                 expected.size());
        QCOMPARE(textRows(kSourceSnapshot), sourceBefore);
    }

    // The timesheet's day of the target equals the hours of its entries, however the
    // worker's month row stood before.
    void timesheetOfTheTargetDay_data() {
        QTest::addColumn<QString>("before");  // entries saved through the store first: "worker/operation/colour/hours/day"
        QTest::addColumn<QStringList>("expected");  // "worker|shift|d6|d1|rows of the month"
        QTest::newRow("no month rows yet") << QString() << QStringList{"101|1|10|null|1", "102|1|4|null|1"};
        QTest::newRow("the worker already worked that day")
            << QStringLiteral("101/2/5/3/6") << QStringList{"101|1|13|null|1", "102|1|4|null|1"};
        QTest::newRow("the month row holds another day")
            << QStringLiteral("102/1/0/7/1") << QStringList{"101|1|10|null|1", "102|1|4|7|1"};
    }
    void timesheetOfTheTargetDay() {
        QFETCH(QString, before);
        QFETCH(QStringList, expected);
        if (!before.isEmpty()) {
            const QStringList p = before.split(QLatin1Char('/'));
            entry::Record r;
            r.w_id = p[0].toInt();
            r.o_id = r.i_id = p[1].toInt();
            r.color = p[2].toInt();
            r.time = p[3].toInt();
            r.kol_vo = 1;
            r.cena = 1;
            r.date = QDate(2024, 3, p[4].toInt());
            QCOMPARE(entry::EntryStore().insert(r).status, Status::Saved);
        }
        entry::copyShift({kSource, 1}, {kTarget, 1}, false);
        QCOMPARE(textRows(QStringLiteral(
                     "select w_id, smena, d6, coalesce(d1::text, 'null'), count(*) over (partition by w_id, smena) from accounts_dep.h_tabel "
                     "where month=3 and year=2024 order by w_id, smena")),
                 expected);
        // And so it agrees with the entries themselves.
        QCOMPARE(count(QStringLiteral(
                     "select count(*) from (select w_id, sum(time) as t from accounts_dep.smena where data='2024-03-06' "
                     "and smena=1 group by w_id) s left join accounts_dep.h_tabel h on h.w_id=s.w_id and h.smena=1 and "
                     "h.month=3 and h.year=2024 where h.d6 is distinct from s.t")),
                 0);
    }

    void duplicatesAreSkippedAndListed_data() {
        QTest::addColumn<QString>("stored");  // an entry already on the target: "worker, operation, product, colour, shift"
        QTest::addColumn<bool>("copyTwice");
        QTest::addColumn<QStringList>("skipped");
        QTest::addColumn<QStringList>("target");
        const QString dup = entry::kDuplicateEntry;
        QTest::newRow("same worker, operation, product and colour")
            << QStringLiteral("101, 1, 1, 0, 1") << false
            << QStringList{"Иванов И.И., КР-100; Резка; Готовая продукция: " + dup}
            << QStringList{"101|1|1|1|1|0|1|0|no", "101|3|3|8|3|0|2|0|no", "102|2|2|10|7|0|4|1013|no"};
        QTest::newRow("same, in a paint colour")
            << QStringLiteral("102, 2, 2, 1013, 1") << false
            << QStringList{"Петров П.П., ХМ-40; Покраска; Заготовки, цвет 1013: " + dup}
            << QStringList{"101|1|1|12.5|10|0|8|0|no", "101|3|3|8|3|0|2|0|no", "102|2|2|1|1|0|1|1013|no"};
        QTest::newRow("another colour is no duplicate")
            << QStringLiteral("102, 2, 2, 1, 1") << false << QStringList{}
            << QStringList{"101|1|1|12.5|10|0|8|0|no", "101|3|3|8|3|0|2|0|no", "102|2|2|1|1|0|1|1|no",
                           "102|2|2|10|7|0|4|1013|no"};
        QTest::newRow("another shift is no duplicate")
            << QStringLiteral("101, 1, 1, 0, 2") << false << QStringList{}
            << QStringList{"101|1|1|12.5|10|0|8|0|no", "101|3|3|8|3|0|2|0|no", "102|2|2|10|7|0|4|1013|no"};
        QTest::newRow("the same shift copied twice")
            << QString() << true
            << QStringList{"Иванов И.И., КР-100; Резка; Готовая продукция: " + dup,
                           "Иванов И.И., ПР-1000; Гибка; Готовая продукция: " + dup,
                           "Петров П.П., ХМ-40; Покраска; Заготовки, цвет 1013: " + dup}
            << QStringList{"101|1|1|12.5|10|0|8|0|no", "101|3|3|8|3|0|2|0|no", "102|2|2|10|7|0|4|1013|no"};
    }
    void duplicatesAreSkippedAndListed() {
        QFETCH(QString, stored);
        QFETCH(bool, copyTwice);
        QFETCH(QStringList, skipped);
        QFETCH(QStringList, target);
        if (!stored.isEmpty())
            testdb::exec(QStringLiteral("insert into accounts_dep.smena(w_id, o_id, i_id, color, smena, cena, kol_vo, "
                                        "brak, time, data, ok) values (%1, 1, 1, 0, 1, '2024-03-06', 'no')")
                             .arg(stored));
        if (copyTwice) entry::copyShift({kSource, 1}, {kTarget, 1}, false);
        const entry::CopyResult r = entry::copyShift({kSource, 1}, {kTarget, 1}, false);
        QCOMPARE(lines(r.skipped), skipped);
        QCOMPARE(r.copied.size() + r.skipped.size(), 3);
        QCOMPARE(shiftRows(kTarget, 1), target);
    }

    // An entry that cannot be copied is listed with its reason; the others are stored.
    void refusedEntryDoesNotKeepOthersOut_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QStringList>("skipped");
        QTest::addColumn<QStringList>("target");
        QTest::addColumn<QStringList>("hours");  // the timesheet's 6th: "worker|hours"
        QTest::newRow("an operation without norms")
            << QStringLiteral("delete from accounts_dep.norm where o_id=3")
            << QStringList{"Иванов И.И., ПР-1000; Гибка; Готовая продукция: у операции \"ПР-1000; Гибка; Готовая "
                           "продукция\" нет цены: задайте её в списке операций кнопкой \"Цены\""}
            << QStringList{"101|1|1|12.5|10|0|8|0|no", "102|2|2|10|7|0|4|1013|no"}
            << QStringList{"101|8", "102|4"};
        QTest::newRow("a worker missing from the register")
            << QStringLiteral("update accounts_dep.smena set w_id=999 where id=3")
            << QStringList{"999, ПР-1000; Гибка; Готовая продукция: рабочий с номером или кодом 999 не найден"}
            << QStringList{"101|1|1|12.5|10|0|8|0|no", "102|2|2|10|7|0|4|1013|no"}
            << QStringList{"101|8", "102|4"};
        QTest::newRow("a quantity past its limit")
            << QStringLiteral("update accounts_dep.smena set kol_vo=2000000 where id=1")
            << QStringList{"Иванов И.И., КР-100; Резка; Готовая продукция: В поле \"Кол-во\" допустимо целое число "
                           "от 0 до 1000000, а не \"2000000\"!"}
            << QStringList{"101|3|3|8|3|0|2|0|no", "102|2|2|10|7|0|4|1013|no"} << QStringList{"101|2", "102|4"};
        // Петров's month already holds 99,999,990 and the 140 of the 5th; the copied 70 takes
        // it past the sum.
        QTest::newRow("the worker's month past its sum")
            << QStringLiteral("insert into accounts_dep.smena(w_id, o_id, i_id, color, smena, cena, kol_vo, brak, time, "
                              "data, ok) values (102, 1, 1, 0, 2, 999999.9, 100, 0, 1, '2024-03-20', 'no')")
            << QStringList{"Петров П.П., ХМ-40; Покраска; Заготовки, цвет 1013: Сумма 100000200.00 больше допустимой "
                           "(99999999.99): проверьте количество и цену!"}
            << QStringList{"101|1|1|12.5|10|0|8|0|no", "101|3|3|8|3|0|2|0|no"} << QStringList{"101|10"};
    }
    void refusedEntryDoesNotKeepOthersOut() {
        QFETCH(QString, setup);
        QFETCH(QStringList, skipped);
        QFETCH(QStringList, target);
        QFETCH(QStringList, hours);
        testdb::exec(setup);
        const entry::CopyResult r = entry::copyShift({kSource, 1}, {kTarget, 1}, false);
        QCOMPARE(lines(r.skipped), skipped);
        QCOMPARE(r.copied.size(), target.size());
        QCOMPARE(shiftRows(kTarget, 1), target);
        QCOMPARE(textRows(QStringLiteral("select w_id, d6 from accounts_dep.h_tabel where d6 is not null order by w_id")),
                 hours);
    }

    // A failure anywhere in the copy stores no entry and no hours.
    void failedCopyStoresNothing_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<bool>("closedMonth");
        QTest::newRow("the timesheet refuses")
            << QStringLiteral("create trigger refused before insert on accounts_dep.h_tabel for each row execute "
                              "function public.refused()")
            << kTarget << false;
        QTest::newRow("the database refuses the last entry")
            << QStringLiteral("create trigger refused before insert on accounts_dep.smena for each row when "
                              "(new.color=1013) execute function public.refused()")
            << kTarget << false;
        QTest::newRow("the target month is closed") << QString() << QDate(2024, 4, 1) << true;
    }
    void failedCopyStoresNothing() {
        QFETCH(QString, setup);
        QFETCH(QDate, to);
        QFETCH(bool, closedMonth);
        testdb::exec(QStringLiteral("create function public.refused() returns trigger language plpgsql as "
                                    "$$ begin raise exception 'copy refused'; end $$"));
        if (!setup.isEmpty()) testdb::exec(setup);
        if (closedMonth) closeMonth(to);
        const int before = count(QStringLiteral("select count(*) from accounts_dep.smena"));
        QString failure;
        bool closed = false;
        try {
            entry::copyShift({kSource, 1}, {to, 1}, false);
        } catch (const ClosedMonthError& e) {
            closed = true;
            failure = e.serverText();
        } catch (const DbError& e) {
            failure = e.serverText();
        }
        QVERIFY2(closed == closedMonth, qPrintable(failure));
        QVERIFY(failure.contains(closedMonth ? QStringLiteral("Месяц закрыт: апрель 2024") : QStringLiteral("copy refused")));
        QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.smena")), before);
        QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.h_tabel")), 0);
        QCOMPARE(testdb::advisoryLocks(), 0);
    }

    // A copy taken back removes exactly the entries it stored and their hours; refused,
    // with nothing removed, once any of them is gone or was changed since.
    void undoCopy_data() {
        QTest::addColumn<QString>("meanwhile");  // run after the copy; %1 the first copied entry's key
        QTest::addColumn<QString>("refusal");    // empty: taken back
        QTest::newRow("untouched") << QString() << QString();
        QTest::newRow("another entry added to the shift since")
            << QStringLiteral("insert into accounts_dep.smena(w_id, o_id, i_id, color, smena, cena, kol_vo, brak, time, "
                              "data, ok) values (103, 1, 1, 0, 1, 1, 1, 0, 3, '2024-03-06', 'no')")
            << QString();
        const QString ivanov = QStringLiteral("Копирование не отменено: позиция \"Иванов И.И., КР-100; Резка; Готовая "
                                              "продукция\" %1 после копирования. Исправьте или удалите позиции по одной.");
        QTest::newRow("a quantity changed")
            << QStringLiteral("update accounts_dep.smena set kol_vo=11 where id=%1") << ivanov.arg("изменена");
        QTest::newRow("confirmed") << QStringLiteral("update accounts_dep.smena set ok='ok' where id=%1")
                                   << ivanov.arg("изменена");
        QTest::newRow("moved to another shift") << QStringLiteral("update accounts_dep.smena set smena=2 where id=%1")
                                                << ivanov.arg("изменена");
        QTest::newRow("deleted") << QStringLiteral("delete from accounts_dep.smena where id=%1") << ivanov.arg("удалена");
    }
    void undoCopy() {
        QFETCH(QString, meanwhile);
        QFETCH(QString, refusal);
        const QString hours = QStringLiteral("select w_id, smena, coalesce(d6::text, 'null') from accounts_dep.h_tabel "
                                             "order by w_id, smena");
        const QStringList hoursBefore = textRows(hours), entriesBefore = textRows(
            QStringLiteral("select id from accounts_dep.smena order by id"));
        const entry::CopyResult made = entry::copyShift({kSource, 1}, {kTarget, 1}, false);
        QCOMPARE(made.copied.size(), 3);
        QStringList keys;
        for (const entry::CopiedEntry& e : made.copied) keys << QString::number(e.newId);
        QCOMPARE(keys, (QStringList{"101", "102", "103"}));  // in the summary's order: Иванов twice, Петров
        if (!meanwhile.isEmpty()) testdb::exec(meanwhile.arg(made.copied.first().newId));
        const QStringList target = shiftRows(kTarget, 1), allHours = textRows(hours);
        const Result r = entry::undoCopy(made.copied);
        QCOMPARE(r.message, refusal);
        QCOMPARE(r.saved(), refusal.isEmpty());
        QCOMPARE(testdb::advisoryLocks(), 0);
        if (!refusal.isEmpty()) {
            QCOMPARE(shiftRows(kTarget, 1), target);
            QCOMPARE(textRows(hours), allHours);
            return;
        }
        // Only the copied entries went; the day's hours are what the remaining entries hold.
        QStringList left = textRows(QStringLiteral("select id from accounts_dep.smena order by id"));
        if (!meanwhile.isEmpty()) {
            QCOMPARE(shiftRows(kTarget, 1), QStringList{"103|1|1|1|1|0|3|0|no"});
            QCOMPARE(left, entriesBefore + QStringList{"104"});
        } else {
            QVERIFY(shiftRows(kTarget, 1).isEmpty());
            QCOMPARE(left, entriesBefore);
        }
        QCOMPARE(count(QStringLiteral(
                     "select count(*) from accounts_dep.h_tabel h where h.month=3 and h.year=2024 and h.smena=1 and "
                     "coalesce(h.d6, 0) <> coalesce((select sum(time) from accounts_dep.smena s where s.w_id=h.w_id and "
                     "s.data='2024-03-06' and s.smena=1), 0)")),
                 0);
        QVERIFY(hoursBefore.isEmpty());
    }

    // Only the chosen entries of a preview are stored; the preview itself stores nothing.
    void copiesTheChosenEntriesOnly() {
        const entry::CopyResult preview = entry::previewCopy({kSource, 1}, {kTarget, 3}, true);
        QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.smena")), 5);
        QStringList seen;
        for (const entry::CopiedEntry& e : preview.copied) seen << e.worker + "|" + entry::priceText(e.record.cena);
        QCOMPARE(seen, (QStringList{"Иванов И.И.|30", "Иванов И.И.|19.2", "Петров П.П.|24"}));
        const entry::CopyResult r = entry::copyEntries({preview.copied[0], preview.copied[2]});
        QCOMPARE(r.copied.size(), 2);
        QCOMPARE(shiftRows(kTarget, 3), (QStringList{"101|1|1|30|10|0|8|0|no", "102|2|2|24|7|0|4|1013|no"}));
    }

    // ------------------------------------------------------------ the journal

    void onlyRolesThatAddMayRepeatOrCopy_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("usable");
        QTest::newRow("viewer") << "pivrat" << false;
        QTest::newRow("foremen") << "brolkin" << true;
        QTest::newRow("finished goods") << "tuvem" << false;
        QTest::newRow("administrator") << "9471" << true;
    }
    void onlyRolesThatAddMayRepeatOrCopy() {
        QFETCH(QString, code);
        QFETCH(bool, usable);
        TForm1& f1 = signIn(code);
        openDay(f1, kSource);
        QCOMPARE(f1.Button10->isEnabled(), usable);
        QCOMPARE(f1.Button11->isEnabled(), usable);
        QVERIFY(showJournal(f1));
        QVERIFY(!dm().Smena1.isEmpty());
        ModalScript modal;
        QTest::keyClick(&f1, Qt::Key_D, Qt::ControlModifier);
        QTest::mouseClick(f1.Button11, Qt::LeftButton);
        // Ctrl+D presses the button with a short animation.
        QTRY_COMPARE(modal.shown.size(), usable ? 2 : 0);
        QTest::qWait(200);
        QCOMPARE(modal.shown.size(), usable ? 2 : 0);
    }

    void closedMonthSwitchesRepeatAndCopyOff() {
        closeMonth(QDate(2024, 3, 1));
        TForm1& f1 = signIn();
        openDay(f1, kSource);
        QVERIFY(!f1.Button1->isEnabled());
        QVERIFY(!f1.Button10->isEnabled());
        QVERIFY(!f1.Button11->isEnabled());
        openDay(f1, QDate(2024, 4, 2));
        QVERIFY(f1.Button10->isEnabled());
        QVERIFY(f1.Button11->isEnabled());
    }

    // Ctrl+D on a selected row: the dialog for a new entry like it, priced for the
    // journal's day and shift, the focus on the quantity; Enter saves.
    void repeatByCtrlD_data() {
        QTest::addColumn<int>("shift");
        QTest::addColumn<bool>("dayOff");
        QTest::addColumn<int>("o_id");
        QTest::addColumn<QStringList>("shown");  // worker, operation, colour, colour on, final, base, quantity, hours
        QTest::addColumn<QString>("quantity");
        QTest::addColumn<QString>("colour");  // typed over the shown one; empty: left as it is
        QTest::addColumn<QString>("stored");  // the new entry; empty: refused
        QTest::addColumn<QString>("normChange");  // made while the operations list stands open from an earlier pick
        QTest::newRow("paint entry in another colour")
            << 1 << false << 2
            << QStringList{"Петров П.П.", "ХМ-40; Покраска; Заготовки", "1013", "on", "10", "10", "", "4"} << "6"
            << "1014" << "102|2|2|10|6|0|4|1014|no" << QString();
        QTest::newRow("shift 3 on a day off, the norm as it is now")
            << 3 << true << 2
            << QStringList{"Сидоров С.С.", "ХМ-40; Покраска; Заготовки", "7", "on", "26.4", "11", "", "1"}
            << "5" << "8" << "103|2|2|26.4|5|0|1|8|no"
            << QStringLiteral("update accounts_dep.norm set price=11 where o_id=2");
        QTest::newRow("nothing changed but the quantity: the same entry")
            << 1 << false << 3
            << QStringList{"Иванов И.И.", "ПР-1000; Гибка; Готовая продукция", "", "off", "8", "8", "", "2"}
            << "4" << "" << "" << QString();
    }
    void repeatByCtrlD() {
        QFETCH(int, shift);
        QFETCH(bool, dayOff);
        QFETCH(int, o_id);
        QFETCH(QStringList, shown);
        QFETCH(QString, quantity);
        QFETCH(QString, colour);
        QFETCH(QString, stored);
        QFETCH(QString, normChange);
        TForm1& f1 = signIn();
        dm().Oper.open();
        if (!normChange.isEmpty()) testdb::exec(normChange);
        openDay(f1, kSource);
        QVERIFY(showJournal(f1));
        QRadioButton* radios[] = {f1.RadioButton1, f1.RadioButton2, f1.RadioButton3, f1.RadioButton4};
        QTest::mouseClick(radios[shift - 1], Qt::LeftButton);
        QCOMPARE(f1.CurrentShift, shift);
        if (f1.CBox1->isChecked() != dayOff) QTest::mouseClick(f1.CBox1, Qt::LeftButton);
        QCOMPARE(f1.CBox1->isChecked(), dayOff);
        QVERIFY(clickRow(f1, o_id));
        const QStringList sourceBefore = textRows(kSourceSnapshot);

        MessageLog log;
        QStringList seen;
        QWidget* focus = nullptr;
        QString caption;
        int tag = 0;
        QDate date;
        ModalScript modal([&](QDialog* d) {
            auto* f = qobject_cast<TForm11*>(d);
            if (!f) return int(QDialog::Rejected);
            f->show();
            if (!QTest::qWaitForWindowActive(f)) return int(QDialog::Rejected);
            focus = QApplication::focusWidget();
            caption = f->windowTitle();
            tag = f->Tag;
            date = f->DTimeP->date();
            seen = QStringList{f->Edit1->text(), f->Edit2->text(), f->Edit5->text(),
                               f->Edit5->isEnabled() ? "on" : "off", f->Edit7->text(), f->Edit8->text(),
                               f->Edit3->text(), f->Edit6->text()};
            QTest::keyClicks(QApplication::focusWidget(), quantity);
            if (!colour.isEmpty()) retype(f->Edit5, colour);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            if (f->isVisible()) QTest::keyClick(f, Qt::Key_Escape);
            return f->result();
        });
        QTest::keyClick(f1.DBGrid2, Qt::Key_D, Qt::ControlModifier);
        QTRY_COMPARE(modal.shown.size(), 1);
        TForm11& f11 = forms::form<TForm11>();
        QCOMPARE(focus, f11.Edit3);
        QCOMPARE(caption, QStringLiteral("Заведение новой позиции"));
        QCOMPARE(tag, 1);
        QCOMPARE(date, kSource);
        QCOMPARE(seen, shown);
        if (stored.isEmpty()) {
            QCOMPARE(log.texts(), QStringList{entry::kDuplicateEntry});
            QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.smena")), 5);
        } else {
            QVERIFY2(log.messages.isEmpty(), qPrintable(log.texts().join('|')));
            QCOMPARE(textRows(QStringLiteral("select w_id, o_id, i_id, cena::text, kol_vo, brak, time, color, ok from "
                                             "accounts_dep.smena where id>5")),
                     QStringList{stored});
            QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.smena where id>5 and data='2024-03-05' "
                                          "and smena=%1")
                               .arg(shift)),
                     1);
        }
        // The entry repeated is as it was.
        QCOMPARE(textRows(kSourceSnapshot), sourceBefore);
    }

    void repeatOnAnEmptyShiftOpensNothing() {
        TForm1& f1 = signIn();
        openDay(f1, kTarget);
        QVERIFY(showJournal(f1));
        ModalScript modal;
        QTest::keyClick(f1.DBGrid2, Qt::Key_D, Qt::ControlModifier);
        QTest::qWait(200);
        QVERIFY(modal.shown.isEmpty());
    }

    // "Копировать смену": the dialog opens on the working day before, in the journal's
    // shift; the summary lists what was skipped; the journal shows the copied rows.
    void copyThroughTheDialog_data() {
        QTest::addColumn<QDate>("to");
        QTest::addColumn<int>("shift");
        QTest::addColumn<bool>("dayOff");
        QTest::addColumn<QDate>("offered");
        QTest::addColumn<QString>("from");  // the shift chosen in the dialog; empty: the one offered
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QStringList>("journal");  // the target's rows as the grid lists them: worker, price
        const QString dup = entry::kDuplicateEntry;
        QTest::newRow("the day before, shift 1, one already entered")
            << kTarget << 1 << false << kSource << QString()
            << "Скопировано позиций: 2.\n\nПропущено позиций: 1:\nИванов И.И., КР-100; Резка; Готовая продукция: " + dup
            << QStringList{"Иванов И.И.|1", "Иванов И.И.|8", "Петров П.П.|10"};
        QTest::newRow("from shift 3 into overtime on a holiday")
            << kTarget << 4 << true << kSource << "Смена №3"
            << "Скопировано позиций: 2." << QStringList{"Сидоров С.С.|30", "Сидоров С.С.|37.5"};
    }
    void copyThroughTheDialog() {
        QFETCH(QDate, to);
        QFETCH(int, shift);
        QFETCH(bool, dayOff);
        QFETCH(QDate, offered);
        QFETCH(QString, from);
        QFETCH(QString, summary);
        QFETCH(QStringList, journal);
        // Иванов's cutting is already entered on the 6th.
        testdb::exec(QStringLiteral("insert into accounts_dep.smena(w_id, o_id, i_id, color, smena, cena, kol_vo, brak, "
                                    "time, data, ok) values (101, 1, 1, 0, 1, 1, 1, 0, 1, '2024-03-06', 'no')"));
        TForm1& f1 = signIn();
        openDay(f1, to);
        QVERIFY(showJournal(f1));
        QRadioButton* radios[] = {f1.RadioButton1, f1.RadioButton2, f1.RadioButton3, f1.RadioButton4};
        QTest::mouseClick(radios[shift - 1], Qt::LeftButton);
        if (f1.CBox1->isChecked() != dayOff) QTest::mouseClick(f1.CBox1, Qt::LeftButton);
        MessageLog log;
        QDate shownDate;
        QString shownShift, target;
        ModalScript modal([&](QDialog* d) {
            auto* dlg = qobject_cast<ShiftCopyDialog*>(d);
            if (!dlg) return int(QDialog::Rejected);
            dlg->show();
            if (!QTest::qWaitForWindowActive(dlg)) return int(QDialog::Rejected);
            shownDate = dlg->DateFrom->date();
            shownShift = dlg->ShiftFrom->currentText();
            target = dlg->Target->text();
            // Up in the shift list until the wanted one.
            for (int i = 0; i < 4 && !from.isEmpty() && dlg->ShiftFrom->currentText() != from; ++i)
                QTest::keyClick(dlg->ShiftFrom, Qt::Key_Up);
            QTest::mouseClick(dlg->Button1, Qt::LeftButton);
            return dlg->result();
        });
        QTest::mouseClick(f1.Button11, Qt::LeftButton);
        QCOMPARE(modal.shown.size(), 1);
        QCOMPARE(shownDate, offered);
        QCOMPARE(shownShift, shiftCaption(shift));
        QCOMPARE(target, QStringLiteral("Куда: %1, %2; цены по сегодняшним нормам.")
                             .arg(to.toString(QStringLiteral("dd.MM.yyyy")), shiftCaption(shift)));
        QCOMPARE(log.texts(), QStringList{summary + "\n\n" + kUndoCopyHint});
        QCOMPARE(log.messages.last().caption, QStringLiteral("Копировать смену"));
        // The journal stayed on the target and lists the new rows.
        QCOMPARE(f1.DateT->date(), to);
        QCOMPARE(f1.DBGrid2->query(), &dm().shiftQuery(shift));
        QStringList listed;
        const Query& q = dm().shiftQuery(shift);
        for (int r = 0; r < q.recordCount(); ++r)
            listed << q.value(r, QStringLiteral("fio")).toString() + "|" + entry::priceText(toDouble(q.value(r, QStringLiteral("cena"))));
        listed.sort();
        QCOMPARE(listed, journal);
        QCOMPARE(f1.DBGrid2->queryModel()->rowCount(), journal.size());
    }

    // The dialog lists the entries it will copy, priced for the target, every one ticked;
    // an entry unticked with the keys is left out; Ctrl+Z in the journal then takes the
    // copy back, once asked, and the journal shows the shift as before.
    void copyDialogListsTicksAndUndoes() {
        testdb::exec(QStringLiteral("delete from accounts_dep.norm where o_id=3"));  // Гибка has no price now
        TForm1& f1 = signIn();
        openDay(f1, kTarget);
        QVERIFY(showJournal(f1));
        MessageLog log;
        QStringList listed;
        QString chosenText;
        ModalScript modal([&](QDialog* d) {
            auto* dlg = qobject_cast<ShiftCopyDialog*>(d);
            if (!dlg) return int(QDialog::Rejected);
            dlg->show();
            if (!QTest::qWaitForWindowActive(dlg)) return int(QDialog::Rejected);
            for (int i = 0; i < dlg->List->topLevelItemCount(); ++i) {
                const QTreeWidgetItem* it = dlg->List->topLevelItem(i);
                QStringList cells;
                for (int c = 0; c < dlg->List->columnCount(); ++c) cells << it->text(c);
                const bool tickable = it->flags() & Qt::ItemIsUserCheckable;
                cells << (tickable ? (it->checkState(0) == Qt::Checked ? "ticked" : "unticked") : "-");
                listed << cells.join('|');
            }
            // Петров's paint entry, the second row: Down, then Space unticks it.
            dlg->List->setFocus();
            QTest::keyClick(dlg->List, Qt::Key_Down);
            QTest::keyClick(dlg->List, Qt::Key_Space);
            chosenText = dlg->Chosen->text();
            QTest::mouseClick(dlg->Button1, Qt::LeftButton);
            return dlg->result();
        });
        QTest::mouseClick(f1.Button11, Qt::LeftButton);
        QCOMPARE(modal.shown.size(), 1);
        QCOMPARE(listed, (QStringList{"Иванов И.И.|КР-100; Резка; Готовая продукция||10|8|12.5||ticked",
                                      "Петров П.П.|ХМ-40; Покраска; Заготовки|1013|7|4|10||ticked",
                                      "Иванов И.И.|ПР-1000; Гибка; Готовая продукция||3|2||у операции \"ПР-1000; Гибка; "
                                      "Готовая продукция\" нет цены: задайте её в списке операций кнопкой \"Цены\"|-"}));
        QCOMPARE(chosenText, QStringLiteral("Отмечено позиций: 1 из 2"));
        QCOMPARE(log.texts(), QStringList{"Скопировано позиций: 1.\n\n" + kUndoCopyHint});
        QCOMPARE(shiftRows(kTarget, 1), QStringList{"101|1|1|12.5|10|0|8|0|no"});
        QCOMPARE(dm().Smena1.recordCount(), 1);
        QVERIFY(f1.Keys->UndoCopy->isEnabled());

        log.clear();
        QVERIFY(showJournal(f1));  // active again once the dialog has gone, as the window manager makes it
        QTest::keyClick(f1.DBGrid2, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(log.texts(), (QStringList{"Удалить позиции, скопированные в 06.03.2024, Смена №1 (1)?",
                                           "Копирование отменено: удалено позиций: 1."}));
        QVERIFY(shiftRows(kTarget, 1).isEmpty());
        QCOMPARE(dm().Smena1.recordCount(), 0);
        QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.h_tabel where coalesce(d6, 0) <> 0")), 0);
        QVERIFY(!f1.Keys->UndoCopy->isEnabled());
        // Nothing more to take back.
        log.clear();
        QTest::keyClick(f1.DBGrid2, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(log.messages.isEmpty());
    }

    // Changed from another workstation after the copy: Ctrl+Z refuses and removes nothing.
    void undoAfterAChangeIsRefused() {
        TForm1& f1 = signIn();
        openDay(f1, kTarget);
        QVERIFY(showJournal(f1));
        MessageLog log;
        ModalScript modal([](QDialog* d) {
            auto* dlg = qobject_cast<ShiftCopyDialog*>(d);
            if (!dlg) return int(QDialog::Rejected);
            dlg->show();
            if (!QTest::qWaitForWindowActive(dlg)) return int(QDialog::Rejected);
            QTest::mouseClick(dlg->Button1, Qt::LeftButton);
            return dlg->result();
        });
        QTest::mouseClick(f1.Button11, Qt::LeftButton);
        QCOMPARE(shiftRows(kTarget, 1).size(), 3);
        testdb::exec(QStringLiteral("update accounts_dep.smena set time=9 where data='2024-03-06' and w_id=102"));
        const QStringList target = shiftRows(kTarget, 1);
        log.clear();
        QVERIFY(showJournal(f1));
        QTest::keyClick(f1.DBGrid2, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(log.messages.size(), 2);
        QCOMPARE(log.messages.last().text,
                 QStringLiteral("Копирование не отменено: позиция \"Петров П.П., ХМ-40; Покраска; Заготовки\" изменена "
                                "после копирования. Исправьте или удалите позиции по одной."));
        QCOMPARE(shiftRows(kTarget, 1), target);
        QCOMPARE(testdb::advisoryLocks(), 0);
    }

    void copyDialogRefusesTheShownShiftAndCancels() {
        TForm1& f1 = signIn();
        openDay(f1, kSource);
        MessageLog log;
        QStringList errors;
        bool stayedOpen = false;
        ModalScript modal([&](QDialog* d) {
            auto* dlg = qobject_cast<ShiftCopyDialog*>(d);
            dlg->show();
            dlg->DateFrom->setDate(kSource);  // the shown shift itself
            QTest::mouseClick(dlg->Button1, Qt::LeftButton);
            errors = log.texts();
            stayedOpen = dlg->isVisible();
            QTest::mouseClick(dlg->Button2, Qt::LeftButton);
            return dlg->result();
        });
        QTest::mouseClick(f1.Button11, Qt::LeftButton);
        QCOMPARE(errors, QStringList{QStringLiteral("Смена не копируется сама в себя: выберите другую дату или смену.")});
        QVERIFY(stayedOpen);
        QCOMPARE(log.messages.size(), 1);  // cancelled: no summary
        QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.smena")), 5);
    }
};

QTEST_MAIN(TestCopy)
#include "test_copy.moc"
