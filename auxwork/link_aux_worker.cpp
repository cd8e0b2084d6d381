// The workers list's pick for the auxiliary work entry (tag 24).
#include "auxwork/tform24.h"
#include "core/forms.h"
#include "refbooks/crosslinks.h"

void auxEntryTakeWorker(int workerId, const QString& fio) {
    TForm24& f24 = forms::form<TForm24>();
    f24.Edit1->setText(fio.trimmed());
    f24.id_p = workerId;
}
