// The rules that need no database: price coefficients, rounding, number parsing and
// limits, periods and weekends, the order of the timesheet locks.
#include "domain/entry_rules.h"
#include "domain/entry_store.h"
#include "domain/limits.h"
#include "domain/locks.h"
#include "domain/timesheet_rules.h"

#include <QRegularExpression>
#include <QtTest>
#include <limits>

using namespace mirn;

class TestRules : public QObject {
    Q_OBJECT

private slots:
    void coefficients_data() {
        QTest::addColumn<bool>("dayOff");
        QTest::addColumn<int>("shift");
        QTest::addColumn<double>("price");
        QTest::newRow("weekday, shift 1") << false << 1 << 10.0;
        QTest::newRow("weekday, shift 2") << false << 2 << 10.0;
        QTest::newRow("weekday, shift 3") << false << 3 << 12.0;
        QTest::newRow("weekday, overtime") << false << 4 << 15.0;
        QTest::newRow("day off, shift 1") << true << 1 << 20.0;
        QTest::newRow("day off, shift 3") << true << 3 << 24.0;
        QTest::newRow("day off, overtime") << true << 4 << 30.0;
    }
    void coefficients() {
        QFETCH(bool, dayOff);
        QFETCH(int, shift);
        QFETCH(double, price);
        QCOMPARE(entry::round4(entry::finalPrice(10, dayOff, shift)), price);
    }

    void rounding_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("shown");
        QTest::newRow("four decimals kept") << 10.1234 << "10.1234";
        QTest::newRow("fifth decimal rounds up") << 10.123456 << "10.1235";
        QTest::newRow("half to even, down") << 12.34565 << "12.3456";
        QTest::newRow("half to even, up") << 12.34575 << "12.3458";
        QTest::newRow("no negative zero") << -0.00001 << "0";
        QTest::newRow("shift 3 of 2.47") << 2.47 * 1.2 << "2.964";
    }
    void rounding() {
        QFETCH(double, value);
        QFETCH(QString, shown);
        QCOMPARE(entry::priceText(value), shown);
    }

    void parsing_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("isNumber");
        QTest::addColumn<double>("value");
        QTest::newRow("comma") << "1,5" << true << 1.5;
        QTest::newRow("point") << " 0.025 " << true << 0.025;
        QTest::newRow("sign") << "-5" << true << -5.0;
        QTest::newRow("nan") << "nan" << false << 0.0;
        QTest::newRow("NaN") << "NaN" << false << 0.0;
        QTest::newRow("inf") << "inf" << false << 0.0;
        QTest::newRow("exponent") << "1e5" << false << 0.0;
        QTest::newRow("two separators") << "1,2.3" << false << 0.0;
        QTest::newRow("empty") << "" << false << 0.0;
        QTest::newRow("Arabic-Indic digits") << QString::fromUtf8("١٢") << false << 0.0;
    }
    void parsing() {
        QFETCH(QString, text);
        QFETCH(bool, isNumber);
        QFETCH(double, value);
        const auto v = limits::parse(text);
        QCOMPARE(v.has_value(), isNumber);
        if (isNumber) QCOMPARE(*v, value);
    }

    // A refusal names the field and the range; a value inside passes.
    void limits_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("refused");
        QTest::newRow("quantity at the top") << "Кол-во" << "1000000" << false;
        QTest::newRow("quantity above") << "Кол-во" << "99999999" << true;
        QTest::newRow("quantity negative") << "Кол-во" << "-1" << true;
        QTest::newRow("quantity not whole") << "Кол-во" << "1,5" << true;
        QTest::newRow("hours of a day") << "Время" << "24" << false;
        QTest::newRow("hours above a day") << "Время" << "25" << true;
        QTest::newRow("price nan") << "Цена" << "nan" << true;
        QTest::newRow("price with kopecks") << "Цена" << "2,96" << false;
        QTest::newRow("mass NaN") << "Масса" << "NaN" << true;
        QTest::newRow("mass negative") << "Масса" << "-5" << true;
        QTest::newRow("mass exponent") << "Масса" << "1e5" << true;
        QTest::newRow("mass fraction") << "Масса" << "0.025" << false;
    }
    void limits() {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(bool, refused);
        const limits::Range* ranges[] = {&limits::kQuantity, &limits::kHours, &limits::kPrice, &limits::kMass};
        const limits::Range* range = nullptr;
        for (const limits::Range* r : ranges)
            if (r->field == field) range = r;
        QVERIFY(range);
        const auto refusal = limits::check(*range, text);
        QCOMPARE(refusal.has_value(), refused);
        if (refused) {
            QVERIFY2(refusal->contains(QLatin1Char('"') + field + QLatin1Char('"')), qPrintable(*refusal));
            QVERIFY2(refusal->contains(QStringLiteral(" до ")), qPrintable(*refusal));
        }
    }

    // An entry whose amount alone would break the month's sum is refused before it is sent.
    void entryAmount() {
        entry::Record r;
        r.kol_vo = 1000000;
        r.cena = 99.99;
        QVERIFY(!entry::outOfRange(r));
        r.cena = 100.01;
        QVERIFY(entry::outOfRange(r).has_value());
        r.cena = std::numeric_limits<double>::quiet_NaN();
        QVERIFY(entry::outOfRange(r).has_value());
        r.cena = 1;
        r.time = 25;
        QVERIFY(entry::outOfRange(r)->contains(QStringLiteral("Время")));
    }

    void periods_data() {
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("year");
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<int>("days");
        QTest::newRow("December ends on 1 January") << 12 << 2024 << QDate(2024, 12, 1) << QDate(2025, 1, 1) << 31;
        QTest::newRow("leap February") << 2 << 2024 << QDate(2024, 2, 1) << QDate(2024, 3, 1) << 29;
        QTest::newRow("plain February") << 2 << 2023 << QDate(2023, 2, 1) << QDate(2023, 3, 1) << 28;
        QTest::newRow("no year chosen") << 3 << 0 << QDate() << QDate() << 0;
    }
    void periods() {
        QFETCH(int, month);
        QFETCH(int, year);
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(int, days);
        const timesheet::Period p = timesheet::monthPeriod(month, year);
        QCOMPARE(p.date1, from);
        QCOMPARE(p.date2, to);
        QCOMPARE(timesheet::daysInMonth(month, year), days);
    }

    // June 2024 starts on a Saturday.
    void weekends() {
        const auto kinds = timesheet::dayKinds(6, 2024);
        QList<int> red;
        for (int d = 1; d <= 31; ++d)
            if (kinds[size_t(d - 1)] == timesheet::DayKind::Weekend) red << d;
        QCOMPARE(red, (QList<int>{1, 2, 8, 9, 15, 16, 22, 23, 29, 30}));
        QCOMPARE(kinds[30], timesheet::DayKind::Beyond);
    }

    // Month locks come before worker locks, each kind ascending and once, so no two
    // writers can wait for each other in a circle.
    void lockOrder() {
        const QDate march(2024, 3, 5);
        const QList<locks::Day> days{{7, march.addMonths(1), 1}, {3, march, 2}, {7, march, 1}, {3, march.addDays(1), 2}};
        const QString sql = locks::statement(days, locks::MonthMode::Shared);
        const QRegularExpression call(QStringLiteral("(pg_advisory_xact_lock(?:_shared)?)\\((-?\\d+)\\)"));
        QStringList kinds;
        QList<qint64> keys;
        for (auto it = call.globalMatch(sql); it.hasNext();) {
            const auto m = it.next();
            kinds << m.captured(1);
            keys << m.captured(2).toLongLong();
        }
        // Two months shared; the worker months 3/Mar, 7/Mar, 7/Apr; the worker shifts
        // 3/2/Mar, 7/1/Mar, 7/1/Apr.
        QCOMPARE(kinds, (QStringList{"pg_advisory_xact_lock_shared", "pg_advisory_xact_lock_shared",
                                     "pg_advisory_xact_lock", "pg_advisory_xact_lock", "pg_advisory_xact_lock",
                                     "pg_advisory_xact_lock", "pg_advisory_xact_lock", "pg_advisory_xact_lock"}));
        QCOMPARE(keys[0], locks::monthKey(2024, 3));
        QCOMPARE(keys[1], locks::monthKey(2024, 4));
        QCOMPARE(keys.mid(2, 3), (QList<qint64>{locks::workerMonthKey({3, march, 2}), locks::workerMonthKey({7, march, 1}),
                                               locks::workerMonthKey({7, march.addMonths(1), 1})}));
        QVERIFY(keys[2] < keys[3] && keys[3] < keys[4]);
        QVERIFY(keys[5] < keys[6] && keys[6] < keys[7]);
        QCOMPARE(keys.mid(5), (QList<qint64>{locks::workerKey({3, march, 2}), locks::workerKey({7, march, 1}),
                                            locks::workerKey({7, march.addMonths(1), 1})}));
        // A worker's month is one lock whatever the shift; other workers and months are not.
        QCOMPARE(locks::workerMonthKey({101, march, 1}), locks::workerMonthKey({101, march.addDays(9), 4}));
        QVERIFY(locks::workerMonthKey({101, march, 1}) != locks::workerMonthKey({102, march, 1}));
        QVERIFY(locks::workerMonthKey({101, march, 1}) != locks::workerMonthKey({101, march.addMonths(1), 1}));
        // Days of one worker's month share a lock; other months, shifts and workers do not.
        const locks::Day d{101, march, 1};
        QCOMPARE(locks::workerKey(d), locks::workerKey({101, march.addDays(20), 1}));
        QVERIFY(locks::workerKey(d) != locks::workerKey({101, march.addMonths(1), 1}));
        QVERIFY(locks::workerKey(d) != locks::workerKey({101, march.addYears(1), 1}));
        QVERIFY(locks::workerKey(d) != locks::workerKey({101, march, 4}));
        QVERIFY(locks::workerKey(d) != locks::workerKey({102, march, 1}));
        // A rebuild holds whole months and no worker lock.
        QCOMPARE(locks::statement(days, locks::MonthMode::Exclusive).count(QStringLiteral("pg_advisory_xact_lock(")), 2);
    }
};

QTEST_APPLESS_MAIN(TestRules)
#include "test_rules.moc"
