// mirn-batch driven as a process against a database of its own (the demo data): the
// reports' totals and the workbooks read back against the test's own SQL, the import's
// pricing and its all-or-nothing refusal, an import racing a rebuild, and the exit
// statuses of usage errors and of an unreachable server.
#include "domain/connection.h"
#include "support/sheet_readback.h"
#include "support/database.h"

#include <QtTest>

#include <cmath>
#include <csignal>

using namespace mirn;

namespace {

const QString kDb = testdb::dbName(QStringLiteral("mirn_batch"));
// The demo data with db/extension.sql: closed months and the change history.
const QString kExtDb = testdb::dbName(QStringLiteral("mirn_batch_ext"));

struct Run {
    int code = -1;
    QString out;
    QString err;
};

QString program() { return QStringLiteral(MIRN_BINARY_DIR "/mirn-batch"); }

// Where the runs keep their support log (XDG_STATE_HOME), away from the user's own.
QString stateDir() {
    static QTemporaryDir dir;
    return dir.path();
}
QString logPath() { return stateDir() + QStringLiteral("/mirn/mirn-batch.log"); }
QString logText() {
    QFile f(logPath());
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QProcessEnvironment batchEnv() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_STATE_HOME"), stateDir());
    // As over SSH: no display at all.
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return env;
}

QStringList withDb(QStringList args, const QString& db = kDb) {
    return args << QStringLiteral("--db") << db << QStringLiteral("--server") << testdb::host();
}

// psql on a database of this test (the shared connection stays on kDb); stdout, trimmed.
QString psql(const QString& db, const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("psql"), QStringList{QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-At"),
                                                QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
                                                QStringLiteral("-d"), db} +
                                        args);
    p.waitForFinished(120000);
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QStringLiteral("psql failed: ") + QString::fromUtf8(p.readAllStandardError());
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}
QString extSql(const QString& sql) { return psql(kExtDb, {QStringLiteral("-c"), sql}); }

// What no Russian message carries: the support log's English lines and the server's text.
const QStringList kTechnical = {QStringLiteral("cannot connect to"), QStringLiteral("statement failed"),
                                QStringLiteral("slow statement"), QStringLiteral("relation"),
                                QStringLiteral("does not exist"), QStringLiteral("connection to server")};
QString technicalIn(const QString& text) {
    for (const QString& t : kTechnical)
        if (text.contains(t)) return t;
    return {};
}

void start(QProcess& p, const QStringList& args, const QProcessEnvironment& env = batchEnv()) {
    p.setProcessEnvironment(env);
    p.start(program(), args);
}

Run finish(QProcess& p) {
    Run r;
    if (!p.waitForFinished(300000)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("mirn-batch did not finish");
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

Run batch(const QStringList& args, const QProcessEnvironment& env = batchEnv()) {
    QProcess p;
    start(p, args, env);
    return finish(p);
}

QString describe(const Run& r) { return QStringLiteral("exit %1\nstdout: %2\nstderr: %3").arg(r.code).arg(r.out, r.err); }

QString pdfText(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The blank-separated words of the report's final footer line.
QStringList totalsLine(const QString& text) {
    QString line;
    for (const QString& l : text.split(QLatin1Char('\n')))
        if (l.contains(QStringLiteral("Итого:"))) line = l;
    return line.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
}

QString dmy(const QDate& d) { return d.toString(QStringLiteral("dd.MM.yyyy")); }
QString iso(const QDate& d) { return d.toString(Qt::ISODate); }

QString writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return {};
    f.write(data);
    return path;
}

const QByteArray kHeader = "date,shift,worker,mark,operation,kind,quantity,rejects,hours,colour,dayoff";

// The lowest norm price of a priced operation picked by mark, type and kind.
double basePrice(const QString& mark, const QString& type, int kind) {
    return testdb::scalar(QStringLiteral("select min(n.price) from accounts_dep.norm n join accounts_dep.oper o on o.id=n.o_id "
                                         "join accounts_dep.izdel i on i.id=o.i_id join accounts_dep.vid_oper v on v.id=o.vid "
                                         "where i.marka='%1' and v.vid='%2' and o.naimen=%3")
                              .arg(mark, type)
                              .arg(kind))
        .toDouble();
}

int entriesIn(int month, int year) {
    const QDate first(year, month, 1);
    return testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.smena where data>='%1' and data<'%2'")
                                 .arg(iso(first), iso(first.addMonths(1))));
}
int timesheetRowsIn(int month, int year) {
    return testdb::scalarInt(
        QStringLiteral("select count(*) from accounts_dep.h_tabel where month=%1 and year=%2").arg(month).arg(year));
}

// "" when the month's timesheet holds exactly one row per worker and shift with entries,
// each day equal to the day's hours of the entries (none: empty or 0); else what differs.
QString timesheetMismatch(int month, int year) {
    const QDate first(year, month, 1);
    QHash<QString, int> hours;  // "w/shift/day"
    for (const QVariantList& r : testdb::rows(
             QStringLiteral("select w_id, smena, extract(day from data)::int, sum(time)::int from accounts_dep.smena "
                            "where data>='%1' and data<'%2' group by 1, 2, 3")
                 .arg(iso(first), iso(first.addMonths(1)))))
        hours.insert(QStringLiteral("%1/%2/%3").arg(r[0].toInt()).arg(r[1].toInt()).arg(r[2].toInt()), r[3].toInt());
    QString days;
    for (int d = 1; d <= 31; ++d) days += QStringLiteral(", coalesce(d%1, 0)").arg(d);
    QSet<QString> rowsSeen;
    QStringList problems;
    for (const QVariantList& r : testdb::rows(
             QStringLiteral("select w_id, smena%1 from accounts_dep.h_tabel where month=%2 and year=%3")
                 .arg(days)
                 .arg(month)
                 .arg(year))) {
        const QString ws = QStringLiteral("%1/%2").arg(r[0].toInt()).arg(r[1].toInt());
        if (rowsSeen.contains(ws)) problems << QStringLiteral("two rows for ") + ws;
        rowsSeen.insert(ws);
        for (int d = 1; d <= 31; ++d) {
            const QString key = ws + QStringLiteral("/%1").arg(d);
            if (r[1 + d].toInt() != hours.value(key))
                problems << QStringLiteral("%1: timesheet %2, entries %3").arg(key).arg(r[1 + d].toInt()).arg(hours.value(key));
        }
    }
    for (auto it = hours.cbegin(); it != hours.cend(); ++it)
        if (!rowsSeen.contains(it.key().section(QLatin1Char('/'), 0, 1)))
            problems << QStringLiteral("no row for ") + it.key();
    return problems.mid(0, 10).join(QLatin1Char('\n'));
}

}  // namespace

class TestBatch : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QDate from_, to_;  // the last whole month of the demo data

private slots:
    void initTestCase() {
        QVERIFY2(QFileInfo::exists(program()), qPrintable(program()));
        testdb::createDatabase(kExtDb, true);
        QCOMPARE(psql(kExtDb, {QStringLiteral("-f"), QStringLiteral(MIRN_SOURCE_DIR "/db/extension.sql")}), QString());
        testdb::openFresh(kDb, true);
        const QDate last = testdb::scalar(QStringLiteral("select max(data) from accounts_dep.smena")).toDate();
        to_ = QDate(last.year(), last.month(), 1);
        from_ = to_.addMonths(-1);
        // An entry on the end day must stay out of the period.
        QVERIFY(testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.smena where data='%1'").arg(iso(to_))) > 0);
    }
    void cleanupTestCase() { connection::closeShared(); }

    // ---------------------------------------------------------------- command line

    void help_data() {
        QTest::addColumn<QString>("option");
        QTest::newRow("--help") << QStringLiteral("--help");
        QTest::newRow("-h") << QStringLiteral("-h");
    }
    void help() {
        QFETCH(QString, option);
        const Run r = batch({option});
        QVERIFY2(r.code == 0, qPrintable(describe(r)));
        for (const QString& t : {QStringLiteral("Вызов: mirn-batch"), QStringLiteral("rebuild --month"),
                                 QStringLiteral("report ВИД"), QStringLiteral("detail-products"),
                                 QStringLiteral("timesheet --month"), QStringLiteral("export report"),
                                 QStringLiteral("export prices"), QStringLiteral("import entries"),
                                 QString::fromUtf8(kHeader), QStringLiteral("Пример файла"),
                                 QStringLiteral("Код завершения")})
            QVERIFY2(r.out.contains(t), qPrintable(t + QStringLiteral(" missing in:\n") + r.out));
    }

    void usageErrors_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("no command") << QStringList{} << QStringLiteral("не указана команда");
        QTest::newRow("unknown command") << QStringList{"print"} << QStringLiteral("неизвестная команда «print»");
        QTest::newRow("unknown option") << QStringList{"rebuild", "--month", "3", "--year", "2024", "--colour", "1"}
                                        << QStringLiteral("colour");
        QTest::newRow("unknown report") << QStringList{"report", "salaries", "--from", "01.03.2024", "--to",
                                                       "01.04.2024", "--pdf", "x.pdf"}
                                        << QStringLiteral("нет отчета «salaries»");
        QTest::newRow("report without pdf") << QStringList{"report", "workers", "--from", "01.03.2024", "--to", "01.04.2024"}
                                            << QStringLiteral("нужен параметр --pdf");
        QTest::newRow("impossible date") << QStringList{"report", "workers", "--from", "31.02.2024", "--to",
                                                        "01.04.2024", "--pdf", "x.pdf"}
                                         << QStringLiteral("ДД.ММ.ГГГГ");
        QTest::newRow("kind 2") << QStringList{"export", "report", "--from", "01.03.2024", "--to", "01.04.2024",
                                               "--kind", "2", "--xlsx", "x.xlsx"}
                                << QStringLiteral("0 или 1");
        QTest::newRow("month 13") << QStringList{"rebuild", "--month", "13", "--year", "2024"}
                                  << QStringLiteral("от 1 до 12");
        QTest::newRow("option of another command") << QStringList{"rebuild", "--month", "3", "--year", "2024", "--pdf", "x.pdf"}
                                                   << QStringLiteral("не принимает параметр --pdf");
        QTest::newRow("timesheet pdf and xlsx") << QStringList{"timesheet", "--month", "3", "--year", "2024", "--pdf",
                                                               "x.pdf", "--xlsx", "x.xlsx"}
                                                << QStringLiteral("ровно один");
        QTest::newRow("export what") << QStringList{"export", "--xlsx", "x.xlsx"} << QStringLiteral("report, prices или payroll");
        QTest::newRow("import missing file") << QStringList{"import", "entries", "/nonexistent/entries.csv"}
                                             << QStringLiteral("не удалось открыть файл");
        QTest::newRow("reversed period") << QStringList{"report", "workers", "--from", "01.04.2024", "--to",
                                                        "01.03.2024", "--pdf", "x.pdf"}
                                         << QStringLiteral("период пуст: конец --to 01.03.2024 должен быть позже начала --from 01.04.2024");
        QTest::newRow("empty period") << QStringList{"export", "report", "--from", "01.03.2024", "--to", "01.03.2024",
                                                     "--xlsx", "x.xlsx"}
                                      << QStringLiteral("период пуст");
        QTest::newRow("repeated option") << QStringList{"rebuild", "--month", "3", "--month", "4", "--year", "2024"}
                                         << QStringLiteral("параметр --month указан 2 раза (3, 4)");
        QTest::newRow("repeated file") << QStringList{"report", "workers", "--from", "01.03.2024", "--to", "01.04.2024",
                                                      "--pdf", "a.pdf", "--pdf", "b.pdf"}
                                       << QStringLiteral("параметр --pdf указан 2 раза");
        QTest::newRow("unknown worker") << QStringList{"report", "earnings", "--from", "01.03.2024", "--to",
                                                       "01.04.2024", "--worker", "987654", "--pdf", "x.pdf"}
                                        << QStringLiteral("работника с номером 987654 нет");
    }
    void usageErrors() {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        for (const QString& f : {QStringLiteral("x.pdf"), QStringLiteral("a.pdf"), QStringLiteral("b.pdf"), QStringLiteral("x.xlsx")})
            QFile::remove(f);
        const Run r = batch(withDb(args));
        QVERIFY2(r.code == 2, qPrintable(describe(r)));
        QVERIFY2(r.err.contains(message), qPrintable(describe(r)));
        QVERIFY2(r.err.contains(QStringLiteral("Справка: mirn-batch --help")), qPrintable(describe(r)));
        for (const QString& f : {QStringLiteral("x.pdf"), QStringLiteral("a.pdf"), QStringLiteral("b.pdf"), QStringLiteral("x.xlsx")})
            QVERIFY2(!QFileInfo::exists(f), qPrintable(QStringLiteral("a refused command wrote ") + f));
    }

    void unreachableServer() {
        QProcessEnvironment env = batchEnv();
        // A port nothing listens on.
        env.insert(QStringLiteral("PGPORT"), QStringLiteral("9"));
        const Run r = batch({QStringLiteral("rebuild"), QStringLiteral("--month"), QStringLiteral("3"),
                             QStringLiteral("--year"), QStringLiteral("2024"), QStringLiteral("--db"), kDb,
                             QStringLiteral("--server"), QStringLiteral("127.0.0.1")},
                            env);
        QVERIFY2(r.code == 3, qPrintable(describe(r)));
        QVERIFY2(r.err.contains(QStringLiteral("не удалось подключиться к базе данных mirn_batch на сервере 127.0.0.1:9")),
                 qPrintable(describe(r)));
        // What to do, in Russian; the libpq text only in the support log.
        QVERIFY2(r.err.contains(QStringLiteral("Проверьте адрес и порт")), qPrintable(describe(r)));
        QVERIFY2(r.err.contains(QStringLiteral("Подробности (текст сервера) — в журнале ") + logPath()), qPrintable(describe(r)));
        QVERIFY2(technicalIn(r.err).isEmpty(), qPrintable(describe(r)));
        QVERIFY2(logText().contains(QStringLiteral("cannot connect to 127.0.0.1:9/mirn_batch")), qPrintable(logText().right(2000)));
    }

    // The change report needs the extension: without it the administrator reads what is
    // missing and how to install it, never the server's "relation ... does not exist".
    void changeReportWithoutExtension() {
        const QString pdf = dir_.filePath(QStringLiteral("changes.pdf"));
        const Run r = batch(withDb({QStringLiteral("report"), QStringLiteral("changes"), QStringLiteral("--from"),
                                    dmy(from_), QStringLiteral("--to"), dmy(to_), QStringLiteral("--pdf"), pdf}));
        QVERIFY2(r.code == 3, qPrintable(describe(r)));
        QVERIFY2(r.err.contains(QStringLiteral("в этой базе оно не установлено")), qPrintable(describe(r)));
        QVERIFY2(r.err.contains(QStringLiteral("extension.sql")), qPrintable(describe(r)));
        QVERIFY2(technicalIn(r.err).isEmpty(), qPrintable(describe(r)));
        QVERIFY(!QFileInfo::exists(pdf));
        // With the extension the same command writes the paper.
        const Run ok = batch(withDb({QStringLiteral("report"), QStringLiteral("changes"), QStringLiteral("--from"),
                                     dmy(from_), QStringLiteral("--to"), dmy(to_), QStringLiteral("--pdf"), pdf},
                                    kExtDb));
        QVERIFY2(ok.code == 0, qPrintable(describe(ok)));
        QVERIFY(QFileInfo(pdf).size() > 0);
    }

    // ---------------------------------------------------------------- reports

    void reportTotals_data() {
        QTest::addColumn<QString>("report");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("totals");  // SQL over the period's entries (placeholder FILTER)
        // The reports by workers know a worker by the worker number (s_code).
        const QString byWorker = QStringLiteral(
            " from accounts_dep.smena s join accounts_dep.oper o on o.id=s.o_id "
            "join cmn_contractor.person p on s.w_id=p.s_code::integer where FILTER");
        const QString all = QStringLiteral(" from accounts_dep.smena s join accounts_dep.oper o on o.id=s.o_id where FILTER");
        const QString workers = QStringLiteral("select round(sum(((kol_vo-brak)*cena)::numeric), 2)::text") + byWorker;
        const QString products = QStringLiteral("select sum(kol_vo-brak)::text") + all;
        const QString detailWorkers =
            QStringLiteral("select sum(brak)::text, sum(kol_vo)::text, round(sum(((kol_vo-brak)*cena)::numeric), 2)::text") + byWorker;
        const QString detailProducts =
            QStringLiteral("select sum(brak)::text, sum(kol_vo)::text, round(sum(((kol_vo-brak)*cena)::numeric), 2)::text") + all;
        for (int kind : {-1, 0, 1}) {
            const QString k = kind < 0 ? QStringLiteral("all") : QStringLiteral("kind %1").arg(kind);
            QTest::addRow("workers, %s", qPrintable(k))
                << QStringLiteral("workers") << kind << QStringLiteral("Отчет по рабочим за период с") << workers;
            QTest::addRow("products, %s", qPrintable(k))
                << QStringLiteral("products") << kind << QStringLiteral("Отчет по продукции за период с") << products;
            QTest::addRow("detail-workers, %s", qPrintable(k)) << QStringLiteral("detail-workers") << kind
                                                               << QStringLiteral("Детальный отчет по рабочим за период с")
                                                               << detailWorkers;
            QTest::addRow("detail-products, %s", qPrintable(k)) << QStringLiteral("detail-products") << kind
                                                                << QStringLiteral("Детальный отчет по продукции за период с")
                                                                << detailProducts;
        }
    }
    void reportTotals() {
        QFETCH(QString, report);
        QFETCH(int, kind);
        QFETCH(QString, title);
        QFETCH(QString, totals);
        const QString pdf = dir_.filePath(QStringLiteral("%1_%2.pdf").arg(report).arg(kind));
        QStringList args{QStringLiteral("report"), report, QStringLiteral("--from"), dmy(from_), QStringLiteral("--to"),
                         dmy(to_), QStringLiteral("--pdf"), pdf};
        if (kind >= 0) args << QStringLiteral("--kind") << QString::number(kind);
        const Run r = batch(withDb(args));
        QVERIFY2(r.code == 0, qPrintable(describe(r)));
        const QString text = pdfText(pdf);
        QVERIFY2(text.contains(title + QLatin1Char(' ') + dmy(from_) + QStringLiteral(" по ") + dmy(to_)), qPrintable(text.left(500)));

        QString filter = QStringLiteral("s.data>='%1' and s.data<'%2'").arg(iso(from_), iso(to_));
        if (kind >= 0) filter += QStringLiteral(" and o.naimen=%1").arg(kind);
        const QList<QVariantList> expected = testdb::rows(QString(totals).replace(QStringLiteral("FILTER"), filter));
        QVERIFY(!expected.isEmpty());
        const QStringList line = totalsLine(text);
        QVERIFY2(!line.isEmpty(), qPrintable(text.right(800)));
        for (const QVariant& v : expected.front()) {
            QVERIFY2(!v.toString().isEmpty() && v.toString() != QLatin1String("0"), "the fixture period has no entries of this kind");
            QVERIFY2(line.contains(v.toString()), qPrintable(v.toString() + QStringLiteral(" not among the totals: ") + line.join(u' ')));
        }
    }

    // One worker's earnings statement: its period total is the worker's entries plus
    // auxiliary work, as the test's own SQL adds them up.
    void earningsStatement() {
        const QString period = QStringLiteral("data>='%1' and data<'%2'").arg(iso(from_), iso(to_));
        const QList<QVariantList> top = testdb::rows(
            QStringLiteral("select w_id, round(sum(((kol_vo-brak)*cena)::numeric), 2)::text from accounts_dep.smena "
                           "where ") + period + QStringLiteral(" group by w_id order by count(*) desc limit 1"));
        QVERIFY(!top.isEmpty());
        const QString worker = top[0][0].toString();
        const QString pdf = dir_.filePath(QStringLiteral("earnings.pdf"));
        const Run r = batch(withDb({QStringLiteral("report"), QStringLiteral("earnings"), QStringLiteral("--from"),
                                    dmy(from_), QStringLiteral("--to"), dmy(to_), QStringLiteral("--worker"), worker,
                                    QStringLiteral("--pdf"), pdf}));
        QVERIFY2(r.code == 0, qPrintable(describe(r)));
        const QString text = pdfText(pdf);
        QVERIFY2(text.contains(QStringLiteral("Расчётный листок")), qPrintable(text.left(300)));
        QVERIFY2(text.contains(top[0][1].toString()), qPrintable(top[0][1].toString() + QStringLiteral(" not in: ") + text.right(600)));
        // --worker belongs to the earnings statement only.
        QCOMPARE(batch(withDb({QStringLiteral("report"), QStringLiteral("workers"), QStringLiteral("--from"), dmy(from_),
                               QStringLiteral("--to"), dmy(to_), QStringLiteral("--worker"), worker,
                               QStringLiteral("--pdf"), pdf})).code,
                 2);
    }

    // The month check: problems listed by kind with exit 1, a clean month exit 0, a
    // missing option exit 2. The demo books Богданов К.Е. by the register's row number.
    void monthCheck() {
        const QStringList month = {QStringLiteral("--month"), QString::number(from_.month()), QStringLiteral("--year"),
                                   QString::number(from_.year())};
        const Run r = batch(withDb(QStringList{QStringLiteral("check")} + month));
        QVERIFY2(r.code == 1, qPrintable(describe(r)));
        QVERIFY2(r.out.contains(QStringLiteral("Рабочие, которых не видят табель и отчеты: 1\n")), qPrintable(r.out));
        QVERIFY2(r.out.contains(QStringLiteral("Богданов К.Е. (20)")), qPrintable(r.out));
        const Run clean = batch(withDb({QStringLiteral("check"), QStringLiteral("--month"), QStringLiteral("1"),
                                        QStringLiteral("--year"), QStringLiteral("2000")}));
        QVERIFY2(clean.code == 0, qPrintable(describe(clean)));
        QVERIFY2(clean.out.contains(QStringLiteral("замечаний нет")), qPrintable(clean.out));
        QCOMPARE(batch(withDb({QStringLiteral("check"), QStringLiteral("--month"), QStringLiteral("1")})).code, 2);
    }

    // ---------------------------------------------------------------- timesheet

    void timesheet_data() {
        QTest::addColumn<QString>("format");
        QTest::newRow("pdf") << QStringLiteral("pdf");
        QTest::newRow("xlsx") << QStringLiteral("xlsx");
    }
    void timesheet() {
        QFETCH(QString, format);
        const int month = from_.month(), year = from_.year();
        // Spoil the month, then let the batch rebuild it from the entries.
        testdb::exec(QStringLiteral("update accounts_dep.h_tabel set d2=77 where month=%1 and year=%2").arg(month).arg(year));
        Run r = batch(withDb({QStringLiteral("rebuild"), QStringLiteral("--month"), QString::number(month),
                              QStringLiteral("--year"), QString::number(year)}));
        QVERIFY2(r.code == 0, qPrintable(describe(r)));
        QCOMPARE(timesheetMismatch(month, year), QString());

        const QString file = dir_.filePath(QStringLiteral("timesheet.") + format);
        r = batch(withDb({QStringLiteral("timesheet"), QStringLiteral("--month"), QString::number(month),
                          QStringLiteral("--year"), QString::number(year), QLatin1String("--") + format, file}));
        QVERIFY2(r.code == 0, qPrintable(describe(r)));

        // Each worker's month hours, all shifts, as the entries give them.
        QMap<QString, int> expected;
        for (const QVariantList& row : testdb::rows(
                 QStringLiteral("select p.s_caption, sum(s.time)::int from accounts_dep.smena s join cmn_contractor.person p "
                                "on s.w_id=p.s_code::integer where s.data>='%1' and s.data<'%2' group by 1")
                     .arg(iso(from_), iso(to_))))
            expected.insert(row[0].toString(), row[1].toInt());
        QVERIFY(expected.size() > 5);
        const QString monthName = QLocale(QLocale::Russian).standaloneMonthName(month);
        const QString title = monthName.left(1).toUpper() + monthName.mid(1) + QLatin1Char(' ') + QString::number(year);

        QMap<QString, int> printed;
        if (format == QLatin1String("pdf")) {
            const QString text = pdfText(file);
            QVERIFY2(text.contains(title + QStringLiteral(" г.")), qPrintable(text.left(400)));
            for (const QString& line : text.split(QLatin1Char('\n')))
                for (auto it = expected.cbegin(); it != expected.cend(); ++it)
                    if (line.trimmed().startsWith(it.key()))
                        printed.insert(it.key(), line.split(QLatin1Char(' '), Qt::SkipEmptyParts).last().toInt());
        } else {
            QString why;
            const QList<QStringList> rows = sheet_readback::readRows(file, &why);
            QVERIFY2(rows.size() >= 2, qPrintable(why));
            QCOMPARE(rows[0].value(0), title);
            QCOMPARE(rows[1].value(0), QStringLiteral("Фамилия И.О."));
            QCOMPARE(rows[1].value(32), QStringLiteral("Итого"));
            for (int i = 2; i < rows.size(); ++i) printed.insert(rows[i].value(0), rows[i].value(32).toInt());
        }
        QCOMPARE(printed, expected);
    }

    // ---------------------------------------------------------------- workbooks

    void exportReport_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("all") << -1;
        QTest::newRow("finished products") << 0;
        QTest::newRow("blanks") << 1;
    }
    void exportReport() {
        QFETCH(int, kind);
        const QString file = dir_.filePath(QStringLiteral("report_%1.xlsx").arg(kind));
        QStringList args{QStringLiteral("export"), QStringLiteral("report"), QStringLiteral("--from"), dmy(from_),
                         QStringLiteral("--to"), dmy(to_), QStringLiteral("--xlsx"), file};
        if (kind >= 0) args << QStringLiteral("--kind") << QString::number(kind);
        const Run r = batch(withDb(args));
        QVERIFY2(r.code == 0, qPrintable(describe(r)));
        QString why;
        const QList<QStringList> rows = sheet_readback::readRows(file, &why);
        QVERIFY2(!rows.isEmpty(), qPrintable(why));
        QCOMPARE(rows[0], (QStringList{"Наименование", "Операция", "Вид продукции", "Коробки", "Кол-во"}));
        qlonglong pieces = 0;
        QSet<QString> kinds;
        for (int i = 1; i < rows.size(); ++i) {
            pieces += rows[i].value(4).toLongLong();
            kinds.insert(rows[i].value(2));
        }
        QString filter = QStringLiteral("s.data>='%1' and s.data<'%2'").arg(iso(from_), iso(to_));
        if (kind >= 0) filter += QStringLiteral(" and o.naimen=%1").arg(kind);
        const qlonglong expected = testdb::scalar(QStringLiteral("select sum(kol_vo-brak) from accounts_dep.smena s join "
                                                                 "accounts_dep.oper o on o.id=s.o_id where ") + filter)
                                       .toLongLong();
        QVERIFY(expected > 0);
        QCOMPARE(pieces, expected);
        if (kind == 0) QCOMPARE(kinds, QSet<QString>{QStringLiteral("Готовая продукция")});
        if (kind == 1) QCOMPARE(kinds, QSet<QString>{QStringLiteral("Заготовки")});
        if (kind < 0) QCOMPARE(kinds.size(), 2);
    }

    void exportPrices() {
        const QString file = dir_.filePath(QStringLiteral("prices.xlsx"));
        const Run r = batch(withDb({QStringLiteral("export"), QStringLiteral("prices"), QStringLiteral("--xlsx"), file}));
        QVERIFY2(r.code == 0, qPrintable(describe(r)));
        QString why;
        const QList<QStringList> rows = sheet_readback::readRows(file, &why);
        QVERIFY2(!rows.isEmpty(), qPrintable(why));
        QCOMPARE(rows[0], (QStringList{"Марка", "Операция", "Цена", "Вид"}));
        // Every priced operation, those without norms too.
        QCOMPARE(rows.size() - 1, testdb::scalarInt(QStringLiteral(
                                      "select count(*) from accounts_dep.oper o join accounts_dep.izdel i on i.id=o.i_id "
                                      "join accounts_dep.vid_oper v on v.id=o.vid")));
        bool unpriced = false;
        for (const QStringList& row : rows)
            unpriced = unpriced || (row.value(0) == QStringLiteral("ПРП-40") && row.value(1) == QStringLiteral("Контроль"));
        QVERIFY(unpriced);
    }

    // ---------------------------------------------------------------- import

    // A good file (byte order mark, CRLF, quoted fields, letter case of marks and types
    // as typed) is stored priced as the dialog prices it and posted into the timesheet.
    void importPricesAndPosts() {
        QCOMPARE(entriesIn(3, 2030), 0);
        const QByteArray csv = "\xEF\xBB\xBF" + kHeader + "\r\n"
                               "04.03.2030,1,10001,КР-100,Резка,0,100,2,8,,0\r\n"
                               "09.03.2030,1,10001,\"КР-100\",Резка,0,10,0,4,,1\r\n"
                               "04.03.2030,3,10002,кр-150,ПОКРАСКА ПОРОШКОВАЯ,0,50,1,6,7024,0\r\n"
                               "04.03.2030,4,10001,КР-200,Гибка,0,5,0,3,0,0\r\n"
                               "\r\n"
                               "05.03.2030,3,20,КР-100,Резка,0,7,0,5,,1\r\n";
        const QString file = writeFile(dir_.filePath(QStringLiteral("good.csv")), csv);
        const Run r = batch(withDb({QStringLiteral("import"), QStringLiteral("entries"), file}));
        QVERIFY2(r.code == 0, qPrintable(describe(r)));
        QVERIFY2(r.out.contains(QStringLiteral("Загружено записей: 5")), qPrintable(describe(r)));

        const double cut = basePrice(QStringLiteral("КР-100"), QStringLiteral("Резка"), 0);
        const double paint = basePrice(QStringLiteral("КР-150"), QStringLiteral("Покраска порошковая"), 0);
        const double bend = basePrice(QStringLiteral("КР-200"), QStringLiteral("Гибка"), 0);
        QVERIFY(cut > 0 && paint > 0 && bend > 0);
        struct Expect {
            int w, shift;
            QString date;
            double price;
            int qty, rejects, hours, colour;
        };
        const Expect rows[] = {
            {10001, 1, "2030-03-04", cut, 100, 2, 8, 0},
            {10001, 1, "2030-03-09", cut * 2, 10, 0, 4, 0},            // day off
            {10002, 3, "2030-03-04", paint * 1.2, 50, 1, 6, 7024},     // third shift
            {10001, 4, "2030-03-04", bend * 1.5, 5, 0, 3, 0},          // overtime
            {20, 3, "2030-03-05", cut * 2 * 1.2, 7, 0, 5, 0},          // worker by person id, both factors
        };
        for (const Expect& e : rows) {
            const QList<QVariantList> got = testdb::rows(
                QStringLiteral("select cena, kol_vo, brak, time, color, ok from accounts_dep.smena where w_id=%1 and smena=%2 and data='%3'")
                    .arg(e.w)
                    .arg(e.shift)
                    .arg(e.date));
            QCOMPARE(got.size(), 1);
            QVERIFY2(qAbs(got[0][0].toDouble() - std::round(e.price * 10000) / 10000) < 1e-9,
                     qPrintable(QStringLiteral("%1 %2: %3 instead of %4").arg(e.w).arg(e.date).arg(got[0][0].toDouble()).arg(e.price)));
            QCOMPARE(got[0][1].toInt(), e.qty);
            QCOMPARE(got[0][2].toInt(), e.rejects);
            QCOMPARE(got[0][3].toInt(), e.hours);
            QCOMPARE(got[0][4].toInt(), e.colour);
            QCOMPARE(got[0][5].toString(), QStringLiteral("no"));
        }
        QCOMPARE(timesheetMismatch(3, 2030), QString());
        QCOMPARE(testdb::scalarInt(QStringLiteral("select d4 from accounts_dep.h_tabel where w_id=10001 and smena=1 and month=3 and year=2030")), 8);

        // The same file again: every row is a duplicate of a stored entry; nothing changes.
        const Run again = batch(withDb({QStringLiteral("import"), QStringLiteral("entries"), file}));
        QVERIFY2(again.code == 1, qPrintable(describe(again)));
        for (int line : {2, 3, 4, 5, 7})
            QVERIFY2(again.err.contains(QStringLiteral("строка %1: Позиция с такими параметрами уже заведена!").arg(line)),
                     qPrintable(describe(again)));
        QCOMPARE(entriesIn(3, 2030), 5);
    }

    // One refused row keeps the whole file out; every refused row is named by its line.
    void importRefusesWholeFile_data() {
        QTest::addColumn<QByteArray>("rows");  // after the header; line 2 is good
        QTest::addColumn<QStringList>("expected");
        const QByteArray good = "06.01.2031,1,10003,КР-100,Резка,0,10,0,8,,0\n";
        const QByteArray good2 = "07.01.2031,2,10004,КР-200,Гибка,0,10,0,8,,0\n";
        auto row = [&](const char* bad) { return good + bad + "\n" + good2; };
        QTest::newRow("unknown worker") << row("06.01.2031,1,99999,КР-100,Резка,0,10,0,8,,0")
                                        << QStringList{"строка 3: рабочий с номером или кодом 99999 не найден"};
        QTest::newRow("operation without norms") << row("06.01.2031,1,10003,ПРП-40,Контроль,0,10,0,8,,0")
                                                 << QStringList{"строка 3: у операции", "ещё нет цены"};
        QTest::newRow("no such operation of that kind") << row("06.01.2031,1,10003,КР-100,Гибка,0,10,0,8,,0")
                                                        << QStringList{"строка 3: операция \"КР-100; Гибка; Готовая продукция\" не найдена"};
        QTest::newRow("colour on a non-paint operation") << row("06.01.2031,2,10003,КР-100,Резка,0,10,0,8,5,0")
                                                         << QStringList{"строка 3: цвет 5", "покраски"};
        QTest::newRow("paint operation without colour") << row("06.01.2031,1,10003,КР-150,Покраска порошковая,0,10,0,8,,0")
                                                        << QStringList{"строка 3: Все поля должны быть заполнены! (не заполнено: colour)"};
        QTest::newRow("empty quantity") << row("06.01.2031,2,10003,КР-100,Резка,0,,0,8,,0")
                                        << QStringList{"строка 3: Все поля должны быть заполнены! (не заполнено: quantity)"};
        QTest::newRow("repeats an earlier row") << row("06.01.2031,1,10003,КР-100,Резка,0,5,0,2,,0")
                                                << QStringList{"строка 3: Позиция с такими параметрами уже заведена! (повторяет строку 2)"};
        QTest::newRow("quantity not a number") << row("06.01.2031,2,10003,КР-100,Резка,0,12a,0,8,,0")
                                               << QStringList{"строка 3: В поле \"Кол-во\" должно быть целое число"};
        QTest::newRow("hours out of range") << row("06.01.2031,2,10003,КР-100,Резка,0,10,0,25,,0")
                                            << QStringList{"строка 3: В поле \"Время\" допустимо целое число от 0 до 24"};
        QTest::newRow("impossible date") << row("30.02.2031,1,10003,КР-100,Резка,0,10,0,8,,0")
                                         << QStringList{"строка 3: неверная дата \"30.02.2031\""};
        QTest::newRow("shift 5") << row("06.01.2031,5,10003,КР-100,Резка,0,10,0,8,,0")
                                 << QStringList{"строка 3: смена должна быть числом от 1 до 4"};
        QTest::newRow("day off 2") << row("06.01.2031,2,10003,КР-100,Резка,0,10,0,8,,2")
                                   << QStringList{"строка 3: выходной (dayoff) должен быть 0 или 1"};
        QTest::newRow("a field short") << row("06.01.2031,2,10003,КР-100,Резка,0,10,0,8,0")
                                       << QStringList{"строка 3: в строке 10 полей, а в заголовке 11"};
        QTest::newRow("stray quote") << row("06.01.2031,2,10003,КР\"100,Резка,0,10,0,8,,0")
                                     << QStringList{"строка 3: неверный CSV"};
        // A quoted line break: the rows after it are still named by their file lines.
        QTest::newRow("two refused rows after a quoted line break")
            << QByteArray(good + "06.01.2031,2,10003,\"КР-\n100\",Резка,0,10,0,8,,0\n" + good2 +
                          "08.01.2031,1,10003,КР-100,Резка,0,10,0,30,,0\n")
            << QStringList{"строка 3: операция \"КР-\n100; Резка; Готовая продукция\" не найдена",
                           "строка 6: В поле \"Время\"", "отвергнуто строк — 2 из 4"};
    }
    void importRefusesWholeFile() {
        QFETCH(QByteArray, rows);
        QFETCH(QStringList, expected);
        const QString file = writeFile(dir_.filePath(QStringLiteral("bad.csv")), kHeader + "\n" + rows);
        const Run r = batch(withDb({QStringLiteral("import"), QStringLiteral("entries"), file}));
        QVERIFY2(r.code == 1, qPrintable(describe(r)));
        for (const QString& e : expected) QVERIFY2(r.err.contains(e), qPrintable(e + QStringLiteral("\n") + describe(r)));
        QVERIFY2(!r.err.contains(QStringLiteral("строка 2:")), qPrintable(describe(r)));
        QCOMPARE(entriesIn(1, 2031), 0);
        QCOMPARE(timesheetRowsIn(1, 2031), 0);
    }

    void importBadHeader() {
        const QString file = writeFile(dir_.filePath(QStringLiteral("header.csv")),
                                       "date,shift,worker,mark,operation,kind,quantity,rejects,hours,color,dayoff\n"
                                       "06.01.2031,1,10003,КР-100,Резка,0,10,0,8,,0\n");
        const Run r = batch(withDb({QStringLiteral("import"), QStringLiteral("entries"), file}));
        QVERIFY2(r.code == 1, qPrintable(describe(r)));
        QVERIFY2(r.err.contains(QStringLiteral("строка 1: неверный заголовок: нет столбцов colour; лишние столбцы color")),
                 qPrintable(describe(r)));
        QCOMPARE(entriesIn(1, 2031), 0);
    }

    // A file as a spreadsheet saves it in a Russian or another locale: the encoding and the
    // separator come from the file itself; a whole number may carry a zero fraction.
    void importSpreadsheetFormats_data() {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QString>("day");  // of the stored entry, 2032-01-DD
        const QString row = QStringLiteral("%1.01.2032;1;10005;КР-100;Резка;0;12;0;8,0;;0\r\n");
        auto cp1251 = [](const QString& text) {
            QByteArray out;
            for (const QChar c : text) {
                const char16_t u = c.unicode();
                out += u < 0x80 ? char(u) : char(0xC0 + (u - 0x0410));  // А..я only
            }
            return out;
        };
        const QString header = QString::fromUtf8(kHeader).replace(QLatin1Char(','), QLatin1Char(';')) + QStringLiteral("\r\n");
        QTest::newRow("Windows-1251, semicolons, decimal comma") << cp1251(header + row.arg(QStringLiteral("11"))) << "11";
        QTest::newRow("UTF-8 with BOM, semicolons") << QByteArray("\xEF\xBB\xBF" + (header + row.arg(QStringLiteral("12"))).toUtf8())
                                                    << "12";
        QTest::newRow("UTF-8, semicolons, quoted") << (header + QStringLiteral("13.01.2032;1;10005;\"КР-100\";\"Резка\";0;12;0;8;;0\n")).toUtf8()
                                                   << "13";
        QTest::newRow("Windows-1251, commas") << cp1251(QString::fromUtf8(kHeader) + QStringLiteral("\n14.01.2032,1,10005,КР-100,Резка,0,12,0,8,,0\n"))
                                              << "14";
    }
    void importSpreadsheetFormats() {
        QFETCH(QByteArray, csv);
        QFETCH(QString, day);
        const QString file = writeFile(dir_.filePath(QStringLiteral("sheet%1.csv").arg(day)), csv);
        const Run r = batch(withDb({QStringLiteral("import"), QStringLiteral("entries"), file}));
        QVERIFY2(r.code == 0, qPrintable(describe(r)));
        const QList<QVariantList> got = testdb::rows(QStringLiteral(
            "select s.time, s.kol_vo, i.marka from accounts_dep.smena s join accounts_dep.izdel i on i.id=s.i_id "
            "where s.w_id=10005 and s.data='2032-01-%1'").arg(day));
        QCOMPARE(got.size(), 1);
        QCOMPARE(got[0][0].toInt(), 8);
        QCOMPARE(got[0][1].toInt(), 12);
        QCOMPARE(got[0][2].toString(), QStringLiteral("КР-100"));
    }

    // A file that mixes encodings or separators is refused, naming what was found; a
    // runaway field is not echoed whole.
    void importRefusesMixedFiles_data() {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QStringList>("expected");
        const QByteArray utf8Row = QStringLiteral("15.01.2032,1,10005,КР-100,Резка,0,12,0,8,,0\n").toUtf8();
        const QByteArray cp1251Row = "16.01.2032,1,10005,\xCA\xD0-100,\xD0\xE5\xE7\xEA\xE0,0,12,0,8,,0\n";
        QTest::newRow("UTF-8 and Windows-1251 lines") << QByteArray(kHeader + "\n" + utf8Row + cp1251Row)
                                                      << QStringList{"строка 3: текст не в кодировке UTF-8 (похоже на Windows-1251), а строка 2 — в UTF-8"};
        QTest::newRow("BOM and a Windows-1251 line") << QByteArray("\xEF\xBB\xBF" + kHeader + "\n" + cp1251Row)
                                                     << QStringList{"строка 2: текст не в кодировке UTF-8", "метка BOM"};
        QTest::newRow("semicolon header, comma rows")
            << QByteArray(QByteArray(kHeader).replace(',', ';') + "\n" + utf8Row)
            << QStringList{"строка 2: поля разделены знаком «,», а в заголовке — знаком «;»"};
        QTest::newRow("both separators in the header")
            << QByteArray("date;shift,worker,mark,operation,kind,quantity,rejects,hours,colour,dayoff\n" + utf8Row)
            << QStringList{"строка 1: в заголовке между столбцами стоят и «,», и «;»"};
        QTest::newRow("a runaway mark") << QByteArray(kHeader + "\n15.01.2032,1,10005," + QByteArray(1000000, 'Z') + ",Резка,0,12,0,8,,0\n")
                                        << QStringList{"строка 2: операция \"ZZZZ", "… (всего 1000000 знаков)"};
    }
    void importRefusesMixedFiles() {
        QFETCH(QByteArray, csv);
        QFETCH(QStringList, expected);
        const QString file = writeFile(dir_.filePath(QStringLiteral("mixed.csv")), csv);
        const Run r = batch(withDb({QStringLiteral("import"), QStringLiteral("entries"), file}));
        QVERIFY2(r.code == 1, qPrintable(describe(r).left(3000)));
        for (const QString& e : expected) QVERIFY2(r.err.contains(e), qPrintable(e + QStringLiteral("\n") + describe(r).left(3000)));
        QVERIFY2(r.err.size() < 2000, qPrintable(QStringLiteral("stderr of %1 characters").arg(r.err.size())));
        QCOMPARE(testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.smena where data in ('2032-01-15', '2032-01-16')")), 0);
    }

    // With the extension the history tells the batch's changes from psql's: role,
    // workstation and program, as the client names itself.
    void historyNamesTheBatch() {
        const QString file = writeFile(dir_.filePath(QStringLiteral("history.csv")),
                                       kHeader + "\n05.02.2032,1,10001,КР-100,Резка,0,10,0,8,,0\n");
        const Run r = batch(withDb({QStringLiteral("import"), QStringLiteral("entries"), file}, kExtDb));
        QVERIFY2(r.code == 0, qPrintable(describe(r)));
        const QString got = extSql(QStringLiteral(
            "select string_agg(distinct concat_ws('|', coalesce(client_role, ''), coalesce(client_host, ''), "
            "coalesce(app_version, '')), ';') from accounts_dep.change_log where table_name like '%smena' "
            "and (new_row->>'data')::date = '2032-02-05'"));
        const QStringList fields = got.split(QLatin1Char('|'));
        QVERIFY2(fields.size() == 3, qPrintable(got));
        QCOMPARE(fields[0], QStringLiteral("Пакетный режим"));
        QCOMPARE(fields[1], QSysInfo::machineHostName());
        QVERIFY2(QRegularExpression(QStringLiteral("^mirn-batch \\d{8} \\d+$")).match(fields[2]).hasMatch(), qPrintable(fields[2]));
    }

    // The month lock's refusal is a refusal of the input: exit 1, the rows named by their
    // lines and the month as the client names it; nothing is stored.
    void closedMonthRefusesInput() {
        QCOMPARE(extSql(QStringLiteral("insert into accounts_dep.period_lock(year, month, closed_by) values (2032, 3, 'test')")),
                 QString());
        const QString file = writeFile(dir_.filePath(QStringLiteral("closed.csv")),
                                       kHeader + "\n"
                                                 "02.03.2032,1,10001,КР-100,Резка,0,10,0,8,,0\n"
                                                 "02.04.2032,1,10001,КР-100,Резка,0,10,0,8,,0\n"
                                                 "03.03.2032,2,10002,КР-200,Гибка,0,10,0,8,,0\n");
        const Run r = batch(withDb({QStringLiteral("import"), QStringLiteral("entries"), file}, kExtDb));
        QVERIFY2(r.code == 1, qPrintable(describe(r)));
        QVERIFY2(r.err.contains(QStringLiteral("строка 2: Месяц закрыт: март 2032")), qPrintable(describe(r)));
        QVERIFY2(r.err.contains(QStringLiteral("строка 4: Месяц закрыт: март 2032")), qPrintable(describe(r)));
        QVERIFY2(!r.err.contains(QStringLiteral("строка 3:")), qPrintable(describe(r)));
        QCOMPARE(extSql(QStringLiteral("select count(*) from accounts_dep.smena where data >= '2032-03-01' and data < '2032-05-01'")),
                 QStringLiteral("0"));

        const Run rebuild = batch(withDb({QStringLiteral("rebuild"), QStringLiteral("--month"), QStringLiteral("3"),
                                          QStringLiteral("--year"), QStringLiteral("2032")},
                                         kExtDb));
        QVERIFY2(rebuild.code == 1, qPrintable(describe(rebuild)));
        QVERIFY2(rebuild.err.contains(QStringLiteral("Месяц закрыт: март 2032")), qPrintable(describe(rebuild)));
        QVERIFY2(technicalIn(rebuild.err).isEmpty(), qPrintable(describe(rebuild)));
        // The open month next to it rebuilds.
        const Run open = batch(withDb({QStringLiteral("rebuild"), QStringLiteral("--month"), QStringLiteral("4"),
                                       QStringLiteral("--year"), QStringLiteral("2032")},
                                      kExtDb));
        QVERIFY2(open.code == 0, qPrintable(describe(open)));
    }

    // The support log keeps whole statements (an insert's date, shift and hours), the new
    // entries' ids, the files written and where each connection value came from; never
    // the password.
    void supportLog() {
        const QString home = dir_.filePath(QStringLiteral("cfg"));
        QVERIFY(QDir().mkpath(home + QStringLiteral("/mirn")));
        const QString conf = home + QStringLiteral("/mirn/mirn.conf");
        const QString password =
            QProcessEnvironment::systemEnvironment().value(QStringLiteral("PGPASSWORD"), QStringLiteral("wubalem"));
        writeFile(conf, "[connection]\npassword=" + password.toUtf8() + "\n");
        QProcessEnvironment env = batchEnv();
        env.remove(QStringLiteral("PGPASSWORD"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home);
        env.insert(QStringLiteral("XDG_CONFIG_DIRS"), dir_.filePath(QStringLiteral("none")));
        const qsizetype before = logText().size();
        const QString file = writeFile(dir_.filePath(QStringLiteral("logged.csv")),
                                       kHeader + "\n21.02.2032,3,10002,КР-150,Покраска порошковая,0,17,1,7,9005,0\n");
        Run r = batch(withDb({QStringLiteral("import"), QStringLiteral("entries"), file}), env);
        QVERIFY2(r.code == 0, qPrintable(describe(r)));
        const QString xlsx = dir_.filePath(QStringLiteral("logged prices.xlsx"));
        r = batch(withDb({QStringLiteral("export"), QStringLiteral("prices"), QStringLiteral("--xlsx"), xlsx}), env);
        QVERIFY2(r.code == 0, qPrintable(describe(r)));
        const QString text = logText().mid(before);
        const int id = testdb::scalarInt(QStringLiteral("select id from accounts_dep.smena where data='2032-02-21' and w_id=10002"));
        QVERIFY(id > 0);
        const QStringList want{
            QStringLiteral("'{17}'::integer[], '{1}'::integer[], '{2032-02-21}'::date[], '{3}'::integer[], '{9005}'::integer[], "
                           "'{7}'::integer[]"),
            QStringLiteral("'no', 0, 0, 0, 0, 0, 0 from"),
            QStringLiteral("new entry id %1 in accounts_dep.smena").arg(id),
            QStringLiteral("password=user file ") + conf,
            QStringLiteral("written: ") + xlsx,
        };
        for (const QString& w : want) QVERIFY2(text.contains(w), qPrintable(w + QStringLiteral(" not in:\n") + text.right(3000)));
        QVERIFY2(!text.contains(password), "the log holds the password");
    }

    // Ctrl+C while a long file is stored: the program says how far it is,
    // then rolls back, says so in Russian and exits 130; nothing of the file is stored.
    void importCancelledByCtrlC() {
        QByteArray csv = kHeader + "\n";
        const QDate first(2033, 1, 1);
        int rows = 0;
        for (int d = 0; d < 5000; ++d)
            for (int shift = 1; shift <= 3; ++shift)
                for (int w = 10001; w <= 10004; ++w, ++rows)
                    csv += dmy(first.addDays(d)).toUtf8() + "," + QByteArray::number(shift) + "," + QByteArray::number(w) +
                           ",КР-100,Резка,0,10,0,8,,0\n";
        const QString file = writeFile(dir_.filePath(QStringLiteral("long.csv")), csv);
        QProcess p;
        start(p, withDb({QStringLiteral("import"), QStringLiteral("entries"), file}));
        QString err;
        QElapsedTimer waited;
        waited.start();
        // Once it is storing: the transaction is open and has written.
        while (!err.contains(QStringLiteral("Проверка и запись")) && p.state() != QProcess::NotRunning &&
               waited.elapsed() < 240000) {
            p.waitForReadyRead(200);
            err += QString::fromUtf8(p.readAllStandardError());
        }
        QVERIFY2(err.contains(QStringLiteral("Проверка и запись")), qPrintable(err));
        QVERIFY2(p.state() != QProcess::NotRunning, qPrintable(QStringLiteral("finished before Ctrl+C: ") + err));
        ::kill(pid_t(p.processId()), SIGINT);
        Run r = finish(p);
        r.err = err + r.err;
        QVERIFY2(r.code == 130, qPrintable(describe(r)));
        QVERIFY2(r.err.contains(QStringLiteral("Загрузка прервана (Ctrl+C): ничего не записано.")), qPrintable(describe(r)));
        QVERIFY2(technicalIn(r.err).isEmpty(), qPrintable(describe(r)));
        QCOMPARE(testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.smena where data>='2033-01-01'")), 0);
        QCOMPARE(testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.h_tabel where year>=2033")), 0);
        QVERIFY(rows == 60000);
    }

    // Imports and month rebuilds at the same time, as two processes: the timesheet still
    // equals the entries, one row per worker and shift. The import checks its rows before
    // it writes, so each round starts the rebuild a little later (no time is measured):
    // some rebuild lands in the middle of the import's transaction.
    void importRacingRebuild() {
        const int year = 2030;
        const QStringList ops = {QStringLiteral("КР-100,Резка"), QStringLiteral("КР-200,Гибка"),
                                 QStringLiteral("КР-150,Сверление")};
        for (int round = 0; round < 56; ++round) {
            const int month = 4 + round / 28, day = 1 + round % 28;
            QByteArray csv = kHeader + "\n";
            for (int k = 1; k <= 19; ++k)
                for (int o = 0; o < ops.size(); ++o)
                    csv += QStringLiteral("%1.%2.2030,%3,%4,%5,0,%6,0,%7,,0\n")
                               .arg(day, 2, 10, QLatin1Char('0'))
                               .arg(month, 2, 10, QLatin1Char('0'))
                               .arg(1 + (k + round) % 4)
                               .arg(10000 + k)
                               .arg(ops[o])
                               .arg(k + o)
                               .arg(1 + (k + o) % 3)
                               .toUtf8();
            const QString file = writeFile(dir_.filePath(QStringLiteral("race%1.csv").arg(round)), csv);
            QProcess import, rebuild;
            start(import, withDb({QStringLiteral("import"), QStringLiteral("entries"), file}));
            QThread::msleep(10 * (round % 28));
            start(rebuild, withDb({QStringLiteral("rebuild"), QStringLiteral("--month"), QString::number(month),
                                   QStringLiteral("--year"), QString::number(year)}));
            const Run ri = finish(import), rr = finish(rebuild);
            QVERIFY2(ri.code == 0, qPrintable(describe(ri)));
            QVERIFY2(rr.code == 0, qPrintable(describe(rr)));
            QCOMPARE(entriesIn(month, year), 57 * (round % 28 + 1));
            QVERIFY2(timesheetMismatch(month, year).isEmpty(),
                     qPrintable(QStringLiteral("round %1:\n").arg(round) + timesheetMismatch(month, year)));
        }
    }
};

QTEST_GUILESS_MAIN(TestBatch)
#include "test_batch.moc"
