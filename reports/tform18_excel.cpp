// The spreadsheet report of the summary reports window.
#include "reports/tform18.h"
#include "papers/xls_export.h"

void TForm18::Button6Click() {
    reports::applyKindFilter(XLS_Rep, RadioGroup1->itemIndex());
    xls::exportProductionReport(XLS_Rep, DTPicker1->date(), DTPicker2->date(),
                                [this](const QString& caption) { Button6->setText(caption); });
}
