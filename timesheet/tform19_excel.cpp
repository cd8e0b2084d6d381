// The spreadsheet export of the hours timesheet.
#include "gui/busy.h"
#include "gui/forms.h"
#include "papers/layouts.h"
#include "papers/timesheet_export.h"
#include "timesheet/tform19.h"

#include <QCoreApplication>

namespace mirn {

void TForm19::Button2Click() {
    // The rows go out while the window repaints between them: nothing in the window may
    // start a second export, a rebuild or a print (which would close the month's query
    // under this one), and the window does not close until the export has ended.
    ui::WindowBusy busy(this);
    papers::exportTimesheet(forms::form<papers::TForm15>().H_Tabel, month(), year(),
                         ComboBox1->currentText() + QLatin1Char(' ') + QString::number(year()),
                         [this](const QString& caption) {
                             Button2->setText(caption);
                             QCoreApplication::processEvents();
                         });
}

}  // namespace mirn
