#include "timesheet/payroll_dialog.h"

#include "domain/payroll.h"
#include "domain/period.h"
#include "domain/session.h"
#include "export/excel.h"
#include "gui/busy.h"
#include "gui/ui.h"
#include "papers/payroll_export.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScopeGuard>
#include <QVBoxLayout>

namespace mirn {

namespace {
QString suffixFor(bool csv) { return csv ? QStringLiteral(".csv") : QStringLiteral(".xlsx"); }
}  // namespace

PayrollDialog::PayrollDialog(int month, int year, QWidget* parent) : QDialog(parent), month_(month), year_(year) {
    setObjectName(QStringLiteral("PayrollDialog"));
    setWindowTitle(QStringLiteral("Выгрузка в зарплату"));
    QStringList problems;
    const payroll::Settings settings = payroll::readSettings(&problems);

    FormatBox = new QComboBox(this);
    FormatBox->addItems({QStringLiteral("Книга Excel (.xlsx)"), QStringLiteral("CSV (разделитель «;»)")});
    EncodingBox = new QComboBox(this);
    EncodingBox->addItems({QStringLiteral("UTF-8"), QStringLiteral("Windows-1251")});
    EncodingBox->setCurrentIndex(settings.encoding == QLatin1String("cp1251") ? 1 : 0);
    FileEdit = new QLineEdit(this);
    FileEdit->setMinimumWidth(360);
    BrowseButton = new QPushButton(QStringLiteral("Обзор…"), this);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(FileEdit, 1);
    fileRow->addWidget(BrowseButton);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Месяц:"), new QLabel(period::monthCaption(month, year), this));
    form->addRow(QStringLiteral("Формат:"), FormatBox);
    form->addRow(QStringLiteral("Кодировка CSV:"), EncodingBox);
    form->addRow(QStringLiteral("Файл:"), fileRow);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    ExportButton = buttons->addButton(QStringLiteral("Выгрузить"), QDialogButtonBox::AcceptRole);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    auto* box = new QVBoxLayout(this);
    box->addLayout(form);
    if (!problems.isEmpty()) {
        auto* note = new QLabel(problems.join(u'\n'), this);
        note->setWordWrap(true);
        box->addWidget(note);
    }
    box->addWidget(buttons);

    // A name of its own per month in the workbooks' folder; the administrator may change it.
    FileEdit->setText(QDir(workbook::outputDir())
                          .filePath(QStringLiteral("Зарплата %1-%2").arg(year).arg(month, 2, 10, QLatin1Char('0')) +
                                    suffixFor(false)));
    formatChanged();
    connect(FormatBox, &QComboBox::currentIndexChanged, this, [this] { formatChanged(); });
    connect(BrowseButton, &QPushButton::clicked, this, ui::guard([this] { browse(); }));
    connect(ExportButton, &QPushButton::clicked, this, ui::guard([this] { exportClick(); }));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void PayrollDialog::formatChanged() {
    EncodingBox->setEnabled(csv());
    // The name follows the format unless the administrator typed another ending.
    QString f = FileEdit->text();
    if (f.endsWith(suffixFor(!csv()), Qt::CaseInsensitive)) {
        f.chop(suffixFor(!csv()).size());
        FileEdit->setText(f + suffixFor(csv()));
    }
}

void PayrollDialog::browse() {
    const QString f = QFileDialog::getSaveFileName(this, windowTitle(), FileEdit->text(),
                                                   csv() ? QStringLiteral("CSV (*.csv)") : QStringLiteral("Книга Excel (*.xlsx)"));
    if (!f.isEmpty()) FileEdit->setText(f);
}

void PayrollDialog::exportClick() {
    const QString path = FileEdit->text().trimmed();
    if (path.isEmpty()) {
        ui::error(QStringLiteral("Укажите файл, в который выгрузить."));
        return;
    }
    if (QFileInfo::exists(path) &&
        ui::message(QStringLiteral("Файл %1 уже есть. Заменить его?").arg(QDir::toNativeSeparators(path)),
                    QStringLiteral("Подтверждение"), ui::Icon::Question, ui::Buttons::YesNo) != QMessageBox::Yes)
        return;
    papers::PayrollOutcome r;
    {
        const ui::WindowBusy busy(this);
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restore = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
        r = papers::exportPayroll(month_, year_, csv() ? papers::PayrollFormat::Csv : papers::PayrollFormat::Xlsx,
                                  EncodingBox->currentIndex() == 1 ? papers::CsvEncoding::Cp1251 : papers::CsvEncoding::Utf8,
                                  path, period::roleName(session().role), payroll::readSettings());
    }
    if (!r.done) {
        ui::error(r.message);
        return;
    }
    QStringList sums;
    for (const payroll::Total& t : r.totals)
        sums << QStringLiteral("%1: %2").arg(t.code, payroll::cellText(payroll::ColumnKind::Money, t.sum));
    ui::fileWritten(ui::writtenText(QStringLiteral("Выгрузка в зарплату за %1 записана").arg(period::monthCaption(month_, year_)), path) +
                        QStringLiteral("\nСтрок: %1. Итого по кодам — %2.\nSHA-256: %3")
                            .arg(r.rows)
                            .arg(sums.join(QStringLiteral("; ")), r.hash),
                    windowTitle(), path);
    accept();
}

void PayrollDialog::run(int month, int year, QWidget* parent) {
    PayrollDialog dlg(month, year, parent);
    ui::execModal(&dlg);
}

}  // namespace mirn
