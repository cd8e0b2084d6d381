#include "core/buildguard.h"
#include "domain/connection.h"

#include "core/datamodule.h"
#include "core/signin.h"
#include "domain/buildstamp.h"
#include "domain/session.h"
#include "gui/forms.h"
#include "gui/ui.h"

namespace mirn {

namespace buildguard {

int buildDate() { return buildstamp::dateFromText(buildstamp::compileDate()); }
int buildTime() { return buildstamp::timeFromText(buildstamp::compileTime()); }

void check() {
    // Accounts mode before the sign-in: nothing to check yet.
    if (connection::pending()) return;
    const int date = buildDate();
    const int time = buildTime();
    const buildstamp::VersionRow row = buildstamp::recordBuild(date, time);
    dm().DecimalDelim = row.delim;
    if (!buildstamp::isOlder(date, time, row.date, row.time)) return;
    // Nobody signs in with an older build; the application ends 5 s after the message
    // appeared or when it is closed, whichever comes first (main() does not start its
    // loop once ended).
    forms::form<TForm23>().lockOut();
    ui::error(QStringLiteral("Версия программы не соответсвует БД! Запустите программу через 5 мин."));
    app::terminate(3);
}

}  // namespace buildguard

}  // namespace mirn
