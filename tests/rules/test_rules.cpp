// The rules that need no database: price coefficients, rounding, number parsing and
// limits, periods and weekends, the order of the timesheet locks, the entry fields'
// checks, the working day a shift copy starts from, auxiliary work's rate and statements.
#include "domain/auxwork.h"
#include "domain/entry_rules.h"
#include "domain/entry_store.h"
#include "domain/limits.h"
#include "domain/locks.h"
#include "domain/shift_copy.h"
#include "domain/timesheet_rules.h"

#include <QRegularExpression>
#include <QtTest>
#include <limits>

using namespace mirn;

class TestRules : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

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

    // ------------------------------------------------------------ entries: prices shown, fields checked

    void coefficientsShown_data() {
        QTest::addColumn<bool>("dayOff");
        QTest::addColumn<int>("shift");
        QTest::addColumn<double>("factor");
        QTest::newRow("working day, shift 1") << false << 1 << 1.0;
        QTest::newRow("working day, shift 2") << false << 2 << 1.0;
        QTest::newRow("working day, shift 3") << false << 3 << 1.2;
        QTest::newRow("working day, overtime") << false << 4 << 1.5;
        QTest::newRow("day off, shift 1") << true << 1 << 2.0;
        QTest::newRow("day off, shift 2") << true << 2 << 2.0;
        QTest::newRow("day off, shift 3") << true << 3 << 2.4;
        QTest::newRow("day off, overtime") << true << 4 << 3.0;
    }
    void coefficientsShown() {
        QFETCH(bool, dayOff);
        QFETCH(int, shift);
        QFETCH(double, factor);
        QCOMPARE(entry::finalPrice(10, dayOff, shift), 10 * factor);
        QCOMPARE(entry::displayNumber(entry::finalPrice(10, dayOff, shift)), QString::number(10 * factor));
    }

    void priceRoundingAndDisplay_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("sqlText");
        QTest::addColumn<QString>("commaDisplay");
        QTest::newRow("four decimals") << 10.123456 << "10.1235" << "10,1235";
        QTest::newRow("half, even below") << 2.00005 << "2" << "2";
        QTest::newRow("half, even above") << 2.00015 << "2.0002" << "2,0002";
        QTest::newRow("half, typed price") << 12.34565 << "12.3456" << "12,3456";
        QTest::newRow("one decimal") << 12.5 << "12.5" << "12,5";
        QTest::newRow("whole") << 24.0 << "24" << "24";
        QTest::newRow("below the fourth decimal") << 0.00004 << "0" << "0";
        QTest::newRow("negative tiny") << -0.00001 << "0" << "0";
        QTest::newRow("large") << 1234567.891 << "1234567.891" << "1234567,891";
        QTest::newRow("shift 3 of 10.123456") << 10.123456 * 1.2 << "12.1481" << "12,1481";
    }
    void priceRoundingAndDisplay() {
        QFETCH(double, value);
        QFETCH(QString, sqlText);
        QFETCH(QString, commaDisplay);
        QCOMPARE(entry::priceText(value), sqlText);
        QCOMPARE(entry::displayNumber(value), sqlText);
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        QCOMPARE(entry::displayNumber(value), commaDisplay);
        QCOMPARE(entry::priceText(value), sqlText);  // the statement always gets a point
        QLocale::setDefault(QLocale::c());
    }

    void validation_data() {
        QTest::addColumn<QStringList>("fields");  // worker, operation, qty, rejects, colour, hours
        QTest::addColumn<QString>("message");
        const QString fill = entry::kFillAllFields;
        const QString cut = QStringLiteral("КР-100; Резка; Готовая продукция"), paint = QStringLiteral("ХМ-40; Окраска; Заготовки");
        QTest::newRow("complete") << QStringList{"Иванов", cut, "8", "0", "", "5"} << QString();
        QTest::newRow("no worker") << QStringList{"", cut, "8", "0", "", "5"} << fill;
        QTest::newRow("blank worker") << QStringList{"   ", cut, "8", "0", "", "5"} << fill;
        QTest::newRow("no operation") << QStringList{"Иванов", " ", "8", "0", "", "5"} << fill;
        QTest::newRow("no quantity") << QStringList{"Иванов", cut, "", "0", "", "5"} << fill;
        QTest::newRow("no rejects") << QStringList{"Иванов", cut, "8", "", "", "5"} << fill;
        QTest::newRow("paint without colour") << QStringList{"Иванов", paint, "8", "0", " ", "5"} << fill;
        QTest::newRow("paint with colour") << QStringList{"Иванов", paint, "8", "0", "1013", "5"} << QString();
        QTest::newRow("no hours") << QStringList{"Иванов", cut, "8", "0", "", ""} << fill;
        // Empty fields are refused before any text is looked at as a number.
        QTest::newRow("empty beats not a number") << QStringList{"Иванов", cut, "x", "0", "", ""} << fill;
        QTest::newRow("pasted quantity")
            << QStringList{"Иванов", cut, "1,5", "0", "", "5"} << entry::notANumberMessage("Кол-во", "1,5");
        QTest::newRow("quantity first of two") << QStringList{"Иванов", cut, "8a", "x", "", "5"}
                                               << entry::notANumberMessage("Кол-во", "8a");
        QTest::newRow("pasted rejects") << QStringList{"Иванов", cut, "8", "-1", "", "5"}
                                        << entry::notANumberMessage("Брак", "-1");
        QTest::newRow("pasted colour") << QStringList{"Иванов", paint, "8", "0", "12.5", "5"}
                                       << entry::notANumberMessage("Цвет", "12.5");
        QTest::newRow("pasted hours") << QStringList{"Иванов", cut, "8", "0", "", "8 ч"}
                                      << entry::notANumberMessage("Время", "8 ч");
        QTest::newRow("too large") << QStringList{"Иванов", cut, "99999999999", "0", "", "5"}
                                   << entry::notANumberMessage("Кол-во", "99999999999");
        QTest::newRow("blanks around digits") << QStringList{"Иванов", cut, " 8 ", "0", "", " 5"} << QString();
        QTest::newRow("rejects above quantity") << QStringList{"Иванов", cut, "2", "9", "", "5"} << QString();
    }
    void validation() {
        QFETCH(QStringList, fields);
        QFETCH(QString, message);
        const entry::Fields f{fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]};
        QString got;
        if (auto m = entry::missingField(f)) got = *m;
        else if (auto n = entry::notANumber(f)) got = *n;
        QCOMPARE(got, message);
    }

    // ------------------------------------------------------------ the copy of a shift

    void previousWorkingDay_data() {
        QTest::addColumn<QDate>("day");
        QTest::addColumn<QDate>("expected");
        QTest::newRow("Tuesday") << QDate(2024, 3, 5) << QDate(2024, 3, 4);
        QTest::newRow("Monday") << QDate(2024, 3, 4) << QDate(2024, 3, 1);
        QTest::newRow("Sunday") << QDate(2024, 3, 10) << QDate(2024, 3, 8);
        QTest::newRow("Saturday") << QDate(2024, 3, 9) << QDate(2024, 3, 8);
        QTest::newRow("first of a month, a Monday") << QDate(2024, 4, 1) << QDate(2024, 3, 29);
    }
    void previousWorkingDay() {
        QFETCH(QDate, day);
        QFETCH(QDate, expected);
        QCOMPARE(entry::previousWorkingDay(day), expected);
    }

    // ------------------------------------------------------------ auxiliary work: rate and statements

    void rateText_data() {
        QTest::addColumn<QVariant>("price");
        QTest::addColumn<QString>("text");
        QTest::newRow("exact decimal") << QVariant(QStringLiteral("150.500000")) << "150.5";
        QTest::newRow("whole") << QVariant(QStringLiteral("150.000000")) << "150";
        QTest::newRow("floating") << QVariant(180.25) << "180.25";
        QTest::newRow("none") << QVariant() << "";
    }
    void rateText() {
        QFETCH(QVariant, price);
        QFETCH(QString, text);
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        QCOMPARE(auxwork::rateText(price), text);
        auxwork::Entry e;
        e.id_nom = 2;
        e.kind = 7777;
        e.id_p = 1;
        e.hours = 8;
        e.rate = QStringLiteral("150.5");
        e.date = QDate(2024, 3, 5);
        e.shift = 3;
        QCOMPARE(auxwork::insertStatement(e),
                 QStringLiteral("INSERT INTO accounts_dep.fatigue(id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, "
                                "price)VALUES(2, 7777 ,1, '05.03.2024', 3, 2024, 3, 8, 150.5)"));
        QCOMPARE(auxwork::updateStatement(e, 42),
                 QStringLiteral("UPDATE accounts_dep.fatigue SET id_nom=2, id_o=7777, id_p=1, cnt=8, price=150.5 where id=42"));
    }
};

QTEST_APPLESS_MAIN(TestRules)
#include "test_rules.moc"
