// Money in the stores is exact: an entry's amount, a worker's month and the limit on it
// agree with the server's numeric sums to the last digit, and with the figures the
// client showed before (binary floats rounded to the kopeck) on the demo and on
// generated data.
#include "domain/connection.h"
#include "domain/db.h"
#include "domain/entry_store.h"
#include "domain/limits.h"
#include "support/database.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace mirn;

namespace {
const QString kDb = QStringLiteral("t_money");

Decimal dec(const QString& text) { return *Decimal::parse(text); }

struct Month {
    int w_id = 0;
    QDate first;
};

QList<Month> workerMonths() {
    QList<Month> out;
    for (const QVariantList& r : testdb::rows(QStringLiteral(
             "select distinct w_id, date_trunc('month', data)::date from accounts_dep.smena "
             "where w_id is not null and data is not null order by 1, 2")))
        out << Month{r[0].toInt(), r[1].toDate()};
    return out;
}

// A worker's month three ways: the store's own figures (each entry's amount, and the
// month-amount query), the server's numeric sum, the binary float sum the client used to
// add up, and the month's earnings as the timesheet prints them.
struct Sums {
    Decimal entries;   // sum of entry::amount over the month's entries
    Decimal store;     // entry::monthAmount
    Decimal numeric;   // the server's exact sum
    Decimal old;       // the float sum, at its shortest decimal text
    QString sheetKopecks;  // the timesheet's cena_all: numeric(10,2) of the float sum
};

Sums sums(const Month& m) {
    Sums s;
    const QString where = QStringLiteral(" from accounts_dep.smena where w_id=%1 and data>='%2' and data<'%3'")
                              .arg(m.w_id)
                              .arg(m.first.toString(Qt::ISODate), m.first.addMonths(1).toString(Qt::ISODate));
    double old = 0;
    for (const QVariantList& r : testdb::rows(QStringLiteral("select cena, kol_vo, brak") + where)) {
        entry::Record e;
        e.cena = toDouble(r[0]);
        e.kol_vo = toInt(r[1]);
        e.brak = toInt(r[2]);
        s.entries += entry::amount(e);
        old += double(e.kol_vo - e.brak) * e.cena;
    }
    s.store = entry::monthAmount(Db(), m.w_id, m.first.addDays(m.first.daysInMonth() - 1));
    s.numeric = dec(testdb::scalar(QStringLiteral("select coalesce(sum(round(cena::numeric, 4)*(kol_vo-brak)), 0)::text") + where)
                        .toString());
    s.old = *Decimal::fromVariant(old);
    s.sheetKopecks = testdb::scalar(QStringLiteral("select coalesce(sum(cena*(kol_vo-brak))::numeric(10,2), 0)::text") + where)
                         .toString();
    return s;
}

QString kopecks(Decimal d) { return Mask{1, 2, 2}.format(d, QStringLiteral(".")); }

void compareMonths() {
    const QList<Month> months = workerMonths();
    QVERIFY(!months.isEmpty());
    for (const Month& m : months) {
        const Sums s = sums(m);
        const QString where = QStringLiteral("worker %1, %2").arg(m.w_id).arg(m.first.toString(Qt::ISODate));
        QVERIFY2(s.entries == s.numeric, qPrintable(where + QStringLiteral(": ") + s.entries.toString() +
                                                    QStringLiteral(" vs ") + s.numeric.toString()));
        QVERIFY2(s.store == s.numeric, qPrintable(where));
        // The float sum was the same money, off by far less than a kopeck...
        QVERIFY2((s.old - s.store).abs() <= Decimal::fromUnits(1),
                 qPrintable(where + QStringLiteral(": ") + s.old.toString() + QStringLiteral(" vs ") + s.store.toString()));
        // ...and the timesheet's printed month is the exact one rounded to the kopeck.
        QVERIFY2(kopecks(s.store) == s.sheetKopecks,
                 qPrintable(where + QStringLiteral(": ") + kopecks(s.store) + QStringLiteral(" vs ") + s.sheetKopecks));
    }
}

entry::Record record(int worker, int oper, const QDate& date, double price, int qty, int rejects = 0) {
    entry::Record r;
    r.w_id = worker;
    r.i_id = 1;
    r.o_id = oper;
    r.cena = price;
    r.kol_vo = qty;
    r.brak = rejects;
    r.time = 1;
    r.date = date;
    return r;
}
}  // namespace

class TestMoney : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { connection::closeShared(); }

    void demoMonthsToTheKopeck() {
        testdb::openFresh(kDb, true);
        compareMonths();
    }

    // Prices with four decimals and quantities of every size, saved through the store.
    void generatedMonthsToTheKopeck() {
        testdb::openFresh(kDb);
        testdb::exec(QStringLiteral(
            "insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa, id_class_item) "
            "values (1, 'КР-1', '', 6, 1, 500)"));
        testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (1, 'Резка')"));
        QStringList opers;
        for (int o = 1; o <= 30; ++o) opers << QStringLiteral("(%1, 1, %2, 1, 0)").arg(o).arg(o % 2);
        testdb::exec(QStringLiteral("insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) values ") +
                     opers.join(QStringLiteral(", ")));
        QRandomGenerator rng(20261211);
        entry::EntryStore store;
        const QDate march(2024, 3, 1);
        for (int i = 0; i < 400; ++i) {
            // Tenths and hundredths that no binary float holds exactly, and whole prices.
            const double price = i % 5 == 0 ? double(rng.bounded(100) + 1) / 10.0
                                            : double(rng.bounded(9999999) + 1) / 10000.0;
            const int qty = i % 7 == 0 ? int(rng.bounded(20000)) : int(rng.bounded(500));
            const entry::Record r = record(1 + int(rng.bounded(6)), 1 + i % 30, march.addDays(rng.bounded(60)),
                                           price, qty, int(rng.bounded(3)));
            const Result saved = store.insert(r);
            QVERIFY2(saved.saved() || saved.status == Status::Duplicate, qPrintable(saved.message));
        }
        compareMonths();
    }

    // A month that comes to the limit exactly is stored, one kopeck past it is not:
    // the same figures as binary floats add up past the limit (…99.99000001).
    void limitIsExact_data() {
        QTest::addColumn<QString>("last");
        QTest::addColumn<bool>("stored");
        QTest::addColumn<QString>("month");  // the month with the last entry
        QTest::newRow("exactly the limit") << QStringLiteral("305521.7962") << true << QStringLiteral("99999999.99");
        QTest::newRow("a kopeck past it") << QStringLiteral("305521.8062") << false << QStringLiteral("100000000");
        QTest::newRow("a hundredth of a kopeck past it")
            << QStringLiteral("305521.7963") << false << QStringLiteral("99999999.9901");
    }
    void limitIsExact() {
        QFETCH(QString, last);
        QFETCH(bool, stored);
        QFETCH(QString, month);
        testdb::openFresh(kDb);
        testdb::exec(QStringLiteral(
            "insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa, id_class_item) "
            "values (1, 'КР-1', '', 6, 1, 500)"));
        testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (1, 'Резка')"));
        testdb::exec(QStringLiteral("insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) values (1, 1, 0, 1, 0), (2, 1, 1, 1, 0)"));
        const QDate day(2024, 3, 4);
        entry::EntryStore store;
        QCOMPARE(store.insert(record(7, 1, day, 5186.4779, 19222)).status, Status::Saved);
        const Result r = store.insert(record(7, 2, day.addDays(20), last.toDouble(), 1));
        QCOMPARE(r.saved(), stored);
        if (!stored) {
            QCOMPARE(r.message, limits::amountMessage(dec(month)));
            QVERIFY(r.message.startsWith(QStringLiteral("Сумма ") + kopecks(dec(month)) +
                                         QStringLiteral(" больше допустимой (99999999.99)")));
        }
        QCOMPARE(entry::monthAmount(Db(), 7, day),
                 dec(stored ? QStringLiteral("99999999.99") : QStringLiteral("99694478.1938")));
    }

    void amountsAreExact_data() {
        QTest::addColumn<double>("price");
        QTest::addColumn<int>("qty");
        QTest::addColumn<int>("rejects");
        QTest::addColumn<QString>("amount");
        QTest::newRow("a tenth times three") << 0.1 << 3 << 0 << QStringLiteral("0.3");
        QTest::newRow("rejects subtracted") << 2.675 << 10 << 3 << QStringLiteral("18.725");
        QTest::newRow("rounded to four decimals as stored") << 10.123456 << 1000 << 0 << QStringLiteral("10123.5");
        QTest::newRow("more rejects than pieces") << 1.5 << 1 << 3 << QStringLiteral("-3");
        QTest::newRow("the largest entry") << 1000000.0 << 1000000 << 0 << QStringLiteral("1000000000000");
    }
    void amountsAreExact() {
        QFETCH(double, price);
        QFETCH(int, qty);
        QFETCH(int, rejects);
        QFETCH(QString, amount);
        QCOMPARE(entry::amount(record(1, 1, QDate(2024, 3, 4), price, qty, rejects)), dec(amount));
    }
};

QTEST_MAIN(TestMoney)
#include "test_money.moc"
