// The spreadsheet report of the summary reports window.
#include "gui/busy.h"
#include "reports/tform18.h"
#include "papers/xls_export.h"

namespace mirn {

void TForm18::Button6Click() {
    // Nothing in the window starts a second export or closes the window under this one.
    ui::WindowBusy busy(this);
    reports::applyKindFilter(XLS_Rep, RadioGroup1->itemIndex());
    papers::exportProductionReport(XLS_Rep, DTPicker1->date(), DTPicker2->date(),
                                [this](const QString& caption) { Button6->setText(caption); });
}

}  // namespace mirn
