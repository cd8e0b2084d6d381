#include "gui/monthlock.h"

#include "domain/period.h"

#include <QVariant>

namespace mirn {

namespace monthlock {
namespace {
const char* kOff = "mirnClosedMonthOff";
}

QLabel* makeBanner(QWidget* parent) {
    auto* l = new QLabel(period::kClosedBanner, parent);
    l->setObjectName(QStringLiteral("MonthBanner"));
    l->setAlignment(Qt::AlignCenter);
    l->setStyleSheet(QStringLiteral("QLabel { background: #c00000; color: white; font-weight: bold; padding: 3px; }"));
    l->hide();
    return l;
}

void apply(QLabel* banner, const QList<QWidget*>& controls, bool closed, const QString& closedBy) {
    banner->setVisible(closed);
    banner->setToolTip(closedBy);
    for (QWidget* w : controls) {
        if (closed) {
            if (w->isEnabled() && !offForClosedMonth(w)) {
                w->setProperty(kOff, true);
                w->setEnabled(false);
            }
        } else if (offForClosedMonth(w)) {
            w->setProperty(kOff, false);
            w->setEnabled(true);
        }
    }
}

bool offForClosedMonth(const QWidget* w) { return w->property(kOff).toBool(); }

}  // namespace monthlock

}  // namespace mirn
