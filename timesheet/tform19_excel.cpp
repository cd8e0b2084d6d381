// The spreadsheet export of the hours timesheet.
#include "core/forms.h"
#include "papers/layouts.h"
#include "papers/timesheet_export.h"
#include "timesheet/tform19.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QScopeGuard>

void TForm19::Button2Click() {
    // Nothing else may start while the rows go out and the window repaints between them.
    QList<QWidget*> others;
    for (QWidget* w : findChildren<QWidget*>())
        if (w != Button2 && w->isEnabled() && (qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w))) {
            w->setEnabled(false);
            others << w;
        }
    auto restore = qScopeGuard([&] {
        for (QWidget* w : others) w->setEnabled(true);
    });
    xls::exportTimesheet(forms::form<TForm15>().H_Tabel, month(), year(),
                         ComboBox1->currentText() + QLatin1Char(' ') + QString::number(year()),
                         [this](const QString& caption) {
                             Button2->setText(caption);
                             QCoreApplication::processEvents();
                         });
}
