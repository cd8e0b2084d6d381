// The journal's reads as the server sees them (its log of the session): a date switched
// in the date box, forward and back, and the shown shift read again after a change.
// Each round trip costs the workstation the distance to the server.
#include "core/datamodule.h"
#include "domain/sqltext.h"
#include "gui/forms.h"
#include "journal/tform1.h"
#include "journal/tform11.h"
#include "support/query_dump.h"
#include "support/server_log.h"
#include "support/testdb.h"

#include <QProcess>
#include <QtTest>

#include <memory>

using namespace mirn;

namespace {
const QString kDb = QStringLiteral("t_journal_roundtrips");

using testdb::dump;

QList<QStringList> dumpShifts() {
    QList<QStringList> out;
    for (int s = 1; s <= 4; ++s) out << dump(dm().shiftQuery(s));
    return out;
}

// The shifts as their own queries read them one by one, parameters bound.
QList<QStringList> referenceShifts(const QDate& date) {
    QList<QStringList> out;
    for (int s = 1; s <= 4; ++s) {
        Query q;
        q.SQL = sqltext::smena(s);
        q.setParam(QStringLiteral("data"), date);
        q.setParam(QStringLiteral("ok"), dm().shiftQuery(s).param(QStringLiteral("ok")));
        q.open();
        out << dump(q);
    }
    return out;
}

int psql(const QString& file, const QString& input = {}) {
    QProcess p;
    QStringList args{QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
                     QStringLiteral("-d"), testdb::dbName(kDb)};
    if (!file.isEmpty()) args << QStringLiteral("-f") << file;
    p.start(QStringLiteral("psql"), args);
    if (!p.waitForStarted()) return -1;
    p.write(input.toUtf8());
    p.closeWriteChannel();
    p.waitForFinished(120000);
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// The statements of one shift's read again: from the one that carries the shift's text
// to the end of what was logged.
QStringList rereadOf(const QStringList& logged, int shift) {
    const QString head = sqltext::smena(shift).first().trimmed();
    for (qsizetype i = 0; i < logged.size(); ++i)
        if (logged[i].contains(head)) return logged.mid(i);
    return {};
}

// The shift of today with the most entries, shown in the journal.
int showBusiestShift(TForm1& f1) {
    int best = 1;
    for (int s = 2; s <= 4; ++s)
        if (dm().shiftQuery(s).recordCount() > dm().shiftQuery(best).recordCount()) best = s;
    QRadioButton* radios[] = {f1.RadioButton1, f1.RadioButton2, f1.RadioButton3, f1.RadioButton4};
    radios[best - 1]->setChecked(true);
    return best;
}
}  // namespace

class TestJournalRoundTrips : public QObject {
    Q_OBJECT
private slots:
    void cleanupTestCase() { testdb::stopApp(); }

    void dateSwitch_data() {
        QTest::addColumn<bool>("extension");
        QTest::addColumn<bool>("closed");
        QTest::newRow("without the closed months") << false << false;
        QTest::newRow("month open") << true << false;
        QTest::newRow("month closed") << true << true;
    }
    // Forward and back through the date box as the user steps it: each switch at most
    // four round trips, the other day's shifts as their own queries read them, and the
    // same rows again on coming back.
    void dateSwitch() {
        QFETCH(bool, extension);
        QFETCH(bool, closed);
        testdb::startApp(kDb, true);
        const QDate today = QDate::currentDate();
        if (extension) QCOMPARE(psql(QStringLiteral(MIRN_SOURCE_DIR "/db/extension.sql")), 0);
        if (closed)
            QCOMPARE(psql({}, QStringLiteral("insert into accounts_dep.period_lock(year, month, closed_by) values (%1, %2, 'Бухгалтерия');")
                                  .arg(today.year())
                                  .arg(today.month())),
                     0);
        TForm1& f1 = signIn();
        f1.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f1));
        showBusiestShift(f1);
        const QList<QStringList> before = dumpShifts();
        int entries = 0;
        for (int s = 1; s <= 4; ++s) entries += dm().shiftQuery(s).recordCount();
        QVERIFY(entries > 0);  // the demo has entries today
        QCOMPARE(f1.MonthBanner->isHidden(), !closed);

        testdb::ServerLog log(QSqlDatabase::database(kConnectionName));
        // A step never leaves the month's days: back from the 1st is not possible.
        const bool back = today.day() > 1;
        const QDate other = today.addDays(back ? -1 : 1);
        f1.DateT->setFocus();
        f1.DateT->setCurrentSection(QDateTimeEdit::DaySection);
        QTest::keyClick(f1.DateT, back ? Qt::Key_Down : Qt::Key_Up);
        QCOMPARE(f1.DateT->date(), other);
        const QStringList forward = log.statements();
        QVERIFY2(forward.size() <= 4, qPrintable(forward.join(u'\n')));
        QVERIFY2(!forward.isEmpty(), "the switch read nothing");
        QCOMPARE(dumpShifts(), referenceShifts(other));

        log.mark();
        QTest::keyClick(f1.DateT, back ? Qt::Key_Up : Qt::Key_Down);
        QCOMPARE(f1.DateT->date(), today);
        const QStringList backAgain = log.statements();
        QVERIFY2(backAgain.size() <= 4, qPrintable(backAgain.join(u'\n')));
        QCOMPARE(dumpShifts(), before);
        QCOMPARE(f1.MonthBanner->isHidden(), !closed);
        QCOMPARE(f1.Button1->isEnabled(), !closed);
        qInfo().noquote() << "date switch round trips:" << forward.size() << "forward," << backAgain.size() << "back";
        f1.hide();
    }

    void rereadOfTheShownShift_data() {
        QTest::addColumn<QString>("action");
        QTest::newRow("confirmation toggled") << "toggle";
        QTest::newRow("entry changed in the dialog") << "change";
        QTest::newRow("entry deleted") << "delete";
    }
    // After a change the shown shift is read again in one round trip, on the row the
    // user stood on where the action keeps it, with what its own query reads.
    void rereadOfTheShownShift() {
        QFETCH(QString, action);
        testdb::startApp(kDb, true);
        TForm1& f1 = signIn();
        const int shift = showBusiestShift(f1);
        Query& q = dm().shiftQuery(shift);
        QVERIFY(q.recordCount() >= 3);
        q.setRecNo(2);
        MessageLog messages;  // the delete's question answered Yes
        testdb::ServerLog log(QSqlDatabase::database(kConnectionName));
        if (action == QLatin1String("toggle")) {
            f1.DBGrid2DblClick();
        } else if (action == QLatin1String("change")) {
            TForm11& f = forms::form<TForm11>();
            f.startChange(q, q.field(QStringLiteral("data")).toDate(), toDouble(q.field(QStringLiteral("cena"))));
            f.Edit3->setText(QStringLiteral("7"));
            f.setResult(0);
            log.mark();
            f.Button1->click();
            QCOMPARE(f.result(), int(QDialog::Accepted));
        } else {
            f1.Button3Click();
        }
        QVERIFY2(messages.messages.size() <= 1 && messages.lastFailure().isEmpty(), qPrintable(messages.texts().join(u'\n')));
        const QStringList logged = log.statements();
        const QStringList reread = rereadOf(logged, shift);
        QVERIFY2(reread.size() == 1, qPrintable(logged.join(u'\n')));
        QCOMPARE(dumpShifts()[shift - 1], referenceShifts(QDate::currentDate())[shift - 1]);
        if (action != QLatin1String("delete")) QCOMPARE(q.recNo(), 2);
    }
};

QTEST_MAIN(TestJournalRoundTrips)
#include "test_journal_roundtrips.moc"
