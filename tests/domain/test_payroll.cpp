// The payroll file of a closed month: refused for an open month, its amounts equal to the
// earnings statement and the report by workers, the workbook and both CSV encodings read
// back and compared with sums the database makes itself, and its check catching a change.
// Two months of one database: the demo's current month, and a generated next month with
// a worker booked by the register's row id, coloured entries, a day off, shift 3,
// overtime, prices with fractions of a kopeck and auxiliary work.
#include "domain/payroll.h"
#include "domain/period.h"
#include "papers/earnings.h"
#include "papers/layouts.h"
#include "papers/payroll_export.h"
#include "support/database.h"
#include "support/sheet_readback.h"

#include <QtTest>

using namespace mirn;

namespace {

const QString kDb = QStringLiteral("t_payroll");

QDate demoMonth() { return QDate(QDate::currentDate().year(), QDate::currentDate().month(), 1); }
QDate generatedMonth() { return demoMonth().addMonths(1); }

int psqlFile(const QString& file) {
    QProcess p;
    p.start(QStringLiteral("psql"), {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
                                     QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-d"), kDb, QStringLiteral("-f"), file});
    p.waitForFinished(120000);
    if (p.exitCode() != 0) qWarning().noquote() << p.readAllStandardError();
    return p.exitCode();
}

// The catalog of a database as pg_dump writes it (without the random key around it).
QString schemaDump(const QString& db) {
    QProcess p;
    p.start(QStringLiteral("pg_dump"), {QStringLiteral("-s"), db});
    p.waitForFinished(120000);
    QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split(u'\n');
    lines.removeIf([](const QString& l) { return l.startsWith(QLatin1String("\\restrict")) || l.startsWith(QLatin1String("\\unrestrict")); });
    return lines.join(u'\n');
}

int psqlFileOn(const QString& db, const QString& file) {
    QProcess p;
    p.start(QStringLiteral("psql"), {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
                                     QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-d"), db, QStringLiteral("-f"), file});
    p.waitForFinished(120000);
    return p.exitCode();
}

// Three workers of their own in the month after the demo's: Алексеев (code 30001) with a
// primer entry, overtime, a day-off entry and auxiliary work; Борисова (code 30002) in
// shift 3 with a RAL colour and prices with fractions of a kopeck; Цветков booked by the
// register's row id 5003 (his code is 30003), with auxiliary work booked the same way.
void loadGeneratedMonth() {
    const QDate m = generatedMonth();
    auto day = [&](int d) { return QStringLiteral("'%1'").arg(m.addDays(d - 1).toString(Qt::ISODate)); };
    // The first Saturday of the month, for the day-off entry.
    int saturday = 1;
    while (m.addDays(saturday - 1).dayOfWeek() != 6) ++saturday;
    testdb::exec(QStringLiteral("insert into cmn_contractor.person(id, s_caption, s_code) values "
                                "(5001, 'Алексеев А.А.', '30001'), (5002, 'Борисова Б.Б.', '30002'), (5003, 'Цветков В.В.', '30003')"));
    testdb::exec(QStringLiteral("insert into accounts_dep.person(id, fio) values (30001, 'Алексеев А.А.'), "
                                "(30002, 'Борисова Б.Б.'), (5003, 'Цветков В.В.')"));
    const QString cut = QStringLiteral("(select min(id) from accounts_dep.oper)");
    const QString paint = QStringLiteral("(select min(o.id) from accounts_dep.oper o join accounts_dep.vid_oper v on v.id=o.vid"
                                         " where upper(v.vid) like '%КРАСК%')");
    const QString product = QStringLiteral("(select min(id) from accounts_dep.izdel)");
    auto entry = [&](int w, const QString& op, double cena, int qty, int brk, int d, int shift, int color, int hours) {
        testdb::exec(QStringLiteral("insert into accounts_dep.smena(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok)"
                                    " values (%1, %2, %3, %4, %5, %6, %7, %8, %9, %10, 'ok')")
                         .arg(w)
                         .arg(product, op)
                         .arg(cena, 0, 'g', 17)
                         .arg(qty)
                         .arg(brk)
                         .arg(day(d))
                         .arg(shift)
                         .arg(color)
                         .arg(hours));
    };
    entry(30001, paint, 2.5, 40, 2, 4, 1, 1, 8);            // primer
    entry(30001, cut, 1.125, 1, 0, 4, 4, 0, 2);             // overtime: half a kopeck
    entry(30001, cut, 1.5 * 2, 10, 0, saturday, 1, 0, 6);   // day off, doubled
    entry(30002, paint, 3.3335 * 1.2, 7, 0, 5, 3, 7024, 8); // shift 3, RAL 7024
    entry(30002, cut, 1.2345 * 1.2, 9, 1, 6, 3, 0, 8);
    entry(30002, cut, 0.4005, 1, 0, 7, 4, 0, 1);            // overtime
    entry(5003, cut, 1.75, 30, 3, 5, 2, 0, 8);              // by the register's row id
    entry(5003, paint, 2.2, 12, 0, 6, 2, 1, 7);
    const QString aux = QStringLiteral("(select min(id) from accounts_dep.vid_oper where id>=7777)");
    testdb::exec(QStringLiteral("insert into accounts_dep.fatigue(id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price) values "
                                "(%1, 30001, %2, %3, %4, 1, 4, 150.50), (%1, 5003, %5, %3, %4, 2, 3, 99.99)")
                     .arg(aux, day(8))
                     .arg(m.month())
                     .arg(m.year())
                     .arg(day(9)));
}

// The month's rows as the database adds them up by itself: each worker by their number
// (an entry by the register's row stands for that person's number), the amounts rounded
// to kopecks, fields as the CSV writes them.
QMap<int, QStringList> sqlRows(const QDate& m) {
    const QString sql = QStringLiteral(
        "with x as ("
        " select s.w_id as k, 1 as sec, s.data, s.smena::int as sh, s.time::numeric as h, ((s.kol_vo-s.brak)*s.cena)::numeric as a"
        "  from accounts_dep.smena s where s.data >= '%1' and s.data < '%2'"
        " union all select f.id_p::int, 2, f.d_date, f.i_smena, f.cnt::numeric, (f.cnt*f.price)::numeric"
        "  from accounts_dep.fatigue f where f.d_date >= '%1' and f.d_date < '%2'),"
        " t as (select case when exists (select 1 from cmn_contractor.person p where p.s_code = x.k::text) then x.k"
        "  else coalesce((select p.s_code::int from cmn_contractor.person p where p.id = x.k), x.k) end as tab, x.* from x)"
        " select tab, (select min(p.s_caption) from cmn_contractor.person p where p.s_code = tab::text),"
        "  to_char(round(coalesce(sum(a) filter (where sec=1), 0), 2), 'FM9999999990.00'),"
        "  to_char(round(coalesce(sum(a) filter (where sec=2), 0), 2), 'FM9999999990.00'),"
        "  coalesce(sum(h) filter (where sh=1), 0), coalesce(sum(h) filter (where sh=2), 0),"
        "  coalesce(sum(h) filter (where sh=3), 0), coalesce(sum(h) filter (where sh=4), 0),"
        "  count(distinct data), to_char(round(sum(a), 2), 'FM9999999990.00') from t group by tab");
    QMap<int, QStringList> out;
    for (const QVariantList& r : testdb::rows(sql.arg(m.toString(Qt::ISODate), m.addMonths(1).toString(Qt::ISODate)))) {
        QStringList f;
        for (const QVariant& v : r) f << v.toString();
        for (const int money : {2, 3, 9}) f[money].replace(QLatin1Char('.'), QLatin1Char(','));
        out.insert(r[0].toInt(), f);
    }
    return out;
}

// What the earnings statement of every worker prints (C locale), by personnel number:
// piece, auxiliary, all, hours of shifts 1..4. One statement for all, a worker a page.
QMap<int, QStringList> statementFigures(const QDate& m) {
    const rpt::PreparedReport r = papers::earningsStatement(m, m.addMonths(1), 0);
    const QStringList names{QStringLiteral("pieceTotal"), QStringLiteral("auxTotal"), QStringLiteral("grandTotal"),
                            QStringLiteral("shift1"),     QStringLiteral("shift2"),   QStringLiteral("shift3"),
                            QStringLiteral("shift4")};
    static const QRegularExpression tab(QStringLiteral("\\(таб\\. № ([0-9]+)\\)$"));
    QMap<int, QStringList> out;
    int current = 0;
    for (const rpt::PreparedPage& p : r.pages)
        for (const rpt::PreparedItem& it : p.items) {
            if (it.element == QLatin1String("fio")) {
                current = tab.match(it.text).captured(1).toInt();
                if (!out.contains(current)) out.insert(current, QStringList(names.size(), QString()));
            }
            const int i = names.indexOf(it.element);
            if (i >= 0 && current) out[current][i] = it.text;
        }
    return out;
}

// The report by workers: each worker's amount as printed, by name.
QMap<QString, QString> reportByWorkers(const QDate& m) {
    papers::TForm16 f;
    f.t_Report.setParam(QStringLiteral("data1"), m);
    f.t_Report.setParam(QStringLiteral("data2"), m.addMonths(1));
    f.t_Report.open();
    const rpt::PreparedReport& r = f.Prepare();
    QMap<QString, QString> out;
    QString name;
    for (const rpt::PreparedPage& p : r.pages)
        for (const rpt::PreparedItem& it : p.items) {
            if (it.isBand) continue;
            if (it.band == QLatin1String("fio")) name = it.text;
            if (it.band == QLatin1String("fioFooter")) out.insert(name, it.text);
        }
    f.t_Report.close();
    return out;
}

QString dotted(QString s) { return s.replace(QLatin1Char(','), QLatin1Char('.')); }

}  // namespace

class TestPayroll : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    // Read back per file: rows of fields as a spreadsheet or a CSV reader shows them.
    QMap<QString, QList<QStringList>> readBack_;

    QString file(const QString& name) const { return dir_.filePath(name); }

    papers::PayrollOutcome exportTo(const QDate& m, papers::PayrollFormat f, papers::CsvEncoding e, const QString& path) {
        return papers::exportPayroll(m.month(), m.year(), f, e, path, QStringLiteral("Администратор"), payroll::Settings());
    }

private slots:
    void initTestCase() {
        QLocale::setDefault(QLocale::c());
        QVERIFY(dir_.isValid());
        testdb::openFresh(kDb, true);
        loadGeneratedMonth();
    }

    // Without the extension nothing is closed, and the export asks for nothing; nothing
    // is recorded either.
    void withoutExtensionNoCloseNeeded() {
        QVERIFY(payroll::refusal(demoMonth().month(), demoMonth().year()).isEmpty());
        const auto r = exportTo(demoMonth(), papers::PayrollFormat::Csv, papers::CsvEncoding::Utf8, file(QStringLiteral("no-ext.csv")));
        QVERIFY2(r.done, qPrintable(r.message));
        QVERIFY(!r.recorded);
        QCOMPARE(r.rows, 20);
    }

    // With it an open month is refused by the client and by the database's function.
    void openMonthRefused() {
        QCOMPARE(psqlFile(QStringLiteral(MIRN_SOURCE_DIR "/db/extension.sql")), 0);
        const QDate m = generatedMonth();
        const QString expected = QStringLiteral("Месяц не закрыт: ") + period::monthCaption(m.month(), m.year());
        QVERIFY2(payroll::refusal(m.month(), m.year()).startsWith(expected), qPrintable(payroll::refusal(m.month(), m.year())));
        const QString path = file(QStringLiteral("open.xlsx"));
        const auto r = exportTo(m, papers::PayrollFormat::Xlsx, papers::CsvEncoding::Utf8, path);
        QVERIFY(!r.done);
        QVERIFY(r.message.startsWith(expected));
        QVERIFY(!QFileInfo::exists(path));
        try {
            testdb::exec(QStringLiteral("select accounts_dep.payroll_export_record(%1, %2, 'x.csv', 'h', 1, '')").arg(m.year()).arg(m.month()));
            QFAIL("the database recorded an export of an open month");
        } catch (const DbError& e) {
            QCOMPARE(e.sqlState(), QStringLiteral("ML002"));
        }
        for (const QDate& c : {demoMonth(), generatedMonth()})
            testdb::exec(QStringLiteral("insert into accounts_dep.period_lock(year, month, closed_by) values (%1, %2, 'Администратор')")
                             .arg(c.year())
                             .arg(c.month()));
        QVERIFY(payroll::refusal(m.month(), m.year()).isEmpty());
    }

    // Per worker: the payroll row is the earnings statement's figures, the report by
    // workers' amount where that report shows the worker, and the database's own sums.
    void amountsEqualPapers_data() {
        QTest::addColumn<QDate>("month");
        QTest::addColumn<int>("workers");
        QTest::addColumn<QString>("unseen");  // booked by the register's row: not in the report
        QTest::newRow("demo, current month") << demoMonth() << 20 << "Богданов К.Е.";
        QTest::newRow("generated month") << generatedMonth() << 3 << "Цветков В.В.";
    }
    void amountsEqualPapers() {
        QFETCH(QDate, month);
        QFETCH(int, workers);
        QFETCH(QString, unseen);
        const std::vector<payroll::Row> rows = payroll::rows(month.month(), month.year());
        QCOMPARE(int(rows.size()), workers);
        const QMap<QString, QString> report = reportByWorkers(month);
        const QMap<int, QStringList> sql = sqlRows(month);
        QCOMPARE(sql.size(), workers);
        const QMap<int, QStringList> statements = statementFigures(month);
        QCOMPARE(statements.size(), workers);
        QVERIFY2(!report.contains(unseen), qPrintable(unseen));
        int inReport = 0;
        for (const payroll::Row& r : rows) {
            const QString who = QStringLiteral("%1 (%2)").arg(r.name).arg(r.tabNo);
            const QStringList st = statements.value(r.tabNo);
            const QStringList mine{dotted(payroll::cellText(payroll::ColumnKind::Money, r.piece)),
                                   dotted(payroll::cellText(payroll::ColumnKind::Money, r.aux)),
                                   dotted(payroll::cellText(payroll::ColumnKind::Money, r.total)),
                                   r.hours[0].toString(), r.hours[1].toString(), r.hours[2].toString(), r.hours[3].toString()};
            QCOMPARE(mine.join(u'|') + u' ' + who, st.join(u'|') + u' ' + who);
            if (report.contains(r.name)) {
                ++inReport;
                QCOMPARE(dotted(payroll::cellText(payroll::ColumnKind::Money, r.piece)) + u' ' + who, report[r.name] + u' ' + who);
            } else {
                QCOMPARE(r.name, unseen);
            }
            const QStringList s = sql.value(r.tabNo);
            QCOMPARE(QStringList({QString::number(r.tabNo), r.name, payroll::cellText(payroll::ColumnKind::Money, r.piece),
                                  payroll::cellText(payroll::ColumnKind::Money, r.aux), r.hours[0].toString(QStringLiteral(",")),
                                  r.hours[1].toString(QStringLiteral(",")), r.hours[2].toString(QStringLiteral(",")),
                                  r.hours[3].toString(QStringLiteral(",")), QString::number(r.days),
                                  payroll::cellText(payroll::ColumnKind::Money, r.total)}),
                     s);
        }
        QCOMPARE(inReport, workers - 1);
    }

    // Every file of both months, the workbooks read back by one LibreOffice run.
    void writeAndReadBack() {
        QStringList workbooks;
        for (const auto& [tag, m] : {std::pair{QStringLiteral("demo"), demoMonth()}, std::pair{QStringLiteral("gen"), generatedMonth()}}) {
            for (const auto& [suffix, format, enc] :
                 {std::tuple{QStringLiteral(".xlsx"), papers::PayrollFormat::Xlsx, papers::CsvEncoding::Utf8},
                  std::tuple{QStringLiteral("-utf8.csv"), papers::PayrollFormat::Csv, papers::CsvEncoding::Utf8},
                  std::tuple{QStringLiteral("-cp1251.csv"), papers::PayrollFormat::Csv, papers::CsvEncoding::Cp1251}}) {
                const QString path = file(tag + suffix);
                const auto r = exportTo(m, format, enc, path);
                QVERIFY2(r.done && r.recorded, qPrintable(r.message));
                if (format == papers::PayrollFormat::Xlsx) workbooks << path;
            }
        }
        // Each export is in the history, with its file and hash.
        QCOMPARE(testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.change_log where table_name = 'payroll_export'"
                                                  " and action = 'insert' and new_row->>'file_name' like 'gen%' and length(new_row->>'sha256') = 64"
                                                  " and new_row->>'totals' ~ '^1010=[0-9]+[.][0-9]{2};1020=[0-9]+[.][0-9]{2};1000=[0-9]+[.][0-9]{2}$'")),
                 3);

        // A CSV is decoded with the encoding it is named for, by the system's iconv.
        for (const QString& f : QDir(dir_.path()).entryList({QStringLiteral("*.csv")})) {
            QProcess p;
            p.start(QStringLiteral("iconv"), {QStringLiteral("-f"), f.contains(QLatin1String("cp1251")) ? QStringLiteral("WINDOWS-1251") : QStringLiteral("UTF-8"),
                                              QStringLiteral("-t"), QStringLiteral("UTF-8"), file(f)});
            QVERIFY(p.waitForFinished(30000));
            QCOMPARE(p.exitCode(), 0);
            QString text = QString::fromUtf8(p.readAllStandardOutput());
            if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
            QList<QStringList> rows;
            for (const QString& line : text.split(QStringLiteral("\r\n"))) rows << line.split(u';');
            readBack_.insert(f, rows);
        }

        const QString soffice = sheet_readback::sofficeProgram();
        if (soffice.isEmpty()) QSKIP("LibreOffice is not installed");
        QTemporaryDir profile, out;
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        env.remove(QStringLiteral("DISPLAY"));
        p.setProcessEnvironment(env);
        p.start(soffice, QStringList{QStringLiteral("--headless"), QStringLiteral("--norestore"),
                                     QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile.path()).toString(),
                                     QStringLiteral("--convert-to"), QStringLiteral("csv:Text - txt - csv (StarCalc):59,34,76"),
                                     QStringLiteral("--outdir"), out.path()} +
                             workbooks);
        QVERIFY(p.waitForFinished(180000));
        for (const QString& w : workbooks) {
            QFile csv(QDir(out.path()).filePath(QFileInfo(w).completeBaseName() + QStringLiteral(".csv")));
            QVERIFY2(csv.open(QIODevice::ReadOnly), qPrintable(QString::fromUtf8(p.readAll())));
            QList<QStringList> rows;
            for (const QString& line : QString::fromUtf8(csv.readAll()).split(u'\n')) rows << line.split(u';');
            readBack_.insert(QFileInfo(w).fileName(), rows);
        }
    }

    // Each file's data rows are the database's sums, its control block their totals.
    void formatsReadBack_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QDate>("month");
        for (const auto& [tag, m] : {std::pair{QStringLiteral("demo"), demoMonth()}, std::pair{QStringLiteral("gen"), generatedMonth()}})
            for (const QString& suffix : {QStringLiteral(".xlsx"), QStringLiteral("-utf8.csv"), QStringLiteral("-cp1251.csv")})
                QTest::newRow(qPrintable(tag + suffix)) << tag + suffix << m;
    }
    void formatsReadBack() {
        QFETCH(QString, name);
        QFETCH(QDate, month);
        if (!readBack_.contains(name)) QSKIP("not read back (LibreOffice missing)");
        QList<QStringList> rows = readBack_.value(name);
        // A spreadsheet shows numbers with a decimal point; the CSV writes a comma.
        if (name.endsWith(QLatin1String(".xlsx")))
            for (QStringList& r : rows)
                for (QString& f : r)
                    if (r.value(0) != QStringLiteral("Месяц") && QRegularExpression(QStringLiteral("^-?[0-9]+\\.[0-9]+$")).match(f).hasMatch()) f.replace(u'.', u',');
        const QMap<int, QStringList> sql = sqlRows(month);
        QCOMPARE(rows.value(0).value(2), QStringLiteral("Сдельно (1010)"));
        int i = 1;
        Decimal piece, aux, total;
        for (; i < rows.size() && !rows[i].value(0).isEmpty(); ++i) {
            const QStringList& r = rows[i];
            QCOMPARE(r, sql.value(r.value(0).toInt()));
            piece += *Decimal::parse(dotted(r[2]));
            aux += *Decimal::parse(dotted(r[3]));
            total += *Decimal::parse(dotted(r[9]));
        }
        QCOMPARE(i - 1, sql.size());
        QMap<QString, QString> control;
        for (int k = i + 1; k < rows.size(); ++k) control.insert(rows[k].value(0), rows[k].value(1));
        QCOMPARE(control.value(QStringLiteral("Месяц")), QStringLiteral("%1.%2").arg(month.month(), 2, 10, QLatin1Char('0')).arg(month.year()));
        QCOMPARE(control.value(QStringLiteral("Строк")), QString::number(sql.size()));
        QCOMPARE(control.value(QStringLiteral("Выгрузил")), QStringLiteral("sys, Администратор"));
        QCOMPARE(control.value(QStringLiteral("Итого 1010")), payroll::cellText(payroll::ColumnKind::Money, piece));
        QCOMPARE(control.value(QStringLiteral("Итого 1020")), payroll::cellText(payroll::ColumnKind::Money, aux));
        QCOMPARE(control.value(QStringLiteral("Итого 1000")), payroll::cellText(payroll::ColumnKind::Money, total));
        QString sums = testdb::scalar(
            QStringLiteral("select (select to_char(coalesce(sum(round(a, 2)), 0), 'FM9999999990.00') from (select sum(((kol_vo-brak)*cena)::numeric) a"
                           " from accounts_dep.smena s left join cmn_contractor.person p on p.id = s.w_id and not exists (select 1 from cmn_contractor.person q where q.s_code = s.w_id::text)"
                           " where data >= '%1' and data < '%2' group by coalesce(p.s_code::int, s.w_id)) x)")
                .arg(month.toString(Qt::ISODate), month.addMonths(1).toString(Qt::ISODate))).toString();
        QCOMPARE(control.value(QStringLiteral("Итого 1010")), sums.replace(u'.', u','));
        // The same hash whatever the format.
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{64}$")).match(control.value(QStringLiteral("SHA-256"))).hasMatch());
        QString why;
        const payroll::Verdict v = payroll::verify(papers::readPayrollTable(file(name), &why));
        QVERIFY2(v.unchanged, qPrintable(why + v.differences.join(u'\n')));
        QCOMPARE(v.recordedHash, control.value(QStringLiteral("SHA-256")));
    }

    // One change anywhere in the data or its block is found; the file as written is not.
    void verifyFindsChange_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<QString>("found");
        QTest::newRow("unchanged") << "gen-utf8.csv" << QByteArray() << QByteArray() << QString();
        QTest::newRow("one kopeck") << "gen-cp1251.csv" << QByteArray(";126,13;") << QByteArray(";126,14;") << "итог по коду 1010";
        QTest::newRow("a name's letter") << "gen-utf8.csv" << QByteArray("Борисова") << QByteArray("Борисовa") << "контрольная сумма";
        QTest::newRow("hours") << "gen-cp1251.csv" << QByteArray(";0;0;16;1;") << QByteArray(";0;0;16;2;") << "контрольная сумма";
        QTest::newRow("the recorded total") << "gen-utf8.csv" << QByteArray("Итого 1020;") << QByteArray("Итого 1020;1") << "итог по коду 1020";
        QTest::newRow("a row dropped") << "gen-utf8.csv" << QByteArray("30002;Борисова Б.Б.;40,25;0,00;0;0;16;1;3;40,25\r\n")
                                       << QByteArray() << "строк данных 2";
        QTest::newRow("a byte of the workbook's sheet") << "gen.xlsx" << QByteArray("xl/worksheets/sheet1.xml") << QByteArray()
                                                        << "не";
    }
    void verifyFindsChange() {
        QFETCH(QString, name);
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(QString, found);
        QFile f(file(name));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QByteArray data = f.readAll();
        f.close();
        if (name.endsWith(QLatin1String(".xlsx"))) {
            // A byte of the sheet's compressed data, past its entry's local header.
            const qsizetype at = data.indexOf(from);
            QVERIFY(at > 0);
            data[at + from.size() + 12] = char(data[at + from.size() + 12] ^ 0x20);
        } else if (!from.isEmpty()) {
            QVERIFY2(data.contains(from), from.constData());
            data.replace(data.indexOf(from), from.size(), to);
        }
        const QString changed = file(QStringLiteral("changed-") + name);
        QFile w(changed);
        QVERIFY(w.open(QIODevice::WriteOnly));
        w.write(data);
        w.close();
        QString why;
        const QList<QStringList> table = papers::readPayrollTable(changed, &why);
        const payroll::Verdict v = payroll::verify(table);
        const QString said = why + v.differences.join(u'\n');
        QCOMPARE(v.unchanged, found.isEmpty());
        if (!found.isEmpty()) QVERIFY2(said.contains(found), qPrintable(said));
    }

    // The columns and codes of [payroll]; a wrong value keeps the default and says so.
    void settingsRead_data() {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<QString>("columnList");
        QTest::addColumn<QString>("firstTitle");
        QTest::addColumn<int>("problems");
        QTest::newRow("defaults") << "" << "tab_no,fio,piece=1010,aux=1020,shift1,shift2,shift3,overtime,days,total=1000" << "Таб. №" << 0;
        QTest::newRow("own order and codes")
            << "piece_code=С01\naux_code=П02\ncolumns=fio,tab_no,total,piece\ntitle_fio=Работник"
            << "fio,tab_no,total=1000,piece=С01" << "Работник" << 0;
        // The README's example is the defaults, and reads without a complaint.
        QFile readme(QStringLiteral(MIRN_SOURCE_DIR "/README.md"));
        QVERIFY(readme.open(QIODevice::ReadOnly));
        const QString doc = QString::fromUtf8(readme.readAll());
        const qsizetype at = doc.indexOf(QStringLiteral("```ini\n[payroll]\n"));
        QVERIFY(at > 0);
        const qsizetype body = at + QStringLiteral("```ini\n[payroll]\n").size();
        QTest::newRow("the README's example") << doc.mid(body, doc.indexOf(QStringLiteral("```"), body) - body)
                                              << "tab_no,fio,piece=1010,aux=1020,shift1,shift2,shift3,overtime,days,total=1000"
                                              << "Таб. №" << 0;
        QTest::newRow("unknown column") << "columns=fio,salary" << "tab_no,fio,piece=1010,aux=1020,shift1,shift2,shift3,overtime,days,total=1000" << "Таб. №" << 1;
        QTest::newRow("code with a separator") << "total_code=10,00" << "tab_no,fio,piece=1010,aux=1020,shift1,shift2,shift3,overtime,days,total=1000" << "Таб. №" << 1;
    }
    void settingsRead() {
        QFETCH(QString, ini);
        QFETCH(QString, columnList);
        QFETCH(QString, firstTitle);
        QFETCH(int, problems);
        const QString user = file(QStringLiteral("user.conf")), system = file(QStringLiteral("system.conf"));
        QFile u(user);
        QVERIFY(u.open(QIODevice::WriteOnly | QIODevice::Truncate));
        u.write(QStringLiteral("[payroll]\n%1\n").arg(ini).toUtf8());
        u.close();
        // The system file's key yields to the user's, its others stand.
        QFile s(system);
        QVERIFY(s.open(QIODevice::WriteOnly | QIODevice::Truncate));
        s.write("[payroll]\nencoding=cp1251\n");
        s.close();
        QStringList said;
        const payroll::Settings got = payroll::readSettings(user, {system}, &said);
        QCOMPARE(payroll::columnList(got), columnList);
        QCOMPARE(got.titleOf(0), firstTitle);
        QCOMPARE(got.encoding, ini.contains(QLatin1String("encoding=utf-8")) ? QStringLiteral("utf-8") : QStringLiteral("cp1251"));
        QCOMPARE(said.size(), problems);
    }

    // The upgrade step gives an extension installed without the payroll block what the
    // full script gives (run twice, it changes nothing), and the drop script takes the
    // block away with the rest.
    void upgradeStepAndDrop() {
        QFile full(QStringLiteral(MIRN_SOURCE_DIR "/db/extension.sql"));
        QVERIFY(full.open(QIODevice::ReadOnly));
        QString text = QString::fromUtf8(full.readAll());
        const qsizetype head = text.indexOf(QStringLiteral("-- Payroll exports: component"));
        const qsizetype tail = text.indexOf(QStringLiteral("-- End of the payroll exports block"));
        QVERIFY(head > 0 && tail > head);
        const qsizetype from = text.lastIndexOf(QStringLiteral("\n---"), head) + 1;
        const qsizetype to = text.indexOf(u'\n', text.indexOf(u'\n', tail) + 1) + 1;
        text.remove(from, to - from);
        QVERIFY(!text.contains(QLatin1String("payroll")));
        const QString without = dir_.filePath(QStringLiteral("extension-without.sql"));
        QFile w(without);
        QVERIFY(w.open(QIODevice::WriteOnly));
        w.write(text.toUtf8());
        w.close();

        const QString upgraded = QStringLiteral("t_payroll_up"), installed = QStringLiteral("t_payroll_full");
        testdb::createDatabase(upgraded);
        testdb::createDatabase(installed);
        const QString before = schemaDump(installed);
        const QString step = QStringLiteral(MIRN_SOURCE_DIR "/db/upgrade/payroll_export-0-1.sql");
        QVERIFY(psqlFileOn(upgraded, step) != 0);  // no extension yet: refused
        QCOMPARE(psqlFileOn(upgraded, without), 0);
        QCOMPARE(psqlFileOn(upgraded, step), 0);
        QCOMPARE(psqlFileOn(upgraded, step), 0);
        QCOMPARE(psqlFileOn(installed, QStringLiteral(MIRN_SOURCE_DIR "/db/extension.sql")), 0);
        QCOMPARE(schemaDump(upgraded), schemaDump(installed));
        QCOMPARE(psqlFileOn(installed, QStringLiteral(MIRN_SOURCE_DIR "/db/extension_drop.sql")), 0);
        QCOMPARE(schemaDump(installed), before);
    }

    // The batch commands: exit 0 unchanged, 1 changed or an open month, 2 usage.
    void batchCommands_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("says");
        const QDate open = generatedMonth().addMonths(1);
        QTest::newRow("verify unchanged") << QStringList{"verify", "payroll", "gen.xlsx"} << 0 << "не изменен";
        QTest::newRow("verify changed") << QStringList{"verify", "payroll", "changed-gen-cp1251.csv"} << 1 << "изменен после выгрузки";
        QTest::newRow("verify no file") << QStringList{"verify", "payroll", "none.csv"} << 2 << "не удалось открыть";
        QTest::newRow("verify without file") << QStringList{"verify", "payroll"} << 2 << "verify payroll ФАЙЛ";
        QTest::newRow("export csv 1251") << QStringList{"export", "payroll", "--month", QString::number(generatedMonth().month()), "--year",
                                                         QString::number(generatedMonth().year()), "--csv", "batch.csv", "--encoding", "cp1251"}
                                          << 0 << "Итого по кодам начислений: 1010 — ";
        QTest::newRow("export open month") << QStringList{"export", "payroll", "--month", QString::number(open.month()), "--year",
                                                           QString::number(open.year()), "--xlsx", "open2.xlsx"}
                                            << 1 << "Месяц не закрыт";
        QTest::newRow("export two formats") << QStringList{"export", "payroll", "--month", "1", "--year", "2027", "--xlsx", "a.xlsx", "--csv", "b.csv"}
                                             << 2 << "один из параметров";
        QTest::newRow("export bad encoding") << QStringList{"export", "payroll", "--month", "1", "--year", "2027", "--csv", "b.csv", "--encoding", "koi8"}
                                              << 2 << "utf-8 или cp1251";
    }
    void batchCommands() {
        QFETCH(QStringList, args);
        QFETCH(int, exit);
        QFETCH(QString, says);
        QProcess p;
        p.setWorkingDirectory(dir_.path());
        p.start(QStringLiteral(MIRN_BINARY_DIR "/mirn-batch"), args + QStringList{QStringLiteral("--db"), kDb});
        QVERIFY(p.waitForFinished(60000));
        const QString output = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
        QVERIFY2(output.contains(says), qPrintable(output));
        QCOMPARE(p.exitCode(), exit);
    }
};

QTEST_MAIN(TestPayroll)
#include "test_payroll.moc"
