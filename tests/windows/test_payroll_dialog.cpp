// «Выгрузка в зарплату» from the timesheet: the administrator's button only, the dialog's
// format and encoding choices written as chosen, an open month refused where months are
// closed, the export recorded in the history.
#include "domain/payroll.h"
#include "domain/period.h"
#include "gui/forms.h"
#include "journal/tform1.h"
#include "papers/payroll_export.h"
#include "support/testdb.h"
#include "timesheet/payroll_dialog.h"
#include "timesheet/tform19.h"

#include <QProcess>
#include <QtTest>

using namespace mirn;

namespace {
const QString kDb = QStringLiteral("t_payroll_dialog");
}

class TestPayrollDialog : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    void exportFromTimesheet_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("extension");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<int>("format");    // 0 workbook, 1 CSV
        QTest::addColumn<int>("encoding");  // 0 UTF-8, 1 Windows-1251
        QTest::addColumn<QString>("says");  // empty: no button
        QTest::newRow("foremen: no button") << kForemenCode << false << false << 0 << 0 << QString();
        QTest::newRow("no extension, CSV 1251") << "9471" << false << false << 1 << 1 << "SHA-256";
        QTest::newRow("open month refused") << "9471" << true << false << 0 << 0 << "Месяц не закрыт";
        QTest::newRow("closed month, workbook") << "9471" << true << true << 0 << 0 << "SHA-256";
    }
    void exportFromTimesheet() {
        QFETCH(QString, code);
        QFETCH(bool, extension);
        QFETCH(bool, closed);
        QFETCH(int, format);
        QFETCH(int, encoding);
        QFETCH(QString, says);
        QVERIFY(dir_.isValid());
        testdb::startApp(kDb, true);
        const QDate today = QDate::currentDate();
        if (extension) {
            QProcess p;
            p.start(QStringLiteral("psql"), {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
                                             QStringLiteral("-d"), kDb, QStringLiteral("-f"), QStringLiteral(MIRN_SOURCE_DIR "/db/extension.sql")});
            QVERIFY(p.waitForFinished(120000));
            QCOMPARE(p.exitCode(), 0);
        }
        if (closed)
            testdb::exec(QStringLiteral("insert into accounts_dep.period_lock(year, month) values (%1, %2)").arg(today.year()).arg(today.month()));
        TForm1& f1 = signIn(code);
        {
            ModalScript modal;
            f1.N11Click();
        }
        TForm19& f19 = forms::form<TForm19>();
        QCOMPARE(f19.PayrollButton->isHidden(), says.isEmpty());
        if (says.isEmpty()) return;

        const QString path = dir_.filePath(QStringLiteral("%1.%2").arg(QTest::currentDataTag()).arg(format ? "csv" : "xlsx"));
        MessageLog log;
        ModalScript modal([&](QDialog* d) {
            auto* dlg = qobject_cast<PayrollDialog*>(d);
            if (!dlg) return int(QDialog::Rejected);
            dlg->FormatBox->setCurrentIndex(format);
            // The encoding is a CSV's choice only.
            if (dlg->EncodingBox->isEnabled() != (format == 1)) return int(QDialog::Rejected);
            dlg->EncodingBox->setCurrentIndex(encoding);
            dlg->FileEdit->setText(path);
            dlg->ExportButton->click();
            return dlg->result();
        });
        f19.PayrollButton->click();
        QVERIFY2(log.lastText().contains(says), qPrintable(log.texts().join(u'\n')));
        if (says != QLatin1String("SHA-256")) {
            QVERIFY(!QFileInfo::exists(path));
            return;
        }
        QVERIFY(log.lastText().contains(QDir::toNativeSeparators(path)));
        QString why;
        const payroll::Verdict v = payroll::verify(papers::readPayrollTable(path, &why));
        QVERIFY2(v.unchanged, qPrintable(why + v.differences.join(u'\n')));
        QCOMPARE(v.month, QStringLiteral("%1.%2").arg(today.month(), 2, 10, QLatin1Char('0')).arg(today.year()));
        QCOMPARE(v.who, QStringLiteral("sys, Администратор"));
        if (format == 1) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QByteArray bytes = f.readAll();
            // Windows-1251 "Таб. №": Т is 0xD2, № is 0xB9; UTF-8 would start with its mark.
            QCOMPARE(bytes.left(3) == QByteArray("\xEF\xBB\xBF"), encoding == 0);
            QVERIFY(bytes.startsWith(encoding ? QByteArray("\xD2\xE0\xE1. \xB9") : QByteArray("\xEF\xBB\xBF")));
        }
        if (extension)
            QCOMPARE(testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.change_log where table_name = 'payroll_export'"
                                                      " and new_row->>'file_name' = '%1'").arg(QFileInfo(path).fileName())),
                     1);
    }
};

QTEST_MAIN(TestPayrollDialog)
#include "test_payroll_dialog.moc"
